#include "picture_io/buffered_input.h"
#include "picture_io/decoder_messages.h"
#include "picture_io/decoders.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr const char* formatPng = "PNG";

constexpr std::array<std::uint8_t, 8> pngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// libpng keeps two rows of the full width (the row and the one above it, for
// the filters). A row longer than this belongs to no real picture (8 million
// pixels of 16-bit RGBA); refusing it keeps a 64-megapixel single row from
// costing a gigabyte.
constexpr std::uint64_t maxRowBytes = std::uint64_t{64} * 1024 * 1024;

// What a file may hold besides its image data (text, colour profiles, thumbnails
// in private chunks), counted with every chunk's header and CRC.
constexpr std::uint64_t metadataAllowance = std::uint64_t{64} * 1024 * 1024;
// Each chunk costs its header's handling however short it is, so a chunk
// counts as at least this many bytes: a million empty chunks still fit, an
// endless stream of them stops after about a million.
constexpr std::uint64_t minChunkCharge = 64;
// Image data may take at most twice what it has inflated to so far, plus this
// much (libpng reads ahead in pieces of 8 KiB; a block's own code tables).
// Deflate's longest code is 15 bits a byte, and no encoder comes near it;
// but empty blocks inflate to nothing at all, and a gigabyte of them, which the
// whole picture's budget would allow before its first row, takes seconds.
constexpr std::uint64_t imageDataSlack = 64 * 1024;

struct PngHeader
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;
    bool interlaced = false;
};

std::uint32_t bigEndian32(const std::uint8_t* bytes)
{
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 |
           std::uint32_t(bytes[2]) << 8 | bytes[3];
}

int channelsOf(int colourType)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
        return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 0;
    }
}

bool validDepth(int colourType, int bitDepth)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case PNG_COLOR_TYPE_PALETTE:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    default:
        return bitDepth == 8 || bitDepth == 16;
    }
}

std::uint64_t rowBytesOf(const PngHeader& header, std::uint64_t width)
{
    return (width * std::uint64_t(channelsOf(header.colourType)) * std::uint64_t(header.bitDepth) +
            7) /
           8;
}

// The bytes the zlib stream inflates to: every row (of every pass) with its
// filter byte.
std::uint64_t imageDataBytes(const PngHeader& header)
{
    if (!header.interlaced)
        return std::uint64_t(header.height) * (rowBytesOf(header, header.width) + 1);
    std::uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass) {
        const std::uint64_t columns = PNG_PASS_COLS(std::uint64_t(header.width), pass);
        const std::uint64_t rows = PNG_PASS_ROWS(std::uint64_t(header.height), pass);
        if (columns > 0)
            total += rows * (rowBytesOf(header, columns) + 1);
    }
    return total;
}

// Hands libpng the signature and only the chunks that decide the pixels:
// header, palette, transparency, image data and end. Everything else is skipped
// here, by seeking where the source can, so that libpng neither reads nor
// checks it and ignores gamma and colour profiles, as the toolkit's reader did.
// Every chunk, kept or skipped, counts against the picture's budget.
class PngChunkStream
{
public:
    explicit PngChunkStream(BufferedInput& input) : m_input(input) {}

    // No chunk reaches past `end` (counted from the signature's first byte).
    void setBudgetEnd(std::uint64_t end)
    {
        m_budgetEnd = end;
        m_input.setBudgetEnd(end);
    }

    // The image data chunks, headers and CRCs included (each at least
    // minChunkCharge), may hand over `bytes` in all so far; a read that
    // would go past that fails.
    void allowImageData(std::uint64_t bytes) { m_imageDataEnd = bytes; }

    bool read(std::span<std::uint8_t> out)
    {
        while (!out.empty()) {
            if (m_passing == 0 && !startNextKeptChunk())
                return false;
            const std::size_t piece = std::size_t(std::min<std::uint64_t>(out.size(), m_passing));
            if (m_passingImageData) {
                if (piece > m_imageDataEnd - std::min(m_imageData, m_imageDataEnd))
                    return false;
                m_imageData += piece;
            }
            if (!m_input.readExactly(out.first(piece)))
                return false;
            m_passing -= piece;
            out = out.subspan(piece);
        }
        return true;
    }

private:
    static bool isKept(const std::uint8_t* type, std::uint32_t length)
    {
        static constexpr std::array<const char*, 4> kept = {"IHDR", "PLTE", "tRNS", "IEND"};
        if (std::memcmp(type, "IDAT", 4) == 0)
            return length > 0; // an empty IDAT adds nothing, however many there are
        return std::any_of(kept.begin(), kept.end(),
                           [type](const char* name) { return std::memcmp(type, name, 4) == 0; });
    }

    bool startNextKeptChunk()
    {
        for (;;) {
            if (!m_input.ensure(8))
                return false;
            const std::uint8_t* header = m_input.available().data();
            const std::uint32_t length = bigEndian32(header);
            if (length > PNG_UINT_31_MAX)
                return false;
            for (int i = 4; i < 8; ++i) {
                const std::uint8_t c = header[i];
                if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
                    return false;
            }
            // A chunk longer than what is left of the budget is refused at its
            // header, before any of it is read. Each chunk counts as at least
            // minChunkCharge bytes.
            const std::uint64_t chunkBytes = std::uint64_t(length) + 12;
            const std::uint64_t at = m_input.charged();
            if (at > m_budgetEnd || chunkBytes > m_budgetEnd - at)
                return false;
            if (chunkBytes < minChunkCharge)
                m_input.charge(minChunkCharge - chunkBytes);
            if (isKept(header + 4, length)) {
                m_passing = chunkBytes;
                m_passingImageData = std::memcmp(header + 4, "IDAT", 4) == 0;
                if (m_passingImageData && chunkBytes < minChunkCharge)
                    m_imageData += minChunkCharge - chunkBytes;
                return true;
            }
            m_input.consume(8);
            if (!m_input.skip(std::uint64_t(length) + 4))
                return false;
        }
    }

    BufferedInput& m_input;
    std::uint64_t m_passing = pngSignature.size();
    bool m_passingImageData = false;
    std::uint64_t m_budgetEnd = UINT64_MAX;
    std::uint64_t m_imageData = 0;
    std::uint64_t m_imageDataEnd = imageDataSlack;
};

// Samples as the file stores them, turned into pixels the way the toolkit's
// reader did: no gamma or colour profile applied; 16-bit samples rounded to 8
// bits; a transparent grey of 2, 4 or 8 bits becomes transparent black, while
// 1-bit and 16-bit greys and RGB keep their colour under alpha 0.
class PngPixelConverter
{
public:
    PngPixelConverter(const PngHeader& header, png_const_colorp palette, int paletteSize,
                      png_const_bytep paletteAlpha, int paletteAlphaSize,
                      png_const_color_16p transparent)
        : m_colourType(header.colourType), m_bitDepth(header.bitDepth)
    {
        if (transparent != nullptr)
            m_transparent = *transparent;
        if (m_colourType == PNG_COLOR_TYPE_PALETTE) {
            paletteSize = std::clamp(paletteSize, 1, 256);
            for (int i = 0; i < paletteSize; ++i) {
                const std::uint8_t alpha =
                    i < paletteAlphaSize && paletteAlpha != nullptr ? paletteAlpha[i] : 255;
                m_table[std::size_t(i)] = {palette[i].red, palette[i].green, palette[i].blue,
                                           alpha};
            }
            // An index past the palette: the toolkit's reader took entry 0 for
            // it, or white where the picture has one bit a pixel.
            const Rgba past = m_bitDepth == 1 ? Rgba{255, 255, 255, 255} : m_table[0];
            std::fill(m_table.begin() + paletteSize, m_table.end(), past);
        } else if (m_colourType == PNG_COLOR_TYPE_GRAY && m_bitDepth <= 8) {
            const int levels = 1 << m_bitDepth;
            for (int i = 0; i < levels; ++i) {
                const auto level = std::uint8_t(i * 255 / (levels - 1));
                m_table[std::size_t(i)] = {level, level, level, 255};
            }
            if (m_transparent && m_transparent->gray < levels) {
                Rgba& entry = m_table[m_transparent->gray];
                entry = m_bitDepth == 1 ? Rgba{entry.red, entry.green, entry.blue, 0} : Rgba{};
            }
        }
    }

    // Pixels 0 .. out.size() - 1 of a row (or pass row) of raw samples.
    void convert(const std::uint8_t* row, std::span<Rgba> out) const
    {
        const std::size_t count = out.size();
        const bool indexed = m_colourType == PNG_COLOR_TYPE_PALETTE ||
                             (m_colourType == PNG_COLOR_TYPE_GRAY && m_bitDepth <= 8);
        if (indexed) {
            const int depth = m_bitDepth;
            const int mask = (1 << depth) - 1;
            for (std::size_t i = 0; i < count; ++i) {
                const std::size_t bit = i * std::size_t(depth);
                const int shift = 8 - depth - int(bit % 8);
                out[i] = m_table[std::size_t(row[bit / 8] >> shift & mask)];
            }
            return;
        }
        // The commonest kinds by themselves: the loop below decides the kind
        // and the sample size again for every pixel, which costs more than
        // inflating a large picture's rows when it is scaled to fit.
        if (m_bitDepth == 8 && m_colourType == PNG_COLOR_TYPE_RGB && !m_transparent) {
            for (std::size_t i = 0; i < count; ++i, row += 3)
                out[i] = {row[0], row[1], row[2], 255};
            return;
        }
        if (m_bitDepth == 8 && m_colourType == PNG_COLOR_TYPE_RGB_ALPHA) {
            for (std::size_t i = 0; i < count; ++i, row += 4)
                out[i] = {row[0], row[1], row[2], row[3]};
            return;
        }
        const int bytesPerSample = m_bitDepth / 8;
        const int channels = channelsOf(m_colourType);
        const auto sample = [&](std::size_t pixel, int channel) -> unsigned {
            const std::uint8_t* at =
                row + (pixel * std::size_t(channels) + std::size_t(channel)) * bytesPerSample;
            return bytesPerSample == 2 ? unsigned(at[0]) << 8 | at[1] : at[0];
        };
        const auto eight = [&](unsigned value) {
            // Rounds value / 257, as the toolkit's conversion of 16-bit images does.
            return bytesPerSample == 2 ? std::uint8_t((value * 255 + 32895) >> 16)
                                       : std::uint8_t(value);
        };
        for (std::size_t i = 0; i < count; ++i) {
            switch (m_colourType) {
            case PNG_COLOR_TYPE_GRAY: { // 16 bits; the others go through the table
                const unsigned grey = sample(i, 0);
                const std::uint8_t level = eight(grey);
                const bool clear = m_transparent && grey == m_transparent->gray;
                out[i] = {level, level, level, std::uint8_t(clear ? 0 : 255)};
                break;
            }
            case PNG_COLOR_TYPE_GRAY_ALPHA: {
                const std::uint8_t level = eight(sample(i, 0));
                out[i] = {level, level, level, eight(sample(i, 1))};
                break;
            }
            case PNG_COLOR_TYPE_RGB: {
                const unsigned red = sample(i, 0);
                const unsigned green = sample(i, 1);
                const unsigned blue = sample(i, 2);
                const bool clear = m_transparent && red == m_transparent->red &&
                                   green == m_transparent->green && blue == m_transparent->blue;
                out[i] = {eight(red), eight(green), eight(blue), std::uint8_t(clear ? 0 : 255)};
                break;
            }
            default: // RGBA
                out[i] = {eight(sample(i, 0)), eight(sample(i, 1)), eight(sample(i, 2)),
                          eight(sample(i, 3))};
            }
        }
    }

private:
    int m_colourType;
    int m_bitDepth;
    std::optional<png_color_16> m_transparent;
    std::array<Rgba, 256> m_table{};
};

// Everything that must outlive a longjmp out of libpng lives here, in the
// caller's frame, never in the frame that calls setjmp.
struct PngDecoding
{
    PngDecoding(ByteSource& source, RowSink& rowSink) : input(source), chunks(input), sink(rowSink)
    {}

    BufferedInput input;
    PngChunkStream chunks;
    RowSink& sink;
    PngHeader header;
    bool inputFailed = false;
    std::uint64_t inflated = 0; // what the rows read so far inflate to
    std::vector<std::uint8_t> row;
    std::vector<Rgba> pixels;
    std::optional<PngPixelConverter> converter;
};

void pngRead(png_structp png, png_bytep data, std::size_t length)
{
    auto* decoding = static_cast<PngDecoding*>(png_get_io_ptr(png));
    if (!decoding->chunks.read(std::span(data, length))) {
        decoding->inputFailed = true;
        png_error(png, "input");
    }
}

// libpng would print to standard error; the reason reaches the user as one
// line through the decoder's result instead.
void pngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// Reads the next row (or pass row) of `columns` pixels, first letting the
// image data grow by twice the bytes that row inflates to.
void readRow(png_structp png, PngDecoding& decoding, std::int64_t columns)
{
    decoding.inflated += rowBytesOf(decoding.header, std::uint64_t(columns)) + 1;
    decoding.chunks.allowImageData(2 * decoding.inflated + imageDataSlack);
    png_read_row(png, decoding.row.data(), nullptr);
}

void deliverRow(PngDecoding& decoding, std::int64_t y, std::int64_t x0, std::int64_t step,
                std::size_t count)
{
    const std::span<Rgba> pixels = std::span(decoding.pixels).first(count);
    decoding.converter->convert(decoding.row.data(), pixels);
    decoding.sink.pixels(y, x0, step, pixels);
}

// The part that runs under libpng's longjmp: no object with a destructor may
// live in this frame.
bool readWithLibpng(PngDecoding& decoding)
{
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &decoding, pngError, pngWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &decoding, pngRead);
    png_set_user_limits(png, std::uint32_t(maxPicturePixels), std::uint32_t(maxPicturePixels));
    // The chunks that reach libpng are small (a palette, a transparency table);
    // these are a second fence behind the chunk stream.
    png_set_chunk_malloc_max(png, 64 * 1024);
    png_set_chunk_cache_max(png, 16);
    png_read_info(png, info);

    const PngHeader& header = decoding.header;
    png_colorp palette = nullptr;
    int paletteSize = 0;
    png_get_PLTE(png, info, &palette, &paletteSize);
    png_bytep paletteAlpha = nullptr;
    int paletteAlphaSize = 0;
    png_color_16p transparent = nullptr;
    png_get_tRNS(png, info, &paletteAlpha, &paletteAlphaSize, &transparent);
    if (header.colourType == PNG_COLOR_TYPE_PALETTE)
        transparent = nullptr;
    else
        paletteAlpha = nullptr;
    decoding.converter.emplace(header, palette, paletteSize, paletteAlpha, paletteAlphaSize,
                               transparent);

    png_read_update_info(png, info);
    decoding.row.resize(png_get_rowbytes(png, info));

    const std::int64_t width = header.width;
    const std::int64_t height = header.height;
    decoding.sink.start({width, height});
    const std::int64_t rows = std::min(height, decoding.sink.rowsWanted());
    const std::int64_t columns = std::min(width, decoding.sink.columnsWanted());
    if (rows > 0 && columns > 0) {
        decoding.pixels.resize(std::size_t(columns));
        if (!header.interlaced) {
            for (std::int64_t y = 0; y < rows; ++y) {
                readRow(png, decoding, width);
                deliverRow(decoding, y, 0, 1, std::size_t(columns));
            }
        } else {
            // Without libpng's interlace handling each pass comes as a small
            // picture of its own, so only one row is ever held. The odd rows
            // come in the last pass, so all of the passes before it are read.
            int lastPass = -1;
            std::int64_t lastPassRow = -1;
            for (int pass = 0; pass < 7; ++pass) {
                const std::int64_t passRows = PNG_PASS_ROWS(height, pass);
                if (PNG_PASS_COLS(width, pass) == 0 || passRows == 0 ||
                    PNG_PASS_START_COL(pass) >= columns || PNG_PASS_START_ROW(pass) >= rows)
                    continue;
                lastPass = pass;
                lastPassRow = std::min(passRows - 1, (rows - 1 - PNG_PASS_START_ROW(pass)) >>
                                                         PNG_PASS_ROW_SHIFT(pass));
            }
            for (int pass = 0; pass <= lastPass; ++pass) {
                const std::int64_t passColumns = PNG_PASS_COLS(width, pass);
                const std::int64_t passRows = PNG_PASS_ROWS(height, pass);
                if (passColumns == 0 || passRows == 0)
                    continue; // libpng skips empty passes too
                const std::int64_t x0 = PNG_PASS_START_COL(pass);
                const std::int64_t step = PNG_PASS_COL_OFFSET(pass);
                const std::int64_t wanted =
                    x0 < columns ? std::min(passColumns, (columns - x0 + step - 1) / step) : 0;
                const std::int64_t end = pass == lastPass ? lastPassRow + 1 : passRows;
                for (std::int64_t i = 0; i < end; ++i) {
                    readRow(png, decoding, passColumns);
                    const std::int64_t y = PNG_ROW_FROM_PASS_ROW(i, pass);
                    if (y < rows && wanted > 0)
                        deliverRow(decoding, y, x0, step, std::size_t(wanted));
                }
            }
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

Result<void> decodePng(ByteSource& source, RowSink& sink)
{
    PngDecoding decoding(source, sink);
    BufferedInput& input = decoding.input;

    // The size is checked before libpng sees the file, so that a picture that
    // is too large is refused before any of its chunks is read.
    constexpr std::size_t signatureAndHeader = 8 + 8 + 13;
    if (!input.ensure(signatureAndHeader))
        return inputFailure(input, formatPng);
    const std::uint8_t* start = input.available().data();
    if (!std::equal(pngSignature.begin(), pngSignature.end(), start) ||
        bigEndian32(start + 8) != 13 || std::memcmp(start + 12, "IHDR", 4) != 0)
        return damagedPicture(formatPng);
    PngHeader& header = decoding.header;
    header.width = bigEndian32(start + 16);
    header.height = bigEndian32(start + 20);
    header.bitDepth = start[24];
    header.colourType = start[25];
    header.interlaced = start[28] == PNG_INTERLACE_ADAM7;
    if (header.width == 0 || header.height == 0 || header.width > PNG_UINT_31_MAX ||
        header.height > PNG_UINT_31_MAX || channelsOf(header.colourType) == 0 ||
        !validDepth(header.colourType, header.bitDepth))
        return damagedPicture(formatPng);
    if (exceedsPixelLimit(header.width, header.height) ||
        rowBytesOf(header, header.width) > maxRowBytes)
        return pictureTooLarge(header.width, header.height);

    // No deflate stream of a real picture is twice as long as what it
    // inflates to; nothing past that is read.
    decoding.chunks.setBudgetEnd(pngSignature.size() + 2 * imageDataBytes(header) +
                                 metadataAllowance);

    if (!readWithLibpng(decoding)) {
        if (decoding.inputFailed)
            return inputFailure(input, formatPng);
        return damagedPicture(formatPng);
    }
    return {};
}
