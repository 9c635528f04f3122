#include "fileops.h"
#include "fileplumbing.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace fileplumbing;

namespace {
QByteArray native(const QString &path) { return QFile::encodeName(path); }

// A path that no file can have on this system.
bool badName(const QString &path) { return path.contains(QChar(0)); }

Failure pathFailure(int err, const QString &path)
{
    Failure f = systemFailure(err);
    f.description += QStringLiteral(": ") + path;
    return f;
}

// Fills a file with the new content; the failure names the file concerned.
using Fill = std::function<Failure(int fd)>;

// `mtime`, when given, becomes the new file's modification time. It is set
// once the file has its name (the scratch file may be copied on its way
// there, and in replacing, the scratch file is then the file named); should
// that fail, the file is whole all the same.
Failure writeFile(const QString &path, const Place &p, Placing how, const Fill &fill, MissingFeature lacking,
                  const timespec *mtime = nullptr)
{
    const int dir = p.dir.get();
    Scratch s;
    if (const int err = s.open(dir, lacking))
        return pathFailure(err, path);
    Failure f = fill(s.fd.get());
    if (!f.failed()) {
        if (const int err = place(p, s, how, lacking)) {
            f = pathFailure(err, path);
        } else {
            if (mtime) {
                const timespec times[2] = {{0, UTIME_OMIT}, *mtime};
                ::futimens(s.fd.get(), times);
            }
            if (const int closed = s.fd.close()) {
                // Written, named, and then the system reports the data lost.
                f = pathFailure(closed, path);
                if (how == Placing::New)
                    ::unlinkat(dir, p.name.constData(), 0);
            }
        }
    }
    s.discard(dir);
    return f;
}

// `modified` < 0 leaves the time of writing.
Failure writeData(const QString &path, const QByteArray &data, Placing how, MissingFeature lacking,
                  qint64 modified = -1)
{
    if (badName(path))
        return failure(FailureCode::BadFileName, QStringLiteral("Felaktigt filnamn"));
    Place p;
    if (const int err = openPlace(path, p))
        return pathFailure(err, path);
    const timespec mtime{time_t(modified / 1'000'000'000), long(modified % 1'000'000'000)};
    return writeFile(path, p, how, [&](int fd) {
        const int err = writeFully(fd, data.constData(), data.size(), ::write);
        return err ? pathFailure(err, path) : Failure();
    }, lacking, modified >= 0 ? &mtime : nullptr);
}
}

int writeFully(int fd, const char *data, qint64 size, WriteFunction write)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size_t(qMin<qint64>(size, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        data += n;
        size -= n;
    }
    return 0;
}

bool sameFile(const QString &a, const QString &b)
{
    const QString c = QFileInfo(a).canonicalFilePath();
    return !c.isEmpty() && c == QFileInfo(b).canonicalFilePath();
}

bool nameTaken(const QString &path)
{
    if (badName(path))
        return false;
    Place p;
    struct stat st;
    return openPlace(path, p) == 0 && ::fstatat(p.dir.get(), p.name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Synced before it gets its name: otherwise a power cut can leave an empty
// file under the name, which the next run refuses to replace. The cost is
// about 1 ms a thumbnail on a disk, a few percent of a run (bench/files.sh).
Failure writeNewFile(const QString &path, const QByteArray &data, MissingFeature lacking)
{
    return writeData(path, data, Placing::New, lacking);
}

// After a power cut the old file must still be there, or the new one whole.
Failure writeReplacing(const QString &path, const QByteArray &data, MissingFeature lacking)
{
    return writeData(path, data, Placing::Replacing, lacking);
}

qint64 modificationTime(const QString &path)
{
    struct stat st;
    if (badName(path) || ::stat(native(path).constData(), &st) != 0)
        return -1;
    return qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

Failure writeReplacingDated(const QString &path, const QByteArray &data, qint64 modified, MissingFeature lacking)
{
    return writeData(path, data, Placing::Replacing, lacking, modified);
}

Failure copyReplacing(const QString &from, const QString &to, MissingFeature lacking)
{
    if (badName(from) || badName(to))
        return failure(FailureCode::BadFileName, QStringLiteral("Felaktigt filnamn"));
    Fd source;
    source.reset(::open(native(from).constData(), O_RDONLY | O_CLOEXEC));
    struct stat a, b;
    if (source.get() < 0 || ::fstat(source.get(), &a) != 0)
        return pathFailure(errno, from);
    if (S_ISDIR(a.st_mode))
        return pathFailure(EISDIR, from);
    Place p;
    if (const int err = openPlace(to, p))
        return pathFailure(err, to);
    if (::fstatat(p.dir.get(), p.name.constData(), &b, 0) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        return {};
    // A copy made before of the picture as it is now: not made again.
    if (::fstatat(p.dir.get(), p.name.constData(), &b, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(b.st_mode)
        && b.st_size == a.st_size && b.st_mtim.tv_sec == a.st_mtim.tv_sec && b.st_mtim.tv_nsec == a.st_mtim.tv_nsec)
        return {};
    return writeFile(to, p, Placing::Replacing, [&](int fd) {
        const CopyError e = copyContent(source.get(), fd);
        return e.err ? pathFailure(e.err, e.reading ? from : to) : Failure();
    }, lacking, &a.st_mtim);
}

Freshness freshness(const QString &made, const QString &source)
{
    Place m, s;
    struct stat a, b;
    if (badName(made) || openPlace(made, m) != 0
        || ::fstatat(m.dir.get(), m.name.constData(), &a, AT_SYMLINK_NOFOLLOW) != 0)
        return Freshness::Absent;
    if (!S_ISREG(a.st_mode) || badName(source) || openPlace(source, s) != 0
        || ::fstatat(s.dir.get(), s.name.constData(), &b, 0) != 0 || (a.st_dev == b.st_dev && a.st_ino == b.st_ino))
        return Freshness::Other;
    const bool older = a.st_mtim.tv_sec != b.st_mtim.tv_sec ? a.st_mtim.tv_sec < b.st_mtim.tv_sec
                                                            : a.st_mtim.tv_nsec < b.st_mtim.tv_nsec;
    return older ? Freshness::Older : Freshness::Current;
}

Failure makeFolders(const QString &path, bool *made)
{
    if (made)
        *made = false;
    if (badName(path))
        return failure(FailureCode::BadFileName, QStringLiteral("Felaktigt filnamn"));
    const QByteArray n = native(QDir::cleanPath(path));
    // Each folder from the top down, up to the separator after it or the end.
    for (qsizetype end = 1; end <= n.size(); ++end) {
        if (end < n.size() && n[end] != '/')
            continue;
        const QByteArray folder = n.left(end);
        if (::mkdir(folder.constData(), 0777) == 0) {
            if (made)
                *made = true;
            continue;
        }
        int err = errno;
        struct stat st;
        if (err == EEXIST && ::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        if (err == EEXIST)
            err = ENOTDIR;
        return pathFailure(err, QFile::decodeName(folder));
    }
    return {};
}

Failure removeFile(const QString &path)
{
    if (badName(path))
        return {};   // no file can have that name
    Place p;
    int err = openPlace(path, p);
    if (!err && ::unlinkat(p.dir.get(), p.name.constData(), 0) != 0)
        err = errno;
    if (err && err != ENOENT)
        return pathFailure(err, path);
    return {};
}
