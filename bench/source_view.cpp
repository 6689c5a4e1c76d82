// The cost of reading the source view of a large picture, for the whole
// process: start-up, opening the file, decoding, scaling, and the most memory
// it ever held. Not a Google Benchmark, because what counts is one run of one
// process, as dotwright-cli makes it. The pictures are picture_corner's.
//
//   source_view corner|fit|fill FILE   reads the view of FILE and prints the cost

#include "picture_io/byte_source.h"
#include "picture_io/view_sink.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

double seconds(const timeval& time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: source_view corner|fit|fill FILE\n");
        return 2;
    }
    const std::string placement = argv[1];
    ViewOptions options;
    if (placement == "fit")
        options.placement = Placement::Fit;
    else if (placement == "fill")
        options.placement = Placement::Fill;
    else if (placement != "corner") {
        std::fprintf(stderr, "source_view: unknown placement %s\n", placement.c_str());
        return 2;
    }
    const std::string path = argv[2];
    Result<FileSource> source = FileSource::open(path, "a picture");
    if (!source) {
        std::fprintf(stderr, "source_view: %s: %s\n", path.c_str(),
                     source.error().message().c_str());
        return 1;
    }
    const Result<SourceView> view = readSourceView(*source, options);
    if (!view) {
        std::fprintf(stderr, "source_view: %s: %s\n", path.c_str(), view.error().message().c_str());
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const Colour middle = (*view)[std::size_t(pixelIndex(64, 32))];
    std::printf("%s %s: pixel (64, 32) = %06X; "
                "whole process: %.1f ms CPU (%.1f user, %.1f system), peak %.1f MiB\n",
                placement.c_str(), path.c_str(), unsigned(middle),
                1000 * (seconds(usage.ru_utime) + seconds(usage.ru_stime)),
                1000 * seconds(usage.ru_utime), 1000 * seconds(usage.ru_stime),
                double(usage.ru_maxrss) / 1024.0);
    return 0;
}
