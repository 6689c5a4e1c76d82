#pragma once

#include "core/result.h"
#include "picture_io/picture_reader.h"

#include <string>

// The top-left corner of the picture in the file `path` (a name of bytes, used
// exactly as given), at most maxWidth × maxHeight, as readPictureCorner reads
// it. Besides that function's failures: "file not found", "is a folder, not a
// picture", "cannot be opened (Permission denied)". The failure does not name
// the file: each caller names it its own way.
Result<PictureCorner> readPictureFile(const std::string& path, int maxWidth, int maxHeight);
