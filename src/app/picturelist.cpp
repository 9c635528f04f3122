#include "picturelist.h"
#include "files/filenames.h"
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUrl>

namespace {
// Rows as tall as the face's letters reach: the window's small face would
// otherwise get rows that cut off the bottoms of g, j, y and underscores
// (and the ring of Å), and a selected row would hide its underscores.
// A path too long for its row shows its end, so the file name stays in view.
class PathRows : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QFontMetrics metrics(option.font);
        const QRect ink = metrics.boundingRect(QStringLiteral("ÅÄÖgjpqy_|"));
        const int underline = metrics.ascent() + metrics.underlinePos() + metrics.lineWidth();
        size.setHeight(qMax(size.height(), qMax(ink.height(), underline) + 3));
        // No row asks to be wider than the list: it shows what fits.
        size.setWidth(0);
        return size;
    }
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem shown = option;
        initStyleOption(&shown, index);
        shown.text = shownText(shown);
        style(shown)->drawControl(QStyle::CE_ItemViewItem, &shown, painter, shown.widget);
    }
    // What the row of `index` shows of its path, laid out by `option`.
    QString shownText(QStyleOptionViewItem option, const QModelIndex &index) const
    {
        initStyleOption(&option, index);
        return shownText(option);
    }

private:
    static QString shownText(const QStyleOptionViewItem &option)
    {
        const QStyle *s = style(option);
        // The style keeps a margin on each side of the text.
        const int margin = s->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
        const int room = s->subElementRect(QStyle::SE_ItemViewItemText, &option, option.widget).width() - 2 * margin;
        return elidedPath(option.text, option.fontMetrics, room);
    }
    static const QStyle *style(const QStyleOptionViewItem &option)
    {
        return option.widget ? option.widget->style() : QApplication::style();
    }
};

// A local file's path, exact also when its name holds bytes that are not
// text: the URL keeps them percent-encoded, where toLocalFile() would turn
// them into U+FFFD and so name a different file.
QString localPath(const QUrl &url)
{
    const QString path = url.toLocalFile();
    if (!url.host().isEmpty() || !path.contains(QChar::ReplacementCharacter))
        return path;
    return nameFromBytes(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

// The paths of the local files among `urls`, in order, up to the first
// that is not one; `bad` is that one's position (-1 when all are).
void localPaths(const QList<QUrl> &urls, QStringList &paths, int &bad)
{
    for (const QUrl &url : urls) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty()) {
            bad = int(paths.size());
            return;
        }
        paths << QDir::toNativeSeparators(localPath(url));
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
    setItemDelegate(new PathRows(this));
    QAction *add = m_menu->addAction(QStringLiteral("Lägg till bilder..."), this, &PictureList::addRequested);
    QAction *addTree = m_menu->addAction(QStringLiteral("Lägg till mapp med undermappar..."), this,
                                         &PictureList::addTreeRequested);
    addTree->setObjectName(QStringLiteral("läggTillMapp"));
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

QString elidedPath(const QString &path, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const QChar separator = QDir::separator();
    const QString ellipsis(QChar(0x2026));
    // The longest end that fits, from a separator on.
    for (qsizetype at = path.indexOf(separator, 1); at >= 0; at = path.indexOf(separator, at + 1)) {
        const QString end = ellipsis + path.mid(at);
        if (metrics.horizontalAdvance(end) <= width)
            return end;
    }
    return metrics.elidedText(path.mid(path.lastIndexOf(separator) + 1), Qt::ElideMiddle, width);
}

QString PictureList::shownText(int row) const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex index = model()->index(row, 0);
    option.rect = visualRect(index);
    return static_cast<const PathRows *>(itemDelegate())->shownText(option, index);
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
