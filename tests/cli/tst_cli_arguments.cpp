#include "cli/cli_commands.h"
#include "cli/cli_options.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <string>
#include <vector>

namespace {

QString kindName(SpriteKind kind)
{
    return QString::fromUtf8(spriteKindName(kind));
}

QString text(const std::string& bytes)
{
    return QString::fromStdString(bytes);
}

// The arguments of a run, the program name first, as main gets them.
std::vector<std::string> commandLine(const QStringList& arguments)
{
    std::vector<std::string> line{"dotwright-cli"};
    for (const QString& argument : arguments)
        line.push_back(argument.toStdString());
    return line;
}

// The options that matter for the command, in one line a table row can hold.
QString describe(const CliOptions& options)
{
    QStringList parts;
    switch (options.command) {
    case CliCommand::Help:
        return QStringLiteral("help");
    case CliCommand::Version:
        return QStringLiteral("version");
    case CliCommand::Picture:
        parts << QStringLiteral("picture");
        if (options.greyscale)
            parts << QStringLiteral("grey");
        if (options.compressed)
            parts << QStringLiteral("rle");
        parts << QStringLiteral("level=%1").arg(options.level);
        if (!options.output.empty())
            parts << QStringLiteral("o=") + text(options.output);
        if (!options.bitmap.empty())
            parts << QStringLiteral("bmp=") + text(options.bitmap);
        if (!options.sourceView.empty())
            parts << QStringLiteral("source=%1,%2")
                         .arg(text(options.sourceView),
                              options.sourceViewFormat == ImageFormat::Png ? "png" : "bmp");
        if (options.view.placement != Placement::Corner)
            parts << (options.view.placement == Placement::Fit ? "fit" : "fill");
        if (options.view.x != 0 || options.view.y != 0)
            parts << QStringLiteral("offset=%1,%2").arg(options.view.x).arg(options.view.y);
        if (options.tone.dithering != Dithering::None)
            parts << QStringLiteral("dither=") +
                         text(std::string(ditheringName(options.tone.dithering)));
        if (options.tone.invert)
            parts << QStringLiteral("invert");
        break;
    case CliCommand::Sprite:
    case CliCommand::SpriteRender:
    case CliCommand::Sprites:
        parts << (options.command == CliCommand::Sprite         ? QStringLiteral("sprite")
                  : options.command == CliCommand::SpriteRender ? QStringLiteral("render")
                                                                : QStringLiteral("sprites"))
              << kindName(options.kind);
        if (options.size != SpriteSize{})
            parts << QStringLiteral("%1x%2").arg(options.size.width).arg(options.size.height);
        if (!options.label.empty())
            parts << QStringLiteral("label=") + text(options.label);
        if (options.exact)
            parts << QStringLiteral("exact");
        if (options.skipEmpty)
            parts << QStringLiteral("skip-empty");
        if (!options.output.empty())
            parts << (options.command == CliCommand::SpriteRender ? QStringLiteral("png=")
                                                                  : QStringLiteral("o=")) +
                         text(options.output);
        break;
    case CliCommand::Unpack:
        parts << QStringLiteral("unpack");
        if (!options.output.empty())
            parts << QStringLiteral("o=") + text(options.output);
        break;
    }
    parts << QStringLiteral("in=") + text(options.input);
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestCliArguments : public QObject
{
    Q_OBJECT

private slots:
    void goodCommandLines_data();
    void goodCommandLines();
    void usageErrors_data();
    void usageErrors();
    void unpackRefusesTerminal();
    void helpAndVersion();
    void completionOffersTheNamesOfTheHelp_data();
    void completionOffersTheNamesOfTheHelp();
};

void TestCliArguments::goodCommandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");

    QTest::newRow("help") << QStringList{"--help"} << "help";
    QTest::newRow("-h") << QStringList{"-h"} << "help";
    QTest::newRow("help of a command") << QStringList{"picture", "--help"} << "help";
    QTest::newRow("version") << QStringList{"--version"} << "version";

    QTest::newRow("picture, defaults")
        << QStringList{"picture", "a.png"} << "picture level=50 in=a.png";
    QTest::newRow("picture, every option")
        << QStringList{"picture", "--grey", "--level", "37",    "--rle",
                       "--bmp",   "p.bmp",  "-o",      "p.inc", "a.png"}
        << "picture grey rle level=37 o=p.inc bmp=p.bmp in=a.png";
    QTest::newRow("picture, fit, dithered, inverted, source view")
        << QStringList{"picture",  "--fit",    "--dither", "floyd-steinberg",
                       "--invert", "--source", "v.png",    "a.png"}
        << "picture level=50 source=v.png,png fit dither=floyd-steinberg invert in=a.png";
    QTest::newRow("picture, fill, source view as a bitmap")
        << QStringList{"picture", "--fill", "--source=V.BMP", "--dither=atkinson", "a.png"}
        << "picture level=50 source=V.BMP,bmp fill dither=atkinson in=a.png";
    QTest::newRow("picture, offset")
        << QStringList{"picture", "--offset", "300,17", "--dither", "ordered", "a.png"}
        << "picture level=50 offset=300,17 dither=ordered in=a.png";
    QTest::newRow("picture, offset 0,0 and no dithering, as without them")
        << QStringList{"picture", "--offset=0,0", "--dither", "none", "a.png"}
        << "picture level=50 in=a.png";
    // No picture is that large; beyond its edge the view is white either way.
    QTest::newRow("picture, offset beyond any picture")
        << QStringList{"picture", "--offset", "99999999999999999999999,007", "a.png"}
        << "picture level=50 offset=2147483648,7 in=a.png";
    QTest::newRow("options after the file")
        << QStringList{"picture", "a.png", "--rle", "--level=0"} << "picture rle level=0 in=a.png";
    QTest::newRow("level 100") << QStringList{"picture", "--level", "100", "a.png"}
                               << "picture level=100 in=a.png";
    QTest::newRow("level with leading zeros")
        << QStringList{"picture", "--level", "007", "a.png"} << "picture level=7 in=a.png";
    QTest::newRow("-o joined to its value")
        << QStringList{"picture", "-oout.inc", "a.png"} << "picture level=50 o=out.inc in=a.png";
    QTest::newRow("standard input") << QStringList{"picture", "-"} << "picture level=50 in=-";
    QTest::newRow("file name after --")
        << QStringList{"picture", "--", "--odd.png"} << "picture level=50 in=--odd.png";

    QTest::newRow("sprite, default kind") << QStringList{"sprite", "s.png"} << "sprite bw in=s.png";
    QTest::newRow("sprite grey") << QStringList{"sprite", "--kind", "grey", "s.png"}
                                 << "sprite grey in=s.png";
    QTest::newRow("sprite bw-mask")
        << QStringList{"sprite", "--kind=bw-mask", "s.png"} << "sprite bw-mask in=s.png";
    QTest::newRow("sprite grey-mask")
        << QStringList{"sprite", "s.png", "--kind", "grey-mask"} << "sprite grey-mask in=s.png";
    QTest::newRow("render from a file")
        << QStringList{"sprite", "--kind", "grey", "--render", "out.png", "code.txt"}
        << "render grey png=out.png in=code.txt";
    QTest::newRow("render from standard input")
        << QStringList{"sprite", "--render", "out.png"} << "render bw png=out.png in=-";
    QTest::newRow("sprite, every option")
        << QStringList{"sprite", "--exact", "--size", "64x1", "-o", "s.inc", "s.png"}
        << "sprite bw 64x1 exact o=s.inc in=s.png";
    QTest::newRow("render of another size")
        << QStringList{"sprite", "--size=16x64", "--render", "o.bmp"}
        << "render bw 16x64 png=o.bmp in=-";
    QTest::newRow("sprites, defaults")
        << QStringList{"sprites", "sheet.png"} << "sprites bw in=sheet.png";
    QTest::newRow("sprites, every option")
        << QStringList{"sprites", "--kind",  "grey-mask",    "--size", "24x3",  "--label",
                       "_Hero2",  "--exact", "--skip-empty", "-o",     "h.inc", "sheet.png"}
        << "sprites grey-mask 24x3 label=_Hero2 exact skip-empty o=h.inc in=sheet.png";

    QTest::newRow("unpack to a file")
        << QStringList{"unpack", "-o", "u.png", "d.inc"} << "unpack o=u.png in=d.inc";
    QTest::newRow("unpack to standard output")
        << QStringList{"unpack", "d.inc"} << "unpack in=d.inc";
}

void TestCliArguments::goodCommandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    const Result<CliOptions> options = parseCommandLine(commandLine(arguments));
    QVERIFY2(options, options ? "" : options.error().message().c_str());
    QCOMPARE(describe(*options), expected);
}

void TestCliArguments::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("no arguments") << QStringList{}
                                  << "usage: no command given (try dotwright-cli --help)";
    QTest::newRow("unknown command")
        << QStringList{"frob", "a.png"}
        << "frob: unknown command (expected picture, sprite, sprites or unpack)";
    QTest::newRow("option before the command")
        << QStringList{"--grey", "picture", "a.png"}
        << "usage: unknown option '--grey'; options follow the command";
    QTest::newRow("unknown option")
        << QStringList{"picture", "--foo", "a.png"} << "picture: unknown option '--foo'";
    QTest::newRow("unknown short option")
        << QStringList{"unpack", "-x", "d.inc"} << "unpack: unknown option '-x'";
    QTest::newRow("option of another command")
        << QStringList{"sprite", "--rle", "s.png"} << "sprite: unknown option '--rle'";
    QTest::newRow("missing level value")
        << QStringList{"picture", "a.png", "--level"} << "picture: --level needs a value";
    QTest::newRow("missing -o value")
        << QStringList{"unpack", "d.inc", "-o"} << "unpack: -o needs a value";
    QTest::newRow("empty --bmp") << QStringList{"picture", "--bmp=", "a.png"}
                                 << "picture: --bmp needs a file name";
    QTest::newRow("value given to a flag")
        << QStringList{"picture", "--rle=yes", "a.png"} << "picture: --rle takes no value";

    const QString level = QStringLiteral("picture: --level must be a whole number from 0 to "
                                         "100, not '%1'");
    for (const char* text : {"101", "abc", "50x", "-1", "+50", " 50", "5.0", "", "99999999999"}) {
        QTest::addRow("level '%s'", text)
            << QStringList{"picture", QStringLiteral("--level=") + text, "a.png"}
            << level.arg(QString::fromLatin1(text));
    }
    QTest::newRow("level given twice")
        << QStringList{"picture", "--level", "10", "--level", "20", "a.png"}
        << "picture: --level is given more than once";

    const QString offset =
        QStringLiteral("picture: --offset must be two whole numbers X,Y from 0 up, not '%1'");
    for (const char* text :
         {"3", "3,", ",4", "3,4,5", "-1,0", "3, 4", "3;4", "+3,4", "0x3,4", ""}) {
        QTest::addRow("offset '%s'", text)
            << QStringList{"picture", QStringLiteral("--offset=") + text, "a.png"}
            << offset.arg(QString::fromLatin1(text));
    }
    const QString dither = QStringLiteral("picture: --dither must be none, ordered, "
                                          "floyd-steinberg or atkinson, not '%1'");
    for (const char* text : {"floyd", "Ordered", "bayer", ""}) {
        QTest::addRow("dither '%s'", text)
            << QStringList{"picture", QStringLiteral("--dither=") + text, "a.png"}
            << dither.arg(QString::fromLatin1(text));
    }
    QTest::newRow("fit and fill") << QStringList{"picture", "--fill", "--fit", "a.png"}
                                  << "picture: --fit and --fill cannot be given together";
    QTest::newRow("fit and offset") << QStringList{"picture", "--offset", "1,1", "--fit", "a.png"}
                                    << "picture: --fit and --offset cannot be given together";
    QTest::newRow("fill and offset") << QStringList{"picture", "--fill", "--offset", "1,1", "a.png"}
                                     << "picture: --fill and --offset cannot be given together";
    QTest::newRow("source not a picture name")
        << QStringList{"picture", "--source", "view.jpg", "a.png"}
        << "picture: --source must name a .png or .bmp file, not 'view.jpg'";
    QTest::newRow("empty --source")
        << QStringList{"picture", "--source=", "a.png"} << "picture: --source needs a file name";
    QTest::newRow("fit given a value")
        << QStringList{"picture", "--fit=1", "a.png"} << "picture: --fit takes no value";
    QTest::newRow("no picture") << QStringList{"picture", "--rle"} << "picture: no PICTURE given";
    QTest::newRow("two pictures") << QStringList{"picture", "a.png", "b.png"}
                                  << "picture: unexpected argument 'b.png'";

    QTest::newRow("unknown kind") << QStringList{"sprite", "--kind", "colour", "s.png"}
                                  << "sprite: --kind must be bw, grey, bw-mask or grey-mask, "
                                     "not 'colour'";
    QTest::newRow("no image") << QStringList{"sprite", "--kind", "grey"}
                              << "sprite: no IMAGE given";
    QTest::newRow("render, two code files")
        << QStringList{"sprite", "--render", "o.png", "a.txt", "b.txt"}
        << "sprite: unexpected argument 'b.txt'";
    QTest::newRow("render without a file name")
        << QStringList{"sprite", "--render"} << "sprite: --render needs a value";
    QTest::newRow("render with -o") << QStringList{"sprite", "--render", "o.png", "-o", "x.inc"}
                                    << "sprite: -o does not go with --render";
    QTest::newRow("render with --exact") << QStringList{"sprite", "--exact", "--render", "o.png"}
                                         << "sprite: --exact does not go with --render";
    QTest::newRow("skip-empty is for sprites") << QStringList{"sprite", "--skip-empty", "s.png"}
                                               << "sprite: unknown option '--skip-empty'";

    const QString size = QStringLiteral("%1: --size must be WxH, W a multiple of 8 from 8 to 64 "
                                        "and H from 1 to 64, not '%2'");
    for (const char* text : {"12x8", "0x8", "72x8", "8x0", "8x65", "8", "8x", "x8", "8X8", "8x8x8",
                             "+8x8", "16 x 16", ""}) {
        for (const char* command : {"sprite", "sprites"})
            QTest::addRow("%s size '%s'", command, text)
                << QStringList{command, QStringLiteral("--size=") + text, "s.png"}
                << size.arg(QLatin1String(command), QLatin1String(text));
    }
    const QString label = QStringLiteral("sprites: --label must be letters, digits and _, not "
                                         "starting with a digit and at most 255 characters, not "
                                         "'%1'");
    for (const QString& text :
         {QStringLiteral("1up"), QStringLiteral("hero-walk"), QStringLiteral("h\u00E9ros"),
          QStringLiteral("a b"), QString(), QString(256, u'a')})
        QTest::addRow("label '%s'", qPrintable(text.left(10)))
            << QStringList{"sprites", "--label=" + text, "s.png"} << label.arg(text);
    QTest::newRow("no sheet") << QStringList{"sprites", "--skip-empty"}
                              << "sprites: no SHEET given";

    QTest::newRow("no data file") << QStringList{"unpack", "-o", "u.png"}
                                  << "unpack: no DATAFILE given";
    QTest::newRow("version with an argument")
        << QStringList{"--version", "picture"} << "--version: unexpected argument 'picture'";
}

void TestCliArguments::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const std::vector<std::string> line = commandLine(arguments);
    const Result<CliOptions> parsed = parseCommandLine(line);
    QVERIFY(!parsed);
    QCOMPARE(text(parsed.error().message()), message);

    // The same through a whole run: exit status 2, nothing written.
    StringOutput output;
    const CliExit exit = runCli(line, {nullptr, &output, false});
    QCOMPARE(exit.status, exitUsage);
    QCOMPARE(text(exit.message), message);
    QVERIFY(exit.message.find('\n') == std::string::npos);
    QVERIFY(output.text.empty());
}

void TestCliArguments::unpackRefusesTerminal()
{
    // A PNG on a terminal is garbage on the screen; with -o the terminal is irrelevant.
    StringOutput output;
    const CliExit exit =
        runCli(commandLine({"unpack", "no-such-file.inc"}), {nullptr, &output, true});
    QCOMPARE(exit.status, exitUsage);
    QCOMPARE(text(exit.message), "unpack: standard output is a terminal; name the PNG with -o "
                                 "OUT.png or redirect the output");
    QVERIFY(output.text.empty());

    const CliExit toFile = runCli(commandLine({"unpack", "-o", "u.png", "no-such-file.inc"}),
                                  {nullptr, &output, true});
    QCOMPARE(toFile.status, exitFailure);
    QCOMPARE(text(toFile.message), "no-such-file.inc: file not found");
}

void TestCliArguments::helpAndVersion()
{
    StringOutput output;
    QCOMPARE(runCli(commandLine({"--help"}), {nullptr, &output, true}).status, exitSuccess);
    // The synopsis, word for word as the README gives it.
    QVERIFY(QByteArray::fromStdString(output.text)
                .startsWith("dotwright-cli picture [--grey] [--level N] [--fit | --fill | "
                            "--offset X,Y]\n"
                            "                      [--dither "
                            "none|ordered|floyd-steinberg|atkinson] [--invert]\n"
                            "                      [--source OUT.png] [--rle] [--bmp OUT.bmp] "
                            "[-o OUT] PICTURE\n"
                            "dotwright-cli sprite  [--kind bw|grey|bw-mask|grey-mask] [--size WxH] "
                            "[--exact] [-o OUT] IMAGE\n"
                            "dotwright-cli sprite  [--kind bw|grey|bw-mask|grey-mask] [--size WxH] "
                            "--render OUT.png [CODEFILE]\n"
                            "dotwright-cli sprites [--kind bw|grey|bw-mask|grey-mask] [--size WxH] "
                            "[--label NAME] [--exact] [--skip-empty] [-o OUT] SHEET\n"
                            "dotwright-cli unpack  [-o OUT.png] DATAFILE\n"
                            "dotwright-cli --help | --version\n"));

    output.text.clear();
    QCOMPARE(runCli(commandLine({"--version"}), {nullptr, &output, true}).status, exitSuccess);
    QCOMPARE(output.text, "dotwright-cli " DOTWRIGHT_VERSION "\n");
}

void TestCliArguments::completionOffersTheNamesOfTheHelp_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value"); // the completion's VALUE for the option
    QTest::addColumn<int>("count");
    QTest::newRow("sprite kinds") << "--kind"
                                  << "kind" << int(spriteKindNames.size());
    QTest::newRow("ditherings") << "--dither"
                                << "dither" << int(allDitherings.size());
}

void TestCliArguments::completionOffersTheNamesOfTheHelp()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(int, count);
    // The bash completion cannot ask the tool, so it keeps its own lists of
    // names; each must be the one the help's synopsis shows, in the same order.
    const std::string help = helpText();
    const std::string opening = (QLatin1Char('[') + option + QLatin1Char(' ')).toStdString();
    const std::size_t at = help.find(opening);
    QVERIFY(at != std::string::npos);
    const std::size_t from = at + opening.size();
    const QStringList inHelp =
        text(help.substr(from, help.find(']', from) - from)).split(QLatin1Char('|'));

    QFile completion(QStringLiteral(DOTWRIGHT_COMPLETION_PATH));
    QVERIFY2(completion.open(QIODevice::ReadOnly), qPrintable(completion.fileName()));
    const QRegularExpression valueLine(
        QStringLiteral(R"(^\s*%1\) .*compgen -W '([^']*)')").arg(value),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch offered =
        valueLine.match(QString::fromUtf8(completion.readAll()));
    QVERIFY(offered.hasMatch());
    QCOMPARE(offered.captured(1).split(QLatin1Char(' ')), inHelp);
    QCOMPARE(inHelp.size(), qsizetype(count));
}

QTEST_APPLESS_MAIN(TestCliArguments)
#include "tst_cli_arguments.moc"
