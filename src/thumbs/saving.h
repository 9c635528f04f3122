#pragma once
#include "naming.h"
#include "runfiles.h"
#include "codecs/encoders.h"
#include "files/failure.h"
#include <QImage>

struct SaveResult {
    QString reportLine;   // "Filen finns redan: " + path, or empty
    QString written;      // the file written, or empty
    QString made;         // with update: the thumbnail found made, left as it is; or empty
    bool older = false;   // with update: the thumbnail is there, older than its picture, and stays
    bool remade = false;  // written in place of the page's own older thumbnail
    Failure failure;      // an error that stops the run
};

// A thumbnail's file in the chosen format, made from the picture alone, so
// it can be encoded on a worker thread before the names are tested.
Encoded encodeThumbnail(const SaveSettings &settings, const QImage &image);

// Why a thumbnail of `size` cannot be a file of `format`, or no failure:
// JPEG stops at 65,500 pixels a side and GIF at 65,535. Such a picture is
// reported like one no canvas can hold, and the run goes on.
Failure formatLimit(OutputFormat format, QSize size);

// Writes an encoded thumbnail of the picture `source` under its name, never
// over anything that exists: the BMP name is tested first (as the
// intermediate BMP of GIF and JPG once was), then the format's own name. An
// existing name becomes a report line, except, with update, a thumbnail at
// least as new as the picture (as the run's `files` judge it); an encoder
// failure counts only when the names are free. What is written is noted in
// `files`.
SaveResult saveEncoded(const SaveSettings &settings, const ThumbName &name, const QString &source,
                       const Encoded &encoded, RunFiles &files);
