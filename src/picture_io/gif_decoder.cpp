#include "picture_io/buffered_input.h"
#include "picture_io/decoder_messages.h"
#include "picture_io/decoders.h"

#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr const char* formatGif = "GIF";

// Extensions before the first image (comments, application data such as XMP,
// the animation's loop count) may take this much; a stream that goes on with
// them past it is damaged.
constexpr std::uint64_t extensionAllowance = std::uint64_t{64} * 1024 * 1024;
// LZW codes are at most 12 bits and every code but a clear code yields at
// least one pixel, so even an encoder that clears the table after every pixel
// needs under three bytes a pixel. A stream that goes on without giving pixels
// (clear codes forever) stops at this bound, counted for each row as it is
// decoded, plus a little for the sub-block framing and the end.
constexpr std::uint64_t bytesPerPixel = 3;
constexpr std::uint64_t codeSlack = 64 * 1024;
// giflib reads a record or a sub-block a few bytes at a time, and each read
// costs about the same however few bytes it takes; it counts as at least this
// many, so that endless empty extensions or one-byte sub-blocks stop long
// before their bytes alone would.
constexpr int minReadCharge = 16;

// The colours exactly as the toolkit's reader gave them: an index beyond the
// colour table is white, except that without any table an index within the
// stated size is black; the transparent index keeps its colour under alpha 0;
// a picture without a transparent index is opaque everywhere, even where an
// index beyond the table would otherwise be clear.
class GifColours
{
public:
    // `tableSize` is the size the descriptor states, which counts even where
    // the table itself is missing.
    GifColours(const ColorMapObject* map, int tableSize, int transparentIndex)
        : m_map(map), m_size(tableSize), m_transparent(transparentIndex)
    {}

    Rgba operator()(int index) const
    {
        const std::uint8_t alpha = m_transparent >= 0 ? 0 : 255;
        Rgba colour{255, 255, 255, alpha};
        if (index <= m_size && m_map == nullptr) {
            colour = {0, 0, 0, alpha};
        } else if (index < m_size && index < m_map->ColorCount) {
            const GifColorType& entry = m_map->Colors[index];
            colour = {entry.Red, entry.Green, entry.Blue, 255};
        }
        if (index == m_transparent)
            colour.alpha = 0;
        return colour;
    }

private:
    const ColorMapObject* m_map;
    int m_size;
    int m_transparent;
};

struct GifDecoding
{
    GifDecoding(ByteSource& source, RowSink& rowSink) : input(source), sink(rowSink) {}

    BufferedInput input;
    RowSink& sink;
    bool inputFailed = false;
};

int gifRead(GifFileType* gif, GifByteType* buffer, int length)
{
    auto* decoding = static_cast<GifDecoding*>(gif->UserData);
    if (length <= 0)
        return 0;
    if (length < minReadCharge)
        decoding->input.charge(std::uint64_t(minReadCharge - length));
    if (!decoding->input.readExactly(std::span(buffer, std::size_t(length)))) {
        decoding->inputFailed = true;
        return 0;
    }
    return length;
}

struct GifCloser
{
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

// Frame rows in the order the file stores them: the four passes of an
// interlaced frame, or top down.
std::int64_t frameRowAt(std::int64_t order, std::int64_t height, bool interlaced)
{
    if (!interlaced)
        return order;
    struct Pass
    {
        std::int64_t start, step;
    };
    static constexpr Pass passes[] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    for (const Pass& pass : passes) {
        const std::int64_t rows =
            height > pass.start ? (height - pass.start + pass.step - 1) / pass.step : 0;
        if (order < rows)
            return pass.start + order * pass.step;
        order -= rows;
    }
    return -1;
}

Result<void> failure(const GifDecoding& decoding)
{
    if (decoding.inputFailed)
        return inputFailure(decoding.input, formatGif);
    return damagedPicture(formatGif);
}

// What a graphic control extension says of the image after it.
struct FrameControl
{
    int transparentIndex = -1;
    // 2: the frame's area goes back to the background before the next frame;
    // 3: back to what it showed before the frame; otherwise the frame stays.
    int disposal = 0;
};

// Reads records up to the next image descriptor, taking what its graphic
// control extension says (the last one before the image counts, as in the
// toolkit's reader). False at the end of the stream.
Result<bool> nextImage(GifFileType* gif, GifDecoding& decoding, FrameControl& control)
{
    decoding.input.setBudgetEnd(decoding.input.charged() + extensionAllowance);
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR)
            return failure(decoding);
        switch (record) {
        case IMAGE_DESC_RECORD_TYPE:
            if (DGifGetImageHeader(gif) == GIF_ERROR)
                return failure(decoding);
            return true;
        case EXTENSION_RECORD_TYPE: {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                return failure(decoding);
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
                control.transparentIndex = (block[1] & 1) != 0 ? block[4] : -1;
                control.disposal = (block[1] >> 2) & 7;
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                    return failure(decoding);
            }
            break;
        }
        default: // the terminator
            return false;
        }
    }
}

// Decodes every row of the current frame, handing each, in the order the file
// holds them, to `row(frameRow, indices)`; stops early once `enough()` holds.
// Each row may take a bounded number of bytes, so a stream of codes that gives
// no pixels ends soon.
template<typename Row, typename Enough>
Result<void> decodeFrameRows(GifFileType* gif, GifDecoding& decoding, Row row, Enough enough)
{
    const GifImageDesc& frame = gif->Image;
    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    const std::uint64_t dataStart = decoding.input.charged();
    for (std::int64_t order = 0; order < frame.Height && !enough(); ++order) {
        decoding.input.setBudgetEnd(dataStart + codeSlack +
                                    bytesPerPixel * std::uint64_t(frame.Width) *
                                        std::uint64_t(order + 1));
        if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR)
            return failure(decoding);
        row(frameRowAt(order, frame.Height, frame.Interlace), std::span<const GifPixelType>(line));
    }
    return {};
}

// The colours of the current frame: its own table, or the screen's.
GifColours frameColours(const GifFileType* gif, int globalSize, int transparentIndex)
{
    const ColorMapObject* local = gif->Image.ColorMap;
    return local != nullptr ? GifColours(local, local->ColorCount, transparentIndex)
                            : GifColours(gif->SColorMap, globalSize, transparentIndex);
}

// The wanted part of the screen, kept from frame to frame of an animation.
class Screen
{
public:
    Screen(std::int64_t columns, std::int64_t rows, Rgba background)
        : m_columns(columns), m_rows(rows), m_background(background),
          m_pixels(std::size_t(columns * rows), background)
    {}

    std::int64_t columns() const { return m_columns; }
    std::int64_t rows() const { return m_rows; }
    Rgba& at(std::int64_t x, std::int64_t y) { return m_pixels[std::size_t(y * m_columns + x)]; }
    std::span<const Rgba> row(std::int64_t y) const
    {
        return std::span(m_pixels).subspan(std::size_t(y * m_columns), std::size_t(m_columns));
    }

    // The part of a frame's rectangle that lies on this screen.
    struct Area
    {
        std::int64_t left, top, right, bottom;
    };
    Area clip(const GifImageDesc& frame) const
    {
        return {std::min<std::int64_t>(frame.Left, m_columns),
                std::min<std::int64_t>(frame.Top, m_rows),
                std::min<std::int64_t>(std::int64_t{frame.Left} + frame.Width, m_columns),
                std::min<std::int64_t>(std::int64_t{frame.Top} + frame.Height, m_rows)};
    }
    std::vector<Rgba> copy(const Area& area) const
    {
        std::vector<Rgba> kept;
        for (std::int64_t y = area.top; y < area.bottom; ++y)
            for (std::int64_t x = area.left; x < area.right; ++x)
                kept.push_back(m_pixels[std::size_t(y * m_columns + x)]);
        return kept;
    }
    void restore(const Area& area, const std::vector<Rgba>& kept)
    {
        std::size_t i = 0;
        for (std::int64_t y = area.top; y < area.bottom; ++y)
            for (std::int64_t x = area.left; x < area.right; ++x)
                at(x, y) = kept[i++];
    }
    void clear(const Area& area)
    {
        for (std::int64_t y = area.top; y < area.bottom; ++y)
            for (std::int64_t x = area.left; x < area.right; ++x)
                at(x, y) = m_background;
    }

private:
    std::int64_t m_columns;
    std::int64_t m_rows;
    Rgba m_background;
    std::vector<Rgba> m_pixels;
};

// Every frame of an animation, each drawn over what the frames before it left
// as the format says (a frame's transparent pixels show what lies beneath,
// and its disposal decides what the next frame is drawn over), and delivered
// whole. The first frame is the very picture a sink of one frame gets.
//
// Decoding a frame costs what its pixels cost however few land on the screen,
// so the frames together may hold no more pixels than one picture may; the
// sink bounds what it keeps.
Result<void> decodeFrames(GifFileType* gif, GifDecoding& decoding, RowSink& sink,
                          PictureSize screenSize, Screen& screen, int globalSize,
                          FrameControl control)
{
    std::int64_t framePixels = 0;
    for (bool first = true;; first = false) {
        const GifImageDesc& frame = gif->Image;
        framePixels += std::int64_t{frame.Width} * frame.Height;
        if (exceedsPixelLimit(frame.Width, frame.Height) || framePixels > maxPicturePixels)
            return pictureTooLarge(frame.Width, frame.Height);
        if (!first) {
            if (!sink.wantsAnotherFrame())
                return {};
            sink.start(screenSize);
        }

        const GifColours colours = frameColours(gif, globalSize, control.transparentIndex);
        const Screen::Area area = screen.clip(frame);
        const std::vector<Rgba> before =
            control.disposal == 3 ? screen.copy(area) : std::vector<Rgba>();
        const Result<void> decoded = decodeFrameRows(
            gif, decoding,
            [&](std::int64_t frameRow, std::span<const GifPixelType> indices) {
                const std::int64_t y = frame.Top + frameRow;
                if (y >= area.bottom)
                    return;
                for (std::int64_t x = area.left; x < area.right; ++x) {
                    const int index = indices[std::size_t(x - frame.Left)];
                    if (index != control.transparentIndex)
                        screen.at(x, y) = colours(index);
                }
            },
            [] { return false; });
        if (!decoded)
            return decoded;
        for (std::int64_t y = 0; y < screen.rows(); ++y)
            sink.pixels(y, 0, 1, screen.row(y));

        if (control.disposal == 2)
            screen.clear(area);
        else if (control.disposal == 3)
            screen.restore(area, before);
        control = {};
        const Result<bool> next = nextImage(gif, decoding, control);
        if (!next)
            return fail(next.error());
        if (!*next)
            return {};
    }
}

} // namespace

Result<void> decodeGif(ByteSource& source, RowSink& sink)
{
    GifDecoding decoding(source, sink);

    // The size of the global colour table as the screen descriptor states it;
    // the library keeps it only when the table is there.
    constexpr std::size_t screenDescriptorEnd = 13;
    decoding.input.setBudgetEnd(extensionAllowance);
    if (!decoding.input.ensure(screenDescriptorEnd))
        return inputFailure(decoding.input, formatGif);
    const int globalSize = 2 << (decoding.input.available()[10] & 7);

    int error = 0;
    const GifFile gif(DGifOpen(&decoding, gifRead, &error));
    if (!gif)
        return failure(decoding);

    FrameControl control;
    const Result<bool> found = nextImage(gif.get(), decoding, control);
    if (!found)
        return fail(found.error());
    if (!*found) // the end, before any image
        return damagedPicture(formatGif);

    const GifImageDesc& frame = gif->Image;
    const std::int64_t left = frame.Left;
    const std::int64_t top = frame.Top;
    const std::int64_t frameWidth = frame.Width;
    const std::int64_t frameHeight = frame.Height;
    // A screen of size 0 takes the frame's extent, offset included.
    const std::int64_t width = gif->SWidth > 0 ? gif->SWidth : left + frameWidth;
    const std::int64_t height = gif->SHeight > 0 ? gif->SHeight : top + frameHeight;
    if (width <= 0 || height <= 0)
        return damagedPicture(formatGif);
    if (exceedsPixelLimit(width, height))
        return pictureTooLarge(width, height);
    // The frame is decoded in whole rows, and an interlaced one through all
    // but its last pass before the corner is complete, however little of it
    // lands on the screen: a 3 MB frame of 65535 × 65535 on a small screen
    // took five seconds. A frame larger than any picture is refused as one.
    if (exceedsPixelLimit(frameWidth, frameHeight))
        return pictureTooLarge(frameWidth, frameHeight);

    const ColorMapObject* global = gif->SColorMap;
    const GifColours colours = frameColours(gif.get(), globalSize, control.transparentIndex);
    // Where the frame leaves the screen uncovered: the transparent colour, or
    // the background colour of the global table, or else opaque black. (The
    // toolkit took these from a local table that it had not read yet; the
    // global one is what the format means.)
    Rgba background{0, 0, 0, 255};
    if (control.transparentIndex >= 0)
        background =
            GifColours(global, globalSize, control.transparentIndex)(control.transparentIndex);
    else if (global != nullptr)
        background = GifColours(global, globalSize, -1)(gif->SBackGroundColor);

    sink.start({width, height});
    const std::int64_t rows = std::min(height, sink.rowsWanted());
    const std::int64_t columns = std::min(width, sink.columnsWanted());
    if (rows <= 0 || columns <= 0)
        return {};

    if (sink.takesFrames()) {
        Screen screen(columns, rows, background);
        return decodeFrames(gif.get(), decoding, sink, {width, height}, screen, globalSize,
                            control);
    }

    // The frame's pixels that land on the wanted part of the screen.
    const std::int64_t frameColumns = std::clamp(columns - left, std::int64_t{0}, frameWidth);
    const std::int64_t frameRowsWanted = std::clamp(rows - top, std::int64_t{0}, frameHeight);
    std::vector<Rgba> pixels(std::size_t(columns), background);
    const auto deliverBackground = [&](std::int64_t y) {
        std::fill(pixels.begin(), pixels.end(), background);
        sink.pixels(y, 0, 1, pixels);
    };

    // Rows of screen the frame does not reach come first, then the frame's
    // rows as the file holds them.
    for (std::int64_t y = 0; y < rows; ++y) {
        if (y < top || y >= top + frameHeight)
            deliverBackground(y);
    }
    if (frameRowsWanted == 0 || frameWidth == 0)
        return {};

    std::int64_t delivered = 0;
    return decodeFrameRows(
        gif.get(), decoding,
        [&](std::int64_t frameRow, std::span<const GifPixelType> indices) {
            if (frameRow >= frameRowsWanted)
                return;
            std::fill(pixels.begin(), pixels.end(), background);
            for (std::int64_t i = 0; i < frameColumns; ++i)
                pixels[std::size_t(left + i)] = colours(indices[std::size_t(i)]);
            sink.pixels(top + frameRow, 0, 1, pixels);
            ++delivered;
        },
        [&] { return delivered >= frameRowsWanted; });
}
