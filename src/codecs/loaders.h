#pragma once
#include "decodedimage.h"
#include <QDateTime>
#include <QSize>
#include <QStringList>
#include <memory>
#include <vector>

// Every picture format we read is one loader: its file names, its
// signature, and a decoder that reads the header before anything else.
// Adding a format is one file, <name>reader.cpp defining <name>Loader, and
// its name in the list of readers in CMakeLists.txt, which makes the table.
// The help text is made from the table; the desktop entry, the metainfo and
// the manual page are checked against it.

// Largest picture we will decode, in pixels: 12000 x 9000 photos load, a
// header that declares gigapixels (a decompression bomb) fails cleanly.
constexpr qint64 PictureMaxPixels = 16384LL * 16384LL;

// What a picture's header says, read without decoding its pixels.
struct PictureHeader {
    QSize size;               // as stored; empty when the file is no picture of this format
    int orientation = 1;      // EXIF orientation 1..8, applied after decoding
    qint64 workPixels = 0;    // pixels the decoder works through beyond the picture's own
    bool dataMissing = false; // the pixel data cannot be in the file: refused before decoding
    QDateTime taken;          // when the picture was taken, as its metadata says; invalid when it does not
    Failure refused;          // a picture of this format we will not decode, and why
    bool film = false;        // a film: its poster frame is the picture
    qint64 filmLength = 0;    // a film's length in milliseconds; 0 when it does not say
};

// One file's decoder. readHeader() comes first, once; sizes passed later
// are in stored axes (before orientation), an invalid size meaning the
// whole picture.
class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;

    // Reads the header from the whole file. Allocates nothing in proportion
    // to what the header declares.
    virtual PictureHeader readHeader(const uchar *data, qint64 size) = 0;
    // The size decode(atLeast) gives: the smallest the format can decode at
    // that keeps at least `atLeast` pixels each way, or the whole picture.
    virtual QSize decodedSize(QSize atLeast) const = 0;
    // An upper bound of the bytes decode(atLeast) holds at its peak, the
    // decoded image included.
    virtual qint64 decodeBytes(QSize atLeast) const = 0;
    // Decodes at decodedSize(atLeast), not oriented, as RGB32 or (premultiplied)
    // ARGB32 carrying the embedded colour profile as its colour space. Damaged
    // data is a failure, never half a picture.
    virtual DecodedImage decode(const uchar *data, qint64 size, QSize atLeast) = 0;
    // From now on finer scales than halvings will do, where the format has
    // them: for a picture made at about `atLeast` (a viewing copy), not one
    // reduced a good deal further.
    virtual void allowFineScales() {}
};

struct PictureLoader {
    const char *name;        // for people: "JPEG"
    const char *extensions;  // lower case, separated by blanks: "jpg jpeg"
    const char *mimeTypes;   // separated by blanks: "image/jpeg"
    const char *shownAs;     // what users call its files, separated by blanks: "JPG"
    bool (*matches)(const uchar *data, qint64 size); // the signature
    std::unique_ptr<PictureDecoder> (*make)();
};

// Whether a picture stored at a smaller size (a thumbnail, a reduced page)
// has the proportions of one of `whole`: each side may be a pixel or two off
// by rounding (encoders make sides even, pyramids halve and round).
inline bool sameProportions(QSize small, QSize whole)
{
    return small.width() > 0 && small.height() > 0
           && qAbs(qint64(small.width()) * whole.height() - qint64(small.height()) * whole.width())
                  <= 2 * qint64(qMax(whole.width(), whole.height()));
}

// Of a picture `whole` and the copies a file stores of it reduced (each
// with a `size`), the smallest that has `atLeast` pixels each way; `whole`
// when none has, or when the whole picture is asked for.
template <class Stored>
const Stored &smallestAtLeast(const Stored &whole, const std::vector<Stored> &reduced, QSize atLeast)
{
    const Stored *best = &whole;
    if (atLeast.isValid())
        for (const Stored &r : reduced)
            if (r.size.width() >= atLeast.width() && r.size.height() >= atLeast.height()
                && r.size.width() < best->size.width())
                best = &r;
    return *best;
}

// A row's `make`: a fresh decoder of that kind for each picture.
template <class Decoder>
std::unique_ptr<PictureDecoder> makeDecoder()
{
    return std::make_unique<Decoder>();
}

// The decoder of a format that decodes whole pictures only (BMP, GIF): the
// format's functions read its layout from the header once, tell the memory
// a decode holds and decode.
template <class Layout, PictureHeader (*readLayout)(const uchar *, qint64, Layout &),
          qint64 (*peakBytes)(const Layout &), DecodedImage (*decodeWhole)(const uchar *, qint64, const Layout &)>
class WholePictureDecoder : public PictureDecoder {
public:
    PictureHeader readHeader(const uchar *data, qint64 size) override
    {
        const PictureHeader header = readLayout(data, size, m_layout);
        m_size = header.size;
        return header;
    }
    QSize decodedSize(QSize) const override { return m_size; }
    qint64 decodeBytes(QSize) const override { return peakBytes(m_layout); }
    DecodedImage decode(const uchar *data, qint64 size, QSize) override { return decodeWhole(data, size, m_layout); }

private:
    Layout m_layout;
    QSize m_size;
};

// The loader whose signature the bytes have, or null.
const PictureLoader *loaderFor(const uchar *data, qint64 size);

// Every extension a picture we read may have, lower case, in table order.
const QStringList &pictureExtensions();
// Every MIME type of a picture we read, in table order.
QStringList pictureMimeTypes();
// Whether a file is named as a camera's raw file is: no browser shows one.
bool isCameraRaw(const QString &file);
// The extensions of the films among them.
const QStringList &filmExtensions();
// The formats we read as users know them ("JPG", "HEIC"), in table order.
QStringList pictureFormatNames();
