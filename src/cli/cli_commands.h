#pragma once

#include "cli/cli_options.h"
#include "core/result.h"
#include "picture_io/byte_source.h"

#include <span>
#include <string>
#include <string_view>

inline constexpr int exitSuccess = 0;
inline constexpr int exitFailure = 1;
inline constexpr int exitUsage = 2;

// Where standard output goes: the process's descriptor, or memory in a test.
class OutputStream
{
public:
    virtual ~OutputStream() = default;
    // All of `bytes`, or the reason why not ("cannot write: Broken pipe").
    virtual Result<void> write(std::string_view bytes) = 0;
};

// A descriptor the caller keeps open: standard output. Writes retry on EINTR
// and carry on after a partial write.
class DescriptorOutput final : public OutputStream
{
public:
    explicit DescriptorOutput(int descriptor) : m_descriptor(descriptor) {}
    Result<void> write(std::string_view bytes) override;

private:
    int m_descriptor;
};

class StringOutput final : public OutputStream
{
public:
    Result<void> write(std::string_view bytes) override
    {
        text.append(bytes);
        return {};
    }
    std::string text;
};

// The process's standard streams, or stand-ins in a test.
struct CliStreams
{
    ByteSource* input = nullptr;
    OutputStream* output = nullptr;
    // unpack refuses to send a picture to a terminal.
    bool outputIsTerminal = false;
};

// Usage errors that the file system or the streams decide, found before
// anything is read: two outputs, or an output and the input, that are one
// file (through links or linked folders, not only by spelling); a picture for
// a terminal.
Result<void> checkUsage(const CliOptions& options, const CliStreams& streams);

// Carries out parsed and checked options. Everything is computed before
// anything is written, and no file of a failed run is left behind or changed.
Result<void> runCommand(const CliOptions& options, const CliStreams& streams);

// How a run ended: its exit status and, when it failed, the one-line message
// "<what>: <why>" without the program name.
struct CliExit
{
    int status = exitSuccess;
    std::string message;
};

// A whole run from the arguments (the program name first): what main does,
// short of printing the message. Usage errors end with status 2, every other
// failure with 1.
CliExit runCli(std::span<const std::string> arguments, const CliStreams& streams);
