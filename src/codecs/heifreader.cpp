// HEIC and AVIF through libheif (with libde265 and dav1d): the primary
// image, turned, mirrored and cropped as the file says, at 8 bits whatever
// its own depth. libheif has no scaled decoding: the whole picture is
// decoded, and shrunk (RowReducer) as it is taken over from libheif; or,
// where the file stores a thumbnail of the picture large enough for the
// size asked (phones do), that is decoded instead.
#include "heifgrid.h"
#include "loaders.h"
#include "pictureheaders.h"
#include "pixels/rowreducer.h"
#include <QColorSpace>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <libheif/heif.h>
#include <memory>
#include <vector>

namespace {
bool isHeif(const uchar *data, qint64 size)
{
    if (size < 12 || std::memcmp(data + 4, "ftyp", 4) != 0)
        return false;
    if (heif_check_filetype(data, int(qMin<qint64>(size, 64))) == heif_filetype_yes_supported)
        return true;
    // An image sequence (avis, msf1) whose file also holds a still picture
    // says so among its compatible brands; the still one is what we read.
    const qint64 box = qMin<qint64>(size, quint32(data[0]) << 24 | quint32(data[1]) << 16 | quint32(data[2]) << 8 | data[3]);
    for (qint64 at = 16; at + 4 <= box; at += 4)
        for (const char *brand : {"avif", "heic", "heix", "mif1"})
            if (std::memcmp(data + at, brand, 4) == 0)
                return true;
    return false;
}

Failure heifFailure(const heif_error &error)
{
    if (error.code == heif_error_Ok)
        return {};
    if (error.subcode == heif_suberror_Security_limit_exceeded)
        return failure(FailureCode::PictureTooLarge, QStringLiteral("Bilden är för stor"),
                       QStringLiteral("för stor: ") + QString::fromUtf8(error.message));
    if (error.code == heif_error_Memory_allocation_error)
        return systemFailure(ENOMEM);
    if (error.code == heif_error_Unsupported_feature || error.code == heif_error_Unsupported_filetype)
        return unsupported(QString::fromUtf8(error.message));
    return damaged(QString::fromUtf8(error.message));
}

struct ContextFree {
    void operator()(heif_context *c) const { heif_context_free(c); }
};
struct HandleRelease {
    void operator()(heif_image_handle *h) const { heif_image_handle_release(h); }
};
struct ImageRelease {
    void operator()(heif_image *i) const { heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options *o) const { heif_decoding_options_free(o); }
};

// The colour space of a handle: its ICC profile, else the primaries its
// colour information names where they are not sRGB's.
QColorSpace colourSpaceOf(const heif_image_handle *handle)
{
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        QByteArray icc(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)), Qt::Uninitialized);
        if (!icc.isEmpty() && heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok)
            return QColorSpace::fromIccProfile(icc);
        return {};
    }
    heif_color_profile_nclx *nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
        return {};
    QColorSpace cs;
    if (nclx->color_primaries == heif_color_primaries_SMPTE_EG_432_1)
        cs = QColorSpace(QColorSpace::DisplayP3);
    else if (nclx->color_primaries == heif_color_primaries_ITU_R_BT_2020_2_and_2100_0)
        cs = QColorSpace(QPointF(0.3127, 0.3290), QPointF(0.708, 0.292), QPointF(0.170, 0.797), QPointF(0.131, 0.046),
                         QColorSpace::TransferFunction::SRgb);
    heif_nclx_color_profile_free(nclx);
    return cs;
}

// The date taken from the image's Exif block: a 4-byte offset to the TIFF
// structure, then EXIF data. The block lies in the file, so it is never
// larger than the file, whatever the file's item table claims.
QDateTime takenOf(const heif_image_handle *handle, qint64 fileSize)
{
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) != 1)
        return {};
    const size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size < 4 || size > size_t(fileSize))
        return {};
    QByteArray exif(qsizetype(size), Qt::Uninitialized);
    if (heif_image_handle_get_metadata(handle, id, exif.data()).code != heif_error_Ok)
        return {};
    const auto *bytes = reinterpret_cast<const uchar *>(exif.constData());
    const quint32 skip = qFromBigEndian<quint32>(bytes);
    if (skip > size - 4)
        return {};
    return readTiffExif(bytes + 4 + skip, qint64(size - 4 - skip)).taken;
}

// Whether a stored thumbnail shows what the primary image shows: the same
// proportions (to two pixels: HEVC's halved colour planes make encoders
// round the sides to even numbers), the same colours and transparency,
// and turned or cropped alike. libheif applies each image's own
// transformations, and a thumbnail without the primary's quarter turn would
// show the picture on its side. (libheif tells no more of them than the
// size they change: a half turn or a mirror that only the primary has goes
// unseen.)
bool showsTheSame(const heif_image_handle *thumbnail, const heif_image_handle *primary)
{
    const int w = heif_image_handle_get_width(thumbnail), h = heif_image_handle_get_height(thumbnail);
    const int W = heif_image_handle_get_width(primary), H = heif_image_handle_get_height(primary);
    auto transformed = [](const heif_image_handle *handle) {
        return heif_image_handle_get_ispe_width(handle) != heif_image_handle_get_width(handle)
               || heif_image_handle_get_ispe_height(handle) != heif_image_handle_get_height(handle);
    };
    return sameProportions(QSize(w, h), QSize(W, H)) && transformed(thumbnail) == transformed(primary)
           && heif_image_handle_has_alpha_channel(thumbnail) == heif_image_handle_has_alpha_channel(primary)
           && colourSpaceOf(thumbnail) == colourSpaceOf(primary);
}

class HeifDecoder : public PictureDecoder {
public:
    PictureHeader readHeader(const uchar *data, qint64 size) override
    {
        m_context.reset(heif_context_alloc());
        if (!m_context)
            return {};
        PictureHeader refused;
        if (refused.refused = checkHeifGrid(data, size); refused.refused.failed())
            return refused;
        refused.refused = heifFailure(heif_context_read_from_memory_without_copy(m_context.get(), data, size_t(size), nullptr));
        if (refused.refused.failed())
            return refused;
        heif_image_handle *handle = nullptr;
        refused.refused = heifFailure(heif_context_get_primary_image_handle(m_context.get(), &handle));
        if (refused.refused.failed())
            return refused;
        m_handle.reset(handle);
        m_size = QSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
        m_alpha = heif_image_handle_has_alpha_channel(handle);
        m_deep = heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
        readThumbnails();
        // libheif turns the picture itself, from the file's own transformations.
        PictureHeader header{m_size};
        header.taken = takenOf(handle, size);
        return header;
    }

    QSize decodedSize(QSize atLeast) const override
    {
        return RowReducer::reducedSize(source(atLeast).size, atLeast);
    }

    qint64 decodeBytes(QSize atLeast) const override
    {
        // The decoder's own frame and libheif's copy of the planes (at most
        // three full planes, 16 bits a sample beyond 8 bits), the alpha
        // plane, a 16-bit RGB step when the depth is reduced, the 8-bit
        // RGB(A) libheif hands over, and our picture made from it.
        const Source &from = source(atLeast);
        const qint64 pixels = qint64(from.size.width()) * from.size.height();
        const int sample = from.deep ? 2 : 1;
        return pixels * (6 * sample + (m_alpha ? 2 * sample + 4 : 3) + (from.deep ? 8 : 0))
               + RowReducer::bytes(from.size, decodedSize(atLeast)) + (16 << 20);
    }

    DecodedImage decode(const uchar *, qint64, QSize atLeast) override
    {
        if (!m_handle)
            return {{}, damaged(QStringLiteral("ingen bild i filen"))};
        const Source &from = source(atLeast);
        const std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
        if (!options)
            return {{}, systemFailure(ENOMEM)};
        options->convert_hdr_to_8bit = 1;
        // Damaged data is an error, not a picture with holes.
        options->strict_decoding = 1;
        heif_image *decoded = nullptr;
        // Three bytes a pixel where there is no alpha: a quarter less to allocate and fill.
        const heif_error error = heif_decode_image(from.handle, &decoded, heif_colorspace_RGB,
                                                   m_alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                                                   options.get());
        const std::unique_ptr<heif_image, ImageRelease> rgba(decoded);
        if (error.code != heif_error_Ok)
            return {{}, heifFailure(error)};
        if (!rgba)
            return {{}, damaged(QStringLiteral("libheif gav ingen bild"))};
        // A tile libheif could not decode is a hole in the picture, never part of it.
        heif_error warning{};
        if (heif_image_get_decoding_warnings(rgba.get(), 0, &warning, 1) > 0)
            return {{}, damaged(QString::fromUtf8(warning.message ? warning.message : "en bit gick inte att avkoda"))};
        int stride = 0;
        const uint8_t *plane = heif_image_get_plane_readonly(rgba.get(), heif_channel_interleaved, &stride);
        const QSize size(heif_image_get_width(rgba.get(), heif_channel_interleaved),
                         heif_image_get_height(rgba.get(), heif_channel_interleaved));
        const int channels = m_alpha ? 4 : 3;
        if (!plane || size != from.size || stride < size.width() * channels)
            return {{}, damaged(QStringLiteral("bilden har inte den storlek filen säger"))};

        const bool premultiplied = heif_image_handle_is_premultiplied_alpha(from.handle);
        RowReducer reducer(size, decodedSize(atLeast),
                           m_alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        if (reducer.isNull())
            return {{}, systemFailure(ENOMEM)};
        for (int y = 0; y < size.height(); ++y) {
            const uint8_t *p = plane + qint64(y) * stride;
            QRgb *line = reducer.nextRow();
            for (int x = 0; x < size.width(); ++x, p += channels) {
                const QRgb pixel = qRgba(p[0], p[1], p[2], m_alpha ? p[3] : 255);
                line[x] = m_alpha && !premultiplied ? qPremultiply(pixel) : pixel;
            }
            reducer.rowDone();
        }
        QImage image = reducer.take();
        image.setColorSpace(colourSpaceOf(m_handle.get()));
        return {std::move(image), {}};
    }

private:
    // An image of the file the picture can be decoded from: the primary or
    // one of its thumbnails.
    struct Source {
        const heif_image_handle *handle = nullptr;
        QSize size;
        bool deep = false;
    };

    // The stored thumbnails that show the picture as the primary does.
    void readThumbnails()
    {
        m_primary = {m_handle.get(), m_size, m_deep};
        const int count = heif_image_handle_get_number_of_thumbnails(m_handle.get());
        std::vector<heif_item_id> ids(size_t(qBound(0, count, 16)));
        ids.resize(size_t(heif_image_handle_get_list_of_thumbnail_IDs(m_handle.get(), ids.data(), int(ids.size()))));
        for (const heif_item_id id : ids) {
            heif_image_handle *thumbnail = nullptr;
            if (heif_image_handle_get_thumbnail(m_handle.get(), id, &thumbnail).code != heif_error_Ok)
                continue;
            m_held.emplace_back(thumbnail);
            const Source s{thumbnail, QSize(heif_image_handle_get_width(thumbnail), heif_image_handle_get_height(thumbnail)),
                           heif_image_handle_get_luma_bits_per_pixel(thumbnail) > 8};
            if (s.size.width() < m_size.width() && showsTheSame(thumbnail, m_handle.get()))
                m_thumbnails.push_back(s);
        }
    }

    const Source &source(QSize atLeast) const { return smallestAtLeast(m_primary, m_thumbnails, atLeast); }

    // The handle refers to the context, which refers to the file's bytes.
    std::unique_ptr<heif_context, ContextFree> m_context;
    std::unique_ptr<heif_image_handle, HandleRelease> m_handle;
    std::vector<std::unique_ptr<heif_image_handle, HandleRelease>> m_held; // the thumbnails'
    Source m_primary;
    std::vector<Source> m_thumbnails;
    QSize m_size;
    bool m_alpha = false;
    bool m_deep = false;
};
}

extern const PictureLoader heifLoader;
const PictureLoader heifLoader{"HEIF", "heic heif hif avif", "image/heic image/heif image/avif", "HEIC AVIF", isHeif,
                               makeDecoder<HeifDecoder>};
