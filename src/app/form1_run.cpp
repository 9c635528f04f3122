// The batch run of the main window and the windows it opens.
#include "form1.h"
#include "canvasview.h"
#include "windows/frmweb.h"
#include "gallery/page.h"
#include "seam.h"
#include "platform/version.h"
#include "runprogress.h"
#include "thumbs/engine.h"
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

frmweb *Form1::webSettings()
{
    if (!m_frmweb) {
        m_frmweb = new frmweb(this);
        connect(m_frmweb, &frmweb::folderMarkChanged, this,
                [this](bool set) { m_webMark = set ? QStringLiteral("1") : QString(); });
        // The close box destroys the window and with it the confirmed folder.
        connect(m_frmweb, &QObject::destroyed, this, [this] { m_webMark.clear(); });
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

RunSettings Form1::runSettings() const
{
    RunSettings r;
    r.draw.size = {sizeMode(), txtlashojd, txtlasbredd, m_procentTag};
    r.draw.canvas = {m_canvas.width(), m_canvas.height()};
    r.draw.background = m_canvas.backColour();
    r.save.prefix = plusfilnamn1->text();
    r.save.suffix = plusfilnamn2->text();
    r.save.format = outputFormat();
    r.save.quality = encoderQuality(txtjpg->text());
    r.save.web = chkweb->checkState() == Qt::Checked;
    // Reading the page folder makes the settings window if it is not there yet.
    if (r.save.web)
        r.save.pageFolder = const_cast<Form1 *>(this)->webSettings()->folder();
    return r;
}

PageSettings Form1::pageSettings()
{
    frmweb *settings = webSettings();
    return {settings->title(), settings->columns(), settings->folder(), outputFormat()};
}

void Form1::Command1_Click()
{
    listwebfiler.clear();
    const bool web = chkweb->checkState() == Qt::Checked;
    const QString problem = web && m_webMark != QLatin1String("1")
                                ? QStringLiteral("Du har inte angett en befintlig mapp att spara websidan till!")
                            : List1->count() == 0 ? QStringLiteral("Listan är tom. Kan inte skapa tumbilder!")
                                                  : QString();
    if (!problem.isEmpty()) {
        Seam::current().message(this, problem, QStringLiteral("Tumbilder"), Seam::Icon::Warning);
        return;
    }
    if (sizeMode() == SizeMode::LockBoth) {
        txtlasbredd = singleToText(m_canvas.width());
        txtlashojd = singleToText(m_canvas.height());
    }
    txtjpg_LostFocus();
    cmd_kor_Click();
    QList<PictureJob> jobs;
    for (int i = 0; i < listfil.size(); ++i)
        jobs.append({listsokvag[i], listfil[i]});

    const std::optional<PageSettings> page = web ? std::optional(pageSettings()) : std::nullopt;
    Failure pageWritten;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_run.reset();   // waits for whatever a cancelled run left behind
    m_run = std::make_unique<RunControl>(m_threads);
    const RunOutcome outcome = runWithProgress(
        this, runSettings(), jobs, *m_run,
        {[this](int i) {
             List1->setCurrentRow(i);
             emit pictureCommitted(i);
         },
         [this](const Failure &f) { scaleFailed(f); },
         [&](const RunOutcome &done) { pageWritten = page ? writeGallery(*page, done.gallery) : Failure(); }});
    QApplication::restoreOverrideCursor();
    finishRun(outcome, page, pageWritten);
}

void Form1::finishRun(const RunOutcome &outcome, const std::optional<PageSettings> &page, const Failure &pageWritten)
{
    listwebfiler = outcome.gallery;
    for (const QString &line : outcome.reportLines)
        appendReport(line);
    // The canvas shows the last thumbnail the run drew.
    if (outcome.last)
        showDrawn(*outcome.last);
    if (outcome.error.failed()) {
        // It keeps the size of that picture; the report waits for the next run.
        Seam::current().message(this, failureMessage(QStringLiteral("Ett fel uppstod: "), outcome.error),
                                QStringLiteral("Felmeddelande"), Seam::Icon::Warning);
        return;
    }
    if (outcome.cancelled)
        appendReport(ReportLine::cancelled());
    if (reportText().isEmpty())
        report()->setReportText(ReportLine::allWell());
    m_canvas.setWidth(float(HScroll1->value()));
    m_canvas.setHeight(float(VScroll1->value()));
    Picture1->sync();
    if (page)
        skapa_htmlfil(*page, pageWritten);
    Seam::current().showModal(report());
    // Closed by the user: the report goes with it now, not at some later
    // turn of the event loop, so the next run starts empty.
    if (m_form2 && !m_form2->isVisible())
        delete m_form2;
}

void Form1::skapa_htmlfil(const PageSettings &page, const Failure &written)
{
    if (written.failed()) {
        Seam::current().message(this,
                                failureMessage(QStringLiteral("Ett fel uppstod när websidan skulle skapas: "), written),
                                QStringLiteral("Felmeddelande"), Seam::Icon::Warning);
        return;
    }
    if (webSettings()->openBrowser())
        Seam::current().openUrl(QUrl::fromLocalFile(pagePath(page)));
}
