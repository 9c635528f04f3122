#include "picture.h"
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>

namespace {
std::atomic<quint64> g_decodes{0};

Failure notAPicture() { return failure(FailureCode::NotAPicture, QStringLiteral("Ogiltig bild")); }

struct AllocationLimit {
    // Qt refuses pictures over 128 MB decoded by default; a 12000 x 9000 photo
    // needs 432 MB. Our own pixel bound (MaxPixels) guards against bombs.
    AllocationLimit() { QImageReader::setAllocationLimit(1100); }
};
const AllocationLimit g_limit;

int ceilDiv(int a, int b) { return (a + b - 1) / b; }
}

bool isOrdinaryFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

PictureReader::PictureReader(const QString &path)
{
    QFileInfo info(path);
    if (!info.exists()) {
        m_failure = systemFailure(ENOENT);
        return;
    }
    if (info.isDir()) {
        m_failure = systemFailure(EISDIR);
        return;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        m_failure = systemFailure(errno ? errno : EACCES);
        return;
    }
    m_reader = std::make_unique<QImageReader>(file.release());
    m_reader->device()->setParent(nullptr);
    m_reader->setDecideFormatFromContent(true);
    const QByteArray format = m_reader->format();
    if (format != "jpeg" && format != "gif" && format != "bmp") {
        m_failure = notAPicture();
        return;
    }
    m_rawSize = m_reader->size();
    if (!m_rawSize.isValid() || m_rawSize.isEmpty()) {
        m_failure = notAPicture();
        return;
    }
    if (qint64(m_rawSize.width()) * m_rawSize.height() > MaxPixels) {
        m_failure = ::failure(FailureCode::PictureTooLarge, QStringLiteral("Bilden är för stor"));
        return;
    }
    m_reader->setAutoTransform(true);
    m_swapAxes = m_reader->transformation().testFlag(QImageIOHandler::TransformationRotate90);
    m_size = m_swapAxes ? m_rawSize.transposed() : m_rawSize;
}

PictureReader::~PictureReader()
{
    if (m_reader)
        delete m_reader->device();
}

quint64 PictureReader::decodeCount()
{
    return g_decodes.load();
}

QImage PictureReader::decode(QSize atLeast)
{
    if (!isValid())
        return {};
    if (atLeast.isValid() && m_reader->format() == "jpeg") {
        const QSize want = m_swapAxes ? atLeast.transposed() : atLeast;
        for (int denom : {8, 4, 2}) {
            const QSize scaled(ceilDiv(m_rawSize.width(), denom), ceilDiv(m_rawSize.height(), denom));
            if (scaled.width() >= want.width() && scaled.height() >= want.height()) {
                m_reader->setScaledSize(scaled);
                break;
            }
        }
    }
    ++g_decodes;
    QImage image = m_reader->read();
    if (image.isNull()) {
        m_failure = notAPicture();
        return {};
    }
    const QColorSpace cs = image.colorSpace();
    if (cs.isValid() && cs != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32);
    return image;
}
