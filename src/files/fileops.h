#pragma once
#include "failure.h"
#include <QByteArray>
#include <QString>
#include <sys/types.h>

// Every failure below that concerns a file names it: its description is the
// system's text, ": " and the path (of the source when reading it failed).
//
// Names are used relative to their folder, so a long name in a deep folder
// works as long as the folder's path and the name each fit the system's
// limits, even when the two together would not.

// What some file systems lack, for tests to take the roads the program takes
// there: anonymous files that cannot be named (no /proc), no anonymous files
// at all (FAT, old kernels), and in addition neither hard links nor a rename
// that refuses to replace (FAT through an old driver, some network shares).
// The writers below take it as a last argument; None (the program's own
// use) is the system as it is.
enum class MissingFeature { None, NamingAnonymousFiles, AnonymousFiles, Links };

// Anything at the path counts: a file, a dot-file, a folder, a link, even a
// dangling link.
bool nameTaken(const QString &path);

// Whether both paths lead to the one file that is there (through links or
// `..` too); a path to nothing is no file's.
bool sameFile(const QString &a, const QString &b);

// Writes a new file and never replaces anything: the data goes to a file
// without a name in the same folder, which gets its name, once the data is on
// the disk, only if the name is still free. A process killed at any moment
// leaves no trace. On any failure (EEXIST when the name was taken meanwhile)
// nothing is left behind.
Failure writeNewFile(const QString &path, const QByteArray &data, MissingFeature lacking = MissingFeature::None);

// Replaces the file at `path` completely or not at all; the new content is
// on the disk before it takes the old file's place.
Failure writeReplacing(const QString &path, const QByteArray &data,
                       MissingFeature lacking = MissingFeature::None);

// The time a file was last modified, in nanoseconds since the epoch (a link
// is followed); -1 when there is no such file.
qint64 modificationTime(const QString &path);

// As writeReplacing, and the file bears `modified` (modificationTime()'s
// measure) as its modification time from the moment it has its name: a file
// made from another can carry that one's time and be known as up to date.
Failure writeReplacingDated(const QString &path, const QByteArray &data, qint64 modified,
                            MissingFeature lacking = MissingFeature::None);

// Copies `from` to `to`, replacing `to` completely or not at all, in blocks
// (memory use does not grow with the file). The copy keeps the source's
// modification time, so that a later copy can tell it is there already: a
// `to` that is an ordinary file of the source's size and modification time
// is left as it is, and so is a `to` that is the source itself. Both succeed.
Failure copyReplacing(const QString &from, const QString &to, MissingFeature lacking = MissingFeature::None);

// How a file made from another stands to it, by modification time: `made`
// is not there; is there but not an ordinary file of its own (a folder, a
// link, the source itself); is older than the source; or at least as new.
enum class Freshness { Absent, Other, Older, Current };
Freshness freshness(const QString &made, const QString &source);

// Makes the folder and any missing folders above it, as mkdir -p does;
// `made` tells whether anything had to be made. A folder that exists is
// not an error.
Failure makeFolders(const QString &path, bool *made = nullptr);

// Deletes a file; a missing file is not an error.
Failure removeFile(const QString &path);

// The loop under every write, open to tests with a write function of their
// own: writes all `size` bytes, retrying short writes and EINTR. Returns 0 or
// an errno value. A write that accepts nothing without an error (some FUSE
// file systems) would be retried for ever; it counts as ENOSPC, as for the
// end of a medium, and as cp and dd report it.
using WriteFunction = ssize_t (*)(int fd, const void *data, size_t size);
int writeFully(int fd, const char *data, qint64 size, WriteFunction write);
