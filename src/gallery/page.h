#pragma once
#include "platform/failure.h"
#include "thumbs/naming.h"
#include <QByteArray>
#include <QList>
#include <QString>

// The classic page is the table page of old; the modern one is made for
// phones and tablets as well (modernpage.h).
enum class PageStyle { Classic, Modern };

struct PageSettings {
    QString title = QStringLiteral("Mina bilder");
    int columns = 3;
    QString folder;               // ends with the separator
    OutputFormat format = OutputFormat::Jpg;
    PageStyle style = PageStyle::Classic;
    // Modern only: the pictures go into the folder as JPG copies this many
    // pixels on the long side, instead of as copies of the originals; 0
    // copies the originals.
    int webSize = 0;
};

// The web size the window gives a modern page: sharp on a large screen,
// a fraction of a camera's file.
inline constexpr int DefaultWebSize = 2048;

// The page file's full path: the folder followed by "bilder.html".
QString pagePath(const PageSettings &settings);

// The page "bilder.html" as bytes: plain ASCII, CR LF after every line.
QByteArray renderPage(const PageSettings &settings, const QList<GalleryEntry> &entries);

// Copies every full-size picture into the page folder (but for those the run
// put there as web-size copies), then writes the page in its style. Stops
// at the first failure; the page replaces an old one only when complete.
Failure writeGallery(const PageSettings &settings, const QList<GalleryEntry> &entries);
