// The control's persistence: the stream form a host saves and loads it through
// (IPersistStreamInit), the same bytes in a compound document's storage (IPersistStorage) or a
// block of memory (IPersistMemory), the properties by name in a property bag
// (IPersistPropertyBag), the framework's own tagged and versioned part of a stored control, and
// the property exchange the control class writes its state with.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/afx/olecontrol.h"
#include "platform/com/memory_stream.h"

STDMETHODIMP COleControl::IsDirty() { return m_site.modified ? S_OK : S_FALSE; }

STDMETHODIMP COleControl::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    NotificationHold hold(this);
    CArchive ar(stream, CArchive::load);
    Serialize(ar);
    // A stream that ended early or held something other than a stored control: the host is
    // told, and the control has kept the state it had.
    return ar.LoadFailed() ? E_FAIL : S_OK;
}

STDMETHODIMP COleControl::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    CArchive ar(stream, CArchive::store);
    Serialize(ar);
    if (ar.WriteFailed()) return E_FAIL;
    if (clearDirty) {
        m_site.modified = FALSE;
        NotifyOleSinks([](IAdviseSink* sink) { sink->OnSave(); });
    }
    return S_OK;
}

STDMETHODIMP COleControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    // Measured by saving into a scratch stream, so it is exact for the state as it stands.
    const auto scratch = CInterfacePtr<GwMemoryStream>::Adopt(new GwMemoryStream);
    CArchive ar(scratch.Get(), CArchive::store);
    Serialize(ar);
    size->QuadPart = scratch->Bytes().size();
    return S_OK;
}

STDMETHODIMP COleControl::InitNew() {
    OnResetState();
    return S_OK;
}

void COleControl::ExchangeVersion(CPropExchange* px, DWORD versionDefault, BOOL convert) {
    DWORD version = versionDefault;
    px->ExchangeVersion(version, versionDefault, convert);
}

// The framework's part: a tag and a format number, so that a damaged or foreign stream is
// recognised and skipped, then the property exchange.
void COleControl::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << kAfxControlStreamMagic << kAfxControlStreamFormat;
        CArchivePropExchange px(ar);
        DoPropExchange(&px);
        return;
    }
    DWORD magic = 0;
    WORD format = 0;
    ar >> magic >> format;
    if (magic != kAfxControlStreamMagic || format != kAfxControlStreamFormat) {
        ar.SetLoadFailed();
        return;
    }
    CArchivePropExchange px(ar);
    DoPropExchange(&px);
}

void COleControl::DoPropExchange(CPropExchange*) {}

void COleControl::OnResetState() {
    CResetPropExchange px;
    DoPropExchange(&px);
}

// ---- The data cache: the system's, aggregated, so that a container's document keeps a picture
// of the control and OleCreate's caching requests are met. ----
IUnknown* COleControl::DataCache() {
#ifdef _WIN32
    if (!m_persist.cache) {
        CLSID clsid;
        if (FAILED(GetClassID(&clsid)) ||
            FAILED(CreateDataCache(ControllingUnknown(), clsid, IID_IUnknown, m_persist.cache.ReceiveVoid())))
            m_persist.cache.Release();
    }
#endif
    return m_persist.cache.Get();
}

// The cache's failures are its own: the control's settings are saved and loaded regardless.
template <typename Call>
void COleControl::ForwardToCacheStorage(Call call) {
    IUnknown* cache = DataCache();
    CInterfacePtr<IPersistStorage> storage;
    if (cache && SUCCEEDED(cache->QueryInterface(IID_IPersistStorage, storage.ReceiveVoid())) && storage)
        call(storage.Get());
}

// ---- Compound documents: the settings live in one stream of the object's storage, in the same
// bytes as the stream form; the data cache (where the system has one) keeps its presentation
// beside them. ----
namespace {
const OLECHAR kContentsStream[] = OLESTR("Contents");
}  // namespace

STDMETHODIMP COleControl::InitNew(IStorage* storage) {
    if (!storage) return E_POINTER;
    if (m_persist.storage) return CO_E_ALREADYINITIALIZED;
    OnResetState();
    m_persist.storage = CInterfacePtr<IStorage>(storage);
    ForwardToCacheStorage([storage](IPersistStorage* cache) { return cache->InitNew(storage); });
    return S_OK;
}

STDMETHODIMP COleControl::Load(IStorage* storage) {
    if (!storage) return E_POINTER;
    if (m_persist.storage) return CO_E_ALREADYINITIALIZED;
    CInterfacePtr<IStream> stream;
    HRESULT hr = storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Receive());
    if (FAILED(hr)) return hr;
    hr = Load(stream.Get());
    if (FAILED(hr)) return hr;
    m_persist.storage = CInterfacePtr<IStorage>(storage);
    ForwardToCacheStorage([storage](IPersistStorage* cache) { return cache->Load(storage); });
    return S_OK;
}

STDMETHODIMP COleControl::Save(IStorage* storage, BOOL sameAsLoad) {
    if (!storage) return E_POINTER;
    CInterfacePtr<IStream> stream;
    HRESULT hr = storage->CreateStream(kContentsStream, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                       stream.Receive());
    if (FAILED(hr)) return hr;
    CArchive ar(stream.Get(), CArchive::store);
    Serialize(ar);
    if (ar.WriteFailed()) return STG_E_MEDIUMFULL;
    UpdateCache();
    ForwardToCacheStorage([storage, sameAsLoad](IPersistStorage* cache) { return cache->Save(storage, sameAsLoad); });
    // Saved into its own storage, the document now matches the control.
    if (sameAsLoad) m_site.modified = FALSE;
    return S_OK;
}

// The container has finished saving: a new storage replaces the one held, and the
// compound-document sinks hear of the save.
STDMETHODIMP COleControl::SaveCompleted(IStorage* storage) {
    if (storage) m_persist.storage = CInterfacePtr<IStorage>(storage);
    ForwardToCacheStorage([storage](IPersistStorage* cache) { return cache->SaveCompleted(storage); });
    NotifyOleSinks([](IAdviseSink* sink) { sink->OnSave(); });
    return S_OK;
}

STDMETHODIMP COleControl::HandsOffStorage() {
    m_persist.storage.Release();
    ForwardToCacheStorage([](IPersistStorage* cache) { return cache->HandsOffStorage(); });
    return S_OK;
}

// ---- A block of memory the host owns: the stream form, within the size it gives. ----
STDMETHODIMP COleControl::Load(LPVOID memory, ULONG size) {
    if (!memory) return E_POINTER;
    const BYTE* bytes = static_cast<const BYTE*>(memory);
    const auto stream = CInterfacePtr<GwMemoryStream>::Adopt(new GwMemoryStream(std::vector<BYTE>(bytes, bytes + size)));
    return Load(static_cast<IStream*>(stream.Get()));
}

STDMETHODIMP COleControl::Save(LPVOID memory, BOOL clearDirty, ULONG size) {
    if (!memory) return E_POINTER;
    const auto stream = CInterfacePtr<GwMemoryStream>::Adopt(new GwMemoryStream);
    const HRESULT hr = Save(static_cast<IStream*>(stream.Get()), FALSE);
    if (FAILED(hr)) return hr;
    // A block too small gets nothing: a cut-off copy would load as something else.
    if (stream->Bytes().size() > size) return STG_E_MEDIUMFULL;
    std::copy(stream->Bytes().begin(), stream->Bytes().end(), static_cast<BYTE*>(memory));
    if (clearDirty) {
        m_site.modified = FALSE;
        NotifyOleSinks([](IAdviseSink* sink) { sink->OnSave(); });
    }
    return S_OK;
}

STDMETHODIMP COleControl::GetSizeMax(ULONG* size) {
    if (!size) return E_POINTER;
    ULARGE_INTEGER exact{};
    const HRESULT hr = GetSizeMax(&exact);
    if (FAILED(hr)) return hr;
    *size = static_cast<ULONG>(exact.QuadPart);
    return S_OK;
}


// ---- Property bags (a page's parameters, a text form): each property of the dispatch map by
// its name, with the conversions automation applies. ----
STDMETHODIMP COleControl::Load(IPropertyBag* bag, IErrorLog* errorLog) {
    if (!bag) return E_POINTER;
    std::vector<DISPID> changed;
    {
        // The container hears of the new size once, when every property is in.
        NotificationHold hold(this);
        UINT n = 0;
        const AFX_DISPMAP_ENTRY* map = GetDispatchMap(&n);
        for (UINT i = 0; i < n; ++i) {
            if (map[i].method) continue;
            const GwOleString name = GwWideFromAnsi(map[i].name, std::strlen(map[i].name));
            VARIANT value;
            VariantInit(&value);
            // A property the bag does not hold keeps the value it has.
            if (FAILED(bag->Read(name.c_str(), &value, errorLog))) continue;
            m_dispatchError = DispatchError();
            HRESULT hr = PutProperty(map[i], value);
            VariantClear(&value);
            if (SUCCEEDED(hr) && !m_dispatchError.pending) {
                changed.push_back(map[i].dispid);
                continue;
            }
            // One bad value is reported and the rest still load.
            std::string description = m_dispatchError.description;
            if (m_dispatchError.pending) hr = m_dispatchError.code;
            else description = std::string("The value given for ") + map[i].name + " is not one it can take";
            m_dispatchError = DispatchError();
            if (errorLog) {
                const GwOleString text = GwWideFromAnsi(description.data(), description.size());
                EXCEPINFO excep{};
                excep.scode = hr;
                excep.bstrDescription = SysAllocString(text.c_str());
                errorLog->AddError(name.c_str(), &excep);
                SysFreeString(excep.bstrDescription);
            }
        }
    }
    for (DISPID id : changed) FirePropertyChanged(id);
    return S_OK;
}

STDMETHODIMP COleControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) return E_POINTER;
    UINT n = 0;
    const AFX_DISPMAP_ENTRY* map = GetDispatchMap(&n);
    for (UINT i = 0; i < n; ++i) {
        if (map[i].method) continue;
        VARIANT value;
        HRESULT hr = GetProperty(map[i], &value);
        if (SUCCEEDED(hr)) {
            const GwOleString name = GwWideFromAnsi(map[i].name, std::strlen(map[i].name));
            hr = bag->Write(name.c_str(), &value);
            VariantClear(&value);
        }
        if (FAILED(hr)) return hr;
    }
    if (clearDirty) m_site.modified = FALSE;
    return S_OK;
}

void COleControl::UpdateCache() {
#ifdef _WIN32
    if (!m_persist.cache) return;
    CInterfacePtr<IOleCache> cache;
    if (FAILED(m_persist.cache->QueryInterface(IID_IOleCache, cache.ReceiveVoid())) || !cache) return;
    // The cache keeps what it was asked to cache; a format it holds no entry for is refused, and
    // the picture offered in it is let go here.
    FORMATETC formats[] = {{CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT},
                           {CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF}};
    for (FORMATETC& format : formats) {
        STGMEDIUM medium;
        if (FAILED(GetData(&format, &medium))) continue;
        if (FAILED(cache->SetData(&format, &medium, TRUE))) ReleaseStgMedium(&medium);
    }
#endif
}
