#pragma once

#include "core/result.h"
#include "picture_io/picture_reader.h"

#include <string>

// The one line a decoder's failure ends as: a picture too large and a failing
// system keep their own reasons; everything else (a file cut short, a header
// that makes no sense, a library's complaint) is "damaged or unsupported
// <FORMAT> picture", naming the format that was recognised.
inline Failure asPictureFailure(const Failure& failure, PictureFormat format)
{
    if (failure.why.starts_with("picture is too large") ||
        failure.why.starts_with("cannot be read"))
        return failure;
    return Failure{failure.what,
                   std::string("damaged or unsupported ") + formatName(format) + " picture"};
}
