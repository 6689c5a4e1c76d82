#pragma once

#include <cstdint>
#include <span>
#include <vector>

// A Windows bitmap (.bmp) of 24 bits a pixel, bottom-up, 3780 pixels per metre
// (96 dots per inch), so that every colour comes back exactly and the same
// picture always gives the same bytes. `colours` holds width × height colour
// numbers (R + 256 G + 65536 B), row by row from the top.
std::vector<std::uint8_t> encodeBitmap(int width, int height,
                                       std::span<const std::uint32_t> colours);
