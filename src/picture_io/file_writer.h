#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// The bytes of `image` in `format` ("bmp", "png") as the toolkit's encoders
// store them, at a fixed 96 dots per inch; nothing when the encoder fails,
// with its reason in *error.
std::optional<QByteArray> encodeImage(QImage image, const char* format, QString* error = nullptr);
