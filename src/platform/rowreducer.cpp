#include "rowreducer.h"
#include <algorithm>
#include <cmath>
#include <new>

QSize RowReducer::reducedSize(QSize source, QSize atLeast)
{
    if (!atLeast.isValid() || source.isEmpty())
        return source;
    const qint64 w = source.width(), h = source.height();
    const qint64 aw = qMax(1, atLeast.width()), ah = qMax(1, atLeast.height());
    if (w < 2 * aw || h < 2 * ah)
        return source;
    // The picture's proportions, at least `atLeast` each way.
    return QSize(int(qMin(w, qMax(aw, (w * ah + h - 1) / h))), int(qMin(h, qMax(ah, (h * aw + w - 1) / w))));
}

qint64 RowReducer::bytes(QSize source, QSize target)
{
    const qint64 image = qint64(target.width()) * target.height() * 4;
    if (target == source)
        return image;
    return image + qint64(source.width()) * (4 + 4 + 4) + qint64(target.width()) * 4 * 4 * 3;
}

RowReducer::RowReducer(QSize source, QSize target, QImage::Format format) : m_source(source)
{
    QImage image(target, format);
    if (image.isNull() || target.width() > source.width() || target.height() > source.height())
        return;
    if (target != source) {
        try {
            m_in.resize(size_t(source.width()));
            m_column.resize(size_t(source.width()));
            m_weight.resize(size_t(source.width()));
            m_row1.resize(size_t(target.width()) * 4);
            m_sums.assign(size_t(target.width()) * 4 * 2, 0.0f);
        } catch (const std::bad_alloc &) {
            return;
        }
        // Output pixel i covers source columns [i * scale, (i + 1) * scale).
        const double scale = double(source.width()) / target.width();
        for (int c = 0; c < source.width(); ++c) {
            const int i = qMin(int(c / scale), target.width() - 1);
            const double end = (i + 1) * scale;
            m_column[size_t(c)] = i;
            m_weight[size_t(c)] = float(qBound(0.0, end - c, 1.0));
        }
    }
    m_image = std::move(image);
}

QRgb *RowReducer::nextRow()
{
    if (m_in.empty())
        return reinterpret_cast<QRgb *>(m_image.scanLine(qMin(m_row, m_source.height() - 1)));
    return m_in.data();
}

void RowReducer::rowDone()
{
    if (m_row >= m_source.height())
        return;
    const int y = m_row++;
    if (m_in.empty())
        return;
    // Across: each source pixel into the one or two output pixels it overlaps.
    const int width = m_image.width();
    std::fill(m_row1.begin(), m_row1.end(), 0.0f);
    for (int c = 0; c < m_source.width(); ++c) {
        const QRgb p = m_in[size_t(c)];
        const float channel[4] = {float(qBlue(p)), float(qGreen(p)), float(qRed(p)), float(qAlpha(p))};
        const int i = m_column[size_t(c)];
        const float a = m_weight[size_t(c)], b = 1.0f - a;
        float *first = m_row1.data() + size_t(i) * 4;
        for (int k = 0; k < 4; ++k)
            first[k] += channel[k] * a;
        if (b > 0 && i + 1 < width)
            for (int k = 0; k < 4; ++k)
                first[4 + k] += channel[k] * b;
    }
    // Down: the same with the row, between the output row in hand and the next.
    const double scale = double(m_source.height()) / m_image.height();
    const double end = (m_out + 1) * scale;
    const float a = float(qBound(0.0, end - y, 1.0)), b = 1.0f - a;
    float *current = m_sums.data(), *next = current + size_t(width) * 4;
    for (size_t k = 0; k < size_t(width) * 4; ++k) {
        current[k] += m_row1[k] * a;
        next[k] += m_row1[k] * b;
    }
    if (m_row >= end - 1e-9 || m_row == m_source.height())
        emitRow();
}

void RowReducer::emitRow()
{
    if (m_out >= m_image.height())
        return;
    const int width = m_image.width();
    const float area = float(double(m_source.width()) / width * (double(m_source.height()) / m_image.height()));
    auto *line = reinterpret_cast<QRgb *>(m_image.scanLine(m_out));
    float *current = m_sums.data(), *next = current + size_t(width) * 4;
    auto value = [area](float sum) { return qBound(0, int(std::lround(sum / area)), 255); };
    for (int x = 0; x < width; ++x) {
        const float *s = current + size_t(x) * 4;
        const int alpha = value(s[3]);
        // Rounding must not leave a colour above its alpha (premultiplied).
        line[x] = qRgba(qMin(value(s[2]), alpha), qMin(value(s[1]), alpha), qMin(value(s[0]), alpha), alpha);
    }
    std::copy(next, next + size_t(width) * 4, current);
    std::fill(next, next + size_t(width) * 4, 0.0f);
    ++m_out;
}
