// JPEG XL files through libjxl.
#include <jxl/decode.h>
#include <jxl/decode_cxx.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/ImgResize.h"
#include "imaging/PictureDecoders.h"
#include "platform/FileIO.h"

namespace quorvane {

namespace {

constexpr size_t kMaxJxlBytes = size_t(1) << 30;
constexpr size_t kMaxIccBytes = size_t(1) << 24;
constexpr size_t kMaxExifBytes = size_t(1) << 24;

// A decoder fed the whole file `bytes`, subscribed to `events`; null when the file cannot
// be had or the decoder refuses it.
JxlDecoderPtr OpenDecoder(const std::string& path, std::vector<uint8_t>& bytes, int events) {
  std::string error;
  if (!ReadWholeFile(path, bytes, error) || bytes.empty() || bytes.size() > kMaxJxlBytes)
    return nullptr;
  JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
  if (!decoder || JxlDecoderSubscribeEvents(decoder.get(), events) != JXL_DEC_SUCCESS ||
      JxlDecoderSetInput(decoder.get(), bytes.data(), bytes.size()) != JXL_DEC_SUCCESS)
    return nullptr;
  JxlDecoderCloseInput(decoder.get());
  return decoder;
}

// The picture's colour profile as the file gives it, at the JXL_DEC_COLOR_ENCODING event.
std::vector<uint8_t> ColourProfile(JxlDecoder* dec) {
  size_t size = 0;
  std::vector<uint8_t> icc;
  if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
          JXL_DEC_SUCCESS ||
      size == 0 || size > kMaxIccBytes)
    return icc;
  icc.resize(size);
  if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, icc.data(),
                                     size) != JXL_DEC_SUCCESS)
    icc.clear();
  return icc;
}

// True when the file describes its colours as plain sRGB (not by a profile of its own).
bool DescribedAsSrgb(JxlDecoder* dec) {
  JxlColorEncoding encoding{};
  if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                         &encoding) != JXL_DEC_SUCCESS)
    return false;
  return encoding.color_space == JXL_COLOR_SPACE_RGB &&
         encoding.white_point == JXL_WHITE_POINT_D65 &&
         encoding.primaries == JXL_PRIMARIES_SRGB &&
         encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

}  // namespace

std::vector<uint8_t> TiffOfExifBox(const std::vector<uint8_t>& box) {
  if (box.size() < 8) return {};
  const size_t skip = 4 + ((size_t(box[0]) << 24) | (size_t(box[1]) << 16) |
                           (size_t(box[2]) << 8) | size_t(box[3]));
  if (skip >= box.size()) return {};
  return std::vector<uint8_t>(box.begin() + std::ptrdiff_t(skip), box.end());
}

bool ReadJxlMetadata(const std::string& path, std::vector<uint8_t>& exif,
                     std::vector<uint8_t>& icc) {
  exif.clear();
  icc.clear();
  std::vector<uint8_t> bytes, box;
  const JxlDecoderPtr decoder = OpenDecoder(path, bytes, JXL_DEC_COLOR_ENCODING | JXL_DEC_BOX);
  JxlDecoder* dec = decoder.get();
  if (!dec || JxlDecoderSetDecompressBoxes(dec, JXL_TRUE) != JXL_DEC_SUCCESS) return false;
  bool inExif = false, seenColour = false;
  // Ends the "Exif" box being read, if any: its bytes are all in `box`.
  auto finishBox = [&] {
    if (!inExif) return;
    box.resize(box.size() - JxlDecoderReleaseBoxBuffer(dec));
    if (exif.empty()) exif = TiffOfExifBox(box);
    inExif = false;
  };
  for (;;) {
    switch (JxlDecoderProcessInput(dec)) {
      case JXL_DEC_COLOR_ENCODING:
        // A file that says sRGB carries no profile of its own: nothing to keep.
        if (!DescribedAsSrgb(dec)) icc = ColourProfile(dec);
        seenColour = true;
        break;
      case JXL_DEC_BOX: {
        finishBox();
        JxlBoxType type;
        if (JxlDecoderGetBoxType(dec, type, JXL_TRUE) != JXL_DEC_SUCCESS) return false;
        if (std::string(type, 4) == "Exif" && exif.empty()) {
          box.assign(65536, 0);
          if (JxlDecoderSetBoxBuffer(dec, box.data(), box.size()) != JXL_DEC_SUCCESS) return false;
          inExif = true;
        }
        break;
      }
      case JXL_DEC_BOX_NEED_MORE_OUTPUT: {
        const size_t used = box.size() - JxlDecoderReleaseBoxBuffer(dec);
        if (box.size() * 2 > kMaxExifBytes) return false;
        box.resize(box.size() * 2);
        if (JxlDecoderSetBoxBuffer(dec, box.data() + used, box.size() - used) != JXL_DEC_SUCCESS)
          return false;
        break;
      }
      case JXL_DEC_SUCCESS:
        finishBox();
        return seenColour;
      default:
        return false;
    }
  }
}

namespace {

// The DC pass of a picture holds one value for each 8 x 8 block.
constexpr int kDcScale = 8;

// True when a picture of `width` x `height` at 1/8 still covers what the thumbnail box
// shows of it.
bool DcServes(const CodecLoadRequest& request, int width, int height) {
  if (!(request.flags & kCodecLoadThumbnail)) return false;
  const FittedSize fitted =
      FitSize(FitKind(request.fitMode), width, height, request.boxWidth, request.boxHeight);
  return fitted.Width > 0 && fitted.Height > 0 &&
         (width + kDcScale - 1) / kDcScale >= fitted.Width &&
         (height + kDcScale - 1) / kDcScale >= fitted.Height;
}

// The picture at 1/8 from the decoder's rendering of its DC pass (each block the same
// smooth value): one pixel from the middle of each 8 x 8 block.
std::vector<uint8_t> DcPixels(const std::vector<uint8_t>& full, int width, int height,
                              int channels, int& outW, int& outH) {
  outW = (width + kDcScale - 1) / kDcScale;
  outH = (height + kDcScale - 1) / kDcScale;
  std::vector<uint8_t> out(size_t(outW) * size_t(outH) * size_t(channels));
  uint8_t* to = out.data();
  for (int y = 0; y < outH; ++y) {
    const int sy = std::min(y * kDcScale + kDcScale / 2, height - 1);
    for (int x = 0; x < outW; ++x, to += channels) {
      const int sx = std::min(x * kDcScale + kDcScale / 2, width - 1);
      std::memcpy(to, &full[(size_t(sy) * size_t(width) + size_t(sx)) * size_t(channels)],
                  size_t(channels));
    }
  }
  return out;
}

}  // namespace

bool DecodeJxl(const std::string& path, const CodecLoadRequest& request,
               const CodecPixelTarget& target, CodecLoadResult& result) {
  std::vector<uint8_t> bytes;
  // The decoder turns the picture by the orientation in its header (the default). A
  // thumbnail that 1/8 of the picture covers stops after the DC pass.
  const JxlDecoderPtr decoder =
      OpenDecoder(path, bytes,
                  JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE |
                      (request.flags & kCodecLoadThumbnail ? JXL_DEC_FRAME_PROGRESSION : 0));
  JxlDecoder* dec = decoder.get();
  if (!dec) return false;
  const bool toSrgb = (request.flags & kCodecLoadForDisplay) != 0;

  JxlBasicInfo info{};
  JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  std::vector<uint8_t> icc, pixels;
  int width = 0, height = 0;  // as the picture comes out: turned pictures turned
  for (;;) {
    switch (JxlDecoderProcessInput(dec)) {
      case JXL_DEC_BASIC_INFO:
        if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS ||
            !Bitmap::SizeAllowed(info.xsize, info.ysize))
          return false;
        format.num_channels = info.alpha_bits ? 4 : 3;
        width = int(info.orientation >= JXL_ORIENT_TRANSPOSE ? info.ysize : info.xsize);
        height = int(info.orientation >= JXL_ORIENT_TRANSPOSE ? info.xsize : info.ysize);
        result.fullWidth = width;
        result.fullHeight = height;
        break;
      case JXL_DEC_COLOR_ENCODING:
        icc = ColourProfile(dec);
        break;
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        size_t size = 0;
        if (JxlDecoderImageOutBufferSize(dec, &format, &size) != JXL_DEC_SUCCESS) return false;
        pixels.resize(size);
        if (JxlDecoderSetImageOutBuffer(dec, &format, pixels.data(), size) != JXL_DEC_SUCCESS)
          return false;
        break;
      }
      case JXL_DEC_FRAME_PROGRESSION: {
        // The decoder's default detail: the DC pass, and the end of each frame.
        if (JxlDecoderGetIntendedDownsamplingRatio(dec) != size_t(kDcScale) ||
            !DcServes(request, width, height) || JxlDecoderFlushImage(dec) != JXL_DEC_SUCCESS)
          break;  // on to the whole picture
        if (pixels.size() < size_t(width) * size_t(height) * format.num_channels) return false;
        int dcW = 0, dcH = 0;
        const std::vector<uint8_t> dc =
            DcPixels(pixels, width, height, int(format.num_channels), dcW, dcH);
        return DeliverRgb(dc.data(), dcW, dcH, size_t(dcW) * format.num_channels,
                          int(format.num_channels), icc, toSrgb, target);
      }
      case JXL_DEC_FULL_IMAGE: {
        // The first frame of an animation is enough.
        if (pixels.size() < size_t(width) * size_t(height) * format.num_channels) return false;
        return DeliverRgb(pixels.data(), width, height, size_t(width) * format.num_channels,
                          int(format.num_channels), icc, toSrgb, target,
                          ThumbnailShrink(request, width, height));
      }
      case JXL_DEC_SUCCESS:
      case JXL_DEC_ERROR:
      case JXL_DEC_NEED_MORE_INPUT:
      default:
        return false;
    }
  }
}

}  // namespace quorvane
