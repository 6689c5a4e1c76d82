// The streaming picture reader from bytes, as the windows and dotwright-cli
// read files: whatever the bytes claim, it answers with a corner of at most
// 128 × 64 pixels or with one of its one-line reasons, and the corner drawn
// onto white leaves the rest of the area white. Read again by a sink that
// takes every frame of an animation, each frame keeps the first one's size,
// comes after a start of its own and delivers only the pixels asked for.

#include "picture_io/byte_source.h"
#include "picture_io/picture_on_background.h"
#include "picture_io/picture_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

class FrameSink final : public RowSink
{
public:
    void start(PictureSize delivered) override
    {
        if (m_frames > 0 && delivered != m_size)
            std::abort();
        m_size = delivered;
        ++m_frames;
    }
    std::int64_t rowsWanted() const override { return 64; }
    std::int64_t columnsWanted() const override { return 128; }
    void pixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                std::span<const Rgba> pixels) override
    {
        if (m_frames == 0 || y < 0 || y >= m_size.height || x0 < 0 || step < 1 ||
            x0 + std::int64_t(pixels.size() - 1) * step >= m_size.width)
            std::abort();
    }
    bool takesFrames() const override { return true; }
    bool wantsAnotherFrame() override { return m_frames < 64; }

private:
    PictureSize m_size;
    int m_frames = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MemorySource frames(std::span(data, size));
    FrameSink frameSink;
    (void)readPicture(frames, frameSink);

    MemorySource source(std::span(data, size));
    const Result<PictureCorner> corner = readPictureCorner(source, 128, 64);
    if (!corner) {
        const std::string_view why = corner.error().why;
        if (!why.starts_with("damaged or unsupported ") &&
            !why.starts_with("picture is too large (") && why != "file is empty" &&
            why != "not a picture Dotwright can read")
            std::abort();
        return 0;
    }
    if (corner->width < 1 || corner->width > 128 || corner->height < 1 || corner->height > 64 ||
        corner->pixels.size() != std::size_t(corner->width) * std::size_t(corner->height))
        std::abort();
    const std::vector<Colour> shown = pictureOnBackground(*corner, 128, 64, colours::white);
    if (shown.size() != 128 * 64)
        std::abort();
    if (corner->width < 128 && shown[127] != colours::white)
        std::abort();
    if (corner->height < 64 && shown[63 * 128] != colours::white)
        std::abort();
    return 0;
}
