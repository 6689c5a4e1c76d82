// The picture data file reader behind `dotwright-cli unpack`, and the run-length
// decoder under it, read files from anywhere: never crash, and anything
// accepted must be written back to a file that reads as the same planes.

#include "core/picture_data_file.h"
#include "core/rle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The same bytes as a run-length block.
    const auto plane = decompressRLE(std::span<const std::uint8_t>(data, size));
    if (plane && decompressRLE(CompressRLE(*plane)) != plane)
        std::abort();

    const Result<ParsedDataFile> result =
        parsePictureDataFile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!result) {
        if (result.error().message().empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const ParsedDataFile& file = *result;
    if (file.planes.size() != (file.greyscale ? 2U : 1U))
        std::abort();
    const std::string rewritten =
        file.greyscale ? greyscaleDataFile(file.planes[0], file.planes[1], file.compressed)
                       : blackWhiteDataFile(file.planes[0], file.compressed);
    const Result<ParsedDataFile> again = parsePictureDataFile(rewritten);
    if (!again || again->planes != file.planes)
        std::abort();
    return 0;
}
