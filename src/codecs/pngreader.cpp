// PNG through libpng: every bit depth and colour type, palette and
// transparency, interlaced or not. Rows are shrunk as they arrive
// (RowReducer), so a large PNG never needs its whole picture in memory
// unless it is interlaced.
#include "loaders.h"
#include "pictureheaders.h"
#include "pixels/rowreducer.h"
#include <QColorSpace>
#include <QtNumeric>
#include <cerrno>
#include <cstring>
#include <png.h>
#include <vector>

namespace {
quint32 be32(const uchar *d)
{
    return quint32(d[0]) << 24 | quint32(d[1]) << 16 | quint32(d[2]) << 8 | d[3];
}

bool isPng(const uchar *data, qint64 size)
{
    return size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0;
}

constexpr png_alloc_size_t IccProfileMax = 4 << 20;

// Deflate turns one byte into at most 1032, so a few bytes of image data
// cannot fill millions of pixels.
constexpr qint64 MaxDeflateRatio = 1032;

// What the chunks say, walked without libpng: the header, how much image
// data there is, and where the EXIF data lies (it may come after the image
// data, where libpng would not have read it yet).
struct PngLayout {
    QSize size;
    int bitDepth = 0;
    int colourType = 0;
    bool interlaced = false;
    qint64 idatBytes = 0;
    const uchar *exif = nullptr;
    qint64 exifSize = 0;
};

PngLayout readLayout(const uchar *d, qint64 size)
{
    PngLayout layout;
    if (size < 8 + 8 + 13 || std::memcmp(d + 12, "IHDR", 4) != 0 || be32(d + 8) < 13)
        return {};
    const quint32 w = be32(d + 16), h = be32(d + 20);
    if (w == 0 || h == 0 || w > 0x7fffffff || h > 0x7fffffff)
        return {};
    layout.size = QSize(int(w), int(h));
    layout.bitDepth = d[24];
    layout.colourType = d[25];
    layout.interlaced = d[28] == 1;
    for (qint64 at = 8; at + 8 <= size;) {
        const qint64 length = be32(d + at);
        const uchar *type = d + at + 4;
        const qint64 available = qMin(length, size - at - 8);
        if (std::memcmp(type, "IDAT", 4) == 0)
            layout.idatBytes += available;
        else if (std::memcmp(type, "eXIf", 4) == 0 && !layout.exif) {
            layout.exif = d + at + 8;
            layout.exifSize = available;
        } else if (std::memcmp(type, "IEND", 4) == 0)
            break;
        at += 12 + length;
    }
    return layout;
}

// Bytes of one row as stored: samples of the colour type at the bit depth.
qint64 storedRowBytes(const PngLayout &l)
{
    const int channels = l.colourType == 2 ? 3 : l.colourType == 4 ? 2 : l.colourType == 6 ? 4 : 1;
    return (qint64(l.size.width()) * channels * l.bitDepth + 7) / 8;
}

struct Source {
    const uchar *data;
    qint64 size;
    qint64 at;
};

extern "C" void pngRead(png_structp png, png_bytep out, size_t length)
{
    auto *s = static_cast<Source *>(png_get_io_ptr(png));
    if (qint64(length) > s->size - s->at)
        png_error(png, "the file ends early");
    std::memcpy(out, s->data + s->at, length);
    s->at += qint64(length);
}

extern "C" void pngWarning(png_structp, png_const_charp) {}

extern "C" void pngFail(png_structp png, png_const_charp message);

// One decode. Whatever must survive a longjmp lives here, outside the
// frame that calls setjmp.
struct Decode {
    png_structp png = nullptr;
    png_infop info = nullptr;
    QString error;                  // what libpng said when it gave up
    QImage interlaced;              // the whole picture, for interlaced files
    std::unique_ptr<RowReducer> reducer;
    bool outOfMemory = false;
    ~Decode() { png_destroy_read_struct(&png, &info, nullptr); }
};

// The colour space the file declares: its ICC profile, else a gamma other
// than sRGB's.
QColorSpace colourSpaceOf(png_structp png, png_infop info)
{
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) && length > 0) {
        const QColorSpace cs = QColorSpace::fromIccProfile(QByteArray(reinterpret_cast<const char *>(profile), int(length)));
        if (cs.isValid())
            return cs;
    }
    double gamma = 0;
    if (!png_get_valid(png, info, PNG_INFO_sRGB) && png_get_gAMA(png, info, &gamma) && gamma > 0
        && qAbs(gamma - 1 / 2.2) > 0.01)
        return QColorSpace(QColorSpace::Primaries::SRgb, float(1 / gamma));
    return {};
}

extern "C" void pngFail(png_structp png, png_const_charp message)
{
    static_cast<Decode *>(png_get_error_ptr(png))->error = QString::fromLatin1(message);
    png_longjmp(png, 1);
}

// Chunks libpng would keep whole in memory that we never use: text
// (zTXt and iTXt inflated, each up to libpng's chunk limit of 8 MB, and
// as many of them as a file holds), suggested palettes, EXIF (read from
// the bytes directly) and every chunk it does not know.
const png_byte IgnoredChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0eXIf\0hIST\0pCAL\0sCAL\0tIME\0";

bool decodeInto(const uchar *data, qint64 size, QSize target, Decode &d)
{
    Source source{data, size, 0};
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d, pngFail, pngWarning);
    if (!d.png)
        return false;
    d.info = png_create_info_struct(d.png);
    if (!d.info)
        return false;
    if (setjmp(png_jmpbuf(d.png)))
        return false;
    png_set_read_fn(d.png, &source, pngRead);
    png_set_keep_unknown_chunks(d.png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(d.png, PNG_HANDLE_CHUNK_NEVER, IgnoredChunks, int(sizeof IgnoredChunks / 5));
    // An ICC profile is the one large chunk we read; 4 MB holds any real one.
    png_set_chunk_malloc_max(d.png, IccProfileMax);
    png_read_info(d.png, d.info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(d.png, d.info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
    const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(d.png, d.info, PNG_INFO_tRNS);

    // Every kind of PNG becomes 8-bit BGRA or BGRX, as ARGB32 and RGB32 lie in memory.
    png_set_expand(d.png);
    png_set_scale_16(d.png);
    png_set_gray_to_rgb(d.png);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    png_set_bgr(d.png);
    if (!alpha)
        png_set_filler(d.png, 0xff, PNG_FILLER_AFTER);
#else
    if (!alpha)
        png_set_filler(d.png, 0xff, PNG_FILLER_BEFORE);
    else
        png_set_swap_alpha(d.png);
#endif
    const int passes = png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);
    if (png_get_rowbytes(d.png, d.info) != size_t(width) * 4)
        return false;

    const QSize pictureSize{int(width), int(height)};
    const QImage::Format format = alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    d.reducer = std::make_unique<RowReducer>(pictureSize, target, format);
    d.outOfMemory = d.reducer->isNull();
    if (d.outOfMemory)
        return false;
    auto take = [&](QRgb *row) {
        if (alpha)
            for (png_uint_32 x = 0; x < width; ++x)
                row[x] = qPremultiply(row[x]);
    };
    if (passes > 1) {
        // Each pass adds to every row: the whole picture is needed at once.
        d.interlaced = QImage(pictureSize, QImage::Format_ARGB32);
        d.outOfMemory = d.interlaced.isNull();
        if (d.outOfMemory)
            return false;
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y)
                png_read_row(d.png, d.interlaced.scanLine(int(y)), nullptr);
        for (png_uint_32 y = 0; y < height; ++y) {
            QRgb *row = d.reducer->nextRow();
            std::memcpy(row, d.interlaced.constScanLine(int(y)), size_t(width) * 4);
            take(row);
            d.reducer->rowDone();
        }
        d.interlaced = QImage();
    } else {
        for (png_uint_32 y = 0; y < height; ++y) {
            QRgb *row = d.reducer->nextRow();
            png_read_row(d.png, reinterpret_cast<png_bytep>(row), nullptr);
            take(row);
            d.reducer->rowDone();
        }
    }
    return true;
}

class PngDecoder : public PictureDecoder {
public:
    PictureHeader readHeader(const uchar *data, qint64 size) override
    {
        m_layout = readLayout(data, size);
        if (m_layout.size.isEmpty())
            return {};
        PictureHeader header;
        header.size = m_layout.size;
        if (m_layout.exif) {
            const ExifInfo exif = readTiffExif(m_layout.exif, m_layout.exifSize);
            header.orientation = exif.orientation;
            header.taken = exif.taken;
        }
        // A size whose rows overflow is refused as too large before this counts.
        qint64 raw = 0;
        header.dataMissing = qMulOverflow(storedRowBytes(m_layout) + 1, qint64(m_layout.size.height()), &raw)
                             || m_layout.idatBytes * MaxDeflateRatio < raw;
        return header;
    }

    QSize decodedSize(QSize atLeast) const override
    {
        return RowReducer::reducedSize(m_layout.size, atLeast);
    }

    qint64 decodeBytes(QSize atLeast) const override
    {
                // libpng keeps two stored rows and a row of its output; zlib its
        // window; the ICC profile, inflated and compressed, is the only
        // chunk kept.
        const qint64 rows = 3 * (storedRowBytes(m_layout) + 1) + qint64(m_layout.size.width()) * 8;
        const qint64 whole = m_layout.interlaced ? qint64(m_layout.size.width()) * m_layout.size.height() * 4 : 0;
        return RowReducer::bytes(m_layout.size, decodedSize(atLeast)) + rows + whole + (IccProfileMax * 2 + (1 << 20));
    }

    DecodedImage decode(const uchar *data, qint64 size, QSize atLeast) override
    {
        Decode d;
        const bool ok = decodeInto(data, size, decodedSize(atLeast), d);
        if (d.outOfMemory)
            return {{}, systemFailure(ENOMEM)};
        if (!ok)
            return {{}, damaged(d.error.isEmpty() ? QStringLiteral("libpng gav upp") : d.error)};
        QImage image = d.reducer->take();
        image.setColorSpace(colourSpaceOf(d.png, d.info));
        return {std::move(image), {}};
    }

private:
    PngLayout m_layout;
};
}

extern const PictureLoader pngLoader;
const PictureLoader pngLoader{"PNG", "png", "image/png", "PNG", isPng, makeDecoder<PngDecoder>};
