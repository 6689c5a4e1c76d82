#pragma once

#include "core/colour.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// The four kinds of sprite, one per editor. They differ in the layers their
// code holds: bitmap; light and dark; bitmap and mask; light, dark and mask.
enum class SpriteKind { BlackWhite, Greyscale, BlackWhiteMasked, GreyscaleMasked };

inline constexpr int spriteSize = 8;

// One layer of a sprite: eight rows from the top, each a byte whose top bit is
// the leftmost pixel, exactly the byte an assembler makes of the row's line.
using LayerBits = std::array<std::uint8_t, spriteSize>;

// The layers of a sprite in the order its code writes them. Kinds with fewer
// than three layers leave the later ones unused (all zero).
struct SpriteLayers
{
    std::array<LayerBits, 3> layers{};
    friend bool operator==(const SpriteLayers&, const SpriteLayers&) = default;
};

// The 64 pixel colours of a sprite, row by row from the top, each row from the left.
using SpriteColours = std::array<Colour, spriteSize * spriteSize>;

int layerCount(SpriteKind kind);

// The kinds by the short names people type: "bw", "grey", "bw-mask", "grey-mask".
inline constexpr std::array<std::pair<std::string_view, SpriteKind>, 4> spriteKindNames{{
    {"bw", SpriteKind::BlackWhite},
    {"grey", SpriteKind::Greyscale},
    {"bw-mask", SpriteKind::BlackWhiteMasked},
    {"grey-mask", SpriteKind::GreyscaleMasked},
}};
std::string_view spriteKindName(SpriteKind kind);
std::optional<SpriteKind> spriteKindNamed(std::string_view name);

// How many digits "0" and "1" a text must hold before it is read: 64 per layer.
std::size_t digitCount(SpriteKind kind);

// Sets the bits of pixel (x, y) for colour `colour`. A colour the kind does not
// recognise leaves the pixel's bits as they were, so a pixel keeps the bits of
// the last colour recognised there. Returns whether the colour was recognised.
bool applyColour(SpriteKind kind, Colour colour, int x, int y, SpriteLayers& bits);

// The sprite code of the layers: a header line per layer, one ".db %" line of
// eight digits per row, an empty line between layers, CR LF between lines and
// none after the last. Its length is fixed per kind: 127, 267, 262 or 402.
std::string spriteCodeText(SpriteKind kind, const SpriteLayers& bits);

// Reads a sprite back from any text: every "0" and "1" counts, wherever it
// stands, and everything else is skipped. The first 64 digits are layer 1, the
// next 64 layer 2 and so on; later digits are ignored. A text with fewer digits
// than the kind needs gives nothing, since it cannot describe a whole sprite.
// Stops scanning as soon as it has enough digits, so any length reads at once.
std::optional<SpriteColours> readSpriteCode(SpriteKind kind, std::string_view text);
