#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Runs the built dotwright-cli as its own process, the way a build script does:
// without DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM in its environment.
struct CliRun
{
    int exitCode = -1;
    bool crashed = false;
    QByteArray output;
    QByteArray errors;
};

struct CliRunSetup
{
    QByteArray input;   // given on standard input
    QString folder;     // the working folder; empty: the test's own
    QString outputFile; // standard output goes to this file (e.g. /dev/full, a terminal)
};

CliRun runCliProcess(const QStringList& arguments, const CliRunSetup& setup = {});

// The picture data file that `dotwright-cli picture` writes to standard output
// for a picture file, slider value, converter and compression. Fails the
// running test (and returns nothing) when the tool does not succeed.
QByteArray cliPictureBytes(const QString& picture, int level, bool greyscale, bool compressed);
