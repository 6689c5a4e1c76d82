#include "core/black_white_conversion.h"

#include <algorithm>

double blackWhiteThreshold(int sliderValue)
{
    const int v = std::clamp(sliderValue, 0, 100);
    // The product is an exact integer (at most 1 677 721 400); only the quotient
    // is inexact, and it is deliberately left unrounded.
    return static_cast<double>(v * 16777214) / 100.0;
}

Colour blackWhitePixel(Colour c, double threshold)
{
    const double number = static_cast<double>(c);
    if (number < threshold)
        return colours::black;
    if (number > threshold)
        return colours::white;
    return c == colours::black ? colours::black : colours::white;
}

SourceView convertBlackWhite(const SourceView& source, int sliderValue)
{
    const double threshold = blackWhiteThreshold(sliderValue);
    SourceView result;
    std::transform(source.begin(), source.end(), result.begin(),
                   [threshold](Colour c) { return blackWhitePixel(c, threshold); });
    return result;
}
