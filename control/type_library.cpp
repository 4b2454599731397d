// The control's type library: library GLYPHWELLLib, dispatch interface _DGlyphwell with the
// fourteen properties and AboutBox, the empty event interface, and the creatable control class.
#include "control/glyphwell_ids.h"
#include "control/glyphwell_resources.h"
#include "control/property_values.h"

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
    // A numeric property's help string states its range, a colour's what it can paint: the same
    // one-line texts a refused value is answered with.
    for (const auto& p : props) {
        std::string help;
        if (const GlyphwellPropertyRange* range = GlyphwellRangeOf(p.id))
            help = GlyphwellRangeText(*range);
        else if (std::string(p.type) == "OLE_COLOR")
            help = GlyphwellColorRangeText(p.name);
        dispatch.members.push_back({p.name, p.id, true, p.type, help});
    }
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
