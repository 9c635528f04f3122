// The help window: its controls, both topic texts character for character,
// switching topics with the keys, and a fresh start at every opening.
#include "app/form1.h"
#include "app/version.h"
#include "scriptedseam.h"
#include "windows/frmhelp.h"
#include "mainwindowtest.h"
#include "testmain.h"
#include <QtTest>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
// Written out as the user reads them; every line break is CR LF.
QString crlf(const char *text)
{
    return QString::fromUtf8(text).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

const QString Instructions = crlf(
    R"(Programmet är väldigt enkelt, och det enda det kan är att göra mindre versioner av befintliga filer. En ganska nödvändig sak om du t.ex. ska lägga ut bilder på en egen hemsida. Programmet kan också skapa en websida åt dig, med dina bilder.

Steg för steg:
   1. Öppna filhanteraren och ''dra & släpp'' de filer du vill göra tumbilder av, till listan.
   2. Markera en bild i listan, och klicka på ''Testa markerad bild'' för att se hur den kommer att se ut som miniatyr. Anpassa höjd och bredd genom att dra i skjutreglagen. Klicka på ''Testa markerad bild'' efter att du ändrat storleken, för att se den igen.
   3. Överst i fönstret finns två textfält. Där anger du vad du vill lägga till i filnamnet. Miniatyrbilderna kommer att sparas i samma mapp som originalfilerna, och därför bör de ha ett namn som skiljer dem åt. Välj om du vill addera text innan eller efter originalnamnet, eller både och.
   4. Nöjd? Klicka då på ''Kör!''. Programmet rullar igenom listan och sparar tumbilderna. Enkelt. Smidigt. Billigt.

Om något gått snett (t.ex om en fil redan finns, och inte skapas) får du meddelande om det efteråt.

Klicka på bildramen för att välja bagrundsfärg till miniatyrbilderna.

Du kan välja formatet på tumbilderna enligt följande: Lås höjd, Lås bredd, Lås båda eller Procent. Väljer du Lås båda kommer bredd och höjd aldrig överstiga de mått du ställer in. Väljer du t.ex. Lås bredd, får alla miniatyrbilder den valda bredden, medan höjden kan variera beroende på bildens bredd och höjd-förhållande. Väljer du Procent, kan du genom att klicka på knappen intill, ställa in storleken av originalbildens storlek, i procent.

Om du vill skapa en websida med bilderna, kryssar du helt enkelt i alternativet ''Skapa websida''. Klicka sedan på Inställningar för att bestämma hur sidan ska se ut, sparas osv.

)");

const QString About = crlf(R"(Tumbilder 1.30

Skapat av Tumbilder-projektet
Webb: ingen ännu
E-post: ingen ännu)");

// What the text box shows: one line break for each CR LF.
QString shown(const QString &text)
{
    return QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
}

class TestFrmhelp : public MainWindowTest {
    Q_OBJECT
private slots:
    void window();
    void controls_data();
    void controls();
    void texts_data();
    void texts();
    void arrowKeysSwitchTopics();
    void reopeningStartsAtFirstTopic();
    void typedTextIsReplaced();
    void topicStaysChosen_data();
    void topicStaysChosen();
    void keys();

private:
    template <typename T = QWidget>
    static T *child(QWidget *w, const char *name)
    {
        return w->findChild<T *>(QString::fromUtf8(name));
    }
    // Opens the window from "&Hjälp" and lets `act` work in it.
    void open(const std::function<void(frmhelp *)> &act)
    {
        seam->onModal = [act](QDialog *d) {
            d->show();
            act(qobject_cast<frmhelp *>(d));
        };
        main->cmdhelp_Click();
        seam->onModal = nullptr;
    }

};

void TestFrmhelp::window()
{
    frmhelp help(main.get(), versionText());
    QCOMPARE(help.objectName(), QStringLiteral("frmhelp"));
    QCOMPARE(help.windowTitle(), QStringLiteral("Hjälp"));
    QCOMPARE(help.size(), QSize(330, 324));
    QCOMPARE(help.minimumSize(), help.maximumSize());
    QVERIFY(!(help.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(help.windowIcon().cacheKey(), main->windowIcon().cacheKey());

    auto *list = child<QListWidget>(&help, "List1");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Hur programmet fungerar"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("Om programmet"));
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);

    auto *ok = child<QPushButton>(&help, "Command1");
    QVERIFY(!ok->isDefault() && !ok->autoDefault());

    auto *text = child<QPlainTextEdit>(&help, "Text1");
    QVERIFY(!text->isReadOnly());
    QCOMPARE(text->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    const QStringList order = {"List1", "Command1", "Text1"};
    QStringList seen;
    QWidget *w = list;
    for (int guard = 0; guard < 50 && seen.size() < order.size(); ++guard, w = w->nextInFocusChain())
        if (order.contains(w->objectName()) && !seen.contains(w->objectName()))
            seen << w->objectName();
    QCOMPARE(seen, order);
    QCOMPARE(child<QLabel>(&help, "Label1")->focusPolicy(), Qt::NoFocus);
}

void TestFrmhelp::controls_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("List1") << QString() << QRect(8, 24, 313, 56);
    QTest::newRow("Command1") << "OK" << QRect(272, 296, 49, 25);
    QTest::newRow("Text1") << QString() << QRect(8, 80, 313, 209);
    QTest::newRow("Label1") << QString::fromUtf8("Välj ämne:") << QRect(8, 8, 145, 17);
}

void TestFrmhelp::controls()
{
    QFETCH(QString, text);
    QFETCH(QRect, geometry);
    frmhelp help(main.get(), versionText());
    QWidget *w = help.findChild<QWidget *>(QString::fromUtf8(QTest::currentDataTag()));
    QVERIFY(w);
    QCOMPARE(w->parentWidget(), &help);
    QCOMPARE(w->property("text").toString(), text);
    QCOMPARE(w->geometry(), geometry);
}

void TestFrmhelp::texts_data()
{
    QTest::addColumn<int>("topic");
    QTest::addColumn<QString>("expected");
    QTest::newRow("instructions") << 0 << Instructions;
    QTest::newRow("about") << 1 << About;
}

void TestFrmhelp::texts()
{
    QFETCH(int, topic);
    QFETCH(QString, expected);
    QCOMPARE(versionText(), QStringLiteral("1.30"));
    const QString built = topic == 0 ? frmhelp::instructionsText() : frmhelp::aboutText(versionText());
    QCOMPARE(built, expected);

    frmhelp help(main.get(), versionText());
    child<QListWidget>(&help, "List1")->setCurrentRow(topic);
    QCOMPARE(child<QPlainTextEdit>(&help, "Text1")->toPlainText(), shown(expected));
}

void TestFrmhelp::arrowKeysSwitchTopics()
{
    open([](frmhelp *help) {
        auto *list = child<QListWidget>(help, "List1");
        auto *text = child<QPlainTextEdit>(help, "Text1");
        QCOMPARE(help->focusWidget(), list);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(text->toPlainText(), shown(Instructions));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(text->toPlainText(), shown(About));
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(text->toPlainText(), shown(Instructions));
        help->close();
    });
}

void TestFrmhelp::reopeningStartsAtFirstTopic()
{
    int row = -1;
    QString text;
    QWidget *focus = nullptr;
    QListWidget *list = nullptr;
    open([](frmhelp *help) {
        child<QListWidget>(help, "List1")->setCurrentRow(1);
        child<QPlainTextEdit>(help, "Text1")->setFocus();
        QTest::mouseClick(child(help, "Command1"), Qt::LeftButton);
        QVERIFY(!help->isVisible());
    });
    open([&](frmhelp *help) {
        list = child<QListWidget>(help, "List1");
        row = list->currentRow();
        text = child<QPlainTextEdit>(help, "Text1")->toPlainText();
        focus = help->focusWidget();
        help->close();
    });
    QCOMPARE(row, 0);
    QCOMPARE(text, shown(Instructions));
    QCOMPARE(focus, list);
    QCOMPARE(seam->shown, QStringList({"frmhelp", "frmhelp"}));
}

void TestFrmhelp::typedTextIsReplaced()
{
    frmhelp help(main.get(), versionText());
    auto *list = child<QListWidget>(&help, "List1");
    auto *text = child<QPlainTextEdit>(&help, "Text1");
    QTest::keyClicks(text, QStringLiteral("egen text"));
    QVERIFY(text->toPlainText().contains(QStringLiteral("egen text")));
    list->setCurrentRow(1);
    list->setCurrentRow(0);
    QCOMPARE(text->toPlainText(), shown(Instructions));
}

void TestFrmhelp::topicStaysChosen_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("space");   // Space on the list instead of a click on the topic
    QTest::newRow("click") << Qt::KeyboardModifiers() << false;
    QTest::newRow("Ctrl+click") << Qt::KeyboardModifiers(Qt::ControlModifier) << false;
    QTest::newRow("Ctrl+Space") << Qt::KeyboardModifiers(Qt::ControlModifier) << true;
}

// Choosing the chosen topic again shows its text afresh, and never leaves
// the list with no topic.
void TestFrmhelp::topicStaysChosen()
{
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, space);
    frmhelp help(main.get(), versionText());
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    auto *list = child<QListWidget>(&help, "List1");
    auto *text = child<QPlainTextEdit>(&help, "Text1");
    QTest::keyClicks(text, QStringLiteral("egen text"));
    if (space) {
        QTest::keyClick(list, Qt::Key_Space, modifiers);
    } else {
        const QRect topic = list->visualItemRect(list->item(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, topic.center());
    }
    QCOMPARE(list->selectedItems(), QList<QListWidgetItem *>{list->item(0)});
    QCOMPARE(text->toPlainText(), shown(Instructions));
}

// "OK" is the cancel button: Escape presses it, Enter presses nothing.
void TestFrmhelp::keys()
{
    frmhelp help(main.get(), versionText());
    auto *list = child<QListWidget>(&help, "List1");
    auto *ok = child<QPushButton>(&help, "Command1");
    QSignalSpy pressed(ok, &QPushButton::clicked);
    help.show();
    QTest::keyClick(list, Qt::Key_Return);
    QTest::keyClick(ok, Qt::Key_Return);
    QTest::keyClick(&help, Qt::Key_Enter);
    QVERIFY(help.isVisible());
    QCOMPARE(pressed.count(), 0);
    QTest::keyClick(list, Qt::Key_Escape);
    QCOMPARE(pressed.count(), 1);
    QVERIFY(!help.isVisible());
}

TUMBILDER_TEST_MAIN(TestFrmhelp)
#include "test_frmhelp.moc"
