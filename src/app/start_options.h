#pragma once

#include <QString>
#include <QStringList>

// What dotwright's command line asks for. The program takes at most one
// argument of its own, a picture to open, so that a file manager's "Open with"
// works; everything else happens in the windows.
struct StartOptions
{
    enum class Action { Run, ShowHelp, ShowVersion, UsageError };

    Action action = Action::Run;
    // The picture to open in the black-and-white converter, as an absolute
    // path, or empty.
    QString picture;
    // Why the arguments were refused, for UsageError.
    QString error;
};

// Reads the arguments as main receives them, the program name first. Needs no
// application object, so --help and --version are answered without a display.
// --help and --version win over anything else on the line: before QApplication
// has taken out the toolkit's own options (-platform, -style, ...) they look
// like unknown ones here.
StartOptions parseStartArguments(const QStringList& arguments);

QString startHelpText();
QString startVersionText();
