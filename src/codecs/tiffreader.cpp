// TIFF through libtiff: the first page, in strips or tiles, whatever its
// samples (1 to 16 bits, palette, grey, RGB, CMYK, YCbCr, alpha), through
// libtiff's RGBA reader. Bands of rows are shrunk as they arrive
// (RowReducer), so only a band of the picture is held at full size.
#include "loaders.h"
#include "pictureheaders.h"
#include "pixels/rowreducer.h"
#include <QColorSpace>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <tiffio.h>
#include <memory>

namespace {
bool isTiff(const uchar *data, qint64 size)
{
    // Classic TIFF (42) and BigTIFF (43), either byte order.
    return size >= 4
           && ((data[0] == 'I' && data[1] == 'I' && (data[2] == 42 || data[2] == 43) && data[3] == 0)
               || (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && (data[3] == 42 || data[3] == 43)));
}

// The most a compressed strip can grow when decoded (LZW's longest codes
// stand for 4096 bytes, Deflate's 258 bytes take 2 bits, a PackBits run of
// 128 bytes takes 2): a few bytes cannot fill millions of pixels. A fax
// page's row takes at least one bit, however wide it is.
qint64 mostDecodedBytes(uint16_t compression, qint64 size)
{
    switch (compression) {
    case COMPRESSION_NONE:
        return size;
    case COMPRESSION_PACKBITS:
        return size * 64;
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE:
        return size * 1032;
    default:
        return size * 4096;
    }
}

bool isFax(uint16_t compression)
{
    return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTRLEW
           || compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4;
}
// About how many bytes of 32-bit pixels are read at a time: libtiff makes a
// buffer of a strip or tile for each read, so one read of many short strips
// costs far less than many reads of one.
constexpr qint64 BandBytes = 8 << 20;

// Rows read at a time: whole strips (or rows of tiles) of `unit` rows,
// as many as fit in BandBytes, at least one.
int bandRows(qint64 unit, qint64 width, qint64 height)
{
    unit = qBound<qint64>(1, unit, height);
    const qint64 units = qMax<qint64>(1, BandBytes / (width * 4 * unit));
    return int(qMin(height, units * unit));
}

struct Source {
    const uchar *data = nullptr;
    qint64 size = 0;
    qint64 at = 0;
    bool failed = false; // libtiff reported an error
    char message[160] = {}; // its first words
};

extern "C" {
tmsize_t tiffRead(thandle_t h, void *buffer, tmsize_t n)
{
    auto *s = static_cast<Source *>(h);
    const qint64 count = qBound(qint64(0), qint64(n), s->size - s->at);
    std::memcpy(buffer, s->data + s->at, size_t(count));
    s->at += count;
    return tmsize_t(count);
}
tmsize_t tiffWrite(thandle_t, void *, tmsize_t) { return 0; }
toff_t tiffSeek(thandle_t h, toff_t offset, int whence)
{
    auto *s = static_cast<Source *>(h);
    const qint64 base = whence == SEEK_CUR ? s->at : whence == SEEK_END ? s->size : 0;
    if (offset > toff_t(INT64_MAX - base))
        return toff_t(-1);
    s->at = base + qint64(offset);
    return toff_t(s->at);
}
int tiffClose(thandle_t) { return 0; }
toff_t tiffSize(thandle_t h) { return toff_t(static_cast<Source *>(h)->size); }
int tiffMap(thandle_t h, void **base, toff_t *size)
{
    auto *s = static_cast<Source *>(h);
    *base = const_cast<uchar *>(s->data);
    *size = toff_t(s->size);
    return 1;
}
void tiffUnmap(thandle_t, void *, toff_t) {}

int tiffError(TIFF *, void *user, const char *, const char *format, va_list args)
{
    auto *s = static_cast<Source *>(user);
    if (!s->failed)
        std::vsnprintf(s->message, sizeof s->message, format, args);
    s->failed = true;
    return 1; // handled: nothing printed
}
int tiffWarning(TIFF *, void *, const char *, const char *, va_list) { return 1; }
}

struct TiffClose {
    void operator()(TIFF *t) const { TIFFClose(t); }
};

class TiffDecoder : public PictureDecoder {
public:
    PictureHeader readHeader(const uchar *data, qint64 size) override
    {
        m_source = {data, size, 0, false};
        TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
        if (!options)
            return {};
        TIFFOpenOptionsSetErrorHandlerExtR(options, tiffError, &m_source);
        TIFFOpenOptionsSetWarningHandlerExtR(options, tiffWarning, nullptr);
        // No single buffer larger than a band of the largest picture we decode.
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(1) << 30);
        m_tiff.reset(TIFFClientOpenExt("picture", "r", &m_source, tiffRead, tiffWrite, tiffSeek, tiffClose, tiffSize,
                                       tiffMap, tiffUnmap, options));
        TIFFOpenOptionsFree(options);
        uint32_t width = 0, height = 0;
        char message[1024];
        if (!m_tiff || !TIFFGetField(m_tiff.get(), TIFFTAG_IMAGEWIDTH, &width)
            || !TIFFGetField(m_tiff.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0
            || width > INT_MAX || height > INT_MAX)
            return {};
        PictureHeader header;
        m_size = header.size = QSize(int(width), int(height));
        if (!TIFFRGBAImageOK(m_tiff.get(), message)) {
            header.refused = refusal(message);
            return header;
        }
        uint16_t orientation = ORIENTATION_TOPLEFT, compression = COMPRESSION_NONE, planar = PLANARCONFIG_CONTIG;
        TIFFGetFieldDefaulted(m_tiff.get(), TIFFTAG_ORIENTATION, &orientation);
        TIFFGetFieldDefaulted(m_tiff.get(), TIFFTAG_COMPRESSION, &compression);
        TIFFGetFieldDefaulted(m_tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
        header.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
        // The file is itself the TIFF structure EXIF data is.
        header.taken = readTiffExif(data, size).taken;

        // Rows read at a time: a row of tiles, or whole strips.
        if (TIFFIsTiled(m_tiff.get())) {
            uint32_t tileHeight = 0;
            TIFFGetField(m_tiff.get(), TIFFTAG_TILELENGTH, &tileHeight);
            m_band = bandRows(tileHeight, width, height);
            m_bufferBytes = qint64(TIFFTileSize64(m_tiff.get()));
        } else {
            uint32_t rowsPerStrip = height;
            TIFFGetFieldDefaulted(m_tiff.get(), TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
            m_band = bandRows(rowsPerStrip, width, height);
            m_bufferBytes = qint64(TIFFStripSize64(m_tiff.get()));
        }
        uint16_t samples = 1;
        TIFFGetFieldDefaulted(m_tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
        if (planar == PLANARCONFIG_SEPARATE)
            m_bufferBytes *= samples;
        // The samples as stored (YCbCr's colour at a quarter, say), all of
        // the strips or tiles.
        const qint64 raw = TIFFIsTiled(m_tiff.get())
                               ? qint64(TIFFTileSize64(m_tiff.get())) * TIFFNumberOfTiles(m_tiff.get())
                               : qint64(TIFFVStripSize64(m_tiff.get(), height)) * (planar == PLANARCONFIG_SEPARATE ? samples : 1);
        header.dataMissing = m_bufferBytes <= 0 || raw <= 0
                             || (isFax(compression) ? size * 8 < height : mostDecodedBytes(compression, size) < raw);
        return header;
    }

    QSize decodedSize(QSize atLeast) const override
    {
        return RowReducer::reducedSize(m_size, atLeast);
    }

    qint64 decodeBytes(QSize atLeast) const override
    {
        // The shrunk picture, a band of 32-bit pixels, libtiff's buffer of
        // a decoded strip or tile (a copy of it too, as codecs keep one) and
        // a codec's rows.
        return RowReducer::bytes(m_size, decodedSize(atLeast))
               + qint64(m_size.width()) * m_band * 4 + 2 * m_bufferBytes + qint64(m_size.width()) * 64 + (1 << 20);
    }

    DecodedImage decode(const uchar *, qint64, QSize atLeast) override
    {
        if (!m_tiff)
            return {{}, damaged(QStringLiteral("fel i TIFF-data"))};
        // What libtiff could not make sense of while opening it did without.
        m_source.failed = false;
        TIFFRGBAImage rgba;
        char message[1024];
        if (!TIFFRGBAImageBegin(&rgba, m_tiff.get(), 1, message))
            return {{}, damaged(QString::fromLatin1(message))};
        // Rows as stored: the orientation is applied afterwards, as for every format.
        rgba.req_orientation = rgba.orientation;
        const DecodedImage decoded = readBands(rgba, decodedSize(atLeast));
        TIFFRGBAImageEnd(&rgba);
        return decoded;
    }

private:
    // Why libtiff's RGBA reader will not take this picture, in our words
    // where we know them.
    Failure refusal(const char *message) const
    {
        uint16_t bits = 1, format = SAMPLEFORMAT_UINT, photometric = 0, samples = 1;
        TIFFGetFieldDefaulted(m_tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(m_tiff.get(), TIFFTAG_SAMPLEFORMAT, &format);
        TIFFGetFieldDefaulted(m_tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetField(m_tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
        if (format == SAMPLEFORMAT_IEEEFP)
            return unsupported(QStringLiteral("flyttal, %1 bitar per kanal").arg(bits));
        if (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_VOID)
            return unsupported(QStringLiteral("tal med tecken, %1 bitar per kanal").arg(bits));
        if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16)
            return unsupported(QStringLiteral("%1 bitar per kanal").arg(bits));
        if (photometric == PHOTOMETRIC_SEPARATED)
            return unsupported(QStringLiteral("CMYK med %1 kanaler och %2 bitar").arg(samples).arg(bits));
        return unsupported(QStringLiteral("TIFF: ") + QString::fromLatin1(message));
    }

    DecodedImage readBands(TIFFRGBAImage &rgba, QSize target)
    {
        const int width = m_size.width(), height = m_size.height();
        // Not cleared: libtiff fills every pixel of every band it reads.
        const std::unique_ptr<uint32_t[]> band(new (std::nothrow) uint32_t[size_t(width) * size_t(m_band)]);
        if (!band)
            return {{}, systemFailure(ENOMEM)};
        // libtiff's RGBA pixels are premultiplied (it premultiplies unassociated alpha itself).
        RowReducer reducer(m_size, target, rgba.alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        if (reducer.isNull())
            return {{}, systemFailure(ENOMEM)};
        for (int y = 0; y < height; y += m_band) {
            const int rows = qMin(m_band, height - y);
            rgba.row_offset = y;
            rgba.col_offset = 0;
            if (!TIFFRGBAImageGet(&rgba, band.get(), uint32_t(width), uint32_t(rows)) || m_source.failed)
                return {{}, damaged(m_source.failed ? QString::fromLatin1(m_source.message) : QStringLiteral("fel i TIFF-data"))};
            for (int r = 0; r < rows; ++r) {
                const uint32_t *in = band.get() + size_t(r) * size_t(width);
                QRgb *out = reducer.nextRow();
                for (int x = 0; x < width; ++x)
                    out[x] = qRgba(int(TIFFGetR(in[x])), int(TIFFGetG(in[x])), int(TIFFGetB(in[x])), int(TIFFGetA(in[x])));
                reducer.rowDone();
            }
        }
        QImage image = reducer.take();
        uint32_t length = 0;
        const void *icc = nullptr;
        if (TIFFGetField(m_tiff.get(), TIFFTAG_ICCPROFILE, &length, &icc) && icc && length > 0) {
            // (An unusable profile gives no colour space: the pixels are then taken as sRGB.)
            image.setColorSpace(QColorSpace::fromIccProfile(QByteArray(static_cast<const char *>(icc), int(length))));
        }
        return {std::move(image), {}};
    }

    Source m_source; // libtiff reads through it: declared before the handle, so it outlives it
    std::unique_ptr<TIFF, TiffClose> m_tiff;
    QSize m_size;
    int m_band = 1;
    qint64 m_bufferBytes = 0;
};
}

extern const PictureLoader tiffLoader;
const PictureLoader tiffLoader{"TIFF", "tif tiff", "image/tiff", "TIFF", isTiff, makeDecoder<TiffDecoder>};
