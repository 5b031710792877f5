// JPEG XL files through libjxl: 8-bit RGB, lossy (VarDCT at a Butteraugli distance) or
// lossless (modular), in the container when EXIF goes along as an "Exif" box.

#include <jxl/encode.h>
#include <jxl/encode_cxx.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "processing/EncodedWriters.h"
#include "processing/OutputFile.h"

namespace quorvane {

namespace {

// cjxl's default effort ("squirrel"): the usual balance of speed and size.
constexpr int kJxlEffort = 7;

void Check(JxlEncoder* encoder, JxlEncoderStatus status) {
  if (status == JXL_ENC_SUCCESS) return;
  if (JxlEncoderGetError(encoder) == JXL_ENC_ERR_OOM) throw std::bad_alloc();
  throw ImageWriteError("libjxl refused the picture");
}

}  // namespace

float JxlDistanceFor(int quality) {
  const float q = float(std::clamp(quality, 1, 100));
  if (q >= 30) return 0.1f + (100 - q) * 0.09f;
  return 53.0f / 3000.0f * q * q - 23.0f / 20.0f * q + 25.0f;
}

void WriteJxlFile(const std::string& path, const Bitmap& bmp, const EncodeOptions& options) {
  if (bmp.Empty()) throw ImageWriteError("cannot write an empty picture");
  const int width = bmp.Width(), height = bmp.Height();
  const EmbeddedMetadata* meta = options.metadata;
  const bool withExif = meta && !meta->exif.empty();
  const bool withIcc = meta && !meta->icc.empty();

  JxlEncoderPtr owner = JxlEncoderMake(nullptr);
  JxlEncoder* encoder = owner.get();
  if (!encoder) throw std::bad_alloc();
  JxlThreadParallelRunnerPtr runner;
  if (options.threads > 1) {
    runner = JxlThreadParallelRunnerMake(nullptr, size_t(options.threads));
    if (!runner) throw std::bad_alloc();
    Check(encoder, JxlEncoderSetParallelRunner(encoder, JxlThreadParallelRunner, runner.get()));
  }
  if (withExif) Check(encoder, JxlEncoderUseBoxes(encoder));

  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = uint32_t(width);
  info.ysize = uint32_t(height);
  info.bits_per_sample = 8;
  info.num_color_channels = 3;
  // Lossless keeps the samples in their own colour space; lossy works in libjxl's XYB.
  info.uses_original_profile = options.lossless ? JXL_TRUE : JXL_FALSE;
  // Pixels left as stored carry their orientation in the codestream, which JPEG XL
  // readers apply (they ignore the EXIF's).
  if (meta) info.orientation = JxlOrientation(std::clamp(meta->orientation, 1, 8));
  Check(encoder, JxlEncoderSetBasicInfo(encoder, &info));
  if (withIcc) {
    Check(encoder, JxlEncoderSetICCProfile(encoder, meta->icc.data(), meta->icc.size()));
  } else {
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    Check(encoder, JxlEncoderSetColorEncoding(encoder, &srgb));
  }

  if (withExif) {
    // The box holds the offset of the TIFF header (0: right after it), then the TIFF.
    std::vector<uint8_t> box(4 + meta->exif.size(), 0);
    std::memcpy(box.data() + 4, meta->exif.data(), meta->exif.size());
    Check(encoder, JxlEncoderAddBox(encoder, "Exif", box.data(), box.size(), JXL_FALSE));
    JxlEncoderCloseBoxes(encoder);
  }

  JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
  if (!settings) throw std::bad_alloc();
  Check(encoder, JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, kJxlEffort));
  if (options.lossless)
    Check(encoder, JxlEncoderSetFrameLossless(settings, JXL_TRUE));
  else
    Check(encoder, JxlEncoderSetFrameDistance(settings, JxlDistanceFor(options.quality)));

  // The rows as R, G, B, each padded to the bitmap's 4-byte stride.
  const size_t stride = bmp.Stride();
  std::vector<uint8_t> rgb(stride * size_t(height));
  for (int y = 0; y < height; ++y) BgrToRgb(bmp.ScanLine(y), rgb.data() + stride * size_t(y), size_t(width));
  const JxlPixelFormat format = {3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
  Check(encoder, JxlEncoderAddImageFrame(settings, &format, rgb.data(), rgb.size()));
  JxlEncoderCloseInput(encoder);
  rgb = {};

  std::vector<uint8_t> out(size_t(1) << 16);
  size_t used = 0;
  for (;;) {
    uint8_t* next = out.data() + used;
    size_t room = out.size() - used;
    const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder, &next, &room);
    used = size_t(next - out.data());
    if (status == JXL_ENC_SUCCESS) break;
    if (status != JXL_ENC_NEED_MORE_OUTPUT) Check(encoder, status);
    out.resize(out.size() * 2);
  }
  WriteWholeFile(path, out.data(), used);
}

}  // namespace quorvane
