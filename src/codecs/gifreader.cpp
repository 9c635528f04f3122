#include "gifreader.h"
#include "loaders.h"
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <vector>
#include <gif_lib.h>

namespace {
struct Source {
    const uchar *data;
    qint64 size;
    qint64 pos;
};

extern "C" int readFromMemory(GifFileType *gif, GifByteType *buffer, int length)
{
    auto *s = static_cast<Source *>(gif->UserData);
    const qint64 n = qBound(qint64(0), qint64(length), s->size - s->pos);
    std::memcpy(buffer, s->data + s->pos, size_t(n));
    s->pos += n;
    return int(n);
}

struct GifCloser {
    void operator()(GifFileType *gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

// Reads the records up to the first image descriptor; the transparent colour
// index from the last graphic control block before it, or -1.
bool toFirstImage(GifFileType *gif, int &transparent)
{
    transparent = -1;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return false;
        if (type == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) != GIF_ERROR;
        if (type != EXTENSION_RECORD_TYPE)
            return false;
        int code = 0;
        GifByteType *block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            return false;
        GraphicsControlBlock gcb;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4
            && DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
            transparent = gcb.TransparentColor;
        while (block) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                return false;
        }
    }
}
}

qint64 gifDecodeBytes(const GifLayout &layout)
{
    const QSize picture = layout.pictureSize();
    const QRect visible = layout.framePlacement() & QRect(QPoint(0, 0), picture);
    // giflib's own tables and one row of the frame come on top.
    return qint64(picture.width()) * picture.height() * 4 + qint64(visible.width()) * visible.height()
           + layout.frame.width() + (64 << 10);
}

DecodedImage decodeGif(const uchar *data, qint64 size, const GifLayout &layout)
{
    Source source{data, size, 0};
    int error = 0;
    const GifFile gif(DGifOpen(&source, readFromMemory, &error));
    int transparent = -1;
    if (!gif || !toFirstImage(gif.get(), transparent))
        return {{}, damaged(QStringLiteral("fel i GIF-data"))};
    const GifImageDesc &desc = gif->Image;
    // The structure was walked before; giflib must have read the same frame.
    if (QRect(desc.Left, desc.Top, desc.Width, desc.Height) != layout.frame)
        return {{}, damaged(QStringLiteral("fel i GIF-data"))};

    QRgb colours[256];
    std::fill(std::begin(colours), std::end(colours), qRgb(0, 0, 0));
    if (const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : gif->SColorMap) {
        for (int i = 0; i < qMin(map->ColorCount, 256); ++i)
            colours[i] = qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    }
    if (transparent >= 0 && transparent < 256)
        colours[transparent] = 0;
    else
        transparent = -1;

    // The frame's rows in file order, kept only where they fall inside the
    // picture. Decoded before the picture is allocated, so damaged data
    // costs no more than the frame's visible part.
    const QSize pictureSize = layout.pictureSize();
    const QRect placed = layout.framePlacement();
    const QRect visible = placed & QRect(QPoint(0, 0), pictureSize);
    const qint64 stride = visible.width();
    std::unique_ptr<GifPixelType[]> indices(new (std::nothrow) GifPixelType[size_t(qMax<qint64>(1, stride * visible.height()))]);
    std::vector<GifPixelType> row;
    try {
        row.resize(size_t(desc.Width));
    } catch (const std::bad_alloc &) {
        return {{}, systemFailure(ENOMEM)};
    }
    if (!indices)
        return {{}, systemFailure(ENOMEM)};
    // Interlaced frames store rows 0, 8, 16..., then 4, 12..., 2, 6..., 1, 3...
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    const int passes = desc.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int step = desc.Interlace ? steps[pass] : 1;
        for (int y = desc.Interlace ? starts[pass] : 0; y < desc.Height; y += step) {
            if (DGifGetLine(gif.get(), row.data(), desc.Width) == GIF_ERROR)
                return {{}, damaged(QStringLiteral("fel i GIF-data"))};
            const int pictureY = placed.y() + y;
            if (pictureY >= visible.top() && pictureY <= visible.bottom())
                std::memcpy(indices.get() + (pictureY - visible.y()) * stride, row.data() + (visible.x() - placed.x()),
                            size_t(stride));
        }
    }

    const bool opaque = visible == QRect(QPoint(0, 0), pictureSize) && transparent < 0;
    QImage image(pictureSize, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {{}, systemFailure(ENOMEM)};
    if (!opaque)
        image.fill(0);
    for (int y = 0; y < visible.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(visible.y() + y)) + visible.x();
        const GifPixelType *index = indices.get() + y * stride;
        for (int x = 0; x < visible.width(); ++x)
            line[x] = colours[index[x]];
    }
    return {std::move(image), {}};
}

namespace {
PictureHeader readLayout(const uchar *data, qint64 size, GifLayout &layout)
{
    layout = readGifLayout(data, size);
    if (!layout.valid)
        return {};
    PictureHeader header;
    header.size = layout.pictureSize();
    // The LZW work goes over the whole frame, even where it lies outside the picture.
    header.workPixels = qint64(layout.frame.width()) * layout.frame.height();
    header.dataMissing = !layout.complete || !layout.dataCanFillFrame();
    return header;
}
using GifDecoder = WholePictureDecoder<GifLayout, readLayout, gifDecodeBytes, decodeGif>;
}

extern const PictureLoader gifLoader;
const PictureLoader gifLoader{"GIF", "gif", "image/gif", "GIF", hasGifSignature, makeDecoder<GifDecoder>};
