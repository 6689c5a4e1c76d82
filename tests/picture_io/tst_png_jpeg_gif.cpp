// The PNG, JPEG and GIF decoders against the toolkit's own readers, which
// decoded every picture before them: the same pixels over many pictures that
// the field's libraries write, the corner only as far as it goes, and bounded
// time and memory for inputs made to cost as much as possible.

#include "picture_io/byte_source.h"
#include "picture_io/decoders.h"
#include "picture_io/picture_reader.h"
#include "picture_io/png_writer.h"
#include "support/picture_bytes.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTest>

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

using Decoder = Result<void> (*)(ByteSource&, RowSink&);

// Keeps the top-left corner of what a decoder delivers and notes every breach
// of the sink's contract: a call out of order, a pixel outside the picture or
// delivered twice, a pixel of the corner never delivered.
class CornerSink final : public RowSink
{
public:
    explicit CornerSink(int maxWidth = 128, int maxHeight = 64, int reduction = 1)
        : m_maxWidth(maxWidth), m_maxHeight(maxHeight), m_reduction(reduction)
    {}

    int reductionFor(PictureSize stored) const override
    {
        if (m_started)
            m_faults << QStringLiteral("reductionFor called after start");
        m_askedFor = stored;
        return m_reduction;
    }

    void start(PictureSize delivered) override
    {
        if (m_started)
            m_faults << QStringLiteral("start called twice");
        m_started = true;
        m_size = delivered;
        m_width = int(std::min<std::int64_t>(delivered.width, m_maxWidth));
        m_height = int(std::min<std::int64_t>(delivered.height, m_maxHeight));
        m_pixels.assign(std::size_t(m_width) * std::size_t(m_height), Rgba{});
        m_deliveries.assign(m_pixels.size(), 0);
    }

    std::int64_t rowsWanted() const override { return m_maxHeight; }
    std::int64_t columnsWanted() const override { return m_maxWidth; }

    void pixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                std::span<const Rgba> pixels) override
    {
        if (!m_started) {
            m_faults << QStringLiteral("pixels before start");
            return;
        }
        const auto count = std::int64_t(pixels.size());
        if (y < 0 || y >= m_size.height || x0 < 0 || step < 1 ||
            (count > 0 && x0 + (count - 1) * step >= m_size.width)) {
            m_faults << QStringLiteral("row %1 (x0 %2, step %3, %4 pixels) outside the picture")
                            .arg(y)
                            .arg(x0)
                            .arg(step)
                            .arg(count);
            return;
        }
        m_largestStep = std::max(m_largestStep, step);
        for (std::int64_t i = 0; i < count; ++i) {
            const std::int64_t x = x0 + i * step;
            if (y >= m_height || x >= m_width)
                continue;
            const std::size_t at = std::size_t(y) * std::size_t(m_width) + std::size_t(x);
            if (m_deliveries[at]++ == 1)
                m_faults << QStringLiteral("pixel (%1, %2) delivered twice").arg(x).arg(y);
            m_pixels[at] = pixels[std::size_t(i)];
        }
    }

    // The first breach of the contract, or empty.
    QString problem() const
    {
        if (!m_faults.isEmpty())
            return m_faults.first();
        if (!m_started)
            return QStringLiteral("start never called");
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                if (m_deliveries[std::size_t(y) * std::size_t(m_width) + std::size_t(x)] == 0)
                    return QStringLiteral("pixel (%1, %2) never delivered").arg(x).arg(y);
            }
        }
        return {};
    }

    QImage corner() const
    {
        QImage image(m_width, m_height, QImage::Format_ARGB32);
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                const Rgba p = m_pixels[std::size_t(y) * std::size_t(m_width) + std::size_t(x)];
                image.setPixel(x, y, qRgba(p.red, p.green, p.blue, p.alpha));
            }
        }
        return image;
    }

    Rgba at(int x, int y) const
    {
        return m_pixels[std::size_t(y) * std::size_t(m_width) + std::size_t(x)];
    }
    QSize delivered() const { return {int(m_size.width), int(m_size.height)}; }
    std::optional<PictureSize> askedFor() const { return m_askedFor; }
    std::int64_t largestStep() const { return m_largestStep; }

private:
    int m_maxWidth;
    int m_maxHeight;
    int m_reduction;
    bool m_started = false;
    PictureSize m_size;
    int m_width = 0;
    int m_height = 0;
    std::vector<Rgba> m_pixels;
    std::vector<int> m_deliveries;
    std::int64_t m_largestStep = 0;
    mutable std::optional<PictureSize> m_askedFor;
    mutable QStringList m_faults;
};

std::span<const std::uint8_t> bytesOf(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
}

Result<void> decodeBytes(Decoder decoder, const QByteArray& bytes, RowSink& sink)
{
    MemorySource source(bytesOf(bytes));
    return decoder(source, sink);
}

QString messageOf(const Result<void>& result)
{
    return result ? QString() : QString::fromStdString(result.error().message());
}

// The picture as the toolkit's reader decodes it, in ARGB32, not premultiplied.
QImage toolkitPicture(const QByteArray& bytes, QSize scaledSize = {})
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    if (scaledSize.isValid())
        reader.setScaledSize(scaledSize);
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

QImage cornerOf(const QImage& image, QSize corner)
{
    return image.copy(0, 0, std::min(image.width(), corner.width()),
                      std::min(image.height(), corner.height()));
}

// The first pixel in which two pictures differ in any channel, alpha included.
QString difference(const QImage& actual, const QImage& expected)
{
    if (actual.size() != expected.size())
        return QStringLiteral("%1 × %2 pixels, expected %3 × %4")
            .arg(actual.width())
            .arg(actual.height())
            .arg(expected.width())
            .arg(expected.height());
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            if (actual.pixel(x, y) != expected.pixel(x, y))
                return QStringLiteral("pixel (%1, %2) is %3, expected %4")
                    .arg(x)
                    .arg(y)
                    .arg(actual.pixel(x, y), 8, 16, QLatin1Char('0'))
                    .arg(expected.pixel(x, y), 8, 16, QLatin1Char('0'));
        }
    }
    return {};
}

// Decodes `file` into a corner sink and compares it with the toolkit's reading
// of the same bytes: the size delivered and every pixel of the corner.
QString mismatchWithToolkit(Decoder decoder, const QByteArray& file, QSize corner = {128, 64},
                            int reduction = 1)
{
    CornerSink sink(corner.width(), corner.height(), reduction);
    const Result<void> result = decodeBytes(decoder, file, sink);
    if (!result)
        return QStringLiteral("refused: ") + messageOf(result);
    if (const QString problem = sink.problem(); !problem.isEmpty())
        return problem;
    QSize scaled;
    if (reduction > 1 && sink.askedFor())
        scaled = QSize(int((sink.askedFor()->width + reduction - 1) / reduction),
                       int((sink.askedFor()->height + reduction - 1) / reduction));
    const QImage expected = toolkitPicture(file, scaled);
    if (expected.isNull())
        return QStringLiteral("the toolkit cannot read it");
    if (sink.delivered() != expected.size())
        return QStringLiteral("delivered %1 × %2, the toolkit reads %3 × %4")
            .arg(sink.delivered().width())
            .arg(sink.delivered().height())
            .arg(expected.width())
            .arg(expected.height());
    return difference(sink.corner(), cornerOf(expected, corner));
}

// ---------------------------------------------------------------------------
// PNG files, written by libpng.

struct PngLayout
{
    int width = 1;
    int height = 1;
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    int paletteSize = 0;  // palette pictures
    int paletteAlpha = 0; // entries with a tRNS alpha
    bool transparentColour = false;
};

int pngChannels(int colourType)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

void putSample(std::vector<png_byte>& row, int index, int depth, unsigned value)
{
    if (depth == 16) {
        row[std::size_t(index) * 2] = png_byte(value >> 8);
        row[std::size_t(index) * 2 + 1] = png_byte(value & 0xFF);
    } else if (depth == 8) {
        row[std::size_t(index)] = png_byte(value);
    } else {
        const int bit = index * depth;
        row[std::size_t(bit / 8)] |= png_byte(value << (8 - depth - bit % 8));
    }
}

void appendToByteArray(png_structp png, png_bytep data, std::size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void flushNothing(png_structp) {}

// Random samples; where the layout asks for a transparent colour, a quarter of
// the pixels have exactly that colour. Palette indices run over the whole
// range of the bit depth, so indices beyond a short palette occur too.
QByteArray writePng(const PngLayout& layout, quint32 seed, bool withTransparency = true)
{
    QRandomGenerator random(seed);
    const int channels = pngChannels(layout.colourType);
    const unsigned maxSample = (1u << layout.bitDepth) - 1;
    std::vector<unsigned> transparent(static_cast<std::size_t>(channels));
    for (unsigned& sample : transparent)
        sample = random.bounded(maxSample + 1);

    const std::size_t rowBytes =
        (std::size_t(layout.width) * std::size_t(channels) * std::size_t(layout.bitDepth) + 7) / 8;
    std::vector<std::vector<png_byte>> rows(std::size_t(layout.height),
                                            std::vector<png_byte>(rowBytes, 0));
    for (int y = 0; y < layout.height; ++y) {
        for (int x = 0; x < layout.width; ++x) {
            const bool clear = layout.transparentColour && (x + y) % 4 == 0;
            for (int c = 0; c < channels; ++c) {
                const unsigned value =
                    clear ? transparent[std::size_t(c)] : random.bounded(maxSample + 1);
                putSample(rows[std::size_t(y)], x * channels + c, layout.bitDepth, value);
            }
        }
    }

    QByteArray bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &bytes, appendToByteArray, flushNothing);
    png_set_IHDR(png, info, png_uint_32(layout.width), png_uint_32(layout.height), layout.bitDepth,
                 layout.colourType, layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette(std::size_t(std::max(layout.paletteSize, 1)));
    std::vector<png_byte> alphas(std::size_t(std::max(layout.paletteAlpha, 1)));
    if (layout.colourType == PNG_COLOR_TYPE_PALETTE) {
        for (png_color& colour : palette)
            colour = {png_byte(random.bounded(256)), png_byte(random.bounded(256)),
                      png_byte(random.bounded(256))};
        png_set_PLTE(png, info, palette.data(), layout.paletteSize);
        png_set_check_for_invalid_index(png, 0);
        for (png_byte& alpha : alphas)
            alpha = png_byte(random.bounded(256));
        if (layout.paletteAlpha > 0 && withTransparency)
            png_set_tRNS(png, info, alphas.data(), layout.paletteAlpha, nullptr);
    } else if (layout.transparentColour && withTransparency) {
        png_color_16 colour{};
        if (channels == 1) {
            colour.gray = png_uint_16(transparent[0]);
        } else {
            colour.red = png_uint_16(transparent[0]);
            colour.green = png_uint_16(transparent[1]);
            colour.blue = png_uint_16(transparent[2]);
        }
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    png_write_info(png, info);
    if (layout.interlaced)
        png_set_interlace_handling(png);
    std::vector<png_bytep> pointers;
    for (std::vector<png_byte>& row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray chunk;
    const auto length = quint32(data.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.append(char(length >> shift & 0xFF));
    const QByteArray typed = QByteArray(type, 4) + data;
    chunk += typed;
    const auto crc =
        quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size())));
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.append(char(crc >> shift & 0xFF));
    return chunk;
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char(value >> shift & 0xFF));
    return bytes;
}

const QByteArray pngSignature("\x89PNG\r\n\x1A\n", 8);

QByteArray pngHeaderChunk(quint32 width, quint32 height, int bitDepth, int colourType,
                          int interlace = 0)
{
    return pngChunk("IHDR", bigEndian32(width) + bigEndian32(height) + char(bitDepth) +
                                char(colourType) + '\0' + '\0' + char(interlace));
}

QByteArray zlibCompressed(const QByteArray& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    QByteArray out(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(raw.constData()), uLong(raw.size()), 9);
    out.resize(qsizetype(size));
    return out;
}

// The image data of a 1 × 1 8-bit RGB picture of an orange pixel.
const QByteArray orangePixelData = zlibCompressed(QByteArray("\x00\xFF\x80\x00", 4));

// ---------------------------------------------------------------------------
// JPEG files, written by libjpeg.

struct JpegLayout
{
    int width = 1;
    int height = 1;
    int components = 3;
    J_COLOR_SPACE stored = JCS_YCbCr;
    int hSampling = 2; // of the first component (and of K in YCCK)
    int vSampling = 2;
    bool progressive = false;
    bool arithmetic = false;
    int restartRows = 0;
    int quality = 90;
};

QByteArray writeJpeg(const JpegLayout& layout, quint32 seed)
{
    QRandomGenerator random(seed);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(layout.width);
    info.image_height = JDIMENSION(layout.height);
    info.input_components = layout.components;
    info.in_color_space = layout.components == 1   ? JCS_GRAYSCALE
                          : layout.components == 3 ? JCS_RGB
                                                   : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, layout.stored);
    jpeg_set_quality(&info, layout.quality, TRUE);
    for (int c = 0; c < info.num_components; ++c) {
        const bool full = c == 0 || (layout.stored == JCS_YCCK && c == 3);
        const bool subsampled = layout.stored == JCS_YCbCr || layout.stored == JCS_YCCK;
        info.comp_info[c].h_samp_factor = full && subsampled ? layout.hSampling : 1;
        info.comp_info[c].v_samp_factor = full && subsampled ? layout.vSampling : 1;
    }
    if (layout.progressive)
        jpeg_simple_progression(&info);
    info.arith_code = layout.arithmetic ? TRUE : FALSE;
    info.restart_in_rows = layout.restartRows;
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(std::size_t(layout.width) * std::size_t(layout.components));
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        for (int x = 0; x < layout.width; ++x) {
            for (int c = 0; c < layout.components; ++c) {
                // Broad gradients that differ per channel, sharp block edges
                // and noise: colour conversion, subsampling and the IDCT all
                // leave their mark.
                const int base = (x * (5 + c) + y * (3 + 2 * c) + c * 60) % 256;
                const int edge = (x / 11 + y / 7) % 2 == 0 ? 40 : -40;
                const int value = base + edge + int(random.bounded(41)) - 20;
                row[std::size_t(x) * std::size_t(layout.components) + std::size_t(c)] =
                    JSAMPLE(std::clamp(value, 0, 255));
            }
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

QByteArray jpegSegment(quint8 marker, const QByteArray& data)
{
    const int length = int(data.size()) + 2;
    return QByteArray("\xFF", 1) + char(marker) + char(length >> 8) + char(length & 0xFF) + data;
}

// The markers of a progressive picture (or with `frameMarker` 0xC0 a baseline
// one) of `size` pixels with `components` components, each 1 × 1 sampled, up
// to its first scan: one quantisation table, and Huffman tables whose only
// codes are a DC difference of 0 and the end of block.
QByteArray progressiveJpegHeader(int size, int components, quint8 frameMarker = 0xC2)
{
    QByteArray frame;
    frame += char(8);
    frame += char(size >> 8);
    frame += char(size & 0xFF);
    frame += char(size >> 8);
    frame += char(size & 0xFF);
    frame += char(components);
    for (int c = 1; c <= components; ++c)
        frame += QByteArray(1, char(c)) + char(0x11) + char(0);
    QByteArray huffman;
    for (const char table : {'\x00', '\x10'}) { // DC and AC table 0
        huffman += table;
        huffman += char(1); // one code of one bit
        huffman += QByteArray(15, '\0');
        huffman += char(0); // DC difference 0, or end of block
    }
    return QByteArray("\xFF\xD8", 2) + jpegSegment(0xDB, QByteArray(1, '\0') + QByteArray(64, 1)) +
           jpegSegment(frameMarker, frame) + jpegSegment(0xC4, huffman);
}

// A first AC scan of component 1 with no coded data at all.
QByteArray emptyAcScan()
{
    return jpegSegment(0xDA, QByteArray("\x01\x01\x00\x01\x3F\x00", 6));
}

// The first DC scan of a grey picture of `size` pixels: a DC difference of 0,
// one bit, for each block.
QByteArray dcScan(int size)
{
    return jpegSegment(0xDA, QByteArray("\x01\x01\x00\x00\x00\x00", 6)) +
           QByteArray(qsizetype(size / 8) * (size / 8) / 8, '\0');
}

// The one scan of a baseline grey picture of `size` pixels: a DC difference
// of 0 and an end of block, two bits, for each block.
QByteArray baselineScan(int size)
{
    return jpegSegment(0xDA, QByteArray("\x01\x01\x00\x00\x3F\x00", 6)) +
           QByteArray(qsizetype(size / 8) * (size / 8) / 4, '\0');
}

// ---------------------------------------------------------------------------
// GIF files, written by giflib.

struct GifLayout
{
    QSize screen{1, 1};
    QRect frame{0, 0, 1, 1};
    int globalBits = 8; // 0: no global colour table
    int localBits = 0;  // 0: no local colour table
    bool interlaced = false;
    int transparent = -1;
    int background = 0;
    bool secondFrame = false;
};

int appendGifBytes(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)
        ->append(reinterpret_cast<const char*>(data), qsizetype(length));
    return length;
}

ColorMapObject* randomColourMap(int bits, QRandomGenerator& random)
{
    std::vector<GifColorType> colours(std::size_t(1) << bits);
    for (GifColorType& colour : colours)
        colour = {GifByteType(random.bounded(256)), GifByteType(random.bounded(256)),
                  GifByteType(random.bounded(256))};
    return GifMakeMapObject(int(colours.size()), colours.data());
}

// The order of a frame's rows in the file: Adam7's sibling, four passes.
std::vector<int> gifRowOrder(int height, bool interlaced)
{
    std::vector<int> order;
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            order.push_back(y);
        return order;
    }
    for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
        for (int y = start; y < height; y += step)
            order.push_back(y);
    }
    return order;
}

// Random indices over the whole range of the code size, so indices beyond a
// short colour table occur too. The same seed gives the same pixels whether
// the frame is interlaced or not.
QByteArray writeGif(const GifLayout& layout, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, appendGifBytes, &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* global =
        layout.globalBits > 0 ? randomColourMap(layout.globalBits, random) : nullptr;
    ColorMapObject* local =
        layout.localBits > 0 ? randomColourMap(layout.localBits, random) : nullptr;
    EGifPutScreenDesc(gif, layout.screen.width(), layout.screen.height(), 8, layout.background,
                      global);
    if (layout.transparent >= 0) {
        const GifByteType control[4] = {1, 0, 0, GifByteType(layout.transparent)};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    }
    const QRect& frame = layout.frame;
    EGifPutImageDesc(gif, frame.x(), frame.y(), frame.width(), frame.height(), layout.interlaced,
                     local);
    const int codeBits = std::max(2, local != nullptr    ? layout.localBits
                                     : global != nullptr ? layout.globalBits
                                                         : 8);
    std::vector<std::vector<GifPixelType>> rows(std::size_t(frame.height()));
    for (std::vector<GifPixelType>& row : rows) {
        row.resize(std::size_t(frame.width()));
        for (GifPixelType& index : row)
            index = GifPixelType(random.bounded(1u << codeBits));
    }
    for (const int y : gifRowOrder(frame.height(), layout.interlaced))
        EGifPutLine(gif, rows[std::size_t(y)].data(), frame.width());
    if (layout.secondFrame) {
        EGifPutImageDesc(gif, 0, 0, layout.screen.width(), layout.screen.height(), false, nullptr);
        std::vector<GifPixelType> row(std::size_t(layout.screen.width()), 1);
        for (int y = 0; y < layout.screen.height(); ++y)
            EGifPutLine(gif, row.data(), layout.screen.width());
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(global);
    GifFreeMapObject(local);
    return bytes;
}

QByteArray gifScreen(int width, int height, QByteArray globalTable = {})
{
    QByteArray gif("GIF89a");
    appendLe16(gif, width);
    appendLe16(gif, height);
    gif += globalTable.isEmpty() ? QByteArray("\x00\x00\x00", 3) : QByteArray("\x80\x00\x00", 3);
    return gif + globalTable;
}

// A frame's image descriptor at the screen's top left, without a colour table
// of its own, and the LZW code size of its data.
QByteArray gifFrameStart(QSize size, bool interlaced, int codeSize)
{
    QByteArray frame(1, '\x2C');
    appendLe16(frame, 0);
    appendLe16(frame, 0);
    appendLe16(frame, size.width());
    appendLe16(frame, size.height());
    return frame + char(interlaced ? 0x40 : 0) + char(codeSize);
}

// LZW codes packed from the lowest bit up, as GIF stores them, then cut into
// the sub-blocks of at most 255 bytes that carry a frame's data.
class GifCodes
{
public:
    void put(int code, int width)
    {
        m_pending |= quint32(code) << m_bits;
        for (m_bits += width; m_bits >= 8; m_bits -= 8) {
            m_data.append(char(m_pending & 0xFF));
            m_pending >>= 8;
        }
    }

    // The sub-blocks and the empty one that ends them.
    QByteArray subBlocks() const
    {
        QByteArray data = m_data;
        if (m_bits > 0)
            data.append(char(m_pending & 0xFF));
        QByteArray blocks;
        for (qsizetype at = 0; at < data.size(); at += 255) {
            const qsizetype length = std::min<qsizetype>(255, data.size() - at);
            blocks += char(length) + data.mid(at, length);
        }
        return blocks + '\0';
    }

private:
    QByteArray m_data;
    quint32 m_pending = 0;
    int m_bits = 0;
};

// A file of one frame filling the screen, after `head` (the screen and any
// extensions), whose LZW data is one 9-bit literal code a pixel.
QByteArray gifOfLiterals(const QByteArray& head, QSize size,
                         const std::function<int(int, int)>& indexAt)
{
    GifCodes codes;
    int sinceClear = 0;
    codes.put(256, 9);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (++sinceClear == 250) {
                codes.put(256, 9);
                sinceClear = 0;
            }
            codes.put(indexAt(x, y), 9);
        }
    }
    codes.put(257, 9);
    return head + gifFrameStart(size, false, 8) + codes.subBlocks() + ';';
}

// A file of one frame at the screen's top left whose pixels are all index 0,
// in LZW codes that each stand for the longest run the code table holds (up
// to 4095 pixels, the table never cleared once full): a few bytes for
// millions of pixels.
QByteArray gifOfOneColour(QSize screen, QSize frame, bool interlaced)
{
    GifCodes codes;
    int codeBits = 3; // to start with: clear 4, end 5
    codes.put(4, codeBits);
    std::vector<std::uint64_t> runOf(4096, 0); // pixels each code stands for
    runOf[0] = 1;
    int next = 6; // the next code the table gets
    std::uint64_t previous = 0;
    for (std::uint64_t left = std::uint64_t(frame.width()) * std::uint64_t(frame.height());
         left > 0;) {
        const int code = next > 6 && runOf[std::size_t(next - 1)] <= left ? next - 1 : 0;
        codes.put(code, codeBits);
        left -= runOf[std::size_t(code)];
        // The decoder adds the previous code's run and one pixel.
        if (previous > 0 && next < 4096) {
            runOf[std::size_t(next)] = previous + 1;
            if (++next == 1 << codeBits && codeBits < 12)
                ++codeBits;
        }
        previous = runOf[std::size_t(code)];
    }
    codes.put(5, codeBits);
    return gifScreen(screen.width(), screen.height(), QByteArray(6, '\0')) +
           gifFrameStart(frame, interlaced, 2) + codes.subBlocks() + ';';
}

// ---------------------------------------------------------------------------
// Sources that no file on disk is needed for.

// Owns its bytes.
class BytesSource final : public ByteSource
{
public:
    explicit BytesSource(QByteArray bytes) : m_bytes(std::move(bytes)), m_source(bytesOf(m_bytes))
    {}
    Result<std::size_t> read(std::span<std::uint8_t> buffer) override
    {
        return m_source.read(buffer);
    }
    std::optional<std::uint64_t> size() const override { return m_source.size(); }
    Result<void> seek(std::uint64_t offset) override { return m_source.seek(offset); }
    std::uint64_t position() const override { return m_source.position(); }

private:
    QByteArray m_bytes;
    MemorySource m_source;
};

// `prefix`, then `unit` over and over without end, as a pipe gives it: no
// size, no seeking.
class EndlessSource final : public ByteSource
{
public:
    // The unit is repeated to at least 64 KiB up front, so that reading costs
    // the test little next to the decoder.
    EndlessSource(QByteArray prefix, const QByteArray& unit)
        : m_prefix(std::move(prefix)),
          m_unit(unit.repeated(std::max<qsizetype>(1, 65536 / unit.size())))
    {}
    Result<std::size_t> read(std::span<std::uint8_t> buffer) override
    {
        const auto prefix = std::uint64_t(m_prefix.size());
        const auto unit = std::uint64_t(m_unit.size());
        std::size_t done = 0;
        while (done < buffer.size()) {
            const QByteArray& from = m_position < prefix ? m_prefix : m_unit;
            const std::uint64_t at =
                m_position < prefix ? m_position : (m_position - prefix) % unit;
            const std::size_t count =
                std::min(buffer.size() - done, std::size_t(std::uint64_t(from.size()) - at));
            std::copy_n(from.constData() + at, count, buffer.begin() + std::ptrdiff_t(done));
            done += count;
            m_position += count;
        }
        return done;
    }
    std::optional<std::uint64_t> size() const override { return std::nullopt; }
    Result<void> seek(std::uint64_t) override { return fail("cannot seek in a stream"); }
    std::uint64_t position() const override { return m_position; }

private:
    QByteArray m_prefix;
    QByteArray m_unit;
    std::uint64_t m_position = 0;
};

// `prefix` and then zeros up to `size`: a sparse file, as far as a reader can
// tell, seekable like one.
class SparseSource final : public ByteSource
{
public:
    SparseSource(QByteArray prefix, std::uint64_t size) : m_prefix(std::move(prefix)), m_size(size)
    {}
    Result<std::size_t> read(std::span<std::uint8_t> buffer) override
    {
        const std::size_t count =
            std::size_t(std::min<std::uint64_t>(buffer.size(), m_size - m_position));
        for (std::size_t i = 0; i < count; ++i, ++m_position)
            buffer[i] = m_position < std::uint64_t(m_prefix.size())
                            ? std::uint8_t(m_prefix[qsizetype(m_position)])
                            : 0;
        return count;
    }
    std::optional<std::uint64_t> size() const override { return m_size; }
    Result<void> seek(std::uint64_t offset) override
    {
        if (offset > m_size)
            return fail("cut short");
        m_position = offset;
        return {};
    }
    std::uint64_t position() const override { return m_position; }

private:
    QByteArray m_prefix;
    std::uint64_t m_size;
    std::uint64_t m_position = 0;
};

// A legitimate 8192 × 8192 PNG of 16-bit RGBA whose deflate stream holds its
// 512 MiB in stored blocks, made as it is read, one 1 MiB IDAT chunk at a time.
class StoredPngSource final : public ByteSource
{
public:
    static constexpr std::uint32_t side = 8192;
    static constexpr std::uint64_t rowBytes = 1 + std::uint64_t(side) * 8;
    static constexpr std::uint64_t rawBytes = side * rowBytes;
    static constexpr std::uint64_t storedBlock = 65535;
    static constexpr std::uint64_t blocks = (rawBytes + storedBlock - 1) / storedBlock;
    static constexpr std::uint64_t zlibBytes = 2 + blocks * 5 + rawBytes + 4;
    static constexpr std::uint64_t chunkData = 1 << 20;
    static constexpr std::uint64_t chunks = (zlibBytes + chunkData - 1) / chunkData;

    static std::uint16_t sample(std::uint32_t x, std::uint32_t y, int channel)
    {
        return std::uint16_t((x * 40503u + y * 9973u + unsigned(channel) * 25013u) * 2654435761u >>
                             16);
    }

    StoredPngSource()
        : m_head(pngSignature + pngHeaderChunk(side, side, 16, PNG_COLOR_TYPE_RGB_ALPHA)),
          m_tail(pngChunk("IEND", {}))
    {}

    Result<std::size_t> read(std::span<std::uint8_t> buffer) override
    {
        std::size_t done = 0;
        while (done < buffer.size() && m_position < totalBytes()) {
            const std::span<const std::uint8_t> piece = pieceAt(m_position);
            const std::size_t count = std::min(piece.size(), buffer.size() - done);
            std::copy_n(piece.begin(), count, buffer.begin() + std::ptrdiff_t(done));
            done += count;
            m_position += count;
        }
        return done;
    }
    std::optional<std::uint64_t> size() const override { return totalBytes(); }
    Result<void> seek(std::uint64_t offset) override
    {
        if (offset > totalBytes())
            return fail("cut short");
        m_position = offset;
        return {};
    }
    std::uint64_t position() const override { return m_position; }

private:
    std::uint64_t totalBytes() const
    {
        return std::uint64_t(m_head.size()) + chunks * 12 + zlibBytes +
               std::uint64_t(m_tail.size());
    }

    static std::uint8_t rawByte(std::uint64_t offset)
    {
        const auto y = std::uint32_t(offset / rowBytes);
        const std::uint64_t within = offset % rowBytes;
        if (within == 0)
            return 0; // no filter
        const std::uint64_t i = within - 1;
        const std::uint16_t value = sample(std::uint32_t(i / 8), y, int(i % 8 / 2));
        return i % 2 == 0 ? std::uint8_t(value >> 8) : std::uint8_t(value & 0xFF);
    }

    std::uint8_t zlibByte(std::uint64_t offset)
    {
        if (offset < 2)
            return offset == 0 ? 0x78 : 0x01;
        offset -= 2;
        const std::uint64_t block = offset / (5 + storedBlock);
        if (block >= blocks) {
            const std::uint32_t adler = adlerOfAll();
            return std::uint8_t(adler >> (8 * (3 - (offset - blocks * 5 - rawBytes))));
        }
        const std::uint64_t within = offset % (5 + storedBlock);
        if (within >= 5)
            return rawByte(block * storedBlock + within - 5);
        const auto length = std::uint16_t(std::min(storedBlock, rawBytes - block * storedBlock));
        const std::uint8_t header[5] = {std::uint8_t(block + 1 == blocks ? 1 : 0),
                                        std::uint8_t(length & 0xFF), std::uint8_t(length >> 8),
                                        std::uint8_t(~length & 0xFF),
                                        std::uint8_t((~length >> 8) & 0xFF)};
        return header[within];
    }

    // Only a reader that goes to the very end needs this; it costs a pass
    // over the 512 MiB.
    std::uint32_t adlerOfAll()
    {
        if (!m_adler) {
            uLong adler = adler32(0, nullptr, 0);
            std::vector<Bytef> row(rowBytes);
            for (std::uint64_t y = 0; y < side; ++y) {
                for (std::uint64_t i = 0; i < rowBytes; ++i)
                    row[i] = rawByte(y * rowBytes + i);
                adler = adler32(adler, row.data(), uInt(rowBytes));
            }
            m_adler = std::uint32_t(adler);
        }
        return *m_adler;
    }

    std::span<const std::uint8_t> pieceAt(std::uint64_t at)
    {
        const auto head = std::uint64_t(m_head.size());
        if (at < head)
            return bytesOf(m_head).subspan(at);
        const std::uint64_t chunk = (at - head) / (chunkData + 12);
        if (chunk >= chunks) {
            const std::uint64_t tailAt = at - head - chunks * 12 - zlibBytes;
            return bytesOf(m_tail).subspan(tailAt);
        }
        if (m_chunkIndex != chunk) {
            const std::uint64_t first = chunk * chunkData;
            const std::uint64_t length = std::min(chunkData, zlibBytes - first);
            QByteArray data(qsizetype(length), '\0');
            for (std::uint64_t i = 0; i < length; ++i)
                data[qsizetype(i)] = char(zlibByte(first + i));
            m_chunk = pngChunk("IDAT", data);
            m_chunkIndex = chunk;
        }
        return bytesOf(m_chunk).subspan(at - head - chunk * (chunkData + 12));
    }

    QByteArray m_head;
    QByteArray m_tail;
    QByteArray m_chunk;
    std::optional<std::uint64_t> m_chunkIndex;
    std::optional<std::uint32_t> m_adler;
    std::uint64_t m_position = 0;
};

// A deflate stream of `count` zero bytes in fixed-Huffman copies of 258 bytes:
// about 13 bits for each, so that a picture of half a gigabyte of zeros takes
// a few megabytes and no time to make.
QByteArray zlibOfZeros(std::uint64_t count)
{
    QByteArray out("\x78\x01", 2);
    std::uint32_t pending = 0;
    int bits = 0;
    const auto put = [&](std::uint32_t value, int length) {
        pending |= value << bits;
        for (bits += length; bits >= 8; bits -= 8) {
            out.append(char(pending & 0xFF));
            pending >>= 8;
        }
    };
    // Huffman codes go most significant bit first.
    const auto putCode = [&](std::uint32_t code, int length) {
        std::uint32_t reversed = 0;
        for (int i = 0; i < length; ++i)
            reversed |= (code >> i & 1) << (length - 1 - i);
        put(reversed, length);
    };
    put(1, 1);        // the last block
    put(1, 2);        // fixed Huffman codes
    putCode(0x30, 8); // a literal 0
    std::uint64_t left = count - 1;
    for (; left >= 258; left -= 258) {
        putCode(0xC5, 8); // length 258
        putCode(0, 5);    // distance 1
    }
    for (; left > 0; --left)
        putCode(0x30, 8);
    putCode(0, 7); // end of block
    if (bits > 0)
        out.append(char(pending & 0xFF));
    const std::uint32_t adler = std::uint32_t(1 + (count % 65521 << 16)); // all zeros
    return out + bigEndian32(adler);
}

// A PNG whose samples are all 0, in one IDAT chunk, however large.
QByteArray pngOfZeros(quint32 width, quint32 height, int bitDepth, int colourType,
                      bool interlaced = false)
{
    const auto rowBytes = [&](std::uint64_t columns) {
        return (columns * std::uint64_t(pngChannels(colourType)) * std::uint64_t(bitDepth) + 7) / 8;
    };
    std::uint64_t raw = 0;
    if (!interlaced) {
        raw = std::uint64_t(height) * (1 + rowBytes(width));
    } else {
        for (int pass = 0; pass < 7; ++pass) {
            const std::uint64_t columns = PNG_PASS_COLS(std::uint64_t(width), pass);
            if (columns > 0)
                raw += PNG_PASS_ROWS(std::uint64_t(height), pass) * (1 + rowBytes(columns));
        }
    }
    return pngSignature + pngHeaderChunk(width, height, bitDepth, colourType, interlaced ? 1 : 0) +
           pngChunk("IDAT", zlibOfZeros(raw)) + pngChunk("IEND", {});
}

// ---------------------------------------------------------------------------
// Real files and pipes, as dotwright-cli gets them.

// `head` and then a hole up to `size` bytes: a sparse file, which takes no
// more room on disk than its head. It is gone from the folder once open.
std::unique_ptr<ByteSource> sparseFile(const QByteArray& head, std::uint64_t size)
{
    QByteArray path = QDir::tempPath().toLocal8Bit() + "/dotwright-sparse-XXXXXX";
    const int descriptor = ::mkstemp(path.data());
    if (descriptor < 0 ||
        ::write(descriptor, head.constData(), std::size_t(head.size())) != head.size() ||
        ::ftruncate(descriptor, off_t(size)) != 0)
        qFatal("cannot make a sparse file in %s", path.constData());
    ::close(descriptor);
    Result<FileSource> opened = FileSource::open(path.toStdString(), "a picture");
    ::unlink(path.constData());
    if (!opened)
        qFatal("cannot open %s", path.constData());
    return std::make_unique<FileSource>(std::move(*opened));
}

// `prefix`, then `unit` over and over without end, through a real pipe. A
// child process writes it, so its work is not counted as the reader's, until
// the reader closes its end.
class EndlessPipe final : public ByteSource
{
public:
    EndlessPipe(const QByteArray& prefix, const QByteArray& unit)
    {
        int ends[2];
        if (::pipe(ends) != 0)
            qFatal("cannot make a pipe");
        const QByteArray units = unit.repeated(std::max<qsizetype>(1, 65536 / unit.size()));
        m_writer = ::fork();
        if (m_writer == 0) {
            // Only what is safe after a fork: write, and leave once the reader
            // is gone (without the test's own handler for SIGPIPE).
            ::signal(SIGPIPE, SIG_IGN);
            ::close(ends[0]);
            const auto writeAll = [&](const QByteArray& bytes) {
                for (qsizetype at = 0; at < bytes.size();) {
                    const ssize_t written =
                        ::write(ends[1], bytes.constData() + at, std::size_t(bytes.size() - at));
                    if (written <= 0)
                        ::_exit(0);
                    at += written;
                }
            };
            writeAll(prefix);
            for (;;)
                writeAll(units);
        }
        ::close(ends[1]);
        m_descriptor = ends[0];
        m_reader.emplace(FileSource::borrow(m_descriptor));
    }
    EndlessPipe(const EndlessPipe&) = delete;
    EndlessPipe& operator=(const EndlessPipe&) = delete;
    ~EndlessPipe() override
    {
        m_reader.reset();
        ::close(m_descriptor);
        ::kill(m_writer, SIGKILL);
        ::waitpid(m_writer, nullptr, 0);
    }

    Result<std::size_t> read(std::span<std::uint8_t> buffer) override
    {
        return m_reader->read(buffer);
    }
    std::optional<std::uint64_t> size() const override { return m_reader->size(); }
    Result<void> seek(std::uint64_t offset) override { return m_reader->seek(offset); }
    std::uint64_t position() const override { return m_reader->position(); }
    Result<std::uint64_t> discard(std::uint64_t count) override { return m_reader->discard(count); }

private:
    pid_t m_writer = -1;
    int m_descriptor = -1;
    std::optional<FileSource> m_reader;
};

// ---------------------------------------------------------------------------
// Cost of a call: processor time and the most memory it added.

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Linux resets the peak of resident memory on request, so that the peak of
// one call can be told from all that came before it.
bool resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

struct Cost
{
    double seconds = 0;
    double peakMiB = 0;
};

Cost costOf(const std::function<void()>& run)
{
    resetPeakMemory();
    const long before = statusKiB("VmRSS:");
    const double start = processorSeconds();
    run();
    Cost cost;
    cost.seconds = processorSeconds() - start;
    cost.peakMiB = double(statusKiB("VmHWM:") - before) / 1024.0;
    return cost;
}

struct HostileCase
{
    using MakeSource = std::function<std::unique_ptr<ByteSource>()>;
    using CheckCorner = std::function<QString(const CornerSink&)>;

    HostileCase() = default;
    HostileCase(Decoder decoder, MakeSource source, QString expected, CheckCorner checkCorner = {})
        : decoder(decoder), source(std::move(source)), expected(std::move(expected)),
          checkCorner(std::move(checkCorner))
    {}

    Decoder decoder = nullptr;
    MakeSource source;
    QString expected; // the failure, or empty where the corner loads
    CheckCorner checkCorner;
};

} // namespace

Q_DECLARE_METATYPE(PngLayout)
Q_DECLARE_METATYPE(JpegLayout)
Q_DECLARE_METATYPE(GifLayout)
Q_DECLARE_METATYPE(Decoder)
Q_DECLARE_METATYPE(HostileCase)

class TestPngJpegGif : public QObject
{
    Q_OBJECT

private slots:
    void pngMatchesToolkit_data();
    void pngMatchesToolkit();
    void pngSixteenBitColourKeyIsTransparent();
    void jpegMatchesToolkit_data();
    void jpegMatchesToolkit();
    void jpegReducedSizeMatchesToolkit_data();
    void jpegReducedSizeMatchesToolkit();
    void gifMatchesToolkit_data();
    void gifMatchesToolkit();
    void gifSmallInterlacedFrameIsDeinterlaced_data();
    void gifSmallInterlacedFrameIsDeinterlaced();
    void cornerLoadsFromFileCutShortBelowIt_data();
    void cornerLoadsFromFileCutShortBelowIt();
    void largePictureIsReadOnlyAsFarAsTheCorner_data();
    void largePictureIsReadOnlyAsFarAsTheCorner();
    void tallPictureTakesTheMemoryOfARow_data();
    void tallPictureTakesTheMemoryOfARow();
    void unreadablePictureGivesReason_data();
    void unreadablePictureGivesReason();
    void readFailureIsPassedOn_data();
    void readFailureIsPassedOn();
    void hostileInputIsBounded_data();
    void hostileInputIsBounded();
    void pngWriterKeepsPixelsOfTodaysWriter_data();
    void pngWriterKeepsPixelsOfTodaysWriter();
    void pngWriterRefusesMismatchedSizes();
};

void TestPngJpegGif::pngMatchesToolkit_data()
{
    QTest::addColumn<PngLayout>("layout");
    QTest::addColumn<QSize>("corner");
    const QSize corner(128, 64);
    const auto row = [](const char* name, PngLayout layout, QSize cornerSize = QSize(128, 64)) {
        QTest::newRow(name) << layout << cornerSize;
    };
    constexpr int grey = PNG_COLOR_TYPE_GRAY;
    constexpr int greyAlpha = PNG_COLOR_TYPE_GRAY_ALPHA;
    constexpr int rgb = PNG_COLOR_TYPE_RGB;
    constexpr int rgba = PNG_COLOR_TYPE_RGB_ALPHA;
    constexpr int palette = PNG_COLOR_TYPE_PALETTE;
    for (const int depth : {1, 2, 4, 8, 16}) {
        QTest::addRow("grey %d-bit", depth) << PngLayout{37, 23, grey, depth} << corner;
        QTest::addRow("grey %d-bit, transparent grey", depth)
            << PngLayout{37, 23, grey, depth, false, 0, 0, true} << corner;
    }
    for (const int depth : {1, 2, 4, 8}) {
        const int entries = 1 << depth;
        QTest::addRow("palette %d-bit, full", depth)
            << PngLayout{41, 19, palette, depth, false, entries, 0} << corner;
        // Indices past a short palette, and a tRNS shorter than the palette.
        PngLayout shortPalette{41, 19, palette, depth};
        shortPalette.paletteSize = std::max(1, entries * 3 / 4);
        shortPalette.paletteAlpha = std::max(1, entries / 2);
        QTest::addRow("palette %d-bit, short, part transparent", depth) << shortPalette << corner;
    }
    row("rgb 8-bit", {50, 40, rgb, 8});
    row("rgb 8-bit, transparent colour", {50, 40, rgb, 8, false, 0, 0, true});
    row("rgb 16-bit", {50, 40, rgb, 16});
    row("grey and alpha 8-bit", {50, 40, greyAlpha, 8});
    row("grey and alpha 16-bit", {50, 40, greyAlpha, 16});
    row("rgba 8-bit", {50, 40, rgba, 8});
    row("rgba 16-bit", {50, 40, rgba, 16});
    row("rgb cut to the corner", {300, 200, rgb, 8});
    row("one pixel", {1, 1, rgba, 8});
    row("one row", {1000, 1, grey, 8});
    row("one column", {1, 1000, palette, 4, false, 16, 3});
    row("interlaced one pixel", {1, 1, rgb, 8, true});
    row("interlaced, passes left empty", {3, 2, greyAlpha, 8, true});
    row("interlaced rgba 8-bit", {61, 45, rgba, 8, true});
    row("interlaced grey 16-bit, transparent grey", {61, 45, grey, 16, true, 0, 0, true});
    row("interlaced palette 2-bit", {61, 45, palette, 2, true, 3, 2});
    row("interlaced grey 1-bit", {61, 45, grey, 1, true});
    row("interlaced rgb cut to the corner", {130, 70, rgb, 8, true});
    row("interlaced, corner odd in size", {300, 300, rgba, 16, true}, QSize(37, 21));
}

void TestPngJpegGif::pngMatchesToolkit()
{
    QFETCH(PngLayout, layout);
    QFETCH(QSize, corner);
    for (const quint32 seed : {1u, 2u, 3u}) {
        const QString mismatch = mismatchWithToolkit(decodePng, writePng(layout, seed), corner);
        QVERIFY2(mismatch.isEmpty(),
                 qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(mismatch)));
    }
}

// The toolkit's reader garbles 16-bit RGB with a transparent colour (it reads
// six bytes a pixel as eight); the colours here are those of the same picture
// without the transparent colour, and alpha 0 exactly where a pixel matches it
// in all 16 bits.
void TestPngJpegGif::pngSixteenBitColourKeyIsTransparent()
{
    const PngLayout layout{45, 30, PNG_COLOR_TYPE_RGB, 16, false, 0, 0, true};
    for (const bool interlaced : {false, true}) {
        PngLayout variant = layout;
        variant.interlaced = interlaced;
        CornerSink sink;
        QVERIFY(decodeBytes(decodePng, writePng(variant, 7), sink));
        QVERIFY2(sink.problem().isEmpty(), qPrintable(sink.problem()));
        const QImage opaque = toolkitPicture(writePng(variant, 7, false));
        for (int y = 0; y < layout.height; ++y) {
            for (int x = 0; x < layout.width; ++x) {
                const Rgba p = sink.at(x, y);
                const QRgb expected = opaque.pixel(x, y);
                QCOMPARE(qRgb(p.red, p.green, p.blue), expected);
                QCOMPARE(p.alpha, (x + y) % 4 == 0 ? 0 : 255);
            }
        }
    }
}

void TestPngJpegGif::jpegMatchesToolkit_data()
{
    QTest::addColumn<JpegLayout>("layout");
    const auto row = [](const char* name, JpegLayout layout) { QTest::newRow(name) << layout; };
    row("grey", {40, 30, 1, JCS_GRAYSCALE});
    row("grey cut to the corner", {300, 200, 1, JCS_GRAYSCALE});
    row("4:4:4", {77, 51, 3, JCS_YCbCr, 1, 1});
    row("4:2:2", {130, 70, 3, JCS_YCbCr, 2, 1});
    row("4:2:0, odd size", {201, 99, 3, JCS_YCbCr, 2, 2});
    row("4:4:0", {150, 90, 3, JCS_YCbCr, 1, 2});
    row("4:1:1", {300, 80, 3, JCS_YCbCr, 4, 1});
    row("stored as RGB", {140, 66, 3, JCS_RGB});
    row("Adobe CMYK", {100, 50, 4, JCS_CMYK});
    row("Adobe YCCK", {100, 70, 4, JCS_YCCK, 2, 2});
    row("progressive 4:2:0", {260, 140, 3, JCS_YCbCr, 2, 2, true});
    row("progressive grey", {129, 65, 1, JCS_GRAYSCALE, 1, 1, true});
    row("progressive CMYK", {70, 30, 4, JCS_CMYK, 1, 1, true});
    row("arithmetic coding", {180, 90, 3, JCS_YCbCr, 2, 2, false, true});
    row("progressive arithmetic coding", {180, 90, 3, JCS_YCbCr, 2, 2, true, true});
    row("restart markers every row", {300, 100, 3, JCS_YCbCr, 2, 2, false, false, 1});
    row("one pixel", {1, 1, 3, JCS_YCbCr});
    row("wide and short", {2000, 20, 3, JCS_YCbCr, 2, 2});
    row("tall and narrow", {9, 500, 3, JCS_YCbCr, 2, 2});
    row("quality 100", {160, 80, 3, JCS_YCbCr, 2, 2, false, false, 0, 100});
}

void TestPngJpegGif::jpegMatchesToolkit()
{
    QFETCH(JpegLayout, layout);
    const QString mismatch = mismatchWithToolkit(decodeJpeg, writeJpeg(layout, 11));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestPngJpegGif::jpegReducedSizeMatchesToolkit_data()
{
    QTest::addColumn<JpegLayout>("layout");
    QTest::addColumn<int>("reduction");
    // Sizes the reduction divides, so that the toolkit's choice of scale is the
    // same and it leaves the result as the library makes it.
    for (const int reduction : {2, 4, 8}) {
        QTest::addRow("4:2:0 at 1/%d", reduction)
            << JpegLayout{512, 256, 3, JCS_YCbCr, 2, 2} << reduction;
        QTest::addRow("grey at 1/%d", reduction)
            << JpegLayout{256, 128, 1, JCS_GRAYSCALE, 1, 1} << reduction;
    }
    QTest::newRow("progressive 4:2:2 at 1/2")
        << JpegLayout{320, 160, 3, JCS_YCbCr, 2, 1, true} << 2;
    QTest::newRow("CMYK at 1/4") << JpegLayout{256, 256, 4, JCS_CMYK, 1, 1} << 4;
}

void TestPngJpegGif::jpegReducedSizeMatchesToolkit()
{
    QFETCH(JpegLayout, layout);
    QFETCH(int, reduction);
    const QByteArray file = writeJpeg(layout, 5);
    const QString mismatch = mismatchWithToolkit(decodeJpeg, file, QSize(128, 64), reduction);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

    CornerSink sink(128, 64, reduction);
    QVERIFY(decodeBytes(decodeJpeg, file, sink));
    QVERIFY(sink.askedFor());
    QCOMPARE(sink.askedFor()->width, std::int64_t(layout.width));
    QCOMPARE(sink.askedFor()->height, std::int64_t(layout.height));
    QCOMPARE(sink.delivered(), QSize(layout.width / reduction, layout.height / reduction));
}

void TestPngJpegGif::gifMatchesToolkit_data()
{
    QTest::addColumn<QByteArray>("file");
    const auto row = [](const char* name, const GifLayout& layout) {
        for (const quint32 seed : {1u, 2u})
            QTest::addRow("%s, seed %u", name, seed) << writeGif(layout, seed);
    };
    row("whole screen", {{40, 30}, {0, 0, 40, 30}});
    row("cut to the corner", {{200, 100}, {0, 0, 200, 100}});
    row("small colour table", {{33, 20}, {0, 0, 33, 20}, 3});
    row("transparent index", {{33, 20}, {0, 0, 33, 20}, 4, 0, false, 5});
    row("interlaced", {{37, 70}, {0, 0, 37, 70}, 8, 0, true});
    row("interlaced, transparent index", {{37, 70}, {0, 0, 37, 70}, 8, 0, true, 9});
    for (const int height : {1, 2, 5, 9}) {
        QTest::addRow("interlaced, %d rows", height)
            << writeGif({{12, height}, {0, 0, 12, height}, 8, 0, true}, 1);
    }
    row("interlaced cut to the corner", {{130, 70}, {0, 0, 130, 70}, 6, 0, true});
    row("frame offset on the background", {{10, 10}, {2, 1, 4, 4}, 4, 0, false, -1, 3});
    row("frame offset, transparent around", {{10, 10}, {2, 1, 4, 4}, 4, 0, false, 7});
    row("frame offset, background beyond the table", {{10, 10}, {2, 1, 4, 4}, 2, 0, false, -1, 7});
    row("frame offset below the corner", {{140, 90}, {3, 70, 20, 10}, 8});
    row("frame offset right of the corner", {{200, 40}, {150, 5, 30, 30}, 8});
    row("frame larger than the screen", {{20, 12}, {3, 2, 40, 30}, 8});
    row("screen of size 0", {{0, 0}, {2, 3, 17, 11}, 8, 0, false, -1, 1});
    row("local table, no global one, offset", {{30, 20}, {5, 4, 20, 10}, 0, 4});
    row("local table of two colours, indices past it", {{30, 20}, {0, 0, 30, 20}, 8, 1});
    row("transparent index past the table", {{30, 20}, {0, 0, 30, 20}, 8, 1, false, 3});
    row("animation: first frame only", {{30, 20}, {0, 0, 30, 20}, 8, 0, false, -1, 0, true});

    // Files giflib does not write: no colour table at all, so that indices up
    // to the stated size of 2 are black and the others white.
    const auto indexAt = [](int x, int y) { return (x * 7 + y * 3) % 256; };
    QTest::newRow("no colour table at all") << gifOfLiterals(gifScreen(30, 20), {30, 20}, indexAt);
    QTest::newRow("no colour table, transparent index") << gifOfLiterals(
        gifScreen(30, 20) + QByteArray("\x21\xF9\x04\x01\0\0\x02\0", 8), {30, 20}, indexAt);
    QTest::newRow("the test helpers' own writer") << makeGif(
        {50, 20}, [](int index) { return qRgb(index, 255 - index, index / 2); }, indexAt, 17);
}

void TestPngJpegGif::gifMatchesToolkit()
{
    QFETCH(QByteArray, file);
    const QString mismatch = mismatchWithToolkit(decodeGif, file);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

// The toolkit's reader puts the rows of an interlaced frame of 3 or 4 rows in
// the wrong places; the rows here land where the format puts them, as in the
// same frame stored top down.
void TestPngJpegGif::gifSmallInterlacedFrameIsDeinterlaced_data()
{
    QTest::addColumn<int>("height");
    QTest::newRow("3 rows") << 3;
    QTest::newRow("4 rows") << 4;
    QTest::newRow("11 rows") << 11;
}

void TestPngJpegGif::gifSmallInterlacedFrameIsDeinterlaced()
{
    QFETCH(int, height);
    const GifLayout plain{{15, height}, {0, 0, 15, height}, 8};
    GifLayout interlaced = plain;
    interlaced.interlaced = true;
    CornerSink fromPlain;
    CornerSink fromInterlaced;
    QVERIFY(decodeBytes(decodeGif, writeGif(plain, 3), fromPlain));
    QVERIFY(decodeBytes(decodeGif, writeGif(interlaced, 3), fromInterlaced));
    QVERIFY2(fromInterlaced.problem().isEmpty(), qPrintable(fromInterlaced.problem()));
    QVERIFY2(difference(fromInterlaced.corner(), fromPlain.corner()).isEmpty(),
             qPrintable(difference(fromInterlaced.corner(), fromPlain.corner())));
    QVERIFY2(difference(fromPlain.corner(), toolkitPicture(writeGif(plain, 3))).isEmpty(),
             "the plain frame differs from the toolkit's reading");
}

void TestPngJpegGif::cornerLoadsFromFileCutShortBelowIt_data()
{
    QTest::addColumn<Decoder>("decoder");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");
    const PngLayout png{150, 600, PNG_COLOR_TYPE_RGB, 8};
    PngLayout interlacedPng = png;
    interlacedPng.interlaced = true;
    const JpegLayout jpeg{150, 600, 3, JCS_YCbCr, 2, 2};
    JpegLayout progressive = jpeg;
    progressive.progressive = true;
    const GifLayout gif{{150, 600}, {0, 0, 150, 600}, 8};
    GifLayout interlacedGif = gif;
    interlacedGif.interlaced = true;
    QTest::newRow("png") << Decoder(decodePng) << writePng(png, 1) << QString();
    QTest::newRow("jpeg") << Decoder(decodeJpeg) << writeJpeg(jpeg, 1) << QString();
    QTest::newRow("gif") << Decoder(decodeGif) << writeGif(gif, 1) << QString();
    // These need rows from the whole file for the corner.
    QTest::newRow("interlaced png") << Decoder(decodePng) << writePng(interlacedPng, 1)
                                    << QStringLiteral("damaged or unsupported PNG picture");
    QTest::newRow("progressive jpeg") << Decoder(decodeJpeg) << writeJpeg(progressive, 1)
                                      << QStringLiteral("damaged or unsupported JPEG picture");
    QTest::newRow("interlaced gif") << Decoder(decodeGif) << writeGif(interlacedGif, 1)
                                    << QStringLiteral("damaged or unsupported GIF picture");
}

// Half of the file is gone; the corner comes from the first rows, so only a
// picture that spreads the corner over the whole file is damaged for it.
void TestPngJpegGif::cornerLoadsFromFileCutShortBelowIt()
{
    QFETCH(Decoder, decoder);
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    const QByteArray half = file.left(file.size() / 2);
    CornerSink sink;
    const Result<void> result = decodeBytes(decoder, half, sink);
    QCOMPARE(messageOf(result), expected);
    if (expected.isEmpty()) {
        QVERIFY2(sink.problem().isEmpty(), qPrintable(sink.problem()));
        const QString mismatch =
            difference(sink.corner(), cornerOf(toolkitPicture(file), {128, 64}));
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }
}

void TestPngJpegGif::largePictureIsReadOnlyAsFarAsTheCorner_data()
{
    QTest::addColumn<Decoder>("decoder");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("png") << Decoder(decodePng) << writePng({1500, 1500, PNG_COLOR_TYPE_RGB, 8}, 1);
    QTest::newRow("jpeg") << Decoder(decodeJpeg) << writeJpeg({1500, 1500, 3, JCS_YCbCr, 2, 2}, 1);
    QTest::newRow("gif") << Decoder(decodeGif) << writeGif({{1500, 1500}, {0, 0, 1500, 1500}}, 1);
}

void TestPngJpegGif::largePictureIsReadOnlyAsFarAsTheCorner()
{
    QFETCH(Decoder, decoder);
    QFETCH(QByteArray, file);
    MemorySource source(bytesOf(file));
    CornerSink sink;
    QVERIFY(decoder(source, sink));
    QCOMPARE(sink.delivered(), QSize(1500, 1500));
    // The corner's 64 rows are a twentieth of the picture; a read buffer's
    // worth more is allowed.
    QVERIFY2(
        source.position() < std::uint64_t(file.size()) / 10 + 64 * 1024,
        qPrintable(QStringLiteral("read %1 of %2 bytes").arg(source.position()).arg(file.size())));
}

void TestPngJpegGif::tallPictureTakesTheMemoryOfARow_data()
{
    QTest::addColumn<Decoder>("decoder");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("wholeBytes"); // the picture's samples, one byte each

    QTest::newRow("png") << Decoder(decodePng) << pngOfZeros(8192, 8192, 8, PNG_COLOR_TYPE_GRAY)
                         << qint64(8192) * 8192;
    // Every pass but the last goes by before the corner's odd rows come.
    QTest::newRow("interlaced png")
        << Decoder(decodePng) << pngOfZeros(8192, 8192, 8, PNG_COLOR_TYPE_GRAY, true)
        << qint64(8192) * 8192;
    QTest::newRow("gif") << Decoder(decodeGif)
                         << gifOfOneColour({1024, 16384}, {1024, 16384}, false)
                         << qint64(1024) * 16384;
    QTest::newRow("interlaced gif")
        << Decoder(decodeGif) << gifOfOneColour({1024, 16384}, {1024, 16384}, true)
        << qint64(1024) * 16384;
    QTest::newRow("baseline jpeg")
        << Decoder(decodeJpeg)
        << progressiveJpegHeader(8192, 1, 0xC0) + baselineScan(8192) + "\xFF\xD9"
        << qint64(8192) * 8192;
}

// Memory is one row of the file and the sink's corner, however tall the
// picture, even where its rows come pass by pass: an eighth of the picture
// is far more than that and far less than holding it.
void TestPngJpegGif::tallPictureTakesTheMemoryOfARow()
{
    QFETCH(Decoder, decoder);
    QFETCH(QByteArray, file);
    QFETCH(qint64, wholeBytes);
    CornerSink sink;
    Result<void> result;
    const Cost cost = costOf([&] { result = decodeBytes(decoder, file, sink); });
    QCOMPARE(messageOf(result), QString());
    QVERIFY2(sink.problem().isEmpty(), qPrintable(sink.problem()));
    qInfo("%.3f s, %.1f MiB", cost.seconds, cost.peakMiB);
    QVERIFY2(cost.peakMiB < double(wholeBytes) / 8 / 1024 / 1024,
             qPrintable(QStringLiteral("%1 MiB").arg(cost.peakMiB)));
}

void TestPngJpegGif::unreadablePictureGivesReason_data()
{
    QTest::addColumn<Decoder>("decoder");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");
    const QString damagedPng = QStringLiteral("damaged or unsupported PNG picture");
    const QString damagedJpeg = QStringLiteral("damaged or unsupported JPEG picture");
    const QString damagedGif = QStringLiteral("damaged or unsupported GIF picture");
    const auto tooLarge = [](int width, int height) {
        return QStringLiteral("picture is too large (%1 × %2 pixels)").arg(width).arg(height);
    };

    const QByteArray png = writePng({20, 10, PNG_COLOR_TYPE_RGB, 8}, 1);
    QTest::newRow("png cut in its header") << Decoder(decodePng) << png.left(20) << damagedPng;
    QTest::newRow("png without image data")
        << Decoder(decodePng)
        << pngSignature + pngHeaderChunk(20, 10, 8, PNG_COLOR_TYPE_RGB) + pngChunk("IEND", {})
        << damagedPng;
    QByteArray badCrc = pngSignature + pngHeaderChunk(1, 1, 8, PNG_COLOR_TYPE_RGB) +
                        pngChunk("IDAT", orangePixelData) + pngChunk("IEND", {});
    badCrc[33 + 8 + orangePixelData.size()] = char(badCrc[33 + 8 + orangePixelData.size()] ^ 1);
    QTest::newRow("png whose image data fails its CRC")
        << Decoder(decodePng) << badCrc << damagedPng;
    QTest::newRow("png with a chunk name of zeros")
        << Decoder(decodePng)
        << pngSignature + pngHeaderChunk(1, 1, 8, PNG_COLOR_TYPE_RGB) + QByteArray(12, '\0')
        << damagedPng;
    QTest::newRow("png of bit depth 3")
        << Decoder(decodePng) << pngSignature + pngHeaderChunk(1, 1, 3, PNG_COLOR_TYPE_GRAY)
        << damagedPng;
    QTest::newRow("png of 100000 × 100000")
        << Decoder(decodePng)
        << pngSignature + pngHeaderChunk(100000, 100000, 8, PNG_COLOR_TYPE_RGB)
        << tooLarge(100000, 100000);
    // 64 megapixels are allowed, but not in one row of 16-bit RGBA (512 MiB).
    QTest::newRow("png of one 64-megapixel row")
        << Decoder(decodePng)
        << pngSignature + pngHeaderChunk(64 * 1024 * 1024, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA)
        << tooLarge(64 * 1024 * 1024, 1);

    const QByteArray jpeg = writeJpeg({160, 160, 3, JCS_YCbCr}, 1);
    QTest::newRow("jpeg cut in its header") << Decoder(decodeJpeg) << jpeg.left(100) << damagedJpeg;
    QTest::newRow("jpeg cut above the corner's last row")
        << Decoder(decodeJpeg) << jpeg.left(jpeg.size() / 5) << damagedJpeg;
    QTest::newRow("jpeg of 65000 × 65000")
        << Decoder(decodeJpeg)
        << QByteArray("\xFF\xD8", 2) +
               jpegSegment(0xC0, QByteArray("\x08\xFD\xE8\xFD\xE8\x01\x01\x11\x00", 9)) +
               jpegSegment(0xDA, QByteArray("\x01\x01\x00\x00\x3F\x00", 6))
        << tooLarge(65000, 65000);
    // 837 × 837 blocks of 128 bytes in each of three components: just over
    // 256 MiB to hold until the last scan. At 836 × 836 blocks it is just
    // under, and in one scan it is decoded row by row: neither is too large,
    // only cut short here.
    QTest::newRow("progressive colour jpeg of 6696 × 6696")
        << Decoder(decodeJpeg)
        << progressiveJpegHeader(6696, 3) +
               jpegSegment(0xDA, QByteArray("\x03\x01\x00\x02\x00\x03\x00\x00\x00\x00", 10))
        << tooLarge(6696, 6696);
    QTest::newRow("progressive colour jpeg of 6688 × 6688, cut short")
        << Decoder(decodeJpeg)
        << progressiveJpegHeader(6688, 3) +
               jpegSegment(0xDA, QByteArray("\x03\x01\x00\x02\x00\x03\x00\x00\x00\x00", 10))
        << damagedJpeg;
    QTest::newRow("baseline colour jpeg of 6696 × 6696, cut short")
        << Decoder(decodeJpeg)
        << progressiveJpegHeader(6696, 3, 0xC0) +
               jpegSegment(0xDA, QByteArray("\x03\x01\x00\x02\x00\x03\x00\x00\x3F\x00", 10))
        << damagedJpeg;
    QTest::newRow("jpeg of 12-bit samples")
        << Decoder(decodeJpeg)
        << QByteArray("\xFF\xD8", 2) +
               jpegSegment(0xC1, QByteArray("\x0C\x00\x10\x00\x10\x01\x01\x11\x00", 9)) +
               jpegSegment(0xDA, QByteArray("\x01\x01\x00\x00\x3F\x00", 6))
        << damagedJpeg;

    const QByteArray gif = writeGif({{20, 10}, {0, 0, 20, 10}}, 1);
    QTest::newRow("gif cut in its colour table")
        << Decoder(decodeGif) << gif.left(100) << damagedGif;
    QTest::newRow("gif without an image")
        << Decoder(decodeGif) << gifScreen(10, 10) + ';' << damagedGif;
    QTest::newRow("gif with an unknown block")
        << Decoder(decodeGif) << gifScreen(10, 10) + 'x' << damagedGif;
    QTest::newRow("gif of 65535 × 65535")
        << Decoder(decodeGif)
        << gifScreen(65535, 65535) + QByteArray("\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;", 16)
        << tooLarge(65535, 65535);
    QTest::newRow("gif of LZW codes wider than 8 bits")
        << Decoder(decodeGif)
        << gifScreen(1, 1) + QByteArray("\x2C\0\0\0\0\x01\0\x01\0\0\x0C\x02\x44\x01\0;", 16)
        << damagedGif;
}

void TestPngJpegGif::unreadablePictureGivesReason()
{
    QFETCH(Decoder, decoder);
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    CornerSink sink;
    QCOMPARE(messageOf(decodeBytes(decoder, file, sink)), expected);
}

void TestPngJpegGif::readFailureIsPassedOn_data()
{
    QTest::addColumn<Decoder>("decoder");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("png") << Decoder(decodePng) << writePng({200, 200, PNG_COLOR_TYPE_RGB, 8}, 1);
    QTest::newRow("jpeg") << Decoder(decodeJpeg) << writeJpeg({200, 200, 3, JCS_YCbCr}, 1);
    QTest::newRow("gif") << Decoder(decodeGif) << writeGif({{200, 200}, {0, 0, 200, 200}}, 1);
}

// A disk that fails in the middle of the corner's rows: the system's reason
// reaches the user, not a damaged picture.
void TestPngJpegGif::readFailureIsPassedOn()
{
    QFETCH(Decoder, decoder);
    QFETCH(QByteArray, file);
    class FailingSource final : public ByteSource
    {
    public:
        explicit FailingSource(QByteArray bytes) : m_bytes(std::move(bytes)) {}
        Result<std::size_t> read(std::span<std::uint8_t> buffer) override
        {
            if (m_position >= std::uint64_t(m_bytes.size()) / 8)
                return fail("cannot be read (Input/output error)");
            const std::size_t count = std::min<std::size_t>(
                buffer.size(), std::size_t(std::uint64_t(m_bytes.size()) / 8 - m_position));
            std::copy_n(m_bytes.constData() + m_position, count, buffer.begin());
            m_position += count;
            return count;
        }
        std::optional<std::uint64_t> size() const override { return std::nullopt; }
        Result<void> seek(std::uint64_t) override { return fail("cannot seek in a stream"); }
        std::uint64_t position() const override { return m_position; }

    private:
        QByteArray m_bytes;
        std::uint64_t m_position = 0;
    } source(file);
    CornerSink sink;
    QCOMPARE(messageOf(decoder(source, sink)),
             QStringLiteral("cannot be read (Input/output error)"));
}

void TestPngJpegGif::hostileInputIsBounded_data()
{
    QTest::addColumn<HostileCase>("hostile");
    const QString damagedPng = QStringLiteral("damaged or unsupported PNG picture");
    const QString damagedJpeg = QStringLiteral("damaged or unsupported JPEG picture");
    const QString damagedGif = QStringLiteral("damaged or unsupported GIF picture");
    const auto bytes = [](QByteArray file) {
        return [file] { return std::unique_ptr<ByteSource>(new BytesSource(file)); };
    };
    const auto orange = [](const CornerSink& sink) {
        return sink.at(0, 0) == Rgba{255, 128, 0, 255} ? QString()
                                                       : QStringLiteral("the pixel is not orange");
    };
    const QByteArray onePixelHead = pngSignature + pngHeaderChunk(1, 1, 8, PNG_COLOR_TYPE_RGB);
    constexpr std::uint64_t sevenHundredMiB = std::uint64_t{700} * 1024 * 1024;

    QTest::newRow("png of 1 × 1, then a 700 MiB IDAT chunk") << HostileCase{
        decodePng,
        [=] {
            const QByteArray head = onePixelHead + pngChunk("IDAT", orangePixelData) +
                                    bigEndian32(quint32(sevenHundredMiB)) + "IDAT";
            return std::unique_ptr<ByteSource>(
                new SparseSource(head, std::uint64_t(head.size()) + sevenHundredMiB + 4));
        },
        QString(), orange};
    QTest::newRow("png of 1 × 1 whose IDAT chunk claims 700 MiB") << HostileCase{
        decodePng,
        [=] {
            const QByteArray head =
                onePixelHead + bigEndian32(quint32(sevenHundredMiB)) + "IDAT" + orangePixelData;
            return std::unique_ptr<ByteSource>(new SparseSource(
                head, std::uint64_t(onePixelHead.size()) + 8 + sevenHundredMiB + 4));
        },
        damagedPng};
    // The same two as real sparse files, a block or two on disk, read as
    // dotwright-cli reads them.
    QTest::newRow("sparse file: png of 1 × 1, then a 700 MiB IDAT chunk") << HostileCase{
        readPicture,
        [=] {
            const QByteArray head = onePixelHead + pngChunk("IDAT", orangePixelData) +
                                    bigEndian32(quint32(sevenHundredMiB)) + "IDAT";
            return sparseFile(head, std::uint64_t(head.size()) + sevenHundredMiB + 4);
        },
        QString(), orange};
    QTest::newRow("sparse file: png of 1 × 1 whose IDAT chunk claims 700 MiB") << HostileCase{
        readPicture,
        [=] {
            const QByteArray head =
                onePixelHead + bigEndian32(quint32(sevenHundredMiB)) + "IDAT" + orangePixelData;
            return sparseFile(head, std::uint64_t(onePixelHead.size()) + 8 + sevenHundredMiB + 4);
        },
        damagedPng};
    // From a real file too: passing a chunk costs no system call of its own.
    const auto file = [](QByteArray bytes) {
        return [bytes] { return sparseFile(bytes, std::uint64_t(bytes.size())); };
    };
    QTest::newRow("file: png of a million empty text chunks")
        << HostileCase{readPicture,
                       file(onePixelHead + pngChunk("tEXt", {}).repeated(1000000) +
                            pngChunk("IDAT", orangePixelData) + pngChunk("IEND", {})),
                       QString(), orange};
    QTest::newRow("file: png of a million empty IDAT chunks")
        << HostileCase{readPicture,
                       file(onePixelHead + pngChunk("IDAT", {}).repeated(1000000) +
                            pngChunk("IDAT", orangePixelData) + pngChunk("IEND", {})),
                       QString(), orange};
    QTest::newRow("png of 8192 × 8192 16-bit RGBA in stored blocks (512 MiB)") << HostileCase{
        decodePng, [] { return std::unique_ptr<ByteSource>(new StoredPngSource); }, QString(),
        [](const CornerSink& sink) {
            if (sink.delivered() != QSize(8192, 8192))
                return QStringLiteral("wrong size");
            const auto eight = [](std::uint16_t v) {
                return std::uint8_t((v * 255u + 32895u) >> 16);
            };
            for (std::uint32_t y = 0; y < 64; ++y) {
                for (std::uint32_t x = 0; x < 128; ++x) {
                    const Rgba expected{eight(StoredPngSource::sample(x, y, 0)),
                                        eight(StoredPngSource::sample(x, y, 1)),
                                        eight(StoredPngSource::sample(x, y, 2)),
                                        eight(StoredPngSource::sample(x, y, 3))};
                    if (!(sink.at(int(x), int(y)) == expected))
                        return QStringLiteral("pixel (%1, %2) differs").arg(x).arg(y);
                }
            }
            return QString();
        }};
    // Held whole, this picture alone would take 256 MiB.
    QTest::newRow("png of 8192 × 4096 16-bit RGBA, interlaced")
        << HostileCase{decodePng, bytes(pngOfZeros(8192, 4096, 16, PNG_COLOR_TYPE_RGB_ALPHA, true)),
                       QString(), [](const CornerSink& sink) {
                           return sink.at(127, 63) == Rgba{} && sink.largestStep() == 8
                                      ? QString()
                                      : QStringLiteral("not transparent, or not by passes");
                       }};
    QTest::newRow("png of endless empty text chunks")
        << HostileCase{decodePng,
                       [=] {
                           return std::unique_ptr<ByteSource>(
                               new EndlessSource(onePixelHead, pngChunk("tEXt", {})));
                       },
                       damagedPng};
    QTest::newRow("pipe: png of endless empty text chunks") << HostileCase{
        readPicture,
        [=] {
            return std::unique_ptr<ByteSource>(new EndlessPipe(onePixelHead, pngChunk("tEXt", {})));
        },
        damagedPng};
    // Empty deflate blocks inflate to nothing: the 512 MiB picture's budget
    // would let a gigabyte of them come before its first row.
    QTest::newRow("png of 8192 × 8192 whose image data is empty deflate blocks without end")
        << HostileCase{decodePng,
                       [] {
                           const QByteArray emptyBlocks =
                               QByteArray("\x02\x08\x20\x80\x00", 5).repeated(200000);
                           return std::unique_ptr<ByteSource>(new EndlessSource(
                               pngSignature +
                                   pngHeaderChunk(8192, 8192, 16, PNG_COLOR_TYPE_RGB_ALPHA) +
                                   pngChunk("IDAT", "\x78\x01" + emptyBlocks),
                               pngChunk("IDAT", emptyBlocks)));
                       },
                       damagedPng};

    // Their AC scans come before any DC scan: refused at the first one.
    const QByteArray greyHeader = progressiveJpegHeader(8192, 1);
    QTest::newRow("jpeg of 8192 × 8192 grey with 1000 empty scans") << HostileCase{
        decodeJpeg, bytes(greyHeader + emptyAcScan().repeated(1000) + "\xFF\xD9"), damagedJpeg};
    QTest::newRow("jpeg of 8192 × 8192 grey with 10000 empty scans") << HostileCase{
        decodeJpeg, bytes(greyHeader + emptyAcScan().repeated(10000) + "\xFF\xD9"), damagedJpeg};
    // A proper DC scan first: the scans' work over the blocks stops them.
    QTest::newRow("jpeg of 8192 × 8192 grey, a DC scan and 1000 empty scans")
        << HostileCase{decodeJpeg,
                       bytes(progressiveJpegHeader(8192, 1) + dcScan(8192) +
                             emptyAcScan().repeated(1000) + "\xFF\xD9"),
                       damagedJpeg};
    QTest::newRow("jpeg of 8192 × 8192 grey, a DC scan and 10000 empty scans")
        << HostileCase{decodeJpeg,
                       bytes(progressiveJpegHeader(8192, 1) + dcScan(8192) +
                             emptyAcScan().repeated(10000) + "\xFF\xD9"),
                       damagedJpeg};
    // Held whole until its last scan: 128 MiB of coefficients, within the bound.
    QTest::newRow("progressive grey jpeg of 8192 × 8192, held whole") << HostileCase{
        decodeJpeg, bytes(progressiveJpegHeader(8192, 1) + dcScan(8192) + "\xFF\xD9"), QString(),
        [](const CornerSink& sink) {
            return sink.delivered() == QSize(8192, 8192) &&
                           sink.at(127, 63) == Rgba{128, 128, 128, 255}
                       ? QString()
                       : QStringLiteral("not 8192 × 8192 of mid grey");
        }};
    // Small enough for the work, but no scan script has this many scans.
    QTest::newRow("jpeg of 256 × 256 grey, a DC scan and 400 empty scans")
        << HostileCase{decodeJpeg,
                       bytes(progressiveJpegHeader(256, 1) + dcScan(256) +
                             emptyAcScan().repeated(400) + "\xFF\xD9"),
                       damagedJpeg};
    QTest::newRow("progressive CMYK jpeg of 8192 × 8192") << HostileCase{
        decodeJpeg,
        bytes(progressiveJpegHeader(8192, 4) +
              jpegSegment(0xDA, QByteArray("\x01\x01\x00\x00\x00\x00", 6)) + "\xFF\xD9"),
        QStringLiteral("picture is too large (8192 × 8192 pixels)")};
    QTest::newRow("jpeg start, then zeros without end")
        << HostileCase{decodeJpeg,
                       [] {
                           return std::unique_ptr<ByteSource>(
                               new EndlessSource(QByteArray("\xFF\xD8", 2), QByteArray(1, '\0')));
                       },
                       damagedJpeg};
    QTest::newRow("pipe: jpeg start, then zeros without end")
        << HostileCase{readPicture,
                       [] {
                           return std::unique_ptr<ByteSource>(
                               new EndlessPipe(QByteArray("\xFF\xD8", 2), QByteArray(1, '\0')));
                       },
                       damagedJpeg};
    QTest::newRow("jpeg start, then comments without end") << HostileCase{
        decodeJpeg,
        [] {
            return std::unique_ptr<ByteSource>(new EndlessSource(
                QByteArray("\xFF\xD8", 2), jpegSegment(0xFE, QByteArray(65533, 'c'))));
        },
        damagedJpeg};

    QTest::newRow("gif of comments without end")
        << HostileCase{decodeGif,
                       [] {
                           return std::unique_ptr<ByteSource>(new EndlessSource(
                               gifScreen(1, 1) + "\x21\xFE", char(255) + QByteArray(255, 'c')));
                       },
                       damagedGif};
    // Half of the frame's rows come before its first odd one.
    QTest::newRow("gif of a 65535 × 65535 interlaced frame on a 1024 × 64 screen")
        << HostileCase{decodeGif, bytes(gifOfOneColour({1024, 64}, {65535, 65535}, true)),
                       QStringLiteral("picture is too large (65535 × 65535 pixels)")};
    QTest::newRow("gif of an 8192 × 8192 interlaced frame on a 1024 × 64 screen") << HostileCase{
        decodeGif, bytes(gifOfOneColour({1024, 64}, {8192, 8192}, true)), QString(),
        [](const CornerSink& sink) {
            return sink.at(127, 63) == Rgba{0, 0, 0, 255} ? QString() : QStringLiteral("not black");
        }};
    QTest::newRow("gif of clear codes without end")
        << HostileCase{decodeGif,
                       [] {
                           // Three-bit clear codes (4), eight to three bytes.
                           QByteArray clears;
                           for (int i = 0; i < 85; ++i)
                               clears += QByteArray("\x24\x49\x92", 3);
                           return std::unique_ptr<ByteSource>(new EndlessSource(
                               gifScreen(1, 1, QByteArray("\0\0\0\xFF\xFF\xFF", 6)) +
                                   QByteArray("\x2C\0\0\0\0\x01\0\x01\0\0\x02", 11),
                               char(255) + clears));
                       },
                       damagedGif};

    // Its top rows are stored last: the 256 MiB before them pass through.
    QTest::newRow("pipe: bottom-up 8192 × 8192 bitmap, then zeros without end") << HostileCase{
        readPicture,
        [] {
            QByteArray header("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0"
                              "\0\x20\0\0\0\x20\0\0\x01\0\x20\0",
                              30);
            header += QByteArray(24, '\0');
            return std::unique_ptr<ByteSource>(new EndlessPipe(header, QByteArray(1, '\0')));
        },
        QString(),
        [](const CornerSink& sink) {
            return sink.delivered() == QSize(8192, 8192) && sink.at(127, 63) == Rgba{0, 0, 0, 255}
                       ? QString()
                       : QStringLiteral("not 8192 × 8192 of black");
        }};
    QTest::newRow("/dev/zero as the picture")
        << HostileCase{readPicture,
                       [] {
                           auto opened = FileSource::open("/dev/zero", "a picture");
                           return std::unique_ptr<ByteSource>(new FileSource(std::move(*opened)));
                       },
                       QStringLiteral("not a picture Dotwright can read")};
    QTest::newRow("pipe: endless text as the picture") << HostileCase{
        readPicture,
        [] {
            return std::unique_ptr<ByteSource>(new EndlessPipe(QByteArray(), QByteArray("y\n", 2)));
        },
        QStringLiteral("not a picture Dotwright can read")};

    const std::pair<const char*, Decoder> everyDecoder[] = {
        {"png", decodePng}, {"jpeg", decodeJpeg}, {"gif", decodeGif}};
    for (const auto& [name, decoder] : everyDecoder) {
        const QString expected = QStringLiteral("damaged or unsupported %1 picture")
                                     .arg(QString::fromLatin1(name).toUpper());
        QTest::addRow("%s from /dev/zero", name) << HostileCase{
            decoder,
            [] {
                auto opened = FileSource::open("/dev/zero", "a picture");
                return std::unique_ptr<ByteSource>(new FileSource(std::move(*opened)));
            },
            expected};
    }
}

// Each input is read or refused within a second of processor time and 256 MiB,
// however much it claims or however long it goes on.
void TestPngJpegGif::hostileInputIsBounded()
{
    QFETCH(HostileCase, hostile);
    const std::unique_ptr<ByteSource> source = hostile.source();
    CornerSink sink;
    Result<void> result;
    const Cost cost = costOf([&] { result = hostile.decoder(*source, sink); });
    QCOMPARE(messageOf(result), hostile.expected);
    if (result) {
        QVERIFY2(sink.problem().isEmpty(), qPrintable(sink.problem()));
        if (hostile.checkCorner) {
            const QString problem = hostile.checkCorner(sink);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
    }
    qInfo("%.3f s, %.1f MiB", cost.seconds, cost.peakMiB);
    QVERIFY2(cost.seconds < 1.0, qPrintable(QStringLiteral("%1 s").arg(cost.seconds)));
    QVERIFY2(cost.peakMiB < 256, qPrintable(QStringLiteral("%1 MiB").arg(cost.peakMiB)));
}

void TestPngJpegGif::pngWriterKeepsPixelsOfTodaysWriter_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("screen") << QSize(128, 64);
    QTest::newRow("one pixel") << QSize(1, 1);
    QTest::newRow("odd") << QSize(37, 5);
}

// The pixels come back exactly, as from today's writer, with the same fixed
// resolution, and the same picture always gives the same bytes.
void TestPngJpegGif::pngWriterKeepsPixelsOfTodaysWriter()
{
    QFETCH(QSize, size);
    QRandomGenerator random(9);
    std::vector<Colour> colours(std::size_t(size.width()) * std::size_t(size.height()));
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const Colour colour = random.bounded(0x1000000u);
            colours[std::size_t(y) * std::size_t(size.width()) + std::size_t(x)] = colour;
            image.setPixel(x, y, qRgb(redOf(colour), greenOf(colour), blueOf(colour)));
        }
    }
    const Result<std::vector<std::uint8_t>> written =
        encodePng(size.width(), size.height(), colours);
    QVERIFY(written);
    const QByteArray bytes(reinterpret_cast<const char*>(written->data()),
                           qsizetype(written->size()));
    const QByteArray today = encodeAt96Dpi(image, "png");
    QCOMPARE(toolkitPicture(bytes), toolkitPicture(today));
    QCOMPARE(toolkitPicture(bytes), image.convertToFormat(QImage::Format_ARGB32));
    const QByteArray resolution = pngChunk("pHYs", bigEndian32(3780) + bigEndian32(3780) + '\x01');
    QVERIFY(bytes.contains(resolution));
    QVERIFY(today.contains(resolution));
    QCOMPARE(*encodePng(size.width(), size.height(), colours), *written);
}

void TestPngJpegGif::pngWriterRefusesMismatchedSizes()
{
    const std::vector<Colour> colours(6, colours::white);
    QVERIFY(encodePng(3, 2, colours));
    QVERIFY(!encodePng(2, 2, colours));
    QVERIFY(!encodePng(0, 0, {}));
    QVERIFY(!encodePng(-3, -2, colours));
}

QTEST_GUILESS_MAIN(TestPngJpegGif)
#include "tst_png_jpeg_gif.moc"
