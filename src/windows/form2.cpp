#include "form2.h"
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

Form2::Form2(QWidget *mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Info"));
    setAttribute(Qt::WA_DeleteOnClose);
    if (mainWindow)
        setWindowIcon(mainWindow->windowIcon());
    setFixedSize(5715 / 15, 3840 / 15);

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(4800 / 15, 3360 / 15, 735 / 15, 375 / 15);
    Command1->setDefault(true);
    Command1->setAutoDefault(true);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(120 / 15, 120 / 15, 5415 / 15, 3135 / 15);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setTabChangesFocus(true);
    Text1->installEventFilter(this);
    QWidget::setTabOrder(Command1, Text1);
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
