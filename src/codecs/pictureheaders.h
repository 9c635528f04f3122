#pragma once
#include <QByteArrayView>
#include <QDateTime>
#include <QRect>
#include <QSize>
#include <QtGlobal>

// What a picture file's own bytes say about it, read without decoding. Pure
// functions over a byte buffer: nothing here allocates in proportion to what
// a header declares, so every claim is checked before a decoder trusts it,
// and each can be fuzzed on its own.

// Signatures: the format is the one its bytes say, whatever the file's name says.
bool hasGifSignature(const uchar *data, qint64 size);
bool hasBmpSignature(const uchar *data, qint64 size);

struct BmpHeader {
    bool valid = false;      // a header we can decode
    QSize size;              // pixels; stored height made positive
    bool topDown = false;    // rows stored from the top (negative height)
    int bitsPerPixel = 0;
    int compression = 0;     // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    qint64 dataOffset = 0;   // where the pixel data starts
    qint64 paletteOffset = 0;
    int paletteEntries = 0;  // as declared (at most 256)
    int paletteEntrySize = 4; // 3 in the old OS/2 header

    bool isRle() const { return compression == 1 || compression == 2; }
};

BmpHeader readBmpHeader(const uchar *data, qint64 size);

// Whether the pixel data lies (partly) outside the file: uncompressed data
// must be there in full, RLE data must at least start inside it. RLE data
// may leave pixels unset (they are transparent), but a picture of more than
// SparseRlePixels whose data could not even set every pixel (a 2-byte run
// sets at most 255) is a few bytes claiming a huge, empty picture.
bool bmpPixelsMissing(const BmpHeader &header, qint64 fileSize);
constexpr qint64 SparseRlePixels = 4096LL * 4096LL;

// The first frame of a GIF as its block structure describes it.
struct GifLayout {
    bool valid = false;      // header, screen and a first image descriptor read
    QSize screen;            // the logical screen, as declared
    QRect frame;             // the first frame: offset and size
    bool interlaced = false;
    bool complete = false;   // its data sub-blocks end inside the file
    int codeSize = 0;        // LZW minimum code size
    qint64 dataBytes = 0;    // LZW bytes of the first frame

    // The picture's size: the logical screen; a screen side of 0 (a damaged
    // header) takes the frame's side, the frame then starts at 0 there.
    QSize pictureSize() const;
    // Where the frame lies in the picture.
    QRect framePlacement() const;
    // Whether `dataBytes` of LZW codes could fill the frame at all. One code
    // stands for at most 4096 pixels, and codes are at least codeSize + 1
    // bits wide, so a few bytes of data cannot make a frame of millions of
    // pixels: such a file is refused before anything is allocated for it.
    bool dataCanFillFrame() const;
};

GifLayout readGifLayout(const uchar *data, qint64 size);

// What a picture's EXIF data says, from one walk of its IFD0 and Exif IFD.
struct ExifInfo {
    int orientation = 1; // 1..8; 1 when there is none
    // DateTimeOriginal, else DateTime, in local time unless an OffsetTime tag
    // gives the zone; invalid when there is none or it is not a real date.
    QDateTime taken;
    // What in IFD0 tells a camera's raw file from a picture: DNGVersion,
    // SubIFDs (where Nikon, Sony and Pentax keep the sensor data), Make.
    bool dngVersion = false;
    bool subIfds = false;
    QByteArrayView make;
};

// From the payload of a JPEG APP1 segment holding EXIF data ("Exif\0\0" and
// a TIFF structure).
ExifInfo readExif(const uchar *data, qint64 size);
// From EXIF data as PNG, WebP and HEIF keep it, or a TIFF file itself: the
// TIFF structure, with or without the "Exif\0\0" in front.
ExifInfo readTiffExif(const uchar *data, qint64 size);
// An EXIF date "YYYY:MM:DD HH:MM:SS" with an optional offset "+HH:MM";
// invalid when malformed or not a real date ("0000:00:00 00:00:00").
QDateTime exifDate(QByteArrayView text, QByteArrayView offset = {});
