#pragma once
#include <QtGlobal>
#include <cstddef>
#include <vector>

// Memory kept from one picture to the next for the largest blocks, which
// the heap does not keep (see process.cpp).
//
// One region is kept, as large as the most one picture needed, and the
// pictures in hand share it: each takes what is free there, and one that
// finds too little waits until the others are done with it. So these blocks
// never add up to more than the largest picture needed alone: the peak is no
// higher than a single worker's, however many draw at once. The region goes
// at the end of a run.
class WorkBuffer {
public:
    WorkBuffer() = default;
    // Gives the memory back for the next picture.
    ~WorkBuffer();
    WorkBuffer(const WorkBuffer &) = delete;
    WorkBuffer &operator=(const WorkBuffer &) = delete;

    // Room for pieces of at most `largestPiece` bytes, `bytes` in all,
    // waiting for the other pictures' parts if need be; false when memory
    // runs out. Gives back what an earlier call got.
    bool reserve(size_t bytes, size_t largestPiece);
    // The next `bytes` of that room, in one piece, aligned to 64. They hold
    // whatever an earlier picture left there.
    void *piece(size_t bytes);

private:
    struct Part {
        unsigned char *data;
        size_t size;
    };
    void giveBack();

    std::vector<Part> m_parts;      // in the region
    size_t m_part = 0;              // where piece() takes from
    size_t m_used = 0;
};

// The bytes of the kept region.
qint64 keptWorkBytes();

// Gives the region back to the system, unless a picture is using it.
void releaseIdleWorkBuffers();
