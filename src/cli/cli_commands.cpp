#include "cli/cli_commands.h"

#include "cli/output_files.h"
#include "common/colour.h"
#include "convert/bit_plane.h"
#include "convert/black_white_conversion.h"
#include "convert/greyscale_conversion.h"
#include "convert/picture_data_file.h"
#include "sprite/sprite_code.h"
#include "picture_io/file_writer.h"
#include "picture_io/picture_loader.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <span>
#include <string>

namespace {

// Far more than any data file Dotwright writes (about 21 kB at most), yet
// small enough that a wrong file given by mistake is refused, not read whole.
constexpr qint64 maxDataFileBytes = qint64{16} * 1024 * 1024;

const QString standardInput = QStringLiteral("-");

CliOutcome failed(const QString& what, const QString& why)
{
    return {exitFailure, what + QStringLiteral(": ") + why};
}

CliOutcome failed(const FileFailure& failure)
{
    return failed(failure.file, failure.why);
}

QString nameOf(const QString& input)
{
    return input == standardInput ? QStringLiteral("standard input") : input;
}

// Every picture is read as the windows read it: the corner only, drawn on the
// white background of their drawing areas, transparent parts showing white.
std::optional<QImage> loadCorner(const QString& input, QSize size, const CliStreams& streams,
                                 CliOutcome* failure)
{
    const LoadedPicture picture = input == standardInput ? loadPictureCorner(streams.input, size)
                                                         : loadPictureCorner(input, size);
    if (!picture.ok()) {
        *failure = failed(nameOf(input), picture.error);
        return std::nullopt;
    }
    return pictureOnBackground(picture.corner, size, colours::white);
}

QImage imageOf(std::span<const Colour> colours, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const Colour c = colours[static_cast<std::size_t>(y * width + x)];
            line[x] = qRgb(redOf(c), greenOf(c), blueOf(c));
        }
    }
    return image;
}

std::optional<QString> writeOut(const QByteArray& bytes, const CliStreams& streams)
{
    if (streams.output == nullptr)
        return QStringLiteral("not open");
    if (streams.output->write(bytes) != bytes.size())
        return streams.output->errorString();
    return std::nullopt;
}

// Writes the files and, when `toOutput` is given, standard output. Standard
// output goes first: bytes sent down a pipe cannot be called back, but the
// files can still be dropped if it fails.
CliOutcome deliver(OutputFiles& files, const QByteArray* toOutput, const CliStreams& streams)
{
    if (const auto failure = files.prepare())
        return failed(*failure);
    if (toOutput != nullptr) {
        if (const auto error = writeOut(*toOutput, streams))
            return failed(QStringLiteral("standard output"),
                          QStringLiteral("cannot write: ") + *error);
    }
    if (const auto failure = files.commit())
        return failed(*failure);
    return {};
}

CliOutcome deliverPng(const QImage& image, const QString& path, const CliStreams& streams)
{
    OutputFiles files;
    if (!path.isEmpty()) {
        files.add(path, [image](const QString& file) { return writePng(file, image); });
        return deliver(files, nullptr, streams);
    }
    // The PNG exactly as writePng stores it in a file.
    const std::optional<QByteArray> bytes = encodeImage(image, "png");
    if (!bytes)
        return failed(QStringLiteral("standard output"), QStringLiteral("cannot encode the PNG"));
    return deliver(files, &*bytes, streams);
}

CliOutcome runPicture(const CliOptions& options, const CliStreams& streams)
{
    CliOutcome failure;
    const std::optional<QImage> shown =
        loadCorner(options.input, {screenWidth, screenHeight}, streams, &failure);
    if (!shown)
        return failure;
    const SourceView source = sourceViewOf(*shown);

    // The data file comes from what each window exports: the black-and-white
    // preview's pixels, or the greyscale layer grids; the bitmap is the preview.
    SourceView preview;
    std::string text;
    if (options.greyscale) {
        const GreyscaleResult result = convertGreyscale(source, options.level);
        preview = result.preview;
        text = greyscaleDataFile(bitPlaneFromGrid(result.light), bitPlaneFromGrid(result.dark),
                                 options.compressed);
    } else {
        preview = convertBlackWhite(source, options.level);
        text = blackWhiteDataFile(bitPlaneFromPixels(preview), options.compressed);
    }
    const QByteArray bytes = QByteArray::fromStdString(text);

    OutputFiles files;
    if (!options.output.isEmpty())
        files.add(options.output,
                  [bytes](const QString& file) { return writeFileAtomically(file, bytes); });
    if (!options.bitmap.isEmpty()) {
        const QImage image = imageOf(preview, screenWidth, screenHeight);
        files.add(options.bitmap,
                  [image](const QString& file) { return writeBitmap(file, image); });
    }
    return deliver(files, options.output.isEmpty() ? &bytes : nullptr, streams);
}

CliOutcome runSprite(const CliOptions& options, const CliStreams& streams)
{
    CliOutcome failure;
    const std::optional<QImage> shown =
        loadCorner(options.input, {spriteSize, spriteSize}, streams, &failure);
    if (!shown)
        return failure;
    const auto colours = sourceViewOf(*shown);

    // A freshly opened editor: all bits 0, so a colour it does not know leaves 0.
    SpriteLayers bits;
    for (int y = 0; y < spriteSize; ++y) {
        for (int x = 0; x < spriteSize; ++x)
            applyColour(options.kind, colours[static_cast<std::size_t>(pixelIndex(x, y))], x, y,
                        bits);
    }
    const QByteArray text = QByteArray::fromStdString(spriteCodeText(options.kind, bits));
    OutputFiles none;
    return deliver(none, &text, streams);
}

QString kindName(SpriteKind kind)
{
    switch (kind) {
    case SpriteKind::BlackWhite:
        return QStringLiteral("bw");
    case SpriteKind::Greyscale:
        return QStringLiteral("grey");
    case SpriteKind::BlackWhiteMasked:
        return QStringLiteral("bw-mask");
    case SpriteKind::GreyscaleMasked:
        return QStringLiteral("grey-mask");
    }
    return {};
}

// Opens a named file for reading, or hands back standard input.
QIODevice* openInput(const QString& input, QFile& file, const QString& notA,
                     const CliStreams& streams, CliOutcome* failure)
{
    if (input == standardInput)
        return streams.input;
    if (QFileInfo(input).isDir()) {
        *failure = failed(input, QStringLiteral("is a folder, not %1").arg(notA));
        return nullptr;
    }
    file.setFileName(input);
    if (!file.open(QIODevice::ReadOnly)) {
        *failure =
            failed(input, QFileInfo::exists(input)
                              ? QStringLiteral("cannot be opened (%1)").arg(file.errorString())
                              : QStringLiteral("file not found"));
        return nullptr;
    }
    return &file;
}

CliOutcome runSpriteRender(const CliOptions& options, const CliStreams& streams)
{
    QFile file;
    CliOutcome failure;
    QIODevice* device =
        openInput(options.input, file, QStringLiteral("sprite code"), streams, &failure);
    if (device == nullptr)
        return failure;

    // Only the digits "0" and "1" of a text count, wherever they stand, so only
    // they are kept, and reading stops once the kind has all it needs: a text of
    // any size is read in constant memory, with the result of reading it whole.
    const std::size_t needed = digitCount(options.kind);
    std::string digits;
    while (digits.size() < needed) {
        const QByteArray chunk = device->read(64 * 1024);
        if (chunk.isEmpty())
            break;
        for (const char ch : chunk) {
            if ((ch == '0' || ch == '1') && digits.size() < needed)
                digits += ch;
        }
    }
    const std::optional<SpriteColours> colours = readSpriteCode(options.kind, digits);
    if (!colours) {
        return failed(nameOf(options.input),
                      QStringLiteral("too few digits: %1 sprite code needs %2 digits 0 and 1, "
                                     "found %3")
                          .arg(kindName(options.kind))
                          .arg(needed)
                          .arg(digits.size()));
    }
    return deliverPng(imageOf(*colours, spriteSize, spriteSize), options.output, streams);
}

CliOutcome runUnpack(const CliOptions& options, const CliStreams& streams)
{
    if (options.output.isEmpty() && streams.outputIsTerminal) {
        return {exitUsage, QStringLiteral("unpack: standard output is a terminal; name the PNG "
                                          "with -o OUT.png or redirect the output")};
    }
    QFile file;
    CliOutcome failure;
    QIODevice* device =
        openInput(options.input, file, QStringLiteral("a picture data file"), streams, &failure);
    if (device == nullptr)
        return failure;
    // A pipe hands its bytes over in pieces: read to the end.
    QByteArray text;
    while (text.size() <= maxDataFileBytes) {
        const QByteArray chunk =
            device->read(std::min<qint64>(64 * 1024, maxDataFileBytes + 1 - text.size()));
        if (chunk.isEmpty())
            break;
        text += chunk;
    }
    if (text.size() > maxDataFileBytes)
        return failed(nameOf(options.input), QStringLiteral("file is too large"));

    const ParseResult parsed =
        parsePictureDataFile(std::string_view(text.constData(), std::size_t(text.size())));
    if (!parsed.file)
        return failed(nameOf(options.input), QString::fromStdString(parsed.error));
    const ParsedDataFile& data = *parsed.file;
    const SourceView pixels = data.greyscale ? greyscalePreview(gridFromBitPlane(data.planes[0]),
                                                                gridFromBitPlane(data.planes[1]))
                                             : pixelsFromBitPlane(data.planes[0]);
    return deliverPng(imageOf(pixels, screenWidth, screenHeight), options.output, streams);
}

} // namespace

CliOutcome runCommand(const CliOptions& options, const CliStreams& streams)
{
    switch (options.command) {
    case CliCommand::Help:
    case CliCommand::Version: {
        const QByteArray text =
            (options.command == CliCommand::Help ? helpText() : versionText()).toUtf8();
        OutputFiles none;
        return deliver(none, &text, streams);
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

CliOutcome runCli(const QStringList& arguments, const CliStreams& streams)
{
    const CommandLine line = parseCommandLine(arguments);
    if (!line.options)
        return {exitUsage, line.usageError};
    return runCommand(*line.options, streams);
}
