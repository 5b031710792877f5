// The batch's metadata rules at their edges: a TIFF left as stored, EXIF that comes from
// a PNG's eXIf chunk, the chunk PNG results carry it in, the file time of a stripped
// result, and the picture-describing tags a JPEG result keeps.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "processing/ConvertEngine.h"
#include "processing/ConvertTestHelpers.h"
#include "imaging/BmpFile.h"
#include "platform/FileNames.h"
#include "support/ExifSamples.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

constexpr time_t kSourceTime = 1000000000;

class MetadataRules : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveExiftool() || !HavePillow()) GTEST_SKIP() << "exiftool or Pillow missing";
    ASSERT_TRUE(CodecReady());
  }
  // Converts `source` into `ext`; answers the output path.
  std::string Convert(const std::string& source, const std::string& ext, bool autoOrient,
                      bool keep = true) {
    ConvertEngine engine;
    engine.Params.FileList = {source};
    engine.Params.OutputFolder = dir_.file(ExtractFileName(source) + " to " + ext.substr(1) +
                                           (autoOrient ? "" : " stored") + (keep ? "" : " strip"));
    engine.Params.TargetExt = ext;
    engine.Params.AutoOrient = autoOrient;
    engine.Params.KeepMetadata = keep;
    RecordingHost host;
    engine.TransProc(host, nullptr);
    EXPECT_TRUE(engine.AllSucceeded()) << source;
    return engine.OutputPathFor(source);
  }
  TestDir dir_;
};

// A TIFF file's picture as ImageMagick shows it: its stored pixels turned by its
// Orientation tag. (Pillow reads some TIFF files through libtiff's RGBA interface, which
// turns them by part of the tag, and then turns them again.)
Bitmap MagickUpright(const TestDir& dir, const std::string& path) {
  const std::string out = dir.file(ExtractFileName(path) + ".magick.bmp");
  Bitmap picture;
  if (RunCommand("convert " + ShellQuote(path) + " -auto-orient -type TrueColor " +
                 ShellQuote("bmp3:" + out) + " 2>/dev/null") == 0)
    ReadBmpFile(out, picture);
  return picture;
}

// Left as stored (--no-auto-orient), a TIFF result still shows as its source: either its
// stored pixels with the tag or, where the reader turns them, upright with Orientation 1.
TEST_F(MetadataRules, TiffLeftAsStoredShowsAsItsSource) {
  const Bitmap corners = CornerPicture();
  for (int orientation = 2; orientation <= 8; ++orientation) {
    const std::string source =
        WriteOriented(dir_, "turned " + std::to_string(orientation) + ".tif", corners, orientation);
    ASSERT_FALSE(source.empty());
    const Bitmap shown = MagickUpright(dir_, source);
    ASSERT_EQ(shown.Width(), orientation >= 5 ? 3 : 2);
    const std::string out = Convert(source, ".tif", false);
    EXPECT_TRUE(MagickUpright(dir_, out).SamePixels(shown)) << "orientation " << orientation;
  }
}

// A PNG whose eXIf chunk says Orientation 6 is turned upright like a JPEG.
TEST_F(MetadataRules, PngExifOrientationTurnsThePicture) {
  const std::string source = WriteOriented(dir_, "phone.png", CornerPicture(), 0);
  ASSERT_TRUE(Exiftool("-n -Orientation=6 -Make=Quorvane", source));
  ASSERT_EQ(ExiftoolTag(source, "Orientation"), "6");
  const Bitmap upright = PillowPicture(dir_, source, true);
  ASSERT_EQ(upright.Width(), 3);
  const std::string out = Convert(source, ".png", true);
  EXPECT_TRUE(PillowPicture(dir_, out, false).SamePixels(upright));
  EXPECT_EQ(ExiftoolTag(out, "Orientation"), "1");
  EXPECT_EQ(ExiftoolTag(out, "Make"), "Quorvane");
}

// The chunk types of a PNG file, in order.
std::vector<std::string> PngChunks(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  std::vector<std::string> chunks;
  for (size_t at = 8; at + 12 <= bytes.size();) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
    const size_t length = size_t(p[0]) << 24 | size_t(p[1]) << 16 | size_t(p[2]) << 8 | p[3];
    chunks.push_back(bytes.substr(at + 4, 4));
    at += 12 + length;
  }
  return chunks;
}

// PNG results carry EXIF in the standard eXIf chunk (and the profile in iCCP), before
// the picture data; no text chunk holds them.
TEST_F(MetadataRules, PngResultsCarryExifInTheStandardChunk) {
  const std::string source = WriteOriented(dir_, "camera.jpg", PatternBitmap(20, 10), 8);
  ASSERT_TRUE(Exiftool("-Make=Quorvane '-ICC_Profile<=" + WriteIccProfile(dir_, "srgb.icc") + "'",
                       source));
  const std::string out = Convert(source, ".png", true);
  const std::vector<std::string> chunks = PngChunks(out);
  EXPECT_EQ(chunks, (std::vector<std::string>{"IHDR", "iCCP", "eXIf", "IDAT", "IEND"}));
  EXPECT_EQ(ExiftoolTag(out, "Make"), "Quorvane");
  EXPECT_EQ(ExiftoolTag(out, "Orientation"), "1");
  EXPECT_EQ(ExiftoolTag(out, "ProfileDescription"), "sRGB built-in");
  // Pillow reads the chunk too.
  EXPECT_EQ(PillowPicture(dir_, out, true).Width(), 10);
}

// Without metadata (--strip, the setting off) every result still keeps the file time.
TEST_F(MetadataRules, StrippedResultsKeepTheFileTime) {
  const std::string source = WriteOriented(dir_, "old.jpg", PatternBitmap(8, 6), 6);
  ASSERT_TRUE(Exiftool("-Make=Quorvane", source));
  const timespec times[2] = {{kSourceTime, 0}, {kSourceTime, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
  for (const std::string ext : {".jpg", ".png", ".tif", ".bmp", ".webp"}) {
    const std::string out = Convert(source, ext, true, false);
    struct stat st {};
    ASSERT_EQ(stat(out.c_str(), &st), 0) << ext;
    EXPECT_EQ(st.st_mtim.tv_sec, kSourceTime) << ext;
    EXPECT_EQ(ExiftoolTag(out, "Make"), "") << ext;
  }
}

// YCbCrPositioning says where a picture's colour samples sit: JPEG results keep it. Tags
// about the source's storage (its compression, its strips) are not carried over.
TEST_F(MetadataRules, JpegResultsKeepTagsThatDescribeThePicture) {
  const std::string source = WriteOriented(dir_, "cosited.jpg", PatternBitmap(16, 16), 1);
  ASSERT_TRUE(Exiftool("-n -YCbCrPositioning=2 -Make=Quorvane", source));
  const std::string tiff = WriteOriented(dir_, "strips.tif", PatternBitmap(16, 16), 1);
  ASSERT_TRUE(Exiftool("-n -YCbCrPositioning=2", tiff));
  for (const std::string& from : {source, tiff}) {
    const std::string out = Convert(from, ".jpg", true);
    EXPECT_EQ(ExiftoolTag(out, "YCbCrPositioning"), "2") << from;
    EXPECT_EQ(ExiftoolTag(out, "StripOffsets"), "") << from;
    EXPECT_EQ(ExiftoolTag(out, "RowsPerStrip"), "") << from;
  }
}

}  // namespace
