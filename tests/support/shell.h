#pragma once
#include <QProcessEnvironment>

// The environment of a shell with no window system at all, as over ssh or in
// cron: no X, no Wayland, no Qt platform chosen.
QProcessEnvironment withoutDisplay();
