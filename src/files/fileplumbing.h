#pragma once
// The plumbing under the file operations: folders held open, files without a
// name until they are complete, copies in blocks. Only fileops.cpp uses it.
#include "fileops.h"
#include <QByteArray>
#include <QString>
#include <utility>
#include <unistd.h>

namespace fileplumbing {

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

// Opens the folder of `path`; 0 or an errno value.
int openPlace(const QString &path, Place &p);

// Where a copy failed: the file read or the file written.
struct CopyError {
    int err = 0;
    bool reading = false;
};

// Copies all of `from`, from its start, to the end of `to`.
CopyError copyContent(int from, int to);

enum class Placing { New, Replacing };

// The content of a file on its way to its name: an anonymous file where the
// file system has them, else a hidden temporary file (named then).
struct Scratch {
    Fd fd;
    QByteArray name;

    int open(int dir, MissingFeature lacking);
    // The system will not name anonymous files here: a named copy instead.
    int makeNamed(int dir);
    void discard(int dir);
};

// Gives the finished scratch file its name. Returns 0 or an errno value.
int place(const Place &p, Scratch &s, Placing how, MissingFeature lacking);
}
