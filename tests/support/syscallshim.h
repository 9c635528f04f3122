#pragma once
// fdatasync and close as the file operations call them, watched by a test.
// A program that includes this header (in one of its files) defines both
// itself, in front of the C library's, and passes every call on. While a
// test holds a Watch on the thread that writes, fdatasync notes the files it
// syncs while the watched name is still free, and may put a file there first
// (a name that appears between the test for it and the write); close may
// report an error for the file that now has the name (a network file system
// that loses the data at the close).
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SyscallShim {
struct State {
    QByteArray path;             // the name watched
    QByteArray appearing;        // put at the name at the first fdatasync, unless empty
    int closeError = 0;          // what the close of the file with the name reports
    QList<ino_t> syncedWhileFree; // the files synced while the name was free
};
// Only the thread that set up the watch is watched.
inline thread_local State *state = nullptr;

template <typename F>
F next(const char *name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}
inline int realClose(int fd)
{
    static const auto close = next<int (*)(int)>("close");
    return close(fd);
}

class Watch {
public:
    explicit Watch(const QString &path, const QByteArray &appearing = {}, int closeError = 0)
        : m_state{QFile::encodeName(path), appearing, closeError, {}}
    {
        state = &m_state;
    }
    ~Watch() { state = nullptr; }
    Watch(const Watch &) = delete;
    Watch &operator=(const Watch &) = delete;
    // Whether the file that has the name now was on the disk before it got it.
    bool syncedBeforeNamed() const
    {
        struct stat st;
        return ::stat(m_state.path.constData(), &st) == 0 && m_state.syncedWhileFree.contains(st.st_ino);
    }

private:
    State m_state;
};
}

extern "C" int fdatasync(int fd)
{
    using namespace SyscallShim;
    static const auto sync = next<int (*)(int)>("fdatasync");
    if (State *s = state) {
        struct stat st, synced;
        const bool free = ::lstat(s->path.constData(), &st) != 0;
        if (free && ::fstat(fd, &synced) == 0)
            s->syncedWhileFree << synced.st_ino;
        if (free && !s->appearing.isEmpty()) {
            const int other = ::open(s->path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (other >= 0) {
                [[maybe_unused]] const ssize_t n = ::write(other, s->appearing.constData(), size_t(s->appearing.size()));
                realClose(other);
            }
            s->appearing.clear();
        }
    }
    return sync(fd);
}

extern "C" int close(int fd)
{
    using namespace SyscallShim;
    int error = 0;
    struct stat file, named;
    const State *s = state;
    if (s && s->closeError && ::fstat(fd, &file) == 0 && ::stat(s->path.constData(), &named) == 0
        && file.st_dev == named.st_dev && file.st_ino == named.st_ino)
        error = s->closeError;
    const int result = realClose(fd);
    if (error) {
        errno = error;
        return -1;
    }
    return result;
}
