// The module: self-registration entries and their removal, the type-library failure path, class
// objects, the unload decision, and the shared module's exports.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "control/glyphwell_resources.h"
#include "tests/control/control_host.h"

using namespace gwtest;

namespace {

std::string Value(const std::string& key, const char* name = nullptr) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "<no key>";
    char buf[1024];
    DWORD size = sizeof buf, type = 0;
    const LONG rc = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS) return "<no value>";
    return std::string(buf, size ? size - 1 : 0);
}

bool KeyExists(const std::string& key) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override { standin::RegistryUseMemory(); }
    void TearDown() override { standin::RegistryUseMemory(); }
    const std::string ctrlKey = "CLSID\\" + GwGuidToString(CLSID_Glyphwell);
    const std::string pageKey = "CLSID\\" + GwGuidToString(CLSID_GlyphwellPropPage);
    const std::string libKey = "TypeLib\\" + GwGuidToString(LIBID_GLYPHWELLLib);
};

TEST_F(Registration, RegistersControlPageAndTypeLibrary) {
    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(Value(ctrlKey), "Glyphwell Control");
    EXPECT_EQ(Value(ctrlKey + "\\ProgID"), "GLYPHWELL.GlyphwellCtrl.1");
    EXPECT_EQ(Value(ctrlKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Value(ctrlKey + "\\MiscStatus\\1"), "131473");
    EXPECT_TRUE(KeyExists(ctrlKey + "\\Control"));
    EXPECT_FALSE(KeyExists(ctrlKey + "\\Insertable"));
    const std::string toolbox = Value(ctrlKey + "\\ToolboxBitmap32");
    EXPECT_EQ(toolbox.substr(toolbox.size() - 3), ", 1");
    EXPECT_EQ(Value(ctrlKey + "\\TypeLib"), GwGuidToString(LIBID_GLYPHWELLLib));
    EXPECT_EQ(Value(ctrlKey + "\\Version"), "1.0");
    EXPECT_EQ(Value("GLYPHWELL.GlyphwellCtrl.1\\CLSID"), GwGuidToString(CLSID_Glyphwell));
    // The page: its type name only; its ProgID is never written.
    EXPECT_EQ(Value(pageKey), "Glyphwell Property Page");
    EXPECT_FALSE(KeyExists(pageKey + "\\ProgID"));
    EXPECT_FALSE(KeyExists("GLYPHWELL.GlyphwellPropPage.1"));
    EXPECT_EQ(Value(libKey + "\\1.0"), "Glyphwell ActiveX Control module.");
    EXPECT_EQ(Value(libKey + "\\1.0\\FLAGS"), "2");
    EXPECT_EQ(Value("Interface\\" + GwGuidToString(DIID__DGlyphwell)), "_DGlyphwell");
}

TEST_F(Registration, TypeLibraryReadsBackWithEveryMember) {
    ITypeLib* lib = nullptr;
    EXPECT_EQ(LoadRegTypeLib(LIBID_GLYPHWELLLib, 1, 0, 0x0409, &lib), TYPE_E_LIBNOTREGISTERED);
    ASSERT_EQ(DllRegisterServer(), S_OK);
    ASSERT_EQ(LoadRegTypeLib(LIBID_GLYPHWELLLib, 1, 0, 0x0409, &lib), S_OK);
    const standin::TypeLibDesc& d = *standin::DescriptionOf(lib);
    EXPECT_EQ(d.name, "GLYPHWELLLib");
    EXPECT_EQ(d.helpFile, "Glyphwell.hlp");
    EXPECT_EQ(d.lcid, 0x0409u);
    EXPECT_EQ(d.flags, static_cast<DWORD>(LIBFLAG_FCONTROL));
    const standin::TypeLibType* dispatch = d.FindType(DIID__DGlyphwell);
    ASSERT_NE(dispatch, nullptr);
    EXPECT_TRUE(dispatch->flags & TYPEFLAG_FHIDDEN);
    EXPECT_EQ(dispatch->helpString, "Dispatch interface for Glyphwell Control");
    ASSERT_EQ(dispatch->members.size(), 15u);
    EXPECT_EQ(dispatch->members[11].name, "BackGroundColor");
    EXPECT_EQ(dispatch->members[11].typeName, "OLE_COLOR");
    EXPECT_EQ(dispatch->members[14].dispid, DISPID_ABOUTBOX);
    EXPECT_FALSE(dispatch->members[14].isProperty);
    const standin::TypeLibType* events = d.FindType(DIID__DGlyphwellEvents);
    ASSERT_NE(events, nullptr);
    EXPECT_TRUE(events->members.empty());
    const standin::TypeLibType* coclass = d.FindType(CLSID_Glyphwell);
    ASSERT_NE(coclass, nullptr);
    EXPECT_EQ(coclass->name, "Glyphwell");
    EXPECT_EQ(coclass->defaultInterface, DIID__DGlyphwell);
    EXPECT_EQ(coclass->defaultSource, DIID__DGlyphwellEvents);
    lib->Release();
    // The control finds its library through the module cache.
    ControlRef c;
    ITypeLib* viaControl = nullptr;
    ASSERT_EQ(c->GetTypeLib(0x0409, &viaControl), S_OK);
    EXPECT_EQ(standin::DescriptionOf(viaControl)->libid, LIBID_GLYPHWELLLib);
    viaControl->Release();
    // What hosts ask at run time: the dispatch interface's type information (names and calls
    // through it), the class and its default event interface, the user type name.
    UINT count = 0;
    EXPECT_EQ(c->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(c->GetTypeInfo(0, 0x0409, &info), S_OK);
    GwOleString name = OLESTR("pixelsize");
    LPOLESTR names[1] = {&name[0]};
    MEMBERID id = MEMBERID_NIL;
    EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, dispidPixelSize);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I2;
    v.iVal = 5;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&v, &named, 1, 1};
    EXPECT_EQ(info->Invoke(c.disp(), id, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Get(c.disp(), "PixelSize").iVal, 5);
    info->Release();
    ASSERT_EQ(c->GetClassInfo(&info), S_OK);
    BSTR className = nullptr;
    EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &className, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(GwUtf8FromWide(className, SysStringLen(className)), "Glyphwell");
    SysFreeString(className);
    info->Release();
    GUID source = GUID_NULL;
    EXPECT_EQ(c->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_EQ(source, DIID__DGlyphwellEvents);
    LPOLESTR userType = nullptr;
    ASSERT_EQ(c->GetUserType(USERCLASSTYPE_FULL, &userType), S_OK);
    EXPECT_EQ(GwUtf8FromWide(userType, std::char_traits<OLECHAR>::length(userType)), "Glyphwell Control");
    CoTaskMemFree(userType);
}

// The type library description the Linux module registers and the .idl that widl compiles for
// Windows must say the same: every type with its identity, flags and help string, every member
// with its id and type, the class with its two interfaces.
TEST_F(Registration, TypeLibraryIsTheOneTheIdlDescribes) {
    std::ifstream in(std::string(GLYPHWELL_TEST_DATA) + "/../../control/glyphwell.idl");
    ASSERT_TRUE(in) << "control/glyphwell.idl";
    std::stringstream text;
    text << in.rdbuf();
    std::string idl = text.str();
    idl = std::regex_replace(idl, std::regex("//[^\n]*"), "");
    const standin::TypeLibDesc lib = GlyphwellTypeLibrary();
    const auto guidOf = [](const std::string& s) {
        GUID g = GUID_NULL;
        EXPECT_TRUE(GwGuidFromString(("{" + s + "}").c_str(), &g)) << s;
        return g;
    };
    std::smatch m;
    ASSERT_TRUE(std::regex_search(idl, m, std::regex(R"re(\[uuid\(([-0-9A-Fa-f]+)\), version\((\d+)\.(\d+)\), lcid\((0x[0-9A-Fa-f]+)\), helpfile\("([^"]*)"\),\s*helpstring\("([^"]*)"\), control\]\s*library (\w+))re")));
    EXPECT_EQ(guidOf(m[1]), lib.libid);
    EXPECT_EQ(std::stoi(m[2]), lib.major);
    EXPECT_EQ(std::stoi(m[3]), lib.minor);
    EXPECT_EQ(std::stoul(m[4], nullptr, 16), lib.lcid);
    EXPECT_EQ(m[5], lib.helpFile);
    EXPECT_EQ(m[6], lib.helpString);
    EXPECT_EQ(m[7], lib.name);
    EXPECT_EQ(lib.flags, static_cast<DWORD>(LIBFLAG_FCONTROL));
    const std::regex typeHead(R"re(\[uuid\(([-0-9A-Fa-f]+)\), helpstring\("([^"]*)"\)(, hidden|, control)?\]\s*(dispinterface|coclass) (\w+)\s*\{([^}]*)\})re");
    const std::regex member(R"re(\[id\((-?\d+)\)(?:, helpstring\("([^"]*)"\))?\] (\w+) (\w+)(\(\))?;)re");
    const std::regex implemented(R"re(\[(default|default, source)\] dispinterface (\w+);)re");
    size_t types = 0;
    for (std::sregex_iterator t(idl.begin(), idl.end(), typeHead), end; t != end; ++t, ++types) {
        const std::smatch& tm = *t;
        const standin::TypeLibType* type = lib.FindType(guidOf(tm[1]));
        ASSERT_NE(type, nullptr) << tm[5];
        EXPECT_EQ(type->name, tm[5]);
        EXPECT_EQ(type->helpString, tm[2]);
        EXPECT_EQ(type->kind == standin::kClassType, tm[4] == "coclass") << tm[5];
        EXPECT_EQ((type->flags & TYPEFLAG_FHIDDEN) != 0, tm[3] == ", hidden") << tm[5];
        const std::string body = tm[6];
        size_t members = 0;
        for (std::sregex_iterator i(body.begin(), body.end(), member); i != end; ++i, ++members) {
            ASSERT_LT(members, type->members.size()) << tm[5];
            const standin::TypeLibMember& expected = type->members[members];
            EXPECT_EQ(std::stol((*i)[1]), expected.dispid) << expected.name;
            EXPECT_EQ((*i)[2], expected.helpString) << expected.name;
            EXPECT_EQ((*i)[3], expected.typeName) << expected.name;
            EXPECT_EQ((*i)[4], expected.name);
            EXPECT_EQ((*i)[5].matched, !expected.isProperty) << expected.name;
        }
        EXPECT_EQ(members, type->members.size()) << tm[5];
        for (std::sregex_iterator i(body.begin(), body.end(), implemented); i != end; ++i) {
            const standin::TypeLibType* target = nullptr;
            for (const standin::TypeLibType& candidate : lib.types)
                if (candidate.name == (*i)[2]) target = &candidate;
            ASSERT_NE(target, nullptr) << (*i)[2];
            EXPECT_EQ((*i)[1] == "default" ? type->defaultInterface : type->defaultSource, target->guid);
        }
    }
    EXPECT_EQ(types, lib.types.size());
}

TEST_F(Registration, UnregistrationRemovesTypeLibraryThenClasses) {
    ASSERT_EQ(DllRegisterServer(), S_OK);
    ASSERT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_FALSE(KeyExists(ctrlKey));
    EXPECT_FALSE(KeyExists(pageKey));
    EXPECT_FALSE(KeyExists(libKey));
    EXPECT_FALSE(KeyExists("GLYPHWELL.GlyphwellCtrl.1"));
    EXPECT_FALSE(KeyExists("Interface\\" + GwGuidToString(DIID__DGlyphwell)));
    // Only the shared parent keys remain, empty.
    EXPECT_EQ(standin::RegistryDump(), "[HKEY_CLASSES_ROOT\\CLSID]\n[HKEY_CLASSES_ROOT\\Interface]\n[HKEY_CLASSES_ROOT\\TypeLib]\n");
    // With the type library already gone the first step fails and the classes stay.
    ASSERT_EQ(DllRegisterServer(), S_OK);
    ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, libKey.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(DllUnregisterServer(), SELFREG_E_TYPELIB);
    EXPECT_TRUE(KeyExists(ctrlKey));
}

TEST_F(Registration, TypeLibraryFailureRegistersNoClass) {
    standin::RegistrySetWritable(false);
    EXPECT_EQ(DllRegisterServer(), static_cast<HRESULT>(0x80040200));
    standin::RegistrySetWritable(true);
    EXPECT_FALSE(KeyExists(ctrlKey));
    EXPECT_FALSE(KeyExists(pageKey));
}

TEST_F(Registration, ClassObjectsAndUnloading) {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(GUID_NULL, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    ASSERT_EQ(DllGetClassObject(CLSID_Glyphwell, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the factory reference holds the module
    IDispatch* disp = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&disp)), S_OK);
    IUnknown* outer = disp;
    void* none = nullptr;
    EXPECT_EQ(factory->CreateInstance(outer, IID_IDispatch, &none), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &none), E_NOINTERFACE);
    factory->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // a live control holds it too
    ASSERT_EQ(PutString(disp, "TextData", "HELLO"), S_OK);
    EXPECT_EQ(disp->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    ASSERT_EQ(DllGetClassObject(CLSID_GlyphwellPropPage, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    IUnknown* page = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    factory->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    factory->LockServer(TRUE);
    page->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(SharedModule, ExportsTheEntryPointsAndCreatesAControl) {
    const std::string path = std::string(GLYPHWELL_BINARY_DIR) + "/control/libglyphwell.so";
    // The module keeps process-long state (the screen surface, caches); it stays mapped after
    // dlclose, as a host keeps a module whose state it cannot see.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!module) GTEST_SKIP() << "shared module not built: " << dlerror();
    for (const char* name : {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow"})
        EXPECT_NE(dlsym(module, name), nullptr) << name;
    // Internal names stay inside the module.
    EXPECT_EQ(dlsym(module, "_Z17QRCodeMakeSymbolP14QRCodeSettings"), nullptr);
    typedef HRESULT (*GetClassObject)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(dlsym(module, "DllGetClassObject"));
    ASSERT_NE(get, nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(get(CLSID_Glyphwell, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IDispatch* disp = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&disp)), S_OK);
    factory->Release();
    EXPECT_EQ(PutString(disp, "TextData", "HELLO"), S_OK);
    IOleObject* ole = nullptr;
    ASSERT_EQ(disp->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
    SIZEL extent{};
    ole->GetExtent(DVASPECT_CONTENT, &extent);
    EXPECT_EQ(extent.cx, (83 * 2540 + 48) / 96);
    ole->Release();
    disp->Release();
    typedef HRESULT (*CanUnload)();
    auto canUnload = reinterpret_cast<CanUnload>(dlsym(module, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
    dlclose(module);
}

}  // namespace
