#include "run.h"
#include "thumbs/report.h"

RunResult makeThumbnails(const RunRequest &request, RunControl &control, RunObserver *observer)
{
    RunResult r;
    RunSettings settings = request.settings;
    if (request.page && request.page->style == PageStyle::Modern)
        settings.pageFiles = {true, request.page->webSize};
    r.pictures = runPictures(settings, request.jobs, control, observer);
    r.summary = ReportLine::summary(r.pictures.written, int(request.jobs.size()));
    r.report = request.problems + r.pictures.reportLines;
    r.problems = int(r.report.size());
    if (r.stopped())
        return r;
    if (r.cancelled())
        r.report << ReportLine::cancelled();
    if (r.report.isEmpty())
        r.report << ReportLine::allWell();
    r.report << request.notes;
    if (request.page && !r.cancelled()) {
        r.pageFailure = writeGallery(*request.page, r.pictures.gallery);
        if (!r.pageFailure.failed())
            r.pageFile = pagePath(*request.page);
    }
    return r;
}

QStringList RunResult::printed() const
{
    QStringList lines = report;
    if (pageFailure.failed())
        lines.removeAll(ReportLine::allWell());
    return lines << summary;
}
