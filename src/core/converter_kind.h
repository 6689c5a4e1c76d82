#pragma once

#include "core/screen.h"

// The two picture converters: black and white, and four greys.
enum class ConverterKind { BlackWhite, Greyscale };

// The greyscale converter's light and dark layer grids. They belong to the tool,
// not to the window: a conversion replaces them, closing the window leaves them
// as they are, and Convert & Save writes them. Until the first conversion of
// the program's run they hold the empty picture (both all 0), which is what
// Convert & Save then writes, as the black-and-white window writes its blank
// preview.
struct GreyLayers
{
    LayerGrid light{};
    LayerGrid dark{};
};
