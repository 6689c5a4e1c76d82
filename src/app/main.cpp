#include "app/main_window.h"
#include "ui/window_font.h"

#include <QApplication>

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

} // namespace

int main(int argc, char* argv[])
{
    if (!displayAvailable()) {
        std::fputs("dotwright: no display found (DISPLAY is not set).\n"
                   "Start it on a virtual display instead: xvfb-run make run\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dotwright"));
    installWindowFont();

    MainWindow window;
    window.show();
    return QApplication::exec();
}
