#pragma once
#include "naming.h"
#include <QDir>
#include <QString>
#include <QStringList>

// Which names the picture list takes, and what a folder given to the program
// contributes to it.

// True when the path's extension (the text after its last dot, any letter
// case) is one of a format we read (jpg, jpeg, gif, bmp...). A name ending in a dot has no extension:
// "trail.jpg." is not a picture name, since the thumbnail and the page would
// otherwise be named after a different file, "trail.jpg".
bool isPictureName(const QString &path);

// True when the path's extension is that of a picture format we do not
// read (camera raw files, Photoshop, JPEG XL, SVG...): files a user would
// miss, unlike text files and the like, which are no pictures at all.
bool isUnsupportedPictureName(const QString &path);

// The film of a Live Photo: a .MOV (or .mov) of the same name beside a
// HEIC or JPG still, as phones store them; empty when there is none.
QString liveFilmOf(const QString &folder, const QString &file);

struct ExpandedInputs {
    // What the picture list is given, in order, as absolute native paths.
    QStringList paths;
    // Inputs that do not exist, as absolute native paths (a readable form,
    // see files/filenames.h, where a name holds bytes that are not text);
    // they are skipped.
    QStringList missing;
    // Report lines for what was given but cannot be taken, and lines saying
    // what was left out on purpose; a run shows them with its report.
    QStringList problems;
    QStringList notes;
    // Files in the folders left out as the program's own thumbnails.
    int thumbnailsLeftOut = 0;
};

// Each input in order: a folder contributes the ordinary files directly in
// it whose names pass isPictureName(), sorted as a person reads them
// (bild2 before bild10, letter case ignored, å ä ö after z), except the
// thumbnails of its pictures: a file named as `naming` (prefix, suffix and
// format in force; the window's start values unless given) names the
// thumbnail of another picture in the folder is left out and counted, so a
// run again over the folder does not take its own thumbnails for pictures.
// Any other file is passed on unchanged, for the picture list's own name
// test. Relative inputs are taken from `base` (as they are, when `base`
// cannot be named); an empty input names nothing.
//
// Problems: a folder that cannot be read; a picture whose name holds bytes
// that are not text (see files/filenames.h), by a readable form of it;
// something that is not an ordinary file (a FIFO, a device); a picture file
// given by name whose format is not read here. Such files in folders are
// counted in one note.
//
// With `below.recursive` a folder also contributes every picture in the
// folders below it, folder by folder: its own pictures first, then each
// subfolder in reading order. Hidden folders (.git, .thumbnails) are not
// entered, a link to a folder is followed but never into a folder already
// read (no loop), and `below.skip` (the page's folder) is never entered.
struct FolderWalk {
    bool recursive = false;
    QString skip;   // a folder not to read below a folder given
};
ExpandedInputs expandInputs(const QStringList &inputs, const QString &base = QDir::currentPath(),
                            const SaveSettings &naming = SaveSettings(), const FolderWalk &below = {});

// What a drop on the picture list brings, as expandInputs() says, except
// that a file is passed on as the drop delivered it, without looking for it
// on the disk, and files of formats not read here are counted with those of
// the folders, in one note.
ExpandedInputs expandDrop(const QStringList &paths, const SaveSettings &naming = SaveSettings(),
                          const FolderWalk &below = {});
