#pragma once

#include "core/colour.h"

#include <array>
#include <cstdint>

// The target display: 128 x 64 pixels, x from the left, y from the top. The
// size is fixed; it never comes from the loaded picture.
inline constexpr int screenWidth = 128;
inline constexpr int screenHeight = 64;
inline constexpr int screenPixels = screenWidth * screenHeight;

// One bit per pixel, eight pixels to a byte: 16 bytes per row, 1024 in all.
inline constexpr int bitPlaneRowBytes = screenWidth / 8;
inline constexpr int bitPlaneBytes = screenPixels / 8;

// Row-major grids of the whole screen, index y * screenWidth + x (see pixelIndex).
// A source view holds the colour numbers of the top-left 128 x 64 pixels of a
// picture; a layer grid holds 0 or 1 per pixel.
using SourceView = std::array<Colour, screenPixels>;
using LayerGrid = std::array<std::uint8_t, screenPixels>;

// Byte 16 * y + x / 8 holds the pixels 8 * (x / 8) .. 8 * (x / 8) + 7 of row y,
// the leftmost in the top bit (value 128).
using BitPlane = std::array<std::uint8_t, bitPlaneBytes>;

inline constexpr int pixelIndex(int x, int y)
{
    return y * screenWidth + x;
}
