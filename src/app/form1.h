#pragma once
#include "pixels/canvas.h"
#include "run/run.h"
#include "thumbs/picturefiles.h"
#include "windows/frmweb.h"
#include "windows/form2.h"
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class CanvasView;
class PictureList;

// A report line as the window says it: something that is not an ordinary
// file (a folder, a FIFO) is a missing picture to the window, as it always
// was; it is never opened. Other lines are as the run gives them.
QString windowReportLine(const QString &line);

// The main window: its controls and their handlers. What a run needs is
// taken from the controls into a RunRequest (form1_run.cpp); the work is
// done by a Run, and the window shows what it returns.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    QList<GalleryEntry> listwebfiler;   // gallery entries of the last run

    Canvas &canvas() { return m_canvas; }
    // The measuring twin's inner size in pixels.
    QSize picture2Inner() const;
    QString cmdprocentTag() const { return m_procentTag; }
    // The folder mark: the page folder was confirmed in the settings window.
    bool folderMark() const { return m_folderMark; }
    void setFolderMark(bool set) { m_folderMark = set; }
    SizeMode sizeMode() const;
    OutputFormat outputFormat() const;

    // The report text: lines are appended as CR LF + line; the report window
    // exists (hidden) from the first line on.
    void appendReport(const QString &line);
    QString reportText() const;
    Form2 *reportWindow() const { return m_form2; }
    // The report window, made (hidden) if it is not there yet.
    Form2 *report();
    // The gallery settings window, created with its initial values on first use.
    frmweb *webSettings();

    // Handlers, named after their control and event.
    void Form_Load();
    void txtjpg_Change();
    void txtjpg_LostFocus();
    void chkweb_Click();
    void cmdweb_Click();
    void cmdhelp_Click();
    void Picture1_Click();
    void optlas_Click(int index);
    // A value change and a drag both end here.
    void HScroll1_Change();
    void VScroll1_Change();
    void cmdprocent_Click();
    void cmdtestabild_Click();
    void List1_OLEDragDrop(const QStringList &paths, int bad = -1);
    // Pictures gathered from files and folders: those with a picture name go
    // on the list, and what could not be taken waits for the run's report.
    void takeInputs(const ExpandedInputs &gathered);
    void cmd_tomlista_Click();
    // The list's own menu and keys: more pictures from a file dialog, and
    // the selected ones taken off the list.
    void addPictures();
    // A folder with every picture below it, folder by folder.
    void addPictureTree();
    void removeSelectedPictures();
    // The run's pictures, each split into folder and name, in list order.
    QList<PictureJob> listJobs() const;
    void Command1_Click();
    // The page is written with the run, off the GUI thread; this says how it
    // went and opens the page in the browser when asked to.
    void skapa_htmlfil(const RunResult &result);

    // What drawing needs from the controls, as the preview and a run take it.
    DrawSettings drawSettings() const;
    // How thumbnails are named and saved, as the controls stand (no page).
    SaveSettings saveSettings() const;
    // Everything a run works from, taken from the controls once.
    RunRequest runRequest();

    // Worker threads for a run's drawing (0: one picture at a time).
    void setThreads(int threads) { m_threads = threads; }

signals:
    // A picture of a run was committed (its thumbnail written or reported).
    void pictureCommitted(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void setTabOrder();
    void showDrawn(const DrawResult &drawn);
    void scaleFailed(const Failure &f);
    void finishRun(const RunResult &result, bool web);

    Canvas m_canvas;
    QString m_procentTag;
    bool m_folderMark = false;
    QString m_lastFolder;   // where "Lägg till bilder..." was last used
    // What the folders dropped on the list left out, for the run's report.
    QStringList m_listProblems;
    int m_thumbnailsLeftOut = 0;
    int m_threads = Run::defaultThreads();
    // The last run's control: it waits for pictures a cancelled run left
    // being drawn when it goes (at the next run, or with the window).
    std::unique_ptr<Run> m_run;
    QPointer<Form2> m_form2;
    QPointer<frmweb> m_frmweb;

    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4, *Frame5;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10;
    QLineEdit *Text1, *Text2, *plusfilnamn1, *plusfilnamn2, *txtjpg;
    std::array<QRadioButton *, 4> optlas;
    QPushButton *cmdprocent, *cmdtestabild, *cmd_tomlista, *Command1, *cmdhelp, *cmdweb;
    QLabel *Image1;
    QScrollBar *HScroll1, *VScroll1;
    CanvasView *Picture1;
    PictureList *List1;
    QRadioButton *optbmp, *optjpg, *optgif;
    QCheckBox *chkweb;
};
