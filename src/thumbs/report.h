#pragma once
#include <QString>
#include <QStringList>

// The lines of a run's report, each the whole line as the user reads it.
namespace ReportLine {
QString missing(const QString &path);      // the picture is not there
QString unreadable(const QString &path);   // there, but not a picture we can draw
QString exists(const QString &path);       // the thumbnail's name is taken
QString notScaled(const QString &path);    // drawn, but it would not fit any thumbnail
// A picture whose copy for the page would replace a thumbnail of the run:
// its cell is left out.
QString namedLikeThumbnail(const QString &path);
QString notAFile(const QString &path);     // there, but a FIFO, a device, a folder: nothing to read a picture from
QString folderUnreadable(const QString &path);   // a folder given whose files cannot be listed or reached
QString unsupported(const QString &path);  // a picture file given by name, of a format not read here
// The note for picture files of formats not read here that folders or a drop
// held: how many, and their extensions (".cr2, .nef").
QString unsupportedSkipped(int count, const QStringList &extensions);
QString cancelled();                       // the last line of a run stopped by "Avbryt"
QString allWell();                         // the whole report of a run without problems
// How many thumbnails a run made; with update, also how many were made already.
QString summary(int written, int total, int current = 0);
// Notes, after the report's other lines: files in folders left out as the
// program's own thumbnails, and what to do about thumbnails older than
// their pictures.
QString thumbnailsLeftOut(int count);
QString olderThumbnails();
// A modern page's record that cannot be used: nothing in its folder is
// taken for the page's, so nothing is removed.
QString recordUnreadable(const QString &path);
// What a run again did to a page that keeps a record.
QString pageChanges(int added, int remade, int removed);
}
