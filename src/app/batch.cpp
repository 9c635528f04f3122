#include "batch.h"
#include "run/run.h"
#include "gallery/pagerecord.h"
#include <QJsonObject>
#include "files/fileops.h"
#include "runprogress.h"
#include "seam.h"
#include "thumbs/picturefiles.h"
#include "thumbs/report.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <optional>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

// A folder the user named, as the run wants it: absolute, native, ending
// with the separator; empty when it is not an existing folder.
QString existingFolder(const QString &typed)
{
    const QFileInfo info(typed);
    if (!info.isDir())
        return {};
    QString folder = QDir::toNativeSeparators(info.absoluteFilePath());
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

// The page's folder as the run wants it, made first when it is not there
// (as mkdir -p makes it, and saying so); empty, with the reason said, when
// it cannot be made.
QString pageFolder(const QString &typed)
{
    if (const QString folder = existingFolder(typed); !folder.isEmpty())
        return folder;
    const QString path = QDir::toNativeSeparators(QFileInfo(typed).absoluteFilePath());
    bool made = false;
    if (const Failure f = makeFolders(path, &made); f.failed() || !made) {
        const QString why = f.failed() ? f.description : systemFailure(ENOTDIR).description + QStringLiteral(": ") + path;
        printTo(stderr, commandLineError(QStringLiteral("kan inte skapa mappen för websidan: %1").arg(shownInShell(why))));
        return {};
    }
    printTo(stderr, QStringLiteral("tumbilder: skapade mappen för websidan: %1\n").arg(shownInShell(path)));
    return existingFolder(typed);
}

// A failure as the shell shows it: the description, which names a file,
// escaped like the report; the message's own line breaks real ones.
QString shownFailure(const QString &context, Failure f)
{
    f.description = shownInShell(f.description);
    return visibleLineBreaks(failureMessage(context, f)) + QLatin1Char('\n');
}

// The canvas whose inner area is `pixels`, with the 2-pixel border on each
// side, in twips, as the scroll bars give it.
float outerTwips(int pixels)
{
    return float((pixels + 2 * CanvasBorderPixels) * TwipsPerPixel);
}

// How the options name and save the thumbnails; folders given to the run
// leave out the thumbnails so named.
SaveSettings saveSettings(const BatchSettings &b)
{
    SaveSettings save;
    save.prefix = b.prefix;
    save.suffix = b.suffix;
    save.format = b.format;
    save.quality = b.quality;
    save.update = b.update;
    return save;
}

// The run the options ask for: the canvas as the scroll bars would set it.
RunRequest runRequest(const BatchSettings &b, const QString &page, const QString &out, const QStringList &paths)
{
    RunRequest r;
    SaveSettings save = saveSettings(b);
    save.targetFolder = page.isEmpty() ? out : page;
    if (!page.isEmpty())
        r.page = PageSettings{b.title, b.columns, page, b.format,
                              b.modernPage ? PageStyle::Modern : PageStyle::Classic, b.modernPage ? b.webSize : 0,
                              b.dateOrder ? PageSettings::Order::Date : PageSettings::Order::List};
    r.settings = thumbnailSettings(b.mode, {outerTwips(b.box.width()), outerTwips(b.box.height())}, double(b.percent),
                             b.background, save);
    r.jobs = pictureJobs(paths);
    return r;
}

// Ctrl+C and SIGTERM stop the run as "Avbryt" does. The handler only
// writes a byte into a pipe; a thread reading it calls `stop`.
class Interrupts {
public:
    explicit Interrupts(std::function<void()> stop)
    {
        if (::pipe2(s_pipe, O_CLOEXEC) != 0)
            return;
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &m_oldInt);
        ::sigaction(SIGTERM, &action, &m_oldTerm);
        m_watcher = std::thread([stop = std::move(stop)] {
            char byte = 0;
            ssize_t n;
            while ((n = ::read(s_pipe[0], &byte, 1)) < 0 && errno == EINTR) {
            }
            if (n == 1 && byte == 1)
                stop();
        });
    }
    ~Interrupts()
    {
        if (!m_watcher.joinable())
            return;
        const char done = 0;
        while (::write(s_pipe[1], &done, 1) < 0 && errno == EINTR) {
        }
        m_watcher.join();
        ::sigaction(SIGINT, &m_oldInt, nullptr);
        ::sigaction(SIGTERM, &m_oldTerm, nullptr);
        ::close(s_pipe[0]);
        ::close(s_pipe[1]);
    }

private:
    static void onSignal(int)
    {
        const int saved = errno;
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = ::write(s_pipe[1], &stop, 1);
        errno = saved;
    }
    static inline int s_pipe[2] = {-1, -1};
    struct sigaction m_oldInt {}, m_oldTerm {};
    std::thread m_watcher;
};

// What a run from the shell shows while it goes: progress on a terminal,
// and for the benchmarks how long it stood still and how soon it stopped.
class ShellObserver : public RunObserver {
public:
    ShellObserver(const BatchSettings &b, const QList<PictureJob> &jobs, Run &run)
        : m_jobs(jobs), m_run(run), m_progress(!b.quiet && ::isatty(STDERR_FILENO)),
          m_cancelAfter(b.cancelAfter)
    {
        m_clock.start();
        show(0);
    }
    void committed(int index, int) override
    {
        const qint64 now = m_clock.nsecsElapsed();
        longestGap = qMax(longestGap, now - m_last);
        m_last = now;
        if (index + 1 == m_cancelAfter) {
            m_run.cancel();
            cancelledAt = now;
        }
        show(index + 1);
    }
    void finish() const
    {
        if (m_progress)
            printTo(stderr, QStringLiteral("\r\x1b[K"));
    }
    qint64 elapsed() const { return m_clock.nsecsElapsed(); }

    qint64 longestGap = 0;
    qint64 cancelledAt = -1;

private:
    void show(int done)
    {
        if (!m_progress)
            return;
        const int total = int(m_jobs.size());
        const QString inHand = done < total ? shownInShell(m_jobs[done].file) : QString();
        printTo(stderr, QStringLiteral("\r\x1b[K") + fittedProgress(done, total, inHand, m_clock.elapsed()));
    }
    // The progress line within one line of the terminal as wide as it is
    // now: a line that wraps is not taken back by the next one, and the
    // lines would pile up. The picture's name gives way first.
    static QString fittedProgress(int done, int total, const QString &inHand, qint64 elapsedMs)
    {
        winsize size {};
        const int columns = ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
        // Some terminals wrap as soon as the last column is written.
        const qsizetype room = columns - 1;
        QString text = progressText(done, total, inHand, elapsedMs);
        const qsizetype over = text.size() - room;
        if (over > 0 && inHand.size() > over + 1) {
            const qsizetype kept = inHand.size() - over - 1;
            text = progressText(done, total, inHand.left(kept - kept / 2) + QChar(0x2026) + inHand.right(kept / 2),
                                elapsedMs);
        }
        return text.left(room);
    }

    const QList<PictureJob> &m_jobs;
    Run &m_run;
    const bool m_progress;
    const int m_cancelAfter;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
};


}

CommandLine withRememberedSettings(const QStringList &arguments, const CommandLine &parsed)
{
    const BatchSettings &b = parsed.batch;
    if (parsed.action != CommandLine::Action::Batch || b.page.isEmpty())
        return parsed;
    const QString folder = existingFolder(b.page);
    const ReadRecord read = folder.isEmpty() ? ReadRecord() : readPageRecord(folder);
    if (!read.record)
        return parsed;
    static const QList<std::pair<QString, QString>> remembered = {
        {"page-style", "stil"}, {"title", "titel"},    {"columns", "kolumner"},        {"web-size", "bildstorlek"},
        {"sort", "ordning"},    {"mode", "storleksläge"}, {"size", "tumbildsstorlek"}, {"percent", "procent"},
        {"format", "format"},   {"quality", "kvalitet"}, {"background", "bakgrund"}};
    const QJsonObject &was = read.record->settings;
    auto effective = [&](const QString &name) {
        return b.given.contains(name) ? b.given.value(name) : was.value(name).toString();
    };
    const bool modern = effective("page-style") == QLatin1String("modern");
    const bool percent = effective("mode") == QLatin1String("percent");
    QStringList extra, said;
    for (const auto &[name, label] : remembered) {
        const QString before = was.value(name).toString();
        if (before.isEmpty())
            continue;
        // Settings the page or the size mode would not use are not taken.
        if ((!modern && (name == "web-size" || name == "sort")) || (name == "percent" && !percent)
            || (name == "size" && percent))
            continue;
        if (!b.given.contains(name)) {
            extra << QStringLiteral("--%1=%2").arg(name, before);
            if (!b.quiet)
                said << QStringLiteral("tumbilder: websidans %1: %2 (från förra gången)\n").arg(label, shownInShell(before));
        } else if (b.given.value(name) != before) {
            said << QStringLiteral("tumbilder: websidans %1 ändrad till %2 (förra gången %3)\n")
                        .arg(label, shownInShell(b.given.value(name)), shownInShell(before));
        }
    }
    CommandLine again = parseCommandLine(arguments + extra);
    // A record whose values the options refuse is not used.
    if (again.action != CommandLine::Action::Batch)
        return parsed;
    again.warnings = parsed.warnings + said.join(QString());
    return again;
}

void holdStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // A closed one gets /dev/null, opened for reading: the next file
        // opened takes the lowest free number, so without this a thumbnail
        // would be given the report's lines; and a write to it fails, so a
        // lost report is noticed.
        const int held = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (held >= 0 && held != fd)
            ::close(held);
    }
}

int outputLost(int err)
{
    printTo(stderr, QStringLiteral("tumbilder: kan inte skriva på standard ut: %1\n")
                        .arg(systemFailure(err).description));
    return BatchExit::Stopped;
}

int runBatch(const BatchSettings &b, const QStringList &inputs)
{
    const QString out = b.out.isEmpty() ? QString() : existingFolder(b.out);
    if (!b.out.isEmpty() && out.isEmpty()) {
        printTo(stderr, commandLineError(QStringLiteral("mappen finns inte: %1").arg(shownInShell(b.out))));
        return BatchExit::Stopped;
    }
    // From here on Ctrl+C stops the run, also while the folders are read:
    // the run, once there, is told at once.
    std::mutex running;
    bool interrupted = false;
    std::optional<Run> run;
    std::optional<Interrupts> interrupts(std::in_place, [&] {
        const std::lock_guard lock(running);
        interrupted = true;
        if (run)
            run->cancel();
    });
    auto stopAsked = [&] {
        const std::lock_guard lock(running);
        return interrupted;
    };
    // The page's folder is never read as pictures below a folder given.
    const ExpandedInputs expanded = expandInputs(inputs, QDir::currentPath(), saveSettings(b),
                                                 FolderWalk{b.recursive, QFileInfo(b.page).canonicalFilePath()});
    for (const QString &path : expanded.missing)
        printTo(stderr, missingInputWarning(path));
    QStringList paths;
    for (const QString &path : expanded.paths)
        if (isPictureName(path))
            paths << path;

    // The report on standard output, its control characters escaped; errno
    // of the first write that failed.
    int lost = 0;
    auto report = [&lost](const QStringList &lines) {
        QString text;
        for (const QString &line : lines)
            text += shownInShell(line) + QLatin1Char('\n');
        if (!printTo(stdout, text) && lost == 0)
            lost = errno ? errno : EIO;
    };
    // Stopped while the folders were read: nothing is made, not even the page's folder.
    if (stopAsked()) {
        report({ReportLine::cancelled()});
        return lost ? outputLost(lost) : BatchExit::Interrupted;
    }
    if (paths.isEmpty()) {
        interrupts.reset();
        // What was left out says why the list is empty. (Thumbnails left out
        // always leave their pictures, so they are not among the reasons.)
        report(expanded.problems + expanded.notes);
        printTo(stderr, QStringLiteral("tumbilder: Listan är tom. Kan inte skapa tumbilder!\n"));
        return lost ? outputLost(lost) : expanded.problems.isEmpty() ? BatchExit::Stopped : BatchExit::Reported;
    }

    const QString page = b.page.isEmpty() ? QString() : pageFolder(b.page);
    if (!b.page.isEmpty() && page.isEmpty())
        return BatchExit::Stopped;

    RunRequest request = runRequest(b, page, out, paths);
    request.inputProblems = expanded.problems;
    request.inputNotes = expanded.notes;
    request.thumbnailsLeftOut = expanded.thumbnailsLeftOut;
    {
        const std::lock_guard lock(running);
        run.emplace(std::move(request), b.jobs > 0 ? b.jobs : Run::defaultThreads());
        if (interrupted)
            run->cancel();
    }
    ShellObserver observer(b, run->request().jobs, *run);
    const RunResult result = std::move(*run).execute(&observer);
    interrupts.reset();
    observer.finish();

    report(result.printed());
    if (b.timing) {
        QString timing = QStringLiteral("%1 s, längsta väntan mellan två bilder %2 s")
                             .arg(double(observer.elapsed()) / 1e9, 0, 'f', 3)
                             .arg(double(observer.longestGap) / 1e9, 0, 'f', 3);
        if (observer.cancelledAt >= 0)
            timing += QStringLiteral(", från avbrott till stopp %1 s")
                          .arg(double(observer.elapsed() - observer.cancelledAt) / 1e9, 0, 'f', 3);
        report({timing});
    }

    if (result.stopped()) {
        printTo(stderr, shownFailure(QStringLiteral("Ett fel uppstod: "), result.error));
        return BatchExit::Stopped;
    }
    if (result.cancelled)
        return BatchExit::Interrupted;
    if (result.pageFailure.failed()) {
        printTo(stderr, shownFailure(QStringLiteral("Ett fel uppstod när websidan skulle skapas: "), result.pageFailure));
        return BatchExit::Stopped;
    }
    if (!result.pageFile.isEmpty())
        report({QStringLiteral("Websidan: %1").arg(result.pageFile)});
    if (lost)
        return outputLost(lost);
    return result.reported() ? BatchExit::Reported : BatchExit::AllWell;
}
