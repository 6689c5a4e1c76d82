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
const std::array<CommandHelp, 3>& commandHelps()
{
    static const std::string kinds = spriteKindChoices("|", "|");
    static const std::string kindList = spriteKindChoices(", ", " or ");
    static const std::string ditherings = ditheringChoices("|", "|");
    static const std::string ditheringList = ditheringChoices(", ", " or ");
    static const std::array<CommandHelp, 3> helps{{
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
        // clang-format on
        // clang-format off
        {"sprite",
         "dotwright-cli sprite  [--kind " + kinds + "] IMAGE\n"
         "dotwright-cli sprite  [--kind " + kinds + "] --render OUT.png [CODEFILE]\n",
         "Prints the sprite code of the top-left 8 x 8 pixels of IMAGE as the sprite\n"
         "editor of that kind writes it (default bw): CR LF between lines. Colours the\n"
         "editor does not know give 0 bits. With --render, reads sprite code from\n"
         "CODEFILE (default, or -: standard input) as the editor's double-click does,\n"
         "every 0 and 1 counting, and writes the 8 x 8 sprite as a picture; the name's\n"
         "extension, .png or .bmp, says which (-: PNG on standard output).\n"
         "\n"
         "  --kind KIND       " + kindList + "\n"
         "  --render OUT.png  draw the sprite that CODEFILE holds\n"
         "\n"
         "Example: dotwright-cli sprite --kind grey hero.png\n"},
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
    "an output that cannot be written); 2 usage error. Every failure prints one\n"
    "line on standard error, and nothing is written unless everything succeeds.\n";

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
