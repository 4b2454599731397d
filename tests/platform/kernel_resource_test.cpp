// Module resources: registration by integer id and by name, lookup rules (case, "#id"),
// module separation, the load/lock/size sequence, copies, refusals and unregistration.
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const BYTE kBitmapBytes[] = {'B', 'M', 1, 2, 3};
const char kText[] = "glyphwell";

TEST(KernelResource, FindLoadLockAndSizeAResourceById) {
    HINSTANCE module = standin::RegisterModule("resource-test-ids");
    ASSERT_TRUE(standin::RegisterResource(module, RT_BITMAP, MAKEINTRESOURCE(101), kBitmapBytes, sizeof kBitmapBytes));
    HRSRC r = FindResource(module, MAKEINTRESOURCE(101), RT_BITMAP);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(FindResource(module, "#101", RT_BITMAP), r);
    EXPECT_EQ(FindResource(module, MAKEINTRESOURCE(101), "#2"), r);
    EXPECT_EQ(SizeofResource(module, r), sizeof kBitmapBytes);
    HGLOBAL loaded = LoadResource(module, r);
    ASSERT_NE(loaded, nullptr);
    const void* bytes = LockResource(loaded);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::memcmp(bytes, kBitmapBytes, sizeof kBitmapBytes), 0);
    EXPECT_NE(bytes, static_cast<const void*>(kBitmapBytes)) << "the bytes are the module's own copy";
    EXPECT_NE(LockResource(loaded), nullptr) << "resources stay loaded";

    SetLastError(0);
    EXPECT_EQ(FindResource(module, MAKEINTRESOURCE(102), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResource(module, MAKEINTRESOURCE(101), RT_ICON), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    standin::UnregisterResources(module);
}

TEST(KernelResource, NamesCompareWithoutCaseAndModulesAreSeparate) {
    HINSTANCE a = standin::RegisterModule("resource-test-a");
    HINSTANCE b = standin::RegisterModule("resource-test-b");
    EXPECT_NE(a, b);
    EXPECT_EQ(standin::RegisterModule("RESOURCE-TEST-A"), a);

    ASSERT_TRUE(standin::RegisterResource(a, "TYPELIB", "Glyphwell", kText, sizeof kText));
    HRSRC r = FindResource(a, "GLYPHWELL", "typelib");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(FindResource(b, "Glyphwell", "TYPELIB"), nullptr);
    EXPECT_EQ(FindResource(nullptr, "Glyphwell", "TYPELIB"), nullptr);
    EXPECT_EQ(LoadResource(b, r), nullptr) << "a resource loads only through its own module";
    EXPECT_EQ(SizeofResource(b, r), 0u);
    EXPECT_NE(LoadResource(nullptr, r), nullptr);
    // A name is not an id: "101" the string is not MAKEINTRESOURCE(101).
    ASSERT_TRUE(standin::RegisterResource(b, RT_RCDATA, "101", kText, 3));
    EXPECT_EQ(FindResource(b, MAKEINTRESOURCE(101), RT_RCDATA), nullptr);
    EXPECT_NE(FindResource(b, "101", RT_RCDATA), nullptr);
    standin::UnregisterResources(a);
    standin::UnregisterResources(b);
}

TEST(KernelResource, BadDeclarationsAndHandlesAreRefused) {
    HINSTANCE m = standin::RegisterModule("resource-test-refusals");
    ASSERT_TRUE(standin::RegisterResource(m, RT_RCDATA, MAKEINTRESOURCE(1), kText, 4));
    EXPECT_FALSE(standin::RegisterResource(m, RT_RCDATA, MAKEINTRESOURCE(1), kText, 4)) << "duplicate";
    EXPECT_FALSE(standin::RegisterResource(m, RT_RCDATA, "#1", kText, 4)) << "the same id spelt as a string";
    EXPECT_FALSE(standin::RegisterResource(m, RT_RCDATA, MAKEINTRESOURCE(2), nullptr, 4));
    EXPECT_FALSE(standin::RegisterResource(m, RT_RCDATA, MAKEINTRESOURCE(0), kText, 4));
    EXPECT_FALSE(standin::RegisterResource(m, RT_RCDATA, "#12x", kText, 4));
    EXPECT_FALSE(standin::RegisterResource(m, RT_RCDATA, "#70000", kText, 4));
    EXPECT_FALSE(standin::RegisterResource(m, nullptr, "name", kText, 4));

    // Zero-length resources still have an address.
    ASSERT_TRUE(standin::RegisterResource(m, RT_RCDATA, "EMPTY", nullptr, 0));
    HRSRC empty = FindResource(m, "empty", RT_RCDATA);
    EXPECT_EQ(SizeofResource(m, empty), 0u);
    EXPECT_NE(LockResource(LoadResource(m, empty)), nullptr);

    int local = 0;
    EXPECT_EQ(LoadResource(m, reinterpret_cast<HRSRC>(&local)), nullptr);
    EXPECT_EQ(SizeofResource(m, reinterpret_cast<HRSRC>(&local)), 0u);
    EXPECT_EQ(LockResource(&local), nullptr);
    EXPECT_EQ(LockResource(nullptr), nullptr);

    // After unregistration every old handle is refused.
    HRSRC r = FindResource(m, MAKEINTRESOURCE(1), RT_RCDATA);
    HGLOBAL loaded = LoadResource(m, r);
    standin::UnregisterResources(m);
    EXPECT_EQ(FindResource(m, MAKEINTRESOURCE(1), RT_RCDATA), nullptr);
    EXPECT_EQ(SizeofResource(m, r), 0u);
    EXPECT_EQ(LockResource(loaded), nullptr);
}

}  // namespace
