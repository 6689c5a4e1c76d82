#pragma once

#include "core/screen.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The marker byte of the run-length code. It never stands for itself: a 0x91 in
// a block is always followed by a value byte and a length byte (1..255) and
// means that many copies of the value.
inline constexpr std::uint8_t rleMarker = 0x91;

// Encodes the plane as one stream, rows running on into each other, in runs of
// at most 255 equal bytes: a run of 0x91 or of three or more bytes becomes
// marker, value, length; a shorter run of any other value is written as it
// stands. The result holds 15 (all bytes equal) to 2048 bytes (0x91 alternating
// with another value).
std::vector<std::uint8_t> CompressRLE(const BitPlane& plane);

// Reverses CompressRLE. Gives nothing unless the block decodes to exactly 1024
// bytes: a marker without its two bytes, a length of 0, or a block that yields
// too few or too many bytes all count as malformed. Safe on any input.
std::optional<BitPlane> decompressRLE(std::span<const std::uint8_t> block);
