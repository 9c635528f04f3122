// tumbilder --batch as a script uses it: a process with no display, its
// options' effects on the files it writes, its messages and exit statuses,
// Ctrl+C in the middle of a run, and the same files as the window's "Kör!".
#include "app/form1.h"
#include "files.h"
#include "gallery/modernpage.h"
#include "gallery/page.h"
#include "gallery/pagerecord.h"
#include "mainwindowtest.h"
#include "sanitizer.h"
#include "scriptedseam.h"
#include "shell.h"
#include "testmain.h"
#include "testpictures.h"
#include "windows/form2.h"
#include "windows/frmbakgrund.h"
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRadioButton>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestPictures;
using namespace TestFiles;

namespace {
const QString Binary = QStringLiteral(TUMBILDER_BINARY);

struct Result {
    int status = -1;
    QString out, err;
};

// A child-side step: the child process held to `limit` of `resource`
// (RLIMIT_FSIZE, RLIMIT_AS).
std::function<void()> limited(int resource, rlim_t limit)
{
    return [resource, limit] {
        const rlimit l{limit, limit};
        ::setrlimit(resource, &l);
    };
}

// The program as a shell in cron or over ssh runs it: no window system;
// `inChild` runs in the child before the program starts (a limit, a closed
// stream, a working folder Qt cannot name), `runner` before it (setpriv).
void startBatch(QProcess &p, const QStringList &args, const QString &workingDir = {},
                const std::function<void()> &inChild = {}, const QStringList &runner = {})
{
    p.setProcessEnvironment(withoutDisplay());
    p.setWorkingDirectory(workingDir);
    if (inChild)
        p.setChildProcessModifier(inChild);
    const QStringList command = runner + QStringList{Binary, QStringLiteral("--batch")} + args;
    p.start(command.first(), command.mid(1));
}

Result finished(QProcess &p)
{
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

Result batch(const QStringList &args, const QString &workingDir, const std::function<void()> &inChild = {})
{
    QProcess p;
    startBatch(p, args, workingDir, inChild);
    return finished(p);
}

// How to run the program as an ordinary user, whom permission bits stop:
// as it is when the tests are not run by root, else through setpriv as
// nobody. Empty, with `why`, when that is not possible here.
std::optional<QStringList> asOrdinaryUser(QString &why)
{
    if (::geteuid() != 0)
        return QStringList{};
    const QStringList setpriv{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    QProcess p;
    p.start(setpriv.first(), setpriv.mid(1) + QStringList{"test", "-x", Binary});
    if (p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return setpriv;
    why = QStringLiteral("cannot run the program as nobody through setpriv: ") + p.errorString();
    return std::nullopt;
}
}

// Every link and picture on the page in `webb` and on each album page below
// it leads to a file; each page's cells, in order, as "album/picture".
QStringList albumCells(const QString &webb)
{
    QStringList cells;
    QDirIterator pages(webb, {"bilder.html"}, QDir::Files, QDirIterator::Subdirectories);
    while (pages.hasNext()) {
        const QString page = pages.next(), album = QFileInfo(page).path() + "/";
        const QRegularExpression target(R"x((href|src)="([^"#]+)")x"), cell(R"x(<li><a href="([^"]+)(?<!bilder\.html)")x");
        for (const auto &m : target.globalMatch(contents(page)))
            if (!QFile::exists(album + QUrl::fromPercentEncoding(m.captured(2).toUtf8())))
                return {page + " links to nothing: " + m.captured(2)};
        for (const auto &m : cell.globalMatch(contents(page)))
            cells << QDir(webb).relativeFilePath(album + QUrl::fromPercentEncoding(m.captured(1).toUtf8()));
    }
    cells.sort();
    return cells;
}

class TestBatchCli : public MainWindowTest {
    Q_OBJECT
private slots:
    void options_data();
    void options();
    void badSettings_data();
    void badSettings();
    void problems_data();
    void problems();
    void modernPageFiles_data();
    void modernPageFiles();
    void pageRecord_data();
    void pageRecord();
    void interruptedRun_data();
    void interruptedRun();
    void progressFitsTheTerminal();
    void sameFilesAsTheWindow();
    void memoryStaysWithinTheBudget();
};

using Check = std::function<void(const QString &dir)>;
Q_DECLARE_METATYPE(Check)

void TestBatchCli::options_data()
{
    QTest::addColumn<QStringList>("args");   // DIR stands for the folder of the pictures
    QTest::addColumn<Check>("check");
    auto size = [](const char *file, QSize want) {
        return Check([file, want](const QString &dir) { QCOMPARE(QImage(dir + "/" + file).size(), want); });
    };
    // Both pictures: a.jpg 300 x 200 and b.gif 40 x 30.
    QTest::newRow("the window's start values") << QStringList{"DIR"} << size("a_s.jpg", QSize(237, 157));
    QTest::newRow("lock height") << QStringList{"--mode", "height", "--size", "100x50", "DIR"}
                                 << size("a_s.jpg", QSize(77, 50));
    QTest::newRow("lock width") << QStringList{"--mode", "width", "--size", "96x50", "DIR/a.jpg"}
                                << size("a_s.jpg", QSize(96, 63));
    QTest::newRow("percent") << QStringList{"--mode", "percent", "--percent", "10", "DIR"}
                             << size("a_s.jpg", QSize(26, 16));
    QTest::newRow("prefix, no suffix, BMP") << QStringList{"--prefix", "tn_", "--suffix", "", "--format", "bmp", "DIR"}
                                            << Check([](const QString &dir) {
                                                   QVERIFY(QFile::exists(dir + "/tn_a.bmp"));
                                                   QVERIFY(QFile::exists(dir + "/tn_b.bmp"));
                                                   QCOMPARE(QImageReader(dir + "/tn_a.bmp").format(), "bmp");
                                               });
    QTest::newRow("GIF") << QStringList{"--format", "GIF", "DIR"} << Check([](const QString &dir) {
        QCOMPARE(QImageReader(dir + "/b_s.gif").format(), "gif");
    });
    QTest::newRow("quality") << QStringList{"--quality", "5", "--out", "DIR/ut", "DIR/a.jpg"}
                             << Check([](const QString &dir) {
                                    QCOMPARE(batch({"--quality", "100", "--out", dir + "/webb", "a.jpg"}, dir).status, 0);
                                    QVERIFY(QFileInfo(dir + "/ut/a_s.jpg").size() * 3 < QFileInfo(dir + "/webb/a_s.jpg").size());
                                });
    // A small picture stays at natural size, top left; the rest is background.
    for (const char *colour : {"#FF0000", "6"})
        QTest::addRow("background %s", colour)
            << QStringList{"--background", colour, "--format", "bmp", "DIR/b.gif"} << Check([](const QString &dir) {
                   const QImage thumb(dir + "/b_s.bmp");
                   QCOMPARE(thumb.size(), QSize(237, 177));
                   QCOMPARE(thumb.pixel(236, 176), qRgb(255, 0, 0));
               });
    // A film named alone gets a thumbnail, its poster with a white play mark.
    const QString flat = "color=c=0x204080:s=320x240:r=10";
    QTest::newRow("a film") << QStringList{"DIR/a.jpg"} << Check([flat](const QString &dir) {
        QVERIFY(!TestPictures::writeFilm(dir, "f.mp4", {"-t", "1"}, flat).isEmpty());
        QCOMPARE(batch({"f.mp4"}, dir).status, 0);
        const QImage thumb(dir + "/f_s.jpg");
        QVERIFY(pixelDistance(thumb.pixel(thumb.width() / 2, thumb.height() / 2), qRgb(255, 255, 255)) < 24);
        QVERIFY(pixelDistance(thumb.pixel(8, 8), qRgb(0x20, 0x40, 0x80)) < 24);
    });
    // On a modern page a film is copied as it is and played from the viewer;
    // a Live Photo (a.jpg and a.MOV) is one cell.
    QTest::newRow("films on a modern page") << QStringList{"DIR/a.jpg"} << Check([flat](const QString &dir) {
        QVERIFY(!TestPictures::writeFilm(dir, "f.mp4", {"-t", "7"}, flat).isEmpty());
        QVERIFY(QFile::copy(dir + "/f.mp4", dir + "/a.MOV"));
        const Result run = batch({"--page", "webb", "--page-style", "modern", dir}, dir);
        QVERIFY2(run.out.contains("3 av 3 tumbilder skapade"), qPrintable(run.out));
        QCOMPARE(contents(dir + "/webb/f.mp4"), contents(dir + "/f.mp4"));
        QVERIFY(QFile::exists(dir + "/webb/a.MOV"));
        const QByteArray page = contents(dir + "/webb/bilder.html");
        for (const char *cell : {"href=\"f.mp4\" data-v=\"f.mp4\"", "<small>0:07</small>", "href=\"a.jpg\" data-v=\"a.MOV\""})
            QVERIFY2(page.contains(cell), cell);
        // A folder where the Live Photo's film goes leaves the still its cell.
        QVERIFY(QDir().mkpath(dir + "/webb2/a.MOV"));
        const Result blocked = batch({"--page", "webb2", "--page-style", "modern", dir}, dir);
        QVERIFY2(blocked.status == 1 && blocked.out.contains("Filen finns redan: " + dir + "/webb2/a.MOV"),
                 qPrintable(QString::number(blocked.status) + "\n" + blocked.out + blocked.err));
        QVERIFY(contents(dir + "/webb2/bilder.html").contains("href=\"a.jpg\""));
        // With the page beside the pictures, the film is the user's: it stays
        // when its still is gone.
        QVERIFY(QDir().mkpath(dir + "/lp") && QFile::copy(dir + "/a.jpg", dir + "/lp/a.jpg") && QFile::copy(dir + "/a.MOV", dir + "/lp/a.MOV"));
        QCOMPARE(batch({"--page", "lp", "--page-style", "modern", "lp"}, dir).status, 0);
        QVERIFY(QFile::remove(dir + "/lp/a.jpg"));
        batch({"--update", "--page", "lp", "--page-style", "modern", "lp"}, dir);
        QVERIFY(QFile::exists(dir + "/lp/a.MOV"));
    });
    QTest::newRow("out") << QStringList{"--out", "DIR/ut", "DIR"} << Check([](const QString &dir) {
        QCOMPARE(listing(dir + "/ut"), (QStringList{"a_s.jpg", "b_s.jpg"}));
    });
    // Run again over the same folder: nothing is drawn, copied or written
    // anew, and the page comes out the same.
    for (const QStringList style : {QStringList{}, QStringList{"--page-style", "modern", "--web-size", "150"}})
        QTest::addRow("update, twice, %s", style.isEmpty() ? "classic" : "modern")
            << QStringList{"--update", "--page", "DIR/webb"} + style + QStringList{"DIR"} << Check([style](const QString &dir) {
        const QString webb = dir + "/webb/";
        const QByteArray page = contents(webb + "bilder.html");
        auto before = stamps(dir);
        const Result again = batch(QStringList{"--update", "--page", "webb"} + style + QStringList{dir}, dir);
        QCOMPARE(again.status, 0);
        QCOMPARE(again.out, "Tumbilder skapade utan problem!\n0 av 2 tumbilder skapade, 2 var redan klara.\n"
                            "Websidan: " + webb + "bilder.html\n");
        QCOMPARE(contents(webb + "bilder.html"), page);
        // Only the page is written again.
        auto after = stamps(dir);
        QVERIFY(after.remove("webb/bilder.html") && before.remove("webb/bilder.html"));
        QCOMPARE(after.keys(), before.keys());
        for (auto it = before.begin(); it != before.end(); ++it)
            QCOMPARE(after.value(it.key()), it.value());
    });
    QTest::newRow("page") << QStringList{"--page", "DIR/webb", "--title", "Semester & sol", "--columns", "2", "DIR"}
                          << Check([](const QString &dir) {
                                 const QString webb = dir + "/webb/";
                                 QCOMPARE(listing(webb), (QStringList{"a.jpg", "a_s.jpg", "b.gif", "b_s.jpg", "bilder.html"}));
                                 const QList<GalleryEntry> entries{{dir + "/", "a.jpg", "a_s"}, {dir + "/", "b.gif", "b_s"}};
                                 QCOMPARE(contents(webb + "bilder.html"),
                                          renderPage({"Semester & sol", 2, webb, OutputFormat::Jpg}, entries));
                             });
    // Albums: one a folder, two levels deep, the year a folder of albums
    // alone; IMG_0001.JPG in three of them, each cell its own picture (by
    // its shape), by date taken: the EXIF date, else the file's time.
    QTest::newRow("-r, modern page: an album a folder, by date taken")
        << QStringList{"-r", "--page", "DIR/webb", "--page-style", "modern", "DIR/år"} << Check([](const QString &dir) {
               const QString webb = dir + "/webb/";
               QCOMPARE(albumCells(webb), (QStringList{"2025/12 dec/IMG_0001.JPG", "2025/12 dec/IMG_0002.JPG",
                                                       "2026/Påsk i Åre/IMG_0001.JPG",
                                                       "2026/x#y/IMG_0001.JPG", "2026/x#y/IMG_0002.JPG"}));
               for (const char *album : {"2025/12 dec/", "2026/x#y/"})
                   QVERIFY2(contents(webb + album + "bilder.html").indexOf("IMG_0002") <
                                contents(webb + album + "bilder.html").indexOf("IMG_0001"), album);
               QCOMPARE(QImage(webb + "2025/12 dec/IMG_0001_s.jpg").size(), QSize(237, 157));
               QCOMPARE(QImage(webb + QString("2026/Påsk i Åre/IMG_0001_s.jpg")).size(), QSize(157, 237));
               QCOMPARE(QImage(webb + "2026/x#y/IMG_0001_s.jpg").size(), QSize(237, 237));
               const QByteArray year = contents(webb + "2026/bilder.html");
               QVERIFY(year.contains("href=\"P%C3%A5sk%20i%20%C3%85re/bilder.html\"") && year.contains("href=\"x%23y/bilder.html\"")
                       && year.contains("href=\"../bilder.html\"") && !year.contains("<li><a href=\"IMG"));
           });
    // The browser gets a JPG of a HEIC or a raw file even where the originals are linked.
    QTest::newRow("modern page, originals: a HEIC and a DNG copied as JPG")
        << QStringList{"--page", "DIR/webb", "--page-style", "modern", "--web-size", "0", "DIR/a.jpg", "DIR/c.heic", "DIR/d.dng"}
        << Check([](const QString &dir) {
               QCOMPARE(contents(dir + "/webb/a.jpg"), contents(dir + "/a.jpg"));
               QCOMPARE(QImageReader(dir + "/webb/c.heic.jpg").format(), "jpeg");
               QCOMPARE(QImageReader(dir + "/webb/d.dng.jpg").format(), "jpeg");
               QCOMPARE(albumCells(dir + "/webb/"), (QStringList{"a.jpg", "c.heic.jpg", "d.dng.jpg"}));
           });
    QTest::newRow("classic page: a DNG copied as JPG") << QStringList{"--page", "DIR/webb", "DIR/a.jpg", "DIR/d.dng"}
        << Check([](const QString &dir) {
               QCOMPARE(listing(dir + "/webb"), (QStringList{"a.jpg", "a_s.jpg", "bilder.html", "d.dng.jpg", "d_s.jpg"}));
               QCOMPARE(QImage(dir + "/webb/d.dng.jpg").size(), QSize(60, 40));
               QVERIFY(contents(dir + "/webb/bilder.html").contains("<A HREF=\"d.dng.jpg\"><IMG SRC=\"d_s.jpg\""));
           });
    // The doubles are drawn by the same rules: a small picture at natural
    // size top-left, twice as large.
    QTest::newRow("modern page with web-size copies")
        << QStringList{"--page", "DIR/webb", "--page-style", "modern", "--web-size", "150", "--columns", "2", "DIR"}
        << Check([](const QString &dir) {
               const QString webb = dir + "/webb/";
               QCOMPARE(listing(webb), (QStringList{"a.jpg", "a_s.jpg", "a_s@2x.jpg", "b.gif.jpg", "b_s.jpg",
                                                    "b_s@2x.jpg", "bilder.html", PageRecordName}));
               QCOMPARE(QImage(webb + "a.jpg").size(), QSize(150, 100));
               QCOMPARE(QImage(webb + "b.gif.jpg").size(), QSize(40, 30));
               QCOMPARE(QImage(webb + "a_s@2x.jpg").size(), QImage(webb + "a_s.jpg").size() * 2);
               const QImage small(webb + "b_s@2x.jpg");
               QCOMPARE(small.size(), QImage(webb + "b_s.jpg").size() * 2);
               QCOMPARE(small.pixel(small.width() - 1, small.height() - 1), qRgb(0xEF, 0xEF, 0xEF));
               QList<GalleryEntry> entries{
                   {dir + "/", "a.jpg", "a_s", QSize(237, 157), "a_s@2x.jpg", "a.jpg"},
                   {dir + "/", "b.gif", "b_s", QSize(237, 177), "b_s@2x.jpg", "b.gif.jpg"}};
               for (GalleryEntry &e : entries)
                   e.taken = QFileInfo(e.folder + e.file).lastModified();
               QCOMPARE(contents(webb + "bilder.html"),
                        renderModernPage({"Mina bilder", 2, webb, OutputFormat::Jpg, PageStyle::Modern, 150},
                                         entries));
           });
}

void TestBatchCli::options()
{
    QFETCH(QStringList, args);
    QFETCH(Check, check);
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    QVERIFY(!writeJpeg(dir, "a.jpg", photo(QSize(300, 200), 1)).isEmpty());
    QVERIFY(!writeGif(dir, "b.gif", GifKind::Plain).isEmpty());
    QDir(dir).mkdir("ut");
    QDir(dir).mkdir("webb");
    if (args.contains("DIR/d.dng"))
        QVERIFY(!writePicture(dir, "d.dng", Format::Dng, photo(QSize(60, 40), 3), {.preview = 1}).isEmpty());
    if (args.contains("DIR/c.heic"))
        QVERIFY(!writePicture(dir, "c.heic", Format::Heic, photo(QSize(60, 40), 3)).isEmpty());
    if (args.contains("-r")) {
        const QByteArray dec24 = withExif(jpegBytes(photo(QSize(300, 200), 4)), exifTiff(1, {{0x9003, "2025:12:24 18:00:00"}}));
        const QByteArray dec1 = withExif(jpegBytes(photo(QSize(90, 60), 5)), exifTiff(1, {{0x9003, "2025:12:01 09:00:00"}}));
        QVERIFY(QDir(dir).mkpath("år/2025/12 dec") && QDir(dir).mkpath("år/2026/Påsk i Åre") && QDir(dir).mkpath("år/2026/x#y"));
        QVERIFY(put(dir + "/år/2025/12 dec/IMG_0001.JPG", dec24) && put(dir + "/år/2025/12 dec/IMG_0002.JPG", dec1));
        QVERIFY(!writeJpeg(dir + "/år/2026/Påsk i Åre", "IMG_0001.JPG", photo(QSize(200, 300), 6)).isEmpty());
        QVERIFY(!writeJpeg(dir + "/år/2026/x#y", "IMG_0001.JPG", photo(QSize(300, 300), 7)).isEmpty());
        QVERIFY(!writeJpeg(dir + "/år/2026/x#y", "IMG_0002.JPG", photo(QSize(30, 40), 8)).isEmpty());
        QVERIFY(touch(dir + "/år/2026/x#y/IMG_0002.JPG", -3600));
    }
    const Result r = batch(args.replaceInStrings("DIR", dir), dir);
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.startsWith("Tumbilder skapade utan problem!\n"), qPrintable(r.out));
    check(dir);
}

void TestBatchCli::badSettings_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("size 0x10") << QStringList{"--size", "0x10"} << "--size";
    QTest::newRow("size 16381x10") << QStringList{"--size", "16381x10"} << "--size";
    QTest::newRow("percent 0") << QStringList{"--mode", "percent", "--percent", "0"} << "--percent";
    QTest::newRow("quality abc") << QStringList{"--quality", "abc"} << "--quality";
    QTest::newRow("prefix a/b") << QStringList{"--prefix", "a/b"} << "--prefix";
    QTest::newRow("9 columns") << QStringList{"--columns", "9"} << "--columns";
    QTest::newRow("0 columns") << QStringList{"--columns", "0"} << "--columns";
    QTest::newRow("a file where the page folder would be") << QStringList{"--page", "a.jpg/webb"}
                                                           << "kan inte skapa mappen för websidan";
    QTest::newRow("out and page") << QStringList{"--out", ".", "--page", "."} << "--out och --page";
    QTest::newRow("unknown mode") << QStringList{"--mode", "stor"} << "stor";
    QTest::newRow("colour 36") << QStringList{"--background", "36"} << "--background";
    QTest::newRow("web size 99") << QStringList{"--page", ".", "--page-style", "modern", "--web-size", "99"}
                                 << "--web-size";
    QTest::newRow("unknown page style") << QStringList{"--page", ".", "--page-style", "ny"} << "ny";
    QTest::newRow("page style without a page") << QStringList{"--page-style", "modern"} << "--page-style";
}

void TestBatchCli::badSettings()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    QVERIFY(!writeJpeg(tmp.path(), "a.jpg", photo(QSize(300, 200), 1)).isEmpty());
    const Result r = batch(args << "a.jpg", tmp.path());
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.startsWith("tumbilder: ") && r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    QCOMPARE(listing(tmp.path()), QStringList{"a.jpg"});
}

void TestBatchCli::problems_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");   // DIR stands for the folder
    QTest::addColumn<QString>("err");   // what standard error starts with
    QTest::newRow("a thumbnail already there") << "exists" << 1
                                               << "Filen finns redan: DIR/a_s.jpg\n1 av 2 tumbilder skapade.\n" << "";
    QTest::newRow("a name that is not there") << "missing" << 0
                                              << "Tumbilder skapade utan problem!\n2 av 2 tumbilder skapade.\n"
                                              << "tumbilder: finns inte, hoppas över: DIR/saknas.jpg";
    QTest::newRow("full disk") << "full" << 2 << "" << "Ett fel uppstod: ";
    QTest::newRow("a picture no thumbnail can hold")
        << "unscalable" << 1 << "Kan inte skala om bilden: DIR/c.bmp\n2 av 3 tumbilder skapade.\n" << "";
    QTest::newRow("a thumbnail taller than a JPG can be")
        << "too tall" << 1 << "Kan inte skala om bilden: DIR/c.png\n2 av 3 tumbilder skapade.\n" << "";
    QTest::newRow("a double taller than a JPG can be: the cell keeps its thumbnail")
        << "tall double" << 0
        << "Tumbilder skapade utan problem!\n3 av 3 tumbilder skapade.\nWebsidan: DIR/webb/bilder.html\n" << "";
    QTest::newRow("a copy for the page cannot be made")
        << "copy" << 2 << "2 av 2 tumbilder skapade.\n"
        << "Ett fel uppstod när websidan skulle skapas: ";
    // A folder cannot be replaced: it stands in the way, as before a thumbnail.
    QTest::newRow("a folder where a picture's copy goes")
        << "copy folder" << 1
        << "Filen finns redan: DIR/webb/b.jpg\n2 av 2 tumbilder skapade.\nWebsidan: DIR/webb/bilder.html\n" << "";
    QTest::newRow("a folder where a double goes")
        << "double folder" << 1
        << "Filen finns redan: DIR/webb/a_s@2x.jpg\n2 av 2 tumbilder skapade.\nWebsidan: DIR/webb/bilder.html\n" << "";
    // The user's a.png.jpg, of the web copy's size and a.png's time (as an
    // archive unpacks them), is a picture of the run, never a.png's copy.
    QTest::newRow("a page file named like a picture of the run")
        << "copy on picture" << 1 << "Filen finns redan: DIR/a.png.jpg\n2 av 2 tumbilder skapade.\nWebsidan: DIR/bilder.html\n"
        << "";
    QTest::newRow("a folder holding a picture's thumbnail")
        << "folder" << 1
        << "Filen finns redan: DIR/a_s.jpg\n1 tumbild i mapparna hoppades över\n1 av 2 tumbilder skapade.\n" << "";
    QTest::newRow("update: a thumbnail older than its picture")
        << "older" << 1
        << "Filen finns redan: DIR/a_s.jpg\n"
           "En tumbild som är äldre än sin bild skrivs aldrig över: ta bort den så görs den om.\n"
           "1 av 2 tumbilder skapade.\n" << "";
    QTest::newRow("the page folder is made")
        << "made" << 0
        << "Tumbilder skapade utan problem!\n2 av 2 tumbilder skapade.\nWebsidan: DIR/ny/webb/bilder.html\n"
        << "tumbilder: skapade mappen för websidan: DIR/ny/webb\n";
    const QString sameName = "En tumbild har samma namn, bilden tas inte med på websidan: DIR/";
    QTest::newRow("a picture named like the run's thumbnail")
        << "named like a thumbnail" << 1
        << sameName + "a_s.jpg\n3 av 3 tumbilder skapade.\nWebsidan: DIR/webb/bilder.html\n" << "";
    QTest::newRow("no prefix and no suffix: each picture named like its thumbnail")
        << "no suffix" << 1
        << sameName + "a.jpg\n" + sameName + "b.jpg\n2 av 2 tumbilder skapade.\nWebsidan: DIR/webb/bilder.html\n"
        << "";
    QTest::newRow("the same name in two folders: the later one left out")
        << "same name" << 1
        << "Filen finns redan: DIR/webb/a_s.jpg\n2 av 3 tumbilder skapade.\nWebsidan: DIR/webb/bilder.html\n" << "";
    QTest::newRow("a folder that cannot be read")
        << "locked" << 1 << "Kan inte läsa mappen: DIR/låst\n2 av 2 tumbilder skapade.\n" << "";
    // Latin-1 bytes, given as they are: never "not there", never left out.
    QTest::newRow("a name that is not text") << "latin1" << 1
                                             << "Kan inte läsa bilden: DIR/caf\\xE9.jpg\n2 av 2 tumbilder skapade.\n"
                                             << "";
    QTest::newRow("a working folder whose name is not text")
        << "latin1 folder" << 0 << "Tumbilder skapade utan problem!\n2 av 2 tumbilder skapade.\n" << "";
    // Read from neither: a FIFO would wait for a writer for ever.
    QTest::newRow("files that are not ordinary files")
        << "special" << 1
        << "Inte en vanlig fil: DIR/kö.jpg\nInte en vanlig fil: /dev/zero\n2 av 2 tumbilder skapade.\n" << "";
    QTest::newRow("camera raw files")
        << "raw" << 1
        << "Formatet stöds inte: DIR/c.PEF\n3 filer i format som inte stöds hoppades över: .pef, .srw\n"
           "2 av 2 tumbilder skapade.\n"
        << "";
    // Escaped, so a name can neither drive the terminal nor split its line.
    QTest::newRow("control characters in a name")
        << "control" << 1 << "Kan inte läsa bilden: DIR/e\\e]0;x\\a\\e[2J\\nf.jpg (inte en bild)\n2 av 3 tumbilder skapade.\n" << "";
    QTest::newRow("control characters in the page folder's name")
        << "control page" << 0
        << "Tumbilder skapade utan problem!\n2 av 2 tumbilder skapade.\nWebsidan: DIR/ny\\e[2J/bilder.html\n"
        << "tumbilder: skapade mappen för websidan: DIR/ny\\e[2J\n";
    QTest::newRow("a percentage the mode does not use")
        << "percent" << 0 << "Tumbilder skapade utan problem!\n2 av 2 tumbilder skapade.\n"
        << "tumbilder: --percent gäller bara med --mode percent";
    // The report lost is no success.
    QTest::newRow("standard output on a full disk") << "full output" << 2 << ""
                                                    << "tumbilder: kan inte skriva på standard ut: ";
    QTest::newRow("standard output closed") << "closed output" << 2 << ""
                                            << "tumbilder: kan inte skriva på standard ut: ";
}

// Problems as the report window would list them, or as a run stopped by an
// error, with the exit status a script tests; what was there stays.
void TestBatchCli::problems()
{
    QFETCH(QString, problem);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    const QByteArray rawDir = QFile::encodeName(dir);
    // Qt cannot take away the names it cannot make, nor a folder closed to the one who made it.
    const auto cleanUp = qScopeGuard([rawDir] {
        for (const char *name : {"/caf\xE9.jpg", "/caf\xE9/a.jpg", "/caf\xE9/b.jpg"})
            ::unlink(rawDir + name);
        ::rmdir(rawDir + "/caf\xE9");
        ::chmod(rawDir + "/l\xC3\xA5st", 0700);
    });
    QVERIFY(!writeJpeg(dir, "a.jpg", photo(QSize(300, 200), 1)).isEmpty());
    QVERIFY(!writeJpeg(dir, "b.jpg", photo(QSize(200, 300), 2)).isEmpty());
    QStringList args{"a.jpg", "b.jpg"};
    QString workingDir = dir;
    std::function<void()> inChild;
    QStringList runner;
    QProcess p;
    if (problem == "exists" || problem == "folder" || problem == "older")
        QVERIFY(put(dir + "/a_s.jpg", "min egen"));
    if (problem == "folder")
        args = QStringList{dir};
    if (problem == "older") {
        QVERIFY(touch(dir + "/a_s.jpg", -3600));
        args << "--update";
    }
    if (problem == "made")
        args << "--page" << "ny/webb";
    if (problem == "same name") {
        QVERIFY(QDir(dir).mkdir("x") && !writeJpeg(dir + "/x", "a.jpg", photo(QSize(200, 300), 3)).isEmpty());
        args << "x/a.jpg";
    }
    if (problem == "named like a thumbnail" || problem == "no suffix" || problem == "same name") {
        QVERIFY(QDir(dir).mkdir("webb"));
        args << "--page" << "webb";
    }
    if (problem == "named like a thumbnail") {
        QVERIFY(!writeJpeg(dir, "a_s.jpg", photo(QSize(640, 480), 3)).isEmpty());
        args << "a_s.jpg";
    }
    if (problem == "no suffix")
        args << "--prefix" << "" << "--suffix" << "";
    if (problem == "missing")
        args << "saknas.jpg";
    if (problem == "full")
        inChild = limited(RLIMIT_FSIZE, 2000);
    if (problem == "unscalable") {
        // 5000 x 1 at the locked height would be wider than any canvas.
        QImage line(5000, 1, QImage::Format_RGB32);
        line.fill(Qt::gray);
        QVERIFY(line.save(dir + "/c.bmp"));
        args << "c.bmp" << "--mode" << "height";
    }
    if (problem == "too tall" || problem == "tall double") {
        // At 100 % the thumbnail (or its double) is over 65,500 pixels tall,
        // where JPEG stops.
        QImage line(2, problem == "too tall" ? 70000 : 40000, QImage::Format_RGB32);
        line.fill(Qt::gray);
        QVERIFY(line.save(dir + "/c.png"));
        args << "c.png" << "--mode" << "percent" << "--percent" << "100";
    }
    if (problem == "control page")
        args << "--page" << "ny\x1b[2J";
    if (problem == "tall double") {
        QVERIFY(QDir(dir).mkdir("webb"));
        args << "--page" << "webb" << "--page-style" << "modern";
    }
    if (problem == "copy") {
        // The disk fills with the copy of b.jpg, after every thumbnail.
        QVERIFY(!writeLargeJpeg(dir, "b.jpg", QSize(2000, 3000)).isEmpty() && QDir(dir).mkdir("webb"));
        inChild = limited(RLIMIT_FSIZE, 200000);
    }
    if (problem == "copy" || problem == "copy folder" || problem == "double folder")
        args << "--page" << "webb";
    if (problem.endsWith("folder") && problem != "folder")
        QVERIFY(QDir(dir).mkpath(problem == "copy folder" ? "webb/b.jpg" : "webb/a_s@2x.jpg"));
    if (problem == "double folder")
        args << "--page-style" << "modern";
    if (problem == "copy on picture") {
        QVERIFY(!writeJpeg(dir, "a.png.jpg", photo(QSize(67, 100), 5)).isEmpty());
        QVERIFY(!writePng(dir, "a.png", photo(QSize(200, 300), 6)).isEmpty() && touch(dir + "/a.png", -60));
        QFile jpg(dir + "/a.png.jpg");
        QVERIFY(jpg.open(QIODevice::ReadWrite)
                && jpg.setFileTime(QFileInfo(dir + "/a.png").lastModified(), QFileDevice::FileModificationTime));
        args = QStringList{"--page", ".", "--page-style", "modern", "--web-size", "100", "a.png.jpg", "a.png"};
    }
    if (problem == "locked") {
        QString why;
        const auto user = asOrdinaryUser(why);
        if (!user)
            QSKIP(qPrintable(why));
        runner = *user;
        QVERIFY(QDir(dir).mkdir("låst"));
        QVERIFY(!writeJpeg(dir + "/låst", "c.jpg", photo(QSize(30, 20), 3)).isEmpty());
        QVERIFY(QFile::setPermissions(dir + "/låst", {}));
        // The user may write its thumbnails beside the pictures.
        QCOMPARE(::chmod(rawDir, 0777), 0);
        args << "låst";
    }
    if (problem.startsWith("latin1")) {
        // caf\xE9: café in Latin-1. A shell gives the program such a name
        // as it is; Qt cannot.
        const QByteArray jpeg = jpegBytes(photo(QSize(40, 30), 4));
        if (problem == "latin1") {
            QVERIFY(put(dir + "/latin1", jpeg));
            QCOMPARE(::rename(rawDir + "/latin1", rawDir + "/caf\xE9.jpg"), 0);
            runner = {"/bin/sh", "-c", "exec \"$@\" \"$(printf 'caf\\351.jpg')\"", "sh"};
        } else {
            // Relative names from there, the thumbnails into the folder above.
            QCOMPARE(::mkdir(rawDir + "/caf\xE9", 0755), 0);
            QCOMPARE(::link(rawDir + "/a.jpg", rawDir + "/caf\xE9/a.jpg"), 0);
            QCOMPARE(::link(rawDir + "/b.jpg", rawDir + "/caf\xE9/b.jpg"), 0);
            workingDir.clear();
            inChild = [where = rawDir + "/caf\xE9"] { (void)::chdir(where.constData()); };
            args << "--out" << "..";
        }
    }
    if (problem == "special") {
        QCOMPARE(::mkfifo(QFile::encodeName(dir + "/kö.jpg"), 0600), 0);
        args << "kö.jpg" << "/dev/zero";
    }
    if (problem == "raw") {
        QVERIFY(QDir(dir).mkdir("kamera"));
        for (const char *name : {"c.PEF", "kamera/d.srw", "kamera/e.SRW", "kamera/f.pef"})
            QVERIFY(put(dir + "/" + name, "rå"));
        args << "c.PEF" << "kamera";
    }
    if (problem == "control") {
        QVERIFY(put(dir + "/e\x1b]0;x\a\x1b[2J\nf.jpg", "trasig"));
        args << "e\x1b]0;x\a\x1b[2J\nf.jpg";
    }
    if (problem == "percent")
        args << "--percent" << "10";
    if (problem == "full output")
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
    if (problem == "closed output")
        inChild = [] { ::close(STDOUT_FILENO); };

    const auto before = snapshot(dir);
    startBatch(p, args, workingDir, inChild, runner);
    const Result r = finished(p);
    QCOMPARE(r.status, status);
    QVERIFY2(out.isEmpty() ? !r.out.contains("Tumbilder skapade utan problem!") : r.out == QString(out).replace("DIR", dir),
             qPrintable(r.out));
    QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.startsWith(QString(err).replace("DIR", dir)), qPrintable(r.err));
    const auto after = snapshot(dir);
    for (auto it = before.begin(); it != before.end(); ++it)
        QCOMPARE(after.value(it.key()), it.value());
    // A page only where the run says it wrote one; every other new file is a picture.
    for (const QString &name : after.keys()) {
        if (name.endsWith(PageRecordName))
            continue;
        if (name.endsWith("bilder.html"))
            QVERIFY2(r.out.contains("Websidan: " + dir + "/" + QString(name).replace("\x1b", "\\e") + "\n"),
                     qPrintable(name));
        else
            QVERIFY2(before.contains(name) || !QImage(dir + "/" + name).isNull(), qPrintable(name));
    }
    // Where a picture is named like a thumbnail of the run, the thumbnail
    // stays and the page leaves the picture out.
    if (problem == "named like a thumbnail" || problem == "no suffix" || problem == "same name") {
        if (problem != "no suffix")
            QCOMPARE(contents(dir + "/webb/a.jpg"), contents(dir + "/a.jpg"));
        const QString thumb = problem == "no suffix" ? "/webb/a.jpg" : "/webb/a_s.jpg";
        QCOMPARE(QImage(dir + thumb).size(), QSize(237, 157));
        QList<GalleryEntry> shown;
        if (problem != "no suffix")
            shown = {{dir + "/", "a.jpg", "a_s"}, {dir + "/", "b.jpg", "b_s"}};
        QCOMPARE(contents(dir + "/webb/bilder.html"), renderPage({"Mina bilder", 3, dir + "/webb/", OutputFormat::Jpg}, shown));
    }
}

void TestBatchCli::modernPageFiles_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");          // a pattern; DIR stands for the folder
    QTest::addColumn<QStringList>("replaced");  // files in webb/ the second run made anew
    const QStringList modern{"--page", "webb", "--page-style", "modern", "--web-size", "100"};
    const QString kept = "^Filen finns redan: DIR/webb/a_s.jpg\nFilen finns redan: DIR/webb/b_s.jpg\n";
    QTest::newRow("up to date: kept") << "" << modern << 1 << kept << QStringList{};
    QTest::newRow("a picture changed: its files made anew")
        << "touched" << modern << 1 << kept << QStringList{"a.jpg", "a_s@2x.jpg"};
    // Changed since the page made them: somebody's, never replaced.
    QTest::newRow("a page file changed by somebody: reported, kept")
        << "foreign" << modern << 1
        << "^Filen finns redan: DIR/webb/a_s.jpg\nFilen finns redan: DIR/webb/a_s@2x.jpg\nFilen finns redan: "
           "DIR/webb/a.jpg\nFilen finns redan: DIR/webb/b_s.jpg\n"
        << QStringList{};
    QTest::newRow("a copy's name is a thumbnail of the run: reported, left out")
        << "copy on thumbnail" << modern << 1
        << "^Filen finns redan: DIR/webb/a_s.jpg\n2 av 2 tumbilder skapade.\n" << QStringList{};
    QTest::newRow("a copy's name is a thumbnail still to come: reported, left out")
        << "copy on thumbnail, listed first" << modern << 1
        << "^Filen finns redan: DIR/webb/a_s.jpg\n2 av 2 tumbilder skapade.\n" << QStringList{};
    QTest::newRow("a double's name is a thumbnail of the run: reported")
        << "double on thumbnail" << (QStringList{"--prefix", "t", "--suffix", ""} + modern) << 1
        << "^Filen finns redan: DIR/webb/ta@2x.jpg\n2 av 2 tumbilder skapade.\n" << QStringList{};
    QTest::newRow("update: a picture damaged since its thumbnail: reported, left out")
        << "damaged" << (modern + QStringList{"--update"}) << 1 << "^Kan inte läsa bilden: DIR/a.jpg \\(.+\\)\n"
        << QStringList{};
    QTest::newRow("full disk: the run stops, nothing half-written")
        << "full" << modern << 2 << "^$" << QStringList{};
}

// The files a modern page makes beside the thumbnails, run after run: a copy
// or double that is up to date stays, one of a changed picture or a file of
// the user's is replaced, a file this run wrote never is.
void TestBatchCli::modernPageFiles()
{
    QFETCH(QString, trouble);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QStringList, replaced);
    QTemporaryDir tmp;
    const QString dir = tmp.path(), webb = dir + "/webb/";
    QDir(dir).mkdir("webb");
    QVERIFY(!writeJpeg(dir, "a.jpg", photo(QSize(300, 200), 1)).isEmpty());
    QVERIFY(!writeJpeg(dir, "b.jpg", photo(QSize(200, 300), 2)).isEmpty());
    QStringList pictures{"a.jpg", "b.jpg"};
    if (trouble.startsWith("copy on thumbnail")) {
        QVERIFY(QFile::copy(dir + "/b.jpg", dir + "/a_s.jpg"));
        pictures = trouble.endsWith("first") ? QStringList{"a_s.jpg", "a.jpg"} : QStringList{"a.jpg", "a_s.jpg"};
    } else if (trouble == "double on thumbnail") {
        QVERIFY(QFile::copy(dir + "/b.jpg", dir + "/a@2x.jpg"));
        pictures = QStringList{"a@2x.jpg", "a.jpg"};
    }
    const Result first = trouble == "full" ? batch(args + pictures, dir, limited(RLIMIT_FSIZE, 8000)) : batch(args + pictures, dir);
    if (trouble == "full") {
        QCOMPARE(first.status, status);
        QVERIFY2(first.err.startsWith("Ett fel uppstod: "), qPrintable(first.err));
        QVERIFY(!listing(webb).contains("bilder.html"));
        for (const QString &name : listing(webb))
            QVERIFY2(!QImage(webb + name).isNull(), qPrintable(name));
        return;
    }
    const QString pattern = QString(out).replace("DIR", QRegularExpression::escape(dir));
    if (trouble.contains("on thumbnail")) {
        // The first run already meets the name it wrote.
        QCOMPARE(first.status, status);
        QVERIFY2(QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption).match(first.out).hasMatch(),
                 qPrintable(first.out));
        for (const QString &name : listing(webb))
            QVERIFY2(!QImage(webb + name).isNull() || name == "bilder.html" || name == PageRecordName, qPrintable(name));
        if (trouble.startsWith("copy on thumbnail")) {
            // a_s.jpg is a's thumbnail, not the picture a_s.jpg, whose cell is left out.
            QCOMPARE(QImage(webb + "a_s.jpg").size(), QSize(237, 157));
            QVERIFY(!contents(webb + "bilder.html").contains("alt=\"a_s.jpg\""));
        } else {
            // ta@2x.jpg is the thumbnail of a@2x.jpg; a.jpg's cell has no double.
            QCOMPARE(QImage(webb + "ta@2x.jpg").height(), 237);
            QVERIFY(!contents(webb + "bilder.html").contains("srcset=\"ta@2x.jpg"));
        }
        return;
    }
    QCOMPARE(first.status, 0);
    // Each page file bears its picture's time.
    const auto times = stamps(dir);
    QCOMPARE(times["webb/a.jpg"].section(' ', 1), times["a.jpg"].section(' ', 1));

    const QStringList made{"a.jpg", "a_s@2x.jpg", "b.jpg", "b_s@2x.jpg"};
    if (trouble == "touched") {
        QFile picture(dir + "/a.jpg");
        QVERIFY(picture.open(QIODevice::ReadWrite));
        QVERIFY(picture.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    } else if (trouble == "damaged") {
        // Its thumbnail still counts as made: the picture is older.
        QVERIFY(put(dir + "/a.jpg", "trasig") && touch(dir + "/a.jpg", -3600));
    } else if (trouble == "foreign") {
        QVERIFY(put(webb + "a.jpg", jpegBytes(photo(QSize(120, 80), 7))));
        QVERIFY(put(webb + "a_s@2x.jpg", "min egen"));
    }
    const auto before = stamps(webb);
    const Result second = batch(args + pictures, dir);
    QCOMPARE(second.status, status);
    QVERIFY2(QRegularExpression(pattern).match(second.out).hasMatch(), qPrintable(second.out));
    const auto after = stamps(webb);
    for (const QString &name : made)
        QVERIFY2(after.contains(name) && (after[name] != before[name]) == replaced.contains(name), qPrintable(name));
    QCOMPARE(QImage(webb + "a.jpg").size(), trouble == "foreign" ? QSize(120, 80) : QSize(100, 67));
    QCOMPARE(QImage(webb + "a_s@2x.jpg").size(), trouble == "foreign" ? QSize(0, 0) : QSize(474, 314));
}

// A modern page's record: a run again without the page's options keeps
// them, and with --update follows what happened to the pictures; a record
// that cannot be read removes nothing.
void TestBatchCli::pageRecord_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("out");   // a pattern of the second run's report
    QTest::addColumn<QStringList>("left");   // in webb/ after it
    const QStringList both{"a.jpg", "a_s.jpg", "a_s@2x.jpg", "b.jpg", "b_s.jpg", "b_s@2x.jpg", "bilder.html",
                           PageRecordName};
    QTest::newRow("nothing: kept as it was") << "" << "^Tumbilder skapade utan problem!\n0 av 2" << both;
    QTest::newRow("deleted: its files go") << "delete" << "^Tumbilder skapade utan problem!\n0 nya, 0 gjorda om, 1 borttagna"
                                           << QStringList{"b.jpg", "b_s.jpg", "b_s@2x.jpg", "bilder.html", PageRecordName};
    QTest::newRow("edited: made again") << "edit" << "^Tumbilder skapade utan problem!\n0 nya, 1 gjord om, 0 borttagna"
                                        << both;
    QTest::newRow("another size: made again") << "size" << "\n0 nya, 2 gjorda om, 0 borttagna" << both;
    QTest::newRow("damaged record: nothing removed")
        << "damage" << "^Websidans register går inte att läsa; inget i mappen tas bort: .*\n0 av 1"
        << QStringList{"a.jpg", "a_s.jpg", "a_s@2x.jpg", "b.jpg", "b_s.jpg", "b_s@2x.jpg", "bilder.html",
                       PageRecordName};
}

void TestBatchCli::pageRecord()
{
    QFETCH(QString, change);
    QFETCH(QString, out);
    QFETCH(QStringList, left);
    QTemporaryDir tmp;
    const QString dir = tmp.path(), webb = dir + "/webb/";
    QVERIFY(!writeJpeg(dir, "a.jpg", photo(QSize(300, 200), 1)).isEmpty());
    QVERIFY(!writeJpeg(dir, "b.jpg", photo(QSize(200, 300), 2)).isEmpty());
    const Result first = batch({"--page", "webb", "--page-style", "modern", "--title", "Sol", dir}, dir);
    QCOMPARE(first.status, 0);
    QStringList again{"--update", "--page", "webb", dir};
    if (change == "delete" || change == "damage")
        QVERIFY(QFile::remove(dir + "/a.jpg"));
    if (change == "damage") {
        QVERIFY(put(webb + PageRecordName, "{trasig"));
        again = QStringList{"--page-style", "modern", "--title", "Sol"} + again;
    }
    if (change == "edit")
        QVERIFY(put(dir + "/a.jpg", jpegBytes(photo(QSize(300, 200), 5))) && touch(dir + "/a.jpg", 5));
    if (change == "size")
        again = QStringList{"--size", "100x100"} + again;
    const Result second = batch(again, dir);
    QVERIFY2(QRegularExpression(out).match(second.out).hasMatch(), qPrintable(second.out + second.err));
    QCOMPARE(listing(webb), left);
    // Still the modern page, with its title, from the record.
    QVERIFY(contents(webb + "bilder.html").startsWith("<!doctype html>"));
    QVERIFY(contents(webb + "bilder.html").contains("<h1>Sol</h1>"));
    if (change != "damage")
        QVERIFY2(second.err.contains("websidans stil: modern (från förra gången)"), qPrintable(second.err));
}

void TestBatchCli::interruptedRun_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("while the pictures are drawn") << "drawing";
    QTest::newRow("while the page's copies are made") << "copying";
    // Here while the names that are not there are said, on a standard error
    // nobody reads: the program waits there, after the folders were read.
    QTest::newRow("before the first picture") << "before";
}

// Ctrl+C in the middle of a run stops it: while drawing 200 pictures, after
// the picture in hand, every thumbnail written whole and nothing
// half-written left; while copying 1000 pictures for the page (their
// thumbnails made already), before the next copy; before the first picture
// all the same, never the process in the middle of something. The old page
// stays.
void TestBatchCli::interruptedRun()
{
    QFETCH(QString, when);
    const bool copying = when == "copying";
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/bilder", webb = tmp.path() + "/webb";
    QDir().mkpath(dir);
    QDir().mkpath(webb);
    QVERIFY(put(webb + "/bilder.html", "gammal sida"));
    const QByteArray jpeg = jpegBytes(photo(QSize(800, 600), 3));
    const int count = copying ? 1000 : 200;
    for (int i = 0; i < count; ++i) {
        const QString name = QString("%1").arg(i, 4, 10, QLatin1Char('0'));
        QVERIFY(put(dir + "/" + name + ".jpg", jpeg));
        if (copying)
            QVERIFY(put(webb + "/" + name + "_s.gif", "gjord") && touch(webb + "/" + name + "_s.gif", 60));
    }
    // Stopped before the pictures, the run does not even make a page folder.
    const QString page = when == "before" ? webb + "/ny" : webb;
    QStringList args = QStringList{"--jobs", "1", "--format", "gif", "--page", page, dir}
                       + (copying ? QStringList{"--update"} : QStringList{});
    int errors[2] = {-1, -1};
    std::function<void()> inChild;
    if (when == "before") {
        // 3000 names of some 90 bytes each: more than a pipe holds.
        for (int i = 0; i < 3000; ++i)
            args << QStringLiteral("%1/saknas-%2.jpg").arg(tmp.path()).arg(i);
        QCOMPARE(::pipe2(errors, O_CLOEXEC), 0);
        inChild = [fd = errors[1]] { ::dup2(fd, STDERR_FILENO); };
    }
    QProcess p;
    startBatch(p, args, {}, inChild);
    QVERIFY(p.waitForStarted());
    if (when == "before") {
        ::close(errors[1]);
        // Once the pipe is full, the program waits to write to it.
        int held = 0;
        QTRY_VERIFY_WITH_TIMEOUT(::ioctl(errors[0], FIONREAD, &held) == 0 && held >= 60000, 30000);
        QCOMPARE(listing(webb), QStringList{"bilder.html"});
    } else {
        // Once the run is under way: the third thumbnail, or the first copy.
        const QString sign = webb + (copying ? "/0000.jpg" : "/0002_s.gif");
        QDeadlineTimer deadline(30000);
        while (!QFileInfo::exists(sign) && !deadline.hasExpired() && p.state() == QProcess::Running)
            QThread::usleep(200);
    }
    ::kill(pid_t(p.processId()), SIGINT);
    if (when == "before") {
        ::fcntl(errors[0], F_SETFL, O_NONBLOCK);
        char drained[4096];
        const QDeadlineTimer deadline(30000);
        while (p.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            while (::read(errors[0], drained, sizeof drained) > 0) {
            }
            p.waitForFinished(20);
        }
        ::close(errors[0]);
    }
    QVERIFY(p.state() == QProcess::NotRunning || p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 130);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(out.contains("\nAvbrutet.\n") || out.startsWith("Avbrutet.\n"), qPrintable(out));
    QCOMPARE(contents(webb + "/bilder.html"), QByteArray("gammal sida"));
    int made = 0;
    for (const QString &name : listing(webb)) {
        made += name.endsWith(copying ? ".jpg" : "_s.gif");
        QVERIFY2(name == "bilder.html" || contents(webb + "/" + name) == "gjord"
                     || !QImage(webb + "/" + name).isNull(), qPrintable(name));
    }
    QVERIFY2(made < count, "the run was not stopped");
    QCOMPARE(QFileInfo::exists(webb + "/ny"), false);
}

// On a terminal of 60 columns the progress line stays one line, so each
// next one replaces it rather than piling up below it.
void TestBatchCli::progressFitsTheTerminal()
{
    QTemporaryDir tmp;
    QDir(tmp.path()).mkdir("ut");
    const QByteArray jpeg = jpegBytes(photo(QSize(200, 150), 5));
    for (int i = 0; i < 5; ++i)
        QVERIFY(put(tmp.path() + QString("/ett långt namn på en bild från en lång semester %1.jpg").arg(i), jpeg));
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    // A terminal of its own, made by script(1).
    p.start("script", {"-q", "-e", "-c",
                       QString("stty cols 60 && exec '%1' --batch --jobs 1 --out '%2/ut' '%2'").arg(Binary, tmp.path()),
                       "/dev/null"});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QString shown = QString::fromUtf8(p.readAllStandardOutput()).remove(QStringLiteral("\x1b[K"));
    QVERIFY2(shown.contains("Skapar tumbilder... 3 av 5"), qPrintable(shown));
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
    for (const QString &line : shown.split(lineEnd))
        QVERIFY2(line.size() < 60, qPrintable(line));
}

// The same pictures and settings through "Kör!" and through --batch give
// the same files, byte for byte.
void TestBatchCli::sameFilesAsTheWindow()
{
    QTemporaryDir tmp;
    const QString window = tmp.path() + "/fönster", shell = tmp.path() + "/skal";
    for (const QString &dir : {window, shell}) {
        QDir().mkpath(dir);
        QVERIFY(!writeJpeg(dir, "a.jpg", photo(QSize(640, 480), 1)).isEmpty());
        QVERIFY(!writeJpeg(dir, "b.jpg", photo(QSize(300, 500), 2), 90, true).isEmpty());
        QVERIFY(!writeGif(dir, "c.gif", GifKind::Transparent).isEmpty());
    }
    seam->onModal = [](QDialog *d) {
        if (auto *colours = qobject_cast<frmbakgrund *>(d))
            colours->lbl_Click(3);   // #FF8000, the 11th swatch
        else
            d->accept();
    };
    main->Picture1_Click();
    main->findChildren<QRadioButton *>(QStringLiteral("optlås"))[0]->click();
    main->List1_OLEDragDrop({window});
    main->Command1_Click();
    const Result r = batch({"--mode", "height", "--background", "10", shell}, tmp.path());
    QCOMPARE(r.status, 0);
    const auto fromWindow = snapshot(window), fromShell = snapshot(shell);
    QCOMPARE(fromWindow.size(), 6);

    QCOMPARE(fromShell, fromWindow);
}

// Eight pictures of 8000 x 8000 (small RLE files, 256 MB each decoded) on
// eight threads, in an address space that eight decodes at once would
// overflow: the run's memory budget lets only as many decode at once as fit,
// so every thumbnail is made.
void TestBatchCli::memoryStaysWithinTheBudget()
{
    if (addressSanitizer)
        QSKIP("AddressSanitizer reserves more address space than the limit allows");
    QTemporaryDir tmp;
    QByteArray row;
    for (int run = 0; run < 32; ++run)
        row += QByteArray("\xFA") + char(run % 16);
    row += QByteArray("\x00\x00", 2);
    QByteArray rle = row.repeated(8000);
    rle += QByteArray("\x00\x01", 2);
    const QByteArray bmp = bmpRleBytes(QSize(8000, 8000), 8, rle);
    for (int i = 0; i < 8; ++i)
        QVERIFY(put(tmp.path() + QString("/stor%1.bmp").arg(i), bmp));
    QDir(tmp.path()).mkdir("ut");
    const Result r = batch({"--jobs", "8", "--out", tmp.path() + "/ut", tmp.path()}, tmp.path(),
                           limited(RLIMIT_AS, 2'000'000'000));
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QCOMPARE(listing(tmp.path() + "/ut").size(), 8);
}

TUMBILDER_TEST_MAIN(TestBatchCli)
#include "test_batchcli.moc"
