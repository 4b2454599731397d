// The control in the hosts people use, driven through the system's own OLE functions: a
// compound document (OleCreate, OleSave, OleLoad, OleDraw), a page's property bag, the data a
// clipboard or a document cache takes, drawing into other device contexts, the registered
// verbs, and a form designer's quick activation with its property sink. Pictures go to
// control-documents/ with the text each must hold; zbar reads them on the Linux side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "image/gw_image.h"
#include "platform/win32.h"

namespace {

const CLSID kClsid = {0xE9E41C25, 0xD5A5, 0x46E3, {0x89, 0x80, 0x52, 0x11, 0xF2, 0x73, 0xA6, 0xC8}};
const DISPID kTextDataId = 14;  // as the type library numbers it

std::string BinaryDir() { return GLYPHWELL_BINARY_DIR; }
std::string ModulePath() { return BinaryDir() + "\\control\\glyphwell.ocx"; }
std::string OutDir() { return BinaryDir() + "\\control-documents"; }

HRESULT CallEntry(const std::string& module, const char* name) {
    HMODULE m = LoadLibraryA(module.c_str());
    if (!m) return E_FAIL;
    auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(m, name)));
    const HRESULT hr = entry ? entry() : E_FAIL;
    FreeLibrary(m);
    return hr;
}

// A 24-bit white DIB section selected into a memory context.
class Canvas {
public:
    Canvas(int w, int h) : m_w(w), m_h(h) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
        m_dc = CreateCompatibleDC(nullptr);
        m_old = SelectObject(m_dc, m_dib);
        std::fill(m_bits, m_bits + static_cast<size_t>(w) * h, 0xFFFFFFu);
    }
    ~Canvas() {
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
        DeleteObject(m_dib);
    }
    HDC Dc() const { return m_dc; }
    DWORD Pixel(int x, int y) const {
        GdiFlush();
        return m_bits[static_cast<size_t>(y) * m_w + x] & 0xFFFFFF;
    }
    std::set<DWORD> Colours(int x0, int y0, int x1, int y1) const {
        std::set<DWORD> seen;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) seen.insert(Pixel(x, y));
        return seen;
    }
    // Writes the picture for zbar, with the text it must hold (`count` symbols of it).
    void Expect(const std::string& name, const std::string& text, int count = 1) const {
        GdiFlush();
        GwImage picture;
        ASSERT_TRUE(picture.CreateFromHBITMAP(m_dib));
        ASSERT_TRUE(picture.Save((OutDir() + "\\" + name + ".bmp").c_str(), TypeBmp));
        std::ofstream manifest(OutDir() + "\\expected", std::ios::app);
        manifest << name << ".bmp\t" << count << "\t" << text << "\n";
    }

private:
    int m_w, m_h;
    HBITMAP m_dib = nullptr;
    DWORD* m_bits = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_old = nullptr;
};

template <class T>
T* As(IUnknown* object, REFIID iid) {
    T* p = nullptr;
    EXPECT_EQ(object->QueryInterface(iid, reinterpret_cast<void**>(&p)), S_OK);
    return p;
}

HRESULT Put(IUnknown* object, const wchar_t* name, VARIANT value) {
    IDispatch* d = As<IDispatch>(object, IID_IDispatch);
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    if (SUCCEEDED(hr))
        hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    VariantClear(&value);
    d->Release();
    return hr;
}
VARIANT Text(const wchar_t* v) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_BSTR;
    x.bstrVal = SysAllocString(v);
    return x;
}
VARIANT Number(LONG v) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_I4;
    x.lVal = v;
    return x;
}
LONG GetNumber(IUnknown* object, const wchar_t* name) {
    IDispatch* d = As<IDispatch>(object, IID_IDispatch);
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    VARIANT r;
    VariantInit(&r);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &r, nullptr, nullptr), S_OK);
    VariantChangeType(&r, &r, 0, VT_I4);
    d->Release();
    return r.lVal;
}

IUnknown* Create(const wchar_t* text) {
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    if (object && text) {
        EXPECT_EQ(Put(object, L"TextData", Text(text)), S_OK);
    }
    return object;
}

HRESULT Draw(IUnknown* object, HDC dc, RECTL bounds, DWORD aspect = DVASPECT_CONTENT) {
    IViewObject* view = As<IViewObject>(object, IID_IViewObject);
    const HRESULT hr = view->Draw(aspect, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
    view->Release();
    return hr;
}

std::vector<BYTE> StreamBytes(IStream* stream) {
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<BYTE> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    bytes.resize(read);
    return bytes;
}

std::vector<BYTE> SavedStream(IUnknown* object) {
    IPersistStreamInit* persist = As<IPersistStreamInit>(object, IID_IPersistStreamInit);
    IStream* stream = nullptr;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    EXPECT_EQ(persist->Save(stream, FALSE), S_OK);
    std::vector<BYTE> bytes = StreamBytes(stream);
    stream->Release();
    persist->Release();
    return bytes;
}

class ControlDocuments : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CoInitialize(nullptr);
        CreateDirectoryA(OutDir().c_str(), nullptr);
        DeleteFileA((OutDir() + "\\expected").c_str());
        ASSERT_EQ(CallEntry(ModulePath(), "DllRegisterServer"), S_OK);
    }
    static void TearDownTestSuite() {
        CallEntry(ModulePath(), "DllUnregisterServer");
        CoUninitialize();
    }
};

// How documents embed objects: created into a compound file, saved, released, loaded from the
// file again and drawn. The settings stream inside the storage holds the stream form's bytes.
TEST_F(ControlDocuments, CompoundDocumentSavesLoadsAndDraws) {
    const std::string dir = OutDir();
    const std::wstring path = std::wstring(dir.begin(), dir.end()) + L"\\document.stg";
    IStorage* storage = nullptr;
    ASSERT_EQ(StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_TRANSACTED, 0,
                               &storage),
              S_OK);
    IOleObject* object = nullptr;
    ASSERT_EQ(OleCreate(kClsid, IID_IOleObject, OLERENDER_DRAW, nullptr, nullptr, storage,
                        reinterpret_cast<void**>(&object)),
              S_OK);
    ASSERT_EQ(Put(object, L"TextData", Text(L"COMPOUND DOCUMENT")), S_OK);
    ASSERT_EQ(Put(object, L"PixelSize", Number(4)), S_OK);
    const std::vector<BYTE> streamForm = SavedStream(object);
    IPersistStorage* persist = As<IPersistStorage>(object, IID_IPersistStorage);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_EQ(OleSave(persist, storage, TRUE), S_OK);
    EXPECT_EQ(persist->SaveCompleted(nullptr), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    persist->Release();
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
    object->Release();
    storage->Release();

    ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_TRANSACTED, nullptr, 0,
                             &storage),
              S_OK);
    CLSID stored = CLSID_NULL;
    EXPECT_EQ(ReadClassStg(storage, &stored), S_OK);
    EXPECT_TRUE(IsEqualCLSID(stored, kClsid));
    IStream* contents = nullptr;
    ASSERT_EQ(storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &contents), S_OK);
    EXPECT_EQ(StreamBytes(contents), streamForm);
    contents->Release();
    ASSERT_EQ(OleLoad(storage, IID_IOleObject, nullptr, reinterpret_cast<void**>(&object)), S_OK);
    EXPECT_EQ(SavedStream(object), streamForm);
    Canvas canvas(400, 400);
    RECT where{20, 20, 380, 380};
    EXPECT_EQ(OleDraw(object, DVASPECT_CONTENT, canvas.Dc(), &where), S_OK);
    canvas.Expect("compound", "COMPOUND DOCUMENT");
    object->Close(OLECLOSE_NOSAVE);
    object->Release();
    storage->Release();
}

// A page's <param> elements or a text form: values as text, names in any case.
class Bag : public IPropertyBag {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyBag)) return E_NOINTERFACE;
        *object = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        auto it = values.find(Key(name));
        if (it == values.end()) return E_INVALIDARG;
        const VARTYPE wanted = value->vt;
        VariantInit(value);
        HRESULT hr = VariantCopy(value, &it->second);
        if (SUCCEEDED(hr) && wanted != VT_EMPTY) hr = VariantChangeType(value, value, 0, wanted);
        return hr;
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        VARIANT& slot = values[Key(name)];
        VariantInit(&slot);
        return VariantCopy(&slot, value);
    }
    static std::wstring Key(LPCOLESTR name) {
        std::wstring key(name);
        for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(c));
        return key;
    }
    std::map<std::wstring, VARIANT> values;
};

class ErrorLog : public IErrorLog {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IErrorLog)) return E_NOINTERFACE;
        *object = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP AddError(LPCOLESTR name, EXCEPINFO* excep) override {
        names.push_back(name);
        codes.push_back(excep ? excep->scode : S_OK);
        return S_OK;
    }
    std::vector<std::wstring> names;
    std::vector<HRESULT> codes;
};

TEST_F(ControlDocuments, PropertyBagLoadsByNameReportsABadValueAndSavesEveryProperty) {
    IUnknown* object = Create(nullptr);
    IPersistPropertyBag* persist = As<IPersistPropertyBag>(object, IID_IPersistPropertyBag);
    Bag bag;
    bag.values[L"textdata"] = Text(L"PROPERTY BAG");
    bag.values[L"pixelsize"] = Text(L"5");
    bag.values[L"foregroundcolor"] = Text(L"128");
    bag.values[L"margin"] = Text(L"wide");
    ErrorLog log;
    ASSERT_EQ(persist->InitNew(), S_OK);
    ASSERT_EQ(persist->Load(&bag, &log), S_OK);
    ASSERT_EQ(log.names.size(), 1u);
    EXPECT_EQ(log.names[0], L"Margin");
    EXPECT_TRUE(FAILED(log.codes[0]));
    EXPECT_EQ(GetNumber(object, L"PixelSize"), 5);
    EXPECT_EQ(GetNumber(object, L"ForeGroundColor"), 128);
    EXPECT_EQ(GetNumber(object, L"Margin"), -1);  // the default, untouched
    Canvas canvas(300, 300);
    EXPECT_EQ(Draw(object, canvas.Dc(), RECTL{0, 0, 300, 300}), S_OK);
    canvas.Expect("bag", "PROPERTY BAG");
    Bag saved;
    ASSERT_EQ(persist->Save(&saved, TRUE, TRUE), S_OK);
    EXPECT_EQ(saved.values.size(), 14u);
    ASSERT_EQ(saved.values.count(L"textdata"), 1u);
    EXPECT_EQ(std::wstring(saved.values[L"textdata"].bstrVal), L"PROPERTY BAG");
    for (auto& entry : bag.values) VariantClear(&entry.second);
    for (auto& entry : saved.values) VariantClear(&entry.second);
    persist->Release();
    object->Release();
}

class DataSink : public IAdviseSink {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IAdviseSink)) return E_NOINTERFACE;
        *object = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP_(void) OnDataChange(FORMATETC* format, STGMEDIUM* medium) override {
        ++changes;
        lastTymed = medium ? medium->tymed : 0;
        (void)format;
    }
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override {}
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override {}
    ULONG refs = 1;
    int changes = 0;
    DWORD lastTymed = 0;
};

TEST_F(ControlDocuments, DataObjectOffersEveryPictureFormat) {
    IUnknown* object = Create(L"DATA TRANSFER");
    IDataObject* data = As<IDataObject>(object, IID_IDataObject);
    IEnumFORMATETC* formats = nullptr;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    FORMATETC listed[8];
    ULONG fetched = 0;
    formats->Next(8, listed, &fetched);
    formats->Release();
    std::vector<CLIPFORMAT> offered;
    for (ULONG i = 0; i < fetched; ++i) {
        offered.push_back(listed[i].cfFormat);
        EXPECT_EQ(data->QueryGetData(&listed[i]), S_OK);
        STGMEDIUM medium{};
        ASSERT_EQ(data->GetData(&listed[i], &medium), S_OK) << listed[i].cfFormat;
        EXPECT_EQ(medium.tymed, listed[i].tymed);
        ReleaseStgMedium(&medium);
    }
    EXPECT_EQ(offered, (std::vector<CLIPFORMAT>{CF_ENHMETAFILE, CF_METAFILEPICT, CF_DIB, CF_BITMAP}));
    FORMATETC text{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&text), DV_E_FORMATETC);

    // The enhanced metafile played at 600 dpi over 2000 × 2000 pixels: the symbol fills the
    // bounds in exactly two colours, its modules drawn by the player at its own resolution.
    FORMATETC emf{CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF};
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&emf, &medium), S_OK);
    {
        Canvas canvas(2000, 2000);
        SetMapMode(canvas.Dc(), MM_TEXT);
        RECT all{0, 0, 2000, 2000};
        ASSERT_TRUE(PlayEnhMetaFile(canvas.Dc(), medium.hEnhMetaFile, &all));
        EXPECT_EQ(canvas.Colours(0, 0, 2000, 2000).size(), 2u);
        canvas.Expect("emf", "DATA TRANSFER");
    }
    ReleaseStgMedium(&medium);
    // The usual OLE metafile picture, its extent in HIMETRIC, played into 600 × 600 pixels.
    FORMATETC wmf{CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT};
    ASSERT_EQ(data->GetData(&wmf, &medium), S_OK);
    {
        const METAFILEPICT* p = static_cast<const METAFILEPICT*>(GlobalLock(medium.hMetaFilePict));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->mm, MM_ANISOTROPIC);
        SIZEL extent{};
        IOleObject* ole = As<IOleObject>(object, IID_IOleObject);
        ole->GetExtent(DVASPECT_CONTENT, &extent);
        ole->Release();
        EXPECT_EQ(p->xExt, extent.cx);
        Canvas canvas(600, 600);
        SetMapMode(canvas.Dc(), MM_ANISOTROPIC);
        SetViewportExtEx(canvas.Dc(), 600, 600, nullptr);
        EXPECT_TRUE(PlayMetaFile(canvas.Dc(), p->hMF));
        canvas.Expect("wmf", "DATA TRANSFER");
        GlobalUnlock(medium.hMetaFilePict);
    }
    ReleaseStgMedium(&medium);
    // The packed bitmap, and the same bytes into a caller's block large enough, none into one
    // too small.
    FORMATETC dib{CF_DIB, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    ASSERT_EQ(data->GetData(&dib, &medium), S_OK);
    const SIZE_T size = GlobalSize(medium.hGlobal);
    STGMEDIUM here{};
    here.tymed = TYMED_HGLOBAL;
    here.hGlobal = GlobalAlloc(GMEM_MOVEABLE, size / 2);
    EXPECT_EQ(data->GetDataHere(&dib, &here), STG_E_MEDIUMFULL);
    GlobalFree(here.hGlobal);
    here.hGlobal = GlobalAlloc(GMEM_MOVEABLE, size);
    ASSERT_EQ(data->GetDataHere(&dib, &here), S_OK);
    EXPECT_EQ(std::memcmp(GlobalLock(here.hGlobal), GlobalLock(medium.hGlobal), size), 0);
    GlobalUnlock(here.hGlobal);
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&here);
    ReleaseStgMedium(&medium);

    // A cache's advise sink hears of each new picture, with the data.
    DataSink sink;
    DWORD connection = 0;
    ASSERT_EQ(data->DAdvise(&dib, 0, &sink, &connection), S_OK);
    EXPECT_EQ(Put(object, L"TextData", Text(L"NEW PICTURE")), S_OK);
    EXPECT_GE(sink.changes, 1);
    EXPECT_EQ(sink.lastTymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(data->DUnadvise(connection), S_OK);
    EXPECT_EQ(sink.refs, 1u);
    data->Release();
    object->Release();
}

// IViewObject::Draw into a page: at bounds away from the origin, two controls side by side in
// one context, and in a y-up mapping mode, each symbol inside its bounds and sharp.
TEST_F(ControlDocuments, DrawsInsideAnyBoundsInAnyMappingMode) {
    IUnknown* left = Create(L"LEFT SYMBOL");
    IUnknown* right = Create(L"RIGHT SYMBOL");
    {
        Canvas canvas(1400, 1400);
        ASSERT_EQ(Draw(left, canvas.Dc(), RECTL{600, 600, 1200, 1200}), S_OK);
        // Nothing outside the bounds; inside, only the control's two colours.
        EXPECT_EQ(canvas.Colours(0, 0, 1400, 600), std::set<DWORD>{0xFFFFFF});
        EXPECT_EQ(canvas.Colours(0, 600, 600, 1400), std::set<DWORD>{0xFFFFFF});
        EXPECT_EQ(canvas.Colours(600, 600, 1200, 1200).size(), 2u);
        canvas.Expect("offset", "LEFT SYMBOL");
    }
    {
        Canvas canvas(1300, 600);
        ASSERT_EQ(Draw(left, canvas.Dc(), RECTL{0, 0, 600, 600}), S_OK);
        ASSERT_EQ(Draw(right, canvas.Dc(), RECTL{700, 0, 1300, 600}), S_OK);
        canvas.Expect("pair-left", "LEFT SYMBOL");
        canvas.Expect("pair-right", "RIGHT SYMBOL");
    }
    {
        // 10 cm square, y up.
        Canvas canvas(500, 500);
        SetMapMode(canvas.Dc(), MM_HIMETRIC);
        ASSERT_EQ(Draw(left, canvas.Dc(), RECTL{0, 0, 10000, -10000}), S_OK);
        SetMapMode(canvas.Dc(), MM_TEXT);
        EXPECT_EQ(canvas.Colours(0, 0, 300, 300).size(), 2u);
        canvas.Expect("himetric", "LEFT SYMBOL");
    }
    {
        // Printing and thumbnails draw the content; the icon aspect draws something else.
        Canvas content(200, 200), print(200, 200), icon(200, 200);
        ASSERT_EQ(Draw(left, content.Dc(), RECTL{0, 0, 200, 200}), S_OK);
        ASSERT_EQ(Draw(left, print.Dc(), RECTL{0, 0, 200, 200}, DVASPECT_DOCPRINT), S_OK);
        ASSERT_EQ(Draw(left, icon.Dc(), RECTL{0, 0, 200, 200}, DVASPECT_ICON), S_OK);
        int same = 0, differ = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x) {
                same += content.Pixel(x, y) == print.Pixel(x, y);
                differ += content.Pixel(x, y) != icon.Pixel(x, y);
            }
        EXPECT_EQ(same, 200 * 200);
        EXPECT_GT(differ, 0);
        Canvas thumbnail(200, 200);
        EXPECT_EQ(Draw(left, thumbnail.Dc(), RECTL{0, 0, 200, 200}, DVASPECT_THUMBNAIL), S_OK);
        EXPECT_EQ(thumbnail.Pixel(100, 100), content.Pixel(100, 100));
    }
    left->Release();
    right->Release();
}

TEST_F(ControlDocuments, RegisteredVerbsAreWhatTheControlLists) {
    IEnumOLEVERB* verbs = nullptr;
    ASSERT_EQ(OleRegEnumVerbs(kClsid, &verbs), S_OK);
    OLEVERB verb{};
    std::map<LONG, std::wstring> listed;
    while (verbs->Next(1, &verb, nullptr) == S_OK) {
        listed[verb.lVerb] = verb.lpszVerbName;
        CoTaskMemFree(verb.lpszVerbName);
    }
    verbs->Release();
    EXPECT_EQ(listed, (std::map<LONG, std::wstring>{{0, L"&Edit"}, {1, L"&Properties..."}}));
    IUnknown* object = Create(nullptr);
    IOleObject* ole = As<IOleObject>(object, IID_IOleObject);
    verbs = nullptr;
    EXPECT_EQ(ole->EnumVerbs(&verbs), OLE_S_USEREG);  // the registered verbs are the control's
    ole->Release();
    object->Release();
}

class ContainerSinks : public IOleClientSite, public IPropertyNotifySink, public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
            *object = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(iid, IID_IPropertyNotifySink)) *object = static_cast<IPropertyNotifySink*>(this);
        else if (IsEqualIID(iid, IID_IDispatch)) *object = static_cast<IDispatch*>(this);
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
    STDMETHODIMP RequestNewObjectLayout() override { return S_OK; }
    STDMETHODIMP OnChanged(DISPID id) override {
        changed.push_back(id);
        return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    ULONG refs = 1;
    std::vector<DISPID> changed;
};

// The form designers' fast path: sinks and site in one call, the property sink told of each
// change by DISPID; no activation needed for the mouse; errors described for script hosts.
TEST_F(ControlDocuments, QuickActivationConnectsTheContainersSinks) {
    IUnknown* object = Create(nullptr);
    IQuickActivate* quick = As<IQuickActivate>(object, IID_IQuickActivate);
    ContainerSinks sinks;
    QACONTAINER container{};
    container.cbSize = sizeof container;
    container.pClientSite = &sinks;
    container.pPropertyNotifySink = &sinks;
    container.pUnkEventSink = static_cast<IDispatch*>(&sinks);
    QACONTROL control{};
    control.cbSize = sizeof control;
    ASSERT_EQ(quick->QuickActivate(&container, &control), S_OK);
    EXPECT_NE(control.dwPropNotifyCookie, 0u);
    EXPECT_NE(control.dwEventCookie, 0u);
    EXPECT_EQ(control.dwMiscStatus, 131473u);
    SIZEL extent{5080, 2540};
    EXPECT_EQ(quick->SetContentExtent(&extent), S_OK);
    SIZEL back{};
    EXPECT_EQ(quick->GetContentExtent(&back), S_OK);
    EXPECT_EQ(back.cx, 5080);
    ASSERT_EQ(Put(object, L"TextData", Text(L"DESIGNER")), S_OK);
    ASSERT_EQ(Put(object, L"PixelSize", Number(2)), S_OK);
    EXPECT_EQ(sinks.changed, (std::vector<DISPID>{kTextDataId, 11}));
    IPointerInactive* pointer = As<IPointerInactive>(object, IID_IPointerInactive);
    DWORD policy = 99;
    EXPECT_EQ(pointer->GetActivationPolicy(&policy), S_OK);
    EXPECT_EQ(policy, 0u);
    pointer->Release();
    ISupportErrorInfo* errors = As<ISupportErrorInfo>(object, IID_ISupportErrorInfo);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_OK);
    errors->Release();
    IRunnableObject* runnable = As<IRunnableObject>(object, IID_IRunnableObject);
    EXPECT_TRUE(runnable->IsRunning());
    runnable->Release();
    IOleObject* ole = As<IOleObject>(object, IID_IOleObject);
    EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    ole->Release();
    quick->Release();
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(sinks.refs, 1u);  // every sink let go
}

}  // namespace
