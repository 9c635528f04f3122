#include "pagerecord.h"
#include "files/fileops.h"
#include "pixels/canvas.h"
#include "pixels/units.h"
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace {
constexpr int RecordVersion = 1;

// Nanosecond times do not fit a JSON number exactly: they are kept as text.
QJsonValue time(qint64 ns) { return QString::number(ns); }
qint64 time(const QJsonValue &v)
{
    bool ok = false;
    const qint64 n = v.toString().toLongLong(&ok);
    return ok ? n : -1;
}
}

ReadRecord readPageRecord(const QString &pageFolder)
{
    const QString path = pageFolder + QLatin1String(PageRecordName);
    QFile file(path);
    if (!file.exists())
        return {};
    // A record is small; a large file there is not one of ours.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024 * 1024)
        return {std::nullopt, failure(FailureCode::NotAPicture, path)};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    const QJsonObject root = doc.object();
    if (error.error != QJsonParseError::NoError || root.value("program").toString() != QLatin1String("tumbilder")
        || root.value("record").toInt() != RecordVersion)
        return {std::nullopt, failure(FailureCode::NotAPicture, path)};
    PageRecord r;
    r.settings = root.value("settings").toObject();
    for (const QJsonValue &f : root.value("folders").toArray())
        r.folders << f.toString();
    for (const QJsonValue &v : root.value("files").toArray()) {
        const QJsonObject o = v.toObject();
        const QString name = o.value("name").toString();
        // A name that climbs out of the page folder is not the page's.
        if (name.isEmpty() || name.startsWith('/') || name.split('/').contains(QStringLiteral("..")))
            return {std::nullopt, failure(FailureCode::NotAPicture, path)};
        r.files.insert(name, {o.value("kind").toString(), time(o.value("size")), time(o.value("modified")),
                              o.value("picture").toString(),
                              {time(o.value("pictureSize")), time(o.value("pictureModified"))},
                              o.value("shape").toString()});
    }
    return {r, {}};
}

Failure writePageRecord(const QString &pageFolder, const PageRecord &record)
{
    QJsonArray files;
    QStringList names = record.files.keys();
    names.sort();
    for (const QString &name : std::as_const(names)) {
        const PageRecord::File &f = record.files[name];
        QJsonObject o{{"name", name}, {"kind", f.kind}, {"size", time(f.size)}, {"modified", time(f.modified)}};
        if (!f.picture.isEmpty()) {
            o.insert("picture", f.picture);
            o.insert("pictureSize", time(f.stamp.size));
            o.insert("pictureModified", time(f.stamp.modified));
        }
        if (!f.shape.isEmpty())
            o.insert("shape", f.shape);
        files.append(o);
    }
    const QJsonObject root{{"program", "tumbilder"},
                           {"record", RecordVersion},
                           {"settings", record.settings},
                           {"folders", QJsonArray::fromStringList(record.folders)},
                           {"files", files}};
    // Written only when it says something new: a run again that changes
    // nothing leaves the page folder as it was.
    const QString path = pageFolder + QLatin1String(PageRecordName);
    const QByteArray text = QJsonDocument(root).toJson();
    QFile old(path);
    if (old.open(QIODevice::ReadOnly) && old.size() == text.size() && old.readAll() == text)
        return {};
    return writeReplacing(path, text);
}

QJsonObject recordSettings(const ThumbnailSettings &t, const PageSettings &page)
{
    static const char *const modes[] = {"height", "width", "both", "percent"};
    const auto inner = [](float twips) { return QString::number(twipsToPixels(twips) - 2 * CanvasBorderPixels); };
    QJsonObject o{{"page-style", page.style == PageStyle::Modern ? "modern" : "classic"},
                  {"title", page.title},
                  {"columns", QString::number(page.columns)},
                  {"web-size", QString::number(page.webSize)},
                  {"sort", page.order == PageSettings::Order::Date ? "date" : "name"},
                  {"mode", modes[int(t.draw.size.mode) & 3]},
                  {"size", inner(t.draw.canvas.width) + 'x' + inner(t.draw.canvas.height)},
                  {"format", formatExtension(t.save.format).mid(1)},
                  {"quality", QString::number(t.save.quality)},
                  {"background", Canvas::toColor(t.draw.background).name().toUpper()}};
    if (t.draw.size.percent)
        o.insert("percent", QString::number(qRound(*t.draw.size.percent)));
    return o;
}

PageRecord::File recordedFile(const QString &path, const QString &kind, const QString &picture,
                              const PictureStamp &stamp, const QString &shape)
{
    const PictureStamp now = pictureStamp(path);
    return {kind, now.size, now.modified, picture, stamp, shape};
}
