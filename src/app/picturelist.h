#pragma once
#include <QListWidget>
#include <QStringList>

class QFontMetrics;
class QMenu;

// The end of a path that fits `width`: "…" and the file name with as many of
// its folders as fit (…/nature/Aqua.jpg), or the file name cut in its
// middle when even that is too long.
QString elidedPath(const QString &path, const QFontMetrics &metrics, int width);

// The picture list: accepts drags of local files from the file manager and
// pastes of them (Ctrl+V), and hands the paths over in the order they come.
// Delete and its menu ("Lägg till bilder...", "Ta bort", "Töm lista") ask the
// window to act.
class PictureList : public QListWidget {
    Q_OBJECT
public:
    explicit PictureList(QWidget *parent = nullptr);

    // The files on the clipboard, as a drop of them.
    void paste();
    QMenu *menu() const { return m_menu; }
    // What the row shows of its path: all of it, or the end that fits.
    QString shownText(int row) const;

signals:
    // `paths` are native paths; `bad` is the position of the first item that
    // is not a local file (-1 when all are).
    void filesDropped(const QStringList &paths, int bad);
    void addRequested();
    void addTreeRequested();
    void removeRequested();
    void clearRequested();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;

private:
    QMenu *m_menu;
};
