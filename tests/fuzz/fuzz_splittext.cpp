// SplitText's pieces, joined again, give back the text (less one trailing
// delimiter), and there is always at least one piece.
#include "thumbs/splittext.h"
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QString delimiter = QString::fromUtf8(reinterpret_cast<const char *>(data), size > 1 ? 1 + data[0] % 2 : 1);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const QStringList pieces = SplitText(text, delimiter);
    if (pieces.isEmpty())
        __builtin_trap();
    QString joined = pieces.join(delimiter);
    if (joined != text && joined + delimiter != text && !(text.isEmpty() && joined.isEmpty()))
        if (!(delimiter.isEmpty() || text.endsWith(delimiter)))
            __builtin_trap();
    return 0;
}
