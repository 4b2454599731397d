#include "platform/com/registry.h"

#include "platform/kernel/whole_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

namespace {

std::string Lower(const std::string& s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

struct Value {
    std::string name;  // as first written
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Key {
    std::string name;
    std::map<std::string, Key> subkeys;   // by lower-case name
    std::map<std::string, Value> values;  // by lower-case name; "" is the default value
};

const char* const kRootNames[3] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};

struct Registry {
    std::mutex lock;
    Key roots[3];
    std::map<uintptr_t, std::vector<std::string>> handles;  // open handle -> lower-case path, [0] = root index
    uintptr_t nextHandle = 0x1000;
    std::string file;  // empty: memory only
    bool writable = true;
};

Registry& Reg() {
    static Registry* r = new Registry;  // lives to the end of the process; handles may outlive statics
    return *r;
}

// Splits "A\B\\C" into its non-empty parts.
std::vector<std::string> SplitPath(LPCSTR sub) {
    std::vector<std::string> parts;
    if (!sub) return parts;
    std::string cur;
    for (const char* p = sub; *p; ++p) {
        if (*p == '\\') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(*p);
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

// The full path (root index first, then names as given) of an open or predefined key.
bool Resolve(Registry& r, HKEY key, std::vector<std::string>* path) {
    const uintptr_t h = reinterpret_cast<uintptr_t>(key);
    if (h >= 0x80000000u && h <= 0x80000002u) {
        path->assign(1, std::to_string(h - 0x80000000u));
        return true;
    }
    auto it = r.handles.find(h);
    if (it == r.handles.end()) return false;
    *path = it->second;
    return true;
}

Key* Find(Registry& r, const std::vector<std::string>& path) {
    Key* k = &r.roots[std::atoi(path[0].c_str())];
    for (size_t i = 1; i < path.size(); ++i) {
        auto it = k->subkeys.find(Lower(path[i]));
        if (it == k->subkeys.end()) return nullptr;
        k = &it->second;
    }
    return k;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == '%' || c == '\\' || c == '"' || c == ']' || c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

bool Unescape(const std::string& s, std::string* out) {
    out->clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out->push_back(s[i]);
            continue;
        }
        if (i + 3 > s.size()) return false;
        const std::string hex = s.substr(i + 1, 2);
        if (hex.size() != 2 || !std::isxdigit(static_cast<unsigned char>(hex[0])) ||
            !std::isxdigit(static_cast<unsigned char>(hex[1])))
            return false;
        out->push_back(static_cast<char>(std::strtoul(hex.c_str(), nullptr, 16)));
        i += 2;
    }
    return true;
}

void DumpKey(const Key& k, const std::string& path, std::ostringstream& os) {
    os << "[" << path << "]\n";
    for (const auto& kv : k.values) {
        const Value& v = kv.second;
        os << (v.name.empty() ? std::string("@") : "\"" + Escape(v.name) + "\"") << "=";
        if (v.type == REG_DWORD && v.data.size() == 4) {
            DWORD d;
            std::memcpy(&d, v.data.data(), 4);
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08X", static_cast<unsigned>(d));
            os << buf;
        } else if (v.type == REG_SZ && !v.data.empty() && v.data.back() == 0 &&
                   std::find(v.data.begin(), v.data.end() - 1, 0) == v.data.end() - 1) {
            os << "sz:\"" << Escape(std::string(v.data.begin(), v.data.end() - 1)) << "\"";
        } else {
            os << "hex(" << v.type << "):";
            for (size_t i = 0; i < v.data.size(); ++i) {
                char buf[4];
                std::snprintf(buf, sizeof buf, "%02x", v.data[i]);
                os << (i ? "," : "") << buf;
            }
        }
        os << "\n";
    }
    for (const auto& kv : k.subkeys) DumpKey(kv.second, path + "\\" + Escape(kv.second.name), os);
}

std::string DumpLocked(Registry& r) {
    std::ostringstream os;
    for (int i = 0; i < 3; ++i) {
        for (const auto& kv : r.roots[i].subkeys)
            DumpKey(kv.second, std::string(kRootNames[i]) + "\\" + Escape(kv.second.name), os);
    }
    return os.str();
}

void MakeParents(const std::string& file) {
    for (size_t pos = file.find('/', 1); pos != std::string::npos; pos = file.find('/', pos + 1))
        ::mkdir(file.substr(0, pos).c_str(), 0700);
}

// Every change is written through, so that the next process sees it; the file is replaced
// whole, so an interrupted or failed write never leaves a damaged registry.
LONG Persist(Registry& r) {
    if (r.file.empty()) return ERROR_SUCCESS;
    MakeParents(r.file);
    const std::string text = "GLYPHWELL-REGISTRY 1\n" + DumpLocked(r);
    std::string why;
    return standin::WriteWholeFile(r.file, text.data(), text.size(), &why) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

bool ParseLocked(Registry& r, const std::string& text) {
    for (Key& k : r.roots) k = Key();
    std::istringstream in(text);
    std::string line;
    Key* cur = nullptr;
    bool first = true;
    while (std::getline(in, line)) {
        if (first) {
            first = false;
            if (line != "GLYPHWELL-REGISTRY 1") return false;
            continue;
        }
        if (line.empty()) continue;
        if (line.front() == '[') {
            if (line.back() != ']') return false;
            std::vector<std::string> parts = SplitPath(line.substr(1, line.size() - 2).c_str());
            if (parts.size() < 2) return false;
            int root = -1;
            for (int i = 0; i < 3; ++i)
                if (parts[0] == kRootNames[i]) root = i;
            if (root < 0) return false;
            cur = &r.roots[root];
            for (size_t i = 1; i < parts.size(); ++i) {
                std::string name;
                if (!Unescape(parts[i], &name)) return false;
                Key& sub = cur->subkeys[Lower(name)];
                sub.name = name;
                cur = &sub;
            }
            continue;
        }
        if (!cur) return false;
        Value v;
        size_t eq;
        if (line.compare(0, 2, "@=") == 0) {
            eq = 1;
        } else {
            if (line.front() != '"') return false;
            const size_t close = line.find('"', 1);
            if (close == std::string::npos || close + 1 >= line.size() || line[close + 1] != '=') return false;
            if (!Unescape(line.substr(1, close - 1), &v.name)) return false;
            eq = close + 1;
        }
        const std::string rhs = line.substr(eq + 1);
        if (rhs.compare(0, 6, "dword:") == 0) {
            const DWORD d = static_cast<DWORD>(std::strtoul(rhs.c_str() + 6, nullptr, 16));
            v.type = REG_DWORD;
            v.data.resize(4);
            std::memcpy(v.data.data(), &d, 4);
        } else if (rhs.compare(0, 4, "sz:\"") == 0 && rhs.size() >= 5 && rhs.back() == '"') {
            std::string s;
            if (!Unescape(rhs.substr(4, rhs.size() - 5), &s)) return false;
            v.type = REG_SZ;
            v.data.assign(s.begin(), s.end());
            v.data.push_back(0);
        } else if (rhs.compare(0, 4, "hex(") == 0) {
            const size_t close = rhs.find("):");
            if (close == std::string::npos) return false;
            v.type = static_cast<DWORD>(std::strtoul(rhs.c_str() + 4, nullptr, 10));
            std::string hex = rhs.substr(close + 2);
            for (size_t i = 0; i < hex.size();) {
                if (i + 2 > hex.size() || !std::isxdigit(static_cast<unsigned char>(hex[i])) ||
                    !std::isxdigit(static_cast<unsigned char>(hex[i + 1])))
                    return false;
                v.data.push_back(static_cast<BYTE>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
                i += 2;
                if (i < hex.size() && hex[i] == ',') ++i;
            }
        } else {
            return false;
        }
        cur->values[Lower(v.name)] = v;
    }
    return true;
}

// The key that an open or predefined handle names, and its path when asked for:
// ERROR_INVALID_HANDLE for a handle that names nothing, ERROR_KEY_DELETED when its key is gone.
LONG OpenedKey(Registry& r, HKEY key, Key** found, std::vector<std::string>* path = nullptr) {
    std::vector<std::string> own;
    std::vector<std::string>& names = path ? *path : own;
    if (!Resolve(r, key, &names)) return ERROR_INVALID_HANDLE;
    *found = Find(r, names);
    return *found ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

HKEY NewHandle(Registry& r, const std::vector<std::string>& path) {
    const uintptr_t h = r.nextHandle++;
    r.handles[h] = path;
    return reinterpret_cast<HKEY>(h);
}

}  // namespace

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, DWORD, void*, HKEY* result, DWORD* disposition) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    if (!result) return ERROR_INVALID_PARAMETER;
    std::vector<std::string> path;
    Key* k = nullptr;
    if (const LONG rc = OpenedKey(r, key, &k, &path); rc != ERROR_SUCCESS) return rc;
    bool created = false;
    for (const std::string& part : SplitPath(subKey)) {
        auto it = k->subkeys.find(Lower(part));
        if (it == k->subkeys.end()) {
            if (!r.writable) return ERROR_ACCESS_DENIED;
            Key& sub = k->subkeys[Lower(part)];
            sub.name = part;
            k = &sub;
            created = true;
        } else {
            k = &it->second;
        }
        path.push_back(part);
    }
    if (created) {
        const LONG rc = Persist(r);
        if (rc != ERROR_SUCCESS) return rc;
    }
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(r, path);
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, DWORD, HKEY* result) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    if (!result) return ERROR_INVALID_PARAMETER;
    std::vector<std::string> path;
    if (!Resolve(r, key, &path)) return ERROR_INVALID_HANDLE;
    for (const std::string& part : SplitPath(subKey)) path.push_back(part);
    if (!Find(r, path)) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(r, path);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    const uintptr_t h = reinterpret_cast<uintptr_t>(key);
    if (h >= 0x80000000u && h <= 0x80000002u) return ERROR_SUCCESS;
    return r.handles.erase(h) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    std::vector<std::string> path;
    Key* k = nullptr;
    if (const LONG rc = OpenedKey(r, key, &k, &path); rc != ERROR_SUCCESS) return rc;
    if (path.size() < 2) return ERROR_ACCESS_DENIED;  // the roots hold no values
    if (!data && size) return ERROR_INVALID_PARAMETER;
    if (!r.writable) return ERROR_ACCESS_DENIED;
    Value v;
    v.name = name ? name : "";
    v.type = type;
    if (size) v.data.assign(data, data + size);
    k->values[Lower(v.name)] = v;
    return Persist(r);
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    Key* k = nullptr;
    if (const LONG rc = OpenedKey(r, key, &k); rc != ERROR_SUCCESS) return rc;
    if (data && !size) return ERROR_INVALID_PARAMETER;
    auto it = k->values.find(Lower(name ? name : ""));
    if (it == k->values.end()) return ERROR_FILE_NOT_FOUND;
    const Value& v = it->second;
    if (type) *type = v.type;
    const DWORD need = static_cast<DWORD>(v.data.size());
    if (data) {
        if (*size < need) {
            *size = need;
            return ERROR_MORE_DATA;
        }
        if (need) std::memcpy(data, v.data.data(), need);
    }
    if (size) *size = need;
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    std::vector<std::string> path;
    if (!Resolve(r, key, &path)) return ERROR_INVALID_HANDLE;
    const std::vector<std::string> parts = SplitPath(subKey);
    if (parts.empty()) return ERROR_INVALID_PARAMETER;
    for (size_t i = 0; i + 1 < parts.size(); ++i) path.push_back(parts[i]);
    Key* parent = Find(r, path);
    if (!parent) return ERROR_FILE_NOT_FOUND;
    auto it = parent->subkeys.find(Lower(parts.back()));
    if (it == parent->subkeys.end()) return ERROR_FILE_NOT_FOUND;
    if (!it->second.subkeys.empty()) return ERROR_ACCESS_DENIED;
    if (!r.writable) return ERROR_ACCESS_DENIED;
    parent->subkeys.erase(it);
    return Persist(r);
}

LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    Key* k = nullptr;
    if (const LONG rc = OpenedKey(r, key, &k); rc != ERROR_SUCCESS) return rc;
    if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    auto it = k->subkeys.begin();
    std::advance(it, index);
    const std::string& n = it->second.name;
    if (!name || nameSize <= n.size()) return ERROR_MORE_DATA;
    std::memcpy(name, n.c_str(), n.size() + 1);
    return ERROR_SUCCESS;
}

void standin::RegistryUseMemory() {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    for (Key& k : r.roots) k = Key();
    r.file.clear();
    r.writable = true;
}

bool standin::RegistryUseFile(const std::string& path) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    for (Key& k : r.roots) k = Key();
    r.file = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) return true;  // no file yet: an empty registry
    std::ostringstream ss;
    ss << in.rdbuf();
    if (!ParseLocked(r, ss.str())) {
        for (Key& k : r.roots) k = Key();
        return false;
    }
    return true;
}

std::string standin::RegistryDefaultPath() {
    if (const char* p = std::getenv("GLYPHWELL_REGISTRY"); p && *p) return p;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return std::string(x) + "/glyphwell/registry";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/glyphwell/registry";
}

void standin::RegistrySetWritable(bool writable) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    r.writable = writable;
}

std::string standin::RegistryDump() {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    return DumpLocked(r);
}

LONG RegDeleteTreeA(HKEY key, LPCSTR subKey) {
    HKEY k;
    LONG rc = RegOpenKeyExA(key, subKey, 0, KEY_ALL_ACCESS, &k);
    if (rc != ERROR_SUCCESS) return rc;
    char name[512];
    // Always take the first child: each deletion shifts the rest down.
    while ((rc = RegEnumKeyA(k, 0, name, sizeof name)) == ERROR_SUCCESS) {
        rc = RegDeleteTreeA(k, name);
        if (rc != ERROR_SUCCESS) break;
    }
    RegCloseKey(k);
    if (rc != ERROR_NO_MORE_ITEMS) return rc;
    return RegDeleteKeyA(key, subKey);
}
