#include "filesizelimit.h"
#include "syscallshim.h"
#include "testpictures.h"
#include "thumbs/thumbnailsteps.h"
#include "thumbs/saving.h"
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include "files.h"
#include "testmain.h"
#include <QtTest>
#include <cerrno>

using namespace TestFiles;

namespace {
const QImage &thumbnail()
{
    static const QImage image = TestPictures::photo({121, 91}, 3);
    return image;
}

QString withSeparator(const QString &dir) { return dir + QDir::separator(); }

QByteArray sourceBytes(const QString &name)
{
    if (name.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive))
        return TestPictures::bmpBytes(TestPictures::BmpKind::Bits24);
    if (name.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive))
        return TestPictures::gifBytes(TestPictures::GifKind::Plain);
    return TestPictures::jpegBytes(TestPictures::photo({160, 120}, 1));
}

SaveSettings settings(OutputFormat format, const QString &prefix = {}, const QString &suffix = QStringLiteral("_s"))
{
    SaveSettings s;
    s.format = format;
    s.prefix = prefix;
    s.suffix = suffix;
    return s;
}

// The saving step of a run for a picture the drawing step has drawn.
SavedThumbnail saveDrawn(const SaveSettings &s, const ThumbName &name, const QImage &image)
{
    PreparedThumbnail drawn;
    drawn.drawn.status = DrawResult::Drawn;
    drawn.drawn.image = image;
    drawn.encoded = encodeThumbnail(s, image);
    RunFiles files(s.update);
    return saveThumbnail(s, {name.entry.folder, name.entry.file}, drawn, files);
}

SavedThumbnail save(const SaveSettings &s, const QString &folder, const QString &file)
{
    return saveDrawn(s, thumbName(s, folder, file), thumbnail());
}

QString existsLine(const QString &path) { return QStringLiteral("Filen finns redan: ") + path; }

// The written file is a picture of the right kind, size and content.
void checkPicture(const QString &path, OutputFormat format)
{
    QImageReader reader(path);
    const QByteArray expected = format == OutputFormat::Bmp ? "bmp" : format == OutputFormat::Jpg ? "jpeg" : "gif";
    QCOMPARE(reader.format(), expected);
    const QImage back = reader.read();
    QCOMPARE(back.size(), thumbnail().size());
    if (format == OutputFormat::Bmp)
        QCOMPARE(TestPictures::maxChannelDifference(back.convertToFormat(QImage::Format_RGB32), thumbnail()), 0);
    else
        QVERIFY2(TestPictures::psnr(back, thumbnail()) > 25, qPrintable(path));
}
}

class TestSaving : public QObject {
    Q_OBJECT
private slots:
    void writesTheThumbnail_data();
    void writesTheThumbnail();
    void secondRunReportsAndKeepsTheFile_data();
    void secondRunReportsAndKeepsTheFile();
    void refusesExistingNames_data();
    void refusesExistingNames();
    void updateCountsAThumbnailAsMade_data();
    void updateCountsAThumbnailAsMade();
    void anythingAtTheNameCounts_data();
    void anythingAtTheNameCounts();
    void webChoiceWritesIntoThePageFolder();
    void failures_data();
    void failures();
    void fullDiskLeavesNothing_data();
    void fullDiskLeavesNothing();
};

void TestSaving::writesTheThumbnail_data()
{
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("thumb");      // file written
    QTest::addColumn<QString>("entryFile");  // gallery row 2
    QTest::addColumn<QString>("entryThumb"); // gallery row 3

    QTest::newRow("jpg") << OutputFormat::Jpg << "" << "_s" << "sol.jpg" << "sol_s.jpg" << "sol.jpg" << "sol_s";
    QTest::newRow("bmp") << OutputFormat::Bmp << "" << "_s" << "sol.jpg" << "sol_s.bmp" << "sol.jpg" << "sol_s";
    QTest::newRow("gif from .JPEG") << OutputFormat::Gif << "" << "_s" << "bild.JPEG" << "bild_s.gif" << "bild.JPEG"
                                    << "bild_s";
    QTest::newRow("dots in the name") << OutputFormat::Jpg << "" << "_s" << "semester.2003.jpg"
                                      << "semester.2003_s.jpg" << "semester.2003.jpg" << "semester.2003_s";
    QTest::newRow("prefix and suffix") << OutputFormat::Jpg << "tn_" << "" << "sol.JPG" << "tn_sol.jpg" << "sol.JPG"
                                       << "tn_sol";
    QTest::newRow("gif from bmp") << OutputFormat::Gif << "" << "-liten" << "karta.bmp" << "karta-liten.gif"
                                  << "karta.bmp" << "karta-liten";
    const QString odd = QStringLiteral("Midsommar på Öland #3 & \"sol\" 'kväll'");
    QTest::newRow("spaces # & åäö quotes") << OutputFormat::Jpg << "små " << " ä" << odd + ".jpg"
                                           << "små " + odd + " ä.jpg" << odd + ".jpg" << "små " + odd + " ä";
    QTest::newRow("spaces # & åäö quotes, gif") << OutputFormat::Gif << "" << "_s" << odd + ".gif"
                                                << odd + "_s.gif" << odd + ".gif" << odd + "_s";
}

void TestSaving::writesTheThumbnail()
{
    QFETCH(OutputFormat, format);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    QFETCH(QString, source);
    QFETCH(QString, thumb);
    QFETCH(QString, entryFile);
    QFETCH(QString, entryThumb);

    QTemporaryDir tmp;
    const QString folder = withSeparator(tmp.path());
    QVERIFY(!TestPictures::writeFile(tmp.path(), source, sourceBytes(source)).isEmpty());

    const SaveSettings s = settings(format, prefix, suffix);
    const ThumbName name = thumbName(s, folder, source);
    QCOMPARE(name.entry, (GalleryEntry{folder, entryFile, entryThumb}));
    const SavedThumbnail r = saveDrawn(s, name, thumbnail());
    QVERIFY2(!r.failure.failed(), qPrintable(r.failure.description));
    QCOMPARE(r.reportLine, QString());
    QCOMPARE(r.written, folder + thumb);
    // No intermediate BMP and no temporary file stay behind.
    QStringList expected{source, thumb};
    expected.sort();
    QCOMPARE(listing(tmp.path()), expected);
    checkPicture(r.written, format);
}

void TestSaving::secondRunReportsAndKeepsTheFile_data()
{
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QString>("thumb");
    QTest::newRow("jpg") << OutputFormat::Jpg << "sol_s.jpg";
    QTest::newRow("gif") << OutputFormat::Gif << "sol_s.gif";
    QTest::newRow("bmp") << OutputFormat::Bmp << "sol_s.bmp";
}

void TestSaving::secondRunReportsAndKeepsTheFile()
{
    QFETCH(OutputFormat, format);
    QFETCH(QString, thumb);

    QTemporaryDir tmp;
    const QString folder = withSeparator(tmp.path());
    TestPictures::writeFile(tmp.path(), "sol.jpg", sourceBytes("sol.jpg"));
    QCOMPARE(save(settings(format), folder, "sol.jpg").written, folder + thumb);
    const QByteArray first = contents(folder + thumb);

    // A different picture under the same name must not replace the first.
    const SaveSettings s = settings(format);
    const SavedThumbnail again = saveDrawn(s, thumbName(s, folder, "sol.jpg"), TestPictures::photo({121, 91}, 9));
    QCOMPARE(again.reportLine, existsLine(folder + thumb));
    QCOMPARE(again.written, QString());
    QVERIFY(!again.failure.failed());
    QCOMPARE(contents(folder + thumb), first);
    QCOMPARE(listing(tmp.path()), QStringList({"sol.jpg", thumb}));
}

void TestSaving::refusesExistingNames_data()
{
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("present");   // files there before, source included
    QTest::addColumn<QString>("reported");

    QTest::newRow("bmp: the source is its own thumbnail")
        << OutputFormat::Bmp << "" << "" << "sol.bmp" << QStringList{"sol.bmp"} << "sol.bmp";
    QTest::newRow("jpg: the source is its own thumbnail")
        << OutputFormat::Jpg << "" << "" << "sol.jpg" << QStringList{"sol.jpg"} << "sol.jpg";
    QTest::newRow("gif: the source is its own thumbnail")
        << OutputFormat::Gif << "" << "" << "sol.gif" << QStringList{"sol.gif"} << "sol.gif";
    QTest::newRow("jpg: .jpeg source, .jpg of that name there")
        << OutputFormat::Jpg << "" << "" << "sol.jpeg" << QStringList{"sol.jpeg", "sol.jpg"} << "sol.jpg";
    QTest::newRow("jpg: a bmp of the thumbnail's name is there")
        << OutputFormat::Jpg << "" << "_s" << "sol.jpg" << QStringList{"sol.jpg", "sol_s.bmp"} << "sol_s.bmp";
    QTest::newRow("gif: a bmp of the thumbnail's name is there")
        << OutputFormat::Gif << "" << "_s" << "sol.jpg" << QStringList{"sol.jpg", "sol_s.bmp"} << "sol_s.bmp";
    QTest::newRow("jpg: source sol.bmp, no suffix")
        << OutputFormat::Jpg << "" << "" << "sol.bmp" << QStringList{"sol.bmp"} << "sol.bmp";
    QTest::newRow("jpg: both names there, the bmp is reported")
        << OutputFormat::Jpg << "" << "_s" << "sol.jpg" << QStringList{"sol.jpg", "sol_s.bmp", "sol_s.jpg"}
        << "sol_s.bmp";
}

void TestSaving::refusesExistingNames()
{
    QFETCH(OutputFormat, format);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    QFETCH(QString, source);
    QFETCH(QStringList, present);
    QFETCH(QString, reported);

    QTemporaryDir tmp;
    const QString folder = withSeparator(tmp.path());
    QHash<QString, QByteArray> before;
    for (const QString &name : present) {
        before[name] = sourceBytes(name);
        TestPictures::writeFile(tmp.path(), name, before[name]);
    }

    const SavedThumbnail r = save(settings(format, prefix, suffix), folder, source);
    QCOMPARE(r.reportLine, existsLine(folder + reported));
    QCOMPARE(r.written, QString());
    QVERIFY(!r.failure.failed());
    QStringList sorted = present;
    sorted.sort();
    QCOMPARE(listing(tmp.path()), sorted);
    for (const QString &name : present)
        QVERIFY2(contents(folder + name) == before[name], qPrintable(name));
}

void TestSaving::updateCountsAThumbnailAsMade_data()
{
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("thumb");       // what stands at the thumbnail's name
    QTest::addColumn<qint64>("age");          // its modification time against the picture's, in seconds
    QTest::addColumn<QString>("reported");    // the name reported, or empty when it counts as made
    QTest::addColumn<bool>("older");

    QTest::newRow("jpg, newer") << OutputFormat::Jpg << "_s" << "sol_s.jpg" << qint64(60) << "" << false;
    QTest::newRow("jpg, as new") << OutputFormat::Jpg << "_s" << "sol_s.jpg" << qint64(0) << "" << false;
    QTest::newRow("bmp, newer") << OutputFormat::Bmp << "_s" << "sol_s.bmp" << qint64(60) << "" << false;
    QTest::newRow("jpg, older") << OutputFormat::Jpg << "_s" << "sol_s.jpg" << qint64(-60) << "sol_s.jpg" << true;
    QTest::newRow("bmp, older") << OutputFormat::Bmp << "_s" << "sol_s.bmp" << qint64(-60) << "sol_s.bmp" << true;
    QTest::newRow("jpg, only a newer bmp of its name") << OutputFormat::Jpg << "_s" << "sol_s.bmp" << qint64(60)
                                                       << "sol_s.bmp" << false;
    QTest::newRow("the picture is its own thumbnail") << OutputFormat::Jpg << "" << "sol.jpg" << qint64(0)
                                                      << "sol.jpg" << false;
    QTest::newRow("a link to a newer file") << OutputFormat::Jpg << "_s" << "link" << qint64(60) << "sol_s.jpg"
                                            << false;
}

// With update, a thumbnail there and at least as new as its picture is made:
// no line, nothing written, its gallery entry as ever. Anything else is
// reported as without update, and stays.
void TestSaving::updateCountsAThumbnailAsMade()
{
    QFETCH(OutputFormat, format);
    QFETCH(QString, suffix);
    QFETCH(QString, thumb);
    QFETCH(qint64, age);
    QFETCH(QString, reported);
    QFETCH(bool, older);

    QTemporaryDir tmp;
    const QString folder = withSeparator(tmp.path());
    TestPictures::writeFile(tmp.path(), "sol.jpg", sourceBytes("sol.jpg"));
    QVERIFY(touch(folder + "sol.jpg", -3600));
    if (thumb == "link") {
        QVERIFY(put(folder + "annan.jpg", "tumbild") && touch(folder + "annan.jpg", age - 3600));
        QVERIFY(QFile::link(folder + "annan.jpg", folder + "sol_s.jpg"));
    } else if (thumb != "sol.jpg") {
        QVERIFY(put(folder + thumb, "tumbild") && touch(folder + thumb, age - 3600));
    }
    const auto before = stamps(tmp.path());

    SaveSettings s = settings(format, {}, suffix);
    s.update = true;
    const QString made = thumbName(s, folder, "sol.jpg").nameFor(format);
    QCOMPARE(RunFiles(true).thumbnailMade(made, folder + "sol.jpg"), reported.isEmpty());
    const SavedThumbnail r = save(s, folder, "sol.jpg");
    QCOMPARE(r.reportLine, reported.isEmpty() ? QString() : existsLine(folder + reported));
    QCOMPARE(r.made, reported.isEmpty() ? made : QString());
    QCOMPARE(r.older, older);
    QCOMPARE(r.written, QString());
    QVERIFY(r.entry.has_value());
    QCOMPARE(stamps(tmp.path()), before);
}

void TestSaving::anythingAtTheNameCounts_data()
{
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QString>("kind");
    for (const QString kind : {"folder", "dot-file", "link to a file", "dangling link", "link to a folder",
                               "file made while it is written"}) {
        QTest::addRow("jpg, %s", qPrintable(kind)) << OutputFormat::Jpg << kind;
        QTest::addRow("bmp, %s", qPrintable(kind)) << OutputFormat::Bmp << kind;
    }
}

void TestSaving::anythingAtTheNameCounts()
{
    QFETCH(OutputFormat, format);
    QFETCH(QString, kind);

    QTemporaryDir tmp;
    QTemporaryDir elsewhere;
    const QString folder = withSeparator(tmp.path());
    TestPictures::writeFile(tmp.path(), "sol.jpg", sourceBytes("sol.jpg"));
    // A dot-file is an ordinary file: a prefix of "." gives the thumbnail one.
    const SaveSettings s = settings(format, kind == "dot-file" ? "." : "");
    const QString target = thumbName(s, folder, "sol.jpg").nameFor(format);
    const QString linkTarget = elsewhere.filePath("target");
    const QByteArray old("keep me");
    if (kind == "folder" || kind == "link to a folder")
        QVERIFY(QDir().mkdir(kind == "folder" ? target : linkTarget));
    if (kind == "dot-file" || kind == "link to a file")
        QVERIFY(!TestPictures::writeFile(kind == "dot-file" ? tmp.path() : elsewhere.path(),
                                         QFileInfo(kind == "dot-file" ? target : linkTarget).fileName(), old)
                     .isEmpty());
    if (kind.startsWith("link") || kind == "dangling link")
        QVERIFY(QFile::link(linkTarget, target));
    // Another program makes the name after it was found free, before the thumbnail gets it.
    const bool meanwhile = kind.endsWith("while it is written");
    const SyscallShim::Watch watch(target, meanwhile ? old : QByteArray());
    QStringList before = listing(tmp.path());
    if (meanwhile)
        before = QStringList{"sol.jpg", QFileInfo(target).fileName()};

    const SavedThumbnail r = saveDrawn(s, thumbName(s, folder, "sol.jpg"), thumbnail());
    QCOMPARE(r.reportLine, existsLine(target));
    QVERIFY(!r.failure.failed());
    QCOMPARE(listing(tmp.path()), before);
    const QFileInfo after(target);
    if (kind == "folder")
        QVERIFY(after.isDir() && !after.isSymLink());
    if (kind == "dot-file" || meanwhile)
        QCOMPARE(contents(target), old);
    if (kind.contains("link")) {
        QCOMPARE(after.symLinkTarget(), linkTarget);
        // Nothing was written through the link either.
        QCOMPARE(listing(elsewhere.path()), kind == "dangling link" ? QStringList() : QStringList{"target"});
        if (kind == "link to a file")
            QCOMPARE(contents(linkTarget), old);
    }
}

void TestSaving::webChoiceWritesIntoThePageFolder()
{
    QTemporaryDir pictures;
    QTemporaryDir page;
    const QString folder = withSeparator(pictures.path());
    TestPictures::writeFile(pictures.path(), "sol.jpg", sourceBytes("sol.jpg"));
    SaveSettings s = settings(OutputFormat::Jpg);
    s.targetFolder = withSeparator(page.path());

    const ThumbName name = thumbName(s, folder, "sol.jpg");
    QCOMPARE(name.entry, (GalleryEntry{folder, "sol.jpg", "sol_s"}));
    const SavedThumbnail r = saveDrawn(s, name, thumbnail());
    QCOMPARE(r.written, s.targetFolder + "sol_s.jpg");
    QCOMPARE(listing(page.path()), QStringList{"sol_s.jpg"});
    QCOMPARE(listing(pictures.path()), QStringList{"sol.jpg"});
    checkPicture(r.written, OutputFormat::Jpg);
}

void TestSaving::failures_data()
{
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("folderIs");   // "there", "vanished", "a file"
    QTest::addColumn<int>("number");         // errno, or -1 for any failure

    QTest::newRow("separator in the prefix") << OutputFormat::Jpg << "a/b" << "_s" << "there" << -1;
    QTest::newRow("separator in the suffix, bmp") << OutputFormat::Bmp << "" << "/" << "there" << -1;
    QTest::newRow("NUL in the suffix") << OutputFormat::Gif << "" << QString(QChar(0)) << "there" << -1;
    QTest::newRow("folder vanished, jpg") << OutputFormat::Jpg << "" << "_s" << "vanished" << ENOENT;
    QTest::newRow("folder vanished, bmp") << OutputFormat::Bmp << "" << "_s" << "vanished" << ENOENT;
    QTest::newRow("folder vanished, gif") << OutputFormat::Gif << "" << "_s" << "vanished" << ENOENT;
    QTest::newRow("a file where the folder was") << OutputFormat::Jpg << "" << "_s" << "a file" << ENOTDIR;
}

void TestSaving::failures()
{
    QFETCH(OutputFormat, format);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    QFETCH(QString, folderIs);
    QFETCH(int, number);

    QTemporaryDir tmp;
    const QString pictures = tmp.filePath("bilder");
    QVERIFY(QDir().mkdir(pictures));
    TestPictures::writeFile(pictures, "sol.jpg", sourceBytes("sol.jpg"));
    // A subfolder that a prefix "a/b" would reach.
    QVERIFY(QDir(pictures).mkdir("a"));
    if (folderIs != "there")
        QVERIFY(QDir(pictures).removeRecursively());
    if (folderIs == "a file")
        TestPictures::writeFile(tmp.path(), "bilder", "not a folder");
    const QStringList before = listing(tmp.path());
    const QStringList picturesBefore = listing(pictures);

    const SavedThumbnail r = save(settings(format, prefix, suffix), withSeparator(pictures), "sol.jpg");
    QVERIFY(r.failure.failed());
    QVERIFY(!r.failure.description.isEmpty());
    if (number > 0)
        QCOMPARE(r.failure.number, number);
    QCOMPARE(r.written, QString());
    QCOMPARE(r.reportLine, QString());
    QCOMPARE(listing(tmp.path()), before);
    QCOMPARE(listing(pictures), picturesBefore);
    QCOMPARE(listing(pictures + "/a"), QStringList());
}

void TestSaving::fullDiskLeavesNothing_data()
{
    QTest::addColumn<OutputFormat>("format");
    QTest::newRow("jpg") << OutputFormat::Jpg;
    QTest::newRow("gif") << OutputFormat::Gif;
    QTest::newRow("bmp") << OutputFormat::Bmp;
}

void TestSaving::fullDiskLeavesNothing()
{
    QFETCH(OutputFormat, format);
    QTemporaryDir tmp;
    const QString folder = withSeparator(tmp.path());
    TestPictures::writeFile(tmp.path(), "sol.jpg", sourceBytes("sol.jpg"));

    SavedThumbnail r;
    {
        const FileSizeLimit limit(1000);   // every thumbnail here is larger
        r = save(settings(format), folder, "sol.jpg");
    }
    QCOMPARE(r.failure.number, EFBIG);
    QCOMPARE(r.written, QString());
    QCOMPARE(listing(tmp.path()), QStringList{"sol.jpg"});

    // With room again the same save succeeds.
    const SavedThumbnail retry = save(settings(format), folder, "sol.jpg");
    QVERIFY2(!retry.failure.failed(), qPrintable(retry.failure.description));
    checkPicture(retry.written, format);
}

TUMBILDER_TEST_GUILESS_MAIN(TestSaving)
#include "test_saving.moc"
