#pragma once

#include <cstdint>

// A pixel colour as one integer, R + 256 * G + 65536 * B. Written in hexadecimal
// it has blue in the high byte and red in the low byte, so 0x0080FF is orange.
// Colours are always compared as these integers, exactly; nothing here computes
// a brightness from the components.
using Colour = std::uint32_t;

namespace colours {
inline constexpr Colour white = 0xFFFFFF;
inline constexpr Colour lightGrey = 0xC0C0C0;
inline constexpr Colour darkGrey = 0x808080;
inline constexpr Colour black = 0x000000;
// The masked sprite editors paint masked pixels in this orange (red 255, green 128).
inline constexpr Colour mask = 0x0080FF;
// What reading a point outside a drawing area gives: no colour number of a pixel
// can equal it, so every lookup table treats it as unrecognised.
inline constexpr Colour none = 0xFFFFFFFF;
} // namespace colours

inline constexpr Colour colourFromRgb(int red, int green, int blue)
{
    return static_cast<Colour>(red & 0xFF) | static_cast<Colour>(green & 0xFF) << 8 |
           static_cast<Colour>(blue & 0xFF) << 16;
}

inline constexpr int redOf(Colour c)
{
    return static_cast<int>(c & 0xFF);
}
inline constexpr int greenOf(Colour c)
{
    return static_cast<int>((c >> 8) & 0xFF);
}
inline constexpr int blueOf(Colour c)
{
    return static_cast<int>((c >> 16) & 0xFF);
}

// A pixel of opacity `alpha` (0 transparent to 255 opaque) over a colour, as
// the drawing areas show a partly transparent picture: each component
// blended, rounded to the nearest value.
inline constexpr int blendChannel(int over, int below, int alpha)
{
    return (over * alpha + below * (255 - alpha) + 127) / 255;
}

inline constexpr Colour colourOver(int red, int green, int blue, int alpha, Colour under)
{
    return colourFromRgb(blendChannel(red, redOf(under), alpha),
                         blendChannel(green, greenOf(under), alpha),
                         blendChannel(blue, blueOf(under), alpha));
}
