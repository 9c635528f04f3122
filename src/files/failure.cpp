#include "failure.h"
#include <cstring>

Failure systemFailure(int errnum)
{
    return {errnum, QString::fromLocal8Bit(std::strerror(errnum))};
}

Failure failure(int number, const QString &description)
{
    return {number, description};
}

QString failureMessage(const QString &context, const Failure &f)
{
    return context + f.description + QLatin1Char('\r') + QStringLiteral("Felkod: ") + QString::number(f.number);
}
