#include "picture.h"
#include <QColorSpace>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTransform>
#include <cerrno>

namespace {
// The run's trace (QT_LOGGING_RULES='tumbilder.*=true'): which loader read
// a picture, at which size, and why one could not be read.
const QLoggingCategory &lcRun()
{
    static const QLoggingCategory category("tumbilder.run", QtWarningMsg);
    return category;
}

Failure tooLarge(QSize size)
{
    return failure(FailureCode::PictureTooLarge, QStringLiteral("Bilden är för stor"),
                   QStringLiteral("för stor: %1 × %2").arg(size.width()).arg(size.height()));
}

Failure changedWhileRead()
{
    return damaged(QStringLiteral("filen ändrades medan den lästes"));
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

PictureReader::PictureReader(const QString &path) : m_path(path), m_file(path)
{
    if (m_file.failure().failed()) {
        fail(m_file.failure());
        return;
    }
    m_loader = loaderFor(m_file.data(), m_file.size());
    if (!m_loader) {
        fail(notAPicture());
        return;
    }
    m_decoder = m_loader->make();
    const PictureHeader header = m_decoder->readHeader(m_file.data(), m_file.size());
    if (m_file.changed())
        fail(changedWhileRead());
    else if (header.refused.failed())
        fail(header.refused);
    else if (header.size.isEmpty())
        fail(damaged(QStringLiteral("huvudet går inte att läsa")));
    else if (area(header.size) > MaxPixels)
        fail(tooLarge(header.size));
    else if (header.workPixels > MaxPixels)
        fail(::failure(FailureCode::PictureTooLarge, QStringLiteral("Bilden är för stor"),
                     QStringLiteral("för stor: %1 bildpunkter att avkoda").arg(header.workPixels)));
    // Pixel data that is not in the file: refused here, before any decoding.
    else if (header.dataMissing)
        fail(damaged(QStringLiteral("bilddata saknas")));
    if (m_failure.failed())
        return;
    m_orientation = header.orientation;
    m_taken = header.taken;
    m_film = header.film;
    m_filmLength = header.filmLength;
    m_size = m_orientation >= 5 ? header.size.transposed() : header.size;
}

void PictureReader::fail(const Failure &failure)
{
    m_failure = failure;
    qCDebug(lcRun).noquote().nospace() << m_path << ": " << (m_loader ? m_loader->name : "ingen läsare") << ", "
                                       << failure.reason;
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
    qCDebug(lcRun).noquote().nospace() << m_path << ": " << m_loader->name << ", decoding "
                                       << m_decoder->decodedSize(stored(atLeast)).width() << "x"
                                       << m_decoder->decodedSize(stored(atLeast)).height() << " of "
                                       << m_size.width() << "x" << m_size.height() << ", at most "
                                       << decodeBytes(atLeast) / 1024 << " KiB";
    DecodedImage decoded = m_decoder->decode(m_file.data(), m_file.size(), stored(atLeast));
    // Bytes that vanished under the decoder (the file cut short as it was
    // read) read as zeros: whatever it made of them is no picture.
    if (m_file.changed())
        decoded = {{}, changedWhileRead()};
    if (!decoded.image.isNull() && m_orientation > 1) {
        decoded.image = oriented(std::move(decoded.image), m_orientation);
        if (decoded.image.isNull())
            decoded.failure = systemFailure(ENOMEM);
    }
    QImage image = std::move(decoded.image);
    if (image.isNull()) {
        fail(decoded.failure.failed() ? decoded.failure : damaged(QStringLiteral("avkodaren gav upp")));
        return {};
    }
    const QColorSpace cs = image.colorSpace();
    if (cs.isValid() && cs != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != format)
        image = std::move(image).convertToFormat(format);
    if (image.isNull())
        fail(systemFailure(ENOMEM));
    return image;
}

QDateTime pictureDate(const PictureReader &reader, const QString &path)
{
    const QDateTime taken = reader.dateTaken();
    return taken.isValid() ? taken : QFileInfo(path).lastModified();
}
