// glyphwell control: a command-line host for the QR Code control. It creates the control
// through the module's class object, loads stored state, sets and reads properties by name
// through automation, saves the state and paints the control into a picture file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "control/glyphwell_ids.h"
#include "control/glyphwell_module.h"
#include "encoder/trace.h"
#include "image/gw_image.h"
#include "platform/afx/afxctl.h"
#include "platform/afx/comref.h"
#include "platform/win32.h"
#include "tools/glyphwell/command.h"
#include "tools/glyphwell/options.h"
#include "tools/glyphwell/output.h"

namespace {

const char kSynopsis[] =
    "usage: glyphwell control [--load FILE] [--set NAME=VALUE]... [--get NAME]... [--save FILE]\n"
    "                         [--paint OUT.png] [--trace]\n"
    "\n"
    "Creates the Glyphwell control (GLYPHWELL.GlyphwellCtrl.1) and, in this order: loads its\n"
    "stored state from FILE, sets properties (in the order given), prints properties as\n"
    "NAME=VALUE lines, saves its state to FILE, and paints it at its own size into a picture\n"
    "(.png, .gif or .bmp by the name's ending).\n"
    "\n"
    "properties: PreferredVersion SelectedVersion CorrectionLevel EncodeMode EciMode Fnc1Mode\n"
    "  StructuredAppend ProcessTilde AutoConfigurate Margin PixelSize BackGroundColor\n"
    "  ForeGroundColor TextData. Numbers are decimal or &H/0x hexadecimal; booleans True/False;\n"
    "  colours 0x00BBGGRR (0x00FFFF is yellow) or system colours &H80000000 + index.\n"
    "\n"
    "A value outside its property's range, or a set after which no symbol can be made, stops\n"
    "the run with exit status 1 and the control's reason; nothing is saved or painted.\n";

const char kEpilogue[] = "exit status: 0 done, 1 a file or value was refused, 2 usage error\n";

int Failure(const std::string& message) {
    return gwcli::Failure("control", message);
}

// The control's class from its ProgID: the registry when the module is registered, else the
// module's own class objects.
CLSID ControlClass() {
    GlyphwellModuleEnsureLoaded();  // its class objects are made on first use
    CLSID clsid = CLSID_Glyphwell;
#ifndef _WIN32
    standin::RegistryUseFile(standin::RegistryDefaultPath());
#endif
    const std::string key = std::string(kGlyphwellCtrlProgID) + "\\CLSID";
    HKEY k;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS) {
        char buf[64];
        DWORD size = sizeof buf, type = 0;
        if (RegQueryValueExA(k, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ && size > 0) {
            buf[size - 1] = '\0';
            GwGuidFromString(buf, &clsid);
        }
        RegCloseKey(k);
    }
    // Only a class this module serves can be created here.
    if (!COleObjectFactory::Find(clsid)) clsid = CLSID_Glyphwell;
    return clsid;
}

DISPID IdOf(IDispatch* d, const std::string& name) {
    GwOleString w = GwWideFromUtf8(name);
    LPOLESTR names[1] = {&w[0]};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(d->GetIDsOfNames(GUID_NULL, names, 1, 0, &id))) return DISPID_UNKNOWN;
    return id;
}

const char* Reason(HRESULT hr) {
    if (hr == DISP_E_TYPEMISMATCH) return "type mismatch";
    if (hr == DISP_E_OVERFLOW) return "out of range";
    return "refused";
}

// Reads a stored control of at most `limit` bytes. A stored state is small and of a known
// size, so whatever is longer (a device that never ends, a file of something else) is refused
// after `limit` + 1 bytes instead of being read whole. False with a one-line reason in *why.
bool ReadStoredState(const std::string& path, size_t limit, std::vector<BYTE>* bytes, std::string* why) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        *why = std::strerror(errno);
        return false;
    }
    bytes->resize(limit + 1);
    const size_t got = std::fread(bytes->data(), 1, bytes->size(), in);
    const int error = std::ferror(in) ? errno : 0;
    std::fclose(in);
    bytes->resize(got);
    if (error) {
        *why = std::strerror(error);
        return false;
    }
    if (got > limit) {
        *why = "longer than a stored Glyphwell control (" + std::to_string(limit) + " bytes)";
        return false;
    }
    return true;
}

// What one run of the control command was asked to do.
struct ControlRun {
    std::string load, save, paint;
    std::vector<std::string> sets, gets;
    bool quiet = false, trace = false;
    long paintType = -1;
    std::vector<std::string> operands;
};

// The control as the run holds it: its automation interface and its stored state.
struct HostedControl {
    CInterfacePtr<IDispatch> dispatch;
    CInterfacePtr<IPersistStreamInit> persist;
};

// Puts the encoder's diagnostic sink back as it was when the run ends, whichever way it ends.
class TraceSinkScope {
public:
    explicit TraceSinkScope(FILE* sink) : m_previous(QRCodeTraceStream()) { QRCodeSetTraceStream(sink); }
    ~TraceSinkScope() { QRCodeSetTraceStream(m_previous); }
    TraceSinkScope(const TraceSinkScope&) = delete;
    TraceSinkScope& operator=(const TraceSinkScope&) = delete;

private:
    FILE* m_previous;
};

// The control's picture at its own size, taken from a screen-compatible bitmap it painted
// itself into. False with the reason in *error.
bool PaintedPicture(IViewObject* view, LONG width, LONG height, GwImage* picture, std::string* error) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    bool ok = false;
    if (!dc || !bitmap) {
        *error = "cannot create a " + std::to_string(width) + " x " + std::to_string(height) + " picture";
    } else {
        HGDIOBJ old = SelectObject(dc, bitmap);
        RECTL bounds{0, 0, width, height};
        view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
        SelectObject(dc, old);
        ok = picture->CreateFromHBITMAP(bitmap, nullptr);
        if (!ok) *error = std::string("cannot take the painted picture: ") + picture->GetLastError();
    }
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
    return ok;
}

// Paints the control at its own size and writes the picture to path.
bool Paint(IUnknown* control, const std::string& path, long type, std::string* error) {
    CInterfacePtr<IOleObject> ole;
    CInterfacePtr<IViewObject> view;
    control->QueryInterface(IID_IOleObject, ole.ReceiveVoid());
    control->QueryInterface(IID_IViewObject, view.ReceiveVoid());
    SIZEL extent{0, 0};
    if (ole) ole->GetExtent(DVASPECT_CONTENT, &extent);
    const LONG width = static_cast<LONG>((static_cast<long long>(extent.cx) * 96 + 1270) / 2540);
    const LONG height = static_cast<LONG>((static_cast<long long>(extent.cy) * 96 + 1270) / 2540);
    if (!view || width <= 0 || height <= 0) {
        *error = "the control has no size to paint";
        return false;
    }
    GwImage picture;
    return PaintedPicture(view.Get(), width, height, &picture, error) &&
           gwcli::SavePicture(picture, path, type, error);
}

// Creates the control through its class object. False when it cannot be created.
bool CreateControl(HostedControl* control) {
    CInterfacePtr<IClassFactory> factory;
    if (FAILED(DllGetClassObject(ControlClass(), IID_IClassFactory, factory.ReceiveVoid())) ||
        FAILED(factory->CreateInstance(nullptr, IID_IDispatch, control->dispatch.ReceiveVoid())))
        return false;
    control->dispatch->QueryInterface(IID_IPersistStreamInit, control->persist.ReceiveVoid());
    return control->persist.Get() != nullptr;
}

// Loads the stored state from `path`, or starts the control afresh without one. kExitOk, or
// the failure's status.
int LoadState(const HostedControl& control, const std::string& path) {
    if (path.empty()) {
        control.persist->InitNew();
        return kExitOk;
    }
    // The stored state is the settings block and the framework's part, of the size the control
    // saves (which the stored form keeps the same for every state).
    ULARGE_INTEGER limit{};
    control.persist->GetSizeMax(&limit);
    std::vector<BYTE> bytes;
    std::string why;
    if (!ReadStoredState(path, static_cast<size_t>(limit.QuadPart), &bytes, &why))
        return Failure("cannot load " + gwcli::Printable(path) + ": " + why);
    const auto stream = CInterfacePtr<GwMemoryStream>::Adopt(new GwMemoryStream(bytes));
    if (FAILED(control.persist->Load(stream.Get())))
        return Failure("cannot load " + gwcli::Printable(path) + ": not a whole stored Glyphwell control");
    return kExitOk;
}

// The property named `name`, or DISPID_UNKNOWN for none (the about box is no property).
DISPID PropertyId(IDispatch* control, const std::string& name) {
    const DISPID id = IdOf(control, name);
    return id == DISPID_ABOUTBOX ? DISPID_UNKNOWN : id;
}

// Sets one NAME=VALUE through automation, the value given as text. kExitOk, or the status.
int SetProperty(const gwcli::CommandLine& line, IDispatch* control, const std::string& assignment) {
    const size_t eq = assignment.find('=');
    const std::string name = assignment.substr(0, eq), value = assignment.substr(eq + 1);
    const DISPID id = PropertyId(control, name);
    if (id == DISPID_UNKNOWN) return gwcli::UsageError(line, "no property named '" + name + "'");
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = GwAllocBstrFromUtf8(value);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&v, &named, 1, 1};
    EXCEPINFO excep{};
    const HRESULT hr =
        control->Invoke(id, GUID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &excep, nullptr);
    VariantClear(&v);
    // The control's own refusals (a value out of range, a set after which no symbol can be
    // made) come with a one-line description.
    std::string reason = Reason(hr);
    if (hr == DISP_E_EXCEPTION && excep.bstrDescription)
        reason = GwUtf8FromWide(excep.bstrDescription, SysStringLen(excep.bstrDescription));
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    return FAILED(hr) ? Failure("cannot set " + name + " to '" + value + "': " + reason) : kExitOk;
}

// Prints one property as NAME=VALUE. kExitOk, or the usage error for an unknown name.
int PrintProperty(const gwcli::CommandLine& line, IDispatch* control, const std::string& name) {
    const DISPID id = PropertyId(control, name);
    if (id == DISPID_UNKNOWN) return gwcli::UsageError(line, "no property named '" + name + "'");
    VARIANT result, text;
    VariantInit(&result);
    VariantInit(&text);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    control->Invoke(id, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    if (SUCCEEDED(VariantChangeType(&text, &result, 0, VT_BSTR)))
        std::printf("%s=%s\n", name.c_str(),
                    gwcli::Printable(GwUtf8FromWide(text.bstrVal, SysStringLen(text.bstrVal))).c_str());
    VariantClear(&result);
    VariantClear(&text);
    return kExitOk;
}

// Saves the control's state to `path`, whole or not at all. kExitOk, or the failure's status.
int SaveState(const HostedControl& control, const std::string& path) {
    const auto stream = CInterfacePtr<GwMemoryStream>::Adopt(new GwMemoryStream);
    control.persist->Save(stream.Get(), TRUE);
    const std::vector<BYTE>& bytes = stream->Bytes();
    std::string error;
    return gwcli::WriteOutput(path, bytes.data(), bytes.size(), &error) ? kExitOk : Failure(error);
}

gwcli::CommandLine ControlLine(ControlRun* run) {
    return gwcli::CommandLine{
        "control",
        kSynopsis,
        {
            {"--load", "FILE", "load the control's stored state from FILE", gwcli::Text(&run->load)},
            {"--set", "NAME=VALUE", "set a property (repeatable, applied in order)",
             [run](const std::string& v) {
                 if (v.find('=') == std::string::npos || v.front() == '=') return "needs NAME=VALUE";
                 run->sets.push_back(v);
                 return "";
             }},
            {"--get", "NAME", "print a property as NAME=VALUE (repeatable)", gwcli::Append(&run->gets)},
            {"--save", "FILE", "save the control's state to FILE", gwcli::Text(&run->save)},
            {"--paint", "OUT", "paint the control into OUT (.png, .gif or .bmp)", gwcli::Text(&run->paint)},
            {"--trace", nullptr, "write the encoder's diagnostic lines to standard error",
             gwcli::Flag(&run->trace)},
            {"--quiet", nullptr, "print no diagnostic lines (the default)", gwcli::Flag(&run->quiet)},
        },
        kEpilogue};
}

// Load, set, get, save and paint, in that order, until one step fails.
int HostControl(const gwcli::CommandLine& line, const ControlRun& run) {
    HostedControl control;
    if (!CreateControl(&control)) return Failure("cannot create the control");
    int status = LoadState(control, run.load);
    for (size_t i = 0; status == kExitOk && i < run.sets.size(); ++i)
        status = SetProperty(line, control.dispatch.Get(), run.sets[i]);
    for (size_t i = 0; status == kExitOk && i < run.gets.size(); ++i)
        status = PrintProperty(line, control.dispatch.Get(), run.gets[i]);
    if (status == kExitOk && !run.save.empty()) status = SaveState(control, run.save);
    if (status == kExitOk && !run.paint.empty()) {
        std::string error;
        if (!Paint(control.dispatch.Get(), run.paint, run.paintType, &error)) status = Failure(error);
    }
    return status;
}

int RunControl(const std::vector<std::string>& args) {
    ControlRun run;
    const gwcli::CommandLine line = ControlLine(&run);
    const int parsed = gwcli::Parse(line, args, &run.operands);
    if (parsed != gwcli::kContinue) return parsed;
    if (!run.operands.empty()) return gwcli::UsageError(line, "unknown argument '" + run.operands[0] + "'");
    if (!run.paint.empty() && (run.paintType = gwcli::PictureType(gwcli::Extension(run.paint))) < 0)
        return gwcli::UsageError(
            line, "cannot tell the picture format from '" + run.paint + "'; end it in .png, .gif or .bmp");
    // Standard output carries the --get lines only; the encoder's lines are diagnostics.
    const TraceSinkScope sink(run.trace && !run.quiet ? stderr : nullptr);
    return HostControl(line, run);
}

const GlyphwellCommand kControl("control", "host the QR Code control: load, set, get, save, paint",
                                RunControl);

}  // namespace
