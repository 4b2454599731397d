// GwIOFile: a byte stream over a C stdio FILE, either borrowed from the caller (never closed
// here) or opened by the stream itself (closed by Close and by the destructor).
#pragma once

#include <cstdio>

#include "image/gw_file.h"

class GwIOFile : public GwFile {
public:
    // Borrows fp when it is not null; with no stream, a later Open makes the stream owned.
    explicit GwIOFile(FILE* fp = nullptr);
    // Copies share the FILE. An owned FILE is closed exactly once: by the last copy that
    // still holds it, so closing or destroying one copy never leaves another with a dead FILE.
    GwIOFile(const GwIOFile& other);
    GwIOFile& operator=(const GwIOFile& other);
    ~GwIOFile() override;

    // false when a stream is already set or fopen fails; on success the stream is owned.
    bool Open(const char* name, const char* mode);

    // The GwFile operations, by stdio. Without a stream they fail: Read, Write and Tell give
    // 0, Size and Error -1, GetC -1, Eof true, the others false. Close closes only an owned
    // stream (and only by its last copy); fclose's failure makes it false.
    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;

protected:
    FILE* stream;     // may be null
    bool ownsStream;  // the stream is closed by Close and by the destructor

private:
    // Number of copies holding an owned stream (null for a borrowed one).
    long* holders = nullptr;
    void LetGo();
};
