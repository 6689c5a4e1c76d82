#include "picture_io/bitmap_writer.h"
#include "picture_io/byte_source.h"
#include "picture_io/decoders.h"
#include "picture_io/picture_reader.h"
#include "support/picture_bytes.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <csignal>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

std::span<const std::uint8_t> bytesOf(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
}

// A bitmap file as a test describes it; the stored rows are made separately
// (random, or run-length data) and put in as they are.
struct Bitmap
{
    int headerSize = 40;
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bits = 24;
    quint32 compression = 0;
    quint32 coloursUsed = 0;
    int paletteEntries = 0; // stored entries
    std::array<quint32, 4> masks{};
    // Bytes between the palette and the pixels (negative: the offset points
    // back into the headers).
    int gap = 0;
};

int strideOf(const Bitmap& bitmap)
{
    return (bitmap.width * bitmap.bits + 31) / 32 * 4;
}

QByteArray bitmapFile(const Bitmap& bitmap, const QByteArray& palette, const QByteArray& rows)
{
    QByteArray info;
    appendLe32(info, quint32(bitmap.headerSize));
    if (bitmap.headerSize == 12) {
        appendLe16(info, quint32(bitmap.width));
        appendLe16(info, quint32(bitmap.topDown ? -bitmap.height : bitmap.height));
        appendLe16(info, 1);
        appendLe16(info, quint32(bitmap.bits));
    } else {
        appendLe32(info, quint32(bitmap.width));
        appendLe32(info, quint32(bitmap.topDown ? -bitmap.height : bitmap.height));
        appendLe16(info, 1);
        appendLe16(info, quint32(bitmap.bits));
        appendLe32(info, bitmap.compression);
        appendLe32(info, quint32(rows.size()));
        appendLe32(info, 2835);
        appendLe32(info, 2835);
        appendLe32(info, bitmap.coloursUsed);
        appendLe32(info, 0);
        if (bitmap.headerSize >= 52) {
            for (int channel = 0; channel < (bitmap.headerSize >= 56 ? 4 : 3); ++channel)
                appendLe32(info, bitmap.masks[channel]);
        }
        info.resize(bitmap.headerSize, '\0');
    }
    QByteArray masks;
    const bool maskFields = bitmap.compression == 3 || bitmap.compression == 6;
    if (maskFields && bitmap.headerSize == 40) {
        for (int channel = 0; channel < (bitmap.compression == 6 ? 4 : 3); ++channel)
            appendLe32(masks, bitmap.masks[channel]);
    }
    const QByteArray before = info + masks + palette;
    QByteArray file("BM");
    appendLe32(file, quint32(14 + before.size() + std::max(bitmap.gap, 0) + rows.size()));
    appendLe32(file, 0);
    appendLe32(file, quint32(14 + before.size() + bitmap.gap));
    return file + before + QByteArray(std::max(bitmap.gap, 0), '\x5A') + rows;
}

QByteArray randomBytes(QRandomGenerator& random, qsizetype count)
{
    QByteArray bytes(count, '\0');
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

QByteArray randomPalette(QRandomGenerator& random, const Bitmap& bitmap)
{
    QByteArray palette;
    for (int entry = 0; entry < bitmap.paletteEntries; ++entry) {
        palette += randomBytes(random, 3);
        if (bitmap.headerSize != 12)
            palette.append('\0');
    }
    return palette;
}

QImage toolkitReads(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

QRgb rgbOf(Rgba pixel)
{
    return qRgba(pixel.red, pixel.green, pixel.blue, pixel.alpha);
}

Result<PictureCorner> cornerOf(const QByteArray& bytes, int maxWidth = 1 << 14,
                               int maxHeight = 1 << 14)
{
    MemorySource source(bytesOf(bytes));
    return readPictureCorner(source, maxWidth, maxHeight);
}

// Where `corner` and `expected` first differ, or an empty string. `same`
// says which pixels count; by default all of them.
QString firstDifference(const PictureCorner& corner, const QImage& expected,
                        const std::function<bool(QRgb, QRgb)>& same = std::equal_to<QRgb>())
{
    if (corner.width != expected.width() || corner.height != expected.height())
        return QStringLiteral("size %1 × %2, expected %3 × %4")
            .arg(corner.width)
            .arg(corner.height)
            .arg(expected.width())
            .arg(expected.height());
    for (int y = 0; y < corner.height; ++y) {
        for (int x = 0; x < corner.width; ++x) {
            const QRgb actual = rgbOf(corner.at(x, y));
            if (!same(actual, expected.pixel(x, y)))
                return QStringLiteral("pixel (%1, %2) is %3, expected %4")
                    .arg(x)
                    .arg(y)
                    .arg(actual, 8, 16, QLatin1Char('0'))
                    .arg(expected.pixel(x, y), 8, 16, QLatin1Char('0'));
        }
    }
    return {};
}

// Run-length data written with every escape, and the picture it stands for:
// the palette index of each pixel, -1 where the data sets none.
struct RunLengthPicture
{
    QByteArray data;
    std::vector<int> indices; // stored row by stored row
};

RunLengthPicture randomRunLength(QRandomGenerator& random, int width, int height, bool fourBits)
{
    RunLengthPicture picture;
    picture.indices.assign(std::size_t(width) * std::size_t(height), -1);
    const auto set = [&](int x, int row, int index) {
        picture.indices[std::size_t(row) * std::size_t(width) + std::size_t(x)] = index;
    };
    const int indexCount = fourBits ? 16 : 256;
    QByteArray& data = picture.data;
    int row = 0;
    while (row < height) {
        int x = 0;
        bool rowEnded = false;
        while (!rowEnded) {
            const int left = width - x;
            const int choice = int(random.bounded(10));
            if (left == 0 || choice == 0) {
                // End of the row, leaving the rest unset; sometimes the end of
                // the picture instead.
                if (row + 1 < height && random.bounded(12) == 0) {
                    data.append("\0\1", 2);
                    return picture;
                }
                data.append("\0\0", 2);
                rowEnded = true;
                ++row;
            } else if (choice == 1 && left > 1) {
                // A jump, sometimes to a later row.
                const int right = int(random.bounded(std::min(left - 1, 20) + 1));
                const int up = row + 1 < height && random.bounded(3) == 0 ? 1 : 0;
                data.append("\0\2", 2);
                data.append(char(right));
                data.append(char(up));
                x += right;
                row += up;
            } else if (choice <= 4 && left >= 3) {
                const int count = 3 + int(random.bounded(std::min(left, 40) - 2));
                data.append('\0');
                data.append(char(count));
                QByteArray stretch;
                for (int i = 0; i < count; ++i) {
                    const int index = int(random.bounded(indexCount));
                    set(x + i, row, index);
                    if (!fourBits)
                        stretch.append(char(index));
                    else if (i % 2 == 0)
                        stretch.append(char(index << 4));
                    else
                        stretch.back() = char(stretch.back() | index);
                }
                if (stretch.size() % 2 == 1)
                    stretch.append('\0');
                data += stretch;
                x += count;
            } else {
                const int count = 1 + int(random.bounded(std::min(left, 255)));
                const int value = int(random.bounded(256));
                data.append(char(count));
                data.append(char(value));
                for (int i = 0; i < count; ++i)
                    set(x + i, row, !fourBits ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F));
                x += count;
            }
        }
    }
    data.append("\0\1", 2);
    return picture;
}

QRgb paletteColourAt(const QByteArray& palette, int index)
{
    const auto byte = [&](int at) { return int(quint8(palette[index * 4 + at])); };
    return qRgb(byte(2), byte(1), byte(0));
}

// A source that reads like a pipe: no size, no seeking, a few bytes at a
// time; after `bytes` it repeats `pattern` for ever when one is given.
class StreamSource final : public ByteSource
{
public:
    explicit StreamSource(QByteArray bytes, const QByteArray& pattern = {})
        : m_bytes(std::move(bytes))
    {
        // Long enough to be copied in pieces, as a real source is.
        while (!pattern.isEmpty() && m_pattern.size() < 4096)
            m_pattern += pattern;
    }

    Result<std::size_t> read(std::span<std::uint8_t> buffer) override
    {
        // Pipes hand over what they hold, often less than asked for.
        buffer = buffer.first(std::min<std::size_t>(buffer.size(), 65536 - m_position % 7));
        std::size_t count = 0;
        while (count < buffer.size()) {
            const std::uint64_t length = std::uint64_t(m_bytes.size());
            const char* from = nullptr;
            std::size_t available = 0;
            if (m_position < length) {
                from = m_bytes.constData() + m_position;
                available = std::size_t(length - m_position);
            } else if (!m_pattern.isEmpty()) {
                const std::size_t at = std::size_t((m_position - length) % m_pattern.size());
                from = m_pattern.constData() + at;
                available = std::size_t(m_pattern.size()) - at;
            } else {
                break;
            }
            const std::size_t piece = std::min(available, buffer.size() - count);
            std::copy_n(from, piece, buffer.begin() + std::ptrdiff_t(count));
            count += piece;
            m_position += piece;
        }
        return count;
    }
    std::optional<std::uint64_t> size() const override { return std::nullopt; }
    Result<void> seek(std::uint64_t) override { return fail("cannot seek in a stream"); }
    std::uint64_t position() const override { return m_position; }

private:
    QByteArray m_bytes;
    QByteArray m_pattern;
    std::uint64_t m_position = 0;
};

// Counts the bytes a decoder reads through it.
class CountingSource final : public ByteSource
{
public:
    explicit CountingSource(ByteSource& inner) : m_inner(inner) {}
    Result<std::size_t> read(std::span<std::uint8_t> buffer) override
    {
        const Result<std::size_t> got = m_inner.read(buffer);
        if (got)
            m_read += *got;
        return got;
    }
    std::optional<std::uint64_t> size() const override { return m_inner.size(); }
    Result<void> seek(std::uint64_t offset) override { return m_inner.seek(offset); }
    std::uint64_t position() const override { return m_inner.position(); }
    std::uint64_t bytesRead() const { return m_read; }

private:
    ByteSource& m_inner;
    std::uint64_t m_read = 0;
};

// A second, as the product is held to; sanitizers make every byte several
// times dearer.
#if defined(__SANITIZE_ADDRESS__)
constexpr double cpuLimitSeconds = 4.0;
#else
constexpr double cpuLimitSeconds = 1.0;
#endif

double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

long peakMemoryKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// An icon file of one bitmap image: directory, header, palette, colour rows
// and AND mask rows, both bottom up.
QByteArray iconFile(int width, int height, int bits, const QByteArray& palette,
                    const QByteArray& colours, const QByteArray& mask, quint32 coloursUsed = 0,
                    int entries = 1)
{
    QByteArray image;
    appendLe32(image, 40);
    appendLe32(image, quint32(width));
    appendLe32(image, quint32(2 * height));
    appendLe16(image, 1);
    appendLe16(image, quint32(bits));
    appendLe32(image, 0);
    appendLe32(image, quint32(colours.size() + mask.size()));
    appendLe32(image, 0);
    appendLe32(image, 0);
    appendLe32(image, coloursUsed);
    appendLe32(image, 0);
    image += palette + colours + mask;

    QByteArray file;
    appendLe16(file, 0);
    appendLe16(file, 1);
    appendLe16(file, quint32(entries));
    for (int entry = 0; entry < entries; ++entry) {
        // Later entries point at the same image but say another size.
        file.append(char(entry == 0 ? width & 0xFF : 1));
        file.append(char(entry == 0 ? height & 0xFF : 1));
        file.append("\x00\x00", 2);
        appendLe16(file, 1);
        appendLe16(file, quint32(bits));
        appendLe32(file, quint32(image.size()));
        appendLe32(file, quint32(6 + 16 * entries));
    }
    return file + image;
}

// An icon whose one image is a PNG file.
QByteArray iconHoldingPng(const QByteArray& png)
{
    QByteArray icon("\0\0\1\0\1\0", 6);
    icon += QByteArray("\x20\x20\0\0\1\0\x20\0", 8);
    appendLe32(icon, quint32(png.size()));
    appendLe32(icon, 22);
    return icon + png;
}

struct Icon
{
    QByteArray file;
    QImage expected; // ARGB32; alpha 0 where the mask clears a pixel
};

// A width × height icon of `bits` bits whose AND mask clears a shape unlike
// its mirror images, so that rows or columns taken in the wrong order show.
Icon makeIcon(int width, int height, int bits, quint32 seed)
{
    QRandomGenerator random(seed);
    const auto cleared = [](int x, int y) { return (x * 3 + y * 5) % 7 == 0 || (x > 20 && y < 6); };
    const int stride = (width * bits + 31) / 32 * 4;
    const int maskStride = (width + 31) / 32 * 4;
    QImage expected(width, height, QImage::Format_ARGB32);
    QByteArray palette;
    if (bits <= 8)
        palette = randomBytes(random, 4 << bits);
    for (int index = 3; index < palette.size(); index += 4)
        palette[index] = '\0';
    QByteArray colours(stride * height, '\0');
    QByteArray mask(maskStride * height, '\0');
    for (int y = 0; y < height; ++y) {
        char* row = colours.data() + (height - 1 - y) * stride;
        char* maskRow = mask.data() + (height - 1 - y) * maskStride;
        for (int x = 0; x < width; ++x) {
            QRgb colour = 0;
            const int value = int(random.bounded(1 << std::min(bits, 24)));
            switch (bits) {
            case 1:
            case 4:
            case 8: {
                const int shift = 8 - bits - (x * bits) % 8;
                row[x * bits / 8] = char(row[x * bits / 8] | value << shift);
                colour = paletteColourAt(palette, value);
                break;
            }
            case 16: {
                row[2 * x] = char(value & 0xFF);
                row[2 * x + 1] = char(value >> 8 & 0x7F);
                const auto widen = [](int field) { return field << 3 | field >> 2; };
                colour = qRgb(widen(value >> 10 & 31), widen(value >> 5 & 31), widen(value & 31));
                break;
            }
            default: // 24, and 32 with every alpha byte 0
                row[x * bits / 8] = char(value & 0xFF);
                row[x * bits / 8 + 1] = char(value >> 8 & 0xFF);
                row[x * bits / 8 + 2] = char(value >> 16 & 0xFF);
                colour = qRgb(value >> 16 & 0xFF, value >> 8 & 0xFF, value & 0xFF);
            }
            if (cleared(x, y)) {
                maskRow[x / 8] = char(maskRow[x / 8] | 0x80 >> x % 8);
                colour = qRgba(0, 0, 0, 0);
            }
            expected.setPixel(x, y, colour);
        }
    }
    return {iconFile(width, height, bits, palette, colours, mask), expected};
}

} // namespace

Q_DECLARE_METATYPE(Bitmap)
Q_DECLARE_METATYPE(Icon)

class TestBmpIco : public QObject
{
    Q_OBJECT

private slots:
    void bitmapColoursMatchTheToolkit_data();
    void bitmapColoursMatchTheToolkit();
    void fieldsWiderThanEightBitsKeepTheirTopBits();
    void runLengthPixelsNotSetStayTransparent_data();
    void runLengthPixelsNotSetStayTransparent();
    void runLengthMatchesItsDataAndTheToolkit_data();
    void runLengthMatchesItsDataAndTheToolkit();
    void cornerComesFromTheWantedRowsOnly_data();
    void cornerComesFromTheWantedRowsOnly();
    void cornerOfFileAndPipe_data();
    void cornerOfFileAndPipe();
    void iconTransparencyFollowsMaskOrAlpha_data();
    void iconTransparencyFollowsMaskOrAlpha();
    void iconWithAlphaMatchesTheToolkit();
    void iconHoldingPngIsHandedToPngDecoder();
    void failuresGiveTheLoadersReasons_data();
    void failuresGiveTheLoadersReasons();
    void hostileInputIsBounded_data();
    void hostileInputIsBounded();
    void bitmapWriterMatchesToolkitWriter_data();
    void bitmapWriterMatchesToolkitWriter();

private:
    QTemporaryDir m_dir;
};

void TestBmpIco::bitmapColoursMatchTheToolkit_data()
{
    QTest::addColumn<Bitmap>("bitmap");
    // The same pixels as the toolkit's reader takes them, for the headers it
    // cannot read: 0 when it reads this one.
    QTest::addColumn<int>("referenceHeaderSize");

    const auto row = [](const char* name, Bitmap bitmap, int referenceHeaderSize = 0) {
        bitmap.width = bitmap.width != 0 ? bitmap.width : 37; // rows padded differently
        bitmap.height = bitmap.height != 0 ? bitmap.height : 9;
        QTest::newRow(name) << bitmap << referenceHeaderSize;
    };
    const std::array<quint32, 4> standard = {0xFF0000, 0xFF00, 0xFF, 0};
    const std::array<quint32, 4> withAlpha = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    row("1-bit", {.bits = 1, .paletteEntries = 2});
    row("1-bit, one colour", {.bits = 1, .coloursUsed = 1, .paletteEntries = 1});
    row("1-bit, 1 pixel wide", {.width = 1, .bits = 1, .paletteEntries = 2});
    row("1-bit, OS/2 header", {.headerSize = 12, .bits = 1, .paletteEntries = 2});
    row("4-bit", {.bits = 4, .paletteEntries = 16});
    row("4-bit, 5 colours", {.bits = 4, .coloursUsed = 5, .paletteEntries = 5});
    row("4-bit, OS/2 header, top down",
        {.headerSize = 12, .topDown = true, .bits = 4, .paletteEntries = 16});
    row("8-bit", {.bits = 8, .paletteEntries = 256});
    row("8-bit, 100 colours", {.bits = 8, .coloursUsed = 100, .paletteEntries = 100});
    row("8-bit, top down", {.topDown = true, .bits = 8, .paletteEntries = 256});
    row("8-bit, version 5 header", {.headerSize = 124, .bits = 8, .paletteEntries = 256});
    row("8-bit, offset pointing into the headers", {.bits = 8, .paletteEntries = 256, .gap = -30});
    row("16-bit 5-5-5", {.bits = 16});
    row("16-bit 5-6-5 bit fields",
        {.bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F, 0}});
    row("16-bit 4-4-4-4, version 4 header",
        {.headerSize = 108, .bits = 16, .compression = 3, .masks = {0x0F00, 0xF0, 0xF, 0xF000}});
    row("16-bit, masks with holes",
        {.bits = 16, .compression = 3, .masks = {0x0005, 0x07E0, 0x8000, 0}});
    row("16-bit, version 4 header uncompressed", {.headerSize = 108, .bits = 16});
    row("24-bit", {.bits = 24});
    row("24-bit, top down", {.topDown = true, .bits = 24});
    row("24-bit, OS/2 header", {.headerSize = 12, .bits = 24});
    row("24-bit, gap before the pixels", {.bits = 24, .gap = 10});
    row("24-bit, OS/2 second header", {.headerSize = 64, .bits = 24});
    row("32-bit", {.bits = 32});
    row("32-bit bit fields, alpha not in the header",
        {.bits = 32, .compression = 3, .masks = standard});
    row("32-bit bit fields with alpha, version 5 header",
        {.headerSize = 124, .bits = 32, .compression = 3, .masks = withAlpha});
    row("32-bit, version 5 header with alpha",
        {.headerSize = 124, .topDown = true, .bits = 32, .masks = withAlpha});
    row("32-bit, version 4 header with another alpha mask",
        {.headerSize = 108, .bits = 32, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF}});
    row("32-bit, masks of 0", {.headerSize = 108, .bits = 32, .compression = 3, .masks = {}});
    row("32-bit, 2-bit alpha", {.headerSize = 108,
                                .bits = 32,
                                .compression = 3,
                                .masks = {0xFF00, 0xFF0000, 0xFF, 0xC0000000}});
    row("16-bit, version 2 header",
        {.headerSize = 52, .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x1F, 0}}, 108);
    row("32-bit, version 3 header with alpha",
        {.headerSize = 56, .bits = 32, .compression = 3, .masks = withAlpha}, 108);
    // The toolkit reads no alpha bit fields; the same masks in a version 4
    // header are its equal.
    row("32-bit alpha bit fields",
        {.bits = 32, .compression = 6, .masks = {0xFF00, 0xFF0000, 0xFF000000, 0xFF}}, 108);
}

void TestBmpIco::bitmapColoursMatchTheToolkit()
{
    QFETCH(Bitmap, bitmap);
    QFETCH(int, referenceHeaderSize);

    for (quint32 seed = 1; seed <= 6; ++seed) {
        QRandomGenerator random(seed);
        const QByteArray palette = randomPalette(random, bitmap);
        const QByteArray rows = randomBytes(random, strideOf(bitmap) * bitmap.height);
        const QByteArray file = bitmapFile(bitmap, palette, rows);
        Bitmap reference = bitmap;
        if (referenceHeaderSize != 0) {
            reference.headerSize = referenceHeaderSize;
            reference.compression = 3;
        }

        const QImage expected = toolkitReads(bitmapFile(reference, palette, rows));
        QVERIFY(!expected.isNull());
        const Result<PictureCorner> corner = cornerOf(file);

        QVERIFY2(corner, corner ? "" : corner.error().why.c_str());
        const QString difference = firstDifference(*corner, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }
}

void TestBmpIco::fieldsWiderThanEightBitsKeepTheirTopBits()
{
    // 10 bits a channel and 2 of alpha; the toolkit's reader made such
    // pictures black.
    const Bitmap bitmap{.headerSize = 108,
                        .width = 2,
                        .height = 1,
                        .bits = 32,
                        .compression = 3,
                        .masks = {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}};
    QByteArray rows;
    appendLe32(rows, 0x3FFu << 20 | 0x200u << 10 | 0x0FFu | 2u << 30);
    appendLe32(rows, 0x004u << 20 | 0x3FCu << 10 | 0x100u | 3u << 30);

    const Result<PictureCorner> corner = cornerOf(bitmapFile(bitmap, {}, rows));

    QVERIFY(corner);
    QCOMPARE(rgbOf(corner->at(0, 0)), qRgba(0xFF, 0x80, 0x3F, 0x80));
    QCOMPARE(rgbOf(corner->at(1, 0)), qRgba(0x01, 0xFF, 0x40, 0xC0));
}

void TestBmpIco::runLengthPixelsNotSetStayTransparent_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("expected"); // rows from the top; . is transparent

    // Red, green and blue at indices 0, 1 and 2.
    QByteArray palette;
    appendLe32(palette, 0xFF0000);
    appendLe32(palette, 0x00FF00);
    appendLe32(palette, 0x0000FF);
    const auto file = [&](quint32 compression, bool topDown, const QByteArray& data) {
        Bitmap bitmap{.width = 5,
                      .height = 3,
                      .topDown = topDown,
                      .bits = compression == 1 ? 8 : 4,
                      .compression = compression,
                      .coloursUsed = 3,
                      .paletteEntries = 3};
        return bitmapFile(bitmap, palette, data);
    };
    // Stored rows: two reds and an end of row; a jump to the third column, a
    // green and an end of row; an uncompressed green, blue, red, then the end
    // of the picture. A row filled from stale memory shows red in the middle
    // row, where the previous row had it.
    const QByteArray rle8("\x02\x00\x00\x00"
                          "\x00\x02\x02\x00\x01\x01\x00\x00"
                          "\x00\x03\x01\x02\x00\x00\x00\x01",
                          20);
    const QStringList bottomUp = {"GBR..", "..G..", "RR..."};
    QTest::newRow("RLE8") << file(1, false, rle8) << bottomUp;
    QTest::newRow("RLE8, top down")
        << file(1, true, rle8) << QStringList{"RR...", "..G..", "GBR.."};
    // Cut short inside the uncompressed stretch: its first pixel is there.
    QTest::newRow("RLE8 cut short")
        << file(1, false, rle8.left(15)) << QStringList{"G....", "..G..", "RR..."};
    QTest::newRow("RLE8, a jump to a later row")
        << file(1, false, QByteArray("\x01\x02\x00\x02\x01\x01\x02\x01\x00\x01", 10))
        << QStringList{".....", "..GG.", "B...."};

    const QByteArray rle4("\x02\x00\x00\x00"
                          "\x00\x02\x02\x00\x01\x11\x00\x00"
                          "\x00\x03\x12\x00\x00\x01",
                          18);
    QTest::newRow("RLE4") << file(2, false, rle4) << bottomUp;
    QTest::newRow("RLE4, run of two colours")
        << file(2, false, QByteArray("\x05\x12\x00\x00\x00\x03\x20\x00\x00\x01", 10))
        << QStringList{".....", "BRR..", "GBGBG"};
}

void TestBmpIco::runLengthPixelsNotSetStayTransparent()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);

    for (const bool asStream : {false, true}) {
        StreamSource stream(file);
        MemorySource memory(bytesOf(file));
        ByteSource& source = asStream ? static_cast<ByteSource&>(stream) : memory;
        const Result<PictureCorner> corner = readPictureCorner(source, 128, 64);
        QVERIFY2(corner, corner ? "" : corner.error().why.c_str());

        QStringList shown;
        for (int y = 0; y < corner->height; ++y) {
            QString line;
            for (int x = 0; x < corner->width; ++x) {
                const Rgba pixel = corner->at(x, y);
                const QRgb colour = rgbOf(pixel);
                line += pixel.alpha == 0        ? QLatin1Char('.')
                        : colour == 0xFFFF0000u ? QLatin1Char('R')
                        : colour == 0xFF00FF00u ? QLatin1Char('G')
                        : colour == 0xFF0000FFu ? QLatin1Char('B')
                                                : QLatin1Char('?');
            }
            shown << line;
        }
        QCOMPARE(shown, expected);
    }
}

void TestBmpIco::runLengthMatchesItsDataAndTheToolkit_data()
{
    QTest::addColumn<bool>("fourBits");
    QTest::addColumn<bool>("topDown");

    QTest::newRow("RLE8") << false << false;
    QTest::newRow("RLE8, top down") << false << true;
    QTest::newRow("RLE4") << true << false;
    QTest::newRow("RLE4, top down") << true << true;
}

void TestBmpIco::runLengthMatchesItsDataAndTheToolkit()
{
    QFETCH(bool, fourBits);
    QFETCH(bool, topDown);

    for (quint32 seed = 1; seed <= 20; ++seed) {
        QRandomGenerator random(seed);
        Bitmap bitmap{.width = 1 + int(random.bounded(300)),
                      .height = 1 + int(random.bounded(40)),
                      .topDown = topDown,
                      .bits = fourBits ? 4 : 8,
                      .compression = fourBits ? 2u : 1u,
                      .paletteEntries = fourBits ? 16 : 256};
        const QByteArray palette = randomPalette(random, bitmap);
        const RunLengthPicture picture =
            randomRunLength(random, bitmap.width, bitmap.height, fourBits);
        const QByteArray file = bitmapFile(bitmap, palette, picture.data);

        // What the data says, pixel by pixel.
        QImage expected(bitmap.width, bitmap.height, QImage::Format_ARGB32);
        for (int stored = 0; stored < bitmap.height; ++stored) {
            const int y = topDown ? stored : bitmap.height - 1 - stored;
            for (int x = 0; x < bitmap.width; ++x) {
                const int index = picture.indices[std::size_t(stored * bitmap.width + x)];
                expected.setPixel(x, y, index < 0 ? 0 : paletteColourAt(palette, index));
            }
        }
        const Result<PictureCorner> corner = cornerOf(file);
        QVERIFY2(corner, corner ? "" : corner.error().why.c_str());
        QString difference = firstDifference(*corner, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(QString::number(seed) + ": " + difference));

        // The toolkit agrees wherever the data sets a pixel; elsewhere it
        // shows whatever its memory held.
        difference = firstDifference(*corner, toolkitReads(file), [](QRgb ours, QRgb toolkit) {
            return qAlpha(ours) == 0 || ours == toolkit;
        });
        QVERIFY2(difference.isEmpty(), qPrintable(QString::number(seed) + ": " + difference));
    }
}

// A 24-bit picture whose every pixel tells where it is.
QRgb positionColour(int x, int y)
{
    return qRgb(x & 0xFF, y & 0xFF, (x >> 8) * 16 + (y >> 8));
}

QByteArray positionBitmap(int width, int height, bool topDown)
{
    const Bitmap bitmap{.width = width, .height = height, .topDown = topDown, .bits = 24};
    const int stride = strideOf(bitmap);
    QByteArray rows(qsizetype(stride) * height, '\0');
    for (int stored = 0; stored < height; ++stored) {
        const int y = topDown ? stored : height - 1 - stored;
        char* row = rows.data() + qsizetype(stored) * stride;
        for (int x = 0; x < width; ++x) {
            const QRgb colour = positionColour(x, y);
            row[3 * x] = char(qBlue(colour));
            row[3 * x + 1] = char(qGreen(colour));
            row[3 * x + 2] = char(qRed(colour));
        }
    }
    return bitmapFile(bitmap, {}, rows);
}

QString cornerDifference(const PictureCorner& corner, int width, int height)
{
    QImage expected(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            expected.setPixel(x, y, positionColour(x, y));
    }
    return firstDifference(corner, expected);
}

void TestBmpIco::cornerComesFromTheWantedRowsOnly_data()
{
    QTest::addColumn<bool>("topDown");
    QTest::addColumn<bool>("asStream");

    QTest::newRow("bottom up") << false << false;
    QTest::newRow("top down") << true << false;
    QTest::newRow("bottom up, stream") << false << true;
    QTest::newRow("top down, stream") << true << true;
}

void TestBmpIco::cornerComesFromTheWantedRowsOnly()
{
    QFETCH(bool, topDown);
    QFETCH(bool, asStream);

    const QByteArray file = positionBitmap(1500, 1000, topDown);
    MemorySource memory(bytesOf(file));
    StreamSource stream(file);
    CountingSource counted(asStream ? static_cast<ByteSource&>(stream) : memory);

    const Result<PictureCorner> corner = readPictureCorner(counted, 128, 64);

    QVERIFY2(corner, corner ? "" : corner.error().why.c_str());
    const QString difference = cornerDifference(*corner, 128, 64);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    // A source that can seek goes straight to the wanted rows; a stream must
    // pass the rows before them, but not those after them.
    const std::uint64_t rowBytes = 1500 * 3;
    if (!asStream)
        QVERIFY2(counted.bytesRead() < 64 * 128 * 3 + 1024,
                 qPrintable(QString::number(counted.bytesRead())));
    else if (topDown)
        QVERIFY(counted.bytesRead() < 65 * rowBytes + 64 * 1024);
}

void TestBmpIco::cornerOfFileAndPipe_data()
{
    QTest::addColumn<bool>("topDown");
    QTest::addColumn<bool>("throughPipe");

    QTest::newRow("file, bottom up") << false << false;
    QTest::newRow("file, top down") << true << false;
    QTest::newRow("pipe, bottom up") << false << true;
    QTest::newRow("pipe, top down") << true << true;
}

void TestBmpIco::cornerOfFileAndPipe()
{
    QFETCH(bool, topDown);
    QFETCH(bool, throughPipe);

    const QByteArray file = positionBitmap(2000, 1500, topDown);
    Result<PictureCorner> corner;
    if (!throughPipe) {
        const QString path = m_dir.filePath(QStringLiteral("corner.bmp"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
        out.close();
        Result<FileSource> source = FileSource::open(path.toStdString(), "a picture");
        QVERIFY(source);
        corner = readPictureCorner(*source, 128, 64);
    } else {
        // The reader stops before the writer is done when the rows it wants
        // come first; the writer then meets a closed pipe.
        std::signal(SIGPIPE, SIG_IGN);
        int ends[2];
        QCOMPARE(::pipe(ends), 0);
        std::thread writer([&] {
            for (qsizetype at = 0; at < file.size();) {
                const ssize_t written =
                    ::write(ends[1], file.constData() + at, std::size_t(file.size() - at));
                if (written <= 0)
                    break;
                at += written;
            }
            ::close(ends[1]);
        });
        {
            FileSource source = FileSource::borrow(ends[0]);
            corner = readPictureCorner(source, 128, 64);
        }
        ::close(ends[0]);
        writer.join();
    }

    QVERIFY2(corner, corner ? "" : corner.error().why.c_str());
    const QString difference = cornerDifference(*corner, 128, 64);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestBmpIco::iconTransparencyFollowsMaskOrAlpha_data()
{
    QTest::addColumn<Icon>("icon");
    QTest::addColumn<bool>("toolkitAgrees");

    // The toolkit's reader applies the mask to palette icons only.
    QTest::newRow("1-bit") << makeIcon(37, 29, 1, 1) << true;
    QTest::newRow("4-bit") << makeIcon(37, 29, 4, 2) << true;
    QTest::newRow("8-bit") << makeIcon(37, 29, 8, 3) << true;
    QTest::newRow("16-bit") << makeIcon(37, 29, 16, 4) << false;
    QTest::newRow("24-bit") << makeIcon(37, 29, 24, 5) << false;
    QTest::newRow("32-bit without alpha") << makeIcon(37, 29, 32, 6) << false;
    // The directory says 0 for 256 pixels.
    QTest::newRow("256 wide") << makeIcon(256, 40, 24, 7) << false;
    Icon twoImages = makeIcon(33, 17, 8, 8);
    twoImages.file = iconFile(33, 17, 8, twoImages.file.mid(22 + 40, 1024),
                              twoImages.file.mid(22 + 40 + 1024), {}, 0, 2);
    QTest::newRow("first of two images") << twoImages << true;
}

void TestBmpIco::iconTransparencyFollowsMaskOrAlpha()
{
    QFETCH(Icon, icon);
    QFETCH(bool, toolkitAgrees);

    for (const bool asStream : {false, true}) {
        StreamSource stream(icon.file);
        MemorySource memory(bytesOf(icon.file));
        ByteSource& source = asStream ? static_cast<ByteSource&>(stream) : memory;
        const Result<PictureCorner> corner = readPictureCorner(source, 300, 300);
        QVERIFY2(corner, corner ? "" : corner.error().why.c_str());

        QString difference = firstDifference(*corner, icon.expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        if (toolkitAgrees) {
            difference = firstDifference(*corner, toolkitReads(icon.file));
            QVERIFY2(difference.isEmpty(), qPrintable(difference));
        }
    }
}

void TestBmpIco::iconWithAlphaMatchesTheToolkit()
{
    // Alpha of every value, colours at random and a mask that the alpha
    // overrides. The toolkit's reader premultiplies, which rounds the colours
    // of transparent pixels; premultiplied, they must agree.
    constexpr int width = 37;
    constexpr int height = 29;
    QRandomGenerator random(11);
    QByteArray colours = randomBytes(random, width * height * 4);
    const QByteArray mask = randomBytes(random, 8 * height);
    const QByteArray file = iconFile(width, height, 32, {}, colours, mask);

    const Result<PictureCorner> corner = cornerOf(file);

    QVERIFY2(corner, corner ? "" : corner.error().why.c_str());
    const QString difference =
        firstDifference(*corner, toolkitReads(file), [](QRgb ours, QRgb toolkit) {
            return qPremultiply(ours) == qPremultiply(toolkit);
        });
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    // Not all fully opaque or clear: the alpha was really used.
    QVERIFY(std::any_of(corner->pixels.begin(), corner->pixels.end(),
                        [](Rgba pixel) { return pixel.alpha > 0 && pixel.alpha < 255; }));
}

bool havePngDecoder()
{
    const QByteArray png = encode(QImage(1, 1, QImage::Format_ARGB32), "png");
    MemorySource source(bytesOf(png));
    return readPictureCorner(source, 1, 1).has_value();
}

void TestBmpIco::iconHoldingPngIsHandedToPngDecoder()
{
    if (!havePngDecoder())
        QSKIP("needs the PNG decoder");
    QImage picture(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x)
            picture.setPixel(x, y, qRgba(x * 6, y * 8, 90, (x + y) % 3 == 0 ? 0 : 255));
    }
    QByteArray file = iconHoldingPng(encode(picture, "png"));
    // Bytes after the image that are no part of it.
    file += QByteArray(100, '\x7F');

    const Result<PictureCorner> corner = cornerOf(file);

    QVERIFY2(corner, corner ? "" : corner.error().why.c_str());
    const QString difference = firstDifference(*corner, picture);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

enum class Entry { Missing, File, Folder };
Q_DECLARE_METATYPE(Entry)

void TestBmpIco::failuresGiveTheLoadersReasons_data()
{
    QTest::addColumn<Entry>("entry");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("needsPng");

    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(qRgb(10, 200, 30));
    const QByteArray bitmap = encode(picture, "bmp");
    const QByteArray png = encode(picture, "png");
    const QString damagedBmp = QStringLiteral("damaged or unsupported BMP picture");
    const QString damagedIco = QStringLiteral("damaged or unsupported ICO picture");
    const QString tooLarge = QStringLiteral("picture is too large (100000 × 100000 pixels)");

    QTest::newRow("missing file") << Entry::Missing << QByteArray() << "file not found" << false;
    QTest::newRow("folder") << Entry::Folder << QByteArray() << "is a folder, not a picture"
                            << false;
    QTest::newRow("empty file") << Entry::File << QByteArray() << "file is empty" << false;
    QTest::newRow("text") << Entry::File << QByteArray("Dear diary, today I drew a cat.\n")
                          << "not a picture Dotwright can read" << false;
    QTest::newRow("one byte") << Entry::File << QByteArray("B")
                              << "not a picture Dotwright can read" << false;
    QTest::newRow("BMP cut short")
        << Entry::File << bitmap.left(bitmap.size() / 2) << damagedBmp << false;
    QTest::newRow("BMP cut short in its header")
        << Entry::File << bitmap.left(30) << damagedBmp << false;
    QByteArray claiming = bitmap;
    for (const int at : {18, 22}) {
        claiming[at] = char(0xA0);
        claiming[at + 1] = char(0x86);
        claiming[at + 2] = char(0x01); // 100000
    }
    QTest::newRow("BMP claiming 100000 × 100000") << Entry::File << claiming << tooLarge << false;
    QByteArray planes = bitmap;
    planes[26] = 2;
    QTest::newRow("BMP of 2 planes") << Entry::File << planes << damagedBmp << false;
    QByteArray headerSize = bitmap;
    headerSize[14] = 41;
    QTest::newRow("BMP header of no known size")
        << Entry::File << headerSize << damagedBmp << false;
    Bitmap allOnes{.headerSize = 108, .width = 2, .height = 2, .bits = 32, .compression = 3};
    allOnes.masks = {0xFF0000, 0xFF00, 0xFFFFFFFF, 0};
    QTest::newRow("BMP with a mask of every bit")
        << Entry::File << bitmapFile(allOnes, {}, QByteArray(16, '\1')) << damagedBmp << false;
    QTest::newRow("PNG cut short")
        << Entry::File << png.left(png.size() / 2) << "damaged or unsupported PNG picture" << false;
    QTest::newRow("GIF of nothing")
        << Entry::File << QByteArray("GIF89a") << "damaged or unsupported GIF picture" << false;
    QTest::newRow("JPEG of nothing") << Entry::File << QByteArray("\xFF\xD8\xFF", 3)
                                     << "damaged or unsupported JPEG picture" << false;
    const Icon icon = makeIcon(32, 32, 24, 1);
    QTest::newRow("icon cut short") << Entry::File << icon.file.left(200) << damagedIco << false;
    QTest::newRow("icon without its mask")
        << Entry::File << icon.file.left(icon.file.size() - 4) << damagedIco << false;
    QByteArray hugeIcon = iconFile(100000, 100000, 24, {}, QByteArray(1000, '\0'), {});
    hugeIcon[6] = 0;
    hugeIcon[7] = 0;
    QTest::newRow("icon claiming 100000 × 100000") << Entry::File << hugeIcon << tooLarge << false;
    QTest::newRow("icon holding a PNG cut short")
        << Entry::File << iconHoldingPng(png).left(100) << damagedIco << false;
    // The header and the start of the next chunk: an icon's image is at least
    // 40 bytes long, or the file is no icon at all.
    QByteArray pngHeader = png.left(45);
    for (const int at : {16, 20}) {
        pngHeader[at] = 0;
        pngHeader[at + 1] = char(0x01);
        pngHeader[at + 2] = char(0x86);
        pngHeader[at + 3] = char(0xA0);
    }
    QTest::newRow("icon holding a PNG claiming 100000 × 100000")
        << Entry::File << iconHoldingPng(pngHeader) << tooLarge << true;
}

void TestBmpIco::failuresGiveTheLoadersReasons()
{
    QFETCH(Entry, entry);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QFETCH(bool, needsPng);

    if (needsPng && !havePngDecoder())
        QSKIP("needs the PNG decoder");
    const QString path = m_dir.filePath(QStringLiteral("unreadable"));
    QFile::remove(path);
    QDir(path).removeRecursively();
    if (entry == Entry::File) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    } else if (entry == Entry::Folder) {
        QVERIFY(QDir().mkpath(path));
    }

    Result<FileSource> file = FileSource::open(path.toStdString(), "a picture");
    Result<PictureCorner> fromFile = file ? readPictureCorner(*file, 128, 64) : fail(file.error());
    QVERIFY(!fromFile);
    QCOMPARE(QString::fromStdString(fromFile.error().message()), reason);
    if (entry == Entry::File) {
        StreamSource stream(bytes);
        const Result<PictureCorner> fromStream = readPictureCorner(stream, 128, 64);
        QVERIFY(!fromStream);
        QCOMPARE(QString::fromStdString(fromStream.error().message()), reason);
    }
}

void TestBmpIco::hostileInputIsBounded_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("repeated"); // after the start, for ever
    QTest::addColumn<QString>("reason");      // empty: read

    const auto bitmap = [](const Bitmap& header, QByteArray palette = {}) {
        return bitmapFile(header, palette, {});
    };
    const QString damagedBmp = QStringLiteral("damaged or unsupported BMP picture");
    const QString damagedIco = QStringLiteral("damaged or unsupported ICO picture");
    const QByteArray zero(1, '\0');

    QTest::newRow("zeros") << QByteArray() << zero << "not a picture Dotwright can read";
    QTest::newRow("BM again and again") << QByteArray() << QByteArray("BM") << damagedBmp;
    QTest::newRow("tall bitmap in endless zeros")
        << bitmap({.width = 1, .height = 64 * 1024 * 1024, .bits = 32}) << zero << QString();
    QTest::newRow("wide bitmap in endless zeros")
        << bitmap({.width = 64 * 1024 * 1024, .height = 1, .bits = 32}) << zero << QString();
    QTest::newRow("8000 × 8000 bitmap in endless zeros")
        << bitmap({.width = 8000, .height = 8000, .bits = 32}) << zero << QString();
    QByteArray farBitmap = bitmap({.width = 8, .height = 8, .bits = 24});
    farBitmap.replace(10, 4, QByteArray("\xF0\xFF\xFF\xFF", 4));
    QTest::newRow("bitmap with a huge offset") << farBitmap << zero << damagedBmp;
    QTest::newRow("palette of 4 billion colours")
        << bitmap({.width = 8, .height = 8, .bits = 8, .coloursUsed = 0xFFFFFFFF}) << zero
        << damagedBmp;
    // Runs past the end of the row, never an end of row.
    QTest::newRow("run-length data without end")
        << bitmap({.width = 8000, .height = 8000, .bits = 8, .compression = 1}, QByteArray(1024, 0))
        << QByteArray("\xFF\x01", 2) << QString();
    QTest::newRow("run-length jumps that go nowhere")
        << bitmap({.width = 8000, .height = 8000, .bits = 4, .compression = 2}, QByteArray(64, 0))
        << QByteArray("\x00\x02\x00\x00", 4) << QString();
    QTest::newRow("run-length uncompressed stretches without end")
        << bitmap({.width = 8000, .height = 8000, .bits = 8, .compression = 1}, QByteArray(1024, 0))
        << QByteArray("\x00\xFF", 2) << QString();
    QByteArray farIcon("\0\0\1\0\1\0\x20\x20\0\0\1\0\x20\0\xFF\xFF\xFF\x00\xF0\xFF\xFF\xFF", 22);
    QTest::newRow("icon with a huge offset") << farIcon << zero << damagedIco;
    QByteArray bigIcon = iconFile(8000, 8000, 32, {}, {}, {});
    bigIcon[6] = 0;
    bigIcon[7] = 0;
    QTest::newRow("8000 × 8000 icon in endless zeros") << bigIcon << zero << QString();
}

void TestBmpIco::hostileInputIsBounded()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, repeated);
    QFETCH(QString, reason);

    StreamSource endless(start, repeated);
    const double cpuBefore = cpuSeconds();
    const long peakBefore = peakMemoryKiB();

    const Result<PictureCorner> corner = readPictureCorner(endless, 128, 64);

    const double cpu = cpuSeconds() - cpuBefore;
    const long grownMiB = (peakMemoryKiB() - peakBefore) / 1024;
    if (reason.isEmpty())
        QVERIFY2(corner, corner ? "" : corner.error().why.c_str());
    else
        QCOMPARE(corner ? QString() : QString::fromStdString(corner.error().why), reason);
    QVERIFY2(cpu < cpuLimitSeconds, qPrintable(QStringLiteral("took %1 s").arg(cpu)));
    QVERIFY2(grownMiB < 64, qPrintable(QStringLiteral("took %1 MiB").arg(grownMiB)));
}

void TestBmpIco::bitmapWriterMatchesToolkitWriter_data()
{
    QTest::addColumn<QSize>("size");

    // Rows of 3, 6, 9 and 12 bytes take each padding.
    QTest::newRow("1 × 1") << QSize(1, 1);
    QTest::newRow("2 × 3") << QSize(2, 3);
    QTest::newRow("3 × 2") << QSize(3, 2);
    QTest::newRow("4 × 5") << QSize(4, 5);
    QTest::newRow("37 × 9") << QSize(37, 9);
    QTest::newRow("128 × 64") << QSize(128, 64);
}

void TestBmpIco::bitmapWriterMatchesToolkitWriter()
{
    QFETCH(QSize, size);

    QRandomGenerator random(quint32(size.width() * 1000 + size.height()));
    std::vector<std::uint32_t> colours(std::size_t(size.width() * size.height()));
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const std::uint32_t colour = random.generate() & 0xFFFFFF;
            colours[std::size_t(y * size.width() + x)] = colour;
            image.setPixel(x, y,
                           qRgb(int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16)));
        }
    }

    const std::vector<std::uint8_t> written = encodeBitmap(size.width(), size.height(), colours);

    QCOMPARE(QByteArray(reinterpret_cast<const char*>(written.data()), qsizetype(written.size())),
             encodeAt96Dpi(image, "bmp"));
}

QTEST_GUILESS_MAIN(TestBmpIco)
#include "tst_bmp_ico.moc"
