#pragma once

#include "core/result.h"

#include <cstdint>
#include <span>
#include <vector>

// An opaque 8-bit RGB PNG of width × height colour numbers (R + 256 G +
// 65536 B), row by row from the top; the same picture always gives the same
// bytes.
Result<std::vector<std::uint8_t>> encodePng(int width, int height,
                                            std::span<const std::uint32_t> colours);
