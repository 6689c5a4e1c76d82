// Reads the top-left 128 × 64 corner of a picture, from a file named on the
// command line or from standard input, as the converters will: for measuring
// the whole process (time, peak memory) with /usr/bin/time, where a
// microbenchmark would hide the start-up and the reading of a pipe.

#include "picture_io/byte_source.h"
#include "picture_io/picture_reader.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::fprintf(stderr, "usage: read_picture_corner [picture]  (standard input without)\n");
        return 2;
    }
    Result<FileSource> source =
        argc == 2 ? FileSource::open(argv[1], "a picture") : FileSource::borrow(STDIN_FILENO);
    if (!source) {
        std::fprintf(stderr, "read_picture_corner: %s\n", source.error().message().c_str());
        return 1;
    }
    const Result<PictureCorner> corner = readPictureCorner(*source, 128, 64);
    if (!corner) {
        std::fprintf(stderr, "read_picture_corner: %s\n", corner.error().message().c_str());
        return 1;
    }
    std::printf("%d × %d\n", corner->width, corner->height);
    return 0;
}
