#pragma once

#include "core/result.h"
#include "core/screen.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A picture data file is assembler source: ASCII, every line ended by CR LF.
// Plain files hold one " .db " line of sixteen binary bytes per pixel row;
// compressed files hold the run-length code of each plane as hexadecimal bytes,
// twelve to a line, followed by a line reporting the compressed size.

inline constexpr std::string_view creditLine = ";Created with the Dotwright by Quelm";
inline constexpr std::string_view ideaLine = ";Original idea: Squashpic by Tennick";
inline constexpr std::string_view lightLayerLabel = "LightLayer:";
inline constexpr std::string_view darkLayerLabel = "DarkLayer:";

// "%" and the eight binary digits, top bit (leftmost pixel) first: "%10000001".
std::string binaryByteText(std::uint8_t value);
// Two lower-case hexadecimal digits: "00", "91", "ff".
std::string hexByteText(std::uint8_t value);
// " .db " and the 16 binary bytes of row y (0..63), joined by commas.
std::string plainRowText(const BitPlane& plane, int y);
// ";1024 bytes compressed to N -- P% of original." with P = floor(100 * N / 1024);
// P passes 100 when the block is longer than the plane.
std::string compressionSummary(std::size_t blockSize);

// Builds the text of a data file line by line.
class PictureDataWriter
{
public:
    // Bytes written by WriteHexByte since the start of the current compressed
    // block; it only decides where the block's lines break. A block holds at
    // most 2048 bytes, well within the 16 bits.
    std::int16_t hexByteCount = 0;

    // The line and CR LF.
    void writeLine(std::string_view line);
    // The 64 row lines of the plane, top row first.
    void writePlainRows(const BitPlane& plane);
    // A compressed block: the plane's run-length code through WriteHexByte (the
    // count reset to 0 first, so the block starts a line of its own after an
    // empty one), then the end of its last line, an empty line and the summary.
    void writeCompressedBlock(const BitPlane& plane);
    // Appends one byte given as one or two hexadecimal digits (one digit gets a
    // leading "0"). The first byte of every twelve starts a new " .db $" line,
    // the others follow after ",$"; no line end is written after the byte.
    void WriteHexByte(std::string_view text);

    const std::string& text() const { return m_text; }
    std::string takeText() { return std::move(m_text); }

private:
    std::string m_text;
};

// The whole file of a black-and-white picture (one plane) or of a greyscale
// picture (the light plane, then the dark plane), plain or compressed. The same
// planes always give the same text.
std::string blackWhiteDataFile(const BitPlane& plane, bool compressed);
std::string greyscaleDataFile(const BitPlane& light, const BitPlane& dark, bool compressed);

// Reads back a data file in any of the four shapes that Dotwright writes. Lines
// may end in CR LF or LF; blank lines and comments are skipped, except that a
// summary line must agree with the block above it. A file with "LightLayer:"
// and "DarkLayer:" sections is greyscale; without, black and white.
struct ParsedDataFile
{
    bool greyscale = false;
    bool compressed = false;
    std::vector<BitPlane> planes; // one, or light then dark
};

// Fails with a short reason naming the line, e.g.
// "line 7: expected 16 binary bytes, found 15"; the caller names the file.
Result<ParsedDataFile> parsePictureDataFile(std::string_view text);
