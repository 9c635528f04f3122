#include "process.h"
#include "workbuffer.h"
#include <QImageReader>
#include <QLoggingCategory>
#include <csignal>
#ifdef __GLIBC__
#include <malloc.h>
#endif

// How pictures get their memory. Every picture needs the same large buffers
// again (the file's copy, the decoder's arrays, the decoded image, the
// resampled stages, the encoder's output), and memory fresh from the system
// costs a page fault for each 4 KB that is first touched: for a run of
// photos that was a third of the CPU time, spent in the kernel. So freed
// buffers stay with the process while a run goes on, and the next picture
// writes into pages that are already there:
//  - glibc keeps every block below its mmap threshold in the heap; the
//    threshold is fixed at its largest (32 MB) and the heap's top is not
//    given back during a run. Fixed, not left to glibc's sliding threshold:
//    what the heap keeps is then bounded by what the pictures in hand need
//    at once, not by the history of the run, so the peak stays flat over
//    thousands of pictures.
//  - the largest blocks, a progressive JPEG's coefficients (up to hundreds
//    of megabytes), live in one region the pictures share (workbuffer.h);
//    it is as large as the most one picture needed, which the peak already
//    held, and the memory budget counts it.
//  - at the end of a run releaseFreeMemory() gives all of it back.
void initPictureProcess()
{
    // Qt refuses pictures over 128 MB decoded by default; a 12000 x 9000
    // photo needs 432 MB. Our own pixel bound guards against bombs.
    QImageReader::setAllocationLimit(1100);
    // A colour profile Qt cannot use is ignored (the pixels are taken as
    // sRGB); Qt's warning about it on standard error is noise, in a cron
    // job's mail too.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.icc.warning=false"));
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
#ifdef SIGXFSZ
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG and is
    // reported like a full disk, instead of killing the program mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

void releaseFreeMemory()
{
    releaseIdleWorkBuffers();
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
