#include "picture_io/file_writer.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QSaveFile>

namespace {

WriteResult failure(const QString& path, const QString& reason)
{
    return {false,
            QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason)};
}

// Encoded in memory first, so that a failing disk meets our own write, which
// reports the system's reason, and never the encoder (the PNG encoder leaks
// memory when a write fails under it).
WriteResult writeImage(const QString& path, const QImage& image, const char* format)
{
    if (image.isNull())
        return failure(path, QStringLiteral("no picture to write"));
    QString error;
    const std::optional<QByteArray> bytes = encodeImage(image, format, &error);
    if (!bytes)
        return failure(path, error);
    return writeFileAtomically(path, *bytes);
}

} // namespace

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

WriteResult writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    // QSaveFile opens an empty name without complaint.
    if (path.isEmpty())
        return {false, QStringLiteral("Cannot write: no file name given")};
    QSaveFile file(path);
    // Unbuffered, so that every failing write reaches us with the system's
    // reason: a buffered QSaveFile loses the error of its final flush and
    // commits a file cut short by a full disk as if all went well.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(path, file.errorString());
    // Returning without commit() removes the temporary file.
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return failure(path, file.errorString());
        done += written;
    }
    if (!file.commit())
        return failure(path, file.errorString());
    return {true, QString()};
}

WriteResult writeBitmap(const QString& path, const QImage& image)
{
    // The BMP writer stores Format_RGB32 as 24-bit pixels, without a palette.
    return writeImage(path, image.convertToFormat(QImage::Format_RGB32), "bmp");
}

WriteResult writePng(const QString& path, const QImage& image)
{
    return writeImage(path, image, "png");
}
