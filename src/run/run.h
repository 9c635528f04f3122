#pragma once
#include "gallery/page.h"
#include "gallery/pagerecord.h"
#include "thumbs/thumbnailsteps.h"
#include <QJsonObject>
#include <QMap>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

// One run as the user asked for it, from the window or the shell: the
// pictures in list order, the settings taken once, and the page if one is
// to be made.
struct RunRequest {
    ThumbnailSettings settings;
    QList<PictureJob> jobs;
    std::optional<PageSettings> page;
    // What gathering the pictures found: lines for the report before the
    // pictures' own (a folder that cannot be read), and notes that say what
    // was left out on purpose and end the report without making it a problem.
    QStringList inputProblems;
    QStringList inputNotes;
    // Files in folders left out as the program's own thumbnails: a note too.
    int thumbnailsLeftOut = 0;
    // The folders given, for a modern page's record.
    QStringList recordFolders;
};

// How a run ended, with everything the window and the shell show of it.
struct RunResult {
    // The report as the report window shows it: the request's problems, a
    // line for every picture with a problem (the page's too), "Avbrutet."
    // after a cancel, or the success line; then the notes. After an error
    // the lines alone, for the next run to show.
    QStringList report;
    // Why a picture could not be read, by its line in `report`: the shell
    // adds it to the line.
    QMap<qsizetype, QString> reasons;
    QString summary;                    // "N av M tumbilder skapade." (with update: ", K var redan klara.")
    QList<GalleryEntry> gallery;        // one per picture on the page, in list order
    std::optional<DrawResult> last;     // the last picture drawn
    int written = 0;                    // thumbnails written
    int made = 0;                       // with update: thumbnails found made
    int older = 0;                      // with update: thumbnails reported as older than their pictures
    int remade = 0;                     // with update: the page's own thumbnails made again
    QStringList thumbnails;             // the thumbnails written or found made, as paths
    Failure error;                      // what stopped the run
    bool cancelled = false;             // stopped by cancel()
    QString pageFile;                   // the page this run wrote, complete with its copies; or empty
    Failure pageFailure;                // why the page could not be written; the old one stays
    int reportedLines = 0;              // lines in the report about pictures, inputs or the page

    bool stopped() const { return error.failed(); }
    // Some picture, or something given as one, has a line in the report.
    bool reported() const { return reportedLines > 0; }
    // What the shell prints on standard output: the report with the reasons,
    // without the success line when the page failed, then the summary.
    QStringList printed() const;
};

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

// One run: built from a request, executed once, answering one result. It
// draws the pictures on worker threads (at most `threads`; none draws them
// on the run's own thread) within a memory budget of its own, saves them in
// list order on the calling thread, then writes the page. It can be
// cancelled from any thread, also before it starts. Pictures still being
// drawn when it stops are finished in the background and dropped; the run
// waits for them when it goes.
class Run {
public:
    explicit Run(RunRequest request, int threads = defaultThreads(),
                 qint64 memoryBudget = MemoryBudget::defaultBytes());
    ~Run();
    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;

    // Runs it, once: a run is used up by it, so it is called on an rvalue
    // (std::move(run).execute()).
    RunResult execute(RunObserver *observer = nullptr) &&;

    // Stops after the picture being saved; a picture being drawn is not waited for.
    void cancel();
    bool cancelled() const;

    const RunRequest &request() const { return m_request; }
    static int defaultThreads();

    struct Workers;

private:
    void drawPictures(RunObserver *observer, RunResult &out);
    void writePage(RunResult &out);
    void readRecord(RunResult &out);
    void keepRecord(RunResult &out);

    RunRequest m_request;
    const int m_threads;
    const qint64 m_memoryBudget;
    std::atomic<bool> m_cancelled = false;
    bool m_executed = false;
    RunFiles m_files;
    std::unique_ptr<PictureExtras> m_extras;
    std::optional<PageRecord> m_oldRecord;
    QHash<QString, PictureStamp> m_stamps;   // each picture as it was read
    QString m_pageNote;                      // what a run again did to the page
    std::mutex m_mutex;                   // guards m_workers against cancel()
    std::shared_ptr<Workers> m_workers;
    std::unique_ptr<QThreadPool> m_pool;
};
