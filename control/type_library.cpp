// The control's type library: library GLYPHWELLLib, dispatch interface _DGlyphwell with the
// fourteen properties and AboutBox, the empty event interface, and the creatable control class.
#include "control/glyphwell_ids.h"
#include "control/glyphwell_resources.h"

standin::TypeLibDesc GlyphwellTypeLibrary() {
    standin::TypeLibDesc lib;
    lib.name = "GLYPHWELLLib";
    lib.libid = LIBID_GLYPHWELLLib;
    lib.major = kGlyphwellTypeLibMajor;
    lib.minor = kGlyphwellTypeLibMinor;
    lib.lcid = kGlyphwellTypeLibLcid;
    lib.flags = LIBFLAG_FCONTROL;
    lib.helpFile = "Glyphwell.hlp";
    lib.helpString = "Glyphwell ActiveX Control module.";

    standin::TypeLibType dispatch;
    dispatch.kind = standin::kDispatchType;
    dispatch.name = "_DGlyphwell";
    dispatch.guid = DIID__DGlyphwell;
    dispatch.flags = TYPEFLAG_FHIDDEN | TYPEFLAG_FDISPATCHABLE;
    dispatch.helpString = "Dispatch interface for Glyphwell Control";
    // The help strings publish each property's range, as property browsers show them.
    const struct {
        const char* name;
        DISPID id;
        const char* type;
        const char* help;
    } props[] = {
        {"PreferredVersion", dispidPreferredVersion, "short",
         "Symbol version 1 to 40 to start the search at; -1: the smallest that holds the text"},
        {"SelectedVersion", dispidSelectedVersion, "short",
         "A version 1 to 40 kept with the control; -1: none. The symbol made shows its own"},
        {"CorrectionLevel", dispidCorrectionLevel, "short",
         "Error correction 0 (L), 1 (M), 2 (Q) or 3 (H); -1: H"},
        {"EncodeMode", dispidEncodeMode, "short",
         "0 alphanumeric, 1 byte, 2 numeric, 3 kanji (Shift JIS), 4 automatic; -1: byte"},
        {"EciMode", dispidEciMode, "short",
         "ECI assignment number 0 to 32767; -1: none, or 26 (UTF-8) for text the code page cannot carry"},
        {"Fnc1Mode", dispidFnc1Mode, "short",
         "FNC1: 0 none, 1 first position, 2 second position; -1: none"},
        {"StructuredAppend", dispidStructuredAppend, "VARIANT_BOOL",
         "Writes the structured-append header"},
        {"ProcessTilde", dispidProcessTilde, "VARIANT_BOOL",
         "Reads ~~, ~dNNN and ~eNNNNNN escapes in the text"},
        {"AutoConfigurate", dispidAutoConfigurate, "VARIANT_BOOL",
         "Searches for the smallest version that holds the text (always on)"},
        {"Margin", dispidMargin, "short",
         "Border around the symbol, 0 to 255 pixels; -1: 10"},
        {"PixelSize", dispidPixelSize, "short",
         "Side of one module, 1 to 255 pixels; -1: 3. The picture is at most 8192 pixels wide"},
        {"BackGroundColor", dispidBackGroundColor, "OLE_COLOR",
         "Colour of the fill and the light modules: &H00BBGGRR or a system colour &H80000000 + index"},
        {"ForeGroundColor", dispidForeGroundColor, "OLE_COLOR",
         "Colour of the dark modules: &H00BBGGRR or a system colour &H80000000 + index"},
        {"TextData", dispidTextData, "BSTR",
         "The text to encode, in any language; empty: no symbol"},
    };
    for (const auto& p : props) dispatch.members.push_back({p.name, p.id, true, p.type, p.help});
    dispatch.members.push_back({"AboutBox", DISPID_ABOUTBOX, false, "void", ""});
    lib.types.push_back(dispatch);

    standin::TypeLibType events;
    events.kind = standin::kDispatchType;
    events.name = "_DGlyphwellEvents";
    events.guid = DIID__DGlyphwellEvents;
    events.flags = TYPEFLAG_FDISPATCHABLE;
    events.helpString = "Event interface for Glyphwell Control";
    lib.types.push_back(events);

    standin::TypeLibType coclass;
    coclass.kind = standin::kClassType;
    coclass.name = "Glyphwell";
    coclass.guid = CLSID_Glyphwell;
    coclass.flags = TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL;
    coclass.helpString = "Glyphwell Control";
    coclass.defaultInterface = DIID__DGlyphwell;
    coclass.defaultSource = DIID__DGlyphwellEvents;
    lib.types.push_back(coclass);
    return lib;
}
