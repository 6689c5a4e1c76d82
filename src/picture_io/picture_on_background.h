#pragma once

#include "core/colour.h"
#include "picture_io/picture_reader.h"

#include <vector>

// A width × height area of `background` with the corner drawn over it
// unscaled, its top-left pixel at (0, 0), cut at the edges: transparent
// pixels show the background, partly transparent ones are blended with it
// (rounded to the nearest value). The windows' drawing areas and the
// command-line tool both draw pictures through this, so they agree to the
// pixel. Colour numbers, row by row from the top.
std::vector<Colour> pictureOnBackground(const PictureCorner& picture, int width, int height,
                                        Colour background);
