#pragma once

#include "core/result.h"
#include "picture_io/byte_source.h"
#include "picture_io/row_sink.h"

// One decoder per format, each reading from the source's current position
// (the first byte of the format's own signature) and delivering to the sink
// as row_sink.h lays down. readPicture chooses among them by the content.
// Each fails with the short reasons of picture_reader.h; a damaged or cut
// short file is "damaged or unsupported <FORMAT> picture".
Result<void> decodeBmp(ByteSource& source, RowSink& sink);
Result<void> decodeIco(ByteSource& source, RowSink& sink);
Result<void> decodePng(ByteSource& source, RowSink& sink);
Result<void> decodeJpeg(ByteSource& source, RowSink& sink);
Result<void> decodeGif(ByteSource& source, RowSink& sink);
