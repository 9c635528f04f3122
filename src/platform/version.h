#pragma once
#include <QString>

// The program's version: major, a dot, then minor and revision straight
// after one another (1, 3, 0 read "1.30").
inline QString versionText()
{
    return QString::number(TUMBILDER_VERSION_MAJOR) + QLatin1Char('.') + QString::number(TUMBILDER_VERSION_MINOR)
           + QString::number(TUMBILDER_VERSION_REVISION);
}
