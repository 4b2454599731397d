// Module instance handles and the resources a module declares as data. A resource handle
// (HRSRC) is the address of its record and the loaded handle is the address of its bytes, as
// on Win32, but both are checked against the live records before use.
#include "platform/kernel/kernel.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

// A resource type or name: an integer id or an upper-cased string.
struct Key {
    bool isId = false;
    WORD id = 0;
    std::string text;
    bool operator==(const Key& o) const { return isId == o.isId && id == o.id && text == o.text; }
};

bool ParseKey(LPCSTR value, Key* out) {
    Key k;
    if (IS_INTRESOURCE(value)) {
        k.isId = true;
        k.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(value));
        if (k.id == 0) return false;
    } else if (value[0] == '#') {
        unsigned long id = 0;
        const char* p = value + 1;
        if (!*p) return false;
        for (; *p; ++p) {
            if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
            id = id * 10 + static_cast<unsigned long>(*p - '0');
            if (id > 0xFFFF) return false;
        }
        if (id == 0) return false;
        k.isId = true;
        k.id = static_cast<WORD>(id);
    } else {
        if (!*value) return false;
        for (const char* p = value; *p; ++p) k.text.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(*p))));
    }
    *out = std::move(k);
    return true;
}

struct Resource {
    HINSTANCE module = nullptr;
    Key type;
    Key name;
    std::vector<uint8_t> bytes;  // never empty, so every resource has its own address
    DWORD size = 0;
    std::string (*make)() = nullptr;  // until first found: what makes the bytes
};

// A resource declared with a maker gets its bytes when it is first found.
void Make(Resource* r) {
    if (!r->make) return;
    const std::string bytes = r->make();
    r->make = nullptr;
    r->bytes.assign(bytes.begin(), bytes.end());
    if (r->bytes.empty()) r->bytes.resize(1);
    r->size = static_cast<DWORD>(bytes.size());
}

struct State {
    std::mutex mutex;
    std::vector<std::unique_ptr<Resource>> resources;
    std::map<std::string, std::unique_ptr<char>> modules;
};

State& Shared() {
    static State state;
    return state;
}

HINSTANCE ProgramModule() {
    static char program = 0;
    return reinterpret_cast<HINSTANCE>(&program);
}

HINSTANCE Resolve(HINSTANCE module) { return module ? module : ProgramModule(); }

Resource* FindRecord(State& s, HRSRC handle) {
    for (auto& r : s.resources) {
        if (reinterpret_cast<HRSRC>(r.get()) == handle) return r.get();
    }
    return nullptr;
}

std::string ModuleKey(LPCSTR name) {
    std::string key;
    for (const char* p = name; *p; ++p) key.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*p))));
    return key;
}

bool Add(State& s, HINSTANCE module, LPCSTR type, LPCSTR name, const void* data, DWORD size,
         std::string (*make)() = nullptr) {
    if (!type || !name || (!data && size)) return false;
    auto r = std::make_unique<Resource>();
    r->module = Resolve(module);
    if (!ParseKey(type, &r->type) || !ParseKey(name, &r->name)) return false;
    for (const auto& other : s.resources) {
        if (other->module == r->module && other->type == r->type && other->name == r->name) return false;
    }
    r->bytes.resize(size ? size : 1);
    if (size) std::memcpy(r->bytes.data(), data, size);
    r->size = size;
    r->make = make;
    s.resources.push_back(std::move(r));
    return true;
}

}  // namespace

HINSTANCE standin::RegisterModule(LPCSTR name) {
    if (!name) return ProgramModule();
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.mutex);
    auto& slot = s.modules[ModuleKey(name)];
    if (!slot) slot.reset(new char(0));
    return reinterpret_cast<HINSTANCE>(slot.get());
}

BOOL standin::RegisterResource(HINSTANCE module, LPCSTR type, LPCSTR name, const void* data, DWORD size) {
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.mutex);
    return Add(s, module, type, name, data, size) ? TRUE : FALSE;
}

BOOL standin::RegisterResourceMaker(HINSTANCE module, LPCSTR type, LPCSTR name, std::string (*make)()) {
    if (!make) return FALSE;
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.mutex);
    return Add(s, module, type, name, nullptr, 0, make) ? TRUE : FALSE;
}

void standin::UnregisterResources(HINSTANCE module) {
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.mutex);
    HINSTANCE m = Resolve(module);
    s.resources.erase(std::remove_if(s.resources.begin(), s.resources.end(),
                                     [m](const std::unique_ptr<Resource>& r) { return r->module == m; }),
                      s.resources.end());
}

HRSRC FindResource(HMODULE module, LPCSTR name, LPCSTR type) {
    Key typeKey, nameKey;
    if (!name || !type || !ParseKey(type, &typeKey) || !ParseKey(name, &nameKey)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.mutex);
    HINSTANCE m = Resolve(module);
    bool typeSeen = false;
    for (const auto& r : s.resources) {
        if (r->module != m || !(r->type == typeKey)) continue;
        typeSeen = true;
        if (r->name == nameKey) {
            Make(r.get());
            return reinterpret_cast<HRSRC>(r.get());
        }
    }
    SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.mutex);
    Resource* r = FindRecord(s, resource);
    if (!r || (module && r->module != module)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return r->bytes.data();
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.mutex);
    Resource* r = FindRecord(s, resource);
    if (!r || (module && r->module != module)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return r->size;
}

LPVOID LockResource(HGLOBAL loaded) {
    if (!loaded) return nullptr;
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.mutex);
    for (const auto& r : s.resources) {
        if (r->bytes.data() == loaded) return loaded;
    }
    return nullptr;
}
