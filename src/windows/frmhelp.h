#pragma once
#include <QDialog>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// "Hjälp": two topics, the instructions and the about text. Made afresh at
// every opening, so it always starts at the first topic.
class frmhelp : public QDialog {
    Q_OBJECT
public:
    frmhelp(QWidget *mainWindow, const QString &versionText);

    // The topics' texts exactly as built, lines broken by CR LF.
    static QString instructionsText();
    static QString aboutText(const QString &versionText);

    void Command1_Click();      // "OK"

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void List1_Click();
    QString m_version;
    QLabel *Label1;
    QListWidget *List1;
    QPlainTextEdit *Text1;
    QPushButton *Command1;
};
