#pragma once
#include <QString>

// The lines of a run's report, each the whole line as the user reads it.
namespace ReportLine {
QString missing(const QString &path);      // the picture is not there
QString unreadable(const QString &path);   // there, but not a picture we can draw
QString exists(const QString &path);       // the thumbnail's name is taken
QString notScaled(const QString &path);    // drawn, but it would not fit any thumbnail
// A picture whose copy for the page would replace a thumbnail of the run:
// its cell is left out.
QString namedLikeThumbnail(const QString &path);
QString cancelled();                       // the last line of a run stopped by "Avbryt"
QString allWell();                         // the whole report of a run without problems
// How many thumbnails a run made; with update, also how many were made already.
QString summary(int written, int total, int current = 0);
// Notes, after the report's other lines: files in folders left out as the
// program's own thumbnails, and what to do about thumbnails older than
// their pictures.
QString thumbnailsLeftOut(int count);
QString olderThumbnails();
}
