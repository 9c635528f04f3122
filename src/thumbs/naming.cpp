#include "naming.h"
#include "splittext.h"
#include <QDir>

QString formatExtension(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Bmp:
        return QStringLiteral(".bmp");
    case OutputFormat::Gif:
        return QStringLiteral(".gif");
    case OutputFormat::Jpg:
        break;
    }
    return QStringLiteral(".jpg");
}

ThumbName thumbName(const SaveSettings &s, const QString &folder, const QString &file)
{
    ThumbName n;
    QStringList pieces = SplitText(file, QStringLiteral("."));
    n.ext = pieces.takeLast();
    n.base = pieces.join(QLatin1Char('.'));
    const QString target = s.targetFolder.isEmpty() ? folder : s.targetFolder;
    n.stem = target + s.prefix + n.base + s.suffix;
    n.entry = {folder, n.base + QLatin1Char('.') + n.ext, s.prefix + n.base + s.suffix};
    return n;
}

QString thumbFileName(const SaveSettings &s, const QString &file)
{
    SaveSettings here = s;
    here.targetFolder.clear();
    return thumbName(here, QString(), file).nameFor(s.format);
}

bool fitsInFileName(const QString &text)
{
    return !text.contains(QDir::separator()) && !text.contains(QLatin1Char('/')) && !text.contains(QChar(0));
}

QString doubledName(const QString &thumbStem, OutputFormat format)
{
    return thumbStem + QStringLiteral("@2x") + formatExtension(format);
}

QString webSizeName(const QString &file)
{
    if (file.endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive)
        || file.endsWith(QStringLiteral(".jpeg"), Qt::CaseInsensitive))
        return file;
    return file + QStringLiteral(".jpg");
}
