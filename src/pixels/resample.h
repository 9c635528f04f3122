#pragma once
#include <QImage>
#include <QSize>

// Resamples to exactly `size` pixels with a Lanczos-3 kernel (sharper than
// Qt's smooth scaling, which is a box filter when shrinking). Alpha is handled
// premultiplied. Returns RGB32 or premultiplied ARGB32 like its input.
QImage resampleTo(const QImage &source, QSize size);
