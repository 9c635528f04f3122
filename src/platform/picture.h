#pragma once
#include "failure.h"
#include "filebytes.h"
#include "jpegdecode.h"
#include "pictureheaders.h"
#include <QImage>
#include <QSize>
#include <QString>

// One picture file (BMP, GIF or JPEG, decided by its content). The header is
// read when the reader is made, so the natural size costs no decoding, and
// a header that declares more than we will decode, or data that could not
// possibly fill the picture, fails right there. decode() then decodes once,
// at reduced size where the format allows.
class PictureReader {
public:
    explicit PictureReader(const QString &path);

    bool isValid() const { return !m_failure.failed(); }
    const Failure &failure() const { return m_failure; }

    // Natural size in pixels with the EXIF orientation applied.
    QSize naturalSize() const { return m_size; }

    // Decodes the picture: oriented, in sRGB, as RGB32 or premultiplied
    // ARGB32. Every pixel comes from the file or is transparent. With a
    // hint, a JPEG is decoded at the smallest DCT scale that keeps at least
    // `atLeast` pixels in each direction. A null image means failure().
    QImage decode(QSize atLeast = QSize());

    // An upper bound of the bytes decode(atLeast) holds at its peak, known
    // from the header alone: the decoded image at the scale that hint
    // chooses (the whole picture for GIF and BMP), the decoder's own buffers
    // (a progressive JPEG keeps coefficients for every block of the picture,
    // whatever the scale), any second copy that orienting or converting the
    // image makes, and the file's bytes when it could not be mapped and had
    // to be read into memory. 0 for a reader that is not valid.
    qint64 decodeBytes(QSize atLeast = QSize()) const;

    // Largest picture we will decode, in pixels: 12000 x 9000 photos load, a
    // header that declares gigapixels (a decompression bomb) fails cleanly.
    static constexpr qint64 MaxPixels = 16384LL * 16384LL;

private:
    int jpegDenominator(QSize atLeast) const;

    FileBytes m_file;
    PictureFormat m_format = PictureFormat::Unknown;
    JpegHeader m_jpeg;
    GifLayout m_gif;
    BmpHeader m_bmp;
    QSize m_size;             // oriented
    Failure m_failure;
};

// Whether a path names an existing ordinary file (folders count as missing).
bool isOrdinaryFile(const QString &path);
