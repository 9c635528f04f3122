#pragma once
#include "decodedimage.h"
#include <QDateTime>
#include <QSize>

// JPEG decoding with libjpeg itself rather than through QImageReader: Qt's
// scaled read picks the scale (M+1)/8 for sizes that 1/d does not divide and
// then smooth-scales the result, which is slower and softer than the plain
// 1/2, 1/4 or 1/8 DCT scaling we want. It also hides damage: a truncated file
// comes back as a picture with a grey lower part.

// What a JPEG's header says, read without decoding any pixels.
struct JpegHeader {
    bool valid = false;
    QSize size;                  // as stored, before orientation
    int orientation = 1;         // EXIF orientation, 1..8
    QDateTime taken;             // the EXIF date taken; invalid when there is none
    int components = 0;
    qint64 paddedWidth = 0;      // the width rounded up to whole MCUs
    // Coefficient buffers for the whole picture, which a progressive (or
    // otherwise multi-scan) file needs whatever the scale: 128 bytes a block.
    qint64 coefficientBytes = 0;
    qint64 markerBytes = 0;      // the EXIF and ICC segments, kept while decoding

    // What the decoder holds besides the image and the coefficients: row
    // buffers, tables and the kept segments (an upper bound).
    qint64 workingBytes() const;
};

JpegHeader readJpegHeader(const uchar *data, qint64 size);

// The most scans a file may have. A progressive file has about 10; each scan
// is a pass over its components' blocks, so a file that repeats a scan
// thousands of times (a few bytes each) keeps the decoder busy for minutes.
// libjpeg-turbo's own tools stop at 500, but a scan of a 27-megapixel
// picture costs about 5 ms, so 500 of them still take seconds; 100 is ten
// times what encoders write and is refused in a fraction of a second.
constexpr int MaxJpegScans = 100;

// The pixel size of a decode at eighths/8 (libjpeg rounds up).
QSize jpegScaledSize(QSize size, int eighths);

// Decodes at eighths/8 (1 to 8: libjpeg's scaled inverse DCT) into an RGB32 image that carries the
// embedded colour profile as its colour space; the orientation is not
// applied. Damaged data, a file of more than MaxJpegScans scans and a size
// beyond `maxPixels` are failures, never a half picture.
DecodedImage decodeJpeg(const uchar *data, qint64 size, int eighths, qint64 maxPixels);
