// GwImageGIF construction, copying and the GIF settings (looping, disposal, comment).
#include "image/gif/gw_image_gif.h"

#include <cstring>

GwImageGIF::GwImageGIF() : GwImage(TypeGif), loops(0), disposal(0) {
    std::memset(gce, 0, sizeof(gce));
    std::memset(comment, 0, sizeof(comment));
}

GwImageGIF::GwImageGIF(const GwImageGIF& src) : GwImage(src, true, true, true) {
    CopyGifSettings(src);
}

GwImageGIF& GwImageGIF::operator=(const GwImageGIF& src) {
    if (this != &src) {
        GwImage::operator=(src);
        CopyGifSettings(src);
    }
    return *this;
}

void GwImageGIF::CopyGifSettings(const GwImageGIF& src) {
    std::memcpy(gce, src.gce, sizeof(gce));
    std::memcpy(comment, src.comment, sizeof(comment));
    comment[sizeof(comment) - 1] = '\0';
    loops = src.loops;
    disposal = src.disposal;
}

void GwImageGIF::SetLoops(int value) { loops = value; }
int GwImageGIF::GetLoops() const { return loops; }
void GwImageGIF::SetDisposalMethod(int method) { disposal = method; }
int GwImageGIF::GetDisposalMethod() const { return disposal; }

void GwImageGIF::SetComment(const char* text) {
    if (!text) return;
    std::strncpy(comment, text, 255);
    comment[255] = '\0';
}

void GwImageGIF::GetComment(char* out) const {
    if (!out) return;
    const size_t n = strnlen(comment, 255);
    std::memcpy(out, comment, n);
    out[n] = '\0';
}
