#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The bytes of a Windows bitmap file of `width` × `height` pixels, 24 bits a
// pixel so that every colour comes back exactly, rows bottom up as every
// reader expects, and a fixed resolution of 96 dots per inch (3780 dots per
// metre) so that the same picture always gives the same file. `colours` holds
// width × height colour numbers (R + 256·G + 65536·B), row by row from the
// top; the top byte of each is ignored.
std::vector<std::uint8_t> encodeBitmap(int width, int height,
                                       std::span<const std::uint32_t> colours);
