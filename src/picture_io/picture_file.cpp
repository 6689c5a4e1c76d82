#include "picture_io/picture_file.h"

#include "picture_io/byte_source.h"
#include "picture_io/view_sink.h"

Result<PictureCorner> readPictureFile(const std::string& path, int maxWidth, int maxHeight)
{
    Result<FileSource> file = FileSource::open(path, "a picture");
    if (!file)
        return fail(file.error());
    return readPictureCorner(*file, maxWidth, maxHeight);
}

Result<SourceView> readSourceViewFile(const std::string& path, const ViewOptions& options)
{
    Result<FileSource> file = FileSource::open(path, "a picture");
    if (!file)
        return fail(file.error());
    return readSourceView(*file, options);
}
