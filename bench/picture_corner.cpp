// The cost of reading the top-left 128 × 64 pixels of a large picture, for the
// whole process: start-up, opening the file, decoding, and the most memory it
// ever held. Not a Google Benchmark, because what counts is one run of one
// process, as dotwright-cli makes it.
//
//   picture_corner make FOLDER        writes corner.png, corner.jpg and corner.gif,
//                                     8000 × 6000 each, non-interlaced (baseline JPEG)
//   picture_corner png|jpeg|gif FILE  reads the corner of FILE and prints the cost

#include "picture_io/byte_source.h"
#include "picture_io/decoders.h"

#include <gif_lib.h>
#include <png.h>

#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int width = 8000;
constexpr int height = 6000;

class CornerSink final : public RowSink
{
public:
    void start(PictureSize delivered) override { m_size = delivered; }
    std::int64_t rowsWanted() const override { return 64; }
    std::int64_t columnsWanted() const override { return 128; }
    void pixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                std::span<const Rgba> pixels) override
    {
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const std::int64_t x = x0 + std::int64_t(i) * step;
            if (y < 64 && x < 128)
                m_corner[std::size_t(y * 128 + x)] = pixels[i];
        }
    }
    PictureSize size() const { return m_size; }
    Rgba at(int x, int y) const { return m_corner[std::size_t(y * 128 + x)]; }

private:
    PictureSize m_size;
    std::vector<Rgba> m_corner = std::vector<Rgba>(128 * 64);
};

// A photograph's worth of detail: gradients, edges and noise, so that the
// files are about as large as real ones of this size.
std::uint8_t sample(int x, int y, int channel, std::minstd_rand& random)
{
    const int base = (x / 3 + y / 5 + channel * 70) % 256;
    const int edge = (x / 97 + y / 61) % 2 == 0 ? 30 : -30;
    const int noise = int(random() % 17) - 8;
    return std::uint8_t(std::clamp(base + edge + noise, 0, 255));
}

bool writePng(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::minstd_rand random(1);
    std::vector<png_byte> row(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c)
                row[std::size_t(x) * 3 + std::size_t(c)] = sample(x, y, c, random);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

bool writeJpeg(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::minstd_rand random(2);
    std::vector<JSAMPLE> row(std::size_t(width) * 3);
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c)
                row[std::size_t(x) * 3 + std::size_t(c)] = sample(x, y, c, random);
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

bool writeGif(const std::string& path)
{
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    if (gif == nullptr)
        return false;
    std::vector<GifColorType> colours(256);
    for (int i = 0; i < 256; ++i)
        colours[std::size_t(i)] = {GifByteType(i), GifByteType(255 - i), GifByteType(i * 3)};
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifPutScreenDesc(gif, width, height, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
    std::minstd_rand random(3);
    std::vector<GifPixelType> row(width);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            row[std::size_t(x)] = sample(x, y, 0, random);
        EGifPutLine(gif, row.data(), width);
    }
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &error) == GIF_OK;
}

double seconds(const timeval& time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: picture_corner make FOLDER | png|jpeg|gif FILE\n");
        return 2;
    }
    const std::string what = argv[1];
    const std::string path = argv[2];
    if (what == "make") {
        const bool made = writePng(path + "/corner.png") && writeJpeg(path + "/corner.jpg") &&
                          writeGif(path + "/corner.gif");
        return made ? 0 : 1;
    }
    Result<void> (*decoder)(ByteSource&, RowSink&) = what == "png"    ? decodePng
                                                     : what == "jpeg" ? decodeJpeg
                                                     : what == "gif"  ? decodeGif
                                                                      : nullptr;
    if (decoder == nullptr) {
        std::fprintf(stderr, "picture_corner: unknown format %s\n", what.c_str());
        return 2;
    }
    Result<FileSource> source = FileSource::open(path, "a picture");
    if (!source) {
        std::fprintf(stderr, "picture_corner: %s: %s\n", path.c_str(),
                     source.error().message().c_str());
        return 1;
    }
    CornerSink sink;
    const Result<void> read = decoder(*source, sink);
    if (!read) {
        std::fprintf(stderr, "picture_corner: %s: %s\n", path.c_str(),
                     read.error().message().c_str());
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const Rgba corner = sink.at(127, 63);
    std::printf("%s: %lld x %lld, pixel (127, 63) = %d %d %d %d; "
                "whole process: %.1f ms CPU (%.1f user, %.1f system), peak %.1f MiB\n",
                path.c_str(), static_cast<long long>(sink.size().width),
                static_cast<long long>(sink.size().height), corner.red, corner.green, corner.blue,
                corner.alpha, 1000 * (seconds(usage.ru_utime) + seconds(usage.ru_stime)),
                1000 * seconds(usage.ru_utime), 1000 * seconds(usage.ru_stime),
                double(usage.ru_maxrss) / 1024.0);
    return 0;
}
