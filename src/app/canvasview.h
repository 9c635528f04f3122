#pragma once
#include "pixels/canvas.h"
#include <QFrame>

// Picture1: shows the canvas's persistent image inside a 2-pixel sunken
// border. A click on it, or Enter or Space while it has the focus, asks for
// the background colour.
class CanvasView : public QFrame {
    Q_OBJECT
public:
    CanvasView(Canvas *canvas, QWidget *parent);
    // Follows the canvas's outer size (whole pixels).
    void sync();

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    Canvas *m_canvas;
};
