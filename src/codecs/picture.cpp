#include "picture.h"
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

PictureReader::PictureReader(const QString &path) : m_file(path)
{
    if (m_file.failure().failed()) {
        m_failure = m_file.failure();
        return;
    }
    const PictureLoader *loader = loaderFor(m_file.data(), m_file.size());
    if (!loader) {
        m_failure = notAPicture();
        return;
    }
    m_decoder = loader->make();
    const PictureHeader header = m_decoder->readHeader(m_file.data(), m_file.size());
    if (header.size.isEmpty()) {
        m_failure = notAPicture();
        return;
    }
    if (area(header.size) > MaxPixels || header.workPixels > MaxPixels) {
        m_failure = tooLarge();
        return;
    }
    // Pixel data that is not in the file: refused here, before any decoding.
    if (header.dataMissing) {
        m_failure = notAPicture();
        return;
    }
    m_orientation = header.orientation;
    m_taken = header.taken;
    m_size = m_orientation >= 5 ? header.size.transposed() : header.size;
}

qint64 PictureReader::decodeBytes(QSize atLeast) const
{
    if (!isValid())
        return 0;
    const QSize want = stored(atLeast);
    qint64 bytes = m_decoder->decodeBytes(want);
    // Orienting makes a second image.
    if (m_orientation > 1)
        bytes = qMax(bytes, 2 * area(m_decoder->decodedSize(want)) * 4);
    return bytes + m_file.heldBytes();
}

QImage PictureReader::decode(QSize atLeast)
{
    if (!isValid())
        return {};
    DecodedImage decoded = m_decoder->decode(m_file.data(), m_file.size(), stored(atLeast));
    if (!decoded.image.isNull() && m_orientation > 1) {
        decoded.image = oriented(std::move(decoded.image), m_orientation);
        if (decoded.image.isNull())
            decoded.failure = systemFailure(ENOMEM);
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

QDateTime pictureDate(const PictureReader &reader, const QString &path)
{
    const QDateTime taken = reader.dateTaken();
    return taken.isValid() ? taken : QFileInfo(path).lastModified();
}
