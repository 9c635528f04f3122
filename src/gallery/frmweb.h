#pragma once
#include <QDialog>

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;

// "Skapa websida": the gallery page's settings. "&Stäng" hides it and keeps
// every setting; the title-bar close box destroys it (the owner then forgets
// the folder mark and makes a fresh one with the initial values next time).
class frmweb : public QDialog {
    Q_OBJECT
public:
    explicit frmweb(QWidget *mainWindow);

    int columns() const;        // listkolumn's chosen entry, 1..8
    QString title() const;      // txttitel
    QString folder() const;     // txtmapp
    bool openBrowser() const;   // chkwebläsare ticked

    void Command2_Click();      // "&Stäng"
    void Command3_Click();      // "Bläddra..."
    void Command4_Click();      // "OK" of the folder chooser
    void Command5_Click();      // "&Avbryt" of the folder chooser

signals:
    // "&Stäng": whether the folder in txtmapp exists (the folder mark).
    void folderMarkChanged(bool set);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QFrame *Frame1, *Frame2;
    QComboBox *listkolumn;
    QLineEdit *txttitel, *txtmapp;
    QCheckBox *chkweblasare;
};
