#include "resample.h"
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
// Processors with AVX2 weigh twice the bytes a step; the same sums, so the
// same pixels, chosen when the program runs.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TUMBILDER_AVX2 1
#include <immintrin.h>
#define WIDE __attribute__((target("avx2")))
#endif

// A separable convolution in fixed point: each output pixel is a weighted sum
// of the source pixels under the kernel, horizontally into an 8-bit
// intermediate picture, then vertically. The work is proportional to the
// source's pixels, in integers, in loops the compiler can vectorise.
namespace {
constexpr int WeightBits = 14;
constexpr int One = 1 << WeightBits;

// Lanczos with three lobes, the usual filter for reducing photographs: it
// keeps more detail than the cubics (Catmull-Rom, Mitchell) with little
// ringing, and measured against a full-size Lanczos reduction it loses the
// least to the DCT-scaled decode in front of it.
constexpr double Support = 3;

double lanczos3(double x)
{
    x = std::fabs(x);
    if (x < 1e-9)
        return 1;
    if (x >= Support)
        return 0;
    const double px = M_PI * x;
    return Support * std::sin(px) * std::sin(px / Support) / (px * px);
}

// For every output position along one axis: the first source position under
// the kernel and the weights of the sources from there on.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<int16_t> weights; // `width` per output position
    int width = 0;
#ifdef __SSE2__
    // The weights again, two at a time as 16-bit pairs repeated four times
    // (`width` / 2 + 1 pairs per output position), ready for _mm_madd_epi16.
    std::vector<int32_t> pairs;
    int pairWidth = 0;
#endif
#ifdef TUMBILDER_AVX2
    // For AVX2 across a row: every window `padded` sources long (a multiple
    // of four, moved left at the row's end), its weights zero outside the
    // kernel, so each pixel is whole steps of four with nothing left over.
    std::vector<int> paddedFirst;
    std::vector<int32_t> paddedPairs; // `padded` / 2 pairs a position, as in `pairs`
    int padded = 0;
#endif
};

#ifdef __SSE2__
// The sources from `i` on that a loop of four at a time left, added to
// `acc`, and the output pixel.
inline void finishPixel(const uchar *p, const int32_t *pairs, int i, int n, __m128i acc, uchar *out)
{
    const __m128i zero = _mm_setzero_si128();
    auto weights = [pairs](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(pairs + 4 * k)); };
    if (i + 1 < n) {
        const __m128i pair = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)), zero);
        acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_unpacklo_epi16(pair, _mm_srli_si128(pair, 8)), weights(i / 2)));
        i += 2;
        p += 8;
    }
    if (i < n) {
        // The last source alone: its pair's second weight is zero.
        int32_t pixel;
        std::memcpy(&pixel, p, 4);
        const __m128i one = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(pixel), zero), zero);
        acc = _mm_add_epi32(acc, _mm_madd_epi16(one, weights(i / 2)));
    }
    acc = _mm_srai_epi32(acc, WeightBits);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(acc, acc), zero);
    const int32_t result = _mm_cvtsi128_si32(bytes);
    std::memcpy(out, &result, 4);
}

// One output pixel from `n` source pixels: two sources a step, their four
// channels interleaved as 16-bit pairs, so one multiply-add weighs both.
inline void horizontalPixel(const uchar *p, const int32_t *pairs, int n, uchar *out)
{
    const __m128i zero = _mm_setzero_si128();
    auto weights = [pairs](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(pairs + 4 * k)); };
    // Four sources a step into two sums, so the additions need not wait for each other.
    __m128i acc = _mm_set1_epi32(One / 2), acc2 = zero;
    int i = 0;
    for (; i + 3 < n; i += 4, p += 16) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i lo = _mm_unpacklo_epi8(four, zero), hi = _mm_unpackhi_epi8(four, zero);
        acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_unpacklo_epi16(lo, _mm_srli_si128(lo, 8)), weights(i / 2)));
        acc2 = _mm_add_epi32(acc2, _mm_madd_epi16(_mm_unpacklo_epi16(hi, _mm_srli_si128(hi, 8)), weights(i / 2 + 1)));
    }
    finishPixel(p, pairs, i, n, _mm_add_epi32(acc, acc2), out);
}

// Each row a step, two of its sources in each 16-bit pair: `acc` gains
// `a` and `b` weighed by the pair, as far as whole steps go; returns how far.
inline size_t addRowPair(const uchar *a, const uchar *b, int32_t pair, int32_t *acc, size_t bytes)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights = _mm_set1_epi32(pair);
    size_t k = 0;
    for (; k + 16 <= bytes; k += 16) {
        const __m128i ra = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + k));
        const __m128i rb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + k));
        const __m128i lo = _mm_unpacklo_epi8(ra, zero), lob = _mm_unpacklo_epi8(rb, zero);
        const __m128i hi = _mm_unpackhi_epi8(ra, zero), hib = _mm_unpackhi_epi8(rb, zero);
        const __m128i sums[4] = {_mm_madd_epi16(_mm_unpacklo_epi16(lo, lob), weights),
                                 _mm_madd_epi16(_mm_unpackhi_epi16(lo, lob), weights),
                                 _mm_madd_epi16(_mm_unpacklo_epi16(hi, hib), weights),
                                 _mm_madd_epi16(_mm_unpackhi_epi16(hi, hib), weights)};
        for (int q = 0; q < 4; ++q) {
            auto *to = reinterpret_cast<__m128i *>(acc + k + 4 * size_t(q));
            _mm_storeu_si128(to, _mm_add_epi32(_mm_loadu_si128(to), sums[q]));
        }
    }
    return k;
}
#endif

#ifdef TUMBILDER_AVX2
// Pairs k and k + 1 of the weights, one in each half.
WIDE inline __m256i wideWeights(const int32_t *pairs, int k)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pairs + 4 * k));
}

// Four sources as two interleaved pairs, one in each half.
WIDE inline __m256i fourSources(const uchar *from)
{
    const __m256i x = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(from)));
    return _mm256_unpacklo_epi16(x, _mm256_srli_si256(x, 8));
}

// As horizontalPixel, four sources a multiply-add (two in each half), over
// a padded window: no sources left over.
WIDE inline void horizontalPixelPadded(const uchar *p, const int32_t *pairs, int padded, uchar *out)
{
    __m256i acc = _mm256_setzero_si256(), acc2 = _mm256_setzero_si256();
    int i = 0;
    for (; i + 7 < padded; i += 8, p += 32) {
        acc = _mm256_add_epi32(acc, _mm256_madd_epi16(fourSources(p), wideWeights(pairs, i / 2)));
        acc2 = _mm256_add_epi32(acc2, _mm256_madd_epi16(fourSources(p + 16), wideWeights(pairs, i / 2 + 2)));
    }
    if (i < padded)
        acc = _mm256_add_epi32(acc, _mm256_madd_epi16(fourSources(p), wideWeights(pairs, i / 2)));
    acc = _mm256_add_epi32(acc, acc2);
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    sum = _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(One / 2)), WeightBits);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(sum, sum), _mm_setzero_si128());
    const int32_t result = _mm_cvtsi128_si32(bytes);
    std::memcpy(out, &result, 4);
}

// As addRowPair, sixteen bytes of each row a step in one register.
WIDE size_t addRowPairWide(const uchar *a, const uchar *b, int32_t pair, int32_t *acc, size_t bytes)
{
    const __m256i weights = _mm256_set1_epi32(pair);
    size_t k = 0;
    for (; k + 16 <= bytes; k += 16) {
        const __m256i ra = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(a + k)));
        const __m256i rb = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(b + k)));
        // Bytes 0-3 and 8-11, then 4-7 and 12-15: put back in order.
        const __m256i lo = _mm256_madd_epi16(_mm256_unpacklo_epi16(ra, rb), weights);
        const __m256i hi = _mm256_madd_epi16(_mm256_unpackhi_epi16(ra, rb), weights);
        auto *to = reinterpret_cast<__m256i *>(acc + k);
        _mm256_storeu_si256(to, _mm256_add_epi32(_mm256_loadu_si256(to), _mm256_permute2x128_si256(lo, hi, 0x20)));
        _mm256_storeu_si256(to + 1,
                            _mm256_add_epi32(_mm256_loadu_si256(to + 1), _mm256_permute2x128_si256(lo, hi, 0x31)));
    }
    return k;
}

// Initialised before main(), perhaps before the runtime has looked at the
// processor: it is asked to look first.
bool wideVectors = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
#endif

// `across`: for rows, which may take the padded windows too.
Taps makeTaps(int in, int out, bool across)
{
    const double scale = double(in) / out;
    // Shrinking widens the kernel so every source pixel counts.
    const double stretch = std::max(1.0, scale);
    const double support = Support * stretch;
    Taps t;
    t.width = int(std::ceil(support)) * 2 + 1;
    t.first.resize(size_t(out));
    t.count.resize(size_t(out));
    t.weights.assign(size_t(out) * size_t(t.width), 0);
    std::vector<double> w(size_t(t.width));
    for (int o = 0; o < out; ++o) {
        const double centre = (o + 0.5) * scale;
        // Sources outside the picture are left out and the rest renormalised.
        const int lo = std::max(0, int(std::floor(centre - support + 0.5)));
        const int hi = std::min(in, int(std::floor(centre + support + 0.5)));
        int n = std::min(hi - lo, t.width);
        double sum = 0;
        for (int i = 0; i < n; ++i) {
            w[size_t(i)] = lanczos3((lo + i + 0.5 - centre) / stretch);
            sum += w[size_t(i)];
        }
        int16_t *dst = &t.weights[size_t(o) * size_t(t.width)];
        int total = 0, largest = 0;
        for (int i = 0; i < n; ++i) {
            dst[i] = int16_t(std::lround(w[size_t(i)] / sum * One));
            total += dst[i];
            if (std::abs(dst[i]) > std::abs(dst[largest]))
                largest = i;
        }
        // Rounding must not change the sum: a flat area stays exactly flat.
        dst[largest] = int16_t(dst[largest] + One - total);
        t.first[size_t(o)] = lo;
        t.count[size_t(o)] = n;
    }
#ifdef __SSE2__
    t.pairWidth = t.width / 2 + 1;
    t.pairs.assign(size_t(out) * size_t(t.pairWidth) * 4, 0);
    for (int o = 0; o < out; ++o) {
        const int16_t *w = &t.weights[size_t(o) * size_t(t.width)];
        int32_t *dst = &t.pairs[size_t(o) * size_t(t.pairWidth) * 4];
        for (int i = 0; i < t.count[size_t(o)]; i += 2) {
            const uint16_t second = i + 1 < t.count[size_t(o)] ? uint16_t(w[i + 1]) : 0;
            const int32_t pair = int32_t(uint32_t(uint16_t(w[i])) | uint32_t(second) << 16);
            std::fill(dst + 2 * i, dst + 2 * i + 4, pair);
        }
    }
#endif
#ifdef TUMBILDER_AVX2
    const int longest = out > 0 ? *std::max_element(t.count.begin(), t.count.end()) : 0;
    t.padded = (longest + 3) & ~3;
    if (!across || !wideVectors || t.padded == 0 || t.padded > in) {
        t.padded = 0;
        return t;
    }
    const int pairsEach = t.padded / 2;
    t.paddedFirst.resize(size_t(out));
    t.paddedPairs.assign(size_t(out) * size_t(pairsEach) * 4, 0);
    std::vector<int16_t> window(size_t(t.padded));
    for (int o = 0; o < out; ++o) {
        const int first = std::min(t.first[size_t(o)], in - t.padded);
        std::fill(window.begin(), window.end(), int16_t(0));
        std::copy_n(&t.weights[size_t(o) * size_t(t.width)], t.count[size_t(o)], &window[size_t(t.first[size_t(o)] - first)]);
        int32_t *dst = &t.paddedPairs[size_t(o) * size_t(pairsEach) * 4];
        for (int k = 0; k < pairsEach; ++k)
            std::fill(dst + 4 * k, dst + 4 * k + 4,
                      int32_t(uint32_t(uint16_t(window[size_t(2 * k)])) | uint32_t(uint16_t(window[size_t(2 * k + 1)])) << 16));
        t.paddedFirst[size_t(o)] = first;
    }
#endif
    return t;
}

inline uchar clampByte(int32_t v)
{
    v >>= WeightBits;
    return uchar(v < 0 ? 0 : v > 255 ? 255 : v);
}

#ifdef TUMBILDER_AVX2
WIDE void horizontalRowWide(const uchar *in, uchar *out, int outW, const Taps &t)
{
    for (int x = 0; x < outW; ++x)
        horizontalPixelPadded(in + size_t(t.paddedFirst[size_t(x)]) * 4, &t.paddedPairs[size_t(x) * size_t(t.padded / 2) * 4],
                              t.padded, out + 4 * x);
}
#endif

// One row resampled horizontally into `out` (4 bytes a pixel).
void horizontalRow(const uchar *in, uchar *out, int outW, const Taps &t)
{
#ifdef TUMBILDER_AVX2
    // (A row narrower than the kernel has no padded windows.)
    if (t.padded > 0)
        return horizontalRowWide(in, out, outW, t);
#endif
    for (int x = 0; x < outW; ++x) {
        const uchar *p = in + size_t(t.first[size_t(x)]) * 4;
        const int n = t.count[size_t(x)];
#ifdef __SSE2__
        horizontalPixel(p, &t.pairs[size_t(x) * size_t(t.pairWidth) * 4], n, out + 4 * x);
#else
        const int16_t *w = &t.weights[size_t(x) * size_t(t.width)];
        int32_t a0 = One / 2, a1 = One / 2, a2 = One / 2, a3 = One / 2;
        for (int i = 0; i < n; ++i, p += 4) {
            a0 += p[0] * w[i];
            a1 += p[1] * w[i];
            a2 += p[2] * w[i];
            a3 += p[3] * w[i];
        }
        out[4 * x] = clampByte(a0);
        out[4 * x + 1] = clampByte(a1);
        out[4 * x + 2] = clampByte(a2);
        out[4 * x + 3] = clampByte(a3);
#endif
    }
}

// Every row of `dst` from the rows `row(r)` gives (4 bytes a pixel, as wide as `dst`).
template<typename Row>
void vertical(const Row &row, QImage &dst, const Taps &t)
{
    const size_t bytes = size_t(dst.width()) * 4;
    std::vector<int32_t> acc(bytes);
    for (int y = 0; y < dst.height(); ++y) {
        std::fill(acc.begin(), acc.end(), One / 2);
        const int16_t *w = &t.weights[size_t(y) * size_t(t.width)];
        const int n = t.count[size_t(y)];
        int i = 0;
#ifdef __SSE2__
        // Two source rows a step, their bytes interleaved as 16-bit pairs so
        // one multiply-add weighs both: the same sums, sixteen bytes at a time.
        for (; i + 1 < n; i += 2) {
            const uchar *a = row(t.first[size_t(y)] + i);
            const uchar *b = row(t.first[size_t(y)] + i + 1);
            const int32_t pair = int32_t(uint32_t(uint16_t(w[i])) | uint32_t(uint16_t(w[i + 1])) << 16);
#ifdef TUMBILDER_AVX2
            size_t k = wideVectors ? addRowPairWide(a, b, pair, acc.data(), bytes)
                                   : addRowPair(a, b, pair, acc.data(), bytes);
#else
            size_t k = addRowPair(a, b, pair, acc.data(), bytes);
#endif
            for (; k < bytes; ++k)
                acc[k] += a[k] * w[i] + b[k] * w[i + 1];
        }
#endif
        for (; i < n; ++i) {
            const uchar *in = row(t.first[size_t(y)] + i);
            const int32_t wi = w[i];
            for (size_t b = 0; b < bytes; ++b)
                acc[b] += in[b] * wi;
        }
        uchar *out = dst.scanLine(y);
        for (size_t b = 0; b < bytes; ++b)
            out[b] = clampByte(acc[b]);
    }
}
}

QImage resampleTo(const QImage &source, QSize size)
{
    if (source.isNull() || size.isEmpty())
        return {};
    const bool alpha = source.hasAlphaChannel();
    const QImage src = source.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (src.size() == size)
        return src;
    // Premultiplied pixels filter channel by channel like opaque ones.
    QImage out(size, src.format());
    if (out.isNull())
        return {};
    if (size.height() == src.height()) {
        const Taps across = makeTaps(src.width(), size.width(), true);
        for (int y = 0; y < src.height(); ++y)
            horizontalRow(src.constScanLine(y), out.scanLine(y), size.width(), across);
    } else if (size.width() == src.width()) {
        vertical([&src](int r) { return src.constScanLine(r); }, out, makeTaps(src.height(), size.height(), false));
    } else {
        // The rows resampled across are made as the vertical kernel reaches
        // them and kept only while it covers them: a few rows in the cache,
        // not a second picture as tall as the source.
        const Taps across = makeTaps(src.width(), size.width(), true);
        const Taps down = makeTaps(src.height(), size.height(), false);
        const size_t rowBytes = size_t(size.width()) * 4;
        const int kept = down.width;
        std::vector<uchar> rows(rowBytes * size_t(kept));
        std::vector<int> held(size_t(kept), -1);
        auto row = [&](int r) {
            uchar *slot = &rows[rowBytes * size_t(r % kept)];
            if (held[size_t(r % kept)] != r) {
                horizontalRow(src.constScanLine(r), slot, size.width(), across);
                held[size_t(r % kept)] = r;
            }
            return static_cast<const uchar *>(slot);
        };
        vertical(row, out, down);
    }
    // The kernel's negative lobes may push a channel past its alpha; clamp so
    // premultiplied data stays valid, and keep RGB32's unused byte opaque.
    const int width = out.width(), height = out.height();
    for (int y = 0; y < height; ++y) {
        auto *p = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (!alpha) {
                p[x] |= 0xff000000u;
                continue;
            }
            const int a = qAlpha(p[x]);
            p[x] = qRgba(qMin(qRed(p[x]), a), qMin(qGreen(p[x]), a), qMin(qBlue(p[x]), a), a);
        }
    }
    return out;
}

bool allowWideVectors(bool allow)
{
#ifdef TUMBILDER_AVX2
    wideVectors = allow && __builtin_cpu_supports("avx2");
    return wideVectors;
#else
    Q_UNUSED(allow);
    return false;
#endif
}
