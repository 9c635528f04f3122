#pragma once
#include "platform/failure.h"
#include "thumbs/naming.h"
#include <QByteArray>
#include <QList>
#include <QString>

struct PageSettings {
    QString title = QStringLiteral("Mina bilder");
    int columns = 3;
    QString folder;               // ends with the separator
    OutputFormat format = OutputFormat::Jpg;
};

// The page file's full path: the folder followed by "bilder.html".
QString pagePath(const PageSettings &settings);

// The page "bilder.html" as bytes: plain ASCII, CR LF after every line.
QByteArray renderPage(const PageSettings &settings, const QList<GalleryEntry> &entries);

// Copies every full-size picture into the page folder, then writes the page.
// Stops at the first failure; the page replaces an old one only when complete.
Failure writeGallery(const PageSettings &settings, const QList<GalleryEntry> &entries);
