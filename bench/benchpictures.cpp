// Pictures for the benches.
//
// benchpictures photos FOLDER [COUNT=20]
//   Photo-like JPEGs for when no photographs are at hand: smooth shapes at
//   several scales with a camera's grain, so they cost a decoder about what
//   photographs of their size do. The same arguments give the same files.
// benchpictures psnr A B
//   The PSNR in dB of picture B against picture A (RGB, the same size), or
//   "size" when their sizes differ; "inf" when they are the same.
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {
// Random values on a coarse grid, interpolated smoothly between its points.
struct Noise {
    int cells;
    std::vector<float> grid;
    Noise(int n, QRandomGenerator &random) : cells(n), grid(size_t(n + 2) * size_t(n + 2))
    {
        for (float &v : grid)
            v = float(random.generateDouble());
    }
    float at(float x, float y) const // x, y in 0..1
    {
        const float gx = x * float(cells), gy = y * float(cells);
        const int ix = int(gx), iy = int(gy);
        float fx = gx - float(ix), fy = gy - float(iy);
        fx = fx * fx * (3 - 2 * fx);
        fy = fy * fy * (3 - 2 * fy);
        auto g = [this](int i, int j) { return grid[size_t(j) * size_t(cells + 2) + size_t(i)]; };
        const float top = g(ix, iy) + (g(ix + 1, iy) - g(ix, iy)) * fx;
        const float bottom = g(ix, iy + 1) + (g(ix + 1, iy + 1) - g(ix, iy + 1)) * fx;
        return top + (bottom - top) * fy;
    }
};

QImage photoLike(QSize size, quint32 seed)
{
    QRandomGenerator random(seed);
    std::vector<Noise> octaves;
    for (int n : {3, 11, 40, 160, 640})
        for (int channel = 0; channel < 3; ++channel)
            octaves.emplace_back(n, random);
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y) {
        uchar *row = image.scanLine(y);
        const float fy = float(y) / float(size.height());
        for (int x = 0; x < size.width(); ++x) {
            const float fx = float(x) / float(size.width());
            for (int c = 0; c < 3; ++c) {
                float v = 0, weight = 0.5f;
                for (size_t o = 0; o < 5; ++o, weight *= 0.55f)
                    v += weight * octaves[o * 3 + size_t(c)].at(fx, fy);
                // Grain: a few levels each way, as a camera sensor gives.
                v = v * 255.0f + float(int(random.bounded(13)) - 6);
                row[3 * x + c] = uchar(std::clamp(v, 0.0f, 255.0f));
            }
        }
    }
    return image;
}
}

int psnr(const char *a, const char *b)
{
    const QImage x = QImage(QString::fromLocal8Bit(a)).convertToFormat(QImage::Format_RGB32);
    const QImage y = QImage(QString::fromLocal8Bit(b)).convertToFormat(QImage::Format_RGB32);
    if (x.isNull() || y.isNull()) {
        std::fprintf(stderr, "benchpictures: cannot read %s\n", x.isNull() ? a : b);
        return 1;
    }
    if (x.size() != y.size()) {
        std::printf("size\n");
        return 0;
    }
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const QRgb *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int d[3] = {qRed(p[col]) - qRed(q[col]), qGreen(p[col]) - qGreen(q[col]), qBlue(p[col]) - qBlue(q[col])};
            sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    if (mse == 0)
        std::printf("inf\n");
    else
        std::printf("%.2f\n", 10 * std::log10(255.0 * 255.0 / mse));
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 4 && std::string_view(argv[1]) == "psnr")
        return psnr(argv[2], argv[3]);
    if (argc < 3 || std::string_view(argv[1]) != "photos") {
        std::fprintf(stderr, "usage: benchpictures photos FOLDER [COUNT] | psnr A B\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const int count = argc > 3 ? std::atoi(argv[3]) : 20;
    QDir().mkpath(folder);
    // Long sides from 3000 to 6000, landscape and portrait, the usual proportions.
    const QList<QSizeF> shapes = {{4, 3}, {3, 2}, {16, 9}, {3, 4}, {1, 1}};
    for (int i = 0; i < count; ++i) {
        const int longSide = 3000 + (3000 * i) / qMax(1, count - 1);
        const QSizeF shape = shapes[i % shapes.size()];
        const double f = longSide / qMax(shape.width(), shape.height());
        const QSize size(int(shape.width() * f) & ~1, int(shape.height() * f) & ~1);
        QImageWriter writer(QDir(folder).filePath(QString::asprintf("photo%02d.jpg", i)), "jpeg");
        writer.setQuality(90);
        if (!writer.write(photoLike(size, quint32(i + 1)))) {
            std::fprintf(stderr, "makephotos: %s\n", qPrintable(writer.errorString()));
            return 1;
        }
    }
    return 0;
}
