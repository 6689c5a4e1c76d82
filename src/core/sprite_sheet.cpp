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
    return spriteSheetText(std::span(&sheet, 1), options);
}

Result<std::string> spriteSheetText(std::span<const SpritePicture> frames,
                                    const SheetOptions& options)
{
    const SpriteSize cell = options.cell;
    if (!isSpriteSize(cell))
        return fail("no sprite is " + sizeText(cell.width, cell.height) + " pixels");
    if (frames.empty())
        return fail("sheet has no picture");
    const SpritePicture& first = frames.front();
    const int across = first.width / cell.width;
    const int down = first.height / cell.height;
    if (across == 0 || down == 0) {
        return fail("sheet of " + sizeText(first.width, first.height) +
                    " pixels is smaller than one cell of " + sizeText(cell.width, cell.height) +
                    " pixels");
    }
    const std::int64_t cellsPerFrame = std::int64_t{across} * down;
    const std::int64_t cells = cellsPerFrame * std::int64_t(frames.size());
    if (cells > maxSheetCells) {
        const std::string sheet = frames.size() == 1
                                      ? "sheet of " + sizeText(first.width, first.height)
                                      : "sheet of " + std::to_string(frames.size()) +
                                            " frames of " + sizeText(first.width, first.height);
        return fail(sheet + " pixels holds " + std::to_string(cells) + " cells of " +
                    sizeText(cell.width, cell.height) + " pixels, more than " +
                    std::to_string(maxSheetCells));
    }

    std::string text;
    std::int64_t number = 0;
    for (const SpritePicture& frame : frames) {
        for (int row = 0; row < down; ++row) {
            for (int column = 0; column < across; ++column, ++number) {
                const int left = column * cell.width;
                const int top = row * cell.height;
                if (options.skipEmpty && isEmptyCell(frame, left, top, cell))
                    continue;
                if (!text.empty())
                    text += crlf;
                text += options.label;
                text += '_';
                text += std::to_string(number);
                text += ':';
                text += crlf;
                appendCellCode(text, options.kind, frame, left, top, cell);
                text += crlf;
            }
        }
    }
    return text;
}
