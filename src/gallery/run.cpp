#include "run.h"
#include "thumbs/report.h"

RunResult makeThumbnails(const RunRequest &request, RunControl &control, RunObserver *observer)
{
    RunResult r;
    RunSettings settings = request.settings;
    if (request.page && request.page->style == PageStyle::Modern)
        settings.pageFiles = {true, request.page->webSize};
    RunOutcome &made = r.pictures;
    made = runPictures(settings, request.jobs, control, observer);
    r.summary = ReportLine::summary(made.written, int(request.jobs.size()), made.current);
    r.report = request.problems + made.reportLines;
    if (!r.stopped() && request.page && !r.cancelled()) {
        const PageOutcome page = writeGallery(*request.page, made.gallery, made.thumbnails,
                                              [&control] { return control.cancelled(); });
        r.pageFailure = page.failure;
        made.cancelled = page.cancelled;
        if (!page.cancelled && !page.failure.failed()) {
            r.pageFile = pagePath(*request.page);
            for (const QString &path : page.leftOut)
                r.report << ReportLine::namedLikeThumbnail(path);
        }
    }
    r.problems = int(r.report.size());
    if (r.stopped())
        return r;
    if (r.cancelled())
        r.report << ReportLine::cancelled();
    if (r.report.isEmpty())
        r.report << ReportLine::allWell();
    r.report << request.notes;
    if (request.thumbnailsLeftOut > 0)
        r.report << ReportLine::thumbnailsLeftOut(request.thumbnailsLeftOut);
    if (made.older > 0)
        r.report << ReportLine::olderThumbnails();
    return r;
}

QStringList RunResult::printed() const
{
    QStringList lines = report;
    if (pageFailure.failed())
        lines.removeAll(ReportLine::allWell());
    return lines << summary;
}
