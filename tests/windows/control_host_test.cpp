// A host for the control module on the real platform: it loads glyphwell.ocx, registers it,
// creates the control by ProgID and drives it the way containers and script hosts do (names
// and calls through IDispatch and through its type information, IPersistStreamInit over a
// stream on global memory, IViewObject::Draw into a 24-bit DIB section, its property page in a
// window and in the system's property frame, in-place activation into a window of its own),
// holding the results to what the Linux build of the same control saved and painted for the
// same properties.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "image/gw_image.h"
#include "platform/win32.h"
#include "tests/support/wine.h"

namespace {

const CLSID kClsid = {0xE9E41C25, 0xD5A5, 0x46E3, {0x89, 0x80, 0x52, 0x11, 0xF2, 0x73, 0xA6, 0xC8}};
const IID kEvents = {0x2C36D853, 0x7C60, 0x4ED4, {0xBA, 0x20, 0x5F, 0x1E, 0xE1, 0x31, 0xEB, 0xD4}};
const char* const kClassKey = "CLSID\\{E9E41C25-D5A5-46E3-8980-5211F273A6C8}";

std::string BinaryDir() { return GLYPHWELL_BINARY_DIR; }
std::string ModulePath() { return BinaryDir() + "\\control\\glyphwell.ocx"; }
// Written by the Linux program before this test runs (see tests/windows.cmake).
std::string Reference(const char* name) { return BinaryDir() + "\\control-reference\\" + name; }

std::vector<BYTE> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An event sink as script hosts give one: it answers IDispatch, not the event interface.
class DispatchSink : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    ULONG refs = 1;
};

// The least of a container that embeds the control in place: a client site whose in-place site
// offers the test's window and a position there. No frame or document window.
class InPlaceSite : public IOleClientSite, public IOleInPlaceSite {
public:
    InPlaceSite(HWND window, RECT pos) : m_window(window), m_pos(pos) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
            *object = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow))
            *object = static_cast<IOleInPlaceSite*>(this);
        else return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    STDMETHODIMP GetWindow(HWND* window) override {
        ++windowAsked;
        *window = m_window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        ++activations;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT pos,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *document = nullptr;
        *pos = m_pos;
        *clip = m_pos;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        --activations;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT pos) override {
        requested = *pos;
        return S_OK;
    }
    ULONG refs = 1;
    int activations = 0;
    int windowAsked = 0;
    RECT requested{0, 0, 0, 0};

private:
    HWND m_window;
    RECT m_pos;
};

// What a person saw of a dialog: its owner and the texts of everything inside it.
struct DialogSeen {
    HWND owner = nullptr;
    std::vector<std::string> texts;
};

BOOL CALLBACK CollectText(HWND w, LPARAM out) {
    char text[160] = "";
    GetWindowTextA(w, text, sizeof text);
    reinterpret_cast<std::vector<std::string>*>(out)->push_back(text);
    return TRUE;
}

BOOL CALLBACK FindDialog(HWND w, LPARAM out) {
    char name[16] = "";
    GetClassNameA(w, name, sizeof name);
    if (!IsWindowVisible(w) || std::string(name) != "#32770") return TRUE;
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
}

// Waits (up to ten seconds) for a modal dialog of thread `ui` to show `text`, reads it and
// presses its OK button, as a person would.
DialogSeen CloseDialogShowing(DWORD ui, const std::string& text) {
    DialogSeen seen;
    for (int i = 0; i < 200; ++i, Sleep(50)) {
        HWND dialog = nullptr;
        EnumThreadWindows(ui, FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog) continue;
        seen.owner = GetWindow(dialog, GW_OWNER);
        seen.texts.clear();
        EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&seen.texts));
        if (std::find(seen.texts.begin(), seen.texts.end(), text) == seen.texts.end() && i < 199) continue;
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        break;
    }
    return seen;
}

typedef HRESULT(STDAPICALLTYPE* EntryPoint)();

HRESULT CallEntry(const std::string& module, const char* name) {
    HMODULE m = LoadLibraryA(module.c_str());
    if (!m) return HRESULT_FROM_WIN32(GetLastError());
    EntryPoint entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(m, name)));
    const HRESULT hr = entry ? entry() : E_FAIL;
    FreeLibrary(m);
    return hr;
}

bool ClassRegistered() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kClassKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

class ControlHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CoInitialize(nullptr);
        ASSERT_EQ(CallEntry(ModulePath(), "DllRegisterServer"), S_OK);
    }
    static void TearDownTestSuite() {
        CallEntry(ModulePath(), "DllUnregisterServer");
        CoUninitialize();
    }

    // A new control, created by ProgID as hosts do.
    static IDispatch* Create() {
        CLSID clsid;
        EXPECT_EQ(CLSIDFromProgID(L"GLYPHWELL.GlyphwellCtrl.1", &clsid), S_OK);
        EXPECT_TRUE(IsEqualCLSID(clsid, kClsid));
        IDispatch* d = nullptr;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&d)),
                  S_OK);
        return d;
    }

    static DISPID Id(IDispatch* d, const wchar_t* name) {
        LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
        return id;
    }

    static HRESULT Put(IDispatch* d, const wchar_t* name, VARIANT value) {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &named, 1, 1};
        const HRESULT hr =
            d->Invoke(Id(d, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
        VariantClear(&value);
        return hr;
    }
    // A VT_I2 or VT_I4 argument.
    static VARIANT Number(VARTYPE vt, LONG v) {
        VARIANT x;
        VariantInit(&x);
        x.vt = vt;
        if (vt == VT_I2) x.iVal = static_cast<SHORT>(v);
        else x.lVal = v;
        return x;
    }
    static VARIANT Text(const wchar_t* v) {
        VARIANT x;
        VariantInit(&x);
        x.vt = VT_BSTR;
        x.bstrVal = SysAllocString(v);
        return x;
    }
    static VARIANT Get(IDispatch* d, const wchar_t* name) {
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        EXPECT_EQ(d->Invoke(Id(d, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                            nullptr),
                  S_OK)
            << name;
        return result;
    }

    // The properties the Linux program was given for the reference files.
    static void SetReferenceProperties(IDispatch* d) {
        ASSERT_EQ(Put(d, L"PixelSize", Number(VT_I2, 3)), S_OK);
        ASSERT_EQ(Put(d, L"CorrectionLevel", Number(VT_I2, 2)), S_OK);
        ASSERT_EQ(Put(d, L"ForeGroundColor", Number(VT_I4, 0x800000)), S_OK);
        ASSERT_EQ(Put(d, L"TextData", Text(L"HELLO WINDOWS")), S_OK);
    }

    static std::vector<BYTE> Save(IDispatch* d) {
        IPersistStreamInit* persist = nullptr;
        EXPECT_EQ(d->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)), S_OK);
        IStream* stream = nullptr;
        EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
        EXPECT_EQ(persist->Save(stream, TRUE), S_OK);
        // The block may be larger than what was written: the stream's size is the saved length.
        STATSTG stat{};
        stream->Stat(&stat, STATFLAG_NONAME);
        HGLOBAL global = nullptr;
        GetHGlobalFromStream(stream, &global);
        const BYTE* p = static_cast<const BYTE*>(GlobalLock(global));
        std::vector<BYTE> bytes(p, p + stat.cbSize.QuadPart);
        GlobalUnlock(global);
        stream->Release();
        persist->Release();
        return bytes;
    }

    static void Load(IDispatch* d, const std::vector<BYTE>& bytes) {
        IPersistStreamInit* persist = nullptr;
        ASSERT_EQ(d->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)), S_OK);
        IStream* stream = nullptr;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
        LARGE_INTEGER start{};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        EXPECT_EQ(persist->Load(stream), S_OK);
        stream->Release();
        persist->Release();
    }

    // Paints the control at its own size into a 24-bit DIB section and returns the picture.
    static GwImage Paint(IDispatch* d, const std::string& writeTo = std::string()) {
        IOleObject* ole = nullptr;
        IViewObject* view = nullptr;
        EXPECT_EQ(d->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
        EXPECT_EQ(d->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)), S_OK);
        SIZEL extent{};
        EXPECT_EQ(ole->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
        const LONG w = static_cast<LONG>((static_cast<long long>(extent.cx) * 96 + 1270) / 2540);
        const LONG h = static_cast<LONG>((static_cast<long long>(extent.cy) * 96 + 1270) / 2540);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, dib);
        RECTL bounds{0, 0, w, h};
        EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
        GdiFlush();
        SelectObject(dc, old);
        DeleteDC(dc);
        GwImage picture;
        EXPECT_TRUE(picture.CreateFromHBITMAP(dib));
        if (!writeTo.empty()) {
            EXPECT_TRUE(picture.Save(writeTo.c_str(), TypeBmp));
        }
        DeleteObject(dib);
        view->Release();
        ole->Release();
        return picture;
    }

    static void ExpectSamePixels(const GwImage& a, const GwImage& b) {
        ASSERT_EQ(a.GetWidth(), b.GetWidth());
        ASSERT_EQ(a.GetHeight(), b.GetHeight());
        long differing = 0;
        for (long y = 0; y < static_cast<long>(a.GetHeight()); ++y)
            for (long x = 0; x < static_cast<long>(a.GetWidth()); ++x) {
                const RGBQUAD p = a.GetPixelColor(x, y, false), q = b.GetPixelColor(x, y, false);
                if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue) ++differing;
            }
        EXPECT_EQ(differing, 0);
    }
};

TEST_F(ControlHost, AutomationByNameAndThroughTheTypeInformation) {
    IDispatch* d = Create();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(Put(d, L"BackGroundColor", Number(VT_I4, static_cast<LONG>(0x8000000F))), S_OK);
    VARIANT colour = Get(d, L"BackGroundColor");
    EXPECT_EQ(colour.vt, VT_I4);
    EXPECT_EQ(colour.lVal, static_cast<LONG>(0x8000000F));
    EXPECT_EQ(Put(d, L"PixelSize", Text(L"big")), DISP_E_TYPEMISMATCH);

    UINT count = 0;
    EXPECT_EQ(d->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(d->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    LPOLESTR names[1] = {const_cast<LPOLESTR>(L"TextData")};
    MEMBERID id = MEMBERID_NIL;
    EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, 14);
    BSTR name = nullptr;
    EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"_DGlyphwell");
    SysFreeString(name);
    // The fourteen properties stay dispatch properties, and what a property browser shows for
    // one is its range (written into the library after widl, which takes none there).
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cVars, 14);
    EXPECT_EQ(attr->cFuncs, 1);
    const WORD properties = attr->cVars;
    info->ReleaseTypeAttr(attr);
    std::vector<std::wstring> helps(15);
    for (UINT i = 0; i < properties; ++i) {
        VARDESC* var = nullptr;
        ASSERT_EQ(info->GetVarDesc(i, &var), S_OK);
        EXPECT_EQ(var->varkind, VAR_DISPATCH);
        EXPECT_EQ(var->memid, static_cast<MEMBERID>(i + 1));
        BSTR help = nullptr;
        EXPECT_EQ(info->GetDocumentation(var->memid, nullptr, &help, nullptr, nullptr), S_OK);
        if (help) helps[var->memid] = help;
        SysFreeString(help);
        info->ReleaseVarDesc(var);
    }
    EXPECT_EQ(helps[11], L"PixelSize takes 1 to 255, or -1 for 3 pixels.");
    EXPECT_EQ(helps[1], L"PreferredVersion takes 1 to 40, or -1 for the smallest version that holds the text.");
    EXPECT_EQ(helps[5], L"EciMode takes 0 to 32767, or -1 for no ECI, or UTF-8's 26 for text beyond the code page.");
    EXPECT_EQ(helps[12], L"BackGroundColor takes a colour &H00BBGGRR& or a system colour &H80000000& to &H8000001E&.");
    EXPECT_EQ(helps[14], L"");
    // The member id the type information gives is the one the object answers to. (Calls
    // through ITypeInfo::Invoke are left out: Wine does not carry out property access on a
    // dispatch interface's properties that way, E_NOTIMPL.)
    VARIANT text = Text(L"THROUGH THE TYPE INFO");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&text, &named, 1, 1};
    EXPECT_EQ(d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    VariantClear(&text);
    VARIANT back = Get(d, L"TextData");
    EXPECT_STREQ(back.bstrVal, L"THROUGH THE TYPE INFO");
    VariantClear(&back);
    info->Release();

    // The class, its default event interface and its user type, as containers ask for them.
    IProvideClassInfo2* classInfo = nullptr;
    ASSERT_EQ(d->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&classInfo)), S_OK);
    ASSERT_EQ(classInfo->GetClassInfo(&info), S_OK);
    EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"Glyphwell");
    SysFreeString(name);
    info->Release();
    GUID source = GUID_NULL;
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, kEvents));
    classInfo->Release();
    // Hosts connect their sink to the event interface found through the container.
    IConnectionPointContainer* container = nullptr;
    ASSERT_EQ(d->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)), S_OK);
    IConnectionPoint* point = nullptr;
    ASSERT_EQ(container->FindConnectionPoint(kEvents, &point), S_OK);
    container->Release();
    DispatchSink sink;
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(&sink, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(sink.refs, 2u);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink.refs, 1u);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    point->Release();
    IOleObject* ole = nullptr;
    ASSERT_EQ(d->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
    LPOLESTR userType = nullptr;
    EXPECT_EQ(ole->GetUserType(USERCLASSTYPE_FULL, &userType), S_OK);
    EXPECT_STREQ(userType, L"Glyphwell Control");
    CoTaskMemFree(userType);
    ole->Release();
    d->Release();
}

TEST_F(ControlHost, SavesAndPaintsWhatTheLinuxBuildSavesAndPaints) {
    const std::vector<BYTE> linuxState = ReadFile(Reference("state.bin"));
    GwImage linuxPicture;
    ASSERT_TRUE(linuxPicture.Load(Reference("paint.bmp").c_str(), TypeBmp)) << Reference("paint.bmp");
    ASSERT_GE(linuxState.size(), 7160u);

    IDispatch* d = Create();
    ASSERT_NE(d, nullptr);
    SetReferenceProperties(d);
    EXPECT_EQ(Save(d), linuxState);
    // Written for the Linux side, whose decoders read it back.
    ExpectSamePixels(Paint(d, BinaryDir() + "\\control-reference\\windows-paint.bmp"), linuxPicture);
    d->Release();

    // A fresh control loads what the Linux build stored and paints the same picture.
    IDispatch* loaded = Create();
    ASSERT_NE(loaded, nullptr);
    Load(loaded, linuxState);
    ExpectSamePixels(Paint(loaded), linuxPicture);
    loaded->Release();
}

// Text in any language and a system colour, set through automation on Windows: each reads back
// as set, comes back with every property in a control reopened from the saved stream, paints the
// face colour the system has, and is written for the Linux side's decoder.
TEST_F(ControlHost, AnyTextAndSystemColoursComeBackFromTheSavedStream) {
    const wchar_t* texts[] = {L"Z\u00FCrich", L"\u6771\u4EAC", L"\u20AC 5", L"\xD83D\xDE00",
                              L"Gr\u00FC\u00DF \u6771\u4EAC \u20AC \xD83D\xDE00"};
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    int n = 0;
    for (const wchar_t* text : texts) {
        SCOPED_TRACE(n);
        IDispatch* d = Create();
        ASSERT_NE(d, nullptr);
        ASSERT_EQ(Put(d, L"PixelSize", Number(VT_I2, 4)), S_OK);
        ASSERT_EQ(Put(d, L"BackGroundColor", Number(VT_I4, static_cast<LONG>(0x8000000F))), S_OK);
        ASSERT_EQ(Put(d, L"TextData", Text(text)), S_OK);
        IDispatch* loaded = Create();
        ASSERT_NE(loaded, nullptr);
        Load(loaded, Save(d));
        for (IDispatch* control : {d, loaded}) {
            VARIANT back = Get(control, L"TextData");
            EXPECT_EQ(std::wstring(back.bstrVal, SysStringLen(back.bstrVal)), std::wstring(text));
            VariantClear(&back);
            EXPECT_EQ(Get(control, L"BackGroundColor").lVal, static_cast<LONG>(0x8000000F));
            EXPECT_EQ(Get(control, L"PixelSize").iVal, 4);
            EXPECT_EQ(Get(control, L"EciMode").iVal, -1);
        }
        const GwImage picture =
            Paint(loaded, BinaryDir() + "\\control-reference\\windows-text-" + std::to_string(n) + ".bmp");
        const RGBQUAD corner = picture.GetPixelColor(0, 0, false);
        EXPECT_EQ(RGB(corner.rgbRed, corner.rgbGreen, corner.rgbBlue), face);
        loaded->Release();
        d->Release();
        ++n;
    }
}

// The page a property frame hosts: found through the control, made by its own class, titled
// and sized for the frame's tab, and created inside the frame's window from its template.
TEST_F(ControlHost, PropertyPageComesUpInsideTheFramesWindow) {
    IDispatch* d = Create();
    ASSERT_NE(d, nullptr);
    ISpecifyPropertyPages* specify = nullptr;
    ASSERT_EQ(d->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify)), S_OK);
    CAUUID pages{};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    specify->Release();
    ASSERT_EQ(pages.cElems, 1u);
    IPropertyPage* page = nullptr;
    const HRESULT created = CoCreateInstance(pages.pElems[0], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                             reinterpret_cast<void**>(&page));
    CoTaskMemFree(pages.pElems);
    ASSERT_EQ(created, S_OK);

    PROPPAGEINFO info{};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L"General");
    CoTaskMemFree(info.pszTitle);
    EXPECT_GT(info.size.cx, 0);
    EXPECT_GT(info.size.cy, 0);

    HWND frame = CreateWindowExA(0, "STATIC", "frame", WS_OVERLAPPEDWINDOW, 0, 0, 640, 400, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(frame, nullptr);
    const RECT where{8, 8, 8 + info.size.cx, 8 + info.size.cy};
    ASSERT_EQ(page->Activate(frame, &where, TRUE), S_OK);
    HWND window = GetWindow(frame, GW_CHILD);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_CHILD);
    EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & (WS_VISIBLE | WS_CAPTION));  // the frame shows it
    RECT placed;
    GetWindowRect(window, &placed);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 8);
    EXPECT_EQ(placed.top, 8);
    EXPECT_EQ(placed.right - placed.left, info.size.cx);
    const std::string pageText = "TODO: Place controls to manipulate properties of Glyphwell Control on this dialog.";
    char text[160] = "";
    GetWindowTextA(GetWindow(window, GW_CHILD), text, sizeof text);
    EXPECT_EQ(text, pageText);
    EXPECT_EQ(page->Show(SW_SHOW), S_OK);
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(page->Release(), 0u);

    // The Properties verb shows that page in the system's property frame, owned by the window
    // of the control's site, and lets go of everything once the frame is closed.
    InPlaceSite site(frame, RECT{0, 0, 100, 100});
    IOleObject* ole = nullptr;
    ASSERT_EQ(d->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    DialogSeen seen;
    const DWORD ui = GetCurrentThreadId();
    std::thread person([&] { seen = CloseDialogShowing(ui, pageText); });
    const RECT position{0, 0, 100, 100};
    const int asked = site.windowAsked;
    EXPECT_EQ(ole->DoVerb(OLEIVERB_PROPERTIES, nullptr, &site, 0, frame, &position), S_OK);
    person.join();
    EXPECT_GT(site.windowAsked, asked);
    // Wine's frame is owned by no window whatever owner it is given; Windows' by that owner.
    if (!gwtest::RunningOnWine()) {
        EXPECT_EQ(seen.owner, frame);
    }
    EXPECT_NE(std::find(seen.texts.begin(), seen.texts.end(), pageText), seen.texts.end());
    EXPECT_EQ(ole->SetClientSite(nullptr), S_OK);
    ole->Release();
    EXPECT_EQ(d->Release(), 0u);
    EXPECT_EQ(site.refs, 1u);
    DestroyWindow(frame);
}

// Activated in place in a window of the test's own, the control makes its window there and
// paints the same picture on WM_PAINT as the Linux build paints for the same properties.
TEST_F(ControlHost, ActivatesInPlaceAndPaintsItsWindow) {
    GwImage linuxPicture;
    ASSERT_TRUE(linuxPicture.Load(Reference("paint.bmp").c_str(), TypeBmp)) << Reference("paint.bmp");
    const LONG w = static_cast<LONG>(linuxPicture.GetWidth()), h = static_cast<LONG>(linuxPicture.GetHeight());
    HWND host = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, w + 40, h + 40, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(host, nullptr) << GetLastError();

    IDispatch* d = Create();
    ASSERT_NE(d, nullptr);
    SetReferenceProperties(d);
    IOleObject* ole = nullptr;
    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(d->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
    ASSERT_EQ(d->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
    const RECT pos{20, 20, 20 + w, 20 + h};
    InPlaceSite site(host, pos);
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &pos), S_OK);
    EXPECT_EQ(site.activations, 1);
    HWND window = nullptr;
    ASSERT_EQ(inPlace->GetWindow(&window), S_OK);
    EXPECT_EQ(GetParent(window), host);
    RECT placed;
    GetWindowRect(window, &placed);
    MapWindowPoints(HWND_DESKTOP, host, reinterpret_cast<LPPOINT>(&placed), 2);
    EXPECT_EQ(placed.left, pos.left);
    EXPECT_EQ(placed.top, pos.top);
    EXPECT_EQ(placed.right, pos.right);
    EXPECT_EQ(placed.bottom, pos.bottom);

    // WM_PAINT through the system, read back from the window's own device context.
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    HDC dc = GetDC(window);
    long differing = 0;
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x) {
            const RGBQUAD q = linuxPicture.GetPixelColor(x, h - 1 - y, false);
            if ((GetPixel(dc, x, y) & 0xFFFFFF) != RGB(q.rgbRed, q.rgbGreen, q.rgbBlue)) ++differing;
        }
    ReleaseDC(window, dc);
    EXPECT_EQ(differing, 0);

    // A new symbol asks the site for room at the same place.
    ASSERT_EQ(Put(d, L"PixelSize", Number(VT_I2, 4)), S_OK);
    EXPECT_EQ(site.requested.left, pos.left);
    EXPECT_EQ(site.requested.top, pos.top);
    EXPECT_GT(site.requested.right - site.requested.left, w);

    EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(site.activations, 0);
    EXPECT_EQ(site.refs, 1u);
    inPlace->Release();
    ole->Release();
    d->Release();
    DestroyWindow(host);
}

// A module whose type library cannot be registered registers no class and says why.
TEST_F(ControlHost, FailedTypeLibraryRegistrationRegistersNoClass) {
    std::vector<BYTE> module = ReadFile(ModulePath());
    ASSERT_FALSE(module.empty());
    // Renaming the resource type "TYPELIB" leaves the module without a type library.
    const char wide[] = "T\0Y\0P\0E\0L\0I\0B\0";
    const std::string needle(wide, sizeof wide - 1);
    std::string bytes(module.begin(), module.end());
    const size_t at = bytes.find(needle);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 12] = 'X';
    const std::string copy = BinaryDir() + "\\control-reference\\without-typelib.ocx";
    {
        std::ofstream out(copy, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ASSERT_EQ(CallEntry(ModulePath(), "DllUnregisterServer"), S_OK);
    EXPECT_FALSE(ClassRegistered());
    EXPECT_EQ(CallEntry(copy, "DllRegisterServer"), static_cast<HRESULT>(0x80040200));  // SELFREG_E_TYPELIB
    EXPECT_FALSE(ClassRegistered());
    ASSERT_EQ(CallEntry(ModulePath(), "DllRegisterServer"), S_OK);
    EXPECT_TRUE(ClassRegistered());
}

}  // namespace
