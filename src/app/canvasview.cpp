#include "canvasview.h"
#include <QMouseEvent>
#include <QPainter>

CanvasView::CanvasView(Canvas *canvas, QWidget *parent) : QFrame(parent), m_canvas(canvas)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(CanvasBorderPixels);
    setFocusPolicy(Qt::StrongFocus);
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
