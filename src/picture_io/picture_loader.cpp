#include "picture_io/picture_loader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace {

// A stream (a pipe, not a seekable file) is held in memory while it is read, next
// to the decoded picture; together they stay within 1 GiB.
constexpr qint64 maxStreamBytes = maxDecodedBytes;

LoadedPicture failure(const QString& reason)
{
    return {QImage(), reason};
}

// The toolkit refuses to decode more than 128 MB by default, too little for a
// 50-megapixel picture; the limit is raised for one load only.
class DecodingLimit
{
public:
    explicit DecodingLimit(qint64 bytes) : m_previous(QImageReader::allocationLimit())
    {
        QImageReader::setAllocationLimit(int(bytes / (1024 * 1024)));
    }
    ~DecodingLimit() { QImageReader::setAllocationLimit(m_previous); }
    DecodingLimit(const DecodingLimit&) = delete;
    DecodingLimit& operator=(const DecodingLimit&) = delete;

private:
    int m_previous;
};

quint16 le16(const QByteArray& bytes, int at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 le32(const QByteArray& bytes, int at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

quint32 be32(const QByteArray& bytes, int at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

// Exactly `length` bytes at `offset` from `start`, or nothing when the device does
// not hold them all (offsets and lengths come from untrusted headers). The
// device's position is left where it was.
QByteArray readRange(QIODevice* device, qint64 start, qint64 offset, qint64 length)
{
    const qint64 available = device->size() - start;
    if (offset < 0 || length <= 0 || offset > available || length > available - offset)
        return {};
    const qint64 position = device->pos();
    QByteArray bytes;
    if (device->seek(start + offset))
        bytes = device->read(length);
    device->seek(position);
    return bytes.size() == length ? bytes : QByteArray();
}

struct PixelSize
{
    qint64 width = 0;
    qint64 height = 0;
};

struct BitmapLayout
{
    PixelSize size;
    qint64 pixelsOffset = 0;
    int bits = 0;
    quint32 compression = 0;
};

std::optional<BitmapLayout> readBitmapLayout(QIODevice* device, qint64 start)
{
    const QByteArray header = readRange(device, start, 0, 14 + 20);
    if (header.isEmpty())
        return {};
    BitmapLayout layout;
    layout.pixelsOffset = le32(header, 10);
    const quint32 headerSize = le32(header, 14);
    if (headerSize == 12) { // OS/2 core header, 16-bit sizes and no compression
        layout.size = {le16(header, 18), le16(header, 20)};
        layout.bits = le16(header, 24);
        return layout;
    }
    if (headerSize < 40)
        return {};
    // The height is negative for rows stored top down.
    layout.size = {std::abs(qint64(qint32(le32(header, 18)))),
                   std::abs(qint64(qint32(le32(header, 22))))};
    layout.bits = le16(header, 28);
    layout.compression = le32(header, 30);
    return layout;
}

// The BMP reader leaves the rows missing from a file cut short uninitialised
// rather than failing, and in a bottom-up file those are the top rows: the
// corner. An uncompressed picture must therefore hold all its rows.
bool bitmapRowsMissing(QIODevice* device, qint64 start, const BitmapLayout& layout)
{
    constexpr quint32 uncompressed = 0;
    constexpr quint32 bitFields = 3;
    constexpr quint32 alphaBitFields = 6;
    if (layout.compression != uncompressed && layout.compression != bitFields &&
        layout.compression != alphaBitFields)
        return false;
    if (layout.bits <= 0 || layout.bits > 64 || layout.size.width > maxPicturePixels ||
        layout.size.height > maxPicturePixels)
        return false; // the reader refuses these itself
    const qint64 stride = (layout.size.width * layout.bits + 31) / 32 * 4;
    return device->size() - start - layout.pixelsOffset < stride * layout.size.height;
}

// The first image of an icon file, the one the toolkit's reader decodes, sized as
// that reader sizes it: by the directory entry, or by the bitmap header where the
// entry says 0 (256 pixels or more).
struct IconImage
{
    bool png = false;
    PixelSize size;
    int bits = 0;
    quint32 headerSize = 0;
    quint32 compression = 0;
    qint64 offset = 0; // of the image's header, from the start of the file
};

std::optional<IconImage> examineIcon(QIODevice* device, qint64 start)
{
    const QByteArray directory = readRange(device, start, 0, 6 + 16);
    if (directory.isEmpty())
        return {};
    IconImage icon;
    const quint8 entryWidth = quint8(directory[6]);
    const quint8 entryHeight = quint8(directory[7]);
    const quint16 entryBits = le16(directory, 12);
    icon.offset = le32(directory, 18);

    static const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
    if (readRange(device, start, icon.offset, 8) == pngSignature) {
        const QByteArray header = readRange(device, start, icon.offset, 24);
        if (header.isEmpty())
            return {};
        icon.png = true;
        icon.size = {be32(header, 16), be32(header, 20)};
        return icon;
    }

    const QByteArray header = readRange(device, start, icon.offset, 40);
    if (header.isEmpty())
        return {};
    icon.headerSize = le32(header, 0);
    // The header's height counts the colour rows and the mask rows.
    icon.size = {entryWidth != 0 ? entryWidth : le32(header, 4),
                 entryHeight != 0 ? entryHeight : le32(header, 8) / 2};
    const quint16 headerBits = le16(header, 14);
    icon.bits = headerBits != 0 ? headerBits : entryBits;
    icon.compression = le32(header, 16);
    return icon;
}

// Widens a 5-bit channel so that 31 gives 255: white stays white.
int widen5(int value)
{
    value &= 31;
    return value << 3 | value >> 2;
}

// The toolkit's icon reader applies an icon's AND mask (a set bit: transparent)
// to palette bitmaps only. 24-bit icons come out opaque, 16-bit icons not at all,
// and 32-bit icons whose alpha bytes are all 0 (written by tools older than
// alpha, and drawn through their mask by Windows) wholly transparent. Those are
// decoded here, their corner only; for every other icon this returns a null
// image and the reader's result stands.
QImage decodeMaskedIcon(QIODevice* device, qint64 start, const IconImage& icon, QSize maxSize)
{
    constexpr int plainBitmapHeader = 40;
    constexpr quint32 uncompressed = 0;
    if (icon.png || icon.headerSize != plainBitmapHeader || icon.compression != uncompressed)
        return {};
    if (icon.bits != 16 && icon.bits != 24 && icon.bits != 32)
        return {};
    // Icons are at most 256 × 256; anything else is left to the reader.
    if (icon.size.width < 1 || icon.size.width > 256 || icon.size.height < 1 ||
        icon.size.height > 256)
        return {};

    const int width = int(icon.size.width);
    const int height = int(icon.size.height);
    const qint64 colourStride = (qint64(width) * icon.bits + 31) / 32 * 4;
    const qint64 maskStride = (width + 31) / 32 * 4;
    const qint64 maskStart = colourStride * height;
    const QByteArray data = readRange(device, start, icon.offset + plainBitmapHeader,
                                      (colourStride + maskStride) * height);
    if (data.isEmpty())
        return {};
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());

    if (icon.bits == 32) {
        for (qint64 row = 0; row < height; ++row) {
            for (qint64 x = 0; x < width; ++x) {
                if (bytes[row * colourStride + x * 4 + 3] != 0)
                    return {};
            }
        }
    }

    const int cornerWidth = std::min(width, maxSize.width());
    const int cornerHeight = std::min(height, maxSize.height());
    if (cornerWidth <= 0 || cornerHeight <= 0)
        return {};
    QImage corner(cornerWidth, cornerHeight, QImage::Format_ARGB32);
    for (int y = 0; y < cornerHeight; ++y) {
        // Rows are stored bottom up.
        const qint64 row = height - 1 - y;
        const uchar* colours = bytes + row * colourStride;
        const uchar* mask = bytes + maskStart + row * maskStride;
        auto* out = reinterpret_cast<QRgb*>(corner.scanLine(y));
        for (int x = 0; x < cornerWidth; ++x) {
            if (mask[x / 8] & (0x80 >> (x % 8))) {
                out[x] = qRgba(0, 0, 0, 0);
            } else if (icon.bits == 16) {
                const int value = colours[2 * x] | colours[2 * x + 1] << 8;
                out[x] = qRgb(widen5(value >> 10), widen5(value >> 5), widen5(value));
            } else {
                const uchar* pixel = colours + x * (icon.bits / 8);
                out[x] = qRgb(pixel[2], pixel[1], pixel[0]);
            }
        }
    }
    return corner;
}

// The chunks of a PNG file that decide its pixels: header, palette,
// transparency, image data and end, in their order, or nothing when a chunk
// claims more bytes than the file holds. Everything else (text, colour profiles,
// private chunks) is left out before the toolkit's decoder sees the file: its
// PNG library allocated gigabytes for a 296-byte file whose trailing chunk
// claimed to be huge. The decoder ignores gamma and colour profiles anyway, so
// the pixels are the same.
std::optional<QByteArray> pixelChunksOfPng(QIODevice* device, qint64 start)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    static const QByteArray kept[] = {"IHDR", "PLTE", "tRNS", "IDAT", "IEND"};
    QByteArray png = readRange(device, start, 0, signature.size());
    if (png != signature)
        return std::nullopt;
    const qint64 end = device->size() - start;
    for (qint64 at = signature.size(); at + 12 <= end;) {
        const QByteArray header = readRange(device, start, at, 8);
        if (header.size() != 8)
            return std::nullopt;
        const qint64 length = be32(header, 0);
        const QByteArray type = header.mid(4, 4);
        if (length > end - at - 12)
            return std::nullopt;
        if (std::find(std::begin(kept), std::end(kept), type) != std::end(kept)) {
            png += readRange(device, start, at, 12 + length);
            if (type == "IEND")
                return png;
        }
        at += 12 + length;
    }
    return std::nullopt;
}

} // namespace

LoadedPicture loadPictureCorner(const QString& path, QSize maxSize)
{
    if (QFileInfo(path).isDir())
        return failure(QStringLiteral("is a folder, not a picture"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // Also a file that disappeared after it was chosen.
        if (!QFileInfo::exists(path))
            return failure(QStringLiteral("file not found"));
        return failure(QStringLiteral("cannot be opened (%1)").arg(file.errorString()));
    }
    return loadPictureCorner(&file, maxSize);
}

LoadedPicture loadPictureCorner(QIODevice* device, QSize maxSize)
{
    if (device == nullptr || !device->isReadable())
        return failure(QStringLiteral("cannot be read"));

    // Held in memory so that the reader and the icon decoding can seek in it.
    QBuffer stream;
    if (device->isSequential()) {
        QByteArray bytes;
        while (bytes.size() <= maxStreamBytes) {
            const QByteArray chunk =
                device->read(std::min<qint64>(1 << 20, maxStreamBytes + 1 - bytes.size()));
            if (chunk.isEmpty())
                break;
            bytes += chunk;
        }
        if (bytes.size() > maxStreamBytes)
            return failure(QStringLiteral("file is too large"));
        stream.setData(bytes);
        stream.open(QIODevice::ReadOnly);
        device = &stream;
    }

    const qint64 start = device->pos();
    if (device->size() <= start)
        return failure(QStringLiteral("file is empty"));

    QImageReader reader(device);
    reader.setDecideFormatFromContent(true);
    // The corner is the stored top-left pixels, as in every other format; an
    // orientation tag would turn some other corner into it.
    reader.setAutoTransform(false);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        return failure(QStringLiteral("not a picture Dotwright can read"));

    std::optional<PixelSize> size;
    if (const QSize stated = reader.size(); stated.isValid())
        size = PixelSize{stated.width(), stated.height()};
    std::optional<IconImage> icon;
    std::optional<BitmapLayout> bitmap;
    if (format == "ico") {
        // The reader states the directory's size, which says 256 for anything larger.
        icon = examineIcon(device, start);
        if (icon)
            size = icon->size;
    } else if (format == "bmp") {
        bitmap = readBitmapLayout(device, start);
        // The reader states no size for a picture of 2^31 pixels or more; the
        // header's tells the user how large it claims to be.
        if (!size && bitmap)
            size = bitmap->size;
    }
    if (size && (size->width > maxPicturePixels || size->height > maxPicturePixels ||
                 size->width * size->height > maxPicturePixels)) {
        return failure(QStringLiteral("picture is too large (%1 × %2 pixels)")
                           .arg(size->width)
                           .arg(size->height));
    }
    const QString damaged = QStringLiteral("damaged or unsupported %1 picture")
                                .arg(QString::fromLatin1(format.toUpper()));
    if (bitmap && bitmapRowsMissing(device, start, *bitmap))
        return failure(damaged);
    QBuffer pixelChunks;
    if (format == "png" || (icon && icon->png)) {
        // An icon may hold a PNG file, which the toolkit decodes the same way.
        const qint64 pngStart = icon ? start + icon->offset : start;
        const std::optional<QByteArray> png = pixelChunksOfPng(device, pngStart);
        if (!png)
            return failure(damaged);
        icon.reset();
        pixelChunks.setData(*png);
        pixelChunks.open(QIODevice::ReadOnly);
        reader.setDevice(&pixelChunks);
        reader.setFormat("png");
    }

    QImage image;
    if (icon)
        image = decodeMaskedIcon(device, start, *icon, maxSize);
    if (image.isNull()) {
        // Only a reader that clips while decoding is given the corner: the others
        // cut after decoding and would pad a clip larger than the real picture.
        if (size && reader.supportsOption(QImageIOHandler::ClipRect)) {
            reader.setClipRect(QRect(0, 0, int(std::min<qint64>(size->width, maxSize.width())),
                                     int(std::min<qint64>(size->height, maxSize.height()))));
        }
        const DecodingLimit limit(maxDecodedBytes);
        image = reader.read();
    }
    if (image.isNull())
        return failure(damaged);
    if (image.width() > maxSize.width() || image.height() > maxSize.height())
        image = image.copy(0, 0, std::min(image.width(), maxSize.width()),
                           std::min(image.height(), maxSize.height()));
    return {image.convertToFormat(QImage::Format_ARGB32), QString()};
}

QImage pictureOnBackground(const QImage& picture, QSize size, Colour background)
{
    QImage result(size, QImage::Format_RGB32);
    result.fill(qRgb(redOf(background), greenOf(background), blueOf(background)));
    const int width = std::min(picture.width(), result.width());
    const int height = std::min(picture.height(), result.height());
    if (width <= 0 || height <= 0)
        return result;

    const QImage source = picture.copy(0, 0, width, height).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int alpha = qAlpha(in[x]);
            if (alpha == 255) {
                out[x] = in[x];
            } else if (alpha != 0) {
                const Colour shown =
                    colourOver(qRed(in[x]), qGreen(in[x]), qBlue(in[x]), alpha,
                               colourFromRgb(qRed(out[x]), qGreen(out[x]), qBlue(out[x])));
                out[x] = qRgb(redOf(shown), greenOf(shown), blueOf(shown));
            }
        }
    }
    return result;
}

std::array<Colour, 128 * 64> sourceViewOf(const QImage& image)
{
    constexpr int columns = 128;
    constexpr int rows = 64;
    std::array<Colour, columns * rows> view;
    view.fill(colours::none);
    // Unpremultiplied, so that the colour channels are what the pixel holds.
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int width = std::min(argb.width(), columns);
    const int height = std::min(argb.height(), rows);
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < width; ++x)
            view[y * columns + x] = colourFromRgb(qRed(line[x]), qGreen(line[x]), qBlue(line[x]));
    }
    return view;
}
