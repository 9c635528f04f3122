#pragma once
#include "budget.h"
#include "geometry.h"
#include "files/failure.h"
#include "pixels/units.h"
#include <QDateTime>
#include <QImage>
#include <QString>
#include <functional>
#include <memory>

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

// A picture decoded once for every size a run makes of it: as decoded
// (reduced where its format allows, with the margin for the largest size)
// and, when a smaller output is wanted at a size of its own, resampled once
// to that size so the outputs below it start from there instead of from the
// whole decoding. Holds its memory from the budget until it goes.
struct DecodedPicture {
    QImage decoded;         // null once every output can start from `reduced`
    QImage reduced;         // at the largest other output's size, or null
    QImage smaller;         // from `reduced`, at the smaller other outputs' size, or null
    QSize natural;          // the picture's natural size, oriented
    bool film = false;      // a film's poster frame: its thumbnails get the play mark
    MemoryBudget::Claim claim;

    // The smallest picture held that is `target` pixels or has the decoding
    // margin over it each way; else the decoding itself.
    const QImage &sourceFor(QSize target) const;
};

// What else a run makes of the picture it draws a thumbnail of, from its
// natural size: the largest of those outputs in pixels (empty for none),
// and what making them holds besides that picture.
struct OtherSizes {
    QSize largest;
    QSize rest;        // the others expanded to cover them all, or empty
    qint64 bytes = 0;
    // The largest is a copy for viewing: a decoding of at least its size,
    // at any scale the format has, makes it well enough, margin or not.
    bool viewing = false;
};
using OtherSizesFor = std::function<OtherSizes(QSize natural)>;

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
    QSize natural;              // the picture's natural size, oriented, from its header
    bool film = false;          // a film's poster frame, marked as one
    qint64 filmLength = 0;      // a film's length in milliseconds, 0 when unknown
    // With other sizes wanted: the decoding, for them. It holds its memory:
    // drop it once they are made.
    std::shared_ptr<const DecodedPicture> decoded;
};

// Measures, sizes, decodes once (small where the fit allows) and fits the
// picture into a canvas over the background. Touches no widget and no shared
// state, so it may run on any thread. With a budget, the decoding waits until
// its memory fits; a closed budget leaves the picture Unreadable.
// With `others`, the picture is decoded once for them too, at the size the
// largest needs, and the budget claimed for all of them at once; the result
// keeps the decoding (`decoded`).
DrawResult drawThumbnail(const DrawSettings &settings, const QString &path, MemoryBudget *budget = nullptr,
                         const OtherSizesFor &others = {});
// The same drawing from a picture decoded already (as `drawThumbnail` keeps
// it): Drawn, or ScaleFailed when the canvas cannot be had.
DrawResult drawThumbnail(const DrawSettings &settings, const DecodedPicture &picture);

// The size in pixels the picture takes on the thumbnail the settings draw of
// a picture of `natural` pixels, as it is drawn (for the outputs made from
// the same decoding).
QSize drawnPictureSize(const DrawSettings &settings, QSize natural);

// How many times larger than the target the decoder is asked to stay, so
// the resampling filter has real detail to work from. Twice is enough: the
// DCT scaling averages whole blocks, and a Lanczos reduction of at least 2x
// after it stays within a few dB of one from the full-size picture
// (bench/quality.sh), while a larger margin often means the next bigger
// scale, which for a progressive file can cost ten times the decoding.
constexpr int DecodeMargin = 2;

// How much larger than a viewing copy its decoding stays (at 3/4 too, not
// only at halvings). Made from a scale just above its size, the copy of a
// detailed photo came to only 43 dB against one made from the whole
// picture; half as large again keeps every copy measured above 49 dB
// (bench/sharedquality.cpp), while a 5000-pixel photo still decodes at 3/4
// for a 2048-pixel copy instead of whole.
constexpr double ViewingMargin = 1.5;
