#include "platform/com/memory_stream.h"

#include <cstring>

GwMemoryStream::GwMemoryStream(std::vector<BYTE> bytes) : m_bytes(std::move(bytes)) {}

HRESULT GwMemoryStream::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IStream) {
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG GwMemoryStream::AddRef() { return ++m_refs; }

ULONG GwMemoryStream::Release() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT GwMemoryStream::Read(void* buffer, ULONG count, ULONG* read) {
    const size_t avail = m_bytes.size() - m_pos;
    const size_t n = count < avail ? count : avail;
    if (n) std::memcpy(buffer, m_bytes.data() + m_pos, n);
    m_pos += n;
    if (read) *read = static_cast<ULONG>(n);
    return n == count ? S_OK : S_FALSE;
}

HRESULT GwMemoryStream::Write(const void* buffer, ULONG count, ULONG* written) {
    const BYTE* p = static_cast<const BYTE*>(buffer);
    m_bytes.insert(m_bytes.end(), p, p + count);
    if (written) *written = count;
    return S_OK;
}
