#pragma once

#include "cli/cli_options.h"

#include <QString>
#include <QStringList>

class QIODevice;

inline constexpr int exitSuccess = 0;
inline constexpr int exitFailure = 1;
inline constexpr int exitUsage = 2;

// The process's standard streams, or buffers in a test.
struct CliStreams
{
    QIODevice* input = nullptr;
    QIODevice* output = nullptr;
    // unpack refuses to send a PNG to a terminal.
    bool outputIsTerminal = false;
};

struct CliOutcome
{
    int exitCode = exitSuccess;
    // When the run failed: "<what>: <why>", one line, without the program name.
    QString error;
};

// Carries out parsed options. Everything is computed before anything is
// written, and no file of a failed run is left behind or changed.
CliOutcome runCommand(const CliOptions& options, const CliStreams& streams);

// A whole run from the arguments (the program name first): what main does,
// short of printing the error.
CliOutcome runCli(const QStringList& arguments, const CliStreams& streams);
