#include "core/sprite_code.h"

#include <span>

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

// How one colour is written in the layers of a kind: its digit in each layer,
// in the order the kind writes them. A masked pixel is 0 in every layer, the
// mask included, and reading back, a mask digit 0 hides the pixel whatever
// the other layers say: for that row only the last layer decides.
struct ColourDigits
{
    Colour colour;
    std::array<bool, 3> digits;
    bool lastLayerDecides = false;
};

// What sets a kind's code apart: its layers with their header lines, and how
// each of its colours is written. The writer looks a colour up here and the
// reader looks the digits up, so the two cannot disagree.
struct KindCode
{
    int layers;
    std::array<std::string_view, 3> headers;
    std::span<const ColourDigits> colours;
};

constexpr ColourDigits blackWhiteDigits[] = {
    {colours::white, {false}},
    {colours::black, {true}},
};
constexpr ColourDigits greyscaleDigits[] = {
    {colours::white, {false, false}},
    {colours::lightGrey, {true, false}},
    {colours::darkGrey, {false, true}},
    {colours::black, {true, true}},
};
constexpr ColourDigits blackWhiteMaskedDigits[] = {
    {colours::white, {false, true}},
    {colours::black, {true, true}},
    {colours::mask, {false, false}, true},
};
constexpr ColourDigits greyscaleMaskedDigits[] = {
    {colours::white, {false, false, true}},       {colours::lightGrey, {true, false, true}},
    {colours::darkGrey, {false, true, true}},     {colours::black, {true, true, true}},
    {colours::mask, {false, false, false}, true},
};

const KindCode& codeOf(SpriteKind kind)
{
    static constexpr KindCode blackWhite{1, {";Bitmap"}, blackWhiteDigits};
    static constexpr KindCode greyscale{2, {";Light Layer", ";Dark Layer"}, greyscaleDigits};
    static constexpr KindCode blackWhiteMasked{
        2, {";Bitmap", ";Mask Layer"}, blackWhiteMaskedDigits};
    static constexpr KindCode greyscaleMasked{
        3, {";Light Layer", ";Dark Layer", ";Mask Layer"}, greyscaleMaskedDigits};
    switch (kind) {
    case SpriteKind::BlackWhite:
        return blackWhite;
    case SpriteKind::Greyscale:
        return greyscale;
    case SpriteKind::BlackWhiteMasked:
        return blackWhiteMasked;
    case SpriteKind::GreyscaleMasked:
        return greyscaleMasked;
    }
    return blackWhite; // only for a value outside the enumeration
}

// Whether a pixel with these digits (one per layer of `code`) has the colour of `row`.
bool digitsMatch(const KindCode& code, const ColourDigits& row, const std::array<bool, 3>& digits)
{
    const auto last = static_cast<std::size_t>(code.layers - 1);
    if (row.lastLayerDecides)
        return digits[last] == row.digits[last];
    for (std::size_t layer = 0; layer <= last; ++layer) {
        if (digits[layer] != row.digits[layer])
            return false;
    }
    return true;
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
    return codeOf(kind).layers;
}

std::size_t digitCount(SpriteKind kind)
{
    return static_cast<std::size_t>(layerCount(kind)) * spriteSize * spriteSize;
}

bool applyColour(SpriteKind kind, Colour colour, int x, int y, SpriteLayers& bits)
{
    if (x < 0 || x >= spriteSize || y < 0 || y >= spriteSize)
        return false;
    const KindCode& code = codeOf(kind);
    for (const ColourDigits& row : code.colours) {
        if (row.colour != colour)
            continue;
        for (int layer = 0; layer < code.layers; ++layer)
            setBit(bits.layers[static_cast<std::size_t>(layer)], x, y,
                   row.digits[static_cast<std::size_t>(layer)]);
        return true;
    }
    return false;
}

std::string spriteCodeText(SpriteKind kind, const SpriteLayers& bits)
{
    const KindCode& code = codeOf(kind);
    std::string text;
    text.reserve(402);
    for (int layer = 0; layer < code.layers; ++layer) {
        if (layer > 0) {
            text += crlf;
            text += crlf;
        }
        text += code.headers[static_cast<std::size_t>(layer)];
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

    const KindCode& code = codeOf(kind);
    SpriteColours result{};
    for (std::size_t i = 0; i < result.size(); ++i) {
        std::array<bool, 3> pixel{};
        for (std::size_t layer = 0; layer < std::size_t(code.layers); ++layer)
            pixel[layer] = digits[64 * layer + i];
        // The rows of a kind cover every combination of its digits.
        result[i] = colours::white;
        for (const ColourDigits& row : code.colours) {
            if (digitsMatch(code, row, pixel)) {
                result[i] = row.colour;
                break;
            }
        }
    }
    return result;
}
