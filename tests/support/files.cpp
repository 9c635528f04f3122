#include "files.h"
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TestFiles {

QStringList listing(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

namespace {
// The folder of `path`, opened, so the last name can be used on its own.
int openFolderOf(const QString &path, QByteArray &name)
{
    const QByteArray n = QFile::encodeName(path);
    const qsizetype slash = n.lastIndexOf('/');
    name = n.mid(slash + 1);
    return ::open(slash <= 0 ? (slash ? "." : "/") : n.left(slash).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}
}

QByteArray contents(const QString &path)
{
    QByteArray name;
    const int dir = openFolderOf(path, name);
    // A FIFO opened to be read would wait for a writer: it reads as empty.
    const int fd = dir < 0 ? -1 : ::openat(dir, name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (dir >= 0)
        ::close(dir);
    QFile f;
    if (fd < 0 || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return {};
    }
    return f.readAll();
}

bool removeLong(const QString &path)
{
    QByteArray name;
    const int dir = openFolderOf(path, name);
    if (dir < 0)
        return false;
    const bool removed = ::unlinkat(dir, name.constData(), 0) == 0;
    ::close(dir);
    return removed;
}

bool put(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), QCryptographicHash::hash(contents(path), QCryptographicHash::Sha1));
    }
    return files;
}

QMap<QString, QString> stamps(const QString &dir)
{
    QMap<QString, QString> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        files.insert(QDir(dir).relativeFilePath(path), QStringLiteral("%1 %2.%3")
                                                           .arg(quint64(st.st_ino))
                                                           .arg(qint64(st.st_mtim.tv_sec))
                                                           .arg(qint64(st.st_mtim.tv_nsec)));
    }
    return files;
}

bool touch(const QString &path, qint64 seconds)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + seconds, 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}
}
