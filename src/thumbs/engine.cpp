#include "engine.h"
#include "saving.h"
#include <QEventLoop>
#include <QFutureWatcher>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>
#include <deque>
#include <memory>

QString drawReportLine(const DrawResult &drawn, const QString &path)
{
    switch (drawn.status) {
    case DrawResult::Missing:
        return QStringLiteral("Fil saknas: ") + path;
    case DrawResult::Unreadable:
        return QStringLiteral("Kan inte läsa bilden: ") + path;
    case DrawResult::Drawn:
    case DrawResult::ScaleFailed:
        break;
    }
    return {};
}

Prepared preparePicture(const RunSettings &settings, const QString &path)
{
    Prepared p;
    static_cast<DrawResult &>(p) = drawThumbnail(settings.draw, path);
    if (p.status == DrawResult::Drawn)
        p.encoded = encodeThumbnail(settings.save, p.image);
    return p;
}

Committed commitPicture(const SaveSettings &save, const PictureJob &job, const Prepared &drawn)
{
    Committed c;
    if (drawn.status != DrawResult::Drawn) {
        c.reportLine = drawReportLine(drawn, job.path());
        return c;
    }
    const ThumbName name = thumbName(save, job.folder, job.file);
    c.entry = name.entry;
    const SaveResult saved = saveEncoded(save, name, drawn.encoded);
    c.reportLine = saved.reportLine;
    c.written = saved.written;
    c.failure = saved.failure;
    return c;
}

BatchRunner::BatchRunner(RunSettings settings, QList<PictureJob> jobs, int threads)
    : m_settings(std::move(settings)), m_jobs(std::move(jobs)), m_threads(threads)
{
}

int BatchRunner::defaultThreads()
{
    return qMax(1, QThread::idealThreadCount());
}

void BatchRunner::run(const CommitFn &commit)
{
    const int total = int(m_jobs.size());
    if (m_threads <= 0) {
        for (int i = 0; i < total && !m_cancelled; ++i) {
            if (!commit(i, preparePicture(m_settings, m_jobs[i].path())))
                return;
            emit progress(i + 1, total);
        }
        return;
    }

    QThreadPool pool;
    pool.setMaxThreadCount(m_threads);
    // Two pictures a worker keep every core busy while the GUI thread commits.
    const int window = m_threads * 2;
    std::deque<QFuture<Prepared>> inFlight;
    int submitted = 0;
    auto fill = [&] {
        while (submitted < total && int(inFlight.size()) < window && !m_cancelled) {
            inFlight.push_back(QtConcurrent::run(&pool, preparePicture, m_settings, m_jobs[submitted].path()));
            ++submitted;
        }
    };
    fill();
    for (int i = 0; i < total && !m_cancelled && !inFlight.empty(); ++i) {
        QFuture<Prepared> next = inFlight.front();
        if (!next.isFinished()) {
            QEventLoop loop;
            QFutureWatcher<Prepared> watcher;
            connect(&watcher, &QFutureWatcher<Prepared>::finished, &loop, &QEventLoop::quit);
            watcher.setFuture(next);
            if (!next.isFinished())
                loop.exec();
        }
        inFlight.pop_front();
        const Prepared drawn = next.result();
        fill();
        if (!commit(i, drawn)) {
            break;
        }
        emit progress(i + 1, total);
    }
    // Pictures still being drawn are finished and dropped; nothing was written for them.
    pool.waitForDone();
}
