// tumbilder --batch as a script uses it: a process with no display, its
// options' effects on the files it writes, its messages and exit statuses,
// Ctrl+C in the middle of a run, and the same files as the window's "Kör!".
#include "app/form1.h"
#include "files.h"
#include "gallery/page.h"
#include "sanitizer.h"
#include "scriptedseam.h"
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

using namespace TestPictures;
using namespace TestFiles;

namespace {
const QString Binary = QStringLiteral(TUMBILDER_BINARY);

struct Result {
    int status = -1;
    QString out, err;
};

// The program as a shell in cron or over ssh runs it: no window system.
Result batch(const QStringList &args, const QString &workingDir)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workingDir);
    p.start(Binary, QStringList{QStringLiteral("--batch")} + args);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
}

class TestBatchCli : public QObject {
    Q_OBJECT
private slots:
    void options_data();
    void options();
    void badSettings_data();
    void badSettings();
    void existingThumbnailIsKept();
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
    QTest::newRow("percent 0") << QStringList{"--mode", "percent", "--percent", "0"} << "--percent";
    QTest::newRow("quality abc") << QStringList{"--quality", "abc"} << "--quality";
    QTest::newRow("prefix a/b") << QStringList{"--prefix", "a/b"} << "--prefix";
    QTest::newRow("9 columns") << QStringList{"--columns", "9"} << "--columns";
    QTest::newRow("no such page folder") << QStringList{"--page", "finns-inte"} << "finns inte: finns-inte";
    QTest::newRow("out and page") << QStringList{"--out", ".", "--page", "."} << "--out och --page";
    QTest::newRow("unknown mode") << QStringList{"--mode", "stor"} << "stor";
    QTest::newRow("colour 36") << QStringList{"--background", "36"} << "--background";
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

void TestBatchCli::existingThumbnailIsKept()
{
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    QVERIFY(!writeJpeg(dir, "a.jpg", photo(QSize(300, 200), 1)).isEmpty());
    QVERIFY(!writeJpeg(dir, "b.jpg", photo(QSize(200, 300), 2)).isEmpty());
    QVERIFY(put(dir + "/a_s.jpg", "min egen"));
    const Result r = batch({"a.jpg", "b.jpg"}, dir);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.out, "Filen finns redan: " + dir + "/a_s.jpg\n1 av 2 tumbilder skapade.\n");
    QCOMPARE(contents(dir + "/a_s.jpg"), QByteArray("min egen"));
    QVERIFY(!QImage(dir + "/b_s.jpg").isNull());
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
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(Binary, {"--batch", "--jobs", "1", "--format", "gif", "--page", tmp.path() + "/webb", dir});
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
    ScriptedSeam seam;
    seam.onModal = [](QDialog *d) {
        if (auto *colours = qobject_cast<frmbakgrund *>(d))
            colours->lbl_Click(3);   // #FF8000, the 11th swatch
        else
            d->accept();
    };
    Form1 form;
    form.Picture1_Click();
    form.findChildren<QRadioButton *>(QStringLiteral("optlås"))[0]->click();
    form.List1_OLEDragDrop({window});
    form.Command1_Click();
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
    QProcess p;
    p.setChildProcessModifier([] {
        const rlimit limit{2'000'000'000, 2'000'000'000};
        ::setrlimit(RLIMIT_AS, &limit);
    });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(Binary, {"--batch", "--jobs", "8", "--out", tmp.path() + "/ut", tmp.path()});
    QVERIFY(p.waitForFinished(120000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(p.exitCode() == 0, qPrintable(out + p.readAllStandardError()));
    QCOMPARE(listing(tmp.path() + "/ut").size(), 8);
}

TUMBILDER_TEST_MAIN(TestBatchCli)
#include "test_batchcli.moc"
