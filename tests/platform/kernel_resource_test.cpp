// Module resources: registration by integer id and by name, lookup rules (case, "#id"),
// module separation, the load/lock/size sequence, copies, refusals and unregistration.
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const BYTE kBitmapBytes[] = {'B', 'M', 1, 2, 3};
const char kText[] = "glyphwell";

TEST(KernelResource, FindLoadLockAndSizeAResourceById) {
    HINSTANCE module = GwRegisterModule("resource-test-ids");
    ASSERT_TRUE(GwRegisterResource(module, RT_BITMAP, MAKEINTRESOURCE(101), kBitmapBytes, sizeof kBitmapBytes));
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
    EXPECT_FALSE(FreeResource(loaded));
    EXPECT_NE(LockResource(loaded), nullptr) << "resources stay loaded";

    SetLastError(0);
    EXPECT_EQ(FindResource(module, MAKEINTRESOURCE(102), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResource(module, MAKEINTRESOURCE(101), RT_ICON), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    GwUnregisterResources(module);
}

TEST(KernelResource, NamesCompareWithoutCaseAndModulesAreSeparate) {
    HINSTANCE a = GwRegisterModule("resource-test-a");
    HINSTANCE b = GwRegisterModule("resource-test-b");
    EXPECT_NE(a, b);
    EXPECT_EQ(GwRegisterModule("RESOURCE-TEST-A"), a);
    EXPECT_EQ(GetModuleHandle("Resource-Test-A"), a);
    EXPECT_EQ(GetModuleHandle("resource-test-unknown"), nullptr);
    EXPECT_NE(GetModuleHandle(nullptr), nullptr);
    EXPECT_NE(GetModuleHandle(nullptr), a);

    ASSERT_TRUE(GwRegisterResource(a, "TYPELIB", "Glyphwell", kText, sizeof kText));
    HRSRC r = FindResource(a, "GLYPHWELL", "typelib");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(FindResource(b, "Glyphwell", "TYPELIB"), nullptr);
    EXPECT_EQ(FindResource(nullptr, "Glyphwell", "TYPELIB"), nullptr);
    EXPECT_EQ(LoadResource(b, r), nullptr) << "a resource loads only through its own module";
    EXPECT_EQ(SizeofResource(b, r), 0u);
    EXPECT_NE(LoadResource(nullptr, r), nullptr);
    // A name is not an id: "101" the string is not MAKEINTRESOURCE(101).
    ASSERT_TRUE(GwRegisterResource(b, RT_RCDATA, "101", kText, 3));
    EXPECT_EQ(FindResource(b, MAKEINTRESOURCE(101), RT_RCDATA), nullptr);
    EXPECT_NE(FindResource(b, "101", RT_RCDATA), nullptr);
    GwUnregisterResources(a);
    GwUnregisterResources(b);
}

TEST(KernelResource, BadDeclarationsAndHandlesAreRefused) {
    HINSTANCE m = GwRegisterModule("resource-test-refusals");
    ASSERT_TRUE(GwRegisterResource(m, RT_RCDATA, MAKEINTRESOURCE(1), kText, 4));
    EXPECT_FALSE(GwRegisterResource(m, RT_RCDATA, MAKEINTRESOURCE(1), kText, 4)) << "duplicate";
    EXPECT_FALSE(GwRegisterResource(m, RT_RCDATA, "#1", kText, 4)) << "the same id spelt as a string";
    EXPECT_FALSE(GwRegisterResource(m, RT_RCDATA, MAKEINTRESOURCE(2), nullptr, 4));
    EXPECT_FALSE(GwRegisterResource(m, RT_RCDATA, MAKEINTRESOURCE(0), kText, 4));
    EXPECT_FALSE(GwRegisterResource(m, RT_RCDATA, "#12x", kText, 4));
    EXPECT_FALSE(GwRegisterResource(m, RT_RCDATA, "#70000", kText, 4));
    EXPECT_FALSE(GwRegisterResource(m, nullptr, "name", kText, 4));
    // A table is all or nothing.
    const GwResourceEntry table[] = {{RT_RCDATA, MAKEINTRESOURCE(5), kText, 2}, {RT_RCDATA, MAKEINTRESOURCE(1), kText, 2}};
    EXPECT_FALSE(GwRegisterResources(m, table, 2));
    EXPECT_EQ(FindResource(m, MAKEINTRESOURCE(5), RT_RCDATA), nullptr);

    // Zero-length resources still have an address.
    ASSERT_TRUE(GwRegisterResource(m, RT_RCDATA, "EMPTY", nullptr, 0));
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
    GwUnregisterResources(m);
    EXPECT_EQ(FindResource(m, MAKEINTRESOURCE(1), RT_RCDATA), nullptr);
    EXPECT_EQ(SizeofResource(m, r), 0u);
    EXPECT_EQ(LockResource(loaded), nullptr);
}

TEST(KernelResource, ATableDeclaresManyResourcesForTheProgram) {
    const GwResourceEntry table[] = {
        {RT_STRING, MAKEINTRESOURCE(1), kText, 5},
        {RT_VERSION, MAKEINTRESOURCE(1), kBitmapBytes, sizeof kBitmapBytes},
    };
    ASSERT_TRUE(GwRegisterResources(nullptr, table, 2));
    HRSRC s = FindResource(nullptr, MAKEINTRESOURCE(1), RT_STRING);
    HRSRC v = FindResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(1), RT_VERSION);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, s), 5u);
    EXPECT_EQ(std::memcmp(LockResource(LoadResource(nullptr, s)), "glyph", 5), 0);
    EXPECT_EQ(SizeofResource(nullptr, v), sizeof kBitmapBytes);
    GwUnregisterResources(nullptr);
    EXPECT_EQ(FindResource(nullptr, MAKEINTRESOURCE(1), RT_STRING), nullptr);
}

}  // namespace
