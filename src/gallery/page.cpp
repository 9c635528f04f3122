#include "page.h"
#include "modernpage.h"
#include "pagetext.h"
#include "files/fileops.h"
#include <QSet>

namespace {
QByteArray text(const QString &s) { return pageText(s, PageCharset::Ascii); }

void line(QByteArray &out, const QByteArray &content)
{
    out += content;
    out += "\r\n";
}
}

QString pagePath(const PageSettings &s) { return s.folder + QStringLiteral("bilder.html"); }

QByteArray renderPage(const PageSettings &s, const QList<GalleryEntry> &entries)
{
    const QByteArray title = text(s.title);
    const QByteArray ext = text(formatExtension(s.format));
    QByteArray out;
    line(out, "<HTML>");
    line(out, "<HEAD><TITLE>" + title + "</TITLE></HEAD>");
    line(out, "<BODY bgcolor=\"#ffffff\" text=\"#000000\" link=\"#000000\" vlink=\"#000099\" "
              "alink=\"#000066\">");
    line(out, "<TABLE>");
    line(out, "<TR><TD ALIGN=CENTER><FONT face=\"Verdana, Arial, Helvetica, Sans-Serif\" "
              "size=\"+1\"><B>" + title + "</B></FONT></TD></TR>");
    line(out, "<P>");
    line(out, "<TR><TD ALIGN=CENTER><TABLE>");
    line(out, "<TR>");
    line(out, "<tr>");
    int column = 0;
    for (const GalleryEntry &e : entries) {
        const QByteArray href = pageUrl(e.file);
        const QByteArray name = text(e.file);
        line(out, "<TD ALIGN=CENTER VALIGN=BOTTOM><FONT face=\"Verdana, Arial, Helvetica, "
                  "Sans-Serif\" size=\"-2\"><A HREF=\"" + href + "\"><IMG SRC=\""
                  + pageUrl(e.thumb) + ext + "\" ALT=\"" + name + "\"><BR>" + name
                  + "</A></FONT></TD>");
        // A row ends after every C-th cell; the next row starts with its first cell.
        if (++column == s.columns) {
            line(out, "</tr>");
            column = 0;
        }
    }
    line(out, "</TABLE></TD></TR>");
    line(out, "<P><TR><TD ALIGN=CENTER><TR><TD ALIGN=CENTER></TD></TR>");
    line(out, "</BODY>");
    line(out, "</HTML>");
    return out;
}

PageOutcome writeGallery(const PageSettings &s, const QList<GalleryEntry> &entries, const QStringList &thumbnails,
                         const std::function<bool()> &cancelled)
{
    // Pictures first: the page is written only when everything it links to is
    // in place, and then replaces the old page in one step, so a failure
    // leaves the previous page as it was.
    PageOutcome out;
    const QSet<QString> made(thumbnails.begin(), thumbnails.end());
    QList<GalleryEntry> shown;
    for (const GalleryEntry &e : entries) {
        if (cancelled && cancelled()) {
            out.cancelled = true;
            return out;
        }
        // A picture named like one of the run's thumbnails (a.jpg beside
        // a_s.jpg) would put a full photo where the page shows a thumbnail.
        if (made.contains(s.folder + e.file)) {
            out.leftOut << e.folder + e.file;
            continue;
        }
        if (!e.picture.isEmpty()) {
            shown << e;   // its web-size copy is in place
            continue;
        }
        if (out.failure = copyReplacing(e.folder + e.file, s.folder + e.file); out.failure.failed())
            return out;
        shown << e;
    }
    if (cancelled && cancelled())
        out.cancelled = true;
    else
        out.failure = writeReplacing(pagePath(s), s.style == PageStyle::Modern ? renderModernPage(s, shown)
                                                                           : renderPage(s, shown));
    return out;
}
