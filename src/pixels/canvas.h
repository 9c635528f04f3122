#pragma once
#include "units.h"
#include <QImage>
#include <QRectF>

// The thumbnail canvas: an outer size in twips with a 2-pixel sunken border,
// a background colour, an optional loaded picture and the persistent image of
// the inner drawing area, which is what gets saved. Drawing coordinates are
// twips from the inner top-left corner. The widget that shows it only paints
// persistentImage() inside its border.
class Canvas {
public:
    explicit Canvas(float widthTwips = 3615, float heightTwips = 3615, ColourValue background = 0xC0C0C0);

    float width() const { return m_width; }
    float height() const { return m_height; }
    void setWidth(float twips);
    void setHeight(float twips);

    // Inner drawing area in whole pixels (outer size less the border).
    QSize innerPixels() const;
    // Inner drawing area in twips.
    float innerWidth() const { return m_width - CanvasBorderTwips; }
    float innerHeight() const { return m_height - CanvasBorderTwips; }

    ColourValue backColour() const { return m_background; }
    // Erases everything drawn: the persistent image becomes the new colour
    // (plus the loaded picture at natural size, if one is set).
    void setBackColour(ColourValue colour);

    // The loaded picture: setting it shows it at natural size from the inner
    // top-left corner over the background; clearing it leaves the background.
    const QImage &picture() const { return m_picture; }
    void setPicture(const QImage &picture);
    void clearPicture();

    // Paints the whole of `image` stretched to the rectangle (twips, drawing
    // coordinates) with a proper resampling filter; what falls outside the
    // inner area is cut off.
    void paintStretched(const QImage &image, const QRectF &targetTwips);
    // The pixels paintStretched() covers in an inner area of `inner` pixels.
    static QRect stretchedPixels(QSize inner, const QRectF &targetTwips);

    // The persistent image: the inner area in whole pixels.
    const QImage &persistentImage() const { return m_image; }
    // Replaces the persistent image with an already finished thumbnail of the
    // canvas's inner size (made off the GUI thread), with no loaded picture.
    void setPersistentImage(const QImage &image);

    // The largest inner area a canvas can have, in pixels (1 GB of image).
    static constexpr qint64 MaxPixels = 16384LL * 16384LL;

    static QColor toColor(ColourValue v);
    static ColourValue fromColor(const QColor &c);

private:
    void resizeImage();
    void erase();

    float m_width;
    float m_height;
    ColourValue m_background;
    QImage m_picture;
    QImage m_image;
};
