#pragma once

#include "core/colour.h"
#include "picture_io/picture_reader.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <array>

class QIODevice;

// The largest picture, in pixels, that is decoded at all. Its size is read from
// the header first, so a bigger picture (or a header that merely claims to be
// one) is refused at once. While decoding, the toolkit may hold at most
// maxDecodedBytes for the picture: 64 Mi pixels take 256 MiB at 4 bytes a pixel,
// 512 MiB at 8 bytes (16 bits a channel), so every format up to this size loads.
inline constexpr qint64 maxDecodedBytes = qint64{512} * 1024 * 1024;

struct LoadedPicture
{
    // The top-left corner of the picture, unscaled, at most the size asked for, in
    // Format_ARGB32 with transparency kept as alpha. Null when `error` is set.
    QImage corner;
    // Why the picture could not be read, short and for people: "file is empty".
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// Reads the top-left corner of at most `maxSize` of the picture in a file. The
// format is decided by the content, never by the name, and the picture is
// decoded no further than needed where the format allows (JPEG). Only the first
// image of a file that holds several (animated GIF, icon) is read, and the
// pixels are taken as stored: no orientation tag is applied.
LoadedPicture loadPictureCorner(const QString& path, QSize maxSize = {128, 64});
// The same from bytes; reading starts at the device's current position.
LoadedPicture loadPictureCorner(QIODevice* device, QSize maxSize = {128, 64});

// An image of `size` filled with `background`, with `picture` drawn over it
// unscaled, its top-left pixel at (0, 0), cut at the edges; transparent pixels
// show the background, partly transparent ones are blended with it. The
// windows' drawing areas and the command-line tool both draw pictures through
// this, so they agree to the pixel. Returns Format_RGB32.
QImage pictureOnBackground(const QImage& picture, QSize size, Colour background);

// The colour numbers of the top-left 128 × 64 pixels of an image such as
// pictureOnBackground returns, row by row from the top, 128 to a row. Cells the
// image does not cover hold colours::none; alpha is ignored.
std::array<Colour, 128 * 64> sourceViewOf(const QImage& image);
