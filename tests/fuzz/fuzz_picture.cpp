// Any bytes as a picture file: probing, decoding, fitting and resampling
// must fail cleanly or succeed, never crash or hang.
#include "codecs/picture.h"
#include "codecs/pictureheaders.h"
#include "pixels/process.h"
#include "thumbs/drawing.h"
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdint>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char arg0[] = "fuzz";
    static char *argv[] = {arg0, nullptr};
    static QGuiApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        initPictureProcess();
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    // In memory where there is a tmpfs: rewriting a file on disk costs a
    // flush on each close, most of a run's time.
    static const QString path = QStringLiteral("%1/tumbilder-fuzz-%2.jpg")
                                    .arg(QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? "/dev/shm" : "/tmp")
                                    .arg(getpid());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    f.write(reinterpret_cast<const char *>(data), qint64(size));
    f.close();
    // The EXIF parser sees any bytes as an APP1 payload.
    const int orientation = readExif(data, qint64(size)).orientation;
    if (orientation < 1 || orientation > 8)
        __builtin_trap();
    {
        const PictureReader reader(path);
        for (QSize hint : {QSize(), QSize(1, 1), QSize(100, 100)})
            if (reader.decodeBytes(hint) < 0 || (reader.isValid() != (reader.decodeBytes(hint) > 0)))
                __builtin_trap();
        // A few bytes can claim a picture of up to the pixel limit (a 16 x 4
        // million WebP canvas from 580 bytes); drawing it is real work that,
        // instrumented, outlasts the timeout meant for hangs. As a run's
        // memory budget would hold it back, it is refused here once its
        // header was probed; the readers' own targets decode under a limit.
        if (!reader.isValid() || reader.decodeBytes(QSize(482, 482)) > (24 << 20))
            return 0;
    }
    for (SizeMode mode : {SizeMode::LockBoth, SizeMode::Percent}) {
        DrawSettings s;
        s.size = {mode, 3615.f, 3615.f, 10.0};
        s.canvas = {3615, 3615};
        const DrawResult r = drawThumbnail(s, path);
        if (r.status == DrawResult::Drawn && r.image.isNull())
            __builtin_trap();
    }
    return 0;
}
