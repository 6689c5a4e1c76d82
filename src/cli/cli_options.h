#pragma once

#include "sprite/sprite_code.h"

#include <QString>
#include <QStringList>

#include <optional>

enum class CliCommand { Help, Version, Picture, Sprite, SpriteRender, Unpack };

// What one run of dotwright-cli is asked to do. Which fields count depends on
// the command; the others keep their defaults.
struct CliOptions
{
    CliCommand command = CliCommand::Help;
    // PICTURE, IMAGE, CODEFILE or DATAFILE; "-" is standard input (also what
    // --render reads when no CODEFILE is named).
    QString input;
    // -o, or the PNG of --render. Empty: standard output.
    QString output;
    // --bmp; empty when no bitmap is asked for.
    QString bitmap;
    bool greyscale = false;
    bool compressed = false;
    int level = 50;
    SpriteKind kind = SpriteKind::BlackWhite;
};

struct CommandLine
{
    std::optional<CliOptions> options;
    // When `options` is empty: the usage error as "<what>: <why>", one line.
    QString usageError;
};

// Reads the arguments (the program name first, as in argv). Touches no file:
// naming the same file for -o and --bmp is caught from the names alone.
CommandLine parseCommandLine(const QStringList& arguments);

// What --help prints: the synopsis, then a few lines on each command.
QString helpText();
// What --version prints: "dotwright-cli <version>".
QString versionText();
