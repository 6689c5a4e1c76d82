#include "picture_io/picture_reader.h"

#include "picture_io/decoder_failure.h"
#include "picture_io/decoders.h"
#include "picture_io/dib.h"
#include "picture_io/window_source.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace {

// Enough of the start of a file to tell every format by it (an icon's
// directory with its first entry is the longest).
constexpr std::size_t sniffedBytes = 22;

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view prefix)
{
    return bytes.size() >= prefix.size() &&
           std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

// Icons have no signature; these are the toolkit's checks of the directory
// and its first entry, so that the same files count as icons.
bool looksLikeIcon(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < sniffedBytes)
        return false;
    const std::uint16_t type = dib::le16(&bytes[2]);
    const std::uint16_t planes = dib::le16(&bytes[10]);
    const std::uint16_t bits = dib::le16(&bytes[12]);
    return dib::le16(&bytes[0]) == 0 && (type == 1 || type == 2) && bytes[9] == 0 &&
           (planes <= 1 || type == 2) && (bits <= 32 || type == 2) && dib::le32(&bytes[14]) >= 40;
}

std::optional<PictureFormat> formatOf(std::span<const std::uint8_t> bytes)
{
    using namespace std::string_view_literals;
    if (startsWith(bytes, "\x89PNG\r\n\x1A\n"sv))
        return PictureFormat::Png;
    if (startsWith(bytes, "GIF87a"sv) || startsWith(bytes, "GIF89a"sv))
        return PictureFormat::Gif;
    if (startsWith(bytes, "\xFF\xD8"sv))
        return PictureFormat::Jpeg;
    if (startsWith(bytes, "BM"sv))
        return PictureFormat::Bmp;
    if (looksLikeIcon(bytes))
        return PictureFormat::Ico;
    return std::nullopt;
}

// Passes everything on and notes whether the decoder started a picture: one
// that reports success without a picture read a damaged file.
class StartedSink final : public RowSink
{
public:
    explicit StartedSink(RowSink& sink) : m_sink(sink) {}

    int reductionFor(PictureSize stored) const override { return m_sink.reductionFor(stored); }
    void start(PictureSize delivered) override
    {
        m_started = true;
        m_sink.start(delivered);
    }
    std::int64_t rowsWanted() const override { return m_sink.rowsWanted(); }
    std::int64_t columnsWanted() const override { return m_sink.columnsWanted(); }
    void pixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                std::span<const Rgba> pixels) override
    {
        m_sink.pixels(y, x0, step, pixels);
    }
    bool takesFrames() const override { return m_sink.takesFrames(); }
    bool wantsAnotherFrame() override { return m_sink.wantsAnotherFrame(); }

    bool started() const { return m_started; }

private:
    RowSink& m_sink;
    bool m_started = false;
};

// Keeps the top-left corner; pixels that never come stay transparent.
class CornerSink final : public RowSink
{
public:
    CornerSink(int maxWidth, int maxHeight)
        : m_maxWidth(std::max(maxWidth, 0)), m_maxHeight(std::max(maxHeight, 0))
    {}

    void start(PictureSize delivered) override
    {
        m_corner.width = int(std::clamp<std::int64_t>(delivered.width, 0, m_maxWidth));
        m_corner.height = int(std::clamp<std::int64_t>(delivered.height, 0, m_maxHeight));
        m_corner.pixels.assign(std::size_t(m_corner.width) * std::size_t(m_corner.height), Rgba{});
    }
    std::int64_t rowsWanted() const override { return m_corner.height; }
    std::int64_t columnsWanted() const override { return m_corner.width; }
    void pixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                std::span<const Rgba> pixels) override
    {
        if (y < 0 || y >= m_corner.height || x0 < 0 || step < 1)
            return;
        Rgba* row = m_corner.pixels.data() + std::size_t(y) * std::size_t(m_corner.width);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const std::int64_t x = x0 + std::int64_t(i) * step;
            if (x >= m_corner.width)
                break;
            row[x] = pixels[i];
        }
    }

    PictureCorner take() { return std::move(m_corner); }

private:
    int m_maxWidth;
    int m_maxHeight;
    PictureCorner m_corner;
};

} // namespace

const char* formatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bmp:
        return "BMP";
    case PictureFormat::Gif:
        return "GIF";
    case PictureFormat::Jpeg:
        return "JPEG";
    case PictureFormat::Ico:
        return "ICO";
    case PictureFormat::Png:
        return "PNG";
    }
    return "";
}

Result<void> readPicture(ByteSource& source, RowSink& sink)
{
    std::array<std::uint8_t, sniffedBytes> head{};
    std::size_t count = 0;
    while (count < head.size()) {
        const Result<std::size_t> got = source.read(std::span(head).subspan(count));
        if (!got)
            return fail(got.error());
        if (*got == 0)
            break;
        count += *got;
    }
    if (count == 0)
        return fail("file is empty");
    const std::optional<PictureFormat> format = formatOf(std::span(head).first(count));
    if (!format)
        return fail("not a picture Dotwright can read");

    // The decoders read the file from its first byte, pipes included.
    WindowSource file(source, std::span(head).first(count));
    StartedSink watched(sink);
    Result<void> decoded;
    switch (*format) {
    case PictureFormat::Bmp:
        decoded = decodeBmp(file, watched);
        break;
    case PictureFormat::Gif:
        decoded = decodeGif(file, watched);
        break;
    case PictureFormat::Jpeg:
        decoded = decodeJpeg(file, watched);
        break;
    case PictureFormat::Ico:
        decoded = decodeIco(file, watched);
        break;
    case PictureFormat::Png:
        decoded = decodePng(file, watched);
        break;
    }
    if (!decoded)
        return fail(asPictureFailure(decoded.error(), *format));
    if (!watched.started())
        return fail(asPictureFailure(Failure{}, *format));
    return {};
}

Result<PictureCorner> readPictureCorner(ByteSource& source, int maxWidth, int maxHeight)
{
    CornerSink corner(maxWidth, maxHeight);
    if (const Result<void> read = readPicture(source, corner); !read)
        return fail(read.error());
    return corner.take();
}
