// The control's fixed identities and resource numbers. The five GUIDs were generated once;
// hosts and stored documents keep them, so they never change.
#pragma once

// The resource numbers below are also read by the resource compiler (RC_INVOKED).
#ifndef RC_INVOKED
#include "platform/win32.h"

// Type library GLYPHWELLLib 1.0.
extern const GUID LIBID_GLYPHWELLLib;           // {3AABFB70-DFD3-4A18-8E97-B923C477AA05}
// Dispatch interface _DGlyphwell and event interface _DGlyphwellEvents.
extern const IID DIID__DGlyphwell;              // {CED3A3AC-1981-4F82-845E-BAA167979AA8}
extern const IID DIID__DGlyphwellEvents;        // {2C36D853-7C60-4ED4-BA20-5F1EE131EBD4}
// The control class and its property page class.
extern const CLSID CLSID_Glyphwell;             // {E9E41C25-D5A5-46E3-8980-5211F273A6C8}
extern const CLSID CLSID_GlyphwellPropPage;     // {EB1F0AA6-3D27-44BE-BE43-1521423117DB}

constexpr WORD kGlyphwellTypeLibMajor = 1;
constexpr WORD kGlyphwellTypeLibMinor = 0;
constexpr LCID kGlyphwellTypeLibLcid = 0x0409;
constexpr DWORD kGlyphwellControlVersion = 0x00010000;  // major 1, minor 0
// Recompose on resize | can't link inside | inside-out | activate when visible | set client site first.
constexpr DWORD kGlyphwellMiscStatus = 0x20191;
constexpr const char* kGlyphwellCtrlProgID = "GLYPHWELL.GlyphwellCtrl.1";
constexpr const char* kGlyphwellPropPageProgID = "GLYPHWELL.GlyphwellPropPage.1";

// DISPIDs of _DGlyphwell.
enum {
    dispidPreferredVersion = 1,
    dispidSelectedVersion = 2,
    dispidCorrectionLevel = 3,
    dispidEncodeMode = 4,
    dispidEciMode = 5,
    dispidFnc1Mode = 6,
    dispidStructuredAppend = 7,
    dispidProcessTilde = 8,
    dispidAutoConfigurate = 9,
    dispidMargin = 10,
    dispidPixelSize = 11,
    dispidBackGroundColor = 12,
    dispidForeGroundColor = 13,
    dispidTextData = 14,
};

#endif  // RC_INVOKED

// Resources (all of the module).
#define IDS_GLYPHWELL 1
#define IDS_GLYPHWELL_PPG 2
#define IDS_GLYPHWELL_PPG_CAPTION 200
#define IDD_ABOUTBOX_GLYPHWELL 1
#define IDD_PROPPAGE_GLYPHWELL 200
#define IDB_GLYPHWELL 1
#define IDI_ABOUTDLL 1
#define IDC_STATIC (-1)
#define GLYPHWELL_RT_TYPELIB "TYPELIB"
#define GLYPHWELL_RESOURCE_LANGUAGE 2052
