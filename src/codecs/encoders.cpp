#include "encoders.h"
#include "jpegerrors.h"
extern "C" {
#include <jerror.h>
}
#include <QColorSpace>
#include <QSysInfo>
#include <cstdlib>
#include <limits>
#include <gif_lib.h>
#include <libimagequant.h>
#include <memory>
#include <vector>
#if defined(__unix__) || defined(__APPLE__)
#include <dlfcn.h>
#endif

namespace {
Failure encoderFailure(const QString &description)
{
    return failure(FailureCode::EncoderFailed, description);
}

Encoded fail(const QString &description)
{
    return {{}, encoderFailure(description)};
}

void putLe16(char *p, quint32 v)
{
    p[0] = char(v & 0xff);
    p[1] = char((v >> 8) & 0xff);
}

void putLe32(char *p, quint32 v)
{
    putLe16(p, v & 0xffff);
    putLe16(p + 2, v >> 16);
}

// Every encoder works on opaque 8-bit RGB; anything else is converted first.
QImage asRgb32(const QImage &image)
{
    return image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
}

// libimagequant's objects, released on every path out.
struct LiqDeleter {
    void operator()(liq_attr *p) const { liq_attr_destroy(p); }
    void operator()(liq_image *p) const { liq_image_destroy(p); }
    void operator()(liq_result *p) const { liq_result_destroy(p); }
    void operator()(liq_histogram *p) const { liq_histogram_destroy(p); }
};
template <typename T>
using LiqPtr = std::unique_ptr<T, LiqDeleter>;

int appendToByteArray(GifFileType *gif, const GifByteType *data, int length)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(data), length);
    return length;
}

QString gifError(int code)
{
    const char *text = GifErrorString(code);
    return QStringLiteral("GIF: ") + (text ? QString::fromLatin1(text) : QStringLiteral("okänt fel"));
}

// Palette indices and palette of a quantised picture.
struct Quantised {
    std::vector<GifByteType> pixels;
    std::vector<GifColorType> colours;
};

// libimagequant spreads its work over OpenMP threads. For a thumbnail the
// hand-over costs more than it gains, and while the run's workers keep every
// core busy the waits at its barriers made a GIF several times slower. The
// thread count is a per-thread setting, so this touches only the calling
// thread. libgomp comes in with libimagequant; it is looked up at run time so
// the build needs no OpenMP flags.
void quantiseOnThisThreadOnly()
{
#if defined(__unix__) || defined(__APPLE__)
    using SetNumThreads = void (*)(int);
    static const auto setNumThreads =
        reinterpret_cast<SetNumThreads>(::dlsym(RTLD_DEFAULT, "omp_set_num_threads"));
    if (setNumThreads)
        setNumThreads(1);
#endif
}

// The picture's own colours when it has at most 256 of them (a drawing, a
// screenshot), so that they come out exact. Empty when there are more.
std::vector<liq_histogram_entry> fewColours(const QImage &rgba)
{
    // Open addressing over 1024 slots; a slot holds colour + 1, 0 is free.
    std::vector<quint32> keys(1024, 0);
    std::vector<liq_histogram_entry> entries;
    std::vector<quint16> slotEntry(1024, 0);
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar *p = rgba.constScanLine(y);
        for (int x = 0; x < rgba.width(); ++x, p += 4) {
            const quint32 key = (quint32(p[0]) << 16 | quint32(p[1]) << 8 | p[2]) + 1;
            size_t slot = (key * 2654435761u) >> 22;
            while (keys[slot] != 0 && keys[slot] != key)
                slot = (slot + 1) & 1023;
            if (keys[slot] == 0) {
                if (entries.size() == 256)
                    return {};
                keys[slot] = key;
                slotEntry[slot] = quint16(entries.size());
                entries.push_back({{p[0], p[1], p[2], 255}, 0});
            }
            ++entries[slotEntry[slot]].count;
        }
    }
    return entries;
}

// Colours of the picture gathered into 32 levels a channel, each bin keeping
// the mean of its pixels. libimagequant builds its palette from these few
// thousand entries much faster than from every distinct colour of a noisy
// photograph, at almost the same quality.
std::vector<liq_histogram_entry> coarseHistogram(const QImage &rgba)
{
    if (std::vector<liq_histogram_entry> exact = fewColours(rgba); !exact.empty())
        return exact;
    struct Bin {
        quint64 r = 0, g = 0, b = 0;
        quint32 count = 0;
    };
    std::vector<Bin> bins(size_t(1) << 15);
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar *p = rgba.constScanLine(y);
        for (int x = 0; x < rgba.width(); ++x, p += 4) {
            Bin &bin = bins[size_t(p[0] >> 3) << 10 | size_t(p[1] >> 3) << 5 | size_t(p[2] >> 3)];
            bin.r += p[0];
            bin.g += p[1];
            bin.b += p[2];
            ++bin.count;
        }
    }
    std::vector<liq_histogram_entry> entries;
    for (const Bin &bin : bins) {
        if (bin.count == 0)
            continue;
        const quint64 n = bin.count;
        entries.push_back({{uchar((bin.r + n / 2) / n), uchar((bin.g + n / 2) / n), uchar((bin.b + n / 2) / n), 255},
                           bin.count});
    }
    return entries;
}

// Reduces to at most 256 colours with dithering. Speed 5 is the fastest
// setting that keeps libimagequant's noise-sensitive dithering.
Failure quantise(const QImage &rgb32, Quantised &q)
{
    const QImage rgba = rgb32.convertToFormat(QImage::Format_RGBA8888);
    const int w = rgba.width();
    const int h = rgba.height();
    std::vector<void *> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        rows[size_t(y)] = const_cast<uchar *>(rgba.constScanLine(y));

    quantiseOnThisThreadOnly();
    LiqPtr<liq_attr> attr(liq_attr_create());
    if (!attr) {
        return encoderFailure(QStringLiteral("GIF: libimagequant kunde inte starta"));
    }
    liq_set_max_colors(attr.get(), 256);
    liq_set_speed(attr.get(), 5);
    LiqPtr<liq_histogram> histogram(liq_histogram_create(attr.get()));
    const std::vector<liq_histogram_entry> colours = coarseHistogram(rgba);
    liq_result *raw = nullptr;
    if (!histogram
        || liq_histogram_add_colors(histogram.get(), attr.get(), colours.data(), int(colours.size()), 0) != LIQ_OK
        || liq_histogram_quantize(histogram.get(), attr.get(), &raw) != LIQ_OK || !raw) {
        return encoderFailure(QStringLiteral("GIF: färgreduceringen misslyckades"));
    }
    LiqPtr<liq_result> result(raw);
    LiqPtr<liq_image> image(liq_image_create_rgba_rows(attr.get(), rows.data(), w, h, 0));
    if (!image) {
        return encoderFailure(QStringLiteral("GIF: bilden kunde inte läsas av libimagequant"));
    }
    liq_set_dithering_level(result.get(), 1.0f);
    q.pixels.resize(size_t(w) * size_t(h));
    if (const liq_error e = liq_write_remapped_image(result.get(), image.get(), q.pixels.data(), q.pixels.size());
        e != LIQ_OK) {
        return encoderFailure(QStringLiteral("GIF: färgreduceringen misslyckades (%1)").arg(int(e)));
    }
    const liq_palette *palette = liq_get_palette(result.get());
    if (!palette || palette->count == 0 || palette->count > 256) {
        return encoderFailure(QStringLiteral("GIF: ingen palett"));
    }
    q.colours.resize(palette->count);
    for (unsigned i = 0; i < palette->count; ++i)
        q.colours[i] = {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};
    return {};
}

Failure writeGif(int w, int h, Quantised &q, QByteArray &out)
{
    // A GIF colour table holds a power of two entries; the unused ones stay black.
    int tableSize = 2;
    while (tableSize < int(q.colours.size()))
        tableSize *= 2;
    q.colours.resize(size_t(tableSize), GifColorType{0, 0, 0});
    ColorMapObject *map = GifMakeMapObject(tableSize, q.colours.data());
    if (!map) {
        return encoderFailure(QStringLiteral("GIF: slut på minne"));
    }

    int code = 0;
    GifFileType *gif = EGifOpen(&out, appendToByteArray, &code);
    if (!gif) {
        GifFreeMapObject(map);
        return encoderFailure(gifError(code));
    }
    bool ok = EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK
        && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    GifFreeMapObject(map);   // the screen descriptor keeps its own copy
    for (int y = 0; ok && y < h; ++y)
        ok = EGifPutLine(gif, q.pixels.data() + size_t(y) * size_t(w), w) == GIF_OK;
    if (!ok)
        code = gif->Error;
    // EGifCloseFile writes the trailer and frees `gif` whatever happens.
    int closeCode = 0;
    if (EGifCloseFile(gif, &closeCode) != GIF_OK && ok) {
        ok = false;
        code = closeCode;
    }
    if (!ok)
        return encoderFailure(gifError(code));
    return {};
}
}

Encoded encodeBmp(const QImage &image)
{
    if (image.isNull())
        return fail(QStringLiteral("BMP: tom bild"));
    const QImage rgb = asRgb32(image);
    if (rgb.isNull())
        return fail(QStringLiteral("BMP: slut på minne"));
    const qint64 w = rgb.width();
    const qint64 h = rgb.height();
    const qint64 stride = (w * 3 + 3) & ~qint64(3);   // rows padded to 4 bytes
    const qint64 pixelBytes = stride * h;
    constexpr int headerBytes = 14 + 40;
    if (pixelBytes + headerBytes > 0x7fffffff)
        return fail(QStringLiteral("BMP: bilden är för stor"));

    QByteArray out(int(headerBytes + pixelBytes), '\0');
    char *p = out.data();
    // BITMAPFILEHEADER
    p[0] = 'B';
    p[1] = 'M';
    putLe32(p + 2, quint32(out.size()));
    putLe32(p + 10, headerBytes);
    // BITMAPINFOHEADER: 24 bits, uncompressed, bottom-up, 96 dpi.
    char *info = p + 14;
    putLe32(info, 40);
    putLe32(info + 4, quint32(w));
    putLe32(info + 8, quint32(h));
    putLe16(info + 12, 1);
    putLe16(info + 14, 24);
    putLe32(info + 16, 0);
    putLe32(info + 20, quint32(pixelBytes));
    putLe32(info + 24, 3780);
    putLe32(info + 28, 3780);

    for (qint64 y = 0; y < h; ++y) {
        const QRgb *src = reinterpret_cast<const QRgb *>(rgb.constScanLine(int(y)));
        uchar *dst = reinterpret_cast<uchar *>(p + headerBytes + (h - 1 - y) * stride);
        for (qint64 x = 0; x < w; ++x) {
            *dst++ = uchar(qBlue(src[x]));
            *dst++ = uchar(qGreen(src[x]));
            *dst++ = uchar(qRed(src[x]));
        }
    }
    return {out, {}};
}

namespace {
// The file libjpeg writes, in memory of ours that grows as it fills and is
// released on every path out, a jump back from libjpeg too.
struct JpegOut : jpeg_destination_mgr {
    JOCTET *data = nullptr;
    size_t capacity = 0;
    size_t size = 0;

    JpegOut()
    {
        init_destination = [](j_compress_ptr info) { grow(info, size_t(64) << 10, 0); };
        // Called with the whole buffer full, whatever free_in_buffer says.
        empty_output_buffer = [](j_compress_ptr info) -> boolean {
            const size_t full = static_cast<JpegOut *>(info->dest)->capacity;
            grow(info, full * 2, full);
            return TRUE;
        };
        term_destination = [](j_compress_ptr info) {
            auto *d = static_cast<JpegOut *>(info->dest);
            d->size = d->capacity - d->free_in_buffer;
        };
    }
    ~JpegOut() { std::free(data); }
    JpegOut(const JpegOut &) = delete;
    JpegOut &operator=(const JpegOut &) = delete;

    static void grow(j_compress_ptr info, size_t capacity, size_t filled)
    {
        auto *d = static_cast<JpegOut *>(info->dest);
        auto *more = capacity <= size_t(std::numeric_limits<int>::max())
                         ? static_cast<JOCTET *>(std::realloc(d->data, capacity))
                         : nullptr;
        if (!more) {
            info->err->msg_code = JERR_OUT_OF_MEMORY;
            info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
        }
        d->data = more;
        d->capacity = capacity;
        d->next_output_byte = more + filled;
        d->free_in_buffer = capacity - filled;
    }
};

// Writes the compressor's file; false when libjpeg gave up (`errors`
// says why). Nothing here may own memory across the jump back.
bool compress(jpeg_compress_struct &info, JpegErrors &errors, const QImage &rgb, int quality, HuffmanTables tables,
              JpegOut &out)
{
    info.err = jpegErrors(errors);
    if (setjmp(errors.jump))
        return false;
    jpeg_create_compress(&info);
    info.dest = &out;
    info.image_width = JDIMENSION(rgb.width());
    info.image_height = JDIMENSION(rgb.height());
    info.input_components = 4;
    // RGB32's bytes as they lie in memory: libjpeg reads them without a copy.
    info.in_color_space = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.optimize_coding = tables == HuffmanTables::Optimised;
    // Pictures are measured at 96 dpi; the file says so whatever the
    // process's screen (or lack of one) would make of the image.
    info.density_unit = 1;
    info.X_density = 96;
    info.Y_density = 96;
    jpeg_start_compress(&info, TRUE);
    if (rgb.colorSpace().isValid()) {
        const QByteArray icc = rgb.colorSpace().iccProfile();
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET *>(icc.constData()), unsigned(icc.size()));
    }
    while (info.next_scanline < info.image_height) {
        auto *row = const_cast<JSAMPROW>(rgb.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}
}

Encoded encodeJpeg(const QImage &image, int quality, HuffmanTables tables)
{
    if (image.isNull())
        return fail(QStringLiteral("JPEG: tom bild"));
    const QImage rgb = asRgb32(image);
    if (rgb.isNull())
        return fail(QStringLiteral("JPEG: slut på minne"));
    jpeg_compress_struct info{};
    JpegErrors errors;
    JpegOut out;
    const bool written = compress(info, errors, rgb, qBound(1, quality, 100), tables, out);
    char message[JMSG_LENGTH_MAX] = {};
    if (!written)
        errors.format_message(reinterpret_cast<j_common_ptr>(&info), message);
    jpeg_destroy_compress(&info);
    if (!written)
        return fail(QStringLiteral("JPEG: ") + QString::fromLocal8Bit(message));
    return {QByteArray(reinterpret_cast<const char *>(out.data), qsizetype(out.size)), {}};
}

Encoded encodeGif(const QImage &image)
{
    if (image.isNull())
        return fail(QStringLiteral("GIF: tom bild"));
    if (image.width() > 0xffff || image.height() > 0xffff)
        return fail(QStringLiteral("GIF: bilden är för stor"));
    const QImage rgb = asRgb32(image);
    if (rgb.isNull())
        return fail(QStringLiteral("GIF: slut på minne"));
    Quantised q;
    QByteArray out;
    Failure f = quantise(rgb, q);
    if (!f.failed())
        f = writeGif(rgb.width(), rgb.height(), q, out);
    if (f.failed())
        return {{}, f};
    return {out, {}};
}
