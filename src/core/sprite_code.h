#pragma once

#include "core/colour.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The four kinds of sprite, one per editor. They differ in the layers their
// code holds: bitmap; light and dark; bitmap and mask; light, dark and mask.
enum class SpriteKind { BlackWhite, Greyscale, BlackWhiteMasked, GreyscaleMasked };

inline constexpr int spriteSize = 8;

// The size of a sprite in pixels. The editors' sprites are 8 × 8; the cells
// that a sheet is cut into may be any whole number of bytes wide, up to 64
// pixels, and 1 to 64 rows high.
struct SpriteSize
{
    int width = spriteSize;
    int height = spriteSize;
    friend bool operator==(const SpriteSize&, const SpriteSize&) = default;
};
inline constexpr int maxSpriteWidth = 64;
inline constexpr int maxSpriteHeight = 64;
bool isSpriteSize(SpriteSize size);

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

// The colours a kind draws, lightest first, and last the mask colour where
// the kind has a mask.
std::span<const Colour> spriteColours(SpriteKind kind);

// The kinds by the short names people type: "bw", "grey", "bw-mask", "grey-mask".
inline constexpr std::array<std::pair<std::string_view, SpriteKind>, 4> spriteKindNames{{
    {"bw", SpriteKind::BlackWhite},
    {"grey", SpriteKind::Greyscale},
    {"bw-mask", SpriteKind::BlackWhiteMasked},
    {"grey-mask", SpriteKind::GreyscaleMasked},
}};
std::string_view spriteKindName(SpriteKind kind);
std::optional<SpriteKind> spriteKindNamed(std::string_view name);

// How many digits "0" and "1" a text must hold before it is read: one per
// pixel and layer, 64 per layer for the editors' sprites.
std::size_t digitCount(SpriteKind kind, SpriteSize size = {});

// Sets the bits of pixel (x, y) for colour `colour`. A colour the kind does not
// recognise leaves the pixel's bits as they were, so a pixel keeps the bits of
// the last colour recognised there. Returns whether the colour was recognised.
bool applyColour(SpriteKind kind, Colour colour, int x, int y, SpriteLayers& bits);

// The layers of a sprite of any size as its code holds them: per layer, the
// rows from the top, each of width / 8 bytes whose top bits are the leftmost
// pixels. The editors' SpriteLayers are the 8 × 8 case. Kinds with fewer than
// three layers leave the later ones empty.
struct SpriteBits
{
    SpriteSize size;
    std::array<std::vector<std::uint8_t>, 3> layers;
};

// The bits of a sprite whose pixels, row by row, have these colours: what the
// writer of a freshly opened editor makes of them, so a colour the kind does
// not recognise gives 0 bits. `colours` holds size.width × size.height pixels.
SpriteBits spriteBitsOf(SpriteKind kind, SpriteSize size, std::span<const Colour> colours);

// Appends the sprite code of a sprite: a header line per layer, one ".db" line
// per row, an empty line between layers, CR LF between lines and none after
// the last. A row's line holds its bytes in binary, comma-separated: ".db
// %10000001" for the editors' sprites, ".db %10000000,%00000001" 16 pixels wide.
// `layers` are the rows of each layer as SpriteBits holds them.
void appendSpriteCode(std::string& text, SpriteKind kind, SpriteSize size,
                      const std::array<std::span<const std::uint8_t>, 3>& layers);
std::string spriteCodeText(SpriteKind kind, const SpriteBits& bits);

// The editor's text of its layer bits: the 8 × 8 case of the above, whose
// length is fixed per kind: 127, 267, 262 or 402.
std::string spriteCodeText(SpriteKind kind, const SpriteLayers& bits);

// Reads a sprite back from any text: every "0" and "1" counts, wherever it
// stands, and everything else is skipped. The first width × height digits are
// layer 1 (row by row, each row from the left), the next as many layer 2 and
// so on; later digits are ignored. A text with fewer digits than the kind and
// size need gives nothing, since it cannot describe a whole sprite. Stops
// scanning as soon as it has enough digits, so any length reads at once.
std::optional<std::vector<Colour>> readSpriteCode(SpriteKind kind, SpriteSize size,
                                                  std::string_view text);
// The editors' 8 × 8 sprite.
std::optional<SpriteColours> readSpriteCode(SpriteKind kind, std::string_view text);
