// A container window for the control module, as forms and pages embed it: a top-level window
// with a client site, an in-place site and frame, an advise sink and ambient properties. It
// creates the registered control by ProgID, activates it in place, sets its properties through
// automation, saves it and loads a second instance from the saved stream, and shows the about
// box and the property frame, closing both itself. A driver on the other end of stdin/stdout
// (control_screen.sh) looks at the screen. The container speaks on stderr, since stdout carries
// the encoder's own diagnostic lines, written by the module's runtime with its own buffering:
//   container: SHOT name x y w h   a rectangle in screen pixels is ready to be photographed
//   driver:    any line             the picture is taken; go on
//   container: FAIL what            a check made here through the Win32 and OLE APIs failed
//   container: INFO what            for the log
//   container: END                  done; the exit status is the number of failed checks
// Arguments: FIRST_TEXT SECOND_TEXT SECOND_PIXEL_SIZE. Nothing waits for a person: every wait
// ends after a timeout, and a driver that goes away (stdin closed) ends the program.
// clang-format off
#include <windows.h>  // first: the system headers below build on it
// clang-format on
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <ole2.h>
#include <olectl.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const DWORD kReplyTimeoutMs = 90000;      // the driver's screenshot, decoding and comparison
const DWORD kConditionTimeoutMs = 20000;  // painting, a dialog appearing

std::atomic<int> g_failures{0};
CRITICAL_SECTION g_outputLock;
DWORD g_uiThread = 0;

void Say(const char* format, ...) {
    EnterCriticalSection(&g_outputLock);
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
    fflush(stderr);
    LeaveCriticalSection(&g_outputLock);
}

#define CHECK(condition, ...)         \
    do {                              \
        if (!(condition)) {           \
            ++g_failures;             \
            Say("FAIL " __VA_ARGS__); \
        }                             \
    } while (0)

// The driver's replies arrive on a reader thread, so that the user-interface thread keeps
// dispatching messages (and painting) while it waits for one.
HANDLE g_replyEvent = nullptr;
std::atomic<bool> g_driverGone{false};

DWORD WINAPI ReadReplies(LPVOID) {
    char line[256];
    while (fgets(line, sizeof line, stdin)) SetEvent(g_replyEvent);
    g_driverGone = true;
    SetEvent(g_replyEvent);
    return 0;
}

// Dispatches messages until `event` is set or `timeoutMs` passes; false on timeout.
bool PumpUntil(HANDLE event, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        const DWORD r = MsgWaitForMultipleObjects(event ? 1 : 0, event ? &event : nullptr, FALSE,
                                                  timeoutMs - spent, QS_ALLINPUT);
        if (event && r == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// Dispatches messages until `done` holds, or false after the timeout.
template <typename Condition>
bool PumpUntilTrue(Condition done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        PumpUntil(nullptr, 50);
    }
    return true;
}

// Announces a rectangle and waits for the driver; the user-interface thread keeps pumping.
void Shot(const char* name, const RECT& screen, bool pump) {
    ResetEvent(g_replyEvent);
    Say("SHOT %s %ld %ld %ld %ld", name, screen.left, screen.top, screen.right - screen.left,
        screen.bottom - screen.top);
    const bool replied = pump ? PumpUntil(g_replyEvent, kReplyTimeoutMs)
                              : WaitForSingleObject(g_replyEvent, kReplyTimeoutMs) == WAIT_OBJECT_0;
    if (!replied || g_driverGone) {
        Say("INFO no reply from the driver for %s", name);
        ExitProcess(100);
    }
}

RECT ClientOnScreen(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    POINT corner{0, 0};
    ClientToScreen(window, &corner);
    OffsetRect(&r, corner.x, corner.y);
    return r;
}

// HIMETRIC extents and screen pixels, at the screen's resolution.
int ScreenDpi(int axis) {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, axis);
    ReleaseDC(nullptr, dc);
    return dpi;
}
SIZE ExtentToPixels(const SIZEL& himetric) {
    return SIZE{MulDiv(himetric.cx, ScreenDpi(LOGPIXELSX), 2540),
                MulDiv(himetric.cy, ScreenDpi(LOGPIXELSY), 2540)};
}

// The container's frame: the top-level window and its IOleInPlaceFrame. No menus, no tools.
class Frame : public IOleInPlaceFrame {
public:
    HWND window = nullptr;
    IOleInPlaceActiveObject* active = nullptr;
    ULONG refs = 1;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleWindow) ||
            IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame))
            *object = static_cast<IOleInPlaceFrame*>(this);
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetWindow(HWND* w) override {
        *w = window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override {
        return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
    }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        if (object) object->AddRef();
        if (active) active->Release();
        active = object;
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS widths) override {
        if (widths) memset(widths->width, 0, sizeof widths->width);
        return S_OK;
    }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
};

// One embedded control's place in the frame: its client site, in-place site, advise sink and
// ambient properties. The container grants every size the control asks for, at the place it
// asks for, and moves the control there through SetObjectRects as containers do.
class Site : public IOleClientSite, public IOleInPlaceSite, public IAdviseSink, public IDispatch {
public:
    Site(Frame* frame, POINT origin) : m_frame(frame) {
        SetRect(&pos, origin.x, origin.y, origin.x, origin.y);
    }

    IOleObject* object = nullptr;
    IOleInPlaceObject* inPlace = nullptr;
    RECT pos{};
    ULONG refs = 1;
    int posRectChanges = 0, viewChanges = 0, closes = 0;
    DWORD adviseCookie = 0;
    bool inPlaceActive = false, uiActive = false;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
            *object = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
            *object = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(iid, IID_IAdviseSink))
            *object = static_cast<IAdviseSink*>(this);
        else if (IsEqualIID(iid, IID_IDispatch))
            *object = static_cast<IDispatch*>(this);
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* w) override { return m_frame->GetWindow(w); }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        inPlaceActive = true;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override {
        uiActive = true;
        return S_OK;
    }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT posRect,
                                  LPRECT clipRect, LPOLEINPLACEFRAMEINFO info) override {
        *frame = m_frame;
        m_frame->AddRef();
        *doc = nullptr;
        *posRect = pos;
        GetClientRect(m_frame->window, clipRect);
        if (info) {
            info->fMDIApp = FALSE;
            info->hwndFrame = m_frame->window;
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override {
        uiActive = false;
        return S_OK;
    }
    STDMETHODIMP OnInPlaceDeactivate() override {
        inPlaceActive = false;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
        ++posRectChanges;
        pos = *rect;
        if (!inPlace) return S_OK;
        RECT clip;
        GetClientRect(m_frame->window, &clip);
        return inPlace->SetObjectRects(&pos, &clip);
    }

    // IAdviseSink
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override { ++viewChanges; }
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override { ++closes; }

    // IDispatch: the ambient properties of a container in run mode.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
        VariantInit(result);
        switch (id) {
            case DISPID_AMBIENT_USERMODE:
                return Bool(result, true);
            case DISPID_AMBIENT_UIDEAD:
            case DISPID_AMBIENT_SHOWGRABHANDLES:
            case DISPID_AMBIENT_SHOWHATCHING:
                return Bool(result, false);
            case DISPID_AMBIENT_BACKCOLOR:
            case DISPID_AMBIENT_FORECOLOR:
                result->vt = VT_I4;
                result->lVal = id == DISPID_AMBIENT_BACKCOLOR ? 0xFFFFFF : 0;
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    static HRESULT Bool(VARIANT* v, bool value) {
        v->vt = VT_BOOL;
        v->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    Frame* m_frame;
};

// Automation by name, as script hosts and designers do it.
HRESULT Put(IDispatch* d, const wchar_t* name, VARIANT value) {
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(hr)) {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &named, 1, 1};
        hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                       nullptr);
    }
    VariantClear(&value);
    return hr;
}
VARIANT Short(short v) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_I2;
    x.iVal = v;
    return x;
}
VARIANT Text(const char* ansi) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_BSTR;
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide.data(), n);
    x.bstrVal = SysAllocString(wide.data());
    return x;
}

template <typename T>
T* Query(IUnknown* from, REFIID iid) {
    void* p = nullptr;
    return SUCCEEDED(from->QueryInterface(iid, &p)) ? static_cast<T*>(p) : nullptr;
}

// The control's window, once it is active in place.
HWND ControlWindow(Site& site) {
    HWND w = nullptr;
    if (!site.inPlace || FAILED(site.inPlace->GetWindow(&w))) return nullptr;
    return w;
}

Site* g_uiActive = nullptr;

// Creates the control by ProgID and embeds it: a new one (stream null) or one loaded from a
// stream. Activates it in place in the frame at the site's origin, at the size of its extent.
// False when there is no control at all.
bool Embed(Site& site, Frame& frame, IStream* stream) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"GLYPHWELL.GlyphwellCtrl.1", &clsid);
    CHECK(hr == S_OK, "CLSIDFromProgID: 0x%08lx (is the module registered?)", hr);
    if (FAILED(hr)) return false;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                          reinterpret_cast<void**>(&site.object));
    CHECK(hr == S_OK, "CoCreateInstance: 0x%08lx", hr);
    if (FAILED(hr)) return false;
    IOleObject* ole = site.object;

    // Controls that want their site before their state get it first.
    DWORD misc = 0;
    ole->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst) CHECK(ole->SetClientSite(&site) == S_OK, "SetClientSite");
    IPersistStreamInit* persist = Query<IPersistStreamInit>(ole, IID_IPersistStreamInit);
    CHECK(persist, "no IPersistStreamInit");
    if (!persist) return false;
    hr = stream ? persist->Load(stream) : persist->InitNew();
    CHECK(hr == S_OK, "%s: 0x%08lx", stream ? "Load" : "InitNew", hr);
    persist->Release();
    if (!siteFirst) CHECK(ole->SetClientSite(&site) == S_OK, "SetClientSite");
    ole->SetHostNames(L"Glyphwell container", L"screen test");

    IViewObject* view = Query<IViewObject>(ole, IID_IViewObject2);
    CHECK(view, "no IViewObject2");
    // Containers listen for the object's closing on its compound-document sink.
    hr = ole->Advise(&site, &site.adviseCookie);
    CHECK(hr == S_OK && site.adviseCookie != 0, "IOleObject::Advise: 0x%08lx", hr);
    if (view) {
        hr = view->SetAdvise(DVASPECT_CONTENT, 0, &site);
        CHECK(hr == S_OK, "IViewObject::SetAdvise: 0x%08lx", hr);
        view->Release();
    }

    SIZEL extent{};
    ole->GetExtent(DVASPECT_CONTENT, &extent);
    const SIZE px = ExtentToPixels(extent);
    site.pos.right = site.pos.left + px.cx;
    site.pos.bottom = site.pos.top + px.cy;
    hr = ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, frame.window, &site.pos);
    CHECK(hr == S_OK, "DoVerb(OLEIVERB_INPLACEACTIVATE): 0x%08lx", hr);
    site.inPlace = Query<IOleInPlaceObject>(ole, IID_IOleInPlaceObject);
    CHECK(site.inPlace, "no IOleInPlaceObject");
    CHECK(site.inPlaceActive, "the control did not tell its site OnInPlaceActivate");
    HWND w = ControlWindow(site);
    CHECK(w && IsWindow(w), "no control window after in-place activation");
    if (!w) return true;  // the rest goes on without it: dialogs
    CHECK(GetParent(w) == frame.window, "the control's window is not a child of the site's window");
    CHECK(IsWindowVisible(w), "the control's window is not visible");
    // One object is UI-active at a time: the container deactivates the one before.
    if (g_uiActive && g_uiActive != &site && g_uiActive->inPlace) {
        CHECK(g_uiActive->inPlace->UIDeactivate() == S_OK, "UIDeactivate");
        CHECK(!g_uiActive->uiActive, "the control did not tell its site OnUIDeactivate");
    }
    hr = ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, frame.window, &site.pos);
    CHECK(hr == S_OK, "DoVerb(OLEIVERB_UIACTIVATE): 0x%08lx", hr);
    CHECK(site.uiActive, "the control did not tell its site OnUIActivate");
    CHECK(frame.active, "the control did not give the frame its active object");
    g_uiActive = &site;
    // A container passes on changes of its ambient properties.
    IOleControl* control = Query<IOleControl>(ole, IID_IOleControl);
    CHECK(control, "no IOleControl");
    if (control) {
        CHECK(control->OnAmbientPropertyChange(DISPID_UNKNOWN) == S_OK, "OnAmbientPropertyChange");
        control->Release();
    }
    return true;
}

// Lets the control paint, then checks that its window sits where the site put it, at the size
// it asked for, and hands the rectangle to the driver.
void ShowControl(const char* name, Site& site, Frame& frame) {
    HWND w = ControlWindow(site);
    if (!w) return;
    UpdateWindow(frame.window);
    const bool painted =
        PumpUntilTrue([&] { return !GetUpdateRect(w, nullptr, FALSE); }, kConditionTimeoutMs);
    CHECK(painted, "%s: the control's window still has an invalid region", name);
    GdiFlush();

    RECT inParent;
    GetWindowRect(w, &inParent);
    MapWindowPoints(HWND_DESKTOP, frame.window, reinterpret_cast<POINT*>(&inParent), 2);
    CHECK(EqualRect(&inParent, &site.pos),
          "%s: the window is at (%ld,%ld)-(%ld,%ld), the site put it at (%ld,%ld)-(%ld,%ld)", name,
          inParent.left, inParent.top, inParent.right, inParent.bottom, site.pos.left, site.pos.top,
          site.pos.right, site.pos.bottom);
    SIZEL extent{};
    site.object->GetExtent(DVASPECT_CONTENT, &extent);
    const SIZE px = ExtentToPixels(extent);
    const RECT client = ClientOnScreen(w);
    CHECK(px.cx == client.right - client.left && px.cy == client.bottom - client.top,
          "%s: the extent is %ld x %ld pixels, the window's client area %ld x %ld", name, px.cx, px.cy,
          client.right - client.left, client.bottom - client.top);
    Shot(name, client, true);
}

// Modal dialogs of the user-interface thread, found and closed from a worker thread.
struct DialogCheck {
    const char* name;
    void (*inspect)(HWND dialog);  // reads and checks the dialog's items
};

BOOL CALLBACK FindDialog(HWND w, LPARAM result) {
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0 && IsWindowVisible(w)) {
        *reinterpret_cast<HWND*>(result) = w;
        return FALSE;
    }
    return TRUE;
}

std::string TextOf(HWND w) {
    char text[512] = {};
    DWORD_PTR n = 0;
    SendMessageTimeoutA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &n);
    return text;
}

std::string ClassOf(HWND w) {
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    return cls;
}

struct Children {
    std::vector<HWND> all;
    static BOOL CALLBACK Add(HWND w, LPARAM self) {
        reinterpret_cast<Children*>(self)->all.push_back(w);
        return TRUE;
    }
    explicit Children(HWND parent) { EnumChildWindows(parent, Add, reinterpret_cast<LPARAM>(this)); }
    HWND WithText(const std::string& text) const {
        for (HWND w : all)
            if (TextOf(w) == text) return w;
        return nullptr;
    }
    HWND OfClass(const char* cls) const {
        for (HWND w : all)
            if (ClassOf(w) == cls) return w;
        return nullptr;
    }
};

DWORD WINAPI CloseDialog(LPVOID param) {
    DialogCheck* check = static_cast<DialogCheck*>(param);
    HWND dialog = nullptr;
    const DWORD start = GetTickCount();
    while (!dialog && GetTickCount() - start < kConditionTimeoutMs) {
        EnumThreadWindows(g_uiThread, FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog) Sleep(50);
    }
    if (!dialog) {
        Say("FAIL %s: no dialog appeared", check->name);
        ++g_failures;
        return 0;
    }
    // Wait until the dialog has painted itself before the picture is taken.
    const DWORD painted = GetTickCount();
    while (GetUpdateRect(dialog, nullptr, FALSE) && GetTickCount() - painted < kConditionTimeoutMs) Sleep(50);
    check->inspect(dialog);
    RECT r;
    GetWindowRect(dialog, &r);
    Shot(check->name, r, false);
    // A press of the default button, as a person would give it.
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return 0;
}

// Runs `show` (which returns when the dialog is closed) with a worker that inspects and closes it.
HRESULT WithDialog(DialogCheck& check, HRESULT (*show)(void*), void* context) {
    HANDLE worker = CreateThread(nullptr, 0, CloseDialog, &check, 0, nullptr);
    const HRESULT hr = show(context);
    const bool joined = WaitForSingleObject(worker, kReplyTimeoutMs) == WAIT_OBJECT_0;
    CloseHandle(worker);
    CHECK(joined, "%s: the worker did not finish", check.name);
    return hr;
}

void InspectAboutBox(HWND dialog) {
    CHECK(TextOf(dialog) == "About Glyphwell Control", "about box caption \"%s\"", TextOf(dialog).c_str());
    Children items(dialog);
    CHECK(items.WithText("Glyphwell Control, Version 1.0"), "about box: no version text");
    CHECK(items.WithText("Copyright (C) 2026 The Glyphwell developers"), "about box: no copyright text");
    HWND ok = GetDlgItem(dialog, IDOK);
    CHECK(ok && TextOf(ok) == "OK", "about box: no OK button");
    bool icon = false;
    for (HWND w : items.all) {
        if (ClassOf(w) != "Static" || (GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        DWORD_PTR handle = 0;
        SendMessageTimeoutA(w, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &handle);
        icon = icon || handle != 0;
    }
    CHECK(icon, "about box: no icon static holds an icon");
}

void InspectPropertyFrame(HWND frame) {
    // The system words the frame's caption around the caption it is given (Windows shows
    // "Glyphwell Properties", Wine writes "Properties for Glyphwell"), so it is only logged.
    Say("INFO property frame caption \"%s\"", TextOf(frame).c_str());
    Children items(frame);
    HWND tabs = items.OfClass("SysTabControl32");
    CHECK(tabs, "property frame: no tab control");
    if (tabs) {
        DWORD_PTR count = 0;
        SendMessageTimeoutA(tabs, TCM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
        CHECK(count == 1, "property frame: %u tabs", static_cast<unsigned>(count));
        char text[128] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        DWORD_PTR got = 0;
        SendMessageTimeoutA(tabs, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item), SMTO_ABORTIFHUNG, 5000,
                            &got);
        CHECK(strcmp(text, "General") == 0, "property frame: the tab reads \"%s\"", text);
    }
    HWND page =
        items.WithText("TODO: Place controls to manipulate properties of Glyphwell Control on this dialog.");
    CHECK(page && IsWindowVisible(page), "property frame: the page's text is not shown");
}

struct Controls {
    IOleObject* first;
    Frame* frame;
};

HRESULT ShowAboutBox(void* context) {
    IDispatch* d = Query<IDispatch>(static_cast<Controls*>(context)->first, IID_IDispatch);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    const HRESULT hr = d->Invoke(DISPID_ABOUTBOX, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                 nullptr, nullptr, nullptr);
    d->Release();
    return hr;
}

HRESULT ShowPropertyFrame(void* context) {
    Controls* c = static_cast<Controls*>(context);
    ISpecifyPropertyPages* specify = Query<ISpecifyPropertyPages>(c->first, IID_ISpecifyPropertyPages);
    if (!specify) return E_NOINTERFACE;
    CAUUID pages{};
    HRESULT hr = specify->GetPages(&pages);
    specify->Release();
    if (FAILED(hr)) return hr;
    CHECK(pages.cElems == 1, "the control names %lu property pages", pages.cElems);
    IUnknown* objects[1] = {c->first};
    hr = OleCreatePropertyFrame(c->frame->window, 10, 10, L"Glyphwell", 1, objects, pages.cElems,
                                pages.pElems, LOCALE_USER_DEFAULT, 0, nullptr);
    CoTaskMemFree(pages.pElems);
    return hr;
}

// In-place deactivation and release, as a container closing its document.
void Remove(Site& site) {
    if (!site.object) return;
    HWND w = ControlWindow(site);
    CHECK(site.object->Close(OLECLOSE_NOSAVE) == S_OK, "Close");
    CHECK(!site.inPlaceActive, "Close left the control active in place");
    CHECK(!w || !IsWindow(w), "Close left the control's window");
    CHECK(site.closes == 1, "the compound-document sink heard of %d closes", site.closes);
    CHECK(site.object->Unadvise(site.adviseCookie) == S_OK, "IOleObject::Unadvise");
    if (site.inPlace) site.inPlace->Release();
    site.inPlace = nullptr;
    site.object->SetClientSite(nullptr);
    site.object->Release();
    site.object = nullptr;
    CHECK(site.refs == 1, "the control still holds %lu references on its site", site.refs - 1);
    if (g_uiActive == &site) g_uiActive = nullptr;
}

// A crash ends the program at once with a line for the driver, instead of waiting in a debugger.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* e) {
    Say("FAIL crashed: exception 0x%08lx at %p", e->ExceptionRecord->ExceptionCode,
        e->ExceptionRecord->ExceptionAddress);
    ExitProcess(101);
}

LRESULT CALLBACK FrameProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        RECT r;
        GetClientRect(w, &r);
        HBRUSH grey = CreateSolidBrush(RGB(128, 128, 128));
        FillRect(reinterpret_cast<HDC>(wParam), &r, grey);
        DeleteObject(grey);
        return 1;
    }
    return DefWindowProcW(w, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: control_container FIRST_TEXT SECOND_TEXT SECOND_PIXEL_SIZE\n");
        return 2;
    }
    _setmode(_fileno(stderr), _O_BINARY);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
    InitializeCriticalSection(&g_outputLock);
    g_uiThread = GetCurrentThreadId();
    g_replyEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(CreateThread(nullptr, 0, ReadReplies, nullptr, 0, nullptr));
    if (FAILED(OleInitialize(nullptr))) return 100;
    INITCOMMONCONTROLSEX common{sizeof common, ICC_TAB_CLASSES};
    InitCommonControlsEx(&common);

    WNDCLASSW cls{};
    cls.lpfnWndProc = FrameProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    cls.lpszClassName = L"GlyphwellContainer";
    RegisterClassW(&cls);
    Frame frame;
    frame.window =
        CreateWindowW(cls.lpszClassName, L"Glyphwell container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                      800, 600, nullptr, nullptr, cls.hInstance, nullptr);
    ShowWindow(frame.window, SW_SHOW);
    UpdateWindow(frame.window);

    // (a) a new control with a text: the symbol at the picture's size.
    Site first(&frame, POINT{20, 20});
    if (Embed(first, frame, nullptr)) {
        IDispatch* d = Query<IDispatch>(first.object, IID_IDispatch);
        const int sizesBefore = first.posRectChanges, viewsBefore = first.viewChanges;
        CHECK(Put(d, L"TextData", Text(argv[1])) == S_OK, "TextData");
        CHECK(first.posRectChanges > sizesBefore, "setting TextData did not ask the site for a size");
        CHECK(first.viewChanges > viewsBefore, "setting TextData did not tell the view's advise sink");
        ShowControl("first", first, frame);

        // (b) a larger module size and a longer text: a new symbol at a new size.
        CHECK(Put(d, L"PixelSize", Short(static_cast<short>(atoi(argv[3])))) == S_OK, "PixelSize");
        CHECK(Put(d, L"TextData", Text(argv[2])) == S_OK, "TextData");
        ShowControl("larger", first, frame);
        d->Release();

        // (c) saved, and a second instance loaded from the stream beside the first.
        IPersistStreamInit* persist = Query<IPersistStreamInit>(first.object, IID_IPersistStreamInit);
        IStream* stream = nullptr;
        CreateStreamOnHGlobal(nullptr, TRUE, &stream);
        CHECK(persist->Save(stream, TRUE) == S_OK, "Save");
        persist->Release();
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        Site second(&frame, POINT{first.pos.right + 20, 20});
        if (Embed(second, frame, stream)) ShowControl("reloaded", second, frame);
        stream->Release();
        Remove(second);

        // (d) the about box and the property frame, over the container.
        Controls controls{first.object, &frame};
        DialogCheck about{"about", InspectAboutBox};
        CHECK(WithDialog(about, ShowAboutBox, &controls) == S_OK, "AboutBox");
        DialogCheck properties{"properties", InspectPropertyFrame};
        CHECK(WithDialog(properties, ShowPropertyFrame, &controls) == S_OK, "OleCreatePropertyFrame");
    }
    Remove(first);
    CHECK(!frame.active, "the last control closed but is still the frame's active object");
    CHECK(frame.refs == 1, "the frame still has %lu references", frame.refs - 1);
    if (frame.active) frame.active->Release();
    DestroyWindow(frame.window);
    OleUninitialize();
    Say("END");
    return g_failures;
}
