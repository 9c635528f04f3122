#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// File names as the system keeps them: bytes, UTF-8 text on this system but
// not always (a name made on a Latin-1 system holds café.jpg as caf\xE9.jpg).
// Qt reads such a byte as U+FFFD and then looks for a different name. Here
// each byte that is not part of UTF-8 text is kept as one of the lone
// surrogates U+DC80..U+DCFF, so the name goes back to its exact bytes; only
// the functions below can look such a name up.

// The bytes as text, exactly: nameBytes(nameFromBytes(b)) == b.
QString nameFromBytes(const QByteArray &bytes);
QByteArray nameBytes(const QString &name);
// The name holds bytes that are not text: Qt cannot open it.
bool holdsForeignBytes(const QString &name);
// The name as a person can read it: each byte that is not text as \xHH
// (caf\xE9.jpg), so no two names read the same.
QString readableName(const QString &name);

enum class FileKind {
    Nothing,       // nothing there, a broken link, a loop of links
    File,          // an ordinary file, or a link to one
    Folder,        // a folder, or a link to one
    Other,         // a FIFO, a device, a socket
    Unreachable,   // it cannot be looked at: a folder on the way is closed to us
};

// What is at the path, links followed.
FileKind fileKind(const QString &path);

struct FolderListing {
    struct Entry {
        QString name;   // as nameFromBytes() gives it
        FileKind kind;
    };
    QList<Entry> entries;   // in the order the system gives them
    int error = 0;          // an errno value when the folder cannot be read
};

// Every entry of a folder but "." and "..", links followed. A folder that can
// be listed but not entered (read, no search permission) cannot be read
// either: none of its files could be opened.
FolderListing readFolder(const QString &path);
