// The batch run of the main window and the windows it opens.
#include "form1.h"
#include "canvasview.h"
#include "gallery/page.h"
#include "windows/frmweb.h"
#include "seam.h"
#include "app/version.h"
#include "runprogress.h"
#include "thumbs/thumbnailsteps.h"
#include "thumbs/quality.h"
#include "thumbs/report.h"
#include "windows/form2.h"
#include "windows/frmbakgrund.h"
#include "windows/frmhelp.h"
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScrollBar>
#include "picturelist.h"

QString windowReportLine(const QString &line)
{
    static const QString notAFile = ReportLine::notAFile({});
    return line.startsWith(notAFile) ? ReportLine::missing(line.mid(notAFile.size())) : line;
}

frmweb *Form1::webSettings()
{
    if (!m_frmweb) {
        m_frmweb = new frmweb(this);
        connect(m_frmweb, &frmweb::folderMarkChanged, this, [this](bool set) { m_folderMark = set; });
        // The close box destroys the window and with it the confirmed folder.
        connect(m_frmweb, &QObject::destroyed, this, [this] { m_folderMark = false; });
    }
    return m_frmweb;
}

void Form1::cmdweb_Click()
{
    Seam::current().showModal(webSettings());
}

void Form1::cmdhelp_Click()
{
    frmhelp help(this, versionText());
    Seam::current().showModal(&help);
}

void Form1::Picture1_Click()
{
    frmbakgrund colours(this);
    connect(&colours, &frmbakgrund::colourChosen, this, [this](ColourValue c) {
        m_canvas.setBackColour(c);
        Picture1->update();
    });
    Seam::current().showModal(&colours);
}

DrawSettings Form1::drawSettings() const
{
    return thumbnailSettings(sizeMode(), {m_canvas.width(), m_canvas.height()}, textToDouble(m_procentTag),
                       m_canvas.backColour(), {})
        .draw;
}

SaveSettings Form1::saveSettings() const
{
    SaveSettings save;
    save.prefix = plusfilnamn1->text();
    save.suffix = plusfilnamn2->text();
    save.format = outputFormat();
    save.quality = encoderQuality(txtjpg->text());
    return save;
}

RunRequest Form1::runRequest()
{
    RunRequest r;
    SaveSettings save = saveSettings();
    if (chkweb->checkState() == Qt::Checked) {
        const frmweb *settings = webSettings();
        r.page = PageSettings{settings->title(), settings->columns(), settings->folder(), save.format};
        if (settings->modernPage()) {
            r.page->style = PageStyle::Modern;
            r.page->webSize = DefaultWebSize;
        }
        save.targetFolder = r.page->folder;
    }
    r.settings = thumbnailSettings(sizeMode(), {m_canvas.width(), m_canvas.height()}, textToDouble(m_procentTag),
                             m_canvas.backColour(), save);
    r.jobs = listJobs();
    r.inputProblems = m_listProblems;
    r.thumbnailsLeftOut = m_thumbnailsLeftOut;
    return r;
}

void Form1::Command1_Click()
{
    listwebfiler.clear();
    const bool web = chkweb->checkState() == Qt::Checked;
    const bool noFolder = web && !m_folderMark;
    QString problem = noFolder              ? QStringLiteral("Du har inte angett en befintlig mapp att spara websidan till!")
                      : List1->count() == 0 ? QStringLiteral("Listan är tom. Kan inte skapa tumbilder!")
                                            : QString();
    // What the drops could not take says why the list is empty.
    if (!noFolder && List1->count() == 0 && !m_listProblems.isEmpty())
        problem += QStringLiteral("\r\n\r\n") + m_listProblems.join(QStringLiteral("\r\n"));
    if (!problem.isEmpty()) {
        Seam::current().message(this, problem, QStringLiteral("Tumbilder"), Seam::Icon::Warning);
        return;
    }
    txtjpg_LostFocus();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_run.reset();   // waits for whatever a cancelled run left behind
    m_run = std::make_unique<Run>(runRequest(), m_threads);
    const RunResult result = runWithProgress(this, *m_run,
                                             {[this](int i) {
                                                  List1->setCurrentRow(i);
                                                  emit pictureCommitted(i);
                                              },
                                              [this](const Failure &f) { scaleFailed(f); }});
    QApplication::restoreOverrideCursor();
    finishRun(result, web);
}

void Form1::finishRun(const RunResult &result, bool web)
{
    listwebfiler = result.gallery;
    // The canvas shows the last thumbnail the run drew.
    if (result.last)
        showDrawn(*result.last);
    if (result.stopped()) {
        // Its lines wait in the hidden report for the next run, and the
        // canvas keeps the size of the last picture.
        for (const QString &line : result.report)
            appendReport(windowReportLine(line));
        Seam::current().message(this, failureMessage(QStringLiteral("Ett fel uppstod: "), result.error),
                                QStringLiteral("Felmeddelande"), Seam::Icon::Warning);
        return;
    }
    // The success line starts the report, and is left out after lines
    // carried from a stopped run; notes follow it.
    const bool carried = !reportText().isEmpty();
    for (const QString &line : result.report) {
        if (line != ReportLine::allWell())
            appendReport(windowReportLine(line));
        else if (!carried)
            report()->setReportText(line);
    }
    m_canvas.setWidth(float(HScroll1->value()));
    m_canvas.setHeight(float(VScroll1->value()));
    Picture1->sync();
    if (web)
        skapa_htmlfil(result);
    Seam::current().showModal(report());
    // Closed by the user: the report goes with it now, not at some later
    // turn of the event loop, so the next run starts empty.
    if (m_form2 && !m_form2->isVisible())
        delete m_form2;
}

void Form1::skapa_htmlfil(const RunResult &result)
{
    if (result.pageFailure.failed()) {
        Seam::current().message(
            this, failureMessage(QStringLiteral("Ett fel uppstod när websidan skulle skapas: "), result.pageFailure),
            QStringLiteral("Felmeddelande"), Seam::Icon::Warning);
        return;
    }
    // Only a page this run wrote is opened: a cancelled run leaves none.
    if (!result.pageFile.isEmpty() && webSettings()->openBrowser())
        Seam::current().openUrl(QUrl::fromLocalFile(result.pageFile));
}
