#include "app/main_window.h"
#include "app/start_options.h"
#include "picture_io/output_files.h"
#include "ui/window_font.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// Without a display the toolkit aborts with a core dump; say what to do instead.
bool displayAvailable()
{
#ifdef Q_OS_LINUX
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

QStringList argumentsOf(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char* argv[])
{
    // Answered before the display check, so that they work on a server, in a
    // build (help2man) or over ssh.
    const StartOptions early = parseStartArguments(argumentsOf(argc, argv));
    if (early.action == StartOptions::Action::ShowHelp) {
        print(stdout, startHelpText());
        return 0;
    }
    if (early.action == StartOptions::Action::ShowVersion) {
        print(stdout, startVersionText());
        return 0;
    }

    if (!displayAvailable()) {
        std::fputs("dotwright: no display found (DISPLAY is not set).\n"
                   "Start it on a virtual display instead: xvfb-run make run\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dotwright"));

    // Read again now that QApplication has taken out the toolkit's options.
    const StartOptions options = parseStartArguments(QCoreApplication::arguments());
    if (options.action != StartOptions::Action::Run) {
        print(stderr,
              QStringLiteral("dotwright: %1\nTry 'dotwright --help' for more information.\n")
                  .arg(options.error));
        return 2;
    }
    installWindowFont();
    // A file-size limit or an interrupt while saving must leave neither a
    // killed program nor a half-written hidden file behind.
    installWriteCleanup();

    MainWindow window;
    window.show();
    if (!options.picture.isEmpty())
        QTimer::singleShot(0, &window,
                           [&window, &options] { window.openPicture(options.picture); });
    return QApplication::exec();
}
