#include "form2.h"
#include "layout.h"
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

Form2::Form2(QWidget *mainWindow)
    : QDialog(mainWindow, DialogFlags)
{
    setUpWindow(this, "Form2", QStringLiteral("Info"), 5715, 3840, mainWindow);
    setAttribute(Qt::WA_DeleteOnClose);

    Command1 = place(new QPushButton(QStringLiteral("OK"), this), "Command1", tw(4800, 3360, 735, 375));
    Command1->setDefault(true);
    Command1->setAutoDefault(true);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    Text1 = place(new QPlainTextEdit(this), "Text1", tw(120, 120, 5415, 3135), QStringLiteral("Rapport"));
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setTabChangesFocus(true);
    Text1->installEventFilter(this);
    QWidget::setTabOrder(Command1, Text1);
    centreOnScreen(this);
}

void Form2::setReportText(const QString &text)
{
    m_text = text;
    Text1->setPlainText(text);
}

void Form2::appendLine(const QString &line)
{
    setReportText(m_text + QStringLiteral("\r\n") + line);
}

// Enter in the text box presses the default button "OK"; Ctrl+Enter still
// breaks a line for a user who types into the report.
bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && !(key->modifiers() & Qt::ControlModifier)) {
            Command1->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
