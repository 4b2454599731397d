// Global memory: fixed and movable blocks, lock counts, sizes, discarded blocks, resizing
// rules, refusal of oversized requests, and handle validation.
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(KernelMemory, FixedBlocksAreTheirOwnAddress) {
    HGLOBAL h = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 37);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), h);
    EXPECT_EQ(GlobalSize(h), 37u);
    const auto* p = static_cast<const unsigned char*>(h);
    for (int i = 0; i < 37; ++i) EXPECT_EQ(p[i], 0) << i;
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 0u) << "fixed blocks keep no lock count";
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(GlobalHandle(h), h);
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(GlobalFree(h), h) << "a freed handle is refused";
    EXPECT_EQ(GlobalSize(h), 0u);

    HGLOBAL empty = GlobalAlloc(GPTR, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GlobalSize(empty), 0u);
    EXPECT_EQ(GlobalFree(empty), nullptr);
}

TEST(KernelMemory, MovableBlocksCountLocks) {
    HGLOBAL h = GlobalAlloc(GHND, 100);
    ASSERT_NE(h, nullptr);
    void* p = GlobalLock(h);
    ASSERT_NE(p, nullptr);
    EXPECT_NE(p, static_cast<void*>(h)) << "a movable handle is not the address";
    EXPECT_EQ(GlobalLock(h), p);
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 2u);
    EXPECT_EQ(GlobalHandle(p), h);
    EXPECT_TRUE(GlobalUnlock(h));
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(GlobalSize(h), 100u);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(KernelMemory, ZeroByteMovableBlocksAreDiscarded) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_NE(GlobalFlags(h) & GMEM_DISCARDED, 0u);
    EXPECT_EQ(GlobalSize(h), 0u);
    ASSERT_EQ(GlobalReAlloc(h, 8, GMEM_ZEROINIT), h);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[7], 0);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalReAlloc(h, 0, 0), h);  // discarding again keeps the handle
    EXPECT_EQ(GlobalLock(h), nullptr);
    GlobalFree(h);
}

TEST(KernelMemory, ResizingKeepsContentsAndRespectsLocksAndFixedAddresses) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(h), "abcd", 4);
    GlobalUnlock(h);
    ASSERT_EQ(GlobalReAlloc(h, 4096, GMEM_ZEROINIT), h);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
    EXPECT_EQ(p[4095], 0);
    EXPECT_EQ(GlobalSize(h), 4096u);
    // While locked it may shrink in place but not grow to a new address.
    EXPECT_EQ(GlobalReAlloc(h, 1 << 20, 0), nullptr);
    EXPECT_EQ(GlobalSize(h), 4096u);
    EXPECT_EQ(GlobalReAlloc(h, 2, 0), h);
    EXPECT_EQ(GlobalLock(h), p);
    EXPECT_EQ(GlobalSize(h), 2u);
    // Growing back within the old allocation with GMEM_ZEROINIT clears the regained bytes.
    EXPECT_EQ(GlobalReAlloc(h, 4, GMEM_ZEROINIT), h);
    EXPECT_EQ(p[2], 0);
    GlobalFree(h);

    HGLOBAL f = GlobalAlloc(GMEM_FIXED, 3);
    std::memcpy(f, "xyz", 3);
    EXPECT_EQ(GlobalReAlloc(f, 1 << 20, 0), nullptr) << "a fixed block moves only when allowed";
    EXPECT_EQ(GlobalSize(f), 3u);
    HGLOBAL moved = GlobalReAlloc(f, 1 << 20, GMEM_MOVEABLE);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(std::memcmp(moved, "xyz", 3), 0);
    EXPECT_EQ(GlobalLock(moved), moved);
    if (moved != f) {
        EXPECT_EQ(GlobalSize(f), 0u) << "the old address is no longer a block";
    }
    GlobalFree(moved);
}

TEST(KernelMemory, OversizedRequestsAndForeignHandlesAreRefused) {
    SetLastError(0);
    EXPECT_EQ(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(kGlobalMaxBytes) + 1), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, SIZE_MAX), nullptr);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
    EXPECT_EQ(GlobalReAlloc(h, SIZE_MAX, GMEM_MOVEABLE), nullptr);
    EXPECT_EQ(GlobalSize(h), 16u);
    EXPECT_EQ(GlobalReAlloc(h, 8, GMEM_MODIFY), nullptr);
    GlobalFree(h);

    int local = 0;
    HGLOBAL foreign = &local;
    EXPECT_EQ(GlobalLock(foreign), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalSize(foreign), 0u);
    EXPECT_FALSE(GlobalUnlock(foreign));
    EXPECT_EQ(GlobalFree(foreign), foreign);
    EXPECT_EQ(GlobalReAlloc(foreign, 4, 0), nullptr);
    EXPECT_EQ(GlobalFlags(foreign), static_cast<UINT>(GMEM_INVALID_HANDLE));
    EXPECT_EQ(GlobalHandle(&local), nullptr);
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
}

}  // namespace
