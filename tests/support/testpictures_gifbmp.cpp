// GIF and BMP files written byte by byte, so each variant is exactly the one
// we mean to test (Qt writes no GIF and only one kind of BMP).
#include "testpictures.h"
#include <QList>
#include <QRandomGenerator>
#include <vector>

namespace TestPictures {
namespace {
void appendLE16(QByteArray &b, int v)
{
    b.append(char(v & 0xff));
    b.append(char((v >> 8) & 0xff));
}

void appendLE32(QByteArray &b, qint64 v)
{
    for (int shift = 0; shift < 32; shift += 8)
        b.append(char((v >> shift) & 0xff));
}

// Distinct colours for every index below 256 (53, 97 and 151 are odd).
QRgb paletteColour(int i)
{
    return qRgb((i * 53 + 17) & 0xff, (i * 97 + 41) & 0xff, (i * 151 + 89) & 0xff);
}

// --- GIF -----------------------------------------------------------------------

constexpr int GifWidth = 40;
constexpr int GifHeight = 30;
constexpr int GifColours = 16;
constexpr int GifSecondFrameIndex = 7;

// LZW without compression: every code is a literal, and a clear code comes
// before the decoder's table could grow into a wider code, so the width never
// changes. Any decoder reads this.
QByteArray lzwLiterals(const std::vector<uchar> &indices, int minCodeSize)
{
    const int clear = 1 << minCodeSize;
    const int width = minCodeSize + 1;
    const int perClear = qMax(1, clear - 3);
    QByteArray out;
    quint32 acc = 0;
    int bits = 0;
    auto put = [&](int code) { // codes are packed from the least significant bit
        acc |= quint32(code) << bits;
        for (bits += width; bits >= 8; bits -= 8, acc >>= 8)
            out.append(char(acc & 0xff));
    };
    put(clear);
    int run = 0;
    for (uchar index : indices) {
        if (run == perClear) {
            put(clear);
            run = 0;
        }
        put(index);
        ++run;
    }
    put(clear + 1); // end of information
    if (bits > 0)
        out.append(char(acc & 0xff));
    return out;
}

// Table-based image data: the minimum code size, the codes in sub-blocks of
// at most 255 bytes, then an empty block.
QByteArray gifImageData(const std::vector<uchar> &indices, int minCodeSize)
{
    QByteArray out(1, char(minCodeSize));
    const QByteArray codes = lzwLiterals(indices, minCodeSize);
    for (qsizetype pos = 0; pos < codes.size(); pos += 255) {
        const qsizetype n = qMin<qsizetype>(255, codes.size() - pos);
        out.append(char(n));
        out.append(codes.mid(pos, n));
    }
    out.append(char(0));
    return out;
}

// Header and logical screen descriptor with a global table of 2^tableBits colours.
QByteArray gifScreen(int width, int height, int tableBits)
{
    QByteArray b("GIF89a");
    appendLE16(b, width);
    appendLE16(b, height);
    b.append(char(0x80 | 0x70 | (tableBits - 1))); // global table, 8-bit colour resolution
    b.append(char(0));                             // background colour index
    b.append(char(0));                             // no aspect ratio
    for (int i = 0; i < (1 << tableBits); ++i) {
        const QRgb c = paletteColour(i);
        b.append(char(qRed(c)));
        b.append(char(qGreen(c)));
        b.append(char(qBlue(c)));
    }
    return b;
}

QByteArray gifGraphicControl(int delay, int transparentIndex)
{
    QByteArray b("\x21\xf9\x04", 3);
    b.append(char((1 << 2) | (transparentIndex >= 0 ? 1 : 0))); // disposal: leave in place
    appendLE16(b, delay);
    b.append(char(qMax(0, transparentIndex)));
    b.append(char(0));
    return b;
}

QByteArray gifImageDescriptor(int width, int height, bool interlaced, int left = 0, int top = 0)
{
    QByteArray b(1, char(0x2c));
    appendLE16(b, left);
    appendLE16(b, top);
    appendLE16(b, width);
    appendLE16(b, height);
    b.append(char(interlaced ? 0x40 : 0)); // no local colour table
    return b;
}

// Interlaced GIFs store rows 0, 8, 16..., then 4, 12..., then 2, 6..., then 1, 3...
std::vector<uchar> interlacedOrder(const std::vector<uchar> &rows, int width, int height)
{
    std::vector<uchar> out;
    const int starts[] = {0, 4, 2, 1};
    const int steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < height; y += steps[pass])
            out.insert(out.end(), rows.begin() + y * width, rows.begin() + (y + 1) * width);
    return out;
}

// --- BMP -----------------------------------------------------------------------

constexpr int BmpWidth = 37;
constexpr int BmpHeight = 23;

// File header, BITMAPINFOHEADER (or, with channel masks, the 124-byte V5
// header many tools write), palette, pixels. A negative height is top-down.
QByteArray bmpFile(int width, int height, int bitsPerPixel, int compression, const QList<QRgb> &palette,
                   const QByteArray &pixels, const QList<quint32> &masks = {})
{
    const int infoSize = masks.isEmpty() ? 40 : 124;
    const int offset = 14 + infoSize + int(palette.size()) * 4;
    QByteArray b("BM");
    appendLE32(b, offset + pixels.size());
    appendLE32(b, 0);
    appendLE32(b, offset);
    appendLE32(b, infoSize);
    appendLE32(b, width);
    appendLE32(b, height);
    appendLE16(b, 1); // planes
    appendLE16(b, bitsPerPixel);
    appendLE32(b, compression); // 0 none, 1 RLE8, 2 RLE4
    appendLE32(b, pixels.size());
    appendLE32(b, 2835); // 72 dpi
    appendLE32(b, 2835);
    appendLE32(b, palette.size());
    appendLE32(b, 0);
    if (!masks.isEmpty()) {
        for (quint32 m : masks) // red, green, blue, alpha
            appendLE32(b, m);
        b.append("BGRs", 4);           // LCS_sRGB
        b.append(QByteArray(36 + 12 + 16, '\0')); // end points, gamma, intent, profile, reserved
    }
    for (QRgb c : palette) {
        b.append(char(qBlue(c)));
        b.append(char(qGreen(c)));
        b.append(char(qRed(c)));
        b.append(char(0));
    }
    return b + pixels;
}

// One row of RLE: the first five pixels in absolute mode, the rest as runs.
void appendRleRow(QByteArray &out, const std::vector<uchar> &row, bool fourBit)
{
    const int absolute = qMin<int>(5, int(row.size()));
    out.append(char(0));
    out.append(char(absolute));
    QByteArray literal;
    for (int x = 0; x < absolute; ++x) {
        if (!fourBit)
            literal.append(char(row[x]));
        else if (x % 2 == 0)
            literal.append(char(row[x] << 4));
        else
            literal[literal.size() - 1] = char(literal.back() | row[x]);
    }
    if (literal.size() % 2)
        literal.append(char(0)); // absolute runs end on a 16-bit boundary
    out.append(literal);
    for (int x = absolute; x < int(row.size());) {
        int n = 1;
        while (x + n < int(row.size()) && row[x + n] == row[x] && n < 255)
            ++n;
        out.append(char(n));
        out.append(char(fourBit ? (row[x] << 4) | row[x] : row[x]));
        x += n;
    }
}
}

QByteArray gifBytes(GifKind kind, QImage *expected)
{
    std::vector<uchar> indices;
    for (int y = 0; y < GifHeight; ++y)
        for (int x = 0; x < GifWidth; ++x)
            indices.push_back(uchar(((x / 3) + (y / 2) * 5) % GifColours));
    const bool transparent = kind == GifKind::Transparent;
    if (expected) {
        QImage image(GifWidth, GifHeight, transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        for (int y = 0; y < GifHeight; ++y) {
            for (int x = 0; x < GifWidth; ++x) {
                const int i = indices[size_t(y * GifWidth + x)];
                image.setPixel(x, y, transparent && i == 0 ? 0u : paletteColour(i));
            }
        }
        *expected = image;
    }
    QByteArray b = gifScreen(GifWidth, GifHeight, 4);
    if (kind == GifKind::Animated) // NETSCAPE2.0 looping extension, loop forever
        b.append(QByteArray("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19));
    if (kind == GifKind::Animated || transparent)
        b.append(gifGraphicControl(kind == GifKind::Animated ? 10 : 0, transparent ? 0 : -1));
    const bool interlaced = kind == GifKind::Interlaced;
    b.append(gifImageDescriptor(GifWidth, GifHeight, interlaced));
    b.append(gifImageData(interlaced ? interlacedOrder(indices, GifWidth, GifHeight) : indices, 4));
    if (kind == GifKind::Animated) {
        b.append(gifGraphicControl(10, -1));
        b.append(gifImageDescriptor(GifWidth, GifHeight, false));
        b.append(gifImageData(std::vector<uchar>(indices.size(), GifSecondFrameIndex), 4));
    }
    b.append(char(0x3b)); // trailer
    return b;
}

QString writeGif(const QString &dir, const QString &name, GifKind kind, QImage *expected)
{
    return writeFile(dir, name, gifBytes(kind, expected));
}

QByteArray largeGifBytes(QSize size)
{
    std::vector<uchar> indices;
    indices.reserve(size_t(size.width()) * size_t(size.height()));
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            indices.push_back(uchar(((x / 3) + (y / 2) * 5) % GifColours));
    QByteArray b = gifScreen(size.width(), size.height(), 4);
    b.append(gifImageDescriptor(size.width(), size.height(), false));
    b.append(gifImageData(indices, 4));
    b.append(char(0x3b));
    return b;
}

QByteArray gifBombBytes(bool frameToo)
{
    QByteArray b = gifScreen(65535, 65535, 1);
    const int side = frameToo ? 65535 : 1;
    b.append(gifImageDescriptor(side, side, false));
    b.append(gifImageData(std::vector<uchar>(64, 1), 2));
    b.append(char(0x3b));
    return b;
}

QByteArray gifSmallFrameBytes(QImage *expected)
{
    constexpr int left = 8, top = 6, w = 16, h = 10;
    std::vector<uchar> indices;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            indices.push_back(uchar((x / 2 + y) % GifColours));
    if (expected) {
        QImage image(GifWidth, GifHeight, QImage::Format_ARGB32_Premultiplied);
        image.fill(0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(left + x, top + y, paletteColour(indices[size_t(y * w + x)]));
        *expected = image;
    }
    QByteArray b = gifScreen(GifWidth, GifHeight, 4);
    b.append(gifImageDescriptor(w, h, false, left, top));
    b.append(gifImageData(indices, 4));
    b.append(char(0x3b));
    return b;
}

QByteArray gifZeroScreenBytes(bool zeroWidth, QImage *expected)
{
    QByteArray b = gifBytes(GifKind::Plain, expected);
    const int field = zeroWidth ? 6 : 8;
    b[field] = 0;
    b[field + 1] = 0;
    return b;
}

QByteArray gifGarbageLzwBytes(QSize screen, QSize frame)
{
    QByteArray b = gifScreen(screen.width(), screen.height(), 1);
    b.append(gifImageDescriptor(frame.width(), frame.height(), false));
    b.append(char(2)); // minimum code size
    QRandomGenerator random(4711);
    QByteArray junk;
    for (int i = 0; i < 48; ++i)
        junk.append(char(random.bounded(256)));
    b.append(char(junk.size()));
    b.append(junk);
    b.append(char(0));
    b.append(char(0x3b));
    return b;
}

QByteArray bmpBytes(BmpKind kind, QImage *expected)
{
    const bool rle = kind == BmpKind::Rle8 || kind == BmpKind::Rle4;
    int colours = 0; // palette size; 0 for direct colour
    int bits = 0;
    switch (kind) {
    case BmpKind::Bits1: bits = 1; colours = 2; break;
    case BmpKind::Bits4: bits = 4; colours = 16; break;
    case BmpKind::Bits8: bits = 8; colours = 64; break;
    case BmpKind::Bits16: bits = 16; break;
    case BmpKind::Bits24: case BmpKind::TopDown: bits = 24; break;
    case BmpKind::Bits32: case BmpKind::Bits32ZeroAlpha: case BmpKind::Bits32Alpha: bits = 32; break;
    case BmpKind::Rle8: bits = 8; colours = 16; break;
    case BmpKind::Rle4: bits = 4; colours = 16; break;
    }
    const int w = BmpWidth, h = BmpHeight;
    // Runs of four for RLE; finer for the rest. Direct colour uses 64 colours.
    auto indexAt = [&](int x, int y) {
        return rle ? ((x / 4) + y) % 16 : ((x / 3) + (y / 2) * 5) % (colours ? colours : 64);
    };
    // 16-bit pixels hold 5 bits a channel, widened to 8 bits on reading.
    auto fiveBits = [](int i) { return QList<int>{(i * 7 + 3) % 32, (i * 11 + 5) % 32, (i * 13 + 1) % 32}; };
    auto widen = [](int v) { return (v << 3) | (v >> 2); };
    auto colourAt = [&](int x, int y) {
        const int i = indexAt(x, y);
        if (bits != 16)
            return paletteColour(i);
        const QList<int> c = fiveBits(i);
        return qRgb(widen(c[0]), widen(c[1]), widen(c[2]));
    };
    // Real transparency: alpha runs through every value from 0 to 255.
    const bool alpha = kind == BmpKind::Bits32Alpha;
    auto alphaAt = [&](int x, int y) { return alpha ? (x * 7 + y * 11) % 256 : 0; };
    if (expected) {
        QImage image(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, alpha ? (colourAt(x, y) & 0xffffff) | uint(alphaAt(x, y)) << 24 : colourAt(x, y));
        *expected = alpha ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied) : image;
    }
    QList<QRgb> palette;
    for (int i = 0; i < colours; ++i)
        palette.append(paletteColour(i));

    const bool topDown = kind == BmpKind::TopDown;
    QByteArray pixels;
    for (int fileRow = 0; fileRow < h; ++fileRow) {
        const int y = topDown ? fileRow : h - 1 - fileRow; // bottom-up unless top-down
        if (rle) {
            std::vector<uchar> row;
            for (int x = 0; x < w; ++x)
                row.push_back(uchar(indexAt(x, y)));
            appendRleRow(pixels, row, bits == 4);
            pixels.append(fileRow + 1 < h ? QByteArray("\0\0", 2) : QByteArray("\0\1", 2)); // end of line / bitmap
            continue;
        }
        QByteArray line;
        for (int x = 0; x < w; ++x) {
            const QRgb c = colourAt(x, y);
            if (bits < 8) {
                const int perByte = 8 / bits;
                if (x % perByte == 0)
                    line.append(char(0));
                const int shift = 8 - bits * (x % perByte + 1); // leftmost pixel in the high bits
                line[line.size() - 1] = char(line.back() | (indexAt(x, y) << shift));
            } else if (bits == 8) {
                line.append(char(indexAt(x, y)));
            } else if (bits == 16) {
                const QList<int> v = fiveBits(indexAt(x, y));
                appendLE16(line, (v[0] << 10) | (v[1] << 5) | v[2]);
            } else {
                line.append(char(qBlue(c)));
                line.append(char(qGreen(c)));
                line.append(char(qRed(c)));
                if (bits == 32)
                    line.append(char(alphaAt(x, y)));
            }
        }
        while (line.size() % 4)
            line.append(char(0)); // rows are padded to 4 bytes
        pixels.append(line);
    }
    // With an alpha mask in a V5 header, as image editors write 32-bit BMPs.
    const bool masked = kind == BmpKind::Bits32ZeroAlpha || alpha;
    const int compression = kind == BmpKind::Rle8 ? 1 : kind == BmpKind::Rle4 ? 2 : masked ? 3 : 0;
    return bmpFile(w, topDown ? -h : h, bits, compression, palette, pixels,
                   masked ? QList<quint32>{0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000} : QList<quint32>{});
}

QString writeBmp(const QString &dir, const QString &name, BmpKind kind, QImage *expected)
{
    return writeFile(dir, name, bmpBytes(kind, expected));
}

QByteArray bmpBombBytes()
{
    return bmpFile(100000, 100000, 24, 0, {}, {});
}

QRgb rleGrey(int index)
{
    return qRgb(index * 17, index * 17, index * 17);
}

QByteArray bmpRleBytes(QSize size, int bits, const QByteArray &rle)
{
    QList<QRgb> greys;
    for (int i = 0; i < 16; ++i)
        greys.append(rleGrey(i));
    return bmpFile(size.width(), size.height(), bits, bits == 8 ? 1 : 2, greys, rle);
}

QByteArray bmpRleShortBytes()
{
    return bmpRleBytes(QSize(300, 300), 8, QByteArray("\xff\x05\xff\x05\xff\x05\x00\x01", 8));
}

QByteArray bmpOffsetPastEndBytes(bool rle)
{
    QByteArray b = bmpBytes(rle ? BmpKind::Rle8 : BmpKind::Bits24);
    const qint64 past = b.size() + 1000;
    for (int i = 0; i < 4; ++i)
        b[10 + i] = char((past >> (8 * i)) & 0xff);
    return b;
}

QByteArray largeBmpBytes(QSize size, int bits, bool rle)
{
    QList<QRgb> greys;
    for (int i = 0; i < 16; ++i)
        greys.append(rleGrey(i));
    const int w = size.width(), h = size.height();
    QByteArray pixels;
    for (int row = 0; row < h; ++row) {
        const int y = h - 1 - row;
        if (rle) {
            for (int x = 0; x < w; x += 8) {
                const int index = (x / 8 + y / 8) % 16;
                pixels.append(char(qMin(8, w - x)));
                pixels.append(char(bits == 4 ? index << 4 | index : index));
            }
            pixels.append(row + 1 < h ? QByteArray("\0\0", 2) : QByteArray("\0\1", 2));
            continue;
        }
        for (int x = 0; x < w; x += 8 / bits) {
            const int index = (x / 8 + y / 8) % 16;
            pixels.append(char(bits == 4 ? index << 4 | index : index));
        }
        while (pixels.size() % 4)
            pixels.append(char(0));
    }
    return bmpFile(w, h, bits, rle ? (bits == 4 ? 2 : 1) : 0, greys, pixels);
}
}
