#pragma once

#include "core/result.h"
#include "picture_io/byte_source.h"
#include "picture_io/row_sink.h"

#include <cstdint>
#include <string>
#include <vector>

// The largest picture, in pixels, that is decoded at all; its size is read
// from the header first, so a bigger picture (or a header that merely claims
// to be one) is refused at once, with "picture is too large (W × H pixels)".
inline constexpr std::int64_t maxPicturePixels = std::int64_t{64} * 1024 * 1024;

// A progressive JPEG must hold all of its coefficients until its last scan;
// above this it is refused as too large (about 40 megapixels in colour).
inline constexpr std::int64_t maxJpegCoefficientBytes = std::int64_t{256} * 1024 * 1024;

enum class PictureFormat { Bmp, Gif, Jpeg, Ico, Png };

// "BMP", "GIF", "JPEG", "ICO", "PNG": as the messages name them.
const char* formatName(PictureFormat format);

// Reads the picture in `source` from its current position and delivers its
// pixels to `sink`. The format is decided by the content, never by a name.
// Only the first image of a file that holds several (animated GIF, icon) is
// read, and pixels are taken as stored (no orientation tag is applied).
// Failures, one line each:
//   "file is empty"
//   "not a picture Dotwright can read"
//   "damaged or unsupported PNG picture" (BMP, GIF, JPEG, ICO alike)
//   "picture is too large (100000 × 100000 pixels)"
// Every input, however hostile, is read or refused in bounded time and memory.
Result<void> readPicture(ByteSource& source, RowSink& sink);

// The top-left corner of a picture, unscaled: at most the size asked for,
// row by row from the top. Pixels the file does not set are transparent.
struct PictureCorner
{
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels; // width * height

    Rgba at(int x, int y) const
    {
        return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
};

Result<PictureCorner> readPictureCorner(ByteSource& source, int maxWidth, int maxHeight);
