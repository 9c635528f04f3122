#pragma once
#include <QListWidget>
#include <QStringList>

// The picture list: accepts drags of local files from the file manager and
// hands the dropped paths over in the order the drop delivers them.
class PictureList : public QListWidget {
    Q_OBJECT
public:
    explicit PictureList(QWidget *parent = nullptr);

signals:
    // `paths` are native paths; `bad` is the position of the first item that
    // is not a local file (-1 when all are).
    void filesDropped(const QStringList &paths, int bad);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
};
