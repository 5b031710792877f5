// Colour profiles to sRGB for display, through lcms2. A profile comes from the file, so
// it is parsed only inside the codec helper: the program sends its pixels there.
#include <lcms2.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "imaging/AlphaBlend.h"
#include "imaging/CodecClient.h"
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

struct ToneCurveFree {
  void operator()(cmsToneCurve* c) const { cmsFreeToneCurve(c); }
};

// The tone curve of an ITU-T H.273 transfer code point; null for those this program does
// not show converted (HDR, logarithmic). BT.709's and BT.2020's own curves are shown as
// sRGB's, as pictures so tagged are shown by other viewers.
std::unique_ptr<cmsToneCurve, ToneCurveFree> TransferCurve(int transfer) {
  switch (transfer) {
    case 1:   // BT.709
    case 2:   // unspecified
    case 6:   // BT.601
    case 13:  // sRGB (IEC 61966-2-1)
    case 14:  // BT.2020 10-bit
    case 15: {  // BT.2020 12-bit
      const cmsFloat64Number srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
      return std::unique_ptr<cmsToneCurve, ToneCurveFree>(cmsBuildParametricToneCurve(nullptr, 4, srgb));
    }
    case 4:  // gamma 2.2
      return std::unique_ptr<cmsToneCurve, ToneCurveFree>(cmsBuildGamma(nullptr, 2.2));
    case 5:  // gamma 2.8
      return std::unique_ptr<cmsToneCurve, ToneCurveFree>(cmsBuildGamma(nullptr, 2.8));
    case 8:  // linear
      return std::unique_ptr<cmsToneCurve, ToneCurveFree>(cmsBuildGamma(nullptr, 1.0));
    default:
      return nullptr;
  }
}

}  // namespace

std::vector<uint8_t> ProfileForPrimaries(const ColourPrimaries& primaries, int transfer) {
  const bool srgbPrimaries = primaries.code == 1 || primaries.code == 2;
  const std::unique_ptr<cmsToneCurve, ToneCurveFree> curve = TransferCurve(transfer);
  // sRGB's own primaries with a curve shown as sRGB's: nothing to convert.
  if (!curve || (srgbPrimaries && transfer != 4 && transfer != 5 && transfer != 8)) return {};
  const cmsCIExyY white = {primaries.xy[6], primaries.xy[7], 1.0};
  const cmsCIExyYTRIPLE rgb = {{primaries.xy[0], primaries.xy[1], 1.0},
                               {primaries.xy[2], primaries.xy[3], 1.0},
                               {primaries.xy[4], primaries.xy[5], 1.0}};
  for (double v : primaries.xy)
    if (!(v > 0 && v < 1)) return {};
  cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
  const Profile profile(cmsCreateRGBProfile(&white, &rgb, curves));
  cmsUInt32Number size = 0;
  if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0) return {};
  std::vector<uint8_t> bytes(size);
  if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) return {};
  return bytes;
}

namespace {

// Block averages of shrink x shrink pixels; with alpha, colours are weighted by it, so
// that the colour of transparent pixels does not show.
std::vector<uint8_t> ShrinkBlocks(const uint8_t* pixels, size_t stride, int channels, int shrink,
                                  int outW, int outH) {
  std::vector<uint8_t> out(size_t(outW) * size_t(outH) * size_t(channels));
  std::vector<uint32_t> sums(size_t(outW) * 4);
  const uint32_t count = uint32_t(shrink * shrink);
  for (int oy = 0; oy < outH; ++oy) {
    std::fill(sums.begin(), sums.end(), 0);
    for (int dy = 0; dy < shrink; ++dy) {
      const uint8_t* in = pixels + size_t(oy * shrink + dy) * stride;
      for (int ox = 0; ox < outW; ++ox) {
        uint32_t* sum = &sums[size_t(ox) * 4];
        for (int dx = 0; dx < shrink; ++dx, in += channels) {
          const uint32_t weight = channels == 4 ? in[3] : 1;
          sum[0] += in[0] * weight, sum[1] += in[1] * weight, sum[2] += in[2] * weight;
          sum[3] += weight;
        }
      }
    }
    uint8_t* o = out.data() + size_t(oy) * size_t(outW) * size_t(channels);
    for (int ox = 0; ox < outW; ++ox, o += channels) {
      const uint32_t* sum = &sums[size_t(ox) * 4];
      const uint32_t weight = std::max<uint32_t>(sum[3], 1);
      for (int c = 0; c < 3; ++c) o[c] = uint8_t((sum[c] + weight / 2) / weight);
      if (channels == 4) o[3] = uint8_t((sum[3] + count / 2) / count);
    }
  }
  return out;
}

}  // namespace

int ThumbnailShrink(const CodecLoadRequest& request, int width, int height) {
  if (!(request.flags & kCodecLoadThumbnail) || request.boxWidth <= 0 || request.boxHeight <= 0)
    return 1;
  // At most 64: the sums of a block stay within 32 bits.
  const int box = std::max(request.boxWidth, request.boxHeight);
  return std::clamp(std::min(width, height) / (2 * box), 1, 64);
}

bool DeliverRgb(const uint8_t* pixels, int width, int height, size_t stride, int channels,
                const std::vector<uint8_t>& icc, bool toSrgb, const CodecPixelTarget& target,
                int shrink) {
  if (width <= 0 || height <= 0 || (channels != 3 && channels != 4)) return false;
  if (shrink > 1 && width / shrink > 0 && height / shrink > 0) {
    const int outW = width / shrink, outH = height / shrink;
    const std::vector<uint8_t> small = ShrinkBlocks(pixels, stride, channels, shrink, outW, outH);
    return DeliverRgb(small.data(), outW, outH, size_t(outW) * size_t(channels), channels, icc,
                      toSrgb, target);
  }
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

bool DeliverShrunk(const Bitmap& picture, int shrink, const CodecPixelTarget& target) {
  if (picture.Empty()) return false;
  shrink = std::clamp(shrink, 1, std::min(picture.Width(), picture.Height()));
  const int outW = picture.Width() / shrink, outH = picture.Height() / shrink;
  uint8_t* rows = target(outW, outH);
  if (!rows) return false;
  const size_t outStride = Bitmap::StrideFor(outW);
  if (shrink == 1) {
    std::memcpy(rows, picture.Bits(), outStride * size_t(outH));
    return true;
  }
  // The same averaging for B, G, R as for R, G, B.
  const std::vector<uint8_t> small =
      ShrinkBlocks(picture.Bits(), picture.Stride(), 3, shrink, outW, outH);
  for (int y = 0; y < outH; ++y) {
    uint8_t* out = rows + size_t(y) * outStride;
    std::memcpy(out, small.data() + size_t(y) * size_t(outW) * 3, size_t(outW) * 3);
    std::memset(out + size_t(outW) * 3, 0, outStride - size_t(outW) * 3);
  }
  return true;
}

namespace {
std::atomic<bool> g_profilesParsedHere{false};
}

void ParseColourProfilesHere() { g_profilesParsedHere = true; }

bool ConvertRowsToSrgb(uint8_t* rows, int width, int height, size_t stride,
                       const std::vector<uint8_t>& icc) {
  const Transform transform =
      width <= 0 || height <= 0 ? nullptr : ToSrgb(icc, TYPE_BGR_8, TYPE_BGR_8, 0);
  if (!transform) return false;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = rows + size_t(y) * stride;
    cmsDoTransform(transform.get(), row, row, cmsUInt32Number(width));
  }
  return true;
}

void ConvertToSrgb(Bitmap& picture, const std::vector<uint8_t>& icc) {
  if (picture.Empty() || icc.empty()) return;
  if (g_profilesParsedHere) {
    ConvertRowsToSrgb(picture.Bits(), picture.Width(), picture.Height(), picture.Stride(), icc);
    return;
  }
  // Left as it is when the helper cannot do it: never parsed here.
  ThreadCodecClient().ConvertToSrgb(picture, icc);
}

}  // namespace quorvane
