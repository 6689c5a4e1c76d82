#pragma once

#include <QCursor>
#include <QImage>

// The cursor over the converters' previews: a 32 × 32 magnifying glass with a
// plus sign in its lens, its hot spot at (6, 6), the centre of the lens. Black
// on white with a white rim, so that it shows over black and white pictures.
inline constexpr int zoomCursorHotSpot = 6;

QImage zoomCursorImage();
QCursor zoomCursor();
