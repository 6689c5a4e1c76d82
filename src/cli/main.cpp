#include "cli/cli_commands.h"
#include "core/printable_name.h"
#include "picture_io/output_files.h"

#include <clocale>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A program started with a standard descriptor closed would open its first
// file under that number and write its data there, as if it were the stream.
// Each closed one is therefore opened on /dev/null first, for reading only,
// so that writing to a closed standard output fails as a write error.
void openClosedStandardDescriptors()
{
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) < 0) {
            const int opened = ::open("/dev/null", O_RDONLY);
            if (opened >= 0 && opened != descriptor) {
                ::dup2(opened, descriptor);
                ::close(opened);
            }
        }
    }
}

// The picture libraries report to the decoders, but one that still printed its
// own complaint on standard error ("libpng error: Read Error") would stand
// beside ours, and a failure must print one line, the tool's own. So standard
// error is kept under another descriptor for that line, and descriptor 2 goes
// to /dev/null.
FILE* takeStandardError()
{
    const int kept = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
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
    openClosedStandardDescriptors();
    // A reader that goes away (`| head`) must not kill the program before it
    // has removed its temporary files; the write fails and is reported instead.
    std::signal(SIGPIPE, SIG_IGN);
    installWriteCleanup();
    FILE* messages = takeStandardError();
    // The system's reasons ("No space left on device") in the user's language
    // and character set, as the windows give them. Only these two categories:
    // numbers, dates and sorting play no part, and loading every category of
    // the locale cost a tenth of a small picture's conversion.
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
    // File names are bytes: they stay exactly as the shell passed them.
    const std::vector<std::string> arguments(argv, argv + argc);
    FileSource input = FileSource::borrow(STDIN_FILENO);
    DescriptorOutput output(STDOUT_FILENO);
    const CliExit exit = runCli(arguments, {&input, &output, ::isatty(STDOUT_FILENO) == 1});
    if (exit.status != exitSuccess) {
        std::fprintf(messages, "dotwright-cli: %s\n", printableName(exit.message).c_str());
        std::fflush(messages);
    }
    return exit.status;
}
