#include "loaders.h"

// The readers' loaders, each defined in its format's own file, and the
// table of them in the order their signatures are tried: made by CMake from
// the list of readers.
#include "readertable.inc"

namespace {
// The blank-separated words of one field of every row.
QStringList fieldOfEveryRow(const char *PictureLoader::*field)
{
    QStringList all;
    for (const PictureLoader *loader : table)
        all << QString::fromLatin1(loader->*field).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return all;
}
}

const PictureLoader *loaderFor(const uchar *data, qint64 size)
{
    for (const PictureLoader *loader : table)
        if (loader->matches(data, size))
            return loader;
    return nullptr;
}

const QStringList &pictureExtensions()
{
    static const QStringList extensions = fieldOfEveryRow(&PictureLoader::extensions);
    return extensions;
}

const QStringList &filmExtensions()
{
    static const QStringList extensions = QString::fromLatin1(filmLoader.extensions).split(QLatin1Char(' '));
    return extensions;
}

QStringList pictureMimeTypes()
{
    return fieldOfEveryRow(&PictureLoader::mimeTypes);
}

QStringList pictureFormatNames()
{
    return fieldOfEveryRow(&PictureLoader::shownAs);
}
