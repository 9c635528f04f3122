#pragma once
#include <QtGlobal>
#include <atomic>
#include <condition_variable>
#include <mutex>

// Memory a run's pictures may hold at once while they are decoded. A
// picture's cost is known from its header before decoding; it waits until
// its cost fits beside what is in use. One picture is always let through,
// however large, so a run never stalls.
class MemoryBudget {
public:
    explicit MemoryBudget(qint64 bytes) : m_limit(bytes) {}

    // Held while a picture is decoded and drawn; gives its bytes back when it goes.
    class Claim {
    public:
        Claim() = default;
        Claim(Claim &&other) noexcept : m_budget(other.m_budget), m_bytes(other.m_bytes) { other.m_budget = nullptr; }
        Claim &operator=(Claim &&other) noexcept;
        ~Claim() { release(); }
        explicit operator bool() const { return m_budget != nullptr; }
        void release();

    private:
        friend class MemoryBudget;
        Claim(MemoryBudget *budget, qint64 bytes) : m_budget(budget), m_bytes(bytes) {}
        MemoryBudget *m_budget = nullptr;
        qint64 m_bytes = 0;
    };

    // Waits for room; an empty claim when the budget was closed meanwhile.
    Claim claim(qint64 bytes);
    // Wakes every waiter with an empty claim; used when a run stops.
    void close();
    // How many claims are waiting for room now.
    int waiting() const { return m_waiting; }

    // A quarter of the physical memory, at most 1 GiB.
    static qint64 defaultBytes();

private:
    void give(qint64 bytes);

    const qint64 m_limit;
    std::mutex m_mutex;
    std::condition_variable m_room;
    qint64 m_used = 0;
    int m_holders = 0;
    std::atomic<int> m_waiting = 0;
    bool m_closed = false;
};
