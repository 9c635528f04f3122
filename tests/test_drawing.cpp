// Drawing one picture into the canvas: the size modes on real pictures,
// the fit, the preview, missing and unreadable files, decoding once.
#include "app/form1.h"
#include "codecs/picture.h"
#include "pixels/resample.h"
#include "gallery/pagefiles.h"
#include "thumbs/thumbnailsteps.h"
#include "mainwindowtest.h"
#include "scriptedseam.h"
#include "windows/form2.h"
#include "testmain.h"
#include "testpictures.h"
#include <QtTest>
#include <QBuffer>
#include <QPainter>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QLineEdit>
#include <QScreen>
#include <QThread>
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

// The markers of a JPEG's segments before its picture data.
QList<uchar> jpegMarkers(const QByteArray &jpeg)
{
    QList<uchar> markers;
    for (qsizetype at = 2; at + 4 <= jpeg.size() && uchar(jpeg[at]) == 0xFF;) {
        const uchar marker = uchar(jpeg[at + 1]);
        markers << marker;
        if (marker == 0xDA)
            break;
        at += 2 + (uchar(jpeg[at + 2]) << 8 | uchar(jpeg[at + 3]));
    }
    return markers;
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

class TestDrawing : public MainWindowTest {
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
    void webSizeCopy_data();
    void webSizeCopy();
    void memoryBudget_data();
    void memoryBudget();

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
    s.size = {mode, 3615.f, 3615.f, textToDouble(percent)};
    s.canvas = {3615, 3615};
    s.background = magenta;
    const DrawResult r = drawThumbnail(s, picture);
    QCOMPARE(r.status, DrawResult::Drawn);
    QCOMPARE(r.image.size(), inner);
    if (mode == SizeMode::LockHeight && picture == big)
        QVERIFY(std::fabs(r.canvas.width - 4820.f) < 1);
    // The picture fills the whole inner area: no background is left over.
    QCOMPARE(countColour(r.image, qRgb(255, 0, 255)), 0);

    // Twice the pixels for a modern page: the same thumbnail, finer.
    s.scale = 2;
    const DrawResult twice = drawThumbnail(s, picture);
    QCOMPARE(twice.image.size(), inner * 2);
    QCOMPARE(countColour(twice.image, qRgb(255, 0, 255)), 0);
    if (inner.width() > 8 && inner.height() > 8)
        QVERIFY(TestPictures::psnr(resampleTo(twice.image, inner), r.image) > 30);

    // One decoding for the thumbnail, its double and an 800-pixel copy: each
    // of its own size and as drawn directly, the largest made first.
    DrawSettings once = s;
    once.scale = 1;
    const QSize natural = PictureReader(picture).naturalSize();
    const QSize web = webSize(natural, 800), doubled = drawnPictureSize(s, natural);
    const bool webLargest = web.width() * web.height() >= doubled.width() * doubled.height();
    const DrawResult shared = drawThumbnail(once, picture, nullptr, [&](QSize) {
        return OtherSizes{webLargest ? web : doubled, webLargest ? doubled : web, 0, webLargest};
    });
    QVERIFY(shared.decoded);
    const QImage sharedTwice = drawThumbnail(s, *shared.decoded).image;
    const QImage copy = QImage::fromData(encodeWebSize(*shared.decoded, web, magenta).file);
    QCOMPARE(shared.image.size(), inner);
    QCOMPARE(sharedTwice.size(), inner * 2);
    QCOMPARE(copy.size(), web);
    QVERIFY(TestPictures::psnr(shared.image, r.image) > 35);
    QVERIFY(TestPictures::psnr(sharedTwice, twice.image) > 35);
    QVERIFY(TestPictures::psnr(copy, QImage::fromData(encodeWebSize(picture, 800, magenta).file)) > 35);
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
    // Drawn from the page that stores the picture reduced.
    QTest::newRow("tiff with a reduced page") << writePicture(dir.path(), "reducerad.tif", Format::Tiff, picture,
                                                              {.reducedPage = QSize(800, 600)})
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
    s.size = {SizeMode::LockBoth, 3615.f, 3615.f, {}};
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
    ThumbnailSettings run;
    run.draw.size = {SizeMode::LockBoth, 3615.f, 3615.f, {}};
    run.draw.canvas = {3615, 3615};
    for (const QString &path : {big, small})
        QCOMPARE(prepareThumbnail(run, pictureJobs({path}).first(), RunFiles()).drawn.status, DrawResult::Drawn);
    // Percent mode makes the canvas 800 x 600 pixels, and a run stopped by an
    // error (a separator in the suffix) leaves it so; the view stays within its frame.
    main->findChildren<QRadioButton *>(QStringLiteral("optlås"))[3]->click();
    main->findChild<QLineEdit *>(QStringLiteral("plusfilnamn2"))->setText("_s/");
    main->List1_OLEDragDrop({big});
    main->Command1_Click();
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(main->canvas().width(), 12000.f);
    QCOMPARE(main->findChild<QWidget *>(QStringLiteral("Picture1"))->size(), QSize(241, 241));
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
    ThumbnailSettings run;
    run.save.targetFolder = dir.path() + "/ut/";
    const PictureJob job = pictureJobs({path}).first();
    RunFiles files;
    const SavedThumbnail c = saveThumbnail(run.save, job, prepareThumbnail(run, job, files), files);
    QCOMPARE(c.reportLine, line + path);
    QVERIFY(!c.entry);
    QVERIFY(c.written.isEmpty());
    QVERIFY(!c.failure.failed());
}

void TestDrawing::previewNeedsSelection()
{
    main->List1_OLEDragDrop({big});
    const QImage before = main->canvas().persistentImage();
    main->cmdtestabild_Click();
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].text, QStringLiteral("Markera en bild i listan för att se den som miniatyr!"));
    QCOMPARE(seam->messages[0].title, QStringLiteral("Tumbilder"));
    QCOMPARE(seam->messages[0].icon, Seam::Icon::Warning);
    QCOMPARE(main->canvas().persistentImage(), before);
}

void TestDrawing::previewIgnoresSizeMode()
{
    QImage first;
    for (int mode = 0; mode < 4; ++mode) {
        main = std::make_unique<Form1>();
        main->findChildren<QRadioButton *>(QStringLiteral("optlås"))[mode]->click();
        main->List1_OLEDragDrop({big});
        auto *list = main->findChild<QListWidget *>(QStringLiteral("List1"));
        list->setCurrentRow(0);
        main->cmdtestabild_Click();
        QCOMPARE(main->canvas().width(), 3615.f);
        QCOMPARE(main->canvas().height(), 3615.f);
        if (mode == 0)
            first = main->canvas().persistentImage();
        else
            QCOMPARE(main->canvas().persistentImage(), first);
    }
    QVERIFY(seam->messages.isEmpty());
    // A file that vanished after it was listed: silently nothing new.
    main = std::make_unique<Form1>();
    main->List1_OLEDragDrop({dir.filePath("finns-inte.jpg")});
    main->findChild<QListWidget *>(QStringLiteral("List1"))->setCurrentRow(0);
    const QImage before = main->canvas().persistentImage();
    main->cmdtestabild_Click();
    QCOMPARE(main->canvas().persistentImage(), before);
    QVERIFY(main->reportText().isEmpty());
    QVERIFY(seam->messages.isEmpty());
}

void TestDrawing::reportWindow()
{
    QVERIFY(!main->reportWindow());
    main->appendReport(QStringLiteral("Fil saknas: /a.jpg"));
    QVERIFY(main->reportWindow());
    QVERIFY(!main->reportWindow()->isVisible());
    main->appendReport(QStringLiteral("Filen finns redan: /b_s.jpg"));
    QCOMPARE(main->reportText(), QStringLiteral("\r\nFil saknas: /a.jpg\r\nFilen finns redan: /b_s.jpg"));
    auto *text = main->reportWindow()->findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
    QCOMPARE(text->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(!text->isReadOnly());
    QCOMPARE(main->reportWindow()->windowTitle(), QStringLiteral("Info"));
    // At the centre of the screen, like the other windows, in the main window's font.
    main->move(0, 0);
    main->reportWindow()->show();
    const QPoint offCentre = main->reportWindow()->geometry().center() - main->screen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 8, qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
    QCOMPARE(main->reportWindow()->font(), main->font());
    main->reportWindow()->hide();

    main->reportWindow()->close();
    QTRY_VERIFY(!main->reportWindow());

    // Enter (even in the text box) and Escape close the window and discard the report.
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        main->appendReport(QStringLiteral("rad"));
        QPointer<Form2> window = main->reportWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *box = window->findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
        box->setFocus();
        QTest::keyClick(box, Qt::Key(key));
        QTRY_VERIFY(window.isNull());
        QVERIFY(main->reportText().isEmpty());
    }
}

void TestDrawing::canvasTooLargeToScale()
{
    // 60000 x 1 pixels in lock-height mode: the canvas would be 14 million
    // pixels wide, more than any picture can be. The user is told, the
    // canvas keeps what it showed, and no thumbnail is written.
    const QString path = writePicture(dir.filePath("strimla.bmp"), 60000, 1, "bmp");
    seam->onModal = [](QDialog *d) { d->accept(); };
    main->findChildren<QRadioButton *>(QStringLiteral("optlås"))[0]->click();
    main->List1_OLEDragDrop({path});
    const QImage before = main->canvas().persistentImage();
    main->Command1_Click();
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].title, QStringLiteral("Felmeddelande"));
    QCOMPARE(seam->messages[0].icon, Seam::Icon::Warning);
    QVERIFY(seam->messages[0].text.startsWith(QStringLiteral("Ett fel uppstod då bilden skulle skalas om: ")));
    QVERIFY(seam->messages[0].text.endsWith(QStringLiteral("\rFelkod: 12")));
    QCOMPARE(main->canvas().persistentImage(), before);
    QVERIFY(!QFile::exists(dir.filePath("strimla_s.jpg")));
}

void TestDrawing::webSizeCopy_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::newRow("a large photo: 800 on the long side") << "big" << QSize(800, 600);
    QTest::newRow("a small picture keeps its size") << "small" << QSize(100, 80);
    QTest::newRow("upright, no EXIF left") << "oriented" << QSize(64, 48);
    QTest::newRow("in sRGB numbers, no profile left") << "adobe" << QSize(320, 240);
    QTest::newRow("transparent parts over the background") << "transparent" << QSize(40, 30);
}

// A web-size copy is a plain JPG of what the picture shows: oriented, in
// sRGB, transparency over the background, and nothing of the file's own
// metadata (APP1 EXIF, APP2 ICC profile, comments).
void TestDrawing::webSizeCopy()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    using namespace TestPictures;
    QString path = kind == "big" ? big : kind == "small" ? small : QString();
    if (kind == "oriented")
        path = writeOrientedJpeg(dir.path(), "vriden.jpg", 6);
    else if (kind == "adobe")
        path = writeAdobeRgbJpeg(dir.path(), "adobe.jpg", photo(size, 4));
    else if (kind == "transparent")
        path = writeGif(dir.path(), "genomskinlig.gif", GifKind::Transparent);
    const Encoded copy = encodeWebSize(path, 800, 0x00FF00);
    QVERIFY2(!copy.failure.failed(), qPrintable(copy.failure.description));
    const QList<uchar> markers = jpegMarkers(copy.file);
    QVERIFY(!markers.isEmpty());
    for (const uchar m : markers)
        QVERIFY2(m != 0xE1 && m != 0xE2 && m != 0xFE, qPrintable(QString::number(m, 16)));
    const QImage got = QImage::fromData(copy.file).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(got.size(), size);

    QImage shown = PictureReader(path).decode();
    QImage expected(shown.size(), QImage::Format_RGB32);
    expected.fill(Qt::green);
    QPainter(&expected).drawImage(0, 0, shown);
    if (kind == "transparent")
        QVERIFY(countColour(expected, qRgb(0, 255, 0)) > 0);
    if (kind == "oriented")
        QVERIFY(pixelDistance(got.pixel(8, 8), qRgb(255, 0, 0)) < 48);
    // Compared a quarter the size: JPEG's halved colour resolution blurs a
    // pattern of pixel-sized colour blocks, not what the picture shows.
    const double quality = psnr(resampleTo(got, size / 4), resampleTo(expected, size / 4));
    QVERIFY2(quality > 30, qPrintable(QString::number(quality)));
}

void TestDrawing::memoryBudget_data()
{
    QTest::addColumn<qint64>("held");     // by a picture being drawn; 0: none
    QTest::addColumn<qint64>("wanted");   // by the next, of a budget of 100
    QTest::addColumn<bool>("waits");      // until the other gives its bytes back
    QTest::newRow("fits beside the other") << qint64(60) << qint64(40) << false;
    QTest::newRow("would go over the limit") << qint64(60) << qint64(41) << true;
    QTest::newRow("over the limit alone: let through") << qint64(0) << qint64(500) << false;
}

void TestDrawing::memoryBudget()
{
    QFETCH(qint64, held);
    QFETCH(qint64, wanted);
    QFETCH(bool, waits);
    MemoryBudget budget(100);
    MemoryBudget::Claim first = held ? budget.claim(held) : MemoryBudget::Claim();
    std::atomic<bool> admitted = false;
    const std::unique_ptr<QThread> next(QThread::create([&] { admitted = bool(budget.claim(wanted)); }));
    next->start();
    const auto finish = qScopeGuard([&] {
        first.release();
        next->wait();
    });
    if (waits) {
        QTRY_COMPARE(budget.waiting(), 1);
        QVERIFY(!admitted);
        first.release();
    }
    QVERIFY(next->wait(30000));
    QVERIFY(admitted);
}

TUMBILDER_TEST_MAIN(TestDrawing)
#include "test_drawing.moc"
