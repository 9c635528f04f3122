#pragma once
#include <QString>
#include <QStringList>

// Splits text at every occurrence of the delimiter (exact, case-sensitive).
// Empty pieces at the start and in the middle are kept, an empty last piece
// is dropped, and the result always has at least one element ("" for an
// empty text).
QStringList SplitText(const QString &text, const QString &delimiter = QStringLiteral(" "));
