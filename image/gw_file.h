// GwFile: the abstract byte stream every codec reads and writes through, so that one codec
// serves files and memory alike. GwIOFile (stdio) and GwMemFile (growable memory block) are
// the two concrete streams; see gw_io_file.h and gw_mem_file.h.
#pragma once

#include <cstddef>

class GwFile {
public:
    // A stream holds no state here; the concrete streams say what they own and when it goes.
    GwFile() = default;
    virtual ~GwFile() = default;

    // Releases the underlying stream or block when the object owns it; true on success.
    virtual bool Close() = 0;
    // Reads up to count elements of size bytes into buffer; returns the number of whole
    // elements read (0 on any failure).
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    // Writes count elements of size bytes; returns the number of elements written.
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // origin 0 = from the start, 1 = from the current position, 2 = from the end (stdio's
    // SEEK_SET, SEEK_CUR, SEEK_END); true when the position was set.
    virtual bool Seek(long offset, int origin) = 0;
    // The position in bytes from the start; below 0 when the stream cannot say (the readers
    // then never seek back).
    virtual long Tell() = 0;
    // Total length in bytes, or -1 when there is nothing to measure.
    virtual long Size() = 0;
    // Hands buffered writes to the medium; false when there is no stream or that fails.
    virtual bool Flush() = 0;
    // True once a read has met the end (a memory stream: the position is at or past the end),
    // and when there is no stream.
    virtual bool Eof() = 0;
    // Non-zero when the stream is in an error state; -1 when there is no stream at all.
    virtual long Error() = 0;
    // Writes one byte; true when it was written. By default one Write of one byte.
    virtual bool PutC(unsigned char c);
    // The next byte as 0..255, or -1 at the end or on failure.
    virtual long GetC() = 0;
};
