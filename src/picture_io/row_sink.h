#pragma once

#include <cstdint>
#include <span>

// One decoded pixel, not premultiplied: alpha 0 is fully transparent, 255
// opaque. Formats without transparency give 255 everywhere.
struct Rgba
{
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

struct PictureSize
{
    std::int64_t width = 0;
    std::int64_t height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// Where a decoder delivers a picture's pixels, as they come out of the file,
// so that no decoder holds a whole picture: it keeps one source row (or what
// its format forces on it) and the sink keeps what it needs, the top-left
// corner, or, for a sink that scales, its accumulators.
//
// The calls come in this order: reductionFor (decoders that can decode at a
// reduced size only), start, then pixels any number of times; for a sink that
// takes the frames of an animation, start and pixels again for each frame.
class RowSink
{
public:
    virtual ~RowSink() = default;

    // How many times smaller the sink would take the picture of `stored` size:
    // 1, 2, 4 or 8, each direction divided by it and rounded up, as libjpeg's
    // reduced-size decoding gives it. Decoders that cannot reduce never ask.
    virtual int reductionFor(PictureSize stored) const
    {
        (void)stored;
        return 1;
    }

    // Once, before any pixel: the size of the picture as it will be delivered
    // (the stored size, or the reduced one). Only sizes that passed the
    // decoder's checks (at most maxPicturePixels) arrive here.
    virtual void start(PictureSize delivered) = 0;

    // The rows 0 .. rowsWanted() - 1 and the columns 0 .. columnsWanted() - 1
    // are all the sink needs. A decoder may stop once every pixel of those rows
    // has been delivered, and need not convert the pixels right of them.
    // Rows and columns beyond the picture are simply never delivered.
    virtual std::int64_t rowsWanted() const = 0;
    virtual std::int64_t columnsWanted() const = 0;

    // Pixels of row y (0 is the top row): pixels[i] is the pixel at column
    // x0 + i * step. A plain row comes whole (x0 0, step 1); an interlaced PNG
    // pass delivers every step-th pixel. Rows come in the file's order: top
    // down, bottom up, or pass by pass. Each pixel comes at most once; a pixel
    // that the file never sets (run-length bitmaps may skip pixels) never comes
    // and stays transparent.
    virtual void pixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                        std::span<const Rgba> pixels) = 0;

    // Whether the sink takes every frame of an animated picture (an animated
    // GIF), one after another, rather than the first alone. Each frame is the
    // whole screen as it shows then, each pixel delivered exactly once, after a
    // start() of its own (always the same size). Pictures of one frame, and
    // every other format, deliver one frame to any sink.
    virtual bool takesFrames() const { return false; }
    // Asked before each frame after the first when the sink takes frames;
    // false ends the reading there, as a success: the sink says why it stopped.
    virtual bool wantsAnotherFrame() { return true; }
};
