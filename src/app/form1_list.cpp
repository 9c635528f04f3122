// The picture list of the main window: drops, pastes, its menu and keys,
// and the run's pictures split into folders and names.
#include "form1.h"
#include "picturelist.h"
#include "seam.h"
#include "codecs/loaders.h"
#include "thumbs/picturefiles.h"
#include <QDir>
#include <QFileInfo>

void Form1::List1_OLEDragDrop(const QStringList &paths, int bad)
{
    // A folder brings the pictures directly inside it, in reading order,
    // without the thumbnails the settings of the moment would give them.
    takeInputs(expandDrop(paths, saveSettings()));
    if (bad >= 0) {
        // Data that is not a local file cannot be read as a path: type
        // mismatch. Said once the drop is over, so the program the drag came
        // from is not left waiting for its answer while the box is open.
        QMetaObject::invokeMethod(
            this,
            [this] {
                Seam::current().message(this, QStringLiteral("Ett fel uppstod: 13"), QStringLiteral("Tumbilder"),
                                        Seam::Icon::None);
            },
            Qt::QueuedConnection);
    }
}

void Form1::takeInputs(const ExpandedInputs &gathered)
{
    for (const QString &picture : gathered.paths) {
        if (!isPictureName(picture))
            continue;
        // The row shows what fits of the path; the whole of it on hovering.
        auto *item = new QListWidgetItem(picture, List1);
        item->setToolTip(picture);
    }
    // Files of formats not read here are skipped silently, as files of any
    // other extension always were: the notes counting them are the shell's.
    for (const QString &line : gathered.problems)
        m_listProblems << windowReportLine(line);
    m_thumbnailsLeftOut += gathered.thumbnailsLeftOut;
}

void Form1::cmd_tomlista_Click()
{
    List1->clear();
    m_listProblems.clear();
    m_thumbnailsLeftOut = 0;
}

void Form1::addPictures()
{
    const QString folder = m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder;
    // The patterns are matched as written: each in lower and in upper case.
    QStringList patterns;
    for (const QString &ext : pictureExtensions())
        patterns << QStringLiteral("*.") + ext;
    for (const QString &ext : pictureExtensions())
        patterns << QStringLiteral("*.") + ext.toUpper();
    const QStringList files = Seam::current().openFileNames(this, QStringLiteral("Lägg till bilder"), folder,
                                                            QStringLiteral("Bilder (%1)").arg(patterns.join(' ')));
    if (files.isEmpty())
        return;
    m_lastFolder = QFileInfo(files.first()).absolutePath();
    QStringList paths;
    for (const QString &file : files)
        paths << QDir::toNativeSeparators(file);
    List1_OLEDragDrop(paths);
}

void Form1::addPictureTree()
{
    const QString folder = Seam::current().openFolderName(
        this, QStringLiteral("Lägg till mapp med undermappar"), m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder);
    if (folder.isEmpty())
        return;
    m_lastFolder = folder;
    takeInputs(expandDrop({QDir::toNativeSeparators(folder)}, saveSettings(), FolderWalk{true, {}}));
}

void Form1::removeSelectedPictures()
{
    qDeleteAll(List1->selectedItems());
}

QList<PictureJob> Form1::listJobs() const
{
    QStringList paths;
    for (int i = 0; i < List1->count(); ++i)
        paths << List1->item(i)->text();
    return pictureJobs(paths);
}
