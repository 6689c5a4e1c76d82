#include "cli/cli_commands.h"

#include "core/bit_plane.h"
#include "core/colour.h"
#include "core/dithering.h"
#include "core/greyscale_conversion.h"
#include "core/picture_data_file.h"
#include "core/screen.h"
#include "core/sprite_code.h"
#include "core/sprite_sheet.h"
#include "picture_io/bitmap_writer.h"
#include "picture_io/output_files.h"
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

// Build outputs are written as compilers write theirs, without forcing each
// to the disk (see OutputFiles::DiskSync).
constexpr OutputFiles::DiskSync buildOutputs = OutputFiles::DiskSync::Unsynced;

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

// Text to the -o file, or to standard output.
Result<void> deliverText(const CliOptions& options, std::string text, const CliStreams& streams)
{
    OutputFiles files(buildOutputs);
    if (options.output.empty())
        return deliver(files, &text, streams);
    files.add(options.output, std::move(text));
    return deliver(files, nullptr, streams);
}

// A picture to the output file the options name, or to standard output.
Result<void> deliverPicture(const CliOptions& options, int width, int height,
                            std::span<const Colour> colours, const CliStreams& streams)
{
    Result<std::string> bytes = encodePicture(options.outputFormat, width, height, colours);
    if (!bytes) {
        return failNaming(bytes.error(),
                          options.output.empty() ? "standard output" : options.output);
    }
    return deliverText(options, std::move(*bytes), streams);
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

    OutputFiles files(buildOutputs);
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

// Keeps a picture's pixels in the colours of a sprite kind as the decoder
// delivers them, and where the first pixel lies, in reading order, that was
// not already such a colour. Either the top-left corner of `corner`'s size,
// beyond the picture transparent, or, without a corner, the whole picture up
// to maxSheetPixels: a larger one is refused before its pixels are decoded.
// A sheet that is an animation keeps every frame, one after another, all of
// them together within that bound.
class SpritePictureSink final : public RowSink
{
public:
    SpritePictureSink(SpriteKind kind, std::optional<SpriteSize> corner)
        : m_kind(kind), m_corner(corner), m_transparent(spritePixelOf(kind, 0, 0, 0, 0).colour)
    {}

    void start(PictureSize delivered) override
    {
        m_delivered = delivered;
        m_tooLarge = !m_corner && delivered.width * delivered.height > maxSheetPixels;
        if (m_tooLarge)
            return; // keeps nothing, so the decoder may stop at once
        SpritePicture& frame = m_frames.emplace_back();
        frame.width = int(m_corner ? m_corner->width : delivered.width);
        frame.height = int(m_corner ? m_corner->height : delivered.height);
        frame.colours.assign(std::size_t(frame.width) * std::size_t(frame.height), m_transparent);
    }
    std::int64_t rowsWanted() const override
    {
        return m_tooLarge ? 0 : std::min<std::int64_t>(current().height, m_delivered.height);
    }
    std::int64_t columnsWanted() const override
    {
        return m_tooLarge ? 0 : std::min<std::int64_t>(current().width, m_delivered.width);
    }
    void pixels(std::int64_t y, std::int64_t x0, std::int64_t step,
                std::span<const Rgba> pixels) override
    {
        if (y < 0 || y >= rowsWanted() || x0 < 0 || step < 1)
            return;
        SpritePicture& frame = m_frames.back();
        const std::size_t rowStart = std::size_t(y) * std::size_t(frame.width);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const std::int64_t x = x0 + std::int64_t(i) * step;
            if (x >= columnsWanted())
                break;
            const Rgba pixel = pixels[i];
            const SpritePixel shown =
                spritePixelOf(m_kind, pixel.red, pixel.green, pixel.blue, pixel.alpha);
            const std::size_t at = rowStart + std::size_t(x);
            frame.colours[at] = shown.colour;
            // Rows may come in any order, so the first in reading order is the
            // earliest place seen in the earliest frame that has one.
            const std::size_t frameIndex = m_frames.size() - 1;
            if (!shown.exact && (!m_other || (m_other->frame == frameIndex && at < m_other->at)))
                m_other = Other{frameIndex, at, pixel};
        }
    }
    bool takesFrames() const override { return !m_corner; }
    bool wantsAnotherFrame() override
    {
        const std::int64_t pixels =
            std::int64_t(m_frames.size() + 1) * m_delivered.width * m_delivered.height;
        m_tooLarge = pixels > maxSheetPixels;
        return !m_tooLarge;
    }

    bool tooLarge() const { return m_tooLarge; }
    PictureSize delivered() const { return m_delivered; }
    std::size_t frameCount() const { return m_frames.size(); }
    std::vector<SpritePicture>& frames() { return m_frames; }

    // The first pixel that had another colour, as the picture stored it:
    // its frame, its place in the frame, and its colour; nothing when every
    // pixel had one of the kind's colours.
    struct Other
    {
        std::size_t frame;
        std::size_t at;
        Rgba pixel;
    };
    const std::optional<Other>& firstOtherColour() const { return m_other; }

private:
    const SpritePicture& current() const
    {
        static const SpritePicture none;
        return m_frames.empty() ? none : m_frames.back();
    }

    SpriteKind m_kind;
    std::optional<SpriteSize> m_corner;
    Colour m_transparent;
    PictureSize m_delivered;
    bool m_tooLarge = false;
    std::vector<SpritePicture> m_frames;
    std::optional<Other> m_other;
};

// "#101010", or "#10101080" for a pixel that is not opaque: as pixel-art
// programs show colours, red first.
std::string hexColour(Rgba pixel)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "#";
    const auto add = [&](int value) {
        text += digits[value >> 4];
        text += digits[value & 15];
    };
    add(pixel.red);
    add(pixel.green);
    add(pixel.blue);
    if (pixel.alpha != 255)
        add(pixel.alpha);
    return text;
}

// The picture of `name` in the colours of the options' kind: its top-left
// corner of `corner`'s size, or the whole sheet, every frame of an animated
// one. With --exact a pixel of any other colour fails, naming the first.
Result<std::vector<SpritePicture>> readSpritePicture(const CliOptions& options,
                                                     std::optional<SpriteSize> corner,
                                                     const CliStreams& streams)
{
    Result<Input> input = Input::open(options.input, "a picture", streams);
    if (!input)
        return fail(input.error());
    const std::string name = nameOf(options.input);
    SpritePictureSink sink(options.kind, corner);
    if (Result<void> read = readPicture(input->source(), sink); !read)
        return failNaming(read.error(), name);
    if (sink.tooLarge()) {
        const PictureSize size = sink.delivered();
        const std::string frames =
            sink.frameCount() == 0 ? "" : std::to_string(sink.frameCount() + 1) + " frames of ";
        return fail(name, "sheet is too large (" + frames + std::to_string(size.width) + " × " +
                              std::to_string(size.height) + " pixels, more than " +
                              std::to_string(maxSheetPixels) + (frames.empty() ? "" : " in all") +
                              ")");
    }
    if (const auto other = sink.firstOtherColour(); options.exact && other) {
        const auto width = std::size_t(sink.frames()[other->frame].width);
        const std::string frame =
            sink.frameCount() > 1 ? "frame " + std::to_string(other->frame + 1) + ", " : "";
        return fail(name, frame + "pixel " + std::to_string(other->at % width) + "," +
                              std::to_string(other->at / width) + " is " + hexColour(other->pixel) +
                              ", not a colour of the " + std::string(spriteKindName(options.kind)) +
                              " editor");
    }
    if (sink.frames().empty())
        return fail(name, "holds no picture");
    return std::move(sink.frames());
}

Result<void> runSprite(const CliOptions& options, const CliStreams& streams)
{
    const Result<std::vector<SpritePicture>> sprite =
        readSpritePicture(options, options.size, streams);
    if (!sprite)
        return fail(sprite.error());
    // The editor's text, and a line end after it, as a source file wants.
    std::string text;
    appendCellCode(text, options.kind, sprite->front(), 0, 0, options.size);
    text += "\r\n";
    return deliverText(options, std::move(text), streams);
}

Result<void> runSprites(const CliOptions& options, const CliStreams& streams)
{
    const Result<std::vector<SpritePicture>> sheet =
        readSpritePicture(options, std::nullopt, streams);
    if (!sheet)
        return fail(sheet.error());
    SheetOptions sheetOptions{options.kind, options.size, options.label, options.skipEmpty};
    if (sheetOptions.label.empty())
        sheetOptions.label = labelFromFileName(options.input);
    Result<std::string> text = spriteSheetText(*sheet, sheetOptions);
    if (!text)
        return failNaming(text.error(), nameOf(options.input));
    return deliverText(options, std::move(*text), streams);
}

Result<void> runSpriteRender(const CliOptions& options, const CliStreams& streams)
{
    Result<Input> input = Input::open(options.input, "sprite code", streams);
    if (!input)
        return fail(input.error());

    // Only the digits "0" and "1" of a text count, wherever they stand, so only
    // they are kept, and reading stops once the kind has all it needs: a text of
    // any size is read in constant memory, with the result of reading it whole.
    const std::size_t needed = digitCount(options.kind, options.size);
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
    const std::optional<std::vector<Colour>> colours =
        readSpriteCode(options.kind, options.size, digits);
    if (!colours) {
        return fail(nameOf(options.input),
                    "too few digits: " + std::string(spriteKindName(options.kind)) +
                        " sprite code needs " + std::to_string(needed) + " digits 0 and 1, found " +
                        std::to_string(digits.size()));
    }
    return deliverPicture(options, options.size.width, options.size.height, *colours, streams);
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
    case CliCommand::Sprites:
        command = options.command == CliCommand::Sprite ? "sprite" : "sprites";
        inputName = options.command == CliCommand::Sprite ? "IMAGE" : "SHEET";
        if (!options.output.empty())
            outputs.push_back({"-o", options.output});
        break;
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

    OutputFiles files(buildOutputs);
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
    case CliCommand::Sprites:
        return runSprites(options, streams);
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
