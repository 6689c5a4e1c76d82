#pragma once

#include "core/result.h"
#include "core/screen.h"
#include "core/view_geometry.h"
#include "picture_io/picture_reader.h"

#include <string>

// Pictures read from the file `path` (a name of bytes, used exactly as given).
// Besides the reader's failures: "file not found", "is a folder, not a
// picture", "cannot be opened (Permission denied)". A failure does not name
// the file: each caller names it its own way.

// The top-left corner, at most maxWidth × maxHeight, as readPictureCorner reads it.
Result<PictureCorner> readPictureFile(const std::string& path, int maxWidth, int maxHeight);

// The source view placed by `options`, as readSourceView reads it.
Result<SourceView> readSourceViewFile(const std::string& path, const ViewOptions& options);
