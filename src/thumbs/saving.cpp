#include "saving.h"
#include "report.h"
#include "codecs/encoders.h"
#include "files/fileops.h"
#include <cerrno>

Encoded encodeThumbnail(const SaveSettings &s, const QImage &image)
{
    switch (s.format) {
    case OutputFormat::Bmp:
        return encodeBmp(image);
    case OutputFormat::Jpg:
        return encodeJpeg(image, qBound(1, s.quality, 100));
    case OutputFormat::Gif:
        break;
    }
    return encodeGif(image);
}

Failure formatLimit(OutputFormat format, QSize size)
{
    const int side = qMax(size.width(), size.height());
    if (format == OutputFormat::Jpg && side > 65500)
        return failure(FailureCode::EncoderFailed, QStringLiteral("JPEG: bilden är för stor"));
    if (format == OutputFormat::Gif && side > 65535)
        return failure(FailureCode::EncoderFailed, QStringLiteral("GIF: bilden är för stor"));
    return {};
}

SaveResult saveEncoded(const SaveSettings &s, const ThumbName &name, const QString &source, const Encoded &encoded,
                       RunFiles &files)
{
    SaveResult r;
    if (!fitsInFileName(s.prefix) || !fitsInFileName(s.suffix)) {
        r.failure = failure(FailureCode::BadFileName, QStringLiteral("Felaktigt filnamn"));
        return r;
    }
    const QString target = name.nameFor(s.format);
    const Freshness made = s.update ? files.thumbnail(target, source) : Freshness::Absent;
    if (made == Freshness::Current) {
        r.made = target;
        return r;
    }
    // Reported as ever; with update, a thumbnail older than its picture
    // says so.
    const QString bmp = name.bmpName();
    if (nameTaken(bmp) && !(bmp == target && made == Freshness::Older && files.owned(target))) {
        r.reportLine = ReportLine::exists(bmp);
        r.older = bmp == target && made == Freshness::Older;
        return r;
    }
    // A thumbnail the page's record says it made, from an older picture or
    // by other settings, is the page's own to make again.
    const bool remade = made == Freshness::Older && files.owned(target);
    if (s.format != OutputFormat::Bmp && nameTaken(target) && !remade) {
        r.reportLine = ReportLine::exists(target);
        r.older = made == Freshness::Older;
        return r;
    }
    if (encoded.failure.failed()) {
        r.failure = encoded.failure;
        return r;
    }
    r.failure = remade ? writeReplacing(target, encoded.file) : writeNewFile(target, encoded.file);
    r.remade = remade && !r.failure.failed();
    if (r.failure.number == EEXIST) {
        // The name appeared between the test and the write: report, never replace.
        r.failure = {};
        r.reportLine = ReportLine::exists(target);
        return r;
    }
    if (!r.failure.failed()) {
        r.written = target;
        files.wrote(target, source);
    }
    return r;
}
