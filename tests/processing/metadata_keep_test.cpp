// The batch keeps a camera picture's metadata: EXIF (upright, without the old embedded
// thumbnail), colour profile and file time, in JPEG, PNG and TIFF results; --strip and
// the setting turn it off; the command line's switches.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "processing/ConvertEngine.h"
#include "processing/ConvertOptions.h"
#include "processing/ConvertTestHelpers.h"
#include "imaging/ExifLibrary.h"
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
