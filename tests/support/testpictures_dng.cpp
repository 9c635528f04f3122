// DNG files as a camera writes them, through libtiff: the sensor's cells
// under an RGGB colour filter, 16 bits each, linear light.
#include "testpictures.h"
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <tiffio.h>
#include <vector>

namespace TestPictures {

QByteArray dngBytes(const QImage &image, const Encoding &e, QSize declared)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.dng");
    TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        return {};
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QSize size = declared.isValid() ? declared : rgb.size();
    // What a camera and the DNG format need said: the version, a camera,
    // and its colours (XYZ to linear sRGB, so the cells are sRGB's).
    static const uint8_t version[] = {1, 4, 0, 0};
    static const float xyzToCamera[] = {3.2406f, -1.5372f, -0.4986f, -0.9689f, 1.8758f, 0.0415f, 0.0557f, -0.2040f, 1.0570f};
    static const float neutral[] = {1, 1, 1};
    TIFFSetField(tiff, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tiff, TIFFTAG_MAKE, "Tumbilder");
    TIFFSetField(tiff, TIFFTAG_UNIQUECAMERAMODEL, "Tumbilder Test");
    TIFFSetField(tiff, TIFFTAG_COLORMATRIX1, 9, xyzToCamera);
    TIFFSetField(tiff, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, uint16_t(e.orientation));
    if (!e.taken.isEmpty())
        TIFFSetField(tiff, TIFFTAG_DATETIME, e.taken.constData());
    auto layout = [tiff](QSize size, int bits, int samples, int photometric, int compression) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(size.width()));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(size.height()));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(bits));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(photometric));
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(compression));
    };
    if (e.preview > 0) {
        // IFD0 is the preview, a JPEG; the sensor data is in its SubIFD.
        const QImage small = rgb.scaled(rgb.size() / e.preview, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QByteArray jpeg = jpegBytes(small, 90);
        uint64_t subIfd = 0;
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, uint32_t(FILETYPE_REDUCEDIMAGE));
        layout(small.size(), 8, 3, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(small.height()));
        TIFFSetField(tiff, TIFFTAG_SUBIFD, 1, &subIfd);
        TIFFWriteRawStrip(tiff, 0, const_cast<char *>(jpeg.constData()), jpeg.size());
        TIFFWriteDirectory(tiff);
    }
    static const uint16_t dims[] = {2, 2};
    static const uint8_t rggb[] = {0, 1, 1, 2};
    const uint32_t white = 65535;
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, uint32_t(0));
    layout(size, 16, 1, 32803, COMPRESSION_NONE); // a colour filter array
    TIFFSetField(tiff, TIFFTAG_CFAREPEATPATTERNDIM, dims);
    TIFFSetField(tiff, TIFFTAG_CFAPATTERN, 4, rggb);
    TIFFSetField(tiff, TIFFTAG_WHITELEVEL, 1, &white);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
    std::vector<uint16_t> row(size_t(size.width()));
    for (int y = 0; y < size.height() && !declared.isValid(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int c = (y & 1) + (x & 1); // 0 red, 1 green, 2 blue
            const double v = (c == 0 ? qRed(in[x]) : c == 1 ? qGreen(in[x]) : qBlue(in[x])) / 255.0;
            const double linear = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            row[size_t(x)] = uint16_t(std::lround(linear * white));
        }
        TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0);
    }
    TIFFWriteDirectory(tiff);
    TIFFClose(tiff);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}
