#pragma once

#include "core/result.h"
#include "picture_io/buffered_input.h"
#include "picture_io/picture_reader.h"

#include <cstdint>
#include <string>

// The failures that the PNG, JPEG and GIF decoders share, worded as
// picture_reader.h lays them down.

inline Unexpected damagedPicture(const char* format)
{
    return fail(std::string("damaged or unsupported ") + format + " picture");
}

inline Unexpected pictureTooLarge(std::int64_t width, std::int64_t height)
{
    return fail("picture is too large (" + std::to_string(width) + " \u00D7 " +
                std::to_string(height) + " pixels)");
}

inline bool exceedsPixelLimit(std::int64_t width, std::int64_t height)
{
    return width > maxPicturePixels || height > maxPicturePixels ||
           width * height > maxPicturePixels;
}

// A read that stopped early: the system's reason when reading failed, and
// otherwise (cut short, or over the budget) a damaged picture.
inline Unexpected inputFailure(const BufferedInput& input, const char* format)
{
    if (input.sourceFailure())
        return fail(*input.sourceFailure());
    return damagedPicture(format);
}
