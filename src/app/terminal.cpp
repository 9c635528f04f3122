#include "terminal.h"
#include "files/filenames.h"
#include <QHash>

bool printTo(FILE *stream, const QString &text)
{
    const bool written = std::fputs(text.toLocal8Bit().constData(), stream) >= 0;
    return std::fflush(stream) == 0 && written;
}

QString shownInShell(const QString &text)
{
    QString shown;
    for (const QChar c : readableName(text)) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u != 0x7F && (u < 0x80 || u >= 0xA0)) {
            shown += c;
            continue;
        }
        static const QHash<char16_t, QString> named = {
            {u'\a', QStringLiteral("\\a")}, {u'\b', QStringLiteral("\\b")}, {u'\t', QStringLiteral("\\t")},
            {u'\n', QStringLiteral("\\n")}, {u'\v', QStringLiteral("\\v")}, {u'\f', QStringLiteral("\\f")},
            {u'\r', QStringLiteral("\\r")}, {u'\x1B', QStringLiteral("\\e")}};
        shown += named.value(u, (u < 0x80 ? QStringLiteral("\\x%1") : QStringLiteral("\\u%1"))
                                    .arg(QString::number(u, 16).toUpper().rightJustified(u < 0x80 ? 2 : 4, u'0')));
    }
    return shown;
}
