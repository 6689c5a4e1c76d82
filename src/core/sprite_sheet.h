#pragma once

#include "core/colour.h"
#include "core/result.h"
#include "core/sprite_code.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What one pixel of a picture becomes in a sprite: a colour the kind draws,
// and whether the pixel already was exactly that colour.
struct SpritePixel
{
    Colour colour;
    bool exact;
};

// How pictures become sprites (a sheet cut into cells, `sprite IMAGE`, a
// picture dropped on an editor). In the kinds with a mask a pixel is masked
// when it is less than half opaque (alpha below 128) or exactly the mask
// colour, so that a sprite drawn with its mask colour reads back the same.
// Every other pixel is put over white, as the converters show transparency,
// and takes the nearest of the kind's drawn colours (white, black and, for
// the grey kinds, light and dark grey) by squared distance in RGB; a tie goes
// to the lighter colour, so a pixel halfway between the greys is light grey.
SpritePixel spritePixelOf(SpriteKind kind, int red, int green, int blue, int alpha);

// A picture in the colours of a sprite kind, row by row from the top.
struct SpritePicture
{
    int width = 0;
    int height = 0;
    std::vector<Colour> colours;
};

// The code of one width × height cell of `picture`, its top-left pixel at
// (left, top), as appendSpriteCode writes it. The cell must lie inside.
void appendCellCode(std::string& text, SpriteKind kind, const SpritePicture& picture, int left,
                    int top, SpriteSize cell);

// What a sheet may cost. Its pixels are all held at once, since a picture may
// deliver its rows in any order; 16 Mi of them (4096 × 4096) take 64 MiB. The
// cells are bounded too, so that a tiny file of narrow cells cannot ask for
// a huge text: 65536 cells of 8 × 1 pixels in one layer already fill the
// 64 KiB the target processor addresses. The text of the largest sheet
// (8 × 32 cells of grey with mask, under the longest label) is 115 MB, about
// 7 bytes a pixel.
inline constexpr std::int64_t maxSheetPixels = std::int64_t{16} * 1024 * 1024;
inline constexpr std::int64_t maxSheetCells = 65536;
// The longest name a file may have, and so the longest label a sheet gets from it.
inline constexpr std::size_t maxLabelLength = 255;

// Letters, digits and "_", not starting with a digit: a label every assembler
// takes. At most maxLabelLength characters.
bool isAssemblerLabel(std::string_view label);
// The label a sheet's blocks get from its file name: the name without folders
// and extension, each character that may not stand in a label made "_", and
// "_" put first when it would start with a digit. "walk-left.png" gives
// "walk_left"; a name with no letter or digit ("-" for standard input) gives
// "sheet".
std::string labelFromFileName(std::string_view path);

struct SheetOptions
{
    SpriteKind kind = SpriteKind::BlackWhite;
    SpriteSize cell;
    std::string label; // a valid assembler label
    bool skipEmpty = false;
};

// The sprite code of every cell of a sheet, cut left to right, then top to
// bottom; cells the sheet does not fill completely are left out. Each is a
// block: the label line "LABEL_N:" (N counting every cell from 0), then the
// cell's code as the editor of its kind writes it. Blocks are separated by an
// empty line, and every line ends with CR LF, the last one too. With
// `skipEmpty`, cells that are all white and unmasked are left out, their
// numbers too. Fails on a sheet smaller than one cell, or of more than
// maxSheetCells cells.
Result<std::string> spriteSheetText(const SpritePicture& sheet, const SheetOptions& options);
// The same for the frames of an animated sheet, all of one size: each is cut
// the same way, one after another, and the numbers go on from frame to frame.
// maxSheetCells bounds the cells of all frames together.
Result<std::string> spriteSheetText(std::span<const SpritePicture> frames,
                                    const SheetOptions& options);
