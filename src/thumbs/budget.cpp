#include "budget.h"
#include <unistd.h>

MemoryBudget::Claim &MemoryBudget::Claim::operator=(Claim &&other) noexcept
{
    if (this != &other) {
        release();
        m_budget = other.m_budget;
        m_bytes = other.m_bytes;
        other.m_budget = nullptr;
    }
    return *this;
}

void MemoryBudget::Claim::release()
{
    if (m_budget)
        m_budget->give(m_bytes);
    m_budget = nullptr;
}

MemoryBudget::Claim MemoryBudget::claim(qint64 bytes)
{
    std::unique_lock lock(m_mutex);
    const auto room = [&] { return m_closed || m_holders == 0 || m_used + bytes <= m_limit; };
    if (!room()) {
        ++m_waiting;
        m_room.wait(lock, room);
        --m_waiting;
    }
    if (m_closed)
        return {};
    m_used += bytes;
    ++m_holders;
    return Claim(this, bytes);
}

void MemoryBudget::give(qint64 bytes)
{
    {
        const std::lock_guard lock(m_mutex);
        m_used -= bytes;
        --m_holders;
    }
    m_room.notify_all();
}

void MemoryBudget::close()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_room.notify_all();
}

qint64 MemoryBudget::defaultBytes()
{
    constexpr qint64 GiB = qint64(1) << 30;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return GiB;
    return qMin(GiB, qint64(pages) * pageSize / 4);
}
