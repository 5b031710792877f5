// Camera RAW files through LibRaw: the developed picture, or for a thumbnail the JPEG
// preview the camera stored in the file.
#include <libraw/libraw.h>

#include <cstring>
#include <exception>
#include <memory>

#include "imaging/ImgResize.h"
#include "imaging/JpegCodec.h"
#include "imaging/Orient.h"
#include "imaging/PictureDecoders.h"
#include "platform/FileIO.h"

namespace quorvane {

namespace {

struct ImageFree {
  void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};

// LibRaw's flip (0, 3, 5, 6) as an EXIF orientation.
int OrientationOfFlip(int flip) {
  switch (flip) {
    case 3:
      return 3;
    case 5:
      return 8;
    case 6:
      return 6;
    default:
      return 1;
  }
}

// The embedded JPEG preview, decoded at the smallest scale that still covers the box
// and turned as the picture is; false when there is none or it does not serve.
bool DecodePreview(LibRaw& raw, const CodecLoadRequest& request, const CodecPixelTarget& target) {
  if (raw.unpack_thumb() != LIBRAW_SUCCESS) return false;
  const libraw_thumbnail_t& thumb = raw.imgdata.thumbnail;
  if (thumb.tformat != LIBRAW_THUMBNAIL_JPEG || !thumb.thumb || thumb.tlength == 0) return false;
  try {
    JpegReader reader(std::vector<uint8_t>(thumb.thumb, thumb.thumb + thumb.tlength));
    const int orientation = OrientationOfFlip(raw.imgdata.sizes.flip);
    const bool swap = OrientationSwapsSides(orientation);
    const int boxW = swap ? request.boxHeight : request.boxWidth;
    const int boxH = swap ? request.boxWidth : request.boxHeight;
    const int fullW = raw.imgdata.sizes.width, fullH = raw.imgdata.sizes.height;
    if (!EmbeddedThumbnailServes(FitKind(request.fitMode), fullW, fullH, reader.Width(),
                                 reader.Height(), boxW, boxH))
      return false;
    Bitmap preview;
    const int scale = JpegDecodeScale(reader.Width(), reader.Height(), boxW, boxH);
    reader.Decode(preview, scale, JpegPerformance::jpBestSpeed);
    ApplyOrientation(preview, orientation);
    uint8_t* rows = target(preview.Width(), preview.Height());
    if (!rows) return false;
    std::memcpy(rows, preview.Bits(), preview.ByteSize());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

bool DecodeRaw(const std::string& path, const CodecLoadRequest& request,
               const CodecPixelTarget& target, CodecLoadResult& result) {
  // Read from memory: in the helper the file is the descriptor handed to it.
  std::vector<uint8_t> bytes;
  std::string unread;
  if (!ReadWholeFile(path, bytes, unread) || bytes.empty()) return false;
  auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
  if (raw->open_buffer(bytes.data(), bytes.size()) != LIBRAW_SUCCESS) return false;
  const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
  const bool swap = OrientationSwapsSides(OrientationOfFlip(sizes.flip));
  result.fullWidth = swap ? sizes.height : sizes.width;
  result.fullHeight = swap ? sizes.width : sizes.height;
  if (!Bitmap::SizeAllowed(sizes.width, sizes.height)) return false;
  if ((request.flags & kCodecLoadThumbnail) && DecodePreview(*raw, request, target)) {
    result.fromEmbedded = 1;
    return true;
  }
  // Developed as the camera's white balance has it, 8 bits, sRGB, turned by its flip.
  raw->imgdata.params.use_camera_wb = 1;
  raw->imgdata.params.output_bps = 8;
  raw->imgdata.params.output_color = 1;
  if (raw->unpack() != LIBRAW_SUCCESS || raw->dcraw_process() != LIBRAW_SUCCESS) return false;
  int error = 0;
  std::unique_ptr<libraw_processed_image_t, ImageFree> image(raw->dcraw_make_mem_image(&error));
  if (!image || error != LIBRAW_SUCCESS || image->type != LIBRAW_IMAGE_BITMAP ||
      image->bits != 8 || image->colors != 3)
    return false;
  const size_t stride = size_t(image->width) * 3;
  if (image->data_size < stride * image->height) return false;
  return DeliverRgb(image->data, image->width, image->height, stride, 3, {}, false, target,
                    ThumbnailShrink(request, image->width, image->height));
}

}  // namespace quorvane
