// The framework's enumerators: a snapshot of items taken when the enumerator is made, walked
// with the COM enumerator contract (Next, Skip, Reset, Clone).
#pragma once

#include <utility>
#include <vector>

#include "platform/afx/comref.h"
#include "platform/com/interfaces.h"

// Each enumerated item carries one reference of its own; what Next hands out gets another.
inline void AddRefItem(IConnectionPoint* point) { point->AddRef(); }
inline void ReleaseItem(IConnectionPoint* point) { point->Release(); }
inline void AddRefItem(const CONNECTDATA& data) { data.pUnk->AddRef(); }
inline void ReleaseItem(const CONNECTDATA& data) { data.pUnk->Release(); }
// Formats hold no references (the framework's name no target device).
inline void AddRefItem(const FORMATETC&) {}
inline void ReleaseItem(const FORMATETC&) {}

// A snapshot enumerator over connection points, connections or formats: later changes do not
// disturb a walk in progress.
template <class Interface, class Item>
class CSnapshotEnum final : public Interface {
public:
    CSnapshotEnum(REFIID iid, std::vector<Item> items, size_t position = 0)
        : m_iid(iid), m_items(std::move(items)), m_position(position) {
        for (const Item& item : m_items) AddRefItem(item);
    }
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != m_iid) return E_NOINTERFACE;
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return m_refs.Increment(); }
    STDMETHOD_(ULONG, Release)() override {
        const ULONG left = m_refs.Decrement();
        if (left == 0) delete this;
        return left;
    }
    STDMETHOD(Next)(ULONG count, Item* out, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (!out || (!fetched && count != 1)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && m_position < m_items.size(); ++n, ++m_position) {
            out[n] = m_items[m_position];
            AddRefItem(out[n]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHOD(Skip)(ULONG count) override {
        const size_t left = m_items.size() - m_position;
        if (count > left) {
            m_position = m_items.size();
            return S_FALSE;
        }
        m_position += count;
        return S_OK;
    }
    STDMETHOD(Reset)() override {
        m_position = 0;
        return S_OK;
    }
    STDMETHOD(Clone)(Interface** copy) override {
        if (!copy) return E_POINTER;
        *copy = new CSnapshotEnum(m_iid, m_items, m_position);
        return S_OK;
    }

private:
    ~CSnapshotEnum() {
        for (const Item& item : m_items) ReleaseItem(item);
    }
    const IID m_iid;
    const std::vector<Item> m_items;
    size_t m_position;
    CRefCount m_refs;
};
