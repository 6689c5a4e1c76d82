#include "picture_io/decoder_failure.h"
#include "picture_io/decoders.h"
#include "picture_io/dib.h"
#include "picture_io/window_source.h"

#include <algorithm>
#include <array>
#include <vector>

// Windows icons (and cursors): the first image of the directory, which is
// either a PNG file or a bitmap without its file header, twice as high as the
// picture, whose lower half is the AND mask (a set bit: transparent).

namespace {

constexpr std::size_t directoryBytes = 6 + 16;
constexpr std::size_t bitmapHeaderBytes = 40;
// How far ahead of the directory the first image may start; see the bitmap
// decoder's gap.
constexpr std::uint64_t maxGapBytes = std::uint64_t{64} * 1024 * 1024;

constexpr std::array<std::uint8_t, 8> pngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

Result<void> damaged()
{
    return fail("damaged or unsupported ICO picture");
}

struct Image
{
    std::int64_t width = 0;
    std::int64_t height = 0;
    int bits = 0;
    std::uint32_t coloursUsed = 0;
};

// The pixels of the bitmap, bottom up: colour rows, then mask rows. The rows
// the sink wants are kept (at most its corner) until their mask has come.
Result<void> decodeBitmap(ByteSource& source, const Image& image, RowSink& sink)
{
    const int bits = image.bits;
    dib::Palette palette{};
    if (bits <= 8) {
        const std::uint32_t count = image.coloursUsed != 0 ? image.coloursUsed : 1u << bits;
        const Result<dib::Palette> colours = dib::readPalette(source, bits, count, 4);
        if (!colours)
            return damaged();
        palette = *colours;
    }

    sink.start(PictureSize{image.width, image.height});
    const std::int64_t rows = std::clamp<std::int64_t>(sink.rowsWanted(), 0, image.height);
    const std::int64_t columns = std::clamp<std::int64_t>(sink.columnsWanted(), 0, image.width);
    const std::int64_t stride = dib::rowStride(image.width, bits);
    const std::int64_t used = (columns * bits + 7) / 8;
    std::vector<Rgba> kept(std::size_t(rows * columns));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(used));

    // 32-bit icons carry their own alpha, except those written before alpha
    // existed, whose alpha bytes are all 0 and which are drawn through their
    // mask: every alpha byte must be seen to tell.
    bool ownAlpha = false;
    const std::uint64_t unwanted = std::uint64_t(image.height - rows) * std::uint64_t(stride);
    if (bits == 32) {
        const Result<bool> any = dib::anyAlphaIn(source, unwanted);
        if (!any)
            return damaged();
        ownAlpha = *any;
    } else if (!skipForward(source, unwanted)) {
        return damaged();
    }
    for (std::int64_t index = 0; index < rows; ++index) {
        if (!readExactly(source, row))
            return damaged();
        const std::int64_t y = rows - 1 - index;
        const std::span<Rgba> out =
            std::span(kept).subspan(std::size_t(y * columns), std::size_t(columns));
        if (bits <= 8) {
            dib::unpackIndexed(row.data(), bits, palette, out);
        } else {
            const std::size_t bytes = std::size_t(bits / 8);
            for (std::size_t x = 0; x < out.size(); ++x) {
                const std::uint8_t* at = row.data() + x * bytes;
                if (bits == 16) {
                    // 5-5-5, widened so that 31 gives 255 (bitmaps give 248:
                    // two decoders of old, kept as they were).
                    const std::uint32_t value = dib::le16(at);
                    const auto widen = [value](int shift) {
                        const std::uint32_t field = value >> shift & 31;
                        return std::uint8_t(field << 3 | field >> 2);
                    };
                    out[x] = Rgba{widen(10), widen(5), widen(0), 255};
                } else {
                    out[x] = Rgba{at[2], at[1], at[0], bits == 32 ? at[3] : std::uint8_t(255)};
                    ownAlpha = ownAlpha || (bits == 32 && at[3] != 0);
                }
            }
        }
        const std::uint64_t rest = std::uint64_t(stride - used);
        if (bits == 32 && !ownAlpha) {
            const Result<bool> any = dib::anyAlphaIn(source, rest);
            if (!any)
                return damaged();
            ownAlpha = *any;
        } else if (!skipForward(source, rest)) {
            return damaged();
        }
    }

    const std::int64_t maskStride = dib::rowStride(image.width, 1);
    const std::int64_t maskUsed = (columns + 7) / 8;
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(maskUsed));
    if (!skipForward(source, std::uint64_t(image.height - rows) * std::uint64_t(maskStride)))
        return damaged();
    for (std::int64_t index = 0; index < rows; ++index) {
        // The mask must be there even where it is not used, as the toolkit's
        // reader wanted it.
        if (!readExactly(source, mask))
            return damaged();
        if (index + 1 < rows && !skipForward(source, std::uint64_t(maskStride - maskUsed)))
            return damaged();
        const std::int64_t y = rows - 1 - index;
        const std::span<Rgba> out =
            std::span(kept).subspan(std::size_t(y * columns), std::size_t(columns));
        if (!ownAlpha) {
            for (std::size_t x = 0; x < out.size(); ++x) {
                if (mask[x / 8] & (0x80 >> x % 8))
                    out[x] = Rgba{0, 0, 0, 0};
                else if (bits == 32)
                    out[x].alpha = 255;
            }
        }
        sink.pixels(y, 0, 1, out);
    }
    return {};
}

Result<void> decode(ByteSource& source, RowSink& sink)
{
    std::array<std::uint8_t, directoryBytes> directory{};
    if (!readExactly(source, directory))
        return damaged();
    const std::uint16_t type = dib::le16(&directory[2]);
    if (dib::le16(&directory[0]) != 0 || (type != 1 && type != 2) || dib::le16(&directory[4]) == 0)
        return damaged();
    const std::uint8_t* entry = &directory[6];
    const std::uint32_t imageBytes = dib::le32(entry + 8);
    const std::uint32_t offset = dib::le32(entry + 12);
    if (offset < directoryBytes || offset - directoryBytes > maxGapBytes ||
        !skipForward(source, offset - directoryBytes))
        return damaged();

    std::array<std::uint8_t, bitmapHeaderBytes> header{};
    if (!readExactly(source, std::span(header).first(pngSignature.size())))
        return damaged();
    if (std::equal(pngSignature.begin(), pngSignature.end(), header.begin())) {
        WindowSource png(source, std::span(header).first(pngSignature.size()), imageBytes);
        return decodePng(png, sink);
    }
    if (!readExactly(source, std::span(header).subspan(pngSignature.size())))
        return damaged();

    // Sized as the toolkit's reader sized it: by the directory, whose 0 means
    // 256 or more, then by the bitmap header, which counts the mask rows too.
    Image image;
    image.width = entry[0] != 0 ? entry[0] : dib::le32(&header[4]);
    image.height = entry[1] != 0 ? entry[1] : dib::le32(&header[8]) / 2;
    if (const Result<void> size = dib::checkPictureSize(image.width, image.height); !size)
        return size;
    const std::uint16_t headerBits = dib::le16(&header[14]);
    image.bits = headerBits != 0 ? headerBits : dib::le16(entry + 6);
    image.coloursUsed = dib::le32(&header[32]);
    if (image.width == 0 || image.height == 0 ||
        (image.bits != 1 && image.bits != 4 && image.bits != 8 && image.bits != 16 &&
         image.bits != 24 && image.bits != 32))
        return damaged();
    // The palette and the pixels follow the first 40 bytes of the header,
    // whatever size it claims, as in every icon writer's files.
    return decodeBitmap(source, image, sink);
}

} // namespace

Result<void> decodeIco(ByteSource& source, RowSink& sink)
{
    if (Result<void> decoded = decode(source, sink); !decoded)
        return fail(asPictureFailure(decoded.error(), PictureFormat::Ico));
    return {};
}
