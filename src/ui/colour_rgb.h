#pragma once

#include "core/colour.h"

#include <QRgb>

// The one place where colour numbers (R + 256 G + 65536 B) meet the toolkit's
// pixels (0xAARRGGBB): the two orders of the channels are easily swapped, and
// a swap shows only in colours whose red and blue differ.

// Opaque, as every pixel of a drawing area is.
inline QRgb rgbOf(Colour colour)
{
    return qRgb(redOf(colour), greenOf(colour), blueOf(colour));
}

// Alpha is ignored.
inline Colour colourOf(QRgb rgb)
{
    return colourFromRgb(qRed(rgb), qGreen(rgb), qBlue(rgb));
}
