#include "windows/layout.h"
#include "frmhelp.h"
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const QString CrLf = QStringLiteral("\r\n");
}

frmhelp::frmhelp(QWidget *mainWindow, const QString &versionText)
    : QDialog(mainWindow, DialogFlags),
      m_version(versionText)
{
    setUpWindow(this, "frmhelp", QStringLiteral("Hjälp"), 4950, 4860, mainWindow);

    Label1 = place(new QLabel(QStringLiteral("Välj ämne:"), this), "Label1", tw(120, 120, 2175, 255));

    List1 = place(new QListWidget(this), "List1", tw(120, 360, 4695, 840));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setSortingEnabled(false);
    labelWith(List1, QStringLiteral("Välj ämne"), {Label1});

    Command1 = place(new QPushButton(QStringLiteral("OK"), this), "Command1", tw(4080, 4440, 735, 375));
    // "OK" is the cancel button: Escape presses it, Enter does not.
    Command1->setAutoDefault(false);
    Command1->setDefault(false);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    Text1 = place(new QPlainTextEdit(this), "Text1", tw(120, 1200, 4695, 3135), QStringLiteral("Hjälptext"));
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setTabChangesFocus(true);

    QWidget::setTabOrder(List1, Command1);
    QWidget::setTabOrder(Command1, Text1);

    // Any change of the selection, by mouse, arrow keys or the load step
    // below, shows that topic at once. A topic stays chosen: Ctrl+click or
    // Ctrl+Space on it chooses it again rather than leaving none.
    connect(List1, &QListWidget::itemSelectionChanged, this, [this] {
        if (List1->selectedItems().isEmpty() && List1->currentItem())
            List1->currentItem()->setSelected(true);   // comes back here
        else
            List1_Click();
    });
    // A click on the chosen topic shows its text afresh, as a click on the other one does.
    connect(List1, &QListWidget::itemClicked, this, [this] { List1_Click(); });
    List1->addItem(QStringLiteral("Hur programmet fungerar"));
    List1->addItem(QStringLiteral("Om programmet"));
    List1->setCurrentRow(0);
    List1->setFocus();

    centreOnScreen(this);
}

QString frmhelp::instructionsText()
{
    return QStringLiteral(
        "Programmet är väldigt enkelt, och det enda det kan är att göra mindre versioner av befintliga filer. En ganska nödvändig sak om du t.ex. ska lägga ut bilder på en egen hemsida. Programmet kan också skapa en websida åt dig, med dina bilder."
        "\r\n\r\n"
        "Steg för steg:"
        "\r\n"
        "   1. Öppna filhanteraren och ''dra & släpp'' de filer du vill göra tumbilder av, till listan."
        "\r\n"
        "   2. Markera en bild i listan, och klicka på ''Testa markerad bild'' för att se hur den kommer att se ut som miniatyr. Anpassa höjd och bredd genom att dra i skjutreglagen. Klicka på ''Testa markerad bild'' efter att du ändrat storleken, för att se den igen."
        "\r\n"
        "   3. Överst i fönstret finns två textfält. Där anger du vad du vill lägga till i filnamnet. Miniatyrbilderna kommer att sparas i samma mapp som originalfilerna, och därför bör de ha ett namn som skiljer dem åt. Välj om du vill addera text innan eller efter originalnamnet, eller både och."
        "\r\n"
        "   4. Nöjd? Klicka då på ''Kör!''. Programmet rullar igenom listan och sparar tumbilderna. Enkelt. Smidigt. Billigt."
        "\r\n\r\n"
        "Om något gått snett (t.ex om en fil redan finns, och inte skapas) får du meddelande om det efteråt."
        "\r\n\r\n"
        "Klicka på bildramen för att välja bagrundsfärg till miniatyrbilderna."
        "\r\n\r\n"
        "Du kan välja formatet på tumbilderna enligt följande: Lås höjd, Lås bredd, Lås båda eller Procent. Väljer du Lås båda kommer bredd och höjd aldrig överstiga de mått du ställer in. Väljer du t.ex. Lås bredd, får alla miniatyrbilder den valda bredden, medan höjden kan variera beroende på bildens bredd och höjd-förhållande. Väljer du Procent, kan du genom att klicka på knappen intill, ställa in storleken av originalbildens storlek, i procent."
        "\r\n\r\n"
        "Om du vill skapa en websida med bilderna, kryssar du helt enkelt i alternativet ''Skapa websida''. Klicka sedan på Inställningar för att bestämma hur sidan ska se ut, sparas osv."
        "\r\n\r\n");
}

QString frmhelp::aboutText(const QString &versionText)
{
    return QStringLiteral("Tumbilder ") + versionText + CrLf
           + CrLf
           + QStringLiteral("Skapat av Tumbilder-projektet") + CrLf
           // No made-up address: the project has no home of its own yet.
           + QStringLiteral("Webb: ingen ännu") + CrLf
           + QStringLiteral("E-post: ingen ännu");
}

void frmhelp::List1_Click()
{
    const QList<QListWidgetItem *> selected = List1->selectedItems();
    const int index = selected.isEmpty() ? -1 : List1->row(selected.first());
    QString text;
    if (index == 0)
        text = instructionsText();
    else if (index == 1)
        text = aboutText(m_version);
    // The box shows CR LF as one line break.
    text.replace(CrLf, QStringLiteral("\n"));
    Text1->setPlainText(text);
}

void frmhelp::Command1_Click()
{
    accept();
}

void frmhelp::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Escape || event->matches(QKeySequence::Cancel)) {
        Command1->click();
        return;
    }
    // No default button: Enter presses nothing.
    if (key == Qt::Key_Enter || key == Qt::Key_Return) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
