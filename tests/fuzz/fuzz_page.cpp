// Any title and file names: the page keeps its line structure (CR LF only at
// line ends) and no name can open or close a tag or an attribute.
#include "gallery/modernpage.h"
#include "gallery/page.h"
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList parts = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size))
                                  .split(QChar(0x1F));
    PageSettings s;
    s.title = parts.value(0);
    s.columns = 1 + int(size % 8);
    s.folder = QStringLiteral("/tmp/");
    QList<GalleryEntry> entries;
    for (qsizetype i = 1; i < parts.size(); ++i)
        entries.append({QStringLiteral("/bilder/"), parts[i], parts[i] + QStringLiteral("_s")});
    const QByteArray page = renderPage(s, entries);
    const QList<QByteArray> lines = page.split('\n');
    const int expected = 9 + int(entries.size()) + int(entries.size()) / s.columns + 4;
    if (lines.size() != expected + 1 || !lines.last().isEmpty())
        __builtin_trap();
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        if (!line.endsWith('\r') || line.count('\r') != 1)
            __builtin_trap();
        // Our own markup has a fixed number of quotes and tags per line.
        if (i >= 9 && line.startsWith("<TD") && (line.count('"') != 10 || line.count('<') != 8))
            __builtin_trap();
    }
    // The modern page: one line per picture, with as many tags and quotes
    // as its own markup has.
    qsizetype cells = 0;
    for (const QByteArray &line : renderModernPage(s, entries).split('\n')) {
        if (!line.startsWith("<li>"))
            continue;
        ++cells;
        if (line.count('"') != 10 || line.count('<') != 7)
            __builtin_trap();
    }
    if (cells != entries.size())
        __builtin_trap();
    return 0;
}
