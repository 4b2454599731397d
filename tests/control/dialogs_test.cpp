// The about box and the property page as a user sees them, and the module's other resources.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "control/glyphwell_resources.h"
#include "tests/control/control_host.h"

using namespace gwtest;

namespace {

struct UserScope {
    explicit UserScope(AfxDialogUser user) { AfxSetDialogUser(std::move(user)); }
    ~UserScope() { AfxSetDialogUser(nullptr); }
};

ULONG RefsOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST(ControlDialogs, AboutBoxShowsItsTemplate) {
    ControlRef c;
    AfxDialogLayout seen;
    int shown = 0;
    UserScope user([&](const AfxDialogLayout& l) {
        seen = l;
        ++shown;
        return IDOK;
    });
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_EQ(c->Invoke(DISPID_ABOUTBOX, GUID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    ASSERT_EQ(shown, 1);
    EXPECT_EQ(seen.templateId, 1u);
    EXPECT_EQ(seen.desc.caption, "About Glyphwell Control");
    EXPECT_EQ(seen.desc.font, "MS Sans Serif");
    EXPECT_EQ(seen.desc.pointSize, 8);
    EXPECT_EQ(seen.desc.x, 34);
    EXPECT_EQ(seen.desc.y, 22);
    EXPECT_EQ(seen.desc.cx, 260);
    EXPECT_EQ(seen.desc.cy, 55);
    EXPECT_TRUE(seen.desc.style & DS_MODALFRAME);
    EXPECT_TRUE(seen.desc.style & WS_SYSMENU);
    ASSERT_EQ(seen.desc.items.size(), 4u);
    EXPECT_EQ(seen.desc.items[0].textOrdinal, 1);  // the icon
    EXPECT_EQ(seen.desc.items[0].cx, 20);
    EXPECT_EQ(seen.desc.items[1].text, "Glyphwell Control, Version 1.0");
    EXPECT_EQ(seen.desc.items[1].x, 40);
    EXPECT_EQ(seen.desc.items[2].y, 25);
    EXPECT_EQ(seen.desc.items[3].id, IDOK);
    EXPECT_EQ(seen.desc.items[3].text, "OK");
    EXPECT_EQ(seen.desc.items[3].classAtom, AFX_DLGCLASS_BUTTON);
    EXPECT_TRUE(seen.desc.items[3].style & BS_DEFPUSHBUTTON);
    // Laid out in pixels from 6 x 13 base units: 260 units wide = 390 pixels.
    EXPECT_EQ(seen.window.Width(), 390);
    EXPECT_EQ(seen.items[3].left, 221 * 6 / 4);
    // Arguments are not accepted by the method.
    VARIANT arg;
    VariantInit(&arg);
    DISPPARAMS one{&arg, nullptr, 1, 0};
    EXPECT_EQ(c->Invoke(DISPID_ABOUTBOX, GUID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
}

TEST(ControlDialogs, PropertiesVerbShowsTheGeneralPage) {
    ControlRef c;
    AfxDialogLayout seen;
    int shown = 0;
    const ULONG refs = RefsOf(c.disp());
    ULONG refsWhileShown = 0;
    UserScope user([&](const AfxDialogLayout& l) {
        seen = l;
        ++shown;
        refsWhileShown = RefsOf(c.disp());
        return IDOK;
    });
    EXPECT_EQ(c->DoVerb(1, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(c->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
    ASSERT_EQ(shown, 2);
    // The page edits the control while it is shown, and lets it go afterwards.
    EXPECT_EQ(refsWhileShown, refs + 1);
    EXPECT_EQ(RefsOf(c.disp()), refs);
    EXPECT_EQ(seen.templateId, 200u);
    EXPECT_EQ(seen.desc.caption, "General");
    EXPECT_TRUE(seen.desc.style & WS_CHILD);
    EXPECT_FALSE(seen.desc.style & WS_CAPTION);
    EXPECT_EQ(seen.desc.cx, 250);
    EXPECT_EQ(seen.desc.cy, 62);
    ASSERT_EQ(seen.desc.items.size(), 1u);
    EXPECT_EQ(seen.desc.items[0].text,
              "TODO: Place controls to manipulate properties of Glyphwell Control on this dialog.");
    EXPECT_EQ(seen.desc.items[0].x, 7);
    EXPECT_EQ(seen.desc.items[0].cx, 229);
    EXPECT_EQ(c->DoVerb(42, nullptr, nullptr, 0, nullptr, nullptr), OLEOBJ_S_INVALIDVERB);
}

TEST(ControlDialogs, PageDataExchangeOnlyPostProcesses) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_GlyphwellPropPage, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&unknown)), S_OK);
    factory->Release();
    COlePropertyPage* page = COlePropertyPage::FromUnknown(unknown);
    {
        UserScope cancel([](const AfxDialogLayout&) { return IDCANCEL; });
        EXPECT_EQ(page->ShowModal(), IDCANCEL);
    }
    EXPECT_EQ(page->PostProcessingCount(), 0);
    EXPECT_EQ(page->ShowModal(), IDOK);  // the headless user presses OK
    EXPECT_EQ(page->PostProcessingCount(), 1);
    EXPECT_EQ(page->GetCaption(), CString("General"));
    unknown->Release();
}

// The frame's side of a page: counts its references and the status changes it hears of.
struct CountingSite : IPropertyPageSite {
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyPageSite)) return E_NOINTERFACE;
        *object = this;
        AddRef();
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override { return --refs; }
    STDMETHOD(OnStatusChange)(DWORD flags) override {
        statusFlags.push_back(flags);
        return S_OK;
    }
    STDMETHOD(GetLocaleID)(LCID* locale) override {
        *locale = 0x0409;
        return S_OK;
    }
    STDMETHOD(GetPageContainer)(IUnknown** container) override {
        *container = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(TranslateAccelerator)(MSG*) override { return S_FALSE; }
    ULONG refs = 1;
    std::vector<DWORD> statusFlags;
};

TEST(ControlDialogs, PropertyFrameDrivesThePageThroughItsInterface) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_GlyphwellPropPage, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IPropertyPage* page = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    factory->Release();
    COlePropertyPage* framework = COlePropertyPage::FromUnknown(page);

    // The tab shows the caption string; the frame sizes itself to the template in pixels.
    PROPPAGEINFO info{};
    EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.cb, sizeof info);
    ASSERT_NE(info.pszTitle, nullptr);
    EXPECT_EQ(GwAnsiFromWide(info.pszTitle, std::char_traits<OLECHAR>::length(info.pszTitle)), "General");
    EXPECT_EQ(info.size.cx, 250 * 6 / 4);
    EXPECT_EQ(info.size.cy, 62 * 13 / 8);
    EXPECT_EQ(info.pszHelpFile, nullptr);
    CoTaskMemFree(info.pszTitle);

    CountingSite site, other;
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    EXPECT_EQ(site.refs, 2u);
    EXPECT_EQ(page->SetPageSite(&other), E_UNEXPECTED);
    EXPECT_EQ(other.refs, 1u);

    // Nothing but Activate reaches a page that is not active.
    RECT where{4, 30, 379, 130};
    EXPECT_EQ(page->Show(SW_SHOW), E_UNEXPECTED);
    EXPECT_EQ(page->Move(&where), E_UNEXPECTED);
    EXPECT_EQ(page->Deactivate(), E_UNEXPECTED);
    EXPECT_EQ(page->Activate(nullptr, nullptr, TRUE), E_POINTER);
    ASSERT_EQ(page->Activate(nullptr, &where, TRUE), S_OK);
    EXPECT_EQ(page->Activate(nullptr, &where, TRUE), E_UNEXPECTED);
    EXPECT_TRUE(framework->IsActive());
    EXPECT_FALSE(framework->IsPageVisible());
    EXPECT_EQ(framework->GetLayout().templateId, 200u);
    EXPECT_EQ(framework->GetPageRect().left, 4);
    EXPECT_EQ(page->Show(3), E_INVALIDARG);  // SW_MAXIMIZE is not for a page
    EXPECT_FALSE(framework->IsPageVisible());
    EXPECT_EQ(page->Show(SW_SHOW), S_OK);
    EXPECT_TRUE(framework->IsPageVisible());
    RECT moved{0, 0, 200, 80};
    EXPECT_EQ(page->Move(&moved), S_OK);
    EXPECT_EQ(framework->GetPageRect().right, 200);

    // The page holds the control it edits, and applies to it once per Apply.
    ControlRef c;
    IUnknown* control = c.disp();
    const ULONG before = RefsOf(control);
    IUnknown* none[1] = {nullptr};
    EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);
    EXPECT_EQ(page->SetObjects(1, none), E_POINTER);
    EXPECT_EQ(page->Apply(), S_OK);  // no objects: nothing to write to
    EXPECT_EQ(framework->PostProcessingCount(), 0);
    IUnknown* objects[1] = {control};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);  // the same object again is neither lost nor held twice
    EXPECT_EQ(RefsOf(control), before + 1);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    framework->SetModifiedFlag();
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    EXPECT_EQ(site.statusFlags, std::vector<DWORD>{PROPPAGESTATUS_DIRTY});
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(framework->PostProcessingCount(), 1);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(page->Help(nullptr), E_NOTIMPL);
    EXPECT_EQ(page->TranslateAccelerator(nullptr), E_POINTER);

    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_FALSE(framework->IsActive());
    EXPECT_EQ(page->Deactivate(), E_UNEXPECTED);
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(RefsOf(control), before);
    EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
    EXPECT_EQ(site.refs, 1u);
    // A frame that lets the page go while it still holds objects and a site releases them too.
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    EXPECT_EQ(page->Release(), 0u);
    EXPECT_EQ(site.refs, 1u);
    EXPECT_EQ(RefsOf(control), before);
}

TEST(ControlResources, StringsVersionBitmapAndIcon) {
    HINSTANCE module = GlyphwellModuleInstance();
    std::string s;
    ASSERT_TRUE(AfxLoadStringBytes(module, 1, &s));
    EXPECT_EQ(s, "Glyphwell Control");
    ASSERT_TRUE(AfxLoadStringBytes(module, 2, &s));
    EXPECT_EQ(s, "Glyphwell Property Page");
    ASSERT_TRUE(AfxLoadStringBytes(module, 200, &s));
    EXPECT_EQ(s, "General");
    EXPECT_FALSE(AfxLoadStringBytes(module, 3, &s));

    const BYTE* data;
    DWORD size;
    ASSERT_TRUE(AfxFindResourceBytes(module, MAKEINTRESOURCE(1), RT_VERSION, &data, &size));
    EXPECT_EQ(GlyphwellVersionString(data, size, "FileVersion"), "1, 0, 0, 1");
    EXPECT_EQ(GlyphwellVersionString(data, size, "ProductName"), "Glyphwell ActiveX Control Module");
    EXPECT_EQ(GlyphwellVersionString(data, size, "FileDescription"), "Glyphwell ActiveX Control Module");
    EXPECT_EQ(GlyphwellVersionString(data, size, "InternalName"), "Glyphwell");
    EXPECT_EQ(GlyphwellVersionString(data, size, "OriginalFilename"), "Glyphwell.OCX");
    EXPECT_EQ(GlyphwellVersionString(data, size, "OLESelfRegister"), "");
    EXPECT_EQ(GlyphwellVersionString(data, size, "NoSuchEntry"), "");

    ASSERT_TRUE(AfxFindResourceBytes(module, MAKEINTRESOURCE(1), RT_BITMAP, &data, &size));
    BITMAPINFOHEADER bih;
    ASSERT_GE(size, sizeof bih);
    std::memcpy(&bih, data, sizeof bih);
    EXPECT_EQ(bih.biWidth, 16);
    EXPECT_EQ(bih.biHeight, 15);
    EXPECT_EQ(bih.biBitCount, 4);
    EXPECT_EQ(size, sizeof bih + 16 * 4 + 8u * 15);

    ASSERT_TRUE(AfxFindResourceBytes(module, MAKEINTRESOURCE(1), MAKEINTRESOURCE(14), &data, &size));
    ASSERT_EQ(size, 6u + 2 * 14);
    EXPECT_EQ(data[4], 2);               // two images
    EXPECT_EQ(data[6], 32);              // 32 x 32 ...
    EXPECT_EQ(data[6 + 14], 16);         // ... and 16 x 16
    EXPECT_EQ(data[8], 16);              // 16 colours
    ASSERT_TRUE(AfxFindResourceBytes(module, MAKEINTRESOURCE(2), RT_ICON, &data, &size));
    std::memcpy(&bih, data, sizeof bih);
    EXPECT_EQ(bih.biWidth, 16);
    EXPECT_EQ(bih.biHeight, 32);  // colour and mask halves
}

}  // namespace
