#include "core/dithering.h"

#include "core/black_white_conversion.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace {

constexpr std::array<std::array<int, 8>, 8> bayer = {{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

// The output levels of a view: 0 the darkest, `steps` the lightest.
using Levels = std::array<std::uint8_t, screenPixels>;
using Brightness = std::array<int, screenPixels>;

Brightness brightnessOf(const SourceView& source, int level, bool invert)
{
    Brightness result;
    std::transform(source.begin(), source.end(), result.begin(),
                   [level, invert](Colour c) { return ditherBrightness(c, level, invert); });
    return result;
}

// `steps` is 1 (black and white) or 3 (four greys): level k stands for
// 255 k / steps.
Levels ordered(const Brightness& brightness, int steps)
{
    Levels levels;
    for (int y = 0; y < screenHeight; ++y) {
        for (int x = 0; x < screenWidth; ++x) {
            const std::size_t i = std::size_t(pixelIndex(x, y));
            const int q = steps * brightness[i];
            const int base = q / 255;
            const int rem = q - 255 * base;
            const int up = rem * 128 > (2 * bayerValue(x, y) + 1) * 255 ? 1 : 0;
            levels[i] = std::uint8_t(std::min(steps, base + up));
        }
    }
    return levels;
}

struct Share
{
    int dx;
    int dy;
    double weight;
};

constexpr std::array<Share, 4> floydSteinberg = {{{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}};
constexpr double floydSteinbergDivisor = 16;
constexpr std::array<Share, 6> atkinson = {
    {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}}};
constexpr double atkinsonDivisor = 8;

// The values halfway between neighbouring output levels, for `steps` 1 and 3.
constexpr std::array<double, 1> blackWhiteMidpoints = {127.5};
constexpr std::array<double, 3> fourGreyMidpoints = {42.5, 127.5, 212.5};

// The nearest level, a tie going to the lighter one: the number of midpoints
// at or below the value.
int nearestLevel(double value, int steps)
{
    const std::span<const double> midpoints =
        steps == 1 ? std::span<const double>(blackWhiteMidpoints) : fourGreyMidpoints;
    int level = 0;
    for (const double midpoint : midpoints) {
        if (value >= midpoint)
            ++level;
    }
    return level;
}

Levels diffused(const Brightness& brightness, int steps, std::span<const Share> shares,
                double divisor)
{
    std::array<double, screenPixels> error{};
    Levels levels;
    for (int y = 0; y < screenHeight; ++y) {
        for (int x = 0; x < screenWidth; ++x) {
            const std::size_t i = std::size_t(pixelIndex(x, y));
            const double value = brightness[i] + error[i];
            const int level = nearestLevel(value, steps);
            levels[i] = std::uint8_t(level);
            const double e = value - double(level * 255 / steps);
            for (const Share& share : shares) {
                const int nx = x + share.dx;
                const int ny = y + share.dy;
                if (nx < 0 || nx >= screenWidth || ny >= screenHeight)
                    continue;
                error[std::size_t(pixelIndex(nx, ny))] += e * share.weight / divisor;
            }
        }
    }
    return levels;
}

Levels dithered(const SourceView& source, int level, Tone tone, int steps)
{
    const Brightness brightness = brightnessOf(source, level, tone.invert);
    switch (tone.dithering) {
    case Dithering::Ordered:
        return ordered(brightness, steps);
    case Dithering::FloydSteinberg:
        return diffused(brightness, steps, floydSteinberg, floydSteinbergDivisor);
    case Dithering::Atkinson:
        return diffused(brightness, steps, atkinson, atkinsonDivisor);
    case Dithering::None:
        // Never asked for: the threshold works on the colour number instead.
        break;
    }
    return Levels{};
}

GreyBand bandOfLevel(int level)
{
    switch (level) {
    case 0:
        return GreyBand::Black;
    case 1:
        return GreyBand::DarkGrey;
    case 2:
        return GreyBand::LightGrey;
    default:
        return GreyBand::White;
    }
}

GreyBand invertedBand(GreyBand band)
{
    switch (band) {
    case GreyBand::White:
        return GreyBand::Black;
    case GreyBand::LightGrey:
        return GreyBand::DarkGrey;
    case GreyBand::DarkGrey:
        return GreyBand::LightGrey;
    case GreyBand::Black:
        break;
    }
    return GreyBand::White;
}

void setBand(GreyscaleResult& result, std::size_t i, GreyBand band)
{
    result.preview[i] = bandColour(band);
    result.light[i] = lightBit(band) ? 1 : 0;
    result.dark[i] = darkBit(band) ? 1 : 0;
}

} // namespace

std::string_view ditheringName(Dithering dithering)
{
    switch (dithering) {
    case Dithering::None:
        return "none";
    case Dithering::Ordered:
        return "ordered";
    case Dithering::FloydSteinberg:
        return "floyd-steinberg";
    case Dithering::Atkinson:
        return "atkinson";
    }
    return "none";
}

std::optional<Dithering> ditheringNamed(std::string_view name)
{
    for (const Dithering dithering : allDitherings) {
        if (name == ditheringName(dithering))
            return dithering;
    }
    return std::nullopt;
}

int brightness(Colour c)
{
    return (299 * redOf(c) + 587 * greenOf(c) + 114 * blueOf(c) + 500) / 1000;
}

int ditherBrightness(Colour c, int level, bool invert)
{
    const int n = std::clamp(level, 0, 100);
    const int shifted = std::clamp(brightness(c) + ((50 - n) * 51) / 10, 0, 255);
    return invert ? 255 - shifted : shifted;
}

int bayerValue(int x, int y)
{
    return bayer[std::size_t(y & 7)][std::size_t(x & 7)];
}

SourceView quantiseBlackWhite(const SourceView& source, int level, Tone tone)
{
    SourceView result;
    if (tone.dithering == Dithering::None) {
        result = convertBlackWhite(source, level);
        if (tone.invert) {
            for (Colour& c : result)
                c = c == colours::black ? colours::white : colours::black;
        }
        return result;
    }
    const Levels levels = dithered(source, level, tone, 1);
    std::transform(levels.begin(), levels.end(), result.begin(),
                   [](std::uint8_t l) { return l != 0 ? colours::white : colours::black; });
    return result;
}

GreyscaleResult quantiseGreyscale(const SourceView& source, int level, Tone tone)
{
    if (tone.dithering == Dithering::None) {
        GreyscaleResult result = convertGreyscale(source, level);
        if (tone.invert) {
            for (std::size_t i = 0; i < result.preview.size(); ++i)
                setBand(result, i, invertedBand(bandFromBits(result.light[i], result.dark[i])));
        }
        return result;
    }
    const Levels levels = dithered(source, level, tone, 3);
    GreyscaleResult result;
    for (std::size_t i = 0; i < levels.size(); ++i)
        setBand(result, i, bandOfLevel(levels[i]));
    return result;
}
