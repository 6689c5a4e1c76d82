// CompressRLE over any plane: the decoder gives the plane back, the block stays
// within 15 to 2048 bytes, and the marker never stands alone.

#include "core/rle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Short inputs are stretched into a whole plane, so runs of every length occur.
    BitPlane plane{};
    if (size == 0)
        return 0;
    for (std::size_t i = 0; i < plane.size(); ++i)
        plane[i] = data[(i * size) / plane.size()];

    const std::vector<std::uint8_t> block = CompressRLE(plane);
    if (block.size() < 15 || block.size() > 2048)
        std::abort();
    const auto decoded = decompressRLE(block);
    if (!decoded || *decoded != plane)
        std::abort();
    return 0;
}
