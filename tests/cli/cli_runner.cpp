#include "cli_runner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

CliChild::CliChild(const QList<QByteArray>& arguments, const Setup& setup)
{
    int input[2];
    int output[2];
    int errors[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0 ||
        ::pipe2(errors, O_CLOEXEC) != 0)
        return;
    const QByteArray program = DOTWRIGHT_CLI_PATH;
    const QByteArray folder = QFile::encodeName(setup.folder);
    std::vector<QByteArray> kept{program};
    kept.insert(kept.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (QByteArray& argument : kept)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    // Without a display, as a build script runs it.
    std::vector<QByteArray> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const QByteArray text(*entry);
        if (!text.startsWith("DISPLAY=") && !text.startsWith("WAYLAND_DISPLAY=") &&
            !text.startsWith("QT_QPA_PLATFORM="))
            environment.push_back(text);
    }
    std::vector<char*> envp;
    for (QByteArray& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(input[0], STDIN_FILENO);
        ::dup2(output[1], STDOUT_FILENO);
        ::dup2(errors[1], STDERR_FILENO);
        if (!folder.isEmpty() && ::chdir(folder.constData()) != 0)
            ::_exit(97);
        if (setup.inChild != nullptr)
            setup.inChild();
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(96);
    }
    ::close(input[0]);
    ::close(output[1]);
    ::close(errors[1]);
    // Small inputs fit the pipe; the child may not read them at all.
    ::signal(SIGPIPE, SIG_IGN);
    if (!setup.input.isEmpty())
        (void)::write(input[1], setup.input.constData(), std::size_t(setup.input.size()));
    ::close(input[1]);
    m_output = output[0];
    m_errors = errors[0];
}

CliChild::~CliChild()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        finish();
    }
}

CliRun CliChild::finish()
{
    CliRun run;
    if (m_pid <= 0)
        return run;
    QElapsedTimer timer;
    timer.start();
    pollfd streams[2] = {{m_output, POLLIN, 0}, {m_errors, POLLIN, 0}};
    QByteArray* targets[2] = {&run.output, &run.errors};
    int open = 2;
    while (open > 0 && timer.elapsed() < 60000) {
        if (::poll(streams, 2, 1000) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (streams[i].fd < 0 || (streams[i].revents & (POLLIN | POLLHUP)) == 0)
                continue;
            char buffer[65536];
            const ssize_t got = ::read(streams[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                targets[i]->append(buffer, got);
            } else {
                ::close(streams[i].fd);
                streams[i].fd = -1;
                --open;
            }
        }
    }
    if (open > 0)
        ::kill(m_pid, SIGKILL);
    for (pollfd& stream : streams) {
        if (stream.fd >= 0)
            ::close(stream.fd);
    }
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    run.crashed = !WIFEXITED(status);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return run;
}
