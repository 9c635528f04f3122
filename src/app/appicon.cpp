#include "appicon.h"

// The pictures live in this static library: without a reference the linker
// may leave them out of a program that uses nothing else of the library's
// resource file. (Outside any namespace, as Q_INIT_RESOURCE requires.)
static void loadResources()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(tumbilder);
        return true;
    }();
    Q_UNUSED(loaded);
}

QString appId()
{
    return QStringLiteral(TUMBILDER_APP_ID);
}

QIcon appIcon()
{
    loadResources();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/tumbilder-%1.png").arg(size), QSize(size, size));
    return icon;
}
