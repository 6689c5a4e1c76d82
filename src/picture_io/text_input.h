#pragma once

#include "core/result.h"
#include "picture_io/byte_source.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// The most text read from one input: far more than any data file or sprite
// code Dotwright writes (about 21 kB at most), yet small enough that a wrong
// file given by mistake, or an input that never ends (/dev/zero, an endless
// pipe), is refused after a moment.
inline constexpr std::size_t maxTextBytes = std::size_t{16} * 1024 * 1024;

// Reads `source` in pieces, handing each to `take`, until the source ends or
// `take` returns true because it has all it needs. Refuses a source longer
// than `limit` while reading it, never after: "file is too large". A failing
// read gives the source's reason ("cannot be read (Input/output error)").
// The failures name nothing: the caller knows what the input is called.
Result<void> readTextPieces(ByteSource& source, const std::function<bool(std::string_view)>& take,
                            std::size_t limit = maxTextBytes);

// The whole text of `source`, with the failures of readTextPieces. A source
// that knows its size (a regular file) and is too large is refused unread,
// and its text is read into place with no copy growing beside it.
Result<std::string> readWholeText(ByteSource& source, std::size_t limit = maxTextBytes);
