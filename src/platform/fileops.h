#pragma once
#include "failure.h"
#include <QByteArray>
#include <QString>

// Anything at the path counts: a file, a dot-file, a folder, a link, even a
// dangling link.
bool nameTaken(const QString &path);

// Writes a new file and never replaces anything: the data goes to a temporary
// file in the same folder, which is then moved to its name only if the name
// is still free. On any failure (EEXIST when the name was taken meanwhile)
// nothing is left behind.
Failure writeNewFile(const QString &path, const QByteArray &data);

// Replaces the file at `path` completely or not at all.
Failure writeReplacing(const QString &path, const QByteArray &data);

// Copies `from` to `to`, replacing `to` completely or not at all. A copy whose
// source and destination are the same file is skipped (and succeeds).
Failure copyReplacing(const QString &from, const QString &to);

// Deletes a file; a missing file is not an error.
Failure removeFile(const QString &path);
