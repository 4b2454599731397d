// Reference counting for the framework's objects and the interfaces they hold: a counter for
// an object's own AddRef/Release, and an owning interface pointer that holds one reference for
// as long as it lives, so that no exit path forgets a Release and a call out to a container
// cannot free what the caller is still using.
#pragma once

#include <atomic>
#include <utility>

#include "platform/win32.h"

// An object's reference count. Starts at one: the creator's reference.
class CRefCount {
public:
    ULONG Increment() { return ++m_refs; }
    // The count left; 0 means the object is to go.
    ULONG Decrement() { return --m_refs; }

private:
    std::atomic<ULONG> m_refs{1};
};

// One reference to an interface. Letting go clears the pointer before calling Release, so an
// object whose Release reaches back into the holder finds it empty, not dangling.
template <class T>
class CInterfacePtr {
public:
    CInterfacePtr() = default;
    // Takes a reference of its own on `p` (null allowed).
    explicit CInterfacePtr(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    CInterfacePtr(const CInterfacePtr& other) : CInterfacePtr(other.m_p) {}
    CInterfacePtr(CInterfacePtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    CInterfacePtr& operator=(CInterfacePtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~CInterfacePtr() { Release(); }

    // Adopts a reference the caller already owns (one an out parameter returned).
    static CInterfacePtr Adopt(T* p) {
        CInterfacePtr held;
        held.m_p = p;
        return held;
    }
    void Release() {
        T* held = std::exchange(m_p, nullptr);
        if (held) held->Release();
    }
    // Hands the reference to the caller (an out parameter), leaving this empty.
    T* Detach() { return std::exchange(m_p, nullptr); }
    // Copies the pointer out with a new reference for the receiver (null stays null).
    T* CopyOut() const {
        if (m_p) m_p->AddRef();
        return m_p;
    }
    // For an out parameter that hands a reference to this holder: lets go of the old one first.
    T** Receive() {
        Release();
        return &m_p;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};
