#include "filesizelimit.h"
#include "platform/fileops.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include "files.h"
#include "testmain.h"
#include <QtTest>
#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestFiles;

namespace {
// Something standing at `path` before a write: nothing, a file, a folder, a
// link to a file elsewhere or a dangling link into `elsewhere`.
void makeThing(const QString &kind, const QString &path, const QString &elsewhere)
{
    if (kind == "file")
        QVERIFY(put(path, "old"));
    else if (kind == "folder")
        QVERIFY(QDir().mkdir(path));
    else if (kind == "link to a file")
        QVERIFY(put(elsewhere + "/target", "old") && QFile::link(elsewhere + "/target", path));
    else if (kind == "dangling link")
        QVERIFY(QFile::link(elsewhere + "/target", path));
}

const QByteArray bigData(5000, 'x');
}

class TestFileOps : public QObject {
    Q_OBJECT
private slots:
    void writeNewFileNeverReplaces_data();
    void writeNewFileNeverReplaces();
    void writeNewFileFailures_data();
    void writeNewFileFailures();
    void writeNewFileGetsTheUsualMode();
    void writeReplacing_data();
    void writeReplacing();
    void writeReplacingFailureKeepsTheOldFile();
    void copyReplacing_data();
    void copyReplacing();
    void removeFile_data();
    void removeFile();
};

void TestFileOps::writeNewFileNeverReplaces_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"file", "folder", "link to a file", "dangling link"})
        QTest::newRow(kind) << QString(kind);
}

void TestFileOps::writeNewFileNeverReplaces()
{
    QFETCH(QString, kind);
    QTemporaryDir tmp, elsewhere;
    const QString path = tmp.filePath("sol_s.jpg");
    makeThing(kind, path, elsewhere.path());
    const QStringList before = listing(tmp.path());
    const QStringList elsewhereBefore = listing(elsewhere.path());

    const Failure f = writeNewFile(path, "new");
    QCOMPARE(f.number, EEXIST);
    QVERIFY(!f.description.isEmpty());
    QCOMPARE(listing(tmp.path()), before);               // no temporary file left
    QCOMPARE(listing(elsewhere.path()), elsewhereBefore);   // nothing written through a link
    if (kind == "file")
        QCOMPARE(contents(path), QByteArray("old"));
    if (kind == "link to a file")
        QCOMPARE(contents(elsewhere.filePath("target")), QByteArray("old"));
}

void TestFileOps::writeNewFileFailures_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("number");
    QTest::newRow("folder vanished") << "vanished" << ENOENT;
    QTest::newRow("a file where the folder should be") << "file" << ENOTDIR;
    QTest::newRow("disk full") << "full" << EFBIG;
    QTest::newRow("NUL in the name") << "nul" << FailureCode::BadFileName;
}

void TestFileOps::writeNewFileFailures()
{
    QFETCH(QString, situation);
    QFETCH(int, number);
    QTemporaryDir tmp;
    const QString folder = tmp.filePath("bilder");
    QVERIFY(QDir().mkdir(folder));
    QString path = folder + "/sol_s.jpg";
    if (situation == "vanished")
        QVERIFY(QDir().rmdir(folder));
    if (situation == "file")
        QVERIFY(QDir().rmdir(folder) && put(folder, "a file"));
    if (situation == "nul")
        path = folder + "/sol" + QChar(0) + ".jpg";
    const QStringList before = listing(tmp.path());

    Failure f;
    {
        std::optional<FileSizeLimit> limit;
        if (situation == "full")
            limit.emplace(1000);
        f = writeNewFile(path, bigData);
    }
    QCOMPARE(f.number, number);
    QVERIFY(!f.description.isEmpty());
    QCOMPARE(listing(tmp.path()), before);
    if (situation == "full" || situation == "nul")
        QCOMPARE(listing(folder), QStringList());   // no partial file, no temporary file
}

void TestFileOps::writeNewFileGetsTheUsualMode()
{
    QTemporaryDir tmp;
    const mode_t old = ::umask(022);
    const Failure f = writeNewFile(tmp.filePath("sol_s.jpg"), "data");
    ::umask(old);
    QVERIFY(!f.failed());
    QCOMPARE(contents(tmp.filePath("sol_s.jpg")), QByteArray("data"));
    // Others may read a thumbnail (a web server, say), as any new file.
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(tmp.filePath("sol_s.jpg")).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0644));
    QCOMPARE(listing(tmp.path()), QStringList{"sol_s.jpg"});
}

void TestFileOps::writeReplacing_data()
{
    QTest::addColumn<bool>("existing");
    QTest::newRow("new file") << false;
    QTest::newRow("replaces the old file") << true;
}

void TestFileOps::writeReplacing()
{
    QFETCH(bool, existing);
    QTemporaryDir tmp;
    const QString path = tmp.filePath("bilder.html");
    if (existing) {
        QVERIFY(put(path, "old page"));
        // A second name for the old file: it keeps the old content, so the
        // new page was written aside and moved in, not written in place.
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(tmp.filePath("hard")).constData()), 0);
    }
    QVERIFY(!::writeReplacing(path, "new page").failed());
    QCOMPARE(contents(path), QByteArray("new page"));
    if (existing) {
        QCOMPARE(contents(tmp.filePath("hard")), QByteArray("old page"));
        QCOMPARE(listing(tmp.path()), QStringList({"bilder.html", "hard"}));
    } else {
        QCOMPARE(listing(tmp.path()), QStringList{"bilder.html"});
    }
}

void TestFileOps::writeReplacingFailureKeepsTheOldFile()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("bilder.html");
    QVERIFY(put(path, "old page"));
    Failure f;
    {
        const FileSizeLimit limit(1000);
        f = ::writeReplacing(path, bigData);
    }
    QCOMPARE(f.number, EFBIG);
    QCOMPARE(contents(path), QByteArray("old page"));
    QCOMPARE(listing(tmp.path()), QStringList{"bilder.html"});
}

void TestFileOps::copyReplacing_data()
{
    QTest::addColumn<QString>("to");       // relative to the temporary folder
    QTest::addColumn<QString>("before");   // what stands there first: "nothing", "file", "symlink to source"
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("number");

    QTest::newRow("to a new name") << "webb/sol.jpg" << "nothing" << QByteArray("picture") << 0;
    QTest::newRow("over an old copy") << "webb/sol.jpg" << "file" << QByteArray("picture") << 0;
    QTest::newRow("same file") << "bilder/sol.jpg" << "nothing" << QByteArray("picture") << 0;
    QTest::newRow("same file, other spelling") << "bilder/../bilder/./sol.jpg" << "nothing" << QByteArray("picture")
                                               << 0;
    QTest::newRow("same file through a link") << "webb/sol.jpg" << "symlink to source" << QByteArray("picture") << 0;
    QTest::newRow("into a vanished folder") << "borta/sol.jpg" << "nothing" << QByteArray() << ENOENT;
}

void TestFileOps::copyReplacing()
{
    QFETCH(QString, to);
    QFETCH(QString, before);
    QFETCH(QByteArray, expected);
    QFETCH(int, number);

    QTemporaryDir tmp;
    QVERIFY(QDir(tmp.path()).mkpath("bilder") && QDir(tmp.path()).mkpath("webb"));
    const QString from = tmp.filePath("bilder/sol.jpg");
    const QString target = tmp.filePath(to);
    QVERIFY(put(from, "picture"));
    if (before == "file")
        QVERIFY(put(target, "old copy"));
    if (before == "symlink to source")
        QVERIFY(QFile::link(from, target));

    struct stat old {};
    const bool existed = ::lstat(QFile::encodeName(target).constData(), &old) == 0;
    const bool sameFile = QFileInfo(from).canonicalFilePath() == QFileInfo(target).canonicalFilePath();
    const Failure f = ::copyReplacing(from, target);
    QCOMPARE(f.number, number);
    // A copy onto the file itself is skipped: the very same file (or link)
    // stays; anything else is replaced by a new file.
    struct stat now {};
    if (existed && ::lstat(QFile::encodeName(target).constData(), &now) == 0)
        QCOMPARE(now.st_ino == old.st_ino, sameFile);
    QCOMPARE(contents(from), QByteArray("picture"));
    QCOMPARE(contents(target), expected);
    QCOMPARE(listing(tmp.filePath("bilder")), QStringList{"sol.jpg"});
}

void TestFileOps::removeFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("fails");
    QTest::newRow("file") << "file" << false;
    QTest::newRow("missing file") << "nothing" << false;
    QTest::newRow("dangling link") << "dangling link" << false;
    QTest::newRow("folder") << "folder" << true;
}

void TestFileOps::removeFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, fails);
    QTemporaryDir tmp, elsewhere;
    const QString path = tmp.filePath("sol_s.bmp");
    makeThing(kind, path, elsewhere.path());
    const Failure f = ::removeFile(path);
    QCOMPARE(f.failed(), fails);
    QCOMPARE(::nameTaken(path), fails);
}

TUMBILDER_TEST_GUILESS_MAIN(TestFileOps)
#include "test_fileops.moc"
