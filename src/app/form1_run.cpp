// The batch run of the main window and the windows it opens.
#include "form1.h"
#include "canvasview.h"
#include "windows/frmweb.h"
#include "gallery/page.h"
#include "seam.h"
#include "platform/version.h"
#include "thumbs/engine.h"
#include "thumbs/quality.h"
#include "thumbs/saving.h"
#include "windows/form2.h"
#include "windows/frmbakgrund.h"
#include "windows/frmhelp.h"
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
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

SaveSettings Form1::saveSettings() const
{
    SaveSettings s;
    s.prefix = plusfilnamn1->text();
    s.suffix = plusfilnamn2->text();
    s.format = outputFormat();
    s.quality = encoderQuality(txtjpg->text());
    s.web = chkweb->checkState() == Qt::Checked;
    // Reading the page folder makes the settings window if it is not there yet.
    if (s.web)
        s.pageFolder = const_cast<Form1 *>(this)->webSettings()->folder();
    return s;
}

Failure Form1::cmd_sparabild_Click()
{
    const QString folder = selectedIndex >= 0 && selectedIndex < listsokvag.size() ? listsokvag[selectedIndex] : QString();
    const QString file = selectedIndex >= 0 && selectedIndex < listfil.size() ? listfil[selectedIndex] : QString();
    const SaveSettings s = saveSettings();
    const ThumbName name = thumbName(s, folder, file);
    listwebfiler << name.entry.folder << name.entry.file << name.entry.thumb;
    const SaveResult saved = saveThumbnail(s, name, m_canvas.persistentImage());
    if (!saved.reportLine.isEmpty())
        appendReport(saved.reportLine);
    return saved.failure;
}

namespace {
void runError(QWidget *parent, const Failure &f)
{
    Seam::current().message(parent,
                             failureMessage(QStringLiteral("Ett fel uppstod: "), f),
                             QStringLiteral("Felmeddelande"), Seam::Icon::Warning);
}
}

void Form1::Command1_Click()
{
    listwebfiler.clear();
    const bool web = chkweb->checkState() == Qt::Checked;
    if (web && m_webMark != QLatin1String("1")) {
        Seam::current().message(this, QStringLiteral("Du har inte angett en befintlig mapp att spara websidan till!"),
                                QStringLiteral("Tumbilder"), Seam::Icon::Warning);
        return;
    }
    if (List1->count() == 0) {
        Seam::current().message(this, QStringLiteral("Listan är tom. Kan inte skapa tumbilder!"),
                                QStringLiteral("Tumbilder"), Seam::Icon::Warning);
        return;
    }
    if (sizeMode() == SizeMode::LockBoth) {
        txtlasbredd = singleToText(m_canvas.width());
        txtlashojd = singleToText(m_canvas.height());
    }
    txtjpg_LostFocus();
    cmd_kor_Click();

    RunSettings settings{drawSettings(), saveSettings()};
    QList<PictureJob> jobs;
    for (int i = 0; i < listfil.size(); ++i)
        jobs.append({listsokvag[i], listfil[i]});

    QApplication::setOverrideCursor(Qt::WaitCursor);
    BatchRunner runner(settings, jobs, m_threads);
    QProgressDialog progress(QStringLiteral("Skapar tumbilder..."), QStringLiteral("Avbryt"), 0, int(jobs.size()), this);
    progress.setWindowTitle(QStringLiteral("Tumbilder"));
    progress.setWindowModality(Qt::WindowModal);
    // Shown at once: while it is up the main window takes no clicks, so
    // "Kör!" or "Töm lista" cannot act in the middle of a run.
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.show();
    connect(&progress, &QProgressDialog::canceled, &runner, &BatchRunner::cancel);
    connect(&runner, &BatchRunner::progress, &progress, [&progress](int done, int total) {
        progress.setValue(done);
        progress.setLabelText(QStringLiteral("Skapar tumbilder... %1 av %2").arg(done).arg(total));
    });

    Failure error;
    CanvasSize last{m_canvas.width(), m_canvas.height()};
    runner.run([&](int i, const Prepared &drawn) {
        List1->setCurrentRow(i);
        selectedIndex = i;
        if (drawn.status == DrawResult::Drawn)
            last = drawn.canvas;
        else if (drawn.status == DrawResult::ScaleFailed)
            scaleFailed(drawn.failure);
        const Committed c = commitPicture(settings.save, jobs[i], drawn);
        if (c.entry)
            listwebfiler << c.entry->folder << c.entry->file << c.entry->thumb;
        if (!c.reportLine.isEmpty())
            appendReport(c.reportLine);
        error = c.failure;
        emit pictureCommitted(i);
        return !error.failed();
    });
    progress.hide();
    QApplication::restoreOverrideCursor();

    if (error.failed()) {
        // The canvas keeps the size of the last drawn picture.
        m_canvas.setWidth(last.width);
        m_canvas.setHeight(last.height);
        Picture1->sync();
        runError(this, error);
        return;
    }
    if (runner.cancelled())
        appendReport(QStringLiteral("Avbrutet."));
    if (reportText().isEmpty())
        report()->setReportText(QStringLiteral("Tumbilder skapade utan problem!"));
    m_canvas.setWidth(float(HScroll1->value()));
    m_canvas.setHeight(float(VScroll1->value()));
    Picture1->sync();
    if (web)
        skapa_htmlfil();
    Seam::current().showModal(report());
    // Closed by the user: the report goes with it now, not at some later
    // turn of the event loop, so the next run starts empty.
    if (m_form2 && !m_form2->isVisible())
        delete m_form2;
}

void Form1::skapa_htmlfil()
{
    frmweb *settings = webSettings();
    PageSettings page{settings->title(), settings->columns(), settings->folder(), outputFormat()};
    QList<GalleryEntry> entries;
    for (qsizetype i = 0; i + 2 < listwebfiler.size(); i += 3)
        entries.append({listwebfiler[i], listwebfiler[i + 1], listwebfiler[i + 2]});
    const Failure f = writeGallery(page, entries);
    if (f.failed()) {
        Seam::current().message(this,
                                failureMessage(QStringLiteral("Ett fel uppstod när websidan skulle skapas: "), f),
                                QStringLiteral("Felmeddelande"), Seam::Icon::Warning);
        return;
    }
    if (settings->openBrowser())
        Seam::current().openUrl(QUrl::fromLocalFile(pagePath(page)));
}
