#include "workbuffer.h"
#include <algorithm>
#include <mutex>
#include <sys/mman.h>

namespace {
constexpr size_t Alignment = 64;

size_t aligned(size_t bytes)
{
    return (bytes + Alignment - 1) / Alignment * Alignment;
}

// Memory straight from the system, not from the heap: what is freed is gone
// at once instead of staying in the heap beside the region. Its pages come
// as they are first written, as the decoding reaches them, 2 MB at a time
// where the system allows (a fault for every 4 KB is what made fresh memory
// expensive).
void adviseLarge(void *data, size_t bytes)
{
#ifdef MADV_HUGEPAGE
    ::madvise(data, bytes, MADV_HUGEPAGE);
#endif
}

unsigned char *mapBlock(size_t bytes)
{
    if (bytes == 0)
        return nullptr;
    void *p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    adviseLarge(p, bytes);
    return static_cast<unsigned char *>(p);
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
        if (data)
            adviseLarge(data, size);
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
    Region &r = region();
    {
        const std::lock_guard lock(r.mutex);
        for (const Part &p : m_parts)
            if (p.data != m_own.data)
                std::erase(r.used, std::pair(p.data, p.size));
    }
    unmapBlock(m_own.data, m_own.size);
    m_parts.clear();
    m_own = {nullptr, 0};
    m_part = m_used = 0;
}

bool WorkBuffer::reserve(size_t bytes, size_t largestPiece)
{
    giveBack();
    largestPiece = aligned(largestPiece);
    // Each part may leave up to a piece unused at its end.
    size_t need = aligned(bytes) + largestPiece;
    if (need < bytes)
        return false;
    Region &r = region();
    {
        const std::lock_guard lock(r.mutex);
        if (r.used.empty() && r.size < need)
            r.resize(need);
        // The gaps between the parts in use, in address order.
        std::sort(r.used.begin(), r.used.end());
        unsigned char *at = r.data;
        const size_t count = r.used.size();
        for (size_t i = 0; i <= count && need > 0 && r.data; ++i) {
            unsigned char *end = i < count ? r.used[i].first : r.data + r.size;
            const size_t gap = size_t(end - at);
            if (gap > largestPiece) {
                const size_t take = std::min(gap, need);
                m_parts.push_back({at, take});
                r.used.emplace_back(at, take);
                need = take == need ? 0 : need - take + largestPiece;
            }
            if (i < count)
                at = r.used[i].first + r.used[i].second;
        }
    }
    if (need > 0) {
        m_own = {mapBlock(need), need};
        if (!m_own.data) {
            m_own.size = 0;
            giveBack();
            return false;
        }
        m_parts.push_back(m_own);
    }
    return true;
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
