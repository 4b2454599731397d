// Stored control state is untrusted: any bytes handed to the control's load must leave it
// working. Loads arbitrary bytes, then sets a property (which must regenerate normally) and
// paints the control. Records whose margin and module size could ask for a picture of more
// than 2048 pixels a side are skipped: the control draws every picture its renderer can hold
// (thousands of pixels a side take seconds under the sanitizers), and large pictures only slow
// the search without reaching new code; the unit tests load and draw such records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "control/glyphwell_ctrl.h"
#include "control/glyphwell_ids.h"
#include "encoder/trace.h"
#include "platform/win32.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 48 && 177 * data[48] + 2 * data[47] > 2048) return 0;
    QRCodeSetTraceStream(nullptr);  // the encoder's diagnostics would drown the fuzzer's output
    CGlyphwellCtrl* control = new CGlyphwellCtrl;
    GwMemoryStream* stream = new GwMemoryStream(std::vector<BYTE>(data, data + size));
    control->Load(stream);
    stream->Release();

    // A load restores the stored properties, so the sets that follow name every one that shapes
    // the picture: whatever was loaded, the control then makes the default picture of "HELLO".
    const auto put = [control](DISPID dispid, VARTYPE type, LONG value) {
        VARIANT v;
        VariantInit(&v);
        v.vt = type;
        if (type == VT_BOOL)
            v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        else
            v.lVal = value;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&v, &named, 1, 1};
        control->Invoke(dispid, GUID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    };
    for (DISPID dispid : {dispidPreferredVersion, dispidCorrectionLevel, dispidEncodeMode, dispidEciMode,
                          dispidFnc1Mode, dispidMargin, dispidPixelSize})
        put(dispid, VT_I4, -1);
    put(dispidStructuredAppend, VT_BOOL, 0);
    put(dispidProcessTilde, VT_BOOL, 0);
    put(dispidBackGroundColor, VT_I4, 0xFFFFFF);
    put(dispidForeGroundColor, VT_I4, 0);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = GwAllocBstrFromUtf8("HELLO");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&v, &named, 1, 1};
    control->Invoke(dispidTextData, GUID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    VariantClear(&v);
    int cx = 0, cy = 0;
    control->GetControlSize(&cx, &cy);
    if (cx != 83 || cy != 83) std::abort();

    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 83;
    info.bmiHeader.biHeight = -83;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) std::abort();
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECTL bounds{0, 0, 83, 83};  // the control's own size: drawn as it paints its window
    control->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
    // The finder's dark corner.
    if ((static_cast<const uint32_t*>(bits)[11 * 83 + 11] & 0xFFFFFF) != 0) std::abort();
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    control->Release();
    return 0;
}
