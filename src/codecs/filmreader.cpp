// Films (MP4, MOV, M4V, 3GP, WebM, MKV, AVI) through FFmpeg's libraries:
// the poster frame is the first key frame at or after 1 s (a tenth of the
// way into a film shorter than 10 s), else the film's first key frame. A
// film is hostile input like any picture: FFmpeg reads only our mapped
// bytes, opens no other file, decodes on our thread alone, and gives up
// after a bounded number of packets and a bounded time.
#include "loaders.h"
#include "pixels/rowreducer.h"
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <dlfcn.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <type_traits>
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {
const QLoggingCategory &lcFilm()
{
    static const QLoggingCategory category("tumbilder.film", QtWarningMsg);
    return category;
}

// FFmpeg's libraries bring well over a hundred others with them (every
// codec they were built with): loading them at every start cost each run
// some 30 ms and 1,500 page faults before its first picture. They are
// loaded when the first film is met, and only then.
#define TUMBILDER_FFMPEG_FUNCTIONS(X) \
    X(avutil, av_dict_get) \
    X(avutil, av_display_rotation_get) \
    X(avutil, av_frame_alloc) \
    X(avutil, av_frame_free) \
    X(avutil, av_free) \
    X(avutil, av_freep) \
    X(avutil, av_get_pix_fmt_name) \
    X(avutil, av_image_get_buffer_size) \
    X(avutil, av_log_format_line2) \
    X(avutil, av_log_set_callback) \
    X(avutil, av_malloc) \
    X(avutil, av_rescale_q) \
    X(avutil, av_strdup) \
    X(avutil, av_strerror) \
    X(avcodec, av_packet_alloc) \
    X(avcodec, av_packet_free) \
    X(avcodec, av_packet_unref) \
    X(avcodec, avcodec_alloc_context3) \
    X(avcodec, avcodec_find_decoder) \
    X(avcodec, avcodec_flush_buffers) \
    X(avcodec, avcodec_free_context) \
    X(avcodec, avcodec_get_name) \
    X(avcodec, avcodec_open2) \
    X(avcodec, avcodec_parameters_to_context) \
    X(avcodec, avcodec_receive_frame) \
    X(avcodec, avcodec_send_packet) \
    X(avformat, av_guess_sample_aspect_ratio) \
    X(avformat, av_read_frame) \
    X(avformat, av_seek_frame) \
    X(avformat, av_stream_get_side_data) \
    X(avformat, avformat_alloc_context) \
    X(avformat, avformat_close_input) \
    X(avformat, avformat_find_stream_info) \
    X(avformat, avformat_open_input) \
    X(avformat, avformat_seek_file) \
    X(avformat, avio_alloc_context) \
    X(avformat, avio_context_free) \
    X(swscale, sws_getContext) \
    X(swscale, sws_freeContext) \
    X(swscale, sws_getCoefficients) \
    X(swscale, sws_setColorspaceDetails) \
    X(swscale, sws_scale)

struct FFmpeg {
#define TUMBILDER_FIELD(library, name) decltype(&::name) name = nullptr;
    TUMBILDER_FFMPEG_FUNCTIONS(TUMBILDER_FIELD)
#undef TUMBILDER_FIELD
    bool loaded = false;
};

// The libraries of the major versions the program was built against, as
// their packages install them.
FFmpeg loadFFmpeg()
{
    FFmpeg f;
    auto open = [](const char *name, int major) {
        const QByteArray file = QByteArray("lib") + name + ".so." + QByteArray::number(major);
        void *handle = dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            qCDebug(lcFilm).noquote() << "cannot load" << file << dlerror();
        return handle;
    };
    void *const avutil = open("avutil", LIBAVUTIL_VERSION_MAJOR);
    void *const avcodec = open("avcodec", LIBAVCODEC_VERSION_MAJOR);
    void *const avformat = open("avformat", LIBAVFORMAT_VERSION_MAJOR);
    void *const swscale = open("swscale", LIBSWSCALE_VERSION_MAJOR);
    if (!avutil || !avcodec || !avformat || !swscale)
        return f;
    bool all = true;
#define TUMBILDER_RESOLVE(library, name) \
    f.name = reinterpret_cast<decltype(f.name)>(dlsym(library, #name)); \
    all = all && f.name;
    TUMBILDER_FFMPEG_FUNCTIONS(TUMBILDER_RESOLVE)
#undef TUMBILDER_RESOLVE
    f.loaded = all;
    return f;
}

// Loaded once, for every thread; only called once `haveFFmpeg()` said yes.
const FFmpeg &ff()
{
    static const FFmpeg f = loadFFmpeg();
    return f;
}

bool haveFFmpeg() { return ff().loaded; }

// FFmpeg speaks on standard error unless told otherwise: its warnings go to
// the trace, where they help with a film that cannot be read.
void logToTrace(void *, int level, const char *format, va_list args)
{
    if (level > AV_LOG_WARNING || !lcFilm().isDebugEnabled())
        return;
    char line[512];
    int prefix = 1;
    ff().av_log_format_line2(nullptr, level, format, args, line, sizeof line, &prefix);
    qCDebug(lcFilm).noquote() << QString::fromUtf8(line).trimmed();
}

constexpr int IoBufferBytes = 64 << 10;
// Enough for a poster several seconds past the last key frame of a film
// with many streams; a damaged film that yields nothing stops here.
constexpr int MaxPackets = 4096;
constexpr int HeaderMs = 5000;
constexpr int DecodeMs = 10000;

bool boxAt(const uchar *data, qint64 size, const char *type)
{
    return size >= 8 && std::memcmp(data + 4, type, 4) == 0;
}

bool isFilm(const uchar *data, qint64 size)
{
    if (size < 12)
        return false;
    // ISO base media (MP4, MOV, 3GP) but not a camera's raw file in the same boxes.
    if (boxAt(data, size, "ftyp"))
        return std::memcmp(data + 8, "crx ", 4) != 0;
    // Older QuickTime files start with the movie or its data.
    for (const char *type : {"moov", "mdat", "wide", "free", "skip"})
        if (boxAt(data, size, type))
            return true;
    if (std::memcmp(data, "\x1a\x45\xdf\xa3", 4) == 0) // EBML: Matroska, WebM
        return true;
    return std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "AVI ", 4) == 0;
}

Failure filmFailure(int error, const char *what)
{
    if (error == AVERROR(ENOMEM))
        return systemFailure(ENOMEM);
    if (error == AVERROR_EXIT)
        return damaged(QStringLiteral("filmen tog för lång tid att läsa"));
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    ff().av_strerror(error, text, sizeof text);
    return damaged(QString::fromUtf8(what) + QStringLiteral(": ") + QString::fromUtf8(text));
}

// The film's bytes as FFmpeg reads them, with the time it may take.
struct Source {
    const uchar *data = nullptr;
    qint64 size = 0;
    qint64 at = 0;
    QDeadlineTimer deadline;

    static int read(void *opaque, uint8_t *buffer, int wanted)
    {
        auto *s = static_cast<Source *>(opaque);
        if (s->deadline.hasExpired())
            return AVERROR_EXIT;
        const qint64 n = qMin<qint64>(wanted, s->size - s->at);
        if (n <= 0)
            return AVERROR_EOF;
        std::memcpy(buffer, s->data + s->at, size_t(n));
        s->at += n;
        return int(n);
    }
    static int64_t seek(void *opaque, int64_t offset, int whence)
    {
        auto *s = static_cast<Source *>(opaque);
        qint64 to = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return s->size;
        case SEEK_SET: to = offset; break;
        case SEEK_CUR: to = s->at + offset; break;
        case SEEK_END: to = s->size + offset; break;
        default: return AVERROR(EINVAL);
        }
        if (to < 0 || to > s->size)
            return AVERROR(EINVAL);
        s->at = to;
        return to;
    }
    static int interrupted(void *opaque) { return static_cast<Source *>(opaque)->deadline.hasExpired(); }
};

// A film refers to no other file: a reference in it to one is refused.
int noOtherFiles(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **)
{
    return AVERROR(EPERM);
}

struct IoFree {
    void operator()(AVIOContext *io) const
    {
        ff().av_freep(&io->buffer);
        ff().avio_context_free(&io);
    }
};
struct FormatClose {
    void operator()(AVFormatContext *f) const { ff().avformat_close_input(&f); }
};
struct CodecFree {
    void operator()(AVCodecContext *c) const { ff().avcodec_free_context(&c); }
};
struct PacketFree {
    void operator()(AVPacket *p) const { ff().av_packet_free(&p); }
};
struct FrameFree {
    void operator()(AVFrame *f) const { ff().av_frame_free(&f); }
};
struct ScaleFree {
    void operator()(SwsContext *s) const { ff().sws_freeContext(s); }
};

// A field a decoder copies from the film as it is: a damaged film can give
// a number no enumerator has, which must not be read as the enum.
template <typename Enum>
int storedValue(const Enum &field)
{
    std::underlying_type_t<Enum> value;
    std::memcpy(&value, &field, sizeof value);
    return int(value);
}

// The EXIF orientation that turns the stored frames as the display matrix
// says (quarter turns; FFmpeg's angle is counter-clockwise).
int orientationOf(const AVStream *stream)
{
    const auto *matrix = reinterpret_cast<const int32_t *>(
        ff().av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
    if (!matrix)
        return 1;
    const double angle = ff().av_display_rotation_get(matrix);
    if (std::isnan(angle))
        return 1;
    const int clockwise = ((-qRound(angle / 90.0) % 4) + 4) % 4;
    return clockwise == 1 ? 6 : clockwise == 2 ? 3 : clockwise == 3 ? 8 : 1;
}

QDateTime dateOf(const AVDictionary *metadata)
{
    // A phone's own date keeps its time zone; creation_time is UTC.
    for (const char *key : {"com.apple.quicktime.creationdate", "creation_time"}) {
        const AVDictionaryEntry *entry = ff().av_dict_get(metadata, key, nullptr, 0);
        if (!entry)
            continue;
        QString text = QString::fromUtf8(entry->value);
        // "+0200" as ISO 8601 writes it, "+02:00".
        if (text.size() > 5 && (text.at(text.size() - 5) == QLatin1Char('+') || text.at(text.size() - 5) == QLatin1Char('-')))
            text.insert(text.size() - 2, QLatin1Char(':'));
        const QDateTime date = QDateTime::fromString(text, Qt::ISODateWithMs);
        // Muxers write the zero of their epoch when they know nothing.
        if (date.isValid() && date.date().year() > 1970)
            return date;
    }
    return {};
}

class FilmDecoder : public PictureDecoder {
public:
    PictureHeader readHeader(const uchar *data, qint64 size) override
    {
        PictureHeader refused;
        if (!haveFFmpeg()) {
            refused.refused = unsupported(QStringLiteral("film (FFmpeg kan inte läsas in)"));
            return refused;
        }
        static std::once_flag quiet;
        std::call_once(quiet, [] { ff().av_log_set_callback(logToTrace); });
        m_source = {data, size, 0, QDeadlineTimer(HeaderMs)};
        auto *buffer = static_cast<uchar *>(ff().av_malloc(IoBufferBytes));
        if (buffer)
            m_io.reset(ff().avio_alloc_context(buffer, IoBufferBytes, 0, &m_source, Source::read, nullptr, Source::seek));
        AVFormatContext *format = m_io ? ff().avformat_alloc_context() : nullptr;
        if (!format) {
            if (!m_io)
                ff().av_free(buffer);
            refused.refused = systemFailure(ENOMEM);
            return refused;
        }
        format->pb = m_io.get();
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
        format->interrupt_callback = {Source::interrupted, &m_source};
        format->io_open = noOtherFiles;
        format->format_whitelist = ff().av_strdup("mov,matroska,avi");
        int error = ff().avformat_open_input(&format, nullptr, nullptr, nullptr);
        if (error < 0) {
            refused.refused = filmFailure(error, "ingen film");
            return refused;
        }
        m_format.reset(format);
        m_stream = videoStream();
        // Containers without the picture's size in their header: FFmpeg
        // looks at the first packets, within its own probing bounds.
        if (!m_stream || m_stream->codecpar->width <= 0) {
            if ((error = ff().avformat_find_stream_info(format, nullptr)) < 0) {
                refused.refused = filmFailure(error, "filmens huvud");
                return refused;
            }
            m_stream = videoStream();
        }
        if (!m_stream) {
            refused.refused = damaged(QStringLiteral("ingen bild i filmen"));
            return refused;
        }
        const AVCodecParameters *par = m_stream->codecpar;
        m_stored = QSize(par->width, par->height);
        // Pixels that are not square are shown at the width they stand for.
        const AVRational aspect = ff().av_guess_sample_aspect_ratio(format, m_stream, nullptr);
        qint64 width = par->width;
        if (aspect.num > 0 && aspect.den > 0 && aspect.num != aspect.den)
            width = qMin<qint64>(qint64(par->width) * aspect.num / aspect.den, 1 << 20);
        m_size = QSize(int(qMax<qint64>(width, 1)), par->height);
        if (par->width <= 0 || par->height <= 0)
            m_size = QSize();
        PictureHeader header{m_size};
        header.orientation = orientationOf(m_stream);
        header.taken = dateOf(format->metadata);
        if (!header.taken.isValid())
            header.taken = dateOf(m_stream->metadata);
        header.film = true;
        m_length = format->duration != AV_NOPTS_VALUE && format->duration > 0
                       ? format->duration
                       : (m_stream->duration != AV_NOPTS_VALUE ? ff().av_rescale_q(m_stream->duration, m_stream->time_base, AV_TIME_BASE_Q) : 0);
        header.filmLength = qMax<qint64>(0, m_length / 1000);
        return header;
    }

    QSize decodedSize(QSize atLeast) const override { return RowReducer::reducedSize(m_size, atLeast); }

    qint64 decodeBytes(QSize atLeast) const override
    {
        // The frames the decoder holds at once (it sees key frames only),
        // at the coded size the format's alignment gives; the packets; our
        // picture; the codec's and the scaler's tables.
        const AVCodecParameters *par = m_stream ? m_stream->codecpar : nullptr;
        const QSize coded = codedSize();
        const int w = coded.width(), h = coded.height();
        const int frameBytes = par && par->format >= 0 ? ff().av_image_get_buffer_size(AVPixelFormat(par->format), w, h, 64) : -1;
        const qint64 frame = frameBytes > 0 ? frameBytes : qint64(w) * h * 6;
        const QSize out = decodedSize(atLeast);
        return 4 * frame + qint64(w) * h * 2 + qint64(out.width()) * out.height() * 4 + qint64(m_stored.width()) * 64 * 8
               + (6 << 20);
    }

    DecodedImage decode(const uchar *, qint64, QSize atLeast) override
    {
        if (!m_stream || m_size.isEmpty())
            return {{}, damaged(QStringLiteral("ingen bild i filmen"))};
        m_source.deadline = QDeadlineTimer(DecodeMs);
        QElapsedTimer clock;
        clock.start();
        const AVCodec *codec = ff().avcodec_find_decoder(m_stream->codecpar->codec_id);
        if (!codec)
            return {{}, unsupported(QString::fromUtf8(ff().avcodec_get_name(m_stream->codecpar->codec_id)))};
        std::unique_ptr<AVCodecContext, CodecFree> context(ff().avcodec_alloc_context3(codec));
        std::unique_ptr<AVPacket, PacketFree> packet(ff().av_packet_alloc());
        std::unique_ptr<AVFrame, FrameFree> frame(ff().av_frame_alloc());
        if (!context || !packet || !frame)
            return {{}, systemFailure(ENOMEM)};
        int error = ff().avcodec_parameters_to_context(context.get(), m_stream->codecpar);
        if (error < 0)
            return {{}, filmFailure(error, "avkodaren")};
        // Our own threads decode several pictures at once: no more here.
        context->thread_count = 1;
        // Frames larger than the header said (a stream that says otherwise
        // than its container) would outgrow the memory claimed for it.
        context->max_pixels = qint64(codedSize().width()) * codedSize().height();
        if ((error = ff().avcodec_open2(context.get(), codec, nullptr)) < 0)
            return {{}, filmFailure(error, "avkodaren")};

        // A tenth of a short film in; a film of unknown length from 1 s.
        const int64_t in = m_length > 0 && m_length < 10 * AV_TIME_BASE ? m_length / 10 : AV_TIME_BASE;
        const int64_t start = m_stream->start_time != AV_NOPTS_VALUE ? m_stream->start_time : 0;
        const int64_t at = start + ff().av_rescale_q(in, AV_TIME_BASE_Q, m_stream->time_base);
        int budget = MaxPackets;
        // At or after the moment, else the first key frame of all.
        if (ff().av_seek_frame(m_format.get(), m_stream->index, at, 0) < 0 || !poster(context.get(), packet.get(), frame.get(), at, budget)) {
            ff().avcodec_flush_buffers(context.get());
            if (ff().av_seek_frame(m_format.get(), m_stream->index, start, AVSEEK_FLAG_BACKWARD) < 0)
                ff().avformat_seek_file(m_format.get(), -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE);
            if (!poster(context.get(), packet.get(), frame.get(), INT64_MIN, budget))
                return {{}, m_failure.failed() ? m_failure : damaged(QStringLiteral("ingen bild gick att avkoda ur filmen"))};
        }
        const qint64 decodeNs = clock.nsecsElapsed();
        DecodedImage image = toImage(frame.get(), decodedSize(atLeast));
        qCDebug(lcFilm).nospace() << "poster at " << double(frame->best_effort_timestamp) * av_q2d(m_stream->time_base)
                                  << " s after " << MaxPackets - budget + 1 << " packets, decoded in " << decodeNs / 1e6
                                  << " ms, scaled in " << (clock.nsecsElapsed() - decodeNs) / 1e6 << " ms";
        return image;
    }

private:
    // The most a decoder allocates a frame at: aligned, with the edges some
    // codecs draw around it.
    QSize codedSize() const
    {
        return QSize(FFALIGN(qMax(m_stored.width(), 1), 64) + 256, FFALIGN(qMax(m_stored.height(), 1), 64) + 256);
    }

    AVStream *videoStream() const
    {
        for (unsigned i = 0; i < m_format->nb_streams; ++i) {
            AVStream *s = m_format->streams[i];
            if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC))
                return s;
        }
        return nullptr;
    }

    // Decodes the first key frame of the stream from `at` on into `frame`.
    // Each key frame packet is decoded on its own and drained, so the
    // decoder never waits on the frames after it.
    bool poster(AVCodecContext *context, AVPacket *packet, AVFrame *frame, int64_t at, int &budget)
    {
        for (; budget > 0; --budget) {
            const int error = ff().av_read_frame(m_format.get(), packet);
            if (error < 0) {
                if (error != AVERROR_EOF)
                    m_failure = filmFailure(error, "filmen");
                return false;
            }
            const std::unique_ptr<AVPacket, void (*)(AVPacket *)> unref(packet, ff().av_packet_unref);
            if (packet->stream_index != m_stream->index || !(packet->flags & AV_PKT_FLAG_KEY))
                continue;
            const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (pts != AV_NOPTS_VALUE && pts < at)
                continue;
            if (ff().avcodec_send_packet(context, packet) < 0 || ff().avcodec_send_packet(context, nullptr) < 0) {
                ff().avcodec_flush_buffers(context);
                continue;
            }
            const int got = ff().avcodec_receive_frame(context, frame);
            ff().avcodec_flush_buffers(context);
            if (got == AVERROR(ENOMEM)) {
                m_failure = systemFailure(ENOMEM);
                return false;
            }
            if (got == 0)
                return true;
        }
        m_failure = damaged(QStringLiteral("ingen bild inom %1 paket").arg(MaxPackets));
        return false;
    }

    DecodedImage toImage(const AVFrame *frame, QSize size)
    {
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull())
            return {{}, systemFailure(ENOMEM)};
        const std::unique_ptr<SwsContext, ScaleFree> scale(
            ff().sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), size.width(), size.height(),
                           AV_PIX_FMT_RGB32, SWS_AREA, nullptr, nullptr, nullptr));
        if (!scale)
            return {{}, unsupported(QStringLiteral("bildpunktsformatet ")
                                    + QString::fromUtf8(ff().av_get_pix_fmt_name(AVPixelFormat(frame->format))))};
        // HD films say BT.709 or nothing; a film that says nothing is taken
        // by its size, as players do.
        int matrix = storedValue(frame->colorspace);
        if (matrix == AVCOL_SPC_UNSPECIFIED || matrix == AVCOL_SPC_RGB)
            matrix = frame->height >= 720 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
        const int *coefficients = ff().sws_getCoefficients(matrix);
        const bool full = storedValue(frame->color_range) == AVCOL_RANGE_JPEG;
        ff().sws_setColorspaceDetails(scale.get(), coefficients, full, ff().sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16,
                                 1 << 16);
        uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
        int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
        if (ff().sws_scale(scale.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) != size.height())
            return {{}, damaged(QStringLiteral("bilden gick inte att omvandla"))};
        return {std::move(image), {}};
    }

    Source m_source;
    std::unique_ptr<AVIOContext, IoFree> m_io;
    // Closed before the I/O it reads through goes.
    std::unique_ptr<AVFormatContext, FormatClose> m_format;
    AVStream *m_stream = nullptr;
    QSize m_stored;     // as coded
    QSize m_size;       // as shown, pixels made square
    int64_t m_length = 0; // AV_TIME_BASE units, 0 when unknown
    Failure m_failure;
};
}

extern const PictureLoader filmLoader;
const PictureLoader filmLoader{"Film", "mp4 m4v mov 3gp webm mkv avi",
                               "video/mp4 video/quicktime video/3gpp video/webm video/x-matroska video/x-msvideo",
                               "MP4 MOV 3GP WebM MKV AVI", isFilm, makeDecoder<FilmDecoder>};
