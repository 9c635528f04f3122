#include "picture.h"
#include "bmpdecode.h"
#include "gifdecode.h"
#include <QColorSpace>
#include <QFileInfo>
#include <QTransform>
#include <cerrno>

namespace {
Failure tooLarge()
{
    return failure(FailureCode::PictureTooLarge, QStringLiteral("Bilden är för stor"));
}

qint64 area(QSize s)
{
    return qint64(s.width()) * s.height();
}

// Orients a stored picture for viewing (EXIF orientation 1..8): mirror or
// flip first, then a quarter turn clockwise where the orientation has one.
QImage oriented(QImage image, int orientation)
{
    const bool mirror = orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8;
    const bool flip = orientation == 3 || orientation == 4 || orientation == 5 || orientation == 8;
    if (mirror || flip)
        image = std::move(image).mirrored(mirror, flip);
    if (orientation >= 5)
        image = image.transformed(QTransform().rotate(90));
    return image;
}
}

bool isOrdinaryFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

PictureReader::PictureReader(const QString &path) : m_file(path)
{
    if (m_file.failure().failed()) {
        m_failure = m_file.failure();
        return;
    }
    const uchar *data = m_file.data();
    const qint64 size = m_file.size();
    m_format = pictureFormat(data, size);
    QSize stored;
    switch (m_format) {
    case PictureFormat::Jpeg:
        m_jpeg = readJpegHeader(data, size);
        if (m_jpeg.valid)
            stored = m_jpeg.size;
        break;
    case PictureFormat::Gif:
        m_gif = readGifLayout(data, size);
        if (!m_gif.valid)
            break;
        stored = m_gif.pictureSize();
        // The LZW work goes over the whole frame, even where it lies outside the picture.
        if (area(m_gif.frame.size()) > MaxPixels) {
            m_failure = tooLarge();
            return;
        }
        break;
    case PictureFormat::Bmp:
        m_bmp = readBmpHeader(data, size);
        if (m_bmp.valid)
            stored = m_bmp.size;
        break;
    case PictureFormat::Unknown:
        break;
    }
    if (stored.isEmpty()) {
        m_failure = notAPicture();
        return;
    }
    if (area(stored) > MaxPixels) {
        m_failure = tooLarge();
        return;
    }
    // Pixel data that is not in the file: refused here, before any decoding.
    const bool missing = m_format == PictureFormat::Gif ? !m_gif.complete || !m_gif.dataCanFillFrame()
                         : m_format == PictureFormat::Bmp ? bmpPixelsMissing(m_bmp, size)
                                                          : false;
    if (missing) {
        m_failure = notAPicture();
        return;
    }
    m_size = m_format == PictureFormat::Jpeg && m_jpeg.orientation >= 5 ? stored.transposed() : stored;
}

int PictureReader::jpegDenominator(QSize atLeast) const
{
    if (!atLeast.isValid())
        return 1;
    const QSize want = m_jpeg.orientation >= 5 ? atLeast.transposed() : atLeast;
    for (int d : {8, 4, 2}) {
        const QSize scaled = jpegScaledSize(m_jpeg.size, d);
        if (scaled.width() >= want.width() && scaled.height() >= want.height())
            return d;
    }
    return 1;
}

qint64 PictureReader::decodeBytes(QSize atLeast) const
{
    if (!isValid())
        return 0;
    qint64 bytes = 0;
    switch (m_format) {
    case PictureFormat::Jpeg: {
        const int denom = jpegDenominator(atLeast);
        const qint64 image = area(jpegScaledSize(m_jpeg.size, denom)) * 4;
        // While decoding: the image, the coefficients, the decoder's rows and
        // at 1/8 the copy without the scans that scale ignores. Orienting
        // then makes a second image.
        const qint64 decoding = image + m_jpeg.coefficientBytes + m_jpeg.workingBytes() + (denom == 8 ? m_file.size() : 0);
        bytes = qMax(decoding, m_jpeg.orientation > 1 ? 2 * image : 0);
        break;
    }
    case PictureFormat::Gif:
        bytes = gifDecodeBytes(m_gif);
        break;
    case PictureFormat::Bmp:
        bytes = bmpDecodeBytes(m_bmp);
        break;
    case PictureFormat::Unknown:
        break;
    }
    return bytes + m_file.heldBytes();
}

QImage PictureReader::decode(QSize atLeast)
{
    if (!isValid())
        return {};
    const uchar *data = m_file.data();
    const qint64 size = m_file.size();
    DecodedImage decoded;
    switch (m_format) {
    case PictureFormat::Jpeg:
        decoded = decodeJpeg(data, size, jpegDenominator(atLeast), MaxPixels);
        if (!decoded.image.isNull()) {
            decoded.image = oriented(std::move(decoded.image), m_jpeg.orientation);
            if (decoded.image.isNull())
                decoded.failure = systemFailure(ENOMEM);
        }
        break;
    case PictureFormat::Gif:
        decoded = decodeGif(data, size, m_gif);
        break;
    case PictureFormat::Bmp:
        decoded = decodeBmp(data, size, m_bmp);
        break;
    case PictureFormat::Unknown:
        break;
    }
    QImage image = std::move(decoded.image);
    if (image.isNull()) {
        m_failure = decoded.failure.failed() ? decoded.failure : notAPicture();
        return {};
    }
    const QColorSpace cs = image.colorSpace();
    if (cs.isValid() && cs != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != format)
        image = std::move(image).convertToFormat(format);
    if (image.isNull())
        m_failure = systemFailure(ENOMEM);
    return image;
}
