// AVIF files through libavif and the AOM AV1 encoder: 8-bit YUV 4:2:0 in full range with
// sRGB colour (or the source's ICC profile), EXIF as a metadata item.

#include <avif/avif.h>

#include <algorithm>
#include <memory>

#include "processing/EncodedWriters.h"
#include "processing/OutputFile.h"

namespace quorvane {

namespace {

// avifenc's default speed: the usual balance of speed and size.
constexpr int kAvifSpeed = 6;

struct ImageDelete {
  void operator()(avifImage* image) const { avifImageDestroy(image); }
};
struct EncoderDelete {
  void operator()(avifEncoder* encoder) const { avifEncoderDestroy(encoder); }
};

[[noreturn]] void Fail(avifResult result) {
  if (result == AVIF_RESULT_OUT_OF_MEMORY) throw std::bad_alloc();
  throw ImageWriteError(std::string("libavif refused the picture: ") + avifResultToString(result));
}

}  // namespace

int AvifQuantizerFor(int quality) {
  return std::min(63, ((100 - std::clamp(quality, 1, 100)) * 63 + 35) / 70);
}

void WriteAvifFile(const std::string& path, const Bitmap& bmp, const EncodeOptions& options) {
  if (bmp.Empty()) throw ImageWriteError("cannot write an empty picture");
  std::unique_ptr<avifImage, ImageDelete> image(
      avifImageCreate(bmp.Width(), bmp.Height(), 8, AVIF_PIXEL_FORMAT_YUV420));
  if (!image) throw std::bad_alloc();
  image->yuvRange = AVIF_RANGE_FULL;
  image->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_BT601;
  const EmbeddedMetadata* meta = options.metadata;
  if (meta && !meta->icc.empty()) {
    avifImageSetProfileICC(image.get(), meta->icc.data(), meta->icc.size());
  } else {
    image->colorPrimaries = AVIF_COLOR_PRIMARIES_BT709;
    image->transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_SRGB;
  }
  // libavif reads the Orientation from the EXIF and sets the container's own rotation
  // and mirror (irot, imir) to match, so readers that ignore EXIF show it the same.
  if (meta && !meta->exif.empty())
    avifImageSetMetadataExif(image.get(), meta->exif.data(), meta->exif.size());

  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, image.get());
  rgb.format = AVIF_RGB_FORMAT_BGR;
  rgb.depth = 8;
  rgb.pixels = const_cast<uint8_t*>(bmp.Bits());
  rgb.rowBytes = uint32_t(bmp.Stride());
  avifResult result = avifImageRGBToYUV(image.get(), &rgb);
  if (result != AVIF_RESULT_OK) Fail(result);

  std::unique_ptr<avifEncoder, EncoderDelete> encoder(avifEncoderCreate());
  if (!encoder) throw std::bad_alloc();
  encoder->codecChoice = AVIF_CODEC_CHOICE_AOM;
  encoder->speed = kAvifSpeed;
  encoder->maxThreads = std::max(1, options.threads);
  encoder->minQuantizer = encoder->maxQuantizer = AvifQuantizerFor(options.quality);
  avifRWData output = AVIF_DATA_EMPTY;
  result = avifEncoderWrite(encoder.get(), image.get(), &output);
  if (result != AVIF_RESULT_OK) Fail(result);
  std::unique_ptr<avifRWData, void (*)(avifRWData*)> free(&output, avifRWDataFree);
  WriteWholeFile(path, output.data, output.size);
}

}  // namespace quorvane
