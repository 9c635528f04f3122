// tumbilder --batch as a script uses it: a process with no display, its
// options' effects on the files it writes, its messages and exit statuses,
// Ctrl+C in the middle of a run, and the same files as the window's "Kör!".
#include "app/form1.h"
#include "files.h"
#include "gallery/modernpage.h"
#include "gallery/page.h"
#include "mainwindowtest.h"
#include "sanitizer.h"
#include "scriptedseam.h"
#include "shell.h"
#include "testmain.h"
#include "testpictures.h"
#include "windows/form2.h"
#include "windows/frmbakgrund.h"
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRadioButton>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace TestPictures;
using namespace TestFiles;

namespace {
const QString Binary = QStringLiteral(TUMBILDER_BINARY);

struct Result {
    int status = -1;
    QString out, err;
};

// The program as a shell in cron or over ssh runs it: no window system.
// `limit` is a limit the child process is held to (RLIMIT_FSIZE, RLIMIT_AS).
void startBatch(QProcess &p, const QStringList &args, const QString &workingDir = {}, int resource = -1,
                rlim_t limit = 0)
{
    p.setProcessEnvironment(withoutDisplay());
    p.setWorkingDirectory(workingDir);
    if (resource >= 0)
        p.setChildProcessModifier([resource, limit] {
            const rlimit l{limit, limit};
            ::setrlimit(resource, &l);
        });
    p.start(Binary, QStringList{QStringLiteral("--batch")} + args);
}

Result batch(const QStringList &args, const QString &workingDir, int resource = -1, rlim_t limit = 0)
{
    QProcess p;
    startBatch(p, args, workingDir, resource, limit);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
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
    void interruptedRun();
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
    QTest::newRow("out") << QStringList{"--out", "DIR/ut", "DIR"} << Check([](const QString &dir) {
        QCOMPARE(listing(dir + "/ut"), (QStringList{"a_s.jpg", "b_s.jpg"}));
    });
    QTest::newRow("page") << QStringList{"--page", "DIR/webb", "--title", "Semester & sol", "--columns", "2", "DIR"}
                          << Check([](const QString &dir) {
                                 const QString webb = dir + "/webb/";
                                 QCOMPARE(listing(webb), (QStringList{"a.jpg", "a_s.jpg", "b.gif", "b_s.jpg", "bilder.html"}));
                                 const QList<GalleryEntry> entries{{dir + "/", "a.jpg", "a_s"}, {dir + "/", "b.gif", "b_s"}};
                                 QCOMPARE(contents(webb + "bilder.html"),
                                          renderPage({"Semester & sol", 2, webb, OutputFormat::Jpg}, entries));
                             });
    // The doubles are drawn by the same rules: a small picture at natural
    // size top-left, twice as large.
    QTest::newRow("modern page with web-size copies")
        << QStringList{"--page", "DIR/webb", "--page-style", "modern", "--web-size", "150", "--columns", "2", "DIR"}
        << Check([](const QString &dir) {
               const QString webb = dir + "/webb/";
               QCOMPARE(listing(webb), (QStringList{"a.jpg", "a_s.jpg", "a_s@2x.jpg", "b.gif.jpg", "b_s.jpg",
                                                    "b_s@2x.jpg", "bilder.html"}));
               QCOMPARE(QImage(webb + "a.jpg").size(), QSize(150, 100));
               QCOMPARE(QImage(webb + "b.gif.jpg").size(), QSize(40, 30));
               QCOMPARE(QImage(webb + "a_s@2x.jpg").size(), QImage(webb + "a_s.jpg").size() * 2);
               const QImage small(webb + "b_s@2x.jpg");
               QCOMPARE(small.size(), QImage(webb + "b_s.jpg").size() * 2);
               QCOMPARE(small.pixel(small.width() - 1, small.height() - 1), qRgb(0xEF, 0xEF, 0xEF));
               const QList<GalleryEntry> entries{
                   {dir + "/", "a.jpg", "a_s", QSize(237, 157), "a_s@2x.jpg", "a.jpg"},
                   {dir + "/", "b.gif", "b_s", QSize(237, 177), "b_s@2x.jpg", "b.gif.jpg"}};
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
    QTest::newRow("no such page folder") << QStringList{"--page", "finns-inte"} << "finns inte: finns-inte";
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
    QTest::newRow("a copy for the page cannot be made")
        << "copy" << 2 << "2 av 2 tumbilder skapade.\n"
        << "Ett fel uppstod när websidan skulle skapas: ";
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
    QVERIFY(!writeJpeg(dir, "a.jpg", photo(QSize(300, 200), 1)).isEmpty());
    QVERIFY(!writeJpeg(dir, "b.jpg", photo(QSize(200, 300), 2)).isEmpty());
    QStringList args{"a.jpg", "b.jpg"};
    if (problem == "exists")
        QVERIFY(put(dir + "/a_s.jpg", "min egen"));
    if (problem == "missing")
        args << "saknas.jpg";
    if (problem == "unscalable") {
        // 5000 x 1 at the locked height would be wider than any canvas.
        QImage line(5000, 1, QImage::Format_RGB32);
        line.fill(Qt::gray);
        QVERIFY(line.save(dir + "/c.bmp"));
        args << "c.bmp" << "--mode" << "height";
    }
    if (problem == "copy") {
        // A folder stands where the copy of b.jpg goes.
        QVERIFY(QDir(dir).mkpath("webb/b.jpg"));
        args << "--page" << "webb";
    }
    const auto before = snapshot(dir);
    const Result r = problem == "full" ? batch(args, dir, RLIMIT_FSIZE, 2000) : batch(args, dir);
    QCOMPARE(r.status, status);
    QVERIFY2(out.isEmpty() ? !r.out.contains("Tumbilder skapade utan problem!") : r.out == QString(out).replace("DIR", dir),
             qPrintable(r.out));
    QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.startsWith(QString(err).replace("DIR", dir)), qPrintable(r.err));
    const auto after = snapshot(dir);
    for (auto it = before.begin(); it != before.end(); ++it)
        QCOMPARE(after.value(it.key()), it.value());
    QVERIFY(!after.contains("webb/bilder.html"));
    for (const QString &name : after.keys())
        QVERIFY2(before.contains(name) || !QImage(dir + "/" + name).isNull(), qPrintable(name));
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
    QTest::newRow("a file of another's name: replaced")
        << "foreign" << modern << 1 << kept << QStringList{"a.jpg", "a_s@2x.jpg"};
    QTest::newRow("a copy's name is a thumbnail of the run: reported, left out")
        << "copy on thumbnail" << modern << 1
        << "^Filen finns redan: DIR/webb/a_s.jpg\n2 av 2 tumbilder skapade.\n" << QStringList{};
    QTest::newRow("a double's name is a thumbnail of the run: reported")
        << "double on thumbnail" << (QStringList{"--prefix", "t", "--suffix", ""} + modern) << 1
        << "^Filen finns redan: DIR/webb/ta@2x.jpg\n2 av 2 tumbilder skapade.\n" << QStringList{};
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
    if (trouble == "copy on thumbnail") {
        QVERIFY(QFile::copy(dir + "/b.jpg", dir + "/a_s.jpg"));
        pictures = QStringList{"a.jpg", "a_s.jpg"};
    } else if (trouble == "double on thumbnail") {
        QVERIFY(QFile::copy(dir + "/b.jpg", dir + "/a@2x.jpg"));
        pictures = QStringList{"a@2x.jpg", "a.jpg"};
    }
    const Result first = trouble == "full" ? batch(args + pictures, dir, RLIMIT_FSIZE, 8000) : batch(args + pictures, dir);
    if (trouble == "full") {
        QCOMPARE(first.status, status);
        QVERIFY2(first.err.startsWith("Ett fel uppstod: "), qPrintable(first.err));
        QVERIFY(!listing(webb).contains("bilder.html"));
        for (const QString &name : listing(webb))
            QVERIFY2(!QImage(webb + name).isNull(), qPrintable(name));
        return;
    }
    const QString pattern = QString(out).replace("DIR", QRegularExpression::escape(dir));
    if (trouble.endsWith("on thumbnail")) {
        // The first run already meets the name it wrote.
        QCOMPARE(first.status, status);
        QVERIFY2(QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption).match(first.out).hasMatch(),
                 qPrintable(first.out));
        for (const QString &name : listing(webb))
            QVERIFY2(!QImage(webb + name).isNull() || name == "bilder.html", qPrintable(name));
        if (trouble == "copy on thumbnail") {
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
    struct stat a, copy;
    QVERIFY(::stat(QFile::encodeName(dir + "/a.jpg").constData(), &a) == 0);
    QVERIFY(::stat(QFile::encodeName(webb + "a.jpg").constData(), &copy) == 0);
    QCOMPARE(copy.st_mtim.tv_nsec, a.st_mtim.tv_nsec);
    QCOMPARE(copy.st_mtim.tv_sec, a.st_mtim.tv_sec);

    const QStringList made{"a.jpg", "a_s@2x.jpg", "b.jpg", "b_s@2x.jpg"};
    if (trouble == "touched") {
        QFile picture(dir + "/a.jpg");
        QVERIFY(picture.open(QIODevice::ReadWrite));
        QVERIFY(picture.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    } else if (trouble == "foreign") {
        QVERIFY(put(webb + "a.jpg", jpegBytes(photo(QSize(120, 80), 7))));
        QVERIFY(put(webb + "a_s@2x.jpg", "min egen"));
    }
    QMap<QString, ino_t> inodes;
    for (const QString &name : made) {
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(webb + name).constData(), &st) == 0);
        inodes[name] = st.st_ino;
    }
    const Result second = batch(args + pictures, dir);
    QCOMPARE(second.status, status);
    QVERIFY2(QRegularExpression(pattern).match(second.out).hasMatch(), qPrintable(second.out));
    for (const QString &name : made) {
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(webb + name).constData(), &st) == 0);
        QVERIFY2((st.st_ino != inodes[name]) == replaced.contains(name), qPrintable(name));
    }
    QCOMPARE(QImage(webb + "a.jpg").size(), QSize(100, 67));
    QCOMPARE(QImage(webb + "a_s@2x.jpg").size(), QSize(474, 314));
}

// Ctrl+C in the middle of 200 pictures stops after the picture in hand:
// every thumbnail written is whole, nothing half-written is left, no page.
void TestBatchCli::interruptedRun()
{
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/bilder";
    QDir().mkpath(dir);
    QDir().mkpath(tmp.path() + "/webb");
    const QByteArray jpeg = jpegBytes(photo(QSize(800, 600), 3));
    for (int i = 0; i < 200; ++i)
        QVERIFY(put(dir + QString("/%1.jpg").arg(i, 3, 10, QLatin1Char('0')), jpeg));
    QProcess p;
    startBatch(p, {"--jobs", "1", "--format", "gif", "--page", tmp.path() + "/webb", dir});
    QVERIFY(p.waitForStarted());
    // Once the run is under way.
    QTRY_VERIFY_WITH_TIMEOUT(listing(tmp.path() + "/webb").size() >= 3, 30000);
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 130);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(out.contains("\nAvbrutet.\n") || out.startsWith("Avbrutet.\n"), qPrintable(out));
    const QStringList written = listing(tmp.path() + "/webb");
    QVERIFY2(written.size() < 200, "the run was not stopped");
    QVERIFY(!written.contains("bilder.html"));
    for (const QString &name : written)
        QVERIFY2(!QImage(tmp.path() + "/webb/" + name).isNull(), qPrintable(name));
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
    const Result r = batch({"--jobs", "8", "--out", tmp.path() + "/ut", tmp.path()}, tmp.path(), RLIMIT_AS,
                           2'000'000'000);
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QCOMPARE(listing(tmp.path() + "/ut").size(), 8);
}

TUMBILDER_TEST_MAIN(TestBatchCli)
#include "test_batchcli.moc"
