// Camera pictures the right way up: every EXIF orientation through ReadImageFile (what
// the viewer and the previews show), the thumbnail loader and the batch, compared with
// Pillow's reading of the same files; and the same files as stored with the switch off.
#include <gtest/gtest.h>

#include "processing/ConvertEngine.h"
#include "imaging/Orient.h"
#include "imaging/BmpFile.h"
#include "imaging/ExifOptions.h"
#include "imaging/PictureLoader.h"
#include "imaging/OpenIL.h"
#include "imaging/ReadImage.h"
#include "support/ExifSamples.h"
#include "thumbnails/ThumbnailReader.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

class NullHost : public ConvertHost {
 public:
  std::vector<std::string> lines;
  void MemoLine(const std::string& line) override { lines.push_back(line); }
};

// JPEG at quality 100 still moves a colour byte by a few steps; the six colours are
// at least 255 apart in some channel.
constexpr int kTolerance = 24;

class ExifOrientation : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(BindCodecLibrary()) << CodecBindFailure();
    ASSERT_TRUE(CodecInit());
  }
  static void TearDownTestSuite() { UnbindCodecLibrary(); }
  void SetUp() override {
    if (!HaveExiftool() || !HavePillow()) GTEST_SKIP() << "exiftool or Pillow missing";
    SetExifOptions({});
  }
  void TearDown() override { SetExifOptions({}); }
};

void ExpectSame(const Bitmap& expected, const Bitmap& actual, const std::string& what) {
  ASSERT_FALSE(expected.Empty()) << what << ": no reference picture";
  ASSERT_EQ(actual.Width(), expected.Width()) << what;
  ASSERT_EQ(actual.Height(), expected.Height()) << what;
  EXPECT_LE(MaxDifference(expected, actual), kTolerance) << what;
}

TEST_P(ExifOrientation, EveryOrientationIsUprightWhereverTheFileIsRead) {
  const std::string ext = GetParam();
  TestDir dir;
  std::vector<std::string> files;
  std::vector<Bitmap> upright, stored;
  for (int o = 1; o <= 8; ++o) {
    const std::string file =
        WriteOriented(dir, "사진 " + std::to_string(o) + ext, CornerPicture(), o);
    ASSERT_FALSE(file.empty()) << o;
    files.push_back(file);
    // Pillow turns TIFF pictures on opening already: its references come from the
    // same picture and orientation as JPEG.
    const std::string reference =
        ext == ".jpg" ? file
                      : WriteOriented(dir, "ref " + std::to_string(o) + ".jpg", CornerPicture(), o);
    upright.push_back(PillowPicture(dir, reference, true));
    stored.push_back(PillowPicture(dir, reference, false));
  }
  // Pillow agrees that the files are stored as the 2 x 3 picture and turns 5..8.
  ASSERT_EQ(stored[5].Width(), 2);
  ASSERT_EQ(upright[5].Width(), 3);

  ThumbnailReader loader;
  PictureLoader codecPlugin;  // as the program installs it
  loader.SetCustomPlugin(&codecPlugin);
  for (int o = 1; o <= 8; ++o) {
    const std::string& file = files[size_t(o - 1)];
    const std::string what = ext + " orientation " + std::to_string(o);
    Bitmap read;
    ASSERT_TRUE(ReadImageFile(file, read)) << what;
    ExpectSame(upright[size_t(o - 1)], read, "ReadImageFile " + what);
    if (ext == ".jpg") {  // (the codec library's TIFF reader applies part of it itself)
      ASSERT_TRUE(ReadImageFile(file, read, false)) << what;
      ExpectSame(stored[size_t(o - 1)], read, "ReadImageFile as stored " + what);
    }

    ASSERT_EQ(loader.LoadThumbnail(file, 94, 94, 0), 0) << what;
    ExpectSame(upright[size_t(o - 1)], loader.Bitmap(), "thumbnail " + what);
    EXPECT_EQ(loader.OrgWidth(), upright[size_t(o - 1)].Width()) << what;
    EXPECT_EQ(loader.OrgHeight(), upright[size_t(o - 1)].Height()) << what;
  }

  // The program-wide switch off: exactly the stored pictures, in the viewer's reader
  // and in the thumbnails.
  SetExifOptions({false, true, true});
  for (int o : {3, 6}) {
    if (ext != ".jpg") break;
    Bitmap read;
    ASSERT_TRUE(ReadImageFile(files[size_t(o - 1)], read));
    ExpectSame(stored[size_t(o - 1)], read, "switched off " + std::to_string(o));
    ASSERT_EQ(loader.LoadThumbnail(files[size_t(o - 1)], 94, 94, 0), 0);
    ExpectSame(stored[size_t(o - 1)], loader.Bitmap(), "thumbnail switched off");
  }
  SetExifOptions({});

  // The batch, written losslessly and read back; then with AutoOrient off.
  for (bool autoOrient : {true, false}) {
    ConvertEngine engine;
    engine.Params.FileList = files;
    engine.Params.OutputFolder = dir.file(autoOrient ? "upright" : "stored");
    engine.Params.TargetExt = ".bmp";
    engine.Params.AutoOrient = autoOrient;
    NullHost host;
    engine.TransProc(host, nullptr);
    ASSERT_TRUE(engine.AllSucceeded());
    for (int o = 1; o <= 8; ++o) {
      if (!autoOrient && ext != ".jpg") break;
      Bitmap back;
      ReadBmpFile(engine.OutputPathFor(files[size_t(o - 1)]), back);
      ExpectSame(autoOrient ? upright[size_t(o - 1)] : stored[size_t(o - 1)], back,
                 "batch " + std::to_string(o));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(JpegAndTiff, ExifOrientation, ::testing::Values(".jpg", ".tif"));

// The pixel transform itself on a picture too large to hide a mistake at the edges.
TEST(ApplyOrientation, TurnsAndMirrorsExactlyAndLeavesOtherValuesAlone) {
  const Bitmap source = PatternBitmap(5, 3);
  for (int o = 0; o <= 9; ++o) {
    Bitmap b = source;
    ApplyOrientation(b, o);
    const bool swaps = o >= 5 && o <= 8;
    ASSERT_EQ(b.Width(), swaps ? 3 : 5) << o;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) {
        // Where the upright pixel (x, y) was stored.
        int sx = x, sy = y;
        switch (o) {
          case 2:
            sx = 4 - x;
            break;
          case 3:
            sx = 4 - x;
            sy = 2 - y;
            break;
          case 4:
            sy = 2 - y;
            break;
          case 5:
            sx = y;
            sy = x;
            break;
          case 6:
            sx = y;
            sy = 2 - x;
            break;
          case 7:
            sx = 4 - y;
            sy = 2 - x;
            break;
          case 8:
            sx = 4 - y;
            sy = x;
            break;
          default:
            break;
        }
        ASSERT_EQ(b.Pixel(x, y), source.Pixel(sx, sy))
            << "orientation " << o << " at " << x << "," << y;
      }
  }
}

}  // namespace
