// The control's connection points: the class's event interface, and the property change
// notifications a property browser listens to (IPropertyNotifySink), each with the sinks hosts
// advise on it.
#include <mutex>
#include <utility>

#include "platform/afx/olecontrol.h"
#include "platform/afx/snapshot_enum.h"

STDMETHODIMP COleControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!points) return E_POINTER;
    std::vector<IConnectionPoint*> items;
    if (m_piidEvents) items.push_back(&m_xEventPoint);
    items.push_back(&m_xPropertyNotifyPoint);
    *points = new CSnapshotEnum<IEnumConnectionPoints, IConnectionPoint*>(IID_IEnumConnectionPoints, items);
    return S_OK;
}

STDMETHODIMP COleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (m_piidEvents && iid == *m_piidEvents) *point = &m_xEventPoint;
    else if (iid == IID_IPropertyNotifySink) *point = &m_xPropertyNotifyPoint;
    else return CONNECT_E_NOCONNECTION;
    (*point)->AddRef();
    return S_OK;
}

void COleControl::FirePropertyChanged(DISPID id) {
    // Held for the calls: a sink may unadvise, or release the control, as it is told.
    CInterfacePtr<IUnknown> keep(ControllingUnknown());
    for (const CInterfacePtr<IUnknown>& sink : m_xPropertyNotifyPoint.Sinks())
        static_cast<IPropertyNotifySink*>(sink.Get())->OnChanged(id);
}

const IID* COleControl::XConnectionPoint::Interface() const {
    return m_propertyNotify ? &IID_IPropertyNotifySink : m_owner->m_piidEvents;
}

std::vector<CInterfacePtr<IUnknown>> COleControl::XConnectionPoint::Sinks() {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<CInterfacePtr<IUnknown>> sinks;
    for (const EventSink& s : m_sinks) sinks.push_back(s.sink);
    return sinks;
}

void COleControl::XConnectionPoint::Clear() {
    std::vector<EventSink> sinks;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        sinks.swap(m_sinks);
    }
}

STDMETHODIMP COleControl::XConnectionPoint::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) COleControl::XConnectionPoint::AddRef() { return m_owner->AddRef(); }

STDMETHODIMP_(ULONG) COleControl::XConnectionPoint::Release() { return m_owner->Release(); }

STDMETHODIMP COleControl::XConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    if (!Interface()) {
        *iid = GUID_NULL;
        return E_UNEXPECTED;
    }
    *iid = *Interface();
    return S_OK;
}

STDMETHODIMP COleControl::XConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = static_cast<IConnectionPointContainer*>(m_owner);
    m_owner->AddRef();
    return S_OK;
}

// The sink is asked for the point's interface itself; an event sink failing that is asked for
// IDispatch, through which events are fired.
STDMETHODIMP COleControl::XConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    CInterfacePtr<IUnknown> held;
    if (!Interface() ||
        (FAILED(sink->QueryInterface(*Interface(), held.ReceiveVoid())) &&
         (m_propertyNotify || FAILED(sink->QueryInterface(IID_IDispatch, held.ReceiveVoid())))) ||
        !held)
        return CONNECT_E_CANNOTCONNECT;
    std::lock_guard<std::mutex> lock(m_lock);
    // Cookies are never 0 and never repeat one still in use, even after the counter wraps.
    DWORD next = m_lastCookie;
    for (bool inUse = true; inUse;) {
        if (++next == 0) next = 1;
        inUse = false;
        for (const EventSink& s : m_sinks)
            if (s.cookie == next) inUse = true;
    }
    m_lastCookie = next;
    m_sinks.push_back({next, std::move(held)});
    *cookie = next;
    return S_OK;
}

STDMETHODIMP COleControl::XConnectionPoint::Unadvise(DWORD cookie) {
    CInterfacePtr<IUnknown> released;  // let go outside the lock: the sink may call back
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it)
            if (it->cookie == cookie) {
                released = std::move(it->sink);
                m_sinks.erase(it);
                break;
            }
    }
    return released ? S_OK : CONNECT_E_NOCONNECTION;
}

STDMETHODIMP COleControl::XConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (!connections) return E_POINTER;
    std::vector<CONNECTDATA> items;
    // The snapshot takes its references under the lock, before an Unadvise could drop a sink.
    std::lock_guard<std::mutex> lock(m_lock);
    for (const EventSink& s : m_sinks) items.push_back({s.sink.Get(), s.cookie});
    *connections = new CSnapshotEnum<IEnumConnections, CONNECTDATA>(IID_IEnumConnections, items);
    return S_OK;
}

// The control fires no events; the count is kept for the framework's own bookkeeping.
STDMETHODIMP COleControl::FreezeEvents(BOOL freeze) {
    if (freeze) ++m_freezeEvents;
    else if (m_freezeEvents > 0) --m_freezeEvents;
    return S_OK;
}
