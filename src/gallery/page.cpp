#include "page.h"
#include "platform/fileops.h"
#include <QSet>

namespace {
// Control characters would break the line-oriented file (CR, LF) or be
// dropped from a URL by the browser (tab, LF).
bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The page is plain ASCII, which reads the same whatever encoding the
// browser assumes: from disk, or from a web host that calls it UTF-8.
bool isPlainAscii(char32_t c) { return c < 0x80 && !isControl(c); }

void appendReference(QByteArray &out, char32_t c)
{
    out += "&#";
    out += QByteArray::number(uint(c));
    out += ';';
}

void appendPercent(QByteArray &out, char32_t c)
{
    const QByteArray utf8 = QString::fromUcs4(&c, 1).toUtf8();
    for (const char b : utf8) {
        out += '%';
        out += QByteArray::number(uchar(b), 16).toUpper().rightJustified(2, '0');
    }
}

// One character of text or attribute value: HTML-escaped, and as a numeric
// reference when it is not plain ASCII.
void appendTextChar(QByteArray &out, char32_t c)
{
    switch (c) {
    case '&':
        out += "&amp;";
        return;
    case '<':
        out += "&lt;";
        return;
    case '>':
        out += "&gt;";
        return;
    case '"':
        out += "&quot;";
        return;
    default:
        break;
    }
    if (isPlainAscii(c))
        out += char(c);
    else
        appendReference(out, c);
}

QByteArray text(const QString &s)
{
    QByteArray out;
    for (const char32_t c : s.toUcs4())
        appendTextChar(out, c);
    return out;
}

// A bare file name as a relative URL inside an attribute. Besides the
// escaping of text, the characters that would end or redirect the URL are
// percent-encoded: % (an escape of its own), # (fragment), ? (query), space,
// \ (a separator in file URLs), : (a name like "foto:1.jpg" would read as a
// scheme), control characters, and everything outside ASCII as UTF-8, which
// every browser and web server reads the same.
QByteArray urlText(const QString &s)
{
    QByteArray out;
    for (const char32_t c : s.toUcs4()) {
        if (!isPlainAscii(c) || c == '%' || c == '#' || c == '?' || c == ' ' || c == '\\' || c == ':')
            appendPercent(out, c);
        else
            appendTextChar(out, c);
    }
    return out;
}

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
        const QByteArray href = urlText(e.file);
        const QByteArray name = text(e.file);
        line(out, "<TD ALIGN=CENTER VALIGN=BOTTOM><FONT face=\"Verdana, Arial, Helvetica, "
                  "Sans-Serif\" size=\"-2\"><A HREF=\"" + href + "\"><IMG SRC=\""
                  + urlText(e.thumb) + ext + "\" ALT=\"" + name + "\"><BR>" + name
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
        if (out.failure = copyReplacing(e.folder + e.file, s.folder + e.file); out.failure.failed())
            return out;
        shown << e;
    }
    if (cancelled && cancelled())
        out.cancelled = true;
    else
        out.failure = writeReplacing(pagePath(s), renderPage(s, shown));
    return out;
}
