#include "filebytes.h"
#include <QFile>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The mappings a fault may be ours in. A slot is taken and given back by
// the thread that reads that file; the signal handler only reads them.
struct Guarded {
    std::atomic<uintptr_t> start{0};
    std::atomic<uintptr_t> end{0};
    std::atomic<bool> cut{false};
};
constexpr int GuardedSlots = 64;
Guarded guarded[GuardedSlots];
struct sigaction previousBus;
uintptr_t pageSize = 4096;

void onBus(int signal, siginfo_t *info, void *context)
{
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (Guarded &g : guarded) {
        const uintptr_t start = g.start.load(), end = g.end.load();
        if (start == 0 || at < start || at >= end)
            continue;
        // Zero pages from here to the mapping's end; the read then goes on.
        const uintptr_t page = at & ~(pageSize - 1);
        if (::mmap(reinterpret_cast<void *>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0)
            != MAP_FAILED) {
            g.cut.store(true);
            return;
        }
    }
    // Not one of ours: as it would have been without us.
    if (previousBus.sa_flags & SA_SIGINFO) {
        previousBus.sa_sigaction(signal, info, context);
    } else if (previousBus.sa_handler != SIG_DFL && previousBus.sa_handler != SIG_IGN) {
        previousBus.sa_handler(signal);
    } else {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
    }
}

// A slot for [data, data + size), the handler installed the first time; -1 when all are taken.
int guard(const uchar *data, qint64 size)
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        pageSize = uintptr_t(::sysconf(_SC_PAGESIZE));
        struct sigaction action = {};
        action.sa_sigaction = onBus;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousBus);
    });
    for (int i = 0; i < GuardedSlots; ++i) {
        uintptr_t expected = 0;
        if (guarded[i].start.compare_exchange_strong(expected, uintptr_t(-1))) {
            guarded[i].cut.store(false);
            guarded[i].end.store(reinterpret_cast<uintptr_t>(data) + uintptr_t(size));
            guarded[i].start.store(reinterpret_cast<uintptr_t>(data));
            return i;
        }
    }
    return -1;
}
}

FileBytes::FileBytes(const QString &path)
{
    errno = 0;
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st = {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
        m_failure = systemFailure(errno ? errno : EACCES);
        return;
    }
    if (S_ISDIR(st.st_mode)) {
        m_failure = systemFailure(EISDIR);
        return;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        void *mapped = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, m_fd, 0);
        if (mapped != MAP_FAILED) {
            m_slot = guard(static_cast<const uchar *>(mapped), st.st_size);
            if (m_slot >= 0) {
                m_data = static_cast<const uchar *>(mapped);
                m_size = st.st_size;
                return;
            }
            ::munmap(mapped, size_t(st.st_size));
        }
    }
    QFile file;
    if (!file.open(m_fd, QIODevice::ReadOnly)) {
        m_failure = systemFailure(EIO);
        return;
    }
    errno = 0;
    m_bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_bytes.clear();
        m_failure = systemFailure(errno ? errno : EIO);
        return;
    }
    m_data = reinterpret_cast<const uchar *>(m_bytes.constData());
    m_size = m_bytes.size();
}

FileBytes::~FileBytes()
{
    if (m_slot >= 0) {
        // Given back first: once unmapped, the addresses may be another file's.
        guarded[m_slot].end.store(0);
        guarded[m_slot].start.store(0);
        ::munmap(const_cast<uchar *>(m_data), size_t(m_size));
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileBytes::changed() const
{
    if (m_slot < 0)
        return false;
    struct stat st = {};
    return guarded[m_slot].cut.load() || (::fstat(m_fd, &st) == 0 && st.st_size < m_size);
}
