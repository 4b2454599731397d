// GwMemFile: a byte stream over a block of memory, either the caller's (wrapped, used for
// decoding from memory) or one the stream allocates and grows in 4 KiB steps (in-memory
// encoding, after which the caller detaches the block with GetBuffer).
#pragma once

#include "image/gw_file.h"
#include <cstdint>

#include "platform/win32.h"

class GwMemFile : public GwFile {
public:
    // Wraps the caller's block of size bytes without owning it. With no block the stream is
    // empty until Open. Blocks beyond 2 GiB are seen only up to 2 GiB (positions are 32-bit).
    explicit GwMemFile(BYTE* buffer = nullptr, DWORD size = 0);
    // A copy of a stream that owns its block gets its own copy of the block, so no block is
    // ever freed twice; a copy of a wrapped caller block is another view of it.
    GwMemFile(const GwMemFile& other);
    GwMemFile& operator=(const GwMemFile& other);
    ~GwMemFile() override;

    // Starts an empty owned block; false when a block is already present or on no memory.
    bool Open();
    // With detach (the default) the caller takes the block and must release it with
    // GwImage::FreeMemory; without, the stream owns it and frees it on Close.
    BYTE* GetBuffer(bool detach = true);

    // The GwFile operations over the block. Without a block they fail (Read 0; Tell, Size,
    // Error and GetC -1; Eof true; Flush and PutC false). Close frees only an owned block and is
    // always true; Error is 1 while the position lies beyond the end.
    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    // Grows the block as needed; 0 when the block cannot grow (the block is then unchanged).
    size_t Write(const void* buffer, size_t size, size_t count) override;
    // A position below 0 becomes 0; a position beyond the end is allowed (a later write
    // fills the gap with zeros) up to the 32-bit limit, beyond which the seek fails.
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;

protected:
    // Makes room for needed bytes; false (block untouched) when that is impossible.
    bool Alloc(DWORD needed);
    void Free();

    BYTE* buffer;     // null when closed
    DWORD size;       // number of valid bytes
    bool ownsBuffer;  // the block is freed by Close
    int32_t position; // current offset; may lie beyond size after a seek
    int32_t capacity; // bytes allocated

private:
    bool Reserve(int64_t end);
    void CopyFrom(const GwMemFile& other);
};
