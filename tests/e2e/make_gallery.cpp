// Makes a gallery the way a run does, for the browser check: real pictures
// with awkward names, thumbnails drawn and saved by the engine into the page
// folder, then the page and the full-size copies. Writes manifest.json with
// what the browser should find.
//
// The modern page is made by the run itself (a Run), with 36
// pictures, twice-size thumbnails and, given WEBSIZE, web-size copies.
//
// usage: make_gallery OUTDIR COLUMNS jpg|bmp|gif [modern [WEBSIZE]]
#include "run/run.h"
#include "pixels/process.h"
#include "thumbs/thumbnailsteps.h"
#include <QDir>
#include <QProcess>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <gif_lib.h>
#include <cstdio>

namespace {
int fail(const QString &what)
{
    std::fprintf(stderr, "make_gallery: %s\n", qPrintable(what));
    return 1;
}

QImage drawPicture(int index, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((index * 40) % 360, 160, 230));
    QPainter p(&image);
    p.setBrush(QColor::fromHsv((index * 40 + 180) % 360, 200, 120));
    p.setPen(Qt::NoPen);
    const int r = qMin(size.width(), size.height()) / 3;
    p.drawEllipse(QPoint(size.width() / 2, size.height() / 2), r, r * 2 / 3 + 4 * (index % 9));
    return image;
}

// Wider and wider strips for the classic page; photos, most of them
// landscape, for the modern one.
QSize pictureSize(int index, bool modern)
{
    if (!modern)
        return QSize(240 + 40 * index, 180);
    return index % 3 == 2 ? QSize(600, 900) : QSize(900 + 10 * index, 600);
}

// Qt reads GIF but cannot write it; giflib writes a plain 256-colour one.
bool writeGif(const QString &path, const QImage &image)
{
    const QImage indexed = image.convertToFormat(QImage::Format_Indexed8);
    int err = 0;
    GifFileType *gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &err);
    if (!gif)
        return false;
    ColorMapObject *map = GifMakeMapObject(256, nullptr);
    const QList<QRgb> table = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < table.size() ? table[i] : 0;
        map->Colors[i] = {GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
    }
    bool ok = EGifPutScreenDesc(gif, indexed.width(), indexed.height(), 8, 0, map) == GIF_OK
        && EGifPutImageDesc(gif, 0, 0, indexed.width(), indexed.height(), false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < indexed.height(); ++y)
        ok = EGifPutLine(gif, const_cast<GifPixelType *>(indexed.constScanLine(y)), indexed.width())
            == GIF_OK;
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &err) == GIF_OK && ok;
}

int writeManifest(const QString &out, const QJsonObject &manifest)
{
    QFile m(out + QStringLiteral("manifest.json"));
    if (!m.open(QIODevice::WriteOnly) || m.write(QJsonDocument(manifest).toJson()) < 0)
        return fail(QStringLiteral("cannot write the manifest"));
    return 0;
}

bool writePicture(const QString &path, const QImage &image)
{
    if (path.endsWith(QStringLiteral(".gif")))
        return writeGif(path, image);
    return image.save(path, path.endsWith(QStringLiteral(".bmp")) ? "BMP" : "JPEG", 90);
}
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    initPictureProcess();
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool modern = args.value(4) == QLatin1String("modern");
    if (args.size() < 4 || args.size() > 6 || (args.size() > 4 && !modern))
        return fail(QStringLiteral("usage: make_gallery OUTDIR COLUMNS jpg|bmp|gif [modern [WEBSIZE]]"));
    const QString out = QDir(args[1]).absolutePath() + QLatin1Char('/');
    const int columns = args[2].toInt();
    const QString formatName = args[3];
    const OutputFormat format = formatName == QLatin1String("bmp") ? OutputFormat::Bmp
        : formatName == QLatin1String("gif")                      ? OutputFormat::Gif
                                                                  : OutputFormat::Jpg;

    // Names that break a naive page: URL delimiters, markup, quotes, Swedish
    // letters, Windows-1252 specials and a character outside it.
    QStringList names{
        QStringLiteral("semester #1.jpg"),
        QStringLiteral("100% sol & hav.gif"),
        QStringLiteral("Annas båt.bmp"),
        QStringLiteral("älg och ö's.jpg"),
        QStringLiteral("citat \"hej\" <b>.jpg"),
        QStringLiteral("fråga?.gif"),
        QStringLiteral("pris 5€ – fint.bmp"),
        QStringLiteral("japanska あ.jpg"),
        QStringLiteral("foto:1.jpg"),
    };
    // On a phone a long name without a break must wrap, not widen the page.
    if (modern)
        names << QStringLiteral("semesterbilder_från_fjällen_sommaren_2026_nummer_ett.jpg");
    if (modern)
        for (int i = names.size(); i < 36; ++i)
            names << QStringLiteral("bild %1.jpg").arg(i + 1, 2, 10, QLatin1Char('0'));
    const QString foto = out + QStringLiteral("mina foton #1 & å/");
    const QString webb = out + QStringLiteral("webb sida/");
    if (!QDir().mkpath(foto) || !QDir().mkpath(webb))
        return fail(QStringLiteral("cannot make folders in ") + out);
    for (int i = 0; i < names.size(); ++i) {
        if (!writePicture(foto + names[i], drawPicture(i, pictureSize(i, modern))))
            return fail(QStringLiteral("cannot write ") + foto + names[i]);
    }

    const QString title = QStringLiteral("Mina bilder – åäö é € & <små> \"citat\" あ");
    QJsonArray files;
    for (const QString &name : names)
        files.append(name);
    QJsonObject manifest{{"title", title}, {"columns", columns}, {"files", files}};
    if (modern) {
        RunRequest request;
        request.settings = thumbnailSettings(SizeMode::LockBoth, {3615, 3615}, 50.0, 0xEFEFEF, {});
        request.settings.save.format = format;
        request.settings.save.targetFolder = webb;
        request.page = PageSettings{title, columns, webb, format, PageStyle::Modern, args.value(5).toInt()};
        for (const QString &name : names)
            request.jobs.append({foto, name});
        const RunResult r = Run(request, 2).execute();
        if (r.reported() || r.stopped() || r.pageFailure.failed())
            return fail(QStringLiteral("the run: ") + r.printed().join(QLatin1Char(' '))
                        + r.error.description + r.pageFailure.description);
        QJsonArray pictures;
        for (const GalleryEntry &e : r.gallery)
            pictures.append(e.picture.isEmpty() ? e.file : e.picture);
        manifest.insert("page", r.pageFile);
        manifest.insert("style", "modern");
        manifest.insert("pictures", pictures);
        manifest.insert("webSize", request.page->webSize);
        // A page of albums beside it: a picture of its own and one album.
        const QString album = out + QStringLiteral("album/"), below = foto + QStringLiteral("Påsk i Åre #1/");
        if (!QDir().mkpath(album) || !QDir().mkpath(below) || !writePicture(below + names[1], drawPicture(1, pictureSize(1, true))))
            return fail(QStringLiteral("cannot make the album in ") + below);
        request.settings.save.targetFolder = request.page->folder = album;
        // And a film the browser cannot play (HEVC).
        const QString film = QStringLiteral("film.mp4");
        if (QProcess::execute("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=10", "-t", "1",
                                         "-c:v", "libx265", "-x265-params", "log-level=error", foto + film}) != 0)
            return fail(QStringLiteral("cannot make ") + foto + film);
        request.jobs = {{foto, names[0]}, {below, names[1]}, {foto, film}};
        if (const RunResult a = Run(request, 2).execute(); a.reported() || a.stopped() || a.pageFailure.failed())
            return fail(QStringLiteral("the album run: ") + a.printed().join(QLatin1Char(' ')));
        manifest.insert("albumPage", album + QStringLiteral("bilder.html"));
        return writeManifest(out, manifest);
    }

    ThumbnailSettings run;
    run.draw.size.mode = SizeMode::LockHeight;
    run.draw.canvas = {1800, 1500};
    run.save.format = format;
    run.save.quality = 80;
    run.save.targetFolder = webb;

    QList<GalleryEntry> entries;
    for (const QString &name : names) {
        const PictureJob job{foto, name};
        RunFiles files;
        const PreparedThumbnail drawn = prepareThumbnail(run, job, files);
        run.draw.canvas = drawn.drawn.canvas;
        const SavedThumbnail c = saveThumbnail(run.save, job, drawn, files);
        if (c.failure.failed() || !c.reportLine.isEmpty() || !c.entry || c.written.isEmpty())
            return fail(name + QStringLiteral(": ") + c.reportLine + c.failure.description);
        entries.append(*c.entry);
    }

    const PageSettings page{title, columns, webb, format};
    if (const Failure f = writeGallery(page, entries).failure; f.failed())
        return fail(QStringLiteral("writeGallery: ") + f.description);
    manifest.insert("page", pagePath(page));
    return writeManifest(out, manifest);
}
