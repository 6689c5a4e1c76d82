// dotwright's command line: what it asks for, read in-process, and what the
// real program answers without a display.

#include "app/start_options.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

Q_DECLARE_METATYPE(StartOptions::Action)

class TestStartOptions : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void programAnswersWithoutADisplay_data();
    void programAnswersWithoutADisplay();
};

void TestStartOptions::arguments_data()
{
    using Action = StartOptions::Action;
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("error"); // a part of the message

    const QString here = QDir::currentPath();
    QTest::newRow("nothing") << QStringList{} << Action::Run << QString() << QString();
    QTest::newRow("absolute picture")
        << QStringList{"/pictures/title.bmp"} << Action::Run << "/pictures/title.bmp" << QString();
    QTest::newRow("relative picture made absolute")
        << QStringList{"gfx/title.png"} << Action::Run << here + "/gfx/title.png" << QString();
    QTest::newRow("picture named like an option, after --")
        << QStringList{"--", "--help"} << Action::Run << here + "/--help" << QString();
    QTest::newRow("-h") << QStringList{"-h"} << Action::ShowHelp << QString() << QString();
    QTest::newRow("--help") << QStringList{"--help"} << Action::ShowHelp << QString() << QString();
    QTest::newRow("-v") << QStringList{"-v"} << Action::ShowVersion << QString() << QString();
    QTest::newRow("--version") << QStringList{"--version"} << Action::ShowVersion << QString()
                               << QString();
    QTest::newRow("help beside the toolkit's options")
        << QStringList{"-style", "fusion", "--help"} << Action::ShowHelp << QString() << QString();
    QTest::newRow("a toolkit option with a v is not --version")
        << QStringList{"-reverse"} << Action::UsageError << QString() << "reverse";
    QTest::newRow("unknown option")
        << QStringList{"--bogus", "a.png"} << Action::UsageError << QString() << "bogus";
    QTest::newRow("two pictures") << QStringList{"a.png", "b.png"} << Action::UsageError
                                  << QString() << "one picture";
    QTest::newRow("empty name") << QStringList{""} << Action::UsageError << QString() << "empty";
}

void TestStartOptions::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(StartOptions::Action, action);
    QFETCH(QString, picture);
    QFETCH(QString, error);
    const StartOptions options = parseStartArguments(QStringList{"dotwright"} + arguments);
    QCOMPARE(options.action, action);
    QCOMPARE(options.picture, picture);
    if (error.isEmpty())
        QCOMPARE(options.error, QString());
    else
        QVERIFY2(options.error.contains(error), qPrintable(options.error));
}

void TestStartOptions::programAnswersWithoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("offscreen"); // else no display at all
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("errors"); // a part of standard error

    QTest::newRow("--help") << QStringList{"--help"} << false << 0 << startHelpText() << QString();
    QTest::newRow("--version") << QStringList{"--version"} << false << 0
                               << "dotwright " DOTWRIGHT_VERSION "\n"
                               << QString();
    QTest::newRow("picture but no display")
        << QStringList{"title.png"} << false << 1 << QString() << "no display found";
    QTest::newRow("unknown option")
        << QStringList{"--bogus"} << true << 2 << QString()
        << "dotwright: Unknown option 'bogus'.\nTry 'dotwright --help' for more information.\n";
}

void TestStartOptions::programAnswersWithoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, offscreen);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, errors);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    if (offscreen)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(DOTWRIGHT_PATH), arguments);
    QVERIFY(process.waitForStarted());
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        QFAIL("dotwright did not end: it must not open a window here");
    }
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    QCOMPARE(QString::fromLocal8Bit(process.readAllStandardOutput()), output);
    const QString shownErrors = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(shownErrors.contains(errors), qPrintable(shownErrors));
}

QTEST_GUILESS_MAIN(TestStartOptions)
#include "tst_start_options.moc"
