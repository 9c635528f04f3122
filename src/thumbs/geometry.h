#pragma once
#include <QRectF>
#include <QSize>
#include <QString>
#include <optional>

// Size modes, numbered as the option buttons "Lås höjd", "Lås bredd",
// "Lås båda", "Procent".
enum class SizeMode { None = -1, LockHeight = 0, LockWidth = 1, LockBoth = 2, Percent = 3 };

// A canvas's outer size in twips, single precision.
struct CanvasSize {
    float width = 0;
    float height = 0;
    bool operator==(const CanvasSize &) const = default;
};

// What sizing one picture needs besides the canvas. A value that is not
// there (an empty box or tag) skips its step.
struct SizeSettings {
    SizeMode mode = SizeMode::LockBoth;
    std::optional<float> boundHeight;   // txtlåshöjd
    std::optional<float> boundWidth;    // txtlåsbredd
    std::optional<double> percent;      // cmdprocent's tag
};

// A lock-both bound as the run takes it from the canvas's outer size: the
// bound is kept as text, so it is the size rounded to the seven digits that
// text holds (a canvas left at 4820.0005 twips by a stopped run bounds the
// next one at 4820).
std::optional<float> lockBothBound(float canvasTwips);

// Sizes the canvas for a picture whose natural size is W x H twips. Every step
// that fails (a value not there, division by zero, overflow) is skipped and
// the next one runs with what the canvas holds.
CanvasSize sizeCanvas(const SizeSettings &settings, CanvasSize canvas, float W, float H);

// Where a picture of `picturePixels` is painted in a drawing area of `innerTwips`
// (twips, from its top-left corner): shrunk to fit with the proportions kept
// and centred. Nothing when the picture already fits: it then stays at natural
// size in the top-left corner.
std::optional<QRectF> fitTarget(QSize picturePixels, CanvasSize innerTwips);

// Conversions as the window's numeric texts need them (system locale first,
// then the C locale).
std::optional<float> textToSingle(const QString &text);
std::optional<double> textToDouble(const QString &text);
// A 16-bit whole number, halves to even; nothing for empty, non-numeric or
// out-of-range text.
std::optional<int> textToInt16(const QString &text);
// A single-precision number as the locale formats it (3615 gives "3615").
QString singleToText(float v);
