// ImageMagick's resize and rotation for the side-by-side benchmarks (MagickCore, the library
// under Magick++).
#include "bench/magick_peer.h"

#include <Magick++.h>

namespace {

MagickCore::Image* Core(const MagickPeerImage* image) {
    return reinterpret_cast<MagickCore::Image*>(const_cast<MagickPeerImage*>(image));
}

MagickPeerImage* Peer(MagickCore::Image* image) { return reinterpret_cast<MagickPeerImage*>(image); }

}  // namespace

MagickPeerImage* MagickPeerPicture(const unsigned char* rgb, int side) {
    static bool started = false;
    if (!started) {
        Magick::InitializeMagick(nullptr);
        MagickCore::SetMagickResourceLimit(MagickCore::ThreadResource, 1);
        started = true;
    }
    MagickCore::ExceptionInfo* e = MagickCore::AcquireExceptionInfo();
    MagickCore::Image* image = MagickCore::ConstituteImage(side, side, "RGB", MagickCore::CharPixel, rgb, e);
    MagickCore::DestroyExceptionInfo(e);
    return Peer(image);
}

MagickPeerImage* MagickPeerResize(const MagickPeerImage* image, int width, int height) {
    MagickCore::ExceptionInfo* e = MagickCore::AcquireExceptionInfo();
    MagickCore::Image* out = MagickCore::ResizeImage(Core(image), width, height, MagickCore::TriangleFilter, 1.0, e);
    MagickCore::DestroyExceptionInfo(e);
    return Peer(out);
}

MagickPeerImage* MagickPeerRotate(const MagickPeerImage* image, double degrees) {
    MagickCore::ExceptionInfo* e = MagickCore::AcquireExceptionInfo();
    MagickCore::Image* out = MagickCore::RotateImage(Core(image), degrees, e);
    MagickCore::DestroyExceptionInfo(e);
    return Peer(out);
}

MagickPeerImage* MagickPeerDistortRotate(MagickPeerImage* image, double degrees) {
    MagickCore::Image* core = Core(image);
    core->interpolate = MagickCore::BilinearInterpolatePixel;
    MagickCore::ExceptionInfo* e = MagickCore::AcquireExceptionInfo();
    MagickCore::Image* out =
        MagickCore::DistortImage(core, MagickCore::ScaleRotateTranslateDistortion, 1, &degrees, MagickCore::MagickTrue, e);
    MagickCore::DestroyExceptionInfo(e);
    return Peer(out);
}

void MagickPeerFree(MagickPeerImage* image) {
    if (image) MagickCore::DestroyImage(Core(image));
}
