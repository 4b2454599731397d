// The control base class. It carries a control's automation (property get/put and methods
// by DISPID from the class's dispatch map, with the value conversion and change
// notification) with its type information, its persistence (Serialize with the framework's
// own small versioned part, DoPropExchange, OnResetState), painting (OnDraw), size, modified
// flag, verbs and property pages, and hands them to hosts through IDispatch, IPersistStreamInit
// (and IPersistStream), IPersistStorage, IPersistMemory, IPersistPropertyBag, IViewObject2,
// IDataObject, IOleObject, IRunnableObject, IOleInPlaceObject, IOleInPlaceActiveObject,
// IOleControl, IQuickActivate, IPointerInactive, ISpecifyPropertyPages, IProvideClassInfo2,
// ISupportErrorInfo and IConnectionPointContainer (two connection points: the class's event
// interface and property change notifications); on Windows the system's data cache is
// aggregated for IOleCache, IOleCache2 and IOleCacheControl. Activated in place, the control paints through
// OnDraw in a child window of the container's window.
// The implementation is one file per interface family, each with the state it owns: core and
// lifetime with the object's site (olecontrol.cpp), dispatch and class information, events and
// connection points, persistence, view and data, in-place activation and verbs, property pages.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/afx/archive.h"
#include "platform/afx/cdc.h"
#include "platform/afx/comref.h"
#include "platform/afx/cstring.h"
#include "platform/afx/propexchange.h"
#include "platform/com/interfaces.h"
#include "platform/win32.h"

class COleControl;

// One dispatch-map entry. Property storage by type: VT_I2 short, VT_I4 LONG, VT_BOOL BOOL,
// VT_UI4 OLE_COLOR (a DWORD; read as VT_I4, set from VT_I4, VT_UI4 or text, its 32 bits kept),
// VT_BSTR CString. Methods have vt VT_EMPTY.
// A property with get and set functions (DISP_PROPERTY_EX_ID) has `get` and `put` instead of
// storage: `put` receives the value already converted to the property's type.
struct AFX_DISPMAP_ENTRY {
    const char* name;
    DISPID dispid;
    VARTYPE vt;
    void* (*address)(COleControl* control);  // property storage
    void (*notify)(COleControl* control);    // after every set
    void (*method)(COleControl* control);
    void (*get)(COleControl* control, VARIANT* result);
    void (*put)(COleControl* control, const VARIANT& value);
};

// The C++ type of a property of automation type vt, as get and set functions see it.
template <VARTYPE vt>
struct AfxPropertyType;
template <>
struct AfxPropertyType<VT_I2> {
    static short From(const VARIANT& v) { return v.iVal; }
    static void To(short value, VARIANT* out) {
        out->vt = VT_I2;
        out->iVal = value;
    }
};
template <>
struct AfxPropertyType<VT_BOOL> {
    static BOOL From(const VARIANT& v) { return v.boolVal ? TRUE : FALSE; }
    static void To(BOOL value, VARIANT* out) {
        out->vt = VT_BOOL;
        out->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
};
// OLE_COLOR goes out as the signed 32-bit value hosts expect of it (VB's Long).
template <>
struct AfxPropertyType<VT_UI4> {
    static OLE_COLOR From(const VARIANT& v) { return v.ulVal; }
    static void To(OLE_COLOR value, VARIANT* out) {
        out->vt = VT_I4;
        out->lVal = static_cast<LONG>(value);
    }
};
// A text property's functions take and give UTF-16 BSTRs (any language); the get's BSTR goes
// to the caller.
template <>
struct AfxPropertyType<VT_BSTR> {
    static BSTR From(const VARIANT& v) { return v.bstrVal; }
    static void To(BSTR value, VARIANT* out) {
        out->vt = VT_BSTR;
        out->bstrVal = value;
    }
};

// One custom verb: its number, the string id of its name, and its action.
struct AFX_VERBMAP_ENTRY {
    LONG verb;
    UINT nameId;
    BOOL (*action)(COleControl* control);
};

#define DECLARE_DISPATCH_MAP() \
protected:                     \
    const AFX_DISPMAP_ENTRY* GetDispatchMap(UINT* count) const override;

#define BEGIN_DISPATCH_MAP(theClass, baseClass)                                      \
    const AFX_DISPMAP_ENTRY* theClass::GetDispatchMap(UINT* count) const {           \
        typedef theClass ThisClass;                                                  \
        static const AFX_DISPMAP_ENTRY entries[] = {
#define DISP_PROPERTY_NOTIFY_ID(name, dispid, member, notify, vt)                              \
    {name, dispid, vt, [](COleControl* p) -> void* { return &static_cast<ThisClass*>(p)->member; }, \
     [](COleControl* p) { static_cast<ThisClass*>(p)->notify(); }, nullptr, nullptr, nullptr},
#define DISP_PROPERTY_EX_ID(theClass, name, dispid, getFn, setFn, vt)                                      \
    {name, dispid, vt, nullptr, nullptr, nullptr,                                                            \
     [](COleControl* p, VARIANT* out) { AfxPropertyType<vt>::To(static_cast<theClass*>(p)->getFn(), out); }, \
     [](COleControl* p, const VARIANT& in) { static_cast<theClass*>(p)->setFn(AfxPropertyType<vt>::From(in)); }},
#define DISP_FUNCTION_ID(name, dispid, function) \
    {name, dispid, VT_EMPTY, nullptr, nullptr, [](COleControl* p) { static_cast<ThisClass*>(p)->function(); }, nullptr, nullptr},
#define END_DISPATCH_MAP()                                \
    };                                                    \
    *count = static_cast<UINT>(sizeof entries / sizeof entries[0]); \
    return entries;                                       \
    }

#define DECLARE_OLEVERB_MAP() \
protected:                    \
    const AFX_VERBMAP_ENTRY* GetVerbMap(UINT* count) const override;
#define BEGIN_OLEVERB_MAP(theClass)                                \
    const AFX_VERBMAP_ENTRY* theClass::GetVerbMap(UINT* count) const { \
        typedef theClass ThisClass;                                \
        static const AFX_VERBMAP_ENTRY entries[] = {
#define ON_OLEVERB(verb, nameId, handler) \
    {verb, nameId, [](COleControl* p) -> BOOL { return static_cast<ThisClass*>(p)->handler(); }},
#define END_OLEVERB_MAP()                                           \
    };                                                              \
    *count = static_cast<UINT>(sizeof entries / sizeof entries[0]); \
    return entries;                                                 \
    }

class COleControl : public IDispatch,
                    public IPersistStreamInit,
                    public IViewObject2,
                    public IOleObject,
                    public IOleInPlaceObject,
                    public IOleInPlaceActiveObject,
                    public IOleControl,
                    public ISpecifyPropertyPages,
                    public IProvideClassInfo2,
                    public IConnectionPointContainer,
                    public ISupportErrorInfo,
                    public IPersistStorage,
                    public IPersistMemory,
                    public IPersistPropertyBag,
                    public IRunnableObject,
                    public IDataObject,
                    public IQuickActivate,
                    public IPointerInactive {
public:
    // A new control holds one reference, owned by its creator.
    COleControl();
    virtual ~COleControl();
    COleControl(const COleControl&) = delete;
    COleControl& operator=(const COleControl&) = delete;

    // IUnknown
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    // IDispatch. The type information is the primary dispatch interface's, from GetTypeLib.
    STDMETHOD(GetTypeInfoCount)(UINT* count) override;
    STDMETHOD(GetTypeInfo)(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHOD(GetIDsOfNames)(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHOD(Invoke)(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT* argErr) override;
    // IPersist, for every persistence form: each control class supplies its CLSID.
    STDMETHOD(GetClassID)(CLSID* clsid) override = 0;
    // IPersistStreamInit
    STDMETHOD(IsDirty)() override;
    STDMETHOD(Load)(LPSTREAM stream) override;
    STDMETHOD(Save)(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) override;
    STDMETHOD(InitNew)() override;
    // IPersistStorage: the settings go into one stream of the storage ("Contents"), the same
    // bytes the stream form writes; where the system has a data cache, its presentation is
    // saved and loaded beside them. The storage is held from InitNew or Load until
    // HandsOffStorage. IsDirty, InitNew() and GetClassID are shared by every form.
    STDMETHOD(InitNew)(IStorage* storage) override;
    STDMETHOD(Load)(IStorage* storage) override;
    STDMETHOD(Save)(IStorage* storage, BOOL sameAsLoad) override;
    STDMETHOD(SaveCompleted)(IStorage* storage) override;
    STDMETHOD(HandsOffStorage)() override;
    // IPersistMemory: the stream form in a block the host owns; a block too small for it gets
    // nothing (STG_E_MEDIUMFULL).
    STDMETHOD(Load)(LPVOID memory, ULONG size) override;
    STDMETHOD(Save)(LPVOID memory, BOOL clearDirty, ULONG size) override;
    STDMETHOD(GetSizeMax)(ULONG* size) override;
    // IPersistPropertyBag: every property of the dispatch map by its name. Load converts each
    // value the bag holds as automation would, leaves properties the bag lacks as they are,
    // and reports a value that is refused to the error log and goes on; Save writes them all.
    STDMETHOD(Load)(IPropertyBag* bag, IErrorLog* errorLog) override;
    STDMETHOD(Save)(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) override;
    // IRunnableObject: an in-process control runs from its creation.
    STDMETHOD(GetRunningClass)(LPCLSID clsid) override;
    STDMETHOD(Run)(LPBINDCTX bindContext) override;
    STDMETHOD_(BOOL, IsRunning)() override;
    STDMETHOD(LockRunning)(BOOL lock, BOOL lastUnlockCloses) override;
    STDMETHOD(SetContainedObject)(BOOL contained) override;
    // IViewObject2: the content, print and thumbnail aspects draw the picture inside the
    // bounds, scaled to them; the icon aspect draws the class's icon. Targets, palettes and
    // freezing are not supported. One view advise sink is held (until replaced, or the control
    // is closed) and told when the picture changes.
    STDMETHOD(Draw)(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* targetDevice, HDC hdcTargetDev,
                    HDC hdcDraw, LPCRECTL bounds, LPCRECTL wBounds,
                    BOOL(STDMETHODCALLTYPE* contnue)(ULONG_PTR argument), ULONG_PTR contnueArg) override;
    STDMETHOD(GetColorSet)(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* targetDevice,
                           HDC hicTargetDev, LOGPALETTE** colorSet) override;
    STDMETHOD(Freeze)(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHOD(Unfreeze)(DWORD freeze) override;
    STDMETHOD(SetAdvise)(DWORD aspects, DWORD advf, IAdviseSink* sink) override;
    STDMETHOD(GetAdvise)(DWORD* aspects, DWORD* advf, IAdviseSink** sink) override;
    STDMETHOD(GetExtent)(DWORD aspect, LONG index, DVTARGETDEVICE* targetDevice, LPSIZEL size) override;
    // IDataObject: the picture for the content, print and thumbnail aspects, as CF_ENHMETAFILE
    // and CF_METAFILEPICT (Windows), CF_DIB and CF_BITMAP; GetDataHere fills a caller's global
    // memory with CF_DIB. Nothing can be set. Data advise sinks hear of every new picture.
    STDMETHOD(GetData)(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHOD(GetDataHere)(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHOD(QueryGetData)(FORMATETC* format) override;
    STDMETHOD(GetCanonicalFormatEtc)(FORMATETC* in, FORMATETC* out) override;
    STDMETHOD(SetData)(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    STDMETHOD(EnumFormatEtc)(DWORD direction, IEnumFORMATETC** formats) override;
    STDMETHOD(DAdvise)(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) override;
    STDMETHOD(DUnadvise)(DWORD connection) override;
    STDMETHOD(EnumDAdvise)(IEnumSTATDATA** advise) override;
    // IOleObject: verbs (show, in-place and UI activation through the client site's
    // IOleInPlaceSite, hide, properties), extent, misc status, the user type and a copy of the
    // control for the clipboard (GetClipboardData). Monikers are not supported. Close saves through the site when
    // asked to and the control is modified, deactivates, and lets go of the site and the view
    // sink.
    STDMETHOD(SetClientSite)(IOleClientSite* site) override;
    STDMETHOD(GetClientSite)(IOleClientSite** site) override;
    STDMETHOD(SetHostNames)(LPCOLESTR containerApp, LPCOLESTR containerObj) override;
    STDMETHOD(Close)(DWORD saveOption) override;
    STDMETHOD(SetMoniker)(DWORD which, IMoniker* moniker) override;
    STDMETHOD(GetMoniker)(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHOD(InitFromData)(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHOD(GetClipboardData)(DWORD reserved, IDataObject** data) override;
    STDMETHOD(DoVerb)(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index, HWND parent,
                      LPCRECT posRect) override;
    STDMETHOD(EnumVerbs)(IEnumOLEVERB** verbs) override;
    STDMETHOD(Update)() override;
    STDMETHOD(IsUpToDate)() override;
    STDMETHOD(GetUserClassID)(CLSID* clsid) override;
    STDMETHOD(GetUserType)(DWORD formOfType, LPOLESTR* userType) override;
    STDMETHOD(SetExtent)(DWORD aspect, SIZEL* size) override;
    STDMETHOD(GetExtent)(DWORD aspect, SIZEL* size) override;
    // The container's compound-document sinks: told when the control is saved and closed.
    STDMETHOD(Advise)(IAdviseSink* sink, DWORD* connection) override;
    STDMETHOD(Unadvise)(DWORD connection) override;
    STDMETHOD(EnumAdvise)(IEnumSTATDATA** advise) override;
    STDMETHOD(GetMiscStatus)(DWORD aspect, DWORD* status) override;
    STDMETHOD(SetColorScheme)(LOGPALETTE* palette) override;
    // IOleWindow, for both in-place interfaces: the control's window while it has one.
    STDMETHOD(GetWindow)(HWND* window) override;
    STDMETHOD(ContextSensitiveHelp)(BOOL enterMode) override;
    // IOleInPlaceObject. SetObjectRects moves the window to the position rectangle and clips
    // it to the clip rectangle (null: no clipping).
    STDMETHOD(InPlaceDeactivate)() override;
    STDMETHOD(UIDeactivate)() override;
    STDMETHOD(SetObjectRects)(LPCRECT posRect, LPCRECT clipRect) override;
    STDMETHOD(ReactivateAndUndo)() override;
    // IOleInPlaceActiveObject: no accelerators, menus or tools of its own.
    STDMETHOD(TranslateAccelerator)(LPMSG msg) override;
    STDMETHOD(OnFrameWindowActivate)(BOOL activate) override;
    STDMETHOD(OnDocWindowActivate)(BOOL activate) override;
    STDMETHOD(ResizeBorder)(LPCRECT border, IOleInPlaceUIWindow* uiWindow, BOOL frameWindow) override;
    STDMETHOD(EnableModeless)(BOOL enable) override;
    // IOleControl: no mnemonics; an ambient property change repaints.
    STDMETHOD(GetControlInfo)(CONTROLINFO* info) override;
    STDMETHOD(OnMnemonic)(MSG* msg) override;
    STDMETHOD(OnAmbientPropertyChange)(DISPID id) override;
    STDMETHOD(FreezeEvents)(BOOL freeze) override;
    // IQuickActivate: the container's client site, view sink, event sink and property sink in
    // one call, answered with the control's misc and view status and the two cookies.
    STDMETHOD(QuickActivate)(QACONTAINER* container, QACONTROL* control) override;
    STDMETHOD(SetContentExtent)(LPSIZEL size) override;
    STDMETHOD(GetContentExtent)(LPSIZEL size) override;
    // IPointerInactive: the control needs no activation for the mouse.
    STDMETHOD(GetActivationPolicy)(DWORD* policy) override;
    STDMETHOD(OnInactiveMouseMove)(LPCRECT bounds, LONG x, LONG y, DWORD keyState) override;
    STDMETHOD(OnInactiveSetCursor)(LPCRECT bounds, LONG x, LONG y, DWORD message, BOOL setAlways) override;
    // ISpecifyPropertyPages
    STDMETHOD(GetPages)(CAUUID* pages) override;
    // IProvideClassInfo2: the control class's coclass, and its default event interface.
    STDMETHOD(GetClassInfo)(ITypeInfo** info) override;
    STDMETHOD(GetGUID)(DWORD kind, GUID* guid) override;
    // IConnectionPointContainer: the event interface's point and the property notification
    // sinks' (IPropertyNotifySink).
    STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** points) override;
    STDMETHOD(FindConnectionPoint)(REFIID iid, IConnectionPoint** point) override;
    // ISupportErrorInfo: the dispatch interfaces leave error information behind a failure
    // (see ReportError).
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override;

    // The verbs a host may offer: the framework's standard ones and the class's own. The
    // names stay valid until the next call.
    std::vector<OLEVERB> EnumVerbs();

    // Framework services used by controls.
    void InitializeIIDs(const IID* dispatchIID, const IID* eventsIID);
    // Stores the size in pixels as the extent (in HIMETRIC at the screen's pixels per inch), asks
    // the container for it (the in-place site's OnPosRectChange while active in place, else the
    // client site's RequestNewObjectLayout), tells the view sink and invalidates the window, so
    // the picture is redrawn even when the size stays. FALSE only for a negative size.
    // Called while a property set or a load is under way, the container hears of it once that
    // has finished: the control's change handler may still hold locks and state the container's
    // answer would run into (a container that sets a property from OnPosRectChange, or draws at
    // once from OnViewChange, must find the control whole).
    BOOL SetControlSize(int cx, int cy);
    void GetControlSize(int* cx, int* cy) const;
    void SetModifiedFlag(BOOL modified = TRUE);
    BOOL IsModified() const { return m_site.modified; }
    // Fails the automation call under way (a property set, a get or a method) with `code`, a
    // failure code, and `description`, text in the ANSI code page: the caller gets
    // DISP_E_EXCEPTION with both in its EXCEPINFO, and the thread's error information (source:
    // the class's user type name) says the same. A set that fails tells no property sink.
    // During a property bag load the error goes to the bag's error log under the property being
    // loaded, and the load goes on with the next property.
    void ReportError(SCODE code, const char* description);
    // Tells the property notification sinks that property `id` has changed. Sets through the
    // dispatch map and property bags do this themselves.
    void FirePropertyChanged(DISPID id);
    void ExchangeVersion(CPropExchange* px, DWORD versionDefault, BOOL convert = TRUE);

    virtual void Serialize(CArchive& ar);
    virtual void DoPropExchange(CPropExchange* px);
    virtual void OnResetState();
    virtual void OnDraw(CDC* dc, const CRect& bounds, const CRect& invalid);
    // The Properties verb: on Windows the system's property frame with the class's pages,
    // editing this control; headless (or with a dialog user installed) each page modally in turn.
    BOOL OnProperties();
    // Repaints the control: its window's area (all of it when rect is null) while it has a
    // window, otherwise through the view sink.
    void InvalidateControl(LPCRECT rect = nullptr);
    // The control's window while it is active in place, else null.
    HWND GetSafeHwnd() const { return m_inPlace.hWnd; }

    // Class-level description each control gives.
    virtual DWORD GetControlMiscStatus() const { return 0; }
    virtual std::vector<CLSID> GetPropPageIDs() const { return {}; }
    // The string resource holding the class's user type name (0: none).
    virtual UINT GetUserTypeNameID() const { return 0; }
    // The type library that describes the class; the default has none.
    virtual HRESULT GetTypeLib(LCID lcid, ITypeLib** lib);

protected:
    virtual const AFX_DISPMAP_ENTRY* GetDispatchMap(UINT* count) const;
    virtual const AFX_VERBMAP_ENTRY* GetVerbMap(UINT* count) const;
    // A derived class's own interfaces (its interface map); null when it has none for iid.
    virtual IUnknown* GetInterfaceHook(REFIID iid);
    // Last release.
    virtual void OnFinalRelease() { delete this; }

    const IID* m_piidPrimary = nullptr;
    const IID* m_piidEvents = nullptr;

private:
    // ---- Core and lifetime (olecontrol.cpp): identity, the client site, the compound-document
    // sinks, the extent and the hold on container notifications. ----
    struct OleSink {
        DWORD cookie;
        CInterfacePtr<IAdviseSink> sink;
    };
    struct SiteState {
        CInterfacePtr<IOleClientSite> clientSite;
        // IOleObject::Advise's sinks, held until Unadvise or the control's end.
        std::vector<OleSink> oleSinks;
        DWORD lastOleCookie = 0;
        BOOL modified = FALSE;
    };
    struct ExtentState {
        // The extent in pixels as the control asked for it, and in HIMETRIC as hosts see it.
        int cx = 100;
        int cy = 50;
        SIZEL himetric{0, 0};
        int notifyHold = 0;
        BOOL sizeChangePending = FALSE;
    };
    // Holds the container's notifications for the length of a property set or a load.
    class NotificationHold {
    public:
        explicit NotificationHold(COleControl* control) : m_control(control) { ++control->m_extent.notifyHold; }
        ~NotificationHold();
        NotificationHold(const NotificationHold&) = delete;
        NotificationHold& operator=(const NotificationHold&) = delete;

    private:
        COleControl* m_control;
    };
    // Tells the container of the size last set, and repaints.
    void NotifySizeChange();
    // Calls `notify` on each compound-document sink; a sink may unadvise from inside.
    void NotifyOleSinks(void (*notify)(IAdviseSink* sink));
    IUnknown* ControllingUnknown() { return static_cast<IDispatch*>(this); }

    CRefCount m_refs;
    SiteState m_site;
    ExtentState m_extent;

    // ---- Dispatch and class information (olecontrol_dispatch.cpp). ----
    // The failure ReportError recorded for the call under way.
    struct DispatchError {
        BOOL pending = FALSE;
        SCODE code = S_OK;
        std::string description;
    };
    const AFX_DISPMAP_ENTRY* FindEntry(DISPID id) const;
    // The outcome of the call that has just run: S_OK, or the recorded failure handed to the
    // caller's EXCEPINFO (may be null) and the thread's error information (DISP_E_EXCEPTION).
    HRESULT TakeCallError(EXCEPINFO* excep);
    // Converts `value` to the property's type and stores it, then runs the change handler
    // under a notification hold. A value that does not convert is refused before anything is
    // stored; a refusal from the handler is left pending in m_dispatchError.
    HRESULT PutProperty(const AFX_DISPMAP_ENTRY& entry, VARIANT& value);
    HRESULT GetProperty(const AFX_DISPMAP_ENTRY& entry, VARIANT* value);
    DispatchError m_dispatchError;
    // The type information of `guid` in the class's type library.
    HRESULT TypeInfoOf(REFGUID guid, LCID lcid, ITypeInfo** info);

    // ---- Events and connection points (olecontrol_events.cpp). ----
    struct EventSink {
        DWORD cookie;
        CInterfacePtr<IUnknown> sink;  // held until Unadvise or the control's end
    };
    // One connection point. It lives inside the control and counts its references on the
    // control, so a host holding the point keeps the control alive and the two never keep
    // each other.
    class XConnectionPoint : public IConnectionPoint {
    public:
        // `propertyNotify`: the point of IPropertyNotifySink; otherwise the event interface's.
        XConnectionPoint(COleControl* owner, bool propertyNotify) : m_owner(owner), m_propertyNotify(propertyNotify) {}
        STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
        STDMETHOD_(ULONG, AddRef)() override;
        STDMETHOD_(ULONG, Release)() override;
        STDMETHOD(GetConnectionInterface)(IID* iid) override;
        STDMETHOD(GetConnectionPointContainer)(IConnectionPointContainer** container) override;
        STDMETHOD(Advise)(IUnknown* sink, DWORD* cookie) override;
        STDMETHOD(Unadvise)(DWORD cookie) override;
        STDMETHOD(EnumConnections)(IEnumConnections** connections) override;

        // The interface the point connects; null for events when the class has none.
        const IID* Interface() const;
        // The sinks as they stand, each held for the caller.
        std::vector<CInterfacePtr<IUnknown>> Sinks();
        // Lets go of every sink.
        void Clear();

    private:
        COleControl* m_owner;
        const bool m_propertyNotify;
        std::mutex m_lock;
        std::vector<EventSink> m_sinks;
        DWORD m_lastCookie = 0;
    };
    XConnectionPoint m_xEventPoint{this, false};
    XConnectionPoint m_xPropertyNotifyPoint{this, true};
    int m_freezeEvents = 0;

    // ---- Persistence (olecontrol_persist.cpp): the object's storage and the data cache. ----
    struct PersistState {
        CInterfacePtr<IStorage> storage;
        CInterfacePtr<IUnknown> cache;  // the system's data cache, aggregated (Windows)
    };
    // The data cache, made at the first need; null where the system has none.
    IUnknown* DataCache();
    template <typename Call>
    void ForwardToCacheStorage(Call call);
    // Gives the data cache the picture as it stands.
    void UpdateCache();
    PersistState m_persist;

    // ---- View and data (olecontrol_view.cpp, olecontrol_data.cpp): the view and data advise
    // sinks. ----
    struct ViewState {
        CInterfacePtr<IAdviseSink> sink;
        DWORD aspects = 0;
        DWORD advf = 0;
    };
    struct DataSink {
        DWORD cookie;
        FORMATETC format;
        DWORD advf;
        CInterfacePtr<IAdviseSink> sink;
    };
    struct DataState {
        std::vector<DataSink> sinks;
        DWORD lastCookie = 0;
    };
    // The picture inside `bounds` (logical units of `dc`, either corner first): the control's
    // own painting at its own size, its cells scaled by a whole number of device pixels each
    // where the bounds allow, as rectangles in a metafile.
    HRESULT DrawContent(HDC dc, const RECTL& bounds);
    std::vector<DWORD> PaintPixels(int w, int h);
    HRESULT DrawIconAspect(HDC dc, const RECTL& bounds);
    bool PaintIntoBitmap(HBITMAP bitmap);
    HGLOBAL RenderDib();
    HBITMAP RenderBitmap();
#ifdef _WIN32
    HENHMETAFILE RenderEnhMetafile();
    HGLOBAL RenderMetafilePict();
#endif
    void TellDataSink(const DataSink& sink);
    // The picture has changed: the view sink, the data sinks and the cache hear of it.
    void SendViewChange();
    void SendDataChange();
    ViewState m_view;
    DataState m_data;

    // ---- In-place and UI activation, verbs (olecontrol_inplace.cpp). ----
    // Held only while active in place (frame and document window may be null).
    struct InPlaceState {
        BOOL active = FALSE;
        BOOL uiActive = FALSE;
        HWND hWnd = nullptr;
        RECT rcPos{0, 0, 0, 0};
        CInterfacePtr<IOleInPlaceSite> site;
        CInterfacePtr<IOleInPlaceFrame> frame;
        CInterfacePtr<IOleInPlaceUIWindow> doc;
    };
    // In-place activation through `site`'s IOleInPlaceSite; with ui, UI activation too.
    HRESULT ActivateInPlace(BOOL ui, IOleClientSite* site);
    void ActivateUI();
    // Clips the window to what the container lets show of the position rectangle.
    void ClipWindow(const RECT& pos, LPCRECT clip);
    void DestroyControlWindow();
    void PaintWindow(HWND window);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    InPlaceState m_inPlace;
    std::vector<GwOleString> m_verbNames;
};

// The framework's own part of a stored control, after whatever the control writes first.
constexpr DWORD kAfxControlStreamMagic = 0x46435747;  // "GWCF"
constexpr WORD kAfxControlStreamFormat = 1;
