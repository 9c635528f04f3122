#include "modernpage.h"
#include "pagetext.h"

namespace {
QByteArray text(const QString &s) { return pageText(s, PageCharset::Utf8); }

// A comma too: a srcset list would be split there.
QByteArray url(const QString &s) { return pageUrl(s).replace(',', "%2C"); }

QByteArray number(int n) { return QByteArray::number(n); }

QByteArray columnsRule(int columns)
{
    return ".g{grid-template-columns:repeat(" + number(columns) + ",minmax(0,1fr))}";
}

// The chosen columns on a wide screen; narrower screens get fewer, so a
// thumbnail never shrinks to a stamp: four on a tablet, two on a phone, one
// below 340 px. The cells share the width (minmax(0, 1fr)) and long names
// wrap anywhere, so nothing is wider than the screen.
QByteArray gridStyle(int columns, int widest)
{
    QByteArray css = columnsRule(columns);
    const struct { int width, most; } narrower[] = {{1000, 4}, {700, 2}, {340, 1}};
    for (const auto &n : narrower)
        if (columns > n.most)
            css += "@media(max-width:" + number(n.width) + "px){" + columnsRule(n.most) + "}";
    // On a wide screen the grid is no wider than its thumbnails need.
    if (widest > 0)
        css += "main{max-width:" + number(columns * (widest + 16) + (columns - 1) * 16) + "px}";
    return css;
}

constexpr char Style[] =
    "*{box-sizing:border-box}"
    "html{-webkit-text-size-adjust:100%;text-size-adjust:100%}"
    "body{margin:0;padding:16px;background:#fff;color:#222;"
    "font:16px/1.4 system-ui,-apple-system,\"Segoe UI\",Roboto,sans-serif}"
    "body.lock{overflow:hidden}"
    "main{margin:0 auto}"
    "h1{margin:.2em 0 .8em;font-size:1.6em;font-weight:600;text-align:center;overflow-wrap:anywhere}"
    ".g{display:grid;gap:16px;margin:0;padding:0;list-style:none}"
    ".g li{min-width:0}"
    ".g a{display:flex;flex-direction:column;align-items:center;justify-content:flex-end;height:100%;"
    "padding:8px;border-radius:6px;color:inherit;text-decoration:none}"
    ".g a:hover{background:#eef0f6}"
    ".g a:focus-visible,#v :focus-visible{outline:3px solid #1a5fb4;outline-offset:2px}"
    ".g img{display:block;max-width:100%;height:auto}"
    ".g span{margin-top:6px;font-size:14px;text-align:center;overflow-wrap:anywhere}"
    ".g time,.g small{font-size:12px;color:#555}"
    "nav{margin:0 0 8px;font-size:14px;overflow-wrap:anywhere}"
    "nav a{color:#1a5fb4}"
    ".a{margin-bottom:24px}"
    ".a a{background:#f4f5f8}"
    "#v{position:fixed;inset:0;display:flex;align-items:center;justify-content:center;"
    "padding:64px 8px 8px;background:rgba(0,0,0,.92);color:#fff}"
    "#v[hidden]{display:none}"
    "#v figure{display:flex;flex-direction:column;align-items:center;max-width:100%;margin:0}"
    "#v img,#v video{max-width:100%;max-height:calc(100vh - 120px);object-fit:contain}"
    "#v figcaption{margin-top:8px;font-size:14px;text-align:center;overflow-wrap:anywhere}"
    "#v button,#v a{position:absolute;min-width:48px;min-height:48px;padding:0 12px;border:2px solid #fff;"
    "border-radius:6px;background:#000;color:#fff;font:inherit;cursor:pointer}"
    "#v a{top:8px;left:8px;display:flex;align-items:center}"
    "#v .x{top:8px;right:8px;font-size:24px}"
    "#v .p,#v .n{top:50%;font-size:28px;transform:translateY(-50%)}"
    "#v .p{left:8px}"
    "#v .n{right:8px}";

// Without JavaScript every thumbnail is a plain link to its picture. With
// it, a click (but for one that asks for a new tab or window) opens the
// viewer over the page; the keys and buttons move and close it, and the
// focus stays in it while it is open, then goes back where it was. A film
// (data-v: a film, or a Live Photo's, whose poster is its still) plays there
// from its poster, loaded only when asked; one the browser cannot play (HEVC
// in most) shows its poster instead, with the link to the file.
constexpr char Script[] =
    "(()=>{"
    "const d=document,v=d.getElementById('v'),f=v.querySelector('figure'),c=f.firstChild,"
    "o=v.querySelector('a'),x=v.querySelector('.x'),a=[...d.querySelectorAll('.g:not(.a) a')],m=new Image();"
    "let i=0,back=null,x0=null,y0=0;"
    "f.insertBefore(m,c);"
    "const at=k=>a[(k+a.length)%a.length].getAttribute('href');"
    "const pre=k=>{const e=a[(k+a.length)%a.length];if(e.getAttribute('href')!=e.dataset.v)new Image().src=at(k)};"
    "function show(n){i=(n+a.length)%a.length;const h=at(i),p=a[i].querySelector('img'),t=p.alt,s=a[i].dataset.v;"
    "let w=m;m.alt=t;if(s){w=d.createElement('video');w.controls=true;w.preload='none';w.poster=s==h?p.currentSrc||p.src:h;"
    "w.src=s;w.onerror=()=>{if(w.isConnected){m.src=w.poster;w.replaceWith(m)}}}else m.src=h;"
    "f.replaceChild(w,f.firstChild);c.textContent=t;o.href=h;o.textContent=s==h?'\u00d6ppna filmen':'\u00d6ppna bilden';"
    "pre(i+1);pre(i-1)}"
    "function open(n){back=d.activeElement;show(n);v.hidden=false;d.body.classList.add('lock');x.focus()}"
    "function close(){v.hidden=true;d.body.classList.remove('lock');f.replaceChild(m,f.firstChild);"
    "m.removeAttribute('src');back&&back.focus()}"
    "a.forEach((e,n)=>e.addEventListener('click',ev=>{"
    "if(ev.button||ev.ctrlKey||ev.metaKey||ev.shiftKey||ev.altKey)return;ev.preventDefault();open(n)}));"
    "v.querySelector('.p').onclick=()=>show(i-1);"
    "v.querySelector('.n').onclick=()=>show(i+1);"
    "x.onclick=close;"
    "v.addEventListener('click',ev=>{if(ev.target==v||ev.target==f)close()});"
    "d.addEventListener('keydown',ev=>{if(v.hidden)return;const k=ev.key;"
    "if(k=='ArrowLeft')show(i-1);else if(k=='ArrowRight')show(i+1);else if(k=='Escape')close();"
    "else if(k=='Tab'){const b=[...v.querySelectorAll('a,button')];"
    "b[(b.indexOf(d.activeElement)+(ev.shiftKey?b.length-1:1))%b.length].focus()}"
    "else return;ev.preventDefault()});"
    "v.addEventListener('touchstart',ev=>{x0=ev.touches.length==1?ev.touches[0].clientX:null;"
    "y0=ev.touches[0].clientY},{passive:true});"
    "v.addEventListener('touchend',ev=>{if(x0==null)return;const t=ev.changedTouches[0],dx=t.clientX-x0;"
    "x0=null;if(Math.abs(dx)>50&&Math.abs(dx)>Math.abs(t.clientY-y0))show(dx<0?i+1:i-1)})"
    "})();";

void line(QByteArray &out, const QByteArray &content)
{
    out += content;
    out += '\n';
}
}

namespace {
QByteArray day(const QDateTime &t) { return t.date().toString(Qt::ISODate).toLatin1(); }

// A film's length as players show it: 0:07, 12:30, 1:02:03.
QByteArray duration(qint64 ms)
{
    const qint64 s = (ms + 500) / 1000;
    const QString mmss = QStringLiteral("%1:%2").arg(s / 60 % 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return (s >= 3600 ? QString::number(s / 3600) + QStringLiteral(":") + mmss.rightJustified(5, QLatin1Char('0')) : mmss)
        .toLatin1();
}

QByteArray timeElement(const QDateTime &t)
{
    return "<time datetime=\"" + day(t) + "\">" + day(t) + "</time>";
}

// The way back up, from the top.
void crumbs(QByteArray &out, const AlbumView &album)
{
    if (album.crumbs.isEmpty())
        return;
    QByteArray nav = "<nav aria-label=\"Album\">";
    for (const AlbumView::Crumb &c : album.crumbs)
        nav += "<a href=\"" + url(c.href) + "\">" + text(c.name) + "</a> &#8250; ";
    line(out, nav + "</nav>");
}

// A card for each album below, before the pictures.
void cards(QByteArray &out, const AlbumView &album)
{
    if (album.cards.isEmpty())
        return;
    line(out, "<ul class=\"g a\">");
    for (const AlbumView::Card &c : album.cards) {
        QByteArray img;
        if (!c.cover.isEmpty()) {
            img = "<img src=\"" + url(c.cover) + '"';
            if (!c.coverSize.isEmpty())
                img += " width=\"" + number(c.coverSize.width()) + "\" height=\"" + number(c.coverSize.height()) + '"';
            img += " alt=\"\" loading=\"lazy\">";
        }
        QByteArray about = number(c.pictures) + (c.pictures == 1 ? " bild" : " bilder");
        if (c.first.isValid())
            about += ", " + timeElement(c.first) + (day(c.first) == day(c.last) ? QByteArray() : " &#8211; " + timeElement(c.last));
        line(out, "<li><a href=\"" + url(c.href) + "\">" + img + "<span>" + text(c.name) + "</span><small>" + about
                      + "</small></a></li>");
    }
    line(out, "</ul>");
}
}

QByteArray renderModernPage(const PageSettings &s, const QList<GalleryEntry> &entries, const AlbumView &album)
{
    const QByteArray title = text(s.title);
    int widest = 0;
    for (const GalleryEntry &e : entries)
        widest = qMax(widest, e.size.width());

    QByteArray out;
    line(out, "<!doctype html>");
    line(out, "<html lang=\"sv\">");
    line(out, "<head>");
    line(out, "<meta charset=\"utf-8\">");
    line(out, "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">");
    line(out, "<title>" + title + "</title>");
    line(out, "<style>" + QByteArray(Style) + gridStyle(s.columns, widest) + "</style>");
    line(out, "</head>");
    line(out, "<body>");
    line(out, "<main>");
    crumbs(out, album);
    if (!title.isEmpty())
        line(out, "<h1>" + title + "</h1>");
    cards(out, album);
    // A folder of albums alone has no grid of pictures.
    const bool grid = !entries.isEmpty() || album.cards.isEmpty();
    if (grid)
        line(out, "<ul class=\"g\">");
    for (const GalleryEntry &e : entries) {
        const QByteArray name = text(e.file);
        QByteArray img = "<img src=\"" + url(e.thumb + formatExtension(s.format)) + '"';
        if (!e.doubled.isEmpty())
            img += " srcset=\"" + url(e.doubled) + " 2x\"";
        if (!e.size.isEmpty())
            img += " width=\"" + number(e.size.width()) + "\" height=\"" + number(e.size.height()) + '"';
        img += " alt=\"" + name + "\" loading=\"lazy\">";
        const QByteArray href = url(e.picture.isEmpty() ? e.file : e.picture);
        const QByteArray film = e.filmLength >= 0 ? href : e.motion.isEmpty() ? QByteArray() : url(e.motion);
        // The caption repeats the picture's name: a screen reader hears it once.
        line(out, "<li><a href=\"" + href + '"' + (film.isEmpty() ? QByteArray() : " data-v=\"" + film + '"') + ">" + img
                      + "<span aria-hidden=\"true\">" + name + "</span>"
                      + (e.filmLength > 0 ? "<small>" + duration(e.filmLength) + "</small>" : QByteArray())
                      + (e.taken.isValid() ? timeElement(e.taken) : QByteArray()) + "</a></li>");
    }
    if (grid)
        line(out, "</ul>");
    line(out, "</main>");
    line(out, "<div id=\"v\" role=\"dialog\" aria-modal=\"true\" aria-label=\"Bildvisare\" hidden>");
    line(out, "<figure><figcaption></figcaption></figure>");
    line(out, "<a href=\"\">Öppna bilden</a>");
    line(out, "<button class=\"p\" type=\"button\" aria-label=\"Föregående bild\">&#8249;</button>");
    line(out, "<button class=\"n\" type=\"button\" aria-label=\"Nästa bild\">&#8250;</button>");
    line(out, "<button class=\"x\" type=\"button\" aria-label=\"Stäng\">&#215;</button>");
    line(out, "</div>");
    line(out, "<script>" + QByteArray(Script) + "</script>");
    line(out, "</body>");
    line(out, "</html>");
    return out;
}
