// Every window as a screen reader meets it: each control has a name and the
// right role, no two share a name by mistake, the focus shows where the
// control draws none of its own, and a colour can be chosen by keyboard only.
#include "app/form1.h"
#include "app/version.h"
#include "scriptedseam.h"
#include "mainwindowtest.h"
#include "testmain.h"
#include "windows/form2.h"
#include "windows/frmbakgrund.h"
#include "windows/frmhelp.h"
#include "windows/frmweb.h"
#include <QtTest>
#include <QAccessible>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>

namespace {

struct Row {
    const char *window;
    const char *control;   // objectName, "name(i)" for a member of an array; "" for the window
    QAccessible::Role role;
    const char *name;
    const char *description = "";
    const char *value = "";   // what is read as its value, where it has one
};

using R = QAccessible::Role;
const QList<Row> &table()
{
    static const QList<Row> rows = {
        {"Form1", "", R::Window, "Tumbilder"},
        {"Form1", "Frame2", R::Grouping, "Storlek i pixlar"},
        {"Form1", "Text1", R::EditableText, "Höjd i pixlar"},
        {"Form1", "Text2", R::EditableText, "Bredd i pixlar"},
        {"Form1", "Frame1", R::Grouping, "Storleksläge"},
        {"Form1", "cmdprocent", R::Button, "Ange procent"},
        {"Form1", "Frame3", R::Grouping, "Tillägg till filnamnet"},
        {"Form1", "plusfilnamn1", R::EditableText, "Lägg till innan filnamnet"},
        {"Form1", "plusfilnamn2", R::EditableText, "Lägg till efter filnamnet"},
        {"Form1", "Image1", R::Graphic, "Tumbilders ikon"},
        // The thumbnail's size as the read-outs show it, not the twips they hold.
        {"Form1", "HScroll1", R::ScrollBar, "Miniatyrens bredd", "", "237 bildpunkter"},
        {"Form1", "VScroll1", R::ScrollBar, "Miniatyrens höjd", "", "237 bildpunkter"},
        {"Form1", "Picture1", R::Button, "Förhandsvisning, klicka för bakgrundsfärg",
         "Klicka för att välja bakgrundsfärg"},
        {"Form1", "List1", R::List, "Bildlista", "Dra & släpp dina bilder i listan nedan."},
        {"Form1", "Frame4", R::Grouping, "Spara som"},
        {"Form1", "txtjpg", R::EditableText, "Kvalitet (1 - 100)"},
        {"Form1", "Frame5", R::Grouping, "Websida"},

        {"frmweb", "", R::Dialog, "Skapa websida"},
        {"frmweb", "Frame1", R::Grouping, "Välj mapp"},
        {"frmweb", "Dir1", R::Tree, "Mappar"},
        {"frmweb", "Drive1", R::ComboBox, "Enhet"},
        {"frmweb", "Frame2", R::Grouping, "Sidans inställningar"},
        {"frmweb", "listkolumn", R::ComboBox, "Kolumner"},
        {"frmweb", "txtmapp", R::EditableText, "Spara i mapp"},
        {"frmweb", "txttitel", R::EditableText, "Titel"},
        {"frmweb", "chkmodern", R::CheckBox, "Modern sida (för mobil och surfplatta)"},

        {"frmhelp", "", R::Dialog, "Hjälp"},
        {"frmhelp", "List1", R::List, "Välj ämne"},
        {"frmhelp", "Text1", R::EditableText, "Hjälptext"},

        {"frmbakgrund", "", R::Dialog, "Bakgrundsfärg"},
        // A swatch is called by its colour.
        {"frmbakgrund", "lbl(0)", R::Button, "Vit"},
        {"frmbakgrund", "lbl(7)", R::Button, "Svart"},
        {"frmbakgrund", "lbl(3)", R::Button, "Orange"},
        {"frmbakgrund", "lbl(12)", R::Button, "Marinblå"},

        {"Form2", "", R::Dialog, "Info"},
        {"Form2", "Text1", R::EditableText, "Rapport"},
    };
    return rows;
}

// Controls of one window that may share a name: those listed here, and a
// label with the box it names.
const QMap<QString, QList<QStringList>> AllowedPairs = {
    {"Form1", {{"Label3", "Label4"}, {"Label6", "Label7"}}},
};

// Ours, as opposed to the parts Qt builds inside a control.
bool isControl(const QWidget *w)
{
    return !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"));
}

QString key(const QWidget *w)
{
    const QVariant index = w->property("index");
    return index.isValid() ? QStringLiteral("%1(%2)").arg(w->objectName()).arg(index.toInt()) : w->objectName();
}

QStringList labelNames(QAccessibleInterface *iface)
{
    QStringList names;
    for (const auto &relation : iface->relations(QAccessible::Label))
        if (relation.first->role() == QAccessible::StaticText)
            names << relation.first->text(QAccessible::Name);
    return names;
}

// What a screen reader calls the control. On Linux Qt gives a combo box its
// value as its name, as GTK does, and a reader finds what it is from the
// labels that name it; elsewhere from its name.
QString calledBy(QAccessibleInterface *iface)
{
#ifdef Q_OS_UNIX
    if (iface->role() == QAccessible::ComboBox) {
        const QStringList labels = labelNames(iface);
        return labels.isEmpty() ? static_cast<QWidget *>(iface->object())->accessibleName() : labels.join(' ');
    }
#endif
    return iface->text(QAccessible::Name);
}

// Pixels in the two-pixel ring around `r` that differ between two grabs.
int ringChanges(const QImage &a, const QImage &b, const QRect &r)
{
    int changed = 0;
    const QRect outer = r.adjusted(-2, -2, 2, 2) & a.rect();
    for (int y = outer.top(); y <= outer.bottom(); ++y)
        for (int x = outer.left(); x <= outer.right(); ++x)
            if (!r.contains(x, y) && a.pixel(x, y) != b.pixel(x, y))
                ++changed;
    return changed;
}
}

class TestAccess : public MainWindowTest {
    Q_OBJECT
private slots:
    void controls_data();
    void controls();
    void everyControlNamedOnce_data();
    void everyControlNamedOnce();
    void focusShows_data();
    void focusShows();
    void colourByKeyboardOnly();
    void readerPresses();
    void progressIsRead();

private:
    QWidget *window(const QString &name)
    {
        if (name == QLatin1String("Form1"))
            return main.get();
        if (name == QLatin1String("frmweb"))
            return main->webSettings();
        if (name == QLatin1String("Form2"))
            return main->report();
        if (name == QLatin1String("frmhelp"))
            return new frmhelp(main.get(), versionText());
        return new frmbakgrund(main.get());
    }
    static QWidget *control(QWidget *window, const QString &key)
    {
        if (key.isEmpty())
            return window;
        for (QWidget *w : window->findChildren<QWidget *>())
            if (isControl(w) && ::key(w) == key)
                return w;
        return nullptr;
    }

};

void TestAccess::controls_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("value");
    for (const Row &r : table())
        QTest::addRow("%s %s", r.window, *r.control ? r.control : "window")
            << QString::fromUtf8(r.window) << QString::fromUtf8(r.control) << int(r.role)
            << QString::fromUtf8(r.name) << QString::fromUtf8(r.description) << QString::fromUtf8(r.value);
}

void TestAccess::controls()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QString, value);
    QWidget *w = TestAccess::control(this->window(window), control);
    QVERIFY(w);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    QVERIFY(iface);
    QCOMPARE(int(iface->role()), role);
    QVERIFY(!iface->text(QAccessible::Name).isEmpty());
    QCOMPARE(calledBy(iface), name);
    QCOMPARE(iface->text(QAccessible::Description), description);
    if (!value.isEmpty()) {
        QCOMPARE(iface->text(QAccessible::Value), value);
        QVERIFY(iface->valueInterface());
        QCOMPARE(iface->valueInterface()->currentValue().toInt(), value.section(' ', 0, 0).toInt());
    }
}

void TestAccess::everyControlNamedOnce_data()
{
    QTest::addColumn<QString>("window");
    for (const char *w : {"Form1", "frmweb", "frmhelp", "frmbakgrund", "Form2"})
        QTest::newRow(w) << QString::fromUtf8(w);
}

// Each control is called something, and two controls share a name only
// where that is meant.
void TestAccess::everyControlNamedOnce()
{
    QFETCH(QString, window);
    QWidget *top = this->window(window);
    QMap<QString, QWidget *> byName;
    for (QWidget *w : top->findChildren<QWidget *>()) {
        if (!isControl(w))
            continue;
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        QVERIFY2(iface, qPrintable(key(w)));
        const QString name = calledBy(iface);
        QVERIFY2(!name.isEmpty(), qPrintable(key(w)));
        if (QWidget *other = byName.value(name)) {
            auto buddy = [](QWidget *label, QWidget *box) {
                auto *l = qobject_cast<QLabel *>(label);
                return l && l->buddy() == box;
            };
            const QStringList pair = {key(other), key(w)};
            const bool allowed = buddy(other, w) || buddy(w, other)
                                 || AllowedPairs.value(window).contains(pair)
                                 || AllowedPairs.value(window).contains(QStringList{pair[1], pair[0]});
            QVERIFY2(allowed, qPrintable(QStringLiteral("%1 and %2: %3").arg(pair[0], pair[1], name)));
        }
        byName.insert(name, w);
    }
    if (window == QLatin1String("frmbakgrund")) {
        QCOMPARE(top->findChildren<QLabel *>(QStringLiteral("lbl")).size(), 36);
        for (QLabel *swatch : top->findChildren<QLabel *>(QStringLiteral("lbl")))
            QCOMPARE(QAccessible::queryAccessibleInterface(swatch)->role(), QAccessible::Button);
    }
}

void TestAccess::focusShows_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("before");   // where the focus is first
    QTest::newRow("canvas") << "Form1" << "Picture1" << "List1";
    QTest::newRow("width scroll bar") << "Form1" << "HScroll1" << "List1";
    QTest::newRow("first swatch") << "frmbakgrund" << "lbl(0)" << "lbl(10)";
}

// A frame shows around the control while it has the keyboard focus, and goes
// with the focus; the canvas's picture never gets it.
void TestAccess::focusShows()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, before);
    QWidget *top = this->window(window);
    top->show();
    top->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(top));
    QWidget *w = TestAccess::control(top, control);
    QWidget *elsewhere = TestAccess::control(top, before);
    QVERIFY(w && elsewhere);
    const QImage thumbnail = main->canvas().persistentImage();

    elsewhere->setFocus(Qt::TabFocusReason);
    const QImage unfocused = top->grab().toImage();
    w->setFocus(Qt::TabFocusReason);
    QVERIFY(w->hasFocus());
    const QImage focused = top->grab().toImage();
    const QRect at(w->mapTo(top, QPoint(0, 0)), w->size());
    const int ring = (at.adjusted(-2, -2, 2, 2) & top->rect()).width() * 2;   // about one side's worth
    QVERIFY2(ringChanges(unfocused, focused, at) >= ring,
             qPrintable(QString::number(ringChanges(unfocused, focused, at))));
    elsewhere->setFocus(Qt::TabFocusReason);
    QCOMPARE(ringChanges(unfocused, top->grab().toImage(), at), 0);
    QCOMPARE(main->canvas().persistentImage(), thumbnail);
}

// Tab to the canvas, Enter, arrows to a swatch, Enter: the canvas takes that
// colour.
void TestAccess::colourByKeyboardOnly()
{
    main->show();
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    auto press = [](QWidget *top, Qt::Key key) {
        QWidget *focus = top->focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, key);
    };
    // From the last control the focus goes round to the canvas.
    main->findChild<QWidget *>(QStringLiteral("chkweb"))->setFocus(Qt::TabFocusReason);
    press(main.get(), Qt::Key_Tab);
    QCOMPARE(main->focusWidget()->objectName(), QStringLiteral("Picture1"));

    QString chosenName;
    seam->onModal = [&](QDialog *d) {
        d->show();
        press(d, Qt::Key_Down);
        press(d, Qt::Key_Right);
        press(d, Qt::Key_Right);
        chosenName = QAccessible::queryAccessibleInterface(d->focusWidget())->text(QAccessible::Name);
        press(d, Qt::Key_Return);
    };
    press(main.get(), Qt::Key_Return);
    QCOMPARE(seam->shown, QStringList{"frmbakgrund"});
    QCOMPARE(chosenName, QStringLiteral("Vinröd"));
    QCOMPARE(main->canvas().backColour(), ColourValue(0x000080));   // #800000
}

// A screen reader's "press" on the canvas and on a swatch does what a click does.
void TestAccess::readerPresses()
{
    seam->onModal = [](QDialog *d) {
        d->show();
        auto *colours = qobject_cast<frmbakgrund *>(d);
        QAccessibleInterface *swatch = QAccessible::queryAccessibleInterface(colours->lbl(3));
        QVERIFY(swatch->actionInterface());
        QVERIFY(swatch->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        swatch->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(!d->isVisible());
    };
    QAccessibleInterface *canvas = QAccessible::queryAccessibleInterface(main->findChild<QWidget *>("Picture1"));
    canvas->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(seam->shown, QStringList{"frmbakgrund"});
    QCOMPARE(main->canvas().backColour(), ColourValue(33023));   // orange #FF8000
}

// The progress window of a run reads as what it is: its title, its text, a
// named bar with its value and the cancel button.
void TestAccess::progressIsRead()
{
    QTemporaryDir dir;
    main->List1_OLEDragDrop({dir.filePath(QStringLiteral("saknas.jpg"))});
    QStringList read;
    connect(main.get(), &Form1::pictureCommitted, this, [&] {
        auto *progress = main->findChild<QProgressDialog *>();
        QVERIFY(progress);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(progress);
        read << iface->text(QAccessible::Name);
        for (int i = 0; i < iface->childCount(); ++i) {
            QAccessibleInterface *child = iface->child(i);
            read << child->text(QAccessible::Name);
            if (child->role() == QAccessible::ProgressBar)
                read << child->text(QAccessible::Value);
        }
    });
    main->Command1_Click();
    QCOMPARE(read.size(), 5);
    QCOMPARE(read[0], QStringLiteral("Tumbilder"));
    QVERIFY(read[1].startsWith(QStringLiteral("Skapar tumbilder... 1 av 1")));
    QCOMPARE(read.mid(2), (QStringList{"Skapar tumbilder", "1", "Avbryt"}));
}

TUMBILDER_TEST_MAIN(TestAccess)
#include "test_access.moc"
