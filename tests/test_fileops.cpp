#include "filesizelimit.h"
#include "files/fileops.h"
#include "syscallshim.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include "files.h"
#include "testmain.h"
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

// The roads a write takes, by what the file system lacks; every row of a
// table that writes runs on each.
const std::pair<const char *, MissingFeature> Roads[] = {
    {"", MissingFeature::None},
    {", anonymous files cannot be named", MissingFeature::NamingAnonymousFiles},
    {", no anonymous files", MissingFeature::AnonymousFiles},
    {", no links", MissingFeature::Links},
};

// Runs `work` in a child process and returns its wait status. The child
// never returns into the test runner, whatever `work` does.
int inChild(const std::function<int()> &work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        int code = 2;
        try {
            code = work();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = -1;
    if (child > 0 && ::waitpid(child, &status, 0) != child)
        status = -1;
    return status;
}

// Bytes that differ from block to block, so a block copied twice or left
// out shows.
QByteArray pattern(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 4093) & 0xff);
    return data;
}

// A write that does what the table row says, call by call; the last entry
// repeats. n > 0 takes up to n bytes, 0 takes nothing, n < 0 fails with -n.
QList<int> script;
int calls = 0;
QByteArray written;
ssize_t scriptedWrite(int, const void *data, size_t size)
{
    const int step = script.value(qMin(calls, int(script.size()) - 1));
    if (++calls > 10000) {   // a loop that never ends, as far as a test can tell
        errno = E2BIG;
        return -1;
    }
    if (step < 0) {
        errno = -step;
        return -1;
    }
    const size_t n = qMin(size, size_t(step));
    written.append(static_cast<const char *>(data), qsizetype(n));
    return ssize_t(n);
}
}

class TestFileOps : public QObject {
    Q_OBJECT
private slots:
    void writeNewFileNeverReplaces_data();
    void writeNewFileNeverReplaces();
    void writeNewFileFailures_data();
    void writeNewFileFailures();
    void writeNewFileGetsTheUsualMode_data();
    void writeNewFileGetsTheUsualMode();
    void writeReplacing_data();
    void writeReplacing();
    void replacingFailureKeepsTheOldFile_data();
    void replacingFailureKeepsTheOldFile();
    void killedMidWriteLeavesNothing_data();
    void killedMidWriteLeavesNothing();
    void writeFully_data();
    void writeFully();
    void copyReplacing_data();
    void copyReplacing();
    void copyContent_data();
    void copyContent();
    void copyFailures_data();
    void copyFailures();
    void copyUsesLittleMemory();
    void removeFile_data();
    void removeFile();
};

void TestFileOps::writeNewFileNeverReplaces_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("missing");
    for (const char *kind : {"file", "folder", "link to a file", "dangling link"})
        for (const auto &[road, missing] : Roads)
            QTest::addRow("%s%s", kind, road) << QString(kind) << int(missing);
}

void TestFileOps::writeNewFileNeverReplaces()
{
    QFETCH(QString, kind);
    QFETCH(int, missing);
    QTemporaryDir tmp, elsewhere;
    const QString path = tmp.filePath("sol_s.jpg");
    makeThing(kind, path, elsewhere.path());
    const QStringList before = listing(tmp.path());
    const QStringList elsewhereBefore = listing(elsewhere.path());
    const Failure f = writeNewFile(path, "new", MissingFeature(missing));
    QCOMPARE(f.number, EEXIST);
    QCOMPARE(f.description, systemFailure(EEXIST).description + ": " + path);
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
    QTest::addColumn<int>("missing");
    QTest::newRow("folder vanished") << "vanished" << ENOENT << 0;
    QTest::newRow("a file where the folder should be") << "file" << ENOTDIR << 0;
    for (const auto &[road, missing] : Roads) {
        QTest::addRow("disk full%s", road) << "full" << EFBIG << int(missing);
        QTest::addRow("name of 256 bytes%s", road) << "long" << ENAMETOOLONG << int(missing);
        QTest::addRow("data lost at the close, after naming%s", road) << "close" << EIO << int(missing);
    }
    QTest::newRow("NUL in the name") << "nul" << FailureCode::BadFileName << 0;
}

void TestFileOps::writeNewFileFailures()
{
    QFETCH(QString, situation);
    QFETCH(int, number);
    QFETCH(int, missing);
    QTemporaryDir tmp;
    const QString folder = tmp.filePath("bilder");
    QVERIFY(QDir().mkdir(folder));
    QString path = folder + "/sol_s.jpg";
    if (situation == "long")
        path = folder + "/" + QString(252, QLatin1Char('n')) + ".jpg";
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
        const SyscallShim::Watch watch(path, {}, situation == "close" ? EIO : 0);
        f = writeNewFile(path, bigData, MissingFeature(missing));
    }
    QCOMPARE(f.number, number);
    // The message names the file it is about.
    if (number != FailureCode::BadFileName)
        QCOMPARE(f.description, systemFailure(number).description + ": " + path);
    QCOMPARE(listing(tmp.path()), before);
    if (situation != "vanished" && situation != "file")
        QCOMPARE(listing(folder), QStringList());   // no partial file, no temporary file
}

void TestFileOps::writeNewFileGetsTheUsualMode_data()
{
    QTest::addColumn<int>("missing");
    for (const auto &[road, missing] : Roads)
        QTest::addRow("new file%s", road) << int(missing);
}

void TestFileOps::writeNewFileGetsTheUsualMode()
{
    QFETCH(int, missing);
    QTemporaryDir tmp;
    const mode_t old = ::umask(022);
    const SyscallShim::Watch watch(tmp.filePath("sol_s.jpg"));
    const Failure f = writeNewFile(tmp.filePath("sol_s.jpg"), "data", MissingFeature(missing));
    ::umask(old);
    QVERIFY(!f.failed());
    // Where the system can name a finished file without replacing, it is on
    // the disk before it gets its name (the last road names it first, alone).
    if (MissingFeature(missing) != MissingFeature::Links)
        QVERIFY(watch.syncedBeforeNamed());
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
    QTest::addColumn<int>("missing");
    for (const auto &[road, missing] : Roads) {
        QTest::addRow("new file%s", road) << false << int(missing);
        QTest::addRow("replaces the old file%s", road) << true << int(missing);
    }
}

void TestFileOps::writeReplacing()
{
    QFETCH(bool, existing);
    QFETCH(int, missing);
    QTemporaryDir tmp;
    const QString path = tmp.filePath("bilder.html");
    if (existing) {
        QVERIFY(put(path, "old page"));
        // A second name for the old file: it keeps the old content, so the
        // new page was written aside and moved in, not written in place.
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(tmp.filePath("hard")).constData()), 0);
    }
    // A replacing file can bear a time of its own (the modern page's files
    // bear their picture's), whichever road it took to its name.
    const qint64 dated = 1'500'000'000'123'456'789;
    QVERIFY(!(existing ? ::writeReplacingDated(path, "new page", dated, MissingFeature(missing))
                       : ::writeReplacing(path, "new page", MissingFeature(missing)))
                 .failed());
    QCOMPARE(contents(path), QByteArray("new page"));
    if (existing) {
        QCOMPARE(modificationTime(path), dated);
        QCOMPARE(contents(tmp.filePath("hard")), QByteArray("old page"));
        QCOMPARE(listing(tmp.path()), QStringList({"bilder.html", "hard"}));
    } else {
        QCOMPARE(listing(tmp.path()), QStringList{"bilder.html"});
    }
}

void TestFileOps::replacingFailureKeepsTheOldFile_data()
{
    QTest::addColumn<bool>("copy");
    QTest::addColumn<int>("missing");
    for (const auto &[road, missing] : Roads) {
        QTest::addRow("page%s", road) << false << int(missing);
        QTest::addRow("copy%s", road) << true << int(missing);
    }
}

void TestFileOps::replacingFailureKeepsTheOldFile()
{
    QFETCH(bool, copy);
    QFETCH(int, missing);
    QTemporaryDir tmp, elsewhere;
    const QString path = tmp.filePath("bilder.html");
    QVERIFY(put(path, "old page"));
    const QString source = elsewhere.filePath("stor.jpg");
    QVERIFY(put(source, bigData));
    Failure f;
    {
        const FileSizeLimit limit(1000);
        f = copy ? ::copyReplacing(source, path, MissingFeature(missing))
                 : ::writeReplacing(path, bigData, MissingFeature(missing));
    }
    QCOMPARE(f.number, EFBIG);
    QCOMPARE(f.description, systemFailure(EFBIG).description + ": " + path);
    QCOMPARE(contents(path), QByteArray("old page"));
    QCOMPARE(listing(tmp.path()), QStringList{"bilder.html"});
}

void TestFileOps::killedMidWriteLeavesNothing_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("signal");
    for (const char *operation : {"new file", "page", "copy"}) {
        QTest::addRow("%s, killed", operation) << QString(operation) << int(SIGKILL);
        // The default action of a file-size limit (ulimit -f): death mid-write.
        QTest::addRow("%s, past the file-size limit", operation) << QString(operation) << int(SIGXFSZ);
    }
}

void TestFileOps::killedMidWriteLeavesNothing()
{
    QFETCH(QString, operation);
    QFETCH(int, signal);
    QTemporaryDir tmp, elsewhere;
    const QString path = tmp.filePath(operation == "new file" ? "sol_s.bmp" : "sol.jpg");
    if (operation != "new file")
        QVERIFY(put(path, "old"));
    const QByteArray data = pattern(4 << 20);
    const QString source = elsewhere.filePath("sol.jpg");
    QVERIFY(put(source, data));
    const QStringList before = listing(tmp.path());

    // A child process writes 4 MB and dies once 1 MB is in the file: at the
    // file-size limit, by that signal or by SIGKILL sent from its handler.
    const int status = inChild([&] {
        if (signal == SIGKILL)
            std::signal(SIGXFSZ, [](int) { ::raise(SIGKILL); });
        else
            std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{1 << 20, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (operation == "new file")
            writeNewFile(path, data);
        else if (operation == "page")
            ::writeReplacing(path, data);
        else
            ::copyReplacing(source, path);
        return 0;
    });
    QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == signal, qPrintable(QString::number(status, 16)));
    QCOMPARE(listing(tmp.path()), before);
    if (operation != "new file")
        QCOMPARE(contents(path), QByteArray("old"));
}

void TestFileOps::writeFully_data()
{
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<int>("number");
    QTest::newRow("a byte a call") << QList<int>{1} << 0;
    QTest::newRow("interrupted, then all") << QList<int>{-EINTR, 3, -EINTR, 1 << 20} << 0;
    QTest::newRow("takes some, then nothing") << QList<int>{3, 0} << ENOSPC;
    QTest::newRow("takes nothing at all") << QList<int>{0} << ENOSPC;
    QTest::newRow("device fails") << QList<int>{3, -EIO} << EIO;
}

void TestFileOps::writeFully()
{
    QFETCH(QList<int>, steps);
    QFETCH(int, number);
    script = steps;
    calls = 0;
    written.clear();
    const QByteArray data = pattern(1000);
    QCOMPARE(::writeFully(-1, data.constData(), data.size(), scriptedWrite), number);
    if (number == 0)
        QCOMPARE(written, data);
}

void TestFileOps::copyReplacing_data()
{
    QTest::addColumn<QString>("to");       // relative to the temporary folder
    QTest::addColumn<QString>("before");   // what stands there first: "nothing", "file", "symlink to source",
                                           // "same size (and time)" as the source
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("number");

    QTest::newRow("to a new name") << "webb/sol.jpg" << "nothing" << QByteArray("picture") << 0;
    QTest::newRow("over an old copy") << "webb/sol.jpg" << "file" << QByteArray("picture") << 0;
    // A copy of the picture as it is now is left as it is: same size and
    // modification time. Either differing, it is made again.
    QTest::newRow("over a copy of the same size and time") << "webb/sol.jpg" << "same size and time"
                                                           << QByteArray("PICTURE") << 0;
    QTest::newRow("over a file of the same size, another time") << "webb/sol.jpg" << "same size"
                                                                << QByteArray("picture") << 0;
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
    if (before.startsWith("same size")) {
        QVERIFY(put(target, "PICTURE") && touch(from, -7200));
        QVERIFY(touch(target, before == "same size" ? -3600 : -7200));
    }
    if (before == "symlink to source")
        QVERIFY(QFile::link(from, target));

    struct stat old {};
    const bool existed = ::lstat(QFile::encodeName(target).constData(), &old) == 0;
    const bool sameFile = QFileInfo(from).canonicalFilePath() == QFileInfo(target).canonicalFilePath();
    const Failure f = ::copyReplacing(from, target);
    QCOMPARE(f.number, number);
    if (number != 0)
        QCOMPARE(f.description, systemFailure(number).description + ": " + target);
    // A copy onto the file itself is skipped: the very same file (or link)
    // stays; anything else is replaced by a new file.
    struct stat now {};
    if (existed && ::lstat(QFile::encodeName(target).constData(), &now) == 0)
        QCOMPARE(now.st_ino == old.st_ino, sameFile || before == "same size and time");
    QCOMPARE(contents(from), QByteArray("picture"));
    QCOMPARE(contents(target), expected);
    // A copy keeps the picture's modification time, so the next run knows it.
    if (number == 0)
        QCOMPARE(QFileInfo(target).lastModified(), QFileInfo(from).lastModified());
    QCOMPARE(listing(tmp.filePath("bilder")), QStringList{"sol.jpg"});
}

void TestFileOps::copyContent_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("otherFileSystem");
    QTest::addColumn<int>("missing");
    for (const auto &[road, missing] : Roads) {
        QTest::addRow("empty%s", road) << 0 << false << int(missing);
        QTest::addRow("several blocks%s", road) << 700001 << false << int(missing);
    }
    // Where the kernel will not copy between the two (another file system
    // type), the copy goes through the buffer.
    QTest::newRow("several blocks from another file system") << 700001 << true << 0;
}

void TestFileOps::copyContent()
{
    QFETCH(int, size);
    QFETCH(bool, otherFileSystem);
    QFETCH(int, missing);
    QTemporaryDir tmp;
    const QString shm = QStringLiteral("/dev/shm");
    QTemporaryDir elsewhere(otherFileSystem && QFileInfo(shm).isDir() ? shm + "/tumbilder-XXXXXX" : QString());
    const QString from = elsewhere.filePath("sol.jpg");
    const QString to = tmp.filePath("sol.jpg");
    const QByteArray data = pattern(size);
    QVERIFY(put(from, data) && put(to, "old copy"));
    const Failure f = ::copyReplacing(from, to, MissingFeature(missing));
    QVERIFY2(!f.failed(), qPrintable(f.description));
    QCOMPARE(contents(to), data);
    QCOMPARE(listing(tmp.path()), QStringList{"sol.jpg"});
}

void TestFileOps::copyFailures_data()
{
    QTest::addColumn<QString>("source");   // what stands at the source's name
    QTest::addColumn<int>("number");
    QTest::newRow("source deleted") << "nothing" << ENOENT;
    QTest::newRow("source is a folder") << "folder" << EISDIR;
}

void TestFileOps::copyFailures()
{
    QFETCH(QString, source);
    QFETCH(int, number);
    QTemporaryDir tmp, elsewhere;
    const QString from = tmp.filePath("sol.jpg");
    const QString to = elsewhere.filePath("sol.jpg");
    makeThing(source, from, elsewhere.path());
    QVERIFY(put(to, "old copy"));
    const QStringList before = listing(elsewhere.path());
    const Failure f = ::copyReplacing(from, to);
    QCOMPARE(f.number, number);
    // The message names the picture that could not be read.
    QCOMPARE(f.description, systemFailure(number).description + ": " + from);
    QCOMPARE(contents(to), QByteArray("old copy"));
    QCOMPARE(listing(elsewhere.path()), before);
}

void TestFileOps::copyUsesLittleMemory()
{
    // A copy of a 64 MB picture in a child process that may map only 24 MB
    // more than it has: a copy that holds the whole file runs out.
    QTemporaryDir tmp;
    const QString from = tmp.filePath("stor.jpg");
    const QString to = tmp.filePath("kopia.jpg");
    const qint64 size = 64 << 20;
    {
        QFile f(from);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(size));   // sparse: no disk used
    }
    const int status = inChild([&] {
        long pages = 0;
        if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        if (pages <= 0)
            return 3;
        const rlim_t room = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (24 << 20);
        const rlimit limit{room, room};
        ::setrlimit(RLIMIT_AS, &limit);
        return ::copyReplacing(from, to).failed() ? 1 : 0;
    });
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, qPrintable(QString::number(status, 16)));
    QCOMPARE(QFileInfo(to).size(), size);
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
