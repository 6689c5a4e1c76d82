#include "core/greyscale_conversion.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double whiteNumber = 16777215.0;

// Rounds to the nearest integer, a half to the even neighbour, without
// depending on the floating-point environment's rounding mode.
std::int32_t roundHalfToEven(double value)
{
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    return static_cast<std::int32_t>(whole);
}

} // namespace

GreyThresholds greyThresholds(int sliderValue)
{
    const double v = std::clamp(sliderValue, 0, 100);
    // Keep this order of operations, each step rounded on its own: it fixes the
    // thresholds to the last bit, so the window and the command line, and any
    // build of either, report and compare the very same numbers.
    const double step = whiteNumber / 100.0;
    const double middle = step * v + 100000.0;
    const double high = middle + ((whiteNumber - middle) / 3.0) * 2.0;
    return {roundHalfToEven(middle / 3.0), middle, high};
}

GreyBand greyBand(Colour c, const GreyThresholds& t)
{
    if (static_cast<std::int64_t>(c) < t.low)
        return GreyBand::Black;
    const double number = static_cast<double>(c);
    if (number < t.middle)
        return GreyBand::DarkGrey;
    if (number < t.high)
        return GreyBand::LightGrey;
    return GreyBand::White;
}

Colour bandColour(GreyBand band)
{
    switch (band) {
    case GreyBand::White:
        return colours::white;
    case GreyBand::LightGrey:
        return colours::lightGrey;
    case GreyBand::DarkGrey:
        return colours::darkGrey;
    case GreyBand::Black:
        return colours::black;
    }
    return colours::white;
}

bool lightBit(GreyBand band)
{
    return band == GreyBand::LightGrey || band == GreyBand::Black;
}

bool darkBit(GreyBand band)
{
    return band == GreyBand::DarkGrey || band == GreyBand::Black;
}

GreyBand bandFromBits(bool light, bool dark)
{
    if (light)
        return dark ? GreyBand::Black : GreyBand::LightGrey;
    return dark ? GreyBand::DarkGrey : GreyBand::White;
}

GreyscaleResult convertGreyscale(const SourceView& source, int sliderValue)
{
    const GreyThresholds thresholds = greyThresholds(sliderValue);
    GreyscaleResult result;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const GreyBand band = greyBand(source[i], thresholds);
        result.preview[i] = bandColour(band);
        result.light[i] = lightBit(band) ? 1 : 0;
        result.dark[i] = darkBit(band) ? 1 : 0;
    }
    return result;
}

SourceView greyscalePreview(const LayerGrid& light, const LayerGrid& dark)
{
    SourceView preview;
    for (std::size_t i = 0; i < preview.size(); ++i)
        preview[i] = bandColour(bandFromBits(light[i] != 0, dark[i] != 0));
    return preview;
}
