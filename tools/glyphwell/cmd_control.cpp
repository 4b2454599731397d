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

int Failure(const std::string& message) { return gwcli::Failure("control", message); }

// The control's class from its ProgID: the registry when the module is registered, else the
// module's own class objects.
CLSID ControlClass() {
    CLSID clsid = CLSID_Glyphwell;
#ifndef _WIN32
    standin::RegistryUseFile(standin::RegistryDefaultPath());
#endif
    const std::string key = std::string(kGlyphwellCtrlProgID) + "\\CLSID";
    HKEY k;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS) {
        char buf[64];
        DWORD size = sizeof buf, type = 0;
        if (RegQueryValueExA(k, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS &&
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

// Paints the control into a screen-compatible bitmap of its own size and writes it to path.
bool Paint(IUnknown* control, const std::string& path, long type, std::string* error) {
    IOleObject* ole = nullptr;
    IViewObject* view = nullptr;
    control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole));
    control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view));
    SIZEL extent{0, 0};
    if (ole) ole->GetExtent(DVASPECT_CONTENT, &extent);
    const LONG width = static_cast<LONG>((static_cast<long long>(extent.cx) * 96 + 1270) / 2540);
    const LONG height = static_cast<LONG>((static_cast<long long>(extent.cy) * 96 + 1270) / 2540);
    bool ok = false;
    if (!view || width <= 0 || height <= 0) {
        *error = "the control has no size to paint";
    } else {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        if (!dc || !bitmap) {
            *error = "cannot create a " + std::to_string(width) + " x " + std::to_string(height) + " picture";
        } else {
            HGDIOBJ old = SelectObject(dc, bitmap);
            RECTL bounds{0, 0, width, height};
            view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
            SelectObject(dc, old);
            GwImage picture;
            if (!picture.CreateFromHBITMAP(bitmap, nullptr)) {
                *error = std::string("cannot take the painted picture: ") + picture.GetLastError();
            } else if (!gwcli::SavePicture(picture, path, type, error)) {
            } else {
                ok = true;
            }
        }
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
    }
    if (view) view->Release();
    if (ole) ole->Release();
    return ok;
}

int RunControl(const std::vector<std::string>& args) {
    std::string load, save, paint;
    std::vector<std::string> sets, gets;
    bool quiet = false, trace = false;
    long paintType = -1;
    const gwcli::CommandLine line{
        "control",
        kSynopsis,
        {
            {"--load", "FILE", "load the control's stored state from FILE", gwcli::Text(&load)},
            {"--set", "NAME=VALUE", "set a property (repeatable, applied in order)",
             [&](const std::string& v) {
                 if (v.find('=') == std::string::npos || v.front() == '=') return "needs NAME=VALUE";
                 sets.push_back(v);
                 return "";
             }},
            {"--get", "NAME", "print a property as NAME=VALUE (repeatable)", gwcli::Append(&gets)},
            {"--save", "FILE", "save the control's state to FILE", gwcli::Text(&save)},
            {"--paint", "OUT", "paint the control into OUT (.png, .gif or .bmp)", gwcli::Text(&paint)},
            {"--trace", nullptr, "write the encoder's diagnostic lines to standard error", gwcli::Flag(&trace)},
            {"--quiet", nullptr, "print no diagnostic lines (the default)", gwcli::Flag(&quiet)},
        },
        kEpilogue};
    std::vector<std::string> operands;
    const int parsed = gwcli::Parse(line, args, &operands);
    if (parsed != gwcli::kContinue) return parsed;
    if (!operands.empty()) return gwcli::UsageError(line, "unknown argument '" + operands[0] + "'");
    if (!paint.empty() && (paintType = gwcli::PictureType(gwcli::Extension(paint))) < 0)
        return gwcli::UsageError(line, "cannot tell the picture format from '" + paint + "'; end it in .png, .gif or .bmp");
    // Standard output carries the --get lines only; the encoder's lines are diagnostics.
    FILE* const previousSink = QRCodeTraceStream();
    QRCodeSetTraceStream(trace && !quiet ? stderr : nullptr);

    int status = kExitOk;
    IClassFactory* factory = nullptr;
    IDispatch* control = nullptr;
    if (FAILED(DllGetClassObject(ControlClass(), IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&control)))) {
        if (factory) factory->Release();
        QRCodeSetTraceStream(previousSink);
        return Failure("cannot create the control");
    }
    factory->Release();
    IPersistStreamInit* persist = nullptr;
    control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));

    if (!load.empty()) {
        // The stored state is the settings block and the framework's part, of the size the
        // control saves (which the stored form keeps the same for every state).
        ULARGE_INTEGER limit{};
        persist->GetSizeMax(&limit);
        std::vector<BYTE> bytes;
        std::string why;
        if (!ReadStoredState(load, static_cast<size_t>(limit.QuadPart), &bytes, &why)) {
            status = Failure("cannot load " + gwcli::Printable(load) + ": " + why);
        } else {
            GwMemoryStream* stream = new GwMemoryStream(bytes);
            if (FAILED(persist->Load(stream)))
                status = Failure("cannot load " + gwcli::Printable(load) + ": not a whole stored Glyphwell control");
            stream->Release();
        }
    } else {
        persist->InitNew();
    }
    for (size_t i = 0; status == kExitOk && i < sets.size(); ++i) {
        const size_t eq = sets[i].find('=');
        const std::string name = sets[i].substr(0, eq), value = sets[i].substr(eq + 1);
        const DISPID id = IdOf(control, name);
        if (id == DISPID_UNKNOWN || id == DISPID_ABOUTBOX) {
            status = gwcli::UsageError(line, "no property named '" + name + "'");
            break;
        }
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = GwAllocBstrFromUtf8(value);
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&v, &named, 1, 1};
        EXCEPINFO excep{};
        const HRESULT hr = control->Invoke(id, GUID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &excep, nullptr);
        VariantClear(&v);
        // The control's own refusals (a value out of range, a set after which no symbol can be
        // made) come with a one-line description.
        std::string reason = Reason(hr);
        if (hr == DISP_E_EXCEPTION && excep.bstrDescription)
            reason = GwUtf8FromWide(excep.bstrDescription, SysStringLen(excep.bstrDescription));
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
        if (FAILED(hr)) status = Failure("cannot set " + name + " to '" + value + "': " + reason);
    }
    for (size_t i = 0; status == kExitOk && i < gets.size(); ++i) {
        const DISPID id = IdOf(control, gets[i]);
        if (id == DISPID_UNKNOWN || id == DISPID_ABOUTBOX) {
            status = gwcli::UsageError(line, "no property named '" + gets[i] + "'");
            break;
        }
        VARIANT result, text;
        VariantInit(&result);
        VariantInit(&text);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        control->Invoke(id, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
        if (SUCCEEDED(VariantChangeType(&text, &result, 0, VT_BSTR)))
            std::printf("%s=%s\n", gets[i].c_str(),
                        gwcli::Printable(GwUtf8FromWide(text.bstrVal, SysStringLen(text.bstrVal))).c_str());
        VariantClear(&result);
        VariantClear(&text);
    }
    if (status == kExitOk && !save.empty()) {
        GwMemoryStream* stream = new GwMemoryStream;
        persist->Save(stream, TRUE);
        const std::vector<BYTE>& bytes = stream->Bytes();
        std::string error;
        const bool written = gwcli::WriteOutput(save, bytes.data(), bytes.size(), &error);
        stream->Release();
        if (!written) status = Failure(error);
    }
    if (status == kExitOk && !paint.empty()) {
        std::string error;
        if (!Paint(control, paint, paintType, &error)) status = Failure(error);
    }
    persist->Release();
    control->Release();
    QRCodeSetTraceStream(previousSink);
    return status;
}

const GlyphwellCommand kControl("control", "host the QR Code control: load, set, get, save, paint", RunControl);

}  // namespace
