#pragma once
#include "drawing.h"
#include "naming.h"
#include "saving.h"
#include "platform/failure.h"
#include <QList>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

// A run works from a snapshot of the settings, in two phases: prepare (draw
// one picture into its thumbnail image; pure, any thread) and commit (gallery
// entry, existence tests, writing, report lines; in list order).
struct RunSettings {
    DrawSettings draw;
    SaveSettings save;
};

struct PictureJob {
    QString folder;   // ends with the separator
    QString file;
    QString path() const { return folder + file; }
};

struct Committed {
    QString reportLine;                // one line for the report, or empty
    std::optional<GalleryEntry> entry; // recorded for every picture that was drawn
    QString written;                   // the thumbnail file written, or empty
    Failure failure;                   // an error that stops the run
};

// What prepare hands to commit: the drawn picture and, when it was drawn,
// its thumbnail file already encoded (the slow part for GIF stays off the
// GUI thread).
struct Prepared : DrawResult {
    EncodedThumbnail encoded;
};

// Draws and encodes one picture. Touches no shared state: any thread.
Prepared preparePicture(const RunSettings &settings, const QString &path);

// The report line of a picture that could not be drawn ("" when it was).
QString drawReportLine(const DrawResult &drawn, const QString &path);

// Records, names and writes one drawn picture; a picture that could not be
// drawn gets its report line and nothing else.
Committed commitPicture(const SaveSettings &save, const PictureJob &job, const Prepared &prepared);

// Runs prepare for many pictures at once on worker threads and hands the
// results to `commit` one by one, in list order, on the calling thread.
// Only a bounded number of pictures is in flight, so memory stays flat.
class BatchRunner : public QObject {
    Q_OBJECT
public:
    // threads == 0 prepares on the calling thread, one picture at a time.
    BatchRunner(RunSettings settings, QList<PictureJob> jobs, int threads);

    // Returns false from `commit` to stop at once (an error). The event loop
    // keeps running while the workers draw, so windows stay alive.
    using CommitFn = std::function<bool(int index, const Prepared &prepared)>;
    void run(const CommitFn &commit);

    // Stops after the picture in hand; safe from any handler during run().
    void cancel() { m_cancelled = true; }
    bool cancelled() const { return m_cancelled; }

    static int defaultThreads();

signals:
    void progress(int done, int total);

private:
    RunSettings m_settings;
    QList<PictureJob> m_jobs;
    int m_threads;
    std::atomic<bool> m_cancelled{false};
};
