// The control embedded the way containers embed it: a client site, in-place site and frame of
// the test's own over a real (stand-in) window. Activation, painting into the control's own
// window (read back and decoded), resizing through the site, moving and clipping, ambient
// changes, the view sink, deactivation and closing, with the container's references counted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/control/control_host.h"
#include "tests/support/win32_probes.h"

namespace {

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// A container's site, in-place site, frame and view sink in one object. It answers a change of
// position as containers do, by handing the control its new rectangles, and logs every call.
class FakeContainer : public IOleClientSite,
                      public IOleInPlaceSite,
                      public IOleInPlaceFrame,
                      public IAdviseSink {
public:
    FakeContainer(HWND window, RECT pos) : m_window(window), m_pos(pos) {}

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite)
            *object = static_cast<IOleClientSite*>(this);
        else if (iid == IID_IOleInPlaceSite || iid == IID_IOleWindow)
            *object = static_cast<IOleInPlaceSite*>(this);
        else if (iid == IID_IOleInPlaceFrame || iid == IID_IOleInPlaceUIWindow)
            *object = static_cast<IOleInPlaceFrame*>(this);
        else if (iid == IID_IAdviseSink)
            *object = static_cast<IAdviseSink*>(this);
        else
            return E_NOINTERFACE;
        ++refs;
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override { return --refs; }

    // IOleClientSite
    STDMETHOD(SaveObject)() override { return Log("SaveObject"); }
    STDMETHOD(GetMoniker)(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHOD(GetContainer)(IOleContainer**) override { return E_NOINTERFACE; }
    STDMETHOD(ShowObject)() override { return S_OK; }
    STDMETHOD(OnShowWindow)(BOOL) override { return S_OK; }
    STDMETHOD(RequestNewObjectLayout)() override { return Log("RequestNewObjectLayout"); }
    // IOleWindow (site and frame)
    STDMETHOD(GetWindow)(HWND* window) override {
        *window = m_window;
        return Log("GetWindow");
    }
    STDMETHOD(ContextSensitiveHelp)(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHOD(CanInPlaceActivate)() override { return Log("CanInPlaceActivate"); }
    STDMETHOD(OnInPlaceActivate)() override { return Log("OnInPlaceActivate"); }
    STDMETHOD(OnUIActivate)() override { return Log("OnUIActivate"); }
    STDMETHOD(GetWindowContext)
    (IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT pos, LPRECT clip,
     LPOLEINPLACEFRAMEINFO info) override {
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = nullptr;
        *pos = m_pos;
        *clip = clipRect;
        frameInfoSize = info->cb;
        return Log("GetWindowContext");
    }
    STDMETHOD(Scroll)(SIZE) override { return E_NOTIMPL; }
    STDMETHOD(OnUIDeactivate)(BOOL) override { return Log("OnUIDeactivate"); }
    STDMETHOD(OnInPlaceDeactivate)() override { return Log("OnInPlaceDeactivate"); }
    STDMETHOD(DiscardUndoState)() override { return S_OK; }
    STDMETHOD(DeactivateAndUndo)() override { return S_OK; }
    STDMETHOD(OnPosRectChange)(LPCRECT pos) override {
        Log("OnPosRectChange");
        requested = *pos;
        m_pos = *pos;
        if (inPlace) inPlace->SetObjectRects(&m_pos, &clipRect);
        return S_OK;
    }
    // IOleInPlaceUIWindow / IOleInPlaceFrame
    STDMETHOD(GetBorder)(LPRECT) override { return INPLACE_E_NOTUNDOABLE; }
    STDMETHOD(RequestBorderSpace)(LPCBORDERWIDTHS) override { return INPLACE_E_NOTUNDOABLE; }
    STDMETHOD(SetBorderSpace)(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHOD(SetActiveObject)(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        if (object) object->AddRef();
        if (active) active->Release();
        active = object;
        return Log(object ? "SetActiveObject" : "SetActiveObject(null)");
    }
    STDMETHOD(InsertMenus)(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHOD(SetMenu)(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHOD(RemoveMenus)(HMENU) override { return S_OK; }
    STDMETHOD(SetStatusText)(LPCOLESTR) override { return S_OK; }
    STDMETHOD(EnableModeless)(BOOL) override { return S_OK; }
    STDMETHOD(TranslateAccelerator)(LPMSG, WORD) override { return S_FALSE; }
    // IAdviseSink
    STDMETHOD_(void, OnDataChange)(FORMATETC*, STGMEDIUM*) override {}
    STDMETHOD_(void, OnViewChange)(DWORD aspect, LONG) override {
        if (aspect == DVASPECT_CONTENT) ++viewChanges;
    }
    STDMETHOD_(void, OnRename)(IMoniker*) override {}
    STDMETHOD_(void, OnSave)() override { Log("OnSave"); }
    STDMETHOD_(void, OnClose)() override { Log("OnClose"); }

    // The calls logged since the last look.
    std::vector<std::string> Calls() {
        std::vector<std::string> calls;
        calls.swap(m_calls);
        return calls;
    }

    ULONG refs = 1;
    IOleInPlaceObject* inPlace = nullptr;  // the test's own reference
    IOleInPlaceActiveObject* active = nullptr;
    RECT clipRect{0, 0, 400, 300};
    RECT requested{0, 0, 0, 0};
    UINT frameInfoSize = 0;
    int viewChanges = 0;

private:
    HRESULT Log(const char* call) {
        m_calls.push_back(call);
        return S_OK;
    }
    HWND m_window;
    RECT m_pos;
    std::vector<std::string> m_calls;
};

// Where a window sits in its parent's client area.
RECT PlaceInParent(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<LPPOINT>(&r), 2);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// What the window shows, as grey levels for the decoders (black 0, anything else 255), and one
// pixel of it.
gwtest::GreyImage WindowGrey(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    gwtest::GreyImage grey;
    grey.width = client.right;
    grey.height = client.bottom;
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
            grey.pixels.push_back((GetPixel(dc, x, y) & 0xFFFFFF) == 0 ? 0 : 255);
    ReleaseDC(window, dc);
    return grey;
}

COLORREF WindowPixel(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
}

class ControlContainment : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc{};
        wc.lpfnWndProc = HostWindowProc;
        wc.lpszClassName = "ContainmentTestHost";
        RegisterClassA(&wc);
        host = CreateWindowExA(0, "ContainmentTestHost", "host", WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                               nullptr, nullptr);
        ASSERT_NE(host, nullptr);
    }
    void TearDown() override {
        if (IsWindow(host)) DestroyWindow(host);
        UnregisterClassA("ContainmentTestHost", nullptr);
    }
    HWND host = nullptr;
};

TEST_F(ControlContainment, ActivatesPaintsResizesAndDeactivatesInTheSitesWindow) {
    CGlyphwellCtrl* ctrl = new CGlyphwellCtrl;
    ASSERT_EQ(gwtest::PutI2(ctrl, "PixelSize", 4), S_OK);
    ASSERT_EQ(gwtest::PutString(ctrl, "TextData", "HELLO"), S_OK);
    // Version 1: 21 modules of 4 pixels inside a margin of 10 pixels.
    const RECT pos{30, 20, 30 + 104, 20 + 104};
    FakeContainer site(host, pos);
    IOleObject* ole = nullptr;
    IViewObject2* view = nullptr;
    IOleControl* control = nullptr;
    ASSERT_EQ(ctrl->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
    ASSERT_EQ(ctrl->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)), S_OK);
    ASSERT_EQ(ctrl->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control)), S_OK);
    ASSERT_EQ(ctrl->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&site.inPlace)), S_OK);
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, &site), S_OK);

    // In-place activation asks the site in order and puts a visible child window at the position.
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &pos), S_OK);
    EXPECT_EQ(site.Calls(), (std::vector<std::string>{"CanInPlaceActivate", "OnInPlaceActivate", "GetWindow",
                                                      "GetWindowContext"}));
    EXPECT_EQ(site.frameInfoSize, sizeof(OLEINPLACEFRAMEINFO));
    HWND window = nullptr;
    ASSERT_EQ(site.inPlace->GetWindow(&window), S_OK);
    EXPECT_EQ(GetParent(window), host);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(SameRect(PlaceInParent(window), pos));

    // The window paints the symbol through the control: white margin, black finder module, and
    // the whole decodes.
    UpdateWindow(host);
    EXPECT_EQ(WindowPixel(window, 5, 5) & 0xFFFFFF, RGB(255, 255, 255));
    EXPECT_EQ(WindowPixel(window, 10, 10) & 0xFFFFFF, RGB(0, 0, 0));
    gwtest::DecodeResult read = gwtest::DecodeWithZbar(WindowGrey(window));
    EXPECT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.bytes, "HELLO");

    // A new symbol asks the site for its new size; the container's answer moves the window and
    // what shows is the new symbol.
    const int viewsBefore = site.viewChanges;
    ASSERT_EQ(gwtest::PutI2(ctrl, "PixelSize", 5), S_OK);
    ASSERT_EQ(gwtest::PutString(ctrl, "TextData", "HELLO AGAIN"), S_OK);
    EXPECT_EQ(site.Calls(), (std::vector<std::string>{"OnPosRectChange", "OnPosRectChange"}));
    int cx = 0, cy = 0;
    ctrl->GetControlSize(&cx, &cy);
    EXPECT_EQ(cx, 145);  // version 2 at 5 pixels a module
    EXPECT_TRUE(SameRect(site.requested, RECT{30, 20, 30 + cx, 20 + cy}));
    EXPECT_EQ(site.viewChanges, viewsBefore + 2);
    EXPECT_TRUE(SameRect(PlaceInParent(window), site.requested));
    EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE));
    UpdateWindow(window);
    read = gwtest::DecodeWithZbar(WindowGrey(window));
    EXPECT_EQ(read.bytes, "HELLO AGAIN") << read.error;
    // Same size, new picture: it is invalidated and repainted all the same.
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
    ASSERT_EQ(gwtest::PutColor(ctrl, "ForeGroundColor", RGB(0, 0, 255)), S_OK);
    EXPECT_EQ(site.Calls(), (std::vector<std::string>{"OnPosRectChange"}));
    EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE));
    UpdateWindow(window);
    EXPECT_EQ(WindowPixel(window, 12, 12) & 0xFFFFFF, RGB(0, 0, 255));

    // The container moves and clips the control: only the part inside the clip shows.
    const RECT moved{50, 60, 50 + cx, 60 + cy}, clip{0, 0, 150, 300};
    ASSERT_EQ(site.inPlace->SetObjectRects(&moved, &clip), S_OK);
    EXPECT_TRUE(SameRect(PlaceInParent(window), moved));
    HRGN shown = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(GetWindowRgn(window, shown), SIMPLEREGION);
    RECT box;
    GetRgnBox(shown, &box);
    EXPECT_TRUE(SameRect(box, RECT{0, 0, 100, cy}));
    EXPECT_EQ(WindowPixel(window, 120, 10), CLR_INVALID);
    ASSERT_EQ(site.inPlace->SetObjectRects(&moved, nullptr), S_OK);
    EXPECT_EQ(GetWindowRgn(window, shown), ERROR);
    DeleteObject(shown);

    // Ambient changes repaint.
    ValidateRect(window, nullptr);
    EXPECT_EQ(control->OnAmbientPropertyChange(DISPID_UNKNOWN), S_OK);
    EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE));
    CONTROLINFO info{sizeof info, reinterpret_cast<HACCEL>(1), 7, 1};
    EXPECT_EQ(control->GetControlInfo(&info), S_OK);
    EXPECT_EQ(info.cAccel, 0);
    EXPECT_EQ(info.hAccel, nullptr);

    // UI activation makes the control the frame's active object; deactivation takes it back.
    ASSERT_EQ(ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, host, &moved), S_OK);
    EXPECT_EQ(site.Calls(), (std::vector<std::string>{"OnUIActivate", "SetActiveObject"}));
    EXPECT_NE(site.active, nullptr);
    EXPECT_EQ(site.active->TranslateAccelerator(nullptr), S_FALSE);
    ASSERT_EQ(site.inPlace->InPlaceDeactivate(), S_OK);
    EXPECT_EQ(site.Calls(),
              (std::vector<std::string>{"SetActiveObject(null)", "OnUIDeactivate", "OnInPlaceDeactivate"}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(site.inPlace->GetWindow(&window), E_FAIL);
    EXPECT_EQ(window, nullptr);
    // Held now: the client site and the view sink, nothing of the in-place state.
    EXPECT_EQ(site.refs, 3u);

    // Not active, a new size goes to the client site as a layout request.
    ASSERT_EQ(gwtest::PutString(ctrl, "TextData", "HELLO"), S_OK);
    EXPECT_EQ(site.Calls(), (std::vector<std::string>{"RequestNewObjectLayout"}));

    // Extents are HIMETRIC at the screen's 96 pixels per inch; only the content aspect has one.
    SIZEL extent{2540, 1270};
    EXPECT_EQ(ole->SetExtent(DVASPECT_CONTENT, &extent), S_OK);
    SIZEL back{0, 0};
    EXPECT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &back), S_OK);
    EXPECT_EQ(back.cx, 2540);
    EXPECT_EQ(back.cy, 1270);
    ctrl->GetControlSize(&cx, &cy);
    EXPECT_EQ(cx, 96);
    EXPECT_EQ(cy, 48);
    EXPECT_EQ(ole->SetExtent(4 /* DVASPECT_ICON */, &extent), E_INVALIDARG);

    // Closing a modified control saves it through the site, tells the compound-document sink,
    // and the window and every reference to the container go once the sink unadvises.
    ASSERT_EQ(ole->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, host, &pos), S_OK);
    ASSERT_EQ(site.inPlace->GetWindow(&window), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(ole->Advise(&site, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    DWORD refused = 1;
    EXPECT_EQ(ole->Advise(nullptr, &refused), E_INVALIDARG);
    EXPECT_EQ(refused, 0u);
    site.Calls();
    EXPECT_EQ(ole->Close(OLECLOSE_SAVEIFDIRTY), S_OK);
    EXPECT_EQ(site.Calls(), (std::vector<std::string>{"SaveObject", "OnInPlaceDeactivate", "OnClose"}));
    EXPECT_FALSE(IsWindow(window));
    gwtest::SaveState(ctrl);
    EXPECT_EQ(site.Calls(), (std::vector<std::string>{"OnSave"}));
    EXPECT_EQ(ole->Unadvise(cookie), S_OK);
    EXPECT_EQ(ole->Unadvise(cookie), OLE_E_NOCONNECTION);
    EXPECT_EQ(site.refs, 1u);

    // A container that destroys its window takes the control's window with it.
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    ASSERT_EQ(ole->DoVerb(OLEIVERB_PRIMARY, nullptr, &site, 0, host, &pos), S_OK);
    ASSERT_EQ(site.inPlace->GetWindow(&window), S_OK);
    DestroyWindow(host);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(site.inPlace->GetWindow(&window), E_FAIL);
    EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(site.refs, 1u);

    site.inPlace->Release();
    control->Release();
    view->Release();
    ole->Release();
    EXPECT_EQ(ctrl->Release(), 0u);
    EXPECT_EQ(site.refs, 1u);
}

// A container that answers at once: it draws the control from OnViewChange and sets another
// property from OnPosRectChange. Both find the control whole (the new picture ready, nothing
// held), so the first picture shows and the nested set neither hangs nor is lost.
class EagerContainer : public FakeContainer {
public:
    using FakeContainer::FakeContainer;
    STDMETHOD(OnPosRectChange)(LPCRECT pos) override {
        const HRESULT hr = FakeContainer::OnPosRectChange(pos);
        if (ctrl && nestedSets++ == 0) nestedResult = gwtest::PutString(ctrl, "TextData", "SET FROM THE SITE");
        return hr;
    }
    STDMETHOD_(void, OnViewChange)(DWORD aspect, LONG index) override {
        FakeContainer::OnViewChange(aspect, index);
        gwtest::Canvas canvas(83, 83);  // the control's own size
        canvas.Paint(ctrl, 83, 83);
        drewDarkFinder = canvas.At(12, 12) == RGB(0, 0, 0);  // inside the top-left finder pattern
    }
    CGlyphwellCtrl* ctrl = nullptr;
    int nestedSets = 0;
    HRESULT nestedResult = E_FAIL;
    bool drewDarkFinder = false;
};

TEST_F(ControlContainment, ContainerThatAnswersAtOnceFindsTheControlWhole) {
    CGlyphwellCtrl* ctrl = new CGlyphwellCtrl;
    EagerContainer site(host, RECT{0, 0, 83, 83});
    site.ctrl = ctrl;
    ASSERT_EQ(ctrl->SetClientSite(&site), S_OK);
    ASSERT_EQ(ctrl->SetAdvise(DVASPECT_CONTENT, 0, &site), S_OK);
    ASSERT_EQ(ctrl->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, nullptr), S_OK);
    ASSERT_EQ(ctrl->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&site.inPlace)), S_OK);

    ASSERT_EQ(gwtest::PutString(ctrl, "TextData", "FIRST"), S_OK);
    EXPECT_TRUE(site.drewDarkFinder);
    EXPECT_EQ(site.nestedResult, S_OK);
    EXPECT_EQ(gwtest::GetString(ctrl, "TextData"), "SET FROM THE SITE");
    HWND window = nullptr;
    ASSERT_EQ(site.inPlace->GetWindow(&window), S_OK);
    UpdateWindow(window);
    const gwtest::DecodeResult read = gwtest::DecodeWithZbar(WindowGrey(window));
    EXPECT_EQ(read.bytes, "SET FROM THE SITE") << read.error;

    site.inPlace->Release();
    site.inPlace = nullptr;
    EXPECT_EQ(ctrl->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(ctrl->Release(), 0u);
    EXPECT_EQ(site.refs, 1u);
}

// A control released while still active in place (its container never deactivated it) leaves
// no window behind.
TEST_F(ControlContainment, ReleaseWhileActiveLeavesNoWindow) {
    CGlyphwellCtrl* ctrl = new CGlyphwellCtrl;
    FakeContainer site(host, RECT{0, 0, 50, 50});
    ASSERT_EQ(ctrl->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, host, nullptr), S_OK);
    HWND window = nullptr;
    ASSERT_EQ(static_cast<IOleInPlaceObject*>(ctrl)->GetWindow(&window), S_OK);
    // The frame holds the control while it is UI active; letting go of that breaks the last tie.
    site.active->Release();
    site.active = nullptr;
    EXPECT_EQ(ctrl->Release(), 0u);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(site.refs, 1u);
}

}  // namespace
