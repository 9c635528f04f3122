#include "testpictures.h"
#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QRandomGenerator>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>
extern "C" {
#include <jpeglib.h>
}

namespace TestPictures {

QString writeFile(const QString &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(dir).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

// --- Photo-like content ------------------------------------------------------

namespace {
// photo() one row at a time: the gradients come from per-column and per-row
// tables, so even very large pictures are quick to make.
class PhotoRows {
public:
    PhotoRows(QSize size, int seed) : m_w(size.width()), m_h(size.height())
    {
        const double tau = 2 * M_PI;
        for (int x = 0; x < m_w; ++x) {
            const double fx = double(x) / m_w;
            m_red.push_back(40 + 150 * fx);
            m_green.push_back(40 * std::sin(tau * 2.1 * fx + seed * 0.7));
            m_sinX.push_back(std::sin(tau * 1.5 * fx + seed));
            m_cosX.push_back(std::cos(tau * 1.5 * fx + seed));
        }
        for (int y = 0; y < m_h; ++y) {
            const double fy = double(y) / m_h;
            m_redY.push_back(30 * std::sin(tau * 1.3 * fy + seed));
            m_greenY.push_back(50 + 130 * fy);
            m_sinY.push_back(std::sin(tau * 0.8 * fy));
            m_cosY.push_back(std::cos(tau * 0.8 * fy));
        }
        m_radius = 0.18 * qMin(m_w, m_h);
    }

    // Fills one row as R, G, B bytes.
    void row(int y, uchar *rgb) const
    {
        const bool stripes = y >= m_h / 10 && y < m_h * 45 / 100;
        const bool checker = y >= m_h * 55 / 100 && y < m_h * 9 / 10;
        const bool bar = y >= m_h * 12 / 100 && y < m_h / 5;
        const double dy = y - 0.6 * m_h;
        for (int x = 0; x < m_w; ++x, rgb += 3) {
            double r = m_red[x] + m_redY[y];
            double g = m_green[x] + m_greenY[y];
            // sin(a + b) from the two tables
            double b = 110 + 70 * (m_sinX[x] * m_cosY[y] + m_cosX[x] * m_sinY[y]);
            const bool detailColumn = x >= m_w * 62 / 100 && x < m_w * 92 / 100;
            if (detailColumn && stripes) {
                const double d = ((x / 2) & 1) ? 35 : -35;
                r += d;
                g += d;
                b += d;
            } else if (detailColumn && checker) {
                const double d = (((x / 3) + (y / 3)) & 1) ? 30 : -30;
                r += d;
                g += d;
                b += d;
            }
            const double dx = x - 0.3 * m_w;
            if (dx * dx + dy * dy < m_radius * m_radius) {
                r = 20;
                g = 25;
                b = 35;
            } else if (bar && x >= m_w / 10 && x < m_w / 2) {
                r = 235;
                g = 210;
                b = 40;
            }
            rgb[0] = uchar(qBound(0.0, r, 255.0));
            rgb[1] = uchar(qBound(0.0, g, 255.0));
            rgb[2] = uchar(qBound(0.0, b, 255.0));
        }
    }

private:
    int m_w;
    int m_h;
    double m_radius;
    std::vector<double> m_red, m_green, m_sinX, m_cosX, m_redY, m_greenY, m_sinY, m_cosY;
};
}

QImage photo(QSize size, int seed)
{
    QImage image(size, QImage::Format_RGB888);
    const PhotoRows rows(size, seed);
    for (int y = 0; y < size.height(); ++y)
        rows.row(y, image.scanLine(y));
    return image.convertToFormat(QImage::Format_RGB32);
}

// --- JPEG --------------------------------------------------------------------

QByteArray jpegBytes(const QImage &image, int quality, bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        return {};
    return bytes;
}

QString writeJpeg(const QString &dir, const QString &name, const QImage &image, int quality, bool progressive)
{
    const QByteArray bytes = jpegBytes(image, quality, progressive);
    return bytes.isEmpty() ? QString() : writeFile(dir, name, bytes);
}

QString writeLargeJpeg(const QString &dir, const QString &name, QSize size, int quality, bool progressive)
{
    const QString path = QDir(dir).filePath(name);
    FILE *out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return {};
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = JDIMENSION(size.width());
    info.image_height = JDIMENSION(size.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const PhotoRows rows(size, 0);
    std::vector<uchar> line(size_t(size.width()) * 3);
    while (info.next_scanline < info.image_height) {
        rows.row(int(info.next_scanline), line.data());
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0 ? path : QString();
}

QByteArray libjpegBytes(const QImage &image, int components, int colourSpace, int quality,
                        const std::function<void(QRgb, uchar *)> &samples,
                        const std::function<void(jpeg_compress_struct &)> &setup)
{
    const QImage src = image.convertToFormat(QImage::Format_RGB32);
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *data = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&info, &data, &length);
    info.image_width = JDIMENSION(src.width());
    info.image_height = JDIMENSION(src.height());
    info.input_components = components;
    info.in_color_space = J_COLOR_SPACE(colourSpace);
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (setup)
        setup(info);
    jpeg_start_compress(&info, TRUE);
    std::vector<uchar> line(size_t(src.width()) * size_t(components));
    while (info.next_scanline < info.image_height) {
        const auto *p = reinterpret_cast<const QRgb *>(src.constScanLine(int(info.next_scanline)));
        for (int x = 0; x < src.width(); ++x)
            samples(p[x], &line[size_t(x) * size_t(components)]);
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(length));
    std::free(data);
    return bytes;
}

QString writeCmykJpeg(const QString &dir, const QString &name, const QImage &rgb, int quality)
{
    // CMYK stays CMYK and gets the Adobe marker.
    return writeFile(dir, name, libjpegBytes(rgb, 4, JCS_CMYK, quality, [](QRgb pixel, uchar *q) {
        // Inverted samples: 255 means no ink. K' = max(R,G,B), C' = R / K'.
        const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
        const int k = qMax(r, qMax(g, b));
        q[0] = uchar(k ? r * 255 / k : 255);
        q[1] = uchar(k ? g * 255 / k : 255);
        q[2] = uchar(k ? b * 255 / k : 255);
        q[3] = uchar(k);
    }));
}

QImage orientationView()
{
    QImage view(64, 48, QImage::Format_RGB32);
    view.fill(qRgb(128, 128, 128));
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            view.setPixel(x, y, qRgb(255, 0, 0));
            view.setPixel(63 - x, y, qRgb(0, 255, 0));
            view.setPixel(x, 47 - y, qRgb(0, 0, 255));
        }
    }
    return view;
}

QImage storedForOrientation(const QImage &view, int orientation)
{
    const int w = view.width(), h = view.height();
    const bool swap = orientation >= 5;
    QImage stored(swap ? QSize(h, w) : QSize(w, h), QImage::Format_RGB32);
    for (int y = 0; y < stored.height(); ++y) {
        for (int x = 0; x < stored.width(); ++x) {
            QPoint v; // where stored pixel (x, y) is seen
            switch (orientation) {
            case 2: v = {w - 1 - x, y}; break;
            case 3: v = {w - 1 - x, h - 1 - y}; break;
            case 4: v = {x, h - 1 - y}; break;
            case 5: v = {y, x}; break;                 // row 0 is the left side, column 0 the top
            case 6: v = {w - 1 - y, x}; break;         // row 0 is the right side, column 0 the top
            case 7: v = {w - 1 - y, h - 1 - x}; break; // row 0 is the right side, column 0 the bottom
            case 8: v = {y, h - 1 - x}; break;         // row 0 is the left side, column 0 the bottom
            default: v = {x, y}; break;
            }
            stored.setPixel(x, y, view.pixel(v));
        }
    }
    return stored;
}

namespace {
void appendBE16(QByteArray &b, int v)
{
    b.append(char((v >> 8) & 0xff));
    b.append(char(v & 0xff));
}

// A marker segment: FF, marker, 2-byte length (counting itself), payload.
QByteArray segment(uchar marker, const QByteArray &payload)
{
    QByteArray s;
    s.append(char(0xff));
    s.append(char(marker));
    appendBE16(s, int(payload.size()) + 2);
    return s + payload;
}

QByteArray insertAfterSoi(const QByteArray &jpeg, const QByteArray &segments)
{
    return jpeg.left(2) + segments + jpeg.mid(2);
}
}

QByteArray withExifOrientation(const QByteArray &jpeg, int orientation)
{
    QByteArray tiff("MM\0*", 4);     // big-endian TIFF header
    tiff.append("\0\0\0\x08", 4);    // IFD0 right after it
    appendBE16(tiff, 1);             // one entry:
    appendBE16(tiff, 0x0112);        //   Orientation
    appendBE16(tiff, 3);             //   SHORT
    tiff.append("\0\0\0\x01", 4);    //   one value,
    appendBE16(tiff, orientation);   //   left-justified in the 4-byte field
    appendBE16(tiff, 0);
    tiff.append("\0\0\0\0", 4);      // no next IFD
    return insertAfterSoi(jpeg, segment(0xe1, QByteArray("Exif\0\0", 6) + tiff));
}

QByteArray exifTiff(int orientation, const QList<QPair<int, QByteArray>> &texts)
{
    // The header, IFD0 (orientation, where the Exif IFD is, DateTime), the Exif IFD, the texts.
    auto le = [](int v, int bytes) { QByteArray b; for (int i = 0; i < bytes; ++i) b.append(char(v >> 8 * i & 0xff)); return b; };
    auto entry = [&](int tag, int type, int count, int value) { return le(tag, 2) + le(type, 2) + le(count, 4) + le(value, 4); };
    QList<QPair<int, QByteArray>> lists[2];
    for (const auto &[tag, text] : texts)
        if (!text.isEmpty())
            lists[tag != 0x0132].append({tag, text});
    const int n1 = int(lists[1].size()), n0 = int(lists[0].size()) + 1 + (n1 > 0), atExif = 8 + 2 + 12 * n0 + 4;
    const int valuesAt = atExif + (n1 ? 2 + 12 * n1 + 4 : 0);
    QByteArray t = QByteArray("II*\0", 4) + le(8, 4), values;
    for (int i = 0; i < (n1 ? 2 : 1); ++i) {
        t += le(i ? n1 : n0, 2);
        if (i == 0)
            t += entry(0x0112, 3, 1, orientation) + (n1 ? entry(0x8769, 4, 1, atExif) : QByteArray());
        for (const auto &[tag, text] : lists[i]) {
            t += entry(tag, 2, int(text.size()) + 1, valuesAt + int(values.size()));
            values += text + '\0';
        }
        t += le(0, 4); // no next IFD
    }
    return t + values;
}

QByteArray withExif(const QByteArray &jpeg, const QByteArray &tiff)
{
    return insertAfterSoi(jpeg, segment(0xe1, QByteArray("Exif\0\0", 6) + tiff));
}

QString writeOrientedJpeg(const QString &dir, const QString &name, int orientation)
{
    const QImage stored = storedForOrientation(orientationView(), orientation);
    return writeFile(dir, name, withExifOrientation(jpegBytes(stored, 95), orientation));
}

QByteArray withIccProfile(const QByteArray &jpeg, const QByteArray &icc)
{
    QByteArray payload("ICC_PROFILE\0", 12);
    payload.append(char(1)); // chunk 1
    payload.append(char(1)); // of 1
    return insertAfterSoi(jpeg, segment(0xe2, payload + icc));
}

QString writeAdobeRgbJpeg(const QString &dir, const QString &name, const QImage &image)
{
    const QByteArray icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    return writeFile(dir, name, withIccProfile(jpegBytes(image, 95), icc));
}

QString writeTruncatedJpeg(const QString &dir, const QString &name, double keep, bool progressive)
{
    const QByteArray whole = jpegBytes(photo(QSize(320, 240)), 90, progressive);
    return writeFile(dir, name, whole.left(qsizetype(whole.size() * keep)));
}

QString writeJpegHeaderWithGarbage(const QString &dir, const QString &name)
{
    const QByteArray whole = jpegBytes(photo(QSize(320, 240)), 90);
    // Walk the marker segments up to and including the start of scan.
    qsizetype pos = 2;
    while (pos + 4 <= whole.size()) {
        const uchar marker = uchar(whole[pos + 1]);
        pos += 2 + ((uchar(whole[pos + 2]) << 8) | uchar(whole[pos + 3]));
        if (marker == 0xda)
            break;
    }
    QByteArray bytes = whole.left(pos);
    QRandomGenerator random(4711);
    for (qsizetype i = pos; i < whole.size(); ++i)
        bytes.append(char(random.bounded(256)));
    return writeFile(dir, name, bytes);
}

QString writeJpegWithoutEoi(const QString &dir, const QString &name, bool progressive)
{
    const QByteArray whole = jpegBytes(photo(QSize(320, 240)), 90, progressive);
    return writeFile(dir, name, whole.endsWith("\xff\xd9") ? whole.chopped(2) : QByteArray());
}

// --- Crafted files --------------------------------------------------------------

namespace {
struct ScanSpan {
    qsizetype start;   // at its SOS marker
    qsizetype end;     // at the marker after its entropy-coded data
    bool acRefinement; // a later pass over AC coefficients: the costliest kind
};

// Where each scan of a JPEG lies.
QList<ScanSpan> scanSpans(const QByteArray &jpeg)
{
    QList<ScanSpan> spans;
    auto at = [&](qsizetype i) { return uchar(jpeg[i]); };
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size() && at(pos) == 0xff && at(pos + 1) != 0xd9) {
        const qsizetype next = pos + 2 + (at(pos + 2) << 8 | at(pos + 3));
        if (at(pos + 1) != 0xda) {
            pos = next;
            continue;
        }
        const int components = at(pos + 4);
        const qsizetype ss = pos + 5 + 2 * components; // spectral start, end, approximation bits
        const bool refinement = at(ss) != 0 && (at(ss + 2) >> 4) != 0;
        qsizetype p = next;
        while (p + 1 < jpeg.size() && !(at(p) == 0xff && at(p + 1) != 0 && (at(p + 1) < 0xd0 || at(p + 1) > 0xd7)))
            ++p;
        spans.append({pos, p, refinement});
        pos = p;
    }
    return spans;
}
}

QByteArray jpegRepeatedScanBytes(const QImage &image, int repeats, bool junkAfterSoi)
{
    const QByteArray jpeg = jpegBytes(image, 90, true);
    ScanSpan smallest{0, 0, false};
    for (const ScanSpan &s : scanSpans(jpeg))
        if (s.acRefinement && (smallest.end == 0 || s.end - s.start < smallest.end - smallest.start))
            smallest = s;
    if (smallest.end == 0)
        return {};
    const QByteArray scan = jpeg.mid(smallest.start, smallest.end - smallest.start);
    QByteArray out = jpeg.left(2) + QByteArray(junkAfterSoi ? 1 : 0, '\0') + jpeg.mid(2, smallest.end - 2);
    for (int i = 0; i < repeats; ++i)
        out += scan;
    return out + jpeg.mid(smallest.end);
}

QByteArray jpegFirstScansBytes(const QImage &image, int keep)
{
    const QByteArray jpeg = jpegBytes(image, 90, true);
    const QList<ScanSpan> spans = scanSpans(jpeg);
    if (keep < 1 || keep >= spans.size())
        return {};
    return jpeg.left(spans[keep - 1].end) + "\xff\xd9";
}

// --- Files that are not pictures -------------------------------------------

QString writeEmptyFile(const QString &dir, const QString &name)
{
    return writeFile(dir, name, QByteArray());
}

QString writeTextFile(const QString &dir, const QString &name)
{
    return writeFile(dir, name, "Det här är ingen bild, bara text.\n");
}

QString writePng(const QString &dir, const QString &name, const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "png") ? writeFile(dir, name, bytes) : QString();
}

// --- Measuring -----------------------------------------------------------------

int pixelDistance(QRgb a, QRgb b)
{
    return qMax(qAbs(qRed(a) - qRed(b)), qMax(qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))));
}

bool allPixels(const QImage &image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != (colour & 0xFFFFFF))
                return false;
    return true;
}

int maxChannelDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return INT_MAX;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            worst = qMax(worst, qAbs(qRed(p[col]) - qRed(q[col])));
            worst = qMax(worst, qAbs(qGreen(p[col]) - qGreen(q[col])));
            worst = qMax(worst, qAbs(qBlue(p[col]) - qBlue(q[col])));
            worst = qMax(worst, qAbs(qAlpha(p[col]) - qAlpha(q[col])));
        }
    }
    return worst;
}

double psnr(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int dr = qRed(p[col]) - qRed(q[col]);
            const int dg = qGreen(p[col]) - qGreen(q[col]);
            const int db = qBlue(p[col]) - qBlue(q[col]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}
}
