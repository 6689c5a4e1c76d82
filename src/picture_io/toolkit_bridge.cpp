// Reads and writes pictures through the toolkit's image readers until the
// streaming decoders and our own writers take over; it gives them the
// interfaces of picture_reader.h, bitmap_writer.h and png_writer.h.
#include "picture_io/bitmap_writer.h"
#include "picture_io/file_writer.h"
#include "picture_io/picture_loader.h"
#include "picture_io/picture_reader.h"
#include "picture_io/png_writer.h"

#include <QBuffer>

#include <array>

namespace {

QImage imageOf(int width, int height, std::span<const std::uint32_t> colours)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const Colour c = colours[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            line[x] = qRgb(redOf(c), greenOf(c), blueOf(c));
        }
    }
    return image;
}

std::vector<std::uint8_t> bytesOf(const QByteArray& bytes)
{
    return {bytes.begin(), bytes.end()};
}

} // namespace

Result<PictureCorner> readPictureCorner(ByteSource& source, int maxWidth, int maxHeight)
{
    constexpr std::uint64_t maxBytes = std::uint64_t{512} * 1024 * 1024;
    QByteArray bytes;
    std::array<std::uint8_t, 1 << 16> buffer;
    for (;;) {
        const Result<std::size_t> got = source.read(buffer);
        if (!got)
            return fail(got.error());
        if (*got == 0)
            break;
        bytes.append(reinterpret_cast<const char*>(buffer.data()), qsizetype(*got));
        if (std::uint64_t(bytes.size()) > maxBytes)
            return fail("file is too large");
    }
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const LoadedPicture loaded = loadPictureCorner(&device, QSize(maxWidth, maxHeight));
    if (!loaded.ok())
        return fail(loaded.error.toStdString());
    PictureCorner corner;
    corner.width = loaded.corner.width();
    corner.height = loaded.corner.height();
    for (int y = 0; y < corner.height; ++y) {
        for (int x = 0; x < corner.width; ++x) {
            const QRgb pixel = loaded.corner.pixel(x, y);
            corner.pixels.push_back({std::uint8_t(qRed(pixel)), std::uint8_t(qGreen(pixel)),
                                     std::uint8_t(qBlue(pixel)), std::uint8_t(qAlpha(pixel))});
        }
    }
    return corner;
}

std::vector<std::uint8_t> encodeBitmap(int width, int height,
                                       std::span<const std::uint32_t> colours)
{
    return bytesOf(encodeImage(imageOf(width, height, colours), "bmp").value_or(QByteArray()));
}

Result<std::vector<std::uint8_t>> encodePng(int width, int height,
                                            std::span<const std::uint32_t> colours)
{
    QString error;
    const std::optional<QByteArray> bytes =
        encodeImage(imageOf(width, height, colours), "png", &error);
    if (!bytes)
        return fail(error.toStdString());
    return bytesOf(*bytes);
}
