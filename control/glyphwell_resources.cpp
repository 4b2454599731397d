#include "control/glyphwell_resources.h"

#include <cstring>

#include "control/glyphwell_ids.h"
#include "platform/afx/afxctl.h"

// The module's compiled resource file, made from glyphwell.rc at build time.
extern const unsigned char kGlyphwellCompiledResources[];
extern const unsigned int kGlyphwellCompiledResourcesSize;

void GlyphwellDeclareResources(HINSTANCE module) {
    AfxDeclareResourceFile(module, kGlyphwellCompiledResources, kGlyphwellCompiledResourcesSize);
    // The type library in the stand-in's own form (on Windows widl compiles it from
    // glyphwell.idl), written out only when something looks for it: most runs of the program
    // never do.
    standin::RegisterResourceMaker(module, GLYPHWELL_RT_TYPELIB, MAKEINTRESOURCE(1),
                                   [] { return standin::TypeLibToText(GlyphwellTypeLibrary()); });
}

std::string GlyphwellVersionString(const BYTE* data, DWORD size, const char* name) {
    // Walks the tree looking for a string node (type 1) whose key is `name`.
    std::string wanted;
    for (const char* p = name; *p; ++p) wanted.push_back(*p);
    struct Walker {
        const BYTE* d;
        DWORD size;
        std::string result;
        bool found = false;
        std::string Key(DWORD pos, DWORD end, DWORD* after) {
            std::string k;
            while (pos + 2 <= end) {
                WORD c;
                std::memcpy(&c, d + pos, 2);
                pos += 2;
                if (!c) break;
                k.push_back(static_cast<char>(c));
            }
            *after = (pos + 3) & ~3u;
            return k;
        }
        void Node(DWORD pos, DWORD end, const std::string& wantedKey, int depth) {
            if (found || depth > 8 || pos + 6 > end) return;
            WORD length, valueLength, type;
            std::memcpy(&length, d + pos, 2);
            std::memcpy(&valueLength, d + pos + 2, 2);
            std::memcpy(&type, d + pos + 4, 2);
            if (length < 6 || pos + length > end) return;
            const DWORD nodeEnd = pos + length;
            DWORD value;
            const std::string key = Key(pos + 6, nodeEnd, &value);
            const DWORD valueBytes = type == 1 ? 2u * valueLength : valueLength;
            if (type == 1 && key == wantedKey && valueBytes && value + valueBytes <= nodeEnd) {
                std::string s;
                for (DWORD i = 0; i + 1 < valueLength; ++i) s.push_back(static_cast<char>(d[value + 2 * i]));
                result = s;
                found = true;
                return;
            }
            if (type == 1 && key == wantedKey) {
                found = true;
                return;
            }
            DWORD child = (value + valueBytes + 3) & ~3u;
            while (!found && child + 6 <= nodeEnd) {
                WORD childLength;
                std::memcpy(&childLength, d + child, 2);
                if (childLength < 6) break;
                Node(child, nodeEnd, wantedKey, depth + 1);
                child = (child + childLength + 3) & ~3u;
            }
        }
    } walker{data, size, {}};
    if (data && size) walker.Node(0, size, wanted, 0);
    return walker.result;
}
