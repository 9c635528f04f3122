#pragma once
#include <QString>

// The lines of a run's report, each the whole line as the user reads it.
namespace ReportLine {
QString missing(const QString &path);      // the picture is not there
QString unreadable(const QString &path);   // there, but not a picture we can draw
QString exists(const QString &path);       // the thumbnail's name is taken
QString notScaled(const QString &path);    // drawn, but it would not fit any thumbnail
QString cancelled();                       // the last line of a run stopped by "Avbryt"
QString allWell();                         // the whole report of a run without problems
QString summary(int written, int total);   // how many thumbnails a run made
}
