// The software GDI: device contexts, bitmaps and DIB sections, raster transfers with ternary
// raster operations, regions, palettes, icons, brushes, fonts and text, with Win32's names,
// signatures and refusals. Drawing happens in memory; the "screen" is a 32-bit BGRX surface.
#pragma once

#include "platform/win32_types.h"

// Limits of this GDI. A bitmap whose pixel bytes exceed kGdiMaxBitmapBytes, or whose size
// arithmetic overflows, is refused (null) rather than over-committed.
constexpr unsigned long long kGdiMaxBitmapBytes = 1ull << 30;
// The screen device that GetDC(NULL) paints on (GetDC and ReleaseDC belong to the window
// manager, platform/user).
constexpr LONG kGdiScreenWidth = 1024;
constexpr LONG kGdiScreenHeight = 768;
constexpr LONG kGdiScreenDpi = 96;

// ---- Device contexts -------------------------------------------------------------------
// A memory context; it starts with a 1x1 monochrome bitmap, a white brush, a black pen, the
// system font, white background, black text, opaque background mode and BLACKONWHITE stretching.
// Any valid context (or NULL for the screen) may serve as the reference.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);

// Selects a bitmap, brush, pen, font or region (regions are copied into the clip) and returns
// the previously selected object (for a region, the region type); null on failure. A bitmap can
// be selected into one memory context at a time, and never into a screen context.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Deletes a GDI object. A bitmap still selected into a context is refused (FALSE); a brush,
// pen, font or palette still selected is deleted when its last context lets go. Stock objects
// are never deleted (TRUE, nothing happens).
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
DWORD GetObjectType(HGDIOBJ object);
// Fills a BITMAP (or a DIBSECTION for a DIB section when the buffer has room for one),
// LOGBRUSH, LOGPEN, LOGFONT or a WORD entry count for a palette. With a null buffer, returns
// the size needed. 0 for an invalid handle or a buffer too small.
int GetObject(HANDLE object, int size, LPVOID buffer);

COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF SetTextColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);
int SetStretchBltMode(HDC dc, int mode);

// ---- Bitmaps ---------------------------------------------------------------------------
// Device-dependent bitmaps: 32 bpp like the screen, or 1 bpp when the reference context has a
// monochrome bitmap selected (as a fresh memory context does). Zero-filled (black).
// A width or height of 0 gives a 1x1 monochrome bitmap.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// 1 or 32 bits per pixel only; bits (rows word-aligned, top row first) may be null.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// DIB sections at 1, 4, 8, 16, 24 or 32 bits (BI_RGB, or BI_BITFIELDS at 16 and 32); a
// negative height makes it top-down. Rows are 4-byte aligned. *bits receives the pixel memory,
// zero-filled, owned by the bitmap. hSection must be null (file mappings are not supported).
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// A device-dependent bitmap compatible with dc (32 bpp when dc is null), initialised from the
// DIB when init has CBM_INIT.
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage);
// Copies scan lines of a bitmap into a DIB of the caller's format (1, 4, 8, 16, 24, 32 bpp),
// converting as needed; for depths up to 8 the colour table is written too. With bits null,
// fills in the header (biBitCount 0: the bitmap's own format) and returns nonzero. Returns
// the number of scan lines copied, 0 on failure. The bitmap may be selected into a context.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info,
              UINT usage);

// ---- Fills and transfers -----------------------------------------------------------------
// Fills left..right-1, top..bottom-1. The brush may also be a system colour index + 1.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop);
// Negative extents mirror. Shrinking follows the stretch mode: COLORONCOLOR deletes lines,
// BLACKONWHITE ANDs them, WHITEONBLACK ORs them, HALFTONE averages them; enlarging replicates.
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                int srcWidth, int srcHeight, DWORD rop);
// The source rectangle of a bottom-up DIB is measured from its lower-left corner, of a top-down
// DIB from its upper-left corner. Returns the number of scan lines drawn, 0 on failure.
// RLE-compressed DIBs are not supported (0).
int StretchDIBits(HDC dc, int x, int y, int width, int height, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
// bits holds lines scan lines starting at scan line start (counted from the bottom of a
// bottom-up DIB). Returns the number of scan lines set, 0 on failure.
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int xSrc, int ySrc,
                      UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);

// ---- Brushes and pens ------------------------------------------------------------------
HBRUSH CreateSolidBrush(COLORREF color);
// The system colours (COLOR_SCROLLBAR 0 .. COLOR_MENUBAR 30) of the classic scheme.
#define COLOR_WINDOW 5
#define COLOR_WINDOWTEXT 8
#define COLOR_BTNFACE 15
#define COLOR_BTNTEXT 18
COLORREF GetSysColor(int index);

// ---- Regions (lists of rectangles) -------------------------------------------------------
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode);
int GetRgnBox(HRGN region, LPRECT rect);
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
// The clip region of a context: null region = no clipping beyond the bitmap's own bounds.
int SelectClipRgn(HDC dc, HRGN region);
int ExtSelectClipRgn(HDC dc, HRGN region, int mode);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int GetClipBox(HDC dc, LPRECT rect);
BOOL RectVisible(HDC dc, const RECT* rect);

// ---- Palettes --------------------------------------------------------------------------
HPALETTE CreatePalette(const LOGPALETTE* palette);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);

// ---- Icons -----------------------------------------------------------------------------
// The icon keeps its own copies of the bitmaps; GetIconInfo hands out new copies that the
// caller deletes.
HICON CreateIconIndirect(PICONINFO info);
BOOL GetIconInfo(HICON icon, PICONINFO info);
BOOL DestroyIcon(HICON icon);

// ---- Fonts and text ----------------------------------------------------------------------
// Faces come from fontconfig (Windows face names such as "Arial" resolve through its aliases);
// glyphs are rasterised by FreeType without anti-aliasing (1-bit coverage). A negative height
// is the em size in pixels, a positive one the cell height (ascent + descent), 0 a default.
HFONT CreateFontIndirect(const LOGFONTA* font);
// Supports DT_LEFT/CENTER/RIGHT, DT_TOP/VCENTER/BOTTOM (single line), DT_SINGLELINE,
// DT_WORDBREAK, DT_EXPANDTABS, DT_NOCLIP, DT_CALCRECT and DT_NOPREFIX (without it "&x"
// underlines x and "&&" draws one ampersand). Text is ANSI (Windows-1252). Returns the text
// height, 0 on failure.
int DrawText(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format);
