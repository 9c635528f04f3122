#include "failure.h"
#include <cstring>

Failure systemFailure(int errnum)
{
    const QString text = QString::fromLocal8Bit(std::strerror(errnum));
    return {errnum, text, text.left(1).toLower() + text.mid(1)};
}

Failure failure(int number, const QString &description, const QString &reason)
{
    return {number, description, reason.isEmpty() ? description.toLower() : reason};
}

QString failureMessage(const QString &context, const Failure &f)
{
    return context + f.description + QLatin1Char('\r') + QStringLiteral("Felkod: ") + QString::number(f.number);
}
