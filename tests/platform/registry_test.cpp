// The registry: keys without regard to case, values and their size protocol, deletion rules,
// refusals while read-only, and the file form that carries it between processes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/win32.h"

namespace {

class Registry : public ::testing::Test {
protected:
    void SetUp() override { standin::RegistryUseMemory(); }
    void TearDown() override { standin::RegistryUseMemory(); }
};

LONG SetSz(HKEY k, const char* name, const char* value) {
    return RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(std::strlen(value) + 1));
}

// Creates the key (and its parents) and gives it a default string value.
LONG MakeKey(const char* path, const char* value) {
    HKEY k;
    LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = SetSz(k, nullptr, value);
    RegCloseKey(k);
    return rc;
}

TEST_F(Registry, KeysValuesAndTheSizeProtocol) {
    HKEY k;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "A\\B\\C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    ASSERT_EQ(SetSz(k, nullptr, "default"), ERROR_SUCCESS);
    const DWORD d = 131473;
    ASSERT_EQ(RegSetValueExA(k, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), 4), ERROR_SUCCESS);
    RegCloseKey(k);

    HKEY again;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "a\\b\\c", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(again, "", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 8u);
    char small[4];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(again, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    DWORD number = 0;
    size = 4;
    ASSERT_EQ(RegQueryValueExA(again, "NUMBER", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size), ERROR_SUCCESS);
    EXPECT_EQ(number, 131473u);
    EXPECT_EQ(RegQueryValueExA(again, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(again);
    EXPECT_EQ(RegCloseKey(again), ERROR_INVALID_HANDLE);
    HKEY none;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "A\\X", 0, KEY_READ, &none), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, DeletionRules) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "P\\Q\\R", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    // A key with subkeys is refused; its leaves go first.
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "P\\Q"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "P\\Q\\R"), ERROR_SUCCESS);
    // A handle to a deleted key fails cleanly.
    EXPECT_EQ(SetSz(k, "v", "x"), ERROR_KEY_DELETED);
    RegCloseKey(k);
    ASSERT_EQ(MakeKey("P\\Q\\S\\T", "leaf"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "P"), ERROR_SUCCESS);
    EXPECT_EQ(standin::RegistryDump(), "");
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "P"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, ReadOnlyRefusesEveryChange) {
    ASSERT_EQ(MakeKey("Keep", "me"), ERROR_SUCCESS);
    standin::RegistrySetWritable(false);
    HKEY k;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Keep", 0, KEY_READ, &k), ERROR_SUCCESS);
    EXPECT_EQ(SetSz(k, nullptr, "changed"), ERROR_ACCESS_DENIED);
    RegCloseKey(k);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Keep"), ERROR_ACCESS_DENIED);
    standin::RegistrySetWritable(true);
    EXPECT_EQ(standin::RegistryDump(), "[HKEY_CLASSES_ROOT\\Keep]\n@=sz:\"me\"\n");
}

TEST_F(Registry, FileFormRoundTripsOddNamesAndValues) {
    const std::string path = ::testing::TempDir() + "gw_registry_test/sub/registry";
    std::remove(path.c_str());
    ASSERT_TRUE(standin::RegistryUseFile(path));
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Odd]%\"Name", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(SetSz(k, "line", "two\nlines \"quoted\" 100%"), ERROR_SUCCESS);
    const BYTE blob[] = {0, 1, 2, 0xFF};
    ASSERT_EQ(RegSetValueExA(k, "blob", 0, REG_BINARY, blob, 4), ERROR_SUCCESS);
    RegCloseKey(k);
    const std::string before = standin::RegistryDump();
    standin::RegistryUseMemory();
    EXPECT_EQ(standin::RegistryDump(), "");
    ASSERT_TRUE(standin::RegistryUseFile(path));  // another process would see the same
    EXPECT_EQ(standin::RegistryDump(), before);
    // A damaged file is reported and starts empty rather than half-read.
    { std::ofstream(path) << "GLYPHWELL-REGISTRY 1\n[HKEY_CLASSES_ROOT\\A]\nbroken line\n"; }
    EXPECT_FALSE(standin::RegistryUseFile(path));
    EXPECT_EQ(standin::RegistryDump(), "");
}

TEST(RegistryPath, EnvironmentChoosesTheFile) {
    const char* saved = std::getenv("GLYPHWELL_REGISTRY");
    const std::string keep = saved ? saved : "";
    const char* home = std::getenv("HOME");
    const std::string keepHome = home ? home : "";
    setenv("GLYPHWELL_REGISTRY", "/tmp/explicit", 1);
    EXPECT_EQ(standin::RegistryDefaultPath(), "/tmp/explicit");
    unsetenv("GLYPHWELL_REGISTRY");
    setenv("XDG_DATA_HOME", "/tmp/xdg", 1);
    EXPECT_EQ(standin::RegistryDefaultPath(), "/tmp/xdg/glyphwell/registry");
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(standin::RegistryDefaultPath(), "/home/someone/.local/share/glyphwell/registry");
    if (saved) setenv("GLYPHWELL_REGISTRY", keep.c_str(), 1);
    if (home) setenv("HOME", keepHome.c_str(), 1);
}

}  // namespace
