#include "converters/zoom_cursor.h"

#include <QPixmap>

#include <algorithm>
#include <cmath>

namespace {

// Distance from the centre of pixel (x, y) to the handle's centre line.
double distanceToHandle(int x, int y)
{
    constexpr double start = 10.5;
    constexpr double end = 18.0;
    // Along the diagonal, the nearest point of the line lies at t on both axes.
    const double t = std::clamp((x + y) / 2.0, start, end);
    return std::hypot(x - t, y - t);
}

} // namespace

QImage zoomCursorImage()
{
    constexpr int size = 32;
    constexpr double centre = zoomCursorHotSpot;
    const QRgb black = qRgb(0, 0, 0);
    const QRgb white = qRgb(255, 255, 255);
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double lens = std::hypot(x - centre, y - centre);
            const double handle = distanceToHandle(x, y);
            const bool plus = (std::abs(x - zoomCursorHotSpot) <= 2 && y == zoomCursorHotSpot) ||
                              (x == zoomCursorHotSpot && std::abs(y - zoomCursorHotSpot) <= 2);
            if (lens < 4.5)
                image.setPixel(x, y, plus ? black : white);
            else if (lens < 6.0 || handle < 1.5)
                image.setPixel(x, y, black);
            else if (lens < 7.0 || handle < 2.5)
                image.setPixel(x, y, white);
        }
    }
    return image;
}

QCursor zoomCursor()
{
    return QCursor(QPixmap::fromImage(zoomCursorImage()), zoomCursorHotSpot, zoomCursorHotSpot);
}
