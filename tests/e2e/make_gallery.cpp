// Makes a gallery the way a run does, for the browser check: real pictures
// with awkward names, thumbnails drawn and saved by the engine into the page
// folder, then the page and the full-size copies. Writes manifest.json with
// what the browser should find.
//
// usage: make_gallery OUTDIR COLUMNS jpg|bmp|gif
#include "gallery/page.h"
#include "platform/process.h"
#include "thumbs/engine.h"
#include <QDir>
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

QImage drawPicture(int index)
{
    QImage image(240 + 40 * index, 180, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((index * 40) % 360, 160, 230));
    QPainter p(&image);
    p.setBrush(QColor::fromHsv((index * 40 + 180) % 360, 200, 120));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(image.width() / 2, 90), 60, 40 + 4 * index);
    return image;
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
    if (args.size() != 4)
        return fail(QStringLiteral("usage: make_gallery OUTDIR COLUMNS jpg|bmp|gif"));
    const QString out = QDir(args[1]).absolutePath() + QLatin1Char('/');
    const int columns = args[2].toInt();
    const QString formatName = args[3];
    const OutputFormat format = formatName == QLatin1String("bmp") ? OutputFormat::Bmp
        : formatName == QLatin1String("gif")                      ? OutputFormat::Gif
                                                                  : OutputFormat::Jpg;

    // Names that break a naive page: URL delimiters, markup, quotes, Swedish
    // letters, Windows-1252 specials and a character outside it.
    const QStringList names{
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
    const QString foto = out + QStringLiteral("mina foton #1 & å/");
    const QString webb = out + QStringLiteral("webb sida/");
    if (!QDir().mkpath(foto) || !QDir().mkpath(webb))
        return fail(QStringLiteral("cannot make folders in ") + out);
    for (int i = 0; i < names.size(); ++i) {
        if (!writePicture(foto + names[i], drawPicture(i)))
            return fail(QStringLiteral("cannot write ") + foto + names[i]);
    }

    RunSettings run;
    run.draw.size.mode = SizeMode::LockHeight;
    run.draw.canvas = {1800, 1500};
    run.save.format = format;
    run.save.quality = 80;
    run.save.targetFolder = webb;

    QList<GalleryEntry> entries;
    for (const QString &name : names) {
        const PictureJob job{foto, name};
        const Prepared drawn = cmd_ritabild_Click(run, job);
        run.draw.canvas = drawn.drawn.canvas;
        const Committed c = cmd_sparabild_Click(run.save, job, drawn);
        if (c.failure.failed() || !c.reportLine.isEmpty() || !c.entry || c.written.isEmpty())
            return fail(name + QStringLiteral(": ") + c.reportLine + c.failure.description);
        entries.append(*c.entry);
    }

    const PageSettings page{QStringLiteral("Mina bilder – åäö é € & <små> \"citat\" あ"), columns, webb,
                            format};
    if (const Failure f = writeGallery(page, entries).failure; f.failed())
        return fail(QStringLiteral("writeGallery: ") + f.description);

    QJsonArray files;
    for (const GalleryEntry &e : entries)
        files.append(e.file);
    const QJsonObject manifest{{"page", pagePath(page)}, {"title", page.title},
                               {"columns", columns}, {"files", files}};
    QFile m(out + QStringLiteral("manifest.json"));
    if (!m.open(QIODevice::WriteOnly) || m.write(QJsonDocument(manifest).toJson()) < 0)
        return fail(QStringLiteral("cannot write the manifest"));
    return 0;
}
