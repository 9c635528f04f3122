#include "geometry.h"
#include "pixels/units.h"
#include <QLocale>
#include <cmath>
#include <limits>

std::optional<double> textToDouble(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    double v = QLocale().toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<float> textToSingle(const QString &text)
{
    const auto v = textToDouble(text);
    if (!v || std::fabs(*v) > std::numeric_limits<float>::max())
        return std::nullopt;
    return float(*v);
}

std::optional<int> textToInt16(const QString &text)
{
    const auto v = textToDouble(text);
    if (!v)
        return std::nullopt;
    const double r = roundHalfEven(*v);
    if (r < -32768 || r > 32767)
        return std::nullopt;
    return int(r);
}

QString singleToText(float v)
{
    return QLocale().toString(double(v), 'g', 7).remove(QLocale().groupSeparator());
}

std::optional<float> lockBothBound(float canvasTwips)
{
    return textToSingle(singleToText(canvasTwips));
}

namespace {
// One sizing step: a single-precision quotient, skipped on division by zero.
std::optional<float> ratio(float a, float b)
{
    if (b == 0)
        return std::nullopt;
    const float r = a / b;
    if (!std::isfinite(r))
        return std::nullopt;
    return r;
}

// A product at full precision, rounded to single when it is written.
std::optional<float> product(double a, double b)
{
    const double p = a * b;
    if (!std::isfinite(p) || std::fabs(p) > std::numeric_limits<float>::max())
        return std::nullopt;
    return float(p);
}

void assign(float &target, std::optional<float> value)
{
    if (value)
        target = *value;
}
}

CanvasSize sizeCanvas(const SizeSettings &s, CanvasSize c, float W, float H)
{
    switch (s.mode) {
    case SizeMode::LockHeight:
        if (const auto r = ratio(W, H))
            assign(c.width, product(c.height, *r));
        break;
    case SizeMode::LockWidth:
        if (const auto r = ratio(H, W))
            assign(c.height, product(c.width, *r));
        break;
    case SizeMode::LockBoth: {
        assign(c.height, s.boundHeight);
        assign(c.width, s.boundWidth);
        const auto hr = ratio(H, c.height);
        const auto wr = ratio(W, c.width);
        // A failed comparison counts as false, so the width branch runs.
        if (hr && wr && *hr >= *wr) {
            if (const auto r = ratio(W, H))
                assign(c.width, product(c.height, *r));
            if (const auto r = ratio(H, W))
                assign(c.height, product(c.width, *r));
        } else {
            if (const auto r = ratio(H, W))
                assign(c.height, product(c.width, *r));
            if (const auto r = ratio(W, H))
                assign(c.width, product(c.height, *r));
        }
        break;
    }
    case SizeMode::Percent: {
        if (const auto p = s.percent) {
            assign(c.height, product(*p / 100.0, H));
            assign(c.width, product(*p / 100.0, W));
        }
        break;
    }
    case SizeMode::None:
        break;
    }
    return c;
}

namespace {
double round4(double v) { return roundHalfEven(v * 10000.0) / 10000.0; }
}

std::optional<QRectF> fitTarget(QSize picturePixels, CanvasSize inner)
{
    // The picture in twips, as the canvas is measured.
    const double pw = double(picturePixels.width()) * TwipsPerPixel;
    const double ph = double(picturePixels.height()) * TwipsPerPixel;
    const double bw = roundHalfEven(inner.width);
    const double bh = roundHalfEven(inner.height);
    if (!(pw > bw || ph > bh))
        return std::nullopt;
    double tw = 0, th = 0;
    bool widthStep = false;
    if (inner.width < pw && pw > 0) {
        const double r = round4(bw / pw);
        tw = bw;
        th = roundHalfEven(ph * r);
        widthStep = true;
    }
    const double h = widthStep ? th : ph;
    const double w = widthStep ? tw : pw;
    if (inner.height < h && h > 0) {
        const double r = round4(bh / h);
        th = bh;
        tw = roundHalfEven(w * r);
    }
    if (tw == 0)
        tw = pw;
    if (th == 0)
        th = ph;
    const float x = float(double(inner.width) / 2 - tw / 2);
    const float y = float(double(inner.height) / 2 - th / 2);
    return QRectF(x, y, tw, th);
}
