// Sampling a GwImage at fractional positions: the edge rules for samples outside the
// picture, nearest/bilinear/kernel interpolation, and the filter kernels themselves.
#include <cmath>
#include <cstdint>

#include "image/processing/processing_kit.h"

namespace {

const float kPi = 3.1415927f;

// Coordinates beyond this are far outside any picture; keeping them here keeps the
// conversions to integers defined without changing any answer.
const float kFarAway = 1.0e9f;

const RGBQUAD kWhiteClear = {255, 255, 255, 0};

float Bicubic2Kernel(float x) { return GwImage::KernelGeneralizedCubic(x, -0.5f); }
float Lanczos6Kernel(float x) { return GwImage::KernelLanczosSinc(x, 6.0f); }

inline long TruncateFloor(float v) {
    // Truncated toward zero, one less for negative coordinates.
    long i = static_cast<long>(v);
    if (v < 0) i--;
    return i;
}

inline BYTE ClampByte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<BYTE>(v);
}

double Horner(const double* c, int degree, double x) {
    double r = c[degree];
    for (int i = degree - 1; i >= 0; i--) r = r * x + c[i];
    return r;
}

}  // namespace

void GwProcessingKit::KernelOf(InterpolationMethod method, Kernel& kernel, int& support) {
    support = 2;
    switch (method) {
    case InterpBSpline: kernel = GwImage::KernelBSpline; break;
    case InterpBicubic: kernel = GwImage::KernelCubic; break;
    case InterpBicubic2: kernel = Bicubic2Kernel; break;
    case InterpLanczos: kernel = Lanczos6Kernel; support = 6; break;
    case InterpBox: kernel = GwImage::KernelBox; break;
    case InterpHermite: kernel = GwImage::KernelHermite; break;
    case InterpHamming: kernel = GwImage::KernelHamming; break;
    case InterpSinc: kernel = GwImage::KernelSinc; break;
    case InterpBlackman: kernel = GwImage::KernelBlackman; break;
    case InterpBessel: kernel = GwImage::KernelBessel; break;
    case InterpGaussian: kernel = GwImage::KernelGaussian; break;
    case InterpQuadratic: kernel = GwImage::KernelQuadratic; break;
    case InterpMitchell: kernel = GwImage::KernelMitchell; break;
    case InterpCatrom: kernel = GwImage::KernelCatrom; break;
    default: kernel = nullptr; support = 1; break;  // bilinear, also for unknown methods
    }
}

// ---- edge rules --------------------------------------------------------------------------

void GwImage::OverflowCoordinates(long& x, long& y, OverflowMethod method) const {
    if (!dib) return;
    const int64_t w = GetWidth(), h = GetHeight();
    auto fold = [method](long& v, int64_t size) {
        if (v >= 0 && v < size) return;
        const int64_t value = v;
        switch (method) {
        case OverflowWrap: {
            int64_t r = value % size;
            if (r < 0) r += size;
            v = static_cast<long>(r);
            break;
        }
        case OverflowClamp:
            v = static_cast<long>(value < 0 ? 0 : size - 1);
            break;
        case OverflowMirror:
            if (value < 0) {
                // -(value + 1) + 1 avoids negating the most negative value.
                const uint64_t magnitude = static_cast<uint64_t>(-(value + 1)) + 1;
                v = static_cast<long>(magnitude % static_cast<uint64_t>(size));
            } else {
                v = static_cast<long>(size - (value % size) - 1);
            }
            break;
        default:
            break;
        }
    };
    fold(x, w);
    fold(y, h);
}

void GwImage::OverflowCoordinates(float& x, float& y, OverflowMethod method) const {
    if (!dib) return;
    const float w = static_cast<float>(GetWidth()), h = static_cast<float>(GetHeight());
    auto fold = [method](float& v, float size) {
        if (!std::isfinite(v) || (v >= 0 && v < size)) return;
        switch (method) {
        case OverflowWrap:
            v = std::fmod(v, size);
            if (v < 0) v += size;
            break;
        case OverflowClamp:
            v = v < 0 ? 0.0f : size - 1;
            break;
        case OverflowMirror:
            if (v < 0)
                v = std::fmod(-v, size);
            else
                v = size - (std::fmod(v, size) + 1);
            break;
        default:
            break;
        }
    };
    fold(x, w);
    fold(y, h);
}

RGBQUAD GwImage::GetPixelColorWithOverflow(long x, long y, OverflowMethod method,
                                           RGBQUAD* const replacement) const {
    if (dib && IsInside(x, y)) return BlindGetPixelColor(x, y);
    RGBQUAD color = replacement ? *replacement : kWhiteClear;
    if (!dib) return color;
    switch (method) {
    case OverflowBackground:
        if (info.transIndex != -1) {
            if (!header.biClrUsed) return info.transColor;
            if (info.transIndex >= 0 && info.transIndex < 256)
                return GetPaletteColor(static_cast<BYTE>(info.transIndex));
            return RGBQUAD{0, 0, 0, 0};
        }
        return color;
    case OverflowTransparent:
        if (alpha) {
            color.rgbReserved = 0;
            return color;
        }
        if (info.transIndex >= 0) return GetTransColor();
        return color;
    case OverflowWrap:
    case OverflowClamp:
    case OverflowMirror:
        OverflowCoordinates(x, y, method);
        return BlindGetPixelColor(x, y);
    default:
        return color;
    }
}

// ---- interpolation ---------------------------------------------------------------------

RGBQUAD GwImage::GetPixelColorInterpolated(float x, float y, InterpolationMethod method,
                                           OverflowMethod overflow, RGBQUAD* const replacement) const {
    if (!dib) return GetPixelColorWithOverflow(-999, -999, overflow, replacement);

    const bool folds = overflow == OverflowWrap || overflow == OverflowClamp || overflow == OverflowMirror;
    if (!std::isfinite(x) || !std::isfinite(y)) {
        if (!folds) return GetPixelColorWithOverflow(-999, -999, overflow, replacement);
        // Nothing can fold an infinite coordinate back: sample the origin's neighbourhood.
        if (!std::isfinite(x)) x = 0;
        if (!std::isfinite(y)) y = 0;
    }
    if (std::fabs(x) > kFarAway || std::fabs(y) > kFarAway) {
        if (folds)
            OverflowCoordinates(x, y, overflow);
        else {
            x = std::fmax(-kFarAway, std::fmin(kFarAway, x));
            y = std::fmax(-kFarAway, std::fmin(kFarAway, y));
        }
    }

    const long width = static_cast<long>(GetWidth()), height = static_cast<long>(GetHeight());
    long xi = TruncateFloor(x), yi = TruncateFloor(y);

    if (method == InterpNearest)
        return GetPixelColorWithOverflow(static_cast<long>(x + 0.5f), static_cast<long>(y + 0.5f), overflow,
                                         replacement);

    // Kernel geometry: the block spans xi - before .. xi + after.
    GwProcessingKit::Kernel kernel = nullptr;
    int support = 1;
    GwProcessingKit::KernelOf(method, kernel, support);
    const long before = support - 1, after = support;
    const bool bilinear = kernel == nullptr;

    // No pixel of the block can lie on the picture: the edge rule decides.
    if (xi + after < 0 || xi - before >= width || yi + after < 0 || yi - before >= height) {
        if (!folds) return GetPixelColorWithOverflow(-999, -999, overflow, replacement);
        OverflowCoordinates(x, y, overflow);
        xi = TruncateFloor(x);
        yi = TruncateFloor(y);
    }
    const bool blockInside = xi - before >= 0 && xi + after < width && yi - before >= 0 && yi + after < height;

    if (bilinear) return GwProcessingKit::SampleBilinear(*this, x, y, xi, yi, blockInside, overflow, replacement);
    return GwProcessingKit::SampleKernel(*this, kernel, before, after, x, y, xi, yi, blockInside, overflow,
                                         replacement);
}

RGBQUAD GwProcessingKit::SampleBilinear(const GwImage& image, float x, float y, long xi, long yi, bool blockInside,
                                        OverflowMethod overflow, RGBQUAD* const replacement) {
    const float dx = x - static_cast<float>(xi), dy = y - static_cast<float>(yi);
    if (!blockInside || image.header.biClrUsed) {
        const float w00 = (1 - dx) * (1 - dy), w10 = dx - dx * dy, w01 = dy - dx * dy, w11 = dx * dy;
        const RGBQUAD c00 = image.GetPixelColorWithOverflow(xi, yi, overflow, replacement);
        const RGBQUAD c10 = image.GetPixelColorWithOverflow(xi + 1, yi, overflow, replacement);
        const RGBQUAD c01 = image.GetPixelColorWithOverflow(xi, yi + 1, overflow, replacement);
        const RGBQUAD c11 = image.GetPixelColorWithOverflow(xi + 1, yi + 1, overflow, replacement);
        RGBQUAD r;
        r.rgbRed = static_cast<BYTE>(w00 * c00.rgbRed + w10 * c10.rgbRed + w01 * c01.rgbRed + w11 * c11.rgbRed);
        r.rgbGreen = static_cast<BYTE>(w00 * c00.rgbGreen + w10 * c10.rgbGreen + w01 * c01.rgbGreen +
                                       w11 * c11.rgbGreen);
        r.rgbBlue =
            static_cast<BYTE>(w00 * c00.rgbBlue + w10 * c10.rgbBlue + w01 * c01.rgbBlue + w11 * c11.rgbBlue);
        r.rgbReserved = image.alpha ? static_cast<BYTE>(w00 * c00.rgbReserved + w10 * c10.rgbReserved +
                                                        w01 * c01.rgbReserved + w11 * c11.rgbReserved)
                                    : 0;
        return r;
    }
    // 8-bit fixed point on a 24-bit block that lies wholly inside.
    const int ax = static_cast<int>(dx * 256), ay = static_cast<int>(dy * 256);
    const int w11 = (ax * ay) >> 8;
    const int w00 = 256 - ax - ay + w11, w10 = ax - w11, w01 = ay - w11;
    const BYTE* p00 = image.BlindGetPixelPointer(xi, yi);
    const BYTE* p10 = p00 + 3;
    const BYTE* p01 = image.BlindGetPixelPointer(xi, yi + 1);
    const BYTE* p11 = p01 + 3;
    RGBQUAD r;
    r.rgbBlue = static_cast<BYTE>((w00 * p00[0] + w10 * p10[0] + w01 * p01[0] + w11 * p11[0]) >> 8);
    r.rgbGreen = static_cast<BYTE>((w00 * p00[1] + w10 * p10[1] + w01 * p01[1] + w11 * p11[1]) >> 8);
    r.rgbRed = static_cast<BYTE>((w00 * p00[2] + w10 * p10[2] + w01 * p01[2] + w11 * p11[2]) >> 8);
    if (image.alpha) {
        r.rgbReserved = static_cast<BYTE>((w00 * image.BlindAlphaGet(xi, yi) + w10 * image.BlindAlphaGet(xi + 1, yi) +
                                           w01 * image.BlindAlphaGet(xi, yi + 1) +
                                           w11 * image.BlindAlphaGet(xi + 1, yi + 1)) >>
                                          8);
    } else {
        r.rgbReserved = 0;
    }
    return r;
}

// Separable weights over the block, not normalised.
RGBQUAD GwProcessingKit::SampleKernel(const GwImage& image, Kernel kernel, long before, long after, float x, float y,
                                      long xi, long yi, bool blockInside, OverflowMethod overflow,
                                      RGBQUAD* const replacement) {
    auto weightOf = [kernel](float d) -> float { return kernel(d); };
    float sr = 0, sg = 0, sb = 0, sa = 0;
    const bool perSample = !blockInside || image.header.biClrUsed;
    for (long row = yi - before; row <= yi + after; row++) {
        const float wy = weightOf(static_cast<float>(row) - y);
        for (long col = xi - before; col <= xi + after; col++) {
            const float w = wy * weightOf(static_cast<float>(col) - x);
            if (perSample) {
                const RGBQUAD c = image.GetPixelColorWithOverflow(col, row, overflow, replacement);
                sr += w * c.rgbRed;
                sg += w * c.rgbGreen;
                sb += w * c.rgbBlue;
                sa += w * c.rgbReserved;
            } else {
                const BYTE* p = image.BlindGetPixelPointer(col, row);
                sb += w * p[0];
                sg += w * p[1];
                sr += w * p[2];
                if (image.alpha) sa += w * image.BlindAlphaGet(col, row);
            }
        }
    }
    RGBQUAD r;
    r.rgbRed = ClampByte(sr);
    r.rgbGreen = ClampByte(sg);
    r.rgbBlue = ClampByte(sb);
    r.rgbReserved = image.alpha ? ClampByte(sa) : 0;
    return r;
}

// ---- kernels -------------------------------------------------------------------------------

float GwImage::KernelBSpline(const float x) {
    if (x > 2.0f) return 0.0f;
    auto p = [](float t) { return t > 0.0f ? t * t * t : 0.0f; };
    return (p(x + 2) - 4 * p(x + 1) + 6 * p(x) - 4 * p(x - 1)) / 6.0f;
}

float GwImage::KernelLinear(const float x) {
    if (x >= -1.0f && x < 0.0f) return 1.0f + x;
    if (x >= 0.0f && x < 1.0f) return 1.0f - x;
    return 0.0f;
}

float GwImage::KernelCubic(const float x) {
    const float a = std::fabs(x);
    if (a < 1.0f) return 1 - 2 * a * a + a * a * a;
    if (a < 2.0f) return 4 - 8 * a + 5 * a * a - a * a * a;
    return 0.0f;
}

float GwImage::KernelGeneralizedCubic(const float x, const float p) {
    const float a = std::fabs(x);
    if (a < 1.0f) return (p + 2) * a * a * a - (p + 3) * a * a + 1;
    if (a < 2.0f) return p * a * a * a - 5 * p * a * a + 8 * p * a - 4 * p;
    return 0.0f;
}

float GwImage::KernelLanczosSinc(const float x, const float radius) {
    if (std::fabs(x) > radius) return 0.0f;
    if (x == 0.0f) return 1.0f;
    auto sinc = [](float t) { return std::sin(kPi * t) / (kPi * t); };
    return sinc(x / radius) * sinc(x);
}

float GwImage::KernelBox(const float x) { return (x >= -0.5f && x < 0.5f) ? 1.0f : 0.0f; }

float GwImage::KernelHermite(const float x) {
    if (x < -1.0f || x >= 1.0f) return 0.0f;
    const float a = std::fabs(x);
    return 2 * a * a * a - 3 * a * a + 1;
}

float GwImage::KernelHamming(const float x) {
    if (x < -1.0f || x >= 1.0f) return 0.0f;
    const float a = std::fabs(x);
    return 0.92f * (2 * a * a * a - 3 * a * a) + 1;
}

float GwImage::KernelSinc(const float x) {
    if (x == 0.0f) return 1.0f;
    return std::sin(kPi * x) / (kPi * x);
}

float GwImage::KernelBlackman(const float x) {
    return 0.42f + 0.5f * std::cos(kPi * x) + 0.08f * std::cos(2 * kPi * x);
}

float GwImage::KernelBessel_J1(const float x) {
    static const double p[9] = {5.8119935400160612e20, -6.6721065689249161e19, 2.3164335806340024e18,
                                -3.5888175699101060e16, 2.9087952638347756e14, -1.3229834803321265e12,
                                3.4132341823017006e9,   -4.6957535306429956e6,  2701.1227108923235};
    static const double q[9] = {1.1623987080032122e21, 1.185770712190321e19, 6.0920613989175216e16,
                                2.0816612213076075e14, 5.2437102621676495e11, 1.013863514358674e9,
                                1.5017935949985855e6,  1606.9315734814877,    1.0};
    const double x2 = static_cast<double>(x) * x;
    return static_cast<float>(Horner(p, 8, x2) / Horner(q, 8, x2));
}

float GwImage::KernelBessel_P1(const float x) {
    static const double p[6] = {35224.664913367982, 62758.845247161284, 31353.963110915956,
                                4985.4832060594335, 211.15291828539623, 1.2571716929145342};
    static const double q[6] = {35224.664913367982, 62694.346959356051, 31240.406381904104,
                                4930.3964901810887, 203.07751891347593, 1.0};
    const double t = 8.0 / x;
    const double z = t * t;
    return static_cast<float>(Horner(p, 5, z) / Horner(q, 5, z));
}

float GwImage::KernelBessel_Q1(const float x) {
    static const double p[6] = {351.17519143035526, 721.03918049044751, 425.98730116544425,
                                83.189895767385082, 4.5681716295512267, 0.035328400527401237};
    static const double q[6] = {7491.7374171809124, 15414.177339265098, 9152.231701516992,
                                1811.1867005523513, 103.81875854621337, 1.0};
    const double t = 8.0 / x;
    const double z = t * t;
    return static_cast<float>(Horner(p, 5, z) / Horner(q, 5, z));
}

float GwImage::KernelBessel_Order1(float x) {
    if (x == 0.0f) return 0.0f;
    const float p = std::fabs(x);
    if (p < 8.0f) return x * KernelBessel_J1(p);
    const double s = std::sin(static_cast<double>(p)), c = std::cos(static_cast<double>(p));
    const double root2 = std::sqrt(2.0);
    double q = std::sqrt(2.0 / (kPi * static_cast<double>(p))) *
               (KernelBessel_P1(p) * (s - c) / root2 + (8.0 / p) * KernelBessel_Q1(p) * (s + c) / root2);
    if (x < 0.0f) q = -q;
    return static_cast<float>(q);
}

float GwImage::KernelBessel(const float x) {
    if (x == 0.0f) return 0.7853982f;
    return KernelBessel_Order1(kPi * x) / (2.0f * x);
}

float GwImage::KernelGaussian(const float x) { return std::exp(-2.0f * x * x) * 0.7978846f; }

float GwImage::KernelQuadratic(const float x) {
    if (x < -1.5f) return 0.0f;
    if (x < -0.5f) return 0.5f * (x + 1.5f) * (x + 1.5f);
    if (x < 0.5f) return 0.75f - x * x;
    if (x < 1.5f) return 0.5f * (x - 1.5f) * (x - 1.5f);
    return 0.0f;
}

float GwImage::KernelMitchell(const float x) {
    const float a = std::fabs(x);
    if (a < 1.0f) return 1.1666666f * a * a * a - 2.0f * a * a + 0.8888889f;
    if (a < 2.0f) return -0.3888889f * a * a * a + 2.0f * a * a - 3.3333333f * a + 1.7777778f;
    return 0.0f;
}

float GwImage::KernelCatrom(const float x) {
    const float a = std::fabs(x);
    if (a < 1.0f) return (3 * a * a * a - 5 * a * a + 2) / 2;
    if (a < 2.0f) return (-a * a * a + 5 * a * a - 8 * a + 4) / 2;
    return 0.0f;
}
