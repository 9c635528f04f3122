#pragma once
#include "platform/units.h"
#include <QDialog>
#include <QMap>

class QLabel;

// "Bakgrundsfärg": 36 swatches; one click chooses the thumbnails' background
// colour and closes the window.
class frmbakgrund : public QDialog {
    Q_OBJECT
public:
    explicit frmbakgrund(QWidget *mainWindow);

    // The swatches by their index (0..27 and 32..39).
    QLabel *lbl(int index) const { return m_lbl.value(index); }
    void lbl_Click(int index);

signals:
    void colourChosen(ColourValue colour);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMap<int, QLabel *> m_lbl;
};
