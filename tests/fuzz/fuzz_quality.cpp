// The quality box's rule always yields a number it would leave alone, and
// the encoder always gets 1..100.
#include "thumbs/quality.h"
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (bool typing : {true, false}) {
        const auto once = normalisedQuality(text, typing);
        if (!once)
            continue;
        bool ok = false;
        const int v = once->toInt(&ok);
        if (!ok || v > 100 || v == 0 || v < -32768)
            __builtin_trap();
        if (normalisedQuality(*once, typing) != once)
            __builtin_trap();
    }
    const int q = encoderQuality(text);
    if (q < 1 || q > 100)
        __builtin_trap();
    return 0;
}
