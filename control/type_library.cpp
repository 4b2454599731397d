// The control's type library: library GLYPHWELLLib, dispatch interface _DGlyphwell with the
// fourteen properties and AboutBox, the empty event interface, and the creatable control class.
#include "control/glyphwell_ids.h"
#include "control/glyphwell_resources.h"

GwTypeLibDesc GlyphwellTypeLibrary() {
    GwTypeLibDesc lib;
    lib.name = "GLYPHWELLLib";
    lib.libid = LIBID_GLYPHWELLLib;
    lib.major = kGlyphwellTypeLibMajor;
    lib.minor = kGlyphwellTypeLibMinor;
    lib.lcid = kGlyphwellTypeLibLcid;
    lib.flags = LIBFLAG_FCONTROL;
    lib.helpFile = "Glyphwell.hlp";
    lib.helpString = "Glyphwell ActiveX Control module.";

    GwTypeLibType dispatch;
    dispatch.kind = GW_TKIND_DISPATCH;
    dispatch.name = "_DGlyphwell";
    dispatch.guid = DIID__DGlyphwell;
    dispatch.flags = TYPEFLAG_FHIDDEN | TYPEFLAG_FDISPATCHABLE;
    dispatch.helpString = "Dispatch interface for Glyphwell Control";
    const struct {
        const char* name;
        DISPID id;
        const char* type;
    } props[] = {{"PreferredVersion", dispidPreferredVersion, "short"},
                 {"SelectedVersion", dispidSelectedVersion, "short"},
                 {"CorrectionLevel", dispidCorrectionLevel, "short"},
                 {"EncodeMode", dispidEncodeMode, "short"},
                 {"EciMode", dispidEciMode, "short"},
                 {"Fnc1Mode", dispidFnc1Mode, "short"},
                 {"StructuredAppend", dispidStructuredAppend, "VARIANT_BOOL"},
                 {"ProcessTilde", dispidProcessTilde, "VARIANT_BOOL"},
                 {"AutoConfigurate", dispidAutoConfigurate, "VARIANT_BOOL"},
                 {"Margin", dispidMargin, "short"},
                 {"PixelSize", dispidPixelSize, "short"},
                 {"BackGroundColor", dispidBackGroundColor, "OLE_COLOR"},
                 {"ForeGroundColor", dispidForeGroundColor, "OLE_COLOR"},
                 {"TextData", dispidTextData, "BSTR"}};
    for (const auto& p : props) dispatch.members.push_back({p.name, p.id, true, p.type});
    dispatch.members.push_back({"AboutBox", DISPID_ABOUTBOX, false, "void"});
    lib.types.push_back(dispatch);

    GwTypeLibType events;
    events.kind = GW_TKIND_DISPATCH;
    events.name = "_DGlyphwellEvents";
    events.guid = DIID__DGlyphwellEvents;
    events.flags = TYPEFLAG_FDISPATCHABLE;
    events.helpString = "Event interface for Glyphwell Control";
    lib.types.push_back(events);

    GwTypeLibType coclass;
    coclass.kind = GW_TKIND_COCLASS;
    coclass.name = "Glyphwell";
    coclass.guid = CLSID_Glyphwell;
    coclass.flags = TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL;
    coclass.helpString = "Glyphwell Control";
    coclass.defaultInterface = DIID__DGlyphwell;
    coclass.defaultSource = DIID__DGlyphwellEvents;
    lib.types.push_back(coclass);
    return lib;
}
