#include "app/form1.h"
#include "app/language.h"
#include "platform/process.h"
#include <QApplication>

int main(int argc, char *argv[])
{
    initPictureProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tumbilder"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tumbilder"));
    QApplication::setDesktopFileName(QStringLiteral("tumbilder"));
    installSwedishQtTexts(&app);

    Form1 window;
    window.show();
    return app.exec();
}
