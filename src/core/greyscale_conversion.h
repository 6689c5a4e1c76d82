#pragma once

#include "core/screen.h"

#include <cstdint>

// The three thresholds of the slider value V, computed in double precision in a
// fixed order of operations so that every build sorts every colour alike:
//   middle M = (16777215 / 100) * V + 100000
//   low    L = M / 3, rounded to the nearest integer, halves to the even one
//   high   H = M + ((16777215 - M) / 3) * 2
// For V = 0..99, L < M < H. At V = 100, M lies above white and H below M.
struct GreyThresholds
{
    std::int32_t low;
    double middle;
    double high;
};

// Values outside 0..100 are taken as the nearer end of that range.
GreyThresholds greyThresholds(int sliderValue);

enum class GreyBand { White, LightGrey, DarkGrey, Black };

// Sorts a colour number into a band: c < L black, L <= c < M dark grey,
// M <= c < H light grey, otherwise white. A colour exactly on a threshold goes
// to the lighter band, so every colour lands in a band. The tests run from dark
// to light and the light-grey range [M, H) is empty when H < M, so at V = 100
// every colour number (all lie below M) is black or dark grey: white turns dark
// grey and nothing becomes white or light grey.
GreyBand greyBand(Colour c, const GreyThresholds& t);

// White FFFFFF, light grey C0C0C0, dark grey 808080, black 000000.
Colour bandColour(GreyBand band);
// The two layer bits of a band: light grey and black set the light layer, dark
// grey and black the dark layer; white sets neither.
bool lightBit(GreyBand band);
bool darkBit(GreyBand band);
// The band that a pair of layer bits stands for (the inverse of the two above).
GreyBand bandFromBits(bool light, bool dark);

struct GreyscaleResult
{
    SourceView preview; // the band colour of every pixel
    LayerGrid light;    // 0/1 per pixel
    LayerGrid dark;     // 0/1 per pixel
};

// Builds the preview and both grids afresh from the source view alone; nothing
// of an earlier conversion carries over.
GreyscaleResult convertGreyscale(const SourceView& source, int sliderValue);

// The four-grey picture that two layer grids describe, e.g. to show a data file
// read back.
SourceView greyscalePreview(const LayerGrid& light, const LayerGrid& dark);
