#pragma once

#include "core/screen.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

// Planes that stress the run-length code and the data files: long and short
// runs, runs across row ends and past 255, the marker byte as data, no runs at
// all, and plain noise. Seeded, so every run of the tests sees the same planes.
inline std::vector<BitPlane> samplePlanes(int randomCount = 40)
{
    std::vector<BitPlane> planes;
    auto add = [&planes](auto fillByte) {
        BitPlane plane{};
        for (std::size_t i = 0; i < plane.size(); ++i)
            plane[i] = static_cast<std::uint8_t>(fillByte(i));
        planes.push_back(plane);
    };
    add([](std::size_t) { return 0x00; });
    add([](std::size_t) { return 0xff; });
    add([](std::size_t) { return 0x91; });
    add([](std::size_t i) { return i % 2 == 0 ? 0x91 : 0x00; });
    add([](std::size_t i) { return i % 2 == 0 ? 0x12 : 0x34; });
    add([](std::size_t i) { return i / 16 % 2 == 0 ? 0xaa : 0x55; });
    add([](std::size_t i) { return i == 0 ? 0x80 : 0x00; });
    add([](std::size_t i) { return i == 1023 ? 0x01 : 0x00; });

    std::mt19937 random(20240611);
    const std::uint8_t alphabet[] = {0x00, 0xff, 0x91, 0x80, 0x01};
    for (int n = 0; n < randomCount; ++n) {
        BitPlane plane{};
        if (n % 2 == 0) {
            for (auto& byte : plane)
                byte = static_cast<std::uint8_t>(random() & 0xff);
        } else {
            // Runs of random length from a few values, so runs of 1, 2, 3, 255
            // and more all occur, of the marker byte too.
            std::size_t i = 0;
            while (i < plane.size()) {
                const std::uint8_t value = alphabet[random() % std::size(alphabet)];
                const std::size_t length = std::min<std::size_t>(
                    random() % 4 == 0 ? 1 + random() % 600 : 1 + random() % 4, plane.size() - i);
                std::fill_n(plane.begin() + static_cast<std::ptrdiff_t>(i), length, value);
                i += length;
            }
        }
        planes.push_back(plane);
    }
    return planes;
}
