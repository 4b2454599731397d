// GwIOFile: stdio-backed byte stream. Every operation answers with its "nothing" value when
// there is no stream, so a codec handed an unopened stream fails cleanly.
#include "image/gw_io_file.h"

#include <new>

GwIOFile::GwIOFile(FILE* fp) : stream(fp), ownsStream(fp == nullptr) {}

GwIOFile::GwIOFile(const GwIOFile& other)
    : GwFile(other), stream(other.stream), ownsStream(other.ownsStream), holders(other.holders) {
    if (holders) ++*holders;
}

GwIOFile& GwIOFile::operator=(const GwIOFile& other) {
    if (this == &other) return *this;
    Close();
    stream = other.stream;
    ownsStream = other.ownsStream;
    holders = other.holders;
    if (holders) ++*holders;
    return *this;
}

GwIOFile::~GwIOFile() { Close(); }

// Drops this object's share of an owned stream without closing it.
void GwIOFile::LetGo() {
    if (holders && --*holders == 0) delete holders;
    holders = nullptr;
}

bool GwIOFile::Open(const char* name, const char* mode) {
    if (stream || !name || !mode) return false;
    FILE* fp = std::fopen(name, mode);
    if (!fp) return false;
    // Every owned stream carries a holder count so that copies can share it safely.
    holders = new (std::nothrow) long(1);
    if (!holders) {
        std::fclose(fp);
        return false;
    }
    stream = fp;
    ownsStream = true;
    return true;
}

bool GwIOFile::Close() {
    if (!stream || !ownsStream) {
        LetGo();
        return true;
    }
    if (holders && *holders > 1) {
        // Another copy still reads or writes this FILE; it closes it when it is done.
        LetGo();
        stream = nullptr;
        return true;
    }
    LetGo();
    int rc = std::fclose(stream);
    stream = nullptr;
    return rc == 0;
}

size_t GwIOFile::Read(void* buffer, size_t size, size_t count) {
    if (!stream || !buffer) return 0;
    return std::fread(buffer, size, count, stream);
}

size_t GwIOFile::Write(const void* buffer, size_t size, size_t count) {
    if (!stream || !buffer) return 0;
    return std::fwrite(buffer, size, count, stream);
}

bool GwIOFile::Seek(long offset, int origin) { return stream && std::fseek(stream, offset, origin) == 0; }

long GwIOFile::Tell() { return stream ? std::ftell(stream) : 0; }

long GwIOFile::Size() {
    if (!stream) return -1;
    long here = std::ftell(stream);
    std::fseek(stream, 0, SEEK_END);
    long end = std::ftell(stream);
    std::fseek(stream, here, SEEK_SET);
    return end;
}

bool GwIOFile::Flush() { return stream && std::fflush(stream) == 0; }

bool GwIOFile::Eof() { return !stream || std::feof(stream) != 0; }

long GwIOFile::Error() { return stream ? std::ferror(stream) : -1; }

bool GwIOFile::PutC(unsigned char c) { return stream && std::fputc(c, stream) == c; }

long GwIOFile::GetC() { return stream ? std::getc(stream) : -1; }
