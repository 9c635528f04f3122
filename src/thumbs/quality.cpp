#include "quality.h"
#include "pixels/units.h"
#include <QtGlobal>
#include <cmath>

double leadingNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    const qsizetype digitsStart = i;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128)
        ++i;
    qsizetype mantissaDigits = i - digitsStart;
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        const qsizetype fracStart = i;
        while (i < n && text[i].unicode() < 128 && text[i].isDigit())
            ++i;
        mantissaDigits += i - fracStart;
    }
    if (mantissaDigits == 0)
        return 0;
    qsizetype end = i;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        const qsizetype expStart = j;
        while (j < n && text[j].unicode() < 128 && text[j].isDigit())
            ++j;
        if (j > expStart)
            end = j;
    }
    const double v = text.mid(start, end - start).toDouble();
    return std::isfinite(v) ? v : 0;
}

std::optional<QString> normalisedQuality(const QString &text, bool whileTyping)
{
    if (text.isEmpty() && whileTyping)
        return std::nullopt;
    double v = roundHalfEven(leadingNumber(text));
    if (v > 100)
        v = 100;
    if (v == 0)
        v = 65;
    // The box holds a 16-bit number; anything below its range is pinned there.
    v = qMax(v, -32768.0);
    return QString::number(qint64(v));
}

int encoderQuality(const QString &text)
{
    const QString normal = normalisedQuality(text, false).value_or(QStringLiteral("65"));
    return qBound(1, normal.toInt(), 100);
}
