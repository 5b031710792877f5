// JPEG XL files through libjxl.
#include <jxl/decode.h>
#include <jxl/decode_cxx.h>

#include <vector>

#include "imaging/PictureDecoders.h"
#include "platform/FileIO.h"

namespace quorvane {

namespace {

constexpr size_t kMaxJxlBytes = size_t(1) << 30;

}  // namespace

bool DecodeJxl(const std::string& path, const CodecLoadRequest& request,
               const CodecPixelTarget& target, CodecLoadResult& result) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error) || bytes.empty() || bytes.size() > kMaxJxlBytes)
    return false;
  const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
  JxlDecoder* dec = decoder.get();
  // The decoder turns the picture by the orientation in its header (the default).
  if (!dec ||
      JxlDecoderSubscribeEvents(dec, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                         JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
      JxlDecoderSetInput(dec, bytes.data(), bytes.size()) != JXL_DEC_SUCCESS)
    return false;
  JxlDecoderCloseInput(dec);

  JxlBasicInfo info{};
  JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  std::vector<uint8_t> icc, pixels;
  for (;;) {
    switch (JxlDecoderProcessInput(dec)) {
      case JXL_DEC_BASIC_INFO:
        if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS ||
            !Bitmap::SizeAllowed(info.xsize, info.ysize))
          return false;
        format.num_channels = info.alpha_bits ? 4 : 3;
        result.fullWidth = int(info.xsize);
        result.fullHeight = int(info.ysize);
        break;
      case JXL_DEC_COLOR_ENCODING: {
        size_t size = 0;
        if (JxlDecoderGetICCProfileSize(dec, &format, JXL_COLOR_PROFILE_TARGET_DATA, &size) ==
                JXL_DEC_SUCCESS &&
            size > 0 && size < (size_t(1) << 24)) {
          icc.resize(size);
          if (JxlDecoderGetColorAsICCProfile(dec, &format, JXL_COLOR_PROFILE_TARGET_DATA,
                                             icc.data(), size) != JXL_DEC_SUCCESS)
            icc.clear();
        }
        break;
      }
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        size_t size = 0;
        if (JxlDecoderImageOutBufferSize(dec, &format, &size) != JXL_DEC_SUCCESS) return false;
        pixels.resize(size);
        if (JxlDecoderSetImageOutBuffer(dec, &format, pixels.data(), size) != JXL_DEC_SUCCESS)
          return false;
        break;
      }
      case JXL_DEC_FULL_IMAGE: {
        // The first frame of an animation is enough. Turned pictures come out turned.
        const bool turned = info.orientation >= JXL_ORIENT_TRANSPOSE;
        const int width = int(turned ? info.ysize : info.xsize);
        const int height = int(turned ? info.xsize : info.ysize);
        result.fullWidth = width;
        result.fullHeight = height;
        if (pixels.size() < size_t(width) * size_t(height) * format.num_channels) return false;
        return DeliverRgb(pixels.data(), width, height, size_t(width) * format.num_channels,
                          int(format.num_channels), icc,
                          (request.flags & kCodecLoadForDisplay) != 0, target);
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
