// The gallery's copy of one full-size picture, alone, so its time and peak
// memory can be measured (GNU time -v) on files of any size.
//
// usage: copybench FROM TO
// Prints one line: bytes, seconds; exits 1 when the copy fails.
#include "files/fileops.h"
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: copybench FROM TO\n");
        return 2;
    }
    const QString from = QFile::decodeName(argv[1]);
    const QString to = QFile::decodeName(argv[2]);
    QElapsedTimer clock;
    clock.start();
    const Failure f = copyReplacing(from, to);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (f.failed()) {
        std::fprintf(stderr, "copybench: %s (%d)\n", qPrintable(f.description), f.number);
        return 1;
    }
    std::printf("bytes %lld, seconds %.3f\n", static_cast<long long>(QFileInfo(to).size()), seconds);
    return 0;
}
