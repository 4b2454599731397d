// Realising fonts with fontconfig and FreeType. Glyphs are rendered by FreeType's monochrome
// rasteriser (no anti-aliasing), so text drawn on any device uses exactly the text colour.
#include "platform/gdi/font_cache.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include <strings.h>

namespace gw {
namespace gdi {
namespace {

// Pixel sizes beyond this are drawn at this size, which bounds the glyph images' memory.
constexpr int kMaxEm = 2048;
constexpr size_t kMaxCachedFonts = 64;
constexpr int kDefaultCellHeight = 16;

struct FaceEntry {
    FT_Face face = nullptr;
};

struct FontEntry {
    RealFont metrics;
    FT_Face face = nullptr;
    std::map<uint32_t, GlyphImage> glyphs;
};

using FontKey = std::tuple<std::string, LONG, LONG, bool, bool, bool>;

struct Cache {
    FT_Library library = nullptr;
    bool ready = false;
    bool failed = false;
    std::map<std::pair<std::string, int>, FaceEntry> faces;
    std::map<FontKey, std::unique_ptr<FontEntry>> fonts;
};

Cache& Shared() {
    static Cache cache;
    return cache;
}

// Faces, FreeType and fontconfig's own caches are released when the process ends, so that
// leak checkers see only real leaks.
void Shutdown() {
    Cache& c = Shared();
    c.fonts.clear();
    for (auto& f : c.faces) FT_Done_Face(f.second.face);
    c.faces.clear();
    if (c.library) FT_Done_FreeType(c.library);
    c.library = nullptr;
    c.ready = false;
    c.failed = true;
    FcFini();
}

bool Ready(Cache& c) {
    if (c.ready) return true;
    if (c.failed) return false;
    if (!FcInit() || FT_Init_FreeType(&c.library) != 0) {
        c.failed = true;
        return false;
    }
    c.ready = true;
    std::atexit(Shutdown);
    return true;
}

// Windows interface face names that fontconfig does not know are metric-compatible with Arial.
std::string FamilyFor(const char* face) {
    static const char* const arialLike[] = {"MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif",
                                            "Microsoft Sans Serif", "System", ""};
    for (const char* name : arialLike) {
        if (strcasecmp(face, name) == 0) return "Arial";
    }
    return face;
}

FT_Face OpenFace(Cache& c, const std::string& family, LONG weight, bool italic) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return nullptr;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? static_cast<int>(weight) : FW_NORMAL));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    std::string path;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternDestroy(match);
    if (path.empty()) return nullptr;
    FaceEntry& entry = c.faces[{path, index}];
    if (!entry.face && FT_New_Face(c.library, path.c_str(), index, &entry.face) != 0) {
        entry.face = nullptr;
        c.faces.erase({path, index});
        return nullptr;
    }
    return entry.face;
}

int Scaled(double units, double scale) { return static_cast<int>(std::lround(units * scale)); }

}  // namespace

uint32_t CodepointOf(unsigned char c) {
    static const uint16_t high[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    return (c >= 0x80 && c < 0xA0) ? high[c - 0x80] : c;
}

const RealFont* Realize(const Font* font) {
    Cache& c = Shared();
    if (!Ready(c)) return nullptr;
    LOGFONTA lf{};
    if (font) {
        lf = font->logFont;
    } else {
        lf.lfHeight = kDefaultCellHeight;
    }
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, lf.lfFaceName, LF_FACESIZE);
    const std::string family = FamilyFor(face);
    const bool italic = lf.lfItalic != 0;
    FontKey key{family, lf.lfHeight, lf.lfWeight, italic, lf.lfUnderline != 0, lf.lfStrikeOut != 0};
    auto found = c.fonts.find(key);
    if (found != c.fonts.end()) return &found->second->metrics;
    if (c.fonts.size() >= kMaxCachedFonts) c.fonts.clear();

    FT_Face ft = OpenFace(c, family, lf.lfWeight, italic);
    if (!ft || !FT_IS_SCALABLE(ft) || ft->units_per_EM == 0) return nullptr;
    double winAscent = ft->ascender, winDescent = -ft->descender;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        winAscent = os2->usWinAscent;
        winDescent = os2->usWinDescent;
    }
    const double upem = ft->units_per_EM;
    // A positive height is the cell (ascent + descent), a negative one the em, as on Windows.
    LONG requested = lf.lfHeight == 0 ? kDefaultCellHeight : lf.lfHeight;
    double em = requested < 0 ? -static_cast<double>(requested)
                              : requested * upem / std::max(1.0, winAscent + winDescent);
    int emPx = static_cast<int>(std::lround(std::min<double>(std::max(em, 1.0), kMaxEm)));

    auto entry = std::make_unique<FontEntry>();
    entry->face = ft;
    RealFont& m = entry->metrics;
    const double scale = emPx / upem;
    m.em = emPx;
    m.ascent = Scaled(winAscent, scale);
    m.descent = Scaled(winDescent, scale);
    m.height = m.ascent + m.descent;
    m.internalLeading = std::max(0, m.height - emPx);
    m.aveWidth = os2 && os2->version != 0xFFFF ? Scaled(os2->xAvgCharWidth, scale) : emPx / 2;
    m.maxWidth = Scaled(ft->max_advance_width, scale);
    m.weight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    m.italic = italic;
    m.underline = lf.lfUnderline != 0;
    m.strikeOut = lf.lfStrikeOut != 0;
    m.lineThickness = std::max(1, Scaled(ft->underline_thickness, scale));
    m.underlineOffset = std::max(1, Scaled(-ft->underline_position, scale));
    m.strikeOffset = os2 && os2->version != 0xFFFF ? Scaled(os2->yStrikeoutPosition, scale) : m.ascent / 3;
    const RealFont* result = &entry->metrics;
    c.fonts.emplace(key, std::move(entry));
    return result;
}

const GlyphImage* GlyphOf(const RealFont* font, uint32_t codepoint) {
    Cache& c = Shared();
    FontEntry* entry = nullptr;
    for (auto& f : c.fonts) {
        if (&f.second->metrics == font) {
            entry = f.second.get();
            break;
        }
    }
    if (!entry) return nullptr;
    auto it = entry->glyphs.find(codepoint);
    if (it != entry->glyphs.end()) return &it->second;

    GlyphImage g;
    FT_Face face = entry->face;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(font->em)) == 0 &&
        FT_Load_Char(face, codepoint, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) == 0) {
        FT_GlyphSlot slot = face->glyph;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        const FT_Bitmap& bm = slot->bitmap;
        g.width = static_cast<int>(bm.width);
        g.rows = static_cast<int>(bm.rows);
        g.ink.assign(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows), 0);
        for (int y = 0; y < g.rows; ++y) {
            const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
            for (int x = 0; x < g.width; ++x) {
                bool on = bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x >> 3] >> (7 - (x & 7))) & 1) != 0
                                                              : row[x] >= 128;
                g.ink[static_cast<size_t>(y) * static_cast<size_t>(g.width) + static_cast<size_t>(x)] = on ? 1 : 0;
            }
        }
    }
    return &entry->glyphs.emplace(codepoint, std::move(g)).first->second;
}

}  // namespace gdi
}  // namespace gw
