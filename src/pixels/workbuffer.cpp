#include "workbuffer.h"
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <sys/mman.h>

namespace {
constexpr size_t Alignment = 64;

size_t aligned(size_t bytes)
{
    return (bytes + Alignment - 1) / Alignment * Alignment;
}

// Memory straight from the system, not from the heap: when the region goes,
// it is gone at once instead of staying in the heap.
unsigned char *mapBlock(size_t bytes)
{
    if (bytes == 0)
        return nullptr;
    void *p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<unsigned char *>(p);
}

void unmapBlock(unsigned char *data, size_t bytes)
{
    if (data)
        ::munmap(data, bytes);
}

// The kept region and the parts of it in use, by address.
struct Region {
    std::mutex mutex;
    unsigned char *data = nullptr;
    size_t size = 0;
    std::vector<std::pair<unsigned char *, size_t>> used;
    std::condition_variable freed;

    // Grows (keeping the pages it has) or goes; only while nobody uses it.
    void resize(size_t bytes)
    {
        if (bytes == 0 || !data) {
            unmapBlock(data, size);
            data = mapBlock(bytes);
            size = data ? bytes : 0;
        } else if (void *p = ::mremap(data, size, bytes, MREMAP_MAYMOVE); p != MAP_FAILED) {
            data = static_cast<unsigned char *>(p);
            size = bytes;
        } else {
            unmapBlock(data, size);
            data = nullptr;
            size = 0;
            return;
        }
#ifdef MADV_HUGEPAGE
        // The region stays, so its pages are worth having 2 MB at a time
        // where the system allows: a fault each, instead of one every 4 KB.
        if (data)
            ::madvise(data, size, MADV_HUGEPAGE);
#endif
    }
};

Region &region()
{
    static Region r;
    return r;
}
}

WorkBuffer::~WorkBuffer()
{
    giveBack();
}

void WorkBuffer::giveBack()
{
    if (m_parts.empty())
        return;
    Region &r = region();
    {
        const std::lock_guard lock(r.mutex);
        for (const Part &p : m_parts)
            std::erase(r.used, std::pair(p.data, p.size));
    }
    r.freed.notify_all();
    m_parts.clear();
    m_part = m_used = 0;
}

bool WorkBuffer::reserve(size_t bytes, size_t largestPiece)
{
    giveBack();
    largestPiece = aligned(largestPiece);
    // Each part may leave up to a piece unused at its end.
    const size_t need = aligned(bytes) + largestPiece;
    if (need < bytes)
        return false;
    Region &r = region();
    std::unique_lock lock(r.mutex);
    for (;;) {
        if (r.used.empty() && r.size < need)
            r.resize(need);
        if (!r.data)
            return false;
        // The gaps between the parts in use, in address order: enough of
        // them for `need`, or none.
        std::sort(r.used.begin(), r.used.end());
        std::vector<Part> parts;
        size_t left = need;
        unsigned char *at = r.data;
        for (size_t i = 0; i <= r.used.size() && left > 0; ++i) {
            unsigned char *end = i < r.used.size() ? r.used[i].first : r.data + r.size;
            const size_t gap = size_t(end - at);
            if (gap > largestPiece) {
                const size_t take = std::min(gap, left);
                parts.push_back({at, take});
                left = take == left ? 0 : left - take + largestPiece;
            }
            if (i < r.used.size())
                at = r.used[i].first + r.used[i].second;
        }
        if (left == 0) {
            for (const Part &p : parts)
                r.used.emplace_back(p.data, p.size);
            m_parts = std::move(parts);
            return true;
        }
        // No room beside the pictures in hand: this one waits for them
        // rather than take fresh memory, so the pictures never hold more
        // at once than the largest of them needed alone.
        r.freed.wait(lock);
    }
}

void *WorkBuffer::piece(size_t bytes)
{
    bytes = aligned(bytes);
    for (; m_part < m_parts.size(); ++m_part, m_used = 0) {
        if (m_parts[m_part].size - m_used >= bytes) {
            void *p = m_parts[m_part].data + m_used;
            m_used += bytes;
            return p;
        }
    }
    return nullptr;
}

qint64 keptWorkBytes()
{
    const std::lock_guard lock(region().mutex);
    return qint64(region().size);
}

void releaseIdleWorkBuffers()
{
    Region &r = region();
    const std::lock_guard lock(r.mutex);
    if (r.used.empty())
        r.resize(0);
}
