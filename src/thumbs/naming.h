#pragma once
#include <QDateTime>
#include <QSize>
#include <QString>

enum class OutputFormat { Bmp, Jpg, Gif };

// The thumbnail's file extension with its dot: ".bmp", ".jpg" or ".gif".
QString formatExtension(OutputFormat format);

// One picture of a run on the gallery page: the source's folder (ending with
// the separator), the source's file name, and the thumbnail's name without
// folder and extension.
struct GalleryEntry {
    QString folder;
    QString file;
    QString thumb;
    // Filled only for a modern page (pagefiles.h): the thumbnail's size in
    // pixels, the name of its double (twice the pixels), and the name of
    // the picture's web-size copy in the page folder; empty where none.
    QSize size;
    QString doubled;
    QString picture;
    // On a page of albums: the album's folder below the page's, ending with
    // the separator; empty for the page's own folder.
    QString album;
    // When the picture was taken (or, failing that, last changed).
    QDateTime taken;
    // A film's length in milliseconds (0 when it does not say); -1 for a picture.
    qint64 filmLength = -1;
    // A Live Photo's film (the still's name with .MOV), copied beside it on
    // a modern page and played from its viewer; empty for none.
    QString motion;
    bool operator==(const GalleryEntry &) const = default;
};

// What saving needs besides the picture, taken from the window once.
struct SaveSettings {
    QString prefix;              // plusfilnamn1
    QString suffix = "_s";       // plusfilnamn2
    OutputFormat format = OutputFormat::Jpg;
    int quality = 65;            // 1..100
    // Where the thumbnails go, ending with the separator: the page folder when
    // a page is made; empty puts each beside its picture.
    QString targetFolder;
    // For runs again over the same pictures: a thumbnail that is there and at
    // least as new as its picture counts as made. One that is older is still
    // never replaced.
    bool update = false;
};

struct ThumbName {
    QString base;                // file name less its last dot-piece
    QString ext;                 // the last dot-piece
    QString stem;                // target folder + prefix + base + suffix
    GalleryEntry entry;
    QString bmpName() const { return stem + QStringLiteral(".bmp"); }
    QString nameFor(OutputFormat f) const { return stem + formatExtension(f); }
};

// Whether a prefix or suffix can stand in a file name: no folder separator,
// no NUL.
bool fitsInFileName(const QString &text);

// Names the thumbnail of the picture `folder` + `file`.
ThumbName thumbName(const SaveSettings &settings, const QString &folder, const QString &file);

// The thumbnail's file name, without folder, that the settings give the
// picture named `file`.
QString thumbFileName(const SaveSettings &settings, const QString &file);

// A modern page's own names besides the thumbnail. The double of the
// thumbnail `thumbStem` + the format's extension (with or without its
// folder), twice its pixels:
QString doubledName(const QString &thumbStem, OutputFormat format);
// The web-size copy: a JPG keeps its name, any other picture gets ".jpg"
// after its own, so no two pictures of different names share a copy.
QString webSizeName(const QString &file);
