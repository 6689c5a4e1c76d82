#include "cli/cli_options.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <array>
#include <utility>

namespace {

const QString programName = QStringLiteral("dotwright-cli");

CommandLine usageError(const QString& what, const QString& why)
{
    return {std::nullopt, what + QStringLiteral(": ") + why};
}

// A command takes at most one file; the first one too many is named.
std::optional<QString> extraArgument(const QStringList& files)
{
    if (files.size() > 1)
        return QStringLiteral("unexpected argument '%1'").arg(files[1]);
    return std::nullopt;
}

CommandLine accepted(const CliOptions& options)
{
    return {options, QString()};
}

struct KindName
{
    const char* name;
    SpriteKind kind;
};

constexpr std::array<KindName, 4> kindNames{{
    {"bw", SpriteKind::BlackWhite},
    {"grey", SpriteKind::Greyscale},
    {"bw-mask", SpriteKind::BlackWhiteMasked},
    {"grey-mask", SpriteKind::GreyscaleMasked},
}};

// The option as the user would type it: "-o", "--level".
QString dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The toolkit's parser words its errors for a dialog ("Missing value after
// '--level'."); they are reworded here into the one-line form every other
// message of the tool has. Its texts are never translated in this program.
QString parserError(const QCommandLineParser& parser)
{
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("unknown option '%1'")
            .arg(dashed(parser.unknownOptionNames().first()));
    static const QRegularExpression missing(QStringLiteral("^Missing value after '(.*)'\\.$"));
    static const QRegularExpression unexpected(
        QStringLiteral("^Unexpected value after '(.*)'\\.$"));
    const QString text = parser.errorText();
    if (const auto match = missing.match(text); match.hasMatch())
        return QStringLiteral("%1 needs a value").arg(match.captured(1));
    if (const auto match = unexpected.match(text); match.hasMatch())
        return QStringLiteral("%1 takes no value").arg(match.captured(1));
    return text;
}

// One command's options, parsed by the toolkit, with the checks every command
// shares: unknown options, missing values, an option given twice.
class CommandParser
{
public:
    explicit CommandParser(QString command) : m_command(std::move(command))
    {
        // Options may follow the file names, as with most tools; "--" ends them.
        m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
        m_parser.addOption(
            QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    }

    void addFlag(const QString& name) { m_parser.addOption(QCommandLineOption(name)); }
    void addValue(const QString& name)
    {
        m_parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
        m_valueNames.append(name);
    }

    // The error, if any, of parsing `arguments` (those after the command name).
    std::optional<QString> parse(const QStringList& arguments)
    {
        if (!m_parser.parse(QStringList{programName} + arguments))
            return parserError(m_parser);
        // Taking the last of two values would hide a typing mistake in a build script.
        for (const QString& name : m_valueNames) {
            if (m_parser.values(name).size() > 1)
                return QStringLiteral("%1 is given more than once").arg(dashed(name));
        }
        return std::nullopt;
    }

    bool isSet(const QString& name) const { return m_parser.isSet(name); }
    QString value(const QString& name) const { return m_parser.value(name); }
    QStringList files() const { return m_parser.positionalArguments(); }
    const QString& command() const { return m_command; }

private:
    QStringList m_valueNames;
    QString m_command;
    QCommandLineParser m_parser;
};

// Only digits, 0 to 100: "50x", "+5", " 5" and "" are all refused rather than
// read as far as they go.
std::optional<int> levelFrom(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int level = text.toInt(&ok);
    if (!ok || level > 100)
        return std::nullopt;
    return level;
}

bool sameFile(const QString& a, const QString& b)
{
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) ==
           QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

CommandLine parsePicture(const QStringList& arguments)
{
    CommandParser parser(QStringLiteral("picture"));
    parser.addFlag(QStringLiteral("grey"));
    parser.addFlag(QStringLiteral("rle"));
    parser.addValue(QStringLiteral("level"));
    parser.addValue(QStringLiteral("bmp"));
    parser.addValue(QStringLiteral("o"));
    if (const auto error = parser.parse(arguments))
        return usageError(parser.command(), *error);
    if (parser.isSet(QStringLiteral("help")))
        return accepted({});

    CliOptions options;
    options.command = CliCommand::Picture;
    options.greyscale = parser.isSet(QStringLiteral("grey"));
    options.compressed = parser.isSet(QStringLiteral("rle"));
    if (parser.isSet(QStringLiteral("level"))) {
        const QString text = parser.value(QStringLiteral("level"));
        const std::optional<int> level = levelFrom(text);
        if (!level) {
            return usageError(
                parser.command(),
                QStringLiteral("--level must be a whole number from 0 to 100, not '%1'").arg(text));
        }
        options.level = *level;
    }
    options.output = parser.value(QStringLiteral("o"));
    options.bitmap = parser.value(QStringLiteral("bmp"));
    for (const char* name : {"o", "bmp"}) {
        if (parser.isSet(QString::fromLatin1(name)) &&
            parser.value(QString::fromLatin1(name)).isEmpty())
            return usageError(
                parser.command(),
                QStringLiteral("%1 needs a file name").arg(dashed(QString::fromLatin1(name))));
    }
    if (!options.output.isEmpty() && !options.bitmap.isEmpty() &&
        sameFile(options.output, options.bitmap))
        return usageError(parser.command(), QStringLiteral("-o and --bmp name the same file"));

    const QStringList files = parser.files();
    if (files.isEmpty())
        return usageError(parser.command(), QStringLiteral("no PICTURE given"));
    if (const auto extra = extraArgument(files))
        return usageError(parser.command(), *extra);
    options.input = files.first();
    return accepted(options);
}

CommandLine parseSprite(const QStringList& arguments)
{
    CommandParser parser(QStringLiteral("sprite"));
    parser.addValue(QStringLiteral("kind"));
    parser.addValue(QStringLiteral("render"));
    if (const auto error = parser.parse(arguments))
        return usageError(parser.command(), *error);
    if (parser.isSet(QStringLiteral("help")))
        return accepted({});

    CliOptions options;
    if (parser.isSet(QStringLiteral("kind"))) {
        const QString name = parser.value(QStringLiteral("kind"));
        bool found = false;
        for (const KindName& kind : kindNames) {
            if (name == QLatin1String(kind.name)) {
                options.kind = kind.kind;
                found = true;
            }
        }
        if (!found) {
            return usageError(
                parser.command(),
                QStringLiteral("--kind must be bw, grey, bw-mask or grey-mask, not '%1'")
                    .arg(name));
        }
    }

    const QStringList files = parser.files();
    if (parser.isSet(QStringLiteral("render"))) {
        options.command = CliCommand::SpriteRender;
        options.output = parser.value(QStringLiteral("render"));
        if (options.output.isEmpty())
            return usageError(parser.command(), QStringLiteral("--render needs a file name"));
        if (const auto extra = extraArgument(files))
            return usageError(parser.command(), *extra);
        options.input = files.isEmpty() ? QStringLiteral("-") : files.first();
        return accepted(options);
    }

    options.command = CliCommand::Sprite;
    if (files.isEmpty())
        return usageError(parser.command(), QStringLiteral("no IMAGE given"));
    if (const auto extra = extraArgument(files))
        return usageError(parser.command(), *extra);
    options.input = files.first();
    return accepted(options);
}

CommandLine parseUnpack(const QStringList& arguments)
{
    CommandParser parser(QStringLiteral("unpack"));
    parser.addValue(QStringLiteral("o"));
    if (const auto error = parser.parse(arguments))
        return usageError(parser.command(), *error);
    if (parser.isSet(QStringLiteral("help")))
        return accepted({});

    CliOptions options;
    options.command = CliCommand::Unpack;
    options.output = parser.value(QStringLiteral("o"));
    if (parser.isSet(QStringLiteral("o")) && options.output.isEmpty())
        return usageError(parser.command(), QStringLiteral("-o needs a file name"));
    const QStringList files = parser.files();
    if (files.isEmpty())
        return usageError(parser.command(), QStringLiteral("no DATAFILE given"));
    if (const auto extra = extraArgument(files))
        return usageError(parser.command(), *extra);
    options.input = files.first();
    return accepted(options);
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    const QStringList rest = arguments.mid(1);
    if (rest.isEmpty())
        return usageError(QStringLiteral("usage"),
                          QStringLiteral("no command given (try dotwright-cli --help)"));
    const QString& first = rest.first();
    const QStringList after = rest.mid(1);

    if (first == QLatin1String("--help") || first == QLatin1String("-h") ||
        first == QLatin1String("--version")) {
        if (!after.isEmpty())
            return usageError(first, QStringLiteral("unexpected argument '%1'").arg(after.first()));
        CliOptions options;
        options.command =
            first == QLatin1String("--version") ? CliCommand::Version : CliCommand::Help;
        return accepted(options);
    }
    if (first == QLatin1String("picture"))
        return parsePicture(after);
    if (first == QLatin1String("sprite"))
        return parseSprite(after);
    if (first == QLatin1String("unpack"))
        return parseUnpack(after);
    if (first.startsWith(QLatin1Char('-')))
        return usageError(
            QStringLiteral("usage"),
            QStringLiteral("unknown option '%1'; options follow the command").arg(first));
    return usageError(first,
                      QStringLiteral("unknown command (expected picture, sprite or unpack)"));
}

QString helpText()
{
    return QStringLiteral(
        "dotwright-cli picture [--grey] [--level N] [--rle] [--bmp OUT.bmp] [-o OUT] PICTURE\n"
        "dotwright-cli sprite  [--kind bw|grey|bw-mask|grey-mask] IMAGE\n"
        "dotwright-cli sprite  [--kind bw|grey|bw-mask|grey-mask] --render OUT.png [CODEFILE]\n"
        "dotwright-cli unpack  [-o OUT.png] DATAFILE\n"
        "dotwright-cli --help | --version\n"
        "\n"
        "picture  Converts the top-left 128 x 64 pixels of PICTURE as the black-and-white\n"
        "         converter does (--grey: the greyscale converter) at slider value N\n"
        "         (0 to 100, default 50) and writes the picture data file (--rle:\n"
        "         compressed) to OUT, or to standard output. --bmp also writes the\n"
        "         converted preview as a bitmap.\n"
        "sprite   Prints the sprite code of the top-left 8 x 8 pixels of IMAGE, as the\n"
        "         editor of that kind (default bw) writes it. With --render, reads sprite\n"
        "         code from CODEFILE (or standard input) and writes the 8 x 8 picture as PNG.\n"
        "unpack   Writes the 128 x 64 picture that a picture data file encodes as PNG to\n"
        "         OUT.png, or to standard output when that is not a terminal.\n"
        "\n"
        "A file name \"-\" reads standard input. Nothing is written unless everything\n"
        "succeeds. Exit status: 0 success, 1 failure, 2 usage error.\n");
}

QString versionText()
{
    return programName + QStringLiteral(" ") + QStringLiteral(DOTWRIGHT_VERSION) +
           QLatin1Char('\n');
}
