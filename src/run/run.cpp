#include "run.h"
#include "gallery/pagefiles.h"
#include "codecs/loaders.h"
#include "gallery/pagerecord.h"
#include "files/fileops.h"
#include "pixels/process.h"
#include "thumbs/report.h"
#include "thumbs/trace.h"
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <map>

// What the run's thread shares with the workers drawing its pictures. The
// workers keep it alive, so a picture still being drawn when the run has
// stopped finishes harmlessly and its result is dropped.
struct Run::Workers {
    explicit Workers(qint64 budgetBytes) : budget(budgetBytes) {}
    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, PreparedThumbnail> ready;   // drawn, not yet saved
    bool cancelled = false;                   // stop after the picture in hand
    bool stopped = false;                     // the run is over: draw nothing more
    MemoryBudget budget;

    void stop()
    {
        {
            const std::lock_guard lock(mutex);
            stopped = true;
            ready.clear();
        }
        budget.close();
    }
};

namespace {
// The drawing step of one picture with its extras, as a worker takes it.
PreparedThumbnail prepare(const ThumbnailSettings &settings, const PictureJob &job, const RunFiles &files,
                          const PictureExtras *extras, MemoryBudget *budget)
{
    PreparedThumbnail p = prepareThumbnail(settings, job, files, budget, extras);
    if (extras)
        p.extras = extras->prepare(job, p, budget);
    // The decoding the extras shared holds memory the next picture may need.
    p.drawn.decoded.reset();
    return p;
}

// Every picture's thumbnail name is its own from the start, the first in
// the list taking it: a later picture of the same name (the same file name
// in two folders with one target folder, x.heic beside x.png) is reported,
// never drawn, and never takes what was made for the first.
void claimThumbnailNames(const ThumbnailSettings &settings, const QList<PictureJob> &jobs, RunFiles &files)
{
    if (!fitsInFileName(settings.save.prefix) || !fitsInFileName(settings.save.suffix))
        return;
    for (const PictureJob &job : jobs)
        files.claim(thumbName(settings.save, job).nameFor(settings.save.format), job.path());
}

// On a modern page, pictures from more than one folder go into albums: the
// page folder mirrors the folders below the one that holds them all, so
// that names from different folders never meet.
void placeInAlbums(QList<PictureJob> &jobs)
{
    const QString sep = QString(QDir::separator());
    QStringList common;
    bool first = true;
    for (const PictureJob &job : std::as_const(jobs)) {
        const QStringList pieces = job.folder.split(sep);
        if (first) {
            common = pieces;
            first = false;
            continue;
        }
        qsizetype same = 0;
        while (same < common.size() && same < pieces.size() && common[same] == pieces[same])
            ++same;
        common.resize(same);
    }
    QString root = common.join(sep);
    if (!root.endsWith(sep))
        root += sep;
    for (PictureJob &job : jobs)
        job.album = job.folder.mid(root.size());
}

// Every album's folder, made before a thumbnail goes there.
Failure makeAlbumFolders(const QString &pageFolder, const QList<PictureJob> &jobs)
{
    QSet<QString> made;
    for (const PictureJob &job : jobs) {
        if (job.album.isEmpty() || made.contains(job.album))
            continue;
        if (const Failure f = makeFolders(pageFolder + job.album); f.failed())
            return f;
        made.insert(job.album);
    }
    return {};
}
}

Run::Run(RunRequest request, int threads, qint64 memoryBudget)
    : m_request(std::move(request)), m_threads(qMax(0, threads)), m_memoryBudget(memoryBudget),
      m_files(m_request.settings.save.update)
{
    if (m_threads > 0) {
        m_pool = std::make_unique<QThreadPool>();
        m_pool->setMaxThreadCount(m_threads);
    }
}

Run::~Run()
{
    cancel();
    // Waits for pictures still being drawn: their results are dropped.
    m_pool.reset();
}

int Run::defaultThreads()
{
    return qMax(1, QThread::idealThreadCount());
}

void Run::cancel()
{
    m_cancelled = true;
    std::shared_ptr<Workers> workers;
    {
        const std::lock_guard lock(m_mutex);
        workers = m_workers;
    }
    if (!workers)
        return;
    {
        const std::lock_guard lock(workers->mutex);
        workers->cancelled = true;
    }
    workers->changed.notify_all();
    workers->stop();
    if (m_pool)
        m_pool->clear();
}

bool Run::cancelled() const
{
    return m_cancelled;
}

RunResult Run::execute(RunObserver *observer) &&
{
    Q_ASSERT(!m_executed);
    m_executed = true;
    RunResult r;
    r.report = m_request.inputProblems;
    const bool modern = m_request.page && m_request.page->style == PageStyle::Modern;
    if (modern) {
        placeInAlbums(m_request.jobs);
        if (r.error = makeAlbumFolders(m_request.page->folder, m_request.jobs); r.error.failed())
            return r;
        readRecord(r);
    }
    claimThumbnailNames(m_request.settings, m_request.jobs, m_files);
    if (m_request.page && m_request.page->style == PageStyle::Modern)
        m_extras = std::make_unique<ModernPageFiles>(m_request.settings, PageFileSettings{true, m_request.page->webSize},
                                                     m_request.jobs, m_files);
    // The classic page copies the pictures as they are, but a camera's raw
    // file, which no browser shows, as a JPG.
    else if (m_request.page && std::any_of(m_request.jobs.cbegin(), m_request.jobs.cend(),
                                           [](const PictureJob &job) { return isCameraRaw(job.file); }))
        m_extras = std::make_unique<ModernPageFiles>(m_request.settings, PageFileSettings{false, 0, true},
                                                     m_request.jobs, m_files);
    drawPictures(observer, r);
    r.summary = ReportLine::summary(r.written, int(m_request.jobs.size()), r.made);
    if (!r.stopped() && m_request.page && !r.cancelled)
        writePage(r);
    if (modern && !r.stopped() && !r.cancelled && !r.pageFailure.failed() && !r.pageFile.isEmpty())
        keepRecord(r);
    if (r.pageFailure.failed())
        r.pageFile.clear();
    r.reportedLines = int(r.report.size());
    if (r.stopped())
        return r;
    if (r.cancelled)
        r.report << ReportLine::cancelled();
    if (r.report.isEmpty())
        r.report << ReportLine::allWell();
    r.report << m_request.inputNotes;
    if (m_request.thumbnailsLeftOut > 0)
        r.report << ReportLine::thumbnailsLeftOut(m_request.thumbnailsLeftOut);
    if (r.older > 0)
        r.report << ReportLine::olderThumbnails();
    if (!m_pageNote.isEmpty())
        r.report << m_pageNote;
    return r;
}

void Run::writePage(RunResult &r)
{
    const PageOutcome page =
        writeGallery(*m_request.page, r.gallery, r.thumbnails, [this] { return cancelled(); });
    r.pageFailure = page.failure;
    r.cancelled = page.cancelled;
    if (!page.cancelled && !page.failure.failed()) {
        r.pageFile = pagePath(*m_request.page);
        for (const QString &path : page.leftOut)
            r.report << ReportLine::namedLikeThumbnail(path);
        for (const QString &path : page.inTheWay)
            r.report << ReportLine::exists(path);
        // Not on the page, so not in its record either.
        r.gallery.removeIf([&](const GalleryEntry &e) {
            return page.inTheWay.contains(m_request.page->folder + e.album + e.file);
        });
        for (GalleryEntry &e : r.gallery)
            if (!e.motion.isEmpty() && page.inTheWay.contains(m_request.page->folder + e.album + e.motion))
                e.motion.clear();
    }
}

void Run::readRecord(RunResult &r)
{
    const QString folder = m_request.page->folder;
    m_files.keepRecord();
    m_files.setThumbnailShape(thumbnailShape(m_request.settings));
    const ReadRecord read = readPageRecord(folder);
    if (read.failure.failed()) {
        // Nothing in the folder is taken for the page's: nothing is removed.
        r.report << ReportLine::recordUnreadable(read.failure.description);
        return;
    }
    if (!read.record)
        return;
    m_oldRecord = read.record;
    for (auto it = read.record->files.cbegin(); it != read.record->files.cend(); ++it) {
        // Only a file as the page left it is the page's: one changed since
        // is somebody's.
        // The pages are the page's whatever they hold, as the described page is.
        const PictureStamp now = pictureStamp(folder + it.key());
        if ((now.size == it->size && now.modified == it->modified) || (it->kind == QLatin1String("page") && now.valid()))
            m_files.own(folder + it.key(), it->picture, it->stamp, it->shape);
    }
}

void Run::keepRecord(RunResult &r)
{
    const PageSettings &page = *m_request.page;
    const QString folder = page.folder;
    const QString extension = formatExtension(m_request.settings.save.format);
    const QString thumbShape = thumbnailShape(m_request.settings);
    PageRecord record;
    record.settings = recordSettings(m_request.settings, page);
    record.folders = m_request.recordFolders;
    QSet<QString> pictures, albums{QString()}, originals;
    for (const PictureJob &job : std::as_const(m_request.jobs)) {
        pictures.insert(job.path());
        if (const QString original = QFileInfo(job.path()).canonicalFilePath(); !original.isEmpty())
            originals.insert(original);
    }
    for (const GalleryEntry &e : std::as_const(r.gallery)) {
        const QString picture = e.folder + e.file;
        const PictureStamp stamp = m_stamps.value(picture);
        auto add = [&](const QString &name, const QString &kind, const QString &shape) {
            record.files.insert(name, recordedFile(folder + name, kind, picture, stamp, shape));
        };
        add(e.album + e.thumb + extension, QStringLiteral("thumbnail"), thumbShape);
        if (!e.doubled.isEmpty())
            add(e.album + e.doubled, QStringLiteral("double"), thumbShape);
        const int longSide = copyLongSide({true, page.webSize}, e.file);
        if (!e.picture.isEmpty())
            add(e.album + e.picture, QStringLiteral("copy"), webCopyShape(longSide, m_request.settings.draw.background));
        else if (!sameFile(folder + e.album + e.file, picture))
            add(e.album + e.file, QStringLiteral("copy"), {});
        if (!e.motion.isEmpty() && !sameFile(folder + e.album + e.motion, e.folder + e.motion))
            add(e.album + e.motion, QStringLiteral("copy"), {});
        for (QString album = e.album; !album.isEmpty(); album = album.left(album.lastIndexOf('/', album.size() - 2) + 1))
            albums.insert(album);
    }
    for (const QString &album : std::as_const(albums))
        record.files.insert(album + QStringLiteral("bilder.html"), {QStringLiteral("page"), -1, -1, {}, {}, {}});
    // What the page made before stays its own; with update, what it made of
    // pictures no longer given goes, after the new page is in place.
    int removed = 0;
    if (m_oldRecord) {
        QSet<QString> gone;
        QStringList emptied;
        for (auto it = m_oldRecord->files.cbegin(); it != m_oldRecord->files.cend(); ++it) {
            const QString path = folder + it.key();
            // A picture of this run is the user's, whatever an older record says.
            if (record.files.contains(it.key()) || !m_files.owned(path)
                || originals.contains(QFileInfo(path).canonicalFilePath()))
                continue;
            const bool left = it->kind == QLatin1String("page") || !pictures.contains(it->picture);
            if (m_request.settings.save.update && left && !removeFile(path).failed()) {
                if (!it->picture.isEmpty())
                    gone.insert(it->picture);
                emptied << QFileInfo(path).absolutePath();
                continue;
            }
            record.files.insert(it.key(), *it);
        }
        removed = int(gone.size());
        // An album left without pictures goes with its page.
        std::sort(emptied.begin(), emptied.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
        for (const QString &dir : std::as_const(emptied))
            if (dir.size() > folder.size())
                QDir().rmdir(dir);
        if (m_request.settings.save.update && (r.written > 0 || removed > 0))
            m_pageNote = ReportLine::pageChanges(r.written - r.remade, r.remade, removed);
    }
    if (const Failure f = writePageRecord(folder, record); f.failed())
        r.pageFailure = f;
}

void Run::drawPictures(RunObserver *observer, RunResult &out)
{
    // The workers use these by reference: the run outlives them (it waits
    // for them when it goes).
    const ThumbnailSettings &settings = m_request.settings;
    RunFiles &files = m_files;
    const PictureExtras *extras = m_extras.get();
    const QList<PictureJob> &jobs = m_request.jobs;
    const int total = int(jobs.size());
    auto workers = std::make_shared<Workers>(m_memoryBudget);
    {
        const std::lock_guard lock(m_mutex);
        m_workers = workers;
    }
    if (m_cancelled)
        cancel();
    // Two pictures a worker keep every core busy while this thread saves.
    const int ahead = m_threads * 2;
    int submitted = 0;
    auto submit = [&](int index) {
        m_pool->start([workers, &settings, job = jobs[index], &files, extras, index] {
            {
                const std::lock_guard lock(workers->mutex);
                if (workers->stopped)
                    return;
            }
            PreparedThumbnail prepared = prepare(settings, job, files, extras, &workers->budget);
            {
                const std::lock_guard lock(workers->mutex);
                if (workers->stopped)
                    return;
                workers->ready.emplace(index, std::move(prepared));
            }
            workers->changed.notify_all();
        });
    };
    for (int i = 0; i < total; ++i) {
        if (cancelled()) {
            out.cancelled = true;
            break;
        }
        PreparedThumbnail prepared;
        if (m_threads > 0) {
            for (; submitted < total && submitted < i + ahead; ++submitted)
                submit(submitted);
            std::unique_lock lock(workers->mutex);
            workers->changed.wait(lock, [&] { return workers->cancelled || workers->ready.count(i) > 0; });
            if (workers->cancelled) {
                out.cancelled = true;
                break;
            }
            prepared = std::move(workers->ready.extract(i).mapped());
        } else {
            prepared = prepare(settings, jobs[i], files, extras, &workers->budget);
        }
        // A thumbnail found made while the picture waited can have gone
        // since: then the picture is drawn after all.
        if (prepared.made
            && !files.thumbnailMade(thumbName(settings.save, jobs[i]).nameFor(settings.save.format),
                                    jobs[i].path()))
            prepared = prepare(settings, jobs[i], files, extras, &workers->budget);
        if (prepared.drawn.status == DrawResult::ScaleFailed && observer)
            observer->scaleFailed(i, prepared.drawn.failure);
        SavedThumbnail c = saveThumbnail(settings.save, jobs[i], prepared, files);
        QStringList pageFileLines;
        if (m_extras)
            m_extras->save(jobs[i], prepared, c, pageFileLines);
        if (prepared.drawn.status == DrawResult::Drawn)
            out.last = std::move(prepared.drawn);
        if (!c.reportLine.isEmpty()) {
            if (c.unreadable.failed())
                out.reasons.insert(out.report.size(), (c.unreadable.reason.isEmpty() ? c.unreadable.description : c.unreadable.reason));
            out.report << c.reportLine;
        }
        for (const QString &line : pageFileLines) {
            if (c.unreadable.failed() && line == ReportLine::unreadable(jobs[i].path()))
                out.reasons.insert(out.report.size(), (c.unreadable.reason.isEmpty() ? c.unreadable.description : c.unreadable.reason));
            out.report << line;
        }
        if (c.entry)
            out.gallery << *c.entry;
        if (!c.written.isEmpty()) {
            ++out.written;
            out.thumbnails << c.written;
        }
        if (!c.made.isEmpty()) {
            ++out.made;
            out.thumbnails << c.made;
        }
        if (c.older)
            ++out.older;
        if (c.remade)
            ++out.remade;
        m_stamps.insert(jobs[i].path(), prepared.stamp);
        out.error = c.failure;
        if (observer)
            observer->committed(i, total);
        if (out.error.failed())
            break;
    }
    workers->stop();
    if (m_pool)
        m_pool->clear();
    // Between runs the process holds only what it needs.
    releaseFreeMemory();
}

QStringList RunResult::printed() const
{
    QStringList lines;
    for (qsizetype i = 0; i < report.size(); ++i) {
        if (pageFailure.failed() && report[i] == ReportLine::allWell())
            continue;
        const auto reason = reasons.constFind(i);
        lines << (reason == reasons.cend() || reason->isEmpty() ? report[i]
                                                                 : report[i] + QStringLiteral(" (") + *reason + ')');
    }
    return lines << summary;
}
