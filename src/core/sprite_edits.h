#pragma once

#include "core/colour.h"
#include "core/sprite_code.h"

#include <array>

// How one cell of a sprite editor's canvas looks: its colour, and the colour
// of the thin strip along its right and bottom edges. The pen leaves that
// strip as it was, so cells painted with it show a grid line of background
// between them; reading a sprite back from text fills whole cells, strip
// included.
struct CellLook
{
    Colour colour = colours::white;
    Colour edge = colours::white;
    friend bool operator==(const CellLook&, const CellLook&) = default;
};

// The 64 cells of the canvas, row by row from the top, each row from the left.
using CanvasLook = std::array<CellLook, spriteSize * spriteSize>;

// What the editors' keys do to a sprite.
enum class SpriteEdit {
    ShiftLeft,
    ShiftRight,
    ShiftUp,
    ShiftDown,
    MirrorLeftRight,
    MirrorTopBottom,
    TurnClockwise,
    Invert,
};

// Black and white swapped, and dark and light grey; every other colour,
// the mask colour among them, as it is.
Colour invertedColour(Colour colour);

// The canvas after an edit. A shift moves every pixel one place, the one
// leaving at one side coming back at the other; the mirrors and the quarter
// turn move pixels as they move the picture. Each cell keeps its look: a
// whole cell stays whole, a painted one keeps its strip, and inverting a cell
// inverts its colour (and its strip where that is the cell's own).
CanvasLook editedCanvas(SpriteEdit edit, const CanvasLook& canvas);
