#include "picture_io/picture_file.h"

#include "picture_io/byte_source.h"

Result<PictureCorner> readPictureFile(const std::string& path, int maxWidth, int maxHeight)
{
    Result<FileSource> file = FileSource::open(path, "a picture");
    if (!file)
        return fail(file.error());
    return readPictureCorner(*file, maxWidth, maxHeight);
}
