#pragma once
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// Looking at folders before and after: what is there, what it holds.
namespace TestFiles {

// Every name in a folder, dot-files and links included, sorted.
QStringList listing(const QString &dir);
// A file's bytes (empty when it cannot be read). Works also where the path
// is longer than the system takes in one piece (a long name in a deep folder).
QByteArray contents(const QString &path);
// Deletes a file, also by such a long path; true on success.
bool removeLong(const QString &path);
// Writes a file, replacing it; true on success.
bool put(const QString &path, const QByteArray &data);
// Every file below `dir` (relative path) with a hash of its content, so a
// test can tell that nothing that existed before was touched.
QMap<QString, QByteArray> snapshot(const QString &dir);
// Every file below `dir` with its inode and modification time (to the
// nanosecond), so a test can tell a file left as it was from one written
// again with the same content.
QMap<QString, QString> stamps(const QString &dir);
// Sets a file's modification time `seconds` from now (negative: before).
bool touch(const QString &path, qint64 seconds);
}
