#include "thumbnailsteps.h"
#include "report.h"
#include "saving.h"
#include "splittext.h"
#include "trace.h"
#include "picturefiles.h"
#include "codecs/picture.h"
#include <QDir>

QString targetFolder(const SaveSettings &settings, const PictureJob &job)
{
    return settings.targetFolder.isEmpty() ? QString() : settings.targetFolder + job.album;
}

ThumbName thumbName(const SaveSettings &settings, const PictureJob &job)
{
    if (job.album.isEmpty() || settings.targetFolder.isEmpty())
        return thumbName(settings, job.folder, job.file);
    SaveSettings inAlbum = settings;
    inAlbum.targetFolder += job.album;
    ThumbName name = thumbName(inAlbum, job.folder, job.file);
    name.entry.album = job.album;
    return name;
}

QString thumbnailShape(const ThumbnailSettings &s)
{
    const SizeSettings &size = s.draw.size;
    return QStringLiteral("%1 %2x%3 %4x%5 %6 #%7 %8 q%9")
        .arg(int(size.mode))
        .arg(double(s.draw.canvas.width))
        .arg(double(s.draw.canvas.height))
        .arg(double(size.boundWidth.value_or(0)))
        .arg(double(size.boundHeight.value_or(0)))
        .arg(size.percent.value_or(0))
        .arg(s.draw.background, 6, 16, QLatin1Char('0'))
        .arg(formatExtension(s.save.format))
        .arg(s.save.format == OutputFormat::Jpg ? qBound(1, s.save.quality, 100) : 0);
}

QList<PictureJob> pictureJobs(const QStringList &paths)
{
    const QString sep = QString(QDir::separator());
    QList<PictureJob> jobs;
    jobs.reserve(paths.size());
    for (const QString &path : paths) {
        const QStringList pieces = SplitText(path, sep);
        QString folder;
        for (qsizetype k = 0; k + 1 < pieces.size(); ++k)
            folder += pieces[k] + sep;
        // Pictures of one folder share its text: a long list holds it once.
        if (!jobs.isEmpty() && jobs.last().folder == folder)
            folder = jobs.last().folder;
        jobs.append({folder, pieces.last()});
    }
    return jobs;
}

ThumbnailSettings thumbnailSettings(SizeMode mode, CanvasSize canvas, std::optional<double> percent, ColourValue background,
                        const SaveSettings &save)
{
    ThumbnailSettings s;
    s.draw.canvas = canvas;
    s.draw.size.mode = mode;
    if (mode == SizeMode::LockBoth) {
        s.draw.size.boundWidth = lockBothBound(canvas.width);
        s.draw.size.boundHeight = lockBothBound(canvas.height);
    }
    s.draw.size.percent = percent;
    s.draw.background = background;
    s.save = save;
    return s;
}

namespace {
// A film's length on its entry; a still's Live Photo film beside it.
void filmOf(GalleryEntry &entry, const PictureJob &job, const DrawResult &drawn)
{
    entry.filmLength = drawn.film ? drawn.filmLength : -1;
    if (!drawn.film)
        entry.motion = liveFilmOf(job.folder, job.file);
}
}

PreparedThumbnail prepareThumbnail(const ThumbnailSettings &settings, const PictureJob &job, const RunFiles &files,
                                   MemoryBudget *budget, const PictureExtras *extras)
{
    PreparedThumbnail p;
    const QString path = job.path();
    if (fitsInFileName(settings.save.prefix) && fitsInFileName(settings.save.suffix)) {
        const QString name = thumbName(settings.save, job).nameFor(settings.save.format);
        const QString owner = files.owner(name);
        if (!owner.isEmpty() && owner != path) {
            p.nameClash = true;
            qCDebug(lcRun).noquote().nospace() << path << ": not drawn, " << name << " is the thumbnail of " << owner;
            return p;
        }
        if (files.thumbnailMade(name, path)) {
            p.made = true;
            p.stamp = pictureStamp(path);
            // Both headers read once, here, for everything after.
            const PictureReader reader(path);
            p.drawn.natural = reader.naturalSize();
            p.madeSize = PictureReader(name).naturalSize();
            p.taken = pictureDate(reader, path);
            p.drawn.film = reader.isFilm();
            p.drawn.filmLength = reader.filmLength();
            return p;
        }
    }
    // A picture rewritten while it is read can give a thumbnail of neither
    // content: it is read again, once, and then said.
    for (int attempt = 0; attempt < 2; ++attempt) {
        p.stamp = pictureStamp(path);
        OtherSizesFor others;
        if (extras)
            others = [&](QSize natural) { return extras->otherSizes(job, p.stamp, natural); };
        p.drawn = drawThumbnail(settings.draw, path, budget, others);
        if (p.drawn.status != DrawResult::Drawn || pictureStamp(path) == p.stamp)
            break;
        qCDebug(lcRun).noquote().nospace() << path << ": changed while it was read";
        p.drawn.status = DrawResult::Unreadable;
        p.drawn.failure = failure(FailureCode::NotAPicture, QStringLiteral("Bilden ändrades medan den lästes"),
                                 QStringLiteral("ändrades medan den lästes"));
        p.drawn.image = {};
        p.drawn.decoded.reset();
    }
    p.taken = p.drawn.taken;
    if (p.drawn.status == DrawResult::Drawn) {
        if (const Failure limit = formatLimit(settings.save.format, p.drawn.image.size()); limit.failed()) {
            p.drawn.status = DrawResult::ScaleFailed;
            p.drawn.failure = limit;
            p.drawn.image = {};
            p.drawn.decoded.reset();
        }
    }
    if (p.drawn.status == DrawResult::Drawn) {
        QElapsedTimer clock;
        clock.start();
        p.encoded = encodeThumbnail(settings.save, p.drawn.image);
        qCDebug(lcRun).noquote().nospace() << path << ": encoded in " << traceMs(clock.nsecsElapsed()) << ", "
                                           << p.encoded.file.size() << " bytes";
    } else if (p.drawn.status != DrawResult::Missing) {
        qCDebug(lcRun).noquote().nospace() << path << ": not drawn: " << p.drawn.failure.description;
    }
    return p;
}

SavedThumbnail saveThumbnail(const SaveSettings &settings, const PictureJob &job, const PreparedThumbnail &prepared,
                             RunFiles &files)
{
    SavedThumbnail c;
    if (prepared.nameClash) {
        c.reportLine = ReportLine::exists(thumbName(settings, job).nameFor(settings.format));
        return c;
    }
    if (prepared.made) {
        const ThumbName name = thumbName(settings, job);
        c.entry = name.entry;
        c.entry->taken = prepared.taken;
        filmOf(*c.entry, job, prepared.drawn);
        c.made = name.nameFor(settings.format);
        return c;
    }
    switch (prepared.drawn.status) {
    case DrawResult::Drawn:
        break;
    case DrawResult::Missing:
        c.reportLine = ReportLine::missing(job.path());
        return c;
    case DrawResult::NotAFile:
        c.reportLine = ReportLine::notAFile(job.path());
        return c;
    case DrawResult::Unreadable:
        c.reportLine = ReportLine::unreadable(job.path());
        c.unreadable = prepared.drawn.failure;
        return c;
    case DrawResult::ScaleFailed:
        c.reportLine = ReportLine::notScaled(job.path());
        return c;
    }
    const ThumbName name = thumbName(settings, job);
    c.entry = name.entry;
    c.entry->taken = prepared.taken;
    filmOf(*c.entry, job, prepared.drawn);
    QElapsedTimer clock;
    clock.start();
    static_cast<SaveResult &>(c) = saveEncoded(settings, name, job.path(), prepared.encoded, files);
    qCDebug(lcRun).noquote().nospace() << job.path() << ": "
                                       << (c.written.isEmpty() ? QStringLiteral("nothing written")
                                                               : QStringLiteral("written to ") + c.written)
                                       << " in " << traceMs(clock.nsecsElapsed());
    return c;
}
