// TIFF through libtiff: the first page, in strips or tiles, whatever its
// samples (1 to 16 bits, palette, grey, RGB, CMYK, YCbCr, alpha), through
// libtiff's RGBA reader. Bands of rows are shrunk as they arrive
// (RowReducer), so only a band of the picture is held at full size. Where
// the file also stores the picture reduced (a pyramid's levels, a
// scanner's or camera's preview) at least as large as the size asked, the
// smallest such page is read instead.
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
#include <vector>

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

// Pages looked at for a reduced copy of the picture, in the chain after it
// and among its SubIFDs each: a pyramid of the largest picture we decode
// halves 14 times; a hostile file may chain thousands of pages.
constexpr int MostReducedPages = 16;

// The ICC profile of the current page; empty when it has none.
QByteArray iccProfile(TIFF *tiff)
{
    uint32_t length = 0;
    const void *icc = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &length, &icc) && icc && length > 0 && length <= INT_MAX)
        return QByteArray(static_cast<const char *>(icc), int(length));
    return {};
}

// What makes a page look the way it does, besides its size: a reduced page
// is used only where it shows the picture as the first page does.
struct Look {
    uint16_t orientation = ORIENTATION_TOPLEFT, photometric = 0, samples = 1, extra = 0, extraKind = 0;
    QByteArray icc;

    bool operator==(const Look &o) const
    {
        return orientation == o.orientation && photometric == o.photometric && samples == o.samples
               && extra == o.extra && extraKind == o.extraKind && icc == o.icc;
    }
};

Look lookOf(TIFF *tiff)
{
    Look look;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &look.orientation);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &look.photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &look.samples);
    const uint16_t *kinds = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &look.extra, &kinds) && kinds && look.extra > 0)
        look.extraKind = kinds[0];
    look.icc = iccProfile(tiff);
    return look;
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
        if (!m_tiff || !readSize(m_main))
            return {};
        PictureHeader header;
        header.size = m_main.size;
        char message[1024];
        if (!TIFFRGBAImageOK(m_tiff.get(), message)) {
            header.refused = refusal(message);
            return header;
        }
        m_main.offset = m_current = TIFFCurrentDirOffset(m_tiff.get());
        const Look look = lookOf(m_tiff.get());
        header.orientation = look.orientation >= 1 && look.orientation <= 8 ? look.orientation : 1;
        // The file is itself the TIFF structure EXIF data is.
        header.taken = readTiffExif(data, size).taken;
        header.dataMissing = !readLayout(m_main, size);
        if (!header.dataMissing)
            findReducedPages(look, size);
        return header;
    }

    QSize decodedSize(QSize atLeast) const override
    {
        return RowReducer::reducedSize(page(atLeast).size, atLeast);
    }

    qint64 decodeBytes(QSize atLeast) const override
    {
        // The shrunk picture, a band of 32-bit pixels, libtiff's buffer of
        // a decoded strip or tile (a copy of it too, as codecs keep one) and
        // a codec's rows, all of the page read.
        const Page &from = page(atLeast);
        return RowReducer::bytes(from.size, decodedSize(atLeast)) + qint64(from.size.width()) * from.band * 4
               + 2 * from.bufferBytes + qint64(from.size.width()) * 64 + (1 << 20);
    }

    DecodedImage decode(const uchar *, qint64, QSize atLeast) override
    {
        if (!m_tiff)
            return {{}, damaged(QStringLiteral("fel i TIFF-data"))};
        const Page &from = page(atLeast);
        // What libtiff could not make sense of while opening it did without.
        m_source.failed = false;
        if (from.offset != m_current) {
            m_current = from.offset;
            if (!TIFFSetSubDirectory(m_tiff.get(), from.offset))
                return {{}, damaged(QStringLiteral("fel i TIFF-data"))};
        }
        TIFFRGBAImage rgba;
        char message[1024];
        if (!TIFFRGBAImageBegin(&rgba, m_tiff.get(), 1, message))
            return {{}, damaged(QString::fromLatin1(message))};
        // Rows as stored: the orientation is applied afterwards, as for every format.
        rgba.req_orientation = rgba.orientation;
        const DecodedImage decoded = readBands(rgba, from, RowReducer::reducedSize(from.size, atLeast));
        TIFFRGBAImageEnd(&rgba);
        return decoded;
    }

private:
    // One page the picture can be read from: the first, or a reduced copy.
    struct Page {
        uint64_t offset = 0; // of its directory
        QSize size;
        int band = 1;        // rows read at a time
        qint64 bufferBytes = 0;
    };

    // The size of the current page; false when it has none we can take.
    bool readSize(Page &page) const
    {
        uint32_t width = 0, height = 0;
        if (!TIFFGetField(m_tiff.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(m_tiff.get(), TIFFTAG_IMAGELENGTH, &height)
            || width == 0 || height == 0 || width > INT_MAX || height > INT_MAX)
            return false;
        page.size = QSize(int(width), int(height));
        return true;
    }

    // How the current page is read, and whether its data can be in a file
    // of `size` bytes at all.
    bool readLayout(Page &page, qint64 size) const
    {
        TIFF *tiff = m_tiff.get();
        const qint64 width = page.size.width(), height = page.size.height();
        uint16_t compression = COMPRESSION_NONE, planar = PLANARCONFIG_CONTIG, samples = 1;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
        // Rows read at a time: a row of tiles, or whole strips.
        if (TIFFIsTiled(tiff)) {
            uint32_t tileHeight = 0;
            TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
            page.band = bandRows(tileHeight, width, height);
            page.bufferBytes = qint64(TIFFTileSize64(tiff));
        } else {
            uint32_t rowsPerStrip = uint32_t(height);
            TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
            page.band = bandRows(rowsPerStrip, width, height);
            page.bufferBytes = qint64(TIFFStripSize64(tiff));
        }
        if (planar == PLANARCONFIG_SEPARATE)
            page.bufferBytes *= samples;
        // The samples as stored (YCbCr's colour at a quarter, say), all of
        // the strips or tiles.
        const qint64 raw = TIFFIsTiled(tiff) ? qint64(TIFFTileSize64(tiff)) * TIFFNumberOfTiles(tiff)
                                             : qint64(TIFFVStripSize64(tiff, uint32_t(height))) * (planar == PLANARCONFIG_SEPARATE ? samples : 1);
        return page.bufferBytes > 0 && raw > 0
               && (isFax(compression) ? size * 8 >= height : mostDecodedBytes(compression, size) >= raw);
    }

    // The pages after the first and its SubIFDs that hold the picture
    // reduced, as the first page shows it, and that we can read.
    void findReducedPages(const Look &look, qint64 size)
    {
        TIFF *tiff = m_tiff.get();
        uint16_t count = 0;
        const uint64_t *listed = nullptr;
        std::vector<uint64_t> subIfds;
        if (TIFFGetField(tiff, TIFFTAG_SUBIFD, &count, &listed) && listed)
            subIfds.assign(listed, listed + qMin<int>(count, MostReducedPages));
        auto consider = [&] {
            uint32_t kind = 0;
            TIFFGetFieldDefaulted(tiff, TIFFTAG_SUBFILETYPE, &kind);
            Page page;
            char message[1024];
            if ((kind & FILETYPE_REDUCEDIMAGE) && readSize(page) && page.size.width() < m_main.size.width()
                && sameProportions(page.size, m_main.size) && lookOf(tiff) == look
                && TIFFRGBAImageOK(tiff, message) && readLayout(page, size)) {
                page.offset = TIFFCurrentDirOffset(tiff);
                m_reduced.push_back(page);
            }
        };
        // libtiff refuses a chain that loops back; the count bounds a long one.
        for (int i = 0; i < MostReducedPages && TIFFReadDirectory(tiff); ++i)
            consider();
        for (const uint64_t offset : subIfds)
            if (TIFFSetSubDirectory(tiff, offset))
                consider();
        // The first page stays current until another is read.
        m_current = 0;
        if (TIFFSetSubDirectory(tiff, m_main.offset))
            m_current = m_main.offset;
    }

    const Page &page(QSize atLeast) const { return smallestAtLeast(m_main, m_reduced, atLeast); }

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

    DecodedImage readBands(TIFFRGBAImage &rgba, const Page &page, QSize target)
    {
        const int width = page.size.width(), height = page.size.height(), bandRows = page.band;
        // Not cleared: libtiff fills every pixel of every band it reads.
        const std::unique_ptr<uint32_t[]> band(new (std::nothrow) uint32_t[size_t(width) * size_t(bandRows)]);
        if (!band)
            return {{}, systemFailure(ENOMEM)};
        // libtiff's RGBA pixels are premultiplied (it premultiplies unassociated alpha itself).
        RowReducer reducer(page.size, target, rgba.alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        if (reducer.isNull())
            return {{}, systemFailure(ENOMEM)};
        for (int y = 0; y < height; y += bandRows) {
            const int rows = qMin(bandRows, height - y);
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
        // (An unusable profile gives no colour space: the pixels are then taken as sRGB.)
        if (const QByteArray icc = iccProfile(m_tiff.get()); !icc.isEmpty())
            image.setColorSpace(QColorSpace::fromIccProfile(icc));
        return {std::move(image), {}};
    }

    Source m_source; // libtiff reads through it: declared before the handle, so it outlives it
    std::unique_ptr<TIFF, TiffClose> m_tiff;
    Page m_main;
    std::vector<Page> m_reduced;
    uint64_t m_current = 0; // the page libtiff has read; 0 when none
};
}

extern const PictureLoader tiffLoader;
const PictureLoader tiffLoader{"TIFF", "tif tiff", "image/tiff", "TIFF", isTiff, makeDecoder<TiffDecoder>};
