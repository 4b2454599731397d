// Byte streams: growth steps, element counting, seeking past the end, ownership of stdio
// streams and memory blocks across Close, copies and detaching.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

#include "image/gw_io_file.h"
#include "image/gw_mem_file.h"

namespace {

// Exposes the protected bookkeeping so tests can check growth and ownership directly.
class MemProbe : public GwMemFile {
public:
    using GwMemFile::GwMemFile;
    int32_t Capacity() const { return capacity; }
    bool Owns() const { return ownsBuffer; }
    BYTE* Block() const { return buffer; }
};

std::string TempPath(const char* stem) {
    return std::string(::testing::TempDir()) + "gw_file_test_" + stem + "_" + std::to_string(::getpid());
}

TEST(GwMemFileTest, GrowsInFourKilobyteStepsAndKeepsContents) {
    MemProbe f;
    ASSERT_TRUE(f.Open());
    EXPECT_FALSE(f.Open());  // a block is already present
    for (int i = 0; i < 4096; ++i) ASSERT_TRUE(f.PutC(static_cast<unsigned char>(i)));
    EXPECT_EQ(f.Capacity(), 4096);
    ASSERT_TRUE(f.PutC(0xAB));
    EXPECT_EQ(f.Capacity(), 8192);
    EXPECT_EQ(f.Size(), 4097);
    ASSERT_TRUE(f.Seek(0, 0));
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(f.GetC(), i & 0xFF) << i;
    EXPECT_EQ(f.GetC(), 0xAB);
    EXPECT_EQ(f.GetC(), -1);
    EXPECT_TRUE(f.Eof());
}

TEST(GwMemFileTest, CountsWholeElementsButCopiesEveryAvailableByte) {
    GwMemFile f;
    ASSERT_TRUE(f.Open());
    unsigned char src[30];
    for (int i = 0; i < 30; ++i) src[i] = static_cast<unsigned char>(i + 1);
    EXPECT_EQ(f.Write(src, 3, 10), 10u);
    EXPECT_EQ(f.Size(), 30);
    ASSERT_TRUE(f.Seek(0, 0));
    unsigned char dst[40] = {};
    EXPECT_EQ(f.Read(dst, 4, 10), 7u);
    EXPECT_EQ(f.Tell(), 30);
    EXPECT_EQ(0, std::memcmp(dst, src, 30));
    EXPECT_EQ(f.Read(dst, 1, 1), 0u);
    EXPECT_EQ(f.Read(nullptr, 1, 1), 0u);
    EXPECT_EQ(f.Write(src, 0, 5), 0u);
}

TEST(GwMemFileTest, SeekingClampsBelowZeroAndAllowsWritesPastTheEndWithZeroGap) {
    GwMemFile f;
    ASSERT_TRUE(f.Open());
    unsigned char ten[10];
    std::memset(ten, 7, sizeof ten);
    ASSERT_EQ(f.Write(ten, 1, 10), 10u);
    EXPECT_TRUE(f.Seek(-5, 0));
    EXPECT_EQ(f.Tell(), 0);
    EXPECT_TRUE(f.Seek(100, 0));
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.Error(), 1);
    EXPECT_FALSE(f.Seek(0, 3));
    EXPECT_EQ(f.Tell(), 100);
    ASSERT_TRUE(f.PutC(9));
    EXPECT_EQ(f.Size(), 101);
    EXPECT_EQ(f.Error(), 0);
    // The gap the seek left behind reads back as zeros.
    ASSERT_TRUE(f.Seek(10, 0));
    for (int i = 10; i < 100; ++i) ASSERT_EQ(f.GetC(), 0) << i;
    EXPECT_EQ(f.GetC(), 9);
    EXPECT_TRUE(f.Seek(-1, 2));
    EXPECT_EQ(f.Tell(), 100);
    EXPECT_TRUE(f.Seek(-50, 1));
    EXPECT_EQ(f.Tell(), 50);
}

TEST(GwMemFileTest, RefusesSizesBeyondThirtyTwoBitsWithoutTouchingTheBlock) {
    MemProbe f;
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.PutC(1));
    BYTE* before = f.Block();
    int32_t cap = f.Capacity();
    // 4 GiB requested in elements: the product would wrap a 32-bit size to 0.
    static const unsigned char dummy[1] = {0};
    EXPECT_EQ(f.Write(dummy, size_t(1) << 16, size_t(1) << 16), 0u);
    EXPECT_EQ(f.Write(dummy, SIZE_MAX, 2), 0u);
    // A long of 32 bits cannot name a position past the top from the start, but a step of
    // the largest long from position 1 passes it whatever the width of long.
    if (sizeof(long) > 4) {
        EXPECT_FALSE(f.Seek(static_cast<long>(INT64_C(0x80000000)), 0));
    }
    EXPECT_FALSE(f.Seek(std::numeric_limits<long>::max(), 1));
    EXPECT_EQ(f.Tell(), 1);
    EXPECT_EQ(f.Block(), before);
    EXPECT_EQ(f.Capacity(), cap);
    EXPECT_EQ(f.Size(), 1);
    // At the very top of the position range a write of one byte more must fail.
    ASSERT_TRUE(f.Seek(0x7FFFFFFFL, 0));
    EXPECT_FALSE(f.PutC(1));
    EXPECT_EQ(f.Size(), 1);
}

TEST(GwMemFileTest, WithoutABlockEveryOperationAnswersNothing) {
    GwMemFile f;
    char c;
    EXPECT_EQ(f.Read(&c, 1, 1), 0u);
    EXPECT_EQ(f.Write(&c, 1, 1), 0u);
    EXPECT_FALSE(f.Seek(0, 0));
    EXPECT_EQ(f.Tell(), -1);
    EXPECT_EQ(f.Size(), -1);
    EXPECT_FALSE(f.Flush());
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.Error(), -1);
    EXPECT_FALSE(f.PutC(1));
    EXPECT_EQ(f.GetC(), -1);
    EXPECT_TRUE(f.Close());
}

TEST(GwMemFileTest, WrappedCallerBlockIsReadInPlaceAndNeverResized) {
    BYTE data[4] = {1, 2, 3, 4};
    MemProbe f(data, sizeof data);
    EXPECT_FALSE(f.Owns());
    EXPECT_EQ(f.GetC(), 1);
    ASSERT_TRUE(f.Seek(0, 2));
    // Growing moves the bytes into a block of the stream's own; the caller's array stays.
    ASSERT_TRUE(f.PutC(5));
    EXPECT_NE(f.Block(), data);
    EXPECT_TRUE(f.Owns());
    EXPECT_EQ(data[3], 4);
    ASSERT_TRUE(f.Seek(0, 0));
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(f.GetC(), i);
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(f.Size(), -1);
}

TEST(GwMemFileTest, DetachingHandsTheBlockOverAndKeepingItLeavesItOwned) {
    MemProbe kept;
    ASSERT_TRUE(kept.Open());
    ASSERT_TRUE(kept.PutC('k'));
    BYTE* block = kept.GetBuffer(false);
    EXPECT_TRUE(kept.Owns());
    EXPECT_EQ(block[0], 'k');
    kept.Close();  // frees it; ASan would report a leak otherwise
    EXPECT_EQ(kept.Size(), -1);

    BYTE* taken;
    {
        GwMemFile f;
        ASSERT_TRUE(f.Open());
        ASSERT_EQ(f.Write("abc", 1, 3), 3u);
        taken = f.GetBuffer();
    }  // the destructor must not free a detached block
    EXPECT_EQ(0, std::memcmp(taken, "abc", 3));
    std::free(taken);
}

TEST(GwMemFileTest, CopiesOfAnOwningStreamNeverShareTheBlock) {
    GwMemFile a;
    ASSERT_TRUE(a.Open());
    ASSERT_EQ(a.Write("hello", 1, 5), 5u);
    GwMemFile b(a);
    GwMemFile c;
    c = a;
    GwMemFile& alias = c;
    c = alias;  // self-assignment keeps the block
    a.Close();
    // b and c still read their own bytes after a freed its block; growth of one does not
    // disturb the other.
    ASSERT_TRUE(b.Seek(0, 0));
    char out[6] = {};
    EXPECT_EQ(b.Read(out, 1, 5), 5u);
    EXPECT_STREQ(out, "hello");
    ASSERT_TRUE(c.Seek(0, 2));
    std::vector<char> big(10000, 'x');
    EXPECT_EQ(c.Write(big.data(), 1, big.size()), big.size());
    EXPECT_EQ(c.Size(), 10005);
    EXPECT_EQ(b.Size(), 5);
}

TEST(GwIOFileTest, BorrowedStreamIsNeverClosed) {
    FILE* fp = std::tmpfile();
    ASSERT_NE(fp, nullptr);
    {
        GwIOFile f(fp);
        EXPECT_TRUE(f.PutC('a'));
        EXPECT_FALSE(f.Open("/dev/null", "rb"));  // a stream is already set
        EXPECT_TRUE(f.Close());
    }
    // fp is still usable after Close and destruction of the wrapper.
    EXPECT_EQ(std::fputc('b', fp), 'b');
    EXPECT_EQ(std::ftell(fp), 2);
    std::fclose(fp);
}

TEST(GwIOFileTest, OpenedStreamReadsWritesMeasuresAndCloses) {
    std::string path = TempPath("rw");
    GwIOFile w;
    ASSERT_TRUE(w.Open(path.c_str(), "wb"));
    EXPECT_EQ(w.Write("0123456789", 1, 10), 10u);
    EXPECT_TRUE(w.Flush());
    EXPECT_TRUE(w.Seek(3, 0));
    EXPECT_EQ(w.Size(), 10);
    EXPECT_EQ(w.Tell(), 3);  // Size leaves the position where it was
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(w.Tell(), 0);
    EXPECT_EQ(w.Size(), -1);
    EXPECT_TRUE(w.Eof());
    EXPECT_EQ(w.Error(), -1);
    EXPECT_FALSE(w.PutC('x'));
    EXPECT_EQ(w.GetC(), -1);

    GwIOFile r;
    EXPECT_FALSE(r.Open((path + ".missing").c_str(), "rb"));
    ASSERT_TRUE(r.Open(path.c_str(), "rb"));
    char twelve[12];
    EXPECT_EQ(r.Read(twelve, 4, 3), 2u);  // two whole elements from ten bytes
    EXPECT_TRUE(r.Eof());
    EXPECT_EQ(r.Error(), 0);
    ASSERT_TRUE(r.Seek(-1, 2));
    EXPECT_EQ(r.GetC(), '9');
    EXPECT_EQ(r.GetC(), -1);
    std::remove(path.c_str());
}

TEST(GwIOFileTest, CopiesOfAnOwnedStreamCloseItExactlyOnce) {
    std::string path = TempPath("copy");
    GwIOFile* a = new GwIOFile;
    ASSERT_TRUE(a->Open(path.c_str(), "wb+"));
    GwIOFile b(*a);
    GwIOFile c;
    c = b;
    // Closing the first holder only lets go of the stream; the others keep writing.
    EXPECT_TRUE(a->Close());
    delete a;
    EXPECT_TRUE(b.PutC('1'));
    EXPECT_TRUE(b.Close());
    EXPECT_TRUE(c.PutC('2'));
    EXPECT_TRUE(c.Flush());
    EXPECT_EQ(c.Size(), 2);
    EXPECT_TRUE(c.Close());  // the last holder really closes; ASan/valgrind catch a double fclose
    FILE* fp = std::fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    char buf[3] = {};
    EXPECT_EQ(std::fread(buf, 1, 3, fp), 2u);
    EXPECT_STREQ(buf, "12");
    std::fclose(fp);
    std::remove(path.c_str());
}

}  // namespace
