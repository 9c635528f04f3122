#include "canvasview.h"
#include "windows/layout.h"
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

CanvasView::CanvasView(Canvas *canvas, QWidget *parent) : QFrame(parent), m_canvas(canvas)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(CanvasBorderPixels);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleRole(this, QAccessible::Button, [this] { emit clicked(); });
}

void CanvasView::sync()
{
    // A picture's own size (percent mode, a run stopped by an error) can make
    // the canvas larger than the window; the view then shows its top-left
    // part within the frame's largest size instead of covering the list.
    const QSize largest(twipsToPixels(3615), twipsToPixels(3615));
    resize(QSize(twipsToPixels(m_canvas->width()), twipsToPixels(m_canvas->height())).boundedTo(largest));
    update();
}

void CanvasView::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    const QRect inner = contentsRect();
    p.setClipRect(inner);
    p.fillRect(inner, Canvas::toColor(m_canvas->backColour()));
    p.drawImage(inner.topLeft(), m_canvas->persistentImage());
}

void CanvasView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void CanvasView::keyPressEvent(QKeyEvent *event)
{
    // On the press, as the swatches choose on the press, so that the release
    // lands harmlessly in the window that has just opened or closed. A key
    // held down opens nothing more.
    const int key = event->key();
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)
        && !(event->modifiers() & ~Qt::KeypadModifier)) {
        if (!event->isAutoRepeat())
            emit clicked();
        return;
    }
    QFrame::keyPressEvent(event);
}
