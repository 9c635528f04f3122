#pragma once
#include <QImage>
#include <QSize>
#include <vector>

// Shrinks a picture while a decoder delivers it row by row, each output
// pixel the average of the source area it covers (fractions of pixels
// included, so the picture keeps its exact geometry), so formats without a
// scaled decode of their own never hold the whole picture. Like a JPEG's
// DCT scaling, it is the first, rough step; the proper resampling to the
// thumbnail's size comes after.
class RowReducer {
public:
    // The size to shrink to for a decode of at least `atLeast` pixels each
    // way: the picture's proportions, at least `atLeast`, or the source
    // itself when that is not half its size or less (averaging areas is
    // too soft a filter for small reductions; the resampling does better).
    static QSize reducedSize(QSize source, QSize atLeast);
    // Bytes a reducer to `target` holds: the image and its rows of sums.
    static qint64 bytes(QSize source, QSize target);

    // `format` is RGB32 or ARGB32_Premultiplied. isNull() when there was no
    // memory for it.
    RowReducer(QSize source, QSize target, QImage::Format format);
    bool isNull() const { return m_image.isNull(); }

    // Where the caller puts the next row of the source, as `format`.
    QRgb *nextRow();
    // Takes the row that nextRow() received.
    void rowDone();
    // The picture so far: complete once every source row was taken.
    QImage take() { return std::move(m_image); }

private:
    void emitRow();

    QSize m_source;
    QImage m_image;
    int m_row = 0;                   // source rows taken
    int m_out = 0;                   // output rows finished
    std::vector<QRgb> m_in;          // one source row, when shrinking
    // Down first: per source column and channel (in memory order), the sum
    // of the whole rows of the output row in hand as integers, and the
    // shares of rows that straddle its edges, for it and for the next.
    std::vector<quint32> m_whole;
    std::vector<float> m_part, m_nextPart;
    bool m_haveWhole = false, m_havePart = false, m_haveNext = false;
    // Then across, once an output row is complete: per source column the
    // output pixel it starts in, and the share of it that falls there (the
    // rest goes to the next).
    std::vector<int> m_column;
    std::vector<float> m_weight;
};
