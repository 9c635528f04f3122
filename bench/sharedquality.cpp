// The thumbnail and its double of each picture, drawn directly and from one
// decoding shared with a 2048-pixel copy (as a modern page makes them),
// before encoding: the PSNR of each against the full-size picture resampled
// straight to its size, and of the shared against the direct drawing.
//
// usage: sharedquality PICTURE...
#include "thumbs/drawing.h"
#include "codecs/picture.h"
#include "pixels/resample.h"
#include <QFileInfo>
#include <cmath>
#include <cstdio>
static double psnr(const QImage &a0, const QImage &b0)
{
    const QImage a = a0.convertToFormat(QImage::Format_RGB32), b = b0.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            int d[3] = {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)};
            sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    return 10 * std::log10(255.0 * 255 / (sum / (3.0 * a.width() * a.height())));
}
int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        const QImage full = PictureReader(path).decode();
        DrawSettings s;
        s.size = {SizeMode::LockBoth, 3615.f, 3615.f, {}};
        s.canvas = {3615, 3615};
        s.background = 0xFF00FF;
        DrawSettings twice = s;
        twice.scale = 2;
        const DrawResult direct = drawThumbnail(s, path), direct2 = drawThumbnail(twice, path);
        const QSize natural = PictureReader(path).naturalSize();
        const QSize web = qMax(natural.width(), natural.height()) > 2048 ? natural.scaled(2048, 2048, Qt::KeepAspectRatio)
                                                                         : natural;
        const DrawResult shared = drawThumbnail(s, path, nullptr, [&](QSize n) {
            return OtherSizes{web, drawnPictureSize(twice, n), 0, true};
        });
        const QImage shared2 = drawThumbnail(twice, *shared.decoded).image;
        // The photos are fitted to the whole inner area: the full-size picture straight to it.
        const QImage ref = resampleTo(full, direct.image.size()), ref2 = resampleTo(full, direct2.image.size());
        const QImage &copy = shared.decoded->sourceFor(web);
        std::printf("%s thumbnail: direct %.1f shared %.1f (direct vs shared %.1f); double: direct %.1f shared %.1f (%.1f);"
                    " copy %.1f\n",
                    qPrintable(QFileInfo(path).fileName()), psnr(direct.image, ref), psnr(shared.image, ref), psnr(direct.image, shared.image),
                    psnr(direct2.image, ref2), psnr(shared2, ref2), psnr(direct2.image, shared2),
                    psnr(copy.size() == web ? copy : resampleTo(copy, web), resampleTo(full, web)));
    }
}
