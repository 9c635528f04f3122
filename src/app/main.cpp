#include "app/appicon.h"
#include "app/batch.h"
#include "app/commandline.h"
#include "app/form1.h"
#include "app/language.h"
#include "app/version.h"
#include "files/filenames.h"
#include "pixels/process.h"
#include "thumbs/picturefiles.h"
#include <QApplication>
#include <QDir>
#include <cerrno>

int main(int argc, char *argv[])
{
    holdStandardStreams();
    // The arguments are read before any window system is touched: help, the
    // version and mistakes need no display.
    // Exactly as given: a name whose bytes are not text is still that name.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << nameFromBytes(QByteArray(argv[i]));
    const CommandLine commandLine = withRememberedSettings(arguments, parseCommandLine(arguments));
    switch (commandLine.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        return printTo(stdout, commandLine.text) ? 0 : outputLost(errno);
    case CommandLine::Action::Error:
        printTo(stderr, commandLine.text);
        return CommandLineErrorExit;
    case CommandLine::Action::Batch: {
        // No window and no display: the engine paints on images alone.
        initPictureProcess();
        int qtArgc = 1;
        QCoreApplication app(qtArgc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Tumbilder"));
        printTo(stderr, commandLine.warnings);
        return runBatch(commandLine.batch, commandLine.inputs);
    }
    case CommandLine::Action::Window:
        break;
    }
    initPictureProcess();
    // Qt gets the program's name only: every argument is ours, and a file
    // named like one of Qt's own options (-style, -reverse) stays a file.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Tumbilder"));
    QApplication::setApplicationVersion(versionText());
    // No display name: Qt would append it to every window title.
    QApplication::setDesktopFileName(appId());
    QApplication::setWindowIcon(appIcon());
    installSwedishQtTexts(&app);

    Form1 window;
    // As if the pictures had been dropped on the list in this order, with
    // the window's settings.
    const ExpandedInputs inputs = expandInputs(commandLine.inputs, QDir::currentPath(), window.saveSettings(),
                                              FolderWalk{commandLine.batch.recursive, {}});
    for (const QString &path : inputs.missing)
        printTo(stderr, missingInputWarning(path));
    window.show();
    window.takeInputs(inputs);
    return app.exec();
}
