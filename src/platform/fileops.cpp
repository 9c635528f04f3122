#include "fileops.h"
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray native(const QString &path) { return QFile::encodeName(path); }

// A path that no file can have on this system.
bool badName(const QString &path) { return path.contains(QChar(0)); }

Failure writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return systemFailure(errno);
        }
        p += n;
        left -= n;
    }
    return {};
}

// A fresh temporary file beside `path`; its name is returned in `tmp`.
int openTemporary(const QString &path, QByteArray &tmp)
{
    const QFileInfo info(path);
    tmp = native(info.absolutePath() + QStringLiteral("/.tumbilder-XXXXXX"));
    return ::mkstemp(tmp.data());
}

Failure writeTemporary(const QString &path, const QByteArray &data, QByteArray &tmp)
{
    const int fd = openTemporary(path, tmp);
    if (fd < 0)
        return systemFailure(errno);
    Failure f = writeAll(fd, data);
    if (!f.failed() && ::fsync(fd) != 0 && errno != EINVAL)
        f = systemFailure(errno);
    if (::close(fd) != 0 && !f.failed())
        f = systemFailure(errno);
    if (f.failed()) {
        ::unlink(tmp.constData());
        return f;
    }
    // mkstemp makes the file private; give it the mode a new file normally gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(tmp.constData(), 0666 & ~mask);
    return f;
}
}

bool nameTaken(const QString &path)
{
    struct stat st;
    return ::lstat(native(path).constData(), &st) == 0;
}

Failure writeNewFile(const QString &path, const QByteArray &data)
{
    if (badName(path))
        return failure(FailureCode::BadFileName, QStringLiteral("Felaktigt filnamn"));
    QByteArray tmp;
    if (Failure f = writeTemporary(path, data, tmp); f.failed())
        return f;
    // link() fails with EEXIST instead of replacing: the name stays the user's.
    if (::link(tmp.constData(), native(path).constData()) != 0) {
        const int err = errno;
        ::unlink(tmp.constData());
        return systemFailure(err);
    }
    ::unlink(tmp.constData());
    return {};
}

Failure writeReplacing(const QString &path, const QByteArray &data)
{
    if (badName(path))
        return failure(FailureCode::BadFileName, QStringLiteral("Felaktigt filnamn"));
    QByteArray tmp;
    if (Failure f = writeTemporary(path, data, tmp); f.failed())
        return f;
    if (::rename(tmp.constData(), native(path).constData()) != 0) {
        const int err = errno;
        ::unlink(tmp.constData());
        return systemFailure(err);
    }
    return {};
}

Failure copyReplacing(const QString &from, const QString &to)
{
    struct stat a, b;
    if (::stat(native(from).constData(), &a) != 0)
        return systemFailure(errno);
    if (::stat(native(to).constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        return {};
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return systemFailure(errno ? errno : EACCES);
    const QByteArray data = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return systemFailure(errno ? errno : EIO);
    return writeReplacing(to, data);
}

Failure removeFile(const QString &path)
{
    if (::unlink(native(path).constData()) != 0 && errno != ENOENT)
        return systemFailure(errno);
    return {};
}
