// Placeholder until the page writer is built.
#include "page.h"
QString pagePath(const PageSettings &s) { return s.folder + QStringLiteral("bilder.html"); }
QByteArray renderPage(const PageSettings &, const QList<GalleryEntry> &) { return {}; }
Failure writeGallery(const PageSettings &, const QList<GalleryEntry> &) { return {}; }
