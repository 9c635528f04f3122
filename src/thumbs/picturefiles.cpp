#include "picturefiles.h"
#include "splittext.h"
#include <QCollator>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <algorithm>

bool isPictureName(const QString &path)
{
    // SplitText drops an empty last piece, so the dot test comes first.
    if (path.endsWith(QLatin1Char('.')))
        return false;
    const QString ext = SplitText(path, QStringLiteral(".")).constLast().toLower();
    return ext == QLatin1String("jpg") || ext == QLatin1String("jpeg") || ext == QLatin1String("gif")
           || ext == QLatin1String("bmp");
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
