// Type libraries: the text form round trip, refusal of damaged text, and registration that
// LoadRegTypeLib reads back by version.
#include <gtest/gtest.h>

#include "platform/win32.h"

namespace {

standin::TypeLibDesc Sample(WORD minor) {
    standin::TypeLibDesc d;
    d.name = "SampleLib";
    GwGuidFromString("{11111111-2222-3333-4444-555555555555}", &d.libid);
    d.major = 2;
    d.minor = minor;
    d.lcid = 0x0409;
    d.flags = LIBFLAG_FCONTROL;
    d.helpFile = "Sample help.hlp";
    d.helpString = "A \"sample\" library, 100% test";
    standin::TypeLibType t;
    t.name = "_DSample";
    GwGuidFromString("{AAAAAAAA-2222-3333-4444-555555555555}", &t.guid);
    t.flags = TYPEFLAG_FHIDDEN | TYPEFLAG_FDISPATCHABLE;
    t.helpString = "Dispatch";
    t.members = {{"Size", 1, true, "short", ""}, {"Reset", -552, false, "void", ""}};
    d.types.push_back(t);
    standin::TypeLibType c;
    c.kind = standin::kClassType;
    c.name = "Sample";
    GwGuidFromString("{CCCCCCCC-2222-3333-4444-555555555555}", &c.guid);
    c.flags = TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL;
    c.defaultInterface = t.guid;
    d.types.push_back(c);
    return d;
}

TEST(ComTypeLib, TextFormRoundTrips) {
    const standin::TypeLibDesc d = Sample(3);
    standin::TypeLibDesc back;
    ASSERT_TRUE(standin::TypeLibFromText(standin::TypeLibToText(d), &back));
    EXPECT_EQ(back.name, d.name);
    EXPECT_EQ(back.libid, d.libid);
    EXPECT_EQ(back.minor, 3);
    EXPECT_EQ(back.helpFile, d.helpFile);
    EXPECT_EQ(back.helpString, d.helpString);
    ASSERT_EQ(back.types.size(), 2u);
    EXPECT_EQ(back.types[0].members[1].dispid, -552);
    EXPECT_FALSE(back.types[0].members[1].isProperty);
    EXPECT_EQ(back.types[1].kind, standin::kClassType);
    EXPECT_EQ(back.types[1].defaultInterface, d.types[0].guid);
}

TEST(ComTypeLib, DamagedTextIsRefused) {
    const std::string good = standin::TypeLibToText(Sample(0));
    standin::TypeLibDesc out;
    out.name = "untouched";
    EXPECT_FALSE(standin::TypeLibFromText("", &out));
    EXPECT_FALSE(standin::TypeLibFromText(good.substr(0, good.size() - 4), &out));  // no end line
    EXPECT_FALSE(standin::TypeLibFromText("property X 1 short\n" + good, &out));   // member before its type
    std::string unterminated = good;
    unterminated.replace(unterminated.find("\"Sample help"), 1, "");
    EXPECT_FALSE(standin::TypeLibFromText(unterminated, &out));
    EXPECT_EQ(out.name, "untouched");
}

TEST(ComTypeLib, RegisterLoadByVersionAndUnregister) {
    standin::RegistryUseMemory();
    ITypeLib* lib = standin::CreateTypeLib(Sample(1));
    ASSERT_EQ(RegisterTypeLib(lib, "/opt/sample/libsample.so", nullptr), S_OK);
    lib->Release();
    ITypeLib* loaded = nullptr;
    ASSERT_EQ(LoadRegTypeLib(Sample(0).libid, 2, 0, 0, &loaded), S_OK);  // a newer minor satisfies
    EXPECT_EQ(standin::DescriptionOf(loaded)->minor, 1);
    loaded->Release();
    EXPECT_EQ(LoadRegTypeLib(Sample(0).libid, 2, 2, 0, &loaded), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(Sample(0).libid, 3, 0, 0, &loaded), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(loaded, nullptr);
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "TypeLib\\{11111111-2222-3333-4444-555555555555}\\2.1\\409\\win32", 0,
                            KEY_READ, &k),
              ERROR_SUCCESS);
    char path[128];
    DWORD size = sizeof path;
    ASSERT_EQ(RegQueryValueExA(k, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size), ERROR_SUCCESS);
    EXPECT_STREQ(path, "/opt/sample/libsample.so");
    RegCloseKey(k);
    EXPECT_EQ(UnRegisterTypeLib(Sample(0).libid, 2, 1, 0, SYS_WIN32), S_OK);
    EXPECT_EQ(UnRegisterTypeLib(Sample(0).libid, 2, 1, 0, SYS_WIN32), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Interface\\{AAAAAAAA-2222-3333-4444-555555555555}", 0, KEY_READ, &k),
              ERROR_FILE_NOT_FOUND);
    // A read-only registry makes registration fail as a whole.
    standin::RegistrySetWritable(false);
    lib = standin::CreateTypeLib(Sample(1));
    EXPECT_EQ(RegisterTypeLib(lib, "/x", nullptr), TYPE_E_REGISTRYACCESS);
    lib->Release();
    standin::RegistrySetWritable(true);
    standin::RegistryUseMemory();
}

}  // namespace
