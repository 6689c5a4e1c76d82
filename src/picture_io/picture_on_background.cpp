#include "picture_io/picture_on_background.h"

#include <algorithm>

std::vector<Colour> pictureOnBackground(const PictureCorner& picture, int width, int height,
                                        Colour background)
{
    std::vector<Colour> area(std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0)),
                             background);
    const int shownWidth = std::min(picture.width, width);
    const int shownHeight = std::min(picture.height, height);
    for (int y = 0; y < shownHeight; ++y) {
        for (int x = 0; x < shownWidth; ++x) {
            const Rgba pixel = picture.at(x, y);
            Colour& out = area[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            if (pixel.alpha == 255) {
                out = colourFromRgb(pixel.red, pixel.green, pixel.blue);
            } else if (pixel.alpha != 0) {
                out = colourOver(pixel.red, pixel.green, pixel.blue, pixel.alpha, out);
            }
        }
    }
    return area;
}
