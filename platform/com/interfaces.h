// The component interfaces this system implements or calls: IUnknown, IClassFactory,
// IDispatch, IObjectSafety, IStream, IPersistStreamInit, IViewObject, IOleObject and
// ISpecifyPropertyPages, with Windows' method names, parameter order and result codes.
// Only the methods the control and its hosts use are declared.
#pragma once

#include "platform/com/variant.h"

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

struct DISPPARAMS {
    VARIANTARG* rgvarg;             // arguments in reverse order
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    void* pfnDeferredFillIn;
    LONG scode;
};

struct ITypeInfo;

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
    // Names are UTF-16, matched without regard to case; unknown names give DISP_E_UNKNOWNNAME
    // with DISPID_UNKNOWN in their slot.
    virtual HRESULT GetIDsOfNames(REFIID iid, LPCOLESTR* names, UINT count, LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excep, UINT* argErr) = 0;

protected:
    ~IDispatch() = default;
};

#define INTERFACESAFE_FOR_UNTRUSTED_CALLER 0x00000001
#define INTERFACESAFE_FOR_UNTRUSTED_DATA 0x00000002

struct IObjectSafety : IUnknown {
    virtual HRESULT GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) = 0;
    virtual HRESULT SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) = 0;

protected:
    ~IObjectSafety() = default;
};

// A sequential byte stream; Read reports a short count at the end instead of failing.
struct IStream : IUnknown {
    virtual HRESULT Read(void* buffer, ULONG count, ULONG* read) = 0;
    virtual HRESULT Write(const void* buffer, ULONG count, ULONG* written) = 0;

protected:
    ~IStream() = default;
};
typedef IStream* LPSTREAM;

struct IPersistStreamInit : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
    virtual HRESULT InitNew() = 0;

protected:
    ~IPersistStreamInit() = default;
};

struct RECTL {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef const RECTL* LPCRECTL;
struct SIZEL {
    LONG cx;
    LONG cy;
};

#define DVASPECT_CONTENT 1

struct IViewObject : IUnknown {
    // Paints the object's content aspect into hdcDraw within bounds; the other arguments are
    // accepted for the signature's sake (targets, palettes and continuation callbacks are unused).
    virtual HRESULT Draw(DWORD aspect, LONG index, void* aspectInfo, void* targetDevice, HDC hdcTargetDev,
                         HDC hdcDraw, LPCRECTL bounds, LPCRECTL wBounds, void* contnue, ULONG_PTR contnueArg) = 0;

protected:
    ~IViewObject() = default;
};

#define OLEIVERB_PRIMARY 0L
#define OLEIVERB_SHOW (-1L)
#define OLEIVERB_OPEN (-2L)
#define OLEIVERB_HIDE (-3L)
#define OLEIVERB_UIACTIVATE (-4L)
#define OLEIVERB_INPLACEACTIVATE (-5L)
#define OLEIVERB_PROPERTIES (-7L)
#define OLEMISC_RECOMPOSEONRESIZE 0x1
#define OLEMISC_CANTLINKINSIDE 0x10
#define OLEMISC_INSIDEOUT 0x80
#define OLEMISC_ACTIVATEWHENVISIBLE 0x100
#define OLEMISC_SETCLIENTSITEFIRST 0x20000
#define OLEOBJ_E_NOVERBS ((HRESULT)0x80040180L)
#define OLEOBJ_S_INVALIDVERB ((HRESULT)0x00040180L)

struct OLEVERB {
    LONG lVerb;
    const char* lpszVerbName;  // ANSI text of the verb's menu entry
    DWORD fuFlags;
    DWORD grfAttribs;
};

struct IOleObject : IUnknown {
    virtual HRESULT DoVerb(LONG verb, void* msg, void* site, LONG index, HWND parent, LPCRECT posRect) = 0;
    // The extent in HIMETRIC units (0.01 mm), as the container sizes the object.
    virtual HRESULT GetExtent(DWORD aspect, SIZEL* size) = 0;
    virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) = 0;

protected:
    ~IOleObject() = default;
};

struct CAUUID {
    ULONG cElems;
    GUID* pElems;  // allocated with CoTaskMemAlloc; the caller frees it with CoTaskMemFree
};

struct ISpecifyPropertyPages : IUnknown {
    virtual HRESULT GetPages(CAUUID* pages) = 0;

protected:
    ~ISpecifyPropertyPages() = default;
};

void* CoTaskMemAlloc(SIZE_T bytes);
void CoTaskMemFree(void* block);
