#include "tools/glyphwell/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "image/gw_image.h"
#include "platform/kernel/whole_file.h"
#include "tools/glyphwell/command.h"
#include "tools/glyphwell/system.h"

namespace gwcli {

bool WriteOutput(const std::string& path, const void* data, size_t size, std::string* error) {
    if (path == "-") {
        BinaryStandardOutput();
        if (std::fwrite(data, 1, size, stdout) == size && std::fflush(stdout) == 0) return true;
        *error = std::string("cannot write standard output: ") + std::strerror(errno);
        return false;
    }
    std::string why;
    if (standin::WriteWholeFile(path, data, size, &why)) return true;
    *error = "cannot write '" + Printable(path) + "': " + why;
    return false;
}

bool SavePicture(GwImage& image, const std::string& path, long type, std::string* error) {
    BYTE* bytes = nullptr;
    long size = 0;
    if (!image.Encode(bytes, size, static_cast<DWORD>(type))) {
        *error = "cannot write '" + Printable(path) + "': " + image.GetLastError();
        return false;
    }
    const bool written = WriteOutput(path, bytes, static_cast<size_t>(size), error);
    image.FreeMemory(bytes);
    return written;
}

namespace {
// The length of the UTF-8 sequence at text[i] when it is whole, shortest-form and not a C1
// control; 0 otherwise.
size_t PrintableSequence(const std::string& text, size_t i) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    unsigned long code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        code = code << 6 | (c & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool invalid = code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF);
    const bool control = code >= 0x80 && code <= 0x9F;
    return overlong || invalid || control ? 0 : length;
}
}  // namespace

std::string Printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const size_t length = c >= 0x80 ? PrintableSequence(text, i) : 0;
        if (length) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
        out += escaped;
        ++i;
    }
    return out;
}

int FinishStandardOutput(const char* command, int status) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout)) return status;
    const std::string why = !flushed && errno ? std::strerror(errno) : "write error";
    if (status == kExitOk) {
        std::fprintf(stderr, "glyphwell%s%s: cannot write standard output: %s\n", *command ? " " : "",
                     command, why.c_str());
        status = kExitFailed;
    }
    return status;
}

}  // namespace gwcli
