// An IStream over a growable block of bytes: writes append, reads advance from the start.
// Hosts use it to save a control's state and to hand stored state back to it.
#pragma once

#include <atomic>
#include <vector>

#include "platform/com/interfaces.h"

class GwMemoryStream : public IStream {
public:
    // Starts with a reference count of 1 and the given bytes to read.
    explicit GwMemoryStream(std::vector<BYTE> bytes = {});
    virtual ~GwMemoryStream() = default;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Read(void* buffer, ULONG count, ULONG* read) override;
    HRESULT Write(const void* buffer, ULONG count, ULONG* written) override;

    const std::vector<BYTE>& Bytes() const { return m_bytes; }
    size_t Position() const { return m_pos; }

private:
    std::atomic<ULONG> m_refs{1};
    std::vector<BYTE> m_bytes;
    size_t m_pos = 0;
};
