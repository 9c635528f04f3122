#pragma once
#include <QString>
#include <QStringList>

// What the program's arguments ask for. Parsing needs no application object
// and no display, so help, the version and mistakes are answered before any
// window system is touched.
struct CommandLine {
    enum class Action {
        Window,   // open the main window with `inputs` in the picture list
        Help,     // print `text` to standard output, exit 0
        Version,  // print `text` to standard output, exit 0
        Error,    // print `text` to standard error, exit CommandLineErrorExit
    };
    Action action = Action::Window;
    // Files and folders as typed, in order.
    QStringList inputs;
    // What to print, ending with a newline.
    QString text;
};

inline constexpr int CommandLineErrorExit = 2;

// `arguments` as main() receives them, the program's name first.
CommandLine parseCommandLine(const QStringList &arguments);

// The line printed for an input that does not exist.
QString missingInputWarning(const QString &path);
