// The framework's archive: a load- or store-mode view of a byte stream through which objects
// serialise themselves. Reads past the end of the stream return short counts (and zeros for
// the typed extractors) instead of failing, and LoadFailed tells the reader so.
#pragma once

#include "platform/com/interfaces.h"

class CArchive {
public:
    enum Mode { store = 0, load = 1 };
    // Borrows the stream (adds a reference while the archive lives).
    CArchive(IStream* stream, UINT mode);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    BOOL IsLoading() const { return m_mode == load; }
    BOOL IsStoring() const { return m_mode == store; }
    // Raw bytes; Read returns how many bytes arrived (fewer at the end of the stream).
    UINT Read(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);
    // A reader that finds what it read unusable says so; the archive's owner then reports the
    // load as failed. A short read counts as such a failure too.
    void SetLoadFailed() { m_loadFailed = true; }
    bool LoadFailed() const { return m_short || m_loadFailed; }
    // True once a write has been refused by the stream.
    bool WriteFailed() const { return m_writeFailed; }

    CArchive& operator<<(BYTE v) { return Put(&v, 1); }
    CArchive& operator<<(WORD v) { return Put(&v, 2); }
    CArchive& operator<<(DWORD v) { return Put(&v, 4); }
    CArchive& operator<<(LONG v) { return Put(&v, 4); }
    CArchive& operator>>(BYTE& v) { return Get(&v, 1); }
    CArchive& operator>>(WORD& v) { return Get(&v, 2); }
    CArchive& operator>>(DWORD& v) { return Get(&v, 4); }
    CArchive& operator>>(LONG& v) { return Get(&v, 4); }

private:
    // Integers travel little-endian, which is also this machine's order.
    CArchive& Put(const void* p, UINT n) {
        Write(p, n);
        return *this;
    }
    CArchive& Get(void* p, UINT n);

    IStream* m_stream;
    UINT m_mode;
    bool m_short = false;
    bool m_loadFailed = false;
    bool m_writeFailed = false;
};
