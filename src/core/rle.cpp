#include "core/rle.h"

#include <algorithm>

namespace {

constexpr int longestRun = 255;

void emitRun(std::vector<std::uint8_t>& out, std::uint8_t value, int length)
{
    if (length > 2 || value == rleMarker) {
        out.push_back(rleMarker);
        out.push_back(value);
        out.push_back(static_cast<std::uint8_t>(length));
        return;
    }
    out.insert(out.end(), static_cast<std::size_t>(length), value);
}

} // namespace

std::vector<std::uint8_t> CompressRLE(const BitPlane& plane)
{
    std::vector<std::uint8_t> out;
    out.reserve(2 * plane.size());
    std::uint8_t value = plane[0];
    int length = 1;
    for (std::size_t i = 1; i < plane.size(); ++i) {
        if (plane[i] == value && length < longestRun) {
            ++length;
        } else {
            emitRun(out, value, length);
            value = plane[i];
            length = 1;
        }
    }
    emitRun(out, value, length);
    return out;
}

std::optional<BitPlane> decompressRLE(std::span<const std::uint8_t> block)
{
    BitPlane plane{};
    std::size_t filled = 0;
    for (std::size_t i = 0; i < block.size();) {
        std::uint8_t value = block[i];
        std::size_t count = 1;
        if (value == rleMarker) {
            if (block.size() - i < 3)
                return std::nullopt;
            value = block[i + 1];
            count = block[i + 2];
            if (count == 0)
                return std::nullopt;
            i += 3;
        } else {
            i += 1;
        }
        if (count > plane.size() - filled)
            return std::nullopt;
        std::fill_n(plane.begin() + static_cast<std::ptrdiff_t>(filled), count, value);
        filled += count;
    }
    if (filled != plane.size())
        return std::nullopt;
    return plane;
}
