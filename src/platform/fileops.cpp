#include "fileops.h"
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>   // renameat2
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

// A fresh temporary file beside `path`, created with the mode any new file
// gets (0666 less the umask); its name is returned in `tmp`.
int openTemporary(const QString &path, QByteArray &tmp)
{
    const QByteArray dir = native(QFileInfo(path).absolutePath()) + "/.tumbilder-";
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmp = dir;
        for (int i = 0; i < 10; ++i)
            tmp += digits[QRandomGenerator::global()->bounded(int(sizeof digits - 1))];
        const int fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// `durable`: the data reaches the disk before the file gets its name. That
// matters where an existing file is replaced (after a power cut the old one
// must still be there); a new thumbnail is cheap to make again.
Failure writeTemporary(const QString &path, const QByteArray &data, QByteArray &tmp, bool durable)
{
    const int fd = openTemporary(path, tmp);
    if (fd < 0)
        return systemFailure(errno);
    Failure f = writeAll(fd, data);
    if (!f.failed() && durable && ::fsync(fd) != 0 && errno != EINVAL)
        f = systemFailure(errno);
    if (::close(fd) != 0 && !f.failed())
        f = systemFailure(errno);
    if (f.failed())
        ::unlink(tmp.constData());
    return f;
}

// Gives the finished temporary file its name unless something is there
// already. Returns 0 or errno; the temporary file is gone either way.
int placeWithoutReplacing(const QByteArray &tmp, const QByteArray &target)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, tmp.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        const int err = errno;
        ::unlink(tmp.constData());
        return err;
    }
#endif
    // link() fails with EEXIST instead of replacing.
    if (::link(tmp.constData(), target.constData()) == 0) {
        ::unlink(tmp.constData());
        return 0;
    }
    const int err = errno;
    ::unlink(tmp.constData());
    if (err != EPERM && err != ENOTSUP && err != EOPNOTSUPP && err != ENOSYS)
        return err;
    return -1;   // a file system without either (FAT through an old driver, some network shares)
}

// Last resort for such file systems: create the name exclusively and write
// into it directly, removing it again if the write fails.
Failure writeExclusively(const QByteArray &target, const QByteArray &data)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return systemFailure(errno);
    Failure f = writeAll(fd, data);
    if (::close(fd) != 0 && !f.failed())
        f = systemFailure(errno);
    if (f.failed())
        ::unlink(target.constData());
    return f;
}

// The whole content of a file, with errno on failure.
Failure readWhole(const QString &path, QByteArray &data)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return systemFailure(errno);
    data.clear();
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            return systemFailure(err);
        }
        data.append(buffer, n);
    }
    ::close(fd);
    return {};
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
    if (Failure f = writeTemporary(path, data, tmp, false); f.failed())
        return f;
    const int err = placeWithoutReplacing(tmp, native(path));
    if (err > 0)
        return systemFailure(err);
    if (err < 0)
        return writeExclusively(native(path), data);
    return {};
}

Failure writeReplacing(const QString &path, const QByteArray &data)
{
    if (badName(path))
        return failure(FailureCode::BadFileName, QStringLiteral("Felaktigt filnamn"));
    QByteArray tmp;
    if (Failure f = writeTemporary(path, data, tmp, true); f.failed())
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
    QByteArray data;
    if (Failure f = readWhole(from, data); f.failed())
        return f;
    return writeReplacing(to, data);
}

Failure removeFile(const QString &path)
{
    if (::unlink(native(path).constData()) != 0 && errno != ENOENT)
        return systemFailure(errno);
    return {};
}
