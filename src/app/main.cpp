#include "app/form1.h"
#include "thumbs/engine.h"
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tumbilder"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tumbilder"));
    QApplication::setDesktopFileName(QStringLiteral("tumbilder"));
    // The window speaks Swedish, so standard buttons (OK, Avbryt) do too.
    QTranslator qtSwedish;
    if (qtSwedish.load(QLocale(QLocale::Swedish, QLocale::Sweden), QStringLiteral("qt"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtSwedish);

    Form1 window;
    window.setThreads(BatchRunner::defaultThreads());
    window.show();
    return app.exec();
}
