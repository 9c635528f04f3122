// DNG files from photos, for bench/raw.sh, by the tests' own DNG writer:
// the photo as a camera's RGGB sensor data, and a JPEG preview of it at
// 1/PREVIEW its size (0: none).
//
// makedng PREVIEW OUT_FOLDER PHOTO...
#include "testpictures.h"
#include <QFileInfo>
#include <QCoreApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: makedng PREVIEW OUT_FOLDER PHOTO...\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const int preview = std::atoi(argv[1]);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const QString photo = QString::fromLocal8Bit(argv[i]);
        const QImage image(photo);
        const QByteArray dng = TestPictures::dngBytes(image, {.preview = preview});
        if (image.isNull() || dng.isEmpty()
            || TestPictures::writeFile(folder, QFileInfo(photo).completeBaseName() + ".dng", dng).isEmpty()) {
            std::fprintf(stderr, "makedng: cannot make a DNG of %s\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
