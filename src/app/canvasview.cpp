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
    resize(twipsToPixels(m_canvas->width()), twipsToPixels(m_canvas->height()));
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
