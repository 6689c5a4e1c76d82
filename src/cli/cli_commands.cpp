#include "cli/cli_commands.h"

#include "core/bit_plane.h"
#include "core/colour.h"
#include "core/dithering.h"
#include "core/greyscale_conversion.h"
#include "core/picture_data_file.h"
#include "core/screen.h"
#include "core/sprite_code.h"
#include "picture_io/bitmap_writer.h"
#include "picture_io/output_files.h"
#include "picture_io/picture_on_background.h"
#include "picture_io/picture_reader.h"
#include "picture_io/png_writer.h"
#include "picture_io/text_input.h"
#include "picture_io/view_sink.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace {

const std::string standardInput = "-";

std::string nameOf(const std::string& input)
{
    return input == standardInput ? "standard input" : input;
}

// The input a command reads: a named file, or standard input for "-".
class Input
{
public:
    static Result<Input> open(const std::string& name, const std::string& notA,
                              const CliStreams& streams)
    {
        Input input;
        if (name == standardInput) {
            if (streams.input == nullptr)
                return fail(nameOf(name), "cannot be read");
            input.m_source = streams.input;
            return input;
        }
        Result<FileSource> file = FileSource::open(name, notA);
        if (!file)
            return failNaming(file.error(), name);
        input.m_file.emplace(std::move(*file));
        return input;
    }

    ByteSource& source() { return m_file ? *m_file : *m_source; }

private:
    std::optional<FileSource> m_file;
    ByteSource* m_source = nullptr; // standard input, kept by the caller
};

// Every picture is read as the windows read it: the corner only, drawn on the
// white background of their drawing areas, transparent parts showing white.
Result<std::vector<Colour>> readCorner(const std::string& name, int width, int height,
                                       const CliStreams& streams)
{
    Result<Input> input = Input::open(name, "a picture", streams);
    if (!input)
        return fail(input.error());
    const Result<PictureCorner> corner = readPictureCorner(input->source(), width, height);
    if (!corner)
        return failNaming(corner.error(), nameOf(name));
    return pictureOnBackground(*corner, width, height, colours::white);
}

std::string textOf(const std::vector<std::uint8_t>& bytes)
{
    return {bytes.begin(), bytes.end()};
}

Result<void> writeStandardOutput(const std::string& text, const CliStreams& streams)
{
    if (streams.output == nullptr)
        return fail("standard output", "cannot write: not open");
    if (Result<void> written = streams.output->write(text); !written)
        return failNaming(written.error(), "standard output");
    return {};
}

// Writes the files and, when `toOutput` is given, standard output. Standard
// output goes first: bytes sent down a pipe cannot be called back, but the
// files can still be dropped if it fails.
Result<void> deliver(OutputFiles& files, const std::string* toOutput, const CliStreams& streams)
{
    if (Result<void> prepared = files.prepare(); !prepared)
        return prepared;
    if (toOutput != nullptr) {
        if (Result<void> written = writeStandardOutput(*toOutput, streams); !written)
            return written;
    }
    return files.commit();
}

Result<std::string> encodePicture(ImageFormat format, int width, int height,
                                  std::span<const Colour> colours)
{
    if (format == ImageFormat::Bmp)
        return textOf(encodeBitmap(width, height, colours));
    const Result<std::vector<std::uint8_t>> png = encodePng(width, height, colours);
    if (!png)
        return fail(png.error());
    return textOf(*png);
}

// A picture to the output file the options name, or to standard output.
Result<void> deliverPicture(const CliOptions& options, int width, int height,
                            std::span<const Colour> colours, const CliStreams& streams)
{
    const Result<std::string> bytes = encodePicture(options.outputFormat, width, height, colours);
    if (!bytes) {
        return failNaming(bytes.error(),
                          options.output.empty() ? "standard output" : options.output);
    }
    OutputFiles files;
    if (!options.output.empty()) {
        files.add(options.output, *bytes);
        return deliver(files, nullptr, streams);
    }
    return deliver(files, &*bytes, streams);
}

Result<void> runPicture(const CliOptions& options, const CliStreams& streams)
{
    Result<Input> input = Input::open(options.input, "a picture", streams);
    if (!input)
        return fail(input.error());
    // The windows' source view: the corner on white, or the picture placed.
    const Result<SourceView> source = readSourceView(input->source(), options.view);
    if (!source)
        return failNaming(source.error(), nameOf(options.input));

    // The data file comes from what each window exports: the black-and-white
    // preview's pixels, or the greyscale layer grids; the bitmap is the preview.
    SourceView preview;
    std::string text;
    if (options.greyscale) {
        const GreyscaleResult result = quantiseGreyscale(*source, options.level, options.tone);
        preview = result.preview;
        text = greyscaleDataFile(bitPlaneFromGrid(result.light), bitPlaneFromGrid(result.dark),
                                 options.compressed);
    } else {
        preview = quantiseBlackWhite(*source, options.level, options.tone);
        text = blackWhiteDataFile(bitPlaneFromPixels(preview), options.compressed);
    }

    OutputFiles files;
    if (!options.output.empty())
        files.add(options.output, text);
    if (!options.bitmap.empty())
        files.add(options.bitmap, textOf(encodeBitmap(screenWidth, screenHeight, preview)));
    if (!options.sourceView.empty()) {
        const Result<std::string> picture =
            encodePicture(options.sourceViewFormat, screenWidth, screenHeight, *source);
        if (!picture)
            return failNaming(picture.error(), options.sourceView);
        files.add(options.sourceView, *picture);
    }
    return deliver(files, options.output.empty() ? &text : nullptr, streams);
}

Result<void> runSprite(const CliOptions& options, const CliStreams& streams)
{
    const Result<std::vector<Colour>> colours =
        readCorner(options.input, spriteSize, spriteSize, streams);
    if (!colours)
        return fail(colours.error());

    // A freshly opened editor: all bits 0, so a colour it does not know leaves 0.
    SpriteLayers bits;
    for (int y = 0; y < spriteSize; ++y) {
        for (int x = 0; x < spriteSize; ++x)
            applyColour(options.kind, (*colours)[std::size_t(y * spriteSize + x)], x, y, bits);
    }
    const std::string text = spriteCodeText(options.kind, bits);
    OutputFiles none;
    return deliver(none, &text, streams);
}

Result<void> runSpriteRender(const CliOptions& options, const CliStreams& streams)
{
    Result<Input> input = Input::open(options.input, "sprite code", streams);
    if (!input)
        return fail(input.error());

    // Only the digits "0" and "1" of a text count, wherever they stand, so only
    // they are kept, and reading stops once the kind has all it needs: a text of
    // any size is read in constant memory, with the result of reading it whole.
    const std::size_t needed = digitCount(options.kind);
    std::string digits;
    const Result<void> read = readTextPieces(input->source(), [&](std::string_view piece) {
        for (const char c : piece) {
            if ((c == '0' || c == '1') && digits.size() < needed)
                digits += c;
        }
        return digits.size() == needed;
    });
    if (!read)
        return failNaming(read.error(), nameOf(options.input));
    const std::optional<SpriteColours> colours = readSpriteCode(options.kind, digits);
    if (!colours) {
        return fail(nameOf(options.input),
                    "too few digits: " + std::string(spriteKindName(options.kind)) +
                        " sprite code needs " + std::to_string(needed) + " digits 0 and 1, found " +
                        std::to_string(digits.size()));
    }
    return deliverPicture(options, spriteSize, spriteSize, *colours, streams);
}

Result<void> runUnpack(const CliOptions& options, const CliStreams& streams)
{
    Result<Input> input = Input::open(options.input, "a picture data file", streams);
    if (!input)
        return fail(input.error());
    const Result<std::string> text = readWholeText(input->source());
    if (!text)
        return failNaming(text.error(), nameOf(options.input));
    const Result<ParsedDataFile> data = parsePictureDataFile(*text);
    if (!data)
        return failNaming(data.error(), nameOf(options.input));
    const SourceView pixels = data->greyscale ? greyscalePreview(gridFromBitPlane(data->planes[0]),
                                                                 gridFromBitPlane(data->planes[1]))
                                              : pixelsFromBitPlane(data->planes[0]);
    return deliverPicture(options, screenWidth, screenHeight, pixels, streams);
}

// The files a run writes, named as the messages name them, and its input.
struct NamedFile
{
    std::string option;
    std::string path;
};

} // namespace

Result<void> DescriptorOutput::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(std::string("cannot write: ") + std::strerror(errno));
        }
        bytes.remove_prefix(std::size_t(written));
    }
    return {};
}

Result<void> checkUsage(const CliOptions& options, const CliStreams& streams)
{
    std::string command;
    std::string inputName;
    std::vector<NamedFile> outputs;
    switch (options.command) {
    case CliCommand::Help:
    case CliCommand::Version:
        return {};
    case CliCommand::Picture:
        command = "picture";
        inputName = "PICTURE";
        if (!options.output.empty())
            outputs.push_back({"-o", options.output});
        if (!options.bitmap.empty())
            outputs.push_back({"--bmp", options.bitmap});
        if (!options.sourceView.empty())
            outputs.push_back({"--source", options.sourceView});
        break;
    case CliCommand::Sprite:
        return {};
    case CliCommand::SpriteRender:
        command = "sprite";
        inputName = "CODEFILE";
        if (!options.output.empty())
            outputs.push_back({"--render", options.output});
        break;
    case CliCommand::Unpack:
        command = "unpack";
        inputName = "DATAFILE";
        if (options.output.empty() && streams.outputIsTerminal) {
            return fail(command, "standard output is a terminal; name the PNG with -o OUT.png "
                                 "or redirect the output");
        }
        if (!options.output.empty())
            outputs.push_back({"-o", options.output});
        break;
    }

    OutputFiles files;
    for (const NamedFile& output : outputs)
        files.add(output.path, std::string());
    const bool namedInput = options.input != standardInput;
    if (const auto same = files.sameFile(namedInput ? &options.input : nullptr)) {
        const std::size_t offset = namedInput ? 1 : 0;
        const std::string first =
            namedInput && same->first == 0 ? inputName : outputs[same->first - offset].option;
        return fail(command, first + " and " + outputs[same->second - offset].option +
                                 " name the same file");
    }
    return {};
}

Result<void> runCommand(const CliOptions& options, const CliStreams& streams)
{
    switch (options.command) {
    case CliCommand::Help:
    case CliCommand::Version: {
        const std::string text = options.command == CliCommand::Version ? versionText()
                                 : options.helpTopic.empty()            ? helpText()
                                                             : commandHelpText(options.helpTopic);
        return writeStandardOutput(text, streams);
    }
    case CliCommand::Picture:
        return runPicture(options, streams);
    case CliCommand::Sprite:
        return runSprite(options, streams);
    case CliCommand::SpriteRender:
        return runSpriteRender(options, streams);
    case CliCommand::Unpack:
        return runUnpack(options, streams);
    }
    return {};
}

CliExit runCli(std::span<const std::string> arguments, const CliStreams& streams)
{
    const Result<CliOptions> options = parseCommandLine(arguments);
    if (!options)
        return {exitUsage, options.error().message()};
    if (const Result<void> usable = checkUsage(*options, streams); !usable)
        return {exitUsage, usable.error().message()};
    if (const Result<void> done = runCommand(*options, streams); !done)
        return {exitFailure, done.error().message()};
    return {};
}
