#include "fileops.h"
#include <QFile>
#include <QRandomGenerator>
#include <atomic>
#include <cerrno>
#include <cstdio>   // renameat2, snprintf
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

std::atomic<MissingFeature> missing{MissingFeature::None};

// Returned where the system cannot do something at all (rather than failing
// at it): the caller takes a slower road that works everywhere.
constexpr int Unsupported = -1;

class Fd {
public:
    Fd() = default;
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd &operator=(Fd &&o) noexcept
    {
        reset(std::exchange(o.m_fd, -1));
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Network file systems may report a failed write only here.
    int close()
    {
        const int fd = std::exchange(m_fd, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int m_fd = -1;
};

// A path as its folder, held open, and the one name inside it.
struct Place {
    Fd dir;
    QByteArray name;
};

int openPlace(const QString &path, Place &p)
{
    const QByteArray n = native(path);
    const qsizetype slash = n.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : n.left(slash);
    p.name = n.mid(slash + 1);
    if (p.name.isEmpty())
        p.name = ".";   // "folder/" names the folder itself
#ifdef O_PATH
    const int flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
    const int fd = ::open(folder.constData(), flags);
    if (fd < 0)
        return errno;
    p.dir.reset(fd);
    return 0;
}

// A hidden name for content on its way to its real name. It says whose it is
// and is short; uniqueness comes from the exclusive create, which tries again.
QByteArray temporaryName()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name(".tumbilder-");
    for (int i = 0; i < 6; ++i)
        name += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return name;
}

int openNamed(int dir, QByteArray &name, Fd &fd)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporaryName();
        const int f = ::openat(dir, name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (f >= 0) {
            fd.reset(f);
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// A file in `dir` without any name: if the process dies before it is named,
// the system frees it and nothing shows in the folder. Created with the mode
// any new file gets (0666 less the umask).
int openAnonymous(int dir, Fd &fd)
{
    if (missing == MissingFeature::AnonymousFiles || missing == MissingFeature::Links)
        return Unsupported;
#ifdef O_TMPFILE
    const int f = ::openat(dir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (f >= 0) {
        fd.reset(f);
        return 0;
    }
    // EOPNOTSUPP or EINVAL: not on this file system; EISDIR: a kernel
    // without them.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return errno;
#else
    Q_UNUSED(dir);
    Q_UNUSED(fd);
#endif
    return Unsupported;
}

bool cannotLink(int err) { return err == EPERM || err == ENOTSUP || err == EOPNOTSUPP || err == ENOSYS; }

// Gives an anonymous file the name `name`; EEXIST rather than replacing.
int linkAnonymous(int fd, int dir, const QByteArray &name)
{
    if (missing == MissingFeature::NamingAnonymousFiles)
        return Unsupported;
    char proc[40];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, proc, dir, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    int err = errno;
    if (err == ENOENT && ::access("/proc/self/fd", X_OK) != 0) {
        // No /proc here. The file itself, where the system permits it.
#ifdef AT_EMPTY_PATH
        if (::linkat(fd, "", dir, name.constData(), AT_EMPTY_PATH) == 0)
            return 0;
        err = errno == ENOENT ? EPERM : errno;
#else
        err = EPERM;
#endif
    }
    return cannotLink(err) ? Unsupported : err;
}

// Gives the anonymous file a temporary name, then moves it over `name`: a
// rename cannot take an anonymous file, but it replaces in one step.
int replaceWithAnonymous(int fd, int dir, const QByteArray &name)
{
    QByteArray tmp;
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        tmp = temporaryName();
        err = linkAnonymous(fd, dir, tmp);
    }
    if (err != 0)
        return err;
    if (::renameat(dir, tmp.constData(), dir, name.constData()) != 0) {
        err = errno;
        ::unlinkat(dir, tmp.constData(), 0);
        return err;
    }
    return 0;
}

// Moves the named temporary file to `name` unless something is there
// already. Returns 0, an errno value or Unsupported; the temporary name is
// gone either way (the open file stays readable).
int moveWithoutReplacing(int dir, const QByteArray &tmp, const QByteArray &name)
{
    if (missing == MissingFeature::Links) {
        ::unlinkat(dir, tmp.constData(), 0);
        return Unsupported;
    }
#ifdef RENAME_NOREPLACE
    if (::renameat2(dir, tmp.constData(), dir, name.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        const int err = errno;
        ::unlinkat(dir, tmp.constData(), 0);
        return err;
    }
#endif
    // link() fails with EEXIST instead of replacing.
    const int err = ::linkat(dir, tmp.constData(), dir, name.constData(), 0) == 0 ? 0 : errno;
    ::unlinkat(dir, tmp.constData(), 0);
    return cannotLink(err) ? Unsupported : err;   // FAT through an old driver, some network shares
}

// Where a copy failed: the file read or the file written.
struct CopyError {
    int err = 0;
    bool reading = false;
};

// Copies all of `from`, from its start, to the end of `to`: in the kernel
// where it can, else through one small buffer. Memory use does not grow with
// the size of the file.
CopyError copyContent(int from, int to)
{
    constexpr size_t Block = 256 * 1024;
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(from, &offset, to, nullptr, 16 * Block, 0);
        if (n > 0)
            continue;
        if (n < 0 && errno == EINTR)
            continue;
        // Not between these two files (another file system, a pipe), a real
        // error, or 0, which some special files return despite having data:
        // the plain loop below decides, and names the side that failed.
        break;
    }
    const std::unique_ptr<char[]> buffer(new char[Block]);
    bool seekable = true;
    for (;;) {
        ssize_t n = seekable ? ::pread(from, buffer.get(), Block, offset) : ::read(from, buffer.get(), Block);
        if (n < 0 && errno == ESPIPE && seekable && offset == 0) {
            seekable = false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {errno, true};
        if (n == 0)
            return {};
        if (const int err = writeFully(to, buffer.get(), n, ::write))
            return {err, false};
        offset += n;
    }
}

// The data goes out before the name comes in.
int syncData(int fd) { return ::fdatasync(fd) != 0 && errno != EINVAL ? errno : 0; }

enum class Placing { New, Replacing };

// The content of a file on its way to its name: an anonymous file where the
// file system has them, else a hidden temporary file (named then).
struct Scratch {
    Fd fd;
    QByteArray name;

    int open(int dir)
    {
        const int err = openAnonymous(dir, fd);
        return err == Unsupported ? openNamed(dir, name, fd) : err;
    }
    // The system will not name anonymous files here: a named copy instead.
    int makeNamed(int dir)
    {
        Scratch named;
        if (const int err = openNamed(dir, named.name, named.fd))
            return err;
        if (const CopyError e = copyContent(fd.get(), named.fd.get()); e.err) {
            ::unlinkat(dir, named.name.constData(), 0);
            return e.err;
        }
        fd = std::move(named.fd);
        name = named.name;
        return 0;
    }
    void discard(int dir)
    {
        if (!name.isEmpty())
            ::unlinkat(dir, name.constData(), 0);
        name.clear();
    }
};

// Last resort where nothing can be linked or moved without replacing: create
// the name exclusively and write into it directly, removing it again if the
// write fails.
int writeExclusively(int dir, const QByteArray &name, int content)
{
    Fd fd;
    fd.reset(::openat(dir, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return errno;
    int err = copyContent(content, fd.get()).err;
    if (!err)
        err = syncData(fd.get());
    if (const int closed = fd.close(); !err)
        err = closed;
    if (err)
        ::unlinkat(dir, name.constData(), 0);
    return err;
}

// Gives the finished scratch file its name. Returns 0 or an errno value.
int place(const Place &p, Scratch &s, Placing how)
{
    const int dir = p.dir.get();
    int err = 0;
    if (s.name.isEmpty()) {
        err = syncData(s.fd.get());
        if (!err)
            err = how == Placing::New ? linkAnonymous(s.fd.get(), dir, p.name)
                                      : replaceWithAnonymous(s.fd.get(), dir, p.name);
        if (err != Unsupported)
            return err;
        if ((err = s.makeNamed(dir)))
            return err;
    }
    if ((err = syncData(s.fd.get())))
        return err;
    if (how == Placing::Replacing) {
        err = ::renameat(dir, s.name.constData(), dir, p.name.constData()) == 0 ? 0 : errno;
        if (!err)
            s.name.clear();
        return err;
    }
    err = moveWithoutReplacing(dir, s.name, p.name);
    s.name.clear();
    return err == Unsupported ? writeExclusively(dir, p.name, s.fd.get()) : err;
}

// Fills a file with the new content; the failure names the file concerned.
using Fill = std::function<Failure(int fd)>;

Failure writeFile(const QString &path, const Place &p, Placing how, const Fill &fill)
{
    const int dir = p.dir.get();
    Scratch s;
    if (const int err = s.open(dir))
        return pathFailure(err, path);
    Failure f = fill(s.fd.get());
    if (!f.failed()) {
        if (const int err = place(p, s, how))
            f = pathFailure(err, path);
        else if (const int closed = s.fd.close()) {
            // Written, named, and then the system reports the data lost.
            f = pathFailure(closed, path);
            if (how == Placing::New)
                ::unlinkat(dir, p.name.constData(), 0);
        }
    }
    s.discard(dir);
    return f;
}

Failure writeData(const QString &path, const QByteArray &data, Placing how)
{
    if (badName(path))
        return failure(FailureCode::BadFileName, QStringLiteral("Felaktigt filnamn"));
    Place p;
    if (const int err = openPlace(path, p))
        return pathFailure(err, path);
    return writeFile(path, p, how, [&](int fd) {
        const int err = writeFully(fd, data.constData(), data.size(), ::write);
        return err ? pathFailure(err, path) : Failure();
    });
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

void pretendMissing(MissingFeature feature) { missing = feature; }

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
Failure writeNewFile(const QString &path, const QByteArray &data)
{
    return writeData(path, data, Placing::New);
}

// After a power cut the old file must still be there, or the new one whole.
Failure writeReplacing(const QString &path, const QByteArray &data)
{
    return writeData(path, data, Placing::Replacing);
}

Failure copyReplacing(const QString &from, const QString &to)
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
    return writeFile(to, p, Placing::Replacing, [&](int fd) {
        const CopyError e = copyContent(source.get(), fd);
        return e.err ? pathFailure(e.err, e.reading ? from : to) : Failure();
    });
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
