#include "control/glyphwell_resources.h"

#include <cstring>
#include <vector>

#include "control/glyphwell_ids.h"
#include "platform/afx/afxctl.h"

namespace {

void PutWord(std::string& out, WORD w) { out.append(reinterpret_cast<const char*>(&w), 2); }
void PutDword(std::string& out, DWORD d) { out.append(reinterpret_cast<const char*>(&d), 4); }
void Pad4(std::string& out) {
    while (out.size() % 4) out.push_back('\0');
}
void PutWide(std::string& out, const std::string& s) {
    for (unsigned char c : s) PutWord(out, c);
    PutWord(out, 0);
}

// ---- string table ----------------------------------------------------------------------
std::string StringBlock(UINT first, std::initializer_list<std::pair<UINT, const char*>> entries) {
    const char* strings[16] = {};
    for (const auto& e : entries) strings[e.first - first] = e.second;
    return AfxBuildStringBlock(strings);
}

// ---- dialogs ---------------------------------------------------------------------------
std::string AboutBoxTemplate() {
    AfxDialogDesc d;
    d.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    d.x = 34;
    d.y = 22;
    d.cx = 260;
    d.cy = 55;
    d.caption = "About Glyphwell Control";
    d.pointSize = 8;
    d.font = "MS Sans Serif";
    AfxDialogItemDesc icon;
    icon.id = static_cast<WORD>(IDC_STATIC);
    icon.style = WS_CHILD | WS_VISIBLE | SS_ICON;
    icon.x = 10, icon.y = 10, icon.cx = 20, icon.cy = 20;
    icon.classAtom = AFX_DLGCLASS_STATIC;
    icon.textOrdinal = IDI_ABOUTDLL;
    AfxDialogItemDesc version;
    version.id = static_cast<WORD>(IDC_STATIC);
    version.style = WS_CHILD | WS_VISIBLE | SS_LEFT;
    version.x = 40, version.y = 10, version.cx = 170, version.cy = 8;
    version.text = "Glyphwell Control, Version 1.0";
    AfxDialogItemDesc notice = version;
    notice.y = 25;
    notice.text = "Copyright (C) 2026 The Glyphwell developers";
    AfxDialogItemDesc ok;
    ok.id = IDOK;
    ok.style = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON;
    ok.x = 221, ok.y = 7, ok.cx = 32, ok.cy = 14;
    ok.classAtom = AFX_DLGCLASS_BUTTON;
    ok.text = "OK";
    d.items = {icon, version, notice, ok};
    return AfxBuildDialogTemplate(d);
}

std::string PropPageTemplate() {
    AfxDialogDesc d;
    d.style = WS_CHILD;
    d.cx = 250;
    d.cy = 62;
    d.pointSize = 8;
    d.font = "MS Sans Serif";
    AfxDialogItemDesc text;
    text.id = static_cast<WORD>(IDC_STATIC);
    text.style = WS_CHILD | WS_VISIBLE | SS_LEFT;
    text.x = 7, text.y = 25, text.cx = 229, text.cy = 16;
    text.text = "TODO: Place controls to manipulate properties of Glyphwell Control on this dialog.";
    d.items = {text};
    return AfxBuildDialogTemplate(d);
}

// ---- version information ---------------------------------------------------------------
// One node of the version tree: length, value length, type, key, value, children.
std::string VersionNode(const std::string& key, WORD type, const std::string& value, WORD valueLength,
                        const std::vector<std::string>& children) {
    std::string node;
    PutWord(node, 0);
    PutWord(node, valueLength);
    PutWord(node, type);
    PutWide(node, key);
    Pad4(node);
    node += value;
    for (const std::string& c : children) {
        Pad4(node);
        node += c;
    }
    const WORD length = static_cast<WORD>(node.size());
    std::memcpy(&node[0], &length, 2);
    return node;
}

std::string VersionString(const std::string& key, const std::string& value) {
    std::string v;
    PutWide(v, value);
    return VersionNode(key, 1, v, static_cast<WORD>(value.size() + 1), {});
}

std::string VersionInfo() {
    std::string fixed;
    PutDword(fixed, 0xFEEF04BD);  // signature
    PutDword(fixed, 0x00010000);  // structure version
    PutDword(fixed, 0x00010000);  // file version 1.0 ...
    PutDword(fixed, 0x00000001);  // ... .0.1
    PutDword(fixed, 0x00010000);  // product version 1.0 ...
    PutDword(fixed, 0x00000001);  // ... .0.1
    PutDword(fixed, 0x3F);        // flags mask
    PutDword(fixed, 0);           // flags
    PutDword(fixed, 0x00000004);  // 32-bit Windows
    PutDword(fixed, 0x00000002);  // a DLL
    PutDword(fixed, 0);           // subtype
    PutDword(fixed, 0);           // date
    PutDword(fixed, 0);
    const std::vector<std::string> strings = {
        VersionString("CompanyName", "The Glyphwell developers"),
        VersionString("FileDescription", "Glyphwell ActiveX Control Module"),
        VersionString("FileVersion", "1, 0, 0, 1"),
        VersionString("InternalName", "Glyphwell"),
        VersionString("LegalCopyright", "Copyright (C) 2026 The Glyphwell developers"),
        VersionString("LegalTrademarks", ""),
        VersionString("OriginalFilename", "Glyphwell.OCX"),
        VersionString("ProductName", "Glyphwell ActiveX Control Module"),
        VersionString("ProductVersion", "1, 0, 0, 1"),
        VersionString("OLESelfRegister", ""),
    };
    const std::string table = VersionNode("040904B0", 1, "", 0, strings);
    const std::string stringInfo = VersionNode("StringFileInfo", 1, "", 0, {table});
    std::string translation;
    PutWord(translation, 0x0409);
    PutWord(translation, 1200);
    const std::string var = VersionNode("Translation", 0, translation, 4, {});
    const std::string varInfo = VersionNode("VarFileInfo", 1, "", 0, {var});
    return VersionNode("VS_VERSION_INFO", 0, fixed, static_cast<WORD>(fixed.size()), {stringInfo, varInfo});
}

// ---- toolbox bitmap and icon -----------------------------------------------------------
// The sixteen colours of the standard 4-bit palette.
const RGBQUAD kPalette16[16] = {{0, 0, 0, 0},       {0, 0, 128, 0},     {0, 128, 0, 0},   {0, 128, 128, 0},
                                {128, 0, 0, 0},     {128, 0, 128, 0},   {128, 128, 0, 0}, {192, 192, 192, 0},
                                {128, 128, 128, 0}, {0, 0, 255, 0},     {0, 255, 0, 0},   {0, 255, 255, 0},
                                {255, 0, 0, 0},     {255, 0, 255, 0},   {255, 255, 0, 0}, {255, 255, 255, 0}};

// A tiny QR-like picture: '#' black (index 0), '.' white (index 15), rows from the top.
const char* const kToolbox[15] = {"################", "#......#.#.....#", "#.###..#...###.#", "#.###.#.#.#.#..#",
                                  "#.###..##..###.#", "#......#.#.....#", "#######.#.######",
                                  "#.#.#.##..#.#..#", "#..#.#..#.##.#.#", "#######.#..#.#.#",
                                  "#......#..#.#..#", "#.###.#.##.#.#.#", "#.###..#.#...#.#",
                                  "#......#..#.#..#", "################"};

// A 4-bit bottom-up DIB (header, palette, rows) of `rows` scaled by `scale`.
std::string Dib4(const char* const* rows, int width, int height, int scale, int headerHeight, bool withMask) {
    const int w = width * scale, h = height * scale;
    std::string out;
    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof bih;
    bih.biWidth = w;
    bih.biHeight = headerHeight;
    bih.biPlanes = 1;
    bih.biBitCount = 4;
    bih.biCompression = BI_RGB;
    const int stride = ((w * 4 + 31) / 32) * 4;
    bih.biSizeImage = static_cast<DWORD>(stride * h);
    bih.biClrUsed = 16;
    out.append(reinterpret_cast<const char*>(&bih), sizeof bih);
    out.append(reinterpret_cast<const char*>(kPalette16), sizeof kPalette16);
    for (int y = h - 1; y >= 0; --y) {
        std::string row(static_cast<size_t>(stride), '\0');
        for (int x = 0; x < w; ++x) {
            const char c = rows[(y / scale) % height][(x / scale) % width];
            const BYTE index = c == '#' ? 0 : 15;
            row[static_cast<size_t>(x / 2)] = static_cast<char>(row[static_cast<size_t>(x / 2)] | (x % 2 ? index : index << 4));
        }
        out += row;
    }
    if (withMask) {
        // An all-opaque AND mask, one bit per pixel.
        const int maskStride = ((w + 31) / 32) * 4;
        out.append(static_cast<size_t>(maskStride * h), '\0');
    }
    return out;
}

// The icon's pictures: the toolbox picture's 15 rows padded to 16 with a white row.
const char* const kIcon16[16] = {"################", "#......#.#.....#", "#.###..#...###.#", "#.###.#.#.#.#..#",
                                 "#.###..##..###.#", "#......#.#.....#", "#######.#.######",
                                 "#.#.#.##..#.#..#", "#..#.#..#.##.#.#", "#######.#..#.#.#",
                                 "#......#..#.#..#", "#.###.#.##.#.#.#", "#.###..#.#...#.#",
                                 "#......#..#.#..#", "################", "................"};

struct ModuleResources {
    std::string strings0, strings12, about, page, version, bitmap, icon32, icon16, group, typelib;
};

const ModuleResources& Build() {
    static const ModuleResources r = [] {
        ModuleResources m;
        m.strings0 = StringBlock(0, {{IDS_GLYPHWELL, "Glyphwell Control"}, {IDS_GLYPHWELL_PPG, "Glyphwell Property Page"}});
        m.strings12 = StringBlock(192, {{IDS_GLYPHWELL_PPG_CAPTION, "General"}});
        m.about = AboutBoxTemplate();
        m.page = PropPageTemplate();
        m.version = VersionInfo();
        // A bitmap resource is a DIB without its file header.
        m.bitmap = Dib4(kToolbox, 16, 15, 1, 15, false);
        // Icon images carry the doubled height of their colour and mask halves.
        m.icon32 = Dib4(kIcon16, 16, 16, 2, 64, true);
        m.icon16 = Dib4(kIcon16, 16, 16, 1, 32, true);
        std::string g;
        PutWord(g, 0);
        PutWord(g, 1);  // icons
        PutWord(g, 2);
        const struct {
            BYTE size;
            const std::string* image;
            WORD id;
        } entries[] = {{32, &m.icon32, 1}, {16, &m.icon16, 2}};
        for (const auto& e : entries) {
            g.push_back(static_cast<char>(e.size));
            g.push_back(static_cast<char>(e.size));
            g.push_back(16);  // colours
            g.push_back(0);
            PutWord(g, 1);  // planes
            PutWord(g, 4);  // bits per pixel
            PutDword(g, static_cast<DWORD>(e.image->size()));
            PutWord(g, e.id);
        }
        m.group = g;
        m.typelib = GwTypeLibToText(GlyphwellTypeLibrary());
        return m;
    }();
    return r;
}

void Declare(HINSTANCE module, LPCSTR type, LPCSTR name, const std::string& bytes) {
    AfxDeclareResource(module, type, name, bytes.data(), static_cast<DWORD>(bytes.size()));
}

}  // namespace

void GlyphwellDeclareResources(HINSTANCE module) {
    const ModuleResources& r = Build();
    Declare(module, RT_STRING, MAKEINTRESOURCE(1), r.strings0);
    Declare(module, RT_STRING, MAKEINTRESOURCE(IDS_GLYPHWELL_PPG_CAPTION / 16 + 1), r.strings12);
    Declare(module, RT_DIALOG, MAKEINTRESOURCE(IDD_ABOUTBOX_GLYPHWELL), r.about);
    Declare(module, RT_DIALOG, MAKEINTRESOURCE(IDD_PROPPAGE_GLYPHWELL), r.page);
    Declare(module, RT_VERSION, MAKEINTRESOURCE(1), r.version);
    Declare(module, RT_BITMAP, MAKEINTRESOURCE(IDB_GLYPHWELL), r.bitmap);
    Declare(module, RT_ICON, MAKEINTRESOURCE(1), r.icon32);
    Declare(module, RT_ICON, MAKEINTRESOURCE(2), r.icon16);
    Declare(module, GLYPHWELL_RT_GROUP_ICON, MAKEINTRESOURCE(IDI_ABOUTDLL), r.group);
    Declare(module, GLYPHWELL_RT_TYPELIB, MAKEINTRESOURCE(1), r.typelib);
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
