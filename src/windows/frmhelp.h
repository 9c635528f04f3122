#pragma once
#include <QDialog>

class QListWidget;
class QPlainTextEdit;
class QPushButton;

// "Hjälp": two topics, the instructions and the about text.
class frmhelp : public QDialog {
    Q_OBJECT
public:
    frmhelp(QWidget *mainWindow, const QString &versionText);

    static QString instructionsText();
    static QString aboutText(const QString &versionText);

private:
    void List1_Click();
    QString m_version;
    QListWidget *List1;
    QPlainTextEdit *Text1;
    QPushButton *Command1;
};
