// WebP, AVIF and JPEG XL written through the batch engine's save from pictures of awkward
// shapes, and read back by the formats' own decoders (dwebp, avifdec, djxl) and by
// Pillow for WebP: lossless results exactly, lossy ones within a stated error; the
// source's metadata read back by exiftool.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <random>
#include <sstream>

#include "processing/ConvertEngine.h"
#include "processing/ConvertTestHelpers.h"
#include "processing/EncodedWriters.h"
#include "processing/OutputFile.h"
#include "support/ExifSamples.h"
#include "support/PixelCompare.h"
#include "support/TestDir.h"

namespace quorvane::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

Bitmap Noise(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  Bitmap bmp(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 3; ++x) bmp.ScanLine(y)[x] = uint8_t(random());
  return bmp;
}

Bitmap Flat(int width, int height, RgbColor color) {
  Bitmap bmp(width, height);
  bmp.Fill(color);
  return bmp;
}

// Smooth diagonal ramps in each channel: what a lossy coder keeps well.
Bitmap Smooth(int width, int height) {
  Bitmap bmp(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = bmp.ScanLine(y) + x * 3;
      p[0] = uint8_t(40 + 150 * x / std::max(1, width - 1));
      p[1] = uint8_t(200 - 120 * y / std::max(1, height - 1));
      p[2] = uint8_t(60 + 60 * (x + y) / std::max(1, width + height - 2));
    }
  return bmp;
}

struct Case {
  std::string name;
  Bitmap picture;
};

std::vector<Case> AwkwardPictures() {
  return {{"1x1", Noise(1, 1, 1)},           {"1x9", Noise(1, 9, 2)},
          {"9x1", Noise(9, 1, 3)},           {"3x5", Noise(3, 5, 4)},
          {"257x3 noise", Noise(257, 3, 5)}, {"301x91 noise", Noise(301, 91, 6)},
          {"300x7 flat", Flat(300, 7, 0x336699)}, {"1x9000 noise", Noise(1, 9000, 7)},
          {"9000x1 flat", Flat(9000, 1, 0xFFFFFF)}};
}

// A binary PPM (P6, maxval 255) as a bitmap; empty when it is none.
Bitmap ReadPpm(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  std::istringstream head(bytes);
  std::string magic;
  int width = 0, height = 0, maxval = 0;
  head >> magic >> width >> height >> maxval;
  if (magic != "P6" || maxval != 255 || width <= 0 || height <= 0) return {};
  const size_t start = size_t(head.tellg()) + 1;
  if (bytes.size() != start + size_t(width) * height * 3) return {};
  Bitmap bmp(width, height);
  const auto* rgb = reinterpret_cast<const uint8_t*>(bytes.data() + start);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, rgb += 3) {
      uint8_t* p = bmp.ScanLine(y) + x * 3;
      p[0] = rgb[2];
      p[1] = rgb[1];
      p[2] = rgb[0];
    }
  return bmp;
}

// The picture of `file` as the format's own decoder gives it (and, for WebP, as Pillow
// gives it: both must agree). avifdec writes PNG, which Pillow turns into PPM.
Bitmap Decode(const TestDir& dir, const std::string& file) {
  const std::string ppm = file + ".ppm";
  const std::string ext = file.substr(file.rfind('.'));
  std::string command;
  if (ext == ".webp") {
    command = "dwebp -quiet -ppm " + ShellQuote(file) + " -o " + ShellQuote(ppm);
  } else if (ext == ".jxl") {
    command = "djxl " + ShellQuote(file) + " " + ShellQuote(ppm) + " >/dev/null 2>&1";
  } else {
    const std::string png = file + ".png";
    command = "avifdec " + ShellQuote(file) + " " + ShellQuote(png) + " >/dev/null && " + kPython +
              " -c 'import sys; from PIL import Image; "
              "Image.open(sys.argv[1]).convert(\"RGB\").save(sys.argv[2])' " +
              ShellQuote(png) + " " + ShellQuote(ppm);
  }
  if (RunCommand(command) != 0) {
    ADD_FAILURE() << "the decoder refused " << file;
    return {};
  }
  Bitmap decoded = ReadPpm(ppm);
  if (ext == ".webp") {
    const std::string pillow = file + ".pillow.ppm";
    EXPECT_EQ(RunCommand(std::string(kPython) +
                         " -c 'import sys; from PIL import Image; "
                         "im = Image.open(sys.argv[1]); assert im.format == \"WEBP\"; "
                         "im.convert(\"RGB\").save(sys.argv[2])' " +
                         ShellQuote(file) + " " + ShellQuote(pillow)),
              0)
        << "Pillow refused " << file;
    EXPECT_TRUE(ReadPpm(pillow).SamePixels(decoded)) << "Pillow and the decoder differ: " << file;
  }
  (void)dir;
  return decoded;
}

class EncodedWritersTest : public ::testing::Test {
 protected:
  void SetUp() override { engine.Params.Existing = OnExists::Overwrite; }
  std::string Save(const std::string& name, const Bitmap& picture, const std::string& ext) {
    const std::string path = dir.file(name + ext);
    Bitmap work = picture;
    EXPECT_TRUE(engine.SaveBitmap(path, work)) << path;
    return path;
  }
  TestDir dir;
  ConvertEngine engine;
};

TEST_F(EncodedWritersTest, LosslessWebpAndJpegXlDecodeToTheWrittenPixels) {
  engine.Params.Lossless = true;
  for (const std::string ext : {".webp", ".jxl"})
    for (const Case& c : AwkwardPictures()) {
      const Bitmap decoded = Decode(dir, Save("그림 " + c.name, c.picture, ext));
      EXPECT_TRUE(decoded.SamePixels(c.picture)) << c.name << ext;
    }
}

// Lossy at quality 90: flat colours come back within 3 steps a channel; a smooth picture
// within 2 steps on average and 16 at most; noise at its size.
TEST_F(EncodedWritersTest, LossyFormatsDecodeWithinTheirError) {
  engine.Params.JpegQuality = 90;
  for (const std::string ext : {".webp", ".avif", ".jxl"}) {
    for (const Case& c : AwkwardPictures()) {
      const Bitmap decoded = Decode(dir, Save("사진 " + c.name, c.picture, ext));
      ASSERT_EQ(decoded.Width(), c.picture.Width()) << c.name << ext;
      ASSERT_EQ(decoded.Height(), c.picture.Height()) << c.name << ext;
      if (c.name.find("flat") != std::string::npos) {
        EXPECT_LE(MaxDifference(decoded, c.picture), 3) << c.name << ext;
      }
    }
    const Bitmap smooth = Smooth(301, 91);
    const Bitmap decoded = Decode(dir, Save("smooth", smooth, ext));
    EXPECT_LE(MeanDifference(decoded, smooth), 2.0) << ext;
    EXPECT_LE(MaxDifference(decoded, smooth), 16) << ext;
  }
}

TEST_F(EncodedWritersTest, QualityAndLosslessReachTheEncoders) {
  const Bitmap picture = Noise(200, 150, 9);
  for (const std::string ext : {".webp", ".avif", ".jxl"}) {
    engine.Params.JpegQuality = 30;
    const size_t low = ReadFileBytes(Save("low", picture, ext)).size();
    engine.Params.JpegQuality = 95;
    const size_t high = ReadFileBytes(Save("high", picture, ext)).size();
    EXPECT_LT(low * 3 / 2, high) << ext;
  }
  // AVIF stays lossy with the switch on.
  engine.Params.Lossless = true;
  engine.Params.JpegQuality = 80;
  const Bitmap decoded = Decode(dir, Save("lossless", picture, ".avif"));
  EXPECT_FALSE(decoded.SamePixels(picture));
  EXPECT_EQ(decoded.Width(), 200);
}

// Encoders on several threads write the same WebP and JPEG XL files as on one, so a batch
// gives the same results whatever the machine and --jobs.
TEST_F(EncodedWritersTest, EncoderThreadsLeaveTheFileAsOnOneThread) {
  const Bitmap picture = Noise(301, 211, 12);
  for (const bool lossless : {false, true})
    for (const std::string ext : {".webp", ".jxl"}) {
      engine.Params.Lossless = lossless;
      engine.Params.EncoderThreads = 1;
      const std::string one = ReadFileBytes(Save("one", picture, ext));
      engine.Params.EncoderThreads = 4;
      EXPECT_EQ(ReadFileBytes(Save("four", picture, ext)), one) << ext << " lossless " << lossless;
    }
}

TEST_F(EncodedWritersTest, APictureTheFormatCannotHoldLeavesNothingBehind) {
  Bitmap wide = Flat(16384, 1, 0);
  const std::string target = dir.file("wide.webp");
  EXPECT_FALSE(engine.SaveBitmap(target, wide));
  struct stat st;
  EXPECT_NE(stat(target.c_str(), &st), 0);
  EXPECT_EQ(RunCommand("ls -A " + ShellQuote(dir.path()) + " | grep -q quorvane"), 1)
      << "a temporary file was left";
  EXPECT_THROW(WriteAvifFile("/dev/full", Flat(8, 8, 0), {}), ImageWriteError);
  try {
    WriteJxlFile("/dev/full", Flat(8, 8, 0), {});
    ADD_FAILURE() << "a write to a full disk succeeded";
  } catch (const ImageWriteError& e) {
    EXPECT_EQ(e.code().value(), ENOSPC);
  }
}

TEST(EncoderSettings, QualityFollowsTheEncodersOwnScales) {
  EXPECT_EQ(AvifQuantizerFor(100), 0);
  EXPECT_EQ(AvifQuantizerFor(90), 9);
  EXPECT_EQ(AvifQuantizerFor(80), 18);
  EXPECT_EQ(AvifQuantizerFor(30), 63);
  EXPECT_EQ(AvifQuantizerFor(1), 63);
  EXPECT_NEAR(JxlDistanceFor(90), 1.0f, 1e-5);
  EXPECT_NEAR(JxlDistanceFor(80), 1.9f, 1e-5);
  EXPECT_GT(JxlDistanceFor(10), JxlDistanceFor(29));
}

// The batch: EXIF (upright, no thumbnail), colour profile and file time of a camera
// picture in each of the three.
class EncodedMetadata : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveExiftool() || !HavePillow()) GTEST_SKIP() << "exiftool or Pillow missing";
    source_ = WriteOriented(dir_, "카메라.jpg", PatternBitmap(64, 48), 6);
    ASSERT_FALSE(source_.empty());
    const std::string icc = WriteIccProfile(dir_, "srgb.icc");
    const std::string thumb = dir_.file("thumb.jpg");
    ASSERT_EQ(RunCommand("convert -size 16x12 xc:blue " + ShellQuote(thumb)), 0);
    ASSERT_TRUE(Exiftool("-Make=Quorvane '-DateTimeOriginal=2024:05:06 07:08:09' "
                         "'-ThumbnailImage<=" + thumb + "' '-ICC_Profile<=" + icc + "'",
                         source_));
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, source_.c_str(), times, 0), 0);
  }
  std::string Convert(const std::string& ext, bool autoOrient) {
    ConvertEngine engine;
    engine.Params.FileList = {source_};
    engine.Params.OutputFolder = dir_.file(ext.substr(1) + (autoOrient ? "" : " stored"));
    engine.Params.TargetExt = ext;
    engine.Params.AutoOrient = autoOrient;
    engine.Params.KeepMetadata = true;
    RecordingHost host;
    engine.TransProc(host, nullptr);
    EXPECT_TRUE(engine.AllSucceeded()) << ext;
    EXPECT_EQ(std::count(host.lines.begin(), host.lines.end(), kMemoMetadataFailed), 0) << ext;
    return engine.OutputPathFor(source_);
  }
  TestDir dir_;
  std::string source_;
};

TEST_F(EncodedMetadata, ExifProfileAndTimeGoIntoEveryFormat) {
  for (const std::string ext : {".webp", ".avif", ".jxl"}) {
    const std::string out = Convert(ext, true);
    EXPECT_EQ(ExiftoolTag(out, "Make"), "Quorvane") << ext;
    EXPECT_EQ(ExiftoolTag(out, "DateTimeOriginal"), "2024:05:06 07:08:09") << ext;
    EXPECT_EQ(ExiftoolTag(out, "Orientation"), "1") << ext;
    EXPECT_EQ(ExiftoolTag(out, "ThumbnailLength"), "") << ext;
    if (ext != ".jxl") {
      EXPECT_EQ(ExiftoolTag(out, "ProfileDescription"), "sRGB built-in") << ext;
    }
    struct stat st {};
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000) << ext;
    const Bitmap decoded = Decode(dir_, out);
    EXPECT_EQ(decoded.Width(), 48) << ext;  // turned upright
    EXPECT_EQ(decoded.Height(), 64) << ext;
  }
}

// JPEG XL keeps the colour profile in its codestream, where exiftool does not look: djxl
// gives it back. Lossless keeps the profile itself; lossy keeps its colour space (libjxl
// describes sRGB by name and djxl makes a profile of its own from that).
TEST_F(EncodedMetadata, JpegXlKeepsTheColourProfile) {
  const auto profileOf = [&](const std::string& jxl) {
    const std::string icc = jxl + ".icc";
    EXPECT_EQ(RunCommand("djxl --icc_out=" + ShellQuote(icc) + " " + ShellQuote(jxl) + " " +
                         ShellQuote(jxl + ".ppm") + " >/dev/null 2>&1"),
              0);
    return icc;
  };
  EXPECT_EQ(ExiftoolTag(profileOf(Convert(".jxl", true)), "ProfileDescription"),
            "RGB_D65_SRG_Per_SRG");
  ConvertEngine engine;
  engine.Params.FileList = {source_};
  engine.Params.OutputFolder = dir_.file("lossless");
  engine.Params.TargetExt = ".jxl";
  engine.Params.Lossless = true;
  RecordingHost host;
  engine.TransProc(host, nullptr);
  const std::string icc = profileOf(engine.OutputPathFor(source_));
  EXPECT_EQ(ReadFileBytes(icc), ReadFileBytes(dir_.file("srgb.icc")));
}

// Pixels left as stored keep the orientation, where each format's readers look for it.
TEST_F(EncodedMetadata, PixelsAsStoredKeepTheirOrientation) {
  const std::string webp = Convert(".webp", false);
  EXPECT_EQ(ExiftoolTag(webp, "Orientation"), "6");
  EXPECT_EQ(Decode(dir_, webp).Width(), 64);
  EXPECT_EQ(PillowPicture(dir_, webp, true).Width(), 48);
  const std::string avif = Convert(".avif", false);
  EXPECT_EQ(ExiftoolTag(avif, "Orientation"), "6");
  EXPECT_EQ(ExiftoolTag(avif, "Rotation"), "270");  // irot: 90 degrees clockwise
  const std::string jxl = Convert(".jxl", false);
  EXPECT_EQ(ExiftoolTag(jxl, "Orientation"), "6");
  EXPECT_EQ(Decode(dir_, jxl).Width(), 48);  // djxl applies the codestream's orientation
}

}  // namespace
}  // namespace quorvane::test
