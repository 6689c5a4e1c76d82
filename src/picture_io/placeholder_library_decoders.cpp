// Stand-ins for the decoders built on libpng, libjpeg-turbo and giflib, which
// are written alongside; they let this branch link and are replaced by the
// real ones when both meet.
#include "picture_io/decoders.h"

Result<void> decodePng(ByteSource&, RowSink&)
{
    return fail("damaged or unsupported PNG picture");
}

Result<void> decodeJpeg(ByteSource&, RowSink&)
{
    return fail("damaged or unsupported JPEG picture");
}

Result<void> decodeGif(ByteSource&, RowSink&)
{
    return fail("damaged or unsupported GIF picture");
}
