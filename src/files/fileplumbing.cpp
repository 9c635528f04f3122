#include "fileplumbing.h"
#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>   // renameat2, snprintf
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace fileplumbing {
namespace {
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
int openAnonymous(int dir, Fd &fd, MissingFeature lacking)
{
    if (lacking == MissingFeature::AnonymousFiles || lacking == MissingFeature::Links)
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
int linkAnonymous(int fd, int dir, const QByteArray &name, MissingFeature lacking)
{
    if (lacking == MissingFeature::NamingAnonymousFiles)
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
int replaceWithAnonymous(int fd, int dir, const QByteArray &name, MissingFeature lacking)
{
    QByteArray tmp;
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        tmp = temporaryName();
        err = linkAnonymous(fd, dir, tmp, lacking);
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
int moveWithoutReplacing(int dir, const QByteArray &tmp, const QByteArray &name, MissingFeature lacking)
{
    if (lacking == MissingFeature::Links) {
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

// The data goes out before the name comes in.
int syncData(int fd) { return ::fdatasync(fd) != 0 && errno != EINVAL ? errno : 0; }

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
}

int openPlace(const QString &path, Place &p)
{
    const QByteArray n = QFile::encodeName(path);
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

int Scratch::open(int dir, MissingFeature lacking)
{
    const int err = openAnonymous(dir, fd, lacking);
    return err == Unsupported ? openNamed(dir, name, fd) : err;
}

int Scratch::makeNamed(int dir)
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

void Scratch::discard(int dir)
{
    if (!name.isEmpty())
        ::unlinkat(dir, name.constData(), 0);
    name.clear();
}

// Gives the finished scratch file its name. Returns 0 or an errno value.
int place(const Place &p, Scratch &s, Placing how, MissingFeature lacking)
{
    const int dir = p.dir.get();
    int err = 0;
    if (s.name.isEmpty()) {
        err = syncData(s.fd.get());
        if (!err)
            err = how == Placing::New ? linkAnonymous(s.fd.get(), dir, p.name, lacking)
                                      : replaceWithAnonymous(s.fd.get(), dir, p.name, lacking);
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
    err = moveWithoutReplacing(dir, s.name, p.name, lacking);
    s.name.clear();
    return err == Unsupported ? writeExclusively(dir, p.name, s.fd.get()) : err;
}
}
