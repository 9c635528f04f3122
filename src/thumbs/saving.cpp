#include "saving.h"
#include "platform/encoders.h"
#include "platform/fileops.h"
#include <QDir>
#include <cerrno>

namespace {
QString existsLine(const QString &path) { return QStringLiteral("Filen finns redan: ") + path; }

// A prefix or suffix may hold a character no file name can have.
bool holdsForbidden(const QString &s)
{
    return s.contains(QDir::separator()) || s.contains(QLatin1Char('/')) || s.contains(QChar(0));
}
}

EncodedThumbnail encodeThumbnail(const SaveSettings &s, const QImage &image)
{
    EncodedThumbnail e;
    switch (s.format) {
    case OutputFormat::Bmp:
        e.file = encodeBmp(image, &e.failure);
        break;
    case OutputFormat::Jpg:
        e.file = encodeJpeg(image, qBound(1, s.quality, 100), &e.failure);
        break;
    case OutputFormat::Gif:
        e.file = encodeGif(image, &e.failure);
        break;
    }
    return e;
}

SaveResult saveEncoded(const SaveSettings &s, const ThumbName &name, const EncodedThumbnail &encoded)
{
    SaveResult r;
    if (holdsForbidden(s.prefix) || holdsForbidden(s.suffix)) {
        r.failure = failure(FailureCode::BadFileName, QStringLiteral("Felaktigt filnamn"));
        return r;
    }
    const QString bmp = name.bmpName();
    if (nameTaken(bmp)) {
        r.reportLine = existsLine(bmp);
        return r;
    }
    const QString target = name.nameFor(s.format);
    if (s.format != OutputFormat::Bmp && nameTaken(target)) {
        r.reportLine = existsLine(target);
        return r;
    }
    if (encoded.failure.failed()) {
        r.failure = encoded.failure;
        return r;
    }
    r.failure = writeNewFile(target, encoded.file);
    if (r.failure.number == EEXIST) {
        // The name appeared between the test and the write: report, never replace.
        r.failure = {};
        r.reportLine = existsLine(target);
        return r;
    }
    if (!r.failure.failed())
        r.written = target;
    return r;
}

SaveResult saveThumbnail(const SaveSettings &s, const ThumbName &name, const QImage &image)
{
    return saveEncoded(s, name, encodeThumbnail(s, image));
}
