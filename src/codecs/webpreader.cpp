// WebP through libwebp: lossy, lossless, with or without alpha, decoded at
// reduced size by libwebp's own scaling; of an animation the first frame,
// found with libwebpdemux and placed on its canvas as a GIF's first frame is.
#include "loaders.h"
#include "pictureheaders.h"
#include "pixels/rowreducer.h"
#include <QColorSpace>
#include <cerrno>
#include <cstring>
#include <webp/decode.h>
#include <webp/demux.h>

namespace {
bool isWebp(const uchar *data, qint64 size)
{
    return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr WEBP_CSP_MODE OpaqueMode = MODE_BGRA, PremultipliedMode = MODE_bgrA;
#else
constexpr WEBP_CSP_MODE OpaqueMode = MODE_ARGB, PremultipliedMode = MODE_Argb;
#endif

struct Demuxer {
    WebPDemuxer *demux;
    Demuxer(const uchar *data, qint64 size)
    {
        const WebPData bytes{data, size_t(size)};
        demux = WebPDemux(&bytes);
    }
    ~Demuxer() { WebPDemuxDelete(demux); }
    Demuxer(const Demuxer &) = delete;
    Demuxer &operator=(const Demuxer &) = delete;

    // The payload of the first chunk of this kind, or an empty array.
    QByteArray chunk(const char *fourcc) const
    {
        WebPChunkIterator it;
        if (!demux || !WebPDemuxGetChunk(demux, fourcc, 1, &it))
            return {};
        const QByteArray bytes(reinterpret_cast<const char *>(it.chunk.bytes), qsizetype(it.chunk.size));
        WebPDemuxReleaseChunkIterator(&it);
        return bytes;
    }
};

// Decodes one bitstream (a whole file, or one frame of an animation) into
// `image`, which has the size to decode at.
VP8StatusCode decodeInto(const uchar *data, size_t size, QSize natural, QImage &image)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return VP8_STATUS_INVALID_PARAM;
    if (image.size() != natural) {
        config.options.use_scaling = 1;
        config.options.scaled_width = image.width();
        config.options.scaled_height = image.height();
    }
    config.output.colorspace = image.format() == QImage::Format_RGB32 ? OpaqueMode : PremultipliedMode;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.bits();
    config.output.u.RGBA.stride = int(image.bytesPerLine());
    config.output.u.RGBA.size = size_t(image.sizeInBytes());
    const VP8StatusCode status = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    return status;
}

DecodedImage failed(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
        return {{}, systemFailure(ENOMEM)};
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return {{}, unsupported(QStringLiteral("WebP med okänd funktion"))};
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return {{}, damaged(QStringLiteral("filen tar slut för tidigt"))};
    default:
        return {{}, damaged(QStringLiteral("fel i WebP-data (%1)").arg(int(status)))};
    }
}

class WebpDecoder : public PictureDecoder {
public:
    PictureHeader readHeader(const uchar *data, qint64 size) override
    {
        if (WebPGetFeatures(data, size_t(size), &m_features) != VP8_STATUS_OK)
            return {};
        m_size = QSize(m_features.width, m_features.height);
        PictureHeader header;
        header.size = m_size;
        const Demuxer demuxer(data, size);
        const QByteArray exif = demuxer.chunk("EXIF");
        const ExifInfo info = readTiffExif(reinterpret_cast<const uchar *>(exif.constData()), exif.size());
        header.orientation = info.orientation;
        header.taken = info.taken;
        if (m_features.has_animation) {
            WebPIterator it;
            if (!demuxer.demux || !WebPDemuxGetFrame(demuxer.demux, 1, &it))
                return {};
            m_frame = QRect(it.x_offset, it.y_offset, it.width, it.height);
            WebPDemuxReleaseIterator(&it);
            if (!QRect(QPoint(0, 0), m_size).contains(m_frame))
                return {};
        }
        return header;
    }

    QSize decodedSize(QSize atLeast) const override
    {
        // libwebp's scaling averages areas, as RowReducer does (which
        // places an animation's first frame on its canvas).
        return RowReducer::reducedSize(m_size, atLeast);
    }

    qint64 decodeBytes(QSize atLeast) const override
    {
        const QSize out = decodedSize(atLeast);
        // An animation's first frame is decoded whole (in the frame's size,
        // not the canvas's), then placed on the canvas as it is shrunk.
        const QSize stream = m_features.has_animation ? m_frame.size() : m_size;
        const qint64 pixels = qint64(stream.width()) * stream.height();
        qint64 bytes = m_features.has_animation ? RowReducer::bytes(m_size, out) + pixels * 4
                                                : qint64(out.width()) * out.height() * 4;
        // A lossless bitstream is decoded whole into 32-bit pixels before
        // it is scaled; a lossy one keeps some rows of its macroblocks, and
        // its alpha plane whole (lossless-coded, twice). Scaling keeps a few
        // rows of its own. (An animation's format is told per frame.)
        if (m_features.format != 1)
            bytes += pixels * 4;
        if (m_features.has_alpha || m_features.has_animation)
            bytes += pixels * 2;
        return bytes + qint64(qMax(m_size.width(), stream.width())) * 512 + (4 << 20);
    }

    DecodedImage decode(const uchar *data, qint64 size, QSize atLeast) override
    {
        const Demuxer demuxer(data, size);
        DecodedImage decoded = m_features.has_animation ? firstFrame(demuxer, decodedSize(atLeast))
                                                        : still(data, size, decodedSize(atLeast));
        // (No profile, or an unusable one, gives no colour space: the pixels are then taken as sRGB.)
        const QByteArray icc = demuxer.chunk("ICCP");
        if (!decoded.image.isNull() && !icc.isEmpty())
            decoded.image.setColorSpace(QColorSpace::fromIccProfile(icc));
        return decoded;
    }

private:
    DecodedImage still(const uchar *data, qint64 size, QSize at)
    {
        QImage image(at, m_features.has_alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        if (image.isNull())
            return {{}, systemFailure(ENOMEM)};
        const VP8StatusCode status = decodeInto(data, size_t(size), m_size, image);
        if (status != VP8_STATUS_OK)
            return failed(status);
        return {std::move(image), {}};
    }

    // The first frame over a transparent canvas, as nothing is drawn before
    // it, shrunk row by row: the canvas itself is never held whole.
    DecodedImage firstFrame(const Demuxer &demuxer, QSize at)
    {
        WebPIterator it;
        if (!demuxer.demux || !WebPDemuxGetFrame(demuxer.demux, 1, &it))
            return {{}, damaged(QStringLiteral("första bilden saknas"))};
        const QRect frame(it.x_offset, it.y_offset, it.width, it.height);
        const bool covers = frame == QRect(QPoint(0, 0), m_size) && !it.has_alpha;
        QImage pixels(frame.size(), QImage::Format_ARGB32_Premultiplied);
        VP8StatusCode status = VP8_STATUS_OUT_OF_MEMORY;
        if (!pixels.isNull())
            status = decodeInto(it.fragment.bytes, it.fragment.size, frame.size(), pixels);
        WebPDemuxReleaseIterator(&it);
        if (status != VP8_STATUS_OK || frame != m_frame)
            return failed(status == VP8_STATUS_OK ? VP8_STATUS_BITSTREAM_ERROR : status);
        RowReducer canvas(m_size, at, covers ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
        if (canvas.isNull())
            return {{}, systemFailure(ENOMEM)};
        for (int y = 0; y < m_size.height(); ++y) {
            QRgb *row = canvas.nextRow();
            std::memset(row, 0, size_t(m_size.width()) * 4);
            if (y >= frame.top() && y <= frame.bottom())
                std::memcpy(row + frame.x(), pixels.constScanLine(y - frame.y()), size_t(frame.width()) * 4);
            canvas.rowDone();
        }
        return {canvas.take(), {}};
    }

    QRect m_frame; // an animation's first frame on its canvas
    WebPBitstreamFeatures m_features{};
    QSize m_size;
};
}

extern const PictureLoader webpLoader;
const PictureLoader webpLoader{"WebP", "webp", "image/webp", "WebP", isWebp, makeDecoder<WebpDecoder>};
