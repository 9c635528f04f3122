#pragma once
#include "failure.h"
#include <QImage>
#include <QImageReader>
#include <QSize>
#include <QString>
#include <memory>

// One picture file (BMP, GIF or JPEG, decided by its content). The header is
// read when the reader is made, so the natural size costs no decoding; decode()
// then decodes once, at reduced size where the format allows.
class PictureReader {
public:
    explicit PictureReader(const QString &path);
    ~PictureReader();

    bool isValid() const { return !m_failure.failed(); }
    const Failure &failure() const { return m_failure; }

    // Natural size in pixels with the EXIF orientation applied.
    QSize naturalSize() const { return m_size; }

    // Decodes the picture: oriented, in sRGB, as RGB32 or premultiplied ARGB32.
    // With a hint, a JPEG is decoded at the smallest DCT scale that keeps at
    // least `atLeast` pixels in each direction. A null image means failure().
    QImage decode(QSize atLeast = QSize());

    // How many decodes this process has made; lets tests prove "decode once".
    static quint64 decodeCount();

    // Largest picture we will decode, in pixels: 12000 x 9000 photos load, a
    // header that declares gigapixels (a decompression bomb) fails cleanly.
    static constexpr qint64 MaxPixels = 16384LL * 16384LL;

private:
    QImage readJpeg(int denom);
    bool gifComplete();

    std::unique_ptr<QImageReader> m_reader;
    QSize m_rawSize;          // as stored, before orientation
    QSize m_size;             // oriented
    bool m_swapAxes = false;
    Failure m_failure;
};

// Whether a path names an existing ordinary file (folders count as missing).
bool isOrdinaryFile(const QString &path);
