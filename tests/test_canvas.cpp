#include "codecs/encoders.h"
#include "codecs/picture.h"
#include "pixels/canvas.h"
#include "pixels/resample.h"
#include "testmain.h"
#include "testpictures.h"
#include <QColor>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace TestPictures;

namespace {
const QRgb Red = qRgb(230, 20, 20), Green = qRgb(20, 200, 40), Blue = qRgb(30, 40, 220), Yellow = qRgb(240, 220, 30);

// 40 x 40: red, green / blue, yellow quadrants of 20 x 20.
QImage quadrants()
{
    QImage image(40, 40, QImage::Format_RGB32);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            image.setPixel(x, y, y < 20 ? (x < 20 ? Red : Green) : (x < 20 ? Blue : Yellow));
    return image;
}

// Each 4 x 4 block averaged: the area-average reference for a 4x reduction.
QImage boxReduce4(const QImage &src)
{
    QImage out(src.width() / 4, src.height() / 4, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            int r = 0, g = 0, b = 0;
            for (int j = 0; j < 4; ++j) {
                for (int i = 0; i < 4; ++i) {
                    const QRgb p = src.pixel(4 * x + i, 4 * y + j);
                    r += qRed(p);
                    g += qGreen(p);
                    b += qBlue(p);
                }
            }
            out.setPixel(x, y, qRgb((r + 8) / 16, (g + 8) / 16, (b + 8) / 16));
        }
    }
    return out;
}

// Grey vertical sine stripes with the given period in pixels.
QImage sineStripes(QSize size, int period)
{
    QImage image(size, QImage::Format_RGB32);
    for (int x = 0; x < size.width(); ++x) {
        const int v = int(std::lround(127.5 + 127.5 * std::sin(2 * M_PI * x / period)));
        for (int y = 0; y < size.height(); ++y)
            image.setPixel(x, y, qRgb(v, v, v));
    }
    return image;
}

// Contrast left along the middle row, away from the borders.
int contrast(const QImage &image)
{
    int lo = 255, hi = 0;
    for (int x = 4; x < image.width() - 4; ++x) {
        const int g = qGreen(image.pixel(x, image.height() / 2));
        lo = qMin(lo, g);
        hi = qMax(hi, g);
    }
    return hi - lo;
}
}

class TestCanvas : public QObject {
    Q_OBJECT

private slots:
    void innerAreaFollowsOuterSize_data();
    void innerAreaFollowsOuterSize();
    void colourValuesHoldRedInLowestByte_data();
    void colourValuesHoldRedInLowestByte();
    void loadedPictureShowsAtNaturalSize();
    void clearingAndRecolouringErase();
    void resizingKeepsWhatWasDrawn();
    void paintStretchedPlacesAndCuts_data();
    void paintStretchedPlacesAndCuts();
    void persistentImageSurvivesBmpRoundTrip();
    void resampleIsCloseToAreaAverage();
    void resampleKeepsDetailAndSuppressesAliasing_data();
    void resampleKeepsDetailAndSuppressesAliasing();
    void resampleKeepsColoursAndAlphaValid();
    void resampleKeepsEdgesAndFlats_data();
    void resampleKeepsEdgesAndFlats();
};

void TestCanvas::innerAreaFollowsOuterSize_data()
{
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<QSize>("inner");
    QTest::newRow("default 3615") << 3615.0f << 3615.0f << QSize(237, 237);
    QTest::newRow("landscape") << 4815.0f << 3015.0f << QSize(317, 197);
    QTest::newRow("half pixel rounds to even: 241.5") << 3622.5f << 3607.5f << QSize(238, 236);
    QTest::newRow("just the border") << 60.0f << 75.0f << QSize(0, 1);
    QTest::newRow("smaller than the border") << 30.0f << 0.0f << QSize(0, 0);
}

void TestCanvas::innerAreaFollowsOuterSize()
{
    QFETCH(float, width);
    QFETCH(float, height);
    QFETCH(QSize, inner);
    Canvas canvas;
    canvas.setWidth(width);
    canvas.setHeight(height);
    QCOMPARE(canvas.width(), width);
    QCOMPARE(canvas.height(), height);
    QCOMPARE(canvas.innerWidth(), width - 60);
    QCOMPARE(canvas.innerHeight(), height - 60);
    QCOMPARE(canvas.innerPixels(), inner);
    QCOMPARE(canvas.persistentImage().size(), inner.isEmpty() ? QSize(0, 0) : inner);
    // Nothing to draw into: every operation is a harmless no-op.
    canvas.setPicture(quadrants());
    canvas.paintStretched(quadrants(), QRectF(0, 0, 600, 600));
    canvas.setBackColour(0xff);
    canvas.clearPicture();
    QCOMPARE(canvas.persistentImage().size(), inner.isEmpty() ? QSize(0, 0) : inner);
}

void TestCanvas::colourValuesHoldRedInLowestByte_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QString>("name");
    QTest::newRow("orange") << quint32(33023) << "#ff8000";
    QTest::newRow("silver") << quint32(0xC0C0C0) << "#c0c0c0";
    QTest::newRow("byte order") << quint32(0x123456) << "#563412";
    QTest::newRow("black") << quint32(0) << "#000000";
    QTest::newRow("white") << quint32(0xFFFFFF) << "#ffffff";
}

void TestCanvas::colourValuesHoldRedInLowestByte()
{
    QFETCH(quint32, value);
    QFETCH(QString, name);
    QCOMPARE(Canvas::toColor(value).name(), name);
    QCOMPARE(Canvas::fromColor(QColor(name)), value);
    Canvas canvas(600, 600, value);
    QVERIFY(allPixels(canvas.persistentImage(), QColor(name).rgb()));
}

void TestCanvas::loadedPictureShowsAtNaturalSize()
{
    Canvas canvas(1500, 1200, 0x00FFFF); // yellow; 96 x 76 inside
    const QImage pic = quadrants();
    canvas.setPicture(pic);
    const QImage &img = canvas.persistentImage();
    QCOMPARE(img.size(), QSize(96, 76));
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            QCOMPARE(img.pixel(x, y), x < 40 && y < 40 ? pic.pixel(x, y) : qRgb(255, 255, 0));

    // Larger than the canvas: cut off; transparent parts show the background.
    QImage big(200, 100, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    for (int y = 0; y < 100; ++y)
        for (int x = 50; x < 200; ++x)
            big.setPixel(x, y, Blue);
    canvas.setPicture(big);
    QCOMPARE(canvas.picture().size(), big.size());
    QCOMPARE(img.size(), QSize(96, 76));
    QCOMPARE(img.pixel(10, 10), qRgb(255, 255, 0));
    QCOMPARE(img.pixel(49, 75), qRgb(255, 255, 0));
    QCOMPARE(img.pixel(50, 0), Blue);
    QCOMPARE(img.pixel(95, 75), Blue);
}

void TestCanvas::clearingAndRecolouringErase()
{
    Canvas canvas(1500, 1500, 0xC0C0C0);
    const QRgb silver = qRgb(192, 192, 192);
    canvas.setPicture(quadrants());
    canvas.paintStretched(quadrants(), QRectF(600, 600, 600, 600));
    QVERIFY(!allPixels(canvas.persistentImage(), silver));
    canvas.clearPicture();
    QVERIFY(canvas.picture().isNull());
    QVERIFY(allPixels(canvas.persistentImage(), silver));

    // A new colour erases what was painted but shows the loaded picture again.
    canvas.setPicture(quadrants());
    canvas.paintStretched(quadrants(), QRectF(600, 600, 600, 600));
    canvas.setBackColour(0x0000FF);
    QCOMPARE(canvas.backColour(), ColourValue(0x0000FF));
    QCOMPARE(canvas.persistentImage().pixel(5, 5), Red);
    QCOMPARE(canvas.persistentImage().pixel(60, 60), qRgb(255, 0, 0));
    QCOMPARE(canvas.persistentImage().pixel(85, 85), qRgb(255, 0, 0));

    // A finished thumbnail replaces everything, loaded picture included.
    QImage thumb(canvas.innerPixels(), QImage::Format_ARGB32);
    thumb.fill(Green);
    canvas.setPersistentImage(thumb);
    QVERIFY(canvas.picture().isNull());
    QCOMPARE(canvas.persistentImage().format(), QImage::Format_RGB32);
    QVERIFY(allPixels(canvas.persistentImage(), Green));
}

void TestCanvas::resizingKeepsWhatWasDrawn()
{
    Canvas canvas(900, 900, 0xFFFFFF); // 56 x 56 inside
    canvas.paintStretched(quadrants(), QRectF(0, 0, 600, 600));
    const QRgb corner = canvas.persistentImage().pixel(2, 2);
    canvas.setWidth(1500);
    QCOMPARE(canvas.persistentImage().size(), QSize(96, 56));
    QCOMPARE(canvas.persistentImage().pixel(2, 2), corner);
    QCOMPARE(canvas.persistentImage().pixel(90, 10), qRgb(255, 255, 255));
    canvas.setHeight(300);
    QCOMPARE(canvas.persistentImage().size(), QSize(96, 16));
    QCOMPARE(canvas.persistentImage().pixel(2, 2), corner);
}

void TestCanvas::paintStretchedPlacesAndCuts_data()
{
    QTest::addColumn<QRectF>("target"); // twips, from the inner top-left
    QTest::addColumn<QRect>("pixels");  // where the picture must land
    QTest::newRow("inside, 2x") << QRectF(150, 300, 1200, 1200) << QRect(10, 20, 80, 80);
    QTest::newRow("inside, shrunk and squeezed") << QRectF(0, 0, 450, 300) << QRect(0, 0, 30, 20);
    QTest::newRow("cut off left and top") << QRectF(-600, -300, 1800, 1800) << QRect(-40, -20, 120, 120);
    QTest::newRow("cut off right and bottom") << QRectF(1800, 1500, 1200, 1200) << QRect(120, 100, 80, 80);
    QTest::newRow("halves round to even") << QRectF(112.5, 127.5, 607.5, 592.5) << QRect(8, 8, 40, 40);
    QTest::newRow("wholly outside") << QRectF(3000, 0, 600, 600) << QRect(200, 0, 40, 40);
    QTest::newRow("empty target") << QRectF(300, 300, 0, 600) << QRect();
}

void TestCanvas::paintStretchedPlacesAndCuts()
{
    QFETCH(QRectF, target);
    QFETCH(QRect, pixels);
    Canvas canvas(2310, 2160, 0x808080); // 150 x 140 inside
    const QRgb grey = qRgb(128, 128, 128);
    canvas.paintStretched(quadrants(), target);
    const QImage &img = canvas.persistentImage();
    QCOMPARE(img.size(), QSize(150, 140));

    // Solid blocks stay solid away from the seams between them (the filter
    // reaches a couple of source pixels across), edges included.
    const int margin = 2 * qMax(1, pixels.width() / 40) + 1;
    const QRgb colours[] = {Red, Green, Blue, Yellow};
    for (int q = 0; q < 4 && !pixels.isEmpty(); ++q) {
        const int hw = pixels.width() / 2, hh = pixels.height() / 2;
        QRect block(pixels.x() + (q % 2) * hw, pixels.y() + (q / 2) * hh, hw, hh);
        block.adjust(q % 2 ? margin : 0, q / 2 ? margin : 0, q % 2 ? 0 : -margin, q / 2 ? 0 : -margin);
        block &= img.rect();
        for (int y = block.top(); y <= block.bottom(); ++y)
            for (int x = block.left(); x <= block.right(); ++x)
                QVERIFY2(pixelDistance(img.pixel(x, y), colours[q]) <= 2, qPrintable(QString("%1,%2").arg(x).arg(y)));
    }
    // Nothing outside the target.
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (!pixels.contains(x, y))
                QCOMPARE(img.pixel(x, y), grey);
}

void TestCanvas::persistentImageSurvivesBmpRoundTrip()
{
    QTemporaryDir dir;
    Canvas canvas(3015, 2415, 0x3060C0);
    canvas.paintStretched(photo(QSize(300, 200), 5), QRectF(300, 150, 2400, 1650));
    const Encoded e = encodeBmp(canvas.persistentImage());
    QVERIFY2(!e.failure.failed(), qPrintable(e.failure.description));
    const QByteArray &bmp = e.file;
    const QString path = writeFile(dir.path(), "tumme.bmp", bmp);
    PictureReader reader(path);
    QCOMPARE(reader.naturalSize(), QSize(197, 157));
    const QImage back = reader.decode();
    QCOMPARE(maxChannelDifference(back, canvas.persistentImage()), 0);
}

namespace {
// The kernels for wider vectors, where the processor has them, give the
// very pixels the others give.
bool sameWithoutWideVectors(const QImage &source, QSize size, const QImage &out)
{
    allowWideVectors(false);
    const QImage narrow = resampleTo(source, size);
    allowWideVectors(true);
    return narrow == out;
}
}

void TestCanvas::resampleIsCloseToAreaAverage()
{
    const QImage src = photo(QSize(800, 600), 2);
    const QImage small = resampleTo(src, QSize(200, 150));
    QCOMPARE(small.size(), QSize(200, 150));
    QCOMPARE(small.format(), QImage::Format_RGB32);
    QVERIFY2(psnr(small, boxReduce4(src)) > 36, qPrintable(QString::number(psnr(small, boxReduce4(src)))));
    QVERIFY(sameWithoutWideVectors(src, QSize(200, 150), small));
    QVERIFY(sameWithoutWideVectors(src, QSize(601, 433), resampleTo(src, QSize(601, 433))));
}

void TestCanvas::resampleKeepsDetailAndSuppressesAliasing_data()
{
    QTest::addColumn<int>("period"); // source pixels; 8 is the reduced picture's limit
    QTest::addColumn<bool>("resolvable");
    QTest::newRow("16 px: 4 px after") << 16 << true;
    QTest::newRow("20 px: 5 px after") << 20 << true;
    QTest::newRow("24 px: 6 px after") << 24 << true;
    QTest::newRow("6 px: beyond the limit") << 6 << false;
    QTest::newRow("5 px: beyond the limit") << 5 << false;
}

// Compared with Qt's smooth scaling (an area average when shrinking): detail
// the smaller picture can hold keeps more contrast, detail it cannot hold
// does not come back as false coarse stripes.
void TestCanvas::resampleKeepsDetailAndSuppressesAliasing()
{
    QFETCH(int, period);
    QFETCH(bool, resolvable);
    const QImage src = sineStripes(QSize(800, 40), period);
    const int ours = contrast(resampleTo(src, QSize(200, 10)));
    const int qt = contrast(src.scaled(200, 10, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    const QString both = QString("ours %1, Qt %2").arg(ours).arg(qt);
    if (resolvable)
        QVERIFY2(ours >= qt + 5, qPrintable(both));
    else
        QVERIFY2(ours * 2 < qt, qPrintable(both));
}

void TestCanvas::resampleKeepsColoursAndAlphaValid()
{
    QImage solid(3, 3, QImage::Format_RGB32);
    solid.fill(Yellow);
    QVERIFY(allPixels(resampleTo(solid, QSize(31, 17)), Yellow));
    QCOMPARE(resampleTo(quadrants(), QSize(40, 40)), quadrants());
    QVERIFY(resampleTo(QImage(), QSize(10, 10)).isNull());
    QVERIFY(resampleTo(solid, QSize(0, 10)).isNull());

    // Hard alpha edges: the filter's overshoot must not leave a colour
    // channel above its alpha, or premultiplied pixels turn invalid.
    QImage cut(60, 60, QImage::Format_ARGB32_Premultiplied);
    cut.fill(Qt::transparent);
    for (int y = 20; y < 40; ++y)
        for (int x = 10; x < 50; ++x)
            cut.setPixel(x, y, qRgb(255, 255, 255));
    for (const QSize size : {QSize(15, 15), QSize(23, 41), QSize(150, 150)}) {
        const QImage out = resampleTo(cut, size);
        QCOMPARE(out.format(), QImage::Format_ARGB32_Premultiplied);
        bool valid = true;
        for (int y = 0; y < out.height(); ++y) {
            for (int x = 0; x < out.width(); ++x) {
                const QRgb p = out.pixel(x, y);
                valid &= qRed(p) <= qAlpha(p) && qGreen(p) <= qAlpha(p) && qBlue(p) <= qAlpha(p);
            }
        }
        QVERIFY(valid);
        QCOMPARE(qAlpha(out.pixel(0, 0)), 0);
        QVERIFY(sameWithoutWideVectors(cut, size, out));
    }
}

void TestCanvas::resampleKeepsEdgesAndFlats_data()
{
    QTest::addColumn<QImage>("source");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("darkened");   // where a dark line must show; none: the result stays flat
    // White with a black line one pixel wide: the first and the last pixel of
    // a row count like the others.
    auto line = [](int column) {
        QImage image(800, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        for (int y = 0; y < image.height(); ++y)
            image.setPixel(column, y, qRgb(0, 0, 0));
        return image;
    };
    QTest::newRow("dark first column") << line(0) << QSize(200, 10) << QPoint(0, 5);
    QTest::newRow("dark last column") << line(799) << QSize(200, 10) << QPoint(199, 5);
    QImage grey(2400, 60, QImage::Format_RGB32);
    grey.fill(qRgb(128, 128, 128));
    QTest::newRow("flat grey to a few pixels") << grey << QSize(3, 2) << QPoint(-1, -1);
}

void TestCanvas::resampleKeepsEdgesAndFlats()
{
    QFETCH(QImage, source);
    QFETCH(QSize, size);
    QFETCH(QPoint, darkened);
    const QImage out = resampleTo(source, size);
    if (darkened.x() < 0)
        QVERIFY(allPixels(out, source.pixel(0, 0)));
    else
        QVERIFY2(qGreen(out.pixel(darkened)) < 240, qPrintable(QString::number(qGreen(out.pixel(darkened)))));
}

TUMBILDER_TEST_MAIN(TestCanvas)
#include "test_canvas.moc"
