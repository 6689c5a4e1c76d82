#pragma once

#include <array>
#include <cstdint>

// Light as the eye does not see it but as it adds up: averaging pixels in
// linear light keeps a fine black-and-white pattern as bright as it looks,
// where averaging the stored 8-bit values would darken it.
//
// Linear values are whole numbers in units of 2^-24: 0 is black, linearWhite
// is white, so that averages are exact integer sums and come out the same
// whatever order the pixels were added in.
inline constexpr std::int32_t linearWhite = std::int32_t{1} << 24;

// The linear value of each 8-bit sRGB value (the standard curve), rounded to
// the nearest unit.
extern const std::array<std::int32_t, 256> linearOfSrgb;

// The 8-bit sRGB value nearest to the average sum / weight of linear values
// (weight > 0; sum at least 0): the value whose encoded range holds it, a
// midpoint between two values going to the lighter one. A flat area gives its
// own value back.
int srgbOfLinearAverage(std::int64_t sum, std::int64_t weight);
