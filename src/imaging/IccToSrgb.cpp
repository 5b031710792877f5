// Colour profiles to sRGB for display, through lcms2.
#include <lcms2.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/AlphaBlend.h"
#include "imaging/PictureDecoders.h"

namespace quorvane {

namespace {

struct ProfileCloser {
  void operator()(void* p) const { cmsCloseProfile(p); }
};
struct TransformDeleter {
  void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;
using Transform = std::unique_ptr<void, TransformDeleter>;

// A transform from the profile to sRGB between the given pixel types; null when the
// profile is empty, damaged or not an RGB profile.
Transform ToSrgb(const std::vector<uint8_t>& icc, cmsUInt32Number inType, cmsUInt32Number outType,
                 cmsUInt32Number flags) {
  if (icc.empty()) return nullptr;
  Profile source(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
  if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData) return nullptr;
  Profile srgb(cmsCreate_sRGBProfile());
  if (!srgb) return nullptr;
  return Transform(cmsCreateTransform(source.get(), inType, srgb.get(), outType,
                                      INTENT_PERCEPTUAL, flags | cmsFLAGS_NOCACHE));
}

}  // namespace

bool DeliverRgb(const uint8_t* pixels, int width, int height, size_t stride, int channels,
                const std::vector<uint8_t>& icc, bool toSrgb, const CodecPixelTarget& target) {
  if (width <= 0 || height <= 0 || (channels != 3 && channels != 4)) return false;
  uint8_t* rows = target(width, height);
  if (!rows) return false;
  const Transform transform =
      toSrgb ? ToSrgb(icc, channels == 4 ? TYPE_RGBA_8 : TYPE_RGB_8, TYPE_BGRA_8,
                      channels == 4 ? cmsFLAGS_COPY_ALPHA : 0)
             : nullptr;
  const size_t outStride = Bitmap::StrideFor(width);
  std::vector<uint8_t> bgra(size_t(width) * 4, 255);
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = pixels + size_t(y) * stride;
    if (transform) {
      cmsDoTransform(transform.get(), in, bgra.data(), cmsUInt32Number(width));
    } else {
      for (int x = 0; x < width; ++x, in += channels) {
        uint8_t* p = &bgra[size_t(x) * 4];
        p[0] = in[2], p[1] = in[1], p[2] = in[0];
        if (channels == 4) p[3] = in[3];
      }
    }
    uint8_t* out = rows + size_t(y) * outStride;
    BgraRowOverWhite(bgra.data(), out, size_t(width));
    std::memset(out + size_t(width) * 3, 0, outStride - size_t(width) * 3);
  }
  return true;
}

void ConvertToSrgb(Bitmap& picture, const std::vector<uint8_t>& icc) {
  const Transform transform = picture.Empty() ? nullptr : ToSrgb(icc, TYPE_BGR_8, TYPE_BGR_8, 0);
  if (!transform) return;
  for (int y = 0; y < picture.Height(); ++y)
    cmsDoTransform(transform.get(), picture.ScanLine(y), picture.ScanLine(y),
                   cmsUInt32Number(picture.Width()));
}

}  // namespace quorvane
