#include "picture_io/dib.h"

#include "picture_io/picture_reader.h"

#include <algorithm>
#include <vector>

namespace dib {

Result<void> checkPictureSize(std::int64_t width, std::int64_t height)
{
    if (width > maxPicturePixels || height > maxPicturePixels ||
        width * height > maxPicturePixels) {
        return fail("picture is too large (" + std::to_string(width) + " \u00D7 " +
                    std::to_string(height) + " pixels)");
    }
    return {};
}

Channel::Channel(std::uint32_t mask) : m_mask(mask)
{
    std::uint32_t field = mask;
    while (field != 0 && (field & 1) == 0) {
        ++m_shift;
        field >>= 1;
    }
    if (field <= 0xFF) {
        m_scale = 256 / (field + 1);
        return;
    }
    while (field > 0xFF) {
        ++m_narrowing;
        field >>= 1;
    }
}

Result<Palette> readPalette(ByteSource& source, int bits, std::uint32_t count, int entryBytes)
{
    if (count > 256)
        return fail("damaged palette");
    Palette palette{};
    std::array<std::uint8_t, 256 * 4> bytes{};
    const std::size_t length = std::size_t(count) * std::size_t(entryBytes);
    if (const Result<void> read = readExactly(source, std::span(bytes).first(length)); !read)
        return fail(read.error());
    for (std::uint32_t index = 0; index < count; ++index) {
        const std::uint8_t* entry = bytes.data() + std::size_t(index) * std::size_t(entryBytes);
        palette[index] = Rgba{entry[2], entry[1], entry[0], 255};
    }
    if (bits == 1) {
        if (count < 1)
            palette[0] = Rgba{0, 0, 0, 255};
        if (count < 2)
            palette[1] = Rgba{255, 255, 255, 255};
    }
    return palette;
}

void unpackIndexed(const std::uint8_t* row, int bits, const Palette& palette, std::span<Rgba> out)
{
    switch (bits) {
    case 1:
        for (std::size_t x = 0; x < out.size(); ++x)
            out[x] = palette[row[x / 8] >> (7 - x % 8) & 1];
        break;
    case 4:
        for (std::size_t x = 0; x < out.size(); ++x)
            out[x] = palette[row[x / 2] >> (x % 2 == 0 ? 4 : 0) & 0x0F];
        break;
    default:
        for (std::size_t x = 0; x < out.size(); ++x)
            out[x] = palette[row[x]];
    }
}

Result<bool> anyAlphaIn(ByteSource& source, std::uint64_t count)
{
    std::vector<std::uint8_t> piece(std::size_t(std::min<std::uint64_t>(count, 64 * 1024)));
    while (count > 0) {
        const std::size_t length = std::size_t(std::min<std::uint64_t>(count, piece.size()));
        if (const Result<void> read = readExactly(source, std::span(piece).first(length)); !read)
            return fail(read.error());
        count -= length;
        // Pieces hold whole pixels: their length is a multiple of 4 but for
        // the last, and the count is.
        for (std::size_t at = 3; at < length; at += 4) {
            if (piece[at] != 0) {
                if (const Result<void> skipped = skipForward(source, count); !skipped)
                    return fail(skipped.error());
                return true;
            }
        }
    }
    return false;
}

bool ByteReader::fill()
{
    if (m_failure || m_consumed >= m_budget)
        return false;
    const std::size_t wanted =
        std::size_t(std::min<std::uint64_t>(m_buffer.size(), m_budget - m_consumed));
    const Result<std::size_t> got = m_source.read(std::span(m_buffer).first(wanted));
    if (!got) {
        m_failure = got.error();
        return false;
    }
    m_consumed += *got;
    m_length = *got;
    m_at = 0;
    return *got != 0;
}

std::uint64_t ByteReader::skip(std::uint64_t count)
{
    std::uint64_t skipped = 0;
    while (skipped < count && (m_at < m_length || fill())) {
        const std::size_t piece =
            std::size_t(std::min<std::uint64_t>(count - skipped, m_length - m_at));
        m_at += piece;
        skipped += piece;
    }
    return skipped;
}

} // namespace dib
