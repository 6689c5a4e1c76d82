#pragma once

#include "core/screen.h"
#include "core/view_geometry.h"

#include <cstdint>
#include <span>
#include <vector>

// A channel of a pixel drawn over white: alpha 0 shows the white, 255 the
// pixel, anything between blends them, rounded to the nearest value, as
// pictures are drawn on a background everywhere else.
inline constexpr int compositeOnWhite(int value, int alpha)
{
    return blendChannel(value, 255, alpha);
}

// The largest picture, in pixels, that the view may average down; the sums
// of its linear values stay well inside 64 bits.
inline constexpr std::int64_t maxAveragedPixels = std::int64_t{1} << 36;

// Builds the source view of one picture from its pixels as they stream in, in
// any order (top down, bottom up, pass by pass), keeping only the 128 × 64
// view, or, when scaling down, one 64-bit sum per channel and view pixel and
// one view row of sums besides. Every pixel is drawn over white first, and a
// pixel that never comes counts as transparent, so white.
//
// Scaling down adds up each source pixel's linear light times the area it
// shares with a view pixel, in whole units (a source column is w units wide, a
// view column W units), so the sums are exact and the result does not depend
// on the order the pixels arrive in.
class SourceViewBuilder
{
public:
    // A geometry that scales down a picture of more than maxAveragedPixels
    // gives an all-white view; the picture reader never delivers one.
    explicit SourceViewBuilder(const ViewGeometry& geometry);

    // Source rows 0 .. rowsWanted() - 1 and columns 0 .. columnsWanted() - 1
    // hold every pixel that shows in the view.
    std::int64_t rowsWanted() const { return m_rowsWanted; }
    std::int64_t columnsWanted() const { return m_columnsWanted; }

    // Pixels of source row y, four bytes each (red, green, blue, alpha; not
    // premultiplied): pixel i is at column x0 + i * step. Each source pixel
    // should come at most once; pixels outside the picture are ignored.
    void addPixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                   std::span<const std::uint8_t> rgba);

    // Colour numbers, row by row from the top.
    SourceView view() const;

    const ViewGeometry& geometry() const { return m_geometry; }

private:
    void addBlockPixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                        std::span<const std::uint8_t> rgba);
    void addAveragedPixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                           std::span<const std::uint8_t> rgba);
    void addRowSums(std::int64_t viewRow, std::int64_t weight);

    ViewGeometry m_geometry;
    // The view pixels that show the picture: [m_viewLeft, m_viewRight) ×
    // [m_viewTop, m_viewBottom); the rest stay white.
    int m_viewLeft = 0;
    int m_viewRight = 0;
    int m_viewTop = 0;
    int m_viewBottom = 0;
    std::int64_t m_rowsWanted = 0;
    std::int64_t m_columnsWanted = 0;

    // Enlarging (block ≥ 1): the view itself.
    SourceView m_view;

    // Scaling down: the first source row and column that reach a shown view
    // pixel; per channel and view pixel, the sum of (linear value - white) ×
    // area, so that pixels never delivered count as white; and the sums of
    // one source row per view column, from the column left of the first
    // shown one to the column right of the last.
    std::int64_t m_firstRow = 0;
    std::int64_t m_firstColumn = 0;
    std::vector<std::int64_t> m_sums;
    std::vector<std::int64_t> m_rowSums;
};
