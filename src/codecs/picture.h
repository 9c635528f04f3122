#pragma once
#include "files/failure.h"
#include "files/filebytes.h"
#include "loaders.h"
#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

// One picture file, in any format of the loader table, decided by its
// content. The header is
// read when the reader is made, so the natural size costs no decoding, and
// a header that declares more than we will decode, or data that could not
// possibly fill the picture, fails right there. decode() then decodes once,
// at reduced size where the format allows.
class PictureReader {
public:
    explicit PictureReader(const QString &path);

    bool isValid() const { return !m_failure.failed(); }
    // Why not, its reason in a few words ("för stor: 70000 × 70000"); each
    // failure is also in the tumbilder.run trace with the loader chosen.
    const Failure &failure() const { return m_failure; }

    // Natural size in pixels with the EXIF orientation applied.
    QSize naturalSize() const { return m_size; }

    // When the picture was taken, as its header says (EXIF DateTimeOriginal
    // or DateTime, or the same kept in a HEIF, PNG, WebP or TIFF file): local
    // time unless the file gives the offset. Invalid when it says nothing.
    QDateTime dateTaken() const { return m_taken; }

    // A film (its picture is a poster frame), and its length in milliseconds
    // (0 when the film does not say).
    bool isFilm() const { return m_film; }
    qint64 filmLength() const { return m_filmLength; }

    // Decodes the picture: oriented, in sRGB, as RGB32 or premultiplied
    // ARGB32. Every pixel comes from the file or is transparent. With a
    // hint, the picture is decoded at the smallest size its format allows
    // that keeps at least `atLeast` pixels in each direction (a JPEG at its
    // DCT scales). A null image means failure().
    QImage decode(QSize atLeast = QSize());
    // Lets decode() and decodeBytes() use more of the scales the format has
    // than halvings (a JPEG at 3/4 too): for a picture that is made at about
    // the size asked, as a viewing copy is.
    void allowFineScales()
    {
        if (m_decoder)
            m_decoder->allowFineScales();
    }

    // An upper bound of the bytes decode(atLeast) holds at its peak, known
    // from the header alone: the decoded image at the size that hint
    // chooses, the decoder's own buffers (a progressive JPEG keeps
    // coefficients for every block of the picture, whatever the scale), any
    // second copy that orienting the image makes, and the file's bytes when
    // it could not be mapped and had to be read into memory. 0 for a reader
    // that is not valid.
    qint64 decodeBytes(QSize atLeast = QSize()) const;

    static constexpr qint64 MaxPixels = PictureMaxPixels;

private:
    // A size in view axes as the decoder's stored axes.
    QSize stored(QSize viewed) const { return m_orientation >= 5 ? viewed.transposed() : viewed; }

    void fail(const Failure &failure);

    QString m_path;
    FileBytes m_file;
    const PictureLoader *m_loader = nullptr;
    std::unique_ptr<PictureDecoder> m_decoder;
    int m_orientation = 1;
    QSize m_size;             // oriented
    QDateTime m_taken;
    bool m_film = false;
    qint64 m_filmLength = 0;
    Failure m_failure;
};

// The date a picture is ordered and captioned by: the date taken, else the
// file's last modification (local time); invalid only for a file that is
// gone. Costs no more than a look at the file's times.
QDateTime pictureDate(const PictureReader &reader, const QString &path);
