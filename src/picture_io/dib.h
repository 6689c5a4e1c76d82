#pragma once

#include "core/result.h"
#include "picture_io/byte_source.h"
#include "picture_io/row_sink.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// What the bitmap and icon decoders share: device-independent bitmap rows, as
// both formats store them, and the rules by which today's pictures get their
// colours (the toolkit's bitmap reader, which users' pictures were checked
// against), so that a picture keeps every colour it had.
namespace dib {

inline std::uint16_t le16(const std::uint8_t* bytes)
{
    return std::uint16_t(bytes[0] | bytes[1] << 8);
}

inline std::uint32_t le32(const std::uint8_t* bytes)
{
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

// Bytes of one stored row, padded to four bytes.
inline std::int64_t rowStride(std::int64_t width, int bits)
{
    return (width * bits + 31) / 32 * 4;
}

// "picture is too large (W × H pixels)" when the picture has more pixels than
// any decoder takes (either side alone may overflow a product).
Result<void> checkPictureSize(std::int64_t width, std::int64_t height);

// One colour channel of a 16- or 32-bit pixel, cut out by a bit mask, as the
// toolkit's bitmap reader cut it, so that 5-5-5 and 5-6-5 pictures keep their
// colours: a field of n bits is multiplied by 256 / 2^n (31 of 5 bits gives
// 248, not 255), a field with holes by 256 / (its value with every bit set +
// 1). A field wider than 8 bits gives its top 8 bits (the toolkit gave 0, a
// black picture). A mask of 0 gives 0.
class Channel
{
public:
    Channel() = default;
    explicit Channel(std::uint32_t mask);

    std::uint8_t of(std::uint32_t pixel) const
    {
        const std::uint32_t field = (pixel & m_mask) >> m_shift;
        return std::uint8_t(m_narrowing != 0 ? field >> m_narrowing : field * m_scale);
    }

private:
    std::uint32_t m_mask = 0;
    unsigned m_shift = 0;
    std::uint32_t m_scale = 1;
    unsigned m_narrowing = 0;
};

// Colours by index. Indices past the stored palette are transparent black,
// except that a 1-bit picture's missing colours are black (0) and white (1).
using Palette = std::array<Rgba, 256>;

// Reads a palette of `count` entries of `entryBytes` (3 or 4) bytes, blue
// first. More than 256 entries is a damaged file (the count comes from the
// header and may claim billions).
Result<Palette> readPalette(ByteSource& source, int bits, std::uint32_t count, int entryBytes);

// The first out.size() pixels of a stored row of 1, 4 or 8 bits a pixel.
void unpackIndexed(const std::uint8_t* row, int bits, const Palette& palette, std::span<Rgba> out);

// Moves past `count` bytes of 32-bit pixels (blue, green, red, alpha) and
// tells whether any alpha byte among them is not 0. Once one is found, the
// rest is skipped as skipForward skips.
Result<bool> anyAlphaIn(ByteSource& source, std::uint64_t count);

// A forward reader over a source, one byte at a time from a buffer, that gives
// up after `budget` bytes: for streams that carry no length of their own
// (run-length data), so that an endless input still ends.
class ByteReader
{
public:
    ByteReader(ByteSource& source, std::uint64_t budget) : m_source(source), m_budget(budget) {}

    // The next byte, or -1 at the end of the input, of the budget, or on a
    // failure of the system (then failure() says why).
    int next()
    {
        if (m_at == m_length && !fill())
            return -1;
        return m_buffer[m_at++];
    }

    // Drops up to `count` bytes; fewer only where next() would give -1.
    std::uint64_t skip(std::uint64_t count);

    std::uint64_t consumed() const { return m_consumed; }
    const std::optional<Failure>& failure() const { return m_failure; }

private:
    bool fill();

    ByteSource& m_source;
    std::uint64_t m_budget;
    std::uint64_t m_consumed = 0;
    std::array<std::uint8_t, 16 * 1024> m_buffer{};
    std::size_t m_at = 0;
    std::size_t m_length = 0;
    std::optional<Failure> m_failure;
};

} // namespace dib
