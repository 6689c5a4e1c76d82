#include "picture_io/bitmap_writer.h"

#include <cassert>

namespace {

void putLe16(std::vector<std::uint8_t>& bytes, std::uint32_t value)
{
    bytes.push_back(std::uint8_t(value));
    bytes.push_back(std::uint8_t(value >> 8));
}

void putLe32(std::vector<std::uint8_t>& bytes, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(std::uint8_t(value >> shift));
}

} // namespace

std::vector<std::uint8_t> encodeBitmap(int width, int height,
                                       std::span<const std::uint32_t> colours)
{
    assert(width >= 0 && height >= 0 && colours.size() == std::size_t(width) * std::size_t(height));
    constexpr std::uint32_t headersBytes = 14 + 40;
    constexpr std::uint32_t dotsPerMetre = 3780;
    const std::size_t stride = (std::size_t(width) * 24 + 31) / 32 * 4;
    const std::uint32_t pixelBytes = std::uint32_t(stride * std::size_t(height));

    std::vector<std::uint8_t> bytes;
    bytes.reserve(headersBytes + pixelBytes);
    bytes.push_back('B');
    bytes.push_back('M');
    putLe32(bytes, headersBytes + pixelBytes);
    putLe32(bytes, 0); // reserved
    putLe32(bytes, headersBytes);

    putLe32(bytes, 40);
    putLe32(bytes, std::uint32_t(width));
    putLe32(bytes, std::uint32_t(height));
    putLe16(bytes, 1);  // planes
    putLe16(bytes, 24); // bits a pixel
    putLe32(bytes, 0);  // uncompressed
    putLe32(bytes, pixelBytes);
    putLe32(bytes, dotsPerMetre);
    putLe32(bytes, dotsPerMetre);
    putLe32(bytes, 0); // colours used: no palette
    putLe32(bytes, 0); // colours important

    for (int y = height - 1; y >= 0; --y) {
        const std::uint32_t* row = colours.data() + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x) {
            bytes.push_back(std::uint8_t(row[x] >> 16)); // blue
            bytes.push_back(std::uint8_t(row[x] >> 8));  // green
            bytes.push_back(std::uint8_t(row[x]));       // red
        }
        bytes.resize(bytes.size() + stride - std::size_t(width) * 3, 0);
    }
    return bytes;
}
