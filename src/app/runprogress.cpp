#include "runprogress.h"
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressBar>
#include <QProgressDialog>
#include <QThread>
#include <cmath>

namespace {
// Hands the run's news to the GUI thread and waits until the window has
// taken it in, so a cancel clicked meanwhile stops the run right there.
class WindowObserver : public RunObserver {
public:
    WindowObserver(QObject *gui, std::function<void(int, int)> committed, std::function<void(const Failure &)> failed)
        : m_gui(gui), m_committed(std::move(committed)), m_failed(std::move(failed))
    {
    }
    void committed(int index, int total) override
    {
        QMetaObject::invokeMethod(m_gui, [&] { m_committed(index, total); }, Qt::BlockingQueuedConnection);
    }
    void scaleFailed(int, const Failure &failure) override
    {
        if (m_failed)
            QMetaObject::invokeMethod(m_gui, [&] { m_failed(failure); }, Qt::BlockingQueuedConnection);
    }

private:
    QObject *m_gui;
    std::function<void(int, int)> m_committed;
    std::function<void(const Failure &)> m_failed;
};
}

QString progressText(int done, int total, const QString &inHand, qint64 elapsedMs)
{
    const QString dash = QStringLiteral(" \u2014 ");
    QString text = QStringLiteral("Skapar tumbilder... %1 av %2").arg(done).arg(total);
    if (!inHand.isEmpty())
        text += dash + inHand;
    // An estimate from fewer pictures jumps about too much to be of use.
    if (done >= 3 && done < total && elapsedMs > 0) {
        const double left = double(elapsedMs) / done * (total - done) / 1000.0;
        text += dash;
        if (left < 90)
            text += QStringLiteral("ca %1 s kvar").arg(qMax(1, int(std::ceil(left))));
        else
            text += QStringLiteral("ca %1 min kvar").arg(int(std::ceil(left / 60)));
    }
    return text;
}

RunResult runWithProgress(QWidget *parent, Run &run, const RunCallbacks &callbacks)
{
    const RunRequest &request = run.request();
    const int total = int(request.jobs.size());
    auto nameAt = [&](int i) { return i < total ? request.jobs[i].file : QString(); };
    QProgressDialog progress(progressText(0, total, nameAt(0), 0), QStringLiteral("Avbryt"), 0, total, parent);
    progress.setWindowTitle(QStringLiteral("Tumbilder"));
    // A screen reader reads the bar by its name and how far it is.
    if (auto *bar = progress.findChild<QProgressBar *>())
        bar->setAccessibleName(QStringLiteral("Skapar tumbilder"));
    progress.setWindowModality(Qt::WindowModal);
    // Up from the start: while it is there the main window takes no clicks,
    // so "Kör!" or "Töm lista" cannot act in the middle of a run.
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.show();
    QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&run] { run.cancel(); });

    QElapsedTimer clock;
    clock.start();
    WindowObserver observer(
        &progress,
        [&](int index, int all) {
            progress.setValue(index + 1);
            progress.setLabelText(progressText(index + 1, all, nameAt(index + 1), clock.elapsed()));
            if (callbacks.committed)
                callbacks.committed(index);
        },
        callbacks.scaleFailed);

    RunResult result;
    QEventLoop loop;
    std::unique_ptr<QThread> thread(QThread::create([&] { result = std::move(run).execute(&observer); }));
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();
    progress.hide();
    return result;
}
