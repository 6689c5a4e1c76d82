#include "core/sprite_edits.h"

namespace {

std::size_t cellIndex(int x, int y)
{
    return std::size_t(y * spriteSize + x);
}

// The cell whose content an edit brings to (x, y).
std::size_t sourceOf(SpriteEdit edit, int x, int y)
{
    constexpr int last = spriteSize - 1;
    switch (edit) {
    case SpriteEdit::ShiftLeft:
        return cellIndex((x + 1) % spriteSize, y);
    case SpriteEdit::ShiftRight:
        return cellIndex((x + last) % spriteSize, y);
    case SpriteEdit::ShiftUp:
        return cellIndex(x, (y + 1) % spriteSize);
    case SpriteEdit::ShiftDown:
        return cellIndex(x, (y + last) % spriteSize);
    case SpriteEdit::MirrorLeftRight:
        return cellIndex(last - x, y);
    case SpriteEdit::MirrorTopBottom:
        return cellIndex(x, last - y);
    case SpriteEdit::TurnClockwise:
        // Turned a quarter clockwise, the left column becomes the top row.
        return cellIndex(y, last - x);
    case SpriteEdit::Invert:
        break;
    }
    return cellIndex(x, y);
}

} // namespace

Colour invertedColour(Colour colour)
{
    switch (colour) {
    case colours::white:
        return colours::black;
    case colours::black:
        return colours::white;
    case colours::lightGrey:
        return colours::darkGrey;
    case colours::darkGrey:
        return colours::lightGrey;
    default:
        return colour;
    }
}

CanvasLook editedCanvas(SpriteEdit edit, const CanvasLook& canvas)
{
    CanvasLook edited;
    for (int y = 0; y < spriteSize; ++y) {
        for (int x = 0; x < spriteSize; ++x) {
            CellLook cell = canvas[sourceOf(edit, x, y)];
            if (edit == SpriteEdit::Invert) {
                if (cell.edge == cell.colour)
                    cell.edge = invertedColour(cell.colour);
                cell.colour = invertedColour(cell.colour);
            }
            edited[cellIndex(x, y)] = cell;
        }
    }
    return edited;
}
