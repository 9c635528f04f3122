#pragma once
#include "naming.h"
#include "platform/failure.h"
#include <QImage>

struct SaveResult {
    QString reportLine;   // "Filen finns redan: " + path, or empty
    QString written;      // the file written, or empty
    Failure failure;      // an error that stops the run
};

// Writes one thumbnail under its name, never over anything that exists:
// the BMP name is tested first (as the intermediate BMP of GIF and JPG once
// was), then the format's own name. An existing name becomes a report line.
SaveResult saveThumbnail(const SaveSettings &settings, const ThumbName &name, const QImage &image);
