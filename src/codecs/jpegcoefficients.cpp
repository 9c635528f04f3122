#include "jpegcoefficients.h"
#include <algorithm>
#include <cstring>
extern "C" {
#include <jerror.h>
}

// libjpeg's virtual arrays are opaque to it: any structure will do.
struct JpegCoefficients::Array {
    JBLOCKARRAY rows = nullptr;   // null until realized
    JDIMENSION rowCount = 0;
    JDIMENSION blocksPerRow = 0;
    JDIMENSION maxAccess = 0;
    JDIMENSION zeroed = 0;        // rows from the top that were zeroed
    Array *next = nullptr;
};

namespace {
JpegCoefficients &of(j_common_ptr info)
{
    return *static_cast<JpegCoefficients *>(info->client_data);
}
}

void JpegCoefficients::attach(jpeg_decompress_struct &info)
{
    info.client_data = this;
    m_realizeOthers = info.mem->realize_virt_arrays;
    info.mem->request_virt_barray = request;
    info.mem->realize_virt_arrays = realize;
    info.mem->access_virt_barray = access;
}

jvirt_barray_ptr JpegCoefficients::request(j_common_ptr info, int pool, boolean, JDIMENSION blocksPerRow,
                                           JDIMENSION rows, JDIMENSION maxAccess)
{
    if (pool != JPOOL_IMAGE)
        ERREXIT1(info, JERR_BAD_POOL_ID, pool);
    auto *array = static_cast<Array *>((*info->mem->alloc_small)(info, JPOOL_IMAGE, sizeof(Array)));
    JpegCoefficients &self = of(info);
    *array = {nullptr, rows, blocksPerRow, maxAccess, 0, self.m_requested};
    self.m_requested = array;
    return reinterpret_cast<jvirt_barray_ptr>(array);
}

void JpegCoefficients::realize(j_common_ptr info)
{
    JpegCoefficients &self = of(info);
    self.m_realizeOthers(info);
    if (!self.m_requested)
        return;
    size_t total = 0, widest = 0;
    for (const Array *a = self.m_requested; a; a = a->next) {
        const size_t row = size_t(a->blocksPerRow) * sizeof(JBLOCK);
        const size_t bytes = row * a->rowCount;
        if (a->rowCount && bytes / a->rowCount != row)
            ERREXIT1(info, JERR_OUT_OF_MEMORY, 11);
        total += bytes;
        if (total < bytes)
            ERREXIT1(info, JERR_OUT_OF_MEMORY, 11);
        widest = std::max(widest, row);
    }
    if (!self.m_buffer.reserve(total, widest))
        ERREXIT1(info, JERR_OUT_OF_MEMORY, 4);
    for (Array *a = self.m_requested; a; a = a->next) {
        a->rows = static_cast<JBLOCKARRAY>((*info->mem->alloc_small)(info, JPOOL_IMAGE, a->rowCount * sizeof(JBLOCKROW)));
        for (JDIMENSION r = 0; r < a->rowCount; ++r) {
            a->rows[r] = static_cast<JBLOCKROW>(self.m_buffer.piece(a->blocksPerRow * sizeof(JBLOCK)));
            if (!a->rows[r])
                ERREXIT1(info, JERR_OUT_OF_MEMORY, 4);
        }
    }
    // The arrays go with the image's pool; a later image requests its own.
    self.m_requested = nullptr;
}

JBLOCKARRAY JpegCoefficients::access(j_common_ptr info, jvirt_barray_ptr handle, JDIMENSION first, JDIMENSION count,
                                     boolean)
{
    Array *array = reinterpret_cast<Array *>(handle);
    if (!array->rows || count > array->maxAccess || first > array->rowCount || count > array->rowCount - first)
        ERREXIT(info, JERR_BAD_VIRTUAL_ACCESS);
    // Every coefficient starts at zero, as in libjpeg's own arrays: the ones
    // a file does not deliver must not come from the last picture. Zeroed
    // as the decoder reaches them, as libjpeg does, so a fresh block is
    // filled no faster than the decoding goes.
    for (; array->zeroed < first + count; ++array->zeroed)
        std::memset(array->rows[array->zeroed], 0, array->blocksPerRow * sizeof(JBLOCK));
    return array->rows + first;
}
