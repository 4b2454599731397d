// The control's persistence: the stream forms a host saves and loads it through
// (IPersistStreamInit), the framework's own tagged and versioned part of a stored control, and
// the property exchange the control class writes its state with.
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

