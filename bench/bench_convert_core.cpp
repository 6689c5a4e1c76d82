#include "core/black_white_conversion.h"
#include "core/dithering.h"
#include "core/greyscale_conversion.h"
#include "core/picture_data_file.h"
#include "core/rle.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

// A photograph-like source: smooth gradients with some noise, so every band and
// both colours occur, and a branch predictor cannot learn the picture.
SourceView sampleSource()
{
    std::mt19937 random(1);
    SourceView view;
    for (int y = 0; y < screenHeight; ++y) {
        for (int x = 0; x < screenWidth; ++x) {
            const int grey = std::min(255, (x * 2 + y) / 2 + int(random() % 32));
            view[std::size_t(pixelIndex(x, y))] = colourFromRgb(grey, grey, (grey * 3) % 256);
        }
    }
    return view;
}

BitPlane noisePlane()
{
    std::mt19937 random(2);
    BitPlane plane;
    for (auto& byte : plane)
        byte = static_cast<std::uint8_t>(random() & 0xff);
    return plane;
}

BitPlane runsPlane()
{
    // A typical converted picture: long runs of white and black with short
    // stretches of detail.
    BitPlane plane{};
    for (std::size_t i = 0; i < plane.size(); ++i)
        plane[i] = i % 64 < 40 ? 0x00 : (i % 64 < 56 ? 0xff : static_cast<std::uint8_t>(i * 37));
    return plane;
}

BitPlane worstPlane()
{
    BitPlane plane;
    for (std::size_t i = 0; i < plane.size(); ++i)
        plane[i] = i % 2 == 0 ? rleMarker : 0x00;
    return plane;
}

void convertBlackWhiteBench(benchmark::State& state)
{
    const SourceView source = sampleSource();
    int value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(convertBlackWhite(source, value));
        value = (value + 1) % 101;
    }
    state.SetItemsProcessed(state.iterations() * screenPixels);
}
BENCHMARK(convertBlackWhiteBench)->Name("convertBlackWhite");

void convertGreyscaleBench(benchmark::State& state)
{
    const SourceView source = sampleSource();
    int value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(convertGreyscale(source, value));
        value = (value + 1) % 101;
    }
    state.SetItemsProcessed(state.iterations() * screenPixels);
}
BENCHMARK(convertGreyscaleBench)->Name("convertGreyscale");

// Quantising with each dithering, against the threshold (None) that the
// converters use today: what a choice of dithering adds to Convert.
template<auto quantise> void quantiseBench(benchmark::State& state)
{
    const SourceView source = sampleSource();
    const Tone tone{Dithering(state.range(0)), false};
    int value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(quantise(source, value, tone));
        value = (value + 1) % 101;
    }
    state.SetLabel(std::string(ditheringName(tone.dithering)));
    state.SetItemsProcessed(state.iterations() * screenPixels);
}
BENCHMARK(quantiseBench<quantiseBlackWhite>)->Name("quantiseBlackWhite")->DenseRange(0, 3);
BENCHMARK(quantiseBench<quantiseGreyscale>)->Name("quantiseGreyscale")->DenseRange(0, 3);

template<BitPlane (*makePlane)()> void compressBench(benchmark::State& state)
{
    const BitPlane plane = makePlane();
    for (auto _ : state)
        benchmark::DoNotOptimize(CompressRLE(plane));
    state.SetBytesProcessed(state.iterations() * bitPlaneBytes);
}
BENCHMARK(compressBench<runsPlane>)->Name("CompressRLE/runs");
BENCHMARK(compressBench<noisePlane>)->Name("CompressRLE/noise");
BENCHMARK(compressBench<worstPlane>)->Name("CompressRLE/marker_alternating");

void decompressBench(benchmark::State& state)
{
    const std::vector<std::uint8_t> block = CompressRLE(noisePlane());
    for (auto _ : state)
        benchmark::DoNotOptimize(decompressRLE(block));
    state.SetBytesProcessed(state.iterations() * bitPlaneBytes);
}
BENCHMARK(decompressBench)->Name("decompressRLE/noise");

void blackWhiteFileBench(benchmark::State& state)
{
    const bool compressed = state.range(0) != 0;
    const BitPlane plane = noisePlane();
    for (auto _ : state)
        benchmark::DoNotOptimize(blackWhiteDataFile(plane, compressed));
}
BENCHMARK(blackWhiteFileBench)->Name("blackWhiteDataFile")->ArgName("compressed")->Arg(0)->Arg(1);

void greyscaleFileBench(benchmark::State& state)
{
    const bool compressed = state.range(0) != 0;
    const BitPlane light = noisePlane();
    const BitPlane dark = runsPlane();
    for (auto _ : state)
        benchmark::DoNotOptimize(greyscaleDataFile(light, dark, compressed));
}
BENCHMARK(greyscaleFileBench)->Name("greyscaleDataFile")->ArgName("compressed")->Arg(0)->Arg(1);

void parseBench(benchmark::State& state)
{
    const bool compressed = state.range(0) != 0;
    const std::string text = greyscaleDataFile(noisePlane(), runsPlane(), compressed);
    for (auto _ : state)
        benchmark::DoNotOptimize(parsePictureDataFile(text));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(parseBench)
    ->Name("parsePictureDataFile/greyscale")
    ->ArgName("compressed")
    ->Arg(0)
    ->Arg(1);

} // namespace

BENCHMARK_MAIN();
