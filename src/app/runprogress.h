#pragma once
#include "thumbs/engine.h"
#include <functional>

class QWidget;

// What the window does while a run goes on. The first two are called on the
// GUI thread while the run waits for them; `afterwards` runs on the run's own
// thread once the run has ended without an error or a cancel, for work that
// must not hold up the window (the page and the copies of the pictures).
struct RunCallbacks {
    std::function<void(int index)> committed;
    std::function<void(const Failure &failure)> scaleFailed;
    std::function<void(const RunOutcome &outcome)> afterwards;
};

// Runs the pictures on a thread of their own while a modal progress window
// with "Avbryt" shows how far the run is, and returns when it is over. The
// window stays alive meanwhile; "Avbryt" stops after the picture in hand.
RunOutcome runWithProgress(QWidget *parent, const RunSettings &settings, const QList<PictureJob> &jobs,
                           RunControl &control, const RunCallbacks &callbacks);

// The progress window's text: how far the run is, the picture in hand and,
// once a few pictures are done, about how long is left.
QString progressText(int done, int total, const QString &inHand, qint64 elapsedMs);
