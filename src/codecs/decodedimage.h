#pragma once
#include "files/failure.h"
#include <QImage>

// What a decoder hands back: the picture, or why there is none.
struct DecodedImage {
    QImage image;
    Failure failure;
};

// Anything we cannot make a picture of: no picture format we know, a damaged
// one, or one whose pixel data is missing.
inline Failure notAPicture(const QString &reason = QStringLiteral("inte en bild"))
{
    return failure(FailureCode::NotAPicture, QStringLiteral("Ogiltig bild"), reason);
}

// A picture whose data is damaged: `what` says how, in a few words.
inline Failure damaged(const QString &what)
{
    return notAPicture(QStringLiteral("skadad: ") + what);
}

// A picture of a kind we do not decode: `what` says which.
inline Failure unsupported(const QString &what)
{
    return failure(FailureCode::UnsupportedFormat, QStringLiteral("Format som inte stöds"),
                   QStringLiteral("format som inte stöds: ") + what);
}
