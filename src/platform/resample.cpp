#include "resample.h"
#include <stb/stb_image_resize.h>

QImage resampleTo(const QImage &source, QSize size)
{
    if (source.isNull() || size.isEmpty())
        return {};
    const bool alpha = source.hasAlphaChannel();
    const QImage src = source.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (src.size() == size)
        return src;
    QImage out(size, src.format());
    if (out.isNull())
        return {};
    // Both layouts are 4 bytes a pixel with alpha (or the unused byte) last
    // on little-endian machines; premultiplied data needs no extra alpha care.
    const int ok = stbir_resize_uint8_generic(
        src.constBits(), src.width(), src.height(), int(src.bytesPerLine()),
        out.bits(), out.width(), out.height(), int(out.bytesPerLine()),
        4, alpha ? 3 : STBIR_ALPHA_CHANNEL_NONE, alpha ? STBIR_FLAG_ALPHA_PREMULTIPLIED : 0,
        STBIR_EDGE_CLAMP, STBIR_FILTER_CATMULLROM, STBIR_COLORSPACE_LINEAR, nullptr);
    if (!ok)
        return {};
    // The kernel's negative lobes may push a channel past its alpha; clamp so
    // premultiplied data stays valid, and keep RGB32's unused byte opaque.
    for (int y = 0; y < out.height(); ++y) {
        auto *p = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (!alpha) {
                p[x] |= 0xff000000u;
                continue;
            }
            const int a = qAlpha(p[x]);
            p[x] = qRgba(qMin(qRed(p[x]), a), qMin(qGreen(p[x]), a), qMin(qBlue(p[x]), a), a);
        }
    }
    return out;
}
