#include "bmpreader.h"
#include "loaders.h"
#include <QBuffer>
#include <QImageReader>
#include <cerrno>

namespace {
// The palette as a full table of 256 entries; what the file lacks is black.
void readPalette(const uchar *d, qint64 size, const BmpHeader &h, QRgb (&colours)[256])
{
    std::fill(std::begin(colours), std::end(colours), qRgb(0, 0, 0));
    for (int i = 0; i < qMin(h.paletteEntries, 256); ++i) {
        const qint64 at = h.paletteOffset + qint64(i) * h.paletteEntrySize;
        if (at + 3 > size)
            break;
        colours[i] = qRgb(d[at + 2], d[at + 1], d[at]);
    }
}

DecodedImage decodeRle(const uchar *d, qint64 size, const BmpHeader &h)
{
    const bool fourBit = h.compression == 2;
    QRgb colours[256];
    readPalette(d, size, h, colours);
    const qint64 width = h.size.width(), height = h.size.height();
    QImage image(h.size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {{}, systemFailure(ENOMEM)};
    image.fill(0);

    // x and row only ever grow, so no pixel is set twice.
    qint64 x = 0, row = 0, set = 0;
    QRgb *line = nullptr;
    auto toRow = [&](qint64 r) {
        row = qMin(r, height);
        line = row < height ? reinterpret_cast<QRgb *>(image.scanLine(int(h.topDown ? row : height - 1 - row))) : nullptr;
    };
    auto put = [&](int index) {
        if (x < width) {
            line[x] = colours[index];
            ++set;
        }
        ++x;
    };
    toRow(0);
    qint64 p = h.dataOffset;
    while (p + 1 < size && row < height) {
        const int count = d[p], value = d[p + 1];
        p += 2;
        if (count > 0) { // a run of `count` pixels; RLE4 alternates two indices
            const qint64 n = qMin<qint64>(count, qMax<qint64>(0, width - x));
            for (qint64 i = 0; i < n; ++i)
                put(fourBit ? (i % 2 ? value & 15 : value >> 4) : value);
            x += count - n;
        } else if (value == 0) { // end of line
            x = 0;
            toRow(row + 1);
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta: right and up (in stored order)
            if (p + 1 >= size)
                break;
            x = qMin(x + d[p], width);
            toRow(row + d[p + 1]);
            p += 2;
        } else { // absolute: `value` indices, padded to a 16-bit boundary
            const qint64 bytes = fourBit ? (value + 1) / 2 : value;
            const qint64 present = qMin(bytes, size - p);
            for (qint64 i = 0; i < value && (fourBit ? i / 2 : i) < present; ++i)
                put(fourBit ? (i % 2 ? d[p + i / 2] & 15 : d[p + i / 2] >> 4) : d[p + i]);
            if (present < bytes)
                break;
            p += (bytes + 1) & ~qint64(1);
        }
    }
    if (set == 0)
        return {{}, damaged(QStringLiteral("fel i BMP-data"))};
    if (set == width * height) // every pixel opaque: the same bits are RGB32
        image.reinterpretAsFormat(QImage::Format_RGB32);
    return {std::move(image), {}};
}

// Whether every alpha of a non-premultiplied 32-bit image is 0.
bool alphaAllZero(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]))
                return false;
    }
    return true;
}
}

qint64 bmpDecodeBytes(const BmpHeader &h)
{
    const qint64 pixels = qint64(h.size.width()) * h.size.height();
    if (h.isRle())
        return pixels * 4;
    // Qt's image (1 bit a pixel for 1-bit files, 8 for 4 and 8 bits, else
    // 32; rows padded to 4 bytes), then the 32-bit copy it is converted to;
    // Qt also keeps a row of the file at a time.
    const int bits = h.bitsPerPixel == 1 ? 1 : h.bitsPerPixel <= 8 ? 8 : 32;
    const qint64 stride = (qint64(h.size.width()) * bits + 31) / 32 * 4;
    return stride * h.size.height() + pixels * 4 + stride;
}

DecodedImage decodeBmp(const uchar *d, qint64 size, const BmpHeader &h)
{
    if (h.isRle())
        return decodeRle(d, size, h);
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(d), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    QImage image = reader.read();
    if (image.isNull() || image.size() != h.size)
        return {{}, damaged(QStringLiteral("fel i BMP-data"))};
    if (image.format() == QImage::Format_ARGB32 && alphaAllZero(image)) {
        // Decided before anything premultiplies: alpha 0 would wipe the colours.
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] |= 0xff000000;
        }
        image.reinterpretAsFormat(QImage::Format_RGB32);
    }
    return {std::move(image), {}};
}

namespace {
PictureHeader readBmpLayout(const uchar *data, qint64 size, BmpHeader &bmp)
{
    bmp = readBmpHeader(data, size);
    if (!bmp.valid)
        return {};
    PictureHeader header;
    header.size = bmp.size;
    header.dataMissing = bmpPixelsMissing(bmp, size);
    return header;
}
using BmpDecoder = WholePictureDecoder<BmpHeader, readBmpLayout, bmpDecodeBytes, decodeBmp>;
}

extern const PictureLoader bmpLoader;
const PictureLoader bmpLoader{"BMP", "bmp", "image/bmp", "BMP", hasBmpSignature, makeDecoder<BmpDecoder>};
