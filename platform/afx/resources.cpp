#include "platform/afx/resources.h"

#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/com/variant.h"

namespace {
// A name or type: an integer id, or a string compared without regard to case.
std::string Key(LPCSTR p) {
    if (IS_INTRESOURCE(p)) return "#" + std::to_string(static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(p)));
    std::string s(p);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

struct Blob {
    const BYTE* data;
    DWORD size;
};

struct Table {
    std::mutex lock;
    std::map<std::tuple<HINSTANCE, std::string, std::string>, Blob> entries;
    HINSTANCE current = nullptr;
};

Table& Resources() {
    static Table* t = new Table;
    return *t;
}

// The framework's own strings live in its own pseudo-module.
HINSTANCE const kFramework = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7AF0000));

const std::string& FrameworkStrings() {
    static const std::string block = [] {
        const char* strings[16] = {};
        strings[AFX_IDS_VERB_PROPERTIES % 16] = "&Properties...";
        return AfxBuildStringBlock(strings);
    }();
    return block;
}
}  // namespace

void AfxDeclareResource(HINSTANCE module, LPCSTR type, LPCSTR name, const void* data, DWORD size) {
    Table& t = Resources();
    std::lock_guard<std::mutex> g(t.lock);
    t.entries[std::make_tuple(module, Key(type), Key(name))] = Blob{static_cast<const BYTE*>(data), size};
}

void AfxForgetResources(HINSTANCE module) {
    Table& t = Resources();
    std::lock_guard<std::mutex> g(t.lock);
    for (auto it = t.entries.begin(); it != t.entries.end();) {
        if (std::get<0>(it->first) == module) it = t.entries.erase(it);
        else ++it;
    }
}

bool AfxFindResourceBytes(HINSTANCE module, LPCSTR name, LPCSTR type, const BYTE** data, DWORD* size) {
    if (module == kFramework && Key(type) == Key(MAKEINTRESOURCE(6)) &&
        Key(name) == Key(MAKEINTRESOURCE(AFX_IDS_VERB_PROPERTIES / 16 + 1))) {
        *data = reinterpret_cast<const BYTE*>(FrameworkStrings().data());
        *size = static_cast<DWORD>(FrameworkStrings().size());
        return true;
    }
    Table& t = Resources();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.entries.find(std::make_tuple(module, Key(type), Key(name)));
    if (it == t.entries.end()) return false;
    *data = it->second.data;
    *size = it->second.size;
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
            std::u16string w(len, u'\0');
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
        const std::u16string w = GwWideFromAnsi(s, std::strlen(s));
        const WORD len = static_cast<WORD>(w.size());
        block.append(reinterpret_cast<const char*>(&len), 2);
        block.append(reinterpret_cast<const char*>(w.data()), 2 * w.size());
    }
    return block;
}

HINSTANCE AfxGetResourceHandle() {
    Table& t = Resources();
    std::lock_guard<std::mutex> g(t.lock);
    return t.current;
}

void AfxSetResourceHandle(HINSTANCE module) {
    Table& t = Resources();
    std::lock_guard<std::mutex> g(t.lock);
    t.current = module;
}

HINSTANCE AfxGetFrameworkHandle() { return kFramework; }
