#include "pagefiles.h"
#include "thumbs/report.h"
#include "thumbs/saving.h"
#include "pixels/canvas.h"
#include "files/fileops.h"
#include "codecs/picture.h"
#include "pixels/resample.h"
#include <QFileInfo>
#include <QPainter>
#include <cerrno>
#include <cmath>
#include <limits>

namespace {
// Small enough for a page that opens fast, with no blocking to be seen at
// the size it is shown.
constexpr int WebSizeQuality = 85;

QString canonical(const QString &path) { return QFileInfo(path).canonicalFilePath(); }
}

namespace {
// Browsers show these as they are; any other picture (HEIC, TIFF, BMP, raw) gets
// a JPG copy on the page even where the originals are copied.
bool browserShows(const QString &file)
{
    static const QStringList shown = {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                                      QStringLiteral("gif"), QStringLiteral("webp"), QStringLiteral("avif")};
    return shown.contains(QFileInfo(file).suffix().toLower());
}

}

int copyLongSide(const PageFileSettings &want, const QString &file)
{
    // A film is copied as it is: a poster frame is no copy of it.
    if (filmExtensions().contains(QFileInfo(file).suffix().toLower()))
        return 0;
    if (want.classic)
        return isCameraRaw(file) ? std::numeric_limits<int>::max() : 0;
    return want.webSize > 0 ? want.webSize : browserShows(file) ? 0 : std::numeric_limits<int>::max();
}

QString webCopyShape(int longSide, ColourValue background)
{
    return QStringLiteral("web %1 #%2").arg(longSide).arg(background, 6, 16, QLatin1Char('0'));
}

QSize webSize(QSize natural, int longSide)
{
    const int longest = qMax(natural.width(), natural.height());
    if (longest <= longSide)
        return natural;
    const double f = double(longSide) / longest;
    return QSize(qMax(1, int(std::lround(natural.width() * f))), qMax(1, int(std::lround(natural.height() * f))));
}

Encoded encodeWebSize(const QString &path, int longSide, ColourValue background, MemoryBudget *budget)
{
    PictureReader reader(path);
    if (!reader.isValid())
        return {{}, reader.failure()};
    const QSize size = webSize(reader.naturalSize(), longSide);
    // Made as the thumbnail's decoding makes it: from the nearest scale above.
    reader.allowFineScales();
    MemoryBudget::Claim claim;
    if (budget) {
        claim = budget->claim(reader.decodeBytes(size * ViewingMargin) + qint64(size.width()) * size.height() * 4 * 2);
        if (!claim)
            return {{}, systemFailure(ECANCELED)};
    }
    DecodedPicture picture;
    picture.decoded = reader.decode(size * ViewingMargin);
    if (picture.decoded.isNull())
        return {{}, reader.failure()};
    picture.natural = reader.naturalSize();
    return encodeWebSize(picture, size, background);
}

Encoded encodeWebSize(const DecodedPicture &decoded, QSize size, ColourValue background)
{
    QImage picture = decoded.sourceFor(size);
    if (picture.size() != size)
        picture = resampleTo(picture, size);
    // A new image: what the picture's file said beyond its pixels (its
    // colour profile, now applied) stays behind.
    QImage out(size, QImage::Format_RGB32);
    if (picture.isNull() || out.isNull())
        return {{}, systemFailure(ENOMEM)};
    out.fill(Canvas::toColor(background));
    QPainter(&out).drawImage(0, 0, picture);
    return encodeJpeg(out, WebSizeQuality, HuffmanTables::Standard);
}

namespace {
// Whether a decoding shared with the thumbnail has what a copy of `size`
// needs: that size made already, the whole picture, or the margin over it.
bool holds(const DecodedPicture &p, QSize size)
{
    const QImage &from = p.sourceFor(size);
    return from.size() == size || from.size() == p.natural
           || (from.width() >= size.width() * DecodeMargin && from.height() >= size.height() * DecodeMargin);
}

// What the drawing step made of a picture's page files: their content, or
// that the file there is up to date.
struct PreparedPageFiles : PreparedExtras {
    Encoded doubled;
    QSize doubledSize;
    bool doubledUpToDate = false;
    Encoded webSized;
    bool webSizedUpToDate = false;
};
}

ModernPageFiles::ModernPageFiles(const ThumbnailSettings &settings, PageFileSettings want,
                                 const QList<PictureJob> &jobs, RunFiles &files)
    : m_settings(settings), m_want(want), m_files(files)
{
    for (const PictureJob &job : jobs)
        m_pictures << canonical(job.path());
    m_pictures.remove(QString());
}

QString ModernPageFiles::webSizePath(const PictureJob &job) const
{
    if (copyLongSide(m_want, job.file) <= 0)
        return {};
    const QString path = targetFolder(m_settings.save, job) + webSizeName(job.file);
    // In the pictures' own folder a JPG is its own copy.
    return sameFile(path, job.path()) ? QString() : path;
}

OtherSizes ModernPageFiles::otherSizes(const PictureJob &job, const PictureStamp &stamp, QSize natural) const
{
    OtherSizes o;
    auto add = [&o](QSize size, qint64 bytes) {
        // The largest is made once; the other is drawn from it or from the decoding.
        QSize smaller = size;
        if (qint64(size.width()) * size.height() > qint64(o.largest.width()) * o.largest.height())
            std::swap(o.largest, smaller);
        if (!smaller.isEmpty())
            o.rest = o.rest.isEmpty() ? smaller : o.rest.expandedTo(smaller);
        o.bytes += bytes;
    };
    if (m_want.doubled) {
        DrawSettings twice = m_settings.draw;
        twice.scale = 2;
        const QSize place = drawnPictureSize(twice, natural);
        // Its canvas and the resampled picture on it.
        add(place, (qint64(place.width()) + 8) * (place.height() + 8) * 4 * 2);
    }
    const QString path = webSizePath(job);
    if (!path.isEmpty()) {
        const int longSide = copyLongSide(m_want, job.file);
        const QSize size = webSize(natural, longSide);
        if (!m_files.pageFileCurrent(path, stamp, size, webCopyShape(longSide, m_settings.draw.background))) {
            add(size, qint64(size.width()) * size.height() * 4 * 2);
            o.viewing = o.largest == size;
        }
    }
    return o;
}

std::shared_ptr<const PreparedExtras> ModernPageFiles::prepare(const PictureJob &job, const PreparedThumbnail &p,
                                                               MemoryBudget *budget) const
{
    const ThumbnailSettings &s = m_settings;
    // A thumbnail found made (update) still wants its page files.
    if (p.drawn.status != DrawResult::Drawn && !p.made)
        return {};
    auto f = std::make_shared<PreparedPageFiles>();
    // The web copy first decided: when it and the double are both to be
    // made from the file (the thumbnail found made), one decoding serves both.
    std::shared_ptr<const DecodedPicture> decoded = p.drawn.decoded;
    const QString webPath = webSizePath(job);
    const int longSide = copyLongSide(m_want, job.file);
    const QSize webSized = webPath.isEmpty() ? QSize() : webSize(decoded ? decoded->natural : p.drawn.natural, longSide);
    f->webSizedUpToDate = !webPath.isEmpty()
                          && m_files.pageFileCurrent(webPath, p.stamp, webSized, webCopyShape(longSide, s.draw.background));
    if (m_want.doubled) {
        const ThumbName name = thumbName(s.save, job);
        f->doubledSize = (p.made ? p.madeSize : p.drawn.image.size()) * 2;
        // Kept beside a thumbnail that is kept; a new thumbnail gets a new double.
        if (nameTaken(name.nameFor(s.save.format))
            && m_files.pageFileCurrent(doubledName(name.stem, s.save.format), p.stamp, f->doubledSize,
                                       thumbnailShape(s))) {
            f->doubledUpToDate = true;
        } else if (!formatLimit(s.save.format, f->doubledSize).failed()) {
            // (A double larger than the format holds is not made: the cell
            // keeps its plain thumbnail.)
            DrawSettings twice = s.draw;
            twice.scale = 2;
            OtherSizesFor copy;
            if (!webPath.isEmpty() && !f->webSizedUpToDate)
                copy = [&](QSize) { return OtherSizes{webSized, {}, qint64(webSized.width()) * webSized.height() * 4 * 2, true}; };
            DrawResult drawn = decoded ? drawThumbnail(twice, *decoded) : drawThumbnail(twice, job.path(), budget, copy);
            if (!decoded)
                decoded = std::move(drawn.decoded);
            if (drawn.status == DrawResult::Drawn && drawn.image.size() == f->doubledSize)
                f->doubled = encodeThumbnail(s.save, drawn.image);
        }
    }
    if (!webPath.isEmpty() && !f->webSizedUpToDate) {
        if (decoded && holds(*decoded, webSized))
            f->webSized = encodeWebSize(*decoded, webSized, s.draw.background);
        else
            f->webSized = encodeWebSize(job.path(), longSide, s.draw.background, budget);
    }
    return f;
}

bool ModernPageFiles::takenByRun(const QString &path) const
{
    // A thumbnail of the run (claimed from the start, so which of two
    // pictures comes first in the list never lets a copy or a double take
    // the name of a thumbnail still to come), a file the run wrote, or one
    // of its pictures.
    return !m_files.owner(path).isEmpty() || m_pictures.contains(canonical(path));
}

namespace {
Failure writePageFile(const QString &path, const Encoded &encoded, const PictureStamp &picture)
{
    if (encoded.failure.failed())
        return encoded.failure;
    // Nothing made is never a file: an empty one would pass for the picture.
    if (encoded.file.isEmpty())
        return systemFailure(EIO);
    return writeReplacingDated(path, encoded.file, picture.modified);
}
}

void ModernPageFiles::save(const PictureJob &job, const PreparedThumbnail &p, SavedThumbnail &c,
                           QStringList &reportLines)
{
    if (!c.entry || c.failure.failed())
        return;
    static const PreparedPageFiles nothing;
    const auto *prepared = dynamic_cast<const PreparedPageFiles *>(p.extras.get());
    const PreparedPageFiles &f = prepared ? *prepared : nothing;
    GalleryEntry &e = *c.entry;
    const OutputFormat format = m_settings.save.format;
    const ThumbName name = thumbName(m_settings.save, job);
    // A thumbnail an earlier run left may not be the size drawn now.
    e.size = p.drawn.image.size();
    if (p.made) {
        if (p.madeSize.isValid())
            e.size = p.madeSize;
    } else if (c.written.isEmpty()) {
        const PictureReader there(name.nameFor(format));
        if (there.isValid())
            e.size = there.naturalSize();
    }

    const bool doubled = f.doubledUpToDate || !f.doubled.file.isEmpty() || f.doubled.failure.failed();
    if (m_want.doubled && doubled && f.doubledSize == e.size * 2) {
        const QString path = doubledName(name.stem, format);
        if (takenByRun(path) || (!f.doubledUpToDate && !m_files.mayReplace(path))) {
            reportLines << ReportLine::exists(path);
        } else {
            if (!f.doubledUpToDate && (c.failure = writePageFile(path, f.doubled, p.stamp)).failed())
                return;
            m_files.wrote(path, job.path());
            e.doubled = doubledName(e.thumb, format);
        }
    }

    if (copyLongSide(m_want, job.file) > 0) {
        const QString copy = webSizeName(job.file);
        const QString path = targetFolder(m_settings.save, job) + copy;
        // In the pictures' own folder a JPG is its own copy, as it is.
        if (sameFile(path, job.path()))
            return;
        if (takenByRun(path) || (!f.webSizedUpToDate && !m_files.mayReplace(path))) {
            reportLines << ReportLine::exists(path);
            c.entry.reset();
            return;
        }
        if (!f.webSizedUpToDate && f.webSized.failure.failed() && f.webSized.failure.number != ENOMEM) {
            // The picture no longer reads (its thumbnail, found made, was
            // not drawn now): said for it, and no cell, as when drawing fails.
            reportLines << ReportLine::unreadable(job.path());
            c.unreadable = f.webSized.failure;
            c.entry.reset();
            return;
        }
        if (!f.webSizedUpToDate && (c.failure = writePageFile(path, f.webSized, p.stamp)).failed())
            return;
        m_files.wrote(path, job.path());
        e.picture = copy;
    }
}
