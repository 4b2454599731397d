// Global memory: fixed and movable blocks, lock counts, sizes, discarded blocks, refusal of
// oversized requests, and handle validation.
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
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
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
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(KernelMemory, OversizedRequestsAndForeignHandlesAreRefused) {
    SetLastError(0);
    EXPECT_EQ(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(kGlobalMaxBytes) + 1), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, SIZE_MAX), nullptr);

    int local = 0;
    HGLOBAL foreign = &local;
    EXPECT_EQ(GlobalLock(foreign), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalSize(foreign), 0u);
    EXPECT_FALSE(GlobalUnlock(foreign));
    EXPECT_EQ(GlobalFree(foreign), foreign);
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
}

}  // namespace
