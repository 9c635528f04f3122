#pragma once
#include "pixels/workbuffer.h"
#include <cstdio>
extern "C" {
#include <jpeglib.h>
}

// A progressive (or otherwise multi-scan) JPEG keeps coefficients for every
// block of the picture while it decodes: tens of megabytes for a photo,
// which libjpeg would take fresh from the system and zero for every file.
// Attached to a decompressor, its whole-picture arrays live in a work buffer
// instead (workbuffer.h), zeroed as libjpeg's are, so nothing a file leaves
// out comes from the picture before it.
//
// Declare it before the decode's setjmp() so it outlives a failed decode,
// and attach it right after jpeg_create_decompress().
class JpegCoefficients {
public:
    void attach(jpeg_decompress_struct &info);

    struct Array;

private:
    static jvirt_barray_ptr request(j_common_ptr info, int pool, boolean preZero, JDIMENSION blocksPerRow,
                                    JDIMENSION rows, JDIMENSION maxAccess);
    static void realize(j_common_ptr info);
    static JBLOCKARRAY access(j_common_ptr info, jvirt_barray_ptr array, JDIMENSION first, JDIMENSION count,
                              boolean writable);

    WorkBuffer m_buffer;
    Array *m_requested = nullptr;   // not yet realized
    void (*m_realizeOthers)(j_common_ptr) = nullptr;
};
