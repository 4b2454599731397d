// An IStream over a growable block of bytes: reads and writes at a seekable position, writes
// past the end grow the block. Hosts use it to save a control's state and to hand stored
// state back to it.
#pragma once

#include <atomic>
#include <vector>

#include "platform/com/interfaces.h"

class GwMemoryStream : public IStream {
public:
    // Starts with a reference count of 1, positioned at the start of the given bytes.
    explicit GwMemoryStream(std::vector<BYTE> bytes = {});
    virtual ~GwMemoryStream() = default;

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(Read)(void* buffer, ULONG count, ULONG* read) override;
    STDMETHOD(Write)(const void* buffer, ULONG count, ULONG* written) override;
    // A position before the start is refused (STG_E_INVALIDFUNCTION); one past the end is
    // allowed, and a write there fills the gap with zeros.
    STDMETHOD(Seek)(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
    STDMETHOD(SetSize)(ULARGE_INTEGER newSize) override;
    STDMETHOD(CopyTo)(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                      ULARGE_INTEGER* written) override;
    STDMETHOD(Commit)(DWORD flags) override;
    STDMETHOD(Revert)() override;
    STDMETHOD(LockRegion)(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD lockType) override;
    STDMETHOD(UnlockRegion)(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD lockType) override;
    STDMETHOD(Stat)(STATSTG* stat, DWORD flags) override;
    STDMETHOD(Clone)(IStream** copy) override;

    const std::vector<BYTE>& Bytes() const { return m_bytes; }
    size_t Position() const { return m_pos; }

private:
    std::atomic<ULONG> m_refs{1};
    std::vector<BYTE> m_bytes;
    size_t m_pos = 0;
};
