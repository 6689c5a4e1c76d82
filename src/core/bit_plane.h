#pragma once

#include "core/screen.h"

// A set bit only for colour number 0 (black); white, the greys and every other
// colour give 0.
BitPlane bitPlaneFromPixels(const SourceView& pixels);

// A set bit for every non-zero grid entry.
BitPlane bitPlaneFromGrid(const LayerGrid& grid);

// The inverses: 1 per set bit; black per set bit and white otherwise.
LayerGrid gridFromBitPlane(const BitPlane& plane);
SourceView pixelsFromBitPlane(const BitPlane& plane);
