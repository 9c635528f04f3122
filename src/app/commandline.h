#pragma once
#include "pixels/units.h"
#include "terminal.h"
#include "thumbs/geometry.h"
#include "thumbs/naming.h"
#include <QMap>
#include <QSize>
#include <QString>
#include <QStringList>

// The settings of a run from the shell, checked as far as the arguments
// alone allow; the window's start values where none is given.
struct BatchSettings {
    SizeMode mode = SizeMode::LockBoth;
    QSize box{237, 237};                  // the thumbnail box inside the border, pixels
    int percent = 50;
    QString prefix;
    QString suffix = QStringLiteral("_s");
    OutputFormat format = OutputFormat::Jpg;
    int quality = 65;
    ColourValue background = 0xEFEFEF;    // the window's start colour on a standard desktop
    QString page;                         // write the page into this folder (empty: no page)
    QString title = QStringLiteral("Mina bilder");
    int columns = 3;
    bool modernPage = false;              // --page-style modern
    // --web-size: the modern page's copies this many pixels on the long
    // side; 0 copies the originals where a browser shows them.
    int webSize = 2048;
    bool dateOrder = true;                // --sort date (or name), for the modern page
    bool recursive = false;               // --recursive: folders with the folders below them
    QMap<QString, QString> given;         // the options given, by long name, with their values
    QString out;                          // thumbnails into this folder (empty: beside each picture)
    bool update = false;                  // a thumbnail at least as new as its picture counts as made
    int jobs = 0;                         // worker threads (0: one a core)
    bool quiet = false;
    // For the benchmarks, not in the help: cancel after that many pictures
    // (-1: never), and print how long the run stood still.
    int cancelAfter = -1;
    bool timing = false;
};

// What the program's arguments ask for. Parsing needs no application object
// and no display, so help, the version and mistakes are answered before any
// window system is touched.
struct CommandLine {
    enum class Action {
        Window,   // open the main window with `inputs` in the picture list
        Batch,    // make the thumbnails of `inputs` with `batch`, no window
        Help,     // print `text` to standard output, exit 0
        Version,  // print `text` to standard output, exit 0
        Error,    // print `text` to standard error, exit CommandLineErrorExit
    };
    Action action = Action::Window;
    // Files and folders as typed, in order.
    QStringList inputs;
    // What to print, ending with a newline.
    QString text;
    // For a batch run: lines for standard error about options that will not
    // be used, each ending with a newline.
    QString warnings;
    BatchSettings batch;
};

inline constexpr int CommandLineErrorExit = 2;

// `arguments` as main() receives them, the program's name first.
CommandLine parseCommandLine(const QStringList &arguments);

// The line printed for an input that does not exist.
QString missingInputWarning(const QString &path);

// An error of the arguments as printed: the problem and where to look.
QString commandLineError(const QString &problem);
