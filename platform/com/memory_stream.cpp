#include "platform/com/memory_stream.h"

#include <cstring>

namespace {
// The block lives in memory and its size in a size_t: a 32-bit build cannot hold more.
constexpr unsigned long long kMaxStreamBytes = 0x7FFFFFFFull;
}  // namespace

GwMemoryStream::GwMemoryStream(std::vector<BYTE> bytes) : m_bytes(std::move(bytes)) {}

STDMETHODIMP GwMemoryStream::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream) {
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) GwMemoryStream::AddRef() { return ++m_refs; }

STDMETHODIMP_(ULONG) GwMemoryStream::Release() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP GwMemoryStream::Read(void* buffer, ULONG count, ULONG* read) {
    const size_t avail = m_pos < m_bytes.size() ? m_bytes.size() - m_pos : 0;
    const size_t n = count < avail ? count : avail;
    if (n) std::memcpy(buffer, m_bytes.data() + m_pos, n);
    m_pos += n;
    if (read) *read = static_cast<ULONG>(n);
    return n == count ? S_OK : S_FALSE;
}

STDMETHODIMP GwMemoryStream::Write(const void* buffer, ULONG count, ULONG* written) {
    if (written) *written = 0;
    if (count == 0) return S_OK;
    if (!buffer) return STG_E_INVALIDPOINTER;
    const unsigned long long end = static_cast<unsigned long long>(m_pos) + count;
    if (end > kMaxStreamBytes) return STG_E_MEDIUMFULL;
    if (end > m_bytes.size()) m_bytes.resize(static_cast<size_t>(end));
    std::memcpy(m_bytes.data() + m_pos, buffer, count);
    m_pos = static_cast<size_t>(end);
    if (written) *written = count;
    return S_OK;
}

STDMETHODIMP GwMemoryStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) {
    long long base;
    switch (origin) {
        case STREAM_SEEK_SET: base = 0; break;
        case STREAM_SEEK_CUR: base = static_cast<long long>(m_pos); break;
        case STREAM_SEEK_END: base = static_cast<long long>(m_bytes.size()); break;
        default: return STG_E_INVALIDFUNCTION;
    }
    if ((move.QuadPart < 0 && base + move.QuadPart < 0) ||
        (move.QuadPart > 0 && static_cast<unsigned long long>(move.QuadPart) > kMaxStreamBytes - base))
        return STG_E_INVALIDFUNCTION;
    m_pos = static_cast<size_t>(base + move.QuadPart);
    if (newPosition) newPosition->QuadPart = m_pos;
    return S_OK;
}

STDMETHODIMP GwMemoryStream::SetSize(ULARGE_INTEGER newSize) {
    if (newSize.QuadPart > kMaxStreamBytes) return STG_E_MEDIUMFULL;
    m_bytes.resize(static_cast<size_t>(newSize.QuadPart));
    return S_OK;
}

STDMETHODIMP GwMemoryStream::CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                                    ULARGE_INTEGER* written) {
    if (!target) return STG_E_INVALIDPOINTER;
    const size_t avail = m_pos < m_bytes.size() ? m_bytes.size() - m_pos : 0;
    const size_t n = count.QuadPart < avail ? static_cast<size_t>(count.QuadPart) : avail;
    ULONG done = 0;
    const HRESULT hr = n ? target->Write(m_bytes.data() + m_pos, static_cast<ULONG>(n), &done) : S_OK;
    m_pos += n;
    if (read) read->QuadPart = n;
    if (written) written->QuadPart = done;
    return hr;
}

STDMETHODIMP GwMemoryStream::Commit(DWORD) { return S_OK; }
STDMETHODIMP GwMemoryStream::Revert() { return S_OK; }
STDMETHODIMP GwMemoryStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }
STDMETHODIMP GwMemoryStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return STG_E_INVALIDFUNCTION;
}

STDMETHODIMP GwMemoryStream::Stat(STATSTG* stat, DWORD) {
    if (!stat) return STG_E_INVALIDPOINTER;
    std::memset(stat, 0, sizeof *stat);
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = m_bytes.size();
    return S_OK;
}

STDMETHODIMP GwMemoryStream::Clone(IStream** copy) {
    if (!copy) return STG_E_INVALIDPOINTER;
    GwMemoryStream* c = new GwMemoryStream(m_bytes);
    c->m_pos = m_pos;
    *copy = c;
    return S_OK;
}
