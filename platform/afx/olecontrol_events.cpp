// The control's events: the connection point container and the one connection point, for the
// class's event interface, with the sinks hosts advise on it.
#include <mutex>

#include "platform/afx/olecontrol.h"
#include "platform/afx/snapshot_enum.h"

STDMETHODIMP COleControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!points) return E_POINTER;
    std::vector<IConnectionPoint*> items;
    if (m_piidEvents) items.push_back(&m_xEventPoint);
    *points = new CSnapshotEnum<IEnumConnectionPoints, IConnectionPoint*>(IID_IEnumConnectionPoints, items);
    return S_OK;
}

STDMETHODIMP COleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (!m_piidEvents || iid != *m_piidEvents) return CONNECT_E_NOCONNECTION;
    *point = &m_xEventPoint;
    m_xEventPoint.AddRef();
    return S_OK;
}

STDMETHODIMP COleControl::XEventPoint::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) COleControl::XEventPoint::AddRef() { return m_owner->AddRef(); }

STDMETHODIMP_(ULONG) COleControl::XEventPoint::Release() { return m_owner->Release(); }

STDMETHODIMP COleControl::XEventPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    if (!m_owner->m_piidEvents) {
        *iid = GUID_NULL;
        return E_UNEXPECTED;
    }
    *iid = *m_owner->m_piidEvents;
    return S_OK;
}

STDMETHODIMP COleControl::XEventPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = static_cast<IConnectionPointContainer*>(m_owner);
    m_owner->AddRef();
    return S_OK;
}

// The sink is asked for the event interface itself, or failing that for IDispatch, through
// which events are fired.
STDMETHODIMP COleControl::XEventPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    CInterfacePtr<IUnknown> held;
    if (!m_owner->m_piidEvents ||
        (FAILED(sink->QueryInterface(*m_owner->m_piidEvents, held.ReceiveVoid())) &&
         FAILED(sink->QueryInterface(IID_IDispatch, held.ReceiveVoid()))) ||
        !held)
        return CONNECT_E_CANNOTCONNECT;
    EventState& events = m_owner->m_events;
    std::lock_guard<std::mutex> lock(events.lock);
    // Cookies are never 0 and never repeat one still in use, even after the counter wraps.
    DWORD next = events.lastCookie;
    for (bool inUse = true; inUse;) {
        if (++next == 0) next = 1;
        inUse = false;
        for (const EventSink& s : events.sinks)
            if (s.cookie == next) inUse = true;
    }
    events.lastCookie = next;
    events.sinks.push_back({next, std::move(held)});
    *cookie = next;
    return S_OK;
}

STDMETHODIMP COleControl::XEventPoint::Unadvise(DWORD cookie) {
    CInterfacePtr<IUnknown> released;  // let go outside the lock: the sink may call back
    {
        std::lock_guard<std::mutex> lock(m_owner->m_events.lock);
        auto& sinks = m_owner->m_events.sinks;
        for (auto it = sinks.begin(); it != sinks.end(); ++it)
            if (it->cookie == cookie) {
                released = std::move(it->sink);
                sinks.erase(it);
                break;
            }
    }
    return released ? S_OK : CONNECT_E_NOCONNECTION;
}

STDMETHODIMP COleControl::XEventPoint::EnumConnections(IEnumConnections** connections) {
    if (!connections) return E_POINTER;
    std::vector<CONNECTDATA> items;
    // The snapshot takes its references under the lock, before an Unadvise could drop a sink.
    std::lock_guard<std::mutex> lock(m_owner->m_events.lock);
    for (const EventSink& s : m_owner->m_events.sinks) items.push_back({s.sink.Get(), s.cookie});
    *connections = new CSnapshotEnum<IEnumConnections, CONNECTDATA>(IID_IEnumConnections, items);
    return S_OK;
}

// The control fires no events; the count is kept for the framework's own bookkeeping.
STDMETHODIMP COleControl::FreezeEvents(BOOL freeze) {
    if (freeze) ++m_events.freezeCount;
    else if (m_events.freezeCount > 0) --m_events.freezeCount;
    return S_OK;
}

