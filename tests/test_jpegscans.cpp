// A progressive JPEG decoded at 1/8 from its DC scans alone must give exactly
// the pixels of the whole file's 1/8 decode, for every chroma layout; files
// that are not clean progressive JPEGs are left to the full decode.
#include "codecs/jpegreader.h"
#include "codecs/jpegscans.h"
#include "codecs/picture.h"
#include "testmain.h"
#include "testpictures.h"
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>
extern "C" {
#include <jpeglib.h>
}

using namespace TestPictures;

namespace {
struct Layout {
    int components = 3;      // 1 grey, 3 YCbCr, 4 CMYK
    int lumaH = 2, lumaV = 2; // sampling factors of the first component
    bool progressive = true;
    int restartRows = 0;
};

}
Q_DECLARE_METATYPE(Layout)

namespace {
// Writes `image` with libjpeg in the given layout (the chroma components at 1x1).
QByteArray encode(const QImage &image, const Layout &layout)
{
    const int components = layout.components;
    return libjpegBytes(
        image, components, components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB, 92,
        [components](QRgb p, uchar *q) {
            const int rgb[4] = {qRed(p), qGreen(p), qBlue(p), (qRed(p) + qBlue(p)) / 2};
            for (int c = 0; c < components; ++c)
                q[c] = uchar(components == 1 ? qGray(p) : rgb[c]);
        },
        [&layout](jpeg_compress_struct &info) {
            info.comp_info[0].h_samp_factor = layout.lumaH;
            info.comp_info[0].v_samp_factor = layout.lumaV;
            info.restart_in_rows = layout.restartRows;
            if (layout.progressive)
                jpeg_simple_progression(&info);
        });
}

// libjpeg's own 1/8 decode of a whole stream, samples as the stream holds them.
QByteArray eighth(const QByteArray &jpeg, bool smoothing)
{
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const uchar *>(jpeg.constData()), jpeg.size());
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = 8;
    info.do_block_smoothing = smoothing ? TRUE : FALSE;
    jpeg_start_decompress(&info);
    const int stride = int(info.output_width) * info.output_components;
    QByteArray pixels(stride * int(info.output_height), '\0');
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(pixels.data() + stride * int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return pixels;
}

QByteArray filtered(const QByteArray &jpeg)
{
    return jpegScansForEighth(reinterpret_cast<const uchar *>(jpeg.constData()), jpeg.size(), MaxJpegScans);
}
}

class TestJpegScans : public QObject {
    Q_OBJECT
private slots:
    void sameEighthFromFewerScans_data();
    void sameEighthFromFewerScans();
    void pictureReaderUsesThem();
    void leavesOtherFilesAlone_data();
    void leavesOtherFilesAlone();
};

void TestJpegScans::sameEighthFromFewerScans_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::newRow("4:2:0") << Layout{3, 2, 2};
    QTest::newRow("4:2:2") << Layout{3, 2, 1};
    QTest::newRow("4:4:0") << Layout{3, 1, 2};
    QTest::newRow("4:4:4") << Layout{3, 1, 1};
    QTest::newRow("4:1:1") << Layout{3, 4, 1};
    QTest::newRow("grey") << Layout{1, 1, 1};
    QTest::newRow("CMYK") << Layout{4, 1, 1};
    QTest::newRow("4:2:0, restart markers") << Layout{3, 2, 2, true, 1};
}

void TestJpegScans::sameEighthFromFewerScans()
{
    QFETCH(Layout, layout);
    // Odd sizes leave partial blocks at the right and bottom edges.
    const QByteArray jpeg = encode(photo(QSize(301, 203), 3), layout);
    const QByteArray dc = filtered(jpeg);
    QVERIFY(!dc.isEmpty());
    QVERIFY2(dc.size() < jpeg.size() * 2 / 3, qPrintable(QString("%1 of %2 bytes").arg(dc.size()).arg(jpeg.size())));
    QCOMPARE(eighth(dc, false), eighth(jpeg, true));
}

void TestJpegScans::pictureReaderUsesThem()
{
    QTemporaryDir dir;
    const QByteArray jpeg = encode(photo(QSize(800, 600), 4), Layout{});
    const QString path = writeFile(dir.path(), "progressiv.jpg", jpeg);
    PictureReader reader(path);
    const QImage image = reader.decode(QSize(100, 75));
    QCOMPARE(image.size(), QSize(100, 75));
    const QImage rgb888 = image.convertToFormat(QImage::Format_RGB888);
    QByteArray pixels;
    for (int y = 0; y < rgb888.height(); ++y)
        pixels.append(reinterpret_cast<const char *>(rgb888.constScanLine(y)), rgb888.width() * 3);
    QCOMPARE(pixels, eighth(jpeg, true));
}

void TestJpegScans::leavesOtherFilesAlone_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray progressive = encode(photo(QSize(160, 120), 5), Layout{});
    const int eoi = int(progressive.size()) - 2;
    QTest::newRow("baseline") << encode(photo(QSize(160, 120), 5), Layout{3, 2, 2, false});
    QTest::newRow("cut off in a scan") << progressive.left(progressive.size() * 2 / 3);
    QTest::newRow("no end marker") << progressive.left(eoi);
    QTest::newRow("bytes between segments") << QByteArray(progressive).insert(2, "xyz");
    QTest::newRow("second frame") << progressive.left(eoi) + progressive.mid(2);
    // Its repeats would go unseen at 1/8, so the same file would be readable
    // at one thumbnail size and refused at another.
    QImage flat(160, 120, QImage::Format_RGB32);
    flat.fill(qRgb(90, 120, 150));
    QTest::newRow("more scans than the limit") << jpegRepeatedScanBytes(flat, MaxJpegScans, false);
    QTest::newRow("PNG signature") << QByteArray("\x89PNG\r\n\x1a\n", 8);
    QTest::newRow("empty") << QByteArray();
}

void TestJpegScans::leavesOtherFilesAlone()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(filtered(bytes).isEmpty());
}

TUMBILDER_TEST_MAIN(TestJpegScans)
#include "test_jpegscans.moc"
