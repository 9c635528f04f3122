#include "page.h"
#include "modernpage.h"
#include "pagetext.h"
#include "files/filenames.h"
#include "files/fileops.h"
#include <QDir>
#include <QMap>
#include <QSet>
#include <algorithm>

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
        // (A raw file's cell links its JPG copy.)
        const QByteArray href = pageUrl(e.picture.isEmpty() ? e.file : e.picture);
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

namespace {
// The last piece of an album's folder ("2026/04-april/" gives "04-april").
QString albumName(const QString &album)
{
    const QStringList pieces = album.split(QDir::separator(), Qt::SkipEmptyParts);
    return pieces.isEmpty() ? QString() : pieces.last();
}

// The album holding `album`: "" for a top album.
QString parentAlbum(const QString &album)
{
    if (album.size() < 2)
        return {};
    const qsizetype cut = album.lastIndexOf(QDir::separator(), album.size() - 2);
    return cut < 0 ? QString() : album.left(cut + 1);
}

// How `to` (an album, or the page's own folder) is reached from a page in
// `from`.
QString relative(const QString &from, const QString &to)
{
    return QDir(QDir::separator() + from).relativeFilePath(QDir::separator() + to + QStringLiteral("bilder.html"));
}

// A modern page of albums: a page in every album, and in every folder
// above one, deepest first, so that a link from a page above always leads
// to a page in place; the page folder's own page last.
Failure writeAlbums(const PageSettings &s, const QList<GalleryEntry> &shown)
{
    QMap<QString, QList<GalleryEntry>> pictures;   // album -> its own pictures
    // In the order the list reaches them, so the cards read as the folders
    // do ("2 feb" before "10 okt").
    QStringList albums;
    for (const GalleryEntry &e : shown)
        for (QString album = e.album;; album = parentAlbum(album)) {
            if (!pictures.contains(album))
                albums << album;
            pictures[album];
            if (album.isEmpty())
                break;
        }
    for (const GalleryEntry &e : shown)
        pictures[e.album] << e;
    std::stable_sort(albums.begin(), albums.end(), [](const QString &a, const QString &b) {
        return a.count(QDir::separator()) > b.count(QDir::separator());
    });
    for (const QString &album : std::as_const(albums)) {
        AlbumView view;
        if (!album.isEmpty()) {
            QStringList above;
            for (QString up = parentAlbum(album);; up = parentAlbum(up)) {
                above.prepend(up);
                if (up.isEmpty())
                    break;
            }
            for (const QString &up : std::as_const(above))
                view.crumbs << AlbumView::Crumb{up.isEmpty() ? s.title : albumName(up), relative(album, up)};
        }
        for (const QString &below : std::as_const(albums)) {
            if (below.isEmpty() || parentAlbum(below) != album)
                continue;
            AlbumView::Card card{albumName(below), relative(album, below), {}, {}, 0, {}, {}};
            for (auto it = pictures.cbegin(); it != pictures.cend(); ++it) {
                if (!it.key().startsWith(below))
                    continue;
                for (const GalleryEntry &e : it.value()) {
                    if (card.cover.isEmpty()) {
                        card.cover = QDir(QDir::separator() + album)
                                         .relativeFilePath(QDir::separator() + e.album + e.thumb
                                                           + formatExtension(s.format));
                        card.coverSize = e.size;
                    }
                    ++card.pictures;
                    if (e.taken.isValid()) {
                        card.first = card.first.isValid() ? qMin(card.first, e.taken) : e.taken;
                        card.last = card.last.isValid() ? qMax(card.last, e.taken) : e.taken;
                    }
                }
            }
            view.cards << card;
        }
        PageSettings page = s;
        page.folder = s.folder + album;
        if (!album.isEmpty())
            page.title = albumName(album);
        if (const Failure f = writeReplacing(pagePath(page), renderModernPage(page, pictures[album], view)); f.failed())
            return f;
    }
    return {};
}

// Within each album, the pictures by the date taken where the page asks
// for it; equal dates keep the list's order.
QList<GalleryEntry> ordered(const PageSettings &s, QList<GalleryEntry> entries)
{
    if (s.style == PageStyle::Modern && s.order == PageSettings::Order::Date)
        std::stable_sort(entries.begin(), entries.end(), [](const GalleryEntry &a, const GalleryEntry &b) {
            return a.taken.isValid() && b.taken.isValid() && a.taken < b.taken;
        });
    return entries;
}
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
    // A folder where a copy goes is reported, as a thumbnail in the way is.
    enum class Placed { Yes, InTheWay, Failed };
    auto place = [&out](const QString &from, const QString &to) {
        if (fileKind(to) == FileKind::Folder) {
            out.inTheWay << to;
            return Placed::InTheWay;
        }
        out.failure = copyReplacing(from, to);
        return out.failure.failed() ? Placed::Failed : Placed::Yes;
    };
    for (const GalleryEntry &e : entries) {
        if (cancelled && cancelled()) {
            out.cancelled = true;
            return out;
        }
        // A picture named like one of the run's thumbnails (a.jpg beside
        // a_s.jpg) would put a full photo where the page shows a thumbnail.
        if (made.contains(s.folder + e.album + e.file)) {
            out.leftOut << e.folder + e.file;
            continue;
        }
        // Without a web-size copy in its place, the picture itself.
        if (e.picture.isEmpty()) {
            const Placed p = place(e.folder + e.file, s.folder + e.album + e.file);
            if (p == Placed::Failed)
                return out;
            if (p == Placed::InTheWay)
                continue;
        }
        GalleryEntry entry = e;
        // The classic page has no viewer to play a Live Photo's film; a
        // folder in the film's way leaves the still its cell without it.
        if (s.style != PageStyle::Modern || e.motion.isEmpty()) {
            entry.motion.clear();
        } else if (const Placed p = place(e.folder + e.motion, s.folder + e.album + e.motion); p == Placed::Failed) {
            return out;
        } else if (p == Placed::InTheWay) {
            entry.motion.clear();
        }
        shown << entry;
    }
    shown = ordered(s, shown);
    const bool albums = std::any_of(shown.cbegin(), shown.cend(), [](const GalleryEntry &e) { return !e.album.isEmpty(); });
    if (cancelled && cancelled())
        out.cancelled = true;
    else if (s.style == PageStyle::Modern && albums)
        out.failure = writeAlbums(s, shown);
    else
        out.failure = writeReplacing(pagePath(s), s.style == PageStyle::Modern ? renderModernPage(s, shown)
                                                                           : renderPage(s, shown));
    return out;
}
