#pragma once
#include "drawing.h"
#include "naming.h"
#include "pagefiles.h"
#include "platform/encoders.h"
#include "platform/failure.h"
#include <QList>
#include <QThreadPool>
#include <QStringList>
#include <memory>
#include <optional>

// A run works from a snapshot of the settings, taken once before the first
// picture, in two steps per picture: drawing (cmd_ritabild_Click, any thread)
// and saving (cmd_sparabild_Click, in list order).
struct RunSettings {
    DrawSettings draw;
    SaveSettings save;
    PageFileSettings pageFiles;   // for a modern page; none at first
};

// The snapshot from what the user chose, in the window or on the command
// line: the size mode with the canvas as it stands (outer size, twips; in
// the lock-both mode it also gives the bounds) and the percentage, the
// background colour and how the thumbnails are named and saved.
RunSettings runSettings(SizeMode mode, CanvasSize canvas, std::optional<double> percent, ColourValue background,
                        const SaveSettings &save);

// One picture of a run: its folder, ending with the separator, and its file
// name.
struct PictureJob {
    QString folder;
    QString file;
    QString path() const { return folder + file; }
    bool operator==(const PictureJob &) const = default;
};

// cmd_kör_Click's work: every path split at the separator with SplitText;
// the folder is every piece but the last, each followed by the separator.
QList<PictureJob> pictureJobs(const QStringList &paths);

// What the drawing step hands to the saving step.
struct Prepared {
    DrawResult drawn;
    Encoded encoded;   // the thumbnail's file, made when the picture was drawn
    PreparedPageFiles pageFiles;
    bool current = false;   // with update: its thumbnail is made already, nothing drawn
};

struct Committed {
    QString reportLine;                // one line for the report, or empty
    std::optional<GalleryEntry> entry; // recorded for every picture that was drawn
    QString written;                   // the thumbnail file written, or empty
    QString current;                   // with update: the thumbnail found made, or empty
    bool older = false;                // with update: reported, its thumbnail older than the picture
    Failure failure;                   // an error that stops the run
};

// Draws one picture by the run's settings into its thumbnail and encodes it
// (with update, not when its thumbnail is made already), and makes its page
// files when they are wanted. Touches no shared state: any thread.
Prepared cmd_ritabild_Click(const RunSettings &settings, const PictureJob &job, MemoryBudget *budget = nullptr);

// Records the gallery entry, names the thumbnail and writes it, never over
// anything. A picture that could not be drawn gets its report line
// ("Fil saknas: ", "Inte en vanlig fil: ", "Kan inte läsa bilden: ",
// "Kan inte skala om bilden: ") and nothing else.
Committed cmd_sparabild_Click(const SaveSettings &settings, const PictureJob &job, const Prepared &prepared);

// Follows a run as it goes. Called on the run's thread, which waits for each
// call to return.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // The picture `index` of `total` was saved, reported or stopped the run.
    virtual void committed(int index, int total) { Q_UNUSED(index) Q_UNUSED(total) }
    // The picture `index` could not be scaled into the canvas.
    virtual void scaleFailed(int index, const Failure &failure) { Q_UNUSED(index) Q_UNUSED(failure) }
};

// What a run leaves for the window, or the command line, to show.
struct RunOutcome {
    QStringList reportLines;            // in list order
    QList<GalleryEntry> gallery;        // one per picture drawn, in list order
    std::optional<DrawResult> last;     // the last picture drawn
    int written = 0;                    // thumbnails written
    int current = 0;                    // with update: thumbnails found made
    int older = 0;                      // with update: thumbnails reported as older than their pictures
    QStringList thumbnails;             // the files written or found made, as paths
    Failure error;                      // what stopped the run
    bool cancelled = false;             // stopped by cancel()
};

// How a run runs, and the way to stop it from any thread. Pictures still
// being drawn when a run stops are finished in the background and dropped;
// the control waits for them when it goes.
class RunControl {
public:
    // threads == 0 draws on the run's own thread, one picture at a time.
    explicit RunControl(int threads = defaultThreads(), qint64 memoryBudget = MemoryBudget::defaultBytes());
    ~RunControl();
    RunControl(const RunControl &) = delete;
    RunControl &operator=(const RunControl &) = delete;

    // Stops after the picture being saved; a picture being drawn is not waited for.
    void cancel();
    bool cancelled() const;

    static int defaultThreads();

    struct State;

private:
    friend RunOutcome runPictures(const RunSettings &, const QList<PictureJob> &, RunControl &, RunObserver *);
    // Hands one picture to a worker; its result waits for waitFor().
    void draw(const RunSettings &settings, const PictureJob &job, int index);
    // The picture drawn, or nothing once the run is cancelled.
    std::optional<Prepared> waitFor(int index);
    void stopWorkers();

    int m_threads;
    std::shared_ptr<State> m_state;
    std::unique_ptr<QThreadPool> m_pool;
};

// Draws many pictures at once and saves them one by one in list order, on
// the calling thread, until the list ends, an error stops the run, or it is
// cancelled. Memory held by pictures being decoded stays within the budget.
RunOutcome runPictures(const RunSettings &settings, const QList<PictureJob> &jobs, RunControl &control,
                       RunObserver *observer = nullptr);
