#pragma once
#include "naming.h"
#include "platform/encoders.h"
#include "platform/failure.h"
#include <QImage>

struct SaveResult {
    QString reportLine;   // "Filen finns redan: " + path, or empty
    QString written;      // the file written, or empty
    Failure failure;      // an error that stops the run
};

// A thumbnail's file in the chosen format, made from the picture alone, so
// it can be encoded on a worker thread before the names are tested.
Encoded encodeThumbnail(const SaveSettings &settings, const QImage &image);

// Writes an encoded thumbnail under its name, never over anything that
// exists: the BMP name is tested first (as the intermediate BMP of GIF and
// JPG once was), then the format's own name. An existing name becomes a
// report line; an encoder failure counts only when the names are free.
SaveResult saveEncoded(const SaveSettings &settings, const ThumbName &name, const Encoded &encoded);
