#include "cli/cli_options.h"

#include "core/sprite_sheet.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace {

const std::string programName = "dotwright-cli";

Unexpected usageError(const std::string& what, const std::string& why)
{
    return fail(what, why);
}

// The option as the user types it: "-o", "--level".
std::string dashed(const std::string& name)
{
    return (name.size() == 1 ? "-" : "--") + name;
}

// One command's options, split by CLI11, with the checks every command shares
// worded in the one-line form of every other message of the tool: unknown
// options, missing values, an option given twice, a value given to a flag.
class CommandParser
{
public:
    explicit CommandParser(std::string command) : m_command(std::move(command))
    {
        // Options may follow the file names, as with most tools; "--" ends them.
        m_app.allow_extras();
        m_app.set_help_flag();
        m_app.add_flag("-h,--help", m_help);
        m_app.add_option("files", m_files);
    }

    void addFlag(const std::string& name)
    {
        m_app.add_flag(dashed(name), m_flags[name])->disable_flag_override();
    }
    void addValue(const std::string& name)
    {
        m_app.add_option(dashed(name), m_values[name])
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->allow_extra_args(false);
    }

    // Parses `arguments`, those after the command name.
    Result<void> parse(std::span<const std::string> arguments)
    {
        // CLI11 takes "--bmp=" as "--bmp" and the next argument as its value;
        // an empty value is what the user typed, so it is taken here.
        std::vector<std::string> split{programName};
        bool optionsEnded = false;
        for (const std::string& argument : arguments) {
            optionsEnded = optionsEnded || argument == "--";
            if (!optionsEnded && argument.starts_with("--") && argument.ends_with('=')) {
                const std::string name = argument.substr(2, argument.size() - 3);
                if (m_values.contains(name)) {
                    m_empty[name] += 1;
                    continue;
                }
            }
            split.push_back(argument);
        }
        std::vector<const char*> argv;
        for (const std::string& argument : split)
            argv.push_back(argument.c_str());
        try {
            m_app.parse(int(argv.size()), argv.data());
        } catch (const CLI::ParseError&) {
            return usageError(m_command, shapeError(split));
        }

        for (const std::string& extra : m_app.remaining()) {
            if (extra != "--" && extra.size() > 1 && extra.front() == '-')
                return usageError(m_command, "unknown option '" + optionName(extra) + "'");
        }
        // Taking the last of two values would hide a typing mistake in a build script.
        for (const auto& [name, values] : m_values) {
            if (values.size() + std::size_t(m_empty[name]) > 1)
                return usageError(m_command, dashed(name) + " is given more than once");
        }
        return {};
    }

    bool isSet(const std::string& name)
    {
        if (name == "help")
            return m_help;
        if (m_flags.contains(name))
            return m_flags[name];
        return !m_values[name].empty() || m_empty[name] > 0;
    }
    std::string value(const std::string& name)
    {
        const std::vector<std::string>& values = m_values[name];
        return values.empty() ? std::string() : values.front();
    }
    const std::vector<std::string>& files() const { return m_files; }
    const std::string& command() const { return m_command; }

private:
    // "--frob=1" names the option "--frob"; "-xyz" names "-x", as a short
    // option takes the rest of its word as its value.
    static std::string optionName(const std::string& argument)
    {
        if (argument.starts_with("--"))
            return argument.substr(0, argument.find('='));
        return argument.substr(0, 2);
    }

    // What CLI11 refused: a value option with nothing after it, or a flag
    // given a value. CLI11 words these for developers, so they are found
    // again here from the arguments.
    std::string shapeError(const std::vector<std::string>& split) const
    {
        for (std::size_t i = 1; i < split.size(); ++i) {
            const std::string& argument = split[i];
            if (argument == "--")
                break;
            const std::string name = optionName(argument);
            if (name.size() < 2 || name.front() != '-')
                continue;
            const std::string bare = name.substr(name.starts_with("--") ? 2 : 1);
            if (m_flags.contains(bare) && argument.find('=') != std::string::npos)
                return name + " takes no value";
            const bool valueInWord =
                argument.size() > name.size() && (name.size() == 2 || argument[name.size()] == '=');
            const bool valueFollows =
                i + 1 < split.size() && (split[i + 1] == "-" || !split[i + 1].starts_with('-'));
            if (m_values.contains(bare) && !valueInWord && !valueFollows)
                return name + " needs a value";
        }
        return "cannot read the arguments";
    }

    std::string m_command;
    CLI::App m_app;
    bool m_help = false;
    std::map<std::string, bool> m_flags;
    std::map<std::string, std::vector<std::string>> m_values;
    std::map<std::string, int> m_empty; // "--name=" given with nothing after it
    std::vector<std::string> m_files;
};

// Only digits, 0 to `largest`: "50x", "+5", " 5" and "" are all refused
// rather than read as far as they go.
std::optional<int> wholeNumberFrom(const std::string& text, int largest)
{
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int number = std::stoi(text);
    if (number > largest)
        return std::nullopt;
    return number;
}

// "-" stands for standard output, as it stands for standard input.
std::string outputName(const std::string& value)
{
    return value == "-" ? std::string() : value;
}

// The picture format an output's name asks for: its extension, in any case.
std::optional<ImageFormat> imageFormatOf(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos)
        return std::nullopt;
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == "png")
        return ImageFormat::Png;
    if (extension == "bmp")
        return ImageFormat::Bmp;
    return std::nullopt;
}

// The format of the picture file `path` that the option `name` names.
Result<ImageFormat> pictureFormatFor(const CommandParser& parser, const std::string& name,
                                     const std::string& path)
{
    const std::optional<ImageFormat> format = imageFormatOf(path);
    if (!format)
        return usageError(parser.command(),
                          dashed(name) + " must name a .png or .bmp file, not '" + path + "'");
    return *format;
}

Result<void> fileNameGiven(CommandParser& parser, const std::string& name)
{
    if (parser.isSet(name) && parser.value(name).empty())
        return usageError(parser.command(), dashed(name) + " needs a file name");
    return {};
}

// Takes the output that the option `name` (-o, --render) names: a file, or
// standard output when the option is not given or given "-". A picture's
// name must say by its extension which of the two formats to write.
Result<void> takeOutput(CommandParser& parser, CliOptions& options, const std::string& name,
                        bool picture)
{
    if (Result<void> given = fileNameGiven(parser, name); !given)
        return given;
    options.output = outputName(parser.value(name));
    if (!picture || options.output.empty())
        return {};
    const Result<ImageFormat> format = pictureFormatFor(parser, name, options.output);
    if (!format)
        return fail(format.error());
    options.outputFormat = *format;
    return {};
}

// Takes the command's input, its one file: `role` ("PICTURE") names it when
// it is missing, and without a role standard input is read instead.
Result<CliOptions> takeInput(const CommandParser& parser, CliOptions options, const char* role)
{
    const std::vector<std::string>& files = parser.files();
    if (files.size() > 1)
        return usageError(parser.command(), "unexpected argument '" + files[1] + "'");
    if (!files.empty())
        options.input = files.front();
    else if (role != nullptr)
        return usageError(parser.command(), std::string("no ") + role + " given");
    else
        options.input = "-";
    return options;
}

// The names of `choices`, `between` between them and `last` before the last.
template<typename Choices, typename Name>
std::string listed(const Choices& choices, Name name, std::string_view between,
                   std::string_view last)
{
    std::string text;
    for (std::size_t i = 0; i < std::size(choices); ++i) {
        if (i > 0)
            text += i + 1 == std::size(choices) ? last : between;
        text += name(choices[i]);
    }
    return text;
}

// The value of the option `name`, one of the names `named` knows; another
// name is a usage error that lists `choices`.
template<typename T>
Result<T> takeChoice(CommandParser& parser, const std::string& name,
                     std::optional<T> (*named)(std::string_view), const std::string& choices)
{
    const std::string value = parser.value(name);
    const std::optional<T> chosen = named(value);
    if (!chosen) {
        return usageError(parser.command(),
                          dashed(name) + " must be " + choices + ", not '" + value + "'");
    }
    return *chosen;
}

// "X,Y": two whole numbers, digits only, and a comma between them. No picture
// comes near a side of maxViewSourceSide, and beyond its edge the view is
// white, so a larger number is taken as that far.
std::optional<ViewOptions> offsetFrom(const std::string& text)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos)
        return std::nullopt;
    const auto number = [](std::string_view digits) -> std::optional<std::int64_t> {
        if (digits.empty() ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        std::int64_t value = 0;
        for (const char c : digits)
            value = std::min(maxViewSourceSide, value * 10 + (c - '0'));
        return value;
    };
    const std::optional<std::int64_t> x = number(std::string_view(text).substr(0, comma));
    const std::optional<std::int64_t> y = number(std::string_view(text).substr(comma + 1));
    if (!x || !y)
        return std::nullopt;
    ViewOptions view;
    view.x = *x;
    view.y = *y;
    return view;
}

// --fit, --fill and --offset each say where the picture goes; only one may.
Result<ViewOptions> readPlacement(CommandParser& parser)
{
    std::vector<std::string> given;
    for (const char* name : {"fit", "fill", "offset"}) {
        if (parser.isSet(name))
            given.push_back(dashed(name));
    }
    if (given.size() > 1)
        return usageError(parser.command(),
                          given[0] + " and " + given[1] + " cannot be given together");
    ViewOptions view;
    if (parser.isSet("fit"))
        view.placement = Placement::Fit;
    if (parser.isSet("fill"))
        view.placement = Placement::Fill;
    if (parser.isSet("offset")) {
        const std::string text = parser.value("offset");
        const std::optional<ViewOptions> offset = offsetFrom(text);
        if (!offset) {
            return usageError(parser.command(),
                              "--offset must be two whole numbers X,Y from 0 up, not '" + text +
                                  "'");
        }
        view = *offset;
    }
    return view;
}

Result<Tone> readTone(CommandParser& parser)
{
    Tone tone;
    tone.invert = parser.isSet("invert");
    if (parser.isSet("dither")) {
        const Result<Dithering> dithering =
            takeChoice(parser, "dither", ditheringNamed, ditheringChoices(", ", " or "));
        if (!dithering)
            return fail(dithering.error());
        tone.dithering = *dithering;
    }
    return tone;
}

Result<CliOptions> readPicture(CommandParser& parser)
{
    CliOptions options;
    options.command = CliCommand::Picture;
    options.greyscale = parser.isSet("grey");
    options.compressed = parser.isSet("rle");
    if (parser.isSet("level")) {
        const std::string text = parser.value("level");
        const std::optional<int> level = wholeNumberFrom(text, 100);
        if (!level) {
            return usageError(parser.command(),
                              "--level must be a whole number from 0 to 100, not '" + text + "'");
        }
        options.level = *level;
    }
    if (Result<void> output = takeOutput(parser, options, "o", false); !output)
        return fail(output.error());
    if (Result<void> given = fileNameGiven(parser, "bmp"); !given)
        return fail(given.error());
    options.bitmap = parser.value("bmp");
    if (parser.isSet("source")) {
        if (Result<void> given = fileNameGiven(parser, "source"); !given)
            return fail(given.error());
        options.sourceView = parser.value("source");
        const Result<ImageFormat> format = pictureFormatFor(parser, "source", options.sourceView);
        if (!format)
            return fail(format.error());
        options.sourceViewFormat = *format;
    }
    const Result<ViewOptions> view = readPlacement(parser);
    if (!view)
        return fail(view.error());
    options.view = *view;
    const Result<Tone> tone = readTone(parser);
    if (!tone)
        return fail(tone.error());
    options.tone = *tone;
    return takeInput(parser, std::move(options), "PICTURE");
}

// "16x8": a width that is a multiple of 8 from 8 to 64, a height from 1 to 64.
std::optional<SpriteSize> spriteSizeFrom(const std::string& text)
{
    const std::size_t x = text.find('x');
    if (x == std::string::npos)
        return std::nullopt;
    const std::optional<int> width = wholeNumberFrom(text.substr(0, x), maxSpriteWidth);
    const std::optional<int> height = wholeNumberFrom(text.substr(x + 1), maxSpriteHeight);
    if (!width || !height || !isSpriteSize({*width, *height}))
        return std::nullopt;
    return SpriteSize{*width, *height};
}

// What the sprite commands share: --kind, --size and --exact.
Result<void> takeSpriteChoices(CommandParser& parser, CliOptions& options)
{
    if (parser.isSet("kind")) {
        const Result<SpriteKind> kind =
            takeChoice(parser, "kind", spriteKindNamed, spriteKindChoices(", ", " or "));
        if (!kind)
            return fail(kind.error());
        options.kind = *kind;
    }
    if (parser.isSet("size")) {
        const std::string text = parser.value("size");
        const std::optional<SpriteSize> size = spriteSizeFrom(text);
        if (!size) {
            return usageError(parser.command(),
                              "--size must be WxH, W a multiple of 8 from 8 to 64 and H from 1 "
                              "to 64, not '" +
                                  text + "'");
        }
        options.size = *size;
    }
    options.exact = parser.isSet("exact");
    return {};
}

Result<CliOptions> readSprite(CommandParser& parser)
{
    CliOptions options;
    if (Result<void> choices = takeSpriteChoices(parser, options); !choices)
        return fail(choices.error());
    if (!parser.isSet("render")) {
        options.command = CliCommand::Sprite;
        if (Result<void> output = takeOutput(parser, options, "o", false); !output)
            return fail(output.error());
        return takeInput(parser, std::move(options), "IMAGE");
    }
    // --render names the picture it writes, and draws the code exactly as it stands.
    for (const char* option : {"o", "exact"}) {
        if (parser.isSet(option))
            return usageError(parser.command(), dashed(option) + " does not go with --render");
    }
    // The code to draw comes from standard input unless a file is named.
    options.command = CliCommand::SpriteRender;
    Result<CliOptions> withInput = takeInput(parser, std::move(options), nullptr);
    if (!withInput)
        return withInput;
    if (Result<void> output = takeOutput(parser, *withInput, "render", true); !output)
        return fail(output.error());
    return withInput;
}

Result<CliOptions> readSprites(CommandParser& parser)
{
    CliOptions options;
    options.command = CliCommand::Sprites;
    if (Result<void> choices = takeSpriteChoices(parser, options); !choices)
        return fail(choices.error());
    options.skipEmpty = parser.isSet("skip-empty");
    if (parser.isSet("label")) {
        options.label = parser.value("label");
        if (!isAssemblerLabel(options.label)) {
            return usageError(parser.command(),
                              "--label must be letters, digits and _, not starting with a digit "
                              "and at most " +
                                  std::to_string(maxLabelLength) + " characters, not '" +
                                  options.label + "'");
        }
    }
    if (Result<void> output = takeOutput(parser, options, "o", false); !output)
        return fail(output.error());
    return takeInput(parser, std::move(options), "SHEET");
}

Result<CliOptions> readUnpack(CommandParser& parser)
{
    CliOptions options;
    options.command = CliCommand::Unpack;
    if (Result<void> output = takeOutput(parser, options, "o", true); !output)
        return fail(output.error());
    return takeInput(parser, std::move(options), "DATAFILE");
}

// Parses the arguments after a command's name: the command's flags and the
// options that take a value, then `read` makes options of them. --help
// anywhere among them asks for the command's help instead.
Result<CliOptions> parseCommand(const std::string& command, std::span<const std::string> arguments,
                                std::initializer_list<const char*> flags,
                                std::initializer_list<const char*> values,
                                Result<CliOptions> (*read)(CommandParser&))
{
    CommandParser parser(command);
    for (const char* flag : flags)
        parser.addFlag(flag);
    for (const char* value : values)
        parser.addValue(value);
    if (Result<void> parsed = parser.parse(arguments); !parsed)
        return fail(parsed.error());
    if (parser.isSet("help")) {
        CliOptions options;
        options.command = CliCommand::Help;
        options.helpTopic = command;
        return options;
    }
    return read(parser);
}

} // namespace

Result<CliOptions> parseCommandLine(std::span<const std::string> arguments)
{
    const std::span<const std::string> rest = arguments.empty() ? arguments : arguments.subspan(1);
    if (rest.empty())
        return usageError("usage", "no command given (try dotwright-cli --help)");
    const std::string& first = rest.front();
    const std::span<const std::string> after = rest.subspan(1);

    if (first == "--help" || first == "-h" || first == "--version") {
        if (!after.empty())
            return usageError(first, "unexpected argument '" + after.front() + "'");
        CliOptions options;
        options.command = first == "--version" ? CliCommand::Version : CliCommand::Help;
        return options;
    }
    if (first == "picture")
        return parseCommand(first, after, {"grey", "rle", "fit", "fill", "invert"},
                            {"level", "offset", "dither", "source", "bmp", "o"}, readPicture);
    if (first == "sprite")
        return parseCommand(first, after, {"exact"}, {"kind", "size", "render", "o"}, readSprite);
    if (first == "sprites") {
        return parseCommand(first, after, {"exact", "skip-empty"}, {"kind", "size", "label", "o"},
                            readSprites);
    }
    if (first == "unpack")
        return parseCommand(first, after, {}, {"o"}, readUnpack);
    if (first.starts_with('-'))
        return usageError("usage", "unknown option '" + first + "'; options follow the command");
    return usageError(first, "unknown command (expected picture, sprite, sprites or unpack)");
}

std::string spriteKindChoices(std::string_view between, std::string_view last)
{
    return listed(
        spriteKindNames, [](const auto& entry) { return entry.first; }, between, last);
}

std::string ditheringChoices(std::string_view between, std::string_view last)
{
    return listed(allDitherings, ditheringName, between, last);
}

std::string versionText()
{
    return programName + " " DOTWRIGHT_VERSION "\n";
}
