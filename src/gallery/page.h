#pragma once
#include "files/failure.h"
#include "thumbs/naming.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

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
    // Modern only: within an album, the pictures by the date they were
    // taken (the list's order where dates are equal), or in the list's order.
    enum class Order { Date, List } order = Order::Date;
};

// The web size the window gives a modern page: sharp on a large screen,
// a fraction of a camera's file.
inline constexpr int DefaultWebSize = 2048;

// The page file's full path: the folder followed by "bilder.html".
QString pagePath(const PageSettings &settings);

// The page "bilder.html" as bytes: plain ASCII, CR LF after every line.
QByteArray renderPage(const PageSettings &settings, const QList<GalleryEntry> &entries);

// What became of a page.
struct PageOutcome {
    Failure failure;          // why the page could not be written
    bool cancelled = false;   // stopped among the copies
    // Pictures (full paths) whose copy would have replaced a thumbnail of the
    // run: not copied, and their cells left out.
    QStringList leftOut;
    // Copies whose name a folder holds (a folder cannot be replaced): not
    // made, reported as a thumbnail in the way is, and their cells left out.
    QStringList inTheWay;
};

// Copies every full-size picture into the page folder (but for those the run
// put there as web-size copies), then writes the page in its style. A modern
// page whose pictures have albums gets a page in every album's folder, and
// one in each folder above an album, each linking to the albums below it.
// A copy never replaces one of `thumbnails`, the files the run made for the
// page (any other file of its name in the page folder is replaced); a copy
// already in place is not made again. Stops at the first failure, or before
// the next copy once `cancelled` says so; the page replaces an old one only
// when complete, so the old one stays otherwise.
PageOutcome writeGallery(const PageSettings &settings, const QList<GalleryEntry> &entries,
                         const QStringList &thumbnails = {}, const std::function<bool()> &cancelled = {});
