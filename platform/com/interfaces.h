// The component interfaces this system implements or calls, with Windows' full method lists,
// parameter types, calling convention and result codes, so that a class written against them
// has the same vtable on both platforms: IUnknown, IClassFactory, IDispatch, IObjectSafety,
// ISequentialStream/IStream, IPersist/IPersistStreamInit, IViewObject, IOleObject,
// ISpecifyPropertyPages, IProvideClassInfo(2), the connection point interfaces, the parts of
// ITypeInfo hosts call, the in-place containment interfaces, property notification, error
// information, property bags, compound documents, data transfer and form designers' calls.
// On Windows the system's headers declare all of them.
#pragma once

#include "platform/com/variant.h"

#ifndef _WIN32

// Calling convention of interface methods: empty here, __stdcall on 32-bit Windows.
#define STDMETHODCALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define PURE = 0

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    long long QuadPart;
};
union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    unsigned long long QuadPart;
};
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct IUnknown {
    STDMETHOD(QueryInterface)(REFIID iid, void** object) PURE;
    STDMETHOD_(ULONG, AddRef)() PURE;
    STDMETHOD_(ULONG, Release)() PURE;

protected:
    ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;

struct IClassFactory : IUnknown {
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** object) PURE;
    STDMETHOD(LockServer)(BOOL lock) PURE;

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
    HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(EXCEPINFO*);
    LONG scode;
};

typedef LONG MEMBERID;
#define MEMBERID_NIL DISPID_UNKNOWN

struct ITypeLib;

// Type information of one type. The stand-in answers what hosts use for late binding (names to
// member ids, calls through the description, the containing library); the layout-describing
// calls report E_NOTIMPL.
struct ITypeInfo : IUnknown {
    STDMETHOD(GetTypeAttr)(void** attr) PURE;
    STDMETHOD(GetTypeComp)(IUnknown** comp) PURE;
    STDMETHOD(GetFuncDesc)(UINT index, void** desc) PURE;
    STDMETHOD(GetVarDesc)(UINT index, void** desc) PURE;
    STDMETHOD(GetNames)(MEMBERID id, BSTR* names, UINT maxNames, UINT* count) PURE;
    STDMETHOD(GetRefTypeOfImplType)(UINT index, DWORD* ref) PURE;
    STDMETHOD(GetImplTypeFlags)(UINT index, INT* flags) PURE;
    STDMETHOD(GetIDsOfNames)(LPOLESTR* names, UINT count, MEMBERID* ids) PURE;
    STDMETHOD(Invoke)(void* instance, MEMBERID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT* argErr) PURE;
    STDMETHOD(GetDocumentation)(MEMBERID id, BSTR* name, BSTR* doc, DWORD* helpContext, BSTR* helpFile) PURE;
    STDMETHOD(GetDllEntry)(MEMBERID id, int invokeKind, BSTR* dll, BSTR* name, WORD* ordinal) PURE;
    STDMETHOD(GetRefTypeInfo)(DWORD ref, ITypeInfo** info) PURE;
    STDMETHOD(AddressOfMember)(MEMBERID id, int invokeKind, void** address) PURE;
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** object) PURE;
    STDMETHOD(GetMops)(MEMBERID id, BSTR* mops) PURE;
    STDMETHOD(GetContainingTypeLib)(ITypeLib** lib, UINT* index) PURE;
    STDMETHOD_(void, ReleaseTypeAttr)(void* attr) PURE;
    STDMETHOD_(void, ReleaseFuncDesc)(void* desc) PURE;
    STDMETHOD_(void, ReleaseVarDesc)(void* desc) PURE;

protected:
    ~ITypeInfo() = default;
};
typedef ITypeInfo* LPTYPEINFO;

struct IDispatch : IUnknown {
    STDMETHOD(GetTypeInfoCount)(UINT* count) PURE;
    STDMETHOD(GetTypeInfo)(UINT index, LCID lcid, ITypeInfo** info) PURE;
    // Names are UTF-16, matched without regard to case; unknown names give DISP_E_UNKNOWNNAME
    // with DISPID_UNKNOWN in their slot.
    STDMETHOD(GetIDsOfNames)(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) PURE;
    STDMETHOD(Invoke)(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT* argErr) PURE;

protected:
    ~IDispatch() = default;
};
typedef IDispatch* LPDISPATCH;

#define INTERFACESAFE_FOR_UNTRUSTED_CALLER 0x00000001
#define INTERFACESAFE_FOR_UNTRUSTED_DATA 0x00000002

struct IObjectSafety : IUnknown {
    STDMETHOD(GetInterfaceSafetyOptions)(REFIID iid, DWORD* supported, DWORD* enabled) PURE;
    STDMETHOD(SetInterfaceSafetyOptions)(REFIID iid, DWORD mask, DWORD enabled) PURE;

protected:
    ~IObjectSafety() = default;
};

struct ISequentialStream : IUnknown {
    // Read reports a short count (S_FALSE) at the end instead of failing.
    STDMETHOD(Read)(void* buffer, ULONG count, ULONG* read) PURE;
    STDMETHOD(Write)(const void* buffer, ULONG count, ULONG* written) PURE;

protected:
    ~ISequentialStream() = default;
};

#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2
#define STGTY_STREAM 2
#define STATFLAG_DEFAULT 0
#define STATFLAG_NONAME 1
#define STG_E_INVALIDFUNCTION ((HRESULT)0x80030001L)
#define STG_E_MEDIUMFULL ((HRESULT)0x80030070L)
#define STG_E_INVALIDPOINTER ((HRESULT)0x80030009L)

struct STATSTG {
    LPOLESTR pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};

struct IStream : ISequentialStream {
    STDMETHOD(Seek)(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) PURE;
    STDMETHOD(SetSize)(ULARGE_INTEGER newSize) PURE;
    STDMETHOD(CopyTo)(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read, ULARGE_INTEGER* written) PURE;
    STDMETHOD(Commit)(DWORD flags) PURE;
    STDMETHOD(Revert)() PURE;
    STDMETHOD(LockRegion)(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD lockType) PURE;
    STDMETHOD(UnlockRegion)(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD lockType) PURE;
    STDMETHOD(Stat)(STATSTG* stat, DWORD flags) PURE;
    STDMETHOD(Clone)(IStream** copy) PURE;

protected:
    ~IStream() = default;
};
typedef IStream* LPSTREAM;

struct IPersist : IUnknown {
    STDMETHOD(GetClassID)(CLSID* clsid) PURE;

protected:
    ~IPersist() = default;
};

struct IPersistStreamInit : IPersist {
    STDMETHOD(IsDirty)() PURE;
    STDMETHOD(Load)(LPSTREAM stream) PURE;
    STDMETHOD(Save)(LPSTREAM stream, BOOL clearDirty) PURE;
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) PURE;
    STDMETHOD(InitNew)() PURE;

protected:
    ~IPersistStreamInit() = default;
};

struct RECTL {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECTL* LPRECTL;
typedef const RECTL* LPCRECTL;
struct SIZEL {
    LONG cx;
    LONG cy;
};
typedef SIZEL* LPSIZEL;

// Records the view and object interfaces pass through; the control never looks inside them.
struct DVTARGETDEVICE;
struct MSG;
typedef MSG* LPMSG;
struct IAdviseSink;
struct IMoniker;
struct IOleContainer;
struct IDataObject;
struct IEnumOLEVERB;
struct IEnumSTATDATA;

#define DVASPECT_CONTENT 1

// The container's side of an embedded object.
struct IOleClientSite : IUnknown {
    STDMETHOD(SaveObject)() PURE;
    STDMETHOD(GetMoniker)(DWORD assign, DWORD which, IMoniker** moniker) PURE;
    STDMETHOD(GetContainer)(IOleContainer** container) PURE;
    STDMETHOD(ShowObject)() PURE;
    STDMETHOD(OnShowWindow)(BOOL show) PURE;
    STDMETHOD(RequestNewObjectLayout)() PURE;

protected:
    ~IOleClientSite() = default;
};

struct IViewObject : IUnknown {
    STDMETHOD(Draw)(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* targetDevice, HDC hdcTargetDev,
                    HDC hdcDraw, LPCRECTL bounds, LPCRECTL wBounds,
                    BOOL(STDMETHODCALLTYPE* contnue)(ULONG_PTR argument), ULONG_PTR contnueArg) PURE;
    STDMETHOD(GetColorSet)(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* targetDevice,
                           HDC hicTargetDev, LOGPALETTE** colorSet) PURE;
    STDMETHOD(Freeze)(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) PURE;
    STDMETHOD(Unfreeze)(DWORD freeze) PURE;
    STDMETHOD(SetAdvise)(DWORD aspects, DWORD advf, IAdviseSink* sink) PURE;
    STDMETHOD(GetAdvise)(DWORD* aspects, DWORD* advf, IAdviseSink** sink) PURE;

protected:
    ~IViewObject() = default;
};

#define OLEIVERB_PRIMARY 0L
#define OLEIVERB_SHOW (-1L)
#define OLEIVERB_OPEN (-2L)
#define OLEIVERB_HIDE (-3L)
#define OLEIVERB_UIACTIVATE (-4L)
#define OLEIVERB_INPLACEACTIVATE (-5L)
#define OLEIVERB_DISCARDUNDOSTATE (-6L)
#define OLEIVERB_PROPERTIES (-7L)
#define OLEMISC_RECOMPOSEONRESIZE 0x1
#define OLEMISC_CANTLINKINSIDE 0x10
#define OLEMISC_INSIDEOUT 0x80
#define OLEMISC_ACTIVATEWHENVISIBLE 0x100
#define OLEMISC_SETCLIENTSITEFIRST 0x20000
#define OLEOBJ_E_NOVERBS ((HRESULT)0x80040180L)
#define OLEOBJ_S_INVALIDVERB ((HRESULT)0x00040180L)
#define OLE_E_NOCONNECTION ((HRESULT)0x80040004L)
#define OLE_S_USEREG ((HRESULT)0x00040000L)
#define USERCLASSTYPE_FULL 1
#define USERCLASSTYPE_SHORT 2
#define USERCLASSTYPE_APPNAME 3

struct OLEVERB {
    LONG lVerb;
    LPOLESTR lpszVerbName;  // the verb's menu entry
    DWORD fuFlags;
    DWORD grfAttribs;
};

struct IOleObject : IUnknown {
    STDMETHOD(SetClientSite)(IOleClientSite* site) PURE;
    STDMETHOD(GetClientSite)(IOleClientSite** site) PURE;
    STDMETHOD(SetHostNames)(LPCOLESTR containerApp, LPCOLESTR containerObj) PURE;
    STDMETHOD(Close)(DWORD saveOption) PURE;
    STDMETHOD(SetMoniker)(DWORD which, IMoniker* moniker) PURE;
    STDMETHOD(GetMoniker)(DWORD assign, DWORD which, IMoniker** moniker) PURE;
    STDMETHOD(InitFromData)(IDataObject* data, BOOL creation, DWORD reserved) PURE;
    STDMETHOD(GetClipboardData)(DWORD reserved, IDataObject** data) PURE;
    STDMETHOD(DoVerb)(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index, HWND parent,
                      LPCRECT posRect) PURE;
    STDMETHOD(EnumVerbs)(IEnumOLEVERB** verbs) PURE;
    STDMETHOD(Update)() PURE;
    STDMETHOD(IsUpToDate)() PURE;
    STDMETHOD(GetUserClassID)(CLSID* clsid) PURE;
    STDMETHOD(GetUserType)(DWORD formOfType, LPOLESTR* userType) PURE;
    // The extent in HIMETRIC units (0.01 mm), as the container sizes the object.
    STDMETHOD(SetExtent)(DWORD aspect, SIZEL* size) PURE;
    STDMETHOD(GetExtent)(DWORD aspect, SIZEL* size) PURE;
    STDMETHOD(Advise)(IAdviseSink* sink, DWORD* connection) PURE;
    STDMETHOD(Unadvise)(DWORD connection) PURE;
    STDMETHOD(EnumAdvise)(IEnumSTATDATA** advise) PURE;
    STDMETHOD(GetMiscStatus)(DWORD aspect, DWORD* status) PURE;
    STDMETHOD(SetColorScheme)(LOGPALETTE* palette) PURE;

protected:
    ~IOleObject() = default;
};

struct CAUUID {
    ULONG cElems;
    GUID* pElems;  // allocated with CoTaskMemAlloc; the caller frees it with CoTaskMemFree
};

struct ISpecifyPropertyPages : IUnknown {
    STDMETHOD(GetPages)(CAUUID* pages) PURE;

protected:
    ~ISpecifyPropertyPages() = default;
};

// Property pages: the page a property frame hosts, and the frame's side of it.
#define PROPPAGESTATUS_DIRTY 0x1
#define PROPPAGESTATUS_VALIDATE 0x2
#define PROPPAGESTATUS_CLEAN 0x4

struct PROPPAGEINFO {
    ULONG cb;
    LPOLESTR pszTitle;  // the tab's text; CoTaskMemAlloc'd, the frame frees it
    SIZE size;          // the page's size in pixels
    LPOLESTR pszDocString;
    LPOLESTR pszHelpFile;
    DWORD dwHelpContext;
};

struct IPropertyPageSite : IUnknown {
    STDMETHOD(OnStatusChange)(DWORD flags) PURE;
    STDMETHOD(GetLocaleID)(LCID* locale) PURE;
    STDMETHOD(GetPageContainer)(IUnknown** container) PURE;
    STDMETHOD(TranslateAccelerator)(MSG* msg) PURE;

protected:
    ~IPropertyPageSite() = default;
};

struct IPropertyPage : IUnknown {
    STDMETHOD(SetPageSite)(IPropertyPageSite* site) PURE;
    STDMETHOD(Activate)(HWND parent, LPCRECT rect, BOOL modal) PURE;
    STDMETHOD(Deactivate)() PURE;
    STDMETHOD(GetPageInfo)(PROPPAGEINFO* info) PURE;
    STDMETHOD(SetObjects)(ULONG count, IUnknown** objects) PURE;
    STDMETHOD(Show)(UINT cmdShow) PURE;
    STDMETHOD(Move)(LPCRECT rect) PURE;
    STDMETHOD(IsPageDirty)() PURE;
    STDMETHOD(Apply)() PURE;
    STDMETHOD(Help)(LPCOLESTR helpDir) PURE;
    STDMETHOD(TranslateAccelerator)(MSG* msg) PURE;

protected:
    ~IPropertyPage() = default;
};

#define GUIDKIND_DEFAULT_SOURCE_DISP_IID 1

struct IProvideClassInfo : IUnknown {
    // The type information of the object's class (its coclass).
    STDMETHOD(GetClassInfo)(ITypeInfo** info) PURE;

protected:
    ~IProvideClassInfo() = default;
};

struct IProvideClassInfo2 : IProvideClassInfo {
    // GUIDKIND_DEFAULT_SOURCE_DISP_IID: the default event interface.
    STDMETHOD(GetGUID)(DWORD kind, GUID* guid) PURE;

protected:
    ~IProvideClassInfo2() = default;
};

#define CONNECT_E_NOCONNECTION ((HRESULT)0x80040200L)
#define CONNECT_E_ADVISELIMIT ((HRESULT)0x80040201L)
#define CONNECT_E_CANNOTCONNECT ((HRESULT)0x80040202L)

struct CONNECTDATA {
    IUnknown* pUnk;  // the sink, AddRef'd for whoever receives it
    DWORD dwCookie;
};

struct IConnectionPointContainer;

struct IEnumConnections : IUnknown {
    STDMETHOD(Next)(ULONG count, CONNECTDATA* connections, ULONG* fetched) PURE;
    STDMETHOD(Skip)(ULONG count) PURE;
    STDMETHOD(Reset)() PURE;
    STDMETHOD(Clone)(IEnumConnections** copy) PURE;

protected:
    ~IEnumConnections() = default;
};

// One outgoing interface of an object: the sinks that listen on it.
struct IConnectionPoint : IUnknown {
    STDMETHOD(GetConnectionInterface)(IID* iid) PURE;
    STDMETHOD(GetConnectionPointContainer)(IConnectionPointContainer** container) PURE;
    STDMETHOD(Advise)(IUnknown* sink, DWORD* cookie) PURE;
    STDMETHOD(Unadvise)(DWORD cookie) PURE;
    STDMETHOD(EnumConnections)(IEnumConnections** connections) PURE;

protected:
    ~IConnectionPoint() = default;
};

struct IEnumConnectionPoints : IUnknown {
    STDMETHOD(Next)(ULONG count, IConnectionPoint** points, ULONG* fetched) PURE;
    STDMETHOD(Skip)(ULONG count) PURE;
    STDMETHOD(Reset)() PURE;
    STDMETHOD(Clone)(IEnumConnectionPoints** copy) PURE;

protected:
    ~IEnumConnectionPoints() = default;
};

struct IConnectionPointContainer : IUnknown {
    STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** points) PURE;
    STDMETHOD(FindConnectionPoint)(REFIID iid, IConnectionPoint** point) PURE;

protected:
    ~IConnectionPointContainer() = default;
};

void* CoTaskMemAlloc(SIZE_T bytes);
void CoTaskMemFree(void* block);

// ---- In-place containment: the interfaces through which a container embeds the control in
// its window (site, frame and document window on the container's side; in-place object,
// active object, control and view on the control's side), and the view advise sink. ----
extern const IID IID_IOleClientSite;
extern const IID IID_IOleWindow;
extern const IID IID_IOleInPlaceObject;
extern const IID IID_IOleInPlaceActiveObject;
extern const IID IID_IOleInPlaceUIWindow;
extern const IID IID_IOleInPlaceFrame;
extern const IID IID_IOleInPlaceSite;
extern const IID IID_IOleControl;
extern const IID IID_IViewObject2;
extern const IID IID_IAdviseSink;

struct FORMATETC;
struct STGMEDIUM;
typedef RECT BORDERWIDTHS;
typedef const RECT* LPCBORDERWIDTHS;
typedef HANDLE HOLEMENU;
struct OLEMENUGROUPWIDTHS {
    LONG width[6];
};
typedef OLEMENUGROUPWIDTHS* LPOLEMENUGROUPWIDTHS;
struct OLEINPLACEFRAMEINFO {
    UINT cb;  // set by the caller
    BOOL fMDIApp;
    HWND hwndFrame;
    HACCEL haccel;
    UINT cAccelEntries;
};
typedef OLEINPLACEFRAMEINFO* LPOLEINPLACEFRAMEINFO;
struct CONTROLINFO {
    ULONG cb;  // set by the caller
    HACCEL hAccel;
    USHORT cAccel;
    DWORD dwFlags;
};

#define ADVF_NODATA 1
#define ADVF_PRIMEFIRST 2
#define ADVF_ONLYONCE 4
#define OLECLOSE_SAVEIFDIRTY 0
#define OLECLOSE_NOSAVE 1
#define OLECLOSE_PROMPTSAVE 2
#define OLEOBJ_S_CANNOT_DOVERB_NOW ((HRESULT)0x00040181L)
#define INPLACE_E_NOTUNDOABLE ((HRESULT)0x800401A0L)
#define DV_E_DVASPECT ((HRESULT)0x8004006BL)

struct IAdviseSink : IUnknown {
    STDMETHOD_(void, OnDataChange)(FORMATETC* format, STGMEDIUM* medium) PURE;
    STDMETHOD_(void, OnViewChange)(DWORD aspect, LONG index) PURE;
    STDMETHOD_(void, OnRename)(IMoniker* moniker) PURE;
    STDMETHOD_(void, OnSave)() PURE;
    STDMETHOD_(void, OnClose)() PURE;

protected:
    ~IAdviseSink() = default;
};

struct IViewObject2 : IViewObject {
    STDMETHOD(GetExtent)(DWORD aspect, LONG index, DVTARGETDEVICE* targetDevice, LPSIZEL size) PURE;

protected:
    ~IViewObject2() = default;
};

struct IOleWindow : IUnknown {
    STDMETHOD(GetWindow)(HWND* window) PURE;
    STDMETHOD(ContextSensitiveHelp)(BOOL enterMode) PURE;

protected:
    ~IOleWindow() = default;
};

struct IOleInPlaceObject : IOleWindow {
    STDMETHOD(InPlaceDeactivate)() PURE;
    STDMETHOD(UIDeactivate)() PURE;
    STDMETHOD(SetObjectRects)(LPCRECT posRect, LPCRECT clipRect) PURE;
    STDMETHOD(ReactivateAndUndo)() PURE;

protected:
    ~IOleInPlaceObject() = default;
};

struct IOleInPlaceUIWindow;
struct IOleInPlaceActiveObject : IOleWindow {
    STDMETHOD(TranslateAccelerator)(LPMSG msg) PURE;
    STDMETHOD(OnFrameWindowActivate)(BOOL activate) PURE;
    STDMETHOD(OnDocWindowActivate)(BOOL activate) PURE;
    STDMETHOD(ResizeBorder)(LPCRECT border, IOleInPlaceUIWindow* uiWindow, BOOL frameWindow) PURE;
    STDMETHOD(EnableModeless)(BOOL enable) PURE;

protected:
    ~IOleInPlaceActiveObject() = default;
};

struct IOleInPlaceUIWindow : IOleWindow {
    STDMETHOD(GetBorder)(LPRECT border) PURE;
    STDMETHOD(RequestBorderSpace)(LPCBORDERWIDTHS widths) PURE;
    STDMETHOD(SetBorderSpace)(LPCBORDERWIDTHS widths) PURE;
    STDMETHOD(SetActiveObject)(IOleInPlaceActiveObject* activeObject, LPCOLESTR objectName) PURE;

protected:
    ~IOleInPlaceUIWindow() = default;
};

struct IOleInPlaceFrame : IOleInPlaceUIWindow {
    STDMETHOD(InsertMenus)(HMENU shared, LPOLEMENUGROUPWIDTHS widths) PURE;
    STDMETHOD(SetMenu)(HMENU shared, HOLEMENU oleMenu, HWND activeObject) PURE;
    STDMETHOD(RemoveMenus)(HMENU shared) PURE;
    STDMETHOD(SetStatusText)(LPCOLESTR text) PURE;
    STDMETHOD(EnableModeless)(BOOL enable) PURE;
    STDMETHOD(TranslateAccelerator)(LPMSG msg, WORD id) PURE;

protected:
    ~IOleInPlaceFrame() = default;
};

struct IOleInPlaceSite : IOleWindow {
    STDMETHOD(CanInPlaceActivate)() PURE;
    STDMETHOD(OnInPlaceActivate)() PURE;
    STDMETHOD(OnUIActivate)() PURE;
    STDMETHOD(GetWindowContext)(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT posRect,
                                LPRECT clipRect, LPOLEINPLACEFRAMEINFO frameInfo) PURE;
    STDMETHOD(Scroll)(SIZE extent) PURE;
    STDMETHOD(OnUIDeactivate)(BOOL undoable) PURE;
    STDMETHOD(OnInPlaceDeactivate)() PURE;
    STDMETHOD(DiscardUndoState)() PURE;
    STDMETHOD(DeactivateAndUndo)() PURE;
    STDMETHOD(OnPosRectChange)(LPCRECT posRect) PURE;

protected:
    ~IOleInPlaceSite() = default;
};

struct IOleControl : IUnknown {
    STDMETHOD(GetControlInfo)(CONTROLINFO* info) PURE;
    STDMETHOD(OnMnemonic)(MSG* msg) PURE;
    STDMETHOD(OnAmbientPropertyChange)(DISPID id) PURE;
    STDMETHOD(FreezeEvents)(BOOL freeze) PURE;

protected:
    ~IOleControl() = default;
};

// ---- What hosts beyond the in-place container use: change notifications and error
// information for property browsers and script hosts, property bags for pages and text
// forms. ----
extern const IID IID_IPropertyNotifySink;
extern const IID IID_ISupportErrorInfo;
extern const IID IID_IErrorInfo;
extern const IID IID_ICreateErrorInfo;
extern const IID IID_IPersistPropertyBag;
extern const IID IID_IPropertyBag;
extern const IID IID_IErrorLog;

struct IPropertyNotifySink : IUnknown {
    STDMETHOD(OnChanged)(DISPID id) PURE;
    STDMETHOD(OnRequestEdit)(DISPID id) PURE;

protected:
    ~IPropertyNotifySink() = default;
};

struct ISupportErrorInfo : IUnknown {
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) PURE;

protected:
    ~ISupportErrorInfo() = default;
};

struct IErrorInfo : IUnknown {
    STDMETHOD(GetGUID)(GUID* guid) PURE;
    STDMETHOD(GetSource)(BSTR* source) PURE;
    STDMETHOD(GetDescription)(BSTR* description) PURE;
    STDMETHOD(GetHelpFile)(BSTR* helpFile) PURE;
    STDMETHOD(GetHelpContext)(DWORD* helpContext) PURE;

protected:
    ~IErrorInfo() = default;
};

struct ICreateErrorInfo : IUnknown {
    STDMETHOD(SetGUID)(REFGUID guid) PURE;
    STDMETHOD(SetSource)(LPOLESTR source) PURE;
    STDMETHOD(SetDescription)(LPOLESTR description) PURE;
    STDMETHOD(SetHelpFile)(LPOLESTR helpFile) PURE;
    STDMETHOD(SetHelpContext)(DWORD helpContext) PURE;

protected:
    ~ICreateErrorInfo() = default;
};

// The calling thread's error object: a new one to fill, set (null clears) and taken back (the
// caller gets the reference and the thread's slot is cleared; S_FALSE when there is none).
HRESULT CreateErrorInfo(ICreateErrorInfo** info);
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info);

struct IErrorLog : IUnknown {
    STDMETHOD(AddError)(LPCOLESTR propertyName, EXCEPINFO* excep) PURE;

protected:
    ~IErrorLog() = default;
};

struct IPropertyBag : IUnknown {
    // Read: a VT_EMPTY variant asks for the stored type, another type for a conversion to it.
    STDMETHOD(Read)(LPCOLESTR propertyName, VARIANT* value, IErrorLog* errorLog) PURE;
    STDMETHOD(Write)(LPCOLESTR propertyName, VARIANT* value) PURE;

protected:
    ~IPropertyBag() = default;
};

struct IPersistPropertyBag : IPersist {
    STDMETHOD(InitNew)() PURE;
    STDMETHOD(Load)(IPropertyBag* bag, IErrorLog* errorLog) PURE;
    STDMETHOD(Save)(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) PURE;

protected:
    ~IPersistPropertyBag() = default;
};

// ---- Compound documents: the storage a container keeps an embedded object in, and the
// persistence and running-state interfaces its embedding functions call. ----
extern const IID IID_IStorage;
extern const IID IID_IPersistStorage;
extern const IID IID_IPersistStream;
extern const IID IID_IPersistMemory;

#define STGM_READ 0x00000000L
#define STGM_WRITE 0x00000001L
#define STGM_READWRITE 0x00000002L
#define STGM_SHARE_EXCLUSIVE 0x00000010L
#define STGM_CREATE 0x00001000L
#define STG_E_FILENOTFOUND ((HRESULT)0x80030002L)
#define STG_E_MEDIUMFULL ((HRESULT)0x80030070L)
#define STGC_DEFAULT 0
#define CO_E_ALREADYINITIALIZED ((HRESULT)0x800401F1L)

struct IEnumSTATSTG;
typedef LPOLESTR* SNB;

struct IStorage : IUnknown {
    STDMETHOD(CreateStream)(const OLECHAR* name, DWORD mode, DWORD reserved1, DWORD reserved2, IStream** stream) PURE;
    STDMETHOD(OpenStream)(const OLECHAR* name, void* reserved1, DWORD mode, DWORD reserved2, IStream** stream) PURE;
    STDMETHOD(CreateStorage)(const OLECHAR* name, DWORD mode, DWORD reserved1, DWORD reserved2,
                             IStorage** storage) PURE;
    STDMETHOD(OpenStorage)(const OLECHAR* name, IStorage* priority, DWORD mode, SNB exclude, DWORD reserved,
                           IStorage** storage) PURE;
    STDMETHOD(CopyTo)(DWORD excludeCount, const IID* exclude, SNB excludeNames, IStorage* target) PURE;
    STDMETHOD(MoveElementTo)(const OLECHAR* name, IStorage* target, const OLECHAR* newName, DWORD flags) PURE;
    STDMETHOD(Commit)(DWORD flags) PURE;
    STDMETHOD(Revert)() PURE;
    STDMETHOD(EnumElements)(DWORD reserved1, void* reserved2, DWORD reserved3, IEnumSTATSTG** elements) PURE;
    STDMETHOD(DestroyElement)(const OLECHAR* name) PURE;
    STDMETHOD(RenameElement)(const OLECHAR* oldName, const OLECHAR* newName) PURE;
    STDMETHOD(SetElementTimes)(const OLECHAR* name, const FILETIME* created, const FILETIME* accessed,
                               const FILETIME* modified) PURE;
    STDMETHOD(SetClass)(REFCLSID clsid) PURE;
    STDMETHOD(SetStateBits)(DWORD bits, DWORD mask) PURE;
    STDMETHOD(Stat)(STATSTG* stat, DWORD flags) PURE;

protected:
    ~IStorage() = default;
};
typedef IStorage* LPSTORAGE;

struct IPersistStorage : IPersist {
    STDMETHOD(IsDirty)() PURE;
    STDMETHOD(InitNew)(IStorage* storage) PURE;
    STDMETHOD(Load)(IStorage* storage) PURE;
    STDMETHOD(Save)(IStorage* storage, BOOL sameAsLoad) PURE;
    STDMETHOD(SaveCompleted)(IStorage* storage) PURE;
    STDMETHOD(HandsOffStorage)() PURE;

protected:
    ~IPersistStorage() = default;
};

struct IPersistMemory : IPersist {
    STDMETHOD(IsDirty)() PURE;
    STDMETHOD(Load)(LPVOID memory, ULONG size) PURE;
    STDMETHOD(Save)(LPVOID memory, BOOL clearDirty, ULONG size) PURE;
    STDMETHOD(GetSizeMax)(ULONG* size) PURE;
    STDMETHOD(InitNew)() PURE;

protected:
    ~IPersistMemory() = default;
};

struct IBindCtx;
typedef CLSID* LPCLSID;
typedef IBindCtx* LPBINDCTX;

struct IRunnableObject : IUnknown {
    STDMETHOD(GetRunningClass)(LPCLSID clsid) PURE;
    STDMETHOD(Run)(LPBINDCTX bindContext) PURE;
    STDMETHOD_(BOOL, IsRunning)() PURE;
    STDMETHOD(LockRunning)(BOOL lock, BOOL lastUnlockCloses) PURE;
    STDMETHOD(SetContainedObject)(BOOL contained) PURE;

protected:
    ~IRunnableObject() = default;
};

// ---- Data transfer: the formats and media of the clipboard and of drag and drop, and the
// object that offers them. ----
extern const IID IID_IDataObject;
extern const IID IID_IEnumFORMATETC;

typedef WORD CLIPFORMAT;
#define CF_BITMAP 2
#define CF_DIB 8
#define TYMED_NULL 0
#define TYMED_HGLOBAL 1
#define TYMED_ISTREAM 4
#define TYMED_GDI 16
#define DATADIR_GET 1
#define DATADIR_SET 2
#define DVASPECT_THUMBNAIL 2
#define DVASPECT_ICON 4
#define DVASPECT_DOCPRINT 8
#define DV_E_FORMATETC ((HRESULT)0x80040064L)
#define DV_E_LINDEX ((HRESULT)0x80040068L)
#define DV_E_TYMED ((HRESULT)0x80040069L)
#define DATA_S_SAMEFORMATETC ((HRESULT)0x00040130L)
#define OLE_E_ADVISENOTSUPPORTED ((HRESULT)0x80040003L)

struct FORMATETC {
    CLIPFORMAT cfFormat;
    DVTARGETDEVICE* ptd;  // null: any device
    DWORD dwAspect;
    LONG lindex;  // -1: the whole
    DWORD tymed;  // TYMED_ flags
};
typedef FORMATETC* LPFORMATETC;

// One medium: the handle its tymed names. With pUnkForRelease null, ReleaseStgMedium frees
// the handle; otherwise it releases that object instead.
struct STGMEDIUM {
    DWORD tymed;
    union {
        HBITMAP hBitmap;
        HGLOBAL hGlobal;
        IStream* pstm;
    };
    IUnknown* pUnkForRelease;
};
typedef STGMEDIUM* LPSTGMEDIUM;
void ReleaseStgMedium(STGMEDIUM* medium);

struct IEnumFORMATETC : IUnknown {
    STDMETHOD(Next)(ULONG count, FORMATETC* formats, ULONG* fetched) PURE;
    STDMETHOD(Skip)(ULONG count) PURE;
    STDMETHOD(Reset)() PURE;
    STDMETHOD(Clone)(IEnumFORMATETC** copy) PURE;

protected:
    ~IEnumFORMATETC() = default;
};

struct IDataObject : IUnknown {
    STDMETHOD(GetData)(FORMATETC* format, STGMEDIUM* medium) PURE;
    STDMETHOD(GetDataHere)(FORMATETC* format, STGMEDIUM* medium) PURE;
    STDMETHOD(QueryGetData)(FORMATETC* format) PURE;
    STDMETHOD(GetCanonicalFormatEtc)(FORMATETC* in, FORMATETC* out) PURE;
    STDMETHOD(SetData)(FORMATETC* format, STGMEDIUM* medium, BOOL release) PURE;
    STDMETHOD(EnumFormatEtc)(DWORD direction, IEnumFORMATETC** formats) PURE;
    STDMETHOD(DAdvise)(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) PURE;
    STDMETHOD(DUnadvise)(DWORD connection) PURE;
    STDMETHOD(EnumDAdvise)(IEnumSTATDATA** advise) PURE;

protected:
    ~IDataObject() = default;
};

// ---- Form designers' conventions: quick activation and pointer handling for inactive
// objects, and the verbs an object lists. ----
extern const IID IID_IQuickActivate;
extern const IID IID_IPointerInactive;
extern const IID IID_IEnumOLEVERB;
extern const IID IID_IRunnableObject;

typedef DWORD OLE_COLOR;
struct IAdviseSinkEx;
struct IFont;
struct IOleUndoManager;
struct IBindHost;
struct IOleControlSite;
struct IServiceProvider;

struct QACONTAINER {
    ULONG cbSize;
    IOleClientSite* pClientSite;
    IAdviseSinkEx* pAdviseSink;
    IPropertyNotifySink* pPropertyNotifySink;
    IUnknown* pUnkEventSink;
    DWORD dwAmbientFlags;
    OLE_COLOR colorFore;
    OLE_COLOR colorBack;
    IFont* pFont;
    IOleUndoManager* pUndoMgr;
    DWORD dwAppearance;
    LONG lcid;
    HPALETTE hpal;
    IBindHost* pBindHost;
    IOleControlSite* pOleControlSite;
    IServiceProvider* pServiceProvider;
};

struct QACONTROL {
    ULONG cbSize;
    DWORD dwMiscStatus;
    DWORD dwViewStatus;
    DWORD dwEventCookie;
    DWORD dwPropNotifyCookie;
    DWORD dwPointerActivationPolicy;
};

#define VIEWSTATUS_OPAQUE 1
#define VIEWSTATUS_SOLIDBKGND 2

struct IQuickActivate : IUnknown {
    STDMETHOD(QuickActivate)(QACONTAINER* container, QACONTROL* control) PURE;
    STDMETHOD(SetContentExtent)(LPSIZEL size) PURE;
    STDMETHOD(GetContentExtent)(LPSIZEL size) PURE;

protected:
    ~IQuickActivate() = default;
};

struct IPointerInactive : IUnknown {
    STDMETHOD(GetActivationPolicy)(DWORD* policy) PURE;
    STDMETHOD(OnInactiveMouseMove)(LPCRECT bounds, LONG x, LONG y, DWORD keyState) PURE;
    STDMETHOD(OnInactiveSetCursor)(LPCRECT bounds, LONG x, LONG y, DWORD message, BOOL setAlways) PURE;

protected:
    ~IPointerInactive() = default;
};

struct IEnumOLEVERB : IUnknown {
    STDMETHOD(Next)(ULONG count, OLEVERB* verbs, ULONG* fetched) PURE;
    STDMETHOD(Skip)(ULONG count) PURE;
    STDMETHOD(Reset)() PURE;
    STDMETHOD(Clone)(IEnumOLEVERB** copy) PURE;

protected:
    ~IEnumOLEVERB() = default;
};

#endif  // !_WIN32
