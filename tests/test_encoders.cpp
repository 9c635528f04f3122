#include "codecs/encoders.h"
#include "testpictures.h"
#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QtEndian>
#include "testmain.h"
#include <QtTest>

namespace {
enum class Encoder { Bmp, Jpeg, Gif };

Encoded encoded(Encoder e, const QImage &image, int quality = 65)
{
    switch (e) {
    case Encoder::Bmp:
        return encodeBmp(image);
    case Encoder::Jpeg:
        return encodeJpeg(image, quality);
    case Encoder::Gif:
        break;
    }
    return encodeGif(image);
}

QByteArray encode(Encoder e, const QImage &image, int quality = 65)
{
    return encoded(e, image, quality).file;
}

QByteArray readerFormat(Encoder e)
{
    return e == Encoder::Bmp ? "bmp" : e == Encoder::Jpeg ? "jpeg" : "gif";
}

QImage decode(const QByteArray &bytes, QByteArray *format = nullptr)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (format)
        *format = reader.format();
    return reader.read();
}

// A landscape as a thumbnail of a photograph shows it: a sky gradient with
// soft clouds, textured hills, a house, a tree and the sun with smooth
// (anti-aliased) edges, and sensor noise of +-`noise` so that nearly every
// pixel has a colour of its own.
QImage photograph(QSize size, int seed, int noise)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator rng(static_cast<quint32>(seed));
    const double w = size.width();
    const double h = size.height();
    auto cover = [](double inside) { return qBound(0.0, inside + 0.5, 1.0); };   // distance to coverage
    auto mix = [](double a, double b, double t) { return a + (b - a) * t; };
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const double u = x / w;
            const double v = y / h;
            const double cloud = 25 * std::pow(std::sin(5.1 * u + seed) * std::sin(7.3 * v + 0.4 * u), 2);
            double r = mix(70, 200, v / 0.5) + cloud;
            double g = mix(130, 220, v / 0.5) + cloud;
            double b = mix(205, 240, v / 0.5) + cloud;
            const double horizon = h * (0.48 + 0.07 * std::sin(6.0 * u + seed) + 0.03 * std::sin(17.0 * u));
            const double grass = 12 * std::sin(0.9 * x + 0.3 * std::sin(0.5 * y)) * std::sin(0.7 * y);
            const double ground = cover(y - horizon);
            r = mix(r, 60 + 60 * v + grass, ground);
            g = mix(g, 140 - 50 * v + grass, ground);
            b = mix(b, 40 + 20 * v + 0.5 * grass, ground);
            const double sun = cover(0.09 * w - std::hypot(x - 0.8 * w, y - 0.18 * h));
            r = mix(r, 255, sun);
            g = mix(g, 235, sun);
            b = mix(b, 150, sun);
            const double house = qMin(cover(qMin(x - 0.2 * w, 0.45 * w - x)), cover(qMin(y - 0.52 * h, 0.8 * h - y)));
            const double shade = 30 * u;
            r = mix(r, 190 - shade, house);
            g = mix(g, 50 - 0.3 * shade, house);
            b = mix(b, 45, house);
            const double trunk = qMin(cover(3.0 - std::abs(x - 0.65 * w)), cover(y - 0.55 * h));
            const double crown = cover(0.12 * w - std::hypot(x - 0.65 * w, y - 0.45 * h));
            r = mix(mix(r, 80, trunk), 30 + grass, crown);
            g = mix(mix(g, 55, trunk), 90 + 2 * grass, crown);
            b = mix(mix(b, 30, trunk), 35, crown);
            // Flowers in the meadow: small spots of many hues.
            const double spot = ground * (1 - house) * (1 - crown)
                * qMax(0.0, std::sin(0.4 * x + 2 * std::sin(0.15 * y)) * std::sin(0.45 * y + seed) - 0.6) * 2.5;
            r = mix(r, 128 + 120 * std::sin(0.05 * x + 0.11 * y), spot);
            g = mix(g, 128 + 120 * std::sin(0.07 * x - 0.05 * y + 2), spot);
            b = mix(b, 128 + 120 * std::sin(0.03 * x + 0.09 * y + 4), spot);
            // Noise in brightness and, half as strong, in colour.
            const int n = noise ? int(rng.bounded(2 * noise + 1)) - noise : 0;
            auto channel = [&](double c) {
                const int own = noise ? int(rng.bounded(noise + 1)) - noise / 2 : 0;
                return qBound(0, int(c + 0.5) + n + own, 255);
            };
            line[x] = qRgb(channel(r), channel(g), channel(b));
        }
    }
    return image;
}

quint32 le32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 le16(const QByteArray &b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }
}

class TestEncoders : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void bmpHeader_data();
    void bmpHeader();
    void gifQualityOnPhotographs_data();
    void gifQualityOnPhotographs();
    void gifKeepsFewColoursExact();
    void gifDithersSmoothGradients();
    void gifIsOneFrameWithOnePalette();
    void jpegQualityAndOptimisedTables();
    void inputFormatsGiveTheSameFile_data();
    void inputFormatsGiveTheSameFile();
    void failures_data();
    void failures();
};

void TestEncoders::roundTrip_data()
{
    QTest::addColumn<Encoder>("encoder");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("minPsnr");   // 99 = exact

    QTest::newRow("bmp 237x237") << Encoder::Bmp << 0 << QSize(237, 237) << 99.0;
    QTest::newRow("bmp 1x1") << Encoder::Bmp << 0 << QSize(1, 1) << 99.0;
    QTest::newRow("bmp 5x3, rows padded") << Encoder::Bmp << 0 << QSize(5, 3) << 99.0;
    QTest::newRow("bmp 300x120") << Encoder::Bmp << 0 << QSize(300, 120) << 99.0;
    QTest::newRow("jpeg q65") << Encoder::Jpeg << 65 << QSize(237, 237) << 26.0;
    QTest::newRow("jpeg q95") << Encoder::Jpeg << 95 << QSize(237, 237) << 30.0;
    QTest::newRow("jpeg q100") << Encoder::Jpeg << 100 << QSize(237, 178) << 30.0;
    QTest::newRow("jpeg q1") << Encoder::Jpeg << 1 << QSize(178, 237) << 18.0;
    QTest::newRow("jpeg 1x1") << Encoder::Jpeg << 65 << QSize(1, 1) << 30.0;
    QTest::newRow("gif 237x237") << Encoder::Gif << 0 << QSize(237, 237) << 35.0;
    QTest::newRow("gif 1x1") << Encoder::Gif << 0 << QSize(1, 1) << 99.0;
    QTest::newRow("gif 7x3") << Encoder::Gif << 0 << QSize(7, 3) << 99.0;
}

void TestEncoders::roundTrip()
{
    QFETCH(Encoder, encoder);
    QFETCH(int, quality);
    QFETCH(QSize, size);
    QFETCH(double, minPsnr);

    const QImage image = photograph(size, 4, 2);
    const Encoded e = encoded(encoder, image, quality);
    const QByteArray &bytes = e.file;
    QVERIFY2(!bytes.isEmpty(), qPrintable(e.failure.description));
    QCOMPARE(e.failure.number, 0);

    QByteArray format;
    const QImage back = decode(bytes, &format);
    QCOMPARE(format, readerFormat(encoder));
    QCOMPARE(back.size(), size);
    if (minPsnr >= 99)
        QCOMPARE(TestPictures::maxChannelDifference(back.convertToFormat(QImage::Format_RGB32), image), 0);
    else
        QVERIFY2(TestPictures::psnr(back, image) >= minPsnr,
                 qPrintable(QString::number(TestPictures::psnr(back, image))));
}

void TestEncoders::bmpHeader_data()
{
    QTest::addColumn<QSize>("size");
    for (int w : {1, 2, 3, 4, 5, 237})
        QTest::addRow("%dx3", w) << QSize(w, 3);
}

void TestEncoders::bmpHeader()
{
    QFETCH(QSize, size);
    QImage image(size, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    image.setPixel(0, 0, qRgb(200, 100, 50));   // top-left, stored in the last row
    const QByteArray b = encodeBmp(image).file;

    const int stride = (size.width() * 3 + 3) / 4 * 4;
    QVERIFY(b.startsWith("BM"));
    QCOMPARE(le32(b, 2), quint32(b.size()));
    QCOMPARE(b.size(), 54 + stride * size.height());
    QCOMPARE(le32(b, 10), 54u);         // pixels right after the headers
    QCOMPARE(le32(b, 14), 40u);         // BITMAPINFOHEADER
    QCOMPARE(qint32(le32(b, 18)), size.width());
    QCOMPARE(qint32(le32(b, 22)), size.height());   // positive: bottom-up
    QCOMPARE(le16(b, 26), 1);
    QCOMPARE(le16(b, 28), 24);
    QCOMPARE(le32(b, 30), 0u);          // BI_RGB
    QCOMPARE(le32(b, 34), quint32(stride * size.height()));

    const int lastRow = 54 + stride * (size.height() - 1);
    QCOMPARE(b.mid(lastRow, 3), QByteArray("\x32\x64\xc8"));   // B, G, R
    QCOMPARE(b.mid(54, 3), QByteArray("\x1e\x14\x0a"));
    for (int pad = size.width() * 3; pad < stride; ++pad)
        QCOMPARE(b.at(54 + pad), '\0');
}

void TestEncoders::gifQualityOnPhotographs_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("noise");

    QTest::newRow("237x237 clean") << QSize(237, 237) << 1 << 0;
    QTest::newRow("237x237 noisy") << QSize(237, 237) << 2 << 8;
    QTest::newRow("237x178 very noisy") << QSize(237, 178) << 3 << 10;
    QTest::newRow("160x237") << QSize(160, 237) << 4 << 4;
    QTest::newRow("480x360") << QSize(480, 360) << 5 << 6;
}

void TestEncoders::gifQualityOnPhotographs()
{
    QFETCH(QSize, size);
    QFETCH(int, seed);
    QFETCH(int, noise);

    const QImage image = photograph(size, seed, noise);
    const QImage back = decode(encodeGif(image).file);
    QCOMPARE(back.size(), size);
    // A fixed web palette reaches about 25 dB here; a real quantiser well above 35.
    const double db = TestPictures::psnr(back, image);
    QVERIFY2(db >= 35.0, qPrintable(QString::number(db)));
}

void TestEncoders::gifKeepsFewColoursExact()
{
    // Flat areas and hard edges, as in a drawing or a screenshot.
    QImage image(120, 90, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(200, 30, 40), qRgb(203, 30, 40),
                            qRgb(0, 120, 255), qRgb(17, 17, 17)};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, colours[(x / 20 + y / 30 * 2) % 6]);
    const QImage back = decode(encodeGif(image).file).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(TestPictures::maxChannelDifference(back, image), 0);
}

void TestEncoders::gifDithersSmoothGradients()
{
    // A sky of some 40000 shades: 256 colours alone would show bands. With
    // dithering every small patch keeps its mean colour.
    QImage image(237, 178, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(40 + x * 180 / 237, 90 + y * 150 / 178, 230 - (x + y) * 60 / 415));
    const QImage back = decode(encodeGif(image).file).convertToFormat(QImage::Format_RGB32);
    const auto patchMeans = [](const QImage &img) {
        return img.scaled(img.width() / 6, img.height() / 6, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const double db = TestPictures::psnr(patchMeans(back), patchMeans(image));
    QVERIFY2(db >= 47, qPrintable(QString::number(db)));   // about 50 dithered, 44 banded
}

void TestEncoders::gifIsOneFrameWithOnePalette()
{
    const QByteArray b = encodeGif(photograph({100, 80}, 6, 10)).file;
    QVERIFY(b.startsWith("GIF87a") || b.startsWith("GIF89a"));
    QCOMPARE(le16(b, 6), 100);
    QCOMPARE(le16(b, 8), 80);
    const uchar packed = uchar(b.at(10));
    QVERIFY(packed & 0x80);                       // a global colour table...
    QVERIFY((2 << (packed & 0x07)) <= 256);       // ...of at most 256 colours
    QCOMPARE(b.back(), ';');                      // trailer
    QBuffer buffer;
    buffer.setData(b);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    QCOMPARE(reader.imageCount(), 1);
    QVERIFY(!reader.read().hasAlphaChannel());
}

void TestEncoders::jpegQualityAndOptimisedTables()
{
    const QImage image = photograph({237, 237}, 7, 3);
    const QByteArray q65 = encodeJpeg(image, 65).file;
    const QByteArray q95 = encodeJpeg(image, 95).file;
    QVERIFY(q95.size() > q65.size());
    QVERIFY(TestPictures::psnr(decode(q95), image) > TestPictures::psnr(decode(q65), image) + 2);

    // The same picture with the standard tables: optimised tables are smaller
    // and change nothing in the pixels.
    QByteArray plain;
    QBuffer buffer(&plain);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(65);
    QVERIFY(writer.write(image));
    QVERIFY2(q65.size() < plain.size(), qPrintable(QStringLiteral("%1 >= %2").arg(q65.size()).arg(plain.size())));
    QCOMPARE(TestPictures::maxChannelDifference(decode(q65), decode(plain)), 0);
}

void TestEncoders::inputFormatsGiveTheSameFile_data()
{
    QTest::addColumn<Encoder>("encoder");
    QTest::addColumn<QImage::Format>("format");
    const std::pair<const char *, Encoder> encoders[] = {
        {"bmp", Encoder::Bmp}, {"jpeg", Encoder::Jpeg}, {"gif", Encoder::Gif}};
    for (const auto &[name, e] : encoders) {
        QTest::addRow("%s ARGB32_Premultiplied", name) << e << QImage::Format_ARGB32_Premultiplied;
        QTest::addRow("%s RGB888", name) << e << QImage::Format_RGB888;
    }
}

void TestEncoders::inputFormatsGiveTheSameFile()
{
    QFETCH(Encoder, encoder);
    QFETCH(QImage::Format, format);
    const QImage image = photograph({64, 48}, 8, 5);
    QCOMPARE(encode(encoder, image.convertToFormat(format)), encode(encoder, image));
}

void TestEncoders::failures_data()
{
    QTest::addColumn<Encoder>("encoder");
    QTest::addColumn<QSize>("size");
    QTest::newRow("bmp of nothing") << Encoder::Bmp << QSize();
    QTest::newRow("jpeg of nothing") << Encoder::Jpeg << QSize();
    QTest::newRow("gif of nothing") << Encoder::Gif << QSize();
    QTest::newRow("gif wider than a gif can be") << Encoder::Gif << QSize(70000, 1);
}

void TestEncoders::failures()
{
    QFETCH(Encoder, encoder);
    QFETCH(QSize, size);
    QImage image;
    if (size.isValid()) {
        image = QImage(size, QImage::Format_RGB32);
        image.fill(Qt::gray);
    }
    const Encoded e = encoded(encoder, image);
    QVERIFY(e.file.isEmpty());
    QCOMPARE(e.failure.number, FailureCode::EncoderFailed);
    QVERIFY(!e.failure.description.isEmpty());
}

TUMBILDER_TEST_GUILESS_MAIN(TestEncoders)
#include "test_encoders.moc"
