#include "picturefiles.h"
#include "platform/loaders.h"
#include "splittext.h"
#include <QCollator>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <algorithm>

namespace {
// The text after the last dot, in lower case; none for a name ending in a
// dot (SplitText drops an empty last piece, so that test comes first).
QString extensionOf(const QString &path)
{
    if (path.endsWith(QLatin1Char('.')))
        return {};
    return SplitText(path, QStringLiteral(".")).constLast().toLower();
}
}

bool isPictureName(const QString &path)
{
    const QString ext = extensionOf(path);
    return !ext.isEmpty() && pictureExtensions().contains(ext);
}

bool isUnsupportedPictureName(const QString &path)
{
    // Camera raw files, then other formats of pictures and drawings.
    static const QStringList unsupported = {
        QStringLiteral("3fr"), QStringLiteral("arw"), QStringLiteral("cr2"), QStringLiteral("cr3"),
        QStringLiteral("crw"), QStringLiteral("dcr"), QStringLiteral("dng"), QStringLiteral("erf"),
        QStringLiteral("kdc"), QStringLiteral("mef"), QStringLiteral("mos"), QStringLiteral("mrw"),
        QStringLiteral("nef"), QStringLiteral("nrw"), QStringLiteral("orf"), QStringLiteral("pef"),
        QStringLiteral("raf"), QStringLiteral("raw"), QStringLiteral("rw2"), QStringLiteral("rwl"),
        QStringLiteral("sr2"), QStringLiteral("srf"), QStringLiteral("srw"), QStringLiteral("x3f"),
        QStringLiteral("jxl"), QStringLiteral("jp2"), QStringLiteral("j2k"), QStringLiteral("psd"),
        QStringLiteral("psb"), QStringLiteral("xcf"), QStringLiteral("svg"), QStringLiteral("svgz"),
        QStringLiteral("ico"), QStringLiteral("tga"), QStringLiteral("exr"), QStringLiteral("pcx")};
    const QString ext = extensionOf(path);
    return !ext.isEmpty() && unsupported.contains(ext);
}

namespace {

void sortNamesNaturally(QStringList &names)
{
    // The program speaks Swedish, so å, ä and ö come after z whatever the
    // system's locale says.
    QCollator collator(QLocale(QLocale::Swedish, QLocale::Sweden));
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // Names the collator calls equal (bild2 and bild02, Bild and bild) still
    // get one fixed order, so the same folder always gives the same list.
    std::stable_sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        const int c = collator.compare(a, b);
        return c != 0 ? c < 0 : a < b;
    });
}

// Takes out of a folder's picture names those that name the thumbnail of
// another of them; returns how many.
int leaveOutThumbnails(QStringList &names, const SaveSettings &naming)
{
    QSet<QString> thumbnails;
    for (const QString &name : std::as_const(names)) {
        const QString thumbnail = thumbFileName(naming, name);
        if (thumbnail != name)
            thumbnails.insert(thumbnail);
    }
    return int(names.removeIf([&](const QString &name) { return thumbnails.contains(name); }));
}

}

ExpandedInputs expandInputs(const QStringList &inputs, const QString &base, const SaveSettings &naming)
{
    ExpandedInputs out;
    const QDir baseDir(base);
    for (const QString &input : inputs) {
        // QFileInfo would read "" as the base folder itself.
        if (input.isEmpty()) {
            out.missing << input;
            continue;
        }
        // Made absolute and clean, as a drop delivers full paths.
        const QFileInfo info(baseDir, input);
        const QString path = info.absoluteFilePath();
        if (info.isDir()) {
            const QDir dir(path);
            QStringList names;
            const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::NoSort);
            for (const QFileInfo &entry : entries) {
                if (entry.isFile() && isPictureName(entry.fileName()))
                    names << entry.fileName();
            }
            out.thumbnailsLeftOut += leaveOutThumbnails(names, naming);
            sortNamesNaturally(names);
            for (const QString &name : std::as_const(names))
                out.paths << QDir::toNativeSeparators(dir.filePath(name));
        } else if (info.exists()) {
            out.paths << QDir::toNativeSeparators(path);
        } else {
            out.missing << QDir::toNativeSeparators(path);
        }
    }
    return out;
}
