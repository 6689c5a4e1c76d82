#pragma once

#include "core/colour.h"
#include "core/result.h"

#include <cstdint>
#include <span>
#include <vector>

// The bytes of a PNG file of `width` × `height` pixels, `colours` row by row
// from the top: opaque 8-bit RGB, with a fixed resolution of 96 dots per inch
// (3780 per metre) so that the same picture always gives the same bytes,
// whichever program writes it. Fails when the sizes do not match the colours.
Result<std::vector<std::uint8_t>> encodePng(int width, int height, std::span<const Colour> colours);
