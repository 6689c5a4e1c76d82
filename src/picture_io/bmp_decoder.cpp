#include "picture_io/decoder_failure.h"
#include "picture_io/decoders.h"
#include "picture_io/dib.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <vector>

// Windows and OS/2 bitmaps, read as they stream past: one stored row in
// memory at a time, and no row the sink does not want is converted. Colours
// follow the toolkit's bitmap reader, which today's pictures were read with;
// where that reader showed whatever memory held (run-length pixels the file
// never sets) the pixels stay transparent instead.

namespace {

enum Compression : std::uint32_t {
    uncompressed = 0,
    runLength8 = 1,
    runLength4 = 2,
    bitFields = 3,
    alphaBitFields = 6,
};

constexpr std::uint32_t coreHeader = 12;

// A gap between the headers and the pixels is skipped, by reading where the
// input cannot seek; beyond this it is a damaged header, not a gap, and an
// endless input is not read for it.
constexpr std::uint64_t maxGapBytes = std::uint64_t{64} * 1024 * 1024;

Result<void> damaged()
{
    return fail("damaged or unsupported BMP picture");
}

struct Header
{
    std::uint32_t dataOffset = 0; // from the start of the file
    std::uint32_t size = 0;       // of the info header
    std::int64_t width = 0;
    std::int64_t height = 0; // as stored: negative for rows stored top down
    int planes = 0;
    int bits = 0;
    std::uint32_t compression = uncompressed;
    std::uint32_t coloursUsed = 0;
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha
};

bool knownHeaderSize(std::uint32_t size)
{
    // 64 is OS/2's second header, whose first 40 bytes are Windows' own.
    return size == coreHeader || size == 40 || size == 52 || size == 56 || size == 64 ||
           size == 108 || size == 124;
}

Result<Header> readHeader(ByteSource& source)
{
    std::array<std::uint8_t, 14 + 124> bytes{};
    if (const Result<void> read = readExactly(source, std::span(bytes).first(18)); !read)
        return fail(read.error());
    if (bytes[0] != 'B' || bytes[1] != 'M')
        return fail(damaged().error());
    Header header;
    header.dataOffset = dib::le32(&bytes[10]);
    header.size = dib::le32(&bytes[14]);
    if (!knownHeaderSize(header.size))
        return fail(damaged().error());
    const std::span<std::uint8_t> rest = std::span(bytes).subspan(18, header.size - 4);
    if (const Result<void> read = readExactly(source, rest); !read)
        return fail(read.error());
    const std::uint8_t* info = &bytes[14];
    if (header.size == coreHeader) {
        // Sizes are signed as the toolkit read them, so a negative height
        // is stored top down here too.
        header.width = std::int16_t(dib::le16(info + 4));
        header.height = std::int16_t(dib::le16(info + 6));
        header.planes = dib::le16(info + 8);
        header.bits = dib::le16(info + 10);
        return header;
    }
    header.width = std::int32_t(dib::le32(info + 4));
    header.height = std::int32_t(dib::le32(info + 8));
    header.planes = dib::le16(info + 12);
    header.bits = dib::le16(info + 14);
    header.compression = dib::le32(info + 16);
    header.coloursUsed = dib::le32(info + 32);
    if (header.size >= 52) {
        for (std::size_t channel = 0; channel < 3; ++channel)
            header.masks[channel] = dib::le32(info + 40 + 4 * channel);
    }
    if (header.size >= 56 && header.size != 64)
        header.masks[3] = dib::le32(info + 52);
    return header;
}

bool supported(const Header& header)
{
    if (header.planes != 1 || header.width <= 0 || header.height == 0 || header.height == INT_MIN)
        return false;
    switch (header.compression) {
    case uncompressed:
        return header.bits == 1 || header.bits == 4 || header.bits == 8 || header.bits == 16 ||
               header.bits == 24 || header.bits == 32;
    case runLength8:
        return header.bits == 8;
    case runLength4:
        return header.bits == 4;
    case bitFields:
    case alphaBitFields:
        return header.bits == 16 || header.bits == 32;
    default:
        return false;
    }
}

// How the pixels of a 16-, 24- or 32-bit picture turn into colours.
struct DirectColours
{
    std::array<dib::Channel, 4> channels;
    bool alpha = false;
};

DirectColours directColoursOf(const Header& header)
{
    DirectColours colours;
    std::array<std::uint32_t, 4> masks = header.masks;
    if (header.compression == uncompressed) {
        // Uncompressed pixels have fixed fields whatever the header's masks
        // say; but a 32-bit picture with a header of masks whose alpha mask is
        // the top byte keeps its alpha, as the toolkit's reader did.
        const std::uint32_t alpha = header.bits == 32 && masks[3] == 0xFF000000 ? 0xFF000000 : 0;
        masks = header.bits == 16 ? std::array<std::uint32_t, 4>{0x7C00, 0x03E0, 0x001F, 0}
                                  : std::array<std::uint32_t, 4>{0xFF0000, 0xFF00, 0xFF, alpha};
    }
    for (std::size_t channel = 0; channel < 4; ++channel)
        colours.channels[channel] = dib::Channel(masks[channel]);
    colours.alpha = masks[3] != 0;
    return colours;
}

void unpackDirect(const std::uint8_t* row, int bits, const DirectColours& colours,
                  std::span<Rgba> out)
{
    const std::size_t bytes = std::size_t(bits / 8);
    for (std::size_t x = 0; x < out.size(); ++x) {
        const std::uint8_t* at = row + x * bytes;
        std::uint32_t pixel = std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8;
        if (bits >= 24)
            pixel |= std::uint32_t(at[2]) << 16;
        if (bits == 32)
            pixel |= std::uint32_t(at[3]) << 24;
        out[x] = Rgba{colours.channels[0].of(pixel), colours.channels[1].of(pixel),
                      colours.channels[2].of(pixel),
                      colours.alpha ? colours.channels[3].of(pixel) : std::uint8_t(255)};
    }
}

struct Layout
{
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool topDown = false;
    std::int64_t rowsWanted = 0;    // at most the height
    std::int64_t columnsWanted = 0; // at most the width

    // The picture row that the stored row `stored` (0 first in the file) is.
    std::int64_t pictureRow(std::int64_t stored) const
    {
        return topDown ? stored : height - 1 - stored;
    }
};

Result<void> decodeUncompressed(ByteSource& source, const Header& header, const Layout& layout,
                                const dib::Palette& palette, RowSink& sink)
{
    const int bits = header.bits;
    const std::int64_t stride = dib::rowStride(layout.width, bits);
    const std::uint64_t dataStart = source.position();
    // A picture that lacks rows is damaged, even when the rows wanted are all
    // there: the toolkit showed stale memory for the missing ones.
    if (const auto size = source.size();
        size && (*size < dataStart ||
                 std::uint64_t(layout.height) > (*size - dataStart) / std::uint64_t(stride)))
        return damaged();

    const std::int64_t rows = layout.rowsWanted;
    const std::int64_t used = (layout.columnsWanted * bits + 7) / 8;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(used));
    std::vector<Rgba> pixels(static_cast<std::size_t>(layout.columnsWanted));
    const DirectColours colours = bits > 8 ? directColoursOf(header) : DirectColours{};

    // Bottom up, the wanted rows are the last ones stored.
    if (!layout.topDown) {
        if (!skipForward(source, std::uint64_t(layout.height - rows) * std::uint64_t(stride)))
            return damaged();
    }
    for (std::int64_t index = 0; index < rows; ++index) {
        if (!readExactly(source, row))
            return damaged();
        if (bits <= 8)
            dib::unpackIndexed(row.data(), bits, palette, pixels);
        else
            unpackDirect(row.data(), bits, colours, pixels);
        const std::int64_t y = layout.topDown ? index : rows - 1 - index;
        sink.pixels(y, 0, 1, pixels);
        if (index + 1 < rows && !skipForward(source, std::uint64_t(stride - used)))
            return damaged();
    }
    return {};
}

// One stored row of a run-length picture while it is being filled: the
// pixels the file sets, and which they are.
class RunLengthRow
{
public:
    explicit RunLengthRow(std::int64_t columns)
        : m_pixels(std::size_t(columns)), m_set(std::size_t(columns), 0)
    {}

    void set(std::int64_t x, Rgba colour)
    {
        if (x < std::int64_t(m_pixels.size())) {
            m_pixels[std::size_t(x)] = colour;
            m_set[std::size_t(x)] = 1;
            m_any = true;
        }
    }

    // Hands the set pixels, in unbroken stretches, to the sink as row y, and
    // starts an empty row.
    void deliver(RowSink& sink, std::int64_t y)
    {
        if (!m_any)
            return;
        const std::size_t columns = m_pixels.size();
        for (std::size_t x = 0; x < columns;) {
            if (!m_set[x]) {
                ++x;
                continue;
            }
            std::size_t end = x;
            while (end < columns && m_set[end])
                ++end;
            sink.pixels(y, std::int64_t(x), 1, std::span(m_pixels).subspan(x, end - x));
            x = end;
        }
        std::fill(m_set.begin(), m_set.end(), std::uint8_t(0));
        m_any = false;
    }

private:
    std::vector<Rgba> m_pixels;
    std::vector<std::uint8_t> m_set;
    bool m_any = false;
};

// Run-length data: pairs of (count, colour) and escapes for the end of a row,
// the end of the picture, a jump (delta) and uncompressed stretches. Pixels
// the data does not reach stay transparent, whether it ends early on purpose,
// jumps over them or is cut short. Runs past the end of a row are cut there.
Result<void> decodeRunLength(ByteSource& source, const Header& header, const Layout& layout,
                             const dib::Palette& palette, RowSink& sink)
{
    const bool fourBits = header.compression == runLength4;
    // No encoder needs more than 2 bytes a pixel (a run of one) and an end of
    // row each row; a stream that goes on past that (an endless input, runs
    // that never reach an end of row) is cut there.
    const std::uint64_t budget = std::uint64_t(layout.width) * std::uint64_t(layout.height) * 2 +
                                 std::uint64_t(layout.height) * 4 + 64;
    dib::ByteReader reader(source, budget);
    RunLengthRow row(layout.columnsWanted);

    std::int64_t x = 0;
    std::int64_t stored = 0; // the stored row being filled, 0 first
    const auto wanted = [&](std::int64_t storedRow) {
        return layout.pictureRow(storedRow) < layout.rowsWanted;
    };
    // Leaves the current row for `next`; false once no later row is wanted.
    const auto moveTo = [&](std::int64_t next) {
        if (wanted(stored))
            row.deliver(sink, layout.pictureRow(stored));
        stored = next;
        return !(layout.topDown && next >= layout.rowsWanted);
    };
    const auto put = [&](std::uint8_t index) {
        if (wanted(stored))
            row.set(x, palette[index]);
        ++x;
    };

    int first = reader.next();
    if (first < 0) {
        if (reader.failure())
            return fail(*reader.failure());
        return damaged(); // no pixel data at all
    }
    for (; first >= 0 && stored < layout.height; first = reader.next()) {
        if (first != 0) {
            // A run: `first` pixels of one index, or of two alternating ones.
            const int value = reader.next();
            if (value < 0)
                break;
            if (!fourBits) {
                if (wanted(stored)) {
                    const std::int64_t end =
                        std::min<std::int64_t>(x + first, layout.columnsWanted);
                    for (std::int64_t at = x; at < end; ++at)
                        row.set(at, palette[std::size_t(value)]);
                }
                x += first;
            } else {
                const int inRow = int(std::clamp<std::int64_t>(layout.columnsWanted - x, 0, first));
                for (int i = 0; i < inRow; ++i)
                    put(std::uint8_t(i % 2 == 0 ? value >> 4 : value & 0x0F));
                x += first - inRow;
            }
            continue;
        }
        const int escape = reader.next();
        if (escape < 0 || escape == 1)
            break;
        if (escape == 0) {
            x = 0;
            if (!moveTo(stored + 1))
                return {};
        } else if (escape == 2) {
            const int right = reader.next();
            const int up = reader.next();
            if (right < 0 || up < 0)
                break;
            // As the toolkit did, a jump past the edge stops at the last
            // column or row rather than ending the picture.
            x = std::min<std::int64_t>(x + right, layout.width - 1);
            const std::int64_t next = std::min<std::int64_t>(stored + up, layout.height - 1);
            if (next != stored && !moveTo(next))
                return {};
        } else {
            // An uncompressed stretch of `escape` pixels, padded to 2 bytes.
            const int count = escape;
            const int bytes = fourBits ? (count + 1) / 2 : count;
            if (!wanted(stored) || x >= layout.columnsWanted) {
                const int padded = bytes + bytes % 2;
                if (reader.skip(std::uint64_t(padded)) < std::uint64_t(padded))
                    break;
                x += count;
                continue;
            }
            bool cut = false;
            for (int i = 0; i < bytes && !cut; ++i) {
                const int value = reader.next();
                if (value < 0) {
                    cut = true;
                } else if (!fourBits) {
                    put(std::uint8_t(value));
                } else {
                    put(std::uint8_t(value >> 4));
                    if (2 * i + 1 < count)
                        put(std::uint8_t(value & 0x0F));
                }
            }
            if (cut || (bytes % 2 == 1 && reader.next() < 0))
                break;
        }
    }
    if (reader.failure())
        return fail(*reader.failure());
    if (stored < layout.height)
        moveTo(layout.height);
    return {};
}

Result<void> decode(ByteSource& source, RowSink& sink)
{
    const std::uint64_t start = source.position();
    const Result<Header> read = readHeader(source);
    if (!read)
        return fail(read.error());
    const Header& header = *read;
    const std::int64_t width = std::abs(header.width);
    const std::int64_t height = std::abs(header.height);
    if (const Result<void> size = dib::checkPictureSize(width, height); !size)
        return size;
    if (!supported(header))
        return damaged();

    // Masks after a header that has no room for them.
    const bool maskFields = header.compression == bitFields || header.compression == alphaBitFields;
    Header withMasks = header;
    if (maskFields && (header.size == 40 || header.size == 64)) {
        const std::size_t count = header.compression == alphaBitFields ? 4 : 3;
        std::array<std::uint8_t, 16> bytes{};
        if (!readExactly(source, std::span(bytes).first(4 * count)))
            return damaged();
        for (std::size_t channel = 0; channel < count; ++channel)
            withMasks.masks[channel] = dib::le32(&bytes[4 * channel]);
    }
    // A mask of every bit leaves nothing for the other channels; the
    // toolkit's reader refused it, and so do we.
    if (maskFields && std::ranges::find(withMasks.masks, 0xFFFFFFFFu) != withMasks.masks.end())
        return damaged();

    dib::Palette palette{};
    if (header.bits <= 8) {
        const std::uint32_t count =
            header.coloursUsed != 0 ? header.coloursUsed : 1u << header.bits;
        const Result<dib::Palette> colours =
            dib::readPalette(source, header.bits, count, header.size == coreHeader ? 3 : 4);
        if (!colours)
            return damaged();
        palette = *colours;
    }

    // An offset that points back into the headers is taken to mean "right
    // after them", as the toolkit's reader took it.
    const std::uint64_t dataStart = start + header.dataOffset;
    if (dataStart > source.position()) {
        const std::uint64_t gap = dataStart - source.position();
        if (gap > maxGapBytes || !skipForward(source, gap))
            return damaged();
    }

    Layout layout;
    layout.width = width;
    layout.height = height;
    layout.topDown = header.height < 0;
    sink.start(PictureSize{width, height});
    layout.rowsWanted = std::clamp<std::int64_t>(sink.rowsWanted(), 0, height);
    layout.columnsWanted = std::clamp<std::int64_t>(sink.columnsWanted(), 0, width);
    if (header.compression == runLength4 || header.compression == runLength8)
        return decodeRunLength(source, withMasks, layout, palette, sink);
    if (layout.rowsWanted == 0 || layout.columnsWanted == 0)
        return {};
    return decodeUncompressed(source, withMasks, layout, palette, sink);
}

} // namespace

Result<void> decodeBmp(ByteSource& source, RowSink& sink)
{
    if (Result<void> decoded = decode(source, sink); !decoded)
        return fail(asPictureFailure(decoded.error(), PictureFormat::Bmp));
    return {};
}
