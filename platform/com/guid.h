// Component identities: the GUID record, its comparison and its registry text form
// ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"), and the interface IDs the platform defines.
#pragma once

#include <string>

#include "platform/win32_types.h"

#ifndef _WIN32
#ifndef GUID_DEFINED
#define GUID_DEFINED
struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
#endif
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
typedef LONG DISPID;
typedef DWORD LCID;
typedef WORD VARTYPE;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }

extern const GUID GUID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IClassFactory;
extern const IID IID_IDispatch;
extern const IID IID_IObjectSafety;
extern const IID IID_IStream;
extern const IID IID_IPersistStreamInit;
extern const IID IID_IViewObject;
extern const IID IID_IOleObject;
extern const IID IID_ISpecifyPropertyPages;
extern const IID IID_ITypeLib;
extern const IID IID_IPropertyPage;
extern const IID IID_IPropertyPageSite;
extern const IID IID_IPersist;
extern const IID IID_ISequentialStream;
extern const IID IID_ITypeInfo;
extern const IID IID_IProvideClassInfo;
extern const IID IID_IProvideClassInfo2;
extern const IID IID_IConnectionPointContainer;
extern const IID IID_IConnectionPoint;
extern const IID IID_IEnumConnectionPoints;
extern const IID IID_IEnumConnections;
#endif  // !_WIN32

// "{01234567-89AB-CDEF-0123-456789ABCDEF}", upper-case hex, as the registry shows identities.
std::string GwGuidToString(REFGUID guid);
// Parses the braced text form (either case); false and *guid untouched on any malformed text.
bool GwGuidFromString(const char* text, GUID* guid);
