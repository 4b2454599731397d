// Changing a picture's size: nearest-pixel copies that keep palettes, and a separable
// fixed-point filter (one pass along the rows, one along the columns) for bilinear, area
// average and every interpolation kernel, widened by the scale when shrinking.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "image/processing/processing_kit.h"

namespace {

// Weights are fixed point with kOne = 1: 14 bits keep every sum of 255-valued samples,
// negative lobes included, far inside 32 bits.
const int kShift = 14;
const int32_t kOne = 1 << kShift;

typedef GwProcessingKit::Kernel Kernel;

// Which source pixels, with which weights, make each result pixel along one axis.
struct Taps {
    std::vector<int32_t> first;   // per result pixel: its first entry in index and weight
    std::vector<int32_t> index;   // source pixel; the source size stands for the overflow colour
    std::vector<int32_t> weight;  // fixed point; each result pixel's weights sum to kOne
    bool outside = false;         // some entry names the overflow colour
};

// Where a position beyond the edges takes its pixel from; -1 for the overflow colour.
int64_t Fold(int64_t i, int64_t n, OverflowMethod overflow) {
    switch (overflow) {
    case OverflowWrap: {
        const int64_t r = i % n;
        return r < 0 ? r + n : r;
    }
    case OverflowClamp: return i < 0 ? 0 : n - 1;
    case OverflowMirror: return i < 0 ? (-i) % n : n - (i % n) - 1;
    default: return -1;
    }
}

enum class TapKind { Filter, Area };

// Pixel i of an axis covers [i, i + 1); result pixel o covers [o, o + 1) * scale.
void BuildTaps(int64_t srcN, int64_t dstN, TapKind kind, Kernel kernel, double support, bool widen,
               OverflowMethod overflow, Taps& t) {
    const double scale = static_cast<double>(srcN) / static_cast<double>(dstN);
    const double filterScale = widen ? std::max(scale, 1.0) : 1.0;
    std::vector<int64_t> at;
    std::vector<double> w;
    t.first.resize(static_cast<size_t>(dstN) + 1);
    for (int64_t o = 0; o < dstN; o++) {
        at.clear();
        w.clear();
        if (kind == TapKind::Area) {
            const double lo = o * scale, hi = (o + 1) * scale;
            for (int64_t i = static_cast<int64_t>(std::floor(lo)); i < hi; i++) {
                const double part = std::min(hi, i + 1.0) - std::max(lo, static_cast<double>(i));
                if (part > 0) {
                    at.push_back(i);
                    w.push_back(part);
                }
            }
        } else {
            const double centre = (o + 0.5) * scale, radius = support * filterScale;
            const int64_t from = static_cast<int64_t>(std::floor(centre - radius - 0.5));
            const int64_t to = static_cast<int64_t>(std::ceil(centre + radius - 0.5));
            for (int64_t i = from; i <= to; i++) {
                const double k = kernel(static_cast<float>((i + 0.5 - centre) / filterScale));
                if (k != 0) {
                    at.push_back(i);
                    w.push_back(k);
                }
            }
        }
        double sum = 0;
        for (double v : w) sum += v;
        if (!(std::fabs(sum) > 1e-6)) {
            // A kernel that cancels out here: the nearest pixel instead.
            at.assign(1, std::min<int64_t>(static_cast<int64_t>((o + 0.5) * scale), srcN - 1));
            w.assign(1, 1.0);
            sum = 1;
        }
        t.first[static_cast<size_t>(o)] = static_cast<int32_t>(t.index.size());
        int32_t total = 0;
        size_t largest = t.weight.size();
        for (size_t k = 0; k < at.size(); k++) {
            int64_t i = at[k];
            if (i < 0 || i >= srcN) {
                i = Fold(i, srcN, overflow);
                if (i < 0) {
                    i = srcN;
                    t.outside = true;
                }
            }
            const int32_t fixed = static_cast<int32_t>(std::lround(w[k] / sum * kOne));
            if (t.weight.size() == largest || std::abs(fixed) > std::abs(t.weight[largest])) largest = t.weight.size();
            t.index.push_back(static_cast<int32_t>(i));
            t.weight.push_back(fixed);
            total += fixed;
        }
        // Rounding goes to the heaviest tap, so a flat area stays exactly flat.
        t.weight[largest] += kOne - total;
    }
    t.first[static_cast<size_t>(dstN)] = static_cast<int32_t>(t.index.size());
}

inline BYTE Settle(int32_t acc) {
    if (acc <= 0) return 0;
    acc = (acc + kOne / 2) >> kShift;
    return static_cast<BYTE>(acc > 255 ? 255 : acc);
}

// One row of `channels`-byte pixels through the taps; `src` has one extra pixel at the end
// holding the overflow colour when the taps name it.
void FilterRow(const BYTE* src, BYTE* dst, const Taps& t, size_t count, int channels) {
    for (size_t o = 0; o < count; o++) {
        const int32_t first = t.first[o], last = t.first[o + 1];
        if (channels == 3) {
            int32_t b = 0, g = 0, r = 0;
            for (int32_t k = first; k < last; k++) {
                const BYTE* p = src + 3 * static_cast<size_t>(t.index[k]);
                const int32_t w = t.weight[k];
                b += w * p[0];
                g += w * p[1];
                r += w * p[2];
            }
            dst[3 * o] = Settle(b);
            dst[3 * o + 1] = Settle(g);
            dst[3 * o + 2] = Settle(r);
        } else {
            int32_t a = 0;
            for (int32_t k = first; k < last; k++) a += t.weight[k] * src[t.index[k]];
            dst[o] = Settle(a);
        }
    }
}

// Each of `in`'s rows (inWidth pixels) through the taps into the matching row of `out`.
void RowsPass(const std::vector<const BYTE*>& in, const std::vector<BYTE*>& out, const Taps& t, size_t inWidth,
              size_t outWidth, int channels, const BYTE* farPixel) {
    std::vector<BYTE> padded(t.outside ? (inWidth + 1) * channels : 0);
    for (size_t y = 0; y < out.size(); y++) {
        const BYTE* row = in[y];
        if (t.outside) {
            std::copy(row, row + inWidth * channels, padded.begin());
            std::copy(farPixel, farPixel + channels, padded.begin() + static_cast<std::ptrdiff_t>(inWidth * channels));
            row = padded.data();
        }
        FilterRow(row, out[y], t, outWidth, channels);
    }
}

// Result row o mixes whole rows of `stride` bytes of `in`, whose last entry is the row of
// overflow colour.
void ColumnsPass(const std::vector<const BYTE*>& in, const std::vector<BYTE*>& out, const Taps& t, size_t stride) {
    std::vector<int32_t> acc(stride);
    for (size_t o = 0; o < out.size(); o++) {
        std::fill(acc.begin(), acc.end(), 0);
        for (int32_t k = t.first[o]; k < t.first[o + 1]; k++) {
            const BYTE* row = in[static_cast<size_t>(t.index[k])];
            const int32_t w = t.weight[k];
            for (size_t j = 0; j < stride; j++) acc[j] += w * row[j];
        }
        BYTE* dst = out[o];
        for (size_t j = 0; j < stride; j++) dst[j] = Settle(acc[j]);
    }
}

// One plane (the colour rows or the alpha plane) through both passes, in the order that
// keeps the intermediate picture smaller. Rows are given by pointers, plus the overflow
// colour as one pixel of `channels` bytes.
void FilterPlane(const std::vector<const BYTE*>& srcRows, size_t srcW, const std::vector<BYTE*>& dstRows, size_t dstW,
                 const Taps& across, const Taps& down, int channels, const BYTE* farPixel) {
    const size_t srcH = srcRows.size(), dstH = dstRows.size();
    const bool rowsFirst = static_cast<uint64_t>(dstW) * srcH <= static_cast<uint64_t>(srcW) * dstH;
    const size_t midW = rowsFirst ? dstW : srcW, midH = rowsFirst ? srcH : dstH;
    std::vector<BYTE> mid(midW * midH * channels);
    std::vector<const BYTE*> midIn(midH + 1);
    std::vector<BYTE*> midOut(midH);
    for (size_t y = 0; y < midH; y++) midIn[y] = midOut[y] = mid.data() + y * midW * channels;
    // The row of overflow colour that the column pass may name, as wide as its input.
    std::vector<BYTE> farRow(midW * channels);
    for (size_t x = 0; x < midW; x++)
        std::copy(farPixel, farPixel + channels, farRow.begin() + static_cast<std::ptrdiff_t>(x * channels));
    if (rowsFirst) {
        RowsPass(srcRows, midOut, across, srcW, dstW, channels, farPixel);
        midIn[midH] = farRow.data();
        ColumnsPass(midIn, dstRows, down, dstW * channels);
    } else {
        std::vector<const BYTE*> in(srcRows);
        in.push_back(farRow.data());
        ColumnsPass(in, midOut, down, srcW * channels);
        midIn.pop_back();
        RowsPass(midIn, dstRows, across, srcW, dstW, channels, farPixel);
    }
}

// The filter engine on a 24-bit picture (alpha plane included).
bool FilterPicture(GwImage& src, GwImage& report, GwImage& out, const char* op, long width, long height, TapKind kind, Kernel kernel,
                   double support, bool widen, OverflowMethod overflow) {
    const size_t srcW = src.GetWidth(), srcH = src.GetHeight();
    const size_t dstW = static_cast<size_t>(width), dstH = static_cast<size_t>(height);
    // The larger plane's intermediate picture, which FilterPlane holds while it works.
    const uint64_t across = static_cast<uint64_t>(dstW) * srcH, down = static_cast<uint64_t>(srcW) * dstH;
    const uint64_t mid = 3 * (across <= down ? across : down);
    if (!GwProcessingKit::MakeLike(src, out, width, height, 24, report, op, mid)) return false;
    out.SelectionDelete();
    try {
        Taps across, down;
        BuildTaps(static_cast<int64_t>(srcW), width, kind, kernel, support, widen, overflow, across);
        BuildTaps(static_cast<int64_t>(srcH), height, kind, kernel, support, widen, overflow, down);
        const RGBQUAD far = src.GetPixelColorWithOverflow(-1, -1, overflow, nullptr);
        const BYTE farPixel[3] = {far.rgbBlue, far.rgbGreen, far.rgbRed};

        std::vector<const BYTE*> srcRows(srcH);
        std::vector<BYTE*> dstRows(dstH);
        for (size_t y = 0; y < srcH; y++) srcRows[y] = src.GetBits(static_cast<DWORD>(y));
        for (size_t y = 0; y < dstH; y++) dstRows[y] = out.GetBits(static_cast<DWORD>(y));
        FilterPlane(srcRows, srcW, dstRows, dstW, across, down, 3, farPixel);
        if (src.AlphaIsValid()) {
            for (size_t y = 0; y < srcH; y++) srcRows[y] = src.AlphaGetPointer(0, static_cast<long>(y));
            for (size_t y = 0; y < dstH; y++) dstRows[y] = out.AlphaGetPointer(0, static_cast<long>(y));
            FilterPlane(srcRows, srcW, dstRows, dstW, across, down, 1, &far.rgbReserved);
        }
    } catch (const std::bad_alloc&) {
        return GwProcessingKit::Fail(report, op, "can't allocate memory");
    }
    return true;
}

bool RunFilter(GwImage& image, GwImage* dest, const char* op, long width, long height, TapKind kind, Kernel kernel,
               double support, bool widen, OverflowMethod overflow) {
    if (!GwProcessingKit::CheckResult(image, op, width, height)) return false;
    GwImage out;
    if (image.IsIndexed()) {
        // Palette pictures are filtered in 24 bits; only the result's target changes. Making
        // the 24-bit copy holds the picture, a copy of it and the 24-bit one at once.
        const uint64_t wideBytes = ((static_cast<uint64_t>(image.GetWidth()) * 24 + 31) / 32) * 4 * image.GetHeight();
        if (!GwProcessingKit::CheckMemory(image, op, 2 * GwProcessingKit::HeldBytes(image) + wideBytes)) return false;
        GwImage wide(image, true, false, true);
        if (!wide.IsValid() || !wide.IncreaseBpp(24)) return GwProcessingKit::Fail(image, op, "can't allocate memory");
        if (!FilterPicture(wide, image, out, op, width, height, kind, kernel, support, widen, overflow)) return false;
    } else if (!FilterPicture(image, image, out, op, width, height, kind, kernel, support, widen, overflow)) {
        return false;
    }
    return GwProcessingKit::Deliver(image, dest, out);
}

}  // namespace

namespace {

// Every source pixel taken as it is: palettes, indices and alpha are kept.
bool NearestResample(GwImage& image, GwImage* dest, const char* op, long width, long height) {
    if (!GwProcessingKit::CheckResult(image, op, width, height)) return false;
    GwImage out;
    if (!GwProcessingKit::MakeLike(image, out, width, height, image.GetBpp(), image, op)) return false;
    const int64_t srcW = image.GetWidth(), srcH = image.GetHeight();
    std::vector<long> xs(static_cast<size_t>(width)), ys(static_cast<size_t>(height));
    for (long u = 0; u < width; u++)
        xs[static_cast<size_t>(u)] = static_cast<long>(std::min<int64_t>((2 * u + 1) * srcW / (2 * width), srcW - 1));
    for (long v = 0; v < height; v++)
        ys[static_cast<size_t>(v)] = static_cast<long>(std::min<int64_t>((2 * v + 1) * srcH / (2 * height), srcH - 1));
    GwProcessingKit::MovePixels(
        image, out,
        [&xs, &ys](long x, long y, long& sx, long& sy) {
            sx = xs[static_cast<size_t>(x)];
            sy = ys[static_cast<size_t>(y)];
            return true;
        },
        0, GwProcessingKit::kWhiteClear, 0);
    out.SelectionDelete();
    return GwProcessingKit::Deliver(image, dest, out);
}

}  // namespace

bool GwImage::Resample(long newWidth, long newHeight, ResampleMode mode, GwImage* dest) {
    const char* op = "GwImage::Resample";
    switch (mode) {
    case ResampleNearest: return NearestResample(*this, dest, op, newWidth, newHeight);
    case ResampleBox:
        return RunFilter(*this, dest, op, newWidth, newHeight, TapKind::Area, nullptr, 0, false,
                                       OverflowClamp);
    default:
        return RunFilter(*this, dest, op, newWidth, newHeight, TapKind::Filter, KernelLinear, 1.0, false,
                                       OverflowClamp);
    }
}

bool GwImage::Resample2(long newWidth, long newHeight, InterpolationMethod method, OverflowMethod overflow,
                        GwImage* dest) {
    const char* op = "GwImage::Resample2";
    if (method == InterpNearest) return NearestResample(*this, dest, op, newWidth, newHeight);
    Kernel kernel = nullptr;
    int support = 1;
    GwProcessingKit::KernelOf(method, kernel, support);
    if (!kernel) kernel = KernelLinear;
    return RunFilter(*this, dest, op, newWidth, newHeight, TapKind::Filter, kernel, support, true,
                                   overflow);
}
