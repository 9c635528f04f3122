#include "page.h"
#include "modernpage.h"
#include "pagetext.h"
#include "platform/fileops.h"

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

Failure writeGallery(const PageSettings &s, const QList<GalleryEntry> &entries)
{
    // Pictures first: the page is written only when everything it links to is
    // in place, and then replaces the old page in one step, so a failure
    // leaves the previous page as it was.
    for (const GalleryEntry &e : entries) {
        if (!e.picture.isEmpty())
            continue;   // its web-size copy is in place
        if (Failure f = copyReplacing(e.folder + e.file, s.folder + e.file); f.failed())
            return f;
    }
    return writeReplacing(pagePath(s), s.style == PageStyle::Modern ? renderModernPage(s, entries)
                                                                    : renderPage(s, entries));
}
