// The gallery settings window: its controls, closing with "&Stäng" and the
// folder mark, the folder chooser, and what the close box and keys do.
#include "app/form1.h"
#include "windows/frmweb.h"
#include "scriptedseam.h"
#include "mainwindowtest.h"
#include "testmain.h"
#include <QtTest>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>

class TestFrmweb : public MainWindowTest {
    Q_OBJECT
private slots:
    void window();
    void controls_data();
    void controls();
    void tabOrder();
    void columnEntries_data();
    void columnEntries();
    void closeButton_data();
    void closeButton();
    void reopenKeepsSettings();
    void closeBoxDestroys();
    void cancelKeepsText();
    void okPutsFolder_data();
    void okPutsFolder();
    void driveChoice();
    void keysPressNothing_data();
    void keysPressNothing();

private:
    template <typename T = QWidget>
    T *child(const char *name) const
    {
        return web()->findChild<T *>(QString::fromUtf8(name));
    }
    frmweb *web() const { return main->webSettings(); }
    // Opens the window from "Inställningar..." and lets `act` work in it.
    void open(const std::function<void(frmweb *)> &act);

    QTemporaryDir tmp;
};

void TestFrmweb::open(const std::function<void(frmweb *)> &act)
{
    seam->onModal = [act](QDialog *d) {
        d->show();
        act(qobject_cast<frmweb *>(d));
    };
    main->cmdweb_Click();
    seam->onModal = nullptr;
}

void TestFrmweb::window()
{
    frmweb *w = web();
    QCOMPARE(w->objectName(), QStringLiteral("frmweb"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Skapa websida"));
    QCOMPARE(w->size(), QSize(392, 234));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QVERIFY(!(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(w->windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(w->windowIcon().cacheKey(), main->windowIcon().cacheKey());
    QVERIFY(child<QPushButton>("Command2")->font().bold());
    QVERIFY(child<QPushButton>("Command5")->font().bold());
    QVERIFY(!child<QPushButton>("Command3")->font().bold());
    for (auto *b : w->findChildren<QPushButton *>()) {
        QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(b->objectName()));
    }
    QVERIFY(!child<QComboBox>("listkolumn")->isEditable());
    // No caption is cut off, none reaches into its box, and they are in the
    // same face and size as the boxes beside them.
    for (const char *name : {"Label1", "Label2", "Label3"}) {
        auto *label = child<QLabel>(name);
        QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->width(), name);
        QVERIFY2(label->geometry().right() < child("txtmapp")->x(), name);
        QCOMPARE(QFontInfo(label->font()).pixelSize(), QFontInfo(child("txtmapp")->font()).pixelSize());
        QCOMPARE(QFontInfo(label->font()).family(), QFontInfo(child("txtmapp")->font()).family());
    }
    QVERIFY(!child<QCheckBox>("chkwebläsare")->isChecked());
    // The added check box: unticked, its caption whole, in room no other control takes.
    auto *modern = child<QCheckBox>("chkmodern");
    QVERIFY(!modern->isChecked() && !w->modernPage());
    QVERIFY(modern->sizeHint().width() <= modern->width());
    for (QWidget *other : child("Frame2")->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QVERIFY2(other == modern || !other->geometry().intersects(modern->geometry()),
                 qPrintable(other->objectName()));
    QCOMPARE(w->columns(), 3);
    QCOMPARE(w->title(), QStringLiteral("Mina bilder"));
    QCOMPARE(w->folder(), QString());
    QVERIFY(!w->openBrowser());
    QVERIFY(child("Frame1")->isHidden());
    // The chooser starts at the program's current folder.
    QCOMPARE(w->dir1Path(), QDir::toNativeSeparators(QDir::currentPath()));
}

void TestFrmweb::controls_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry");
    auto row = [](const char *name, const char *parent, const char *text, QRect g) {
        QTest::newRow(name) << QString::fromUtf8(parent) << QString::fromUtf8(text) << g;
    };
    row("Frame1", "frmweb", "", QRect(400, 24, 377, 217));
    row("Dir1", "Frame1", "", QRect(8, 40, 353, 141));
    row("Drive1", "Frame1", "", QRect(8, 16, 353, 21));
    row("Command4", "Frame1", "OK", QRect(264, 184, 97, 25));
    row("Command5", "Frame1", "&Avbryt", QRect(168, 184, 89, 25));
    row("Frame2", "frmweb", "", QRect(8, 8, 377, 217));
    row("listkolumn", "Frame2", "", QRect(80, 48, 73, 21));
    row("Command3", "Frame2", "Bläddra...", QRect(288, 96, 73, 22));
    row("chkwebläsare", "Frame2", "Kör webläsaren för att se resultat", QRect(80, 144, 233, 17));
    row("txtmapp", "Frame2", "", QRect(80, 96, 201, 19));
    row("txttitel", "Frame2", "Mina bilder", QRect(80, 72, 281, 19));
    // Wider than designed: in the window's face it needs the room up to its box.
    row("Label3", "Frame2", "Spara i mapp", QRect(8, 96, 72, 17));
    row("Label2", "Frame2", "Titel", QRect(8, 72, 65, 17));
    row("Label1", "Frame2", "Kolumner", QRect(8, 48, 57, 17));
    row("Command2", "Frame2", "&Stäng", QRect(280, 184, 89, 25));
    row("chkmodern", "Frame2", "Modern sida (för mobil och surfplatta)", QRect(80, 120, 281, 17));
}

void TestFrmweb::controls()
{
    QFETCH(QString, parent);
    QFETCH(QString, text);
    QFETCH(QRect, geometry);
    QWidget *w = web()->findChild<QWidget *>(QString::fromUtf8(QTest::currentDataTag()));
    QVERIFY(w);
    QCOMPARE(w->parentWidget()->objectName(), parent);
    QCOMPARE(w->property("text").toString(), text);
    QCOMPARE(w->geometry(), geometry);
}

void TestFrmweb::tabOrder()
{
    const QStringList expected = {"Dir1", "Drive1", "Command4", "Command5", "listkolumn", "Command3",
                                  "chkwebläsare", "txtmapp", "txttitel", "Command2", "chkmodern"};
    QStringList seen;
    QWidget *w = child("Dir1");
    for (int guard = 0; guard < 200 && seen.size() < expected.size(); ++guard, w = w->nextInFocusChain())
        if (expected.contains(w->objectName()) && !seen.contains(w->objectName()))
            seen << w->objectName();
    QCOMPARE(seen, expected);
    // Only the settings page is there to take the focus at first.
    QCOMPARE(web()->focusWidget(), child("listkolumn"));
}

void TestFrmweb::columnEntries_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < 8; ++i)
        QTest::addRow("%d", i + 1) << i;
}

void TestFrmweb::columnEntries()
{
    QFETCH(int, index);
    auto *list = child<QComboBox>("listkolumn");
    QCOMPARE(list->count(), 8);
    QCOMPARE(list->currentIndex(), 2);
    QCOMPARE(list->itemText(index), QString::number(index + 1));
    list->setCurrentIndex(index);
    QCOMPARE(web()->columns(), index + 1);
}

void TestFrmweb::closeButton_data()
{
    QTest::addColumn<QString>("typed");   // relative to the temporary folder; "" types nothing
    QTest::addColumn<bool>("markBefore");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("mark");
    const QString sep = QDir::separator();
    QTest::newRow("existing folder") << "Webb" << false << "Webb" + sep << true;
    QTest::newRow("already ends with separator") << "Webb" + sep << false << "Webb" + sep << true;
    QTest::newRow("missing folder") << "Saknas" << true << "Saknas" + sep << false;
    QTest::newRow("file where the folder should be") << "fil.txt" << true << "fil.txt" + sep << false;
    QTest::newRow("blanks are kept") << "Webb " << true << "Webb " + sep << false;
    QTest::newRow("empty") << "" << true << "" << false;
}

void TestFrmweb::closeButton()
{
    QFETCH(QString, typed);
    QFETCH(bool, markBefore);
    QFETCH(QString, after);
    QFETCH(bool, mark);
    QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("Webb")));
    QFile file(tmp.filePath(QStringLiteral("fil.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString base = QDir::toNativeSeparators(tmp.path()) + QDir::separator();
    main->setFolderMark(markBefore);

    bool stillShown = true;
    open([&](frmweb *w) {
        child<QLineEdit>("txtmapp")->setText(typed.isEmpty() ? QString() : base + typed);
        QTest::mouseClick(child("Command2"), Qt::LeftButton);
        stillShown = w->isVisible();
    });
    QVERIFY(!stillShown);
    QCOMPARE(web()->folder(), after.isEmpty() ? QString() : base + after);
    QCOMPARE(main->folderMark(), mark);
}

void TestFrmweb::reopenKeepsSettings()
{
    const QString folder = QDir::toNativeSeparators(tmp.path()) + QDir::separator();
    frmweb *first = nullptr;
    open([&](frmweb *w) {
        first = w;
        child<QComboBox>("listkolumn")->setCurrentIndex(5);
        child<QLineEdit>("txttitel")->setText(QStringLiteral(" Semester 2024 "));
        child<QCheckBox>("chkwebläsare")->setChecked(true);
        child<QCheckBox>("chkmodern")->setChecked(true);
        child<QLineEdit>("txtmapp")->setText(folder);
        w->Command2_Click();
    });
    QVERIFY(main->folderMark());

    open([&](frmweb *w) {
        QCOMPARE(w, first);
        QCOMPARE(w->columns(), 6);
        QCOMPARE(w->title(), QStringLiteral(" Semester 2024 "));
        QVERIFY(w->openBrowser());
        QVERIFY(w->modernPage());
        QCOMPARE(w->folder(), folder);
        // Emptying the folder takes the mark away.
        child<QLineEdit>("txtmapp")->clear();
        w->Command2_Click();
    });
    QVERIFY(!main->folderMark());
    QCOMPARE(seam->shown, QStringList({"frmweb", "frmweb"}));
}

void TestFrmweb::closeBoxDestroys()
{
    open([&](frmweb *w) {
        child<QComboBox>("listkolumn")->setCurrentIndex(0);
        child<QLineEdit>("txttitel")->setText(QStringLiteral("Annat"));
        child<QCheckBox>("chkwebläsare")->setChecked(true);
        child<QCheckBox>("chkmodern")->setChecked(true);
        child<QLineEdit>("txtmapp")->setText(tmp.path());
        w->Command2_Click();
    });
    QVERIFY(main->folderMark());

    QPointer<frmweb> closed;
    open([&](frmweb *w) {
        closed = w;
        w->close();
    });
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(closed.isNull());
    QVERIFY(!main->folderMark());

    frmweb *fresh = web();
    QCOMPARE(fresh->columns(), 3);
    QCOMPARE(fresh->title(), QStringLiteral("Mina bilder"));
    QCOMPARE(fresh->folder(), QString());
    QVERIFY(!fresh->openBrowser());
    QVERIFY(!fresh->modernPage());
}

void TestFrmweb::cancelKeepsText()
{
    QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("Annan")));
    open([&](frmweb *w) {
        child<QLineEdit>("txtmapp")->setText(QStringLiteral("  min mapp"));
        QTest::mouseClick(child("Command3"), Qt::LeftButton);
        QVERIFY(child("Frame1")->isVisible());
        QCOMPARE(child("Frame1")->pos(), QPoint(8, 8));
        QVERIFY(w->setDir1Path(tmp.filePath(QStringLiteral("Annan"))));
        QTest::mouseClick(child("Command5"), Qt::LeftButton);
        QVERIFY(child("Frame1")->isHidden());
        QCOMPARE(w->folder(), QStringLiteral("  min mapp"));
        w->Command2_Click();
    });
    QCOMPARE(web()->folder(), QStringLiteral("  min mapp") + QDir::separator());
}

void TestFrmweb::okPutsFolder_data()
{
    QTest::addColumn<QString>("chosen");     // "" is the root of the temporary folder's drive
    QTest::addColumn<QString>("afterClose"); // what "&Stäng" leaves, relative to `chosen`
    QTest::newRow("folder") << "Webb" << QString(QDir::separator());
    QTest::newRow("drive root") << "" << "";
}

void TestFrmweb::okPutsFolder()
{
    QFETCH(QString, chosen);
    QFETCH(QString, afterClose);
    QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("Webb")));
    const QString path = chosen.isEmpty() ? QStorageInfo(tmp.path()).rootPath() : tmp.filePath(chosen);
    const QString native = QDir::toNativeSeparators(path);
    open([&](frmweb *w) {
        w->Command3_Click();
        QVERIFY(w->setDir1Path(path));
        QCOMPARE(w->dir1Path(), native);
        QTest::mouseClick(child("Command4"), Qt::LeftButton);
        QVERIFY(child("Frame1")->isHidden());
        QCOMPARE(w->folder(), native);
        w->Command2_Click();
    });
    QCOMPARE(web()->folder(), native + afterClose);
    QVERIFY(main->folderMark());
}

void TestFrmweb::driveChoice()
{
    frmweb *w = web();
    auto *drives = child<QComboBox>("Drive1");
    QVERIFY(drives->count() > 0);
    QVERIFY(w->setDir1Path(tmp.path()));
    const QString before = w->dir1Path();

    // A drive that went away since the list was filled is ignored silently.
    drives->addItem(QStringLiteral("borta"), tmp.filePath(QStringLiteral("borta")));
    drives->setCurrentIndex(drives->count() - 1);
    QCOMPARE(w->dir1Path(), before);
    QVERIFY(seam->messages.isEmpty());

    // Choosing the program's own drive goes to the program's current folder.
    const int own = drives->findData(QStorageInfo(QDir::currentPath()).rootPath());
    QVERIFY(own >= 0);
    drives->setCurrentIndex(own);
    QCOMPARE(w->dir1Path(), QDir::toNativeSeparators(QDir::currentPath()));
}

void TestFrmweb::keysPressNothing_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("key");
    for (const char *target : {"frmweb", "txtmapp", "txttitel", "Command2", "Command3"}) {
        QTest::addRow("Enter in %s", target) << QString::fromUtf8(target) << int(Qt::Key_Return);
        QTest::addRow("keypad Enter in %s", target) << QString::fromUtf8(target) << int(Qt::Key_Enter);
        QTest::addRow("Escape in %s", target) << QString::fromUtf8(target) << int(Qt::Key_Escape);
    }
}

void TestFrmweb::keysPressNothing()
{
    QFETCH(QString, target);
    QFETCH(int, key);
    QPointer<frmweb> w = web();
    QSignalSpy marks(w, &frmweb::folderMarkChanged);
    child<QLineEdit>("txtmapp")->setText(QStringLiteral("abc"));
    w->show();
    QWidget *receiver = target == w->objectName() ? w.data() : child(target.toUtf8().constData());
    QVERIFY(receiver);
    QTest::keyClick(receiver, Qt::Key(key));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!w.isNull());
    QVERIFY(w->isVisible());
    QVERIFY(child("Frame1")->isHidden());
    QCOMPARE(marks.count(), 0);
    QCOMPARE(w->folder(), QStringLiteral("abc"));
}

TUMBILDER_TEST_MAIN(TestFrmweb)
#include "test_frmweb.moc"
