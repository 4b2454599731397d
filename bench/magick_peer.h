// ImageMagick's resize and rotation behind plain functions: its headers define pixel macros
// (GetPixelIndex, SetPixelIndex, ...) that collide with GwImage's member names, so they are
// included in magick_peer.cpp alone.
#pragma once

struct MagickPeerImage;

// A side x side picture from packed RGB bytes, top row first; ImageMagick is limited to one
// thread on first use so that it is compared like with like.
MagickPeerImage* MagickPeerPicture(const unsigned char* rgb, int side);
// Resized with the triangle (bilinear) filter; null on failure.
MagickPeerImage* MagickPeerResize(const MagickPeerImage* image, int width, int height);
// Turned by `degrees` on a canvas grown to hold it (RotateImage: three shears); null on failure.
MagickPeerImage* MagickPeerRotate(const MagickPeerImage* image, double degrees);
// The same turn as an inverse-mapped distortion sampled bilinearly (DistortImage with
// ScaleRotateTranslate, best-fit canvas), the method closest to ours; null on failure.
MagickPeerImage* MagickPeerDistortRotate(MagickPeerImage* image, double degrees);
void MagickPeerFree(MagickPeerImage* image);
