#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

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

// A run started by hand, for what the runner above cannot do: arguments as
// bytes, exactly as a shell passes them (names that are not UTF-8), a
// descriptor closed or a limit set in the child before it becomes the tool,
// and a signal sent while it runs.
class CliChild
{
public:
    struct Setup
    {
        QByteArray input;
        QString folder;
        // Runs in the child between fork and exec (setrlimit, close, dup2 ...).
        void (*inChild)() = nullptr;
    };

    CliChild(const QList<QByteArray>& arguments, const Setup& setup);
    ~CliChild();
    CliChild(const CliChild&) = delete;
    CliChild& operator=(const CliChild&) = delete;

    pid_t pid() const { return m_pid; }
    // Waits for the end (60 s at most) and collects what it wrote. The exit
    // code is -1 when a signal ended it; `signal` then says which.
    CliRun finish();
    int signal() const { return m_signal; }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    int m_errors = -1;
    int m_signal = 0;
};
