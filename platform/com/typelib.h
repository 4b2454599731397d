// Type libraries: the description of a component's automation types (library, dispatch and
// event interfaces, classes, their members with DISPIDs and types, flags and help strings),
// its text form (kept as a module resource and in the registry), and Windows' registration
// calls RegisterTypeLib / UnRegisterTypeLib / LoadRegTypeLib over that description.
#pragma once

#include <string>
#include <vector>

#include "platform/com/interfaces.h"

#ifndef _WIN32  // the system provides its own

#define LIBFLAG_FRESTRICTED 0x1
#define LIBFLAG_FCONTROL 0x2
#define LIBFLAG_FHIDDEN 0x4
#define TYPEFLAG_FAPPOBJECT 0x1
#define TYPEFLAG_FCANCREATE 0x2
#define TYPEFLAG_FHIDDEN 0x10
#define TYPEFLAG_FCONTROL 0x20
#define TYPEFLAG_FDISPATCHABLE 0x1000
#define SYS_WIN32 1

// The stand-in's own description of a library (not a Win32 name).
namespace standin {

enum TypeKind { kDispatchType, kClassType };

struct TypeLibMember {
    std::string name;
    DISPID dispid = 0;
    bool isProperty = true;   // dispatch property; false: a method
    std::string typeName;     // "short", "VARIANT_BOOL", "BSTR", "OLE_COLOR", "void", ...
    std::string helpString;   // what property browsers show for the member
};

struct TypeLibType {
    TypeKind kind = kDispatchType;
    std::string name;
    GUID guid = GUID_NULL;
    DWORD flags = 0;
    std::string helpString;
    std::vector<TypeLibMember> members;  // dispatch interfaces only
    GUID defaultInterface = GUID_NULL;     // classes only
    GUID defaultSource = GUID_NULL;        // classes only
};

struct TypeLibDesc {
    std::string name;
    GUID libid = GUID_NULL;
    WORD major = 0;
    WORD minor = 0;
    LCID lcid = 0;
    DWORD flags = 0;
    std::string helpFile;
    std::string helpString;
    std::vector<TypeLibType> types;

    const TypeLibType* FindType(REFGUID guid) const;
};

// Text form: one line per library, type and member; strings are quoted with %XX escapes.
std::string TypeLibToText(const TypeLibDesc& desc);
// False (and *desc untouched) for text that is not a complete, well-formed description.
bool TypeLibFromText(const std::string& text, TypeLibDesc* desc);

}  // namespace standin

enum TYPEKIND {
    TKIND_ENUM,
    TKIND_RECORD,
    TKIND_MODULE,
    TKIND_INTERFACE,
    TKIND_DISPATCH,
    TKIND_COCLASS,
    TKIND_ALIAS,
    TKIND_UNION,
};
#define IMPLTYPEFLAG_FDEFAULT 0x1
#define IMPLTYPEFLAG_FSOURCE 0x2
#define TYPE_E_ELEMENTNOTFOUND ((HRESULT)0x8002802BL)

// A type library with Windows' methods. Its type information answers names, documentation,
// the implemented interfaces of a class and calls through a dispatch interface; attribute
// records and binding are not supported (E_NOTIMPL).
struct ITypeLib : IUnknown {
    STDMETHOD_(UINT, GetTypeInfoCount)() PURE;
    STDMETHOD(GetTypeInfo)(UINT index, ITypeInfo** info) PURE;
    STDMETHOD(GetTypeInfoType)(UINT index, TYPEKIND* kind) PURE;
    STDMETHOD(GetTypeInfoOfGuid)(REFGUID guid, ITypeInfo** info) PURE;
    STDMETHOD(GetLibAttr)(void** attr) PURE;
    STDMETHOD(GetTypeComp)(IUnknown** comp) PURE;
    // index -1 documents the library itself.
    STDMETHOD(GetDocumentation)(INT index, BSTR* name, BSTR* doc, DWORD* helpContext, BSTR* helpFile) PURE;
    STDMETHOD(IsName)(LPOLESTR name, ULONG hash, BOOL* found) PURE;
    STDMETHOD(FindName)(LPOLESTR name, ULONG hash, ITypeInfo** infos, MEMBERID* ids, USHORT* found) PURE;
    STDMETHOD_(void, ReleaseTLibAttr)(void* attr) PURE;

protected:
    ~ITypeLib() = default;
};

namespace standin {
// A new type library object (reference count 1) over a copy of desc.
ITypeLib* CreateTypeLib(const TypeLibDesc& desc);
// The description behind a library this stand-in made; null for any other library.
const TypeLibDesc* DescriptionOf(ITypeLib* lib);
}  // namespace standin
// Writes the library under TypeLib\{LIBID}\major.minor (help string, FLAGS, HELPDIR, the
// module path under <lcid>\win32, and the description itself) and each dispatch interface
// under Interface\{IID}. Any registry refusal gives TYPE_E_REGISTRYACCESS.
HRESULT RegisterTypeLib(ITypeLib* lib, const char* fullPath, const char* helpDir);
// Removes what RegisterTypeLib wrote for that version; TYPE_E_REGISTRYACCESS when the registry
// refuses, TYPE_E_LIBNOTREGISTERED when nothing is registered.
HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, int syskind);
// Finds a registered library with that major version and at least that minor version.
HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** lib);

#ifndef TYPE_E_REGISTRYACCESS
#define TYPE_E_REGISTRYACCESS ((HRESULT)0x8002801CL)
#endif

#endif  // !_WIN32
