// Fuzzes the GIF reader: every frame of the input is decoded, then the first frame (when at
// most 65536 pixels, to keep runs fast) is written back with the coder chosen by the input's
// last byte and read again. Screens of more than
// 1024 x 1024 pixels are skipped after the screen-size query: a 16-bit screen size can ask
// for a canvas of gigabytes, which the library legitimately allocates, and large canvases
// only slow the search without reaching new code.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/gif/gw_image_gif.h"
#include "image/gw_mem_file.h"

#ifdef GLYPHWELL_LIBFUZZER
#include "fuzz/gif_structure_mutator.h"

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned seed) {
    return gifmut::Mutate(data, size, maxSize, seed);
}
#endif

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
    uint64_t screen = 0;
    {
        FuzzGif probe;
        if (!probe.DecodeFrame(data, size, 0, -1)) return 0;
        screen = uint64_t{probe.GetWidth()} * probe.GetHeight();
        if (screen > (1u << 20)) return 0;
    }
    long frames = 0;
    {
        FuzzGif first;
        first.DecodeFrame(data, size, 0);
        frames = first.GetNumFrames();
        if (first.IsValid() && uint64_t{first.GetWidth()} * first.GetHeight() <= (1u << 16)) {
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
    // Frame f is composed from frames 0..f, so decoding every frame costs frames^2 screens;
    // keep each input's work to a few million pixels.
    for (long f = 1; f < frames && f < 16 && uint64_t(f + 1) * (f + 2) / 2 * (screen + 1) <= (uint64_t{1} << 22); ++f) {
        FuzzGif img;
        img.DecodeFrame(data, size, f);
    }
    return 0;
}
