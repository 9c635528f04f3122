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
inline Failure notAPicture()
{
    return failure(FailureCode::NotAPicture, QStringLiteral("Ogiltig bild"));
}
