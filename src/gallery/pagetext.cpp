#include "pagetext.h"
#include <QList>

namespace {
// Control characters would break the line-oriented file (CR, LF) or be
// dropped from a URL by the browser (tab, LF).
bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The classic page is plain ASCII, which reads the same whatever encoding
// the browser assumes: from disk, or from a web host that calls it UTF-8.
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
// reference when the page cannot hold it as it is.
void appendTextChar(QByteArray &out, char32_t c, PageCharset charset)
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
    else if (charset == PageCharset::Utf8 && !isControl(c))
        out += QString::fromUcs4(&c, 1).toUtf8();
    else
        appendReference(out, c);
}
}

QByteArray pageText(const QString &s, PageCharset charset)
{
    QByteArray out;
    for (const char32_t c : s.toUcs4())
        appendTextChar(out, c, charset);
    return out;
}

// Besides the escaping of text, the characters that would end or redirect
// the URL are percent-encoded: % (an escape of its own), # (fragment),
// ? (query), space, \ (a separator in file URLs), : (a name like
// "foto:1.jpg" would read as a scheme), control characters, and everything
// outside ASCII as UTF-8, which every browser and web server reads the same.
QByteArray pageUrl(const QString &s)
{
    QByteArray out;
    for (const char32_t c : s.toUcs4()) {
        if (!isPlainAscii(c) || c == '%' || c == '#' || c == '?' || c == ' ' || c == '\\' || c == ':')
            appendPercent(out, c);
        else
            appendTextChar(out, c, PageCharset::Ascii);
    }
    return out;
}
