// Raster transfers: BitBlt, StretchBlt, PatBlt, StretchDIBits and SetDIBitsToDevice all run
// through one engine that maps each visible destination pixel back to its source pixels,
// combines them as the stretch mode says, converts between depths (with the monochrome
// text/background colour rules) and applies the ternary raster operation.
#include "platform/gdi/gdi_internal.h"

#include <algorithm>
#include <climits>
#include <cstring>

using namespace gw::gdi;

namespace gw {
namespace gdi {

uint32_t ApplyRop3(uint8_t index, uint32_t p, uint32_t s, uint32_t d) {
    switch (index) {
        case 0x00: return 0;
        case 0xFF: return ~0u;
        case 0xCC: return s;
        case 0x88: return s & d;
        case 0x66: return s ^ d;
        case 0xEE: return s | d;
        case 0x44: return s & ~d;
        case 0x33: return ~s;
        case 0x11: return ~(s | d);
        case 0x55: return ~d;
        case 0xBB: return ~s | d;
        case 0xAA: return d;
        case 0xF0: return p;
        case 0x5A: return p ^ d;
        case 0xC0: return p & s;
        default: break;
    }
    // Bit i of the index is the result for pattern, source and destination bits (i>>2, i>>1, i)&1.
    uint32_t result = 0;
    for (int i = 0; i < 8; ++i) {
        if (!((index >> i) & 1)) continue;
        uint32_t term = (i & 4) ? p : ~p;
        term &= (i & 2) ? s : ~s;
        term &= (i & 1) ? d : ~d;
        result |= term;
    }
    return result;
}

}  // namespace gdi
}  // namespace gw

namespace {

// One axis of the mapping from destination to source: a normalised rectangle, the mirror
// flag, and for each destination step the source range it draws from.
struct Axis {
    long long dst0 = 0, dstLen = 0;
    long long src0 = 0, srcLen = 0;
    bool flip = false;
    bool spans = false;  // shrinking with a combining stretch mode
    void span(long long dstPos, long long* from, long long* to) const {
        long long i = dstPos - dst0;
        long long j = flip ? dstLen - 1 - i : i;
        if (spans) {
            *from = src0 + j * srcLen / dstLen;
            *to = src0 + (j + 1) * srcLen / dstLen;
        } else {
            *from = src0 + (2 * j + 1) * srcLen / (2 * dstLen);
            *to = *from + 1;
        }
    }
};

// A negative extent runs from the given pixel towards lower coordinates, that pixel included:
// (1, -2) covers pixels 1 and 0, as Windows maps it.
void Normalise(long long pos, long long len, long long* start, long long* length, bool* flipped) {
    if (len < 0) {
        *start = pos + len + 1;
        *length = -len;
        *flipped = !*flipped;
    } else {
        *start = pos;
        *length = len;
    }
}

// Converts a (combined) source colour to the destination's work value.
uint32_t ToDestination(uint32_t rgb, const BlitSource& src, const PixelView& dst, const DC& dc) {
    if (src.view.monoDevice || dst.monoDevice) {
        bool white;
        if (src.view.monoDevice) {
            white = ((rgb >> 8) & 0xFF) >= 0x80;
        } else {
            white = rgb == RgbFromColorref(src.bkColor);
        }
        if (dst.monoDevice) return white ? 1u : 0u;
        return dst.fromRgb(RgbFromColorref(white ? dc.bkColor : dc.textColor));
    }
    return dst.fromRgb(rgb);
}

uint32_t SourceRgb(const PixelView& v, int x, int y) {
    if (v.monoDevice) return v.raw(x, y) ? 0x00FFFFFFu : 0u;
    return v.rgb(x, y);
}

}  // namespace

namespace {

// What the steps of one transfer share: the raster operation, the mapping of each axis, the
// destination's pixels and the source as the transfer reads it.
struct Transfer {
    explicit Transfer(DC& context) : dc(context) {}
    DC& dc;
    uint8_t index = 0;
    bool usesSource = false;
    int mode = 0;
    Axis ax, ay;
    PixelView dst;
    uint32_t mask = 0;
    uint32_t pattern = 0;
    BlitSource local;
    std::vector<uint8_t> copy;  // the source's rows, when they are the destination's own
    // Plain 24/32-bit source onto a plain 32-bit destination without stretching.
    bool direct = false;
    // Per destination column of the part being drawn, the source columns it draws from.
    std::vector<long long> colFrom, colTo;
};

// Takes the source. A source that shares the destination's pixels is copied first, so that
// overlapping transfers read the pixels as they were before the transfer began. false when no
// row of the source is reached (nothing to draw).
bool TakeSource(Transfer& t, const BlitSource& source) {
    t.local = source;
    if (source.view.top != t.dst.top) return true;
    long long first = std::max(0LL, t.ay.src0);
    long long last = std::min<long long>(t.local.view.height, t.ay.src0 + t.ay.srcLen);
    if (first >= last) return false;
    size_t rowBytes = static_cast<size_t>(t.dst.step < 0 ? -t.dst.step : t.dst.step);
    t.copy.resize(rowBytes * static_cast<size_t>(last - first));
    for (long long r = first; r < last; ++r) {
        std::memcpy(t.copy.data() + rowBytes * static_cast<size_t>(r - first), t.local.view.row(static_cast<int>(r)),
                    rowBytes);
    }
    t.local.view.top = t.copy.data();
    t.local.view.step = static_cast<ptrdiff_t>(rowBytes);
    t.local.view.height = static_cast<int>(last - first);
    t.ay.src0 -= first;
    return true;
}

// Maps destination columns left..right-1 onto the source. True for a plain copy: SRCCOPY one
// source column for one destination column, unmirrored and all inside the source, which needs
// neither the raster operation nor the destination (colFrom then holds the run's first column).
bool MapColumns(Transfer& t, long long left, long long right) {
    const PixelView& sv = t.local.view;
    const long long firstColumn = t.ax.src0 + (left - t.ax.dst0);
    const bool plainCopy = t.direct && t.index == 0xCC && t.ax.srcLen == t.ax.dstLen && !t.ax.flip &&
                           firstColumn >= 0 && firstColumn + (right - left) <= sv.width;
    if (plainCopy) {
        t.colFrom.assign(1, firstColumn);
    } else if (t.usesSource) {
        t.colFrom.resize(static_cast<size_t>(right - left));
        t.colTo.resize(t.colFrom.size());
        for (long long c = left; c < right; ++c) {
            long long f, to;
            t.ax.span(c, &f, &to);
            t.colFrom[static_cast<size_t>(c - left)] = std::max(0LL, f);
            t.colTo[static_cast<size_t>(c - left)] = std::min<long long>(sv.width, to);
        }
    }
    return plainCopy;
}

// A fill that ignores the destination gives every pixel the same bytes: the first pixel of
// each row is set as usual and its bytes repeated along the row.
void FillPart(Transfer& t, long long left, long long right, long long top, long long bottom) {
    const uint32_t value = ApplyRop3(t.index, t.pattern, 0, 0) & t.mask;
    const size_t bytes = static_cast<size_t>(t.dst.bpp / 8);
    for (long long r = top; r < bottom; ++r) {
        t.dst.setWork(static_cast<int>(left), static_cast<int>(r), value);
        uint8_t* first = t.dst.row(static_cast<int>(r)) + static_cast<size_t>(left) * bytes;
        for (uint8_t* p = first + bytes; p < first + static_cast<size_t>(right - left) * bytes; p += bytes)
            std::memcpy(p, first, bytes);
    }
}

// One destination row of a direct transfer, done on the bytes: the common case (drawing
// images). A plain copy moves the colour bytes as they are; every 32-bit pixel written gets
// its fourth byte cleared.
void CopyRowDirect(Transfer& t, long long r, long long rowFrom, long long left, long long right, bool plainCopy) {
    const PixelView& sv = t.local.view;
    const uint8_t* srcRow = sv.row(static_cast<int>(rowFrom));
    uint8_t* dstRow = t.dst.row(static_cast<int>(r));
    const size_t srcBytes = static_cast<size_t>(sv.bpp / 8);
    if (plainCopy) {
        const uint8_t* sp = srcRow + static_cast<size_t>(t.colFrom[0]) * srcBytes;
        uint8_t* dp = dstRow + static_cast<size_t>(left) * 4;
        if (srcBytes == 4) {
            std::memcpy(dp, sp, static_cast<size_t>(right - left) * 4);
            for (long long c = left; c < right; ++c, dp += 4) dp[3] = 0;
            return;
        }
        for (long long c = left; c < right; ++c, sp += srcBytes, dp += 4) {
            dp[0] = sp[0];
            dp[1] = sp[1];
            dp[2] = sp[2];
            dp[3] = 0;
        }
        return;
    }
    for (long long c = left; c < right; ++c) {
        long long cf = t.colFrom[static_cast<size_t>(c - left)];
        if (cf >= t.colTo[static_cast<size_t>(c - left)]) continue;
        const uint8_t* sp = srcRow + static_cast<size_t>(cf) * srcBytes;
        uint8_t* dp = dstRow + static_cast<size_t>(c) * 4;
        uint32_t s = sp[0] | (static_cast<uint32_t>(sp[1]) << 8) | (static_cast<uint32_t>(sp[2]) << 16);
        uint32_t d = dp[0] | (static_cast<uint32_t>(dp[1]) << 8) | (static_cast<uint32_t>(dp[2]) << 16);
        uint32_t v = ApplyRop3(t.index, t.pattern, s, d);
        dp[0] = static_cast<uint8_t>(v);
        dp[1] = static_cast<uint8_t>(v >> 8);
        dp[2] = static_cast<uint8_t>(v >> 16);
        dp[3] = 0;
    }
}

// The colour of source columns cf..ct-1 and rows rowFrom..rowTo-1 combined as the stretch
// mode says: one pixel as it is, HALFTONE the rounded average, BLACKONWHITE the AND of them
// all, the others the OR.
uint32_t CombinedSource(const PixelView& sv, int mode, long long cf, long long ct, long long rowFrom, long long rowTo) {
    if (rowTo - rowFrom == 1 && ct - cf == 1) return SourceRgb(sv, static_cast<int>(cf), static_cast<int>(rowFrom));
    if (mode == HALFTONE) {
        unsigned long long sum[3] = {0, 0, 0}, n = 0;
        for (long long yy = rowFrom; yy < rowTo; ++yy) {
            for (long long xx = cf; xx < ct; ++xx) {
                uint32_t v2 = SourceRgb(sv, static_cast<int>(xx), static_cast<int>(yy));
                sum[0] += (v2 >> 16) & 0xFF;
                sum[1] += (v2 >> 8) & 0xFF;
                sum[2] += v2 & 0xFF;
                ++n;
            }
        }
        return static_cast<uint32_t>(((sum[0] + n / 2) / n) << 16 | ((sum[1] + n / 2) / n) << 8 |
                                     ((sum[2] + n / 2) / n));
    }
    const bool andMode = mode == BLACKONWHITE;
    uint32_t rgb = andMode ? 0x00FFFFFFu : 0u;
    for (long long yy = rowFrom; yy < rowTo; ++yy) {
        for (long long xx = cf; xx < ct; ++xx) {
            uint32_t v2 = SourceRgb(sv, static_cast<int>(xx), static_cast<int>(yy));
            rgb = andMode ? (rgb & v2) : (rgb | v2);
        }
    }
    return rgb;
}

// One destination row by the general loop: each pixel's source colour (if the operation takes
// one) converted to the destination, combined with pattern and destination by the operation.
void TransferRow(Transfer& t, long long r, long long rowFrom, long long rowTo, long long left, long long right) {
    for (long long c = left; c < right; ++c) {
        uint32_t s = 0;
        if (t.usesSource) {
            long long cf = t.colFrom[static_cast<size_t>(c - left)];
            long long ct = t.colTo[static_cast<size_t>(c - left)];
            if (cf >= ct) continue;
            s = ToDestination(CombinedSource(t.local.view, t.mode, cf, ct, rowFrom, rowTo), t.local, t.dst, t.dc);
        }
        int px = static_cast<int>(c), py = static_cast<int>(r);
        uint32_t d = t.dst.work(px, py);
        t.dst.setWork(px, py, ApplyRop3(t.index, t.pattern, s, d) & t.mask);
    }
}

// Draws the destination rectangle left..right-1 x top..bottom-1, one visible part.
void TransferPart(Transfer& t, long long left, long long right, long long top, long long bottom) {
    const bool plainCopy = MapColumns(t, left, right);
    if (!t.usesSource && t.dst.bpp >= 8 && (t.dst.bpp % 8) == 0 && !RopUsesDestination(t.index)) {
        FillPart(t, left, right, top, bottom);
        return;
    }
    for (long long r = top; r < bottom; ++r) {
        long long rowFrom = 0, rowTo = 0;
        if (t.usesSource) {
            t.ay.span(r, &rowFrom, &rowTo);
            rowFrom = std::max(0LL, rowFrom);
            rowTo = std::min<long long>(t.local.view.height, rowTo);
            if (rowFrom >= rowTo) continue;
        }
        if (t.direct)
            CopyRowDirect(t, r, rowFrom, left, right, plainCopy);
        else
            TransferRow(t, r, rowFrom, rowTo, left, right);
    }
}

}  // namespace

namespace gw {
namespace gdi {

bool RunTransfer(DC& dc, long long x, long long y, long long w, long long h, const BlitSource* source, long long sx,
         long long sy, long long sw, long long sh, DWORD rop) {
    if (!dc.bitmap) return false;
    Transfer t(dc);
    t.index = RopIndex(rop);
    t.usesSource = RopUsesSource(t.index);
    if (t.usesSource && !source) return false;
    if (w == 0 || h == 0) return true;
    if (t.usesSource && (sw == 0 || sh == 0)) return false;
    if (!t.usesSource) {
        sw = w;
        sh = h;
    }

    Normalise(x, w, &t.ax.dst0, &t.ax.dstLen, &t.ax.flip);
    Normalise(y, h, &t.ay.dst0, &t.ay.dstLen, &t.ay.flip);
    Normalise(sx, sw, &t.ax.src0, &t.ax.srcLen, &t.ax.flip);
    Normalise(sy, sh, &t.ay.src0, &t.ay.srcLen, &t.ay.flip);
    t.mode = dc.stretchMode;
    t.ax.spans = t.ax.srcLen > t.ax.dstLen && t.mode != COLORONCOLOR;
    t.ay.spans = t.ay.srcLen > t.ay.dstLen && t.mode != COLORONCOLOR;

    t.dst = ViewOf(*dc.bitmap);
    t.mask = t.dst.workMask();
    t.pattern = RopUsesPattern(t.index) ? BrushWork(dc, t.dst) : 0;
    if (t.usesSource && !TakeSource(t, *source)) return true;
    const PixelView& sv = t.local.view;
    t.direct = t.usesSource && !t.ax.spans && !t.ay.spans && (sv.bpp == 24 || sv.bpp == 32) && !sv.bitfields &&
               t.dst.bpp == 32 && !t.dst.bitfields;

    for (const RECT& v : VisibleRects(dc)) {
        long long left = std::max<long long>(v.left, t.ax.dst0);
        long long right = std::min<long long>(v.right, t.ax.dst0 + t.ax.dstLen);
        long long top = std::max<long long>(v.top, t.ay.dst0);
        long long bottom = std::min<long long>(v.bottom, t.ay.dst0 + t.ay.dstLen);
        if (left >= right || top >= bottom) continue;
        TransferPart(t, left, right, top, bottom);
    }
    return true;
}

}  // namespace gdi
}  // namespace gw

namespace {

bool SourceFromContext(HDC handle, BlitSource* out) {
    DC* dc = FindDC(handle);
    if (!dc || !dc->bitmap) return false;
    out->view = ViewOf(*dc->bitmap);
    out->bkColor = dc->bkColor;
    return true;
}

}  // namespace

BOOL PatBlt(HDC handle, int x, int y, int width, int height, DWORD rop) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || RopUsesSource(RopIndex(rop))) return FALSE;
    return RunTransfer(*dc, x, y, width, height, nullptr, 0, 0, 0, 0, rop) ? TRUE : FALSE;
}

BOOL BitBlt(HDC dstHandle, int x, int y, int width, int height, HDC srcHandle, int xSrc, int ySrc,
            DWORD rop) {
    return StretchBlt(dstHandle, x, y, width, height, srcHandle, xSrc, ySrc, width, height, rop);
}

BOOL StretchBlt(HDC dstHandle, int x, int y, int width, int height, HDC srcHandle, int xSrc, int ySrc,
                int srcWidth, int srcHeight, DWORD rop) {
    Guard guard(Lock());
    DC* dc = FindDC(dstHandle);
    if (!dc) return FALSE;
    BlitSource source;
    const bool usesSource = RopUsesSource(RopIndex(rop));
    if (usesSource && !SourceFromContext(srcHandle, &source)) return FALSE;
    return RunTransfer(*dc, x, y, width, height, usesSource ? &source : nullptr, xSrc, ySrc, srcWidth, srcHeight,
               rop)
               ? TRUE
               : FALSE;
}

int StretchDIBits(HDC handle, int x, int y, int width, int height, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc) return 0;
    const bool usesSource = RopUsesSource(RopIndex(rop));
    DibFormat f;
    if (!ParseDib(info, usage, dc, &f)) return 0;
    if (usesSource && !bits) return 0;
    BlitSource source;
    source.view = ViewOf(f, bits);
    source.bkColor = dc->bkColor;
    // A bottom-up DIB's source rectangle is measured from its lower-left corner; in the
    // top-down view the same rows start at height - (ySrc + srcHeight).
    long long sy = ySrc, sh = srcHeight;
    if (!f.topDown) {
        long long len = srcHeight < 0 ? -static_cast<long long>(srcHeight) : srcHeight;
        long long low = srcHeight < 0 ? static_cast<long long>(ySrc) - len + 1 : ySrc;
        sy = f.height - (low + len);
        sh = srcHeight < 0 ? -len : len;
        if (srcHeight < 0) sy += len - 1;  // keep the mirror: a negative height runs from the far row
    }
    if (!RunTransfer(*dc, x, y, width, height, usesSource ? &source : nullptr, xSrc, sy, srcWidth, sh, rop)) return 0;
    long long lines = srcHeight < 0 ? -static_cast<long long>(srcHeight) : srcHeight;
    return static_cast<int>(std::min<long long>(lines, INT_MAX));
}

int SetDIBitsToDevice(HDC handle, int x, int y, DWORD width, DWORD height, int xSrc, int ySrc, UINT start,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
    Guard guard(Lock());
    DC* dc = FindDC(handle);
    if (!dc || !bits || width > INT_MAX || height > INT_MAX) return 0;
    DibFormat f;
    if (!ParseDib(info, usage, dc, &f)) return 0;
    if (start >= static_cast<UINT>(f.height)) return 0;
    UINT band = std::min<UINT>(lines, static_cast<UINT>(f.height) - start);
    if (band == 0) return 0;

    // The caller's buffer holds only the band of scan lines; view just those rows.
    DibFormat bandFormat = f;
    bandFormat.height = static_cast<LONG>(band);
    BlitSource source;
    source.view = ViewOf(bandFormat, bits);
    source.bkColor = dc->bkColor;
    long long bandTop;  // top-down row of the whole DIB where the band starts
    long long top;      // top-down row of the whole DIB where the source rectangle starts
    if (f.topDown) {
        bandTop = start;
        top = ySrc;
    } else {
        bandTop = static_cast<long long>(f.height) - start - band;
        top = static_cast<long long>(f.height) - ySrc - static_cast<long long>(height);
    }
    RunTransfer(*dc, x, y, width, height, &source, xSrc, top - bandTop, width, height, SRCCOPY);
    return static_cast<int>(band);
}
