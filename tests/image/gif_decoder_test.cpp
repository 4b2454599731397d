// GwImageGIF reading: frame counting and selection, composition with transparency and
// disposal, interlace, colour tables per frame, tiled 24-bit files, the screen-size query,
// and inputs that are broken in the ways real files are.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/image/gif_test_util.h"

using namespace giftest;

namespace {

const std::vector<uint32_t> kFour = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

std::vector<uint8_t> Solid(int w, int h, int v) { return std::vector<uint8_t>(size_t(w) * h, uint8_t(v)); }

// Three frames on a 6 x 4 screen: a red background, a green 2 x 2 square at (1,1) whose
// corner pixel is transparent, then a blue column at x 4.
std::vector<uint8_t> ThreeFrames(int disposalOfSecond) {
    std::vector<uint8_t> square = {0, 2, 2, 2};
    return Builder(6, 4, kFour)
        .Gce(0, -1)
        .Image(0, 0, 6, 4, Solid(6, 4, 1))
        .Gce(disposalOfSecond, 0)
        .Image(1, 1, 2, 2, square)
        .Gce(0, -1)
        .Image(4, 0, 1, 4, Solid(1, 4, 3))
        .Trailer();
}

}  // namespace

TEST(GifDecoder, CountsFramesAndComposesUpToTheRequestedOne) {
    const auto file = ThreeFrames(1);
    TestGif f0, f1, f2, f3, neg;
    ASSERT_TRUE(f0.DecodeBytes(file, 0));
    EXPECT_EQ(3, f0.GetNumFrames());
    EXPECT_EQ(6u, f0.GetWidth());
    EXPECT_EQ(4u, f0.GetHeight());
    EXPECT_EQ(0xFF0000u, ColorAt(f0, 1, 1));

    ASSERT_TRUE(f1.DecodeBytes(file, 1));
    EXPECT_EQ(6u, f1.GetWidth()) << "frames come back at the screen's size";
    EXPECT_EQ(0xFF0000u, ColorAt(f1, 1, 1)) << "transparent pixel keeps what was below";
    EXPECT_EQ(0x00FF00u, ColorAt(f1, 2, 1));
    EXPECT_EQ(0x00FF00u, ColorAt(f1, 2, 2));
    EXPECT_EQ(0xFF0000u, ColorAt(f1, 0, 0));
    EXPECT_EQ(0xFF0000u, ColorAt(f1, 4, 3));

    ASSERT_TRUE(f2.DecodeBytes(file, 2));
    EXPECT_EQ(0x00FF00u, ColorAt(f2, 2, 2)) << "disposal 1 keeps the square";
    EXPECT_EQ(0x0000FFu, ColorAt(f2, 4, 0));
    EXPECT_EQ(0xFF0000u, ColorAt(f2, 5, 0));

    EXPECT_FALSE(f3.DecodeBytes(file, 3));
    EXPECT_EQ(3, f3.GetNumFrames());
    EXPECT_FALSE(neg.DecodeBytes(file, -1));
}

TEST(GifDecoder, DisposalTwoClearsTheFrameAreaAndThreeRestoresThePreviousScreen) {
    // A transparent first frame makes the screen's fill transparent.
    const std::vector<uint8_t> square = {2, 2, 2, 2};
    const auto file = Builder(4, 4, kFour)
                          .Gce(0, 0)
                          .Image(0, 0, 4, 4, Solid(4, 4, 1))
                          .Gce(2, 0)
                          .Image(1, 1, 2, 2, square)
                          .Gce(0, 0)
                          .Image(0, 0, 1, 1, {3})
                          .Trailer();
    TestGif img;
    ASSERT_TRUE(img.DecodeBytes(file, 2));
    EXPECT_EQ(0, img.GetTransIndex());
    EXPECT_TRUE(img.IsTransparent(1, 2)) << "inside the disposed square";
    EXPECT_EQ(0, IndexAt(img, 2, 2));
    EXPECT_EQ(0xFF0000u, ColorAt(img, 3, 3)) << "outside it the first frame stays";
    EXPECT_EQ(0x0000FFu, ColorAt(img, 0, 0));

    const auto restore = Builder(4, 4, kFour)
                             .Image(0, 0, 4, 4, Solid(4, 4, 1))
                             .Gce(3, -1)
                             .Image(1, 1, 2, 2, square)
                             .Image(0, 0, 1, 1, {3})
                             .Trailer();
    TestGif r1, r2;
    ASSERT_TRUE(r1.DecodeBytes(restore, 1));
    EXPECT_EQ(0x00FF00u, ColorAt(r1, 1, 1));
    ASSERT_TRUE(r2.DecodeBytes(restore, 2));
    EXPECT_EQ(0xFF0000u, ColorAt(r2, 1, 1)) << "restored to the screen before the square";
    EXPECT_EQ(0x0000FFu, ColorAt(r2, 0, 0));

    // A restoring frame whose colours turn the screen into 24 bits is put back in the
    // colours the screen had before it.
    std::vector<uint32_t> a(256), b(256);
    std::vector<uint8_t> row(256), twoRows(512);
    for (int i = 0; i < 256; ++i) {
        a[i] = 0x010000u * i;
        b[i] = 0x000100u * i + 7;
        row[i] = twoRows[i] = twoRows[256 + i] = uint8_t(i);
    }
    const auto deep =
        Builder(256, 2, a).Image(0, 0, 256, 2, twoRows).Gce(3, -1).Image(0, 1, 256, 1, row, b).Image(0, 0, 1, 1, {5}).Trailer();
    TestGif d1, d2;
    ASSERT_TRUE(d1.DecodeBytes(deep, 1));
    ASSERT_TRUE(d2.DecodeBytes(deep, 2));
    for (int x = 0; x < 256; x += 17) {
        EXPECT_EQ(b[x], ColorAt(d1, x, 1));
        EXPECT_EQ(a[x], ColorAt(d2, x, 1)) << x;
    }
    EXPECT_EQ(a[5], ColorAt(d2, 0, 0));
}

TEST(GifDecoder, TransparencyBelongsToTheImageItsControlBlockIntroduces) {
    // Frame 1 makes index 0 transparent; frame 2's control block has no transparency, so
    // its index-0 pixels are painted.
    const auto file = Builder(2, 1, kFour)
                          .Image(0, 0, 2, 1, {1, 1})
                          .Gce(1, 0)
                          .Image(0, 0, 2, 1, {0, 2})
                          .Gce(1, -1)
                          .Image(0, 0, 2, 1, {0, 3})
                          .Trailer();
    TestGif f1, f2;
    ASSERT_TRUE(f1.DecodeBytes(file, 1));
    EXPECT_EQ(0xFF0000u, ColorAt(f1, 0, 0));
    EXPECT_EQ(0x00FF00u, ColorAt(f1, 1, 0));
    ASSERT_TRUE(f2.DecodeBytes(file, 2));
    EXPECT_EQ(0x000000u, ColorAt(f2, 0, 0));
    EXPECT_EQ(0x0000FFu, ColorAt(f2, 1, 0));
}

TEST(GifDecoder, FramesWithTheirOwnColourTablesKeepTheirColours) {
    const std::vector<uint32_t> second = {0x123456, 0xABCDEF};
    const auto file = Builder(4, 1, kFour)
                          .Image(0, 0, 4, 1, {0, 1, 2, 3})
                          .Image(2, 0, 2, 1, {1, 0}, second)
                          .Image(0, 0, 1, 1, {3})  // back to the global table
                          .Trailer();
    TestGif img;
    ASSERT_TRUE(img.DecodeBytes(file, 2));
    EXPECT_EQ(0x0000FFu, ColorAt(img, 0, 0));
    EXPECT_EQ(0xFF0000u, ColorAt(img, 1, 0));
    EXPECT_EQ(0xABCDEFu, ColorAt(img, 2, 0));
    EXPECT_EQ(0x123456u, ColorAt(img, 3, 0));

    // 300 distinct colours over two frames cannot share one table: the result is 24-bit.
    std::vector<uint32_t> a(256), b(256);
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) {
        a[i] = 0x010000u * i;
        b[i] = 0x000100u * i + 7;
        all[i] = uint8_t(i);
    }
    const auto many = Builder(256, 2, a).Image(0, 0, 256, 1, all).Image(0, 1, 256, 1, all, b).Trailer();
    TestGif big;
    ASSERT_TRUE(big.DecodeBytes(many, 1));
    EXPECT_EQ(24, big.GetBpp());
    for (int x = 0; x < 256; x += 17) {
        EXPECT_EQ(a[x], ColorAt(big, x, 0));
        EXPECT_EQ(b[x], ColorAt(big, x, 1));
    }
}

TEST(GifDecoder, HeaderOnlyReadReportsFrameZerosFactsWithoutAllocatingPixels) {
    // With a decode budget of one pixel nothing can be allocated: the facts come from the
    // blocks alone.
    struct Restore {
        ~Restore() { GwImage::SetMaxDecodePixels(0); }
    } restore;
    GwImage::SetMaxDecodePixels(1);
    const auto file = Builder(16000, 16000, kFour)
                          .Bytes({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 7, 0, 0})
                          .Bytes({0x21, 0xFE, 2, 'h', 'i', 0})
                          .Gce(0, 2, 40)
                          .Image(5, 5, 2, 2, Solid(2, 2, 1))
                          .Gce(0, -1, 90)
                          .Image(0, 0, 1, 1, {3})
                          .Trailer();
    TestGif img;
    ASSERT_TRUE(img.DecodeBytes(file, 0, -1)) << img.GetLastError();
    EXPECT_FALSE(img.IsValid());
    EXPECT_EQ(16000u, img.GetWidth());
    EXPECT_EQ(16000u, img.GetHeight());
    EXPECT_EQ(2, img.GetNumFrames());
    EXPECT_EQ(4, img.GetBpp());
    EXPECT_EQ(16u, img.GetNumColors());
    EXPECT_EQ(2, img.GetTransIndex());
    EXPECT_EQ(40u, img.GetFrameDelay());
    EXPECT_EQ(7, img.GetLoops());
    char text[256];
    img.GetComment(text);
    EXPECT_STREQ("hi", text);
    TestGif full;
    EXPECT_FALSE(full.DecodeBytes(file, 0));  // the pixels themselves are over the budget
    GwImage::SetMaxDecodePixels(0);

    // A tiled 24-bit picture describes itself as one 24-bit picture with its transparent colour.
    TestGif src;
    src.Create(40, 20, 24, TypeGif);
    src.Clear(0x40);
    src.SetTransIndex(0);
    src.SetTransColor(RGBQUAD{9, 8, 7, 0});
    TestGif mosaic;
    ASSERT_TRUE(mosaic.DecodeBytes(EncodeBytes(src), 0, -1));
    EXPECT_EQ(24, mosaic.GetBpp());
    EXPECT_EQ(0u, mosaic.GetNumColors());
    EXPECT_EQ(0, mosaic.GetTransIndex());
    EXPECT_EQ(7, mosaic.GetTransColor().rgbRed);
}

TEST(GifDecoder, ImagesOffTheScreenAreSkippedWithTheirData) {
    // The off-screen image's pixels encode to bytes that look like block labels.
    std::vector<uint8_t> tricky;
    for (int i = 0; i < 400; ++i) tricky.push_back(uint8_t(i * 37 % 4));
    const auto file = Builder(4, 4, kFour)
                          .Image(0, 0, 4, 4, Solid(4, 4, 1))
                          .Image(2, 0, 20, 20, tricky)
                          .Bytes({0x21, 0xFE, 3, 0x2C, 0x21, 0x3B, 0})
                          .Image(0, 0, 1, 1, {2})
                          .Trailer();
    TestGif img;
    ASSERT_TRUE(img.DecodeBytes(file, 1));
    EXPECT_EQ(2, img.GetNumFrames());
    EXPECT_EQ(0x00FF00u, ColorAt(img, 0, 0));
    EXPECT_EQ(0xFF0000u, ColorAt(img, 3, 3));
}

TEST(GifDecoder, InterlacedRowsLandInPassOrder) {
    // Rows arrive in the order 0, 8, 4, 2, 6, 1, 3, 5, 7, 9; each carries its own row number.
    const std::vector<uint8_t> passOrder = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    std::vector<uint32_t> grey(16);
    for (int i = 0; i < 16; ++i) grey[i] = 0x111111u * i;
    const auto file = Builder(1, 10, grey).Image(0, 0, 1, 10, passOrder, {}, true).Trailer();
    TestGif img;
    ASSERT_TRUE(img.DecodeBytes(file));
    for (int row = 0; row < 10; ++row) EXPECT_EQ(row, IndexAt(img, 0, row));
}

TEST(GifDecoder, TableSizeGivesTheDepthAndColours) {
    const auto file = Builder(2, 2, kFour).Image(0, 0, 2, 2, {0, 1, 2, 3}).Trailer();
    TestGif img;
    ASSERT_TRUE(img.DecodeBytes(file));
    EXPECT_EQ(4, img.GetBpp());
    EXPECT_EQ(0x0000FFu, ColorAt(img, 1, 1));
    EXPECT_EQ(0x00FF00u, ColorAt(img, 0, 1));
    const auto two = Builder(2, 1, {0xFFFFFF, 0}).Image(0, 0, 2, 1, {1, 0}).Trailer();
    ASSERT_TRUE(img.DecodeBytes(two));
    EXPECT_EQ(1, img.GetBpp());
    EXPECT_EQ(0u, ColorAt(img, 0, 0));
}

TEST(GifDecoder, TiledTrueColourFilesReassembleIntoOneImage) {
    for (auto [w, h] : {std::pair{20, 20}, {40, 9}, {5, 33}, {17, 15}, {1, 1}, {35, 31}}) {
        for (bool transparent : {false, true}) {
            TestGif src;
            src.Create(w, h, 24, TypeGif);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    src.SetPixelColor(x, y, RGBQUAD{BYTE(x * 5), BYTE(y * 7), BYTE(x * y), 0}, false);
            const RGBQUAD key{9, 8, 7, 0};
            if (transparent) {
                src.SetTransIndex(0);
                src.SetTransColor(key);
                src.SetPixelColor(1, 1, key, false);
            }
            TestGif back;
            ASSERT_TRUE(back.DecodeBytes(EncodeBytes(src))) << w << "x" << h;
            SCOPED_TRACE(::testing::Message() << w << "x" << h << " transparent " << transparent);
            ASSERT_EQ(unsigned(w), back.GetWidth());
            ASSERT_EQ(unsigned(h), back.GetHeight());
            EXPECT_EQ(24, back.GetBpp());
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const RGBQUAD a = src.GetPixelColor(x, y, false), b = back.GetPixelColor(x, y, false);
                    ASSERT_TRUE(a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue) << x << "," << y;
                }
            if (transparent) {
                EXPECT_EQ(0, back.GetTransIndex());
                const RGBQUAD t = back.GetTransColor();
                EXPECT_TRUE(t.rgbRed == key.rgbRed && t.rgbGreen == key.rgbGreen && t.rgbBlue == key.rgbBlue);
            }
        }
    }
}

TEST(GifDecoder, LocalTableAnimationsAreNotTakenForMosaicsAndWideCodesDecode) {
    // No global table, a first frame smaller than the screen: an ordinary animation. Frame 0
    // is frame 0 alone, at its own depth; only frame 1 adds the second square.
    const std::vector<uint32_t> red = {0x000000, 0xFF0000}, blue = {0x000000, 0x0000FF};
    const auto file = Builder(4, 4, {})
                          .Gce(0, 0, 10)
                          .Image(0, 0, 2, 2, Solid(2, 2, 1), red)
                          .Gce(0, 0, 10)
                          .Image(2, 2, 2, 2, Solid(2, 2, 1), blue)
                          .Trailer();
    TestGif f0, f1;
    ASSERT_TRUE(f0.DecodeBytes(file, 0));
    EXPECT_EQ(2, f0.GetNumFrames());
    EXPECT_LE(f0.GetBpp(), 8);
    EXPECT_EQ(0xFF0000u, ColorAt(f0, 0, 0));
    EXPECT_EQ(0, IndexAt(f0, 3, 3)) << "frame 1 must not be painted into frame 0";
    ASSERT_TRUE(f1.DecodeBytes(file, 1));
    EXPECT_EQ(0xFF0000u, ColorAt(f1, 0, 0));
    EXPECT_EQ(0x0000FFu, ColorAt(f1, 3, 3));

    // A GIF whose code size is 11 (12-bit codes, as some writers produce) reads its pixels.
    gwgif::VectorSink sink;
    gwgif::CodeWriter codes(sink, 255);
    for (int code : {2048, 3, 1, 2, 2049}) codes.Put(code, 12);
    codes.Finish();
    auto b = Builder(3, 1, kFour).Bytes({0x2C, 0, 0, 0, 0, 3, 0, 1, 0, 0, 11});
    b.Bytes(sink.data);
    const auto eleven = b.Bytes({0}).Trailer();
    TestGif wide;
    ASSERT_TRUE(wide.DecodeBytes(eleven));
    EXPECT_EQ(0x0000FFu, ColorAt(wide, 0, 0));
    EXPECT_EQ(0xFF0000u, ColorAt(wide, 1, 0));
    EXPECT_EQ(0x00FF00u, ColorAt(wide, 2, 0));
}

TEST(GifDecoder, BadCodeSizesDecodeNoPixelsButLaterFramesAreStillFound) {
    for (int size : {1, 12}) {
        auto b = Builder(2, 1, kFour).Image(0, 0, 2, 1, {1, 1});
        b.Image(0, 0, 2, 1, {2, 2}, {}, false, size);  // data written for an impossible size
        const auto file = b.Image(0, 0, 1, 1, {3}).Trailer();
        TestGif bad, last;
        ASSERT_TRUE(bad.DecodeBytes(file, 1)) << size;
        EXPECT_EQ(3, bad.GetNumFrames());
        EXPECT_EQ(0xFF0000u, ColorAt(bad, 1, 0)) << "nothing of the broken frame is drawn over red";
        ASSERT_TRUE(last.DecodeBytes(file, 2));
        EXPECT_EQ(0x0000FFu, ColorAt(last, 0, 0));
    }
}

TEST(GifDecoder, ExtensionsSetCommentLoopsDelayAndEmptyBlocksDoNotSwallowTheNextBlock) {
    const auto file = Builder(2, 1, kFour)
                          .Bytes({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 5, 0, 0})
                          .Bytes({0x21, 0xFE, 0})  // empty comment: its first sub-block ends it
                          .Bytes({0x21, 0xFE, 4, 'a', 'b', 'c', 'd', 2, 'e', 'f', 0})
                          .Bytes({0x21, 0x01, 0})  // unknown label
                          .Gce(0, -1, 250)
                          .Image(0, 0, 2, 1, {2, 3})
                          .Trailer();
    TestGif img;
    ASSERT_TRUE(img.DecodeBytes(file));
    EXPECT_EQ(1, img.GetNumFrames());
    EXPECT_EQ(5, img.GetLoops());
    EXPECT_EQ(250u, img.GetFrameDelay());
    char text[256];
    img.GetComment(text);
    EXPECT_STREQ("abcd", text);
    EXPECT_EQ(0x0000FFu, ColorAt(img, 1, 0));
}

// Data that stops after seven pixels of a 5 x 4 image: the rest of the cut row gets the
// transparent index (0 without one); rows the data never reached show the screen's fill, which
// a control block without the transparency flag still names. Checked on a 4-bit and on an
// 8-bit screen whose table leaves indices without a colour.
TEST(GifDecoder, ShortDataLeavesTheRestAtTheTransparentIndexAndUnreachedRowsAtTheScreenFill) {
    std::vector<uint32_t> sixteen(16), thirtyTwo(32);
    for (int i = 0; i < 16; ++i) sixteen[i] = 0x101010u * i;
    for (int i = 0; i < 32; ++i) thirtyTwo[i] = 0x080808u * i;
    const std::vector<uint8_t> seven = {1, 1, 1, 1, 1, 5, 6};
    for (const auto* table : {&sixteen, &thirtyTwo}) {
        struct Case {
            std::vector<uint8_t> control;  // graphic control block before the image, if any
            int cutRow, unreachedRows;
        };
        const Case cases[] = {
            {{}, 0, 0},
            {{0x21, 0xF9, 4, 1, 0, 0, 7, 0}, 7, 7},  // transparent index 7
            {{0x21, 0xF9, 4, 0, 0, 0, 3, 0}, 0, 3},  // index 3 named, flag off
        };
        for (const Case& c : cases) {
            const auto file = Builder(5, 4, *table).Bytes(c.control).Image(0, 0, 5, 4, seven).Trailer();
            TestGif img;
            ASSERT_TRUE(img.DecodeBytes(file));
            const std::string where = std::to_string(table->size()) + " colours, case " + std::to_string(c.unreachedRows);
            for (int x = 0; x < 5; ++x) EXPECT_EQ(1, IndexAt(img, x, 0)) << where;
            EXPECT_EQ(5, IndexAt(img, 0, 1)) << where;
            EXPECT_EQ(6, IndexAt(img, 1, 1)) << where;
            for (int x = 2; x < 5; ++x) EXPECT_EQ(c.cutRow, IndexAt(img, x, 1)) << where << " x " << x;
            for (int y = 2; y < 4; ++y)
                for (int x = 0; x < 5; ++x) EXPECT_EQ(c.unreachedRows, IndexAt(img, x, y)) << where;
        }
    }
}

TEST(GifDecoder, RefusesWhatIsNoGifAndAnEscapeRequest) {
    TestGif img;
    EXPECT_FALSE(img.DecodeBytes({'G', 'I', 'F', '9', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}));
    EXPECT_FALSE(img.DecodeBytes({'G', 'I', 'F'}));
    EXPECT_FALSE(img.Decode(static_cast<GwFile*>(nullptr)));
    EXPECT_FALSE(img.DecodeBytes(Builder(2, 2, kFour).Trailer())) << "no frame";
    EXPECT_FALSE(img.DecodeBytes(ThreeFrames(0), 0, 1)) << "escape raised";
}

TEST(GifDecoder, MutatedFilesNeverCrashHangOrOverrun) {
    TestGif src;
    Fill(src, 23, 19, 8, [](int x, int y) { return (x * 7 + y * 3) & 0xFF; });
    TestGif writer;
    writer.SetLoops(0);
    TestGif second;
    Fill(second, 5, 5, 4, [](int x, int y) { return x ^ y; });
    second.SetOffset(3, 2);
    second.SetTransIndex(1);
    GwMemFile out;
    out.Open();
    GwImage* frames[] = {&src, &second, &src};
    ASSERT_TRUE(writer.Encode(&out, frames, 3, true));
    const auto good = TakeBytes(out);
    std::mt19937 rng(99);
    for (int round = 0; round < 400; ++round) {
        auto bytes = good;
        const int edits = 1 + rng() % 6;
        for (int e = 0; e < edits; ++e) bytes[rng() % bytes.size()] = uint8_t(rng());
        if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
        TestGif img;
        const bool ok = img.DecodeBytes(bytes, rng() % 3);
        if (ok && img.IsValid()) {
            EXPECT_LE(img.GetWidth(), 65535u);
            EXPECT_EQ(img.GetNumFrames() > 0, true);
        }
    }
}
