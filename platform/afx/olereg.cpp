#include "platform/afx/olereg.h"

#include <cstring>
#include <string>

#include "platform/afx/module.h"
#include "platform/afx/resources.h"
#include "platform/com/registry.h"
#include "platform/com/typelib.h"
#include "platform/com/variant.h"

namespace {
bool Set(const std::string& key, const char* name, const std::string& value) {
    HKEY k;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

bool CreateKey(const std::string& key) {
    HKEY k;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

bool Remove(const std::string& key) {
    const LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

std::string TypeName(HINSTANCE instance, UINT id) {
    std::string s;
    if (!AfxLoadStringBytes(instance, id, &s)) s.clear();
    return s;
}
}  // namespace

#ifdef _WIN32
// The system loads the library from the module's TYPELIB resource and registers it.
BOOL AfxOleRegisterTypeLib(HINSTANCE, REFGUID libid, const char* fileName, const char* helpDir) {
    std::string path = AfxGetModuleFileName();
    if (fileName && *fileName) path += std::string("\\") + fileName;
    const GwOleString widePath = GwWideFromAnsi(path.data(), path.size());
    ITypeLib* lib = nullptr;
    if (FAILED(LoadTypeLibEx(widePath.c_str(), REGKIND_NONE, &lib)) || !lib) return FALSE;
    TLIBATTR* attr = nullptr;
    bool ok = SUCCEEDED(lib->GetLibAttr(&attr)) && attr && IsEqualGUID(attr->guid, libid);
    if (attr) lib->ReleaseTLibAttr(attr);
    if (ok) {
        GwOleString wideHelp;
        if (helpDir) wideHelp = GwWideFromAnsi(helpDir, std::strlen(helpDir));
        ok = SUCCEEDED(RegisterTypeLib(lib, const_cast<LPOLESTR>(widePath.c_str()),
                                       helpDir ? const_cast<LPOLESTR>(wideHelp.c_str()) : nullptr));
    }
    lib->Release();
    return ok ? TRUE : FALSE;
}
#else
BOOL AfxOleRegisterTypeLib(HINSTANCE instance, REFGUID libid, const char* fileName, const char*) {
    const BYTE* data;
    DWORD size;
    LPCSTR name = fileName && *fileName ? fileName : MAKEINTRESOURCE(1);
    if (!AfxFindResourceBytes(instance, name, "TYPELIB", &data, &size)) return FALSE;
    standin::TypeLibDesc desc;
    if (!standin::TypeLibFromText(std::string(reinterpret_cast<const char*>(data), size), &desc)) return FALSE;
    if (desc.libid != libid) return FALSE;
    ITypeLib* lib = standin::CreateTypeLib(desc);
    const std::string path = AfxGetModuleFileName();
    const HRESULT hr = RegisterTypeLib(lib, path.c_str(), nullptr);
    lib->Release();
    return SUCCEEDED(hr);
}
#endif

BOOL AfxOleUnregisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid) {
    // A library registers under the platform its own description names (win32 or win64), so a
    // 32-bit and a 64-bit module of the same library can be registered side by side; each
    // removes only its own.
#ifdef _WIN64
    return SUCCEEDED(UnRegisterTypeLib(libid, major, minor, lcid, SYS_WIN64));
#else
    return SUCCEEDED(UnRegisterTypeLib(libid, major, minor, lcid, SYS_WIN32));
#endif
}

BOOL AfxOleRegisterControlClass(HINSTANCE instance, REFCLSID clsid, const char* progID, UINT idTypeName,
                                UINT idBitmap, int regFlags, DWORD miscStatus, REFGUID libid, WORD verMajor,
                                WORD verMinor) {
    const std::string key = "CLSID\\" + GwGuidToString(clsid);
    const std::string path = AfxGetModuleFileName();
    const std::string typeName = TypeName(instance, idTypeName);
    const std::string version = std::to_string(verMajor) + "." + std::to_string(verMinor);
    bool ok = Set(key, nullptr, typeName) && Set(key + "\\InprocServer32", nullptr, path) &&
              Set(key + "\\Control", nullptr, "") && Set(key + "\\MiscStatus", nullptr, "0") &&
              Set(key + "\\MiscStatus\\1", nullptr, std::to_string(miscStatus)) &&
              Set(key + "\\ToolboxBitmap32", nullptr, path + ", " + std::to_string(idBitmap)) &&
              Set(key + "\\TypeLib", nullptr, GwGuidToString(libid)) && Set(key + "\\Version", nullptr, version) &&
              // The verbs a container lists in its menu (name, menu flags, verb attributes:
              // OLEVERBATTRIB_ONCONTAINERMENU): the primary verb and the property pages.
              Set(key + "\\Verb\\0", nullptr, "&Edit,0,2") && Set(key + "\\Verb\\1", nullptr, "&Properties...,0,2");
    if (ok && (regFlags & afxRegApartmentThreading)) ok = Set(key + "\\InprocServer32", "ThreadingModel", "Apartment");
    if (ok && (regFlags & afxRegInsertable)) ok = CreateKey(key + "\\Insertable");
    if (ok && progID && *progID) {
        ok = Set(key + "\\ProgID", nullptr, progID) && Set(progID, nullptr, typeName) &&
             Set(std::string(progID) + "\\CLSID", nullptr, GwGuidToString(clsid));
        if (ok && (regFlags & afxRegInsertable)) ok = CreateKey(std::string(progID) + "\\Insertable");
    }
    return ok ? TRUE : FALSE;
}

BOOL AfxOleRegisterPropertyPageClass(HINSTANCE instance, REFCLSID clsid, UINT idTypeName, int regFlags) {
    const std::string key = "CLSID\\" + GwGuidToString(clsid);
    bool ok = Set(key, nullptr, TypeName(instance, idTypeName)) &&
              Set(key + "\\InprocServer32", nullptr, AfxGetModuleFileName());
    if (ok && (regFlags & afxRegApartmentThreading)) ok = Set(key + "\\InprocServer32", "ThreadingModel", "Apartment");
    return ok ? TRUE : FALSE;
}

namespace {
// Whether the other architecture's module still registers the class. 64-bit Windows keeps a
// 32-bit and a 64-bit view of the classes' keys, while a ProgID's key is one for both: it stays
// as long as either module is registered.
bool RegisteredInOtherView(const std::string& clsidKey) {
#ifdef _WIN32
#ifdef _WIN64
    const REGSAM other = KEY_WOW64_32KEY;
#else
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return false;  // one view only
    const REGSAM other = KEY_WOW64_64KEY;
#endif
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, (clsidKey + "\\InprocServer32").c_str(), 0, KEY_READ | other, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
#else
    (void)clsidKey;
    return false;  // the stand-in's registry has one view
#endif
}
}  // namespace

BOOL AfxOleUnregisterClass(REFCLSID clsid, const char* progID) {
    const std::string key = "CLSID\\" + GwGuidToString(clsid);
    bool ok = Remove(key);
    if (progID && *progID && !RegisteredInOtherView(key)) ok = Remove(progID) && ok;
    return ok ? TRUE : FALSE;
}
