#include "canvas.h"
#include "resample.h"
#include <QColor>
#include <QPainter>
#include <cmath>

Canvas::Canvas(float widthTwips, float heightTwips, ColourValue background)
    : m_width(widthTwips), m_height(heightTwips), m_background(background)
{
    resizeImage();
}

QColor Canvas::toColor(ColourValue v)
{
    return QColor(int(v & 0xff), int((v >> 8) & 0xff), int((v >> 16) & 0xff));
}

ColourValue Canvas::fromColor(const QColor &c)
{
    return ColourValue(c.red()) | ColourValue(c.green()) << 8 | ColourValue(c.blue()) << 16;
}

QSize Canvas::innerPixels() const
{
    const int border = 2 * CanvasBorderPixels;
    return QSize(qMax(0, twipsToPixels(m_width) - border), qMax(0, twipsToPixels(m_height) - border));
}

void Canvas::setWidth(float twips)
{
    m_width = twips;
    resizeImage();
}

void Canvas::setHeight(float twips)
{
    m_height = twips;
    resizeImage();
}

// A new size keeps what was drawn (cut off or padded with the background),
// as a persistent image does when its box is resized.
void Canvas::resizeImage()
{
    const QSize size = innerPixels();
    if (m_image.size() == size)
        return;
    // A size mode can ask for a canvas no memory holds (a 60000 x 1 picture
    // with the height locked): then there is no persistent image at all,
    // which the drawing reports, rather than a process the system kills.
    if (qint64(size.width()) * size.height() > MaxPixels) {
        m_image = QImage();
        return;
    }
    QImage next(size, QImage::Format_RGB32);
    next.fill(toColor(m_background));
    if (!m_image.isNull() && !size.isEmpty()) {
        QPainter p(&next);
        p.drawImage(0, 0, m_image);
    }
    m_image = next;
}

void Canvas::erase()
{
    m_image.fill(toColor(m_background));
    if (!m_picture.isNull() && !m_image.isNull()) {
        QPainter p(&m_image);
        p.drawImage(0, 0, m_picture);
    }
}

void Canvas::setBackColour(ColourValue colour)
{
    m_background = colour;
    erase();
}

void Canvas::setPicture(const QImage &picture)
{
    m_picture = picture;
    erase();
}

void Canvas::clearPicture()
{
    m_picture = QImage();
    erase();
}

QRect Canvas::stretchedPixels(QSize inner, const QRectF &targetTwips)
{
    // Edges in pixels. An edge less than a pixel from the inner area's edge
    // goes onto it, so the fit's four-decimal factors never leave a stray
    // line of background beside a picture that fills the thumbnail.
    const double w = inner.width(), h = inner.height();
    auto snap = [](double v, double edge) { return std::fabs(v - edge) < 1.0 ? edge : v; };
    const double left = snap(targetTwips.left() / TwipsPerPixel, 0);
    const double top = snap(targetTwips.top() / TwipsPerPixel, 0);
    const double right = snap(targetTwips.right() / TwipsPerPixel, w);
    const double bottom = snap(targetTwips.bottom() / TwipsPerPixel, h);
    const int x0 = int(roundHalfEven(left)), y0 = int(roundHalfEven(top));
    return QRect(x0, y0, int(roundHalfEven(right)) - x0, int(roundHalfEven(bottom)) - y0);
}

void Canvas::paintStretched(const QImage &image, const QRectF &targetTwips)
{
    if (image.isNull() || m_image.isNull())
        return;
    const QRect px = stretchedPixels(m_image.size(), targetTwips);
    if (px.width() <= 0 || px.height() <= 0)
        return;
    const QImage scaled = resampleTo(image, px.size());
    QPainter p(&m_image);
    p.drawImage(px.topLeft(), scaled);
}

void Canvas::setPersistentImage(const QImage &image)
{
    m_picture = QImage();
    m_image = image.convertToFormat(QImage::Format_RGB32);
}
