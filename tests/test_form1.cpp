// The main window as a user meets it: controls, start values, small rules,
// the percentage box, the picture list and its drops.
#include "app/form1.h"
#include "app/language.h"
#include "app/picturelist.h"
#include "app/version.h"
#include "files.h"
#include "mainwindowtest.h"
#include "scriptedseam.h"
#include "testmain.h"
#include <QtTest>
#include <QMenu>
#include <QClipboard>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

class TestForm1 : public MainWindowTest {
    Q_OBJECT
private slots:
    void window();
    void controls_data();
    void controls();
    void tabOrder();
    void qualityTyping_data();
    void qualityTyping();
    void qualityCaretStays();
    void chkwebEnablesSettings();
    void scrollBars_data();
    void scrollBars();
    void percentDialog_data();
    void percentDialog();
    void percentDefault();
    void drops();
    void listRowsShowWholeLetters();
    void pasteDeleteAndMenu_data();
    void pasteDeleteAndMenu();
    void dropOfNonLocalData();
    void clearAndRebuild();
    void swedishStandardButtons();
    void keysOnControls_data();
    void keysOnControls();

private:
    template <typename T = QWidget>
    T *child(const char *name) const
    {
        return main->findChild<T *>(QString::fromUtf8(name));
    }
    QRadioButton *opt(int index) const
    {
        for (auto *b : main->findChildren<QRadioButton *>(QStringLiteral("optlås")))
            if (b->property("index").toInt() == index)
                return b;
        return nullptr;
    }
    void drop(const QList<QUrl> &urls);
    QStringList listItems() const;
};

void TestForm1::window()
{
    QCOMPARE(main->windowTitle(), QStringLiteral("Tumbilder"));
    QCOMPARE(main->size(), QSize(488, 422));
    QCOMPARE(main->minimumSize(), main->maximumSize());
    QVERIFY(!(main->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(main->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!main->windowIcon().isNull());
    QVERIFY(!child<QLabel>("Image1")->pixmap().isNull());
    QCOMPARE(versionText(), QStringLiteral("1.30"));
    QCOMPARE(main->sizeMode(), SizeMode::LockBoth);
    QCOMPARE(main->outputFormat(), OutputFormat::Jpg);
    QVERIFY(main->cmdprocentTag().isEmpty());
    QVERIFY(!main->folderMark());
    QVERIFY(child<QPushButton>("Command1")->font().bold());
    QVERIFY(!child<QPushButton>("cmdhelp")->font().bold());
    QCOMPARE(child("Picture1")->toolTip(), QStringLiteral("Klicka för att välja bakgrundsfärg"));
    QVERIFY(!child<QLineEdit>("Text1")->isEnabled());
    QCOMPARE(child<QLineEdit>("Text1")->maxLength(), 3);
    QCOMPARE(child<QLineEdit>("Text2")->maxLength(), 3);
}

// The main window's controls, one row each: name, kind, the window
// or frame they are in, caption, place and size in twips. A label that sizes
// itself to its caption has its place only (0 x 0).
void TestForm1::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checked");
    auto row = [](const char *name, const char *kind, const char *in, const char *caption, int l, int t, int w,
                  int h, bool enabled = true, bool checked = false) {
        QTest::newRow(name) << QString::fromUtf8(name) << kind << in << QString::fromUtf8(caption)
                            << QRect(l, t, w, h) << enabled << checked;
    };
    row("Frame2", "QGroupBox", "Form1", "", 120, 0, 1815, 1095);
    row("Label1", "QLabel", "Frame2", "Höjd", 120, 240, 375, 255);
    row("Text1", "QLineEdit", "Frame2", "237", 720, 240, 615, 285, false);
    row("Label3", "QLabel", "Frame2", "pxl", 1440, 240, 0, 0);
    row("Label2", "QLabel", "Frame2", "Bredd", 120, 600, 495, 255);
    row("Text2", "QLineEdit", "Frame2", "237", 720, 600, 615, 285, false);
    row("Label4", "QLabel", "Frame2", "pxl", 1440, 600, 0, 0);
    row("Frame1", "QGroupBox", "Form1", "", 2040, 0, 1575, 1095);
    row("optlås(0)", "QRadioButton", "Frame1", "Lås höjd", 120, 120, 1215, 195);
    row("optlås(1)", "QRadioButton", "Frame1", "Lås bredd", 120, 360, 1095, 195);
    row("optlås(2)", "QRadioButton", "Frame1", "Lås båda", 120, 600, 1215, 195, true, true);
    row("optlås(3)", "QRadioButton", "Frame1", "Procent", 120, 840, 855, 195);
    row("cmdprocent", "QPushButton", "Frame1", "...", 1080, 795, 255, 225);
    row("Frame3", "QGroupBox", "Form1", "", 3720, 0, 3495, 1095);
    row("Label6", "QLabel", "Frame3", "Lägg till", 120, 240, 975, 255);
    row("plusfilnamn1", "QLineEdit", "Frame3", "", 720, 240, 1095, 285);
    row("Label8", "QLabel", "Frame3", "innan filnamnet.", 1920, 240, 1215, 255);
    row("Label7", "QLabel", "Frame3", "Lägg till", 120, 600, 855, 255);
    row("plusfilnamn2", "QLineEdit", "Frame3", "_s", 720, 600, 1095, 285);
    row("Label9", "QLabel", "Frame3", "efter filnamnet.", 1920, 600, 1095, 255);
    row("Image1", "QLabel", "Form1", "", 6720, 120, 480, 480);
    row("HScroll1", "QScrollBar", "Form1", "", 360, 1200, 3615, 255);
    row("VScroll1", "QScrollBar", "Form1", "", 120, 1440, 255, 3615);
    row("Picture1", "CanvasView", "Form1", "", 360, 1440, 3615, 3615);
    row("Label5", "QLabel", "Form1", "Dra & släpp dina bilder i listan nedan.", 4080, 1200, 3255, 255);
    row("List1", "PictureList", "Form1", "", 4080, 1440, 3135, 2595);
    row("cmdtestabild", "QPushButton", "Form1", "Testa markerad bild", 4080, 4080, 1815, 375);
    row("cmd_tömlista", "QPushButton", "Form1", "Töm lista", 6000, 4080, 1215, 375);
    row("Command1", "QPushButton", "Form1", "Kör!", 4080, 4560, 1815, 495);
    row("cmdhelp", "QPushButton", "Form1", "&Hjälp", 6000, 4560, 1215, 495);
    row("Frame4", "QGroupBox", "Form1", "Spara som", 120, 5160, 3855, 1095);
    row("optbmp", "QRadioButton", "Frame4", "BMP", 120, 240, 735, 255);
    row("optjpg", "QRadioButton", "Frame4", "JPG", 120, 480, 615, 255, true, true);
    row("Label10", "QLabel", "Frame4", "-------> Kvalitet (1 - 100):", 840, 480, 1935, 255);
    row("txtjpg", "QLineEdit", "Frame4", "65", 2760, 480, 735, 285);
    row("optgif", "QRadioButton", "Frame4", "GIF", 120, 720, 615, 255);
    row("Frame5", "QGroupBox", "Form1", "Websida", 4080, 5160, 3135, 1095);
    row("chkweb", "QCheckBox", "Frame5", "Skapa websida med bilderna", 120, 240, 2895, 255);
    row("cmdweb", "QPushButton", "Frame5", "Inställningar...", 1200, 600, 1335, 375, false);
}

void TestForm1::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, in);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    QFETCH(bool, enabled);
    QFETCH(bool, checked);
    // A member of a control array is its name and its index: optlås(2).
    QWidget *w = name.endsWith(')') ? opt(name.at(name.size() - 2).digitValue())
                                    : main->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), kind);
    QCOMPARE(w->parentWidget()->objectName(), in);
    const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(twips.isEmpty() ? QRect(w->pos(), QSize(0, 0)) : w->geometry(), pixels);
    QCOMPARE(w->isEnabled(), enabled);
    QString text;
    if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        text = b->text();
        QCOMPARE(b->isChecked(), checked);
    } else if (auto *l = qobject_cast<QLabel *>(w)) {
        text = l->text();
    } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
        text = e->text();
    } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
        text = g->title();
    }
    QCOMPARE(text, caption);
}

void TestForm1::tabOrder()
{
    const QList<QWidget *> expected = {
        child("Picture1"), child("List1"), child("HScroll1"), child("VScroll1"), child("cmd_tömlista"),
        child("Command1"), child("cmdtestabild"), child("cmdhelp"), opt(0), opt(1), opt(2), child("plusfilnamn2"),
        child("plusfilnamn1"), child("optjpg"), child("txtjpg"), opt(3), child("cmdprocent"), child("chkweb")};
    // Disabled read-outs, unchecked members of a group and the disabled
    // settings button are skipped by Tab; the chain itself holds them all.
    QList<QWidget *> chain;
    QWidget *w = child("Picture1");
    for (int i = 0; i < 40 && w; ++i) {
        if (w->isEnabled() && w->focusPolicy() & Qt::TabFocus && !chain.contains(w))
            chain << w;
        w = w->nextInFocusChain();
        if (w == child("Picture1"))
            break;
    }
    QList<QWidget *> filtered;
    for (QWidget *c : chain)
        if (expected.contains(c))
            filtered << c;
    QCOMPARE(filtered, expected);
}

void TestForm1::qualityTyping_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("afterLeaving");
    QTest::addColumn<Qt::FocusReason>("leaving");
    const auto tab = Qt::TabFocusReason;
    QTest::newRow("digit by digit") << "42" << "42" << "42" << tab;
    QTest::newRow("100") << "100" << "100" << "100" << tab;
    QTest::newRow("700 becomes 100 at the third digit") << "700" << "100" << "100" << tab;
    QTest::newRow("0 becomes 65") << "0" << "65" << "65" << tab;
    QTest::newRow("abc becomes 65") << "abc" << "65" << "65" << tab;
    // A lone minus has no number yet and becomes 65, so -5 only arrives pasted.
    QTest::newRow("minus typed") << "-5" << "100" << "100" << tab;
    QTest::newRow("nothing typed stays empty") << "" << "" << "65" << tab;
    // The box's own menu, or another program, takes the focus only for a while.
    QTest::newRow("empty while its menu is open") << "" << "" << "" << Qt::PopupFocusReason;
    QTest::newRow("empty while in another window") << "" << "" << "" << Qt::ActiveWindowFocusReason;
}

void TestForm1::qualityTyping()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(QString, afterLeaving);
    QFETCH(Qt::FocusReason, leaving);
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    auto *box = child<QLineEdit>("txtjpg");
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QString());
    QTest::keyClicks(box, keys);
    QCOMPARE(box->text(), shown);
    if (leaving == Qt::TabFocusReason) {
        child("plusfilnamn1")->setFocus(leaving);
    } else {
        QFocusEvent out(QEvent::FocusOut, leaving);
        QCoreApplication::sendEvent(box, &out);
    }
    QCOMPARE(box->text(), afterLeaving);
}

void TestForm1::qualityCaretStays()
{
    child<QLineEdit>("txtjpg")->selectAll();
    child<QLineEdit>("txtjpg")->insert(QStringLiteral("-5"));
    QCOMPARE(child<QLineEdit>("txtjpg")->text(), QStringLiteral("-5"));
    auto *box = child<QLineEdit>("txtjpg");
    box->setText(QStringLiteral("85"));
    box->setCursorPosition(1);
    main->txtjpg_Change();
    QCOMPARE(box->cursorPosition(), 1);
}

void TestForm1::chkwebEnablesSettings()
{
    main->show();
    auto *chk = child<QCheckBox>("chkweb");
    auto *settings = child<QPushButton>("cmdweb");
    QTest::mouseClick(chk, Qt::LeftButton);
    QVERIFY(settings->isEnabled());
    QTest::mouseClick(chk, Qt::LeftButton);
    QVERIFY(!settings->isEnabled());
}

void TestForm1::scrollBars_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("readout");
    QTest::newRow("minimum") << 1215 << "77";
    QTest::newRow("maximum") << 3615 << "237";
    QTest::newRow("middle") << 2400 << "156";
}

void TestForm1::scrollBars()
{
    QFETCH(int, value);
    QFETCH(QString, readout);
    auto *h = child<QScrollBar>("HScroll1");
    auto *v = child<QScrollBar>("VScroll1");
    QCOMPARE(h->minimum(), 1215);
    QCOMPARE(h->maximum(), 3615);
    QCOMPARE(h->singleStep(), 25);
    QCOMPARE(h->pageStep(), 100);
    // Leave the start value first so the handler runs even for 3615.
    h->setValue(3000);
    v->setValue(3000);
    h->setValue(value);
    QCOMPARE(child<QLineEdit>("Text2")->text(), readout);
    QCOMPARE(child<QLineEdit>("Text1")->text(), QStringLiteral("196"));
    v->setValue(value);
    QCOMPARE(child<QLineEdit>("Text1")->text(), readout);
    QCOMPARE(main->canvas().width(), float(value));
    QCOMPARE(main->canvas().height(), float(value));
    QCOMPARE(main->canvas().innerPixels(), QSize(readout.toInt(), readout.toInt()));
    QCOMPARE(main->picture2Inner(), QSize(readout.toInt(), readout.toInt()));
}

void TestForm1::percentDialog_data()
{
    QTest::addColumn<QList<std::optional<QString>>>("answers");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("boxesShown");
    using A = QList<std::optional<QString>>;
    QTest::newRow("75 at once") << A{QStringLiteral("75")} << "75" << 1;
    QTest::newRow("1 and 100 are accepted") << A{QStringLiteral("1")} << "1" << 1;
    QTest::newRow("100") << A{QStringLiteral("100")} << "100" << 1;
    QTest::newRow("refusals bring the box back")
        << A{QStringLiteral("0"), QStringLiteral("101"), QStringLiteral("-5"), QStringLiteral("abc"), QString(),
             QStringLiteral("40000"), QStringLiteral("0.5"), QStringLiteral("1.5")}
        << "2" << 8;
    // Cancel, Escape and the close box leave the percentage as it was.
    QTest::newRow("cancel") << A{std::nullopt} << "" << 1;
    QTest::newRow("cancel after a refusal") << A{QStringLiteral("0"), std::nullopt} << "" << 2;
}

void TestForm1::percentDialog()
{
    QFETCH(QList<std::optional<QString>>, answers);
    QFETCH(QString, tag);
    QFETCH(int, boxesShown);
    seam->answers = answers;
    const CanvasSize before{main->canvas().width(), main->canvas().height()};
    main->cmdprocent_Click();
    QCOMPARE(seam->inputs.size(), boxesShown);
    for (const auto &input : seam->inputs) {
        QCOMPARE(input.prompt, QStringLiteral("Ange önskad storlek av originalstorleken, i procent (1 - 100)"));
        QCOMPARE(input.title, QStringLiteral("Procent av original"));
        QCOMPARE(input.defaultText, QStringLiteral("50"));
    }
    QCOMPARE(main->cmdprocentTag(), tag);
    QCOMPARE(child("cmdprocent")->toolTip(), tag.isEmpty() ? QString() : tag + "%");
    QCOMPARE(main->sizeMode(), SizeMode::LockBoth);
    QCOMPARE(main->canvas().width(), before.width);
}

void TestForm1::percentDefault()
{
    main->show();
    QTest::mouseClick(opt(0), Qt::LeftButton);
    QVERIFY(main->cmdprocentTag().isEmpty());
    QTest::mouseClick(opt(3), Qt::LeftButton);
    QCOMPARE(main->sizeMode(), SizeMode::Percent);
    QCOMPARE(main->cmdprocentTag(), QStringLiteral("50"));
    QCOMPARE(child("cmdprocent")->toolTip(), QStringLiteral("50%"));
    seam->answers = {QStringLiteral("75")};
    main->cmdprocent_Click();
    QTest::mouseClick(opt(0), Qt::LeftButton);
    QTest::mouseClick(opt(3), Qt::LeftButton);
    QCOMPARE(main->cmdprocentTag(), QStringLiteral("75"));
    seam->answers = {std::nullopt};
    main->cmdprocent_Click();
    QCOMPARE(main->cmdprocentTag(), QStringLiteral("75"));
}

void TestForm1::drop(const QList<QUrl> &urls)
{
    auto *list = child<QListWidget>("List1");
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = list->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropEvent(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &dropEvent);
}

QStringList TestForm1::listItems() const
{
    QStringList items;
    auto *list = child<QListWidget>("List1");
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

void TestForm1::pasteDeleteAndMenu_data()
{
    QTest::addColumn<QString>("clipboard");   // "urls": a URI list; otherwise the text itself
    QTest::addColumn<QStringList>("added");   // names in the folder
    QTest::addColumn<bool>("message");        // "Ett fel uppstod: 13" after it
    QTest::newRow("a file manager's URI list") << "urls" << QStringList{"a.jpg", "c d.gif"} << false;
    QTest::newRow("text: copy, URIs and a path")
        << "copy\nfile://DIR/a.jpg\nDIR/b.txt\nDIR/c d.gif\n" << QStringList{"a.jpg", "c d.gif"} << false;
    QTest::newRow("text with a web address") << "DIR/a.jpg\nhttps://example.org/x.jpg\nDIR/c d.gif"
                                             << QStringList{"a.jpg"} << true;
    QTest::newRow("text that is no file") << "hej" << QStringList{} << false;
}

// Ctrl+V pastes files as a drop of them; Delete and the list's menu remove
// and add pictures, the file dialog starting where it was last used.
void TestForm1::pasteDeleteAndMenu()
{
    QFETCH(QString, clipboard);
    QFETCH(QStringList, added);
    QFETCH(bool, message);
    QTemporaryDir dir;
    const QString d = dir.path();
    auto *mime = new QMimeData;
    if (clipboard == "urls")
        mime->setUrls({QUrl::fromLocalFile(d + "/a.jpg"), QUrl::fromLocalFile(d + "/b.txt"),
                       QUrl::fromLocalFile(d + "/c d.gif")});
    else
        mime->setText(QString(clipboard).replace("DIR", d));
    QGuiApplication::clipboard()->setMimeData(mime);
    main->show();
    auto *list = child<QListWidget>("List1");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    QStringList expected;
    for (const QString &name : added)
        expected << d + "/" + name;
    QCOMPARE(listItems(), expected);
    QCoreApplication::processEvents();
    QCOMPARE(seam->messages.size(), message ? 1 : 0);

    auto *menu = list->findChild<QMenu *>();
    auto action = [menu](const char *name) { return menu->findChild<QAction *>(QString::fromUtf8(name)); };
    seam->files = {{d + "/e.bmp", d + "/f.png", d + "/g.txt"}, {}};
    action("läggTill")->trigger();
    expected << d + "/e.bmp" << d + "/f.png";
    QCOMPARE(listItems(), expected);
    action("läggTill")->trigger();   // cancelled: nothing more
    QCOMPARE(seam->fileDialogs.size(), 2);
    QCOMPARE(seam->fileDialogs[0].prompt, QDir::homePath());
    QCOMPARE(seam->fileDialogs[1].prompt, d);
    for (const char *pattern : {"*.jpeg", "*.JPEG", "*.png", "*.webp", "*.heic", "*.HEIC", "*.avif", "*.tif"})
        QVERIFY2(seam->fileDialogs[0].defaultText.contains(pattern), pattern);
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Delete);
    expected.removeFirst();
    QCOMPARE(listItems(), expected);
    list->setCurrentRow(0);
    action("taBort")->trigger();
    if (!expected.isEmpty())
        expected.removeFirst();
    QCOMPARE(listItems(), expected);
    list->addItem(d + "/g.jpg");
    action("tömLista")->trigger();
    QVERIFY(listItems().isEmpty());
}

// The window's small face gets rows tall enough for its letters: in a
// selected row of underscores, the underscores show.
void TestForm1::listRowsShowWholeLetters()
{
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    auto *list = child<QListWidget>("List1");
    list->addItem(QStringLiteral("______"));
    list->addItem(QStringLiteral("gjy"));
    list->setCurrentRow(0);
    const QImage shot = list->viewport()->grab().toImage();
    const QRect row = list->visualItemRect(list->item(0));
    const QRgb highlight = shot.pixel(row.right() - 1, row.top() + 1);
    // The lowest line of the row with ink on it: the underscores, whole,
    // with the row's own colour below them.
    int lowest = -1;
    for (int y = row.top(); y <= row.bottom(); ++y)
        for (int x = row.left(); x < row.left() + row.width() / 2; ++x)
            if (shot.pixel(x, y) != highlight)
                lowest = y;
    QVERIFY(lowest >= 0);
    QVERIFY2(lowest < row.bottom() - 1, qPrintable(QStringLiteral("ink at %1 of %2").arg(lowest).arg(row.bottom())));
}

void TestForm1::drops()
{
    QTemporaryDir dir;
    const QString d = dir.path() + "/";
    // A folder, even one named like a picture, brings the pictures directly
    // inside it in reading order: not its subfolders, not other files, not
    // the thumbnails of its pictures as the window names them.
    QDir().mkpath(d + "x.jpg/under");
    for (const char *inside : {"x.jpg/b10.jpg", "x.jpg/b2.GIF", "x.jpg/text.txt", "x.jpg/under/c.jpg",
                               "x.jpg/b2_s.jpg", "x.jpg/tn_b10.gif", "x.jpg/c.png", "x.jpg/d.PEF"})
        QVERIFY(TestFiles::put(d + inside, "bild"));
    const QStringList names = {"a.JPG", "b.txt", "c.jpeg", "d", "semester.2003.jpg", "x.jpg", "med mellanslag.gif",
                               "blåbär.BMP", "bild.Jpeg", "bild.tif", "noext.", "trail.jpg.", "#&'.jpg",
                               "skärm.png", "webb.WebP", "iphone.HEIC", "ny.avif", "rå.srw", "lager.psd"};
    QList<QUrl> urls;
    for (const QString &n : names)
        urls << QUrl::fromLocalFile(d + n);
    drop(urls);
    const QStringList expected = {d + "a.JPG", d + "c.jpeg", d + "semester.2003.jpg", d + "x.jpg/b2.GIF",
                                  d + "x.jpg/b10.jpg", d + "x.jpg/c.png", d + "x.jpg/tn_b10.gif",
                                  d + "med mellanslag.gif", d + "blåbär.BMP", d + "bild.Jpeg", d + "bild.tif",
                                  d + "#&'.jpg", d + "skärm.png", d + "webb.WebP", d + "iphone.HEIC", d + "ny.avif"};
    QCOMPARE(listItems(), expected);
    // The same files again: duplicates are kept, appended in order.
    drop({QUrl::fromLocalFile(d + "a.JPG")});
    QCOMPARE(listItems(), expected + QStringList{d + "a.JPG"});
    // The naming at the time of the drop tells the thumbnails.
    child<QLineEdit>("plusfilnamn1")->setText("tn_");
    child<QLineEdit>("plusfilnamn2")->clear();
    child<QRadioButton>("optgif")->click();
    drop({QUrl::fromLocalFile(d + "x.jpg")});
    QCOMPARE(listItems().mid(expected.size() + 1),
             (QStringList{d + "x.jpg/b2_s.jpg", d + "x.jpg/b2.GIF", d + "x.jpg/b10.jpg", d + "x.jpg/c.png"}));
    // Neither a raw file nor a name that is not text (Latin-1 café, as a
    // file manager sends it) is taken as a picture; the run says so.
    drop({QUrl::fromLocalFile(d + "IMG_1.PEF"),
          QUrl::fromEncoded("file://" + QUrl::toPercentEncoding(d, "/") + "caf%E9.jpg")});
    QCOMPARE(listItems().size(), expected.size() + 5);

    // A deep path shows its end, the file name whole; the item and its
    // tooltip keep the whole path.
    main->show();
    auto *list = child<PictureList>("List1");
    const QString deep = d + "Bilder/2024/Semester/Fjällen/Sverige/nature/Aqua.jpg";
    main->List1_OLEDragDrop({deep});
    QListWidgetItem *row = list->item(list->count() - 1);
    QCOMPARE(row->text(), deep);
    QCOMPARE(row->toolTip(), deep);
    const QString shown = list->shownText(list->count() - 1);
    QVERIFY2(shown.startsWith(QStringLiteral("\u2026/")) && shown.endsWith("/nature/Aqua.jpg"), qPrintable(shown));
    QVERIFY(list->fontMetrics().horizontalAdvance(shown) <= list->visualItemRect(row).width());
}

void TestForm1::dropOfNonLocalData()
{
    drop({QUrl::fromLocalFile("/tmp/a.jpg"), QUrl("https://example.org/b.jpg"), QUrl::fromLocalFile("/tmp/c.jpg")});
    QCOMPARE(listItems(), QStringList{"/tmp/a.jpg"});
    // Not inside the drop, but right after it.
    QVERIFY(seam->messages.isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].text, QStringLiteral("Ett fel uppstod: 13"));
    QCOMPARE(seam->messages[0].title, QStringLiteral("Tumbilder"));
    QCOMPARE(seam->messages[0].icon, Seam::Icon::None);
}

void TestForm1::clearAndRebuild()
{
    main->List1_OLEDragDrop({"/bilder/sol.jpg", "/sol.jpg", "//server/share/a.gif"});
    QCOMPARE(main->listJobs(), (QList<PictureJob>{{"/bilder/", "sol.jpg"}, {"/", "sol.jpg"},
                                                      {"//server/share/", "a.gif"}}));
    main->listwebfiler = {{"/bilder/", "sol.jpg", "sol_s"}};
    main->List1_OLEDragDrop({"/ny/b.bmp"});
    const QList<PictureJob> jobs = main->listJobs();
    QCOMPARE(jobs.size(), 4);
    QCOMPARE(jobs.last().folder, QStringLiteral("/ny/"));
    main->cmd_tomlista_Click();
    QVERIFY(listItems().isEmpty());
    QVERIFY(main->listJobs().isEmpty());
    QCOMPARE(main->listwebfiler.size(), 1);   // gallery entries stay
    main->cmd_tomlista_Click();               // on an empty list: nothing happens
    QVERIFY(listItems().isEmpty());
}

void TestForm1::swedishStandardButtons()
{
    QVERIFY(installSwedishQtTexts(QCoreApplication::instance()));
    QMessageBox box(QMessageBox::Warning, "Tumbilder", "x", QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Avbryt"));
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove('&'), QStringLiteral("Ja"));
}

void TestForm1::keysOnControls_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("held");   // a repeat of a key held down
    QTest::addColumn<QString>("effect");
    auto row = [](const char *tag, const char *control, int key, const char *effect, bool held = false) {
        QTest::newRow(tag) << QString::fromUtf8(control) << key << held << QString::fromUtf8(effect);
    };
    row("Enter on Töm lista", "cmd_tömlista", Qt::Key_Return, "list emptied");
    row("keypad Enter on Töm lista", "cmd_tömlista", Qt::Key_Enter, "list emptied");
    row("held Enter on Töm lista", "cmd_tömlista", Qt::Key_Return, "", true);
    row("Enter on Hjälp", "cmdhelp", Qt::Key_Return, "shown frmhelp");
    row("Enter on the canvas", "Picture1", Qt::Key_Return, "shown frmbakgrund");
    row("Space on the canvas", "Picture1", Qt::Key_Space, "shown frmbakgrund");
    row("held Space on the canvas", "Picture1", Qt::Key_Space, "", true);
    row("a letter on the canvas", "Picture1", Qt::Key_A, "");
    row("Enter in a text box", "plusfilnamn1", Qt::Key_Return, "");
}

// The main window is no dialog, yet Enter presses the focused button there,
// as Space does, and Enter or Space on the canvas asks for the colour.
void TestForm1::keysOnControls()
{
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(bool, held);
    QFETCH(QString, effect);
    main->List1_OLEDragDrop({QStringLiteral("/finns/inte.jpg")});
    main->show();
    QWidget *w = child(control.toUtf8().constData());
    QVERIFY(w);
    w->setFocus();
    const Qt::KeyboardModifiers modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    if (held) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), true);
        QCoreApplication::sendEvent(w, &press);
    } else {
        QTest::keyClick(w, Qt::Key(key), modifiers);
    }
    QStringList seen;
    if (child<QListWidget>("List1")->count() == 0)
        seen << QStringLiteral("list emptied");
    for (const QString &name : seam->shown)
        seen << QStringLiteral("shown ") + name;
    for (const auto &m : seam->messages)
        seen << QStringLiteral("message ") + m.text;
    for (const auto &input : seam->inputs)
        seen << QStringLiteral("input ") + input.title;
    QCOMPARE(seen.join(QStringLiteral("; ")), effect);
}

TUMBILDER_TEST_MAIN(TestForm1)
#include "test_form1.moc"
