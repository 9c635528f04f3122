#include "picturelist.h"
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>

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
