#pragma once

#include "core/screen.h"

// The slider value V (0 to 100) sets one threshold T = V * 16777214 / 100, in
// double precision and not rounded: 0 at V = 0, 0x7FFFFF at V = 50, 0xFFFFFE
// (one below white) at V = 100. Values outside 0..100 are taken as the nearer
// end of that range.
double blackWhiteThreshold(int sliderValue);

// Black for a colour number below the threshold, white above it. The colour
// number itself is compared, with no brightness formula, so blue weighs most.
// A colour exactly at the threshold (only 0, 0x7FFFFF or 0xFFFFFE, at V = 0, 50
// or 100) becomes black if it is black and white otherwise: the result then
// always holds just black and white, and the bit plane written from it (black
// gives 1, anything else 0) shows exactly what the preview shows.
Colour blackWhitePixel(Colour c, double threshold);

// Each pixel of the result depends only on its own source colour and V.
SourceView convertBlackWhite(const SourceView& source, int sliderValue);
