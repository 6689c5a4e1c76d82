#include "cli/cli_commands.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The libraries under the toolkit report trouble on standard error themselves
// ("libpng error: Read Error"), beside the toolkit's warnings; a failure must
// print one line, the tool's own. So standard error is kept under another
// descriptor for that line, and descriptor 2 goes to /dev/null.
FILE* takeStandardError()
{
    const int kept = ::dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (kept < 0 || null < 0)
        return stderr;
    ::dup2(null, STDERR_FILENO);
    ::close(null);
    FILE* messages = ::fdopen(kept, "w");
    return messages != nullptr ? messages : stderr;
}

} // namespace

int main(int argc, char** argv)
{
    // A reader that goes away (`| head`) must not kill the program before it
    // has removed its temporary files; the write fails and is reported instead.
    std::signal(SIGPIPE, SIG_IGN);
    FILE* messages = takeStandardError();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // Image reading and writing need no display, so no GUI application object:
    // the tool runs without DISPLAY or QT_QPA_PLATFORM and starts faster.
    const QCoreApplication application(argc, argv);

    QFile input;
    input.open(STDIN_FILENO, QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
    QFile output;
    output.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered,
                QFileDevice::DontCloseHandle);

    const CliOutcome outcome =
        runCli(QCoreApplication::arguments(), {&input, &output, ::isatty(STDOUT_FILENO) == 1});
    if (outcome.exitCode != exitSuccess) {
        std::fprintf(messages, "dotwright-cli: %s\n", qPrintable(outcome.error));
        std::fflush(messages);
    }
    return outcome.exitCode;
}
