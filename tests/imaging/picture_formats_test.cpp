// HEIF, AVIF, WebP, JPEG XL and camera RAW files, made here by the formats' own
// encoders, read through the codec helper and compared with the formats' own decoders;
// their orientation, embedded thumbnails, colour profiles, misnamed and damaged files.
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

using namespace quorvane;
using namespace quorvane::test;

namespace {

class PictureFormats : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(BindCodecLibrary()) << CodecBindFailure();
    ASSERT_TRUE(CodecInit());
  }
  static void TearDownTestSuite() { UnbindCodecLibrary(); }
};

// Smooth colours with some detail, odd sides: what lossy encoders meet in photos.
Bitmap Photo(int w, int h) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(x, y,
                 RGB(uint8_t(x * 255 / w), uint8_t(y * 255 / h), uint8_t((x * y) % 97 + 80)));
  return b;
}

Bitmap Flat(int w, int h, RgbColor colour) {
  Bitmap b(w, h);
  b.Fill(colour);
  return b;
}

// The corner picture with each cell grown to `cell` x `cell` pixels (32 x 48 by default).
Bitmap BigCorners(int cell = 16) {
  const Bitmap small = CornerPicture();
  Bitmap b(small.Width() * cell, small.Height() * cell);
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) b.SetPixel(x, y, small.Pixel(x / cell, y / cell));
  return b;
}

std::string WritePng(const TestDir& dir, const std::string& name, const Bitmap& picture) {
  const std::string bmp = dir.file(name + ".bmp");
  WriteBmpFile(bmp, picture);
  const std::string png = dir.file(name);
  EXPECT_EQ(RunCommand("convert " + ShellQuote(bmp) + " " + ShellQuote("png24:" + png)), 0);
  return png;
}

std::string Run(const std::string& command, const std::string& output) {
  EXPECT_EQ(RunCommand(command + " >/dev/null 2>&1"), 0) << command;
  return output;
}

// Encodes a PNG file with the format's own encoder.
std::string Encode(const TestDir& dir, const std::string& png, const std::string& name,
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
std::string DecodeWithOwnTool(const std::string& file) {
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

Bitmap Read(const std::string& path) {
  Bitmap b;
  EXPECT_TRUE(ReadImageFile(path, b)) << path;
  return b;
}

// The corner cells' colours of a picture split into `cols` x `rows` cells.
std::vector<RgbColor> CellCentres(const Bitmap& b, int cols, int rows) {
  std::vector<RgbColor> out;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      out.push_back(b.Pixel(c * b.Width() / cols + b.Width() / cols / 2,
                            r * b.Height() / rows + b.Height() / rows / 2));
  return out;
}

int ChannelDistance(RgbColor a, RgbColor b) {
  return std::max({std::abs(int(GetRValue(a)) - int(GetRValue(b))),
                   std::abs(int(GetGValue(a)) - int(GetGValue(b))),
                   std::abs(int(GetBValue(a)) - int(GetBValue(b)))});
}

// Checks the upright corner picture (2 x 3 cells) within a lossy tolerance.
void ExpectUprightCorners(const Bitmap& b, const std::string& what) {
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
void WriteHeicOriented(const Bitmap& stored, const std::string& path, int orientation,
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

}  // namespace

TEST_F(PictureFormats, EachFormatReadsAsItsOwnDecoderReadsIt) {
  TestDir dir;
  // Tolerance: 0 where the tool uses the same library as we do (heif-convert, dwebp,
  // djxl); 2 for avifdec, whose YUV to RGB conversion is libavif's, not libheif's.
  const struct {
    const char* name;
    int tolerance;
  } cases[] = {{"a.heic", 0}, {"b.avif", 2}, {"c.webp", 0}, {"d.jxl", 0}, {"wide.webp", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool wide = std::string(c.name) == "wide.webp";
    const Bitmap source = wide ? Photo(301, 1) : Photo(61, 37);
    const std::string file = Encode(dir, WritePng(dir, std::string(c.name) + ".png", source),
                                    c.name);
    const Bitmap ours = Read(file);
    const Bitmap theirs = Read(DecodeWithOwnTool(file));
    ASSERT_EQ(ours.Width(), source.Width());
    ASSERT_EQ(ours.Height(), source.Height());
    EXPECT_LE(MaxDifference(ours, theirs), c.tolerance);
    // And it is the picture that was encoded (lossy: on average within a few steps).
    EXPECT_LE(MeanDifference(ours, source), 12);
  }
}

TEST_F(PictureFormats, TheTableListsTheNewFormatsAfterTheOldOnesAndTheFolderScanFindsThem) {
  EXPECT_EQ(std::vector<std::string_view>(ImageExtensions.begin(), ImageExtensions.begin() + 19),
            std::vector<std::string_view>(CodecExtensions.begin(), CodecExtensions.end()));
  for (const char* ext : {".ppm", ".pgm", ".pbm", ".heic", ".heif", ".hif", ".avif", ".webp",
                          ".jxl", ".dng", ".cr2", ".cr3", ".nef", ".nrw", ".arw", ".orf", ".rw2",
                          ".raf", ".pef", ".srw"})
    EXPECT_GE(ImageExtensionIndex(ext), 19) << ext;
  // The plain netpbm names go to the same reader as .pnm.
  EXPECT_EQ(FormatByName("a.ppm")->format, FormatByName("a.pnm")->format);

  TestDir dir;
  for (const char* name : {"a.heic", "b.AVIF", "c.webp", "d.jxl", "e.dng", "f.ppm", "g.txt"})
    dir.write(name, "x");
  std::vector<std::string> names;
  for (const std::string& path : ListImageFiles(dir.path(), nullptr))
    names.push_back(path.substr(path.rfind('/') + 1));
  EXPECT_EQ(names, (std::vector<std::string>{"a.heic", "b.AVIF", "c.webp", "d.jxl", "e.dng",
                                              "f.ppm"}));
}

TEST_F(PictureFormats, TheContentsDecideNotTheName) {
  TestDir dir;
  const Bitmap source = Photo(40, 30);
  const std::string png = WritePng(dir, "real.png", source);
  const std::string heic = Encode(dir, png, "real.heic");
  const std::string webp = Encode(dir, png, "real.webp");
  ASSERT_EQ(RunCommand("convert " + ShellQuote(png) + " -quality 95 " +
                       ShellQuote(dir.file("real.jpg"))),
            0);
  const struct {
    std::string real, misnamed;
  } cases[] = {{png, "download.jpg"},
               {dir.file("real.jpg"), "photo.png"},
               {heic, "IMG_0001.jpg"},
               {webp, "image.png"},
               {png, "picture.heic"}};
  PictureLoader plugin;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.misnamed);
    const std::string misnamed = dir.write(c.misnamed, ReadFileBytes(c.real));
    const Bitmap want = Read(c.real);
    Bitmap got;
    ASSERT_TRUE(ReadImageFile(misnamed, got));
    EXPECT_TRUE(got.SamePixels(want));
    Bitmap viaPlugin;
    ASSERT_TRUE(plugin.LoadFile(misnamed, viaPlugin));
    EXPECT_TRUE(viaPlugin.SamePixels(want));
    int w = 0, h = 0;
    Bitmap thumb;
    ASSERT_TRUE(plugin.LoadThumbnail(misnamed, thumb, 20, 20, JpegPerformance::jpBestQuality,
                                     w, h));
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 30);
  }
}

TEST_F(PictureFormats, HeifOrientationIsAppliedOnceEvenWithAnExifTagThatSaysTheSame) {
  TestDir dir;
  const Bitmap upright = BigCorners();
  for (int o = 1; o <= 8; ++o) {
    // The picture as a camera would store it for orientation o: turned back.
    Bitmap stored = upright;
    static constexpr int kInverse[9] = {1, 1, 2, 3, 4, 5, 8, 7, 6};
    ApplyOrientation(stored, kInverse[o]);
    const std::string path = dir.file("o" + std::to_string(o) + ".heic");
    WriteHeicOriented(stored, path, o, o);
    ExpectUprightCorners(Read(path), "HEIC orientation " + std::to_string(o));
    Bitmap noSwitch;
    ASSERT_TRUE(ReadImageFile(path, noSwitch, false));
    ExpectUprightCorners(noSwitch, "HEIC orientation without AutoOrient " + std::to_string(o));
    // heif-convert agrees. It writes the turned pixels and keeps the source's EXIF, with its
    // Orientation, in the PNG: its file is read as stored.
    Bitmap theirs;
    ASSERT_TRUE(ReadImageFile(DecodeWithOwnTool(path), theirs, false));
    ExpectUprightCorners(theirs, "heif-convert");
  }
}

TEST_F(PictureFormats, JpegXlOrientationFromItsHeader) {
  TestDir dir;
  // cjxl takes a JPEG's EXIF orientation into the JPEG XL header.
  for (int o : {3, 6, 8}) {
    Bitmap stored = BigCorners();
    static constexpr int kInverse[9] = {1, 1, 2, 3, 4, 5, 8, 7, 6};
    ApplyOrientation(stored, kInverse[o]);
    const std::string jpg = WriteOriented(dir, "o" + std::to_string(o) + ".jpg", stored, o);
    const std::string jxl = dir.file("o" + std::to_string(o) + ".jxl");
    ASSERT_EQ(RunCommand("cjxl --lossless_jpeg=0 -q 95 " + ShellQuote(jpg) + " " +
                         ShellQuote(jxl) + " >/dev/null 2>&1"),
              0);
    ExpectUprightCorners(Read(jxl), "JPEG XL orientation " + std::to_string(o));
    ExpectUprightCorners(Read(DecodeWithOwnTool(jxl)), "djxl");
    // A thumbnail from the DC pass (1/8) is turned as well: a picture of several groups.
    Bitmap large = BigCorners(160);
    ApplyOrientation(large, kInverse[o]);
    const std::string big = dir.file("big" + std::to_string(o) + ".jxl");
    ASSERT_EQ(RunCommand("cjxl --lossless_jpeg=0 -q 95 " +
                         ShellQuote(WriteOriented(dir, "big" + std::to_string(o) + ".jpg", large, o)) +
                         " " + ShellQuote(big) + " >/dev/null 2>&1"),
              0);
    PictureLoader plugin;
    Bitmap dc;
    int w = 0, h = 0;
    ASSERT_TRUE(plugin.LoadThumbnail(big, dc, 40, 60, JpegPerformance::jpBestSpeed, w, h));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 480);
    ASSERT_EQ(dc.Width(), 40);
    ASSERT_EQ(dc.Height(), 60);
    const std::vector<RgbColor> want = CellCentres(BigCorners(), 2, 3);
    const std::vector<RgbColor> got = CellCentres(dc, 2, 3);
    for (size_t i = 0; i < want.size(); ++i) EXPECT_LE(ChannelDistance(want[i], got[i]), 40) << i;
  }
}

TEST_F(PictureFormats, HeifThumbnailItemServesSmallBoxesAndFullDecodeTheRest) {
  TestDir dir;
  const Bitmap source = Photo(640, 480);
  const std::string png = WritePng(dir, "big.png", source);
  const std::string withThumb = Encode(dir, png, "thumb.heic", "-t 128");
  const std::string without = Encode(dir, png, "plain.heic");
  PictureLoader plugin;
  auto thumbnail = [&](const std::string& path, int box, Bitmap& out) {
    int w = 0, h = 0;
    EXPECT_TRUE(plugin.LoadThumbnail(path, out, box, box, JpegPerformance::jpBestSpeed, w, h));
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
  };
  Bitmap small, large, plain;
  thumbnail(withThumb, 94, small);  // the 128 x 96 item covers 94 x 70
  EXPECT_EQ(small.Width(), 128);
  EXPECT_EQ(small.Height(), 96);
  EXPECT_LE(MeanDifference(small, [&] {
              Bitmap b = Read(withThumb);
              ResizeBitmap(b, 128, 96);
              return b;
            }()),
            8);
  thumbnail(withThumb, 200, large);  // 200 x 150 needs more than the item has
  EXPECT_EQ(large.Width(), 640);
  // Nothing embedded, or nothing a format could embed: decoded whole, halved in the helper.
  for (const std::string& whole : {without, png}) {
    thumbnail(whole, 94, plain);
    EXPECT_EQ(plain.Width(), 320);
    EXPECT_EQ(plain.Height(), 240);
    EXPECT_LE(MeanDifference(plain, [&] {
                Bitmap b = Read(whole);
                ResizeBitmap(b, 320, 240);
                return b;
              }()),
              4);
  }

  // JPEG XL stops after its DC pass (1/8) when that covers the box.
  const std::string jxl = Encode(dir, png, "big.jxl");
  Bitmap dc, whole;
  thumbnail(jxl, 80, dc);
  EXPECT_EQ(dc.Width(), 80);
  EXPECT_EQ(dc.Height(), 60);
  EXPECT_LE(MeanDifference(dc, [&] {
              Bitmap b = Read(jxl);
              ResizeBitmap(b, 80, 60);
              return b;
            }()),
            6);
  thumbnail(jxl, 81, whole);  // decoded whole, then halved in the helper
  EXPECT_EQ(whole.Width(), 320);

  // WebP is decoded straight to the size the box needs.
  const std::string webp = Encode(dir, png, "big.webp");
  Bitmap scaled;
  thumbnail(webp, 94, scaled);
  EXPECT_EQ(scaled.Width(), 94);
  EXPECT_EQ(scaled.Height(), 70);
}

// A small HEIC or AVIF file whose header declares 30000 x 20000, beyond the picture
// limits, is refused before anything is decoded: the target is never asked for memory
// and the decoder takes none, for the full picture, the screen and a thumbnail alike.
TEST_F(PictureFormats, AHeifDeclaringAHugeSizeIsRefusedBeforeDecoding) {
  TestDir dir;
  const std::string png = WritePng(dir, "small.png", Photo(128, 64));
  for (const std::string name : {"huge.heic", "huge.avif"}) {
    SCOPED_TRACE(name);
    std::string bytes = ReadFileBytes(Encode(dir, png, name));
    const size_t ispe = bytes.find("ispe");  // size, flags, then width and height
    ASSERT_NE(ispe, std::string::npos);
    const uint8_t declared[8] = {0, 0, 30000 >> 8, 30000 & 255, 0, 0, 20000 >> 8, 20000 & 255};
    bytes.replace(ispe + 8, 8, reinterpret_cast<const char*>(declared), 8);
    const std::string path = dir.write("declared-" + name, bytes);
    int asked = 0;
    auto target = [&asked](int, int) -> uint8_t* {
      ++asked;
      return nullptr;
    };
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    for (uint32_t flags : {0u, uint32_t(kCodecLoadForDisplay), uint32_t(kCodecLoadThumbnail)}) {
      CodecLoadRequest request;
      request.flags = flags;
      request.boxWidth = request.boxHeight = 96;
      request.fitMode = igtPreview;
      CodecLoadResult result;
      EXPECT_FALSE(DecodeHeif(path, request, target, result)) << flags;
    }
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(asked, 0);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // kB; the picture needs 1.8 GB
  }
}

TEST_F(PictureFormats, ADisplayP3PictureIsShownAsSrgb) {
  TestDir dir;
  const std::string icc = dir.file("p3.icc");
  {
    const std::vector<uint8_t> bytes = DisplayP3Profile();
    dir.write("p3.icc", std::string(bytes.begin(), bytes.end()));
  }
  const uint8_t r = 180, g = 120, b = 60;
  const RgbColor want = DisplayP3ToSrgb(r, g, b);
  ASSERT_GT(ChannelDistance(want, RGB(r, g, b)), 8);  // the conversion shows
  const std::string png = WritePng(dir, "flat.png", Flat(48, 32, RGB(r, g, b)));
  const std::string withProfile = dir.file("p3.png");
  ASSERT_EQ(RunCommand("convert " + ShellQuote(png) + " -profile " + ShellQuote(icc) + " " +
                       ShellQuote("png24:" + withProfile)),
            0);
  const std::string heic = Encode(dir, withProfile, "p3.heic");
  const std::string webp = Encode(dir, withProfile, "p3.webp", "-metadata icc");
  const std::string jpg = dir.file("p3.jpg");
  ASSERT_EQ(RunCommand("convert " + ShellQuote(withProfile) + " -quality 98 " + ShellQuote(jpg)),
            0);
  PictureLoader plugin;
  for (const std::string& path : {heic, webp, jpg}) {
    SCOPED_TRACE(path);
    Bitmap shown, kept, grid;
    ASSERT_TRUE(ReadImageForView(path, shown));
    ASSERT_TRUE(ReadImageFile(path, kept));
    ASSERT_TRUE(plugin.LoadFile(path, grid));
    EXPECT_LE(ChannelDistance(shown.Pixel(24, 16), want), 3);
    EXPECT_LE(ChannelDistance(grid.Pixel(24, 16), want), 3);
    // The batch keeps the file's own values.
    EXPECT_LE(ChannelDistance(kept.Pixel(24, 16), RGB(r, g, b)), 3);
  }
}

// The header alone tells whether a file's colours are other than sRGB's: a colour profile
// in a JPEG, PNG, TIFF, WebP or HEIC file, AVIF primaries other than BT.709's; files
// without either say nothing, whatever their format.
TEST_F(PictureFormats, TheHeaderTellsOfColoursOtherThanSrgb) {
  TestDir dir;
  const std::vector<uint8_t> p3 = DisplayP3Profile();
  const std::string icc = dir.write("p3.icc", std::string(p3.begin(), p3.end()));
  const std::string plain = WritePng(dir, "plain.png", Photo(64, 48));
  const std::string tagged = dir.file("tagged.png");
  ASSERT_EQ(RunCommand("convert " + ShellQuote(plain) + " -profile " + ShellQuote(icc) + " " +
                       ShellQuote("png24:" + tagged)),
            0);
  auto magick = [&](const std::string& from, const std::string& name) {
    return ::Run("convert " + ShellQuote(from) + " " + ShellQuote(dir.file(name)), dir.file(name));
  };
  const struct {
    std::string path;
    bool other;
  } files[] = {
      {tagged, true},
      {plain, false},
      {magick(tagged, "tagged.jpg"), true},
      {magick(plain, "plain.jpg"), false},
      {magick(tagged, "tagged.tif"), true},
      {magick(plain, "plain.tif"), false},
      {Encode(dir, tagged, "tagged.webp", "-metadata icc"), true},
      {Encode(dir, plain, "plain.webp"), false},
      {Encode(dir, tagged, "tagged.heic"), true},
      {Encode(dir, plain, "plain.heic"), false},
      {Encode(dir, plain, "p3.avif", "--cicp 12/13/6"), true},
      {Encode(dir, plain, "srgb.avif", "--cicp 1/13/6"), false},
      {Encode(dir, plain, "any.jxl"), true},  // told deep in its bit stream: made here
      {magick(tagged, "tagged.gif"), false},
  };
  for (const auto& f : files) EXPECT_EQ(HeaderDeclaresOtherThanSrgb(f.path), f.other) << f.path;
}

TEST_F(PictureFormats, ColoursGivenByPrimariesAreShownAsSrgb) {
  TestDir dir;
  // A saturated red (Display P3's lies outside sRGB: green and blue come out 0) and a
  // paler colour inside both. The batch keeps the stored values (`kept`).
  const std::string red = WritePng(dir, "red.png", Flat(48, 32, RGB(230, 40, 30)));
  const std::string pale = WritePng(dir, "pale.png", Flat(48, 32, RGB(180, 120, 60)));
  PictureLoader plugin;
  for (const std::string& png : {red, pale}) {
    // avifenc's colour primaries / transfer / matrix (ITU-T H.273): Display P3 with sRGB's
    // curve, as phones write it, and BT.709 with sRGB's curve, which is sRGB.
    const std::string p3 = Encode(dir, png, ExtractFileName(png) + ".p3.avif",
                                  "--cicp 12/13/1 -y 444 --min 0 --max 0");
    const std::string srgb = Encode(dir, png, ExtractFileName(png) + ".srgb.avif",
                                    "--cicp 1/13/1 -y 444 --min 0 --max 0");
    const std::string heic = dir.file(ExtractFileName(png) + ".p3.heic");
    {
      heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
      ASSERT_EQ(heif_nclx_color_profile_set_color_primaries(nclx, 12).code, heif_error_Ok);
      ASSERT_EQ(heif_nclx_color_profile_set_transfer_characteristics(nclx, 13).code, heif_error_Ok);
      WriteHeicOriented(Read(png), heic, 1, 0, {}, nclx);
      heif_nclx_color_profile_free(nclx);
    }
    for (const std::string& path : {p3, heic, srgb}) {
      SCOPED_TRACE(path);
      Bitmap shown, kept, grid;
      ASSERT_TRUE(ReadImageForView(path, shown));
      ASSERT_TRUE(ReadImageFile(path, kept));
      ASSERT_TRUE(plugin.LoadFile(path, grid));
      // The stored colour, as the format's own decoder reads it too.
      const RgbColor stored = kept.Pixel(24, 16);
      EXPECT_LE(ChannelDistance(Read(DecodeWithOwnTool(path)).Pixel(24, 16), stored), 2);
      const RgbColor want = path == srgb ? stored
                                       : DisplayP3ToSrgb(GetRValue(stored), GetGValue(stored),
                                                         GetBValue(stored));
      if (path != srgb) {
        ASSERT_GT(ChannelDistance(want, stored), 8);  // the conversion shows
      }
      EXPECT_LE(ChannelDistance(shown.Pixel(24, 16), want), 2);
      EXPECT_LE(ChannelDistance(grid.Pixel(24, 16), want), 2);
      // The batch's profile for the source stands for the same colours: a result keeps
      // it, or is converted by it when written without one.
      Bitmap stripped = kept;
      ConvertToSrgb(stripped, ReadColourProfile(path));
      EXPECT_LE(ChannelDistance(stripped.Pixel(24, 16), want), 2);
    }
  }
}

TEST_F(PictureFormats, DamagedFilesOfEachFormatFailWithoutHarm) {
  TestDir dir;
  const std::string png = WritePng(dir, "seed.png", Photo(48, 32));
  PictureLoader plugin;
  int total = 0;
  for (const char* name : {"seed.heic", "seed.avif", "seed.webp", "seed.jxl"}) {
    const std::string seed = Encode(dir, png, name);
    const std::string bytes = ReadFileBytes(seed);
    const std::string ext = std::string(name).substr(4);
    std::vector<std::string> damaged = Mutants(bytes, 7, 25);
    damaged.push_back("");
    damaged.push_back(bytes.substr(0, bytes.size() / 2));
    damaged.push_back(bytes.substr(0, 16));
    for (size_t i = 0; i < damaged.size(); ++i) {
      const std::string path = dir.write("bad" + std::to_string(i) + ext, damaged[i]);
      const Bitmap keep = PatternBitmap(2, 2);
      Bitmap a = keep, b = keep;
      const bool read = ReadImageFile(path, a);
      EXPECT_TRUE(read ? !a.Empty() : a.SamePixels(keep)) << path;
      int w = 0, h = 0;
      const bool thumb = plugin.LoadThumbnail(path, b, 16, 16, JpegPerformance::jpBestSpeed, w, h);
      EXPECT_TRUE(thumb ? !b.Empty() : b.SamePixels(keep)) << path;
      ++total;
    }
    // Cut files and empty ones never read.
    Bitmap none;
    EXPECT_FALSE(ReadImageFile(dir.file("bad" + std::to_string(damaged.size() - 3) + ext), none));
    EXPECT_FALSE(ReadImageFile(dir.file("bad" + std::to_string(damaged.size() - 1) + ext), none));
    // Still healthy afterwards.
    EXPECT_FALSE(Read(seed).Empty());
  }
  // A camera file that is no camera file.
  Bitmap none;
  EXPECT_FALSE(ReadImageFile(dir.write("fake.dng", std::string("II*\0\x08\0\0\0garbage", 15)), none));
  EXPECT_FALSE(ReadImageFile(dir.write("fake.cr3", std::string(64, '\0')), none));
  EXPECT_GT(total, 100);
}

TEST_F(PictureFormats, CameraRawDevelopsAsDcrawEmuAndItsPreviewMakesTheThumbnail) {
  TestDir dir;
  const Bitmap scene = Photo(96, 64);
  Bitmap preview = scene;
  ResizeBitmap(preview, 48, 32);
  const std::string dng = dir.file("camera.dng");
  WriteDng(dng, scene, preview);

  // Developed as LibRaw's own tool develops it with the camera's white balance.
  const Bitmap ours = Read(dng);
  ASSERT_EQ(RunCommand("dcraw_emu -w -T " + ShellQuote(dng) + " >/dev/null 2>&1"), 0);
  const Bitmap theirs = Read(dng + ".tiff");
  ASSERT_EQ(ours.Width(), 96);
  ASSERT_EQ(ours.Height(), 64);
  EXPECT_LE(MaxDifference(ours, theirs), 1);

  // The preview serves a box it covers; a larger box gets the developed picture.
  PictureLoader plugin;
  Bitmap small, large;
  int w = 0, h = 0;
  ASSERT_TRUE(plugin.LoadThumbnail(dng, small, 40, 40, JpegPerformance::jpBestSpeed, w, h));
  EXPECT_EQ(small.Width(), 48);
  EXPECT_EQ(small.Height(), 32);
  EXPECT_LE(MeanDifference(small, preview), 8);
  EXPECT_EQ(w, 96);
  EXPECT_EQ(h, 64);
  ASSERT_TRUE(plugin.LoadThumbnail(dng, large, 80, 80, JpegPerformance::jpBestSpeed, w, h));
  EXPECT_EQ(large.Width(), 96);

  // No preview at all: developed.
  const std::string bare = dir.file("bare.dng");
  WriteDng(bare, scene, Bitmap());
  ASSERT_TRUE(plugin.LoadThumbnail(bare, small, 40, 40, JpegPerformance::jpBestSpeed, w, h));
  EXPECT_EQ(small.Width(), 96);

  // The camera's flip turns both the picture and the preview.
  const std::string turned = dir.file("turned.dng");
  WriteDng(turned, scene, preview, 6);
  const Bitmap upright = Read(turned);
  EXPECT_EQ(upright.Width(), 64);
  EXPECT_EQ(upright.Height(), 96);
  ASSERT_TRUE(plugin.LoadThumbnail(turned, small, 40, 40, JpegPerformance::jpBestSpeed, w, h));
  EXPECT_EQ(small.Width(), 32);
  EXPECT_EQ(small.Height(), 48);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 96);
}

TEST_F(PictureFormats, TruncatedJpegAndPngAreShownInPartButNeverConverted) {
  TestDir dir;
  const Bitmap source = Photo(64, 64);
  const std::string png = WritePng(dir, "whole.png", source);
  const std::string jpg = dir.file("whole.jpg");
  ASSERT_EQ(RunCommand("convert " + ShellQuote(png) + " -quality 95 " + ShellQuote(jpg)), 0);
  PictureLoader plugin;
  ThumbnailReader grid;
  grid.SetCustomPlugin(&plugin);
  for (const std::string& whole : {jpg, png}) {
    SCOPED_TRACE(whole);
    const std::string bytes = ReadFileBytes(whole);
    const std::string cut =
        dir.write("cut" + whole.substr(whole.rfind('.')), bytes.substr(0, bytes.size() * 6 / 10));
    // The batch refuses it.
    Bitmap none;
    EXPECT_FALSE(ReadImageFile(cut, none));
    // The viewer shows the top as the whole file does, the missing rows grey.
    Bitmap shown;
    ASSERT_TRUE(ReadImageForView(cut, shown));
    ASSERT_EQ(shown.Width(), 64);
    ASSERT_EQ(shown.Height(), 64);
    const Bitmap full = Read(whole);
    for (int x = 0; x < 64; x += 9) {
      EXPECT_LE(ChannelDistance(shown.Pixel(x, 2), full.Pixel(x, 2)), 2) << x;
      EXPECT_LE(ChannelDistance(shown.Pixel(x, 62), RGB(128, 128, 128)), 6) << x;
    }
    // So does the grid, where it would otherwise draw the broken-file icon.
    ASSERT_EQ(grid.LoadThumbnail(cut, 32, 32, 0), 0);
    EXPECT_EQ(grid.ImageType(), iitCustom);
    EXPECT_EQ(grid.Bitmap().Width(), 32);
    EXPECT_EQ(grid.OrgWidth(), 64);
  }
}

// The mean colour of a picture's `cell` x `cell` blocks, B, G, R for each block.
std::vector<double> BlockMeans(const Bitmap& b, int cell) {
  std::vector<double> means;
  for (int by = 0; by + cell <= b.Height(); by += cell)
    for (int bx = 0; bx + cell <= b.Width(); bx += cell)
      for (int c = 0; c < 3; ++c) {
        double sum = 0;
        for (int y = by; y < by + cell; ++y)
          for (int x = bx; x < bx + cell; ++x) sum += b.ScanLine(y)[x * 3 + c];
        means.push_back(sum / (cell * cell));
      }
  return means;
}

TEST_F(PictureFormats, ATruncatedInterlacedPngShowsWhatItsPassesTell) {
  TestDir dir;
  // Noise over broad colour areas, odd sides: ImageMagick's Adam7 file, cut where the last
  // pass has begun and where only the first passes are whole.
  Bitmap source(97, 67);
  uint32_t seed = 17;
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x) {
      seed = seed * 1103515245 + 12345;
      const int noise = int(seed >> 27) - 16;
      source.SetPixel(x, y, RGB(uint8_t(std::clamp(x * 2 + noise, 0, 255)),
                                uint8_t(std::clamp(y * 3 + noise, 0, 255)),
                                uint8_t(std::clamp((x + y) % 64 < 32 ? 200 + noise : 40 + noise, 0, 255))));
    }
  const std::string flat = WritePng(dir, "flat.png", source);
  const std::string whole = dir.file("interlaced.png");
  ASSERT_EQ(RunCommand("convert " + ShellQuote(flat) + " -interlace PNG " + ShellQuote("png24:" + whole)), 0);
  ASSERT_EQ(Capture("identify -format %[interlace] " + ShellQuote(whole)), "PNG");
  const Bitmap full = PillowPicture(dir, whole, false);
  ASSERT_TRUE(full.SamePixels(source));
  const std::vector<double> wholeMeans = BlockMeans(full, 16);
  PictureLoader plugin;
  ThumbnailReader grid;
  grid.SetCustomPlugin(&plugin);
  const std::string bytes = ReadFileBytes(whole);
  for (const int percent : {80, 25}) {
    SCOPED_TRACE(percent);
    const std::string cut = dir.write("cut" + std::to_string(percent) + ".png",
                                      bytes.substr(0, bytes.size() * size_t(percent) / 100));
    Bitmap none;
    EXPECT_FALSE(ReadImageFile(cut, none));  // the batch refuses it
    Bitmap shown;
    ASSERT_TRUE(ReadImageForView(cut, shown));
    ASSERT_EQ(shown.Width(), 97);
    ASSERT_EQ(shown.Height(), 67);
    // Every block looks as it does in the whole file, near enough (coarse pixels shift the
    // stripes' edges a little): no grey anywhere.
    const std::vector<double> means = BlockMeans(shown, 16);
    double sum = 0;
    for (size_t i = 0; i < means.size(); ++i) {
      EXPECT_NEAR(means[i], wholeMeans[i], 20) << i;
      sum += std::abs(means[i] - wholeMeans[i]);
    }
    EXPECT_LE(sum / double(means.size()), percent == 80 ? 2 : 6);
    // Once the last pass has begun, its top rows are exact.
    if (percent == 80) {
      for (int y = 0; y < 4; ++y)
        EXPECT_EQ(std::memcmp(shown.ScanLine(y), full.ScanLine(y), 97 * 3), 0) << y;
    }
    ASSERT_EQ(grid.LoadThumbnail(cut, 32, 32, 0), 0);
    EXPECT_EQ(grid.ImageType(), iitCustom);
    EXPECT_EQ(grid.OrgWidth(), 97);
  }
}

TEST_F(PictureFormats, TheBatchKeepsTheExifAndProfileOfHeifAndWebpSources) {
  TestDir dir;
  const Bitmap upright = BigCorners();
  Bitmap stored = upright;
  ApplyOrientation(stored, 8);  // what orientation 6 turns upright
  const std::string heic = dir.file("phone.heic");
  WriteHeicOriented(stored, heic, 6, 6, DisplayP3Profile());
  const std::string out = dir.file("phone.jpg");
  {
    Bitmap read;
    ASSERT_TRUE(ReadImageFile(heic, read));
    const std::vector<uint8_t> jpeg = EncodeJpeg(read, 90);
    dir.write("phone.jpg", std::string(jpeg.begin(), jpeg.end()));
  }
  // As stored: the written pixels are upright either way, so the Orientation says 1.
  ASSERT_TRUE(CopyMetadata(heic, out, false));
  EXPECT_EQ(ExiftoolTag(out, "Orientation"), "1");
  EXPECT_NE(ExiftoolTag(out, "ProfileDescription", false), "");

  // WebP: cwebp keeps the EXIF of its source with -metadata; a WebP picture is not
  // turned by it, so as stored the Orientation stays.
  const std::string jpg = WriteOriented(dir, "tagged.jpg", upright, 3);
  ASSERT_TRUE(Exiftool("-Artist=Quorvane", jpg));
  const std::string webp = dir.file("tagged.webp");
  ASSERT_EQ(RunCommand("cwebp -quiet -metadata all " + ShellQuote(jpg) + " -o " + ShellQuote(webp)),
            0);
  ASSERT_EQ(ExiftoolTag(webp, "Artist", false), "Quorvane");
  const std::string fromWebp = dir.file("from webp.jpg");
  {
    const std::vector<uint8_t> jpeg = EncodeJpeg(upright, 90);
    dir.write("from webp.jpg", std::string(jpeg.begin(), jpeg.end()));
  }
  ASSERT_TRUE(CopyMetadata(webp, fromWebp, false));
  EXPECT_EQ(ExiftoolTag(fromWebp, "Artist", false), "Quorvane");
  EXPECT_EQ(ExiftoolTag(fromWebp, "Orientation"), "3");
}
