// Fuzzes the GIF reader: every frame of the input is decoded, then the first frame is written
// back with the coder chosen by the input's last byte and read again. Screens larger than
// 4096 x 4096 are skipped after the screen-size query: their canvas is a legitimate
// allocation of gigabytes, not a fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/gif/gw_image_gif.h"
#include "image/gw_mem_file.h"

namespace {

class FuzzGif : public GwImageGIF {
public:
    bool DecodeFrame(const uint8_t* data, size_t size, long frame, long escape = 0) {
        GwMemFile in(const_cast<BYTE*>(data), static_cast<DWORD>(size));
        SetFrame(frame);
        SetEscape(escape);
        return Decode(&in);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    {
        FuzzGif probe;
        if (!probe.DecodeFrame(data, size, 0, -1)) return 0;
        if (probe.GetWidth() > 4096 || probe.GetHeight() > 4096) return 0;
    }
    long frames = 0;
    {
        FuzzGif first;
        first.DecodeFrame(data, size, 0);
        frames = first.GetNumFrames();
        if (first.IsValid() && first.GetWidth() * first.GetHeight() <= (1u << 20)) {
            first.SetCodecOption(size ? data[size - 1] % 3 : 0, TypeGif);
            GwMemFile out;
            out.Open();
            if (first.Encode(&out)) {
                const long n = out.Size();
                BYTE* bytes = out.GetBuffer(false);
                FuzzGif again;
                again.DecodeFrame(bytes, static_cast<size_t>(n), 0);
            }
        }
    }
    // Later frames re-read the stream from the start each time; cap the work per input.
    for (long f = 1; f < frames && f < 16; ++f) {
        FuzzGif img;
        img.DecodeFrame(data, size, f);
    }
    return 0;
}
