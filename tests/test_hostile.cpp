// Whatever people drop on the program: damaged and odd pictures, odd names,
// failing folders and disks. Every case ends in a clear report line or
// message, and every file that existed before is left byte for byte.
#include "app/form1.h"
#include "filesizelimit.h"
#include "mainwindowtest.h"
#include "scriptedseam.h"
#include "testpictures.h"
#include "windows/form2.h"
#include "files.h"
#include "testmain.h"
#include <QtTest>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopeGuard>
#include <dirent.h>
#include <functional>
#include <unistd.h>

using namespace TestPictures;

using namespace TestFiles;

namespace {
// Removes every file of a folder by its raw name, also names that are not
// valid UTF-8 and so cannot be spelt as a QString.
void removeRawNames(const QString &dir)
{
    const QByteArray d = QFile::encodeName(dir);
    if (DIR *h = ::opendir(d.constData())) {
        while (dirent *e = ::readdir(h))
            if (e->d_type == DT_REG)
                ::unlink((d + '/' + e->d_name).constData());
        ::closedir(h);
    }
}

// A folder whose path is exactly `length` bytes long.
QString deepFolder(const QString &base, int length)
{
    QString path = base;
    while (length - path.size() > 201)
        path += QLatin1Char('/') + QString(100, QLatin1Char('d'));
    path += QLatin1Char('/') + QString(length - path.size() - 1, QLatin1Char('d'));
    return QDir().mkpath(path) ? path : QString();
}

// A file named by raw bytes (not necessarily valid UTF-8).
QString writeRaw(const QString &dir, const QByteArray &name, const QByteArray &bytes)
{
    const QByteArray path = QFile::encodeName(dir) + '/' + name;
    FILE *f = std::fopen(path.constData(), "wb");
    if (!f)
        return {};
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
    std::fclose(f);
    return QFile::decodeName(path);
}
}

using Maker = std::function<QString(const QString &dir)>;
Q_DECLARE_METATYPE(Maker)

class TestHostile : public MainWindowTest {
    Q_OBJECT
private slots:
    void inputs_data();
    void inputs();
    void transparencyShowsBackground_data();
    void transparencyShowsBackground();
    void faults_data();
    void faults();

private:
    struct Run {
        QStringList reports;
        QList<ScriptedSeam::Message> messages;
    };
    // Runs the main window over `paths`, the user pressing OK on the report.
    Run run(const QStringList &paths);
};

TestHostile::Run TestHostile::run(const QStringList &paths)
{
    Run r;
    seam->onModal = [&r](QDialog *d) {
        if (auto *report = qobject_cast<Form2 *>(d)) {
            r.reports << report->reportText();
            report->accept();
        }
    };
    main->setThreads(2);
    main->List1_OLEDragDrop(paths);
    main->Command1_Click();
    seam->onModal = nullptr;
    r.messages = seam->messages;
    return r;
}

void TestHostile::inputs_data()
{
    QTest::addColumn<Maker>("make");
    QTest::addColumn<QString>("line");   // report line before the path, "" when drawn
    const QImage photo = TestPictures::photo(QSize(300, 200), 3);
    auto row = [](const char *name, const char *line, Maker make) { QTest::newRow(name) << make << QString(line); };
    const char *unreadable = "Kan inte läsa bilden: ";
    row("zero bytes", unreadable, [](const QString &d) { return writeEmptyFile(d, "tom.jpg"); });
    row("truncated JPEG", unreadable, [](const QString &d) { return writeTruncatedJpeg(d, "halv.jpg"); });
    row("garbage after a JPEG header", unreadable, [](const QString &d) { return writeJpegHeaderWithGarbage(d, "skräp.jpg"); });
    // The content decides what a picture is, whatever its name says.
    row("PNG named .jpg", "", [photo](const QString &d) { return writePng(d, "png.jpg", photo); });
    row("PNG named .gif", "", [photo](const QString &d) { return writePng(d, "png.gif", photo); });
    row("PNG named .bmp", "", [photo](const QString &d) { return writePng(d, "png.bmp", photo); });
    for (Format f : {Format::Png, Format::Webp, Format::Heic, Format::Avif, Format::Tiff}) {
        const QString name = "bild." + extension(f);
        QTest::addRow("%s", qPrintable(name)) << Maker([f, name, photo](const QString &d) {
            return writePicture(d, name, f, photo, {.lossless = false});
        }) << QString();
        QTest::addRow("%s cut short", qPrintable(name)) << Maker([f, name, photo](const QString &d) {
            const QByteArray bytes = encodePicture(f, photo, {.lossless = false});
            return writeFile(d, "kort-" + name, bytes.left(bytes.size() * 2 / 3));
        }) << QString(unreadable);
        QTest::addRow("%s of 100000 x 100000", qPrintable(name)) << Maker([f, name](const QString &d) {
            return writeFile(d, "jätte-" + name, hugeHeaderBytes(f));
        }) << QString(unreadable);
    }
    // Valid files beyond RGB strips: libtiff and libheif read them.
    row("TIFF YCbCr 2 x 2 subsampled", "", [](const QString &d) { return writeFile(d, "ycbcr.tif", tiffBytes(TiffKind::YCbCr)); });
    row("TIFF fax page, Group 4", "", [](const QString &d) { return writeFile(d, "fax.tif", tiffBytes(TiffKind::Group4)); });
    row("AVIF sequence with a still picture", "", [photo](const QString &d) {
        return writeFile(d, "sekvens.avif", avifSequenceBytes(photo));
    });
    // A grid is whole or damaged: libheif would paint what it has on black.
    for (const int side : {64, 16384})
        QTest::addRow("HEIC grid of one 64 x 64 tile declaring %d x %d", side, side) << Maker([side](const QString &d) {
            return writeFile(d, QString("rutnät%1.heic").arg(side), heifGridBytes(QSize(side, side)));
        }) << QString(side == 64 ? "" : unreadable);
    row("text named .jpg", unreadable, [](const QString &d) { return writeTextFile(d, "text.jpg"); });
    row("GIF with a 65535 screen", unreadable, [](const QString &d) { return writeFile(d, "bomb.gif", gifBombBytes(false)); });
    row("GIF with a 65535 frame", unreadable, [](const QString &d) { return writeFile(d, "bomb2.gif", gifBombBytes(true)); });
    row("BMP of 100000 x 100000", unreadable, [](const QString &d) { return writeFile(d, "bomb.bmp", bmpBombBytes()); });
    row("JPEG 12000 x 9000", "", [](const QString &d) { return writeLargeJpeg(d, "stor.jpg", QSize(12000, 9000)); });
    row("progressive JPEG", "", [photo](const QString &d) { return writeJpeg(d, "prog.jpg", photo, 90, true); });
    row("CMYK JPEG", "", [photo](const QString &d) { return writeCmykJpeg(d, "cmyk.jpg", photo); });
    for (int o = 1; o <= 8; ++o)
        QTest::addRow("EXIF orientation %d", o)
            << Maker([o](const QString &d) { return writeOrientedJpeg(d, QString("exif%1.jpg").arg(o), o); }) << QString();
    row("interlaced GIF", "", [](const QString &d) { return writeGif(d, "interlaced.gif", GifKind::Interlaced); });
    row("animated GIF", "", [](const QString &d) { return writeGif(d, "animated.gif", GifKind::Animated); });
    const std::pair<const char *, BmpKind> bmps[] = {{"1-bit", BmpKind::Bits1}, {"4-bit", BmpKind::Bits4},
                                                     {"8-bit", BmpKind::Bits8}, {"16-bit", BmpKind::Bits16},
                                                     {"24-bit", BmpKind::Bits24}, {"32-bit", BmpKind::Bits32},
                                                     {"RLE8", BmpKind::Rle8}, {"RLE4", BmpKind::Rle4},
                                                     {"top-down", BmpKind::TopDown}};
    for (const auto &[name, kind] : bmps)
        QTest::addRow("BMP %s", name) << Maker([kind](const QString &d) {
            return writeBmp(d, QString("bmp-%1.bmp").arg(int(kind)), kind);
        }) << QString();
    const QByteArray jpeg = jpegBytes(photo);
    for (const char *name : {"med mellanslag.jpg", "#nummer.jpg", "100%.jpg", "a&b.jpg", "o'hara.jpg",
                             "\"citat\".jpg", "<tag>.jpg", "åäö ÅÄÖ.jpg", "?fråga.jpg", "kolon:1.jpg"})
        QTest::newRow(name) << Maker([jpeg, name](const QString &d) { return writeFile(d, QString::fromUtf8(name), jpeg); })
                            << QString();
    QTest::newRow("name of 250 bytes") << Maker([jpeg](const QString &d) {
        return writeFile(d, QString(246, QLatin1Char('x')) + ".jpg", jpeg);
    }) << QString();
    // A name that is not UTF-8 cannot be spelt as text, so it cannot be found again.
    QTest::newRow("name not valid UTF-8") << Maker([jpeg](const QString &d) {
        return writeRaw(d, QByteArray("fel\xff\xfe.jpg"), jpeg);
    }) << QString("Fil saknas: ");
}

void TestHostile::inputs()
{
    QFETCH(Maker, make);
    QFETCH(QString, line);
    QTemporaryDir dir;
    const QString good = writeJpeg(dir.path(), "god.jpg", photo(QSize(200, 150), 1));
    const QString path = make(dir.path());
    QVERIFY(!path.isEmpty());
    const auto before = snapshot(dir.path());
    // The picture twice, then a good one: the run goes on after every problem.
    const Run r = run({path, path, good});
    QVERIFY2(r.messages.isEmpty(), qPrintable(r.messages.value(0).text));
    QCOMPARE(r.reports.size(), 1);
    if (line.isEmpty()) {
        const QString thumb = dir.path() + "/" + QFileInfo(path).completeBaseName() + "_s.jpg";
        QCOMPARE(r.reports[0], "\r\nFilen finns redan: " + thumb);
        const QImage image(thumb);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() <= 237 && image.height() <= 237);
    } else {
        QCOMPARE(r.reports[0], "\r\n" + line + path + "\r\n" + line + path);
    }
    QVERIFY(QFile::exists(dir.path() + "/god_s.jpg"));
    const auto after = snapshot(dir.path());
    for (auto it = before.begin(); it != before.end(); ++it)
        QCOMPARE(after.value(it.key()), it.value());
    QCOMPARE(after.size(), before.size() + (line.isEmpty() ? 2 : 1));
    removeRawNames(dir.path());
}

void TestHostile::transparencyShowsBackground_data()
{
    QTest::addColumn<Maker>("make");
    QTest::newRow("gif") << Maker([](const QString &d) { return writeGif(d, "genom.gif", GifKind::Transparent); });
    const QImage clear = withAlpha(photo(QSize(300, 200), 6));
    for (Format f : {Format::Png, Format::Webp, Format::Heic, Format::Avif, Format::Tiff})
        QTest::newRow(qPrintable(extension(f))) << Maker([f, clear](const QString &d) {
            return writePicture(d, "genom." + extension(f), f, clear, {.lossless = false});
        });
}

void TestHostile::transparencyShowsBackground()
{
    QFETCH(Maker, make);
    QTemporaryDir dir;
    const QString path = make(dir.path());
    QVERIFY(!path.isEmpty());
    main->canvas().setBackColour(0x00FF00);   // green, as a swatch would set it
    main->findChild<QRadioButton *>(QStringLiteral("optbmp"))->click();
    const Run r = run({path});
    QCOMPARE(r.reports, QStringList{"Tumbilder skapade utan problem!"});
    const QImage thumb(dir.path() + "/" + QFileInfo(path).completeBaseName() + "_s.bmp");
    QVERIFY(!thumb.isNull());
    int green = 0;
    for (int y = 0; y < thumb.height(); ++y)
        for (int x = 0; x < thumb.width(); ++x)
            green += (thumb.pixel(x, y) & 0xffffff) == 0x00ff00;
    // The picture covers the whole thumbnail, so green can only come through its transparent parts.
    QVERIFY(green > thumb.width() * thumb.height() / 20);
}

void TestHostile::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");   // the end of the message, or "" for a report line
    QTest::newRow("page folder deleted after closing the settings") << "page gone" << "Felkod: 2";
    QTest::newRow("a file where the page folder was") << "page is a file" << "Felkod: 20";
    QTest::newRow("full disk") << "full disk" << "Felkod: 27";
    QTest::newRow("thumbnail name too long") << "long name" << "Felkod: 36";
    QTest::newRow("source deleted after it was listed") << "source gone" << "";
    QTest::newRow("page folder is the pictures' folder") << "same folder" << "";
    // Names are used within their folder: only the folder's path and each
    // name must fit (4,096 and 255 bytes), never a temporary name.
    QTest::newRow("page folder of 3900 bytes, names of 250 bytes") << "page deep 3900" << "";
    QTest::newRow("page folder of 4080 bytes, short names") << "page deep 4080" << "";
}

void TestHostile::faults()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString src = dir.path() + "/bilder/";
    QDir().mkpath(src);
    QStringList paths = {writeJpeg(src, "a.jpg", photo(QSize(640, 480), 1)),
                         writeJpeg(src, "b.jpg", photo(QSize(480, 640), 2))};
    QString page = dir.path() + "/webb/";
    if (fault == "same folder")
        page = src;
    if (fault.startsWith("page deep"))
        page = deepFolder(dir.path() + "/webb", fault.mid(10).toInt()) + "/";
    QDir().mkpath(page);
    // The full paths of some files there are too long for QDir to remove.
    const auto removeDeepFiles = qScopeGuard([&] {
        if (fault.startsWith("page deep"))
            for (const QString &name : listing(page))
                removeLong(page + name);
    });
    if (fault.startsWith("page") || fault == "same folder") {
        main->findChild<QCheckBox *>(QStringLiteral("chkweb"))->click();
        main->webSettings()->findChild<QLineEdit *>(QStringLiteral("txtmapp"))->setText(page);
        main->webSettings()->Command2_Click();
        QVERIFY(main->folderMark());
    }
    if (fault == "page gone" || fault == "page is a file")
        QDir(page).removeRecursively();
    if (fault == "page is a file")
        writeFile(dir.path(), "webb", "en fil");
    if (fault == "source gone")
        paths.prepend(src + "borttagen.jpg");
    if (fault == "long name")
        paths.prepend(writeJpeg(src, QString(250, QLatin1Char('n')) + ".jpg", photo(QSize(64, 48), 5)));
    if (fault == "page deep 3900")   // its thumbnail's name is 250 bytes long
        paths.prepend(writeJpeg(src, QString(244, QLatin1Char('x')) + ".jpg", photo(QSize(64, 48), 5)));
    const auto before = snapshot(dir.path());

    Run r;
    if (fault == "full disk") {
        FileSizeLimit limit(2000);
        r = run(paths);
    } else {
        r = run(paths);
    }
    if (!message.isEmpty()) {
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(r.messages[0].title, QStringLiteral("Felmeddelande"));
        QVERIFY2(r.messages[0].text.startsWith("Ett fel uppstod: ") && r.messages[0].text.endsWith("\r" + message),
                 qPrintable(r.messages[0].text));
        QVERIFY(r.reports.isEmpty());
        // The file the failure is about is named.
        if (fault == "long name")
            QVERIFY2(r.messages[0].text.endsWith(": " + src + QString(250, QLatin1Char('n')) + "_s.jpg\r" + message),
                     qPrintable(r.messages[0].text));
    } else {
        QVERIFY(r.messages.isEmpty());
        QCOMPARE(r.reports.size(), 1);
    }
    if (fault == "source gone")
        QCOMPARE(r.reports[0], "\r\nFil saknas: " + src + "borttagen.jpg");
    const auto after = snapshot(dir.path());
    if (fault.startsWith("page deep")) {
        QCOMPARE(r.reports[0], QStringLiteral("Tumbilder skapade utan problem!"));
        QCOMPARE(after.size(), before.size() + 2 * paths.size() + 1);   // thumbnails, copies, page
    }
    // Nothing the user had changed, and no partial or temporary file anywhere.
    for (auto it = before.begin(); it != before.end(); ++it)
        QCOMPARE(after.value(it.key()), it.value());
    for (const QString &name : after.keys()) {
        QVERIFY2(!name.contains(".tumbilder-"), qPrintable(name));
        if (!before.contains(name) && !name.endsWith(".html"))
            QVERIFY2(!QImage::fromData(contents(dir.path() + "/" + name)).isNull(), qPrintable(name));
    }
}

TUMBILDER_TEST_MAIN(TestHostile)
#include "test_hostile.moc"
