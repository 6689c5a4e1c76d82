#include "app/start_options.h"

#include <QCommandLineParser>
#include <QFileInfo>

StartOptions parseStartArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    // "-reverse" is one of the toolkit's options, not -r -e -v ...; read as
    // letters it would ask for the version.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);

    StartOptions options;
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help)) {
        options.action = StartOptions::Action::ShowHelp;
        return options;
    }
    if (parser.isSet(version)) {
        options.action = StartOptions::Action::ShowVersion;
        return options;
    }

    options.action = StartOptions::Action::UsageError;
    const QStringList pictures = parser.positionalArguments();
    if (!parsed)
        options.error = parser.errorText();
    else if (pictures.size() > 1)
        options.error = QStringLiteral("one picture at a time, not %1").arg(pictures.size());
    else if (!pictures.isEmpty() && pictures.first().isEmpty())
        options.error = QStringLiteral("the picture's name is empty");
    else
        options.action = StartOptions::Action::Run;

    // Absolute, as the Load picture dialog gives it, so that the path box and
    // any message name the file whatever folder the program was started in.
    if (options.action == StartOptions::Action::Run && !pictures.isEmpty())
        options.picture = QFileInfo(pictures.first()).absoluteFilePath();
    return options;
}

QString startHelpText()
{
    return QStringLiteral(
        "Usage: dotwright [OPTION]... [PICTURE]\n"
        "Sprite editors and picture converters for 128 x 64-pixel displays.\n"
        "\n"
        "Without PICTURE, shows the main window, where a double-click opens a tool.\n"
        "With PICTURE (BMP, GIF, JPEG, ICO or PNG), also opens the black-and-white\n"
        "picture converter over it with PICTURE loaded, as its Load picture button\n"
        "would.\n"
        "\n"
        "Options:\n"
        "  -h, --help     display this help and exit\n"
        "  -v, --version  output version information and exit\n"
        "\n"
        "The toolkit's own options, such as -platform and -style, are taken too.\n"
        "dotwright-cli does the same work without a window.\n");
}

QString startVersionText()
{
    return QStringLiteral("dotwright " DOTWRIGHT_VERSION "\n");
}
