// HEIF and AVIF files through libheif (its HEVC and AV1 decoders).
#include <libheif/heif.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/ImgResize.h"
#include "imaging/PictureDecoders.h"
#include "platform/FileIO.h"

namespace quorvane {

namespace {

struct ContextFree {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleRelease {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageRelease {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
using Handle = std::unique_ptr<heif_image_handle, HandleRelease>;
using Context = std::unique_ptr<heif_context, ContextFree>;

// The file parsed, with libheif's own limit on an image's side set to the bitmap limits
// (its default lets through sides no bitmap here may have); null when it cannot be read.
// Reads the file into `bytes` (in the helper, through the descriptor handed to it) for a
// context that uses them without a copy: they must outlive it. The context refuses
// pictures beyond the bitmap limits.
Context OpenContext(const std::string& path, std::vector<uint8_t>& bytes) {
  Context context(heif_context_alloc());
  if (!context) return nullptr;
  heif_context_set_maximum_image_size_limit(context.get(), Bitmap::kMaxSide);
  std::string error;
  if (!ReadWholeFile(path, bytes, error) ||
      heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(),
                                                 nullptr)
          .code)
    return nullptr;
  return context;
}

std::vector<uint8_t> ColourProfile(const heif_image_handle* handle) {
  const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
  if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
  std::vector<uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle));
  if (icc.empty() || heif_image_handle_get_raw_color_profile(handle, icc.data()).code)
    return {};
  return icc;
}

struct NclxFree {
  void operator()(heif_color_profile_nclx* p) const { heif_nclx_color_profile_free(p); }
};

// The colours to show the picture by: its ICC profile, else a profile made from the
// primaries and transfer of its nclx colour (what phones and AVIF encoders write).
std::vector<uint8_t> DisplayProfile(const heif_image_handle* handle) {
  std::vector<uint8_t> icc = ColourProfile(handle);
  heif_color_profile_nclx* nclx = nullptr;
  if (!icc.empty() || heif_image_handle_get_nclx_color_profile(handle, &nclx).code || !nclx)
    return icc;
  const std::unique_ptr<heif_color_profile_nclx, NclxFree> owned(nclx);
  ColourPrimaries primaries;
  primaries.code = int(nclx->color_primaries);
  const float xy[8] = {nclx->color_primary_red_x,   nclx->color_primary_red_y,
                       nclx->color_primary_green_x, nclx->color_primary_green_y,
                       nclx->color_primary_blue_x,  nclx->color_primary_blue_y,
                       nclx->color_primary_white_x, nclx->color_primary_white_y};
  std::copy(std::begin(xy), std::end(xy), primaries.xy);
  return ProfileForPrimaries(primaries, int(nclx->transfer_characteristics));
}

// The smallest thumbnail item that may stand for the picture in the box; null when none.
Handle ServingThumbnail(const heif_image_handle* primary, const CodecLoadRequest& request) {
  const int count = heif_image_handle_get_number_of_thumbnails(primary);
  if (count <= 0) return nullptr;
  std::vector<heif_item_id> ids(static_cast<size_t>(count));
  heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), count);
  const int fullW = heif_image_handle_get_width(primary);
  const int fullH = heif_image_handle_get_height(primary);
  Handle best;
  for (heif_item_id id : ids) {
    heif_image_handle* thumb = nullptr;
    if (heif_image_handle_get_thumbnail(primary, id, &thumb).code || !thumb) continue;
    Handle candidate(thumb);
    const int w = heif_image_handle_get_width(thumb), h = heif_image_handle_get_height(thumb);
    if (!EmbeddedThumbnailServes(FitKind(request.fitMode), fullW, fullH, w, h,
                                 request.boxWidth, request.boxHeight))
      continue;
    if (!best || int64_t(w) * h < int64_t(heif_image_handle_get_width(best.get())) *
                                      heif_image_handle_get_height(best.get()))
      best = std::move(candidate);
  }
  return best;
}

bool DecodeHandle(const heif_image_handle* handle, const std::vector<uint8_t>& icc, bool toSrgb,
                  const CodecLoadRequest& request, const CodecPixelTarget& target) {
  // The size the file declares is checked before the decoder takes its memory, whatever
  // the picture is shrunk to afterwards.
  const int declaredW = heif_image_handle_get_width(handle);
  const int declaredH = heif_image_handle_get_height(handle);
  if (declaredW <= 0 || declaredH <= 0 || !Bitmap::SizeAllowed(declaredW, declaredH))
    return false;
  const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
  std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
  if (!options) return false;
  options->ignore_transformations = 0;  // irot, imir and clap belong to the picture
  options->convert_hdr_to_8bit = 1;
  heif_image* decoded = nullptr;
  if (heif_decode_image(handle, &decoded, heif_colorspace_RGB,
                        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                        options.get())
          .code ||
      !decoded)
    return false;
  std::unique_ptr<heif_image, ImageRelease> image(decoded);
  int stride = 0;
  const uint8_t* pixels = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
  const int width = heif_image_get_width(decoded, heif_channel_interleaved);
  const int height = heif_image_get_height(decoded, heif_channel_interleaved);
  if (!pixels || stride <= 0 || heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved) != 8)
    return false;
  return DeliverRgb(pixels, width, height, size_t(stride), alpha ? 4 : 3, icc, toSrgb, target,
                    ThumbnailShrink(request, width, height));
}

}  // namespace

namespace {

std::vector<uint8_t> ExifBlock(const heif_image_handle* handle) {
  heif_item_id id = 0;
  if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return {};
  std::vector<uint8_t> block(heif_image_handle_get_metadata_size(handle, id));
  if (block.size() < 8 || heif_image_handle_get_metadata(handle, id, block.data()).code)
    return {};
  return TiffOfExifBox(block);
}

}  // namespace

bool ReadHeifMetadata(const std::string& path, std::vector<uint8_t>& exif,
                      std::vector<uint8_t>& icc) {
  std::vector<uint8_t> bytes;
  const Context context = OpenContext(path, bytes);
  heif_image_handle* primary = nullptr;
  if (!context || heif_context_get_primary_image_handle(context.get(), &primary).code ||
      !primary)
    return false;
  const Handle handle(primary);
  exif = ExifBlock(primary);
  // Colours given by primaries go along as a profile too, so that a result keeps them.
  icc = DisplayProfile(primary);
  return true;
}

bool DecodeHeif(const std::string& path, const CodecLoadRequest& request,
                const CodecPixelTarget& target, CodecLoadResult& result) {
  std::vector<uint8_t> bytes;
  const Context context = OpenContext(path, bytes);
  if (!context) return false;
  heif_image_handle* primary = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &primary).code || !primary)
    return false;
  const Handle handle(primary);
  result.fullWidth = heif_image_handle_get_width(primary);
  result.fullHeight = heif_image_handle_get_height(primary);
  // A thumbnail item has its own colour profile, or shares the picture's. The profile
  // serves only the screen.
  const bool toSrgb = request.flags & kCodecLoadForDisplay;
  const std::vector<uint8_t> icc = toSrgb ? DisplayProfile(primary) : std::vector<uint8_t>();
  if (request.flags & kCodecLoadThumbnail) {
    if (const Handle thumb = ServingThumbnail(primary, request)) {
      const std::vector<uint8_t> own = toSrgb ? DisplayProfile(thumb.get()) : icc;
      if (DecodeHandle(thumb.get(), own.empty() ? icc : own, toSrgb, request, target)) {
        result.fromEmbedded = 1;
        return true;
      }
    }
  }
  return DecodeHandle(primary, icc, toSrgb, request, target);
}

}  // namespace quorvane
