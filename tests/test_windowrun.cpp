// "Kör!" driven like a user: drop, settings, run, report, gallery page.
#include "gallery/pagerecord.h"
#include "app/form1.h"
#include "app/runprogress.h"
#include "windows/frmweb.h"
#include "mainwindowtest.h"
#include "scriptedseam.h"
#include "windows/form2.h"
#include "windows/frmbakgrund.h"
#include "files.h"
#include "filesizelimit.h"
#include "testpictures.h"
#include "testmain.h"
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QImageWriter>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

using namespace TestFiles;

namespace {
// A photo-like picture of w x h written as JPEG at `path`.
void writeJpeg(const QString &path, int w, int h, int seed)
{
    const QFileInfo info(path);
    QVERIFY2(!TestPictures::writeJpeg(info.path(), info.fileName(), TestPictures::photo(QSize(w, h), seed)).isEmpty(),
             qPrintable(path));
}

}

class TestWindowRun : public MainWindowTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void threeNewPictures_data();
    void threeNewPictures();
    void problemsAreReported_data();
    void problemsAreReported();
    void preconditions_data();
    void preconditions();
    void qualityNormalisedBeforeRun_data();
    void qualityNormalisedBeforeRun();
    void lockBothBoundsFromCanvas();
    void errorStopsRunAndCarriesLines();
    void galleryPage_data();
    void galleryPage();
    void pageFailureKeepsTheOldPage();
    void parallelMatchesOneThread();
    void cancelStopsAfterPictureInHand_data();
    void cancelStopsAfterPictureInHand();
    void chosenColourInSavedThumbnail();
    void progressText_data();
    void progressText();

private:
    QStringList run(int threads = 2);   // returns the reports shown
    template <typename T = QWidget>
    T *child(const char *name) const { return main->findChild<T *>(QString::fromUtf8(name)); }
    void confirmPageFolder(const QString &folder, bool browser = false);

    std::unique_ptr<QTemporaryDir> dir;
    QString src;    // source folder, ending with '/'
    QStringList shownReports;
};

void TestWindowRun::init()
{
    dir = std::make_unique<QTemporaryDir>();
    src = dir->path() + "/bilder å #1/";
    QDir().mkpath(src);
    MainWindowTest::init();
    // The user reads the report and presses OK.
    seam->onModal = [this](QDialog *d) {
        if (auto *report = qobject_cast<Form2 *>(d)) {
            // The progress window is gone before the report shows.
            auto *progress = main->findChild<QProgressDialog *>();
            QVERIFY(!progress || !progress->isVisible());
            shownReports << report->reportText();
            report->accept();
        } else if (auto *settings = qobject_cast<frmweb *>(d)) {
            settings->Command2_Click();
        }
    };
    shownReports.clear();
}

void TestWindowRun::cleanup()
{
    MainWindowTest::cleanup();
    dir.reset();
}

QStringList TestWindowRun::run(int threads)
{
    main->setThreads(threads);
    shownReports.clear();
    main->Command1_Click();
    QCoreApplication::processEvents();
    return shownReports;
}

void TestWindowRun::confirmPageFolder(const QString &folder, bool browser)
{
    child<QCheckBox>("chkweb")->click();
    frmweb *settings = main->webSettings();
    settings->findChild<QLineEdit *>(QStringLiteral("txtmapp"))->setText(folder);
    settings->findChild<QCheckBox *>(QStringLiteral("chkwebläsare"))->setChecked(browser);
    settings->findChild<QComboBox *>(QStringLiteral("listkolumn"))->setCurrentIndex(1);
    main->cmdweb_Click();
}

void TestWindowRun::threeNewPictures_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("ext");
    QTest::newRow("jpg") << "optjpg" << ".jpg";
    QTest::newRow("gif") << "optgif" << ".gif";
    QTest::newRow("bmp") << "optbmp" << ".bmp";
    QTest::newRow("jpg, dropped with an svg and an ico") << "optjpg" << ".jpg";
}

void TestWindowRun::threeNewPictures()
{
    QFETCH(QString, format);
    QFETCH(QString, ext);
    const QStringList names = {"sol.jpg", "måne & stjärna.jpeg", "semester.2003.JPG"};
    for (int i = 0; i < names.size(); ++i)
        writeJpeg(src + names[i], 640 + i * 100, 480, i);
    const auto before = snapshot(dir->path());
    main->findChild<QRadioButton *>(format)->click();
    const QStringList unread = {src + "logo.svg", src + "favicon.ico"};   // passed over without a word
    main->List1_OLEDragDrop(QStringList{src + names[0], src + names[1], src + names[2]}
                            + (QByteArray(QTest::currentDataTag()).contains("svg") ? unread : QStringList()));
    const QStringList reports = run();
    QCOMPARE(reports, QStringList{"Tumbilder skapade utan problem!"});
    for (const QString &stem : {"sol_s", "måne & stjärna_s", "semester.2003_s"}) {
        QImage thumb(src + stem + ext);
        QVERIFY2(!thumb.isNull(), qPrintable(stem + ext));
        QVERIFY(thumb.width() == 237 || thumb.height() == 237);
    }
    // Nothing else appeared (no intermediate BMP, no temporary file) and the sources are untouched.
    const auto after = snapshot(dir->path());
    QCOMPARE(after.size(), before.size() + 3);
    for (auto it = before.begin(); it != before.end(); ++it)
        QCOMPARE(after.value(it.key()), it.value());
    QVERIFY(!main->reportWindow());
    // The canvas is back at the bars, and the last entry is selected.
    QCOMPARE(main->canvas().width(), 3615.f);
    QCOMPARE(main->canvas().height(), 3615.f);
    QCOMPARE(child<QListWidget>("List1")->currentRow(), 2);
    QCOMPARE(main->listwebfiler.size(), 3);
}

void TestWindowRun::problemsAreReported_data()
{
    QTest::addColumn<QString>("problem");
    QTest::newRow("thumbnail already there") << "exists";
    QTest::newRow("source missing") << "missing";
    QTest::newRow("source unreadable") << "unreadable";
    QTest::newRow("source no thumbnail can hold") << "unscalable";
    QTest::newRow("a dropped folder holding a thumbnail") << "thumbnail folder";
    // Read from no FIFO: it would wait for a writer for ever.
    QTest::newRow("source not an ordinary file") << "special";
    // A folder dropped: what it holds that cannot be taken is said, before
    // the pictures' lines, until the list is emptied.
    QTest::newRow("a folder with a name that is not text and a raw file") << "folder";
}

void TestWindowRun::problemsAreReported()
{
    QFETCH(QString, problem);
    writeJpeg(src + "a.jpg", 300, 200, 1);
    writeJpeg(src + "c.jpg", 300, 200, 3);
    QString line;
    std::function<void()> removeRaw = [] {};
    const auto cleanUp = qScopeGuard([&removeRaw] { removeRaw(); });
    if (problem == "exists" || problem == "thumbnail folder") {
        writeJpeg(src + "b.jpg", 300, 200, 2);
        QFile f(src + "b_s.jpg");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("mitt eget");
        line = "Filen finns redan: " + src + "b_s.jpg";
        // From a folder, b_s.jpg is no picture of its own, and the report
        // says it was left out.
        if (problem == "thumbnail folder")
            line += "\r\n1 tumbild i mapparna hoppades över";
    } else if (problem == "missing") {
        line = "Fil saknas: " + src + "b.jpg";
    } else if (problem == "unreadable") {
        QFile f(src + "b.jpg");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("GIF89a trasig");
        line = "Kan inte läsa bilden: " + src + "b.jpg";
    } else if (problem == "special") {
        QCOMPARE(::mkfifo(QFile::encodeName(src + "b.jpg"), 0600), 0);
        line = "Fil saknas: " + src + "b.jpg";
    } else if (problem == "folder") {
        // caf\xE9.jpg: café in Latin-1, a name Qt cannot carry, nor take away.
        removeRaw = [raw = QFile::encodeName(src) + "caf\xE9.jpg"] { ::unlink(raw); };
        const int latin = ::open(QFile::encodeName(src) + "caf\xE9.jpg", O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(latin >= 0);
        ::close(latin);
        QVERIFY(put(src + "d.PEF", "rå"));
        line = "Kan inte läsa bilden: " + src + "caf\\xE9.jpg";
    } else {
        // 5000 x 1 at the locked height would be wider than any canvas.
        QImage wide(5000, 1, QImage::Format_RGB32);
        wide.fill(Qt::gray);
        QVERIFY(wide.save(src + "b.jpg", "BMP"));
        for (auto *mode : main->findChildren<QRadioButton *>(QStringLiteral("optlås")))
            if (mode->property("index").toInt() == 0)
                mode->click();
        line = "Kan inte skala om bilden: " + src + "b.jpg";
    }
    const auto before = snapshot(dir->path());
    if (problem.endsWith("folder"))
        main->List1_OLEDragDrop({src});
    else
        main->List1_OLEDragDrop({src + "a.jpg", src + "b.jpg", src + "c.jpg"});
    QCOMPARE(run(), QStringList{"\r\n" + line});
    // The scaling message comes first, as ever.
    QCOMPARE(seam->messages.size(), problem == "unscalable" ? 1 : 0);
    QVERIFY(QFile::exists(src + "a_s.jpg"));
    QVERIFY(QFile::exists(src + "c_s.jpg"));
    const auto after = snapshot(dir->path());
    for (auto it = before.begin(); it != before.end(); ++it)
        QCOMPARE(after.value(it.key()), it.value());
    QCOMPARE(after.size(), before.size() + 2);
    // Only drawn pictures get a gallery entry.
    QCOMPARE(main->listwebfiler.size(), problem == "exists" || problem == "thumbnail folder" ? 3 : 2);
    // A second run finds every thumbnail already there.
    const QStringList second = run();
    QCOMPARE(second.size(), 1);
    QVERIFY(second[0].startsWith(problem == "folder" ? "\r\n" + line.section("\r\n", 0, 0) + "\r\nFilen finns redan: "
                                                     : "\r\nFilen finns redan: " + src + "a_s.jpg"));
}

void TestWindowRun::preconditions_data()
{
    QTest::addColumn<bool>("web");
    QTest::addColumn<bool>("pictures");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty list") << false << false << "Listan är tom. Kan inte skapa tumbilder!";
    QTest::newRow("web without a folder, empty list")
        << true << false << "Du har inte angett en befintlig mapp att spara websidan till!";
    QTest::newRow("web without a folder")
        << true << true << "Du har inte angett en befintlig mapp att spara websidan till!";
    // Raw files and a psd dropped, as a folder and by name: passed over.
    QTest::newRow("empty list after a folder of raw files")
        << false << false
        << "Listan är tom. Kan inte skapa tumbilder!";
}

void TestWindowRun::preconditions()
{
    QFETCH(bool, web);
    QFETCH(bool, pictures);
    QFETCH(QString, message);
    writeJpeg(src + "a.jpg", 100, 100, 1);
    if (pictures)
        main->List1_OLEDragDrop({src + "a.jpg"});
    if (QString(QTest::currentDataTag()).contains("raw")) {
        QDir().mkpath(src + "kamera");
        QVERIFY(put(src + "kamera/IMG_1.PEF", "rå") && put(src + "kamera/IMG_2.PEF", "rå"));
        main->List1_OLEDragDrop({src + "kamera", src + "bild.psd"});
    }
    if (web)
        child<QCheckBox>("chkweb")->click();
    main->listwebfiler = {{"gammal", "rad", "här"}};
    const auto before = snapshot(dir->path());
    QVERIFY(run().isEmpty());
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].text, message);
    QCOMPARE(seam->messages[0].title, QStringLiteral("Tumbilder"));
    QCOMPARE(seam->messages[0].icon, Seam::Icon::Warning);
    QVERIFY(main->listwebfiler.isEmpty());
    QCOMPARE(snapshot(dir->path()), before);
}

void TestWindowRun::qualityNormalisedBeforeRun_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("normal");
    QTest::newRow("0") << "0" << "65";
    QTest::newRow("250") << "250" << "100";
    QTest::newRow("7.5") << "7.5" << "8";
    QTest::newRow("6.5") << "6.5" << "6";
    QTest::newRow("abc") << "abc" << "65";
    QTest::newRow("empty") << "" << "65";
}

void TestWindowRun::qualityNormalisedBeforeRun()
{
    QFETCH(QString, typed);
    QFETCH(QString, normal);
    writeJpeg(src + "a.jpg", 400, 300, 1);
    main->List1_OLEDragDrop({src + "a.jpg"});
    auto *box = child<QLineEdit>("txtjpg");
    // Bypass the box's own rule, as a paste of several characters at once can.
    box->blockSignals(true);
    box->setText(typed);
    box->blockSignals(false);
    run();
    QCOMPARE(box->text(), normal);
    QVERIFY(!QImage(src + "a_s.jpg").isNull());
}

void TestWindowRun::lockBothBoundsFromCanvas()
{
    for (int i = 0; i < 3; ++i)
        writeJpeg(src + QString("p%1.jpg").arg(i), i == 1 ? 300 : 900, i == 1 ? 900 : 500, i);
    child<QScrollBar>("HScroll1")->setValue(2400);
    child<QScrollBar>("VScroll1")->setValue(1800);
    main->List1_OLEDragDrop({src + "p0.jpg", src + "p1.jpg", src + "p2.jpg"});
    run();
    for (int i = 0; i < 3; ++i) {
        const QImage thumb(src + QString("p%1_s.jpg").arg(i));
        QVERIFY(thumb.width() <= 156 && thumb.height() <= 116);
        QVERIFY(thumb.width() >= 155 || thumb.height() >= 115);
    }
    QCOMPARE(main->canvas().width(), 2400.f);
    QCOMPARE(main->canvas().height(), 1800.f);
    QCOMPARE(main->picture2Inner(), QSize(156, 116));
}

void TestWindowRun::errorStopsRunAndCarriesLines()
{
    const QString page = dir->path() + "/webb/";
    QDir().mkpath(page);
    writeJpeg(src + "a.jpg", 300, 200, 1);
    writeJpeg(src + "c.jpg", 300, 200, 3);
    confirmPageFolder(page);
    QVERIFY(main->folderMark());
    // The page folder vanishes after it was confirmed.
    QDir(page).removeRecursively();
    main->List1_OLEDragDrop({src + "borta.jpg", src + "a.jpg", src + "c.jpg"});
    QVERIFY(run().isEmpty());
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].title, QStringLiteral("Felmeddelande"));
    QVERIFY(seam->messages[0].text.startsWith("Ett fel uppstod: "));
    QVERIFY(seam->messages[0].text.endsWith("\rFelkod: 2"));
    QVERIFY(!QFile::exists(src + "c_s.jpg"));
    QVERIFY(!QFile::exists(page + "bilder.html"));
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // The next run shows the carried line first.
    QDir().mkpath(page);
    const QStringList reports = run();
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports[0].startsWith("\r\nFil saknas: " + src + "borta.jpg\r\nFil saknas: " + src + "borta.jpg"));
    QVERIFY(QFile::exists(page + "a_s.jpg"));
    QVERIFY(QFile::exists(page + "c_s.jpg"));
    QVERIFY(QFile::exists(page + "bilder.html"));
}

void TestWindowRun::galleryPage_data()
{
    QTest::addColumn<bool>("modern");
    QTest::newRow("classic") << false;
    // The window gives the modern page web-size copies of 2048 pixels.
    QTest::newRow("modern") << true;
}

void TestWindowRun::galleryPage()
{
    QFETCH(bool, modern);
    const QString page = dir->path() + "/webb sida";
    QDir().mkpath(page);
    writeJpeg(src + "a.jpg", modern ? 3000 : 300, modern ? 2000 : 200, 1);
    writeJpeg(src + "b c.jpg", 200, 300, 2);
    confirmPageFolder(page, true);
    main->webSettings()->findChild<QCheckBox *>(QStringLiteral("chkmodern"))->setChecked(modern);
    main->List1_OLEDragDrop({src + "a.jpg", src + "b c.jpg"});
    QCOMPARE(run(), QStringList{"Tumbilder skapade utan problem!"});
    QStringList files{"a.jpg", "a_s.jpg", "b c.jpg", "b c_s.jpg", "bilder.html"};
    if (modern)
        files << "a_s@2x.jpg" << "b c_s@2x.jpg" << PageRecordName;
    files.sort();
    QCOMPARE(listing(page), files);
    QVERIFY(!QFile::exists(src + "a_s.jpg"));
    QList<GalleryEntry> entries{{src, "a.jpg", "a_s"}, {src, "b c.jpg", "b c_s"}};
    if (modern)
        entries = {{src, "a.jpg", "a_s", QSize(237, 157), "a_s@2x.jpg", "a.jpg"},
                   {src, "b c.jpg", "b c_s", QSize(157, 237), "b c_s@2x.jpg", "b c.jpg"}};
    for (GalleryEntry &e : entries)
        e.taken = QFileInfo(e.folder + e.file).lastModified();
    QCOMPARE(main->listwebfiler, entries);
    QCOMPARE(QImage(page + "/a.jpg").size(), modern ? QSize(2048, 1365) : QSize(300, 200));
    QCOMPARE(contents(page + "/bilder.html").startsWith("<!doctype html>"), modern);
    QCOMPARE(seam->opened, QList<QUrl>{QUrl::fromLocalFile(page + "/bilder.html")});
}

// A copy that cannot be made (a folder stands where it goes): the page's own
// message, the thumbnails stay, the old page stays, no browser.
void TestWindowRun::pageFailureKeepsTheOldPage()
{
    const QString page = dir->path() + "/webb/";
    QDir().mkpath(page);
    QVERIFY(put(page + "bilder.html", "gammal sida"));
    writeJpeg(src + "a.jpg", 300, 200, 1);
    QVERIFY(!TestPictures::writeLargeJpeg(src, "b.jpg", QSize(2000, 3000)).isEmpty());
    confirmPageFolder(page, true);
    main->List1_OLEDragDrop({src + "a.jpg", src + "b.jpg"});
    {
        // The disk fills with the copy of b.jpg, after every thumbnail.
        const FileSizeLimit full(200000);
        QCOMPARE(run(), QStringList{"Tumbilder skapade utan problem!"});
    }
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].title, QStringLiteral("Felmeddelande"));
    QVERIFY2(seam->messages[0].text.startsWith("Ett fel uppstod när websidan skulle skapas: ")
                 && seam->messages[0].text.contains("\rFelkod: "),
             qPrintable(seam->messages[0].text));
    QVERIFY(QFile::exists(page + "a_s.jpg") && QFile::exists(page + "b_s.jpg"));
    QCOMPARE(contents(page + "bilder.html"), QByteArray("gammal sida"));
    QVERIFY(seam->opened.isEmpty());
}

void TestWindowRun::parallelMatchesOneThread()
{
    // Duplicates, an existing thumbnail, a missing and an unreadable picture.
    for (int i = 0; i < 6; ++i)
        writeJpeg(src + QString("p%1.jpg").arg(i), 500 + 37 * i, 400 - 23 * i, i);
    QFile bad(src + "trasig.jpg");
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(1000, 'x'));
    bad.close();
    QStringList list;
    for (int i = 0; i < 6; ++i)
        list << src + QString("p%1.jpg").arg(i);
    list << src + "p2.jpg" << src + "saknas.jpg" << src + "trasig.jpg" << src + "p0.jpg";

    QMap<QString, QByteArray> outputs[2];
    QStringList reports[2];
    for (int pass = 0; pass < 2; ++pass) {
        const QString out = dir->path() + QString("/ut%1/").arg(pass);
        QDir().mkpath(out);
        main = std::make_unique<Form1>();
        main->List1_OLEDragDrop(list);
        QFile existing(out + "p4_s.gif");
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("finns");
        existing.close();
        main->findChild<QRadioButton *>(QStringLiteral("optgif"))->click();
        main->findChild<QCheckBox *>(QStringLiteral("chkweb"))->click();
        main->webSettings()->findChild<QLineEdit *>(QStringLiteral("txtmapp"))->setText(out);
        main->cmdweb_Click();
        main->setThreads(pass == 0 ? 0 : 2);
        shownReports.clear();
        main->Command1_Click();
        reports[pass] = shownReports;
        outputs[pass] = snapshot(out);
        reports[pass].replaceInStrings(out, "UT/");
    }
    QCOMPARE(reports[1], reports[0]);
    QCOMPARE(outputs[1], outputs[0]);
    QCOMPARE(outputs[0].size(), 5 + 1 + 6 + 1);   // thumbnails, the existing one, copies, page
}

void TestWindowRun::cancelStopsAfterPictureInHand_data()
{
    QTest::addColumn<int>("at");   // the picture at which "Avbryt" is clicked
    QTest::newRow("while drawing") << 2;
    // Then the page's copies are next: none is made.
    QTest::newRow("at the last picture") << 7;
}

void TestWindowRun::cancelStopsAfterPictureInHand()
{
    QFETCH(int, at);
    QStringList list;
    for (int i = 0; i < 8; ++i) {
        writeJpeg(src + QString("p%1.jpg").arg(i), 300, 200, i);
        list << src + QString("p%1.jpg").arg(i);
    }
    // A page with the browser asked for: a cancelled run writes no page and opens nothing.
    const QString page = dir->path() + "/webb/";
    QDir().mkpath(page);
    confirmPageFolder(page, true);
    main->List1_OLEDragDrop(list);
    connect(main.get(), &Form1::pictureCommitted, this, [this, at](int index) {
        if (index != at)
            return;
        auto *progress = main->findChild<QProgressDialog *>();
        auto *cancel = progress->findChild<QPushButton *>();
        QCOMPARE(cancel->text(), QStringLiteral("Avbryt"));
        QVERIFY(progress->labelText().startsWith(QStringLiteral("Skapar tumbilder...")));
        // Up from the start and modal, so the main window takes no clicks meanwhile.
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->windowModality(), Qt::WindowModal);
        cancel->click();
    });
    const QStringList reports = run(2);
    QCOMPARE(reports, QStringList{"\r\nAvbrutet."});
    QVERIFY(!main->findChild<QProgressDialog *>());
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(QFile::exists(page + QString("p%1_s.jpg").arg(i)), i <= at);
        QVERIFY(!QFile::exists(page + QString("p%1.jpg").arg(i)));
    }
    QVERIFY(!QFile::exists(page + "bilder.html"));
    QVERIFY(seam->opened.isEmpty());
}

void TestWindowRun::chosenColourInSavedThumbnail()
{
    // A picture smaller than the thumbnail stays at natural size in the
    // top-left corner; the rest of the saved thumbnail is the chosen colour.
    writeJpeg(src + "liten.jpg", 50, 40, 1);
    seam->onModal = [this](QDialog *d) {
        if (auto *colours = qobject_cast<frmbakgrund *>(d))
            colours->lbl_Click(3);   // #FF8000
        else if (auto *report = qobject_cast<Form2 *>(d))
            report->accept();
    };
    main->Picture1_Click();
    QCOMPARE(main->canvas().backColour(), ColourValue(33023));
    main->findChild<QRadioButton *>(QStringLiteral("optbmp"))->click();
    main->List1_OLEDragDrop({src + "liten.jpg"});
    run();
    const QImage thumb(src + "liten_s.bmp");
    QCOMPARE(thumb.size(), QSize(237, 189));   // 3615 x 2892 twips outer
    QCOMPARE(thumb.pixel(200, 150), qRgb(0xFF, 0x80, 0x00));
    QCOMPARE(thumb.pixel(49, 100), qRgb(0xFF, 0x80, 0x00));
    QVERIFY(thumb.pixel(10, 10) != qRgb(0xFF, 0x80, 0x00));
    // After the run the canvas shows that thumbnail, at the bars' size.
    const QImage canvas = main->canvas().persistentImage();
    QCOMPARE(canvas.size(), QSize(237, 237));
    QCOMPARE(canvas.copy(0, 0, 237, 189), thumb.convertToFormat(QImage::Format_RGB32));
}

void TestWindowRun::progressText_data()
{
    QTest::addColumn<int>("done");
    QTest::addColumn<QString>("inHand");
    QTest::addColumn<int>("elapsedMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("start") << 0 << "sol.jpg" << 0 << "Skapar tumbilder... 0 av 300 \u2014 sol.jpg";
    QTest::newRow("too few to tell") << 2 << "sol.jpg" << 500 << "Skapar tumbilder... 2 av 300 \u2014 sol.jpg";
    QTest::newRow("seconds left") << 76 << "sol.jpg" << 6100
                                  << "Skapar tumbilder... 76 av 300 \u2014 sol.jpg \u2014 ca 18 s kvar";
    QTest::newRow("minutes left") << 10 << "måne.gif" << 10000
                                  << "Skapar tumbilder... 10 av 300 \u2014 måne.gif \u2014 ca 5 min kvar";
    QTest::newRow("the last picture done") << 300 << "" << 60000 << "Skapar tumbilder... 300 av 300";
}

void TestWindowRun::progressText()
{
    QFETCH(int, done);
    QFETCH(QString, inHand);
    QFETCH(int, elapsedMs);
    QFETCH(QString, text);
    QCOMPARE(::progressText(done, 300, inHand, elapsedMs), text);
}

TUMBILDER_TEST_MAIN(TestWindowRun)
#include "test_windowrun.moc"
