#include "windows/layout.h"
#include "frmweb.h"
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStorageInfo>
#include <QTreeView>

namespace {


// A drive is usable when it is mounted, ready and its root is a folder we
// can list (a bind-mounted file is not a drive).
bool usableDrive(const QString &root)
{
    const QFileInfo info(root);
    return info.isDir() && info.isReadable() && QStorageInfo(root).isReady();
}

}

// The folder list shows one drive: its root is the single top item, so the
// root itself can be chosen, and the other entries beside it are hidden.
class DriveFolders : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setDrive(QFileSystemModel *folders, const QString &root)
    {
        m_folders = folders;
        m_root = root;
        m_top = folders->index(root).parent();
        invalidateFilter();
    }
    QModelIndex top() const { return mapFromSource(m_top); }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        if (!m_folders || parent != QModelIndex(m_top))
            return true;
        return m_folders->filePath(m_folders->index(row, 0, parent)) == m_root;
    }

private:
    QFileSystemModel *m_folders = nullptr;
    QString m_root;
    QPersistentModelIndex m_top;
};

frmweb::frmweb(QWidget *mainWindow)
    : QDialog(mainWindow, DialogFlags)
{
    setUpWindow(this, "frmweb", QStringLiteral("Skapa websida"), 5880, 3510, mainWindow);

    buildChooser();
    buildSettings();

    // Tab order follows the designed order, then the added check box; the
    // chooser's controls come first but are skipped while their page is hidden.
    const QList<QWidget *> order = {Dir1, Drive1, Command4, Command5, listkolumn, Command3, chkweblasare,
                                    txtmapp, txttitel, Command2, chkmodern};
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    listkolumn->setFocus();

    centreOnScreen(this);
}

void frmweb::buildChooser()
{
    // Created first so that it lies under the settings page until it is raised.
    Frame1 = place(new QGroupBox(this), "Frame1", tw(6000, 360, 5655, 3255), QStringLiteral("Välj mapp"));
    Frame1->setAutoFillBackground(true);
    Frame1->hide();

    m_folders = new QFileSystemModel(this);
    m_folders->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_folders->setReadOnly(true);
    m_folders->sort(0);
    m_drive = new DriveFolders(this);
    m_drive->setSourceModel(m_folders);

    Dir1 = place(new QTreeView(Frame1), "Dir1", tw(120, 600, 5295, 2115), QStringLiteral("Mappar"));
    Dir1->setModel(m_drive);
    Dir1->setHeaderHidden(true);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        Dir1->hideColumn(column);
    Dir1->setSelectionMode(QAbstractItemView::SingleSelection);

    // On Linux a screen reader reads a combo box by its value, here the drive.
    Drive1 = place(new QComboBox(Frame1), "Drive1", tw(120, 240, 5295, 315), QStringLiteral("Enhet"));
    fillDrives();
    connect(Drive1, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });

    Command4 = place(new QPushButton(QStringLiteral("OK"), Frame1), "Command4", tw(3960, 2760, 1455, 375));
    Command5 = place(new QPushButton(QStringLiteral("&Avbryt"), Frame1), "Command5", tw(2520, 2760, 1335, 375));
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });

    // The chooser starts at the program's current folder.
    setDir1Path(QDir::currentPath());
}

void frmweb::buildSettings()
{
    Frame2 = place(new QGroupBox(this), "Frame2", tw(120, 120, 5655, 3255), QStringLiteral("Sidans inställningar"));

    listkolumn = place(new QComboBox(Frame2), "listkolumn", tw(1200, 720, 1095, 315));
    listkolumn->setEditable(false);
    for (int n = 1; n <= 8; ++n)
        listkolumn->addItem(QString::number(n));
    listkolumn->setCurrentIndex(2);

    Command3 = place(new QPushButton(QStringLiteral("Bläddra..."), Frame2), "Command3", tw(4320, 1440, 1095, 335));
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    chkweblasare = place(new QCheckBox(QStringLiteral("Kör webläsaren för att se resultat"), Frame2),
                         "chkwebläsare", tw(1200, 2160, 3495, 255));
    txtmapp = place(new QLineEdit(Frame2), "txtmapp", tw(1200, 1440, 3015, 285));
    txttitel = place(new QLineEdit(QStringLiteral("Mina bilder"), Frame2), "txttitel", tw(1200, 1080, 4215, 285));
    // The captions are in the window's own face, as the boxes beside them.
    // "Spara i mapp" is wider than its designed 65 px in that face (73 px in
    // 11 px DejaVu Sans, 66 at the tightest spacing): it takes the room up
    // to its text box, set a little tighter only if it still needs it.
    Label3 = place(new QLabel(QStringLiteral("Spara i mapp"), Frame2), "Label3", tw(120, 1440, 1080, 255));
    Label2 = place(new QLabel(QStringLiteral("Titel"), Frame2), "Label2", tw(120, 1080, 975, 255));
    Label1 = place(new QLabel(QStringLiteral("Kolumner"), Frame2), "Label1", tw(120, 720, 855, 255));
    fitCaptions({Label3});
    labelWith(listkolumn, Label1->text(), {Label1});
    labelWith(txttitel, Label2->text(), {Label2});
    labelWith(txtmapp, Label3->text(), {Label3});
    Command2 = place(new QPushButton(QStringLiteral("&Stäng"), Frame2), "Command2", tw(4200, 2760, 1335, 375));
    // Added: the page's style. It takes the empty row between the folder and
    // chkwebläsare, on the grid of the rows above.
    const QString modern = QStringLiteral("Modern sida (för mobil och surfplatta)");
    chkmodern = place(new QCheckBox(modern, Frame2), "chkmodern", tw(1200, 1800, 4215, 255), modern);
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

    QFont bold = font();
    bold.setBold(true);
    Command2->setFont(bold);
    Command5->setFont(bold);
    // No button is the default: Enter presses nothing, not even the focused one.
    for (QPushButton *button : {Command2, Command3, Command4, Command5}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

void frmweb::fillDrives()
{
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || !QFileInfo(root).isDir())
            continue;
        QString text = QDir::toNativeSeparators(root);
        if (!volume.name().isEmpty())
            text += QStringLiteral(" [%1]").arg(volume.name());
        Drive1->addItem(text, root);
    }
}

int frmweb::columns() const
{
    return listkolumn->currentText().toInt();
}

QString frmweb::title() const
{
    return txttitel->text();
}

QString frmweb::folder() const
{
    return txtmapp->text();
}

bool frmweb::openBrowser() const
{
    return chkweblasare->checkState() == Qt::Checked;
}

bool frmweb::modernPage() const
{
    return chkmodern->checkState() == Qt::Checked;
}

void frmweb::Command2_Click()
{
    QString text = txtmapp->text();
    if (!text.isEmpty()) {
        if (!text.endsWith(QDir::separator())) {
            text += QDir::separator();
            txtmapp->setText(text);
        }
        emit folderMarkChanged(QFileInfo(text).isDir());
    } else {
        emit folderMarkChanged(false);
    }
    // Hidden, not closed: closing would destroy the settings.
    hide();
}

void frmweb::Command3_Click()
{
    Frame1->move(tw(120, 120, 0, 0).topLeft());
    Frame1->show();
    Frame1->raise();
    Dir1->setFocus();
}

void frmweb::Command4_Click()
{
    Frame1->hide();
    const QString path = dir1Path();
    if (!path.isEmpty())
        txtmapp->setText(path);
}

void frmweb::Command5_Click()
{
    Frame1->hide();
}

void frmweb::Drive1_Change()
{
    const QString root = Drive1->currentData().toString();
    // A drive that went away or has no medium leaves the folder list where it was.
    if (root.isEmpty() || !usableDrive(root))
        return;
    // The drive's current folder: the program's own when it lies on that drive.
    const QString current = QDir::currentPath();
    const QString start = QStorageInfo(current).rootPath() == root ? current : root;
    if (!setDir1Path(start))
        setDir1Path(root);
}

QString frmweb::dir1Path() const
{
    const QModelIndex current = Dir1->currentIndex();
    if (!current.isValid())
        return {};
    return QDir::toNativeSeparators(m_folders->filePath(m_drive->mapToSource(current)));
}

bool frmweb::setDir1Path(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return false;
    const QString folder = info.absoluteFilePath();
    const QString root = QStorageInfo(folder).rootPath();
    if (root.isEmpty() || !usableDrive(root))
        return false;
    if (root != m_driveRoot && !showDrive(root))
        return false;
    const QModelIndex index = m_drive->mapFromSource(m_folders->index(folder));
    if (!index.isValid())
        return false;
    Dir1->setCurrentIndex(index);
    Dir1->expand(index);
    Dir1->scrollTo(index);
    return true;
}

bool frmweb::showDrive(const QString &root)
{
    if (!m_folders->index(root).isValid())
        return false;
    m_folders->setRootPath(root);
    m_drive->setDrive(m_folders, root);
    Dir1->setRootIndex(m_drive->top());
    m_driveRoot = root;
    // The drive list follows when the folder list moves to another drive.
    const int entry = Drive1->findData(root);
    if (entry >= 0 && entry != Drive1->currentIndex()) {
        const QSignalBlocker quiet(Drive1);
        Drive1->setCurrentIndex(entry);
    }
    return true;
}

void frmweb::closeEvent(QCloseEvent *event)
{
    // The close box destroys the window and its settings with it.
    setAttribute(Qt::WA_DeleteOnClose);
    QDialog::closeEvent(event);
}

void frmweb::keyPressEvent(QKeyEvent *event)
{
    // Neither Enter nor Escape has a button to press, and Escape must not
    // close the window the way a dialog otherwise would.
    const int key = event->key();
    if (key == Qt::Key_Enter || key == Qt::Key_Return || key == Qt::Key_Escape
        || event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
