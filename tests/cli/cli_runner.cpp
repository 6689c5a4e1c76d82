#include "cli_runner.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

CliRun runCliProcess(const QStringList& arguments, const CliRunSetup& setup)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));

    QProcess process;
    process.setProcessEnvironment(environment);
    if (!setup.folder.isEmpty())
        process.setWorkingDirectory(setup.folder);
    if (!setup.outputFile.isEmpty())
        process.setStandardOutputFile(setup.outputFile);
    process.start(QStringLiteral(DOTWRIGHT_CLI_PATH), arguments);
    CliRun run;
    if (!process.waitForStarted())
        return run;
    process.write(setup.input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        run.crashed = true;
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}

QByteArray cliPictureBytes(const QString& picture, int level, bool greyscale, bool compressed)
{
    QStringList arguments{QStringLiteral("picture"), QStringLiteral("--level"),
                          QString::number(level)};
    if (greyscale)
        arguments << QStringLiteral("--grey");
    if (compressed)
        arguments << QStringLiteral("--rle");
    arguments << picture;
    const CliRun run = runCliProcess(arguments);
    if (run.crashed || run.exitCode != 0 || !run.errors.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("dotwright-cli %1 failed (exit %2): %3")
                                    .arg(arguments.join(QLatin1Char(' ')))
                                    .arg(run.exitCode)
                                    .arg(QString::fromUtf8(run.errors))),
                     __FILE__, __LINE__);
        return {};
    }
    return run.output;
}
