#include "picture_io/buffered_input.h"
#include "picture_io/decoder_messages.h"
#include "picture_io/decoders.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

constexpr const char* formatJpeg = "JPEG";

// Markers before the first scan (Exif with its thumbnail, colour profiles in up
// to 255 pieces, XMP) may take this much; a stream that goes on with markers or
// garbage past it is damaged.
constexpr std::uint64_t markerAllowance = std::uint64_t{64} * 1024 * 1024;
// Once the size is known, the coded data may take this much per 8 × 8 block on
// top: 16 bits a pixel for grey, far more than any real picture needs.
constexpr std::uint64_t bytesPerBlock = 128;

// A progressive picture may refine its coefficients in a few dozen scans at
// most; a file with more, or whose scans together go over the image far more
// often than any real scan script does, is refused rather than decoded for
// seconds. Each empty scan of a 64-megapixel grey picture walks a million
// blocks.
constexpr int maxScans = 300;
constexpr std::int64_t scanPassesPerBlock = 12;
constexpr std::int64_t minScanBlockBudget = std::int64_t{4} * 1024 * 1024;

enum class Outcome { Done, Damaged, InputFailed, TooLarge };

struct JpegDecoding
{
    JpegDecoding(ByteSource& source, RowSink& rowSink) : input(source), sink(rowSink) {}

    BufferedInput input;
    RowSink& sink;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_source_mgr reader{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    Outcome outcome = Outcome::Damaged;
    std::size_t handedToLibrary = 0;
    bool countingScans = false;
    std::int64_t blockVisits = 0;
    std::int64_t blockVisitBudget = 0;
    std::vector<Rgba> pixels;
};

JpegDecoding& decodingOf(j_common_ptr info)
{
    return *static_cast<JpegDecoding*>(info->client_data);
}

[[noreturn]] void stop(JpegDecoding& decoding, Outcome outcome)
{
    decoding.outcome = outcome;
    std::longjmp(decoding.jump, 1);
}

void jpegErrorExit(j_common_ptr info)
{
    stop(decodingOf(info), Outcome::Damaged);
}

// Warnings about corrupt data are ignored, as the toolkit's reader did, and
// nothing reaches standard error. One is not: a scan that refines
// coefficients no earlier scan has sent (an AC scan before the DC scan) breaks
// the progression itself, and only a file made to waste time has one; it is
// refused before its first scan touches the coefficient buffer.
void jpegMessage(j_common_ptr info, int level)
{
    if (level < 0 && info->err->msg_code == JWRN_BOGUS_PROGRESSION)
        stop(decodingOf(info), Outcome::Damaged);
}
void jpegOutputMessage(j_common_ptr) {}

void jpegInitSource(j_decompress_ptr) {}
void jpegTermSource(j_decompress_ptr) {}

// An input that ends is cut short, and refused: the library would otherwise
// pretend the picture ended there and fill the rest with grey.
boolean jpegFillInput(j_decompress_ptr info)
{
    JpegDecoding& decoding = decodingOf(reinterpret_cast<j_common_ptr>(info));
    decoding.input.consume(decoding.handedToLibrary);
    decoding.handedToLibrary = 0;
    if (!decoding.input.ensure(1))
        stop(decoding, Outcome::InputFailed);
    const std::span<const std::uint8_t> bytes = decoding.input.available();
    decoding.reader.next_input_byte = bytes.data();
    decoding.reader.bytes_in_buffer = bytes.size();
    decoding.handedToLibrary = bytes.size();
    return TRUE;
}

void jpegSkipInput(j_decompress_ptr info, long count)
{
    JpegDecoding& decoding = decodingOf(reinterpret_cast<j_common_ptr>(info));
    if (count <= 0)
        return;
    jpeg_source_mgr& reader = decoding.reader;
    if (std::size_t(count) <= reader.bytes_in_buffer) {
        reader.next_input_byte += count;
        reader.bytes_in_buffer -= std::size_t(count);
        return;
    }
    const std::uint64_t beyond = std::uint64_t(count) - reader.bytes_in_buffer;
    decoding.input.consume(decoding.handedToLibrary);
    decoding.handedToLibrary = 0;
    reader.next_input_byte = nullptr;
    reader.bytes_in_buffer = 0;
    if (!decoding.input.skip(beyond))
        stop(decoding, Outcome::InputFailed);
}

// Called once for each row of blocks that a scan goes over while
// jpeg_start_decompress reads all the scans of a buffered picture.
void jpegProgress(j_common_ptr common)
{
    JpegDecoding& decoding = decodingOf(common);
    if (!decoding.countingScans)
        return;
    const auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number > maxScans)
        stop(decoding, Outcome::Damaged);
    if (info->comps_in_scan == 1) {
        const jpeg_component_info* component = info->cur_comp_info[0];
        decoding.blockVisits += std::int64_t(component->width_in_blocks) * component->v_samp_factor;
    } else {
        decoding.blockVisits += std::int64_t(info->MCUs_per_row) * info->blocks_in_MCU;
    }
    if (decoding.blockVisits > decoding.blockVisitBudget)
        stop(decoding, Outcome::Damaged);
}

std::int64_t roundUp(std::int64_t value, std::int64_t multiple)
{
    return (value + multiple - 1) / multiple * multiple;
}

// What a picture whose scans each hold only part of the data (progressive, or
// one component at a time) keeps of coefficients until its last scan: the
// library's whole-image buffer, 64 two-byte coefficients a block.
std::int64_t coefficientBytes(const jpeg_decompress_struct& info)
{
    std::int64_t bytes = 0;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        bytes += roundUp(component.width_in_blocks, component.h_samp_factor) *
                 roundUp(component.height_in_blocks, component.v_samp_factor) *
                 std::int64_t(sizeof(JBLOCK));
    }
    return bytes;
}

std::int64_t blocksOf(const jpeg_decompress_struct& info)
{
    std::int64_t blocks = 0;
    for (int c = 0; c < info.num_components; ++c)
        blocks +=
            std::int64_t(info.comp_info[c].width_in_blocks) * info.comp_info[c].height_in_blocks;
    return blocks;
}

void convertRow(const jpeg_decompress_struct& info, const JSAMPLE* row, std::span<Rgba> out)
{
    switch (info.output_components) {
    case 1:
        for (std::size_t x = 0; x < out.size(); ++x)
            out[x] = {row[x], row[x], row[x], 255};
        break;
    case 3:
        for (std::size_t x = 0; x < out.size(); ++x, row += 3)
            out[x] = {row[0], row[1], row[2], 255};
        break;
    default: {
        // As the toolkit converted CMYK: the samples taken as Adobe writes
        // them, inverted (255 is no ink), and multiplied by K without rounding.
        for (std::size_t x = 0; x < out.size(); ++x, row += 4) {
            const unsigned k = row[3];
            out[x] = {std::uint8_t(k * row[0] / 255), std::uint8_t(k * row[1] / 255),
                      std::uint8_t(k * row[2] / 255), 255};
        }
    }
    }
}

// The part that runs under libjpeg's longjmp: no object with a destructor may
// live in this frame.
Outcome readWithLibjpeg(JpegDecoding& decoding, PictureSize& stored)
{
    jpeg_decompress_struct& info = decoding.info;
    info.err = jpeg_std_error(&decoding.errors);
    decoding.errors.error_exit = jpegErrorExit;
    decoding.errors.emit_message = jpegMessage;
    decoding.errors.output_message = jpegOutputMessage;
    info.client_data = &decoding;
    if (setjmp(decoding.jump)) {
        jpeg_destroy_decompress(&info);
        return decoding.outcome;
    }
    jpeg_create_decompress(&info);
    info.client_data = &decoding;

    jpeg_source_mgr& reader = decoding.reader;
    reader.init_source = jpegInitSource;
    reader.fill_input_buffer = jpegFillInput;
    reader.skip_input_data = jpegSkipInput;
    reader.resync_to_restart = jpeg_resync_to_restart;
    reader.term_source = jpegTermSource;
    info.src = &reader;
    decoding.progress.progress_monitor = jpegProgress;
    info.progress = &decoding.progress;
    info.mem->max_memory_to_use = long(maxJpegCoefficientBytes + 64 * 1024 * 1024);

    decoding.input.setBudgetEnd(markerAllowance);
    jpeg_read_header(&info, TRUE);

    stored = {std::int64_t(info.image_width), std::int64_t(info.image_height)};
    if (exceedsPixelLimit(stored.width, stored.height))
        stop(decoding, Outcome::TooLarge);
    const bool buffered = jpeg_has_multiple_scans(&info);
    if (buffered && coefficientBytes(info) > maxJpegCoefficientBytes)
        stop(decoding, Outcome::TooLarge);
    const std::int64_t blocks = blocksOf(info);
    decoding.input.setBudgetEnd(markerAllowance + std::uint64_t(blocks) * bytesPerBlock);
    decoding.blockVisitBudget = std::max(minScanBlockBudget, scanPassesPerBlock * blocks);

    int reduction = decoding.sink.reductionFor(stored);
    if (reduction != 2 && reduction != 4 && reduction != 8)
        reduction = 1;
    info.scale_num = 1;
    info.scale_denom = unsigned(reduction);
    jpeg_calc_output_dimensions(&info);
    if (info.output_components != 1 && info.output_components != 3 &&
        !(info.output_components == 4 && info.out_color_space == JCS_CMYK))
        stop(decoding, Outcome::Damaged);

    decoding.countingScans = true;
    jpeg_start_decompress(&info);
    decoding.countingScans = false;

    const std::int64_t width = info.output_width;
    const std::int64_t height = info.output_height;
    decoding.sink.start({width, height});
    const std::int64_t rows = std::min(height, decoding.sink.rowsWanted());
    const std::int64_t columns = std::min(width, decoding.sink.columnsWanted());
    if (rows > 0 && columns > 0) {
        // Crop well right of the wanted columns: the library's smooth
        // upsampling of colour reaches a pixel or two across the crop edge,
        // and the pixels must be those of the whole row.
        const std::int64_t margin =
            2 * std::int64_t(info.max_h_samp_factor) * info.min_DCT_scaled_size;
        if (columns + margin < width) {
            JDIMENSION left = 0;
            auto cropWidth = JDIMENSION(columns + margin);
            jpeg_crop_scanline(&info, &left, &cropWidth);
        }
        JSAMPARRAY row =
            (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                      info.output_width * JDIMENSION(info.output_components), 1);
        decoding.pixels.resize(std::size_t(columns));
        for (std::int64_t y = 0; y < rows; ++y) {
            jpeg_read_scanlines(&info, row, 1);
            convertRow(info, row[0], decoding.pixels);
            decoding.sink.pixels(y, 0, 1, decoding.pixels);
        }
    }
    // The rows below are never decoded: destroying the decompressor
    // abandons them.
    jpeg_destroy_decompress(&info);
    return Outcome::Done;
}

} // namespace

Result<void> decodeJpeg(ByteSource& source, RowSink& sink)
{
    JpegDecoding decoding(source, sink);
    PictureSize stored;
    switch (readWithLibjpeg(decoding, stored)) {
    case Outcome::Done:
        return {};
    case Outcome::TooLarge:
        return pictureTooLarge(stored.width, stored.height);
    case Outcome::InputFailed:
        return inputFailure(decoding.input, formatJpeg);
    case Outcome::Damaged:
        break;
    }
    return damagedPicture(formatJpeg);
}
