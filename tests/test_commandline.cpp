#include "app/appicon.h"
#include "app/commandline.h"
#include "app/version.h"
#include "codecs/loaders.h"
#include "shell.h"
#include "testmain.h"
#include "files.h"
#include "testpictures.h"
#include "files/filenames.h"
#include "thumbs/picturefiles.h"
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The program started from a shell or a desktop entry: its options, the files
// and folders it is given, and the files that tell the desktop about it.
class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void process_data();
    void process();
    void missingInputIsReported();
    void pictureName_data();
    void pictureName();
    void expand_data();
    void expand();
    void cleanupTestCase();
    void naturalOrder_data();
    void naturalOrder();
    void manualListsTheOptionsOfHelp();
    void appIcon();
    void desktopFilesCarryTheProgramsId();
    void filesFollowTheLoaderTable_data();
    void filesFollowTheLoaderTable();

private:
    QTemporaryDir m_tree;
};

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)
Q_DECLARE_METATYPE(SaveSettings)

namespace {

const QString Binary = QStringLiteral(TUMBILDER_BINARY);
const QString Source = QStringLiteral(TUMBILDER_SOURCE_DIR);

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Every option name (-x, --long) in the given lines.
QSet<QString> optionNames(const QStringList &lines)
{
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-zA-Z][\\w-]*"));
    QSet<QString> names;
    for (const QString &line : lines) {
        for (const QRegularExpressionMatch &m : option.globalMatch(line))
            names << m.captured();
    }
    return names;
}

}

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("says");

    QTest::newRow("nothing: the window") << QStringList{} << Action::Window << QStringList{} << QString();
    QTest::newRow("files and folders in order")
        << QStringList{"b.jpg", "Bilder", "a.jpg"} << Action::Window << QStringList{"b.jpg", "Bilder", "a.jpg"} << QString();
    QTest::newRow("after --, names like options are files")
        << QStringList{"--", "-x.jpg", "--help"} << Action::Window << QStringList{"-x.jpg", "--help"} << QString();
    QTest::newRow("help after a file") << QStringList{"a.jpg", "--help"} << Action::Help << QStringList{}
                                       << QStringLiteral("Användning: tumbilder");
    QTest::newRow("web size only for the modern page")
        << QStringList{"--batch", "--page", "webb", "--page-style", "classic", "--web-size", "800", "a.jpg"}
        << Action::Error << QStringList{"a.jpg"} << QStringLiteral("--web-size gäller bara med --page-style modern");
    QTest::newRow("Qt's own option named as typed") << QStringList{"-platform", "offscreen"} << Action::Error
                                                    << QStringList{} << QStringLiteral("\"-platform\"");
    QTest::newRow("an option given twice") << QStringList{"--batch", "--quality", "200", "--quality=50", "a.jpg"}
                                           << Action::Error << QStringList{"a.jpg"}
                                           << QStringLiteral("--quality får bara anges en gång");
    QTest::newRow("a size the percent mode does not use")
        << QStringList{"--batch", "--mode", "percent", "--size", "10x10", "a.jpg"} << Action::Batch
        << QStringList{"a.jpg"} << QStringLiteral("tumbilder: --size gäller inte med --mode percent");
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(QStringList, inputs);
    QFETCH(QString, says);

    const CommandLine line = parseCommandLine(QStringList{QStringLiteral("tumbilder")} + args);
    QCOMPARE(line.action, action);
    QCOMPARE(line.inputs, inputs);
    QVERIFY2((line.text + line.warnings).contains(says), qPrintable(line.text + line.warnings));
    if (action == Action::Error)
        QVERIFY2(line.text.contains(QStringLiteral("tumbilder --help")), qPrintable(line.text));
}

// The real program, with no display: what it prints and how it ends.
void TestCommandLine::process_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");   // a pattern for standard output
    QTest::addColumn<QString>("err");   // a pattern for standard error

    const QString version = QRegularExpression::escape(QStringLiteral("Tumbilder %1\n").arg(versionText()));
    QTest::newRow("--version") << QStringList{"--version"} << 0 << QString("^" + version + "$") << QString("^$");
    QTest::newRow("--help") << QStringList{"--help"} << 0
                            << QStringLiteral("^Användning: tumbilder .*--version.*\n$") << QString("^$");
    QTest::newRow("unknown option") << QStringList{"--nope", "bild.jpg"} << 2 << QString("^$")
                                    << QStringLiteral("^tumbilder: okänd flagga: --nope\n");
    QTest::newRow("unexpected value") << QStringList{"--help=yes"} << 2 << QString("^$")
                                      << QStringLiteral("^tumbilder: .*--help");
    // Lines a terminal of 80 columns shows whole.
    QTest::newRow("--help within 80 columns") << QStringList{"--help"} << 0 << QStringLiteral("^([^\n]{0,80}\n)+$")
                                              << QString("^$");
    // The parser's own findings in Swedish too.
    QTest::newRow("a value to an option that takes none") << QStringList{"--batch=1", "a.jpg"} << 2 << QString("^$")
                                                          << QStringLiteral("^tumbilder: --batch tar inget värde");
    QTest::newRow("no value") << QStringList{"--batch", "a.jpg", "--quality"} << 2 << QString("^$")
                              << QStringLiteral("^tumbilder: --quality vill ha ett värde\n");
    QTest::newRow("threads beyond the limit") << QStringList{"--batch", "--jobs", "100000", "a.jpg"} << 2
                                              << QString("^$") << QStringLiteral("från 1 till 1024");
    QTest::newRow("help to a full disk") << QStringList{"--help"} << 2 << QString("^$")
                                         << QStringLiteral("^tumbilder: kan inte skriva på standard ut: ");
}

void TestCommandLine::process()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    if (QString(QTest::currentDataTag()).contains("full disk"))
        program.setStandardOutputFile(QStringLiteral("/dev/full"));
    program.start(Binary, args);
    QVERIFY2(program.waitForFinished(30000), "the program did not end");
    const QString stdOut = QString::fromUtf8(program.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const auto dotAll = QRegularExpression::DotMatchesEverythingOption;
    QVERIFY2(QRegularExpression(out, dotAll).match(stdOut).hasMatch(), qPrintable(stdOut));
    QVERIFY2(QRegularExpression(err, dotAll).match(stdErr).hasMatch(), qPrintable(stdErr));
}

// A name that does not exist is skipped, not silently: the program says so
// on standard error before its window opens.
void TestCommandLine::missingInputIsReported()
{
    QTemporaryDir dir;
    const QString missing = QDir::toNativeSeparators(dir.filePath(QStringLiteral("saknas.jpg")));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setReadChannel(QProcess::StandardError);
    program.start(Binary, {missing});
    QVERIFY(program.waitForStarted());
    QString stdErr;
    const QString expected = missingInputWarning(missing);
    QDeadlineTimer deadline(30000);
    while (!stdErr.contains(expected) && !deadline.hasExpired() && program.state() == QProcess::Running) {
        program.waitForReadyRead(int(deadline.remainingTime()));
        stdErr += QString::fromUtf8(program.readAllStandardError());
    }
    const bool stillRunning = program.state() == QProcess::Running;
    program.kill();
    program.waitForFinished();
    QVERIFY2(stdErr.contains(expected), qPrintable(stdErr));
    QVERIFY2(stillRunning, "the window should open all the same");
}

void TestCommandLine::pictureName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("picture");
    QTest::addColumn<bool>("unsupported");   // a picture format we cannot read

    QTest::newRow("several dots") << "/bilder/semester.2003.JPG" << true << false;
    QTest::newRow("png") << "/bilder/b.png" << true << false;
    for (const char *name : {"a.webp", "IMG_0001.HEIC", "b.heif", "c.avif", "d.tif", "e.TIFF", "f.jfif"})
        QTest::newRow(name) << QString("/bilder/") + name << true << false;
    QTest::newRow("camera raw libraw reads") << "/bilder/IMG_0001.CR2" << true << false;
    QTest::newRow("camera raw") << "/bilder/IMG_0001.PEF" << false << true;
    QTest::newRow("photoshop") << "/bilder/lager.psd" << false << true;
    QTest::newRow("text") << "/bilder/a.txt" << false << false;
    QTest::newRow("dot only in a folder") << "/bilder.jpg/d" << false << false;
    QTest::newRow("raw, ends in a dot") << "/bilder/a.nef." << false << false;
    QTest::newRow("ends in two dots") << "/bilder/trail.jpg.." << false << false;
    QTest::newRow("trailing blank") << "/bilder/a.jpg " << false << false;
    QTest::newRow("empty") << "" << false << false;
}

void TestCommandLine::pictureName()
{
    QFETCH(QString, path);
    QFETCH(bool, picture);
    QFETCH(bool, unsupported);
    QCOMPARE(isPictureName(path), picture);
    QCOMPARE(isUnsupportedPictureName(path), unsupported);
}

// One tree for every row of expand():
//   a.JPG c.jpeg skärm.png
//   Bilder/ bild10.jpg bild2.jpg bild1.JPG bild3.png .dold.jpg notes.txt rå.PEF länk.jpg -> bild2.jpg
//           trasig.jpg -> (nothing)  sub/inne.jpg
//   Tummar/ a.jpg a_s.jpg a_s@2x.jpg b_s.jpg c.png c.png.jpg
//   Gif/    a.jpg tn_a_s.gif tn_b_s.gif
//   Udda/   bra.jpg caf\xE9.jpg (Latin-1) kö.jpg (a FIFO) x.PEF y.srw z.txt
//   caf\xE9/ a.jpg (a folder whose name is Latin-1)
//   Träd/   z.jpg  .dold/d.jpg  10 okt/a.jpg  10 okt/upp -> ..  2 feb/a.jpg  webb/w.jpg
void TestCommandLine::expand_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<SaveSettings>("naming");   // how the run names its thumbnails
    QTest::addColumn<QStringList>("listed");    // what the list takes, relative to the tree
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QStringList>("problems");  // ROOT stands for the tree
    QTest::addColumn<QStringList>("notes");
    QTest::addColumn<int>("leftOut");           // thumbnails left out of the folders

    QVERIFY(m_tree.isValid());
    const QString root = m_tree.path();
    const QImage photo = TestPictures::photo(QSize(32, 24));
    QVERIFY(QDir(root).mkpath(QStringLiteral("Bilder/sub")));
    QVERIFY(QDir(root).mkpath(QStringLiteral("Tummar")));
    QVERIFY(QDir(root).mkpath(QStringLiteral("Gif")));
    QVERIFY(QDir(root).mkpath(QStringLiteral("Udda")));
    for (const char *name : {"Träd/.dold", "Träd/10 okt", "Träd/2 feb", "Träd/webb"})
        QVERIFY(QDir(root).mkpath(QString::fromUtf8(name)));
    for (const char *name : {"a.JPG", "c.jpeg", "Bilder/bild10.jpg", "Bilder/bild2.jpg", "Bilder/bild1.JPG",
                             "Bilder/.dold.jpg", "Bilder/sub/inne.jpg", "Tummar/a.jpg", "Tummar/a_s.jpg",
                             "Tummar/a_s@2x.jpg", "Tummar/b_s.jpg", "Tummar/c.png.jpg", "Gif/a.jpg", "Gif/tn_a_s.gif", "Gif/tn_b_s.gif", "Udda/bra.jpg", "Träd/z.jpg",
                             "Träd/.dold/d.jpg", "Träd/10 okt/a.jpg", "Träd/2 feb/a.jpg", "Träd/webb/w.jpg"})
        QVERIFY(!TestPictures::writeJpeg(root, QString::fromUtf8(name), photo).isEmpty());
    for (const char *name : {"skärm.png", "Bilder/bild3.png", "Tummar/c.png"})
        QVERIFY(!TestPictures::writePng(root, QString::fromUtf8(name), photo).isEmpty());
    QVERIFY(TestFiles::put(root + QStringLiteral("/Bilder/rå.PEF"), "rå"));
    QVERIFY(!TestPictures::writeTextFile(root, QStringLiteral("Bilder/notes.txt")).isEmpty());
    QVERIFY(QFile::link(QStringLiteral("bild2.jpg"), root + QStringLiteral("/Bilder/länk.jpg")));
    QVERIFY(QFile::link(QStringLiteral("borta.jpg"), root + QStringLiteral("/Bilder/trasig.jpg")));
    QVERIFY(QFile::link(QStringLiteral(".."), root + QStringLiteral("/Träd/10 okt/upp")));
    for (const char *name : {"Udda/x.PEF", "Udda/y.srw", "Udda/z.txt"})
        QVERIFY(!TestPictures::writeEmptyFile(root, QString::fromUtf8(name)).isEmpty());
    // Names Qt cannot make: by their bytes.
    const QByteArray bytes = QFile::encodeName(root);
    QCOMPARE(::mkfifo(bytes + "/Udda/k\xC3\xB6.jpg", 0600), 0);
    const int latin = ::open(bytes + "/Udda/caf\xE9.jpg", O_WRONLY | O_CREAT | O_EXCL, 0644);
    QVERIFY(latin >= 0);
    ::close(latin);
    QCOMPARE(::mkdir(bytes + "/caf\xE9", 0755), 0);
    QCOMPARE(::link(bytes + "/a.JPG", bytes + "/caf\xE9/a.jpg"), 0);
    const QString cafe = nameFromBytes("caf\xE9");

    const QStringList folder{"Bilder/.dold.jpg", "Bilder/bild1.JPG", "Bilder/bild2.jpg", "Bilder/bild3.png",
                             "Bilder/bild10.jpg", "Bilder/länk.jpg"};
    const QStringList none;
    const QStringList oneRaw{"1 fil i format som inte stöds hoppades över: .pef"};
    const SaveSettings start;   // as the window starts: no prefix, suffix _s, JPG
    SaveSettings gif;
    gif.prefix = QStringLiteral("tn_");
    gif.format = OutputFormat::Gif;
    QTest::newRow("a folder: its pictures by name, no subfolders, no broken link")
        << QStringList{"Bilder"} << start << folder << none << none << oneRaw << 0;
    QTest::newRow("folder with a trailing separator")
        << QStringList{"Bilder/"} << start << folder << none << none << oneRaw << 0;
    QTest::newRow("missing name skipped and reported")
        << QStringList{"saknas.jpg", "a.JPG", "Saknas"} << start << QStringList{"a.JPG"}
        << QStringList{"saknas.jpg", "Saknas"} << none << none << 0;
    QTest::newRow("a broken link is missing") << QStringList{"Bilder/trasig.jpg"} << start << none
                                              << QStringList{"Bilder/trasig.jpg"} << none << none << 0;
    QTest::newRow("relative paths made clean") << QStringList{"Bilder/../a.JPG", "./c.jpeg", "Bilder/sub/inne.jpg"}
                                               << start << QStringList{"a.JPG", "c.jpeg", "Bilder/sub/inne.jpg"}
                                               << none << none << none << 0;
    QTest::newRow("a PNG named on the command line")
        << QStringList{"skärm.png"} << start << QStringList{"skärm.png"} << none << none << none << 0;
    QTest::newRow("an empty name is not the working folder")
        << QStringList{""} << start << none << QStringList{""} << none << none << 0;
    // A thumbnail, its double and a web-size copy are left out beside their
    // picture only: b_s.jpg has no b.jpg.
    QTest::newRow("a folder without the thumbnails of its pictures")
        << QStringList{"Tummar"} << start << QStringList{"Tummar/a.jpg", "Tummar/b_s.jpg", "Tummar/c.png"} << none
        << none << none << 3;
    QTest::newRow("thumbnails by prefix and format")
        << QStringList{"Gif", "Tummar"} << gif
        << QStringList{"Gif/a.jpg", "Gif/tn_b_s.gif", "Tummar/a_s.jpg", "Tummar/a_s@2x.jpg", "Tummar/a.jpg",
                       "Tummar/b_s.jpg", "Tummar/c.png"}
        << none << none << none << 2;
    QTest::newRow("files named one by one are taken as they are")
        << QStringList{"Tummar/a_s.jpg", "Tummar/a.jpg"} << start << QStringList{"Tummar/a_s.jpg", "Tummar/a.jpg"}
        << none << none << none << 0;
    // What cannot be taken is said: by a readable form of a name that is
    // not text, as what it is for a FIFO; raw files counted once.
    QTest::newRow("a folder with files that cannot be taken")
        << QStringList{"Udda"} << start << QStringList{"Udda/bra.jpg"} << none
        << QStringList{"Kan inte läsa bilden: ROOT/Udda/caf\\xE9.jpg", "Inte en vanlig fil: ROOT/Udda/kö.jpg"}
        << QStringList{"2 filer i format som inte stöds hoppades över: .pef, .srw"} << 0;
    QTest::newRow("such files named")
        << QStringList{"Udda/x.PEF", "Udda/kö.jpg", cafe + "/a.jpg", "Udda/" + cafe + ".jpg"} << start << none << none
        << QStringList{"Formatet stöds inte: ROOT/Udda/x.PEF", "Inte en vanlig fil: ROOT/Udda/kö.jpg",
                       "Kan inte läsa bilden: ROOT/caf\\xE9/a.jpg", "Kan inte läsa bilden: ROOT/Udda/caf\\xE9.jpg"}
        << none << 0;
    // -r and --page=DIR as the command line gives them: a folder's own
    // pictures, then its subfolders in reading order; no hidden folder, no
    // loop, never the page's folder.
    QTest::newRow("-r: the folders below, in reading order")
        << QStringList{"-r", "Träd"} << start << QStringList{"Träd/z.jpg", "Träd/2 feb/a.jpg", "Träd/10 okt/a.jpg",
                                                             "Träd/webb/w.jpg"} << none << none << none << 0;
    QTest::newRow("-r: the page's folder inside the tree is not read")
        << QStringList{"-r", "--page=Träd/webb", "Träd"} << start
        << QStringList{"Träd/z.jpg", "Träd/2 feb/a.jpg", "Träd/10 okt/a.jpg"} << none << none << none << 0;
    QTest::newRow("a folder whose name is not text")
        << QStringList{cafe} << start << none << none << QStringList{"Kan inte läsa bilden: ROOT/caf\\xE9/a.jpg"}
        << none << 0;
}

void TestCommandLine::expand()
{
    QFETCH(QStringList, inputs);
    QFETCH(SaveSettings, naming);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, missing);
    QFETCH(QStringList, problems);
    QFETCH(QStringList, notes);
    QFETCH(int, leftOut);

    const QString root = m_tree.path();
    FolderWalk below;
    below.recursive = inputs.removeAll("-r") > 0;
    for (const QString &input : inputs.filter(QRegularExpression("^--page=")))
        below.skip = QFileInfo(root + "/" + inputs.takeAt(inputs.indexOf(input)).mid(7)).canonicalFilePath();
    auto absolute = [&](QStringList names) {
        for (QString &name : names)
            name = name.isEmpty() ? name : QDir::toNativeSeparators(root + QLatin1Char('/') + name);
        return names;
    };
    const ExpandedInputs expanded = expandInputs(inputs, root, naming, below);
    // What the list then keeps, by the same name test a drop uses.
    QStringList kept;
    for (const QString &path : expanded.paths) {
        if (isPictureName(path))
            kept << path;
    }
    QCOMPARE(kept, absolute(listed));
    QCOMPARE(expanded.missing, absolute(missing));
    QCOMPARE(expanded.problems, problems.replaceInStrings(QStringLiteral("ROOT"), root));
    QCOMPARE(expanded.notes, notes);
    QCOMPARE(expanded.thumbnailsLeftOut, leftOut);

    // Absolute inputs give the same as relative ones.
    QStringList absoluteInputs;
    for (const QString &input : inputs)
        absoluteInputs << (input.isEmpty() ? input : root + QLatin1Char('/') + input);
    const ExpandedInputs fromAbsolute = expandInputs(absoluteInputs, QDir::rootPath(), naming, below);
    QCOMPARE(fromAbsolute.paths, expanded.paths);
    QCOMPARE(fromAbsolute.missing, expanded.missing);
    QCOMPARE(fromAbsolute.problems, expanded.problems);
}

// Qt cannot take away the names it cannot make.
void TestCommandLine::cleanupTestCase()
{
    const QByteArray root = QFile::encodeName(m_tree.path());
    ::unlink(root + "/Udda/caf\xE9.jpg");
    ::unlink(root + "/caf\xE9/a.jpg");
    ::rmdir(root + "/caf\xE9");
}

// A folder's pictures in the order a person reads their names.
void TestCommandLine::naturalOrder_data()
{
    QTest::addColumn<QStringList>("names");    // as created
    QTest::addColumn<QStringList>("order");

    QTest::newRow("letter case ignored") << QStringList{"b.jpg", "C.jpg", "A.jpg", "a2.jpg"}
                                         << QStringList{"A.jpg", "a2.jpg", "b.jpg", "C.jpg"};
    QTest::newRow("å ä ö after z") << QStringList{"ö.jpg", "z.jpg", "å.jpg", "ä.jpg", "a.jpg", "Ål.jpg"}
                                   << QStringList{"a.jpg", "z.jpg", "å.jpg", "Ål.jpg", "ä.jpg", "ö.jpg"};
    QTest::newRow("leading zeros") << QStringList{"bild010.jpg", "bild9.jpg", "bild02.jpg", "bild2.jpg", "bild1.jpg"}
                                   << QStringList{"bild1.jpg", "bild02.jpg", "bild2.jpg", "bild9.jpg", "bild010.jpg"};
    QTest::newRow("names that differ only in case, one fixed order")
        << QStringList{"bild.jpg", "BILD.jpg", "Bild.jpg"} << QStringList{"BILD.jpg", "Bild.jpg", "bild.jpg"};
}

void TestCommandLine::naturalOrder()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, order);

    QTemporaryDir dir;
    for (const QString &name : names)
        QVERIFY(!TestPictures::writeEmptyFile(dir.path(), name).isEmpty());
    QStringList listed;
    for (const QString &path : expandInputs({dir.path()}).paths)
        listed << QFileInfo(path).fileName();
    QCOMPARE(listed, order);
}

// The manual page is written by hand: it must name exactly the options that
// --help names, and no more of a home than the program has.
void TestCommandLine::manualListsTheOptionsOfHelp()
{
    const QString manual = readText(Source + QStringLiteral("/data/tumbilder.1.in"));
    QVERIFY(!manual.isEmpty());
    // The heads of the items (.TP) in the options section.
    QStringList heads;
    const QStringList lines = manual.split(QLatin1Char('\n'));
    bool inOptions = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1String(".SH")))
            inOptions = lines[i] == QLatin1String(".SH FLAGGOR");
        else if (inOptions && lines[i] == QLatin1String(".TP") && i + 1 < lines.size())
            heads << QString(lines[i + 1]).replace(QLatin1String("\\-"), QLatin1String("-"));
    }
    const QString help = parseCommandLine({QStringLiteral("tumbilder"), QStringLiteral("--help")}).text;
    QStringList helpOptions;
    for (const QString &line : help.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("  -")))
            helpOptions << line.section(QLatin1String("  "), 1, 1);
    }
    QVERIFY(!optionNames(helpOptions).isEmpty());
    QCOMPARE(optionNames(heads), optionNames(helpOptions));
    // Both name every extension a picture may have.
    for (const QString &ext : pictureExtensions()) {
        const QRegularExpression name(QStringLiteral("\\.") + ext + QStringLiteral("\\b"));
        QVERIFY2(manual.contains(name), qPrintable(ext));
        QVERIFY2(help.contains(name), qPrintable(ext));
    }
    // Neither points to a made-up address.
    QVERIFY(!manual.contains(QStringLiteral("example.org")));
    QVERIFY(!help.contains(QStringLiteral("example.org")));
}

// The window icon has every size of the theme icon, so it is sharp at any
// scaling rather than one picture stretched.
void TestCommandLine::appIcon()
{
    QSet<int> sizes;
    for (const QSize &size : ::appIcon().availableSizes())
        sizes << size.width();
    QCOMPARE(sizes, (QSet<int>{16, 22, 24, 32, 48, 64, 128, 256}));
}

// The program tells the desktop its entry by id; the entry, its icon and the
// metainfo must all carry that id, or the desktop cannot match them up.
void TestCommandLine::desktopFilesCarryTheProgramsId()
{
    const QString id = appId();
    const QString entry = readText(Source + QStringLiteral("/data/%1.desktop").arg(id));
    QVERIFY2(!entry.isEmpty(), qPrintable(id));
    QVERIFY(entry.contains(QStringLiteral("\nIcon=%1\n").arg(id)));
    const QString metainfo = readText(Source + QStringLiteral("/data/%1.metainfo.xml").arg(id));
    QVERIFY(metainfo.contains(QStringLiteral("<id>%1</id>").arg(id)));
    QVERIFY(metainfo.contains(QStringLiteral("<launchable type=\"desktop-id\">%1.desktop</launchable>").arg(id)));
}

// The desktop entry, the metainfo and the manual page are written by hand;
// each list in them names exactly what the loader table reads.
void TestCommandLine::filesFollowTheLoaderTable_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("list"); // its first capture is one list, or with `together` one item
    QTest::addColumn<bool>("together");
    QTest::addColumn<QStringList>("expected");
    const QString desktop = QStringLiteral("/data/%1.desktop").arg(appId());
    const QString metainfo = QStringLiteral("/data/%1.metainfo.xml").arg(appId());
    const QString manual = QStringLiteral("/data/tumbilder.1.in");
    QTest::newRow("desktop MIME types") << desktop << QStringLiteral("\nMimeType=([^\n]*)") << false
                                        << pictureMimeTypes() + QStringList{"inode/directory"};
    QTest::newRow("desktop formats") << desktop << QStringLiteral("\nComment[^(]*\\(([^)]*)\\)") << false << pictureFormatNames();
    QTest::newRow("metainfo MIME types") << metainfo << QStringLiteral("<mediatype>([^<]*)<") << true << pictureMimeTypes();
    QTest::newRow("metainfo formats") << metainfo << QStringLiteral("(?:pictures|bilder): ([^.]*)\\.") << false << pictureFormatNames();
    QTest::newRow("manual formats") << manual << QStringLiteral("av bilder \\(([^)]*)\\)") << false << pictureFormatNames();
    QTest::newRow("manual extensions") << manual << QStringLiteral("tas med:\n([^;]*);") << false << pictureExtensions();
}

void TestCommandLine::filesFollowTheLoaderTable()
{
    QFETCH(QString, file);
    QFETCH(QString, list);
    QFETCH(bool, together);
    QFETCH(QStringList, expected);
    static const QRegularExpression separators(QStringLiteral("([;,\\s.]|\\\\&|\\b(and|och|eller)\\b)+"));
    const auto sorted = [](QStringList l) { l.sort(); return l; };
    QStringList all;
    int lists = 0;
    for (const QRegularExpressionMatch &m : QRegularExpression(list).globalMatch(readText(Source + file))) {
        QStringList items = m.captured(1).split(separators, Qt::SkipEmptyParts);
        ++lists;
        all << items;
        if (!together)
            QCOMPARE(sorted(items), sorted(expected));
    }
    QVERIFY2(lists > 0, qPrintable(list));
    if (together)
        QCOMPARE(sorted(all), sorted(expected));
}

TUMBILDER_TEST_MAIN(TestCommandLine)
#include "test_commandline.moc"
