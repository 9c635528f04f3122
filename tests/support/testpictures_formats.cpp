// PNG, WebP, HEIC, AVIF and TIFF files made by each format's own library,
// and the few crafted headers no encoder would write.
#include "testpictures.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <QTemporaryDir>
#include <avif/avif.h>
#include <cstring>
#include <libheif/heif.h>
#include <png.h>
#include <tiffio.h>
#include <vector>
#include <webp/encode.h>
#include <webp/mux.h>
#include <zlib.h>

namespace TestPictures {

namespace {
// Straight (not premultiplied) 8-bit RGBA bytes of an image, row after row.
std::vector<uint8_t> rgbaBytes(const QImage &image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    std::vector<uint8_t> bytes(size_t(rgba.width()) * rgba.height() * 4);
    for (int y = 0; y < rgba.height(); ++y)
        std::memcpy(bytes.data() + size_t(y) * rgba.width() * 4, rgba.constScanLine(y), size_t(rgba.width()) * 4);
    return bytes;
}

extern "C" void pngAppend(png_structp png, png_bytep data, size_t length)
{
    static_cast<QByteArray *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), qsizetype(length));
}
extern "C" void pngFlush(png_structp) {}

QByteArray pngEncode(const QImage &image, const Encoding &e)
{
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, pngAppend, pngFlush);
    const bool alpha = image.hasAlphaChannel();
    const int w = image.width(), h = image.height();
    const std::vector<uint8_t> rgba = rgbaBytes(image);
    int type = e.grey ? (alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                      : (alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB);
    std::vector<png_color> palette;
    std::vector<png_byte> opacity;
    std::vector<uint8_t> indices;
    if (e.palette) {
        type = PNG_COLOR_TYPE_PALETTE;
        QList<QRgb> colours;
        for (size_t i = 0; i < rgba.size(); i += 4) {
            const QRgb c = qRgba(rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]);
            qsizetype at = colours.indexOf(c);
            if (at < 0) {
                at = colours.size();
                colours << c;
            }
            indices.push_back(uint8_t(at));
        }
        if (colours.size() > 256)
            return {};
        for (QRgb c : colours) {
            palette.push_back({png_byte(qRed(c)), png_byte(qGreen(c)), png_byte(qBlue(c))});
            opacity.push_back(png_byte(qAlpha(c)));
        }
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
        if (alpha)
            png_set_tRNS(png, info, opacity.data(), int(opacity.size()), nullptr);
    }
    const int depth = e.palette ? 8 : e.bitDepth;
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, type,
                 e.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!e.icc.isEmpty())
        png_set_iCCP(png, info, "icc", 0, reinterpret_cast<png_const_bytep>(e.icc.constData()), png_uint_32(e.icc.size()));
    const QByteArray exif = exifTiff(e.orientation, {{0x9003, e.taken}});
    if (e.orientation != 1 || !e.taken.isEmpty())
        png_set_eXIf_1(png, info, png_uint_32(exif.size()), reinterpret_cast<png_bytep>(const_cast<char *>(exif.constData())));
    png_write_info(png, info);
    if (depth == 16)
        png_set_swap(png); // our samples are in the machine's order
    // Every sample of every row, in the colour type's layout.
    const int channels = e.palette ? 1 : (e.grey ? 1 : 3) + (alpha ? 1 : 0);
    const int bytes = depth / 8;
    std::vector<uint8_t> rows(size_t(w) * h * channels * bytes);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t *p = rgba.data() + (size_t(y) * w + x) * 4;
            uint8_t *q = rows.data() + (size_t(y) * w + x) * channels * bytes;
            int samples[4] = {p[0], p[1], p[2], p[3]};
            int n = 0;
            if (e.palette)
                samples[n++] = indices[size_t(y) * w + x];
            else if (e.grey)
                samples[n++] = p[0];
            else
                n = 3;
            if (!e.palette && alpha)
                samples[n++] = p[3];
            for (int c = 0; c < n; ++c) {
                if (bytes == 2) {
                    const quint16 v = quint16(samples[c] * 257);
                    std::memcpy(q + c * 2, &v, 2);
                } else {
                    q[c] = uint8_t(samples[c]);
                }
            }
        }
    std::vector<png_bytep> pointers;
    for (int y = 0; y < h; ++y)
        pointers.push_back(rows.data() + size_t(y) * w * channels * bytes);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

QByteArray webpWithChunks(const QByteArray &bitstream, const Encoding &e)
{
    if (e.orientation == 1 && e.icc.isEmpty() && e.taken.isEmpty())
        return bitstream;
    const WebPData in{reinterpret_cast<const uint8_t *>(bitstream.constData()), size_t(bitstream.size())};
    WebPMux *mux = WebPMuxCreate(&in, 1);
    const QByteArray exif = exifTiff(e.orientation, {{0x9003, e.taken}});
    const WebPData exifData{reinterpret_cast<const uint8_t *>(exif.constData()), size_t(exif.size())};
    const WebPData iccData{reinterpret_cast<const uint8_t *>(e.icc.constData()), size_t(e.icc.size())};
    if (e.orientation != 1 || !e.taken.isEmpty())
        WebPMuxSetChunk(mux, "EXIF", &exifData, 1);
    if (!e.icc.isEmpty())
        WebPMuxSetChunk(mux, "ICCP", &iccData, 1);
    WebPData out{};
    QByteArray bytes;
    if (WebPMuxAssemble(mux, &out) == WEBP_MUX_OK)
        bytes = QByteArray(reinterpret_cast<const char *>(out.bytes), qsizetype(out.size));
    WebPDataClear(&out);
    WebPMuxDelete(mux);
    return bytes;
}

// Two frames: the picture, then a grey one; the first is what a still shows.
QByteArray webpAnimation(const QImage &image, const Encoding &e)
{
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    WebPAnimEncoder *encoder = WebPAnimEncoderNew(image.width(), image.height(), &options);
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = e.lossless;
    config.quality = float(e.quality);
    QImage grey(image.size(), QImage::Format_RGB32);
    grey.fill(qRgb(100, 100, 100));
    int time = 0;
    for (const QImage &frame : {image, grey}) {
        const std::vector<uint8_t> rgba = rgbaBytes(frame);
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = frame.width();
        picture.height = frame.height();
        WebPPictureImportRGBA(&picture, rgba.data(), frame.width() * 4);
        WebPAnimEncoderAdd(encoder, &picture, time, &config);
        WebPPictureFree(&picture);
        time += 100;
    }
    WebPAnimEncoderAdd(encoder, nullptr, time, nullptr);
    WebPData out{};
    QByteArray bytes;
    if (WebPAnimEncoderAssemble(encoder, &out))
        bytes = QByteArray(reinterpret_cast<const char *>(out.bytes), qsizetype(out.size));
    WebPDataClear(&out);
    WebPAnimEncoderDelete(encoder);
    return bytes;
}

QByteArray webpEncode(const QImage &image, const Encoding &e)
{
    if (e.animated)
        return webpAnimation(image, e);
    const std::vector<uint8_t> rgba = rgbaBytes(image);
    uint8_t *out = nullptr;
    const size_t size = e.lossless
                            ? WebPEncodeLosslessRGBA(rgba.data(), image.width(), image.height(), image.width() * 4, &out)
                            : WebPEncodeRGBA(rgba.data(), image.width(), image.height(), image.width() * 4,
                                             float(e.quality), &out);
    const QByteArray bitstream(reinterpret_cast<const char *>(out), qsizetype(size));
    WebPFree(out);
    return size ? webpWithChunks(bitstream, e) : QByteArray();
}

heif_error heifAppend(heif_context *, const void *data, size_t size, void *out)
{
    static_cast<QByteArray *>(out)->append(static_cast<const char *>(data), qsizetype(size));
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

QByteArray heifEncode(const QImage &image, const Encoding &e, heif_compression_format format)
{
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    QByteArray out;
    if (heif_context_get_encoder_for_format(context, format, &encoder).code != heif_error_Ok) {
        heif_context_free(context);
        return {};
    }
    // Lossless means the RGB samples themselves, not subsampled.
    heif_color_profile_nclx *nclx = heif_nclx_color_profile_alloc();
    nclx->color_primaries = heif_color_primaries_ITU_R_BT_709_5;
    nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
    nclx->matrix_coefficients = e.lossless ? heif_matrix_coefficients_RGB_GBR : heif_matrix_coefficients_ITU_R_BT_601_6;
    nclx->full_range_flag = 1;
    if (e.lossless)
        heif_encoder_set_lossless(encoder, 1);
    else
        heif_encoder_set_lossy_quality(encoder, e.quality);
    heif_encoder_set_parameter(encoder, "chroma", e.lossless ? "444" : "420");
    // The fastest the encoders go: a test needs a file, not a small one.
    heif_encoder_set_parameter(encoder, "speed", "9");
    heif_encoder_set_parameter(encoder, "preset", "ultrafast");
    const bool alpha = image.hasAlphaChannel();
    const bool deep = e.bitDepth > 8;
    const heif_chroma chroma = deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                    : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image *picture = nullptr;
    heif_image_create(image.width(), image.height(), heif_colorspace_RGB, chroma, &picture);
    heif_image_add_plane(picture, heif_channel_interleaved, image.width(), image.height(), deep ? e.bitDepth : 8);
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
    const std::vector<uint8_t> rgba = rgbaBytes(image);
    const int channels = alpha ? 4 : 3;
    const int maximum = (1 << e.bitDepth) - 1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            for (int c = 0; c < channels; ++c) {
                const uint8_t v = rgba[(size_t(y) * image.width() + x) * 4 + c];
                if (deep) {
                    const quint16 wide = quint16((v * maximum + 127) / 255);
                    plane[y * stride + (x * channels + c) * 2] = uint8_t(wide & 0xff);
                    plane[y * stride + (x * channels + c) * 2 + 1] = uint8_t(wide >> 8);
                } else {
                    plane[y * stride + x * channels + c] = v;
                }
            }
    if (!e.icc.isEmpty())
        heif_image_set_raw_color_profile(picture, "prof", e.icc.constData(), size_t(e.icc.size()));
    heif_encoding_options *options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(e.orientation);
    options->output_nclx_profile = nclx;
    heif_writer writer{1, heifAppend};
    heif_image_handle *handle = nullptr, *thumbnail = nullptr;
    const QByteArray exif = exifTiff(e.orientation, {{0x9003, e.taken}});
    const bool encoded = heif_context_encode_image(context, picture, encoder, options, &handle).code == heif_error_Ok;
    if (encoded && e.thumbnail > 0)
        options->image_orientation = heif_orientation(e.thumbnailOrientation ? e.thumbnailOrientation : e.orientation);
    if (encoded && (e.thumbnail <= 0 || heif_context_encode_thumbnail(context, picture, handle, encoder, options, e.thumbnail, &thumbnail).code == heif_error_Ok)
        && (e.taken.isEmpty() || heif_context_add_exif_metadata(context, handle, exif.constData(), int(exif.size())).code == heif_error_Ok))
        heif_context_write(context, &writer, &out);
    heif_image_handle_release(thumbnail);
    heif_image_handle_release(handle);
    heif_encoding_options_free(options);
    heif_nclx_color_profile_free(nclx);
    heif_image_release(picture);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return out;
}

// libheif's AV1 encoder cannot make 10-bit files here; libavif's can.
QByteArray deepAvifEncode(const QImage &image, const Encoding &e)
{
    avifImage *picture = avifImageCreate(uint32_t(image.width()), uint32_t(image.height()), uint32_t(e.bitDepth),
                                         AVIF_PIXEL_FORMAT_YUV444);
    std::vector<uint8_t> rgba = rgbaBytes(image);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, picture);
    rgb.format = AVIF_RGB_FORMAT_RGBA;
    rgb.depth = 8;
    rgb.ignoreAlpha = !image.hasAlphaChannel();
    rgb.pixels = rgba.data();
    rgb.rowBytes = uint32_t(image.width()) * 4;
    QByteArray out;
    avifEncoder *encoder = avifEncoderCreate();
    encoder->speed = AVIF_SPEED_FASTEST;
    encoder->minQuantizer = encoder->maxQuantizer = e.lossless ? AVIF_QUANTIZER_LOSSLESS : 10;
    avifRWData data = AVIF_DATA_EMPTY;
    if (avifImageRGBToYUV(picture, &rgb) == AVIF_RESULT_OK && avifEncoderWrite(encoder, picture, &data) == AVIF_RESULT_OK)
        out = QByteArray(reinterpret_cast<const char *>(data.data), qsizetype(data.size));
    avifRWDataFree(&data);
    avifEncoderDestroy(encoder);
    avifImageDestroy(picture);
    return out;
}

QByteArray tiffEncode(const QImage &image, const Encoding &e)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.tif");
    TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        return {};
    const bool alpha = image.hasAlphaChannel();
    const int channels = alpha ? 4 : 3, bytes = e.bitDepth / 8;
    QImage grey(image.size(), QImage::Format_RGB32);
    grey.fill(qRgb(100, 100, 100));
    const bool reduced = e.reducedPage.isValid();
    const QImage small = reduced ? image.scaled(e.reducedPage, Qt::IgnoreAspectRatio, Qt::SmoothTransformation) : QImage();
    uint64_t subIfd = 0;
    for (int page = 0; page < e.pages + reduced; ++page) {
        const bool isReduced = reduced && page == 1;
        const QImage &picture = page == 0 ? image : isReduced ? small : grey;
        const std::vector<uint8_t> rgba = rgbaBytes(picture);
        const int w = picture.width(), h = picture.height();
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, uint32_t(isReduced ? FILETYPE_REDUCEDIMAGE : 0));
        if (page == 0 && reduced && e.reducedInSubIfd)
            TIFFSetField(tiff, TIFFTAG_SUBIFD, 1, &subIfd);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(w));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(h));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(e.bitDepth));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(channels));
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, e.lossless ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE);
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, uint16_t(page && e.thumbnailOrientation ? e.thumbnailOrientation : e.orientation));
        if (!e.taken.isEmpty())
            TIFFSetField(tiff, TIFFTAG_DATETIME, e.taken.constData());
        if (alpha) {
            const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        if (!e.icc.isEmpty())
            TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(e.icc.size()), e.icc.constData());
        // Samples of row y from x on, `count` of them.
        auto samples = [&](int y, int x, int count, uint8_t *out) {
            for (int i = 0; i < count; ++i)
                for (int c = 0; c < channels; ++c) {
                    const uint8_t v = x + i < w && y < h ? rgba[(size_t(y) * w + x + i) * 4 + c] : 0;
                    if (bytes == 2) {
                        const quint16 wide = quint16(v * 257);
                        std::memcpy(out + (i * channels + c) * 2, &wide, 2);
                    } else {
                        out[i * channels + c] = v;
                    }
                }
        };
        const int tile = e.tileSize;
        if (tile > 0) {
            TIFFSetField(tiff, TIFFTAG_TILEWIDTH, uint32_t(tile));
            TIFFSetField(tiff, TIFFTAG_TILELENGTH, uint32_t(tile));
            std::vector<uint8_t> buffer(size_t(tile) * tile * channels * bytes);
            for (int ty = 0; ty < h; ty += tile)
                for (int tx = 0; tx < w; tx += tile) {
                    for (int y = 0; y < tile; ++y)
                        samples(ty + y, tx, tile, buffer.data() + size_t(y) * tile * channels * bytes);
                    TIFFWriteTile(tiff, buffer.data(), uint32_t(tx), uint32_t(ty), 0, 0);
                }
        } else {
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(e.rowsPerStrip > 0 ? e.rowsPerStrip : 8));
            std::vector<uint8_t> row(size_t(w) * channels * bytes);
            for (int y = 0; y < h; ++y) {
                samples(y, 0, w, row.data());
                TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0);
            }
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void appendBE32(QByteArray &b, quint32 v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        b.append(char(v >> shift & 0xff));
}

void appendPngChunk(QByteArray &png, const char *type, const QByteArray &data)
{
    appendBE32(png, quint32(data.size()));
    const QByteArray typed = QByteArray(type, 4) + data;
    png.append(typed);
    appendBE32(png, quint32(crc32(0, reinterpret_cast<const Bytef *>(typed.constData()), uInt(typed.size()))));
}
}

QImage withAlpha(const QImage &image)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QPointF centre(out.width() * 0.3, out.height() * 0.5);
    const double radius = out.height() * 0.25;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QPointF d = QPointF(x, y) - centre;
            const int alpha = d.x() * d.x() + d.y() * d.y() < radius * radius ? 0
                              : y > out.height() * 0.7 && y < out.height() * 0.85 ? 160
                                                                                  : 255;
            out.setPixel(x, y, (out.pixel(x, y) & 0xffffff) | uint(alpha) << 24);
        }
    return out;
}

QByteArray encodePicture(Format format, const QImage &image, const Encoding &encoding)
{
    switch (format) {
    case Format::Png:
        return pngEncode(image, encoding);
    case Format::Webp:
        return webpEncode(image, encoding);
    case Format::Heic:
        return heifEncode(image, encoding, heif_compression_HEVC);
    case Format::Avif:
        return encoding.bitDepth > 8 ? deepAvifEncode(image, encoding) : heifEncode(image, encoding, heif_compression_AV1);
    case Format::Tiff:
        return tiffEncode(image, encoding);
    case Format::Dng:
        return dngBytes(image, encoding);
    }
    return {};
}

QString writePicture(const QString &dir, const QString &name, Format format, const QImage &image,
                     const Encoding &encoding)
{
    const QByteArray bytes = encodePicture(format, image, encoding);
    return bytes.isEmpty() ? QString() : writeFile(dir, name, bytes);
}

QString extension(Format format)
{
    static const char *const names[] = {"png", "webp", "heic", "avif", "tif", "dng"};
    return QString::fromLatin1(names[int(format)]);
}

QByteArray hugeHeaderBytes(Format format)
{
    constexpr quint32 side = 100000;
    switch (format) {
    case Format::Png: {
        QByteArray png("\x89PNG\r\n\x1a\n", 8), header;
        appendBE32(header, side);
        appendBE32(header, side);
        header.append("\x08\x02\0\0\0", 5);
        appendPngChunk(png, "IHDR", header);
        appendPngChunk(png, "IDAT", QByteArray("\x78\x9c\x03\0\0\0\0\x01", 8));
        appendPngChunk(png, "IEND", {});
        return png;
    }
    case Format::Webp: {
        // An extended header whose canvas is 100000 x 100000, then a small lossless picture.
        QByteArray small = encodePicture(Format::Webp, photo(QSize(16, 16)), {});
        QByteArray vp8x("VP8X\x0a\0\0\0\0\0\0\0\0\0\0\0\0\0", 18);
        for (int i = 0; i < 3; ++i) {
            vp8x[12 + i] = char((side - 1) >> (8 * i) & 0xff);
            vp8x[15 + i] = char((side - 1) >> (8 * i) & 0xff);
        }
        QByteArray webp = "RIFF" + QByteArray(4, '\0') + "WEBP" + vp8x + small.mid(12);
        const quint32 riff = quint32(webp.size() - 8);
        for (int i = 0; i < 4; ++i)
            webp[4 + i] = char(riff >> (8 * i) & 0xff);
        return webp;
    }
    case Format::Heic:
    case Format::Avif: {
        // The image's spatial extent, as its 'ispe' property declares it.
        QByteArray heif = encodePicture(format, photo(QSize(64, 48)), {});
        const qsizetype at = heif.indexOf("ispe");
        if (at < 0)
            return {};
        for (int i = 0; i < 4; ++i) {
            heif[at + 8 + i] = char(side >> (24 - 8 * i) & 0xff);
            heif[at + 12 + i] = char(side >> (24 - 8 * i) & 0xff);
        }
        return heif;
    }
    case Format::Dng: // (libraw reads no sides above 64000)
        return dngBytes(photo(QSize(64, 48)), {}, QSize(60000, 60000));
    case Format::Tiff: {
        // Width, length, 8 bits, RGB, one strip of 3 bytes.
        QByteArray t("II*\0\x08\0\0\0", 8);
        const struct { quint16 tag, type; quint32 value; } entries[] = {
            {256, 4, side}, {257, 4, side}, {258, 3, 8}, {259, 3, 1}, {262, 3, 2},
            {273, 4, 8 + 2 + 9 * 12 + 4}, {277, 3, 3}, {278, 4, side}, {279, 4, 3}};
        auto le = [&t](quint32 v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                t.append(char(v >> (8 * i) & 0xff));
        };
        le(9, 2);
        for (const auto &entry : entries) {
            le(entry.tag, 2);
            le(entry.type, 2);
            le(1, 4);
            le(entry.value, 4);
        }
        le(0, 4);
        t.append("\x10\x20\x30", 3);
        return t;
    }
    }
    return {};
}


QByteArray tiffBytes(TiffKind kind)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("t.tif"));
    TIFF *tiff = TIFFOpen(path.constData(), "w");
    const QSize size = kind == TiffKind::Group4 ? QSize(8192, 2048) : kind == TiffKind::YCbCr ? QSize(48, 32) : QSize(8, 8);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(size.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(size.height()));
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(size.height()));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    std::vector<uint8_t> data;
    if (kind == TiffKind::YCbCr) {
        // Each 2 x 2 block: four Y, then Cb and Cr.
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
        data.assign(size_t(size.width() * size.height() * 3 / 2), 128);
    } else if (kind == TiffKind::Group4) {
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        data.assign(size_t(size.width() / 8 * size.height()), 0);
    } else {
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32);
        TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        data.assign(size_t(size.width() * size.height() * 4), 0);
    }
    if (kind == TiffKind::YCbCr)
        TIFFWriteRawStrip(tiff, 0, data.data(), tmsize_t(data.size()));
    else
        TIFFWriteEncodedStrip(tiff, 0, data.data(), tmsize_t(data.size()));
    TIFFClose(tiff);
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray pngWithTextBytes(const QImage &image, int chunks)
{
    const QByteArray png = encodePicture(Format::Png, image);
    // zlib's stream, without the length qCompress puts in front of it.
    const QByteArray text = QByteArray("Comment\0\0", 9) + qCompress(QByteArray(7 << 20, 'x'), 9).mid(4);
    QByteArray out = png.left(8 + 25);
    for (int i = 0; i < chunks; ++i)
        appendPngChunk(out, "zTXt", text);
    return out + png.mid(8 + 25);
}

QByteArray avifSequenceBytes(const QImage &image)
{
    QByteArray avif = encodePicture(Format::Avif, image, {.lossless = false});
    avif.replace(8, 4, "avis");
    return avif;
}

QString writeFilm(const QString &dir, const QString &name, const QStringList &options, const QString &source)
{
    const QString path = QDir(dir).filePath(name);
    const QStringList input = source.endsWith(".png")          ? QStringList{"-loop", "1", "-i", source}
                              : source.contains(QLatin1Char('=')) ? QStringList{"-f", "lavfi", "-i", source}
                                                                  : QStringList{"-i", source};
    // As phones and cameras store them.
    const QStringList chroma = options.contains("copy") ? QStringList{} : QStringList{"-pix_fmt", "yuv420p"};
    return QProcess::execute("ffmpeg", QStringList{"-loglevel", "error", "-y"} + input + chroma + options + QStringList{path}) == 0
               ? path : QString();
}

QImage filmFrame(const QString &film, int n)
{
    const QString png = film + QString(".%1.png").arg(n);
    // Turned into RGB as our reader does, so only the frame chosen can differ.
    QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-i", film, "-sws_flags", "area", "-vf", QString("select=eq(n\\,%1)").arg(n),
                                 "-frames:v", "1", png});
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

namespace {
QByteArray be(quint64 v, int bytes)
{
    QByteArray b;
    for (int i = bytes - 1; i >= 0; --i)
        b.append(char(v >> (8 * i) & 0xff));
    return b;
}
QByteArray box(const char *type, const QByteArray &body) { return be(8 + body.size(), 4) + type + body; }
QByteArray fullBox(const char *type, const QByteArray &body, quint32 version = 0) { return box(type, be(version << 24, 4) + body); }
}

QByteArray heifGridBytes(QSize declared)
{
    // The tile: libheif's own 64 x 64 picture, its coded data and its decoder's configuration.
    const QByteArray small = encodePicture(Format::Heic, photo(QSize(64, 64)), {.lossless = false});
    auto boxAt = [&small](qsizetype at, int skip) {
        return small.mid(at + skip, qFromBigEndian<quint32>(small.constData() + at) - skip);
    };
    const QByteArray hvcC = boxAt(small.indexOf("hvcC") - 4, 0), tile = boxAt(small.indexOf("mdat") - 4, 8);
    const QByteArray grid = be(0, 4) + be(declared.width(), 2) + be(declared.height(), 2);
    const QByteArray ftyp = box("ftyp", "heic" + be(0, 4) + "mif1heic");
    auto item = [](int id, const char *type) { return fullBox("infe", be(id, 2) + be(0, 2) + type + '\0', 2); };
    auto extent = [](int id, quint32 at, qsizetype size) { return be(id, 2) + be(0, 2) + be(1, 2) + be(at, 4) + be(size, 4); };
    auto meta = [&](quint32 at) {
        return fullBox("meta", fullBox("hdlr", be(0, 4) + "pict" + QByteArray(12, '\0') + '\0') + fullBox("pitm", be(1, 2))
            + fullBox("iloc", be(0x4400, 2) + be(2, 2) + extent(1, at, grid.size()) + extent(2, at + grid.size(), tile.size()))
            + fullBox("iinf", be(2, 2) + item(1, "grid") + item(2, "hvc1"))
            + fullBox("iref", box("dimg", be(1, 2) + be(1, 2) + be(2, 2)))
            + box("iprp", box("ipco", hvcC + fullBox("ispe", be(64, 4) + be(64, 4))
                                          + fullBox("ispe", be(declared.width(), 4) + be(declared.height(), 4)))
                              + fullBox("ipma", be(2, 4) + be(0x00010103, 4) + be(0x0002028102, 5))));
    };
    return ftyp + meta(quint32(ftyp.size() + meta(0).size() + 8)) + box("mdat", grid + tile);
}
}
