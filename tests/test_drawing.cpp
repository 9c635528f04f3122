// Drawing one picture into the canvas: the size modes on real pictures,
// the fit, the preview, missing and unreadable files, decoding once.
#include "app/form1.h"
#include "platform/picture.h"
#include "platform/resample.h"
#include "thumbs/engine.h"
#include "scriptedseam.h"
#include "windows/form2.h"
#include "testmain.h"
#include "testpictures.h"
#include <QtTest>
#include <QBuffer>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QLineEdit>
#include <QScreen>
#include <cmath>

namespace {
QString writePicture(const QString &path, int w, int h, const char *format = "jpeg")
{
    const QFileInfo info(path);
    const QImage picture = TestPictures::photo(QSize(w, h));
    if (qstrcmp(format, "bmp") == 0)
        return TestPictures::writeFile(info.path(), info.fileName(), [&] {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            picture.save(&buffer, "BMP");
            return bytes;
        }());
    return TestPictures::writeJpeg(info.path(), info.fileName(), picture, 95);
}

int countColour(const QImage &img, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
    return n;
}
}

Q_DECLARE_METATYPE(SizeMode)

class TestDrawing : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sizeModes_data();
    void sizeModes();
    void matchesReference_data();
    void matchesReference();
    void smallPictureStaysTopLeft();
    void viewStaysInFrame();
    void missingAndUnreadable_data();
    void missingAndUnreadable();
    void previewNeedsSelection();
    void previewIgnoresSizeMode();
    void reportWindow();
    void canvasTooLargeToScale();

private:
    QTemporaryDir dir;
    QString big;     // 1600 x 1200
    QString small;   // 100 x 80
    QString wide, panorama, tall, tiny;
};

void TestDrawing::initTestCase()
{
    QVERIFY(dir.isValid());
    big = writePicture(dir.filePath("stor bild.jpg"), 1600, 1200);
    small = writePicture(dir.filePath("liten.bmp"), 100, 80, "bmp");
    wide = writePicture(dir.filePath("bred.jpg"), 1920, 1080);
    panorama = writePicture(dir.filePath("panorama.jpg"), 1800, 600);
    tall = writePicture(dir.filePath("hög.jpg"), 600, 1800);
    tiny = writePicture(dir.filePath("pytte.bmp"), 24, 16, "bmp");
}

void TestDrawing::sizeModes_data()
{
    QTest::addColumn<SizeMode>("mode");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<QSize>("inner");
    QTest::addColumn<QString>("picture");
    // Canvas 3615 x 3615; 1600 x 1200 pixels.
    QTest::newRow("lock height: about 4820 wide") << SizeMode::LockHeight << "" << QSize(317, 237) << big;
    QTest::newRow("lock width") << SizeMode::LockWidth << "" << QSize(237, 177) << big;
    QTest::newRow("lock both") << SizeMode::LockBoth << "" << QSize(237, 177) << big;
    QTest::newRow("percent 50: 800 x 600 outer") << SizeMode::Percent << "50" << QSize(796, 596) << big;
    // Wide pictures: the border would otherwise leave strips of background beside them.
    QTest::newRow("lock both, 16:9") << SizeMode::LockBoth << "" << QSize(237, 132) << wide;
    QTest::newRow("lock height, 3:1") << SizeMode::LockHeight << "" << QSize(719, 237) << panorama;
    QTest::newRow("lock width, 1:3") << SizeMode::LockWidth << "" << QSize(237, 719) << tall;
    // 10 % of 24 x 16 pixels is less than the border: still one pixel each way.
    QTest::newRow("percent of a tiny picture") << SizeMode::Percent << "10" << QSize(1, 1) << tiny;
}

void TestDrawing::sizeModes()
{
    QFETCH(SizeMode, mode);
    QFETCH(QString, percent);
    QFETCH(QSize, inner);
    QFETCH(QString, picture);
    const ColourValue magenta = 0xFF00FF;
    DrawSettings s;
    s.size = {mode, "3615", "3615", percent};
    s.canvas = {3615, 3615};
    s.background = magenta;
    const DrawResult r = drawThumbnail(s, picture);
    QCOMPARE(r.status, DrawResult::Drawn);
    QCOMPARE(r.image.size(), inner);
    if (mode == SizeMode::LockHeight && picture == big)
        QVERIFY(std::fabs(r.canvas.width - 4820.f) < 1);
    // The picture fills the whole inner area: no background is left over.
    QCOMPARE(countColour(r.image, qRgb(255, 0, 255)), 0);
}

void TestDrawing::matchesReference_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("inner");
    QTest::newRow("jpeg") << big << QSize(237, 177);
    // Each format's own shrinking on load; 1601 x 1201 so no factor divides it evenly.
    using namespace TestPictures;
    const QImage picture = photo(QSize(1601, 1201), 7);
    for (Format f : {Format::Png, Format::Webp, Format::Heic, Format::Avif, Format::Tiff})
        QTest::newRow(qPrintable(extension(f))) << writePicture(dir.path(), "referens." + extension(f), f, picture,
                                                                {.lossless = false, .quality = 95})
                                                << QSize(237, 177);
}

void TestDrawing::matchesReference()
{
    QFETCH(QString, path);
    QFETCH(QSize, inner);
    // Reference: the full-size decode resampled straight to the thumbnail size.
    const QImage full = PictureReader(path).decode();
    QVERIFY(!full.isNull());
    DrawSettings s;
    s.size = {SizeMode::LockBoth, "3615", "3615", ""};
    s.canvas = {3615, 3615};
    const DrawResult r = drawThumbnail(s, path);
    QCOMPARE(r.image.size(), inner);
    const QImage reference = resampleTo(full, r.image.size());
    // Shrinking on load loses a little against a full decode; 35 dB is far
    // beyond what the eye sees and well above a misplaced or blurred picture (~20 dB).
    const double quality = TestPictures::psnr(r.image, reference);
    qInfo("PSNR against the full-size reference: %.1f dB", quality);
    QVERIFY(quality > 35);
}

void TestDrawing::smallPictureStaysTopLeft()
{
    DrawSettings s;
    s.applySizeMode = false;
    s.canvas = {3615, 3615};
    s.background = 0x00FF00;   // green
    const DrawResult r = drawThumbnail(s, small);
    QCOMPARE(r.status, DrawResult::Drawn);
    QVERIFY(!r.loadedPicture.isNull());
    QCOMPARE(r.image.size(), QSize(237, 237));
    QCOMPARE(r.image.pixel(0, 0), QImage(small).pixel(0, 0));
    QCOMPARE(r.image.pixel(99, 79), QImage(small).pixel(99, 79));
    QCOMPARE(r.image.pixel(100, 80) & 0xffffff, 0x00FF00u);
    QCOMPARE(countColour(r.image, qRgb(0, 255, 0)), 237 * 237 - 100 * 80);
}

void TestDrawing::viewStaysInFrame()
{
    RunSettings run;
    run.draw.size = {SizeMode::LockBoth, "3615", "3615", ""};
    run.draw.canvas = {3615, 3615};
    for (const QString &path : {big, small})
        QCOMPARE(cmd_ritabild_Click(run, pictureJobs({path}).first()).drawn.status, DrawResult::Drawn);
    // Percent mode makes the canvas 800 x 600 pixels, and a run stopped by an
    // error (a separator in the suffix) leaves it so; the view stays within its frame.
    ScriptedSeam seam;
    Form1 form;
    form.findChildren<QRadioButton *>(QStringLiteral("optlås"))[3]->click();
    form.findChild<QLineEdit *>(QStringLiteral("plusfilnamn2"))->setText("_s/");
    form.List1_OLEDragDrop({big});
    form.Command1_Click();
    QCOMPARE(seam.messages.size(), 1);
    QCOMPARE(form.canvas().width(), 12000.f);
    QCOMPARE(form.findChild<QWidget *>(QStringLiteral("Picture1"))->size(), QSize(241, 241));
}

void TestDrawing::missingAndUnreadable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");   // empty: no file at all
    QTest::addColumn<QString>("line");
    QTest::newRow("missing") << "borta.jpg" << QByteArray() << "Fil saknas: ";
    QTest::newRow("text named jpg") << "text.jpg" << QByteArray("inte en bild") << "Kan inte läsa bilden: ";
    QTest::newRow("zero bytes") << "tom.gif" << QByteArray("") << "Fil saknas: ";
}

void TestDrawing::missingAndUnreadable()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, line);
    const QString path = dir.filePath(name);
    if (!content.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    RunSettings run;
    run.save.web = true;
    run.save.pageFolder = dir.path() + "/ut/";
    const PictureJob job = pictureJobs({path}).first();
    const Prepared drawn = cmd_ritabild_Click(run, job);
    const Committed c = cmd_sparabild_Click(run.save, job, drawn);
    QCOMPARE(c.reportLine, line + path);
    QVERIFY(!c.entry);
    QVERIFY(c.written.isEmpty());
    QVERIFY(!c.failure.failed());
}

void TestDrawing::previewNeedsSelection()
{
    ScriptedSeam seam;
    Form1 form;
    form.List1_OLEDragDrop({big});
    const QImage before = form.canvas().persistentImage();
    form.cmdtestabild_Click();
    QCOMPARE(seam.messages.size(), 1);
    QCOMPARE(seam.messages[0].text, QStringLiteral("Markera en bild i listan för att se den som miniatyr!"));
    QCOMPARE(seam.messages[0].title, QStringLiteral("Tumbilder"));
    QCOMPARE(seam.messages[0].icon, Seam::Icon::Warning);
    QCOMPARE(form.canvas().persistentImage(), before);
}

void TestDrawing::previewIgnoresSizeMode()
{
    ScriptedSeam seam;
    QImage first;
    for (int mode = 0; mode < 4; ++mode) {
        Form1 form;
        form.findChildren<QRadioButton *>(QStringLiteral("optlås"))[mode]->click();
        form.List1_OLEDragDrop({big});
        auto *list = form.findChild<QListWidget *>(QStringLiteral("List1"));
        list->setCurrentRow(0);
        form.cmdtestabild_Click();
        QCOMPARE(form.canvas().width(), 3615.f);
        QCOMPARE(form.canvas().height(), 3615.f);
        if (mode == 0)
            first = form.canvas().persistentImage();
        else
            QCOMPARE(form.canvas().persistentImage(), first);
    }
    QVERIFY(seam.messages.isEmpty());
    // A file that vanished after it was listed: silently nothing new.
    Form1 form;
    form.List1_OLEDragDrop({dir.filePath("finns-inte.jpg")});
    form.findChild<QListWidget *>(QStringLiteral("List1"))->setCurrentRow(0);
    const QImage before = form.canvas().persistentImage();
    form.cmdtestabild_Click();
    QCOMPARE(form.canvas().persistentImage(), before);
    QVERIFY(form.reportText().isEmpty());
    QVERIFY(seam.messages.isEmpty());
}

void TestDrawing::reportWindow()
{
    Form1 form;
    QVERIFY(!form.reportWindow());
    form.appendReport(QStringLiteral("Fil saknas: /a.jpg"));
    QVERIFY(form.reportWindow());
    QVERIFY(!form.reportWindow()->isVisible());
    form.appendReport(QStringLiteral("Filen finns redan: /b_s.jpg"));
    QCOMPARE(form.reportText(), QStringLiteral("\r\nFil saknas: /a.jpg\r\nFilen finns redan: /b_s.jpg"));
    auto *text = form.reportWindow()->findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
    QCOMPARE(text->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(!text->isReadOnly());
    QCOMPARE(form.reportWindow()->windowTitle(), QStringLiteral("Info"));
    // At the centre of the screen, like the other windows, in the main window's font.
    form.move(0, 0);
    form.reportWindow()->show();
    const QPoint offCentre = form.reportWindow()->geometry().center() - form.screen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 8, qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
    QCOMPARE(form.reportWindow()->font(), form.font());
    form.reportWindow()->hide();

    form.reportWindow()->close();
    QTRY_VERIFY(!form.reportWindow());

    // Enter (even in the text box) and Escape close the window and discard the report.
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        form.appendReport(QStringLiteral("rad"));
        QPointer<Form2> window = form.reportWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *box = window->findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
        box->setFocus();
        QTest::keyClick(box, Qt::Key(key));
        QTRY_VERIFY(window.isNull());
        QVERIFY(form.reportText().isEmpty());
    }
}

void TestDrawing::canvasTooLargeToScale()
{
    // 60000 x 1 pixels in lock-height mode: the canvas would be 14 million
    // pixels wide, more than any picture can be. The user is told, the
    // canvas keeps what it showed, and no thumbnail is written.
    const QString path = writePicture(dir.filePath("strimla.bmp"), 60000, 1, "bmp");
    ScriptedSeam seam;
    seam.onModal = [](QDialog *d) { d->accept(); };
    Form1 form;
    form.findChildren<QRadioButton *>(QStringLiteral("optlås"))[0]->click();
    form.List1_OLEDragDrop({path});
    const QImage before = form.canvas().persistentImage();
    form.Command1_Click();
    QCOMPARE(seam.messages.size(), 1);
    QCOMPARE(seam.messages[0].title, QStringLiteral("Felmeddelande"));
    QCOMPARE(seam.messages[0].icon, Seam::Icon::Warning);
    QVERIFY(seam.messages[0].text.startsWith(QStringLiteral("Ett fel uppstod då bilden skulle skalas om: ")));
    QVERIFY(seam.messages[0].text.endsWith(QStringLiteral("\rFelkod: 12")));
    QCOMPARE(form.canvas().persistentImage(), before);
    QVERIFY(!QFile::exists(dir.filePath("strimla_s.jpg")));
}

TUMBILDER_TEST_MAIN(TestDrawing)
#include "test_drawing.moc"
