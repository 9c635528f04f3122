#include "picturefiles.h"
#include "files/filenames.h"
#include "codecs/loaders.h"
#include "report.h"
#include "splittext.h"
#include <QCollator>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <algorithm>

namespace {

// The text after the last dot, in lower case; none when the name ends in a
// dot. SplitText drops an empty last piece, so the dot test comes first.
QString extension(const QString &path)
{
    if (path.endsWith(QLatin1Char('.')))
        return {};
    return SplitText(path, QStringLiteral(".")).constLast().toLower();
}

}

bool isPictureName(const QString &path)
{
    const QString ext = extension(path);
    return !ext.isEmpty() && pictureExtensions().contains(ext);
}

bool isUnsupportedPictureName(const QString &path)
{
    static const QStringList unsupported = {
        // Cameras' raw files (those libraw reads for us are pictures).
        QStringLiteral("3fr"), QStringLiteral("arw"), QStringLiteral("cr2"), QStringLiteral("cr3"),
        QStringLiteral("crw"), QStringLiteral("dcr"), QStringLiteral("dng"), QStringLiteral("erf"),
        QStringLiteral("iiq"), QStringLiteral("kdc"), QStringLiteral("mef"), QStringLiteral("mos"),
        QStringLiteral("mrw"), QStringLiteral("nef"), QStringLiteral("nrw"), QStringLiteral("orf"),
        QStringLiteral("pef"), QStringLiteral("raf"), QStringLiteral("raw"), QStringLiteral("rw2"),
        QStringLiteral("rwl"), QStringLiteral("sr2"), QStringLiteral("srf"), QStringLiteral("srw"),
        QStringLiteral("x3f"),
        // Other pictures people keep that no reader here takes.
        QStringLiteral("jxl"), QStringLiteral("jp2"), QStringLiteral("j2k"), QStringLiteral("psd"),
        QStringLiteral("psb"), QStringLiteral("svg"), QStringLiteral("svgz"), QStringLiteral("xcf"),
        QStringLiteral("ico"), QStringLiteral("tga"), QStringLiteral("exr"), QStringLiteral("pcx")};
    const QString ext = extension(path);
    return unsupported.contains(ext) && !pictureExtensions().contains(ext);
}

namespace {
bool isStill(const QString &name)
{
    static const QStringList stills = {QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("jpg"),
                                       QStringLiteral("jpeg")};
    return stills.contains(extension(name));
}
}

QString liveFilmOf(const QString &folder, const QString &file)
{
    if (!isStill(file))
        return {};
    const QString base = file.left(file.lastIndexOf(QLatin1Char('.')));
    for (const QLatin1String ext : {QLatin1String(".MOV"), QLatin1String(".mov")})
        if (fileKind(folder + base + ext) == FileKind::File)
            return base + ext;
    return {};
}

namespace {

// A Live Photo's film goes with its still: one picture, not two.
void leaveOutLiveFilms(QStringList &names)
{
    QSet<QString> stills;
    for (const QString &name : std::as_const(names))
        if (isStill(name))
            stills.insert(name.left(name.lastIndexOf(QLatin1Char('.'))));
    names.removeIf([&](const QString &name) {
        return (name.endsWith(QLatin1String(".MOV")) || name.endsWith(QLatin1String(".mov")))
               && stills.contains(name.chopped(4));
    });
}

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

// Takes out of a folder's picture names those that name a file the program
// makes of another of them: its thumbnail, the thumbnail's double and the
// web-size copy a modern page puts beside them; returns how many.
int leaveOutThumbnails(QStringList &names, const SaveSettings &naming)
{
    const QString extension = formatExtension(naming.format);
    QSet<QString> made;
    for (const QString &name : std::as_const(names)) {
        const QString thumbnail = thumbFileName(naming, name);
        for (const QString &file :
             {thumbnail, doubledName(thumbnail.chopped(extension.size()), naming.format), webSizeName(name)})
            if (file != name)
                made.insert(file);
    }
    return int(names.removeIf([&](const QString &name) { return made.contains(name); }));
}


// Picture files of formats not read here, left out where a folder or a drop
// held them: said once, in a note, by their number and extensions.
struct Unsupported {
    int count = 0;
    QStringList extensions;

    void add(const QString &path)
    {
        ++count;
        const QString ext = QLatin1Char('.') + extension(readableName(path));
        if (!extensions.contains(ext))
            extensions << ext;
    }
    void noteIn(ExpandedInputs &out)
    {
        if (count == 0)
            return;
        std::sort(extensions.begin(), extensions.end());
        out.notes << ReportLine::unsupportedSkipped(count, extensions);
    }
};

// The pictures directly in a folder, in reading order. What cannot be taken
// is said: a picture whose name (or the folder's) holds bytes that are not
// text, by a readable form of it; a FIFO or a device named like a picture, as
// what it is; pictures of formats not read here, counted.
// Where a walk below the folders given has been.
struct Walk {
    FolderWalk below;
    QSet<QString> read;   // folders read, by their canonical paths
};

void addFolder(ExpandedInputs &out, Unsupported &unsupported, const QString &path, const SaveSettings &naming,
               Walk &walk, bool given = true)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty()) {
        if (!given && (walk.read.contains(canonical) || canonical == walk.below.skip))
            return;
        walk.read.insert(canonical);
    }
    const FolderListing listing = readFolder(path);
    if (listing.error != 0) {
        out.problems << ReportLine::folderUnreadable(readableName(path));
        return;
    }
    const QString folder = path.endsWith(QDir::separator()) ? path : path + QDir::separator();
    QStringList pictures, unnamed, special, folders;
    for (const FolderListing::Entry &entry : listing.entries) {
        const QString file = folder + entry.name;
        const QString name = readableName(entry.name);
        const bool picture = isPictureName(name);
        if (walk.below.recursive && entry.kind == FileKind::Folder && !entry.name.startsWith(QLatin1Char('.'))) {
            if (holdsForeignBytes(file))
                out.problems << ReportLine::folderUnreadable(QDir::toNativeSeparators(readableName(file)));
            else
                folders << entry.name;
            continue;
        }
        // Subfolders and broken links are not the folder's pictures.
        if (entry.kind != FileKind::File && entry.kind != FileKind::Other)
            continue;
        if (!picture && !isUnsupportedPictureName(name))
            continue;
        if (entry.kind == FileKind::Other)
            special << readableName(file);
        else if (!picture)
            unsupported.add(file);
        else if (holdsForeignBytes(file))
            unnamed << readableName(file);
        else
            pictures << entry.name;
    }
    out.thumbnailsLeftOut += leaveOutThumbnails(pictures, naming);
    leaveOutLiveFilms(pictures);
    for (QStringList *list : {&pictures, &unnamed, &special, &folders})
        sortNamesNaturally(*list);
    for (const QString &name : std::as_const(unnamed))
        out.problems << ReportLine::unreadable(QDir::toNativeSeparators(name));
    for (const QString &name : std::as_const(special))
        out.problems << ReportLine::notAFile(QDir::toNativeSeparators(name));
    for (const QString &name : std::as_const(pictures))
        out.paths << QDir::toNativeSeparators(folder + name);
    for (const QString &name : std::as_const(folders))
        addFolder(out, unsupported, folder + name, naming, walk, false);
}

// One input named by the user, made absolute and clean as a drop delivers
// full paths.
void addNamed(ExpandedInputs &out, Unsupported &unsupported, const QString &path, const SaveSettings &naming,
              Walk &walk)
{
    const QString shown = QDir::toNativeSeparators(readableName(path));
    switch (fileKind(path)) {
    case FileKind::Folder:
        addFolder(out, unsupported, path, naming, walk);
        return;
    case FileKind::File:
        if (isUnsupportedPictureName(shown))
            out.problems << ReportLine::unsupported(shown);
        else if (!holdsForeignBytes(path))
            out.paths << shown;
        else if (isPictureName(shown))
            out.problems << ReportLine::unreadable(shown);
        return;
    case FileKind::Other:
        out.problems << ReportLine::notAFile(shown);
        return;
    case FileKind::Unreachable:
        // Something on the way to it is closed to us.
        out.problems << (isPictureName(shown) || isUnsupportedPictureName(shown) ? ReportLine::unreadable(shown)
                                                                                 : ReportLine::folderUnreadable(shown));
        return;
    case FileKind::Nothing:
        out.missing << shown;
        return;
    }
}

}

ExpandedInputs expandInputs(const QStringList &inputs, const QString &base, const SaveSettings &naming,
                            const FolderWalk &below)
{
    ExpandedInputs out;
    Unsupported unsupported;
    Walk walk{below, {}};
    const QDir baseDir(base);
    // A working folder whose name holds bytes that are not text cannot be
    // named, but the system still finds names relative to it.
    const bool baseNamed = fileKind(base) == FileKind::Folder;
    for (const QString &input : inputs) {
        // QFileInfo would read "" as the base folder itself.
        if (input.isEmpty()) {
            out.missing << input;
            continue;
        }
        const bool relative = QDir::isRelativePath(input);
        addNamed(out, unsupported,
                 relative && !baseNamed ? QDir::cleanPath(input) : QFileInfo(baseDir, input).absoluteFilePath(),
                 naming, walk);
    }
    unsupported.noteIn(out);
    return out;
}

ExpandedInputs expandDrop(const QStringList &paths, const SaveSettings &naming, const FolderWalk &below)
{
    ExpandedInputs out;
    Unsupported unsupported;
    Walk walk{below, {}};
    for (const QString &path : paths) {
        if (fileKind(path) == FileKind::Folder)
            addFolder(out, unsupported, path, naming, walk);
        else if (isUnsupportedPictureName(readableName(path)))
            unsupported.add(path);
        else if (!holdsForeignBytes(path))
            out.paths << path;
        else if (isPictureName(readableName(path)))
            out.problems << ReportLine::unreadable(readableName(path));
    }
    unsupported.noteIn(out);
    return out;
}
