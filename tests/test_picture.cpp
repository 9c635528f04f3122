#include "platform/picture.h"
#include "testmain.h"
#include "testpictures.h"
#include <QColorSpace>
#include <QColorTransform>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstdio>
extern "C" {
#include <jpeglib.h>
}

using namespace TestPictures;

namespace {
// The reference for DCT scaling: libjpeg's own 1/denom decode, nothing else.
QImage libjpegDecode(const QString &path, int denom)
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
    info.scale_num = 1;
    info.scale_denom = denom;
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

int channelDistance(QRgb a, QRgb b)
{
    return qMax(qAbs(qRed(a) - qRed(b)), qMax(qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))));
}
}

class TestPicture : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString dir() const { return m_dir.path(); }

private slots:
    void readsAndDecodesEachFormat_data();
    void readsAndDecodesEachFormat();
    void honoursExifOrientation_data();
    void honoursExifOrientation();
    void convertsEmbeddedProfileToSrgb();
    void decodesJpegAtDctScale_data();
    void decodesJpegAtDctScale();
    void loadsVeryLargeJpeg();
    void refusesBombsBeforeDecoding_data();
    void refusesBombsBeforeDecoding();
    void reportsUnreadableFiles_data();
    void reportsUnreadableFiles();
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

    const struct { BmpKind kind; const char *name; int tolerance; } bmps[] = {
        {BmpKind::Bits1, "bmp 1-bit", 0}, {BmpKind::Bits4, "bmp 4-bit", 0}, {BmpKind::Bits8, "bmp 8-bit", 0},
        {BmpKind::Bits16, "bmp 16-bit", 8}, {BmpKind::Bits24, "bmp 24-bit", 0}, {BmpKind::Bits32, "bmp 32-bit", 0},
        {BmpKind::Rle8, "bmp rle8", 0}, {BmpKind::Rle4, "bmp rle4", 0}, {BmpKind::TopDown, "bmp top-down", 0}};
    for (const auto &b : bmps) {
        QImage expected;
        const QString path = writeBmp(dir(), QString("%1.bmp").arg(int(b.kind)), b.kind, &expected);
        QTest::newRow(b.name) << path << expected << b.tolerance << 0.0 << rgb;
    }
}

void TestPicture::readsAndDecodesEachFormat()
{
    QFETCH(QString, path);
    QFETCH(QImage, expected);
    QFETCH(int, tolerance);
    QFETCH(double, minPsnr);
    QFETCH(QImage::Format, format);
    QVERIFY(!path.isEmpty());

    const quint64 before = PictureReader::decodeCount();
    PictureReader reader(path);
    QVERIFY2(reader.isValid(), qPrintable(reader.failure().description));
    QCOMPARE(reader.naturalSize(), expected.size());
    QCOMPARE(PictureReader::decodeCount(), before); // the size came from the header

    const QImage image = reader.decode();
    QCOMPARE(PictureReader::decodeCount(), before + 1);
    QCOMPARE(image.size(), expected.size());
    QCOMPARE(image.format(), format);
    if (tolerance >= 0)
        QVERIFY2(maxChannelDifference(image, expected) <= tolerance,
                 qPrintable(QString::number(maxChannelDifference(image, expected))));
    else
        QVERIFY2(psnr(image, expected) >= minPsnr, qPrintable(QString::number(psnr(image, expected))));
}

void TestPicture::honoursExifOrientation_data()
{
    QTest::addColumn<int>("orientation");
    for (int o = 1; o <= 8; ++o)
        QTest::addRow("orientation %d", o) << o;
}

void TestPicture::honoursExifOrientation()
{
    QFETCH(int, orientation);
    const QString path = writeOrientedJpeg(dir(), QString("o%1.jpg").arg(orientation), orientation);
    const QImage view = orientationView();
    const QSize stored = storedForOrientation(view, orientation).size();
    QCOMPARE(stored == view.size(), orientation <= 4);

    // Full size, and half size through DCT scaling (the hint is in view axes).
    for (const QSize hint : {QSize(), QSize(30, 20)}) {
        PictureReader reader(path);
        QVERIFY(reader.isValid());
        QCOMPARE(reader.naturalSize(), view.size());
        const QImage image = reader.decode(hint);
        const int scale = hint.isValid() ? 2 : 1;
        QCOMPARE(image.size(), view.size() / scale);
        const int w = image.width(), h = image.height(), m = 8 / scale; // inside each 16 px corner block
        QVERIFY(channelDistance(image.pixel(m, m), qRgb(255, 0, 0)) < 48);
        QVERIFY(channelDistance(image.pixel(w - 1 - m, m), qRgb(0, 255, 0)) < 48);
        QVERIFY(channelDistance(image.pixel(m, h - 1 - m), qRgb(0, 0, 255)) < 48);
        QVERIFY(channelDistance(image.pixel(w - 1 - m, h - 1 - m), qRgb(128, 128, 128)) < 24);
    }
}

void TestPicture::convertsEmbeddedProfileToSrgb()
{
    const QList<QRgb> raw = {qRgb(60, 180, 60), qRgb(200, 80, 60), qRgb(90, 90, 200), qRgb(128, 128, 128)};
    const QString tagged = writeAdobeRgbJpeg(dir(), "adobe.jpg", blocks(raw));
    const QString plain = writeJpeg(dir(), "plain.jpg", blocks(raw), 95);
    const QColorTransform toSrgb = QColorSpace(QColorSpace::AdobeRgb).transformationToColorSpace(QColorSpace::SRgb);

    PictureReader untagged(plain);
    const QImage same = untagged.decode();
    QVERIFY(!same.colorSpace().isValid() || same.colorSpace() == QColorSpace(QColorSpace::SRgb));

    PictureReader reader(tagged);
    const QImage image = reader.decode();
    QCOMPARE(image.colorSpace(), QColorSpace(QColorSpace::SRgb));
    for (int i = 0; i < raw.size(); ++i) {
        const QRgb got = image.pixel(16 * i + 8, 8);
        QVERIFY2(channelDistance(got, toSrgb.map(raw[i])) <= 6, qPrintable(QString::number(i)));
        QVERIFY(channelDistance(same.pixel(16 * i + 8, 8), raw[i]) <= 6);
    }
    // Adobe RGB is wider: in sRGB numbers its colours are more saturated,
    // the weak channels of the green block drop, while grey stays grey.
    QVERIFY(qRed(image.pixel(8, 8)) < qRed(raw[0]) - 15);
    QVERIFY(channelDistance(image.pixel(56, 8), raw[3]) <= 6);
}

void TestPicture::decodesJpegAtDctScale_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("atLeast");
    QTest::addColumn<int>("denom");

    const QString big = writeLargeJpeg(dir(), "big.jpg", QSize(4000, 3000));
    QTest::newRow("4000x3000 -> 1/8") << big << QSize(400, 300) << 8;
    QTest::newRow("4000x3000 -> 1/4") << big << QSize(600, 300) << 4;
    QTest::newRow("4000x3000 -> 1/2") << big << QSize(1500, 1000) << 2;
    QTest::newRow("4000x3000 -> full") << big << QSize(2001, 10) << 1;
    // Sizes that 2, 4 and 8 do not divide: libjpeg rounds up, and nothing
    // may smooth-scale the result afterwards.
    const QString odd = writeJpeg(dir(), "odd.jpg", photo(QSize(1001, 751), 1), 90);
    QTest::newRow("1001x751 -> 1/8") << odd << QSize(126, 94) << 8;
    QTest::newRow("1001x751 -> 1/4") << odd << QSize(127, 10) << 4;
    QTest::newRow("1001x751 -> 1/2") << odd << QSize(300, 376) << 2;
    QTest::newRow("1001x751 -> full") << odd << QSize(10, 377) << 1;
    const QString odd2 = writeJpeg(dir(), "odd2.jpg", photo(QSize(333, 555), 2), 90, true);
    QTest::newRow("333x555 progressive -> 1/4") << odd2 << QSize(84, 139) << 4;
}

void TestPicture::decodesJpegAtDctScale()
{
    QFETCH(QString, path);
    QFETCH(QSize, atLeast);
    QFETCH(int, denom);

    PictureReader reader(path);
    QVERIFY(reader.isValid());
    const QSize natural = reader.naturalSize();
    const quint64 before = PictureReader::decodeCount();
    const QImage image = reader.decode(atLeast);
    QCOMPARE(PictureReader::decodeCount(), before + 1);
    const QSize expected((natural.width() + denom - 1) / denom, (natural.height() + denom - 1) / denom);
    QCOMPARE(image.size(), expected);
    QVERIFY(image.width() >= atLeast.width() && image.height() >= atLeast.height());
    // Exactly what libjpeg's scaled decode gives: no extra rescaling pass.
    QCOMPARE(maxChannelDifference(image, libjpegDecode(path, denom)), 0);
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
    QVERIFY(channelDistance(a, b) > 20);
    QFile::remove(path);
}

void TestPicture::refusesBombsBeforeDecoding_data()
{
    QTest::addColumn<QString>("path");
    QTest::addRow("gif 65535 screen") << writeFile(dir(), "bomb1.gif", gifBombBytes(false));
    QTest::addRow("gif 65535 screen and frame") << writeFile(dir(), "bomb2.gif", gifBombBytes(true));
    QTest::addRow("bmp 100000 x 100000") << writeFile(dir(), "bomb.bmp", bmpBombBytes());
}

void TestPicture::refusesBombsBeforeDecoding()
{
    QFETCH(QString, path);
    const quint64 before = PictureReader::decodeCount();
    PictureReader reader(path);
    QVERIFY(!reader.isValid());
    QVERIFY(reader.failure().number != 0);
    QVERIFY(!reader.failure().description.isEmpty());
    QVERIFY(reader.decode(QSize(100, 100)).isNull());
    QCOMPARE(PictureReader::decodeCount(), before); // refused from the header alone
}

void TestPicture::reportsUnreadableFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("number");

    const QImage pic = photo(QSize(64, 48));
    QTest::newRow("missing") << QDir(dir()).filePath("saknas.jpg") << ENOENT;
    QDir(dir()).mkpath("mapp.jpg");
    QTest::newRow("folder") << QDir(dir()).filePath("mapp.jpg") << EISDIR;
    QTest::newRow("zero bytes") << writeEmptyFile(dir(), "tom.jpg") << FailureCode::NotAPicture;
    QTest::newRow("text named .jpg") << writeTextFile(dir(), "text.jpg") << FailureCode::NotAPicture;
    QTest::newRow("png named .jpg") << writePng(dir(), "png.jpg", pic) << FailureCode::NotAPicture;
    QTest::newRow("png named .gif") << writePng(dir(), "png.gif", pic) << FailureCode::NotAPicture;
    QTest::newRow("png named .bmp") << writePng(dir(), "png.bmp", pic) << FailureCode::NotAPicture;
    // Damaged: the header reads, the pixels do not. No grey half picture.
    QTest::newRow("truncated jpeg") << writeTruncatedJpeg(dir(), "halv.jpg") << FailureCode::NotAPicture;
    QTest::newRow("jpeg 95% there") << writeTruncatedJpeg(dir(), "nastan.jpg", 0.95) << FailureCode::NotAPicture;
    QTest::newRow("truncated progressive") << writeTruncatedJpeg(dir(), "halv-p.jpg", 0.5, true)
                                           << FailureCode::NotAPicture;
    QTest::newRow("jpeg header + garbage") << writeJpegHeaderWithGarbage(dir(), "skrap.jpg")
                                           << FailureCode::NotAPicture;
    const QByteArray gif = gifBytes(GifKind::Interlaced);
    QTest::newRow("truncated gif") << writeFile(dir(), "halv.gif", gif.left(gif.size() / 2))
                                   << FailureCode::NotAPicture;
    QTest::newRow("truncated bmp") << writeFile(dir(), "halv.bmp", bmpBytes(BmpKind::Bits24).chopped(100))
                                   << FailureCode::NotAPicture;
}

void TestPicture::reportsUnreadableFiles()
{
    QFETCH(QString, path);
    QFETCH(int, number);
    QVERIFY(!path.isEmpty());
    PictureReader reader(path);
    if (reader.isValid())
        QVERIFY(reader.decode().isNull());
    QVERIFY(!reader.isValid());
    QCOMPARE(reader.failure().number, number);
    QVERIFY(!reader.failure().description.isEmpty());
}

TUMBILDER_TEST_GUILESS_MAIN(TestPicture)
#include "test_picture.moc"
