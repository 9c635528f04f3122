#include "engine.h"
#include "report.h"
#include "saving.h"
#include "splittext.h"
#include "platform/process.h"
#include "trace.h"
#include <QDir>
#include <QThread>
#include <QThreadPool>
#include <condition_variable>
#include <map>
#include <mutex>

// What the run's thread shares with the workers drawing its pictures. The
// workers keep it alive, so a picture still being drawn when the run has
// stopped finishes harmlessly and its result is dropped.
struct RunControl::State {
    explicit State(qint64 budgetBytes) : budget(budgetBytes) {}
    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, Prepared> ready;   // drawn, not yet saved
    bool cancelled = false;          // by the user: stop after the picture in hand
    bool stopped = false;            // the run is over: draw nothing more
    MemoryBudget budget;
};

QList<PictureJob> pictureJobs(const QStringList &paths)
{
    const QString sep = QString(QDir::separator());
    QList<PictureJob> jobs;
    jobs.reserve(paths.size());
    for (const QString &path : paths) {
        const QStringList pieces = SplitText(path, sep);
        QString folder;
        for (qsizetype k = 0; k + 1 < pieces.size(); ++k)
            folder += pieces[k] + sep;
        // Pictures of one folder share its text: a long list holds it once.
        if (!jobs.isEmpty() && jobs.last().folder == folder)
            folder = jobs.last().folder;
        jobs.append({folder, pieces.last()});
    }
    return jobs;
}

RunSettings runSettings(SizeMode mode, CanvasSize canvas, std::optional<double> percent, ColourValue background,
                        const SaveSettings &save)
{
    RunSettings s;
    s.draw.canvas = canvas;
    s.draw.size.mode = mode;
    if (mode == SizeMode::LockBoth) {
        s.draw.size.boundWidth = lockBothBound(canvas.width);
        s.draw.size.boundHeight = lockBothBound(canvas.height);
    }
    s.draw.size.percent = percent;
    s.draw.background = background;
    s.save = save;
    return s;
}

Prepared cmd_ritabild_Click(const RunSettings &settings, const PictureJob &job, MemoryBudget *budget)
{
    Prepared p;
    if (thumbnailCurrent(settings.save, job.folder, job.file)) {
        p.current = true;
        if (settings.pageFiles.wanted())
            preparePageFiles(settings, job, p, budget);
        return p;
    }
    p.drawn = drawThumbnail(settings.draw, job.path(), budget);
    if (p.drawn.status == DrawResult::Drawn) {
        if (const Failure limit = formatLimit(settings.save.format, p.drawn.image.size()); limit.failed()) {
            p.drawn.status = DrawResult::ScaleFailed;
            p.drawn.failure = limit;
            p.drawn.image = {};
        }
    }
    if (p.drawn.status == DrawResult::Drawn) {
        QElapsedTimer clock;
        clock.start();
        p.encoded = encodeThumbnail(settings.save, p.drawn.image);
        qCDebug(lcRun).noquote().nospace() << job.path() << ": encoded in " << traceMs(clock.nsecsElapsed()) << ", "
                                           << p.encoded.file.size() << " bytes";
    }
    if (settings.pageFiles.wanted())
        preparePageFiles(settings, job, p, budget);
    return p;
}

Committed cmd_sparabild_Click(const SaveSettings &settings, const PictureJob &job, const Prepared &prepared)
{
    Committed c;
    if (prepared.current) {
        const ThumbName name = thumbName(settings, job.folder, job.file);
        c.entry = name.entry;
        c.current = name.nameFor(settings.format);
        return c;
    }
    switch (prepared.drawn.status) {
    case DrawResult::Drawn:
        break;
    case DrawResult::Missing:
        c.reportLine = ReportLine::missing(job.path());
        return c;
    case DrawResult::NotAFile:
        c.reportLine = ReportLine::notAFile(job.path());
        return c;
    case DrawResult::Unreadable:
        c.reportLine = ReportLine::unreadable(job.path());
        return c;
    case DrawResult::ScaleFailed:
        c.reportLine = ReportLine::notScaled(job.path());
        return c;
    }
    const ThumbName name = thumbName(settings, job.folder, job.file);
    c.entry = name.entry;
    QElapsedTimer clock;
    clock.start();
    const SaveResult saved = saveEncoded(settings, name, job.path(), prepared.encoded);
    qCDebug(lcRun).noquote().nospace() << job.path() << ": "
                                       << (saved.written.isEmpty() ? QStringLiteral("nothing written")
                                                                   : QStringLiteral("written to ") + saved.written)
                                       << " in " << traceMs(clock.nsecsElapsed());
    c.reportLine = saved.reportLine;
    c.written = saved.written;
    c.current = saved.current;
    c.older = saved.older;
    c.failure = saved.failure;
    return c;
}

RunControl::RunControl(int threads, qint64 memoryBudget)
    : m_threads(qMax(0, threads)), m_state(std::make_shared<State>(memoryBudget))
{
    if (m_threads > 0) {
        m_pool = std::make_unique<QThreadPool>();
        m_pool->setMaxThreadCount(m_threads);
    }
}

RunControl::~RunControl()
{
    stopWorkers();
    // Waits for pictures still being drawn: their results are dropped.
    m_pool.reset();
}

int RunControl::defaultThreads()
{
    return qMax(1, QThread::idealThreadCount());
}

void RunControl::cancel()
{
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->cancelled = true;
    }
    m_state->changed.notify_all();
    stopWorkers();
}

bool RunControl::cancelled() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->cancelled;
}

void RunControl::stopWorkers()
{
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->stopped = true;
        m_state->ready.clear();
    }
    m_state->budget.close();
    if (m_pool)
        m_pool->clear();
}

void RunControl::draw(const RunSettings &settings, const PictureJob &job, int index)
{
    m_pool->start([state = m_state, settings, job, index] {
        {
            const std::lock_guard lock(state->mutex);
            if (state->stopped)
                return;
        }
        Prepared prepared = cmd_ritabild_Click(settings, job, &state->budget);
        {
            const std::lock_guard lock(state->mutex);
            if (state->stopped)
                return;
            state->ready.emplace(index, std::move(prepared));
        }
        state->changed.notify_all();
    });
}

std::optional<Prepared> RunControl::waitFor(int index)
{
    std::unique_lock lock(m_state->mutex);
    m_state->changed.wait(lock, [&] { return m_state->cancelled || m_state->ready.count(index) > 0; });
    if (m_state->cancelled)
        return std::nullopt;
    return std::move(m_state->ready.extract(index).mapped());
}

RunOutcome runPictures(const RunSettings &settings, const QList<PictureJob> &jobs, RunControl &control,
                       RunObserver *observer)
{
    RunOutcome out;
    const int total = int(jobs.size());
    // Two pictures a worker keep every core busy while this thread saves.
    const int ahead = control.m_threads * 2;
    int submitted = 0;
    std::optional<PageFilesRun> pageFiles;
    if (settings.pageFiles.wanted())
        pageFiles.emplace(settings, jobs);
    for (int i = 0; i < total; ++i) {
        if (control.cancelled()) {
            out.cancelled = true;
            break;
        }
        Prepared prepared;
        if (control.m_threads > 0) {
            for (; submitted < total && submitted < i + ahead; ++submitted)
                control.draw(settings, jobs[submitted], submitted);
            std::optional<Prepared> drawn = control.waitFor(i);
            if (!drawn) {
                out.cancelled = true;
                break;
            }
            prepared = std::move(*drawn);
        } else {
            prepared = cmd_ritabild_Click(settings, jobs[i], &control.m_state->budget);
        }
        // A thumbnail found made while the picture waited can have gone
        // since: then the picture is drawn after all.
        if (prepared.current && !thumbnailCurrent(settings.save, jobs[i].folder, jobs[i].file))
            prepared = cmd_ritabild_Click(settings, jobs[i], &control.m_state->budget);
        if (prepared.drawn.status == DrawResult::ScaleFailed && observer)
            observer->scaleFailed(i, prepared.drawn.failure);
        Committed c = cmd_sparabild_Click(settings.save, jobs[i], prepared);
        QStringList pageFileLines;
        if (pageFiles)
            pageFiles->commit(jobs[i], prepared, c, pageFileLines);
        if (prepared.drawn.status == DrawResult::Drawn)
            out.last = std::move(prepared.drawn);
        if (!c.reportLine.isEmpty())
            out.reportLines << c.reportLine;
        out.reportLines << pageFileLines;
        if (c.entry)
            out.gallery << *c.entry;
        if (!c.written.isEmpty()) {
            ++out.written;
            out.thumbnails << c.written;
        }
        if (!c.current.isEmpty()) {
            ++out.current;
            out.thumbnails << c.current;
        }
        if (c.older)
            ++out.older;
        out.error = c.failure;
        if (observer)
            observer->committed(i, total);
        if (out.error.failed())
            break;
    }
    control.stopWorkers();
    // Between runs the process holds only what it needs.
    releaseFreeMemory();
    return out;
}
