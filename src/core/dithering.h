#pragma once

#include "core/greyscale_conversion.h"
#include "core/screen.h"

#include <array>
#include <optional>
#include <string_view>

// How a source view becomes black and white or four greys. None is the
// threshold on the colour number that the converters have always used; the
// others work on brightness and spread the quantising error, so that a
// photograph keeps its tones instead of turning into blotches.
enum class Dithering { None, Ordered, FloydSteinberg, Atkinson };

// Every dithering, in the order that the help and the menus offer them.
inline constexpr std::array<Dithering, 4> allDitherings = {
    Dithering::None, Dithering::Ordered, Dithering::FloydSteinberg, Dithering::Atkinson};

// "none", "ordered", "floyd-steinberg", "atkinson": the names that the command
// line takes and that settings store.
std::string_view ditheringName(Dithering dithering);
std::optional<Dithering> ditheringNamed(std::string_view name);

struct Tone
{
    Dithering dithering = Dithering::None;
    // With dithering, brightness Y' becomes 255 - Y' before quantising; with
    // the threshold, black and white (and light and dark grey) swap in the
    // result.
    bool invert = false;
    friend bool operator==(const Tone&, const Tone&) = default;
};

// Y = (299 R + 587 G + 114 B + 500) / 1000, in integers.
int brightness(Colour c);

// The brightness that dithering quantises, for slider level N (0 to 100,
// values outside taken as the nearer end): Y' = clamp(Y + ((50 - N) × 51) / 10,
// 0, 255), the division truncating toward zero; level 50 leaves Y as it is, a
// higher level darkens, as the threshold does. Then 255 - Y' when inverting.
int ditherBrightness(Colour c, int level, bool invert);

// The 8 × 8 Bayer matrix entry M for view pixel (x, y), 0 to 63.
int bayerValue(int x, int y);

// Black and white only. None: convertBlackWhite of the level, black and white
// swapped when inverting. Ordered: white exactly when Y' × 128 > (2 M + 1) × 255.
// Floyd–Steinberg and Atkinson: see quantiseGreyscale.
SourceView quantiseBlackWhite(const SourceView& source, int level, Tone tone);

// Four greys, levels 0 (black), 85 (dark grey), 170 (light grey), 255
// (white), as a GreyscaleResult: band colours in the preview and the two layer
// grids that those bands set, so that the planes and files come out as for
// the threshold.
// None: convertGreyscale of the level, with white and black, light and dark
// swapped when inverting.
// Ordered: q = 3 Y', base = q / 255, rem = q - 255 base, level = min(3, base +
// (rem × 128 > (2 M + 1) × 255 ? 1 : 0)), in exact integers.
// Floyd–Steinberg and Atkinson: rows from the top, each from the left; a
// pixel's value is Y' plus the error it has received (the shares added, in
// double, in the order they are passed on, to an error that starts at 0); its
// output the nearest level, a tie going to the lighter one (white from 127.5
// in black and white; 42.5, 127.5 and 212.5 in four greys); the error value -
// output goes 7/16 right, 3/16 below left, 5/16 below and 1/16 below right
// (Floyd–Steinberg; each share computed as error × weight / 16), or error / 8
// to each of (x + 1, y), (x + 2, y), (x - 1, y + 1), (x, y + 1), (x + 1, y +
// 1) and (x, y + 2) (Atkinson, which passes on only six eighths). Error that
// would leave the view is dropped. The source file is built without fused
// multiply-add, so every build gives the same bytes.
GreyscaleResult quantiseGreyscale(const SourceView& source, int level, Tone tone);
