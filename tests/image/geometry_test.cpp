// Geometric transforms, resampling and dithering on known pictures: exact turns, crops and
// borders at every depth with their planes, known averages, flat pictures staying flat
// under every kernel, refusals of bad sizes and angles, and the float rectangle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "image/gw_image.h"
#include "tests/image/image_probe.h"

namespace {

// A w x h picture at `bpp` whose pixels all differ as far as the depth allows, with a
// patterned alpha plane, a transparent index or colour and a two-pixel selection.
GwImage Patterned(DWORD w, DWORD h, DWORD bpp) {
    GwImage image(w, h, bpp);
    if (bpp < 24) image.SetGrayPalette();
    const long colors = bpp == 1 ? 2 : bpp == 4 ? 16 : 256;
    for (long y = 0; y < static_cast<long>(h); y++)
        for (long x = 0; x < static_cast<long>(w); x++) {
            if (bpp == 24)
                image.SetPixelColor(x, y, Quad(static_cast<BYTE>(x * 30), static_cast<BYTE>(y * 40), static_cast<BYTE>(x ^ y)));
            else
                image.SetPixelIndex(x, y, static_cast<BYTE>((x * 7 + y * 3 + x * y) % colors));
        }
    image.AlphaCreate();
    for (long y = 0; y < static_cast<long>(h); y++)
        for (long x = 0; x < static_cast<long>(w); x++) image.AlphaSet(x, y, static_cast<BYTE>(x * 17 + y * 29));
    if (bpp < 24)
        image.SetTransIndex(1);
    else
        image.SetTransColor(Quad(30, 40, 1));
    image.SelectionAddPixel(1, 0);
    image.SelectionAddPixel(2, 3);
    return image;
}

// Fails the test at the first difference in size, depth, palette, transparency, pixels or planes.
void ExpectSamePicture(const GwImage& a, const GwImage& b) {
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    ASSERT_EQ(a.GetBpp(), b.GetBpp());
    if (a.GetBpp() < 24) {
        EXPECT_TRUE(a.IsSamePalette(b));
    }
    EXPECT_EQ(a.GetTransIndex(), b.GetTransIndex());
    EXPECT_TRUE(SameRgb(a.GetTransColor(), b.GetTransColor()));
    ASSERT_EQ(a.AlphaIsValid(), b.AlphaIsValid());
    ASSERT_EQ(a.SelectionIsValid(), b.SelectionIsValid());
    for (long y = 0; y < static_cast<long>(a.GetHeight()); y++)
        for (long x = 0; x < static_cast<long>(a.GetWidth()); x++) {
            ASSERT_TRUE(SameRgb(a.GetPixelColor(x, y), b.GetPixelColor(x, y))) << x << "," << y;
            if (a.GetBpp() < 24) {
                ASSERT_EQ(a.GetPixelIndex(x, y), b.GetPixelIndex(x, y));
            }
            ASSERT_EQ(a.AlphaGet(x, y), b.AlphaGet(x, y)) << x << "," << y;
            ASSERT_EQ(a.SelectionIsInside(x, y), b.SelectionIsInside(x, y)) << x << "," << y;
        }
    RECT ba, bb;
    a.SelectionGetBox(ba);
    b.SelectionGetBox(bb);
    EXPECT_EQ(std::memcmp(&ba, &bb, sizeof ba), 0);
}

TEST(ExactTransforms, TurnsUndoEachOtherAtEveryDepth) {
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(std::to_string(bpp) + " bpp");
        const GwImage original = Patterned(9, 5, bpp);
        const long w = 9, h = 5;

        GwImage left;
        GwImage source(original);
        ASSERT_TRUE(source.RotateLeft(&left));
        ExpectSamePicture(source, original);  // a result sent elsewhere leaves the source alone
        ASSERT_EQ(left.GetWidth(), 5u);
        ASSERT_EQ(left.GetHeight(), 9u);
        // Counter-clockwise: (x, y) lands on (h - 1 - y, x), planes included.
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++) {
                ASSERT_TRUE(SameRgb(left.GetPixelColor(h - 1 - y, x), original.GetPixelColor(x, y)));
                ASSERT_EQ(left.AlphaGet(h - 1 - y, x), original.AlphaGet(x, y));
                ASSERT_EQ(left.SelectionIsInside(h - 1 - y, x), original.SelectionIsInside(x, y));
            }
        GwImage back(left);
        ASSERT_TRUE(back.RotateRight());
        ExpectSamePicture(back, original);

        GwImage half(original);
        ASSERT_TRUE(half.Rotate180());
        EXPECT_TRUE(SameRgb(half.GetPixelColor(0, 0), original.GetPixelColor(w - 1, h - 1)));
        EXPECT_EQ(half.AlphaGet(w - 2, h - 1), original.AlphaGet(1, 0));
        GwImage twice;
        ASSERT_TRUE(half.Rotate180(&twice));
        ExpectSamePicture(twice, original);

        // Rotate by quarter turns is exact too, in either direction and past a full turn.
        GwImage viaRotate(original), viaRight(original);
        ASSERT_TRUE(viaRotate.Rotate(-450.0f));
        ASSERT_TRUE(viaRight.RotateRight());
        ExpectSamePicture(viaRotate, viaRight);
        ASSERT_TRUE(viaRotate.Rotate(90.0f));
        ExpectSamePicture(viaRotate, original);
    }
}

TEST(ExactTransforms, CropAndExpandByKnownPixels) {
    // Index = x + 10 y on a 6 x 4 8-bit picture; pixel (2, 2) selected.
    GwImage image(6, 4, 8);
    image.SetGrayPalette();
    for (long y = 0; y < 4; y++)
        for (long x = 0; x < 6; x++) image.SetPixelIndex(x, y, static_cast<BYTE>(x + 10 * y));
    image.SelectionAddPixel(2, 2);

    GwImage cut;
    ASSERT_TRUE(image.Crop(1, 3, 4, 1, &cut));  // columns 1..3, rows 1..2
    ASSERT_EQ(cut.GetWidth(), 3u);
    ASSERT_EQ(cut.GetHeight(), 2u);
    EXPECT_EQ(cut.GetPixelIndex(0, 0), 11);
    EXPECT_EQ(cut.GetPixelIndex(2, 1), 23);
    EXPECT_TRUE(cut.SelectionIsInside(1, 1));
    RECT box;
    cut.SelectionGetBox(box);
    EXPECT_EQ(box.left, 1);
    EXPECT_EQ(box.right, 2);
    EXPECT_EQ(box.bottom, 1);
    EXPECT_EQ(box.top, 2);

    // Clipped to the picture; nothing left is a failure that keeps the picture.
    ASSERT_TRUE(image.Crop(-5, 100, 2, -3, &cut));
    EXPECT_EQ(cut.GetWidth(), 2u);
    EXPECT_EQ(cut.GetHeight(), 4u);
    EXPECT_EQ(cut.GetPixelIndex(1, 3), 31);
    EXPECT_FALSE(image.Crop(6, 4, 9, 0));
    EXPECT_NE(std::string(image.GetLastError()).find("does not meet"), std::string::npos);
    EXPECT_EQ(image.GetWidth(), 6u);

    GwImage wide;
    ASSERT_TRUE(image.Expand(1, 2, 3, 0, BYTE(7), &wide));
    ASSERT_EQ(wide.GetWidth(), 10u);
    ASSERT_EQ(wide.GetHeight(), 6u);
    EXPECT_EQ(wide.GetPixelIndex(0, 0), 7);
    EXPECT_EQ(wide.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(wide.GetPixelIndex(6, 3), 35);
    EXPECT_EQ(wide.GetPixelIndex(6, 4), 7);
    EXPECT_EQ(wide.GetPixelIndex(9, 5), 7);
    EXPECT_TRUE(wide.SelectionIsInside(3, 2));
    GwImage bits(2, 2, 1);
    EXPECT_FALSE(bits.Expand(1, 0, 0, 0, BYTE(2)));  // a 1-bit palette has entries 0 and 1

    // 24 bits: the border colour, and its fourth byte in the alpha plane.
    GwImage colour(2, 2, 24);
    colour.Clear(0);
    colour.AlphaCreate();
    colour.AlphaSet(255);
    ASSERT_TRUE(colour.Expand(1, 1, 1, 1, Quad(200, 100, 50, 128)));
    EXPECT_TRUE(SameRgb(colour.GetPixelColor(0, 3), Quad(200, 100, 50)));
    EXPECT_EQ(colour.AlphaGet(0, 3), 128);
    EXPECT_EQ(colour.AlphaGet(1, 1), 255);
    EXPECT_FALSE(colour.Expand(1, 1, 1, 1, BYTE(0)));  // no palette to index
}

// Every operation refuses what it cannot do, says why, and leaves the picture as it was.
TEST(TransformEdges, BadSizesAndAnglesAreRefused) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        std::function<bool(GwImage&)> run;
        const char* why;
    };
    const Case cases[] = {
        {"zero width", [](GwImage& i) { return i.Resample(0, 5); }, "greater than zero"},
        {"negative height", [](GwImage& i) { return i.Resample2(5, -3, InterpLanczos); }, "greater than zero"},
        {"zero thumbnail", [](GwImage& i) { return i.Thumbnail(0, 10); }, "greater than zero"},
        {"zero factor", [](GwImage& i) { return i.QIShrink(0, 1); }, "at least 1"},
        {"zero crop width", [](GwImage& i) { return i.CropRotatedRectangle(0, 0, 0, 3, 10.0f); }, "greater than zero"},
        {"NaN angle", [nan](GwImage& i) { return i.Rotate(nan); }, "not a finite number"},
        {"infinite angle", [inf](GwImage& i) { return i.Rotate2(-inf); }, "not a finite number"},
        {"NaN crop angle", [nan](GwImage& i) { return i.CropRotatedRectangle(0, 0, 2, 2, nan); }, "not a finite"},
        {"infinite gain", [inf](GwImage& i) { return i.Skew(inf, 0.0f); }, "not a finite number"},
        {"huge scale", [](GwImage& i) { return i.Resample(1000000, 1000000, ResampleNearest); }, "too large"},
        {"huge sides", [](GwImage& i) { return i.Resample2(0x7FFFFFFF, 2); }, "too large"},
        {"huge border", [](GwImage& i) { return i.Expand(0x7FFFFFFF, 0x7FFFFFFF, 0, 0, Quad(0, 0, 0)); }, "too large"},
        {"negative border", [](GwImage& i) { return i.Expand(-1, 0, 0, 0, Quad(0, 0, 0)); }, "negative"},
        {"unknown dither", [](GwImage& i) { return i.Dither(static_cast<DitherMethod>(9)); }, "unknown method"},
        {"unknown effect", [](GwImage& i) { return i.CircleTransform(static_cast<CircleEffect>(0), 1.0f); }, "unknown effect"},
        {"negative bulge", [](GwImage& i) { return i.CircleTransform(CircleBulge, -1.0f); }, "strength"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GwImage image(4, 3, 24);
        image.Clear(9);
        EXPECT_FALSE(c.run(image));
        EXPECT_NE(std::string(image.GetLastError()).find(c.why), std::string::npos) << image.GetLastError();
        EXPECT_EQ(image.GetWidth(), 4u);
        EXPECT_EQ(image.GetHeight(), 3u);
        EXPECT_EQ(image.GetPixelColor(3, 2).rgbRed, 9);
    }
    GwImage empty;
    EXPECT_FALSE(empty.Rotate(10.0f));
    EXPECT_FALSE(empty.Resample(2, 2));
    EXPECT_NE(std::string(empty.GetLastError()).find("no picture"), std::string::npos);
}

TEST(Resampling, KnownAveragesAndSizes) {
    // 4 x 4 grey picture, value 16 (x + 4 y): block averages are known exactly.
    GwImage image(4, 4, 24);
    for (long y = 0; y < 4; y++)
        for (long x = 0; x < 4; x++) {
            const BYTE v = static_cast<BYTE>(16 * (x + 4 * y));
            image.SetPixelColor(x, y, Quad(v, v, v));
        }
    GwImage box, quick, partial;
    ASSERT_TRUE(image.Resample(2, 2, ResampleBox, &box));
    ASSERT_TRUE(image.QIShrink(2, 2, &quick));
    ASSERT_TRUE(image.QIShrink(3, 3, &partial));
    for (long y = 0; y < 2; y++)
        for (long x = 0; x < 2; x++) {
            const int expected = 16 * (2 * x + 0.5 + 4 * (2 * y + 0.5)) + 0.5;
            EXPECT_EQ(box.GetPixelColor(x, y).rgbRed, expected);
            EXPECT_EQ(quick.GetPixelColor(x, y).rgbRed, expected);
        }
    ASSERT_EQ(partial.GetWidth(), 2u);
    EXPECT_EQ(partial.GetPixelColor(1, 1).rgbRed, 240);     // the lone corner pixel
    EXPECT_EQ(partial.GetPixelColor(1, 0).rgbRed, 16 * 7);  // (3, 0..2): 48, 112, 176
    EXPECT_EQ(image.GetAreaColorInterpolated(GwRect2(0, 0, 4, 4)).rgbRed, 120);
    // Half of pixel (0, 0) and half of (1, 0): 0 and 16.
    EXPECT_EQ(image.GetAreaColorInterpolated(GwRect2(0.5f, 0, 1.5f, 1)).rgbRed, 8);
    // A quarter of the area lies left of the picture, white under the replacement rule.
    EXPECT_EQ(image.GetAreaColorInterpolated(GwRect2(-1, 0, 3, 1), InterpBilinear, OverflowColor).rgbRed,
              (255 + 0 + 16 + 32 + 2) / 4);

    // Fast bilinear maps pixel centres onto pixel centres, as the sampler would be asked.
    GwImage bilinear;
    ASSERT_TRUE(image.Resample(7, 5, ResampleBilinear, &bilinear));
    for (long y = 0; y < 5; y++)
        for (long x = 0; x < 7; x++) {
            const RGBQUAD want = image.GetPixelColorInterpolated((x + 0.5f) * 4 / 7 - 0.5f, (y + 0.5f) * 4 / 5 - 0.5f,
                                                                 InterpBilinear, OverflowClamp);
            EXPECT_NEAR(bilinear.GetPixelColor(x, y).rgbRed, want.rgbRed, 1) << x << "," << y;
        }

    // Nearest keeps a palette and its indices.
    GwImage bits(3, 2, 1);
    bits.SetPaletteColor(1, 10, 20, 30);
    bits.Clear(0);
    bits.SetPixelIndex(2, 1, 1);
    ASSERT_TRUE(bits.Resample(6, 4, ResampleNearest));
    EXPECT_EQ(bits.GetBpp(), 1);
    EXPECT_EQ(bits.GetPixelIndex(5, 3), 1);
    EXPECT_EQ(bits.GetPixelIndex(4, 2), 1);
    EXPECT_EQ(bits.GetPixelIndex(3, 3), 0);

    // Rotate grows the canvas to the turned corners, Rotate2 keeps it.
    GwImage photo(160, 120, 24), grown, kept;
    photo.Clear(50);
    ASSERT_TRUE(photo.Rotate(30.0f, &grown));
    ASSERT_TRUE(photo.Rotate2(30.0f, &kept));
    EXPECT_EQ(grown.GetWidth(), 199u);   // 160 cos 30 + 120 sin 30 = 198.6
    EXPECT_EQ(grown.GetHeight(), 184u);  // 160 sin 30 + 120 cos 30 = 183.9
    EXPECT_EQ(kept.GetWidth(), 160u);
    EXPECT_TRUE(SameRgb(kept.GetPixelColor(80, 60), Quad(50, 50, 50)));
    EXPECT_TRUE(SameRgb(grown.GetPixelColor(0, 0), Quad(255, 255, 255)));  // uncovered: the default fill

    // Thumbnails keep proportions, never enlarge, and centre on a canvas when asked.
    GwImage thumb;
    ASSERT_TRUE(photo.Thumbnail(50, 50, nullptr, &thumb));
    EXPECT_EQ(thumb.GetWidth(), 50u);
    EXPECT_EQ(thumb.GetHeight(), 38u);
    ASSERT_TRUE(photo.Thumbnail(1000000, 1000000, nullptr, &thumb));  // a box beyond the budget is fine
    EXPECT_EQ(thumb.GetWidth(), 160u);
    RGBQUAD red = Quad(255, 0, 0);
    ASSERT_TRUE(photo.Thumbnail(500, 500, &red, &thumb));
    EXPECT_EQ(thumb.GetWidth(), 500u);
    EXPECT_TRUE(SameRgb(thumb.GetPixelColor(0, 0), red));
    EXPECT_TRUE(SameRgb(thumb.GetPixelColor(250, 250), Quad(50, 50, 50)));
}

// Shears, turned crops and lens effects land known source pixels on known places.
TEST(Warps, KnownPixelsLandWhereTheMapSays) {
    GwImage indexed(6, 4, 8);
    indexed.SetGrayPalette();
    for (long y = 0; y < 4; y++)
        for (long x = 0; x < 6; x++) indexed.SetPixelIndex(x, y, static_cast<BYTE>(x + 10 * y));
    // Turned a quarter about (3, 0): the sides run up and left; nearest and exact, palette kept.
    GwImage turned;
    ASSERT_TRUE(indexed.CropRotatedRectangle(3, 0, 2, 3, 90.0f, &turned));
    ASSERT_EQ(turned.GetBpp(), 8);
    EXPECT_EQ(turned.GetPixelIndex(0, 0), 2);
    EXPECT_EQ(turned.GetPixelIndex(1, 0), 12);
    EXPECT_EQ(turned.GetPixelIndex(0, 2), 0);
    ASSERT_TRUE(indexed.CropRotatedRectangle(5, 3, 2, 2, 0.0f, &turned));
    EXPECT_EQ(turned.GetPixelIndex(0, 0), 35);
    EXPECT_TRUE(SameRgb(turned.GetPixelColor(1, 0), Quad(255, 255, 255)));  // beyond the picture

    GwImage colour = Patterned(6, 4, 24), sheared;
    colour.AlphaDelete();
    ASSERT_TRUE(colour.Skew(1.0f, 0.0f, 0, 0, &sheared));
    EXPECT_TRUE(SameRgb(sheared.GetPixelColor(1, 2), colour.GetPixelColor(3, 2)));
    EXPECT_TRUE(SameRgb(sheared.GetPixelColor(5, 0), colour.GetPixelColor(5, 0)));
    EXPECT_TRUE(SameRgb(sheared.GetPixelColor(4, 2), Quad(255, 255, 255)));

    GwImage disc(21, 21, 24);
    for (long y = 0; y < 21; y++)
        for (long x = 0; x < 21; x++) disc.SetPixelColor(x, y, Quad(static_cast<BYTE>(12 * x), static_cast<BYTE>(12 * y), 7));
    for (CircleEffect effect : {CircleSwirl, CirclePinch, CircleBulge}) {
        SCOPED_TRACE(static_cast<int>(effect));
        GwImage same, changed;
        ASSERT_TRUE(disc.CircleTransform(effect, 0.0f, 0, &same));
        ExpectSamePicture(same, disc);  // no strength, no change
        ASSERT_TRUE(disc.CircleTransform(effect, effect == CircleSwirl ? 90.0f : 1.0f, 0, &changed));
        EXPECT_FALSE(SameRgb(changed.GetPixelColor(10, 15), disc.GetPixelColor(10, 15)));
        EXPECT_TRUE(SameRgb(changed.GetPixelColor(10, 10), disc.GetPixelColor(10, 10)));  // the centre stays
        EXPECT_TRUE(SameRgb(changed.GetPixelColor(1, 1), disc.GetPixelColor(1, 1)));      // outside the circle
    }
}

// Weights that do not add up to one show as a flat picture changing level.
TEST(Resampling, FlatPictureStaysFlatUnderEveryMethod) {
    GwImage flat(37, 23, 24);
    flat.SetPixelColor(0, 0, Quad(90, 140, 200));
    for (long y = 0; y < 23; y++)
        for (long x = 0; x < 37; x++) flat.SetPixelColor(x, y, Quad(90, 140, 200));
    for (int method = InterpNearest; method <= InterpCatrom; method++)
        for (const auto& size : {std::make_pair(11L, 7L), std::make_pair(80L, 51L)}) {
            SCOPED_TRACE("method " + std::to_string(method) + ", " + std::to_string(size.first));
            GwImage out;
            ASSERT_TRUE(flat.Resample2(size.first, size.second, static_cast<InterpolationMethod>(method), OverflowMirror, &out));
            for (long y = 0; y < size.second; y++)
                for (long x = 0; x < size.first; x++)
                    ASSERT_TRUE(SameRgb(out.GetPixelColor(x, y), Quad(90, 140, 200))) << x << "," << y;
        }
}

// One bit, black and white only, with the mean grey of every band kept within 2 %.
TEST(Dithering, OnlyBlackAndWhiteKeepingMeanGrey) {
    GwImage colour(256, 64, 24), grey(256, 64, 8);
    grey.SetGrayPalette();
    for (long y = 0; y < 64; y++)
        for (long x = 0; x < 256; x++) {
            colour.SetPixelColor(x, y, Quad(static_cast<BYTE>(x), static_cast<BYTE>(x), static_cast<BYTE>(x)));
            grey.SetPixelIndex(x, y, static_cast<BYTE>(x));
        }
    for (int run = 0; run < 4; run++) {
        const DitherMethod method = run % 2 ? DitherBayer : DitherFloydSteinberg;
        GwImage& ramp = run < 2 ? colour : grey;
        SCOPED_TRACE(std::string(method == DitherBayer ? "Bayer" : "Floyd-Steinberg") + (run < 2 ? ", 24 bits" : ", 8 bits"));
        GwImage out;
        ASSERT_TRUE(ramp.Dither(method, &out));
        ASSERT_EQ(out.GetBpp(), 1);
        EXPECT_TRUE(SameRgb(out.GetPaletteColor(0), Quad(0, 0, 0)));
        EXPECT_TRUE(SameRgb(out.GetPaletteColor(1), Quad(255, 255, 255)));
        for (long band = 0; band < 8; band++) {
            double in = 0, got = 0;
            for (long y = 0; y < 64; y++)
                for (long x = band * 32; x < band * 32 + 32; x++) {
                    in += ramp.GetPixelGray(x, y);
                    got += out.GetPixelIndex(x, y) ? 255 : 0;
                }
            EXPECT_LE(std::fabs(got - in) / (32 * 64), 0.02 * 255) << "band " << band;
        }
    }
}

TEST(FloatGeometry, RectangleArithmetic) {
    const GwRect2 a(0, 0, 4, 2), b(3, 1, 6, 5);
    const GwRect2 common = a.Intersection(b);
    EXPECT_EQ(common.botLeft, GwPoint2(3, 1));
    EXPECT_EQ(common.topRight, GwPoint2(4, 2));
    EXPECT_TRUE(a.Intersection(GwRect2(5, 5, 6, 6)).IsEmpty());
    const GwRect2 both = a.Union(b);
    EXPECT_EQ(both.botLeft, GwPoint2(0, 0));
    EXPECT_EQ(both.topRight, GwPoint2(6, 5));
    EXPECT_EQ(a.Union(GwRect2()).topRight, a.topRight);  // an empty rectangle adds nothing
    EXPECT_FLOAT_EQ(a.Surface(), 8.0f);
    EXPECT_TRUE(a.Contains(GwPoint2(0, 0)));
    EXPECT_FALSE(a.Contains(GwPoint2(4, 1)));  // half-open on the high side
    EXPECT_TRUE(both.Contains(a));
    EXPECT_FALSE(a.Contains(b));
    const GwPoint2 turned = GwPoint2(2, 1).Rotated(90);
    EXPECT_EQ(turned, GwPoint2(-1, 2));  // quarter turns are exact
    EXPECT_FLOAT_EQ(GwPoint2(3, 4).Distance(GwPoint2(0, 0)), 5.0f);
}

}  // namespace
