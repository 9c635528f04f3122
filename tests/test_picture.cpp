#include "codecs/picture.h"
#include "files.h"
#include "sanitizer.h"
#include "testmain.h"
#include "testpictures.h"
#include <QColorSpace>
#include <QColorTransform>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QScopeGuard>
#include <malloc.h>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
extern "C" {
#include <jpeglib.h>
}

using namespace TestPictures;

namespace {
// The reference for DCT scaling: libjpeg's own eighths/8 decode, nothing else.
QImage libjpegDecode(const QString &path, int eighths)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const uchar *>(bytes.constData()), bytes.size());
    jpeg_read_header(&info, TRUE);
    info.scale_num = eighths;
    info.scale_denom = 8;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    QImage image(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image.convertToFormat(QImage::Format_RGB32);
}

// Colour blocks for colour checks: 16 x 16 each, in a row.
QImage blocks(const QList<QRgb> &colours)
{
    QImage image(16 * int(colours.size()), 16, QImage::Format_RGB32);
    for (int i = 0; i < colours.size(); ++i)
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                image.setPixel(16 * i + x, y, colours[i]);
    return image;
}

// Colours whose numbers an embedded profile changes (the grey one it keeps).
const QList<QRgb> profileColours = {qRgb(60, 180, 60), qRgb(200, 80, 60), qRgb(90, 90, 200), qRgb(128, 128, 128)};

// The picture painted over a grey background.
QImage over(const QImage &image)
{
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(qRgb(128, 128, 128));
    QPainter(&out).drawImage(0, 0, image);
    return out;
}

// While it lives, this process can map only `extra` bytes more than it has
// mapped now (RLIMIT_AS): an allocation beyond that fails.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(qint64 extra)
    {
        getrlimit(RLIMIT_AS, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = rlim_t(mapped() + extra);
        setrlimit(RLIMIT_AS, &limit);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &m_old); }
    AddressSpaceLimit(const AddressSpaceLimit &) = delete;
    AddressSpaceLimit &operator=(const AddressSpaceLimit &) = delete;

private:
    static qint64 mapped()
    {
        QFile statm(QStringLiteral("/proc/self/statm"));
        if (!statm.open(QIODevice::ReadOnly))
            return 0;
        return statm.readAll().split(' ').value(0).toLongLong() * sysconf(_SC_PAGESIZE);
    }
    rlimit m_old{};
};

// Leaves `colour` behind in freed memory of the sizes a decoder of a `size`
// picture allocates, so a pixel the decoder does not set shows it.
void soil(QSize size, QRgb colour)
{
    for (QImage::Format f : {QImage::Format_ARGB32, QImage::Format_Indexed8, QImage::Format_Grayscale8}) {
        QImage junk(size, f);
        if (f == QImage::Format_ARGB32)
            junk.fill(colour);
        else
            junk.fill(uint(qRed(colour)));
    }
}
}

class TestPicture : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString dir() const { return m_dir.path(); }

private slots:
    void readsAndDecodesEachFormat_data();
    void readsAndDecodesEachFormat();
    void pixelsTheFileLeavesOutAreTransparent_data();
    void pixelsTheFileLeavesOutAreTransparent();
    void honoursExifOrientation_data();
    void honoursExifOrientation();
    void readsDateTaken_data();
    void readsDateTaken();
    void convertsEmbeddedProfileToSrgb_data();
    void convertsEmbeddedProfileToSrgb();
    void decodesJpegAtDctScale_data();
    void decodesJpegAtDctScale();
    void loadsVeryLargeJpeg();
    void refusesBombsBeforeDecoding_data();
    void refusesBombsBeforeDecoding();
    void reportsUnreadableFiles_data();
    void reportsUnreadableFiles();
    void decodesWithinTheAnnouncedMemory_data();
    void decodesWithinTheAnnouncedMemory();
    void fileCutShortWhileReadIsDamaged();
};

void TestPicture::readsAndDecodesEachFormat_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QImage>("expected");
    QTest::addColumn<int>("tolerance"); // largest channel difference, or -1 to use PSNR
    QTest::addColumn<double>("minPsnr");
    QTest::addColumn<QImage::Format>("format");

    const QImage pic = photo(QSize(161, 121), 3);
    const auto rgb = QImage::Format_RGB32;
    QTest::newRow("jpeg baseline") << writeJpeg(dir(), "a.jpg", pic, 95) << pic << -1 << 30.0 << rgb;
    const QImage grey = pic.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
    QTest::newRow("jpeg greyscale") << writeJpeg(dir(), "g.jpg", grey.convertToFormat(QImage::Format_Grayscale8), 95)
                                    << grey << -1 << 30.0 << rgb;
    QTest::newRow("jpeg progressive") << writeJpeg(dir(), "p.jpeg", pic, 95, true) << pic << -1 << 30.0 << rgb;
    QTest::newRow("jpeg cmyk (adobe)") << writeCmykJpeg(dir(), "cmyk.jpg", pic) << pic << -1 << 30.0 << rgb;
    const QImage primaries = blocks({qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0), qRgb(40, 40, 40)});
    QTest::newRow("jpeg cmyk primaries") << writeCmykJpeg(dir(), "cmyk2.jpg", primaries) << primaries << 24 << 0.0 << rgb;
    // Only the end marker is missing: every pixel is there, so it is no damage.
    const QImage small = photo(QSize(320, 240));
    QTest::newRow("jpeg without EOI") << writeJpegWithoutEoi(dir(), "noeoi.jpg", false) << small << -1 << 30.0 << rgb;
    QTest::newRow("progressive without EOI") << writeJpegWithoutEoi(dir(), "noeoi-p.jpg", true) << small << -1 << 30.0 << rgb;

    const struct { GifKind kind; const char *name; } gifs[] = {
        {GifKind::Plain, "gif plain"}, {GifKind::Interlaced, "gif interlaced"},
        {GifKind::Animated, "gif animated: first frame"}, {GifKind::Transparent, "gif transparent"}};
    for (const auto &g : gifs) {
        QImage expected;
        const QString path = writeGif(dir(), QString("%1.gif").arg(int(g.kind)), g.kind, &expected);
        QTest::newRow(g.name) << path << expected << 0 << 0.0
                              << (g.kind == GifKind::Transparent ? QImage::Format_ARGB32_Premultiplied : rgb);
    }

    QImage plainGif;
    const QByteArray gif = gifBytes(GifKind::Plain, &plainGif);
    QTest::newRow("gif without trailer") << writeFile(dir(), "notrailer.gif", gif.chopped(1)) << plainGif << 0 << 0.0
                                         << rgb;

    // A screen side of 0 takes the frame's.
    for (bool zeroWidth : {false, true}) {
        QImage frame;
        const QByteArray bytes = gifZeroScreenBytes(zeroWidth, &frame);
        QTest::newRow(zeroWidth ? "gif screen width 0" : "gif screen height 0")
            << writeFile(dir(), QString("zero%1.gif").arg(zeroWidth), bytes) << frame << 0 << 0.0 << rgb;
    }

    const struct { BmpKind kind; const char *name; int tolerance; } bmps[] = {
        {BmpKind::Bits1, "bmp 1-bit", 0}, {BmpKind::Bits4, "bmp 4-bit", 0}, {BmpKind::Bits8, "bmp 8-bit", 0},
        {BmpKind::Bits16, "bmp 16-bit", 8}, {BmpKind::Bits24, "bmp 24-bit", 0}, {BmpKind::Bits32, "bmp 32-bit", 0},
        {BmpKind::Rle8, "bmp rle8", 0}, {BmpKind::Rle4, "bmp rle4", 0}, {BmpKind::TopDown, "bmp top-down", 0},
        {BmpKind::Bits32ZeroAlpha, "bmp 32-bit, alpha mask, every alpha 0: opaque", 0},
        {BmpKind::Bits32Alpha, "bmp 32-bit with real alpha", 0}};
    for (const auto &b : bmps) {
        QImage expected;
        const QString path = writeBmp(dir(), QString("%1.bmp").arg(int(b.kind)), b.kind, &expected);
        QTest::newRow(b.name) << path << expected << b.tolerance << 0.0
                              << (b.kind == BmpKind::Bits32Alpha ? QImage::Format_ARGB32_Premultiplied : rgb);
    }

    // Alpha either 0 or at least 128, so comparing unpremultiplied colours
    // stays within a rounding step or two.
    const QImage clear = withAlpha(pic);
    const auto argb = QImage::Format_ARGB32_Premultiplied;
    // A picture of 12 colours, 3 of them partly or wholly transparent.
    const QImage few = withAlpha(blocks({qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(250, 250, 0)}));
    const QImage greyPic = grey.convertToFormat(QImage::Format_RGB32);
    const struct {
        const char *name;
        Format format;
        Encoding encoding;
        const QImage &source;
        int tolerance;
        double minPsnr;
    } formats[] = {
        {"png", Format::Png, {}, pic, 0, 0},
        {"png with alpha", Format::Png, {}, clear, 2, 0},
        {"png 16-bit", Format::Png, {.bitDepth = 16}, pic, 0, 0},
        {"png 16-bit with alpha", Format::Png, {.bitDepth = 16}, clear, 2, 0},
        {"png grey", Format::Png, {.grey = true}, greyPic, 0, 0},
        {"png palette with transparent colours", Format::Png, {.palette = true}, few, 2, 0},
        {"png interlaced", Format::Png, {.interlaced = true}, clear, 2, 0},
        {"webp lossless", Format::Webp, {}, pic, 0, 0},
        {"webp lossless with alpha", Format::Webp, {}, clear, 2, 0},
        {"webp lossy", Format::Webp, {.lossless = false}, pic, -1, 30},
        {"webp lossy with alpha", Format::Webp, {.lossless = false}, clear, -1, 30},
        {"webp animated: first frame", Format::Webp, {.animated = true}, pic, 0, 0},
        {"heic", Format::Heic, {.lossless = false}, pic, -1, 30},
        {"heic with alpha", Format::Heic, {.lossless = false}, clear, -1, 30},
        {"heic 10-bit", Format::Heic, {.lossless = false, .bitDepth = 10}, pic, -1, 30},
        {"avif", Format::Avif, {.lossless = false}, pic, -1, 30},
        {"avif with alpha", Format::Avif, {.lossless = false}, clear, -1, 30},
        {"avif 10-bit", Format::Avif, {.lossless = false, .bitDepth = 10}, pic, -1, 30},
        {"tiff in strips", Format::Tiff, {}, pic, 0, 0},
        {"tiff in tiles", Format::Tiff, {.tileSize = 32}, pic, 0, 0},
        {"tiff 16-bit, uncompressed", Format::Tiff, {.lossless = false, .bitDepth = 16}, pic, 0, 0},
        {"tiff with alpha", Format::Tiff, {}, clear, 2, 0},
        {"tiff of two pages: the first", Format::Tiff, {.pages = 2}, pic, 0, 0},
        {"dng: its preview, as large as the picture", Format::Dng, {.preview = 1}, pic, -1, 30},
        {"dng with a small preview: developed", Format::Dng, {.preview = 4}, pic, -1, 22},
    };
    for (const auto &f : formats) {
        const bool alpha = f.source.hasAlphaChannel();
        const QString path = writePicture(dir(), QString("%1.%2").arg(f.name, extension(f.format)), f.format, f.source,
                                          f.encoding);
        QTest::newRow(f.name) << path << (alpha ? f.source.convertToFormat(argb) : f.source) << f.tolerance
                              << f.minPsnr << (alpha ? argb : rgb);
    }
    // The content decides, whatever the name says.
    QTest::newRow("png named .jpg") << writePicture(dir(), "png.jpg", Format::Png, pic) << pic << 0 << 0.0 << rgb;
    QTest::newRow("webp named .gif") << writePicture(dir(), "webp.gif", Format::Webp, pic) << pic << 0 << 0.0 << rgb;
    // A film's poster: the first key frame a tenth of the way in (frame 5 of
    // these 2 s), 1 s into a long film, the first frame of a very short one.
    for (const char *c : {"mp4", "mov", "webm", "mkv", "avi"}) {
        const QString film = writeFilm(dir(), QString("film.") + c, {"-t", "2", "-g", "5"});
        QTest::addRow("film, %s", c) << film << filmFrame(film, 5) << -1 << 35.0 << rgb;
    }
    const QString longFilm = writeFilm(dir(), "lang.mp4", {"-t", "12", "-g", "10"}, "testsrc=size=160x120:rate=10");
    QTest::newRow("film of 12 s") << longFilm << filmFrame(longFilm, 10) << -1 << 35.0 << rgb;
    const QString shortFilm = writeFilm(dir(), "kort.mp4", {"-t", "0.3"});
    QTest::newRow("film of 0.3 s") << shortFilm << filmFrame(shortFilm, 0) << -1 << 35.0 << rgb;
}

void TestPicture::readsAndDecodesEachFormat()
{
    QFETCH(QString, path);
    QFETCH(QImage, expected);
    QFETCH(int, tolerance);
    QFETCH(double, minPsnr);
    QFETCH(QImage::Format, format);
    QVERIFY(!path.isEmpty());

    PictureReader reader(path);
    QVERIFY2(reader.isValid(), qPrintable(reader.failure().description));
    QCOMPARE(reader.naturalSize(), expected.size());

    const QImage image = reader.decode();
    QCOMPARE(image.size(), expected.size());
    QCOMPARE(image.format(), format);
    if (tolerance >= 0)
        QVERIFY2(maxChannelDifference(image, expected) <= tolerance,
                 qPrintable(QString::number(maxChannelDifference(image, expected))));
    else // as it is seen on a background: lossy alpha may err where nothing shows
        QVERIFY2(psnr(over(image), over(expected)) >= minPsnr, qPrintable(QString::number(psnr(over(image), over(expected)))));
}

void TestPicture::pixelsTheFileLeavesOutAreTransparent_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QImage>("expected");
    // A progressive JPEG of this size decoded just before, if any.
    QTest::addColumn<QSize>("before");

    // RLE BMPs of 30 x 20: data in stored order, bottom row first.
    const QSize size(30, 20);
    auto rle = [&](const char *name, int bits, const QByteArray &data, const QList<QList<int>> &runs) {
        // runs: {stored row, first x, count, index...}: the pixels the data sets
        QImage expected(size, QImage::Format_ARGB32_Premultiplied);
        expected.fill(0);
        for (const QList<int> &r : runs)
            for (int i = 0; i < r[2]; ++i)
                expected.setPixel(r[1] + i, size.height() - 1 - r[0], r[3 + i % (r.size() - 3)] < 16 ? rleGrey(r[3 + i % (r.size() - 3)]) : qRgb(0, 0, 0));
        QTest::newRow(name) << bmpRleBytes(size, bits, data) << expected << QSize();
    };
    rle("rle8 ends before the picture is full", 8, QByteArray("\x1e\x05\0\0\x0a\x07\0\x01", 8),
        {{0, 0, 30, 5}, {1, 0, 10, 7}});
    rle("rle8 data runs out", 8, QByteArray("\x1e\x05\0\0\x0a\x07", 6), {{0, 0, 30, 5}, {1, 0, 10, 7}});
    rle("rle8 delta skips pixels", 8, QByteArray("\x05\x03\0\x02\x0a\x02\x04\x09\0\x01", 10),
        {{0, 0, 5, 3}, {2, 15, 4, 9}});
    rle("rle8 lines end early", 8, QByteArray("\x03\x01\0\0\x1e\x02\0\0\x02\x04\0\x01", 12),
        {{0, 0, 3, 1}, {1, 0, 30, 2}, {2, 0, 2, 4}});
    rle("rle8 absolute run, then a run past the row's end", 8,
        QByteArray("\0\x05\x01\x02\x03\x04\x05\0\xff\x06\0\x01", 12), {{0, 0, 5, 1, 2, 3, 4, 5}, {0, 5, 25, 6}});
    rle("rle8 index beyond the palette is black", 8, QByteArray("\x04\xc8\0\x01", 4), {{0, 0, 4, 200}});
    rle("rle4 ends early", 4, QByteArray("\x07\x4a\0\0\0\x03\x12\x30\0\x01", 10),
        {{0, 0, 7, 4, 10}, {1, 0, 3, 1, 2, 3}});
    rle("rle4 delta skips pixels", 4, QByteArray("\x04\x11\0\x02\x03\x01\x05\xcd", 8),
        {{0, 0, 4, 1}, {1, 7, 5, 12, 13}});
    QTest::newRow("rle8 300 x 300 of three runs") << bmpRleShortBytes() << [] {
        QImage e(300, 300, QImage::Format_ARGB32_Premultiplied);
        e.fill(0);
        for (int x = 0; x < 300; ++x)
            e.setPixel(x, 299, rleGrey(5));
        return e;
    }() << QSize();

    QImage frame;
    const QByteArray gif = gifSmallFrameBytes(&frame);
    QTest::newRow("gif frame smaller than its screen") << gif << frame << QSize();

    // Later scans missing: libjpeg's own decode of what is there, nothing else.
    const QByteArray dcOnly = jpegFirstScansBytes(photo(QSize(96, 64), 3), 1);
    const QImage dcDecoded = libjpegDecode(writeFile(dir(), "dc.jpg", dcOnly), 8);
    QTest::newRow("progressive jpeg with only its first scan") << dcOnly << dcDecoded << QSize();
    // The larger picture's coefficients were in memory this one may reuse.
    QTest::newRow("progressive jpeg with only its first scan, after a larger one")
        << dcOnly << dcDecoded << QSize(640, 480);
}

void TestPicture::pixelsTheFileLeavesOutAreTransparent()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QImage, expected);
    QFETCH(QSize, before);
    const QString path = writeFile(dir(), "utan.bmp", bytes);
    // Whatever the memory held before, the same picture.
    for (QRgb previous : {qRgb(255, 0, 0), qRgb(0, 0, 255)}) {
        soil(expected.size(), previous);
        if (!before.isEmpty()) {
            PictureReader larger(writeJpeg(dir(), "stor.jpg", photo(before, qRed(previous)), 90, true));
            QVERIFY(!larger.decode().isNull());
        }
        PictureReader reader(path);
        QVERIFY2(reader.isValid(), qPrintable(reader.failure().description));
        const QImage image = reader.decode();
        QCOMPARE(image.size(), expected.size());
        QCOMPARE(image.hasAlphaChannel(), expected.hasAlphaChannel());
        QCOMPARE(maxChannelDifference(image, expected), 0);
    }
}

void TestPicture::honoursExifOrientation_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("fromThumbnail"); // the reduced decode comes from a thumbnail the file stores
    for (int o = 1; o <= 8; ++o)
        QTest::addRow("jpeg, orientation %d", o) << writeOrientedJpeg(dir(), QString("o%1.jpg").arg(o), o) << o << false;
    // PNG and WebP keep EXIF data, TIFF its own tag, HEIF turns and mirrors.
    const QImage view = orientationView();
    // A DNG's own orientation turns its preview (odd) and its developed picture (even).
    for (Format f : {Format::Png, Format::Webp, Format::Heic, Format::Avif, Format::Tiff, Format::Dng})
        for (int o = 1; o <= 8; ++o) {
            Encoding e{.orientation = o, .lossless = f != Format::Heic && f != Format::Avif, .preview = o % 2};
            QTest::addRow("%s, orientation %d", qPrintable(extension(f)), o)
                << writePicture(dir(), QString("o%1.%2").arg(o).arg(extension(f)), f, storedForOrientation(view, o), e)
                << o << false;
        }
    // A film turned by its display matrix (FFmpeg 5.1 writes rotate=90 as a
    // quarter turn counter-clockwise).
    for (const auto &[degrees, o] : {std::pair{90, 8}, {180, 3}, {270, 6}}) {
        const QString png = writePng(dir(), QString("film%1.png").arg(o), storedForOrientation(view, o));
        const QString film = writeFilm(dir(), QString("film%1.mp4").arg(o), {"-t", "0.3", "-qp", "0"}, png);
        QTest::addRow("film, rotate=%d", degrees) << writeFilm(dir(), QString("vriden%1.mp4").arg(o),
            {"-c", "copy", "-metadata:s:v:0", QString("rotate=%1").arg(degrees)}, film) << o << false;
    }
    // A stored thumbnail serves only when it is large enough and shows the picture as the picture is shown.
    // A TIFF's reduced page likewise (its size as stored).
    const struct { const char *name; int orientation, thumbnail, its; bool used; QSize reduced = {}; bool subIfd = false; } thumbnails[] = {
        {"heic, orientation 6, thumbnail turned alike: used", 6, 32, 0, true},
        {"heic, orientation 6, thumbnail not turned: not used", 6, 48, 1, false},
        {"heic, thumbnail too small: not used", 1, 16, 0, false},
        {"tiff, orientation 6, reduced page turned alike: used", 6, 0, 0, true, {24, 32}},
        {"tiff, orientation 6, reduced page turned otherwise: not used", 6, 0, 8, false, {24, 32}},
        {"tiff, orientation 3, reduced page in a SubIFD: used", 3, 0, 0, true, {32, 24}, true},
        {"tiff, reduced page too small: not used", 1, 0, 0, false, {16, 12}},
        {"tiff, reduced page of other proportions: not used", 1, 0, 0, false, {40, 24}}};
    for (const auto &t : thumbnails) {
        const Format f = t.reduced.isValid() ? Format::Tiff : Format::Heic;
        QTest::newRow(t.name) << writePicture(dir(), QString(t.name) + "." + extension(f), f, storedForOrientation(view, t.orientation),
                                              {.orientation = t.orientation, .lossless = f == Format::Tiff, .thumbnail = t.thumbnail,
                                               .thumbnailOrientation = t.its, .reducedPage = t.reduced, .reducedInSubIfd = t.subIfd})
                              << t.orientation << t.used;
    }
}

void TestPicture::honoursExifOrientation()
{
    QFETCH(QString, path);
    QFETCH(int, orientation);
    QFETCH(bool, fromThumbnail);
    QVERIFY(!path.isEmpty());
    const QImage view = orientationView();
    const QSize stored = storedForOrientation(view, orientation).size();
    QCOMPARE(stored == view.size(), orientation <= 4);

    // Full size, and reduced where the format allows (the hint is in view axes).
    for (const QSize hint : {QSize(), QSize(30, 20)}) {
        PictureReader reader(path);
        QVERIFY(reader.isValid());
        QCOMPARE(reader.naturalSize(), view.size());
        const QImage image = reader.decode(hint);
        if (hint.isValid()) {
            QVERIFY(image.width() >= hint.width() && image.height() >= hint.height());
            QVERIFY(image.width() <= view.width() && image.height() <= view.height());
            if (path.endsWith(".jpg"))
                QCOMPARE(image.size(), view.size() / 2);
            // A stored thumbnail (32 x 24) is decoded as it is; the picture is reduced to 30 x 23.
            // (A TIFF's reduced page likewise, never one of other proportions.)
            if (path.endsWith(".heic") || path.endsWith(".tif"))
                QCOMPARE(image.size(), fromThumbnail ? QSize(32, 24) : QSize(30, 23));
        } else {
            QCOMPARE(image.size(), view.size());
        }
        // Inside each corner block (a quarter of the width, a third of the height).
        const int w = image.width(), h = image.height(), mx = w / 8, my = h / 6;
        QVERIFY(pixelDistance(image.pixel(mx, my), qRgb(255, 0, 0)) < 48);
        QVERIFY(pixelDistance(image.pixel(w - 1 - mx, my), qRgb(0, 255, 0)) < 48);
        QVERIFY(pixelDistance(image.pixel(mx, h - 1 - my), qRgb(0, 0, 255)) < 48);
        QVERIFY(pixelDistance(image.pixel(w - 1 - mx, h - 1 - my), qRgb(128, 128, 128)) < 24);
    }
}

void TestPicture::readsDateTaken_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QDateTime>("taken"); // invalid: none, the file's time instead
    const QByteArray jpeg = jpegBytes(photo(QSize(32, 24))), day = "2024:04:01 12:34:56";
    const QDateTime april(QDate(2024, 4, 1), QTime(12, 34, 56));
    const QList<std::tuple<const char *, QList<QPair<int, QByteArray>>, QDateTime, int>> rows{
        {"original before DateTime", {{0x0132, "2025:01:02 03:04:05"}, {0x9003, day}}, april, 0},
        {"only DateTime", {{0x0132, day}}, april, 0},
        {"with its offset", {{0x9003, day}, {0x9011, "+02:00"}}, QDateTime::fromString("2024-04-01T12:34:56+02:00", Qt::ISODate), 0},
        {"all zero", {{0x9003, "0000:00:00 00:00:00"}}, {}, 0},
        {"blanks, dashes", {{0x9003, "    :  :     :  :  "}, {0x0132, "2024-04-01 12:34:56"}}, {}, 0},
        {"cut off", {{0x9003, day}}, {}, 1}, // the date's last byte past the end of the data
        {"no date", {}, {}, 0},
    };
    for (const auto &[name, texts, taken, cut] : rows)
        QTest::addRow("jpeg, %s", name) << writeFile(dir(), QString(name) + ".jpg", withExif(jpeg, exifTiff(1, texts).chopped(cut))) << taken;
    for (Format f : {Format::Png, Format::Webp, Format::Heic, Format::Tiff, Format::Dng})
        QTest::addRow("%s", qPrintable(extension(f)))
            << writePicture(dir(), "taken." + extension(f), f, photo(QSize(32, 24)), {.taken = day}) << april;
    QTest::newRow("film") << writeFilm(dir(), "taken.mp4", {"-t", "0.2", "-metadata", "creation_time=2024-04-01T12:34:56Z"})
                          << QDateTime(QDate(2024, 4, 1), QTime(12, 34, 56), Qt::UTC);
}

void TestPicture::readsDateTaken()
{
    QFETCH(QString, path);
    QFETCH(QDateTime, taken);
    const PictureReader reader(path);
    QVERIFY(reader.isValid());
    QCOMPARE(reader.dateTaken(), taken);
    QCOMPARE(pictureDate(reader, path), taken.isValid() ? taken : QFileInfo(path).lastModified());
}

void TestPicture::convertsEmbeddedProfileToSrgb_data()
{
    QTest::addColumn<QString>("tagged");   // the raw colours, tagged as Adobe RGB
    QTest::addColumn<QString>("plain");    // the same, untagged
    const QImage raw = blocks(profileColours);
    QTest::newRow("jpeg") << writeAdobeRgbJpeg(dir(), "adobe.jpg", raw) << writeJpeg(dir(), "plain.jpg", raw, 95);
    const QByteArray icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    for (Format f : {Format::Png, Format::Webp, Format::Heic, Format::Avif, Format::Tiff})
        QTest::newRow(qPrintable(extension(f)))
            << writePicture(dir(), "adobe." + extension(f), f, raw, {.icc = icc})
            << writePicture(dir(), "plain." + extension(f), f, raw);
}

void TestPicture::convertsEmbeddedProfileToSrgb()
{
    QFETCH(QString, tagged);
    QFETCH(QString, plain);
    const QList<QRgb> &raw = profileColours;
    const QColorTransform toSrgb = QColorSpace(QColorSpace::AdobeRgb).transformationToColorSpace(QColorSpace::SRgb);

    PictureReader untagged(plain);
    const QImage same = untagged.decode();
    QVERIFY(!same.colorSpace().isValid() || same.colorSpace() == QColorSpace(QColorSpace::SRgb));

    PictureReader reader(tagged);
    const QImage image = reader.decode();
    QCOMPARE(image.colorSpace(), QColorSpace(QColorSpace::SRgb));
    for (int i = 0; i < raw.size(); ++i) {
        const QRgb got = image.pixel(16 * i + 8, 8);
        QVERIFY2(pixelDistance(got, toSrgb.map(raw[i])) <= 6, qPrintable(QString::number(i)));
        QVERIFY(pixelDistance(same.pixel(16 * i + 8, 8), raw[i]) <= 6);
    }
    // Adobe RGB is wider: in sRGB numbers its colours are more saturated,
    // the weak channels of the green block drop, while grey stays grey.
    QVERIFY(qRed(image.pixel(8, 8)) < qRed(raw[0]) - 15);
    QVERIFY(pixelDistance(image.pixel(56, 8), raw[3]) <= 6);
}

void TestPicture::decodesJpegAtDctScale_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("atLeast");
    QTest::addColumn<bool>("fine");
    QTest::addColumn<int>("eighths");

    const QString big = writeLargeJpeg(dir(), "big.jpg", QSize(4000, 3000));
    QTest::newRow("4000x3000 -> 1/8") << big << QSize(400, 300) << false << 1;
    QTest::newRow("4000x3000 -> 1/4") << big << QSize(600, 300) << false << 2;
    QTest::newRow("4000x3000 -> 1/2") << big << QSize(1500, 1000) << false << 4;
    QTest::newRow("4000x3000 -> full") << big << QSize(2001, 10) << false << 8;
    QTest::newRow("4000x3000 fine -> 6/8") << big << QSize(2501, 10) << true << 6;
    QTest::newRow("4000x3000 fine -> 1/8") << big << QSize(400, 300) << true << 1;
    // Sizes that 2, 4 and 8 do not divide: libjpeg rounds up, and nothing
    // may smooth-scale the result afterwards.
    const QString odd = writeJpeg(dir(), "odd.jpg", photo(QSize(1001, 751), 1), 90);
    QTest::newRow("1001x751 -> 1/8") << odd << QSize(126, 94) << false << 1;
    QTest::newRow("1001x751 -> 1/4") << odd << QSize(127, 10) << false << 2;
    QTest::newRow("1001x751 -> 1/2") << odd << QSize(300, 376) << false << 4;
    QTest::newRow("1001x751 -> full") << odd << QSize(10, 377) << false << 8;
    QTest::newRow("1001x751 fine -> 1/2") << odd << QSize(376, 10) << true << 4;
    QTest::newRow("1001x751 fine -> 3/4") << odd << QSize(10, 564) << true << 6;
    QTest::newRow("1001x751 fine -> full") << odd << QSize(10, 565) << true << 8;
    const QString odd2 = writeJpeg(dir(), "odd2.jpg", photo(QSize(333, 555), 2), 90, true);
    QTest::newRow("333x555 progressive -> 1/4") << odd2 << QSize(84, 139) << false << 2;
    QTest::newRow("333x555 progressive fine -> 3/4") << odd2 << QSize(200, 300) << true << 6;
}

void TestPicture::decodesJpegAtDctScale()
{
    QFETCH(QString, path);
    QFETCH(QSize, atLeast);
    QFETCH(bool, fine);
    QFETCH(int, eighths);

    PictureReader reader(path);
    QVERIFY(reader.isValid());
    if (fine)
        reader.allowFineScales();
    const QSize natural = reader.naturalSize();
    const QImage image = reader.decode(atLeast);
    const QSize expected((natural.width() * eighths + 7) / 8, (natural.height() * eighths + 7) / 8);
    QCOMPARE(image.size(), expected);
    QVERIFY(image.width() >= atLeast.width() && image.height() >= atLeast.height());
    // Exactly what libjpeg's scaled decode gives: no extra rescaling pass.
    QCOMPARE(maxChannelDifference(image, libjpegDecode(path, eighths)), 0);
}

void TestPicture::loadsVeryLargeJpeg()
{
    // 12000 x 9000 is 432 MB decoded, beyond Qt's default allocation limit.
    const QString path = writeLargeJpeg(dir(), "huge.jpg", QSize(12000, 9000), 50);
    QVERIFY(!path.isEmpty());
    {
        PictureReader reader(path);
        QVERIFY2(reader.isValid(), qPrintable(reader.failure().description));
        QCOMPARE(reader.naturalSize(), QSize(12000, 9000));
        const QImage small = reader.decode(QSize(1500, 1125));
        QCOMPARE(small.size(), QSize(1500, 1125));
    }
    PictureReader reader(path);
    const QImage image = reader.decode();
    QCOMPARE(image.size(), QSize(12000, 9000));
    // The bottom of the picture was really decoded: the checker detail is there.
    const QRgb a = image.pixel(9000, 7000), b = image.pixel(9003, 7000);
    QVERIFY(pixelDistance(a, b) > 20);
    QFile::remove(path);
}

void TestPicture::refusesBombsBeforeDecoding_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("number");
    const int tooLarge = FailureCode::PictureTooLarge;
    QTest::addRow("gif 65535 screen") << writeFile(dir(), "bomb1.gif", gifBombBytes(false)) << tooLarge;
    QTest::addRow("gif 65535 screen and frame") << writeFile(dir(), "bomb2.gif", gifBombBytes(true)) << tooLarge;
    QTest::addRow("bmp 100000 x 100000") << writeFile(dir(), "bomb.bmp", bmpBombBytes()) << tooLarge;
    // Some 80 bytes that claim well over 100 million pixels: LZW data that
    // small cannot fill them.
    QTest::addRow("gif screen 12000 x 0, frame 12000 x 12000")
        << writeFile(dir(), "noll.gif", gifGarbageLzwBytes(QSize(12000, 0), QSize(12000, 12000)))
        << FailureCode::NotAPicture;
    QTest::addRow("gif 14800 x 14800 of junk LZW")
        << writeFile(dir(), "skrap.gif", gifGarbageLzwBytes(QSize(14800, 14800), QSize(14800, 14800)))
        << FailureCode::NotAPicture;
    // Smaller pictures may leave most pixels unset; this one is 111 million
    // pixels from 4 KB of RLE data.
    QByteArray rows;
    for (int i = 0; i < 1000; ++i)
        rows.append("\x04\x01\0\0", 4);
    QTest::addRow("rle bmp 37 x 3000000 of a few runs")
        << writeFile(dir(), "hog.bmp", bmpRleBytes(QSize(37, 3000000), 8, rows)) << FailureCode::NotAPicture;
    // Headers that declare 100000 x 100000; libwebp and libheif refuse that much themselves.
    for (Format f : {Format::Png, Format::Webp, Format::Heic, Format::Avif, Format::Tiff, Format::Dng})
        QTest::addRow("%s 100000 x 100000", qPrintable(extension(f)))
            << writeFile(dir(), "bomb." + extension(f), hugeHeaderBytes(f))
            << (f == Format::Webp ? FailureCode::NotAPicture : tooLarge);
    // A few bytes of image data cannot fill 16000 x 16000 pixels.
    QByteArray png = hugeHeaderBytes(Format::Png);
    png.replace(16, 8, QByteArray("\0\0\x3e\x80\0\0\x3e\x80", 8));
    QTest::addRow("png 16000 x 16000 of a few bytes") << writeFile(dir(), "tunn.png", png) << FailureCode::NotAPicture;
    // A film whose sample description declares 65535 x 65535.
    QByteArray mp4 = TestFiles::contents(writeFilm(dir(), "bomb.mp4", {"-t", "0.2"}));
    mp4.replace(mp4.indexOf("avc1", mp4.indexOf("stsd")) + 28, 4, "\xff\xff\xff\xff");
    QTest::addRow("film 65535 x 65535") << writeFile(dir(), "bomb.mp4", mp4) << tooLarge;
    QTest::addRow("tiff of floating-point samples") << writeFile(dir(), "flyt.tif", tiffBytes(TiffKind::Float))
                                                    << FailureCode::UnsupportedFormat;
}

void TestPicture::refusesBombsBeforeDecoding()
{
    QFETCH(QString, path);
    QFETCH(int, number);
    // Refused from the header: nothing the size of the picture is ever
    // allocated, so 64 MB more address space is plenty.
    std::unique_ptr<AddressSpaceLimit> limit(addressSanitizer ? nullptr : new AddressSpaceLimit(64 << 20));
    PictureReader reader(path);
    QVERIFY(!reader.isValid());
    QCOMPARE(reader.failure().number, number);
    QVERIFY(!reader.failure().description.isEmpty());
    QVERIFY2(reader.failure().reason.startsWith(number == FailureCode::PictureTooLarge ? "för stor: "
                                                : number == FailureCode::NotAPicture ? "skadad: " : "format som inte stöds: "),
             qPrintable(reader.failure().reason));
    QCOMPARE(reader.decodeBytes(QSize(100, 100)), 0);
    QVERIFY(reader.decode(QSize(100, 100)).isNull());
    QCOMPARE(reader.failure().number, number);
}

void TestPicture::reportsUnreadableFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("number");
    QTest::addColumn<QSize>("header"); // the natural size, when only the pixel data is bad

    const QImage pic = photo(QSize(64, 48));
    const int bad = FailureCode::NotAPicture;
    QTest::newRow("missing") << QDir(dir()).filePath("saknas.jpg") << ENOENT << QSize();
    QDir(dir()).mkpath("mapp.jpg");
    QTest::newRow("folder") << QDir(dir()).filePath("mapp.jpg") << EISDIR << QSize();
    QTest::newRow("zero bytes") << writeEmptyFile(dir(), "tom.jpg") << bad << QSize();
    QTest::newRow("text named .jpg") << writeTextFile(dir(), "text.jpg") << bad << QSize();
    // Half a file: what the header says is there, the pixels are not (libheif
    // reads no header whose data lies beyond the end; a TIFF's lies at its end).
    const QImage photo320 = photo(QSize(320, 240), 2);
    for (Format f : {Format::Png, Format::Webp, Format::Heic, Format::Avif, Format::Tiff, Format::Dng}) {
        for (bool lossless : {true, false}) {
            if (!lossless && f != Format::Webp)
                continue;
            const QByteArray bytes = encodePicture(f, photo320, {.lossless = lossless, .rowsPerStrip = 240});
            QTest::addRow("%s cut in half%s", qPrintable(extension(f)), lossless ? "" : ", lossy")
                << writeFile(dir(), QString("halv%1.%2").arg(lossless).arg(extension(f)), bytes.left(bytes.size() / 2))
                << bad << (f == Format::Png || f == Format::Webp ? photo320.size() : QSize());
        }
    }
    QTest::newRow("dng without its sensor data")
        << writeFile(dir(), "tom.dng", dngBytes(pic, {}, QSize(2000, 1500))) << bad << QSize(2000, 1500);
    // A byte changed in the middle of the (compressed) image data.
    for (Format f : {Format::Png, Format::Tiff}) {
        QByteArray bytes = encodePicture(f, photo320);
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x55);
        QTest::addRow("%s with a damaged byte", qPrintable(extension(f)))
            << writeFile(dir(), "skadad." + extension(f), bytes) << bad << photo320.size();
    }
    // Damaged: the header reads, the pixels do not. No grey half picture.
    const QSize photoSize(320, 240);
    QTest::newRow("truncated jpeg") << writeTruncatedJpeg(dir(), "halv.jpg") << bad << photoSize;
    QTest::newRow("jpeg 95% there") << writeTruncatedJpeg(dir(), "nastan.jpg", 0.95) << bad << photoSize;
    QTest::newRow("truncated progressive") << writeTruncatedJpeg(dir(), "halv-p.jpg", 0.5, true) << bad << photoSize;
    QTest::newRow("jpeg header + garbage") << writeJpegHeaderWithGarbage(dir(), "skrap.jpg") << bad << photoSize;
    // Thousands of repeats of one scan, a few bytes each: refused past the
    // scan limit instead of decoded for seconds.
    QImage flat(1000, 750, QImage::Format_RGB32);
    flat.fill(qRgb(90, 120, 150));
    QTest::newRow("progressive jpeg repeating a scan 3000 times")
        << writeFile(dir(), "upprepad.jpg", jpegRepeatedScanBytes(flat, 3000)) << bad << flat.size();
    const QByteArray gif = gifBytes(GifKind::Interlaced);
    QTest::newRow("truncated gif") << writeFile(dir(), "halv.gif", gif.left(gif.size() / 2)) << bad << QSize();
    QTest::newRow("gif of junk LZW data")
        << writeFile(dir(), "skrap.gif", gifGarbageLzwBytes(QSize(40, 30), QSize(40, 30))) << bad << QSize(40, 30);
    QTest::newRow("gif frame of 0 x 0") << writeFile(dir(), "tom.gif", gifGarbageLzwBytes(QSize(40, 30), QSize(0, 0)))
                                        << bad << QSize();
    QTest::newRow("truncated bmp") << writeFile(dir(), "halv.bmp", bmpBytes(BmpKind::Bits24).chopped(100)) << bad
                                   << QSize();
    QTest::newRow("rle bmp with its data past the end")
        << writeFile(dir(), "bortom.bmp", bmpOffsetPastEndBytes(true)) << bad << QSize();
    QTest::newRow("24-bit bmp with its data past the end")
        << writeFile(dir(), "bortom24.bmp", bmpOffsetPastEndBytes(false)) << bad << QSize();
    QTest::newRow("rle bmp that sets no pixel")
        << writeFile(dir(), "inget.bmp", bmpRleBytes(QSize(30, 20), 8, QByteArray("\0\0\0\x01", 4))) << bad
        << QSize(30, 20);
    const QByteArray film = TestFiles::contents(writeFilm(dir(), "hel.mp4", {"-t", "1"}));
    QTest::newRow("film cut in half") << writeFile(dir(), "halv.mp4", film.left(film.size() / 2)) << bad << QSize();
    QTest::newRow("film without pictures") << writeFilm(dir(), "ljud.mp4", {"-t", "1"}, "sine=frequency=440") << bad << QSize();
}

void TestPicture::reportsUnreadableFiles()
{
    QFETCH(QString, path);
    QFETCH(int, number);
    QFETCH(QSize, header);
    QVERIFY(!path.isEmpty());
    QElapsedTimer timer;
    timer.start();
    PictureReader reader(path);
    QCOMPARE(reader.naturalSize(), header);
    QCOMPARE(reader.isValid(), header.isValid());
    if (reader.isValid())
        QVERIFY(reader.decode().isNull());
    QVERIFY(!reader.isValid());
    QCOMPARE(reader.failure().number, number);
    QVERIFY(!reader.failure().description.isEmpty());
    // Reported in well under a second; ten times that on a slow machine.
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
}

void TestPicture::decodesWithinTheAnnouncedMemory_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("atLeast");

    const QString progressive = writeLargeJpeg(dir(), "prog.jpg", QSize(4000, 3000), 75, true);
    // A progressive file keeps coefficients for every block, whatever the scale.
    QTest::newRow("progressive jpeg, full size") << progressive << QSize();
    QTest::newRow("progressive jpeg at 1/8") << progressive << QSize(400, 300);
    QFile big(writeLargeJpeg(dir(), "big.jpg", QSize(4000, 3000)));
    QVERIFY(big.open(QIODevice::ReadOnly));
    QTest::newRow("jpeg turned a quarter") << writeFile(dir(), "vriden.jpg", withExifOrientation(big.readAll(), 6))
                                           << QSize();
    QTest::newRow("gif") << writeFile(dir(), "stor.gif", largeGifBytes(QSize(3000, 2000))) << QSize(100, 100);
    QTest::newRow("bmp 8-bit") << writeFile(dir(), "stor.bmp", largeBmpBytes(QSize(4000, 3000), 8, false)) << QSize();
    QTest::newRow("bmp 4-bit") << writeFile(dir(), "stor4.bmp", largeBmpBytes(QSize(4000, 3000), 4, false)) << QSize();
    QTest::newRow("bmp rle8") << writeFile(dir(), "stor-rle.bmp", largeBmpBytes(QSize(4000, 3000), 8, true)) << QSize();
    const QImage large = photo(QSize(4000, 3000), 4), medium = photo(QSize(2000, 1500), 5);
    const QImage mediumClear = withAlpha(medium);
    const struct {
        const char *name;
        Format format;
        Encoding encoding;
        const QImage &picture;
        QSize atLeast;
    } formats[] = {
        {"png shrunk as it is read", Format::Png, {}, large, QSize(400, 300)},
        {"png interlaced, whole", Format::Png, {.interlaced = true}, medium, QSize()},
        {"png 16-bit with alpha", Format::Png, {.bitDepth = 16}, mediumClear, QSize(200, 150)},
        {"webp lossy, scaled by libwebp", Format::Webp, {.lossless = false}, large, QSize(400, 300)},
        {"webp lossless with alpha", Format::Webp, {}, mediumClear, QSize(200, 150)},
        {"webp lossy with alpha, whole", Format::Webp, {.lossless = false}, mediumClear, QSize()},
        {"heic", Format::Heic, {.lossless = false}, medium, QSize(200, 150)},
        {"heic 10-bit with alpha", Format::Heic, {.lossless = false, .bitDepth = 10}, mediumClear, QSize()},
        {"avif", Format::Avif, {.lossless = false}, medium, QSize(200, 150)},
        {"tiff in strips, shrunk as it is read", Format::Tiff, {.rowsPerStrip = 64}, large, QSize(400, 300)},
        {"tiff in tiles, 16-bit with alpha", Format::Tiff, {.bitDepth = 16, .tileSize = 256}, mediumClear, QSize()},
        {"tiff of one strip", Format::Tiff, {.lossless = false, .rowsPerStrip = 1500}, medium, QSize(200, 150)},
        {"tiff, its reduced page", Format::Tiff, {.rowsPerStrip = 64, .reducedPage = QSize(1000, 750)}, large, QSize(400, 300)},
        {"dng developed at half size", Format::Dng, {}, large, QSize(400, 300)},
        {"dng, its preview", Format::Dng, {.preview = 2}, large, QSize(400, 300)},
    };
    // Text that libpng would inflate and keep, 7 MB a chunk.
    QTest::newRow("png with 20 zTXt chunks") << writeFile(dir(), "text.png", pngWithTextBytes(medium, 20)) << QSize();
    for (const char *codec : {"libx264", "libx265"})
        QTest::addRow("film, 1080p, %s", codec)
            << writeFilm(dir(), QString("stor-%1.mp4").arg(codec), {"-t", "0.5", "-c:v", codec, "-x265-params", "log-level=error"}, "testsrc=size=1920x1080:rate=10")
            << QSize(200, 150);
    for (const auto &f : formats)
        QTest::newRow(f.name) << writePicture(dir(), QString("stor-%1.%2").arg(f.name, extension(f.format)), f.format,
                                              f.picture, f.encoding)
                              << f.atLeast;
}

void TestPicture::decodesWithinTheAnnouncedMemory()
{
    if (addressSanitizer)
        QSKIP("the sanitizer's own allocator needs address space of its own");
    QFETCH(QString, path);
    QFETCH(QSize, atLeast);
    {
        // Once without a limit: lazily made tables and worker threads exist
        // before the address space is counted.
        PictureReader warm(path);
        QVERIFY(!warm.decode(atLeast).isNull());
    }
    PictureReader reader(path);
    QVERIFY(reader.isValid());
    const qint64 announced = reader.decodeBytes(atLeast);
    QImage image;
    {
        // What the process keeps between pictures would cost the decode
        // nothing here: measured, every large buffer is a mapping of its own.
        releaseFreeMemory();
        mallopt(M_MMAP_THRESHOLD, 128 << 10);
        const auto restore = qScopeGuard([] { initPictureProcess(); });
        AddressSpaceLimit limit(announced + (4 << 20));
        image = reader.decode(atLeast);
    }
    QVERIFY2(!image.isNull(), qPrintable(QString("%1 bytes announced: %2").arg(announced).arg(reader.failure().description)));
}

// Something writing over the picture as it is read (a copy over it, an
// editor saving): mapped pages past the new end are no longer there.
void TestPicture::fileCutShortWhileReadIsDamaged()
{
    const QString path = writePicture(dir(), "kapad.png", Format::Png, photo(QSize(1500, 1000), 7));
    PictureReader reader(path);
    QVERIFY(reader.isValid());
    QCOMPARE(::truncate(QFile::encodeName(path).constData(), 4096), 0);
    QVERIFY(reader.decode(QSize(100, 100)).isNull());
    QCOMPARE(reader.failure().reason, "skadad: filen ändrades medan den lästes");
}

TUMBILDER_TEST_GUILESS_MAIN(TestPicture)
#include "test_picture.moc"
