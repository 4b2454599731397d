#include "platform/afx/archive.h"

#include <cstring>

CArchive::CArchive(IStream* stream, UINT mode) : m_stream(stream), m_mode(mode) {
    if (m_stream) m_stream->AddRef();
}

CArchive::~CArchive() {
    if (m_stream) m_stream->Release();
}

UINT CArchive::Read(void* buffer, UINT count) {
    if (!m_stream || m_mode != load) {
        m_short = true;
        return 0;
    }
    ULONG got = 0;
    if (FAILED(m_stream->Read(buffer, count, &got))) got = 0;
    if (got > count) got = count;
    if (got < count) m_short = true;
    return got;
}

void CArchive::Write(const void* buffer, UINT count) {
    if (!m_stream || m_mode != store) {
        m_writeFailed = true;
        return;
    }
    ULONG written = 0;
    if (FAILED(m_stream->Write(buffer, count, &written)) || written != count) m_writeFailed = true;
}

CArchive& CArchive::Get(void* p, UINT n) {
    std::memset(p, 0, n);
    if (Read(p, n) != n) std::memset(p, 0, n);
    return *this;
}
