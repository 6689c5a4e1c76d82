#include "core/bit_plane.h"

namespace {

template<typename Grid, typename IsSet> BitPlane packBits(const Grid& grid, IsSet isSet)
{
    BitPlane plane{};
    for (std::size_t byte = 0; byte < plane.size(); ++byte) {
        std::uint8_t value = 0;
        for (std::size_t bit = 0; bit < 8; ++bit)
            value = static_cast<std::uint8_t>(value << 1 | (isSet(grid[byte * 8 + bit]) ? 1 : 0));
        plane[byte] = value;
    }
    return plane;
}

template<typename Grid, typename Value>
Grid unpackBits(const BitPlane& plane, Value set, Value clear)
{
    Grid grid;
    for (std::size_t byte = 0; byte < plane.size(); ++byte) {
        for (std::size_t bit = 0; bit < 8; ++bit)
            grid[byte * 8 + bit] = (plane[byte] >> (7 - bit) & 1) != 0 ? set : clear;
    }
    return grid;
}

} // namespace

// Row-major pixels and row-major bytes line up: pixel index i lives in byte i / 8,
// bit 7 - i % 8, because a row is a whole number of bytes.
static_assert(screenWidth % 8 == 0);

BitPlane bitPlaneFromPixels(const SourceView& pixels)
{
    return packBits(pixels, [](Colour c) { return c == colours::black; });
}

BitPlane bitPlaneFromGrid(const LayerGrid& grid)
{
    return packBits(grid, [](std::uint8_t value) { return value != 0; });
}

LayerGrid gridFromBitPlane(const BitPlane& plane)
{
    return unpackBits<LayerGrid, std::uint8_t>(plane, 1, 0);
}

SourceView pixelsFromBitPlane(const BitPlane& plane)
{
    return unpackBits<SourceView, Colour>(plane, colours::black, colours::white);
}
