#include "drawing.h"
#include "codecs/picture.h"
#include "files/filenames.h"
#include "pixels/canvas.h"
#include "pixels/resample.h"
#include "pixels/workbuffer.h"
#include "trace.h"
#include <QPainter>
#include <cerrno>
#include <cmath>
#include <optional>

namespace {
// Whether the canvas's outer size has the picture's proportions (to 1 %),
// as every size mode gives it when its steps succeeded.
bool proportional(CanvasSize canvas, QSize picture)
{
    if (canvas.height <= 0 || picture.height() <= 0)
        return false;
    const double want = double(picture.width()) / picture.height();
    return std::fabs(double(canvas.width) / canvas.height / want - 1.0) < 0.01;
}

// The canvas and the picture's place on it (twips), `scale` times finer:
// each pixel of the thumbnail drawn at 1 becomes scale x scale pixels.
void scaleUp(CanvasSize &canvas, QRectF &target, int scale)
{
    const QSize inner(twipsToPixels(canvas.width) - 2 * CanvasBorderPixels,
                      twipsToPixels(canvas.height) - 2 * CanvasBorderPixels);
    canvas = {float((inner.width() * scale + 2 * CanvasBorderPixels) * TwipsPerPixel),
              float((inner.height() * scale + 2 * CanvasBorderPixels) * TwipsPerPixel)};
    const QRectF px = Canvas::stretchedPixels(inner, target);
    target = QRectF(px.topLeft() * scale * TwipsPerPixel, px.size() * scale * TwipsPerPixel);
}

// What drawing a picture holds at its peak: the decoding, the canvas, and
// the buffers kept from earlier pictures. Those are counted even when this
// picture's decoding reuses one (and so twice): the budget is then stricter
// than needed, never looser.
qint64 drawingBytes(const PictureReader &reader, QSize decodeAtLeast, CanvasSize canvas)
{
    return reader.decodeBytes(decodeAtLeast)
           + qint64(twipsToPixels(canvas.width)) * twipsToPixels(canvas.height) * 4 + keptWorkBytes();
}

// The canvas a picture gets and its place there (twips); no place when it
// is too small to be fitted and shows at natural size.
struct Layout {
    CanvasSize canvas;
    std::optional<QRectF> target;
};

Layout layout(const DrawSettings &settings, QSize natural)
{
    Layout l{settings.canvas, {}};
    if (settings.applySizeMode) {
        l.canvas = sizeCanvas(settings.size, settings.canvas, natural.width() * TwipsPerPixel,
                              natural.height() * TwipsPerPixel);
        // A picture sized down to nothing (a few pixels at a small
        // percentage) still gets a thumbnail of at least one pixel each way,
        // not an empty image that no format can hold.
        constexpr float smallest = (2 * CanvasBorderPixels + 1) * TwipsPerPixel;
        l.canvas.width = qMax(l.canvas.width, smallest);
        l.canvas.height = qMax(l.canvas.height, smallest);
    }
    const CanvasSize inner{l.canvas.width - CanvasBorderTwips, l.canvas.height - CanvasBorderTwips};
    l.target = fitTarget(natural, inner);
    // The size modes give the canvas the picture's proportions on its outer
    // size, while the thumbnail is the area inside the border. Fitting the
    // picture there with its exact proportions would leave a strip of
    // background of up to 2 (a - 1) pixels on both sides of a picture whose
    // sides are a : 1; the whole picture fills the area instead, a few
    // pixels narrower than exact, with no edge lost and no strip.
    if (l.target && settings.applySizeMode && proportional(l.canvas, natural))
        l.target = QRectF(0, 0, inner.width, inner.height);
    if (settings.scale > 1) {
        // A picture too small to be fitted is shown at natural size from
        // the top-left corner: at scale it is stretched to the same place.
        if (!l.target)
            l.target = QRectF(QPointF(0, 0), QSizeF(natural) * TwipsPerPixel);
        scaleUp(l.canvas, *l.target, settings.scale);
    }
    return l;
}

// The least the picture is decoded at for its place; invalid for the whole picture.
QSize decodeAtLeast(const Layout &l)
{
    if (!l.target)
        return {};
    return QSize(qMax(1, int(l.target->width() / TwipsPerPixel) * DecodeMargin),
                 qMax(1, int(l.target->height() / TwipsPerPixel) * DecodeMargin));
}

QSize innerPixels(CanvasSize canvas)
{
    return QSize(twipsToPixels(canvas.width) - 2 * CanvasBorderPixels,
                 twipsToPixels(canvas.height) - 2 * CanvasBorderPixels);
}

// The canvas; ScaleFailed when it cannot be had.
std::optional<Canvas> makeCanvas(DrawResult &result, const Layout &l, const DrawSettings &settings)
{
    Canvas canvas(l.canvas.width, l.canvas.height, settings.background);
    if (canvas.persistentImage().isNull() && !canvas.innerPixels().isEmpty()) {
        result.status = DrawResult::ScaleFailed;
        result.failure = systemFailure(ENOMEM);
        return std::nullopt;
    }
    return canvas;
}

// The picture's place on the canvas in pixels; its natural size when it is not fitted.
QSize placeOf(const Layout &l, QSize natural)
{
    return l.target ? Canvas::stretchedPixels(innerPixels(l.canvas), *l.target).size() : natural;
}

// A film's thumbnail reads as a film: a play triangle on a dark disc in
// its middle, small enough to leave the picture seen.
void markAsFilm(QImage &image)
{
    const qreal d = qBound(10.0, qMin(image.width(), image.height()) / 4.0, 64.0);
    if (image.width() < d || image.height() < d)
        return;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QPointF c(image.width() / 2.0, image.height() / 2.0);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawEllipse(c, d / 2, d / 2);
    p.setBrush(Qt::white);
    const qreal r = d / 4;
    const QPointF triangle[] = {c + QPointF(-r * 0.6, -r), c + QPointF(-r * 0.6, r), c + QPointF(r * 1.1, 0)};
    p.drawPolygon(triangle, 3);
}

// Draws the decoded picture on its canvas.
void paint(DrawResult &result, const Layout &l, Canvas &canvas, const QImage &picture, bool film)
{
    if (l.target) {
        canvas.paintStretched(picture, *l.target);
    } else {
        canvas.setPicture(picture);
        result.loadedPicture = picture;
    }
    result.status = DrawResult::Drawn;
    result.image = canvas.persistentImage();
    result.film = film;
    if (film)
        markAsFilm(result.image);
}
}

const QImage &DecodedPicture::sourceFor(QSize target) const
{
    for (const QImage *p : {&smaller, &reduced})
        if (!p->isNull()
            && (p->size() == target || (p->width() >= target.width() * DecodeMargin && p->height() >= target.height() * DecodeMargin)))
            return *p;
    return decoded.isNull() ? reduced : decoded;
}

QSize drawnPictureSize(const DrawSettings &settings, QSize natural)
{
    return placeOf(layout(settings, natural), natural);
}

DrawResult drawThumbnail(const DrawSettings &settings, const DecodedPicture &picture)
{
    DrawResult result;
    const Layout l = layout(settings, picture.natural);
    result.canvas = l.canvas;
    std::optional<Canvas> canvas = makeCanvas(result, l, settings);
    if (!canvas)
        return result;
    paint(result, l, *canvas, picture.sourceFor(placeOf(l, picture.natural)), picture.film);
    return result;
}

DrawResult drawThumbnail(const DrawSettings &settings, const QString &path, MemoryBudget *budget,
                         const OtherSizesFor &others)
{
    DrawResult result;
    result.canvas = settings.canvas;
    // Only an ordinary file is opened: a FIFO would wait for a writer for
    // ever. Nor is a name opened that Qt cannot carry (bytes not text).
    const FileKind kind = fileKind(path);
    if (kind != FileKind::File || holdsForeignBytes(path)) {
        if (kind == FileKind::Nothing) {
            result.status = DrawResult::Missing;
            result.failure = systemFailure(ENOENT);
        } else if (kind == FileKind::Folder || kind == FileKind::Other) {
            result.status = DrawResult::NotAFile;
            result.failure = systemFailure(EINVAL);
        } else {
            result.status = DrawResult::Unreadable;
            result.failure = systemFailure(kind == FileKind::Unreachable ? EACCES : EILSEQ);
        }
        return result;
    }
    PictureReader reader(path);
    if (!reader.isValid()) {
        result.status = DrawResult::Unreadable;
        result.failure = reader.failure();
        return result;
    }
    const QSize natural = reader.naturalSize();
    result.natural = natural;
    result.taken = pictureDate(reader, path);
    const Layout l = layout(settings, natural);
    result.canvas = l.canvas;
    QSize atLeast = decodeAtLeast(l);
    // The other outputs' largest is decoded with the same margin; it is
    // made once, and the smaller ones, this thumbnail too, start from it.
    // A viewing copy that has the margin over every smaller output needs
    // only a little more than its own size: a DCT scale near it costs a
    // fraction of the whole decoding and of its reduction.
    const OtherSizes other = others ? others(natural) : OtherSizes{};
    if (atLeast.isValid() && !other.largest.isEmpty()) {
        const QSize smaller = atLeast.expandedTo(other.rest * DecodeMargin);
        if (other.viewing && other.largest.width() >= smaller.width() && other.largest.height() >= smaller.height()) {
            atLeast = other.largest * ViewingMargin;
            reader.allowFineScales();
        } else {
            atLeast = atLeast.expandedTo(other.largest * DecodeMargin);
        }
    }

    QElapsedTimer clock;
    clock.start();
    MemoryBudget::Claim claim;
    if (budget) {
        claim = budget->claim(drawingBytes(reader, atLeast, l.canvas) + qint64(other.largest.width()) * other.largest.height() * 4
                              + other.bytes);
        if (!claim) {
            result.status = DrawResult::Unreadable;
            return result;
        }
    }
    const qint64 waitNs = clock.nsecsElapsed();
    std::optional<Canvas> canvas = makeCanvas(result, l, settings);
    if (!canvas)
        return result;
    clock.start();
    auto picture = std::make_shared<DecodedPicture>();
    picture->natural = natural;
    picture->film = reader.isFilm();
    result.filmLength = reader.filmLength();
    picture->decoded = reader.decode(atLeast);
    const qint64 decodeNs = clock.nsecsElapsed();
    if (picture->decoded.isNull()) {
        result.status = DrawResult::Unreadable;
        result.failure = reader.failure();
        return result;
    }
    clock.start();
    const QSize decoded = picture->decoded.size();
    if (!other.largest.isEmpty() && decoded != other.largest && decoded.width() >= other.largest.width()
        && decoded.height() >= other.largest.height())
        picture->reduced = resampleTo(picture->decoded, other.largest);
    // The smaller outputs (a double) are made once from that, and what is
    // smaller still (this thumbnail) from them: each step a small reduction
    // with the margin over the next.
    if (!other.rest.isEmpty() && !picture->reduced.isNull() && picture->reduced.size() != other.rest
        && picture->reduced.width() >= other.rest.width() * DecodeMargin
        && picture->reduced.height() >= other.rest.height() * DecodeMargin)
        picture->smaller = resampleTo(picture->reduced, other.rest);
    const qint64 reduceNs = clock.nsecsElapsed();
    // The decoding is the largest thing held: it goes as soon as the reduced
    // picture has the margin over every output still to be drawn.
    auto serves = [&](QSize size) {
        return size.isEmpty()
               || (picture->reduced.width() >= size.width() * DecodeMargin
                   && picture->reduced.height() >= size.height() * DecodeMargin);
    };
    if (!picture->reduced.isNull() && serves(other.rest) && serves(placeOf(l, natural)))
        picture->decoded = QImage();
    clock.start();
    paint(result, l, *canvas, l.target ? picture->sourceFor(placeOf(l, natural)) : picture->sourceFor(natural),
          picture->film);
    qCDebug(lcRun).noquote().nospace()
        << path << ": decoded at 1/" << qRound(double(natural.width()) / decoded.width()) << ", "
        << decoded.width() << "x" << decoded.height() << " of " << natural.width() << "x" << natural.height()
        << ", in " << traceMs(decodeNs) << " after waiting " << traceMs(waitNs) << " for memory; "
        << (picture->reduced.isNull() ? QString() : QStringLiteral("reduced for the other sizes in ") + traceMs(reduceNs) + QStringLiteral("; "))
        << "canvas " << result.image.width() << "x" << result.image.height() << " px, "
        << (l.target ? "resampled in " : "drawn in ") << traceMs(clock.nsecsElapsed());
    if (others) {
        picture->claim = std::move(claim);
        result.decoded = std::move(picture);
    }
    return result;
}
