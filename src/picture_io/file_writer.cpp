#include "picture_io/file_writer.h"

#include <QBuffer>
#include <QImageWriter>

std::optional<QByteArray> encodeImage(QImage image, const char* format, QString* error)
{
    // The header's resolution would otherwise follow the screen (or its absence,
    // in the command-line tool): a fixed 96 dots per inch keeps the same picture's
    // file the same, byte for byte, whichever program writes it.
    constexpr int dotsPerMetre = 3780;
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image)) {
        if (error)
            *error = writer.errorString();
        return std::nullopt;
    }
    return bytes;
}
