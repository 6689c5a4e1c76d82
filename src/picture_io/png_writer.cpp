#include "picture_io/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <utility>

namespace {

constexpr int dotsPerMetre = 3780;

struct PngWriting
{
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> row;
};

void pngWrite(png_structp png, png_bytep data, std::size_t length)
{
    auto* writing = static_cast<PngWriting*>(png_get_io_ptr(png));
    writing->bytes.insert(writing->bytes.end(), data, data + length);
}

void pngFlush(png_structp) {}

void pngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// The part that runs under libpng's longjmp: no object with a destructor may
// live in this frame.
bool writeWithLibpng(PngWriting& writing, int width, int height, std::span<const Colour> colours)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &writing, pngWrite, pngFlush);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, dotsPerMetre, dotsPerMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Colour colour = colours[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            writing.row[std::size_t(x) * 3] = std::uint8_t(redOf(colour));
            writing.row[std::size_t(x) * 3 + 1] = std::uint8_t(greenOf(colour));
            writing.row[std::size_t(x) * 3 + 2] = std::uint8_t(blueOf(colour));
        }
        png_write_row(png, writing.row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

Result<std::vector<std::uint8_t>> encodePng(int width, int height, std::span<const Colour> colours)
{
    if (width <= 0 || height <= 0 || colours.size() != std::size_t(width) * std::size_t(height))
        return fail("no picture to write");
    PngWriting writing;
    writing.row.resize(std::size_t(width) * 3);
    if (!writeWithLibpng(writing, width, height, colours))
        return fail("the PNG encoder failed");
    return std::move(writing.bytes);
}
