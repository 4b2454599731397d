// The control base as a host sees it, exercised through a small control of the test's own:
// dispatch-map get/put/method calls and their errors, reference counting, the framework's
// stream part, verbs and extents.
#include <gtest/gtest.h>

#include "platform/afx/afxctl.h"

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
        PX_Long(px, "Stored", m_stored, 5);
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
    void Ping() { ++m_calls; }
    BOOL Verb7() {
        ++m_calls;
        return TRUE;
    }
    DECLARE_DISPATCH_MAP()
    DECLARE_OLEVERB_MAP()
};
int CProbeCtrl::s_destroyed = 0;

BEGIN_DISPATCH_MAP(CProbeCtrl, COleControl)
DISP_PROPERTY_NOTIFY_ID("Short", 1, m_short, Changed, VT_I2)
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
    EXPECT_EQ(c->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(c->DoVerb(8, nullptr, nullptr, 0, nullptr, nullptr), OLEOBJ_S_INVALIDVERB);
    // No property pages: the Properties verb shows nothing and succeeds.
    EXPECT_EQ(c->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
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
