#include "picturelist.h"
#include <QDir>
#include <QDragEnterEvent>
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
}

PictureList::PictureList(QWidget *parent) : QListWidget(parent)
{
    setItemDelegate(new WholeLetterRows(this));
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
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty()) {
            bad = int(paths.size());
            break;
        }
        paths << QDir::toNativeSeparators(url.toLocalFile());
    }
    // Copy, never move: the user's files stay where they are.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit filesDropped(paths, bad);
}
