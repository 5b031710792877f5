// Damaged EXIF never costs more than that file's metadata: IFD loops, offsets and
// counts past the end, and random mutants of a camera-like file are read without harm
// through the metadata helper, and the pictures still read, show and convert.
#include <gtest/gtest.h>

#include "processing/ConvertEngine.h"
#include "processing/ConvertTestHelpers.h"
#include "imaging/ExifMeta.h"
#include "imaging/ReadImage.h"
#include "support/DamagedFiles.h"
#include "support/ExifSamples.h"
#include "thumbnails/ThumbnailReader.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

TEST(MalformedExif, HandBuiltDamageIsReadSafelyAndThePicturesStillWork) {
  ASSERT_TRUE(CodecReady());
  TestDir dir;
  std::vector<std::string> files;
  const auto blocks = MalformedExifBlocks();
  for (size_t i = 0; i < blocks.size(); ++i)
    files.push_back(WriteJpegWithExif(dir, "bad " + std::to_string(i) + ".jpg",
                                      PatternBitmap(32, 24), blocks[i]));
  ThumbnailReader loader;
  for (const std::string& file : files) {
    ExifInfo info;
    ReadExifInfo(file, info);  // may find something or nothing; it must come back
    EXPECT_TRUE(info.thumbnail.empty()) << file;  // none of them holds a usable one
    Bitmap picture;
    ASSERT_TRUE(ReadImageFile(file, picture)) << file;
    EXPECT_EQ(picture.Width() * picture.Height(), 32 * 24) << file;
    ASSERT_EQ(loader.LoadThumbnail(file, 94, 94, 0), 0) << file;
    EXPECT_EQ(loader.OrgWidth() * loader.OrgHeight(), 32 * 24) << file;
  }
  ConvertEngine engine;
  engine.Params.FileList = files;
  engine.Params.OutputFolder = dir.file("out");
  RecordingHost host;
  engine.TransProc(host, nullptr);
  EXPECT_EQ(engine.ErrorCount(), 0);

  // The helper is still (or again) at work for a sound file.
  const std::string sound = WriteJpegWithExif(dir, "sound.jpg", PatternBitmap(32, 24), [] {
    auto b = MalformedExifBlocks()[0];
    b[b.size() - 4] = 0;  // next IFD: none
    return b;
  }());
  EXPECT_EQ(ReadExifOrientation(sound), 6);
}

TEST(MalformedExif, MutantsOfACameraFileNeverHurtTheCaller) {
  if (!HaveExiftool()) GTEST_SKIP() << "exiftool missing";
  ASSERT_TRUE(CodecReady());
  TestDir dir;
  const std::string seed = WriteOriented(dir, "seed.jpg", PatternBitmap(40, 30), 8);
  const std::string thumb = dir.file("t.jpg");
  ASSERT_EQ(RunCommand("convert -size 160x120 xc:green " + ShellQuote(thumb)), 0);
  ASSERT_TRUE(Exiftool("-Make=Quorvane '-ThumbnailImage<=" + thumb + "'", seed));
  ThumbnailReader loader;
  int index = 0;
  for (const std::string& bytes : Mutants(seed, 16, 60)) {
    const std::string file = dir.write("mutant " + std::to_string(index++) + ".jpg", bytes);
    ExifInfo info;
    ReadExifInfo(file, info);
    EXPECT_TRUE(info.orientation >= 0 && info.orientation <= 8);
    EXPECT_LE(info.thumbnail.size(), kMaxExifThumbnailBytes);
    Bitmap picture;
    ReadImageFile(file, picture);
    EXPECT_NE(loader.LoadThumbnail(file, 94, 94, 0), 1) << file;
  }
  EXPECT_EQ(ReadExifOrientation(seed), 8);
}

}  // namespace
