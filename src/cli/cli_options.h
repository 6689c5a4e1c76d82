#pragma once

#include "core/dithering.h"
#include "core/result.h"
#include "core/sprite_code.h"
#include "core/view_geometry.h"

#include <span>
#include <string>
#include <string_view>

enum class CliCommand { Help, Version, Picture, Sprite, SpriteRender, Sprites, Unpack };

// The picture formats dotwright-cli writes, chosen by the output's extension.
enum class ImageFormat { Png, Bmp };

// What one run of dotwright-cli is asked to do. Which fields count depends on
// the command; the others keep their defaults. File names are bytes, exactly
// as given on the command line.
struct CliOptions
{
    CliCommand command = CliCommand::Help;
    // For Help: the command whose help is asked for ("picture"), or empty for all.
    std::string helpTopic;
    // PICTURE, IMAGE, CODEFILE, SHEET or DATAFILE; "-" is standard input (also
    // what --render reads when no CODEFILE is named).
    std::string input;
    // -o, or the picture of --render. Empty: standard output (also for "-").
    std::string output;
    // The format of unpack's and --render's picture: by the extension of
    // `output`, PNG on standard output.
    ImageFormat outputFormat = ImageFormat::Png;
    // --bmp; empty when no bitmap is asked for.
    std::string bitmap;
    // --source, the source view as a picture in the format of its extension;
    // empty when it is not asked for.
    std::string sourceView;
    ImageFormat sourceViewFormat = ImageFormat::Png;
    // --fit, --fill or --offset X,Y; the top-left corner by default.
    ViewOptions view;
    // --dither and --invert; the threshold by default.
    Tone tone;
    bool greyscale = false;
    bool compressed = false;
    int level = 50;
    SpriteKind kind = SpriteKind::BlackWhite;
    // --size: the sprite of sprite and sprite --render, the cells of sprites.
    SpriteSize size;
    // --label; empty: the sheet's file name made a label.
    std::string label;
    // --exact: refuse a picture with any colour the sprite kind does not draw.
    bool exact = false;
    bool skipEmpty = false;
};

// Reads the arguments (the program name first, as in argv). Touches no file.
// A usage error fails naming the command (or "usage") and saying why, e.g.
// {"picture", "--level must be a whole number from 0 to 100, not '50x'"}.
Result<CliOptions> parseCommandLine(std::span<const std::string> arguments);

// What --help prints: the synopsis, then a few lines on each command with an
// example, then the exit statuses.
std::string helpText();
// What `dotwright-cli COMMAND --help` prints: that command's synopsis, its
// options and an example.
std::string commandHelpText(const std::string& command);
// What --version prints: "dotwright-cli <version>".
std::string versionText();

// The sprite kinds' short names in their table's order, for the help and the
// messages: spriteKindChoices("|", "|") is "bw|grey|bw-mask|grey-mask",
// spriteKindChoices(", ", " or ") "bw, grey, bw-mask or grey-mask".
std::string spriteKindChoices(std::string_view between, std::string_view last);
// The ditherings' names in the same way: "none|ordered|floyd-steinberg|atkinson".
std::string ditheringChoices(std::string_view between, std::string_view last);
