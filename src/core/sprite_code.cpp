#include "core/sprite_code.h"

namespace {

constexpr std::string_view crlf = "\r\n";

bool bitAt(const LayerBits& layer, int x, int y)
{
    return (layer[static_cast<std::size_t>(y)] >> (7 - x)) & 1;
}

void setBit(LayerBits& layer, int x, int y, bool value)
{
    const auto mask = static_cast<std::uint8_t>(0x80 >> x);
    auto& row = layer[static_cast<std::size_t>(y)];
    row = static_cast<std::uint8_t>(value ? (row | mask) : (row & ~mask));
}

struct LayerValues
{
    bool known;
    std::array<bool, 3> bits;
};

// Which bits each colour sets, per kind, in the order the kind writes its layers.
// A masked pixel is 0 in every layer, the mask included.
LayerValues bitsOf(SpriteKind kind, Colour c)
{
    switch (kind) {
    case SpriteKind::BlackWhite:
        if (c == colours::white)
            return {true, {false}};
        if (c == colours::black)
            return {true, {true}};
        break;
    case SpriteKind::Greyscale:
    case SpriteKind::GreyscaleMasked: {
        const bool masked = kind == SpriteKind::GreyscaleMasked;
        if (c == colours::white)
            return {true, {false, false, true}};
        if (c == colours::lightGrey)
            return {true, {true, false, true}};
        if (c == colours::darkGrey)
            return {true, {false, true, true}};
        if (c == colours::black)
            return {true, {true, true, true}};
        if (masked && c == colours::mask)
            return {true, {false, false, false}};
        break;
    }
    case SpriteKind::BlackWhiteMasked:
        if (c == colours::white)
            return {true, {false, true}};
        if (c == colours::black)
            return {true, {true, true}};
        if (c == colours::mask)
            return {true, {false, false}};
        break;
    }
    return {false, {}};
}

std::string_view headerOf(SpriteKind kind, int layer)
{
    const bool greyscale = kind == SpriteKind::Greyscale || kind == SpriteKind::GreyscaleMasked;
    if (greyscale && layer == 0)
        return ";Light Layer";
    if (greyscale && layer == 1)
        return ";Dark Layer";
    if (layer == 0)
        return ";Bitmap";
    return ";Mask Layer";
}

} // namespace

std::string_view spriteKindName(SpriteKind kind)
{
    for (const auto& [name, named] : spriteKindNames) {
        if (named == kind)
            return name;
    }
    return {};
}

std::optional<SpriteKind> spriteKindNamed(std::string_view name)
{
    for (const auto& [text, kind] : spriteKindNames) {
        if (text == name)
            return kind;
    }
    return std::nullopt;
}

int layerCount(SpriteKind kind)
{
    switch (kind) {
    case SpriteKind::BlackWhite:
        return 1;
    case SpriteKind::Greyscale:
    case SpriteKind::BlackWhiteMasked:
        return 2;
    case SpriteKind::GreyscaleMasked:
        return 3;
    }
    return 1;
}

std::size_t digitCount(SpriteKind kind)
{
    return static_cast<std::size_t>(layerCount(kind)) * spriteSize * spriteSize;
}

bool applyColour(SpriteKind kind, Colour colour, int x, int y, SpriteLayers& bits)
{
    if (x < 0 || x >= spriteSize || y < 0 || y >= spriteSize)
        return false;
    const LayerValues values = bitsOf(kind, colour);
    if (!values.known)
        return false;
    for (int layer = 0; layer < layerCount(kind); ++layer)
        setBit(bits.layers[static_cast<std::size_t>(layer)], x, y,
               values.bits[static_cast<std::size_t>(layer)]);
    return true;
}

std::string spriteCodeText(SpriteKind kind, const SpriteLayers& bits)
{
    std::string text;
    text.reserve(402);
    for (int layer = 0; layer < layerCount(kind); ++layer) {
        if (layer > 0) {
            text += crlf;
            text += crlf;
        }
        text += headerOf(kind, layer);
        for (int y = 0; y < spriteSize; ++y) {
            text += crlf;
            text += ".db %";
            for (int x = 0; x < spriteSize; ++x)
                text += bitAt(bits.layers[static_cast<std::size_t>(layer)], x, y) ? '1' : '0';
        }
    }
    return text;
}

std::optional<SpriteColours> readSpriteCode(SpriteKind kind, std::string_view text)
{
    const std::size_t needed = digitCount(kind);
    std::array<bool, 192> digits{};
    std::size_t found = 0;
    for (const char ch : text) {
        if (ch != '0' && ch != '1')
            continue;
        digits[found++] = ch == '1';
        if (found == needed)
            break;
    }
    if (found < needed)
        return std::nullopt;

    SpriteColours result{};
    for (std::size_t i = 0; i < result.size(); ++i) {
        const bool first = digits[i];
        const bool second = needed > 64 && digits[64 + i];
        const bool third = needed > 128 && digits[128 + i];
        Colour c = colours::white;
        switch (kind) {
        case SpriteKind::BlackWhite:
            c = first ? colours::black : colours::white;
            break;
        case SpriteKind::BlackWhiteMasked:
            // Mask digit 0 hides the pixel whatever its bitmap digit says.
            c = !second ? colours::mask : first ? colours::black : colours::white;
            break;
        case SpriteKind::Greyscale:
        case SpriteKind::GreyscaleMasked:
            if (kind == SpriteKind::GreyscaleMasked && !third)
                c = colours::mask;
            else if (first && second)
                c = colours::black;
            else if (first)
                c = colours::lightGrey;
            else if (second)
                c = colours::darkGrey;
            break;
        }
        result[i] = c;
    }
    return result;
}
