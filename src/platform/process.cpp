#include "process.h"
#include <QImageReader>
#include <csignal>
#ifdef __GLIBC__
#include <malloc.h>
#endif

void initPictureProcess()
{
    // Qt refuses pictures over 128 MB decoded by default; a 12000 x 9000
    // photo needs 432 MB. Our own pixel bound guards against bombs.
    QImageReader::setAllocationLimit(1100);
#ifdef __GLIBC__
    // Decoding a large photo takes buffers of tens of megabytes. Once such a
    // buffer is freed, glibc raises its mmap threshold, so the next ones come
    // from the worker threads' heaps, which keep the memory: over a long run
    // the peak grows. A fixed threshold hands large buffers straight back.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
#ifdef SIGXFSZ
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG and is
    // reported like a full disk, instead of killing the program mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}
