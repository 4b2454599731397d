// Sampling at fractional positions: edge rules, nearest and bilinear examples, kernel
// interpolation on known pictures, and the kernels at known points and by their invariants.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "image/gw_image.h"
#include "tests/image/image_probe.h"

namespace {

// A 24-bit picture whose every pixel is different: (x * 20, y * 20, x + y).
GwImage Gradient(DWORD w, DWORD h) {
    GwImage image(w, h, 24);
    for (long y = 0; y < static_cast<long>(h); y++)
        for (long x = 0; x < static_cast<long>(w); x++)
            image.SetPixelColor(x, y, Quad(static_cast<BYTE>(x * 20), static_cast<BYTE>(y * 20), static_cast<BYTE>(x + y)),
                                false);
    return image;
}

TEST(Overflow, CoordinatesFoldBackInside) {
    GwImage image(10, 4, 8);
    long x = -1, y = 2;
    image.OverflowCoordinates(x, y, OverflowWrap);
    EXPECT_EQ(x, 9);
    x = -21;
    image.OverflowCoordinates(x, y, OverflowWrap);
    EXPECT_EQ(x, 9);
    x = -1;
    image.OverflowCoordinates(x, y, OverflowMirror);
    EXPECT_EQ(x, 1);
    x = 10;
    image.OverflowCoordinates(x, y, OverflowMirror);
    EXPECT_EQ(x, 9);
    x = -1;
    y = 7;
    image.OverflowCoordinates(x, y, OverflowClamp);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 3);
    x = -5;
    y = 9;
    image.OverflowCoordinates(x, y, OverflowColor);  // not a folding rule: unchanged
    EXPECT_EQ(x, -5);
    EXPECT_EQ(y, 9);
    x = std::numeric_limits<long>::min();
    y = std::numeric_limits<long>::max();
    image.OverflowCoordinates(x, y, OverflowMirror);
    EXPECT_TRUE(image.IsInside(x, y));

    float fx = -1.5f, fy = 4.5f;
    image.OverflowCoordinates(fx, fy, OverflowWrap);
    EXPECT_FLOAT_EQ(fx, 8.5f);
    EXPECT_FLOAT_EQ(fy, 0.5f);
    fx = 10.25f;
    fy = -0.5f;
    image.OverflowCoordinates(fx, fy, OverflowMirror);
    EXPECT_FLOAT_EQ(fx, 10 - (0.25f + 1));
    EXPECT_FLOAT_EQ(fy, 0.5f);
}

TEST(Overflow, SamplesOutsideThePicture) {
    GwImage rgb = Gradient(4, 3);
    RGBQUAD red = Quad(255, 0, 0, 9);
    const RGBQUAD white = rgb.GetPixelColorWithOverflow(-1, 0, OverflowColor, nullptr);
    EXPECT_TRUE(SameRgb(white, Quad(255, 255, 255)));
    EXPECT_EQ(white.rgbReserved, 0);
    EXPECT_TRUE(SameRgb(rgb.GetPixelColorWithOverflow(-1, 0, static_cast<OverflowMethod>(0), &red), red));
    EXPECT_TRUE(SameRgb(rgb.GetPixelColorWithOverflow(-1, 0, OverflowBackground, &red), red));
    rgb.SetTransIndex(0);
    rgb.SetTransColor(Quad(1, 2, 3));
    EXPECT_TRUE(SameRgb(rgb.GetPixelColorWithOverflow(-1, 0, OverflowBackground, &red), Quad(1, 2, 3)));
    EXPECT_TRUE(SameRgb(rgb.GetPixelColorWithOverflow(-1, 0, OverflowTransparent, &red), Quad(1, 2, 3)));
    rgb.AlphaCreate();
    const RGBQUAD clear = rgb.GetPixelColorWithOverflow(-1, 0, OverflowTransparent, &red);
    EXPECT_TRUE(SameRgb(clear, red));
    EXPECT_EQ(clear.rgbReserved, 0);
    EXPECT_TRUE(SameRgb(rgb.GetPixelColorWithOverflow(5, 1, OverflowWrap, &red), rgb.GetPixelColor(1, 1)));
    EXPECT_TRUE(SameRgb(rgb.GetPixelColorWithOverflow(-2, 9, OverflowClamp, &red), rgb.GetPixelColor(0, 2)));
    EXPECT_TRUE(SameRgb(rgb.GetPixelColorWithOverflow(-2, 3, OverflowMirror, &red), rgb.GetPixelColor(2, 2)));

    GwImage indexed(4, 4, 8);
    indexed.SetStdPalette();
    indexed.SetTransIndex(3);
    EXPECT_TRUE(SameRgb(indexed.GetPixelColorInterpolated(-10, -10, InterpBilinear, OverflowBackground, nullptr),
                        indexed.GetPaletteColor(3)));
}

TEST(Interpolate, NearestAndBilinearExamples) {
    GwImage image(2, 2, 24);
    image.SetPixelColor(0, 0, RGB(0, 0, 0));
    image.SetPixelColor(0, 1, RGB(0, 0, 0));
    image.SetPixelColor(1, 0, RGB(255, 255, 255));
    image.SetPixelColor(1, 1, RGB(255, 255, 255));
    EXPECT_TRUE(SameRgb(image.GetPixelColorInterpolated(0.5f, 0, InterpBilinear, OverflowClamp), Quad(127, 127, 127)));
    // Any method value outside 1..16 samples bilinearly.
    for (int m : {0, 17, -4}) {
        EXPECT_TRUE(SameRgb(image.GetPixelColorInterpolated(0.5f, 0, static_cast<InterpolationMethod>(m), OverflowClamp),
                            Quad(127, 127, 127)))
            << m;
    }
    // Near the edge the float path weighs the samples the edge rule yields.
    EXPECT_TRUE(SameRgb(image.GetPixelColorInterpolated(1.5f, 0, InterpBilinear, OverflowClamp), Quad(255, 255, 255)));
    RGBQUAD black = Quad(0, 0, 0);
    EXPECT_TRUE(SameRgb(image.GetPixelColorInterpolated(1.5f, 0, InterpBilinear, OverflowColor, &black),
                        Quad(127, 127, 127)));

    EXPECT_TRUE(SameRgb(image.GetPixelColorInterpolated(-0.4f, 0, InterpNearest, OverflowColor), Quad(0, 0, 0)));
    EXPECT_TRUE(SameRgb(image.GetPixelColorInterpolated(-0.6f, 0, InterpNearest, OverflowColor), Quad(0, 0, 0)));
    EXPECT_TRUE(SameRgb(image.GetPixelColorInterpolated(0.6f, 0.2f, InterpNearest, OverflowColor), Quad(255, 255, 255)));

    EXPECT_TRUE(SameRgb(image.GetPixelColorInterpolated(-10, -10, InterpBilinear, OverflowClamp),
                        image.GetPixelColor(0, 0)));
    const RGBQUAD far = image.GetPixelColorInterpolated(-10, -10, InterpBilinear, OverflowColor, nullptr);
    EXPECT_TRUE(SameRgb(far, Quad(255, 255, 255)));
    EXPECT_EQ(far.rgbReserved, 0);

    // Alpha is interpolated with the colour when the image has a plane.
    image.AlphaCreate();
    image.AlphaSet(0, 0, 0);
    EXPECT_EQ(image.GetPixelColorInterpolated(0.5f, 0, InterpBilinear, OverflowClamp).rgbReserved, 127);
}

TEST(Interpolate, IntegerPointsReturnThePixel) {
    GwImage rgb = Gradient(9, 8);
    GwImage indexed(9, 8, 8);
    indexed.SetStdPalette();
    for (long y = 0; y < 8; y++)
        for (long x = 0; x < 9; x++) indexed.SetPixelIndex(x, y, static_cast<BYTE>(x * 9 + y));
    for (const GwImage* image : {&rgb, &indexed}) {
        for (long y = 0; y < 8; y++)
            for (long x = 0; x < 9; x++) {
                const RGBQUAD want = image->GetPixelColor(x, y);
                ASSERT_TRUE(SameRgb(image->GetPixelColorInterpolated(static_cast<float>(x), static_cast<float>(y),
                                                                     InterpBilinear, OverflowClamp),
                                    want))
                    << x << "," << y;
                ASSERT_TRUE(SameRgb(image->GetPixelColorInterpolated(static_cast<float>(x), static_cast<float>(y),
                                                                     InterpNearest, OverflowClamp),
                                    want));
            }
    }
    // Interpolating kernels are 1 at 0 and 0 at the other integers: the pixel comes back
    // (within the float sum's last unit, which truncation may lose).
    for (InterpolationMethod m : {InterpBicubic, InterpBicubic2, InterpCatrom, InterpLanczos, InterpSinc}) {
        for (long y = 0; y < 8; y++)
            for (long x = 0; x < 9; x++) {
                const RGBQUAD got =
                    rgb.GetPixelColorInterpolated(static_cast<float>(x), static_cast<float>(y), m, OverflowMirror);
                const RGBQUAD want = rgb.GetPixelColor(x, y);
                ASSERT_NEAR(got.rgbRed, want.rgbRed, 1) << m << " at " << x << "," << y;
                ASSERT_NEAR(got.rgbGreen, want.rgbGreen, 1);
                ASSERT_NEAR(got.rgbBlue, want.rgbBlue, 1);
            }
    }
}

TEST(Interpolate, PartitionOfUnityKernelsKeepAFlatPicture) {
    GwImage flat(12, 12, 24);
    for (long y = 0; y < 12; y++)
        for (long x = 0; x < 12; x++) flat.SetPixelColor(x, y, RGB(50, 100, 150));
    flat.AlphaCreate();
    flat.AlphaSet(static_cast<BYTE>(200));
    for (InterpolationMethod m : {InterpBSpline, InterpBicubic, InterpBicubic2, InterpBox, InterpHermite,
                                  InterpQuadratic, InterpMitchell, InterpCatrom}) {
        for (float x : {2.25f, 5.5f, 0.3f, 10.8f, -1.7f})
            for (float y : {3.75f, 6.0f, 11.4f}) {
                const RGBQUAD c = flat.GetPixelColorInterpolated(x, y, m, OverflowClamp);
                ASSERT_NEAR(c.rgbRed, 50, 1) << m << " at " << x << "," << y;
                ASSERT_NEAR(c.rgbGreen, 100, 1);
                ASSERT_NEAR(c.rgbBlue, 150, 1);
                ASSERT_NEAR(c.rgbReserved, 200, 1);
            }
    }
    // Without an alpha plane the fourth byte is 0.
    GwImage rgb = Gradient(6, 6);
    EXPECT_EQ(rgb.GetPixelColorInterpolated(2.5f, 2.5f, InterpCatrom, OverflowClamp).rgbReserved, 0);
}

TEST(Interpolate, OvershootIsClampedAndNonFiniteInputIsSafe) {
    // Catmull-Rom overshoots next to a hard edge; the sums are clamped into 0..255.
    GwImage edge(8, 1, 24);
    for (long x = 0; x < 8; x++) edge.SetPixelColor(x, 0, x < 4 ? RGB(0, 0, 0) : RGB(255, 255, 255));
    // At 2.75 the white column 4 weighs Catrom(1.25) < 0: the sum is about -18 → 0; at 4.25
    // the black column 3 weighs the same and the sum is about 273 → 255.
    EXPECT_TRUE(SameRgb(edge.GetPixelColorInterpolated(2.75f, 0, InterpCatrom, OverflowClamp), Quad(0, 0, 0)));
    EXPECT_TRUE(SameRgb(edge.GetPixelColorInterpolated(4.25f, 0, InterpCatrom, OverflowClamp), Quad(255, 255, 255)));
    const float odd[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(), 1e30f, -1e30f, 3e9f};
    for (int m = 0; m <= 17; m++)
        for (int o = 0; o <= 6; o++)
            for (float v : odd) {
                edge.GetPixelColorInterpolated(v, 0.5f, static_cast<InterpolationMethod>(m), static_cast<OverflowMethod>(o));
                edge.GetPixelColorInterpolated(0.5f, v, static_cast<InterpolationMethod>(m), static_cast<OverflowMethod>(o));
            }
    const RGBQUAD wrapped = edge.GetPixelColorInterpolated(8.0e10f, 0, InterpNearest, OverflowWrap);
    EXPECT_TRUE(SameRgb(wrapped, edge.GetPixelColor(0, 0)));  // 8e10 is a multiple of 8
    GwImage empty;
    RGBQUAD green = Quad(0, 255, 0);
    EXPECT_TRUE(SameRgb(empty.GetPixelColorInterpolated(1, 1, InterpCatrom, OverflowClamp, &green), green));
}

TEST(Kernels, KnownValues) {
    EXPECT_FLOAT_EQ(GwImage::KernelCatrom(0), 1.0f);
    EXPECT_FLOAT_EQ(GwImage::KernelCatrom(1), 0.0f);
    EXPECT_FLOAT_EQ(GwImage::KernelMitchell(0), 0.8888889f);
    EXPECT_FLOAT_EQ(GwImage::KernelBox(0.5f), 0.0f);
    EXPECT_FLOAT_EQ(GwImage::KernelBox(-0.5f), 1.0f);
    EXPECT_NEAR(GwImage::KernelBSpline(0), 2.0f / 3.0f, 1e-6);
    EXPECT_FLOAT_EQ(GwImage::KernelBSpline(2.5f), 0.0f);
    // Catmull-Rom is the generalised cubic with -0.5.
    for (float x : {0.25f, 0.5f, 1.25f, 1.5f, -0.75f})
        EXPECT_NEAR(GwImage::KernelGeneralizedCubic(x, -0.5f), GwImage::KernelCatrom(x), 1e-6) << x;
    EXPECT_NEAR(GwImage::KernelHamming(-1.0f), 0.08f, 1e-6);  // lower end of the range included
    EXPECT_FLOAT_EQ(GwImage::KernelHamming(1.0f), 0.0f);
    EXPECT_NEAR(GwImage::KernelSinc(3.0f), 0.0f, 1e-6);
    EXPECT_NEAR(GwImage::KernelBlackman(1), 0.0f, 1e-6);
    EXPECT_FLOAT_EQ(GwImage::KernelLanczosSinc(6.5f, 6), 0.0f);
    EXPECT_NEAR(GwImage::KernelLanczosSinc(2.0f, 6), 0.0f, 1e-6);
}

TEST(Kernels, BesselMatchesTheLibraryBesselFunction) {
    for (double x : {0.25, 1.0, 3.0, 7.9, 8.0, 8.5, 12.0, 25.0, -3.0, -12.0}) {
        const double want = std::cyl_bessel_j(1.0, std::fabs(x)) * (x < 0 ? -1 : 1);
        EXPECT_NEAR(GwImage::KernelBessel_Order1(static_cast<float>(x)), want, 2e-6) << x;
    }
    EXPECT_FLOAT_EQ(GwImage::KernelBessel_Order1(0), 0.0f);
    EXPECT_FLOAT_EQ(GwImage::KernelBessel(0), 0.7853982f);
    // Continuous at 0: J1(πx) / (2x) → π/4.
    EXPECT_NEAR(GwImage::KernelBessel(1e-3f), 0.7853982f, 1e-5);
    EXPECT_NEAR(GwImage::KernelBessel(1.0f), std::cyl_bessel_j(1.0, 3.1415927) / 2, 1e-6);
}

TEST(Kernels, BSplineAndCatromSumToOne) {
    for (float f = 0; f < 1; f += 0.0625f) {
        float bs = 0, cr = 0, mi = 0;
        for (int i = -2; i <= 2; i++) {
            bs += GwImage::KernelBSpline(i - f);
            cr += GwImage::KernelCatrom(i - f);
            mi += GwImage::KernelMitchell(i - f);
        }
        EXPECT_NEAR(bs, 1.0f, 1e-5) << f;
        EXPECT_NEAR(cr, 1.0f, 1e-5) << f;
        EXPECT_NEAR(mi, 1.0f, 1e-5) << f;
    }
}

}  // namespace
