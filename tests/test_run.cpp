// One run without a window: its threads, its cancel, and the names its
// pictures claim.
#include "run/run.h"
#include "thumbs/report.h"
#include "files.h"
#include "testmain.h"
#include "testpictures.h"
#include <QTemporaryDir>

class TestRun : public QObject {
    Q_OBJECT
private slots:
    void runsOnce_data();
    void runsOnce();
    void oneThumbnailName_data();
    void oneThumbnailName();
};

namespace {
RunRequest request(const QString &dir, const QStringList &files, bool update = false, const QString &target = {})
{
    RunRequest r;
    SaveSettings save;
    save.update = update;
    save.targetFolder = target;
    r.settings = thumbnailSettings(SizeMode::LockBoth, {1800, 1800}, {}, 0xC0C0C0, save);
    for (const QString &file : files)
        r.jobs.append({dir + '/', file});
    return r;
}
}

// The workers, the memory budget and the cancel belong to one run: a run on
// the caller's thread claims memory as one with workers does, and a cancel
// before it starts makes nothing.
void TestRun::runsOnce_data()
{
    QTest::addColumn<int>("threads");
    QTest::addColumn<bool>("cancelFirst");
    QTest::newRow("workers") << 2 << false;
    QTest::newRow("own thread") << 0 << false;
    QTest::newRow("cancelled before, workers") << 2 << true;
    QTest::newRow("cancelled before, own thread") << 0 << true;
}

void TestRun::runsOnce()
{
    QFETCH(int, threads);
    QFETCH(bool, cancelFirst);
    QTemporaryDir tmp;
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        TestPictures::writeJpeg(tmp.path(), name, TestPictures::photo({64, 48}, name[0]));
    for (int round = 0; round < 2; ++round) {
        Run run(request(tmp.path(), {"a.jpg", "b.jpg", "c.jpg"}, true), threads);
        if (cancelFirst)
            run.cancel();
        const RunResult r = std::move(run).execute();
        QCOMPARE(r.cancelled, cancelFirst);
        QCOMPARE(r.written, cancelFirst ? 0 : round == 0 ? 3 : 0);
        QCOMPARE(r.made, cancelFirst || round == 0 ? 0 : 3);
        QCOMPARE(r.report.first(), cancelFirst ? ReportLine::cancelled() : ReportLine::allWell());
    }
}

// Two pictures that want one thumbnail name (x.png beside x.jpg; the same
// name in two folders with one target): the first has it, the second is
// reported and never counted as made, with or without update.
void TestRun::oneThumbnailName_data()
{
    QTest::addColumn<bool>("update");
    QTest::addColumn<bool>("twoFolders");
    QTest::newRow("one folder") << false << false;
    QTest::newRow("one folder, update") << true << false;
    QTest::newRow("two folders, one target") << false << true;
    QTest::newRow("two folders, one target, update") << true << true;
}

void TestRun::oneThumbnailName()
{
    QFETCH(bool, update);
    QFETCH(bool, twoFolders);
    QTemporaryDir tmp;
    const QString out = tmp.filePath("ut/");
    QVERIFY(QDir().mkpath(out) && QDir().mkpath(tmp.filePath("feb")) && QDir().mkpath(tmp.filePath("mar")));
    const QString first = TestPictures::writeJpeg(tmp.filePath("feb"), "x.jpg", TestPictures::photo({64, 48}, 1));
    const QString second = twoFolders
                               ? TestPictures::writeJpeg(tmp.filePath("mar"), "x.jpg", TestPictures::photo({64, 48}, 2))
                               : TestPictures::writePng(tmp.filePath("feb"), "x.png", TestPictures::photo({64, 48}, 2));
    RunRequest r = request({}, {}, update, out);
    r.jobs = pictureJobs({first, second});
    for (int round = 0; round < (update ? 2 : 1); ++round) {
        const RunResult result = Run(r, 2).execute();
        QCOMPARE(result.written + result.made, 1);
        QCOMPARE(result.report.first(), ReportLine::exists(out + "x_s.jpg"));
        QVERIFY(result.reported());
    }
    QCOMPARE(TestFiles::listing(out), QStringList{"x_s.jpg"});
}

TUMBILDER_TEST_GUILESS_MAIN(TestRun)
#include "test_run.moc"
