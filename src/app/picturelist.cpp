#include "picturelist.h"
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QUrl>

namespace {
// Rows as tall as the face's letters reach: the window's small face would
// otherwise get rows that cut off the bottoms of g, j, y and underscores
// (and the ring of Å), and a selected row would hide its underscores.
class WholeLetterRows : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QFontMetrics metrics(option.font);
        const QRect ink = metrics.boundingRect(QStringLiteral("ÅÄÖgjpqy_|"));
        const int underline = metrics.ascent() + metrics.underlinePos() + metrics.lineWidth();
        size.setHeight(qMax(size.height(), qMax(ink.height(), underline) + 3));
        return size;
    }
};

// The paths of the local files among `urls`, in order, up to the first
// that is not one; `bad` is that one's position (-1 when all are).
void localPaths(const QList<QUrl> &urls, QStringList &paths, int &bad)
{
    for (const QUrl &url : urls) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty()) {
            bad = int(paths.size());
            return;
        }
        paths << QDir::toNativeSeparators(url.toLocalFile());
    }
}

// What a file manager's "Copy" leaves: a URI list, or text with one
// file:// URI or absolute path a line (some add a first line "copy").
QList<QUrl> clipboardUrls(const QMimeData *data)
{
    if (!data)
        return {};
    if (data->hasUrls())
        return data->urls();
    QList<QUrl> urls;
    for (QString line : data->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        line = line.trimmed();
        if (QDir::isAbsolutePath(line))
            urls << QUrl::fromLocalFile(line);
        else if (line.contains(QStringLiteral("://")))
            urls << QUrl(line);
    }
    return urls;
}
}

PictureList::PictureList(QWidget *parent) : QListWidget(parent), m_menu(new QMenu(this))
{
    setItemDelegate(new WholeLetterRows(this));
    QAction *add = m_menu->addAction(QStringLiteral("Lägg till bilder..."), this, &PictureList::addRequested);
    QAction *remove = m_menu->addAction(QStringLiteral("Ta bort"), this, &PictureList::removeRequested);
    QAction *clear = m_menu->addAction(QStringLiteral("Töm lista"), this, &PictureList::clearRequested);
    add->setObjectName(QStringLiteral("läggTill"));
    remove->setObjectName(QStringLiteral("taBort"));
    clear->setObjectName(QStringLiteral("tömLista"));
    connect(m_menu, &QMenu::aboutToShow, this, [this, remove, clear] {
        remove->setEnabled(!selectedItems().isEmpty());
        clear->setEnabled(count() > 0);
    });
}

void PictureList::paste()
{
    QStringList paths;
    int bad = -1;
    localPaths(clipboardUrls(QGuiApplication::clipboard()->mimeData()), paths, bad);
    if (!paths.isEmpty() || bad >= 0)
        emit filesDropped(paths, bad);
}

void PictureList::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste)) {
        paste();
        return;
    }
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        emit removeRequested();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void PictureList::contextMenuEvent(QContextMenuEvent *event)
{
    m_menu->popup(event->globalPos());
}

QStringList PictureList::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

Qt::DropActions PictureList::supportedDropActions() const
{
    return Qt::CopyAction | Qt::LinkAction | Qt::MoveAction;
}

void PictureList::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void PictureList::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void PictureList::dropEvent(QDropEvent *event)
{
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    QStringList paths;
    int bad = -1;
    localPaths(event->mimeData()->urls(), paths, bad);
    // Copy, never move: the user's files stay where they are.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit filesDropped(paths, bad);
}
