// One picture format's reader over any bytes, straight from memory: the
// header is probed, and a picture the memory budget lets through is decoded
// while every byte the process allocates is counted. A decoder that holds
// more than decodeBytes() announced, or whose header check lets a picture
// through that it then cannot honour, traps.
#include "codecs/loaders.h"
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <sanitizer/allocator_interface.h>

extern const PictureLoader FUZZ_LOADER;

namespace {
// What the budget lets one small fuzzing input decode; larger ones are
// refused, as a run would hold them back.
constexpr qint64 BudgetBytes = 16 << 20;
constexpr qint64 WorkPixels = 4 << 20;

std::atomic<qint64> live{0}, peak{0};
std::atomic<bool> counting{false};

void onMalloc(const volatile void *, size_t size)
{
    if (!counting.load(std::memory_order_relaxed))
        return;
    const qint64 now = live.fetch_add(qint64(size), std::memory_order_relaxed) + qint64(size);
    qint64 high = peak.load(std::memory_order_relaxed);
    while (now > high && !peak.compare_exchange_weak(high, now, std::memory_order_relaxed)) {
    }
}

void onFree(const volatile void *p)
{
    if (counting.load(std::memory_order_relaxed))
        live.fetch_sub(qint64(__sanitizer_get_allocated_size(const_cast<const void *>(p))), std::memory_order_relaxed);
}
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!FUZZ_LOADER.matches(data, qint64(size)))
        return 0;
    const std::unique_ptr<PictureDecoder> decoder = FUZZ_LOADER.make();
    const PictureHeader header = decoder->readHeader(data, qint64(size));
    if (header.size.isEmpty() || header.refused.failed() || header.dataMissing
        || qint64(header.size.width()) * header.size.height() > PictureMaxPixels || header.workPixels > PictureMaxPixels)
        return 0;
    if (header.orientation < 1 || header.orientation > 8)
        __builtin_trap();
    // Instrumented, going through more pixels than this (an empty canvas of
    // 16384 x 16384 takes a few bytes) outlasts the timeout meant for hangs.
    const bool tooMuchWork = qint64(header.size.width()) * header.size.height() > WorkPixels;
    for (QSize hint : {QSize(48, 48), QSize()}) {
        const qint64 announced = decoder->decodeBytes(hint);
        if (announced <= 0)
            __builtin_trap();
        if (announced > BudgetBytes || tooMuchWork)
            continue;
        // Memory taken while decoding, the picture included: freed blocks
        // of earlier allocations count as negative, so only the rise is kept.
        live = 0;
        peak = 0;
        counting = true;
        DecodedImage decoded = decoder->decode(data, qint64(size), hint);
        counting = false;
        const qint64 used = peak.load();
        if (!decoded.image.isNull() && decoded.image.size() != decoder->decodedSize(hint))
            __builtin_trap();
        // Allocators round up and libraries keep a few small tables of their own.
        if (used > announced + (1 << 20)) {
            fprintf(stderr, "decoded %dx%d with %lld bytes, %lld announced\n", header.size.width(),
                    header.size.height(), (long long)used, (long long)announced);
            __builtin_trap();
        }
        return 0;
    }
    return 0;
}
