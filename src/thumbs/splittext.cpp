#include "splittext.h"

QStringList SplitText(const QString &text, const QString &delimiter)
{
    QStringList pieces{QString()};
    QString rest = text;
    qsizetype i = 0;
    // An empty delimiter is found at position 0 without consuming anything;
    // treat it as absent so the loop always ends.
    auto find = [&](const QString &s) { return delimiter.isEmpty() ? -1 : s.indexOf(delimiter); };
    for (qsizetype pos = find(rest); pos >= 0; pos = find(rest)) {
        if (pieces.size() <= i)
            pieces.resize(i + 1);
        pieces[i] = rest.left(pos);
        rest = rest.mid(pos + delimiter.size());
        ++i;
    }
    if (!rest.isEmpty()) {
        if (pieces.size() <= i)
            pieces.resize(i + 1);
        pieces[i] = rest;
    }
    return pieces;
}
