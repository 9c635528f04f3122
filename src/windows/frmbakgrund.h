#pragma once
#include "pixels/units.h"
#include <QDialog>
#include <QMap>

class QKeyEvent;
class QLabel;

// "Bakgrundsfärg": 36 swatches; one click, or Enter or Space on the focused
// one, chooses the thumbnails' background colour and closes the window. The
// close box and Escape change nothing.
class frmbakgrund : public QDialog {
    Q_OBJECT
public:
    explicit frmbakgrund(QWidget *mainWindow);

    // The swatches by their index (0..27 and 32..39).
    QLabel *lbl(int index) const { return m_lbl.value(index); }
    QList<int> lblIndexes() const { return m_lbl.keys(); }
    void lbl_Click(int index);

signals:
    void colourChosen(ColourValue colour);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool swatchKey(QLabel *swatch, const QKeyEvent *key);

    QMap<int, QLabel *> m_lbl;
    QList<QLabel *> m_grid;   // row by row, as they are seen
    QLabel *Label1;
};
