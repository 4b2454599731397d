// The shim's byte hooks over a GwFile. A short read or write is reported as such; the shim
// turns it into libpng's error ("Read Error", "Write Error").
#include "image/png/png_io.h"

#include "image/gw_file.h"

namespace {
size_t ReadBytes(void* user, unsigned char* data, size_t length) {
    return static_cast<GwFile*>(user)->Read(data, 1, length);
}
size_t WriteBytes(void* user, const unsigned char* data, size_t length) {
    return static_cast<GwFile*>(user)->Write(data, 1, length);
}
int FlushBytes(void* user) { return static_cast<GwFile*>(user)->Flush() ? 1 : 0; }
}  // namespace

GwPngIo GwPngStreamIo(GwFile* file) {
    GwPngIo io = {file, &ReadBytes, &WriteBytes, &FlushBytes};
    return io;
}
