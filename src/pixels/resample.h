#pragma once
#include <QImage>
#include <QSize>

// Resamples to exactly `size` pixels with a Lanczos-3 kernel (sharper than
// Qt's smooth scaling, which is a box filter when shrinking). Alpha is handled
// premultiplied. Returns RGB32 or premultiplied ARGB32 like its input.
QImage resampleTo(const QImage &source, QSize size);

// Whether the kernels for wider vectors (AVX2) may be used, where the
// processor has them (they are by default); whether they now are. Their
// pixels are the same: tests compare the two.
bool allowWideVectors(bool allow);
