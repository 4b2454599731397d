#include "platform/afx/resources.h"

#include <cctype>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/afx/module.h"
#include "platform/com/variant.h"
#include "platform/win32.h"

namespace {
std::mutex g_lock;
HINSTANCE g_current = nullptr;

#ifdef _WIN32
// The framework's standard strings are part of the module's own string table.
HINSTANCE Framework() { return AfxGetInstanceHandle(); }
#else

// The framework's own strings live in a module of their own, declared on first use.
HINSTANCE Framework() {
    static HINSTANCE module = [] {
        HINSTANCE m = standin::RegisterModule("glyphwell-framework");
        static const std::string block = [] {
            const char* strings[16] = {};
            strings[AFX_IDS_VERB_PROPERTIES % 16] = "&Properties...";
            return AfxBuildStringBlock(strings);
        }();
        standin::RegisterResource(m, RT_STRING, MAKEINTRESOURCE(AFX_IDS_VERB_PROPERTIES / 16 + 1), block.data(),
                           static_cast<DWORD>(block.size()));
        return m;
    }();
    return module;
}
#endif
}  // namespace

#ifndef _WIN32
void AfxDeclareResource(HINSTANCE module, LPCSTR type, LPCSTR name, const void* data, DWORD size) {
    standin::RegisterResource(module, type, name, data, size);
}

namespace {
// A resource header's type or name: 0xFFFF and an ordinal, or a zero-terminated UTF-16 string.
bool ReadIdentifier(const BYTE* data, DWORD end, DWORD* pos, std::string* text, WORD* ordinal) {
    auto word = [&](WORD* w) {
        if (*pos + 2 > end) return false;
        std::memcpy(w, data + *pos, 2);
        *pos += 2;
        return true;
    };
    WORD first;
    if (!word(&first)) return false;
    if (first == 0xFFFF) return word(ordinal);
    *ordinal = 0;
    GwOleString w;
    for (WORD c = first; c; ) {
        w.push_back(c);
        if (!word(&c)) return false;
    }
    *text = GwAnsiFromWide(w.data(), w.size());
    return true;
}
}  // namespace

bool AfxDeclareResourceFile(HINSTANCE module, const BYTE* data, DWORD size) {
    struct Entry {
        std::string type, name;
        WORD typeId, nameId;
        DWORD offset, size;
    };
    std::vector<Entry> entries;
    DWORD pos = 0;
    while (pos < size) {
        if (size - pos < 8) return false;
        DWORD dataSize, headerSize;
        std::memcpy(&dataSize, data + pos, 4);
        std::memcpy(&headerSize, data + pos + 4, 4);
        const unsigned long long dataStart = static_cast<unsigned long long>(pos) + headerSize;
        if (headerSize < 8 + 4 + 4 + 16 || dataStart + dataSize > size) return false;
        Entry e;
        DWORD p = pos + 8;
        if (!ReadIdentifier(data, static_cast<DWORD>(dataStart), &p, &e.type, &e.typeId) ||
            !ReadIdentifier(data, static_cast<DWORD>(dataStart), &p, &e.name, &e.nameId))
            return false;
        e.offset = static_cast<DWORD>(dataStart);
        e.size = dataSize;
        // The file opens with an empty entry (type 0) that marks it as 32-bit.
        if (e.typeId != 0 || !e.type.empty()) entries.push_back(e);
        pos = static_cast<DWORD>((dataStart + dataSize + 3) & ~3ull);
    }
    for (const Entry& e : entries)
        AfxDeclareResource(module, e.typeId ? MAKEINTRESOURCE(e.typeId) : e.type.c_str(),
                           e.nameId ? MAKEINTRESOURCE(e.nameId) : e.name.c_str(), data + e.offset, e.size);
    return true;
}
#endif

bool AfxFindResourceBytes(HINSTANCE module, LPCSTR name, LPCSTR type, const BYTE** data, DWORD* size) {
    HRSRC res = FindResource(module, name, type);
    if (!res) return false;
    HGLOBAL loaded = LoadResource(module, res);
    const void* p = loaded ? LockResource(loaded) : nullptr;
    if (!p) return false;
    *data = static_cast<const BYTE*>(p);
    *size = SizeofResource(module, res);
    return true;
}

bool AfxLoadStringBytes(HINSTANCE module, UINT id, std::string* text) {
    const BYTE* data;
    DWORD size;
    if (!AfxFindResourceBytes(module, MAKEINTRESOURCE(id / 16 + 1), MAKEINTRESOURCE(6), &data, &size)) return false;
    // Walk the block: each entry is a 16-bit length followed by that many UTF-16 units.
    DWORD pos = 0;
    for (UINT i = 0; i <= id % 16; ++i) {
        if (pos + 2 > size) return false;
        WORD len;
        std::memcpy(&len, data + pos, 2);
        pos += 2;
        if (static_cast<unsigned long long>(pos) + 2ull * len > size) return false;
        if (i == id % 16) {
            if (len == 0) return false;
            GwOleString w(len, 0);
            std::memcpy(&w[0], data + pos, 2u * len);
            *text = GwAnsiFromWide(w.data(), w.size());
            return true;
        }
        pos += 2u * len;
    }
    return false;
}

std::string AfxBuildStringBlock(const char* const strings[16]) {
    std::string block;
    for (int i = 0; i < 16; ++i) {
        const char* s = strings[i] ? strings[i] : "";
        const GwOleString w = GwWideFromAnsi(s, std::strlen(s));
        const WORD len = static_cast<WORD>(w.size());
        block.append(reinterpret_cast<const char*>(&len), 2);
        block.append(reinterpret_cast<const char*>(w.data()), 2 * w.size());
    }
    return block;
}

HINSTANCE AfxGetResourceHandle() {
    std::lock_guard<std::mutex> g(g_lock);
    return g_current;
}

void AfxSetResourceHandle(HINSTANCE module) {
    std::lock_guard<std::mutex> g(g_lock);
    g_current = module;
}

HINSTANCE AfxGetFrameworkHandle() { return Framework(); }
