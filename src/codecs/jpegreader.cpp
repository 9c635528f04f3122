#include "jpegreader.h"
#include "jpegcoefficients.h"
#include "jpegerrors.h"
#include "jpegscans.h"
#include "loaders.h"
#include "pictureheaders.h"
#include <QColorSpace>
#include <cerrno>
#include <cstdlib>
#include <cstring>
extern "C" {
#include <jerror.h>
}

namespace {
// Warnings that mean pixels are missing or made up: the entropy-coded data
// ended early (the decoder ran into the marker libjpeg puts at the end of
// the data) or is corrupt. Extraneous bytes between markers are common in
// camera files and harmless, and "premature end of file" alone comes from a
// file that lacks only its end marker: its pixels are all there.
extern "C" void jpegMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return; // trace messages
    switch (info->err->msg_code) {
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
        static_cast<JpegErrors *>(info->err)->damaged = true;
        break;
    default:
        break;
    }
}

// Called by libjpeg as it works through the input: past the scan limit the
// decode is abandoned.
extern "C" void limitScans(j_common_ptr info)
{
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > MaxJpegScans)
        jpegFail(info);
}

struct Result {
    QImage image;
    QByteArray icc;
    bool damaged = false;
    bool outOfMemory = false;
};

// Decodes at eighths/8 straight into an RGB32 image. Everything that must
// survive a longjmp lives in `out`, outside this frame. Block smoothing
// guesses coefficients a progressive file has not delivered; it changes
// nothing in a complete file and must stay off for the copy made by
// jpegScansForEighth, which leaves out coefficients a 1/8 decode ignores.
bool decode(const uchar *data, qint64 size, int eighths, qint64 maxPixels, bool smoothing, Result &out)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    jpeg_progress_mgr progress{};
    JpegCoefficients coefficients;
    info.err = jpegErrors(errors, jpegMessage);
    if (setjmp(errors.jump)) {
        out.outOfMemory = out.outOfMemory || errors.msg_code == JERR_OUT_OF_MEMORY;
        jpeg_destroy_decompress(&info);
        out.image = QImage();
        return false;
    }
    jpeg_create_decompress(&info);
    coefficients.attach(info);
    progress.progress_monitor = limitScans;
    info.progress = &progress;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        jpegFail(reinterpret_cast<j_common_ptr>(&info));

    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    const J_COLOR_SPACE rgb32 = JCS_EXT_BGRA;
#else
    const J_COLOR_SPACE rgb32 = JCS_EXT_ARGB;
#endif
    info.out_color_space = cmyk ? JCS_CMYK : rgb32;
    info.do_block_smoothing = smoothing ? TRUE : FALSE;
    info.scale_num = unsigned(eighths);
    info.scale_denom = 8;
    jpeg_calc_output_dimensions(&info);
    if (qint64(info.output_width) * info.output_height > maxPixels)
        jpegFail(reinterpret_cast<j_common_ptr>(&info));
    out.image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    out.outOfMemory = out.image.isNull();
    if (out.outOfMemory)
        jpegFail(reinterpret_cast<j_common_ptr>(&info));

    JOCTET *icc = nullptr;
    unsigned iccLength = 0;
    if (jpeg_read_icc_profile(&info, &icc, &iccLength)) {
        out.icc = QByteArray(reinterpret_cast<const char *>(icc), int(iccLength));
        std::free(icc);
    }

    jpeg_start_decompress(&info);
    // Adobe writes CMYK inverted (255 = no ink); others write ink amounts.
    const bool inverted = info.saw_Adobe_marker;
    JSAMPARRAY row = cmyk ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                      info.output_width * 4, 1)
                          : nullptr;
    while (info.output_scanline < info.output_height) {
        auto *line = reinterpret_cast<QRgb *>(out.image.scanLine(int(info.output_scanline)));
        if (!cmyk) {
            JSAMPROW target = reinterpret_cast<JSAMPROW>(line);
            jpeg_read_scanlines(&info, &target, 1);
            continue;
        }
        jpeg_read_scanlines(&info, row, 1);
        const JSAMPLE *p = row[0];
        for (JDIMENSION x = 0; x < info.output_width; ++x, p += 4) {
            const int c = inverted ? p[0] : 255 - p[0];
            const int m = inverted ? p[1] : 255 - p[1];
            const int y = inverted ? p[2] : 255 - p[2];
            const int k = inverted ? p[3] : 255 - p[3];
            line[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
        }
    }
    jpeg_finish_decompress(&info);
    out.damaged = errors.damaged;
    jpeg_destroy_decompress(&info);
    return true;
}

// Reads the header into `out`; false if libjpeg cannot.
bool readHeader(const uchar *data, qint64 size, JpegHeader &out)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpegErrors(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    out.size = QSize(int(info.image_width), int(info.image_height));
    out.components = info.num_components;
    const qint64 mcuWidth = 8LL * info.max_h_samp_factor;
    out.paddedWidth = (qint64(info.image_width) + mcuWidth - 1) / mcuWidth * mcuWidth;
    // Every component's blocks are kept when the file is not one interleaved scan.
    if (info.progressive_mode || info.comps_in_scan < info.num_components) {
        for (int i = 0; i < info.num_components; ++i) {
            const jpeg_component_info &c = info.comp_info[i];
            const qint64 columns = (qint64(c.width_in_blocks) + c.h_samp_factor - 1) / c.h_samp_factor * c.h_samp_factor;
            const qint64 rows = (qint64(c.height_in_blocks) + c.v_samp_factor - 1) / c.v_samp_factor * c.v_samp_factor;
            out.coefficientBytes += columns * rows * qint64(sizeof(JBLOCK));
        }
    }
    bool exifSeen = false;
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
        out.markerBytes += m->data_length;
        if (m->marker == JPEG_APP0 + 1 && !exifSeen && m->data_length >= 6
            && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            exifSeen = true;
            const ExifInfo exif = readExif(m->data, m->data_length);
            out.orientation = exif.orientation;
            out.taken = exif.taken;
        }
    }
    jpeg_destroy_decompress(&info);
    out.valid = !out.size.isEmpty();
    return out.valid;
}
}

qint64 JpegHeader::workingBytes() const
{
    // Rows of every component for the upsampling context, the upsampler and
    // the colour converter are a few dozen rows of the padded width; a
    // megabyte covers tables and bookkeeping. The ICC profile is read out of
    // its segments into one more copy.
    return qint64(components) * paddedWidth * 64 + (1 << 20) + 2 * markerBytes;
}

JpegHeader readJpegHeader(const uchar *data, qint64 size)
{
    JpegHeader header;
    if (!readHeader(data, size, header))
        return {};
    return header;
}

QSize jpegScaledSize(QSize size, int eighths)
{
    return QSize(int((qint64(size.width()) * eighths + 7) / 8), int((qint64(size.height()) * eighths + 7) / 8));
}

DecodedImage decodeJpeg(const uchar *data, qint64 size, int eighths, qint64 maxPixels)
{
    Result result;
    bool ok = false;
    // At 1/8 a progressive file skips the scans that scale does not use.
    const QByteArray eighth = eighths == 1 ? jpegScansForEighth(data, size, MaxJpegScans) : QByteArray();
    if (eighth.isEmpty())
        ok = decode(data, size, eighths, maxPixels, true, result);
    else
        ok = decode(reinterpret_cast<const uchar *>(eighth.constData()), eighth.size(), eighths, maxPixels, false, result);
    if (result.outOfMemory)
        return {{}, systemFailure(ENOMEM)};
    if (!ok || result.damaged)
        return {{}, damaged(QStringLiteral("fel i JPEG-data"))};
    if (!result.icc.isEmpty()) {
        // An unusable profile is ignored: the pixels are then taken as sRGB.
        const QColorSpace cs = QColorSpace::fromIccProfile(result.icc);
        if (cs.isValid())
            result.image.setColorSpace(cs);
    }
    return {std::move(result.image), {}};
}

namespace {
class JpegDecoder : public PictureDecoder {
public:
    PictureHeader readHeader(const uchar *data, qint64 size) override
    {
        m_header = readJpegHeader(data, size);
        m_fileSize = size;
        PictureHeader header{m_header.size, m_header.orientation};
        header.taken = m_header.taken;
        return header;
    }

    QSize decodedSize(QSize atLeast) const override { return jpegScaledSize(m_header.size, eighths(atLeast)); }
    void allowFineScales() override { m_fine = true; }

    qint64 decodeBytes(QSize atLeast) const override
    {
        // The image, the coefficients, the decoder's rows and at 1/8 the
        // copy without the scans that scale ignores.
        const int scale = eighths(atLeast);
        const QSize scaled = jpegScaledSize(m_header.size, scale);
        return qint64(scaled.width()) * scaled.height() * 4 + m_header.coefficientBytes + m_header.workingBytes()
               + (scale == 1 ? m_fileSize : 0);
    }

    DecodedImage decode(const uchar *data, qint64 size, QSize atLeast) override
    {
        return decodeJpeg(data, size, eighths(atLeast), PictureMaxPixels);
    }

private:
    // The smallest DCT scale (in eighths) that keeps at least `atLeast`
    // pixels each way: 1/8, 1/4 or 1/2, with fine scales 3/4 too. (The
    // odd eighths are left out: on a 4:2:2 photo 5/8 measured 16 dB worse
    // than 3/4, from no more than a slightly smaller picture.)
    int eighths(QSize atLeast) const
    {
        if (!atLeast.isValid())
            return 8;
        for (int n = 1; n < 8; n = m_fine && n >= 2 ? n + 2 : n * 2) {
            const QSize scaled = jpegScaledSize(m_header.size, n);
            if (scaled.width() >= atLeast.width() && scaled.height() >= atLeast.height())
                return n;
        }
        return 8;
    }

    JpegHeader m_header;
    qint64 m_fileSize = 0;
    bool m_fine = false;
};

bool isJpeg(const uchar *data, qint64 size)
{
    return size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
}
}

extern const PictureLoader jpegLoader;
const PictureLoader jpegLoader{"JPEG", "jpg jpeg jpe jfif", "image/jpeg", "JPG", isJpeg, makeDecoder<JpegDecoder>};
