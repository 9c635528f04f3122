#pragma once
#include "budget.h"
#include "geometry.h"
#include "files/failure.h"
#include "pixels/units.h"
#include <QDateTime>
#include <QImage>
#include <QString>

// Everything drawing one thumbnail needs, taken from the window once.
struct DrawSettings {
    SizeSettings size;
    CanvasSize canvas;          // the canvas's size before this picture
    ColourValue background = 0xC0C0C0;
    bool applySizeMode = true;  // false for the preview: fit into the canvas as it is
    // The same thumbnail with this many times its pixels each way, for
    // screens of as many pixels to the point: laid out as at 1, drawn finer.
    int scale = 1;
};

struct DrawResult {
    // NotAFile: something is there, but no picture can be read from it (a
    // FIFO, a device, a folder).
    enum Status { Drawn, Missing, NotAFile, Unreadable, ScaleFailed } status = Missing;
    CanvasSize canvas;          // the canvas's size after sizing
    QImage image;               // the persistent image (inner area) when Drawn
    // The picture stays loaded (too small to need fitting): `loadedPicture`
    // is shown at natural size from the inner top-left corner.
    QImage loadedPicture;
    Failure failure;            // why it is Unreadable or ScaleFailed
    QDateTime taken;            // when the picture was taken (else last changed), from its header
};

// Measures, sizes, decodes once (small where the fit allows) and fits the
// picture into a canvas over the background. Touches no widget and no shared
// state, so it may run on any thread. With a budget, the decoding waits until
// its memory fits; a closed budget leaves the picture Unreadable.
DrawResult drawThumbnail(const DrawSettings &settings, const QString &path, MemoryBudget *budget = nullptr);

// How many times larger than the target the decoder is asked to stay, so
// the resampling filter has real detail to work from. Twice is enough: the
// DCT scaling averages whole blocks, and a Lanczos reduction of at least 2x
// after it stays within a few dB of one from the full-size picture
// (bench/quality.sh), while a larger margin often means the next bigger
// scale, which for a progressive file can cost ten times the decoding.
constexpr int DecodeMargin = 2;
