#pragma once
#include <QIcon>
#include <QString>

// The program's id: the name of its desktop entry (without ".desktop"), its
// metainfo and its theme icon.
QString appId();

// The window icon, drawn at every size the icon theme has (16 to 256 px), so
// it is sharp in a task bar, a title bar and at 2x scaling alike. The 32 px
// picture is also in the resources as ":/tumbilder-32.png".
QIcon appIcon();
