#include "loaders.h"

// Each defined in its format's own file.
extern const PictureLoader jpegLoader;
extern const PictureLoader gifLoader;
extern const PictureLoader bmpLoader;
extern const PictureLoader pngLoader;
extern const PictureLoader webpLoader;
extern const PictureLoader heifLoader;
extern const PictureLoader tiffLoader;

namespace {
const PictureLoader *const table[] = {
    &jpegLoader,
    &gifLoader,
    &bmpLoader,
    &pngLoader,
    &webpLoader,
    &heifLoader,
    &tiffLoader,
};
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
    static const QStringList extensions = [] {
        QStringList all;
        for (const PictureLoader *loader : table)
            all << QString::fromLatin1(loader->extensions).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        return all;
    }();
    return extensions;
}
