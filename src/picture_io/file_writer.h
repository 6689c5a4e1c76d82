#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// Every write here is whole or nothing: the bytes go to a temporary file beside
// the target, which replaces the target only once everything is written. A
// failed write leaves an existing file byte-identical and no partial file behind.
// (QImage::save is not used: it truncates the target before it writes.)

struct WriteResult
{
    bool ok = false;
    // Names the file and the reason: "Cannot write /x/y.inc: Permission denied".
    QString error;
};

WriteResult writeFileAtomically(const QString& path, const QByteArray& bytes);

// The bytes of `image` in `format` ("bmp", "png") exactly as the writers below
// store them, for a file or for standard output; nothing when the encoder
// fails, with its reason in *error.
std::optional<QByteArray> encodeImage(QImage image, const char* format, QString* error = nullptr);

// A Windows bitmap (.bmp) of 24 bits a pixel, so every colour comes back exactly;
// any alpha is dropped. The path is used as given: no extension is added.
WriteResult writeBitmap(const QString& path, const QImage& image);

// A PNG file of the image as it is, alpha included.
WriteResult writePng(const QString& path, const QImage& image);
