#include "encoders.h"
#include <QBuffer>
#include <QImageWriter>

namespace {
QByteArray viaQt(const QImage &image, const char *format, int quality, Failure *why)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality > 0)
        writer.setQuality(quality);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB888))) {
        if (why)
            *why = failure(FailureCode::EncoderFailed, writer.errorString());
        return {};
    }
    return out;
}
}

QByteArray encodeBmp(const QImage &image, Failure *why) { return viaQt(image, "bmp", -1, why); }
QByteArray encodeJpeg(const QImage &image, int quality, Failure *why) { return viaQt(image, "jpeg", quality, why); }
QByteArray encodeGif(const QImage &, Failure *why)
{
    if (why)
        *why = failure(FailureCode::EncoderFailed, QStringLiteral("GIF saknas"));
    return {};
}
