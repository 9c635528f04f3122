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
    // The row, its three sums and the column tables.
    return image + qint64(source.width()) * (4 + 16 * 3 + 8);
}

RowReducer::RowReducer(QSize source, QSize target, QImage::Format format) : m_source(source)
{
    QImage image(target, format);
    if (image.isNull() || target.width() > source.width() || target.height() > source.height())
        return;
    if (target != source) {
        const size_t samples = size_t(source.width()) * 4;
        try {
            m_in.resize(size_t(source.width()));
            m_whole.resize(samples);
            m_part.resize(samples);
            m_nextPart.resize(samples);
            m_column.resize(size_t(source.width()));
            m_weight.resize(size_t(source.width()));
        } catch (const std::bad_alloc &) {
            return;
        }
        // Output pixel i covers source columns [i * scale, (i + 1) * scale).
        const double scale = double(source.width()) / target.width();
        for (int c = 0; c < source.width(); ++c) {
            const int i = qMin(int(c / scale), target.width() - 1);
            m_column[size_t(c)] = i;
            m_weight[size_t(c)] = float(qBound(0.0, (i + 1) * scale - c, 1.0));
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
    // Output row m_out covers source rows [m_out * scale, (m_out + 1) * scale).
    // The first row into a sum sets it, so no sum is ever cleared.
    const double scale = double(m_source.height()) / m_image.height();
    const double end = (m_out + 1) * scale;
    const float a = float(qBound(0.0, end - y, 1.0));
    const uchar *__restrict in = reinterpret_cast<const uchar *>(m_in.data());
    const size_t n = m_whole.size();
    if (a == 1.0f) {
        quint32 *__restrict whole = m_whole.data();
        if (m_haveWhole) {
            for (size_t k = 0; k < n; ++k)
                whole[k] += in[k];
        } else {
            for (size_t k = 0; k < n; ++k)
                whole[k] = in[k];
        }
        m_haveWhole = true;
    } else {
        // A row straddling the edge: its share of this output row, the rest for the next.
        float *__restrict part = m_part.data();
        float *__restrict next = m_nextPart.data();
        const float b = 1.0f - a;
        for (size_t k = 0; k < n; ++k) {
            part[k] = (m_havePart ? part[k] : 0.0f) + float(in[k]) * a;
            next[k] = float(in[k]) * b;
        }
        m_havePart = m_haveNext = true;
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
    // Channels in memory order; rounding must not leave a colour above its
    // alpha (premultiplied).
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    constexpr int alphaAt = 3;
#else
    constexpr int alphaAt = 0;
#endif
    uchar *line = m_image.scanLine(m_out);
    // Across: output pixel i takes the columns that start in it, weighted,
    // and the rest of a column straddling its left edge.
    float carry[4] = {0, 0, 0, 0};
    int c = 0;
    for (int i = 0; i < width; ++i) {
        float sum[4] = {carry[0], carry[1], carry[2], carry[3]};
        carry[0] = carry[1] = carry[2] = carry[3] = 0;
        for (; c < m_source.width() && m_column[size_t(c)] == i; ++c) {
            const float w = m_weight[size_t(c)];
            float v[4];
            for (int k = 0; k < 4; ++k) {
                const size_t at = size_t(c) * 4 + size_t(k);
                v[k] = (m_haveWhole ? float(m_whole[at]) : 0.0f) + (m_havePart ? m_part[at] : 0.0f);
                sum[k] += v[k] * w;
            }
            if (w < 1.0f)
                for (int k = 0; k < 4; ++k)
                    carry[k] = v[k] * (1.0f - w);
        }
        const int alpha = qBound(0, int(std::lround(sum[alphaAt] / area)), 255);
        for (int k = 0; k < 4; ++k)
            line[i * 4 + k] = uchar(k == alphaAt ? alpha : qBound(0, int(std::lround(sum[k] / area)), alpha));
    }
    m_part.swap(m_nextPart);
    m_havePart = m_haveNext;
    m_haveWhole = m_haveNext = false;
    ++m_out;
}
