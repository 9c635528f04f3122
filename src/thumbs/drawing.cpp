#include "drawing.h"
#include "codecs/picture.h"
#include "files/filenames.h"
#include "pixels/canvas.h"
#include "pixels/workbuffer.h"
#include "trace.h"
#include <cerrno>
#include <cmath>

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
}

DrawResult drawThumbnail(const DrawSettings &settings, const QString &path, MemoryBudget *budget)
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
    result.taken = pictureDate(reader, path);
    if (settings.applySizeMode) {
        result.canvas = sizeCanvas(settings.size, settings.canvas, natural.width() * TwipsPerPixel,
                                   natural.height() * TwipsPerPixel);
        // A picture sized down to nothing (a few pixels at a small
        // percentage) still gets a thumbnail of at least one pixel each way,
        // not an empty image that no format can hold.
        constexpr float smallest = (2 * CanvasBorderPixels + 1) * TwipsPerPixel;
        result.canvas.width = qMax(result.canvas.width, smallest);
        result.canvas.height = qMax(result.canvas.height, smallest);
    }

    const CanvasSize inner{result.canvas.width - CanvasBorderTwips, result.canvas.height - CanvasBorderTwips};
    auto target = fitTarget(natural, inner);
    // The size modes give the canvas the picture's proportions on its outer
    // size, while the thumbnail is the area inside the border. Fitting the
    // picture there with its exact proportions would leave a strip of
    // background of up to 2 (a - 1) pixels on both sides of a picture whose
    // sides are a : 1; the whole picture fills the area instead, a few
    // pixels narrower than exact, with no edge lost and no strip.
    if (target && settings.applySizeMode && proportional(result.canvas, natural))
        target = QRectF(0, 0, inner.width, inner.height);
    if (settings.scale > 1) {
        // A picture too small to be fitted is shown at natural size from
        // the top-left corner: at scale it is stretched to the same place.
        if (!target)
            target = QRectF(QPointF(0, 0), QSizeF(natural) * TwipsPerPixel);
        scaleUp(result.canvas, *target, settings.scale);
    }
    QSize decodeAtLeast;
    if (target)
        decodeAtLeast = QSize(qMax(1, int(target->width() / TwipsPerPixel) * DecodeMargin),
                              qMax(1, int(target->height() / TwipsPerPixel) * DecodeMargin));

    QElapsedTimer clock;
    clock.start();
    MemoryBudget::Claim claim;
    if (budget) {
        claim = budget->claim(drawingBytes(reader, decodeAtLeast, result.canvas));
        if (!claim) {
            result.status = DrawResult::Unreadable;
            return result;
        }
    }
    const qint64 waitNs = clock.nsecsElapsed();
    Canvas canvas(result.canvas.width, result.canvas.height, settings.background);
    if (canvas.persistentImage().isNull() && !canvas.innerPixels().isEmpty()) {
        result.status = DrawResult::ScaleFailed;
        result.failure = systemFailure(ENOMEM);
        return result;
    }
    clock.start();
    const QImage picture = reader.decode(decodeAtLeast);
    const qint64 decodeNs = clock.nsecsElapsed();
    if (picture.isNull()) {
        result.status = DrawResult::Unreadable;
        result.failure = reader.failure();
        return result;
    }
    clock.start();
    if (target) {
        canvas.paintStretched(picture, *target);
    } else {
        canvas.setPicture(picture);
        result.loadedPicture = picture;
    }
    qCDebug(lcRun).noquote().nospace()
        << path << ": decoded at 1/" << qRound(double(natural.width()) / picture.width()) << ", "
        << picture.width() << "x" << picture.height() << " of " << natural.width() << "x" << natural.height()
        << ", in " << traceMs(decodeNs) << " after waiting " << traceMs(waitNs) << " for memory; canvas "
        << canvas.innerPixels().width() << "x" << canvas.innerPixels().height() << " px, "
        << (target ? "resampled in " : "drawn in ") << traceMs(clock.nsecsElapsed());
    result.status = DrawResult::Drawn;
    result.image = canvas.persistentImage();
    return result;
}
