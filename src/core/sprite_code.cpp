#include "core/sprite_code.h"

#include <algorithm>
#include <span>

namespace {

constexpr std::string_view crlf = "\r\n";

// Pixel (x, y) of a sprite whose rows are `bytesPerRow` bytes: its byte and its bit.
struct BitPlace
{
    std::size_t byte;
    std::uint8_t mask;
};

BitPlace placeOf(int x, int y, int bytesPerRow)
{
    return {std::size_t(y) * std::size_t(bytesPerRow) + std::size_t(x / 8),
            static_cast<std::uint8_t>(0x80 >> (x % 8))};
}

void setBit(std::span<std::uint8_t> layer, BitPlace place, bool value)
{
    auto& byte = layer[place.byte];
    byte = static_cast<std::uint8_t>(value ? (byte | place.mask) : (byte & ~place.mask));
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

// The row of the kind's table for `colour`, or nothing for a colour it does not draw.
const ColourDigits* digitsOf(const KindCode& code, Colour colour)
{
    for (const ColourDigits& row : code.colours) {
        if (row.colour == colour)
            return &row;
    }
    return nullptr;
}

void applyDigits(const KindCode& code, const ColourDigits& row, BitPlace place,
                 const std::array<std::span<std::uint8_t>, 3>& layers)
{
    for (std::size_t layer = 0; layer < std::size_t(code.layers); ++layer)
        setBit(layers[layer], place, row.digits[layer]);
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

std::span<const Colour> spriteColours(SpriteKind kind)
{
    // Taken from the digit tables, which list each kind's colours lightest first.
    static const std::array<std::vector<Colour>, spriteKindNames.size()> kinds = [] {
        std::array<std::vector<Colour>, spriteKindNames.size()> lists;
        for (std::size_t i = 0; i < lists.size(); ++i) {
            for (const ColourDigits& row : codeOf(spriteKindNames[i].second).colours)
                lists[i].push_back(row.colour);
        }
        return lists;
    }();
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (spriteKindNames[i].second == kind)
            return kinds[i];
    }
    return kinds[0];
}

std::size_t digitCount(SpriteKind kind, SpriteSize size)
{
    return static_cast<std::size_t>(layerCount(kind)) * std::size_t(std::max(size.width, 0)) *
           std::size_t(std::max(size.height, 0));
}

bool isSpriteSize(SpriteSize size)
{
    return size.width >= 8 && size.width <= maxSpriteWidth && size.width % 8 == 0 &&
           size.height >= 1 && size.height <= maxSpriteHeight;
}

bool applyColour(SpriteKind kind, Colour colour, int x, int y, SpriteLayers& bits)
{
    if (x < 0 || x >= spriteSize || y < 0 || y >= spriteSize)
        return false;
    const KindCode& code = codeOf(kind);
    const ColourDigits* row = digitsOf(code, colour);
    if (row == nullptr)
        return false;
    applyDigits(code, *row, placeOf(x, y, 1), {bits.layers[0], bits.layers[1], bits.layers[2]});
    return true;
}

SpriteBits spriteBitsOf(SpriteKind kind, SpriteSize size, std::span<const Colour> colours)
{
    const KindCode& code = codeOf(kind);
    SpriteBits bits{size, {}};
    const int bytesPerRow = size.width / 8;
    for (int layer = 0; layer < code.layers; ++layer)
        bits.layers[std::size_t(layer)].assign(std::size_t(bytesPerRow * size.height), 0);
    const std::array<std::span<std::uint8_t>, 3> layers{bits.layers[0], bits.layers[1],
                                                        bits.layers[2]};
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            const std::size_t at = std::size_t(y) * std::size_t(size.width) + std::size_t(x);
            if (const ColourDigits* row =
                    at < colours.size() ? digitsOf(code, colours[at]) : nullptr)
                applyDigits(code, *row, placeOf(x, y, bytesPerRow), layers);
        }
    }
    return bits;
}

void appendSpriteCode(std::string& text, SpriteKind kind, SpriteSize size,
                      const std::array<std::span<const std::uint8_t>, 3>& layers)
{
    const KindCode& code = codeOf(kind);
    const std::size_t bytesPerRow = std::size_t(size.width / 8);
    for (std::size_t layer = 0; layer < std::size_t(code.layers); ++layer) {
        if (layer > 0) {
            text += crlf;
            text += crlf;
        }
        text += code.headers[layer];
        const std::span<const std::uint8_t> rows = layers[layer];
        for (std::size_t at = 0; at + bytesPerRow <= rows.size(); at += bytesPerRow) {
            text += crlf;
            text += ".db ";
            for (std::size_t i = 0; i < bytesPerRow; ++i) {
                if (i > 0)
                    text += ',';
                text += '%';
                for (int bit = 7; bit >= 0; --bit)
                    text += (rows[at + i] >> bit) & 1 ? '1' : '0';
            }
        }
    }
}

std::string spriteCodeText(SpriteKind kind, const SpriteBits& bits)
{
    std::string text;
    appendSpriteCode(text, kind, bits.size, {bits.layers[0], bits.layers[1], bits.layers[2]});
    return text;
}

std::string spriteCodeText(SpriteKind kind, const SpriteLayers& bits)
{
    std::string text;
    text.reserve(402);
    appendSpriteCode(text, kind, {}, {bits.layers[0], bits.layers[1], bits.layers[2]});
    return text;
}

std::optional<std::vector<Colour>> readSpriteCode(SpriteKind kind, SpriteSize size,
                                                  std::string_view text)
{
    if (!isSpriteSize(size))
        return std::nullopt;
    const std::size_t needed = digitCount(kind, size);
    std::vector<bool> digits;
    digits.reserve(needed);
    for (const char ch : text) {
        if (digits.size() == needed)
            break;
        if (ch == '0' || ch == '1')
            digits.push_back(ch == '1');
    }
    if (digits.size() < needed)
        return std::nullopt;

    const KindCode& code = codeOf(kind);
    const std::size_t pixels = std::size_t(size.width) * std::size_t(size.height);
    std::vector<Colour> result(pixels, colours::white);
    for (std::size_t i = 0; i < pixels; ++i) {
        std::array<bool, 3> pixel{};
        for (std::size_t layer = 0; layer < std::size_t(code.layers); ++layer)
            pixel[layer] = digits[pixels * layer + i];
        // The rows of a kind cover every combination of its digits.
        for (const ColourDigits& row : code.colours) {
            if (digitsMatch(code, row, pixel)) {
                result[i] = row.colour;
                break;
            }
        }
    }
    return result;
}

std::optional<SpriteColours> readSpriteCode(SpriteKind kind, std::string_view text)
{
    const std::optional<std::vector<Colour>> read = readSpriteCode(kind, SpriteSize{}, text);
    if (!read)
        return std::nullopt;
    SpriteColours colours{};
    std::copy(read->begin(), read->end(), colours.begin());
    return colours;
}
