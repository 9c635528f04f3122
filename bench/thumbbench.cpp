// Headless benchmark of the batch engine: the same snapshot, prepare and
// commit as a run from the main window, without any window.
//
// usage: thumbbench [--mode both|height|width|percent] [--box WxH] [--percent P]
//                   [--format jpg|gif|bmp] [--quality Q] [--threads N]
//                   [--out DIR] FILE...
// Prints one line: pictures, written, reported, seconds.
#include "thumbs/engine.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

namespace {
int usage(const QString &why)
{
    std::fprintf(stderr, "thumbbench: %s\n", qPrintable(why));
    return 2;
}

// The canvas of a thumbnail whose inner area is `pixels`: the 2-pixel border
// on each side, in twips.
float outerTwips(int pixels) { return float((pixels + 2 * CanvasBorderPixels) * TwipsPerPixel); }
}

int main(int argc, char **argv)
{
    // The engine paints on QImage only, so no window system is needed.
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({
        {"mode", "Size mode: both, height, width or percent.", "mode", "both"},
        {"box", "Inner thumbnail area in pixels, WxH.", "WxH", "237x237"},
        {"percent", "Percentage for --mode percent.", "P", "10"},
        {"format", "Output format: jpg, gif or bmp.", "format", "jpg"},
        {"quality", "JPEG quality 1..100.", "Q", "65"},
        {"threads", "Worker threads (0 = prepare on the main thread).", "N",
         QString::number(RunControl::defaultThreads())},
        {"out", "Folder the thumbnails are written into.", "DIR", "."},
        {"cancel-after", "Cancel the run after N pictures, as \"Avbryt\" does.", "N", "-1"},
    });
    parser.addPositionalArgument("FILE", "Pictures to make thumbnails of.", "FILE...");
    parser.process(app);

    const QStringList box = parser.value("box").split(QLatin1Char('x'));
    bool okW = false, okH = false;
    const int boxW = box.size() == 2 ? box[0].toInt(&okW) : 0;
    const int boxH = box.size() == 2 ? box[1].toInt(&okH) : 0;
    if (!okW || !okH || boxW <= 0 || boxH <= 0)
        return usage(QStringLiteral("--box wants WxH, e.g. 237x237"));

    RunSettings settings;
    const QString mode = parser.value("mode");
    settings.draw.canvas = {outerTwips(boxW), outerTwips(boxH)};
    if (mode == QLatin1String("both")) {
        // The bounds are the canvas size as the window holds it: text.
        settings.draw.size.mode = SizeMode::LockBoth;
        settings.draw.size.boundWidth = singleToText(settings.draw.canvas.width);
        settings.draw.size.boundHeight = singleToText(settings.draw.canvas.height);
    } else if (mode == QLatin1String("height")) {
        settings.draw.size.mode = SizeMode::LockHeight;
    } else if (mode == QLatin1String("width")) {
        settings.draw.size.mode = SizeMode::LockWidth;
    } else if (mode == QLatin1String("percent")) {
        settings.draw.size.mode = SizeMode::Percent;
        settings.draw.size.percent = parser.value("percent");
    } else {
        return usage(QStringLiteral("unknown --mode ") + mode);
    }

    const QString format = parser.value("format");
    if (format == QLatin1String("jpg"))
        settings.save.format = OutputFormat::Jpg;
    else if (format == QLatin1String("gif"))
        settings.save.format = OutputFormat::Gif;
    else if (format == QLatin1String("bmp"))
        settings.save.format = OutputFormat::Bmp;
    else
        return usage(QStringLiteral("unknown --format ") + format);
    settings.save.quality = parser.value("quality").toInt();
    settings.save.suffix = QStringLiteral("_s");
    settings.save.web = true;
    const QString out = QDir(parser.value("out")).absolutePath();
    if (!QFileInfo(out).isDir())
        return usage(QStringLiteral("no folder ") + out);
    settings.save.pageFolder = QDir::toNativeSeparators(out);
    if (!settings.save.pageFolder.endsWith(QDir::separator()))
        settings.save.pageFolder += QDir::separator();

    bool okThreads = false;
    const int threads = parser.value("threads").toInt(&okThreads);
    if (!okThreads || threads < 0)
        return usage(QStringLiteral("--threads wants a whole number"));

    QStringList paths;
    for (const QString &arg : parser.positionalArguments())
        paths << QDir::toNativeSeparators(QFileInfo(arg).absoluteFilePath());
    const QList<PictureJob> jobs = pictureJobs(paths);
    if (jobs.isEmpty())
        return usage(QStringLiteral("no pictures given"));

    const int cancelAfter = parser.value("cancel-after").toInt();
    QElapsedTimer clock;
    clock.start();
    RunControl control(threads);
    // The program's progress window moves once a picture is saved, so the
    // longest gap between them is the longest the window stands still.
    struct Timing : RunObserver {
        QElapsedTimer &clock;
        RunControl &control;
        int cancelAfter;
        qint64 lastCommit = 0, longestGap = 0, cancelledAt = -1;
        Timing(QElapsedTimer &c, RunControl &r, int n) : clock(c), control(r), cancelAfter(n) {}
        void committed(int i, int) override
        {
            const qint64 now = clock.nsecsElapsed();
            longestGap = qMax(longestGap, now - lastCommit);
            lastCommit = now;
            if (i + 1 == cancelAfter) {
                control.cancel();
                cancelledAt = now;
            }
        }
    } timing(clock, control, cancelAfter);
    const RunOutcome outcome = runPictures(settings, jobs, control, &timing);
    for (const QString &line : outcome.reportLines)
        std::fprintf(stderr, "%s\n", qPrintable(line));
    const int written = outcome.written;
    const int reported = int(outcome.reportLines.size());
    const Failure error = outcome.error;
    const qint64 longestGap = timing.longestGap, cancelledAt = timing.cancelledAt;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("pictures %lld, written %d, reported %d, seconds %.3f\n", static_cast<long long>(jobs.size()),
                written, reported, seconds);
    std::printf("longest wait between pictures %.3f s", double(longestGap) / 1e9);
    if (cancelledAt >= 0)
        std::printf(", from cancel to stop %.3f s", double(clock.nsecsElapsed() - cancelledAt) / 1e9);
    std::printf("\n");
    if (error.failed()) {
        std::fprintf(stderr, "thumbbench: run stopped: %s (%d)\n", qPrintable(error.description), error.number);
        return 1;
    }
    return 0;
}
