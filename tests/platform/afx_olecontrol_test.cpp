// The control base as a host sees it, exercised through a small control of the test's own:
// dispatch-map get/put/method calls and their errors, reference counting, the framework's
// stream part, verbs and extents, and the event connection point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "platform/afx/afxctl.h"
#include "tests/support/win32_probes.h"

namespace {

class CProbeCtrl : public COleControl {
public:
    CProbeCtrl() { InitializeIIDs(&IID_IDispatch, nullptr); }
    STDMETHOD(GetClassID)(CLSID* clsid) override {
        *clsid = GUID_NULL;
        return S_OK;
    }
    void DoPropExchange(CPropExchange* px) override {
        ExchangeVersion(px, 0x00020003, TRUE);
        const LONG storedDefault = 5;
        px->ExchangeProp("Stored", VT_I4, &m_stored, &storedDefault);
        COleControl::DoPropExchange(px);
    }
    short m_short = 1;
    LONG m_stored = 5;
    CString m_text;
    int m_changes = 0, m_calls = 0;
    static int s_destroyed;
    ~CProbeCtrl() override { ++s_destroyed; }

protected:
    void Changed() { ++m_changes; }
    void ShortChanged() {
        ++m_changes;
        if (m_short < 0) ReportError(E_INVALIDARG, "Short must not be negative");
    }
    void Ping() { ++m_calls; }
    BOOL Verb7() {
        ++m_calls;
        return TRUE;
    }
    DECLARE_DISPATCH_MAP()
    DECLARE_OLEVERB_MAP()
};
int CProbeCtrl::s_destroyed = 0;

const CLSID kUntemplatedPage = {0x6F1C2A44, 0x0B7E, 0x4C19, {0x9D, 0x51, 0x3A, 0x8E, 0x27, 0x40, 0xC6, 0x1B}};
// A probe with one property page, whose template the module lacks.
class CPagedProbe : public CProbeCtrl {
public:
    std::vector<CLSID> GetPropPageIDs() const override { return {kUntemplatedPage}; }
};
IUnknown* CreateUntemplatedPage() { return static_cast<IPropertyPage*>(new COlePropertyPage(9999, 9999)); }

BEGIN_DISPATCH_MAP(CProbeCtrl, COleControl)
DISP_PROPERTY_NOTIFY_ID("Short", 1, m_short, ShortChanged, VT_I2)
DISP_PROPERTY_NOTIFY_ID("Text", 2, m_text, Changed, VT_BSTR)
DISP_FUNCTION_ID("Ping", 3, Ping)
END_DISPATCH_MAP()

BEGIN_OLEVERB_MAP(CProbeCtrl)
ON_OLEVERB(7, AFX_IDS_VERB_PROPERTIES, Verb7)
END_OLEVERB_MAP()

HRESULT Put(IDispatch* d, DISPID id, VARIANT v, WORD flags = DISPATCH_PROPERTYPUT) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS p{&v, &named, 1, 1};
    const HRESULT hr = d->Invoke(id, GUID_NULL, 0, flags, &p, nullptr, nullptr, nullptr);
    VariantClear(&v);
    return hr;
}

TEST(AfxOleControl, DispatchGetPutAndMethods) {
    CProbeCtrl* c = new CProbeCtrl;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = 12;
    EXPECT_EQ(Put(c, 1, v), S_OK);
    EXPECT_EQ(c->m_short, 12);
    EXPECT_EQ(c->m_changes, 1);
    v.lVal = 1 << 20;
    EXPECT_EQ(Put(c, 1, v), DISP_E_OVERFLOW);
    EXPECT_EQ(c->m_short, 12);
    EXPECT_EQ(c->m_changes, 1);
    EXPECT_EQ(Put(c, 99, v), DISP_E_MEMBERNOTFOUND);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(c->Invoke(1, GUID_NULL, 0, DISPATCH_PROPERTYPUT, &none, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
    VARIANT r;
    VariantInit(&r);
    ASSERT_EQ(c->Invoke(1, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &r, nullptr, nullptr), S_OK);
    EXPECT_EQ(r.vt, VT_I2);
    EXPECT_EQ(r.iVal, 12);
    EXPECT_EQ(c->Invoke(1, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr), E_POINTER);
    VARIANT s;
    VariantInit(&s);
    s.vt = VT_BSTR;
    s.bstrVal = GwAllocBstrFromUtf8("\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(Put(c, 2, s), S_OK);
    EXPECT_EQ(c->m_text.Bytes(), "\xE9t\xE9");  // stored in the ANSI code page
    EXPECT_EQ(c->Invoke(3, GUID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(c->m_calls, 1);
    EXPECT_EQ(c->Invoke(3, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &r, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    // Several names: the member name is looked up, extra names are unknown.
    GwOleString a = OLESTR("short"), b = OLESTR("Extra");
    LPOLESTR names[2] = {&a[0], &b[0]};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(c->GetIDsOfNames(GUID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    c->Release();
}

TEST(AfxOleControl, ReferenceCountingAndInterfaces) {
    const int before = CProbeCtrl::s_destroyed;
    CProbeCtrl* c = new CProbeCtrl;
    IViewObject* view = nullptr;
    ASSERT_EQ(c->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)), S_OK);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(view->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown, static_cast<IUnknown*>(static_cast<IDispatch*>(c)));  // one identity
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(c->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(c->Release(), 2u);
    EXPECT_EQ(view->Release(), 1u);
    EXPECT_EQ(CProbeCtrl::s_destroyed, before);
    EXPECT_EQ(unknown->Release(), 0u);
    EXPECT_EQ(CProbeCtrl::s_destroyed, before + 1);
}

TEST(AfxOleControl, FrameworkStreamPartIsTaggedAndVersioned) {
    CProbeCtrl* c = new CProbeCtrl;
    c->m_stored = 77;
    GwMemoryStream* out = new GwMemoryStream;
    ASSERT_EQ(c->Save(out, TRUE), S_OK);
    const std::vector<BYTE> bytes = out->Bytes();
    out->Release();
    ASSERT_EQ(bytes.size(), 4u + 2 + 4 + 2 + 4);
    EXPECT_EQ(bytes[0], 'G');
    EXPECT_EQ(bytes[6], 0x03);  // the control's version 0x00020003
    CProbeCtrl* d = new CProbeCtrl;
    GwMemoryStream* in = new GwMemoryStream(bytes);
    d->Load(in);
    in->Release();
    EXPECT_EQ(d->m_stored, 77);
    // A foreign stream is skipped: nothing is exchanged.
    std::vector<BYTE> foreign = bytes;
    foreign[0] = 'X';
    d->m_stored = 3;
    in = new GwMemoryStream(foreign);
    d->Load(in);
    in->Release();
    EXPECT_EQ(d->m_stored, 3);
    EXPECT_EQ(d->InitNew(), S_OK);  // reset: the default
    EXPECT_EQ(d->m_stored, 5);
    c->Release();
    d->Release();
}

TEST(AfxOleControl, VerbsExtentAndModifiedFlag) {
    CProbeCtrl* c = new CProbeCtrl;
    EXPECT_EQ(c->DoVerb(7, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(c->m_calls, 1);
    // Without a site there is nowhere to show the control: the verb is valid but not doable now.
    EXPECT_EQ(c->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, 0, nullptr, nullptr), OLEOBJ_S_CANNOT_DOVERB_NOW);
    EXPECT_EQ(c->DoVerb(8, nullptr, nullptr, 0, nullptr, nullptr), OLEOBJ_S_INVALIDVERB);
    // No property pages: the Properties verb shows nothing and succeeds.
    EXPECT_EQ(c->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
    {
        // A page that cannot be made, or made but not shown (no template), fails the verb
        // instead of passing for shown, and is let go.
        CPagedProbe* paged = new CPagedProbe;
        EXPECT_EQ(paged->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, 0, nullptr, nullptr), E_FAIL);
        const LONG locks = AfxOleGetLockCount();
        COleObjectFactory factory(kUntemplatedPage, CreateUntemplatedPage, FALSE, nullptr);
        EXPECT_EQ(paged->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, 0, nullptr, nullptr), E_FAIL);
        EXPECT_EQ(AfxOleGetLockCount(), locks);
        paged->Release();
    }
    EXPECT_TRUE(c->SetControlSize(96, 48));
    EXPECT_FALSE(c->SetControlSize(-1, 5));
    SIZEL size;
    ASSERT_EQ(c->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, 2540);  // one inch
    EXPECT_EQ(size.cy, 1270);
    EXPECT_EQ(c->IsDirty(), S_FALSE);
    c->SetModifiedFlag();
    EXPECT_EQ(c->IsDirty(), S_OK);
    GwMemoryStream* out = new GwMemoryStream;
    c->Save(out, TRUE);
    out->Release();
    EXPECT_EQ(c->IsDirty(), S_FALSE);
    c->Release();
}

}  // namespace

namespace {
// A host's event sink: it answers IUnknown and, when given one, a single further interface.
class CountingSink : public IDispatch {
public:
    explicit CountingSink(const IID* answers) : m_answers(answers) {}
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        *object = nullptr;
        if (iid != IID_IUnknown && !(m_answers && iid == *m_answers)) return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override { return --refs; }
    STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    ULONG refs = 1;

private:
    const IID* m_answers;
};
}  // namespace

TEST(AfxOleControl, EventConnectionPointAdviseAndUnadvise) {
    static const IID kEvents = {0x1F6B3C2A, 0x5D4E, 0x4A10, {0x9B, 0x31, 0x7C, 0x0D, 0x22, 0x8E, 0x41, 0x5A}};
    const int before = CProbeCtrl::s_destroyed;
    CProbeCtrl* c = new CProbeCtrl;
    c->InitializeIIDs(&IID_IDispatch, &kEvents);
    IConnectionPointContainer* container = nullptr;
    ASSERT_EQ(c->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)), S_OK);
    c->Release();  // the container's reference is now the only one

    IConnectionPoint* point = reinterpret_cast<IConnectionPoint*>(1);
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point, nullptr);
    ASSERT_EQ(container->FindConnectionPoint(kEvents, &point), S_OK);
    IID iid = GUID_NULL;
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, kEvents);
    IConnectionPointContainer* back = nullptr;
    ASSERT_EQ(point->GetConnectionPointContainer(&back), S_OK);
    EXPECT_EQ(back, container);
    back->Release();
    IEnumConnectionPoints* points = nullptr;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    // The event interface's point, then the property notifications'.
    IConnectionPoint* listed[3] = {nullptr, nullptr, nullptr};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(3, listed, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(listed[0], point);
    EXPECT_EQ(listed[1]->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, IID_IPropertyNotifySink);
    for (ULONG i = 0; i < fetched; ++i) listed[i]->Release();
    points->Release();

    // A sink that answers the event interface, one reached through IDispatch, one with neither.
    CountingSink direct(&kEvents), viaDispatch(&IID_IDispatch), deaf(nullptr);
    DWORD first = 0, second = 0, none = 7;
    EXPECT_EQ(point->Advise(&direct, &first), S_OK);
    EXPECT_EQ(point->Advise(&viaDispatch, &second), S_OK);
    EXPECT_EQ(point->Advise(&deaf, &none), CONNECT_E_CANNOTCONNECT);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(none, 0u);
    EXPECT_EQ(direct.refs, 2u);
    EXPECT_EQ(viaDispatch.refs, 2u);
    EXPECT_EQ(deaf.refs, 1u);
    IEnumConnections* connections = nullptr;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    CONNECTDATA data[3] = {};
    EXPECT_EQ(connections->Next(3, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(data[0].dwCookie + data[1].dwCookie, first + second);
    for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();
    connections->Release();
    EXPECT_EQ(direct.refs, 2u);

    EXPECT_EQ(point->Unadvise(first), S_OK);
    EXPECT_EQ(direct.refs, 1u);
    EXPECT_EQ(point->Unadvise(first), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);

    // The point alone keeps the control alive; at its end the sink still connected is let go.
    container->Release();
    EXPECT_EQ(CProbeCtrl::s_destroyed, before);
    EXPECT_EQ(viaDispatch.refs, 2u);
    point->Release();
    EXPECT_EQ(CProbeCtrl::s_destroyed, before + 1);
    EXPECT_EQ(viaDispatch.refs, 1u);
}

namespace {
// A property browser's sink: it counts the changes it hears of, by DISPID.
class PropertySink : public IPropertyNotifySink {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IPropertyNotifySink) return E_NOINTERFACE;
        *object = static_cast<IPropertyNotifySink*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override { return --refs; }
    STDMETHOD(OnChanged)(DISPID id) override {
        changed.push_back(id);
        return S_OK;
    }
    STDMETHOD(OnRequestEdit)(DISPID) override { return S_OK; }
    ULONG refs = 1;
    std::vector<DISPID> changed;
};
}  // namespace

// A property browser hears of each accepted change by DISPID; a change the control refuses
// reaches the caller as an automation exception with its description, and the thread's error
// information says the same.
TEST(AfxOleControl, PropertySinksHearChangesAndRefusalsCarryErrorInformation) {
    CProbeCtrl* c = new CProbeCtrl;
    IConnectionPoint* point = nullptr;
    ASSERT_EQ(c->FindConnectionPoint(IID_IPropertyNotifySink, &point), S_OK);
    PropertySink sink;
    CountingSink deaf(nullptr);
    DWORD cookie = 0, none = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    EXPECT_EQ(point->Advise(&deaf, &none), CONNECT_E_CANNOTCONNECT);  // no IDispatch fallback here
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = 4;
    EXPECT_EQ(Put(c, 1, v), S_OK);
    VARIANT s;
    VariantInit(&s);
    s.vt = VT_BSTR;
    s.bstrVal = GwAllocBstrFromUtf8("x");
    EXPECT_EQ(Put(c, 2, s), S_OK);
    EXPECT_EQ(sink.changed, (std::vector<DISPID>{1, 2}));

    v.lVal = -1;  // refused by the probe's change handler
    VARIANT arg = v;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS p{&arg, &named, 1, 1};
    EXCEPINFO excep{};
    EXPECT_EQ(c->Invoke(1, GUID_NULL, 0, DISPATCH_PROPERTYPUT, &p, nullptr, &excep, nullptr), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_INVALIDARG);
    ASSERT_NE(excep.bstrDescription, nullptr);
    EXPECT_EQ(GwOleString(excep.bstrDescription), OLESTR("Short must not be negative"));
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    EXPECT_EQ(sink.changed.size(), 2u);
    EXPECT_EQ(c->InterfaceSupportsErrorInfo(IID_IDispatch), S_OK);
    EXPECT_EQ(c->InterfaceSupportsErrorInfo(IID_IOleObject), S_FALSE);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    BSTR text = nullptr;
    EXPECT_EQ(info->GetDescription(&text), S_OK);
    EXPECT_EQ(GwOleString(text), OLESTR("Short must not be negative"));
    SysFreeString(text);
    info->Release();
    // The next call starts clean.
    v.lVal = 5;
    EXPECT_EQ(Put(c, 1, v), S_OK);
    EXPECT_EQ(sink.changed.back(), 1);

    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink.refs, 1u);
    point->Release();
    c->Release();
}

namespace {
// A property bag as a page's parameters give one: text values, looked up by name.
class TextBag : public IPropertyBag {
public:
    STDMETHOD(QueryInterface)(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(Read)(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        auto it = values.find(GwOleString(name));
        if (it == values.end()) return E_INVALIDARG;
        VariantInit(value);
        value->vt = VT_BSTR;
        value->bstrVal = GwAllocBstrFromUtf8(it->second.c_str());
        return S_OK;
    }
    STDMETHOD(Write)(LPCOLESTR name, VARIANT* value) override {
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, value, 0, VT_BSTR))) return E_FAIL;
        written[GwOleString(name)] = text.bstrVal ? GwOleString(text.bstrVal) : GwOleString();
        VariantClear(&text);
        return S_OK;
    }
    std::map<GwOleString, std::string> values;
    std::map<GwOleString, GwOleString> written;
};

class RecordingLog : public IErrorLog {
public:
    STDMETHOD(QueryInterface)(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(AddError)(LPCOLESTR name, EXCEPINFO* excep) override {
        errors.push_back({GwOleString(name), excep->scode});
        return S_OK;
    }
    std::vector<std::pair<GwOleString, HRESULT>> errors;
};
}  // namespace

// Persistence: a property bag by name (a bad value reported, the rest applied), and the stream
// form in a block of memory the host owns.
TEST(AfxOleControl, PropertyBagsAndMemoryBlocks) {
    CProbeCtrl* c = new CProbeCtrl;
    IConnectionPoint* point = nullptr;
    ASSERT_EQ(c->FindConnectionPoint(IID_IPropertyNotifySink, &point), S_OK);
    PropertySink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    TextBag bag;
    bag.values[OLESTR("Short")] = "many";  // not a number
    bag.values[OLESTR("Text")] = "from the page";
    RecordingLog log;
    ASSERT_EQ(c->Load(&bag, &log), S_OK);
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_EQ(log.errors[0].first, OLESTR("Short"));
    EXPECT_EQ(log.errors[0].second, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(c->m_short, 1);
    EXPECT_EQ(c->m_text.Bytes(), "from the page");
    EXPECT_EQ(sink.changed, (std::vector<DISPID>{2}));
    // A value the control itself refuses is reported with its own description's code.
    bag.values[OLESTR("Short")] = "-3";
    log.errors.clear();
    ASSERT_EQ(c->Load(&bag, &log), S_OK);
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_EQ(log.errors[0].second, E_INVALIDARG);
    TextBag saved;
    ASSERT_EQ(c->Save(&saved, TRUE, TRUE), S_OK);
    EXPECT_EQ(saved.written.size(), 2u);  // every property, no method
    EXPECT_EQ(saved.written[OLESTR("Text")], OLESTR("from the page"));
    point->Unadvise(cookie);
    point->Release();

    c->m_stored = 41;
    ULONG size = 0;
    ASSERT_EQ(c->GetSizeMax(&size), S_OK);
    std::vector<BYTE> block(size + 4, 0xAB);
    EXPECT_EQ(c->Save(block.data(), TRUE, size - 1), STG_E_MEDIUMFULL);
    EXPECT_EQ(block[0], 0xAB);  // nothing written into a block too small
    ASSERT_EQ(c->Save(block.data(), TRUE, size), S_OK);
    CProbeCtrl* d = new CProbeCtrl;
    ASSERT_EQ(d->Load(block.data(), size), S_OK);
    EXPECT_EQ(d->m_stored, 41);
    d->Release();
    c->Release();
}

namespace {
// A control whose picture is 8 × 4 pixels of 2 × 2 cells: a black and white checkerboard
// of four columns and two rows, on a white fill.
class CPictureProbe : public CProbeCtrl {
public:
    CPictureProbe() { SetControlSize(8, 4); }
    // Like a control, it fills its bounds before painting its picture at their origin.
    void OnDraw(CDC* dc, const CRect& bounds, const CRect&) override {
        dc->FillSolidRect(bounds, RGB(255, 255, 255));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x)
                SetPixel(dc->GetSafeHdc(), bounds.left + x, bounds.top + y,
                         ((x / 2) + (y / 2)) % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0));
    }
};

struct Surface {
    Surface(int w, int h) : width(w) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, dib);
        std::fill(bits, bits + static_cast<size_t>(w) * h, 0x808080u);  // grey: not the control's
    }
    ~Surface() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(dib);
    }
    DWORD At(int x, int y) const { return bits[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
    int width;
    HBITMAP dib;
    DWORD* bits = nullptr;
    HDC dc;
    HGDIOBJ old;
};
}  // namespace

// View: the picture goes inside the bounds wherever they are, each cell a whole number of
// pixels, centred in what is left over; bounds smaller than the cells still show both colours.
TEST(AfxOleControl, ViewDrawsTheCellsScaledInsideTheBounds) {
    CPictureProbe* c = new CPictureProbe;
    Surface s(100, 60);
    const RECTL bounds{10, 10, 91, 51};  // 81 × 41: 20 pixels a cell, one pixel left over
    ASSERT_EQ(c->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, s.dc, &bounds, nullptr, nullptr, 0), S_OK);
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 4; ++i) {
            const DWORD want = (i + j) % 2 ? 0xFFFFFFu : 0u;
            EXPECT_EQ(s.At(10 + 20 * i, 10 + 20 * j), want) << i << "," << j;
            EXPECT_EQ(s.At(10 + 20 * i + 19, 10 + 20 * j + 19), want) << i << "," << j;
        }
    EXPECT_EQ(s.At(9, 9), 0x808080u);      // outside the bounds: untouched
    EXPECT_EQ(s.At(91, 51), 0x808080u);
    EXPECT_EQ(s.At(90, 50), 0xFFFFFFu);    // the leftover column and row: the control's fill
    EXPECT_EQ(c->Draw(DVASPECT_DOCPRINT, -1, nullptr, nullptr, nullptr, s.dc, &bounds, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(c->Draw(DVASPECT_ICON + 16, -1, nullptr, nullptr, nullptr, s.dc, &bounds, nullptr, nullptr, 0),
              DV_E_DVASPECT);
    // Bounds smaller than one pixel a cell: spread as evenly as pixels allow, never blended.
    Surface small(6, 3);
    const RECTL tiny{0, 0, 6, 3};
    ASSERT_EQ(c->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, small.dc, &tiny, nullptr, nullptr, 0), S_OK);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_TRUE(small.At(x, y) == 0 || small.At(x, y) == 0xFFFFFF) << x << "," << y;
    c->Release();
}

namespace {
class DataChangeSink : public IAdviseSink {
public:
    STDMETHOD(QueryInterface)(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override { return --refs; }
    STDMETHOD_(void, OnDataChange)(FORMATETC*, STGMEDIUM* medium) override {
        ++changes;
        tymed = medium->tymed;
    }
    STDMETHOD_(void, OnViewChange)(DWORD, LONG) override {}
    STDMETHOD_(void, OnRename)(IMoniker*) override {}
    STDMETHOD_(void, OnSave)() override {}
    STDMETHOD_(void, OnClose)() override {}
    ULONG refs = 1;
    int changes = 0;
    DWORD tymed = 0;
};
}  // namespace

// Data: the formats the stand-in can make, each as the view draws the picture at its own size,
// and the advise sinks told of a new picture.
TEST(AfxOleControl, DataObjectGivesThePictureAndTellsItsSinks) {
    CPictureProbe* c = new CPictureProbe;
    IEnumFORMATETC* formats = nullptr;
    ASSERT_EQ(c->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    FORMATETC listed[4];
    ULONG fetched = 0;
    EXPECT_EQ(formats->Next(4, listed, &fetched), S_FALSE);
    formats->Release();
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(listed[0].cfFormat, CF_DIB);
    EXPECT_EQ(listed[1].cfFormat, CF_BITMAP);
    FORMATETC wrongMedium{CF_DIB, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
    EXPECT_EQ(c->QueryGetData(&wrongMedium), DV_E_TYMED);
    FORMATETC icon{CF_DIB, nullptr, DVASPECT_ICON, -1, TYMED_HGLOBAL};
    EXPECT_EQ(c->QueryGetData(&icon), DV_E_DVASPECT);

    STGMEDIUM medium{};
    ASSERT_EQ(c->GetData(&listed[0], &medium), S_OK);
    ASSERT_EQ(medium.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    const BYTE* packed = static_cast<const BYTE*>(GlobalLock(medium.hGlobal));
    BITMAPINFOHEADER header;
    std::memcpy(&header, packed, sizeof header);
    EXPECT_EQ(header.biWidth, 8);
    EXPECT_EQ(header.biHeight, 4);  // bottom-up
    EXPECT_EQ(header.biBitCount, 24);
    const BYTE* top = packed + sizeof header + 3 * 24;  // rows of 24 bytes; the last stored is the top
    EXPECT_EQ(top[0], 0);          // (0, 0) black
    EXPECT_EQ(top[3 * 2], 255);    // (2, 0) white
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    ASSERT_EQ(c->GetData(&listed[1], &medium), S_OK);
    BITMAP bm{};
    ASSERT_NE(GetObject(medium.hBitmap, sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 8);
    ReleaseStgMedium(&medium);

    DataChangeSink sink;
    DWORD connection = 0;
    ASSERT_EQ(c->DAdvise(&listed[0], ADVF_PRIMEFIRST, &sink, &connection), S_OK);
    EXPECT_EQ(sink.changes, 1);
    EXPECT_TRUE(c->SetControlSize(8, 4));  // a new picture
    EXPECT_EQ(sink.changes, 2);
    EXPECT_EQ(sink.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(c->DUnadvise(connection), S_OK);
    EXPECT_EQ(sink.refs, 1u);
    EXPECT_EQ(c->DUnadvise(connection), OLE_E_NOCONNECTION);
    c->Release();
}
