#pragma once
#include <QDialog>

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;
class DriveFolders;

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
    bool modernPage() const;    // chkmodern ticked: the modern page with web-size pictures

    void Command2_Click();      // "&Stäng"
    void Command3_Click();      // "Bläddra..."
    void Command4_Click();      // "OK" of the folder chooser
    void Command5_Click();      // "&Avbryt" of the folder chooser
    void Drive1_Change();       // a drive was chosen in Drive1

    // The folder chooser's current folder (native separators, no trailing
    // separator except for a root); empty when none is current.
    QString dir1Path() const;
    // Makes `path` the chooser's current folder, switching the tree to the
    // drive that holds it. False (and nothing changes) when it can't be shown.
    bool setDir1Path(const QString &path);

signals:
    // "&Stäng": whether the folder in txtmapp exists (the folder mark).
    void folderMarkChanged(bool set);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildChooser();
    void buildSettings();
    void fillDrives();
    bool showDrive(const QString &root);

    QGroupBox *Frame1, *Frame2;
    QTreeView *Dir1;
    QComboBox *Drive1;
    QPushButton *Command2, *Command3, *Command4, *Command5;
    QComboBox *listkolumn;
    QLineEdit *txttitel, *txtmapp;
    QCheckBox *chkweblasare;
    QCheckBox *chkmodern;       // an addition, in the free row above chkwebläsare
    QLabel *Label1, *Label2, *Label3;
    QFileSystemModel *m_folders;
    DriveFolders *m_drive;       // shows only the chosen drive's tree
    QString m_driveRoot;
};
