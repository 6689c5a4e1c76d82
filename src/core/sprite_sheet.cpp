#include "core/sprite_sheet.h"

#include <algorithm>

namespace {

constexpr std::string_view crlf = "\r\n";

int squaredDistance(Colour a, Colour b)
{
    const int red = redOf(a) - redOf(b);
    const int green = greenOf(a) - greenOf(b);
    const int blue = blueOf(a) - blueOf(b);
    return red * red + green * green + blue * blue;
}

bool isLetterOrUnderscore(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string sizeText(int width, int height)
{
    return std::to_string(width) + " × " + std::to_string(height);
}

bool isEmptyCell(const SpritePicture& picture, int left, int top, SpriteSize cell)
{
    for (int y = top; y < top + cell.height; ++y) {
        const auto row = picture.colours.begin() + std::ptrdiff_t(y) * picture.width + left;
        if (!std::all_of(row, row + cell.width, [](Colour c) { return c == colours::white; }))
            return false;
    }
    return true;
}

} // namespace

SpritePixel spritePixelOf(SpriteKind kind, int red, int green, int blue, int alpha)
{
    const std::span<const Colour> drawn = spriteColours(kind);
    const bool masks = drawn.back() == colours::mask;
    const Colour stored = colourFromRgb(red, green, blue);
    if (masks && (alpha < 128 || stored == colours::mask))
        return {colours::mask, true};
    const Colour shown =
        alpha >= 255 ? stored : colourOver(red, green, blue, alpha, colours::white);
    // Lightest first, and only a nearer colour replaces the one found: ties stay lighter.
    Colour nearest = drawn.front();
    for (const Colour candidate : drawn) {
        if (candidate != colours::mask &&
            squaredDistance(shown, candidate) < squaredDistance(shown, nearest))
            nearest = candidate;
    }
    return {nearest, nearest == shown};
}

void appendCellCode(std::string& text, SpriteKind kind, const SpritePicture& picture, int left,
                    int top, SpriteSize cell)
{
    std::vector<Colour> colours;
    colours.reserve(std::size_t(cell.width) * std::size_t(cell.height));
    for (int y = top; y < top + cell.height; ++y) {
        const auto row = picture.colours.begin() + std::ptrdiff_t(y) * picture.width + left;
        colours.insert(colours.end(), row, row + cell.width);
    }
    const SpriteBits bits = spriteBitsOf(kind, cell, colours);
    appendSpriteCode(text, kind, cell, {bits.layers[0], bits.layers[1], bits.layers[2]});
}

bool isAssemblerLabel(std::string_view label)
{
    return !label.empty() && label.size() <= maxLabelLength &&
           isLetterOrUnderscore(label.front()) &&
           std::all_of(label.begin(), label.end(),
                       [](char c) { return isLetterOrUnderscore(c) || isDigit(c); });
}

std::string labelFromFileName(std::string_view path)
{
    std::string_view name = path.substr(path.rfind('/') + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    std::string label;
    for (const char c : name) {
        // The bytes after the first of a UTF-8 character add nothing: one
        // character that may not stand in a label becomes one "_".
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80)
            continue;
        label += isLetterOrUnderscore(c) || isDigit(c) ? c : '_';
    }
    // Nothing of the name left to tell the sprites by ("-" for standard input).
    if (std::all_of(label.begin(), label.end(), [](char c) { return c == '_'; }))
        return "sheet";
    if (isDigit(label.front()))
        label.insert(label.begin(), '_');
    label.resize(std::min(label.size(), maxLabelLength));
    return label;
}

Result<std::string> spriteSheetText(const SpritePicture& sheet, const SheetOptions& options)
{
    const SpriteSize cell = options.cell;
    if (!isSpriteSize(cell))
        return fail("no sprite is " + sizeText(cell.width, cell.height) + " pixels");
    const int across = sheet.width / cell.width;
    const int down = sheet.height / cell.height;
    if (across == 0 || down == 0) {
        return fail("sheet of " + sizeText(sheet.width, sheet.height) +
                    " pixels is smaller than one cell of " + sizeText(cell.width, cell.height) +
                    " pixels");
    }
    const std::int64_t cells = std::int64_t{across} * down;
    if (cells > maxSheetCells) {
        return fail("sheet of " + sizeText(sheet.width, sheet.height) + " pixels holds " +
                    std::to_string(cells) + " cells of " + sizeText(cell.width, cell.height) +
                    " pixels, more than " + std::to_string(maxSheetCells));
    }

    std::string text;
    for (int row = 0; row < down; ++row) {
        for (int column = 0; column < across; ++column) {
            const int left = column * cell.width;
            const int top = row * cell.height;
            if (options.skipEmpty && isEmptyCell(sheet, left, top, cell))
                continue;
            if (!text.empty())
                text += crlf;
            text += options.label;
            text += '_';
            text += std::to_string(row * across + column);
            text += ':';
            text += crlf;
            appendCellCode(text, options.kind, sheet, left, top, cell);
            text += crlf;
        }
    }
    return text;
}
