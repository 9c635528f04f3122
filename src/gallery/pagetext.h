#pragma once
#include <QByteArray>
#include <QString>

// How the page pieces are written: every page escapes markup the same way;
// a page in plain ASCII also writes the characters outside it as numeric
// references, a page declared as UTF-8 writes them as they are.
enum class PageCharset { Ascii, Utf8 };

// Text or an attribute value: &, <, > and " escaped; control characters
// (which would split a line or vanish) as numeric references.
QByteArray pageText(const QString &s, PageCharset charset);

// A bare file name as a relative URL inside an attribute, in plain ASCII:
// escaped as text, and the characters that would end or redirect the URL
// percent-encoded.
QByteArray pageUrl(const QString &s);
