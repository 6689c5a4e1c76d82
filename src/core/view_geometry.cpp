#include "core/view_geometry.h"

#include "core/screen.h"

#include <algorithm>

namespace {

// a / b rounded to the nearest integer, a half up (a ≥ 0, b > 0).
std::int64_t roundedQuotient(std::int64_t a, std::int64_t b)
{
    return (2 * a + b) / (2 * b);
}

std::int64_t ceilingQuotient(std::int64_t a, std::int64_t b)
{
    return (a + b - 1) / b;
}

// The scaled size when the picture is scaled down (s < 1): with s = 128 / W
// the width becomes exactly 128, with s = 64 / H the height exactly 64, and
// the other side follows the aspect ratio.
void scaleDown(ViewGeometry& g, bool byWidth)
{
    const std::int64_t width = g.sourceWidth;
    const std::int64_t height = g.sourceHeight;
    g.block = 0;
    if (byWidth) {
        g.scaledWidth = screenWidth;
        g.scaledHeight = std::max<std::int64_t>(1, roundedQuotient(screenWidth * height, width));
    } else {
        g.scaledHeight = screenHeight;
        g.scaledWidth = std::max<std::int64_t>(1, roundedQuotient(screenHeight * width, height));
    }
}

void enlarge(ViewGeometry& g, std::int64_t factor)
{
    g.block = factor;
    g.scaledWidth = g.sourceWidth * factor;
    g.scaledHeight = g.sourceHeight * factor;
}

} // namespace

ViewGeometry viewGeometry(const ViewOptions& options, std::int64_t width, std::int64_t height)
{
    ViewGeometry g;
    if (width <= 0 || height <= 0 || width > maxViewSourceSide || height > maxViewSourceSide)
        return g;
    g.sourceWidth = width;
    g.sourceHeight = height;
    // s = 128 / W is the smaller factor when 128 H ≤ 64 W, the larger when
    // 128 H ≥ 64 W; both give 128 × 64 when they are equal.
    const bool fitByWidth = screenWidth * height <= screenHeight * width;
    const bool fillByWidth = screenWidth * height >= screenHeight * width;
    switch (options.placement) {
    case Placement::Corner:
        enlarge(g, 1);
        // Beyond the picture everything is white; stopping at its edge keeps
        // the arithmetic small for any offset.
        g.left = -std::clamp<std::int64_t>(options.x, 0, width);
        g.top = -std::clamp<std::int64_t>(options.y, 0, height);
        return g;
    case Placement::Fit:
        if (width <= screenWidth && height <= screenHeight)
            enlarge(g, std::min(screenWidth / width, screenHeight / height));
        else
            scaleDown(g, fitByWidth);
        g.left = (screenWidth - g.scaledWidth) / 2;
        g.top = (screenHeight - g.scaledHeight) / 2;
        return g;
    case Placement::Fill:
        if (width <= screenWidth || height <= screenHeight)
            enlarge(g, std::max(ceilingQuotient(screenWidth, width),
                                ceilingQuotient(screenHeight, height)));
        else
            scaleDown(g, fillByWidth);
        g.left = -((g.scaledWidth - screenWidth) / 2);
        g.top = -((g.scaledHeight - screenHeight) / 2);
        return g;
    }
    return g;
}

int decodingReduction(const ViewOptions& options, std::int64_t width, std::int64_t height)
{
    const ViewGeometry g = viewGeometry(options, width, height);
    if (g.block != 0)
        return 1;
    for (const int reduction : {8, 4, 2}) {
        if (ceilingQuotient(width, reduction) >= 2 * g.scaledWidth &&
            ceilingQuotient(height, reduction) >= 2 * g.scaledHeight)
            return reduction;
    }
    return 1;
}

ViewGeometry reducedGeometry(const ViewGeometry& full, const ViewOptions& options,
                             std::int64_t reducedWidth, std::int64_t reducedHeight)
{
    if (full.block != 0 || reducedWidth < full.scaledWidth || reducedHeight < full.scaledHeight)
        return viewGeometry(options, reducedWidth, reducedHeight);
    ViewGeometry g = full;
    g.sourceWidth = reducedWidth;
    g.sourceHeight = reducedHeight;
    return g;
}
