#pragma once
#include "page.h"
#include "thumbs/runfiles.h"
#include "thumbs/thumbnailsteps.h"
#include <QHash>
#include <QJsonObject>
#include <optional>

// A modern page's record of how it was made and which files it made, kept
// in its folder as "tumbilder-websida.json": plain JSON, versioned, written
// last and in one step like the page. It lets a run again keep the page's
// settings, make again what is out of date, remove what the page made of
// pictures that are gone, and never touch a file the page did not make.
//
// {"program": "tumbilder", "record": 1,
//  "settings": {"style": "modern", "title": ..., "columns": ..., "webSize": ...,
//               "sort": "date", "thumbnails": <the thumbnails' settings>, ...},
//  "folders": [the folders given],
//  "files": [{"name": "2026/01/bild_s.jpg" (below the page folder), "kind": "thumbnail",
//             "size": bytes, "modified": ns, "picture": path, "pictureSize": bytes,
//             "pictureModified": ns, "shape": the settings that made it}, ...]}
struct PageRecord {
    struct File {
        QString kind;             // thumbnail, double, copy, page
        qint64 size = -1;
        qint64 modified = -1;     // nanoseconds, as the page left the file
        QString picture;          // the picture it was made from; empty for a page
        PictureStamp stamp;       // that picture as it was read
        QString shape;            // the settings that shaped it
    };
    QJsonObject settings;         // as the page was made; batch settings by name
    QStringList folders;
    QHash<QString, File> files;   // by name below the page folder
};

inline constexpr char PageRecordName[] = "tumbilder-websida.json";

// The record in a page folder: nothing when there is none; a failure when
// one is there that cannot be used (damaged, of another version, not ours).
struct ReadRecord {
    std::optional<PageRecord> record;
    Failure failure;
};
ReadRecord readPageRecord(const QString &pageFolder);
Failure writePageRecord(const QString &pageFolder, const PageRecord &record);

// The settings a page was made with, as the record keeps them: by the
// names of the shell's options, each value as it would be typed there, so
// that a run again can take what it is not given.
QJsonObject recordSettings(const ThumbnailSettings &thumbnails, const PageSettings &page);

// The record's entry for a file the page has just written (or kept), with
// the file as it is now.
PageRecord::File recordedFile(const QString &path, const QString &kind, const QString &picture,
                              const PictureStamp &stamp, const QString &shape);
