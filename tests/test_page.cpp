// The gallery page: its exact bytes, and writing it beside copies of the
// full-size pictures.
#include "gallery/modernpage.h"
#include "gallery/page.h"
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include "filesizelimit.h"
#include "testmain.h"
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(OutputFormat)

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(data), data.size());
}

// A small real picture, distinct per `shade`.
void makePicture(const QString &path, int shade, int size = 1)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(qRgb(shade, 255 - shade, 128));
    QVERIFY(image.save(path));
}

// The page's lines without their CR LF; empty when any line ends otherwise.
QList<QByteArray> pageLines(const QByteArray &page)
{
    if (!page.endsWith("\r\n") || page.count('\n') != page.count("\r\n")
        || page.count('\r') != page.count("\r\n"))
        return {};
    QList<QByteArray> lines = page.split('\n');
    lines.removeLast();
    for (QByteArray &l : lines)
        l.chop(1);
    return lines;
}

QByteArray exampleFile()
{
    return readAll(QFINDTESTDATA("data/gallery-example.html"));
}

QByteArray titleLine(const QByteArray &title)
{
    return "<HEAD><TITLE>" + title + "</TITLE></HEAD>";
}

QByteArray headingLine(const QByteArray &title)
{
    return "<TR><TD ALIGN=CENTER><FONT face=\"Verdana, Arial, Helvetica, Sans-Serif\" "
           "size=\"+1\"><B>" + title + "</B></FONT></TD></TR>";
}

QByteArray cellLine(const QByteArray &href, const QByteArray &src, const QByteArray &name)
{
    return "<TD ALIGN=CENTER VALIGN=BOTTOM><FONT face=\"Verdana, Arial, Helvetica, Sans-Serif\" "
           "size=\"-2\"><A HREF=\"" + href + "\"><IMG SRC=\"" + src + "\" ALT=\"" + name
        + "\"><BR>" + name + "</A></FONT></TD>";
}

QList<GalleryEntry> pictures(const QString &folder, int count)
{
    QList<GalleryEntry> entries;
    for (int i = 0; i < count; ++i) {
        const QString base = QString(QChar('a' + i));
        entries.append({folder, base + QStringLiteral(".bmp"), base + QStringLiteral("_s")});
    }
    return entries;
}

QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".tumbilder-*")}, QDir::Files | QDir::Hidden);
}
}

class TestPage : public QObject {
    Q_OBJECT
private slots:
    void workedExample();
    void rows_data();
    void rows();
    void title_data();
    void title();
    void fileNames_data();
    void fileNames();
    void writeGallery_copiesAndReplaces();
    void writeGallery_inPicturesFolder_data();
    void writeGallery_inPicturesFolder();
    void writeGallery_failure_data();
    void writeGallery_failure();
};

void TestPage::workedExample()
{
    const QString foto = QStringLiteral("/home/anna/Foto/");
    const PageSettings settings{QStringLiteral("Mina bilder"), 2, QStringLiteral("/home/anna/Webb/"),
                                OutputFormat::Jpg};
    const QList<GalleryEntry> entries{{foto, "a.jpg", "a_s"}, {foto, "b.jpg", "b_s"},
                                      {foto, "c.jpg", "c_s"}};
    const QByteArray expected = exampleFile();
    QVERIFY(!expected.isEmpty());
    QCOMPARE(pagePath(settings), QStringLiteral("/home/anna/Webb/bilder.html"));
    QCOMPARE(renderPage(settings, entries), expected);
    QCOMPARE(pageLines(expected).size(), 17);
}

void TestPage::rows_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("shape");   // c: a cell line, /: a row end

    QTest::newRow("3 pictures, 2 columns") << 2 << 3 << "cc/c";
    QTest::newRow("4 pictures, 2 columns") << 2 << 4 << "cc/cc/";
    QTest::newRow("1 column") << 1 << 3 << "c/c/c/";
    QTest::newRow("8 columns, 3 pictures") << 8 << 3 << "ccc";
    QTest::newRow("6 pictures, 3 columns") << 3 << 6 << "ccc/ccc/";
    QTest::newRow("no pictures") << 3 << 0 << "";
}

void TestPage::rows()
{
    QFETCH(int, columns);
    QFETCH(int, count);
    QFETCH(QString, shape);

    const PageSettings settings{QStringLiteral("Mina bilder"), columns, QStringLiteral("/webb/"),
                                OutputFormat::Jpg};
    const QList<GalleryEntry> entries = pictures(QStringLiteral("/foto/"), count);
    const QList<QByteArray> lines = pageLines(renderPage(settings, entries));
    const QList<QByteArray> example = pageLines(exampleFile());
    QCOMPARE(lines.size(), 9 + shape.size() + 4);
    QCOMPARE(lines.first(9), example.first(9));
    QCOMPARE(lines.last(4), example.last(4));

    int cell = 0;
    for (int i = 0; i < shape.size(); ++i) {
        const QByteArray &l = lines[9 + i];
        if (shape[i] == QLatin1Char('/')) {
            QCOMPARE(l, QByteArray("</tr>"));
        } else {
            const GalleryEntry &e = entries[cell++];
            QCOMPARE(l, cellLine(e.file.toLatin1(), e.thumb.toLatin1() + ".jpg", e.file.toLatin1()));
        }
    }
    QCOMPARE(cell, count);
}

void TestPage::title_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArray>("modern");   // in the modern page, declared UTF-8

    QTest::newRow("å ä ö are references")
        << QStringLiteral("Från sjön: åäö ÅÄÖ")
        << QByteArray("Fr&#229;n sj&#246;n: &#229;&#228;&#246; &#197;&#196;&#214;")
        << QStringLiteral("Från sjön: åäö ÅÄÖ").toUtf8();
    QTest::newRow("what Windows-1252 puts at 0x80-0x9F")
        << QStringLiteral("5€ – “bra” • Œ Ÿ ž")
        << QByteArray("5&#8364; &#8211; &#8220;bra&#8221; &#8226; &#338; &#376; &#382;")
        << QStringLiteral("5€ – “bra” • Œ Ÿ ž").toUtf8();
    QTest::newRow("empty") << QString() << QByteArray() << QByteArray();
    QTest::newRow("markup is escaped")
        << QStringLiteral("<b>Tom & \"Jerry\"</b>")
        << QByteArray("&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;")
        << QByteArray("&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;");
    QTest::newRow("outside Windows-1252")
        << QStringLiteral("あ 😀 Ł") << QByteArray("&#12354; &#128512; &#321;")
        << QStringLiteral("あ 😀 Ł").toUtf8();
    QTest::newRow("C1 control and an undefined byte's code point")
        << QStringLiteral("a\u0081b") << QByteArray("a&#129;b") << QByteArray("a&#129;b");
    QTest::newRow("line break cannot split the line")
        << QStringLiteral("rad\r\nny") << QByteArray("rad&#13;&#10;ny") << QByteArray("rad&#13;&#10;ny");
}

void TestPage::title()
{
    QFETCH(QString, title);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, modern);

    const PageSettings settings{title, 3, QStringLiteral("/webb/"), OutputFormat::Jpg};
    const QByteArray page = renderPage(settings, pictures(QStringLiteral("/foto/"), 1));
    QVERIFY(!page.startsWith("\xEF\xBB\xBF"));
    QVERIFY(!page.toLower().contains("charset"));
    const QList<QByteArray> lines = pageLines(page);
    QCOMPARE(lines.size(), 14);
    QCOMPARE(lines[1], titleLine(expected));
    QCOMPARE(lines[4], headingLine(expected));

    const QList<QByteArray> modernLines =
        renderModernPage(settings, pictures(QStringLiteral("/foto/"), 1)).split('\n');
    QCOMPARE(modernLines.first(4), (QList<QByteArray>{"<!doctype html>", "<html lang=\"sv\">", "<head>",
                                                      "<meta charset=\"utf-8\">"}));
    QVERIFY(modernLines.contains("<title>" + modern + "</title>"));
    // An empty title makes no empty heading.
    QCOMPARE(modernLines.contains("<h1>" + modern + "</h1>"), !modern.isEmpty());
    QVERIFY(!modernLines.contains("<h1></h1>"));
}

void TestPage::fileNames_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("thumb");
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QByteArray>("href");
    QTest::addColumn<QByteArray>("src");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("modernName");   // in the modern page, declared UTF-8

    QTest::newRow("space, #, %")
        << "semester #1 100%.jpg" << "semester #1 100%_s" << OutputFormat::Jpg
        << QByteArray("semester%20%231%20100%25.jpg") << QByteArray("semester%20%231%20100%25_s.jpg")
        << QByteArray("semester #1 100%.jpg")
        << QByteArray("semester #1 100%.jpg");
    QTest::newRow("markup characters")
        << "Tom & \"Jerry\" <1>.gif" << "Tom & \"Jerry\" <1>" << OutputFormat::Gif
        << QByteArray("Tom%20&amp;%20&quot;Jerry&quot;%20&lt;1&gt;.gif")
        << QByteArray("Tom%20&amp;%20&quot;Jerry&quot;%20&lt;1&gt;.gif")
        << QByteArray("Tom &amp; &quot;Jerry&quot; &lt;1&gt;.gif")
        << QByteArray("Tom &amp; &quot;Jerry&quot; &lt;1&gt;.gif");
    QTest::newRow("? and å")
        << "fråga?.bmp" << "tn_fråga?" << OutputFormat::Bmp
        << QByteArray("fr%C3%A5ga%3F.bmp") << QByteArray("tn_fr%C3%A5ga%3F.bmp") << QByteArray("fr&#229;ga?.bmp")
        << QStringLiteral("fråga?.bmp").toUtf8();
    QTest::newRow("a colon would read as a scheme")
        << "foto:1.jpg" << "foto:1_s" << OutputFormat::Jpg
        << QByteArray("foto%3A1.jpg") << QByteArray("foto%3A1_s.jpg") << QByteArray("foto:1.jpg")
        << QByteArray("foto:1.jpg");
    QTest::newRow("backslash is a separator in file URLs")
        << "a\\b.jpg" << "a\\b_s" << OutputFormat::Jpg
        << QByteArray("a%5Cb.jpg") << QByteArray("a%5Cb_s.jpg") << QByteArray("a\\b.jpg")
        << QByteArray("a\\b.jpg");
    QTest::newRow("line break")
        << "rad\nny.jpg" << "rad\nny_s" << OutputFormat::Jpg
        << QByteArray("rad%0Any.jpg") << QByteArray("rad%0Any_s.jpg") << QByteArray("rad&#10;ny.jpg")
        << QByteArray("rad&#10;ny.jpg");
    QTest::newRow("outside Windows-1252")
        << "あ.jpg" << "あ_s" << OutputFormat::Jpg
        << QByteArray("%E3%81%82.jpg") << QByteArray("%E3%81%82_s.jpg") << QByteArray("&#12354;.jpg")
        << QStringLiteral("あ.jpg").toUtf8();
    QTest::newRow("euro and apostrophe")
        << "Annas 5€ 'bok'.jpg" << "Annas 5€ 'bok'_s" << OutputFormat::Jpg
        << QByteArray("Annas%205%E2%82%AC%20'bok'.jpg") << QByteArray("Annas%205%E2%82%AC%20'bok'_s.jpg")
        << QByteArray("Annas 5&#8364; 'bok'.jpg")
        << QStringLiteral("Annas 5€ 'bok'.jpg").toUtf8();
    QTest::newRow("a comma would split a srcset list")
        << ",a,b.jpg" << ",a,b_s" << OutputFormat::Jpg
        << QByteArray(",a,b.jpg") << QByteArray(",a,b_s.jpg") << QByteArray(",a,b.jpg") << QByteArray(",a,b.jpg");
}

void TestPage::fileNames()
{
    QFETCH(QString, file);
    QFETCH(QString, thumb);
    QFETCH(OutputFormat, format);
    QFETCH(QByteArray, href);
    QFETCH(QByteArray, src);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, modernName);

    const PageSettings settings{QStringLiteral("Mina bilder"), 3, QStringLiteral("/webb/"), format};
    const QList<QByteArray> lines = pageLines(renderPage(settings, {{"/foto/", file, thumb}}));
    QCOMPARE(lines.size(), 14);
    QCOMPARE(lines[9], cellLine(href, src, name));

    // The modern page: a comma is percent-encoded too, so no URL splits a srcset list.
    const QString ext = formatExtension(format);
    const QByteArray modernSrc = QByteArray(src).replace(",", "%2C");
    const GalleryEntry entry{"/foto/", file, thumb, QSize(120, 80), thumb + "@2x" + ext, {}};
    const QByteArray cell = "<li><a href=\"" + QByteArray(href).replace(",", "%2C") + "\"><img src=\"" + modernSrc
                            + "\" srcset=\"" + modernSrc.chopped(4) + "@2x" + ext.toLatin1()
                            + " 2x\" width=\"120\" height=\"80\" alt=\"" + modernName
                            + "\" loading=\"lazy\"><span aria-hidden=\"true\">" + modernName + "</span></a></li>";
    QVERIFY2(renderModernPage(settings, {entry}).split('\n').contains(cell), cell.constData());
}

void TestPage::writeGallery_copiesAndReplaces()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString foto = tmp.filePath("foto/"), other = tmp.filePath("annan/"), webb = tmp.filePath("webb/");
    for (const QString &d : {foto, other, webb})
        QVERIFY(QDir().mkpath(d));
    makePicture(foto + "a.bmp", 10);
    makePicture(foto + "b b.bmp", 20);
    makePicture(other + "a.bmp", 30, 2);   // same name, later in the run: its copy wins
    makePicture(webb + "b b.bmp", 40, 3);  // stale copy from an earlier run
    writeAll(webb + "bilder.html", "<HTML>gammal</HTML>\r\n");
    // A picture named like a thumbnail the run made for the page.
    makePicture(foto + "a_s.bmp", 50, 5);
    makePicture(webb + "a_s.bmp", 60, 4);
    const QByteArray thumbnail = readAll(webb + "a_s.bmp");

    const PageSettings settings{QStringLiteral("Sommar"), 2, webb, OutputFormat::Bmp};
    const QList<GalleryEntry> entries{{foto, "a.bmp", "a_s"}, {foto, "b b.bmp", "b b_s"},
                                      {other, "a.bmp", "a_s"}, {foto, "a_s.bmp", "a_s_s"}};
    const PageOutcome written = writeGallery(settings, entries, {webb + "a_s.bmp"});
    QVERIFY2(!written.failure.failed(), qPrintable(written.failure.description));
    QVERIFY(!written.cancelled);
    QCOMPARE(written.leftOut, QStringList{foto + "a_s.bmp"});

    QCOMPARE(readAll(webb + "bilder.html"), renderPage(settings, entries.first(3)));
    QCOMPARE(readAll(webb + "a.bmp"), readAll(other + "a.bmp"));
    QCOMPARE(readAll(webb + "b b.bmp"), readAll(foto + "b b.bmp"));
    QCOMPARE(readAll(webb + "a_s.bmp"), thumbnail);
    QCOMPARE(QDir(webb).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({"a.bmp", "a_s.bmp", "b b.bmp", "bilder.html"}));
}

void TestPage::writeGallery_inPicturesFolder_data()
{
    QTest::addColumn<QString>("spelling");
    QTest::newRow("same folder text") << "foto/";
    QTest::newRow("another spelling of the folder") << "foto/../foto/./";
}

void TestPage::writeGallery_inPicturesFolder()
{
    QFETCH(QString, spelling);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString foto = tmp.filePath("foto/");
    QVERIFY(QDir().mkpath(foto));
    makePicture(foto + "a.jpg", 50, 16);
    makePicture(foto + "b.jpg", 90, 16);
    const QByteArray a = readAll(foto + "a.jpg"), b = readAll(foto + "b.jpg");

    const PageSettings settings{QStringLiteral("Mina bilder"), 3, tmp.filePath(spelling), OutputFormat::Jpg};
    const QList<GalleryEntry> entries{{foto, "a.jpg", "a_s"}, {foto, "b.jpg", "b_s"}};
    const Failure f = writeGallery(settings, entries).failure;
    QVERIFY2(!f.failed(), qPrintable(f.description));
    QCOMPARE(readAll(foto + "a.jpg"), a);
    QCOMPARE(readAll(foto + "b.jpg"), b);
    QCOMPARE(readAll(foto + "bilder.html"), renderPage(settings, entries));
    QVERIFY(!QImage(foto + "a.jpg").isNull());
}

void TestPage::writeGallery_failure_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<int>("errnum");
    QTest::addColumn<QStringList>("copied");   // pictures in the page folder afterwards

    QTest::newRow("second picture missing") << "missing" << ENOENT << QStringList{"a.bmp"};
    QTest::newRow("page folder vanished") << "vanished" << ENOENT << QStringList{};
    QTest::newRow("a file where the page folder should be") << "file" << ENOTDIR << QStringList{};
    QTest::newRow("page larger than the disk allows")
        << "limit" << EFBIG << QStringList{"a.bmp", "b.bmp", "c.bmp"};
    QTest::newRow("cancelled after the first copy") << "cancel" << 0 << QStringList{"a.bmp"};
}

void TestPage::writeGallery_failure()
{
    QFETCH(QString, trouble);
    QFETCH(int, errnum);
    QFETCH(QStringList, copied);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString foto = tmp.filePath("foto/"), webb = tmp.filePath("webb/");
    QVERIFY(QDir().mkpath(foto));
    QVERIFY(QDir().mkpath(webb));
    const QList<GalleryEntry> entries = pictures(foto, 3);
    for (int i = 0; i < entries.size(); ++i)
        makePicture(foto + entries[i].file, 60 * i);
    const QByteArray oldPage = "<HTML>gammal</HTML>\r\n";
    writeAll(webb + "bilder.html", oldPage);

    QString pageFolder = webb;
    if (trouble == "missing") {
        QVERIFY(QFile::remove(foto + "b.bmp"));
    } else if (trouble == "vanished") {
        QVERIFY(QDir(webb).removeRecursively());
    } else if (trouble == "file") {
        pageFolder = tmp.filePath("fil/");
        writeAll(tmp.filePath("fil"), "ingen mapp");
    }
    const PageSettings settings{QStringLiteral("Mina bilder"), 3, pageFolder, OutputFormat::Bmp};

    PageOutcome outcome;
    int asked = 0;
    const auto cancelled = [&] { return trouble == "cancel" && ++asked > 1; };
    {
        // The pictures fit under the limit; the page does not.
        std::optional<FileSizeLimit> limit;
        if (trouble == "limit") {
            QVERIFY(readAll(foto + "a.bmp").size() < 200);
            QVERIFY(renderPage(settings, entries).size() > 400);
            limit.emplace(300);
        }
        outcome = writeGallery(settings, entries, {}, cancelled);
    }
    const Failure &f = outcome.failure;
    QCOMPARE(f.number, errnum);
    QCOMPARE(f.description.isEmpty(), errnum == 0);
    QCOMPARE(outcome.cancelled, trouble == "cancel");

    if (trouble == "vanished") {
        QVERIFY(!QFileInfo::exists(webb));
        return;
    }
    if (trouble == "file") {
        QCOMPARE(readAll(tmp.filePath("fil")), QByteArray("ingen mapp"));
        return;
    }
    QCOMPARE(readAll(webb + "bilder.html"), oldPage);
    QStringList present = QDir(webb).entryList({"*.bmp"}, QDir::Files, QDir::Name);
    QCOMPARE(present, copied);
    for (const QString &name : copied)
        QCOMPARE(readAll(webb + name), readAll(foto + name));
    QVERIFY(leftovers(webb).isEmpty());
}

TUMBILDER_TEST_GUILESS_MAIN(TestPage)
#include "test_page.moc"
