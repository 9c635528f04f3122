#pragma once
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <functional>

struct jpeg_compress_struct; // libjpeg's, for libjpegBytes

// Real picture files for the tests, made on the spot: Qt's own writers where
// they exist, libjpeg for what Qt cannot write (CMYK, very large pictures),
// and hand-written bytes for GIF and BMP so every variant is exactly the one
// intended. Everything is deterministic and small.
namespace TestPictures {

// Writes `bytes` to dir/name and returns the path (empty on failure).
QString writeFile(const QString &dir, const QString &name, const QByteArray &bytes);

// --- Photo-like content ------------------------------------------------------

// Smooth gradients, fine stripes and a checker (detail), a disc and a bar with
// hard edges. The same (size, seed) always gives the same pixels.
QImage photo(QSize size, int seed = 0);

// --- JPEG --------------------------------------------------------------------

// Baseline (or progressive) JPEG through Qt's writer, 4:2:0 like cameras.
QByteArray jpegBytes(const QImage &image, int quality = 90, bool progressive = false);
QString writeJpeg(const QString &dir, const QString &name, const QImage &image, int quality = 90,
                  bool progressive = false);
// The photo() content of `size`, written row by row with libjpeg, so even a
// 12000 x 9000 picture needs no full-size image in memory.
QString writeLargeJpeg(const QString &dir, const QString &name, QSize size, int quality = 75,
                       bool progressive = false);
// CMYK JPEG as Adobe writes it (Adobe marker, inverted samples), made from
// an RGB image by the naive conversion K = 1 - max(R,G,B).
QString writeCmykJpeg(const QString &dir, const QString &name, const QImage &rgb, int quality = 95);
// `image` compressed by libjpeg in memory: `samples` makes a pixel's
// `components` samples in `colourSpace` (a J_COLOR_SPACE), `setup` changes
// the compressor after the defaults and the quality.
QByteArray libjpegBytes(const QImage &image, int components, int colourSpace, int quality,
                        const std::function<void(QRgb, uchar *)> &samples,
                        const std::function<void(jpeg_compress_struct &)> &setup = {});

// The upright view of the orientation pictures: 64 x 48, grey, with a red
// block in the top-left, green top-right and blue bottom-left corner (16 px).
QImage orientationView();
// What a camera stores for EXIF orientation 1..8 so that `view` is seen
// (5..8 swap width and height). Pixel formulas straight from the EXIF rules.
QImage storedForOrientation(const QImage &view, int orientation);
// Inserts an EXIF APP1 segment with the orientation tag right after SOI.
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation);
// EXIF data (a little-endian TIFF structure): the orientation and the text tags
// not empty (each longer than 4 bytes), DateTime (0x0132) in IFD0, the others
// in an Exif IFD.
QByteArray exifTiff(int orientation, const QList<QPair<int, QByteArray>> &texts = {});
// Inserts an EXIF APP1 segment holding `tiff` right after SOI.
QByteArray withExif(const QByteArray &jpeg, const QByteArray &tiff);
// A JPEG that shows orientationView() when its orientation is honoured.
QString writeOrientedJpeg(const QString &dir, const QString &name, int orientation);
// Inserts an ICC profile as APP2 ICC_PROFILE segments after SOI.
QByteArray withIccProfile(const QByteArray &jpeg, const QByteArray &icc);
// A JPEG of `image` tagged with the Adobe RGB (1998) profile (not sRGB).
QString writeAdobeRgbJpeg(const QString &dir, const QString &name, const QImage &image);
// The first `keep` part (0..1) of a 320 x 240 photo JPEG.
QString writeTruncatedJpeg(const QString &dir, const QString &name, double keep = 0.5, bool progressive = false);
// A valid JPEG header through the start of scan, then random bytes, no EOI.
QString writeJpegHeaderWithGarbage(const QString &dir, const QString &name);
// A complete JPEG without its closing EOI marker (all pixel data present).
QString writeJpegWithoutEoi(const QString &dir, const QString &name, bool progressive);

// --- Files that are not pictures -------------------------------------------

QString writeEmptyFile(const QString &dir, const QString &name);
QString writeTextFile(const QString &dir, const QString &name);
// A PNG under whatever name is given (e.g. "bild.jpg").
QString writePng(const QString &dir, const QString &name, const QImage &image);

// --- GIF -----------------------------------------------------------------------

enum class GifKind { Plain, Interlaced, Animated, Transparent };
// A 40 x 30 GIF with a 16-colour pattern. `expected` receives the first
// frame as it must decode (ARGB32_Premultiplied for Transparent, where
// palette index 0 is transparent; the Animated second frame is one colour).
QByteArray gifBytes(GifKind kind, QImage *expected = nullptr);
QString writeGif(const QString &dir, const QString &name, GifKind kind, QImage *expected = nullptr);
// A GIF of `size` (screen and frame) with a 16-colour pattern, uncompressed.
QByteArray largeGifBytes(QSize size);
// A GIF whose logical screen declares 65535 x 65535 with a tiny frame, or
// (frameToo) whose frame also declares 65535 x 65535: a decompression bomb.
QByteArray gifBombBytes(bool frameToo);

// --- BMP -----------------------------------------------------------------------

enum class BmpKind { Bits1, Bits4, Bits8, Bits16, Bits24, Bits32, Rle8, Rle4, TopDown, Bits32ZeroAlpha, Bits32Alpha };
// A 37 x 23 bitmap (odd width, so rows need padding) with a pattern made
// from the kind's palette. `expected` receives the exact pixels (RGB32; for
// Bits16 the 5-bit channels widened as v << 3 | v >> 2). Bits32ZeroAlpha and
// Bits32Alpha have a V5 header with an alpha mask; the first has every alpha
// 0, which means "no alpha" (expected opaque), the second real transparency
// (expected as premultiplied ARGB32).
QByteArray bmpBytes(BmpKind kind, QImage *expected = nullptr);
QString writeBmp(const QString &dir, const QString &name, BmpKind kind, QImage *expected = nullptr);
// A 4- or 8-bit BMP of `size` in the 16 greys of rleGrey(), uncompressed
// or as RLE (runs of 8 pixels).
QByteArray largeBmpBytes(QSize size, int bits, bool rle);
// A 24-bit BMP header declaring 100000 x 100000 pixels and no pixel data.
QByteArray bmpBombBytes();

// --- PNG, WebP, HEIC, AVIF, TIFF, DNG ----------------------------------------------
// Made by each format's own library: libpng, libwebp, libheif (x265, aom;
// libavif for 10-bit AVIF), libtiff (DNG too: a camera's raw file of 16-bit
// RGGB sensor cells, made from the picture's colours as sRGB, in a SubIFD
// when IFD0 holds its preview).

enum class Format { Png, Webp, Heic, Avif, Tiff, Dng };

struct Encoding {
    int orientation = 1;     // EXIF orientation, as the format keeps it
    QByteArray icc;          // an embedded colour profile
    bool lossless = true;    // WebP, HEIF; TIFF: deflate instead of no compression
    int quality = 90;        // when lossy
    int bitDepth = 8;        // PNG and TIFF 16, HEIF 10
    bool grey = false;       // PNG
    bool palette = false;    // PNG, from the picture's own colours (at most 256)
    bool interlaced = false; // PNG
    bool animated = false;   // WebP: the picture, then a grey frame
    int tileSize = 0;        // TIFF: tiles of this size instead of strips
    int rowsPerStrip = 0;    // TIFF
    int pages = 1;           // TIFF: more pages after the picture, grey
    int preview = 0;         // DNG: a JPEG preview of 1/preview the picture's sides; 0 for none
    QByteArray taken;        // EXIF DateTimeOriginal; TIFF: its DateTime tag
    int thumbnail = 0;       // HEIF: a stored thumbnail this many pixels on its long side
    int thumbnailOrientation = 0; // HEIF: the thumbnail's own, if not the picture's; TIFF: the later pages'
    QSize reducedPage;       // TIFF: the picture stretched to this size in a page marked reduced, the next one
    bool reducedInSubIfd = false; // TIFF: that page a SubIFD of the first instead
};

// The picture as ARGB32, wholly transparent in a disc and with alpha 160
// over a band across it.
QImage withAlpha(const QImage &image);

// The picture (RGB32, or ARGB32 for one with alpha) in the format.
QByteArray encodePicture(Format format, const QImage &image, const Encoding &encoding = {});
QString writePicture(const QString &dir, const QString &name, Format format, const QImage &image,
                     const Encoding &encoding = {});
// The usual extension of the format's files: "png", "webp", "heic", "avif", "tif".
QString extension(Format format);
// A DNG of the picture; with `declared`, one whose sensor data declares that
// size and is not in the file.
QByteArray dngBytes(const QImage &image, const Encoding &encoding = {}, QSize declared = {});
// A file of the format whose header declares 100000 x 100000 pixels.
QByteArray hugeHeaderBytes(Format format);

// TIFFs that are not RGB at 8 or 16 bits: YCbCr with 2 x 2 subsampling, not
// compressed (48 x 32 grey); a white fax page of 8192 x 2048 in Group 4;
// 32-bit floating-point grey (8 x 8).
enum class TiffKind { YCbCr, Group4, Float };
QByteArray tiffBytes(TiffKind kind);
// A PNG with `chunks` zTXt chunks of 7 MB each once inflated.
QByteArray pngWithTextBytes(const QImage &image, int chunks);
// An AVIF whose brand says image sequence (avis), holding a still picture.
QByteArray avifSequenceBytes(const QImage &image);
// A HEIC whose primary image is a grid of one 64 x 64 tile declaring `declared`.
QByteArray heifGridBytes(QSize declared);

// --- Crafted files --------------------------------------------------------------
// What an attacker (or a broken tool) hands us: each aims at one decoder path.

// A progressive JPEG of `image` with its smallest AC refinement scan
// repeated `repeats` more times and a junk byte after SOI (so no 1/8
// shortcut can drop the repeats): each repeat costs the decoder a pass over
// every block of its component, for a few bytes of file.
QByteArray jpegRepeatedScanBytes(const QImage &image, int repeats, bool junkAfterSoi = true);
// A progressive JPEG of `image` cut after its first `keep` scans, with its EOI:
// a picture whose later scans are missing.
QByteArray jpegFirstScansBytes(const QImage &image, int keep);

// A GIF whose 40 x 30 screen holds a 16 x 10 first frame at (8, 6); `expected`
// is the screen with the frame and transparency everywhere else.
QByteArray gifSmallFrameBytes(QImage *expected = nullptr);
// The Plain GIF with a screen width (or height) of 0; `expected` is its frame.
QByteArray gifZeroScreenBytes(bool zeroWidth, QImage *expected = nullptr);
// A GIF of about 80 bytes: the given screen and first frame, whose LZW data
// is 48 junk bytes.
QByteArray gifGarbageLzwBytes(QSize screen, QSize frame);

// An RLE BMP (`bits` 8: RLE8, 4: RLE4) of `size` whose pixel data is exactly
// `rle`, with a palette of 16 greys: index i is rleGrey(i).
QByteArray bmpRleBytes(QSize size, int bits, const QByteArray &rle);
QRgb rleGrey(int index);
// 300 x 300 RLE8 whose data is ff05 ff05 ff05 0001: three runs of 255 pixels,
// then the end of the bitmap; the rest of the picture is not in the file.
QByteArray bmpRleShortBytes();
// The RLE8 (or 24-bit) BMP with its pixel data offset past the end of the file.
QByteArray bmpOffsetPastEndBytes(bool rle);

// A film made by the ffmpeg program from `source` (a lavfi source, or a
// picture file shown for as long as `options` say), with those options;
// empty when ffmpeg fails. filmFrame() is frame `n` as ffmpeg decodes it.
QString writeFilm(const QString &dir, const QString &name, const QStringList &options,
                  const QString &source = QStringLiteral("testsrc=size=320x240:rate=10"));
QImage filmFrame(const QString &film, int n);

// --- Measuring -----------------------------------------------------------------

// Largest difference of any colour channel (alpha included) between two
// images of the same size; INT_MAX if the sizes differ.
int maxChannelDifference(const QImage &a, const QImage &b);
// Largest difference of a colour channel (R, G or B) between two pixels.
int pixelDistance(QRgb a, QRgb b);
// Whether every pixel of `image` has this colour (R, G and B).
bool allPixels(const QImage &image, QRgb colour);
// Peak signal-to-noise ratio in dB over R, G and B.
double psnr(const QImage &a, const QImage &b);
}
