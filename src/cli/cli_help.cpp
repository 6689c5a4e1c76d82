#include "cli/cli_options.h"

#include <array>
#include <string_view>

// The help texts, kept in one place with the manual page's source in mind:
// the synopsis lines are the README's, word for word.

namespace {

struct CommandHelp
{
    std::string name;
    std::string synopsis;
    std::string text;
};

// The kinds are written from the table of sprite kinds, which the parser reads
// --kind with, and the ditherings from theirs, so that the help cannot offer a
// name the parser refuses.
const std::array<CommandHelp, 4>& commandHelps()
{
    static const std::string kinds = spriteKindChoices("|", "|");
    static const std::string kindList = spriteKindChoices(", ", " or ");
    static const std::string ditherings = ditheringChoices("|", "|");
    static const std::string ditheringList = ditheringChoices(", ", " or ");
    static const std::array<CommandHelp, 4> helps{{
        // clang-format off
        {"picture",
         "dotwright-cli picture [--grey] [--level N] [--fit | --fill | --offset X,Y]\n"
         "                      [--dither " + ditherings + "] [--invert]\n"
         "                      [--source OUT.png] [--rle] [--bmp OUT.bmp] [-o OUT] PICTURE\n",
         "Converts PICTURE (BMP, GIF, JPEG, ICO or PNG; transparent parts count as\n"
         "white) as the black-and-white converter does, or the greyscale converter\n"
         "with --grey, and writes the picture data file that Convert & Save writes.\n"
         "It starts from the top-left 128 x 64 pixels, as the windows do, or from the\n"
         "picture placed as their right-click menu places it.\n"
         "\n"
         "  --level N         the slider, 0 to 100 (default 50). A higher level makes\n"
         "                    more pixels black; with --grey, it moves every pixel to\n"
         "                    a darker band.\n"
         "  --grey            four greys: a light and a dark layer\n"
         "  --fit             scale the whole picture to fit the screen, centred\n"
         "  --fill            scale the picture to cover the screen, centred, cut to it\n"
         "  --offset X,Y      the 128 x 64 pixels from column X, row Y (default 0,0)\n"
         "  --dither NAME     " + ditheringList + " (default none:\n"
         "                    the threshold); the others work on brightness\n"
         "  --invert          swap black and white (and the two greys)\n"
         "  --source OUT.png  also write the 128 x 64 picture before it is converted\n"
         "                    (.png or .bmp by the name)\n"
         "  --rle             run-length compressed, in hexadecimal bytes\n"
         "  --bmp OUT.bmp     also write the converted picture as a bitmap\n"
         "  -o OUT            write the data file to OUT (default -: standard output)\n"
         "\n"
         "Example: dotwright-cli picture --fit --dither atkinson -o title.inc title.jpg\n"},
        {"sprite",
         "dotwright-cli sprite  [--kind " + kinds + "] [--size WxH] [--exact] [-o OUT] IMAGE\n"
         "dotwright-cli sprite  [--kind " + kinds + "] [--size WxH] --render OUT.png [CODEFILE]\n",
         "Writes the sprite code of the top-left 8 x 8 pixels of IMAGE as the sprite\n"
         "editor of that kind writes it (default bw), with CR LF after every line. Each\n"
         "pixel takes the nearest colour the editor draws; in the kinds with a mask,\n"
         "pixels less than half opaque or of the mask colour (255, 128, 0) are masked.\n"
         "With --render, reads sprite code from CODEFILE (default, or -: standard\n"
         "input) as the editor's double-click does, every 0 and 1 counting, and writes\n"
         "the sprite as a picture; the name's extension, .png or .bmp, says which\n"
         "(-: PNG on standard output).\n"
         "\n"
         "  --kind KIND       " + kindList + "\n"
         "  --size WxH        a sprite of W x H pixels: W a multiple of 8 up to 64,\n"
         "                    H from 1 to 64 (default 8x8)\n"
         "  --exact           refuse a picture with any other colour, naming the\n"
         "                    first such pixel\n"
         "  -o OUT            write the code to OUT (default, or -: standard output)\n"
         "  --render OUT.png  draw the sprite that CODEFILE holds\n"
         "\n"
         "Example: dotwright-cli sprite --kind grey -o hero.inc hero.png\n"},
        {"sprites",
         "dotwright-cli sprites [--kind " + kinds + "] [--size WxH] [--label NAME] [--exact]"
         " [--skip-empty] [-o OUT] SHEET\n",
         "Cuts SHEET into cells of W x H pixels (default 8 x 8), left to right, then top\n"
         "to bottom, leaving out cells the sheet does not fill, and writes each as a\n"
         "block: a label line NAME_N: (N counting from 0), then the cell's sprite code\n"
         "with the colours of sprite IMAGE. An 8 x 8 cell's code is the editor's text;\n"
         "a wider cell's rows hold W / 8 bytes each. An empty line between blocks, CR LF\n"
         "after every line. The frames of an animated GIF are cut one after another,\n"
         "the numbers going on. A sheet may have up to 16777216 pixels and 65536 cells,\n"
         "its frames together.\n"
         "\n"
         "  --kind KIND   " + kindList + "\n"
         "  --size WxH    the cells: W a multiple of 8 up to 64, H from 1 to 64\n"
         "  --label NAME  the labels' name (default: SHEET's file name without folders\n"
         "                and extension, other characters than letters, digits and _\n"
         "                made _)\n"
         "  --exact       refuse a sheet with any other colour, naming the first such\n"
         "                pixel\n"
         "  --skip-empty  leave out cells that are all white and unmasked; the others\n"
         "                keep their numbers\n"
         "  -o OUT        write the code to OUT (default, or -: standard output)\n"
         "\n"
         "Example: dotwright-cli sprites --kind bw-mask --skip-empty -o hero.inc hero.png\n"},
        // clang-format on
        {"unpack", "dotwright-cli unpack  [-o OUT.png] DATAFILE\n",
         "Reads a picture data file (plain or compressed, black and white or greyscale)\n"
         "and writes the 128 x 64 picture it holds, to OUT.png or OUT.bmp by the name's\n"
         "extension, or as a PNG to standard output when that is not a terminal.\n"
         "\n"
         "  -o OUT.png    the picture to write (-: standard output)\n"
         "\n"
         "Example: dotwright-cli unpack -o check.png title.inc\n"},
    }};
    return helps;
}

constexpr std::string_view exitStatuses =
    "Exit status: 0 success; 1 failure (a picture or data file that cannot be read,\n"
    "a colour --exact refuses, an output that cannot be written); 2 usage error.\n"
    "Every failure prints one line on standard error, and nothing is written\n"
    "unless everything succeeds.\n";

} // namespace

std::string helpText()
{
    std::string text;
    for (const CommandHelp& help : commandHelps())
        text += help.synopsis;
    text += "dotwright-cli --help | --version\n"
            "dotwright-cli COMMAND --help\n"
            "\n"
            "Does the text work of Dotwright's picture converters and sprite editors\n"
            "without a window, byte for byte the same, for build scripts.\n";
    for (const CommandHelp& help : commandHelps()) {
        text += "\n";
        text += help.name;
        text += "\n";
        for (std::size_t at = 0; at < help.text.size();) {
            const std::size_t end = help.text.find('\n', at);
            const std::string_view line = std::string_view(help.text).substr(at, end - at);
            if (!line.empty())
                text += "  ";
            text += line;
            text += "\n";
            at = end + 1;
        }
    }
    text += "\nA file name \"-\" reads standard input; \"--\" ends the options.\n";
    text += exitStatuses;
    return text;
}

std::string commandHelpText(const std::string& command)
{
    for (const CommandHelp& help : commandHelps()) {
        if (help.name == command) {
            std::string text = help.synopsis;
            text += "\n";
            text += help.text;
            text += "\n";
            text += exitStatuses;
            return text;
        }
    }
    return helpText();
}
