#include "core/view_builder.h"

#include "core/srgb.h"

#include <algorithm>
#include <array>

namespace {

constexpr int channels = 3;

std::int64_t ceilingQuotient(std::int64_t a, std::int64_t b)
{
    return (a + b - 1) / b;
}

struct Rgb
{
    int red;
    int green;
    int blue;
};

Rgb onWhite(const std::uint8_t* pixel)
{
    const int alpha = pixel[3];
    if (alpha == 255)
        return {pixel[0], pixel[1], pixel[2]};
    return {compositeOnWhite(pixel[0], alpha), compositeOnWhite(pixel[1], alpha),
            compositeOnWhite(pixel[2], alpha)};
}

// What each 8-bit value adds to the sums: its linear value less white's.
// (linearOfSrgb holds constants, in place before any initialisation runs.)
const std::array<std::int64_t, 256> linearBelowWhite = [] {
    std::array<std::int64_t, 256> table{};
    for (std::size_t v = 0; v < table.size(); ++v)
        table[v] = std::int64_t{linearOfSrgb[v]} - linearWhite;
    return table;
}();

std::size_t sumIndex(std::int64_t viewX, std::int64_t viewY)
{
    return std::size_t(pixelIndex(int(viewX), int(viewY))) * channels;
}

} // namespace

SourceViewBuilder::SourceViewBuilder(const ViewGeometry& geometry) : m_geometry(geometry)
{
    m_view.fill(colours::white);
    const ViewGeometry& g = m_geometry;
    if (g.sourceWidth <= 0 || g.sourceHeight <= 0 || g.scaledWidth <= 0 || g.scaledHeight <= 0 ||
        g.block < 0)
        return;
    const bool averaged = g.block == 0;
    if (averaged && (g.sourceWidth > maxAveragedPixels / g.sourceHeight ||
                     g.scaledWidth > g.sourceWidth || g.scaledHeight > g.sourceHeight))
        return;
    m_viewLeft = int(std::clamp<std::int64_t>(g.left, 0, screenWidth));
    m_viewRight = int(std::clamp<std::int64_t>(g.left + g.scaledWidth, 0, screenWidth));
    m_viewTop = int(std::clamp<std::int64_t>(g.top, 0, screenHeight));
    m_viewBottom = int(std::clamp<std::int64_t>(g.top + g.scaledHeight, 0, screenHeight));
    if (m_viewLeft >= m_viewRight || m_viewTop >= m_viewBottom) {
        m_viewLeft = m_viewRight = m_viewTop = m_viewBottom = 0;
        return;
    }
    // The scaled pixels shown: columns [firstScaled, lastScaled], and rows alike.
    const std::int64_t firstScaledColumn = m_viewLeft - g.left;
    const std::int64_t lastScaledColumn = m_viewRight - 1 - g.left;
    const std::int64_t firstScaledRow = m_viewTop - g.top;
    const std::int64_t lastScaledRow = m_viewBottom - 1 - g.top;
    if (!averaged) {
        m_firstColumn = firstScaledColumn / g.block;
        m_firstRow = firstScaledRow / g.block;
        m_columnsWanted = lastScaledColumn / g.block + 1;
        m_rowsWanted = lastScaledRow / g.block + 1;
        return;
    }
    // Scaled column i covers [i W, (i + 1) W) in units where source column x
    // covers [x w, (x + 1) w).
    m_firstColumn = firstScaledColumn * g.sourceWidth / g.scaledWidth;
    m_firstRow = firstScaledRow * g.sourceHeight / g.scaledHeight;
    m_columnsWanted = ceilingQuotient((lastScaledColumn + 1) * g.sourceWidth, g.scaledWidth);
    m_rowsWanted = ceilingQuotient((lastScaledRow + 1) * g.sourceHeight, g.scaledHeight);
    m_sums.assign(std::size_t(screenPixels) * channels, 0);
    m_rowSums.assign(std::size_t(m_viewRight - m_viewLeft + 2) * channels, 0);
}

void SourceViewBuilder::addPixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                                  std::span<const std::uint8_t> rgba)
{
    if (y < m_firstRow || y >= m_rowsWanted || x0 < 0 || x0 >= m_columnsWanted || step < 1)
        return;
    if (m_geometry.block == 0)
        addAveragedPixels(y, x0, step, rgba);
    else
        addBlockPixels(y, x0, step, rgba);
}

void SourceViewBuilder::addBlockPixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                                       std::span<const std::uint8_t> rgba)
{
    const std::int64_t block = m_geometry.block;
    const std::int64_t count = std::int64_t(rgba.size() / 4);
    const int firstRow = int(std::max<std::int64_t>(m_viewTop, m_geometry.top + y * block));
    const int endRow = int(std::min<std::int64_t>(m_viewBottom, m_geometry.top + (y + 1) * block));
    for (int viewX = m_viewLeft; viewX < m_viewRight; ++viewX) {
        const std::int64_t x = (viewX - m_geometry.left) / block;
        if (x < x0 || (x - x0) % step != 0)
            continue;
        const std::int64_t i = (x - x0) / step;
        if (i >= count)
            break;
        const Rgb pixel = onWhite(&rgba[std::size_t(i) * 4]);
        const Colour colour = colourFromRgb(pixel.red, pixel.green, pixel.blue);
        for (int viewY = firstRow; viewY < endRow; ++viewY)
            m_view[std::size_t(pixelIndex(viewX, viewY))] = colour;
    }
}

void SourceViewBuilder::addAveragedPixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                                          std::span<const std::uint8_t> rgba)
{
    const std::int64_t sourceWidth = m_geometry.sourceWidth;
    const std::int64_t scaledWidth = m_geometry.scaledWidth;
    const std::int64_t scaledHeight = m_geometry.scaledHeight;

    // Source row y covers [y h, (y + 1) h) and scaled row j [j H, (j + 1) H):
    // the row reaches one scaled row, or two when it straddles their border.
    const std::int64_t rowStart = y * scaledHeight;
    const std::int64_t scaledRow = rowStart / m_geometry.sourceHeight;
    const std::int64_t upperShare =
        std::min(rowStart + scaledHeight, (scaledRow + 1) * m_geometry.sourceHeight) - rowStart;
    const std::int64_t upperViewRow = scaledRow + m_geometry.top;
    const std::int64_t lowerViewRow = upperViewRow + 1;
    const bool upperShown = upperViewRow >= m_viewTop && upperViewRow < m_viewBottom;
    const bool lowerShown =
        upperShare < scaledHeight && lowerViewRow >= m_viewTop && lowerViewRow < m_viewBottom;
    if (!upperShown && !lowerShown)
        return;

    const std::int64_t count =
        std::min(std::int64_t(rgba.size() / 4), ceilingQuotient(m_columnsWanted - x0, step));
    std::int64_t i = x0 >= m_firstColumn ? 0 : ceilingQuotient(m_firstColumn - x0, step);
    if (i >= count)
        return;
    std::fill(m_rowSums.begin(), m_rowSums.end(), 0);
    // m_rowSums starts at the scaled column left of the first one shown.
    const std::int64_t firstSumColumn = m_viewLeft - m_geometry.left - 1;
    // Source column x covers [x w, (x + 1) w): within one scaled column, or
    // across the border into the next (w ≤ W, so never further). A pixel
    // wholly inside its scaled column shares all of its w units with it, so
    // those pixels are only added up, in `inside`, and multiplied by w once
    // the row moves on to the next column: the same sums, with far less work
    // for each of the many pixels of a large picture.
    std::int64_t start = (x0 + i * step) * scaledWidth;
    const std::int64_t stride = step * scaledWidth;
    std::int64_t column = start / sourceWidth;
    std::int64_t columnEnd = (column + 1) * sourceWidth;
    std::array<std::int64_t, channels> inside{};
    const auto addInside = [&] {
        std::int64_t* sums = &m_rowSums[std::size_t(column - firstSumColumn) * channels];
        for (int c = 0; c < channels; ++c)
            sums[c] += inside[std::size_t(c)] * scaledWidth;
        inside.fill(0);
    };
    for (; i < count; ++i, start += stride) {
        const Rgb pixel = onWhite(&rgba[std::size_t(i) * 4]);
        const std::int64_t red = linearBelowWhite[std::size_t(pixel.red)];
        const std::int64_t green = linearBelowWhite[std::size_t(pixel.green)];
        const std::int64_t blue = linearBelowWhite[std::size_t(pixel.blue)];
        if (start >= columnEnd) {
            addInside();
            while (start >= columnEnd) {
                ++column;
                columnEnd += sourceWidth;
            }
        }
        if (start + scaledWidth <= columnEnd) {
            inside[0] += red;
            inside[1] += green;
            inside[2] += blue;
            continue;
        }
        std::int64_t* sums = &m_rowSums[std::size_t(column - firstSumColumn) * channels];
        const std::int64_t share = columnEnd - start;
        const std::int64_t rest = scaledWidth - share;
        sums[0] += red * share;
        sums[1] += green * share;
        sums[2] += blue * share;
        sums[3] += red * rest;
        sums[4] += green * rest;
        sums[5] += blue * rest;
    }
    addInside();
    if (upperShown)
        addRowSums(upperViewRow, upperShare);
    if (lowerShown)
        addRowSums(lowerViewRow, scaledHeight - upperShare);
}

void SourceViewBuilder::addRowSums(std::int64_t viewRow, std::int64_t weight)
{
    // m_rowSums[channels] is the first shown column's.
    const std::int64_t* rowSums = &m_rowSums[channels];
    std::int64_t* sums = &m_sums[sumIndex(m_viewLeft, viewRow)];
    const std::size_t values = std::size_t(m_viewRight - m_viewLeft) * channels;
    for (std::size_t k = 0; k < values; ++k)
        sums[k] += rowSums[k] * weight;
}

SourceView SourceViewBuilder::view() const
{
    if (m_geometry.block != 0 || m_sums.empty())
        return m_view;
    SourceView view;
    view.fill(colours::white);
    // Every scaled pixel covers W × H units of area.
    const std::int64_t area = m_geometry.sourceWidth * m_geometry.sourceHeight;
    const std::int64_t white = std::int64_t{linearWhite} * area;
    for (int viewY = m_viewTop; viewY < m_viewBottom; ++viewY) {
        for (int viewX = m_viewLeft; viewX < m_viewRight; ++viewX) {
            const std::int64_t* sums = &m_sums[sumIndex(viewX, viewY)];
            view[std::size_t(pixelIndex(viewX, viewY))] =
                colourFromRgb(srgbOfLinearAverage(white + sums[0], area),
                              srgbOfLinearAverage(white + sums[1], area),
                              srgbOfLinearAverage(white + sums[2], area));
        }
    }
    return view;
}
