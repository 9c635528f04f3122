#include "picture.h"
#include "jpegerrors.h"
#include "jpegscans.h"
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QTransform>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
extern "C" {
#include <jpeglib.h>
#include <jerror.h>
}

namespace {
std::atomic<quint64> g_decodes{0};

Failure notAPicture() { return failure(FailureCode::NotAPicture, QStringLiteral("Ogiltig bild")); }

int ceilDiv(int a, int b) { return (a + b - 1) / b; }

// JPEG is decoded with libjpeg itself rather than through QImageReader: Qt's
// scaled read picks the scale (M+1)/8 for sizes that 1/d does not divide and
// then smooth-scales the result, which is slower and softer than the plain
// 1/2, 1/4 or 1/8 DCT scaling we want. It also hides damage: a truncated file
// comes back as a picture with a grey lower part.
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

struct JpegPicture {
    QImage image;
    QByteArray icc;
    bool damaged = false;
    bool outOfMemory = false;
};

// Decodes at 1/denom (1, 2, 4 or 8) straight into an RGB32 image. Everything
// that must survive a longjmp lives in `out`, outside this frame. Block
// smoothing guesses coefficients a progressive file has not delivered; it
// changes nothing in a complete file and must stay off for the copy made by
// jpegScansForEighth, which leaves out coefficients a 1/8 decode ignores.
bool decodeJpeg(const uchar *data, qint64 size, int denom, JpegPicture &out, bool smoothing = true)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpegErrors(errors, jpegMessage);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        out.image = QImage();
        return false;
    }
    jpeg_create_decompress(&info);
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
    info.scale_num = 1;
    info.scale_denom = unsigned(denom);
    jpeg_calc_output_dimensions(&info);
    if (qint64(info.output_width) * info.output_height > PictureReader::MaxPixels)
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

quint32 le(const QByteArray &b, int at, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | uchar(b[at + i]);
    return v;
}

// A GIF decodes to its logical screen, whatever its first frame's size; Qt
// reports the frame's size instead when the screen is very large.
QSize gifScreenSize(const QByteArray &head)
{
    if (head.size() < 10 || !head.startsWith("GIF8"))
        return {};
    return QSize(int(le(head, 6, 2)), int(le(head, 8, 2)));
}

// Whether an uncompressed BMP holds fewer pixel bytes than its header
// declares: Qt would show the missing rows as whatever memory held.
bool bmpPixelsMissing(const QByteArray &head, qint64 fileSize, QSize size)
{
    if (head.size() < 34)
        return true;
    const quint32 compression = le(head, 30, 4);
    if (compression != 0 && compression != 3) // RLE data has its own end
        return false;
    const qint64 stride = (qint64(size.width()) * le(head, 28, 2) + 31) / 32 * 4;
    return fileSize < qint64(le(head, 10, 4)) + stride * size.height();
}

// Whether the first frame of a GIF is all there: Qt decodes a cut-off frame
// without complaint and fills the rest with the background. Walks the block
// structure up to the end of the first image's data, decoding nothing.
bool gifFirstFrameComplete(const uchar *d, qint64 n)
{
    auto colourTable = [](uchar flags) { return (flags & 0x80) ? qint64(3) << ((flags & 7) + 1) : 0; };
    auto skipSubBlocks = [&](qint64 pos) {
        while (pos < n && d[pos])
            pos += d[pos] + 1;
        return pos + 1; // past the terminator; beyond n when it is missing
    };
    if (n < 13)
        return false;
    qint64 pos = 13 + colourTable(d[10]);
    while (pos < n) {
        const uchar block = d[pos++];
        if (block == 0x21) { // extension: label, then sub-blocks
            pos = skipSubBlocks(pos + 1);
        } else if (block == 0x2c) { // image descriptor, local table, code size, data
            if (pos + 9 > n)
                return false;
            pos = skipSubBlocks(pos + 9 + colourTable(d[pos + 8]) + 1);
            return pos <= n;
        } else {
            return false; // trailer or junk before any image
        }
    }
    return false;
}

// Applies the orientation the same way QImageReader's auto-transform does:
// mirror and flip first, then a quarter turn clockwise.
QImage oriented(QImage image, QImageIOHandler::Transformations t)
{
    const bool mirror = t.testFlag(QImageIOHandler::TransformationMirror);
    const bool flip = t.testFlag(QImageIOHandler::TransformationFlip);
    if (mirror || flip)
        image = image.mirrored(mirror, flip);
    if (t.testFlag(QImageIOHandler::TransformationRotate90))
        image = image.transformed(QTransform().rotate(90));
    return image;
}
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
    const QByteArray head = file->peek(34);
    const qint64 fileSize = file->size();
    m_reader = std::make_unique<QImageReader>(file.release());
    m_reader->device()->setParent(nullptr);
    m_reader->setDecideFormatFromContent(true);
    const QByteArray format = m_reader->format();
    if (format != "jpeg" && format != "gif" && format != "bmp") {
        m_failure = notAPicture();
        return;
    }
    m_rawSize = m_reader->size();
    if (format == "bmp" && m_rawSize.height() < 0 && m_rawSize.height() > INT_MIN)
        m_rawSize.setHeight(-m_rawSize.height()); // rows stored top-down
    if (format == "gif" && !gifScreenSize(head).isEmpty())
        m_rawSize = gifScreenSize(head);
    if (!m_rawSize.isValid() || m_rawSize.isEmpty()) {
        m_failure = notAPicture();
        return;
    }
    if (qint64(m_rawSize.width()) * m_rawSize.height() > MaxPixels) {
        m_failure = ::failure(FailureCode::PictureTooLarge, QStringLiteral("Bilden är för stor"));
        return;
    }
    if (format == "bmp" && bmpPixelsMissing(head, fileSize, m_rawSize)) {
        m_failure = notAPicture();
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

QImage PictureReader::readJpeg(int denom)
{
    auto *file = static_cast<QFile *>(m_reader->device());
    JpegPicture picture;
    auto decode = [&](const uchar *data, qint64 size) {
        // At 1/8 a progressive file skips the scans that scale does not use.
        const QByteArray eighth = denom == 8 ? jpegScansForEighth(data, size) : QByteArray();
        if (eighth.isEmpty())
            return decodeJpeg(data, size, denom, picture);
        return decodeJpeg(reinterpret_cast<const uchar *>(eighth.constData()), eighth.size(), denom, picture, false);
    };
    bool ok = false;
    if (uchar *mapped = file->map(0, file->size())) {
        ok = decode(mapped, file->size());
        file->unmap(mapped);
    } else {
        // Not mappable (a pipe, some network file systems): read it instead.
        const QByteArray bytes = file->seek(0) ? file->readAll() : QByteArray();
        ok = decode(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size());
    }
    if (picture.outOfMemory)
        m_failure = systemFailure(ENOMEM);
    if (!ok || picture.damaged)
        return {};
    if (!picture.icc.isEmpty()) {
        // An unusable profile is ignored: the pixels are then taken as sRGB.
        const QColorSpace cs = QColorSpace::fromIccProfile(picture.icc);
        if (cs.isValid())
            picture.image.setColorSpace(cs);
    }
    return oriented(std::move(picture.image), m_reader->transformation());
}

bool PictureReader::gifComplete()
{
    auto *file = static_cast<QFile *>(m_reader->device());
    if (uchar *mapped = file->map(0, file->size())) {
        const bool complete = gifFirstFrameComplete(mapped, file->size());
        file->unmap(mapped);
        return complete;
    }
    const qint64 pos = file->pos();
    const QByteArray bytes = file->seek(0) ? file->readAll() : QByteArray();
    file->seek(pos);
    return gifFirstFrameComplete(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size());
}

QImage PictureReader::decode(QSize atLeast)
{
    if (!isValid())
        return {};
    ++g_decodes;
    QImage image;
    if (m_reader->format() == "jpeg") {
        int denom = 1;
        if (atLeast.isValid()) {
            const QSize want = m_swapAxes ? atLeast.transposed() : atLeast;
            for (int d : {8, 4, 2}) {
                if (ceilDiv(m_rawSize.width(), d) >= want.width() && ceilDiv(m_rawSize.height(), d) >= want.height()) {
                    denom = d;
                    break;
                }
            }
        }
        image = readJpeg(denom);
    } else if (m_reader->format() == "gif" && !gifComplete()) {
        image = QImage();
    } else {
        image = m_reader->read();
    }
    if (image.isNull()) {
        if (!m_failure.failed())
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
