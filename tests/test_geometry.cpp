// Pure rules: canvas sizing, the fit, SplitText and the quality box.
#include "thumbs/splittext.h"
#include "thumbs/geometry.h"
#include "thumbs/quality.h"
#include "testmain.h"
#include <QtTest>

Q_DECLARE_METATYPE(SizeMode)

class TestGeometry : public QObject {
    Q_OBJECT
private slots:
    void sizeCanvas_data();
    void sizeCanvas();
    void fitTarget_data();
    void fitTarget();
    void splitText_data();
    void splitText();
    void quality_data();
    void quality();
    void int16Conversion_data();
    void int16Conversion();
};

void TestGeometry::sizeCanvas_data()
{
    QTest::addColumn<SizeMode>("mode");
    QTest::addColumn<float>("canvasW");
    QTest::addColumn<float>("canvasH");
    QTest::addColumn<QString>("boundW");
    QTest::addColumn<QString>("boundH");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<float>("W");
    QTest::addColumn<float>("H");
    QTest::addColumn<float>("expectW");
    QTest::addColumn<float>("expectH");

    // 1600 x 1200 pixels = 24000 x 18000 twips.
    QTest::newRow("lock height widens past the bar maximum")
        << SizeMode::LockHeight << 3615.f << 3615.f << "" << "" << "" << 24000.f << 18000.f
        << float(3615.0 * double(24000.f / 18000.f)) << 3615.f;
    QTest::newRow("lock width")
        << SizeMode::LockWidth << 3615.f << 3615.f << "" << "" << "" << 24000.f << 18000.f
        << 3615.f << float(3615.0 * double(18000.f / 24000.f));
    QTest::newRow("lock both, tall picture: height binds")
        << SizeMode::LockBoth << 100.f << 100.f << "3615" << "3615" << "" << 18000.f << 24000.f
        << float(3615.0 * 0.75) << float(double(float(3615.0 * 0.75)) * double(24000.f / 18000.f));
    QTest::newRow("lock both, wide picture: width binds")
        << SizeMode::LockBoth << 100.f << 100.f << "2400" << "1800" << "" << 24000.f << 6000.f
        << float(600.0 * 4.0) << 600.f;
    QTest::newRow("lock both, square in a square: tie goes to the height")
        << SizeMode::LockBoth << 100.f << 100.f << "3615" << "3615" << "" << 6000.f << 6000.f
        << 3615.f << 3615.f;
    QTest::newRow("lock both with empty bounds keeps the canvas")
        << SizeMode::LockBoth << 2400.f << 1800.f << "" << "" << "" << 24000.f << 18000.f
        << 2400.f << 1800.f;
    QTest::newRow("percent 50")
        << SizeMode::Percent << 3615.f << 3615.f << "" << "" << "50" << 24000.f << 18000.f << 12000.f << 9000.f;
    QTest::newRow("percent 100 is the natural size")
        << SizeMode::Percent << 3615.f << 3615.f << "" << "" << "100" << 1500.f << 900.f << 1500.f << 900.f;
    QTest::newRow("percent with an empty tag keeps the canvas")
        << SizeMode::Percent << 3615.f << 2000.f << "" << "" << "" << 24000.f << 18000.f << 3615.f << 2000.f;
    QTest::newRow("no mode selected keeps the canvas")
        << SizeMode::None << 3615.f << 2000.f << "" << "" << "50" << 24000.f << 18000.f << 3615.f << 2000.f;
    QTest::newRow("zero height: the division is skipped")
        << SizeMode::LockHeight << 3615.f << 3615.f << "" << "" << "" << 24000.f << 0.f << 3615.f << 3615.f;
}

void TestGeometry::sizeCanvas()
{
    QFETCH(SizeMode, mode);
    QFETCH(float, canvasW);
    QFETCH(float, canvasH);
    QFETCH(QString, boundW);
    QFETCH(QString, boundH);
    QFETCH(QString, percent);
    QFETCH(float, W);
    QFETCH(float, H);
    QFETCH(float, expectW);
    QFETCH(float, expectH);
    const CanvasSize c = ::sizeCanvas({mode, textToSingle(boundH), textToSingle(boundW), textToDouble(percent)}, {canvasW, canvasH}, W, H);
    QCOMPARE(c.width, expectW);
    QCOMPARE(c.height, expectH);
}

void TestGeometry::fitTarget_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<float>("innerW");
    QTest::addColumn<float>("innerH");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QRectF>("expect");

    // Width step r = 0.1506 gives 3615 x 2711, height step r = 0.8908 gives 3220 x 2415.
    QTest::newRow("both steps, centred horizontally")
        << QSize(1600, 1200) << 3615.f << 2415.f << false << QRectF(197.5, 0, 3220, 2415);
    QTest::newRow("small picture needs no fit") << QSize(100, 80) << 3555.f << 3555.f << true << QRectF();
    QTest::newRow("exactly the inner size needs no fit") << QSize(237, 237) << 3555.f << 3555.f << true << QRectF();
    QTest::newRow("one pixel wider than the inner area")
        << QSize(238, 100) << 3555.f << 3555.f << false << QRectF(0, (3555 - 1494) / 2.0, 3555, 1494);
    // r = 0.05925 is taken as 0.0592 (four decimals): 2664 high, not 2666.
    QTest::newRow("the ratio to four decimals")
        << QSize(4000, 3000) << 3555.f << 3555.f << false << QRectF(0, 445.5, 3555, 2664);
    // r = 0.5925 gives 1777.5, which rounds to the even 1778.
    QTest::newRow("only the height step")
        << QSize(200, 400) << 3555.f << 3555.f << false << QRectF(888.5, 0, 1778, 3555);
}

void TestGeometry::fitTarget()
{
    QFETCH(QSize, picture);
    QFETCH(float, innerW);
    QFETCH(float, innerH);
    QFETCH(bool, fits);
    QFETCH(QRectF, expect);
    const auto target = ::fitTarget(picture, {innerW, innerH});
    QCOMPARE(!target.has_value(), fits);
    if (target)
        QCOMPARE(*target, expect);
}

void TestGeometry::splitText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("empty text") << "" << "." << QStringList{""};
    QTest::newRow("no delimiter") << "sol" << "." << QStringList{"sol"};
    QTest::newRow("empty piece at the end dropped") << "a." << "." << QStringList{"a"};
    QTest::newRow("a.b.") << "a.b." << "." << QStringList{"a", "b"};
    QTest::newRow("empty piece in the middle kept") << "a..b" << "." << QStringList{"a", "", "b"};
    QTest::newRow("empty piece at the start kept") << "/a" << "/" << QStringList{"", "a"};
    QTest::newRow("two leading separators") << "//srv/a.jpg" << "/" << QStringList{"", "", "srv", "a.jpg"};
    QTest::newRow("only the delimiter") << "." << "." << QStringList{""};
    QTest::newRow("longer delimiter") << "a--b--c" << "--" << QStringList{"a", "b", "c"};
    QTest::newRow("case-sensitive") << "aXbxc" << "x" << QStringList{"aXb", "c"};
    QTest::newRow("semester.2003.jpg") << "semester.2003.jpg" << "." << QStringList{"semester", "2003", "jpg"};
}

void TestGeometry::splitText()
{
    QFETCH(QString, text);
    QFETCH(QString, delimiter);
    QFETCH(QStringList, pieces);
    QCOMPARE(SplitText(text, delimiter), pieces);
}

void TestGeometry::quality_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("typing");    // after a change; "-" means left alone
    QTest::addColumn<QString>("leaving");   // when the box loses the focus
    QTest::newRow("700") << "700" << "100" << "100";
    QTest::newRow("0") << "0" << "65" << "65";
    QTest::newRow("abc") << "abc" << "65" << "65";
    QTest::newRow("12abc") << "12abc" << "12" << "12";
    QTest::newRow("50.5 to even") << "50.5" << "50" << "50";
    QTest::newRow("51.5 to even") << "51.5" << "52" << "52";
    QTest::newRow("7.5") << "7.5" << "8" << "8";
    QTest::newRow("6.5") << "6.5" << "6" << "6";
    QTest::newRow("250") << "250" << "100" << "100";
    QTest::newRow("-5 stays") << "-5" << "-5" << "-5";
    QTest::newRow("empty") << "" << "-" << "65";
    QTest::newRow("leading blanks") << "  42" << "42" << "42";
    QTest::newRow("far below 16 bits") << "-99999999" << "-32768" << "-32768";
    QTest::newRow("far above 16 bits") << "99999999999999999999" << "100" << "100";
    QTest::newRow("exponent") << "1e1" << "10" << "10";
    QTest::newRow("lone sign") << "-" << "65" << "65";
}

void TestGeometry::quality()
{
    QFETCH(QString, text);
    QFETCH(QString, typing);
    QFETCH(QString, leaving);
    QCOMPARE(normalisedQuality(text, true).value_or("-"), typing);
    QCOMPARE(normalisedQuality(text, false).value_or("-"), leaving);
    QVERIFY(encoderQuality(text) >= 1 && encoderQuality(text) <= 100);
}

void TestGeometry::int16Conversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");   // -99999 means the conversion fails
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("100") << "100" << 100;
    QTest::newRow("0.5 to even") << "0.5" << 0;
    QTest::newRow("1.5 to even") << "1.5" << 2;
    QTest::newRow("blanks") << " 75 " << 75;
    QTest::newRow("abc") << "abc" << -99999;
    QTest::newRow("empty") << "" << -99999;
    QTest::newRow("40000") << "40000" << -99999;
    QTest::newRow("-32768") << "-32768" << -32768;
}

void TestGeometry::int16Conversion()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(textToInt16(text).value_or(-99999), value);
}

TUMBILDER_TEST_GUILESS_MAIN(TestGeometry)
#include "test_geometry.moc"
