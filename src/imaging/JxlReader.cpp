// JPEG XL files through libjxl.
#include <jxl/decode.h>
#include <jxl/decode_cxx.h>

#include <vector>

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

// The payload of an "Exif" box starts with the offset of the TIFF header after its
// first four bytes.
std::vector<uint8_t> TiffOfExifBox(const std::vector<uint8_t>& box) {
  if (box.size() < 8) return {};
  const size_t skip = 4 + ((size_t(box[0]) << 24) | (size_t(box[1]) << 16) |
                           (size_t(box[2]) << 8) | size_t(box[3]));
  if (skip >= box.size()) return {};
  return std::vector<uint8_t>(box.begin() + std::ptrdiff_t(skip), box.end());
}

}  // namespace

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

bool DecodeJxl(const std::string& path, const CodecLoadRequest& request,
               const CodecPixelTarget& target, CodecLoadResult& result) {
  std::vector<uint8_t> bytes;
  // The decoder turns the picture by the orientation in its header (the default).
  const JxlDecoderPtr decoder =
      OpenDecoder(path, bytes, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE);
  JxlDecoder* dec = decoder.get();
  if (!dec) return false;

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
