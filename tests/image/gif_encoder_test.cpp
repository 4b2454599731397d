// GwImageGIF writing: the bytes of headers, tables and extensions, the tiling of 24-bit
// pictures, animations and their refusals, coder choice, and write failures reported.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/gw_file.h"
#include "tests/image/gif_test_util.h"

using namespace giftest;

namespace {

const Block* Find(const File& f, int kind, int label = -1, int nth = 0) {
    for (const auto& b : f.blocks)
        if (b.kind == kind && (label < 0 || b.label == label) && nth-- == 0) return &b;
    return nullptr;
}

int Count(const File& f, int kind, int label = -1) {
    int n = 0;
    for (const auto& b : f.blocks) n += b.kind == kind && (label < 0 || b.label == label);
    return n;
}

// A stream that accepts a fixed number of bytes and then refuses every write.
class FailingFile : public GwFile {
public:
    explicit FailingFile(size_t budget) : budget_(budget) {}
    bool Close() override { return true; }
    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void*, size_t size, size_t count) override {
        const size_t n = size * count;
        if (n > budget_) {
            budget_ = 0;
            return 0;
        }
        budget_ -= n;
        return count;
    }
    bool Seek(long, int) override { return true; }
    long Tell() override { return 0; }
    long Size() override { return 0; }
    bool Flush() override { return true; }
    bool Eof() override { return false; }
    long Error() override { return 0; }
    long GetC() override { return -1; }

private:
    size_t budget_;
};

}  // namespace

TEST(GifEncoder, HeaderTableAndCodeSizeFollowTheDepth) {
    struct Case {
        int bpp, packed, entries, codeSize;
    } cases[] = {{1, 0x80, 2, 2}, {4, 0xE3, 16, 4}, {8, 0xF7, 256, 8}};
    for (const auto& c : cases) {
        TestGif img;
        Fill(img, 8, 1, c.bpp, [&](int x, int) { return x % (1 << c.bpp); });
        img.SetPaletteColor(1, 10, 20, 30);
        const auto bytes = EncodeBytes(img);
        const File f = Parse(bytes);
        ASSERT_TRUE(f.ok) << c.bpp;
        EXPECT_EQ("GIF89a", f.signature);
        EXPECT_EQ(8, f.width);
        EXPECT_EQ(1, f.height);
        EXPECT_EQ(c.packed, f.flags);
        ASSERT_EQ(size_t(3 * c.entries), f.globalTable.size());
        EXPECT_EQ((std::vector<uint8_t>{10, 20, 30}), std::vector<uint8_t>(f.globalTable.begin() + 3, f.globalTable.begin() + 6));
        const Block* image = Find(f, 0x2C);
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(0, image->flags);
        EXPECT_EQ(c.codeSize, image->codeSize);
        // The first code is the clear code at code size + 1 bits.
        const int clear = 1 << c.codeSize;
        const int firstBits = image->subBlocks[0][0] | (image->subBlocks[0][1] << 8);
        EXPECT_EQ(clear, firstBits & ((1 << (c.codeSize + 1)) - 1));
        EXPECT_EQ(0, Count(f, 0x21, 0xFF)) << "no looping block for a single image";
    }
}

TEST(GifEncoder, GraphicControlCarriesDisposalDelayAndTransparency) {
    TestGif img;
    Fill(img, 4, 4, 8, [](int x, int y) { return x + y; });
    img.SetDisposalMethod(2);
    img.SetFrameDelay(300);
    File f = Parse(EncodeBytes(img));
    const Block* gce = Find(f, 0x21, 0xF9);
    ASSERT_NE(nullptr, gce);
    EXPECT_EQ((std::vector<uint8_t>{0x08, 300 & 0xFF, 300 >> 8, 0xFF}), gce->subBlocks.at(0));

    img.SetTransIndex(5);
    img.SetDisposalMethod(1);
    f = Parse(EncodeBytes(img));
    gce = Find(f, 0x21, 0xF9);
    ASSERT_NE(nullptr, gce);
    EXPECT_EQ((std::vector<uint8_t>{0x05, 300 & 0xFF, 300 >> 8, 5}), gce->subBlocks.at(0));
}

TEST(GifEncoder, CommentIsCappedAt255CharactersAndOmittedWhenEmpty) {
    TestGif img;
    Fill(img, 2, 2, 1, [](int x, int) { return x; });
    EXPECT_EQ(0, Count(Parse(EncodeBytes(img)), 0x21, 0xFE));

    img.SetComment(std::string(300, 'c').c_str());
    char back[256];
    img.GetComment(back);
    EXPECT_EQ(std::string(255, 'c'), back);
    const File f = Parse(EncodeBytes(img));
    const Block* comment = Find(f, 0x21, 0xFE);
    ASSERT_NE(nullptr, comment);
    ASSERT_EQ(1u, comment->subBlocks.size());
    EXPECT_EQ(255u, comment->subBlocks[0].size());

    img.SetComment(nullptr);  // keeps the old text
    img.GetComment(back);
    EXPECT_EQ(255u, std::string(back).size());
}

TEST(GifEncoder, AnimationLoopingBlockStoresPlaysMinusOne) {
    TestGif a, b;
    Fill(a, 4, 4, 4, [](int x, int) { return x; });
    Fill(b, 4, 4, 4, [](int, int y) { return y; });
    struct Case {
        int loops;
        int stored;  // -1: no looping block
    } cases[] = {{0, 0}, {1, -1}, {2, 1}, {3, 2}, {70000, 70000 - 1}};
    for (const auto& c : cases) {
        TestGif writer;
        writer.SetLoops(c.loops);
        const File f = Parse(EncodeAnimation(writer, {&a, &b}, false));
        ASSERT_TRUE(f.ok);
        EXPECT_EQ(2, Count(f, 0x2C));
        EXPECT_EQ(2, Count(f, 0x21, 0xF9));
        const Block* loop = Find(f, 0x21, 0xFF);
        if (c.stored < 0) {
            EXPECT_EQ(nullptr, loop) << c.loops;
            continue;
        }
        ASSERT_NE(nullptr, loop);
        ASSERT_EQ(2u, loop->subBlocks.size());
        EXPECT_EQ("NETSCAPE2.0", std::string(loop->subBlocks[0].begin(), loop->subBlocks[0].end()));
        EXPECT_EQ((std::vector<uint8_t>{1, uint8_t(c.stored & 0xFF), uint8_t((c.stored >> 8) & 0xFF)}), loop->subBlocks[1]);
    }
}

TEST(GifEncoder, AnimationWritesLocalTablesOnlyWhenAskedAndTheFirstFrameGivesTheScreen) {
    TestGif a, b;
    Fill(a, 6, 5, 8, [](int x, int) { return x; });
    Fill(b, 3, 2, 4, [](int x, int) { return x; });
    b.SetOffset(2, 1);
    TestGif writer;
    writer.SetDisposalMethod(2);
    writer.SetComment("hello");
    for (bool local : {false, true}) {
        const File f = Parse(EncodeAnimation(writer, {&a, &b}, local));
        ASSERT_TRUE(f.ok);
        EXPECT_EQ(6, f.width);
        EXPECT_EQ(5, f.height);
        EXPECT_EQ(0xF7, f.flags);
        const Block* first = Find(f, 0x2C, -1, 0);
        const Block* second = Find(f, 0x2C, -1, 1);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(0, first->flags);
        EXPECT_EQ(local ? 0x83 : 0, second->flags);
        EXPECT_EQ(local ? 48u : 0u, second->localTable.size());
        EXPECT_EQ(2, second->left);
        EXPECT_EQ(1, second->top);
        EXPECT_EQ(4, second->codeSize);
        EXPECT_EQ(0x08, Find(f, 0x21, 0xF9, 1)->subBlocks[0][0]) << "writer's disposal on every frame";
        EXPECT_EQ(1, Count(f, 0x21, 0xFE));
    }
}

TEST(GifEncoder, AnimationRefusalsNameTheProblemAndWriteNothingForBadFrames) {
    TestGif a, deep, empty;
    Fill(a, 4, 4, 8, [](int x, int) { return x; });
    deep.Create(4, 4, 24, TypeGif);
    TestGif writer;
    GwImage* none[] = {nullptr};
    EXPECT_FALSE(writer.Encode(static_cast<GwFile*>(nullptr), none, 1, false));
    EXPECT_STREQ("invalid file pointer", writer.GetLastError());

    GwMemFile out;
    out.Open();
    EXPECT_FALSE(writer.Encode(&out, nullptr, 1, false));
    EXPECT_STREQ("multipage GIF, no images!", writer.GetLastError());
    GwImage* one[] = {&a};
    EXPECT_FALSE(writer.Encode(&out, one, 0, false));
    EXPECT_STREQ("multipage GIF, no images!", writer.GetLastError());
    EXPECT_FALSE(writer.Encode(&out, none, 1, false));
    EXPECT_STREQ("multipage GIF, no images!", writer.GetLastError());

    GwImage* withNull[] = {&a, nullptr};
    EXPECT_FALSE(writer.Encode(&out, withNull, 2, false));
    EXPECT_STREQ("Bad image pointer", writer.GetLastError());
    GwImage* withDeep[] = {&a, &deep};
    EXPECT_FALSE(writer.Encode(&out, withDeep, 2, false));
    EXPECT_NE(std::string::npos, std::string(writer.GetLastError()).find("8 bits"));
    GwImage* withEmpty[] = {&a, &empty};
    EXPECT_FALSE(writer.Encode(&out, withEmpty, 2, false));
    EXPECT_EQ(0, out.Size()) << "a refused animation writes no bytes";
}

TEST(GifEncoder, SingleImageRefusesNullStreamAndEmptyImage) {
    TestGif img;
    GwMemFile out;
    out.Open();
    EXPECT_FALSE(img.Encode(&out));
    EXPECT_STREQ("null image!!!", img.GetLastError());
    Fill(img, 2, 2, 1, [](int, int) { return 1; });
    EXPECT_FALSE(img.Encode(static_cast<GwFile*>(nullptr)));
    EXPECT_STREQ("null file handler", img.GetLastError());
}

TEST(GifEncoder, TwentyByTwentyTrueColourImageBecomesFourTiles) {
    TestGif img;
    img.Create(20, 20, 24, TypeGif);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) img.SetPixelColor(x, y, RGBQUAD{BYTE(x * 12), BYTE(y * 12), BYTE(x ^ y), 0}, false);
    const File f = Parse(EncodeBytes(img));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(0x11, f.flags);
    EXPECT_TRUE(f.globalTable.empty());
    struct Tile {
        int left, top, width, height;
    } expected[] = {{0, 0, 17, 15}, {17, 0, 3, 15}, {0, 15, 17, 5}, {17, 15, 3, 5}};
    ASSERT_EQ(4, Count(f, 0x2C));
    EXPECT_EQ(4, Count(f, 0x21, 0xF9));
    for (int i = 0; i < 4; ++i) {
        const Block* t = Find(f, 0x2C, -1, i);
        EXPECT_EQ(expected[i].left, t->left) << i;
        EXPECT_EQ(expected[i].top, t->top) << i;
        EXPECT_EQ(expected[i].width, t->width) << i;
        EXPECT_EQ(expected[i].height, t->height) << i;
        EXPECT_EQ(0x87, t->flags) << i;
        EXPECT_EQ(768u, t->localTable.size()) << i;
        EXPECT_EQ(8, t->codeSize);
    }
    // Every colour of a tile is in its table (top-left pixel of the second tile: x 17, y 0).
    const Block* second = Find(f, 0x2C, -1, 1);
    const RGBQUAD want = img.GetPixelColor(17, 19, false);
    bool found = false;
    for (size_t e = 0; e < 256; ++e)
        found |= second->localTable[3 * e] == want.rgbRed && second->localTable[3 * e + 1] == want.rgbGreen &&
                 second->localTable[3 * e + 2] == want.rgbBlue;
    EXPECT_TRUE(found);
}

TEST(GifEncoder, CodecOptionSelectsTheCoderAndItsSubBlockSize) {
    TestGif img;
    unsigned seed = 5;
    Fill(img, 200, 200, 8, [&](int, int) { return (seed = seed * 1103515245 + 12345) >> 24; });
    for (int option : {0, 1, 2, 7}) {
        img.SetCodecOption(option, TypeGif);
        const File f = Parse(EncodeBytes(img));
        ASSERT_TRUE(f.ok) << option;
        const Block* image = Find(f, 0x2C);
        size_t longest = 0;
        for (const auto& s : image->subBlocks) longest = std::max(longest, s.size());
        EXPECT_EQ(option == 2 ? 255u : 254u, longest) << option;
        TestGif back;
        ASSERT_TRUE(back.DecodeBytes(EncodeBytes(img)));
        for (int y = 0; y < 200; y += 7)
            for (int x = 0; x < 200; x += 3) ASSERT_EQ(img.GetPixelIndex(x, y), back.GetPixelIndex(x, y));
    }
}

TEST(GifEncoder, WriteFailuresAreReportedNotClaimedAsSuccess) {
    TestGif img;
    Fill(img, 64, 64, 8, [](int x, int y) { return (x * y) & 0xFF; });
    const size_t full = EncodeBytes(img).size();
    for (size_t budget : {size_t{0}, size_t{10}, size_t{900}, full - 1}) {
        FailingFile file(budget);
        EXPECT_FALSE(img.Encode(&file)) << budget;
        EXPECT_STREQ("Write Error in GIF file", img.GetLastError());
    }
    FailingFile enough(full);
    EXPECT_TRUE(img.Encode(&enough));

    TestGif rgb;
    rgb.Create(40, 40, 24, TypeGif);
    rgb.Clear(0x40);
    FailingFile file(300);
    EXPECT_FALSE(rgb.Encode(&file));
    EXPECT_STREQ("Write Error in GIF file", rgb.GetLastError());

    TestGif writer;
    FailingFile anim(100);
    GwImage* frames[] = {&img, &img};
    EXPECT_FALSE(writer.Encode(&anim, frames, 2, true));
    EXPECT_STREQ("Write Error in GIF file", writer.GetLastError());
}

TEST(GifEncoder, CopiesCarryTheGifSettings) {
    TestGif img;
    Fill(img, 3, 3, 4, [](int x, int) { return x; });
    img.SetLoops(4);
    img.SetDisposalMethod(3);
    img.SetComment("copied");
    GwImageGIF copy(img);
    GwImageGIF assigned;
    assigned = img;
    for (const GwImageGIF* g : {&copy, &assigned}) {
        EXPECT_EQ(4, g->GetLoops());
        EXPECT_EQ(3, g->GetDisposalMethod());
        char text[256];
        g->GetComment(text);
        EXPECT_STREQ("copied", text);
        EXPECT_EQ(2, g->GetPixelIndex(2, 0));
    }
}
