#pragma once

#include <cstdint>

// Where a picture goes on the 128 × 64 screen before it is converted: the
// "source view". Every position here is a whole number, worked out in 64-bit
// integers, so the windows and the command-line tool place each picture alike.

enum class Placement {
    // The 128 × 64 pixels at an offset into the picture, unscaled, on white
    // where the picture ends. At offset 0, 0 this is the top-left corner.
    Corner,
    // The whole picture, scaled to lie inside the screen, centred on white.
    Fit,
    // The picture scaled to cover the screen, centred, its overhang cut off.
    Fill,
};

struct ViewOptions
{
    Placement placement = Placement::Corner;
    // Corner only: the picture pixel shown at the view's top-left corner.
    // Negative values count as 0.
    std::int64_t x = 0;
    std::int64_t y = 0;
    friend bool operator==(const ViewOptions&, const ViewOptions&) = default;
};

// How a W × H picture maps onto the view. The picture is first brought to its
// scaled size w × h, then placed with its top-left pixel at view position
// (left, top); view pixels that it does not cover are white.
//
// For a scale factor s = min(128 / W, 64 / H) (fit) or max(…) (fill):
// - s ≥ 1, and always for Corner: enlarged by the whole factor block = k
//   (floor(s) for fit, ceil(s) for fill, 1 for Corner), each pixel becoming a
//   k × k block: scaled pixel (u, v) is source pixel (u / k, v / k).
// - s < 1: block = 0, w = max(1, round(W s)), h = max(1, round(H s)), halves
//   rounded up, worked out as fractions so that a picture twice as wide as
//   high fits to exactly 128 × 64. Scaled pixel (i, j) is the area-weighted
//   average of the source rectangle [i W / w, (i + 1) W / w) × [j H / h,
//   (j + 1) H / h), in linear light.
// Fit centres the scaled picture: left = (128 - w) / 2, top = (64 - h) / 2.
// Fill starts the view at scaled column (w - 128) / 2 and row (h - 64) / 2,
// so an odd overhang loses its extra pixel on the right or at the bottom.
// Corner shows the picture from column x and row y: left = -x, top = -y.
struct ViewGeometry
{
    // The picture as it is read: W × H. A JPEG decoded at a reduced size keeps
    // the w, h, left and top of its full size, and only these change (see
    // decodingReduction).
    std::int64_t sourceWidth = 0;
    std::int64_t sourceHeight = 0;
    std::int64_t scaledWidth = 0;
    std::int64_t scaledHeight = 0;
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t block = 1;
    friend bool operator==(const ViewGeometry&, const ViewGeometry&) = default;
};

// A picture wider or higher than this (none that is read comes near it) maps
// to an empty view, all white, as does one of no pixels.
inline constexpr std::int64_t maxViewSourceSide = std::int64_t{1} << 31;

ViewGeometry viewGeometry(const ViewOptions& options, std::int64_t width, std::int64_t height);

// How many times smaller (1, 2, 4 or 8, each side divided and rounded up, as
// libjpeg's reduced-size decoding gives it) a picture may be decoded for this
// view: the largest reduction that keeps it at least twice the scaled size in
// both directions, so that each view pixel still averages at least 2 × 2 of
// the reduced pixels. 1 when the picture is not scaled down.
int decodingReduction(const ViewOptions& options, std::int64_t width, std::int64_t height);

// The geometry of `full` (the picture's stored size) for that picture decoded
// at `reducedWidth` × `reducedHeight`: the same scaled size and placement, the
// source extent divided evenly as before. When the reduced size cannot serve
// (it is not at least the scaled size), the geometry of the reduced picture
// itself.
ViewGeometry reducedGeometry(const ViewGeometry& full, const ViewOptions& options,
                             std::int64_t reducedWidth, std::int64_t reducedHeight);
