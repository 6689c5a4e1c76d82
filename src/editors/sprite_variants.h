#pragma once

#include "core/colour.h"
#include "core/sprite_code.h"
#include "ui/control_layout.h"

#include <QSize>

#include <span>

// A colour swatch of an editor: click it with the left or right button to give
// that button's pen its colour.
struct ColourSwatch
{
    const char* name;
    Colour colour;
};

// Where an editor window appears when it opens.
enum class WindowPlacement { CentredOverOwner, SystemPlaced };

// Everything in which the four sprite editors differ.
struct SpriteVariant
{
    SpriteKind kind;
    const char* objectName;
    const char* title;
    QSize clientSize;
    WindowPlacement placement;
    int windowIcon; // tool icon number, 0 for none
    // Where the writer samples the cell of pixel (x, y): (10x + offset, 10y + offset).
    float sampleOffset;
    bool sizeRow;
    const char* helpText;
    std::span<const ColourSwatch> swatches;
    std::span<const ControlPlace> layout;
};

const SpriteVariant& spriteVariant(SpriteKind kind);
