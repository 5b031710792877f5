// The batch keeps a camera picture's metadata: EXIF (upright, without the old embedded
// thumbnail), colour profile and file time, in JPEG, PNG and TIFF results; --strip and
// the setting turn it off, and a result without the profile is converted to sRGB; the
// command line's switches.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "processing/ConvertEngine.h"
#include "processing/ConvertOptions.h"
#include "processing/ConvertTestHelpers.h"
#include "imaging/ExifLibrary.h"
#include "support/ColourProfiles.h"
#include "support/ExifSamples.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

constexpr time_t kSourceTime = 1000000000;  // 2001-09-09

class MetadataKept : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveExiftool() || !HavePillow()) GTEST_SKIP() << "exiftool or Pillow missing";
    ASSERT_TRUE(CodecReady());
    source_ = WriteOriented(dir_, "원본 사진.jpg", PatternBitmap(64, 48), 6);
    ASSERT_FALSE(source_.empty());
    const std::string icc = WriteIccProfile(dir_, "srgb.icc");
    ASSERT_FALSE(icc.empty());
    const std::string thumb = dir_.file("thumb.jpg");
    ASSERT_EQ(RunCommand("convert -size 16x12 xc:blue " + ShellQuote(thumb)), 0);
    ASSERT_TRUE(
        Exiftool("-Make=Quorvane '-Model=Test Cam' '-DateTimeOriginal=2024:05:06 07:08:09' "
                 "'-ThumbnailImage<=" +
                     thumb + "' '-ICC_Profile<=" + icc + "'",
                 source_));
    ASSERT_FALSE(ExiftoolTag(source_, "ThumbnailLength").empty());
    const timespec times[2] = {{kSourceTime, 0}, {kSourceTime, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, source_.c_str(), times, 0), 0);
  }

  // Converts the source to `ext`; answers the output path.
  std::string Convert(const std::string& ext, bool keep, RecordingHost& host,
                      bool autoOrient = true) {
    ConvertEngine engine;
    engine.Params.FileList = {source_};
    engine.Params.OutputFolder =
        dir_.file(std::string(keep ? "kept" : "stripped") + (autoOrient ? "" : " as stored") + ext);
    engine.Params.TargetExt = ext;
    engine.Params.KeepMetadata = keep;
    engine.Params.AutoOrient = autoOrient;
    engine.TransProc(host, nullptr);
    EXPECT_TRUE(engine.AllSucceeded()) << ext;
    return engine.OutputPathFor(source_);
  }

  static time_t ModificationTime(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : 0;
  }

  TestDir dir_;
  std::string source_;
};

TEST_F(MetadataKept, JpegPngAndTiffResultsCarryTheSourcesExifProfileAndTime) {
  for (const std::string ext : {".jpg", ".png", ".tif"}) {
    RecordingHost host;
    const std::string out = Convert(ext, true, host);
    EXPECT_EQ(std::count(host.lines.begin(), host.lines.end(), kMemoMetadataFailed), 0) << ext;
    // exiftool's reading.
    EXPECT_EQ(ExiftoolTag(out, "Make"), "Quorvane") << ext;
    EXPECT_EQ(ExiftoolTag(out, "Model"), "Test Cam") << ext;
    EXPECT_EQ(ExiftoolTag(out, "DateTimeOriginal"), "2024:05:06 07:08:09") << ext;
    EXPECT_EQ(ExiftoolTag(out, "Orientation"), "1") << ext;
    EXPECT_EQ(ExiftoolTag(out, "ThumbnailLength"), "") << ext;
    EXPECT_EQ(ExiftoolTag(out, "ProfileDescription"), "sRGB built-in") << ext;
    // The library's reading, and Pillow's picture: upright, nothing left to turn.
    ExifInfo info;
    ASSERT_TRUE(local::ReadExifInfo(out, info)) << ext;
    EXPECT_EQ(info.orientation, 1) << ext;
    EXPECT_TRUE(info.thumbnail.empty()) << ext;
    const Bitmap upright = PillowPicture(dir_, out, true);
    EXPECT_EQ(upright.Width(), 48) << ext;
    EXPECT_EQ(upright.Height(), 64) << ext;
    EXPECT_EQ(ModificationTime(out), kSourceTime) << ext;
  }
  // Formats without metadata still take the file time.
  RecordingHost host;
  EXPECT_EQ(ModificationTime(Convert(".bmp", true, host)), kSourceTime);
}

TEST_F(MetadataKept, PixelsLeftAsStoredKeepTheSourcesOrientation) {
  RecordingHost host;
  const std::string out = Convert(".jpg", true, host, false);
  EXPECT_EQ(ExiftoolTag(out, "Orientation"), "6");
  EXPECT_EQ(ExiftoolTag(out, "Make"), "Quorvane");
  EXPECT_EQ(PillowPicture(dir_, out, false).Width(), 64);
  EXPECT_EQ(PillowPicture(dir_, out, true).Width(), 48);  // still shown upright
}

TEST_F(MetadataKept, StrippedResultsCarryNothingOfTheSource) {
  for (const std::string ext : {".jpg", ".png", ".tif"}) {
    RecordingHost host;
    const std::string out = Convert(ext, false, host);
    EXPECT_EQ(ExiftoolTag(out, "Make"), "") << ext;
    EXPECT_EQ(ExiftoolTag(out, "DateTimeOriginal"), "") << ext;
    EXPECT_EQ(ExiftoolTag(out, "ProfileDescription"), "") << ext;
    EXPECT_EQ(ModificationTime(out), kSourceTime) << ext;  // the file time is no metadata
    // Still upright: stripping is not turning off the orientation.
    const Bitmap picture = PillowPicture(dir_, out, false);
    EXPECT_EQ(picture.Width(), 48) << ext;
  }
}

// Pillow writes a noise picture with a flat saturated block, tagged with the profile in
// argv[1], as PNG (argv[2]) and JPEG (argv[3]).
constexpr const char* kTaggedSources = R"(import sys, random
from PIL import Image
rng = random.Random(7)
im = Image.frombytes('RGB', (37, 23), bytes(rng.randrange(256) for _ in range(37 * 23 * 3)))
im.paste((250, 10, 20), (0, 0, 12, 8))
icc = open(sys.argv[1], 'rb').read()
im.save(sys.argv[2], icc_profile=icc)
im.save(sys.argv[3], quality=100, subsampling=0, icc_profile=icc)
)";

// Pillow's reading of a result (argv[2]) against its source (argv[1]) converted from its
// profile to sRGB by Pillow's ImageCms (lcms2), or left as it is (argv[3] "kept"): prints
// the largest channel difference, and 1 or 0 for a colour profile in the result.
constexpr const char* kCompareWithImageCms = R"(import io, sys
from PIL import Image, ImageCms
src = Image.open(sys.argv[1])
want = src.convert('RGB')
if sys.argv[3] != 'kept':
    profile = ImageCms.ImageCmsProfile(io.BytesIO(src.info['icc_profile']))
    want = ImageCms.profileToProfile(want, profile, ImageCms.createProfile('sRGB'),
                                     ImageCms.Intent.PERCEPTUAL)
got = Image.open(sys.argv[2])
tagged = 1 if got.info.get('icc_profile') else 0
got = got.convert('RGB')
assert got.size == want.size
print(max(abs(a - b) for p, q in zip(want.getdata(), got.getdata()) for a, b in zip(p, q)), tagged)
)";

TEST(StrippedColour, AResultWithoutTheProfileIsConvertedToSrgb) {
  if (!HaveExiftool() || !HavePillow()) GTEST_SKIP() << "exiftool or Pillow missing";
  ASSERT_TRUE(CodecReady());
  TestDir dir;
  const std::vector<uint8_t> p3 = DisplayP3Profile();
  const std::string icc = dir.write("p3.icc", std::string(p3.begin(), p3.end()));
  const std::string png = dir.file("p3 source.png"), jpg = dir.file("p3 source.jpg");
  ASSERT_EQ(RunCommand("/usr/bin/python3 -c " + ShellQuote(kTaggedSources) + " " +
                       ShellQuote(icc) + " " + ShellQuote(png) + " " + ShellQuote(jpg)),
            0);
  for (const std::string& source : {png, jpg}) {
    for (const bool keep : {false, true}) {
      SCOPED_TRACE(source + (keep ? " kept" : " stripped"));
      ConvertEngine engine;
      engine.Params.FileList = {source};
      engine.Params.OutputFolder = dir.file(ExtractFileExt(source) + (keep ? " kept" : " stripped"));
      engine.Params.TargetExt = ".png";
      engine.Params.KeepMetadata = keep;
      RecordingHost host;
      engine.TransProc(host, nullptr);
      ASSERT_TRUE(engine.AllSucceeded());
      const std::string out = engine.OutputPathFor(source);
      const std::string verdict =
          Capture("/usr/bin/python3 -c " + ShellQuote(kCompareWithImageCms) + " " +
                  ShellQuote(source) + " " + ShellQuote(out) + (keep ? " kept" : " converted"));
      int difference = -1, tagged = -1;
      ASSERT_EQ(std::sscanf(verdict.c_str(), "%d %d", &difference, &tagged), 2) << verdict;
      // lcms2 both ways: a rounding step; the JPEG source as two libjpeg builds decode it.
      EXPECT_LE(difference, source == png ? 1 : 3);
      EXPECT_EQ(tagged, keep ? 1 : 0);
    }
  }
}

// The colourants of the result's profile are the source's (the same colour space, though
// a JPEG XL file may keep it as a description from which the decoder writes a profile).
void ExpectSameColourants(const std::string& result, const std::string& source) {
  for (const char* tag : {"RedMatrixColumn", "GreenMatrixColumn", "BlueMatrixColumn"}) {
    double want[3] = {}, got[3] = {};
    const std::string a = ExiftoolTag(source, tag), b = ExiftoolTag(result, tag);
    ASSERT_EQ(std::sscanf(a.c_str(), "%lf %lf %lf", &want[0], &want[1], &want[2]), 3) << a;
    ASSERT_EQ(std::sscanf(b.c_str(), "%lf %lf %lf", &got[0], &got[1], &got[2]), 3) << tag << b;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 0.002) << tag << ": " << b << " vs " << a;
  }
}

TEST(JpegXlSources, KeepTheirExifAndProfileAsJpegSourcesDo) {
  if (!HaveExiftool() || !HavePillow()) GTEST_SKIP() << "exiftool or Pillow missing";
  ASSERT_TRUE(CodecReady());
  TestDir dir;
  const std::vector<uint8_t> p3 = DisplayP3Profile();
  const std::string icc = dir.write("p3.icc", std::string(p3.begin(), p3.end()));
  const std::string jpg = WriteOriented(dir, "camera.jpg", PatternBitmap(64, 48), 6);
  ASSERT_FALSE(jpg.empty());
  ASSERT_TRUE(Exiftool("-Make=Quorvane -Artist=Tester '-ICC_Profile<=" + icc + "'", jpg));
  // cjxl keeps a JPEG's EXIF in a Brotli-compressed box and takes its orientation into the
  // JPEG XL header; our own writer stores an "Exif" box as it is, which exiftool reads.
  const std::string cjxl = dir.file("cjxl.jxl");
  ASSERT_EQ(RunCommand("cjxl " + ShellQuote(jpg) + " " + ShellQuote(cjxl) + " >/dev/null 2>&1"), 0);
  auto convert = [&](const std::string& source, const std::string& ext, bool keep) {
    ConvertEngine engine;
    engine.Params.FileList = {source};
    engine.Params.OutputFolder = dir.file(ExtractFileName(source) + ext + (keep ? " kept" : ""));
    engine.Params.TargetExt = ext;
    engine.Params.KeepMetadata = keep;
    RecordingHost host;
    engine.TransProc(host, nullptr);
    EXPECT_TRUE(engine.AllSucceeded());
    EXPECT_EQ(std::count(host.lines.begin(), host.lines.end(), kMemoMetadataFailed), 0);
    return engine.OutputPathFor(source);
  };
  const std::string ours = convert(jpg, ".jxl", true);
  ASSERT_EQ(ExiftoolTag(ours, "Artist"), "Tester");
  for (const std::string& source : {cjxl, ours}) {
    for (const std::string ext : {".jpg", ".png", ".webp"}) {
      SCOPED_TRACE(source + " to " + ext);
      const std::string out = convert(source, ext, true);
      EXPECT_EQ(ExiftoolTag(out, "Make"), "Quorvane");
      EXPECT_EQ(ExiftoolTag(out, "Artist"), "Tester");
      // The JPEG XL picture comes out turned by its header: nothing is left to turn.
      EXPECT_EQ(ExiftoolTag(out, "Orientation"), "1");
      ExpectSameColourants(out, jpg);
      if (ext != ".webp") {
        const Bitmap upright = PillowPicture(dir, out, true);
        EXPECT_EQ(upright.Width(), 48);
        EXPECT_EQ(upright.Height(), 64);
      }
      const std::string stripped = convert(source, ext, false);
      EXPECT_EQ(ExiftoolTag(stripped, "Make"), "");
      EXPECT_EQ(ExiftoolTag(stripped, "ProfileDescription"), "");
    }
  }
}

TEST(ConvertOptionsExif, NoAutoOrientAndStripTurnTheirSwitchesOff) {
  const ConvertOptions plain = ParseConvertOptions({"a.jpg"});
  EXPECT_TRUE(plain.Params.AutoOrient);
  EXPECT_TRUE(plain.Params.KeepMetadata);
  const ConvertOptions off = ParseConvertOptions({"--no-auto-orient", "--strip", "a.jpg"});
  EXPECT_FALSE(off.Params.AutoOrient);
  EXPECT_FALSE(off.Params.KeepMetadata);
  EXPECT_THROW(ParseConvertOptions({"--strip=yes", "a.jpg"}), UsageError);
  EXPECT_NE(ConvertUsageText().find("--no-auto-orient"), std::string::npos);
  EXPECT_NE(ConvertUsageText().find("--strip"), std::string::npos);
}

}  // namespace
