#pragma once
#include "files/fileops.h"
#include <QHash>
#include <QSet>
#include <QSize>
#include <QString>
#include <mutex>

// A picture's file as the run read it. Whatever is made from the picture is
// judged against this, not against the clock when it was written: a picture
// replaced while it was decoded must not make its old content look current.
struct PictureStamp {
    qint64 size = -1;
    qint64 modified = -1;   // nanoseconds since the epoch, as modificationTime()
    bool valid() const { return modified >= 0; }
    bool operator==(const PictureStamp &) const = default;
};
PictureStamp pictureStamp(const QString &path);

// Everything a run decides about the files it makes, in one place: which
// picture each name belongs to (the first picture in the list that wants
// it), what the run has written, and whether a file already there counts
// as made for its picture. Safe to use from any thread.
class RunFiles {
public:
    explicit RunFiles(bool update = false) : m_update(update) {}
    RunFiles(const RunFiles &) = delete;
    RunFiles &operator=(const RunFiles &) = delete;

    // Gives `name` to `picture` unless another picture has it already; true
    // when it is the picture's (now or from before).
    bool claim(const QString &name, const QString &picture);
    // The picture `name` was given to, or empty.
    QString owner(const QString &name) const;

    // The run made `name` for `picture`.
    void wrote(const QString &name, const QString &picture);
    bool written(const QString &name) const;

    // How the thumbnail at `name` stands to `picture`. One the run wrote,
    // or one that belongs to another picture of the run, is never current
    // for it; otherwise by modification time, as freshness() says.
    Freshness thumbnail(const QString &name, const QString &picture) const;
    // With update: the thumbnail at `name` counts as made for `picture`.
    bool thumbnailMade(const QString &name, const QString &picture) const;

    // A page file (a double, a web-size copy) made by an earlier run from
    // the picture as it is now: it bears the picture's modification time
    // and is `size` pixels. The run's own files are never taken for one.
    // Where the page keeps a record, a file it owns is current when it was
    // made from the picture as it is now, by the same `shape`.
    bool pageFileCurrent(const QString &name, const PictureStamp &picture, QSize size,
                         const QString &shape = {}) const;

    // The page's record says the page made `name` from `picture` (as it
    // was then) by the settings `shape`, and the file is as the page left
    // it. Such a file may be replaced by the run; nothing else in the page
    // folder ever is.
    void own(const QString &name, const QString &picture, const PictureStamp &stamp, const QString &shape);
    // Thumbnails are judged by these settings against the record's.
    void setThumbnailShape(const QString &shape) { m_thumbnailShape = shape; }
    bool owned(const QString &name) const;
    // A page that keeps a record: its page files replace only files it owns.
    void keepRecord() { m_recorded = true; }
    // A page file may be written at `name`: nothing is there, the page owns
    // what is, or the page keeps no record (its files are its own by name).
    bool mayReplace(const QString &name) const;

private:
    struct Owned {
        QString picture;
        PictureStamp stamp;
        QString shape;
    };
    const bool m_update;
    mutable std::mutex m_mutex;
    QHash<QString, QString> m_owners;   // name -> picture
    QSet<QString> m_written;
    QHash<QString, Owned> m_owned;
    QString m_thumbnailShape;
    bool m_recorded = false;
};
