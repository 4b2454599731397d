#include "platform/com/typelib.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/com/registry.h"

const standin::TypeLibType* standin::TypeLibDesc::FindType(REFGUID guid) const {
    for (const standin::TypeLibType& t : types)
        if (t.guid == guid) return &t;
    return nullptr;
}

namespace {

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '%' || c == '"' || c < 0x20 || c >= 0x7F) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out + "\"";
}

// Splits a line into words; a quoted word loses its quotes and escapes.
bool Words(const std::string& line, std::vector<std::string>* words) {
    words->clear();
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') { ++i; continue; }
        std::string w;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '%') {
                    if (i + 2 >= line.size() || !std::isxdigit(static_cast<unsigned char>(line[i + 1])) ||
                        !std::isxdigit(static_cast<unsigned char>(line[i + 2])))
                        return false;
                    w.push_back(static_cast<char>(std::strtoul(line.substr(i + 1, 2).c_str(), nullptr, 16)));
                    i += 3;
                } else {
                    w.push_back(line[i++]);
                }
            }
            if (i >= line.size()) return false;
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ') w.push_back(line[i++]);
        }
        words->push_back(w);
    }
    return true;
}

bool Number(const std::string& s, long long lo, long long hi, long long* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 0);
    if (!end || *end || v < lo || v > hi) return false;
    *out = v;
    return true;
}

std::string Hex(DWORD v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(v));
    return buf;
}

BSTR BstrOf(const std::string& ansi) {
    const GwOleString w = GwWideFromAnsi(ansi.data(), ansi.size());
    return SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
}

bool SameName(LPCOLESTR wide, const std::string& name) {
    size_t n = 0;
    while (wide[n]) ++n;
    const std::string ansi = GwAnsiFromWide(wide, n);
    if (ansi.size() != name.size()) return false;
    for (size_t i = 0; i < ansi.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(ansi[i])) != std::tolower(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

class GwTypeLib;

// One type of a library; keeps the library alive.
class GwTypeInfo : public ITypeInfo {
public:
    GwTypeInfo(GwTypeLib* lib, UINT index);
    virtual ~GwTypeInfo();
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ITypeInfo) {
            *object = static_cast<ITypeInfo*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
    STDMETHOD_(ULONG, Release)() override {
        const ULONG left = --m_refs;
        if (!left) delete this;
        return left;
    }
    STDMETHOD(GetTypeAttr)(void** attr) override {
        if (attr) *attr = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(GetTypeComp)(IUnknown** comp) override {
        if (comp) *comp = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(GetFuncDesc)(UINT, void** desc) override {
        if (desc) *desc = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(GetVarDesc)(UINT, void** desc) override {
        if (desc) *desc = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(GetNames)(MEMBERID id, BSTR* names, UINT maxNames, UINT* count) override {
        if (!names || !count) return E_INVALIDARG;
        *count = 0;
        const standin::TypeLibMember* m = Member(id);
        if (!m) return TYPE_E_ELEMENTNOTFOUND;
        if (maxNames == 0) return S_OK;
        names[0] = BstrOf(m->name);
        *count = 1;
        return S_OK;
    }
    STDMETHOD(GetRefTypeOfImplType)(UINT index, DWORD* ref) override {
        if (!ref) return E_INVALIDARG;
        if (Type().kind != standin::kClassType || index > 1) return TYPE_E_ELEMENTNOTFOUND;
        *ref = index;  // 0: the default interface, 1: the default source
        return S_OK;
    }
    STDMETHOD(GetImplTypeFlags)(UINT index, INT* flags) override {
        if (!flags) return E_INVALIDARG;
        if (Type().kind != standin::kClassType || index > 1) return TYPE_E_ELEMENTNOTFOUND;
        *flags = index == 0 ? IMPLTYPEFLAG_FDEFAULT : IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
        return S_OK;
    }
    STDMETHOD(GetIDsOfNames)(LPOLESTR* names, UINT count, MEMBERID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        HRESULT hr = S_OK;
        for (UINT k = 0; k < count; ++k) {
            ids[k] = MEMBERID_NIL;
            // Only the member name is known; argument names are not described.
            if (k == 0 && names[0])
                for (const standin::TypeLibMember& m : Type().members)
                    if (SameName(names[0], m.name)) ids[0] = m.dispid;
            if (ids[k] == MEMBERID_NIL) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    // A dispatch interface is called through the instance's own IDispatch.
    STDMETHOD(Invoke)(void* instance, MEMBERID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT* argErr) override {
        if (!instance) return E_INVALIDARG;
        if (Type().kind != standin::kDispatchType) return E_NOTIMPL;
        if (!Member(id)) return DISP_E_MEMBERNOTFOUND;
        return static_cast<IDispatch*>(instance)->Invoke(id, GUID_NULL, 0, flags, params, result, excep, argErr);
    }
    STDMETHOD(GetDocumentation)(MEMBERID id, BSTR* name, BSTR* doc, DWORD* helpContext, BSTR* helpFile) override;
    STDMETHOD(GetDllEntry)(MEMBERID, int, BSTR* dll, BSTR* name, WORD* ordinal) override {
        if (dll) *dll = nullptr;
        if (name) *name = nullptr;
        if (ordinal) *ordinal = 0;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    STDMETHOD(GetRefTypeInfo)(DWORD ref, ITypeInfo** info) override;
    STDMETHOD(AddressOfMember)(MEMBERID, int, void** address) override {
        if (address) *address = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(CreateInstance)(IUnknown*, REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(GetMops)(MEMBERID, BSTR* mops) override {
        if (mops) *mops = nullptr;
        return S_OK;
    }
    STDMETHOD(GetContainingTypeLib)(ITypeLib** lib, UINT* index) override;
    STDMETHOD_(void, ReleaseTypeAttr)(void*) override {}
    STDMETHOD_(void, ReleaseFuncDesc)(void*) override {}
    STDMETHOD_(void, ReleaseVarDesc)(void*) override {}

private:
    const standin::TypeLibType& Type() const;
    const standin::TypeLibMember* Member(MEMBERID id) const {
        for (const standin::TypeLibMember& m : Type().members)
            if (m.dispid == id) return &m;
        return nullptr;
    }

    std::atomic<ULONG> m_refs{1};
    GwTypeLib* m_lib;
    UINT m_index;
};

class GwTypeLib : public ITypeLib {
public:
    explicit GwTypeLib(const standin::TypeLibDesc& d) : m_desc(d) {}
    virtual ~GwTypeLib() = default;
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ITypeLib) {
            *object = static_cast<ITypeLib*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
    STDMETHOD_(ULONG, Release)() override {
        const ULONG left = --m_refs;
        if (!left) delete this;
        return left;
    }
    STDMETHOD_(UINT, GetTypeInfoCount)() override { return static_cast<UINT>(m_desc.types.size()); }
    STDMETHOD(GetTypeInfo)(UINT index, ITypeInfo** info) override {
        if (!info) return E_INVALIDARG;
        *info = nullptr;
        if (index >= m_desc.types.size()) return TYPE_E_ELEMENTNOTFOUND;
        *info = new GwTypeInfo(this, index);
        return S_OK;
    }
    STDMETHOD(GetTypeInfoType)(UINT index, TYPEKIND* kind) override {
        if (!kind) return E_INVALIDARG;
        if (index >= m_desc.types.size()) return TYPE_E_ELEMENTNOTFOUND;
        *kind = m_desc.types[index].kind == standin::kClassType ? TKIND_COCLASS : TKIND_DISPATCH;
        return S_OK;
    }
    STDMETHOD(GetTypeInfoOfGuid)(REFGUID guid, ITypeInfo** info) override {
        if (!info) return E_INVALIDARG;
        *info = nullptr;
        for (UINT i = 0; i < m_desc.types.size(); ++i)
            if (m_desc.types[i].guid == guid) return GetTypeInfo(i, info);
        return TYPE_E_ELEMENTNOTFOUND;
    }
    STDMETHOD(GetLibAttr)(void** attr) override {
        if (attr) *attr = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(GetTypeComp)(IUnknown** comp) override {
        if (comp) *comp = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(GetDocumentation)(INT index, BSTR* name, BSTR* doc, DWORD* helpContext, BSTR* helpFile) override {
        if (index < -1 || index >= static_cast<INT>(m_desc.types.size())) return TYPE_E_ELEMENTNOTFOUND;
        const std::string& n = index < 0 ? m_desc.name : m_desc.types[index].name;
        const std::string& d = index < 0 ? m_desc.helpString : m_desc.types[index].helpString;
        if (name) *name = BstrOf(n);
        if (doc) *doc = BstrOf(d);
        if (helpContext) *helpContext = 0;
        if (helpFile) *helpFile = BstrOf(m_desc.helpFile);
        return S_OK;
    }
    STDMETHOD(IsName)(LPOLESTR name, ULONG, BOOL* found) override {
        if (!name || !found) return E_INVALIDARG;
        *found = FALSE;
        for (const standin::TypeLibType& t : m_desc.types) {
            if (SameName(name, t.name)) *found = TRUE;
            for (const standin::TypeLibMember& m : t.members)
                if (SameName(name, m.name)) *found = TRUE;
        }
        return S_OK;
    }
    STDMETHOD(FindName)(LPOLESTR, ULONG, ITypeInfo**, MEMBERID*, USHORT* found) override {
        if (found) *found = 0;
        return E_NOTIMPL;
    }
    STDMETHOD_(void, ReleaseTLibAttr)(void*) override {}
    const standin::TypeLibDesc& GetDescription() const { return m_desc; }

private:
    std::atomic<ULONG> m_refs{1};
    standin::TypeLibDesc m_desc;
};

GwTypeInfo::GwTypeInfo(GwTypeLib* lib, UINT index) : m_lib(lib), m_index(index) { m_lib->AddRef(); }
GwTypeInfo::~GwTypeInfo() { m_lib->Release(); }
const standin::TypeLibType& GwTypeInfo::Type() const { return m_lib->GetDescription().types[m_index]; }

STDMETHODIMP GwTypeInfo::GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* helpContext, BSTR* helpFile) {
    std::string n, d;
    if (id == MEMBERID_NIL) {
        n = Type().name;
        d = Type().helpString;
    } else {
        const standin::TypeLibMember* m = Member(id);
        if (!m) return TYPE_E_ELEMENTNOTFOUND;
        n = m->name;
        d = m->helpString;
    }
    if (name) *name = BstrOf(n);
    if (doc) *doc = BstrOf(d);
    if (helpContext) *helpContext = 0;
    if (helpFile) *helpFile = BstrOf(m_lib->GetDescription().helpFile);
    return S_OK;
}

STDMETHODIMP GwTypeInfo::GetRefTypeInfo(DWORD ref, ITypeInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    if (Type().kind != standin::kClassType || ref > 1) return TYPE_E_ELEMENTNOTFOUND;
    return m_lib->GetTypeInfoOfGuid(ref == 0 ? Type().defaultInterface : Type().defaultSource, info);
}

STDMETHODIMP GwTypeInfo::GetContainingTypeLib(ITypeLib** lib, UINT* index) {
    if (!lib) return E_INVALIDARG;
    m_lib->AddRef();
    *lib = m_lib;
    if (index) *index = m_index;
    return S_OK;
}

std::string VersionKey(REFGUID libid, WORD major, WORD minor) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%x.%x", major, minor);
    return "TypeLib\\" + GwGuidToString(libid) + "\\" + buf;
}

LONG SetString(HKEY root, const std::string& sub, const char* name, const std::string& value) {
    HKEY k;
    LONG rc = RegCreateKeyExA(root, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
    return rc;
}

bool GetString(HKEY root, const std::string& sub, const char* name, std::string* out) {
    HKEY k;
    if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    bool ok = RegQueryValueExA(k, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ;
    if (ok) {
        std::string buf(size, '\0');
        ok = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(&buf[0]), &size) == ERROR_SUCCESS;
        if (ok) {
            const size_t nul = buf.find('\0');
            *out = buf.substr(0, nul);
        }
    }
    RegCloseKey(k);
    return ok;
}

const char* const kDescriptionValue = "Description";
const char* const kPSDispatch = "{00020420-0000-0000-C000-000000000046}";

}  // namespace

std::string standin::TypeLibToText(const standin::TypeLibDesc& d) {
    std::ostringstream os;
    char ver[24];
    std::snprintf(ver, sizeof ver, "%u.%u", d.major, d.minor);
    os << "library " << d.name << " " << GwGuidToString(d.libid) << " " << ver << " " << Hex(d.lcid) << " "
       << Hex(d.flags) << " " << Quote(d.helpFile) << " " << Quote(d.helpString) << "\n";
    for (const standin::TypeLibType& t : d.types) {
        if (t.kind == standin::kDispatchType) {
            os << "dispinterface " << t.name << " " << GwGuidToString(t.guid) << " " << Hex(t.flags) << " "
               << Quote(t.helpString) << "\n";
            for (const standin::TypeLibMember& m : t.members)
                os << (m.isProperty ? "property " : "method ") << m.name << " " << m.dispid << " " << m.typeName << "\n";
        } else {
            os << "coclass " << t.name << " " << GwGuidToString(t.guid) << " " << Hex(t.flags) << " "
               << Quote(t.helpString) << " " << GwGuidToString(t.defaultInterface) << " "
               << GwGuidToString(t.defaultSource) << "\n";
        }
    }
    os << "end\n";
    return os.str();
}

bool standin::TypeLibFromText(const std::string& text, standin::TypeLibDesc* out) {
    standin::TypeLibDesc d;
    std::istringstream in(text);
    std::string line;
    std::vector<std::string> w;
    bool haveLibrary = false, ended = false;
    long long n;
    while (std::getline(in, line)) {
        if (ended || !Words(line, &w) || w.empty()) return false;
        if (w[0] == "library") {
            if (haveLibrary || w.size() != 8 || !GwGuidFromString(w[2].c_str(), &d.libid)) return false;
            unsigned major = 0, minor = 0;
            char dot = 0;
            if (std::sscanf(w[3].c_str(), "%u%c%u", &major, &dot, &minor) != 3 || dot != '.' || major > 0xFFFF ||
                minor > 0xFFFF)
                return false;
            d.name = w[1];
            d.major = static_cast<WORD>(major);
            d.minor = static_cast<WORD>(minor);
            if (!Number(w[4], 0, 0xFFFFFFFFLL, &n)) return false;
            d.lcid = static_cast<LCID>(n);
            if (!Number(w[5], 0, 0xFFFFFFFFLL, &n)) return false;
            d.flags = static_cast<DWORD>(n);
            d.helpFile = w[6];
            d.helpString = w[7];
            haveLibrary = true;
        } else if (w[0] == "dispinterface" || w[0] == "coclass") {
            const bool dispatch = w[0] == "dispinterface";
            if (!haveLibrary || w.size() != (dispatch ? 5u : 7u)) return false;
            standin::TypeLibType t;
            t.kind = dispatch ? standin::kDispatchType : standin::kClassType;
            t.name = w[1];
            if (!GwGuidFromString(w[2].c_str(), &t.guid) || !Number(w[3], 0, 0xFFFFFFFFLL, &n)) return false;
            t.flags = static_cast<DWORD>(n);
            t.helpString = w[4];
            if (!dispatch && (!GwGuidFromString(w[5].c_str(), &t.defaultInterface) ||
                              !GwGuidFromString(w[6].c_str(), &t.defaultSource)))
                return false;
            d.types.push_back(t);
        } else if (w[0] == "property" || w[0] == "method") {
            if (d.types.empty() || d.types.back().kind != standin::kDispatchType || w.size() != 4) return false;
            standin::TypeLibMember m;
            m.isProperty = w[0] == "property";
            m.name = w[1];
            if (!Number(w[2], -2147483648LL, 2147483647LL, &n)) return false;
            m.dispid = static_cast<DISPID>(n);
            m.typeName = w[3];
            d.types.back().members.push_back(m);
        } else if (w[0] == "end" && w.size() == 1) {
            ended = true;
        } else {
            return false;
        }
    }
    if (!haveLibrary || !ended) return false;
    *out = d;
    return true;
}

ITypeLib* standin::CreateTypeLib(const standin::TypeLibDesc& desc) { return new GwTypeLib(desc); }

const standin::TypeLibDesc* standin::DescriptionOf(ITypeLib* lib) {
    const GwTypeLib* own = dynamic_cast<const GwTypeLib*>(lib);
    return own ? &own->GetDescription() : nullptr;
}

HRESULT RegisterTypeLib(ITypeLib* lib, const char* fullPath, const char* helpDir) {
    const standin::TypeLibDesc* described = standin::DescriptionOf(lib);
    if (!described || !fullPath) return E_INVALIDARG;
    const standin::TypeLibDesc& d = *described;
    const std::string key = VersionKey(d.libid, d.major, d.minor);
    char lcid[16];
    std::snprintf(lcid, sizeof lcid, "%x", static_cast<unsigned>(d.lcid));
    std::string dir = helpDir ? helpDir : "";
    if (dir.empty()) {
        const std::string path(fullPath);
        const size_t slash = path.find_last_of("/\\");
        dir = slash == std::string::npos ? "" : path.substr(0, slash);
    }
    bool ok = SetString(HKEY_CLASSES_ROOT, key, nullptr, d.helpString) == ERROR_SUCCESS &&
              SetString(HKEY_CLASSES_ROOT, key, kDescriptionValue, standin::TypeLibToText(d)) == ERROR_SUCCESS &&
              SetString(HKEY_CLASSES_ROOT, key + "\\FLAGS", nullptr, std::to_string(d.flags)) == ERROR_SUCCESS &&
              SetString(HKEY_CLASSES_ROOT, key + "\\HELPDIR", nullptr, dir) == ERROR_SUCCESS &&
              SetString(HKEY_CLASSES_ROOT, key + "\\" + lcid + "\\win32", nullptr, fullPath) == ERROR_SUCCESS;
    char ver[24];
    std::snprintf(ver, sizeof ver, "%u.%u", d.major, d.minor);
    for (const standin::TypeLibType& t : d.types) {
        if (!ok) break;
        if (t.kind != standin::kDispatchType) continue;
        const std::string ik = "Interface\\" + GwGuidToString(t.guid);
        ok = SetString(HKEY_CLASSES_ROOT, ik, nullptr, t.name) == ERROR_SUCCESS &&
             SetString(HKEY_CLASSES_ROOT, ik + "\\ProxyStubClsid", nullptr, kPSDispatch) == ERROR_SUCCESS &&
             SetString(HKEY_CLASSES_ROOT, ik + "\\ProxyStubClsid32", nullptr, kPSDispatch) == ERROR_SUCCESS &&
             SetString(HKEY_CLASSES_ROOT, ik + "\\TypeLib", nullptr, GwGuidToString(d.libid)) == ERROR_SUCCESS &&
             SetString(HKEY_CLASSES_ROOT, ik + "\\TypeLib", "Version", ver) == ERROR_SUCCESS;
    }
    return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID, int) {
    const std::string key = VersionKey(libid, major, minor);
    std::string text;
    if (!GetString(HKEY_CLASSES_ROOT, key, kDescriptionValue, &text)) return TYPE_E_LIBNOTREGISTERED;
    standin::TypeLibDesc d;
    if (standin::TypeLibFromText(text, &d)) {
        for (const standin::TypeLibType& t : d.types) {
            if (t.kind != standin::kDispatchType) continue;
            const std::string ik = "Interface\\" + GwGuidToString(t.guid);
            const LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, ik.c_str());
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return TYPE_E_REGISTRYACCESS;
        }
    }
    if (RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str()) != ERROR_SUCCESS) return TYPE_E_REGISTRYACCESS;
    // The library's own key goes once its last version has gone.
    const std::string libKey = "TypeLib\\" + GwGuidToString(libid);
    HKEY k;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, libKey.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS) {
        char name[64];
        const bool empty = RegEnumKeyA(k, 0, name, sizeof name) == ERROR_NO_MORE_ITEMS;
        RegCloseKey(k);
        if (empty) RegDeleteKeyA(HKEY_CLASSES_ROOT, libKey.c_str());
    }
    return S_OK;
}

HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID, ITypeLib** lib) {
    if (!lib) return E_POINTER;
    *lib = nullptr;
    const std::string libKey = "TypeLib\\" + GwGuidToString(libid);
    HKEY k;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, libKey.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return TYPE_E_LIBNOTREGISTERED;
    // The highest registered minor version of the wanted major version that is at least `minor`.
    int best = -1;
    char name[64];
    for (DWORD i = 0; RegEnumKeyA(k, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        unsigned maj = 0, min = 0;
        char dot = 0;
        if (std::sscanf(name, "%x%c%x", &maj, &dot, &min) == 3 && dot == '.' && maj == major && min >= minor &&
            static_cast<int>(min) > best && min <= 0xFFFF)
            best = static_cast<int>(min);
    }
    RegCloseKey(k);
    if (best < 0) return TYPE_E_LIBNOTREGISTERED;
    std::string text;
    if (!GetString(HKEY_CLASSES_ROOT, VersionKey(libid, major, static_cast<WORD>(best)), kDescriptionValue, &text))
        return TYPE_E_CANTLOADLIBRARY;
    standin::TypeLibDesc d;
    if (!standin::TypeLibFromText(text, &d) || d.libid != libid) return TYPE_E_CANTLOADLIBRARY;
    *lib = standin::CreateTypeLib(d);
    return S_OK;
}
