#pragma once
// What the picture-format tests share: the fixture that binds the codec library, and
// pictures, encoders and decoders of the formats' own tools.

#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/BmpFile.h"
#include "imaging/ColourHeader.h"
#include "imaging/ExifMeta.h"
#include "imaging/JpegCodec.h"
#include "imaging/ImageFormats.h"
#include "imaging/ImgResize.h"
#include "imaging/PictureLoader.h"
#include "imaging/OpenIL.h"
#include "imaging/PictureDecoders.h"
#include "imaging/Orient.h"
#include "imaging/ReadImage.h"
#include "platform/FileNames.h"
#include "support/ColourProfiles.h"
#include "support/DamagedFiles.h"
#include "support/DngWriter.h"
#include "support/ExifSamples.h"
#include "support/PixelCompare.h"
#include "support/TestDir.h"
#include "thumbnails/FolderScan.h"
#include "thumbnails/ThumbnailReader.h"

namespace quorvane::test::formats {

using namespace quorvane;
using namespace quorvane::test;

class PictureFormats : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(BindCodecLibrary()) << CodecBindFailure();
    ASSERT_TRUE(CodecInit());
  }
  static void TearDownTestSuite() { UnbindCodecLibrary(); }
};

// Smooth colours with some detail, odd sides: what lossy encoders meet in photos.
inline Bitmap Photo(int w, int h) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(x, y,
                 RGB(uint8_t(x * 255 / w), uint8_t(y * 255 / h), uint8_t((x * y) % 97 + 80)));
  return b;
}

inline Bitmap Flat(int w, int h, RgbColor colour) {
  Bitmap b(w, h);
  b.Fill(colour);
  return b;
}

// The corner picture with each cell grown to `cell` x `cell` pixels (32 x 48 by default).
inline Bitmap BigCorners(int cell = 16) {
  const Bitmap small = CornerPicture();
  Bitmap b(small.Width() * cell, small.Height() * cell);
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) b.SetPixel(x, y, small.Pixel(x / cell, y / cell));
  return b;
}

inline std::string WritePng(const TestDir& dir, const std::string& name, const Bitmap& picture) {
  const std::string bmp = dir.file(name + ".bmp");
  WriteBmpFile(bmp, picture);
  const std::string png = dir.file(name);
  EXPECT_EQ(RunCommand("convert " + ShellQuote(bmp) + " " + ShellQuote("png24:" + png)), 0);
  return png;
}

inline std::string Run(const std::string& command, const std::string& output) {
  EXPECT_EQ(RunCommand(command + " >/dev/null 2>&1"), 0) << command;
  return output;
}

// Encodes a PNG file with the format's own encoder.
inline std::string Encode(const TestDir& dir, const std::string& png, const std::string& name,
                   const std::string& extraOptions = "") {
  const std::string out = dir.file(name);
  const std::string in = ShellQuote(png), q = ShellQuote(out);
  const std::string ext = name.substr(name.rfind('.'));
  if (ext == ".heic") return Run("heif-enc -q 90 " + extraOptions + " " + in + " -o " + q, out);
  if (ext == ".avif") return Run("avifenc -s 10 " + extraOptions + " " + in + " " + q, out);
  if (ext == ".webp") return Run("cwebp -q 90 " + extraOptions + " " + in + " -o " + q, out);
  if (ext == ".jxl") return Run("cjxl " + extraOptions + " " + in + " " + q, out);
  ADD_FAILURE() << "no encoder for " << name;
  return out;
}

// Decodes a file with the format's own decoder into a PNG file.
inline std::string DecodeWithOwnTool(const std::string& file) {
  const std::string out = file + ".own.png";
  const std::string in = ShellQuote(file), q = ShellQuote(out);
  const std::string ext = file.substr(file.rfind('.'));
  if (ext == ".heic") return Run("heif-convert " + in + " " + q, out);
  if (ext == ".avif") return Run("avifdec " + in + " " + q, out);
  if (ext == ".webp") return Run("dwebp " + in + " -o " + q, out);
  if (ext == ".jxl") return Run("djxl " + in + " " + q, out);
  ADD_FAILURE() << "no decoder for " << file;
  return out;
}

inline Bitmap Read(const std::string& path) {
  Bitmap b;
  EXPECT_TRUE(ReadImageFile(path, b)) << path;
  return b;
}

// The corner cells' colours of a picture split into `cols` x `rows` cells.
inline std::vector<RgbColor> CellCentres(const Bitmap& b, int cols, int rows) {
  std::vector<RgbColor> out;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      out.push_back(b.Pixel(c * b.Width() / cols + b.Width() / cols / 2,
                            r * b.Height() / rows + b.Height() / rows / 2));
  return out;
}

inline int ChannelDistance(RgbColor a, RgbColor b) {
  return std::max({std::abs(int(GetRValue(a)) - int(GetRValue(b))),
                   std::abs(int(GetGValue(a)) - int(GetGValue(b))),
                   std::abs(int(GetBValue(a)) - int(GetBValue(b)))});
}

// Checks the upright corner picture (2 x 3 cells) within a lossy tolerance.
inline void ExpectUprightCorners(const Bitmap& b, const std::string& what) {
  SCOPED_TRACE(what);
  ASSERT_EQ(b.Width(), 32);
  ASSERT_EQ(b.Height(), 48);
  const std::vector<RgbColor> want = CellCentres(BigCorners(), 2, 3);
  const std::vector<RgbColor> got = CellCentres(b, 2, 3);
  for (size_t i = 0; i < want.size(); ++i) EXPECT_LE(ChannelDistance(want[i], got[i]), 40) << i;
}

// A HEIC file written through libheif with the given orientation (irot/imir boxes) and,
// when `exifOrientation` is not 0, an EXIF block whose Orientation tag says so; with an
// ICC profile `icc`, or with `nclx` colour primaries and transfer in a colour box (which
// heif-enc leaves out).
inline void WriteHeicOriented(const Bitmap& stored, const std::string& path, int orientation,
                       int exifOrientation, const std::vector<uint8_t>& icc = {},
                       heif_color_profile_nclx* nclx = nullptr) {
  heif_context* ctx = heif_context_alloc();
  heif_image* image = nullptr;
  ASSERT_EQ(heif_image_create(stored.Width(), stored.Height(), heif_colorspace_RGB,
                              heif_chroma_interleaved_RGB, &image)
                .code,
            heif_error_Ok);
  heif_image_add_plane(image, heif_channel_interleaved, stored.Width(), stored.Height(), 8);
  if (!icc.empty()) heif_image_set_raw_color_profile(image, "prof", icc.data(), icc.size());
  if (nclx) heif_image_set_nclx_color_profile(image, nclx);
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  for (int y = 0; y < stored.Height(); ++y)
    for (int x = 0; x < stored.Width(); ++x) {
      const RgbColor c = stored.Pixel(x, y);
      uint8_t* p = plane + y * stride + x * 3;
      p[0] = GetRValue(c), p[1] = GetGValue(c), p[2] = GetBValue(c);
    }
  heif_encoder* encoder = nullptr;
  ASSERT_EQ(heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder).code,
            heif_error_Ok);
  heif_encoder_set_lossy_quality(encoder, 95);
  heif_encoding_options* options = heif_encoding_options_alloc();
  options->image_orientation = heif_orientation(orientation);
  if (nclx) {
    options->output_nclx_profile = nclx;
    options->macOS_compatibility_workaround_no_nclx_profile = 0;
  }
  heif_image_handle* handle = nullptr;
  ASSERT_EQ(heif_context_encode_image(ctx, image, encoder, options, &handle).code, heif_error_Ok);
  if (exifOrientation) {
    // "II*\0", IFD at 8, one entry: Orientation (0x0112), SHORT, 1, value.
    const uint8_t exif[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0,
                            uint8_t(exifOrientation), 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(heif_context_add_exif_metadata(ctx, handle, exif, int(sizeof exif)).code,
              heif_error_Ok);
  }
  ASSERT_EQ(heif_context_write_to_file(ctx, path.c_str()).code, heif_error_Ok);
  heif_image_handle_release(handle);
  heif_encoding_options_free(options);
  heif_encoder_release(encoder);
  heif_image_release(image);
  heif_context_free(ctx);
}

// A Display P3 colour in sRGB, by the published matrix between the two (both D65).
RgbColor DisplayP3ToSrgb(uint8_t r, uint8_t g, uint8_t b) {
  auto linear = [](double v) {
    v /= 255;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  auto encode = [](double v) {
    v = std::clamp(v, 0.0, 1.0);
    v = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
    return uint8_t(std::lround(v * 255));
  };
  const double R = linear(r), G = linear(g), B = linear(b);
  return RGB(encode(1.2249 * R - 0.2247 * G), encode(-0.0420 * R + 1.0419 * G),
             encode(-0.0197 * R - 0.0786 * G + 1.0979 * B));
}

}  // namespace quorvane::test::formats
