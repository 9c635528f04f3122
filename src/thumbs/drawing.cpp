#include "drawing.h"
#include "platform/canvas.h"
#include "platform/picture.h"
#include <cerrno>

DrawResult drawThumbnail(const DrawSettings &settings, const QString &path)
{
    DrawResult result;
    result.canvas = settings.canvas;
    if (!isOrdinaryFile(path)) {
        result.status = DrawResult::Missing;
        result.failure = systemFailure(ENOENT);
        return result;
    }
    PictureReader reader(path);
    if (!reader.isValid()) {
        result.status = DrawResult::Unreadable;
        result.failure = reader.failure();
        return result;
    }
    const QSize natural = reader.naturalSize();
    if (settings.applySizeMode)
        result.canvas = sizeCanvas(settings.size, settings.canvas, natural.width() * TwipsPerPixel,
                                   natural.height() * TwipsPerPixel);

    Canvas canvas(result.canvas.width, result.canvas.height, settings.background);
    const QSize inner = canvas.innerPixels();
    if (canvas.persistentImage().isNull() && !inner.isEmpty()) {
        result.status = DrawResult::ScaleFailed;
        result.failure = systemFailure(ENOMEM);
        return result;
    }
    const auto target = fitTarget(natural, {canvas.innerWidth(), canvas.innerHeight()});
    QSize decodeAtLeast;
    if (target)
        decodeAtLeast = QSize(qMax(1, int(target->width() / TwipsPerPixel) * DecodeMargin),
                              qMax(1, int(target->height() / TwipsPerPixel) * DecodeMargin));
    const QImage picture = reader.decode(decodeAtLeast);
    if (picture.isNull()) {
        result.status = DrawResult::Unreadable;
        result.failure = reader.failure();
        return result;
    }
    if (target) {
        canvas.paintStretched(picture, *target);
    } else {
        canvas.setPicture(picture);
        result.loadedPicture = picture;
    }
    result.status = DrawResult::Drawn;
    result.image = canvas.persistentImage();
    return result;
}
