#include "pictureheaders.h"
#include <QTimeZone>
#include <climits>
#include <cstring>

namespace {
quint32 le(const uchar *d, qint64 at, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | d[at + i];
    return v;
}

bool isOneOf(int v, std::initializer_list<int> values)
{
    for (int x : values)
        if (v == x)
            return true;
    return false;
}

ExifInfo tiffStructure(const uchar *t, qint64 n);

// Bytes of a GIF colour table announced by a flags byte.
qint64 gifColourTable(uchar flags)
{
    return (flags & 0x80) ? qint64(3) << ((flags & 7) + 1) : 0;
}
}

bool hasGifSignature(const uchar *data, qint64 size)
{
    return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

bool hasBmpSignature(const uchar *data, qint64 size)
{
    return size >= 2 && data[0] == 'B' && data[1] == 'M';
}

BmpHeader readBmpHeader(const uchar *d, qint64 size)
{
    BmpHeader h;
    if (size < 26 || !hasBmpSignature(d, size))
        return {};
    h.dataOffset = le(d, 10, 4);
    const quint32 infoSize = le(d, 14, 4);
    qint64 width = 0, height = 0;
    if (infoSize == 12) { // OS/2 1.x: 16-bit sizes, 3-byte palette entries, no compression
        width = le(d, 18, 2);
        height = le(d, 20, 2);
        h.bitsPerPixel = int(le(d, 24, 2));
        h.paletteOffset = 14 + 12;
        h.paletteEntrySize = 3;
        h.paletteEntries = h.bitsPerPixel <= 8 ? 1 << h.bitsPerPixel : 0;
    } else if (infoSize >= 40 && infoSize <= 4096 && size >= 14 + 40) {
        width = qint32(le(d, 18, 4));
        height = qint32(le(d, 22, 4));
        h.bitsPerPixel = int(le(d, 28, 2));
        h.compression = int(qMin<quint32>(le(d, 30, 4), INT_MAX));
        h.paletteOffset = 14 + qint64(infoSize);
        const quint32 used = le(d, 46, 4);
        const int full = h.bitsPerPixel <= 8 ? 1 << h.bitsPerPixel : 0;
        h.paletteEntries = used > 0 && used < quint32(full) ? int(used) : full;
    } else {
        return {};
    }
    if (!isOneOf(h.bitsPerPixel, {1, 4, 8, 16, 24, 32}))
        return {};
    const bool compressionFits = h.compression == 0 || (h.compression == 1 && h.bitsPerPixel == 8)
                                 || (h.compression == 2 && h.bitsPerPixel == 4)
                                 || (h.compression == 3 && (h.bitsPerPixel == 16 || h.bitsPerPixel == 32));
    if (!compressionFits)
        return {};
    h.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX)
        return {};
    h.size = QSize(int(width), int(height));
    h.valid = true;
    return h;
}

bool bmpPixelsMissing(const BmpHeader &h, qint64 fileSize)
{
    if (h.dataOffset >= fileSize)
        return true;
    if (h.isRle()) {
        const qint64 pixels = qint64(h.size.width()) * h.size.height();
        return pixels > SparseRlePixels && (fileSize - h.dataOffset) * 128 < pixels;
    }
    const qint64 stride = (qint64(h.size.width()) * h.bitsPerPixel + 31) / 32 * 4;
    return (fileSize - h.dataOffset) / stride < h.size.height();
}

QSize GifLayout::pictureSize() const
{
    return QSize(screen.width() ? screen.width() : frame.width(), screen.height() ? screen.height() : frame.height());
}

QRect GifLayout::framePlacement() const
{
    return QRect(screen.width() ? frame.x() : 0, screen.height() ? frame.y() : 0, frame.width(), frame.height());
}

bool GifLayout::dataCanFillFrame() const
{
    const qint64 pixels = qint64(frame.width()) * frame.height();
    const qint64 codes = dataBytes * 8 / qBound(1, codeSize + 1, 12);
    return pixels > 0 && codes * 4096 >= pixels;
}

GifLayout readGifLayout(const uchar *d, qint64 size)
{
    if (size < 13 || !hasGifSignature(d, size))
        return {};
    GifLayout g;
    g.screen = QSize(int(le(d, 6, 2)), int(le(d, 8, 2)));
    qint64 pos = 13 + gifColourTable(d[10]);
    while (pos < size) {
        const uchar block = d[pos++];
        if (block == 0x21) { // extension: label, then sub-blocks up to an empty one
            pos += 1;
            while (pos < size && d[pos])
                pos += d[pos] + 1;
            pos += 1;
            continue;
        }
        if (block != 0x2c || pos + 9 > size)
            return {}; // the trailer or junk before any image, or a cut-off descriptor
        g.frame = QRect(int(le(d, pos, 2)), int(le(d, pos + 2, 2)), int(le(d, pos + 4, 2)), int(le(d, pos + 6, 2)));
        g.interlaced = d[pos + 8] & 0x40;
        g.valid = true;
        pos += 9 + gifColourTable(d[pos + 8]);
        if (pos >= size)
            return g;
        g.codeSize = d[pos++];
        while (pos < size && d[pos]) {
            g.dataBytes += qMin<qint64>(d[pos], size - pos - 1);
            pos += d[pos] + 1;
        }
        g.complete = pos < size; // at the empty block that ends the data
        return g;
    }
    return {};
}

ExifInfo readExif(const uchar *d, qint64 size)
{
    if (size < 6 + 8 || std::memcmp(d, "Exif\0\0", 6) != 0)
        return {};
    return tiffStructure(d + 6, size - 6);
}

ExifInfo readTiffExif(const uchar *t, qint64 n)
{
    if (n >= 6 && std::memcmp(t, "Exif\0\0", 6) == 0)
        return tiffStructure(t + 6, n - 6);
    return tiffStructure(t, n);
}

QDateTime exifDate(QByteArrayView text, QByteArrayView offset)
{
    // Digits where the shape has 'd'; what follows the seconds (a NUL,
    // fractions some tools add) is not ours to judge.
    static constexpr char shape[] = "dddd:dd:dd dd:dd:dd";
    auto matches = [](QByteArrayView s, const char *form, qsizetype length) {
        if (s.size() < length)
            return false;
        for (qsizetype i = 0; i < length; ++i)
            if (form[i] == 'd' ? s[i] < '0' || s[i] > '9' : s[i] != form[i])
                return false;
        return true;
    };
    if (!matches(text, shape, sizeof shape - 1))
        return {};
    auto number = [](QByteArrayView s, int at, int digits) {
        int v = 0;
        for (int i = at; i < at + digits; ++i)
            v = v * 10 + (s[i] - '0');
        return v;
    };
    const QDate date(number(text, 0, 4), number(text, 5, 2), number(text, 8, 2));
    const QTime time(number(text, 11, 2), number(text, 14, 2), number(text, 17, 2));
    if (!date.isValid() || !time.isValid())
        return {};
    if ((offset.startsWith('+') || offset.startsWith('-')) && matches(offset.sliced(1), "dd:dd", 5)) {
        const int hours = number(offset, 1, 2), minutes = number(offset, 4, 2);
        const int seconds = (hours * 60 + minutes) * 60;
        if (minutes < 60 && seconds <= 14 * 3600)
            return QDateTime(date, time, QTimeZone(offset[0] == '-' ? -seconds : seconds));
    }
    return QDateTime(date, time);
}

namespace {
// The orientation from IFD0 and the dates from IFD0 and the Exif IFD it
// points to of a TIFF structure; offsets count from its start. Every offset
// is checked against the structure's end, and the walk goes no deeper.
ExifInfo tiffStructure(const uchar *t, qint64 n)
{
    ExifInfo info;
    if (n < 8)
        return info;
    const bool little = t[0] == 'I' && t[1] == 'I';
    if (!little && !(t[0] == 'M' && t[1] == 'M'))
        return info;
    auto u16 = [&](qint64 at) { return little ? quint32(t[at] | t[at + 1] << 8) : quint32(t[at] << 8 | t[at + 1]); };
    auto u32 = [&](qint64 at) { return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2); };
    if (u16(2) != 42)
        return info;
    // An ASCII value: in the entry when it fits in 4 bytes, else where it points.
    auto text = [&](qint64 entry) -> QByteArrayView {
        const qint64 count = u32(entry + 4);
        const qint64 at = count <= 4 ? entry + 8 : qint64(u32(entry + 8));
        if (u16(entry + 2) != 2 || at + count > n)
            return {};
        return QByteArrayView(t + at, count);
    };
    QByteArrayView original, originalOffset, changed, changedOffset;
    bool orientationSeen = false;
    qint64 exifIfd = 0;
    auto walk = [&](qint64 ifd, bool first) {
        if (ifd < 8 || ifd > n - 2)
            return;
        const quint32 count = u16(ifd);
        for (quint32 i = 0; i < count; ++i) {
            const qint64 entry = ifd + 2 + 12 * qint64(i);
            if (entry + 12 > n)
                break;
            const quint32 tag = u16(entry), type = u16(entry + 2);
            if (tag == 0x0112 && first && !orientationSeen) {
                orientationSeen = true;
                const quint32 value = type == 3 ? u16(entry + 8) : type == 4 ? u32(entry + 8) : 0;
                info.orientation = value >= 1 && value <= 8 ? int(value) : 1;
            } else if (tag == 50706 && first) {
                info.dngVersion = true;
            } else if (tag == 330 && first) {
                info.subIfds = true;
            } else if (tag == 0x010f && first) {
                info.make = text(entry);
            } else if (tag == 0x8769 && first && (type == 4 || type == 13)) {
                exifIfd = u32(entry + 8);
            } else if (tag == 0x9003) {
                original = text(entry);
            } else if (tag == 0x9011) {
                originalOffset = text(entry);
            } else if (tag == 0x0132) {
                changed = text(entry);
            } else if (tag == 0x9010) {
                changedOffset = text(entry);
            }
        }
    };
    const qint64 ifd0 = u32(4);
    walk(ifd0, true);
    if (exifIfd != ifd0)
        walk(exifIfd, false);
    info.taken = exifDate(original, originalOffset);
    if (!info.taken.isValid())
        info.taken = exifDate(changed, changedOffset);
    return info;
}
}
