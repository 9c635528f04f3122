#pragma once
#include "run/run.h"
#include <functional>

class QWidget;

// What the window does while a run goes on, called on the GUI thread while
// the run waits for them.
struct RunCallbacks {
    std::function<void(int index)> committed;
    std::function<void(const Failure &failure)> scaleFailed;
};

// Executes the run (its pictures, then its page) on a thread of its own
// while a modal progress window with "Avbryt" shows how far it is, and
// returns when it is over. The window stays alive meanwhile; "Avbryt" stops
// after the picture in hand.
RunResult runWithProgress(QWidget *parent, Run &run, const RunCallbacks &callbacks);

// The progress window's text: how far the run is, the picture in hand and,
// once a few pictures are done, about how long is left.
QString progressText(int done, int total, const QString &inHand, qint64 elapsedMs);
