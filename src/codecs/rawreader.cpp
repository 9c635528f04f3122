// Camera raw (CR2, CR3, NEF, ARW, ORF, RW2, RAF, DNG) through libraw. The
// camera's own preview is what we show whenever it is large enough: it is
// the picture as the camera rendered it, and decoding it costs a fraction
// of developing the raw data. Otherwise the raw data is developed at half
// size (each 2 x 2 block of sensor cells one pixel, no demosaicing), or
// whole where the whole picture is asked for. Either way the picture is
// turned by the raw file's own orientation, never by what a preview says.
#include "jpegreader.h"
#include "loaders.h"
#include "pictureheaders.h"
#include "pixels/rowreducer.h"
#include <cerrno>
#include <cmath>
#include <cstring>
#include <libraw.h>
#include <memory>
#include <new>

// OpenMP's (libraw is built with it): the threads of the parallel loops that
// the calling thread starts.
extern "C" void omp_set_num_threads(int);

namespace {
// Whether a TIFF file is a camera's raw file rather than a picture: a DNG
// says so (DNGVersion), a CR2 marks its header, and the TIFF-shaped raws of
// Nikon, Sony and Pentax keep their sensor data in a SubIFD under IFD0,
// which a plain TIFF of theirs does not have.
bool isTiffRaw(const uchar *data, qint64 size)
{
    if (data[8] == 'C' && data[9] == 'R')
        return true;
    const ExifInfo ifd0 = readTiffExif(data, size);
    const auto maker = [&](const char *name) {
        return ifd0.make.size() >= qsizetype(std::strlen(name)) && qstrnicmp(ifd0.make.data(), name, std::strlen(name)) == 0;
    };
    return ifd0.dngVersion || (ifd0.subIfds && (maker("NIKON") || maker("SONY") || maker("PENTAX")));
}

bool isRaw(const uchar *data, qint64 size)
{
    if (size < 16)
        return false;
    const bool tiff = (data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0)
                      || (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42);
    if (tiff)
        return isTiffRaw(data, size);
    return std::memcmp(data, "IIRO", 4) == 0 || std::memcmp(data, "IIRS", 4) == 0 // Olympus ORF
           || std::memcmp(data, "MMOR", 4) == 0 || std::memcmp(data, "IIU\0", 4) == 0 // Panasonic RW2
           || std::memcmp(data, "FUJIFILMCCD-RAW", 15) == 0                            // Fuji RAF
           || (std::memcmp(data + 4, "ftypcrx ", 8) == 0);                               // Canon CR3
}

// EXIF orientation of libraw's flip (its bits: 4 swaps the axes, 2 turns
// upside down, 1 mirrors).
int orientationOfFlip(int flip)
{
    static const int exif[8] = {1, 2, 4, 3, 5, 8, 6, 7};
    return exif[flip & 7];
}

Failure rawFailure(int code, const char *what)
{
    if (code == LIBRAW_UNSUFFICIENT_MEMORY)
        return systemFailure(ENOMEM);
    if (code == LIBRAW_TOO_BIG)
        return failure(FailureCode::PictureTooLarge, QStringLiteral("Bilden är för stor"),
                       QStringLiteral("för stor: ") + QString::fromUtf8(libraw_strerror(code)));
    if (code == LIBRAW_FILE_UNSUPPORTED || code == LIBRAW_NOT_IMPLEMENTED)
        return unsupported(QStringLiteral("rå bild som libraw inte läser"));
    return damaged(QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromUtf8(libraw_strerror(code)));
}

struct ImageFree {
    void operator()(libraw_processed_image_t *i) const { LibRaw::dcraw_clear_mem(i); }
};

qint64 area(QSize s) { return qint64(s.width()) * s.height(); }

// Whether a preview shows the whole frame: the picture's proportions
// within 2 %, not a letterboxed or cropped one.
bool sameShape(QSize a, QSize b)
{
    return std::abs(double(a.width()) * b.height() - double(a.height()) * b.width())
           <= 0.02 * double(a.width()) * b.height();
}

class RawDecoder : public PictureDecoder {
public:
    PictureHeader readHeader(const uchar *data, qint64 size) override
    {
        m_raw.reset(new (std::nothrow) LibRaw(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK));
        if (!m_raw)
            return {{}, 1, 0, false, {}, systemFailure(ENOMEM)};
        m_raw->set_dataerror_handler(dataError, this);
        PictureHeader header;
        // libraw only reads the bytes.
        if (const int code = m_raw->open_buffer(const_cast<uchar *>(data), size_t(size)); code != LIBRAW_SUCCESS) {
            header.refused = rawFailure(code, "huvudet");
            return header;
        }
        const libraw_data_t &d = m_raw->imgdata;
        m_size = header.size = QSize(d.sizes.width, d.sizes.height);
        m_bayer = d.idata.filters != 0;
        m_rawPixels = qint64(d.sizes.raw_width) * d.sizes.raw_height;
        // The sensor data, one or four samples a cell, is what libraw unpacks.
        header.workPixels = m_rawPixels * (m_bayer ? 1 : 4);
        header.orientation = orientationOfFlip(d.sizes.flip);
        header.taken = data[0] == 'I' || data[0] == 'M' ? readTiffExif(data, size).taken : QDateTime();
        if (!header.taken.isValid() && d.other.timestamp > 0)
            header.taken = QDateTime::fromSecsSinceEpoch(qint64(d.other.timestamp));
        readPreview(size);
        return header;
    }

    QSize decodedSize(QSize atLeast) const override
    {
        if (usePreview(atLeast))
            return m_previewJpeg.valid ? jpegScaledSize(m_preview, previewScale(atLeast))
                                       : RowReducer::reducedSize(m_preview, atLeast);
        return RowReducer::reducedSize(developedSize(atLeast), atLeast);
    }

    qint64 decodeBytes(QSize atLeast) const override
    {
        // libraw's own state (some 750 KB) and the preview it read are held
        // from the header on.
        const qint64 thumb = m_raw ? qint64(m_raw->imgdata.thumbnail.tlength) : 0;
        const qint64 held = qint64(sizeof(LibRaw)) + thumb;
        if (usePreview(atLeast)) {
            // At 1/8 the JPEG reader copies the scans it uses.
            if (m_previewJpeg.valid)
                return held + area(decodedSize(atLeast)) * 4 + m_previewJpeg.coefficientBytes
                       + m_previewJpeg.workingBytes() + (previewScale(atLeast) == 1 ? thumb : 0) + (1 << 20);
            return held + RowReducer::bytes(m_preview, decodedSize(atLeast)) + (1 << 20);
        }
        // The unpacked sensor data, libraw's working picture of four 16-bit
        // samples a pixel (twice, as turning or stretching copies it), its
        // 8-bit copy for us, our picture, and libraw's tables and buffers.
        const QSize developed = developedSize(atLeast);
        return held + rawBytes() + area(developed) * (2 * 8 + 3)
               + RowReducer::bytes(developed, decodedSize(atLeast)) + (8 << 20);
    }

    DecodedImage decode(const uchar *, qint64, QSize atLeast) override
    {
        if (!m_raw || m_size.isEmpty())
            return {{}, damaged(QStringLiteral("ingen bild i filen"))};
        // No threads beyond the run's own: libraw's parallel loops run on
        // the thread that calls it.
        omp_set_num_threads(1);
        if (usePreview(atLeast))
            return decodePreview(atLeast);
        return develop(atLeast);
    }

private:
    static void dataError(void *self, const char *, int)
    {
        static_cast<RawDecoder *>(self)->m_dataError = true;
    }

    qint64 rawBytes() const { return m_rawPixels * (m_bayer ? 2 : 8); }

    // The camera's preview, where it lies in the file: its size and, for a
    // JPEG, its header.
    void readPreview(qint64 fileSize)
    {
        if (!m_raw->thumbOK(fileSize) || m_raw->unpack_thumb() != LIBRAW_SUCCESS)
            return;
        const libraw_thumbnail_t &t = m_raw->imgdata.thumbnail;
        if (!t.thumb || t.tlength == 0)
            return;
        if (t.tformat == LIBRAW_THUMBNAIL_JPEG) {
            m_previewJpeg = readJpegHeader(reinterpret_cast<const uchar *>(t.thumb), t.tlength);
            if (m_previewJpeg.valid)
                m_preview = m_previewJpeg.size;
        } else if (t.tformat == LIBRAW_THUMBNAIL_BITMAP && t.tcolors == 3
                   && qint64(t.twidth) * t.theight * 3 <= qint64(t.tlength)) {
            m_preview = QSize(t.twidth, t.theight);
        }
        if (!sameShape(m_preview, m_size))
            m_preview = QSize();
    }

    // The preview serves when it is at least the size asked for, or as
    // large as the picture itself.
    bool usePreview(QSize atLeast) const
    {
        if (m_preview.isEmpty())
            return false;
        if (m_preview.width() >= m_size.width() && m_preview.height() >= m_size.height())
            return true;
        return atLeast.isValid() && m_preview.width() >= atLeast.width() && m_preview.height() >= atLeast.height();
    }

    // The preview's DCT scale in eighths: 1/8, 1/4, 1/2 or whole.
    int previewScale(QSize atLeast) const
    {
        if (!atLeast.isValid())
            return 8;
        for (int n : {1, 2, 4}) {
            const QSize scaled = jpegScaledSize(m_preview, n);
            if (scaled.width() >= atLeast.width() && scaled.height() >= atLeast.height())
                return n;
        }
        return 8;
    }

    // Half size (one pixel a 2 x 2 block of a colour filter's cells) unless
    // the whole picture is asked for. It may be less than `atLeast`: its
    // pixels are whole, neither interpolated nor scaled, so it serves what
    // callers make, half of what they ask for, where developing all of a
    // large sensor would take seconds and half a gigabyte.
    bool halfSize(QSize atLeast) const
    {
        return m_bayer && atLeast.isValid() && atLeast.width() < m_size.width() && atLeast.height() < m_size.height();
    }

    QSize developedSize(QSize atLeast) const
    {
        return halfSize(atLeast) ? QSize((m_size.width() + 1) / 2, (m_size.height() + 1) / 2) : m_size;
    }

    DecodedImage decodePreview(QSize atLeast)
    {
        const libraw_thumbnail_t &t = m_raw->imgdata.thumbnail;
        const auto *bytes = reinterpret_cast<const uchar *>(t.thumb);
        if (m_previewJpeg.valid)
            return decodeJpeg(bytes, t.tlength, previewScale(atLeast), PictureMaxPixels);
        return reduced(bytes, m_preview, m_preview.width() * 3, decodedSize(atLeast));
    }

    DecodedImage develop(QSize atLeast)
    {
        libraw_output_params_t &p = m_raw->imgdata.params;
        p.half_size = halfSize(atLeast) ? 1 : 0;
        p.user_qual = 0;          // bilinear demosaicing where it is needed at all
        p.user_flip = 0;          // turned afterwards, as every format is
        p.use_camera_wb = 1;      // the white balance of the shot
        p.output_bps = 8;
        p.no_auto_bright = 1;    // the exposure as shot: brightening clips the brightest 1 %
        p.use_fuji_rotate = 0;
        // Nothing larger than the sensor data the header declared.
        p.max_raw_memory_mb = unsigned((rawBytes() >> 20) + 8);
        m_dataError = false;
        if (const int code = m_raw->unpack(); code != LIBRAW_SUCCESS)
            return {{}, rawFailure(code, "rådata")};
        if (m_dataError)
            return {{}, damaged(QStringLiteral("fel i rådata"))};
        if (const int code = m_raw->dcraw_process(); code != LIBRAW_SUCCESS)
            return {{}, rawFailure(code, "framkallning")};
        if (m_dataError)
            return {{}, damaged(QStringLiteral("fel i rådata"))};
        int code = LIBRAW_SUCCESS;
        const std::unique_ptr<libraw_processed_image_t, ImageFree> image(m_raw->dcraw_make_mem_image(&code));
        // The sensor data goes before our picture is made.
        m_raw->free_image();
        if (!image)
            return {{}, rawFailure(code == LIBRAW_SUCCESS ? LIBRAW_UNSPECIFIED_ERROR : code, "framkallning")};
        if (image->type != LIBRAW_IMAGE_BITMAP || image->colors != 3 || image->bits != 8
            || qint64(image->data_size) < qint64(image->width) * image->height * 3)
            return {{}, damaged(QStringLiteral("libraw gav ingen bild"))};
        const QSize made(image->width, image->height);
        DecodedImage out = reduced(image->data, made, made.width() * 3, RowReducer::reducedSize(made, atLeast));
        // A camera whose pixels are not square is stretched by libraw: the
        // picture keeps the size promised for it.
        const QSize promised = decodedSize(atLeast);
        if (!out.image.isNull() && out.image.size() != promised)
            out.image = out.image.scaled(promised, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return out;
    }

    // 8-bit RGB rows shrunk to `target` as they are taken over.
    static DecodedImage reduced(const uchar *rgb, QSize size, qint64 stride, QSize target)
    {
        RowReducer reducer(size, target, QImage::Format_RGB32);
        if (reducer.isNull())
            return {{}, systemFailure(ENOMEM)};
        for (int y = 0; y < size.height(); ++y) {
            const uchar *p = rgb + y * stride;
            QRgb *line = reducer.nextRow();
            for (int x = 0; x < size.width(); ++x, p += 3)
                line[x] = qRgb(p[0], p[1], p[2]);
            reducer.rowDone();
        }
        return {reducer.take(), {}};
    }

    std::unique_ptr<LibRaw> m_raw;
    QSize m_size;
    bool m_bayer = true;
    qint64 m_rawPixels = 0;
    QSize m_preview;          // empty when there is none we can use
    JpegHeader m_previewJpeg; // valid for a JPEG preview
    bool m_dataError = false;
};
}

extern const PictureLoader rawLoader;
const PictureLoader rawLoader{"RAW", "cr2 cr3 nef arw orf rw2 raf dng",
                              "image/x-canon-cr2 image/x-canon-cr3 image/x-nikon-nef image/x-sony-arw "
                              "image/x-olympus-orf image/x-panasonic-rw2 image/x-fuji-raf image/x-adobe-dng",
                              "CR2 CR3 NEF ARW ORF RW2 RAF DNG", isRaw, makeDecoder<RawDecoder>};

bool isCameraRaw(const QString &file)
{
    static const QStringList extensions = QString::fromLatin1(rawLoader.extensions).split(QLatin1Char(' '));
    return extensions.contains(file.mid(file.lastIndexOf(QLatin1Char('.')) + 1).toLower());
}
