#pragma once
#include "page.h"
#include "thumbs/engine.h"
#include <optional>

// One run as the user asked for it, from the window or the shell: the
// pictures in list order, the settings taken once, and the page if one is
// to be made.
struct RunRequest {
    RunSettings settings;
    QList<PictureJob> jobs;
    std::optional<PageSettings> page;
    // What gathering the pictures found: problems are report lines before
    // the pictures' own (a folder that cannot be read); notes say what was
    // left out on purpose and end the report without making it a problem.
    QStringList problems;
    QStringList notes;
    // Files in folders left out as the program's own thumbnails: a note too.
    int thumbnailsLeftOut = 0;
};

// How a run ended, with everything the window and the shell show of it.
struct RunResult {
    RunOutcome pictures;        // the engine's outcome: lines, gallery entries, last drawn, error
    // The report as the report window shows it: the request's problems, a
    // line for every picture with a problem (the page's too), "Avbrutet."
    // after a cancel, or the success line; then the notes. After an error
    // the lines alone, for the next run to show.
    QStringList report;
    QString summary;            // "N av M tumbilder skapade." (with update: ", K var redan klara.")
    QString pageFile;           // the page this run wrote, complete with its copies; or empty
    Failure pageFailure;        // why the page could not be written; the old one stays

    bool stopped() const { return pictures.error.failed(); }
    bool cancelled() const { return pictures.cancelled; }
    // Some picture, or something given as one, has a line in the report.
    bool reported() const { return problems > 0; }
    int problems = 0;
    // What the shell prints on standard output: the report, without the
    // success line when the page failed, then the summary.
    QStringList printed() const;
};

// Makes the thumbnails of the request on the calling thread, then, unless
// an error or a cancel stopped it, the page with its copies of the pictures.
// A cancel during the copies stops the run there; the old page stays.
RunResult makeThumbnails(const RunRequest &request, RunControl &control, RunObserver *observer = nullptr);
