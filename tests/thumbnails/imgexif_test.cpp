// Grid thumbnails from a JPEG's own EXIF thumbnail: when it may stand for the picture,
// that it is used (turned upright like the picture), and every case that falls back to
// decoding the picture.
#include "thumbnails/ImgExif.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/BmpFile.h"
#include "imaging/CodecClient.h"
#include "imaging/ExifMeta.h"
#include "imaging/ExifOptions.h"
#include "support/ExifSamples.h"
#include "thumbnails/ThumbnailReader.h"
#include "thumbnails/ThumbnailCacheFile.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

TEST(EmbeddedThumbnailServes, CoversTheFittedSizeWithThePicturesProportions) {
  // 4000 x 3000 fits a 94 x 94 box as 94 x 70.
  EXPECT_TRUE(EmbeddedThumbnailServes(igtPreview, 4000, 3000, 160, 120, 94, 94));
  EXPECT_TRUE(EmbeddedThumbnailServes(igtPreview, 4000, 3000, 94, 70, 94, 94));
  EXPECT_FALSE(EmbeddedThumbnailServes(igtPreview, 4000, 3000, 93, 70, 94, 94));  // too small
  EXPECT_FALSE(EmbeddedThumbnailServes(igtPreview, 4000, 3000, 160, 120, 200, 200));
  // 3:2: 160 x 107 is within a pixel of 160 x 106.67; 160 x 120 (black bars) is not.
  EXPECT_TRUE(EmbeddedThumbnailServes(igtPreview, 6000, 4000, 160, 107, 94, 94));
  EXPECT_FALSE(EmbeddedThumbnailServes(igtPreview, 6000, 4000, 160, 105, 94, 94));
  EXPECT_FALSE(EmbeddedThumbnailServes(igtPreview, 6000, 4000, 160, 120, 94, 94));
  // Portrait picture, landscape thumbnail of another picture.
  EXPECT_FALSE(EmbeddedThumbnailServes(igtPreview, 3000, 4000, 160, 120, 94, 94));
  // No fitting, no thumbnail; nonsense sizes never serve.
  EXPECT_FALSE(EmbeddedThumbnailServes(igtNormal, 4000, 3000, 160, 120, 94, 94));
  EXPECT_FALSE(EmbeddedThumbnailServes(igtPreview, 0, 0, 160, 120, 94, 94));
  EXPECT_FALSE(EmbeddedThumbnailServes(igtPreview, 4000, 3000, 160, 120, 0, 94));
}

// Left half `left`, right half `right`.
Bitmap Halves(int w, int h, RgbColor left, RgbColor right) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, x < w / 2 ? left : right);
  return b;
}

bool Near(RgbColor a, RgbColor b) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 40) return false;
  return true;
}

class EmbeddedThumbnails : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool missing";
    SetExifOptions({});
  }
  void TearDown() override { SetExifOptions({}); }

  // An 800 x 600 photograph, red | yellow, whose embedded thumbnail is `thumb`
  // (blue | lime when not given), stored with `orientation`.
  std::string Photo(const std::string& name, int orientation, const Bitmap& thumb) {
    const std::string file =
        WriteOriented(dir_, name, Halves(800, 600, clRed, clYellow), orientation);
    const std::string thumbFile = dir_.file(name + ".thumb.jpg");
    WriteBmpFile(thumbFile + ".bmp", thumb);
    EXPECT_EQ(RunCommand("convert " + ShellQuote(thumbFile + ".bmp") + " -quality 95 " +
                         ShellQuote(thumbFile)),
              0);
    return EmbedThumbnail(file, thumbFile);
  }
  std::string EmbedThumbnail(const std::string& file, const std::string& thumbFile) {
    EXPECT_TRUE(Exiftool("'-ThumbnailImage<=" + thumbFile + "'", file)) << file;
    EXPECT_EQ(ExiftoolTag(file, "ThumbnailLength"),
              std::to_string(ReadFileBytes(thumbFile).size()));
    return file;
  }

  TestDir dir_;
};

TEST_F(EmbeddedThumbnails, StandInForThePictureTurnedLikeItAndOnlyWhenSwitchedOn) {
  const std::string flat = Photo("flat 사진.jpg", 1, Halves(160, 120, clBlue, clLime));
  ThumbnailReader loader;
  ASSERT_EQ(loader.LoadThumbnail(flat, 94, 94, 0), 0);
  EXPECT_EQ(loader.Bitmap().Width(), 94);
  EXPECT_EQ(loader.Bitmap().Height(), 70);
  EXPECT_EQ(loader.OrgWidth(), 800);
  EXPECT_EQ(loader.OrgHeight(), 600);
  EXPECT_EQ(loader.LastDecodeScale(), 0) << "the picture itself was decoded";
  EXPECT_TRUE(Near(loader.Bitmap().Pixel(10, 35), clBlue));
  EXPECT_TRUE(Near(loader.Bitmap().Pixel(84, 35), clLime));

  // Turned a quarter clockwise (orientation 6): the left half comes on top.
  const std::string turned = Photo("turned.jpg", 6, Halves(160, 120, clBlue, clLime));
  ASSERT_EQ(loader.LoadThumbnail(turned, 94, 94, 0), 0);
  EXPECT_EQ(loader.Bitmap().Width(), 70);
  EXPECT_EQ(loader.Bitmap().Height(), 94);
  EXPECT_EQ(loader.OrgWidth(), 600);
  EXPECT_EQ(loader.OrgHeight(), 800);
  EXPECT_TRUE(Near(loader.Bitmap().Pixel(35, 10), clBlue));
  EXPECT_TRUE(Near(loader.Bitmap().Pixel(35, 84), clLime));

  // Switched off: the picture itself, the same size and turn.
  SetExifOptions({true, false, true});
  ASSERT_EQ(loader.LoadThumbnail(turned, 94, 94, 0), 0);
  EXPECT_EQ(loader.Bitmap().Width(), 70);
  EXPECT_EQ(loader.Bitmap().Height(), 94);
  EXPECT_GT(loader.LastDecodeScale(), 0);
  EXPECT_TRUE(Near(loader.Bitmap().Pixel(35, 10), clRed));
  EXPECT_TRUE(Near(loader.Bitmap().Pixel(35, 84), clYellow));
}

TEST_F(EmbeddedThumbnails, ThumbnailsThatCannotStandInFallBackToThePicture) {
  ThumbnailReader loader;
  auto expectPicture = [&](const std::string& file, const char* why) {
    ASSERT_EQ(loader.LoadThumbnail(file, 94, 94, 0), 0) << why;
    EXPECT_EQ(loader.Bitmap().Width(), 94) << why;
    EXPECT_EQ(loader.Bitmap().Height(), 70) << why;
    EXPECT_GT(loader.LastDecodeScale(), 0) << why;
    EXPECT_TRUE(Near(loader.Bitmap().Pixel(10, 35), clRed)) << why;
  };
  expectPicture(Photo("square.jpg", 1, Halves(160, 160, clBlue, clLime)), "another aspect");
  expectPicture(Photo("small.jpg", 1, Halves(40, 30, clBlue, clLime)), "smaller than the box");
  // A thumbnail cut off after its header: it claims 160 x 120 and cannot be decoded.
  const std::string whole = dir_.file("whole.jpg");
  WriteBmpFile(whole + ".bmp", Halves(160, 120, clBlue, clLime));
  ASSERT_EQ(RunCommand("convert " + ShellQuote(whole + ".bmp") + " " + ShellQuote(whole)), 0);
  const std::string cut = dir_.write("cut.jpg", ReadFileBytes(whole).substr(0, 400));
  expectPicture(
      EmbedThumbnail(WriteOriented(dir_, "damaged.jpg", Halves(800, 600, clRed, clYellow), 1), cut),
      "damaged thumbnail");
  // No thumbnail at all.
  expectPicture(WriteOriented(dir_, "plain.jpg", Halves(800, 600, clRed, clYellow), 1), "none");
}

TEST_F(EmbeddedThumbnails, AJpegWithoutExifIsReadWithoutTheMetadataHelper) {
  CodecClient meta(MetaClientOptions());
  SetThreadHelpers({nullptr, &meta});
  ThumbnailReader loader;
  // Orientation 0: no EXIF block at all.
  const std::string plain = WriteOriented(dir_, "plain.jpg", Halves(800, 600, clRed, clYellow), 0);
  ASSERT_EQ(loader.LoadThumbnail(plain, 94, 94, 0), 0);
  EXPECT_EQ(loader.Bitmap().Width(), 94);
  EXPECT_EQ(meta.StartCount(), 0);
  // EXIF among other segments (JFIF before it, a comment after): the helper is asked.
  const std::string turned = WriteOriented(dir_, "turned.jpg", Halves(800, 600, clRed, clYellow), 6);
  ASSERT_TRUE(Exiftool("-Comment=hello", turned));
  ASSERT_EQ(loader.LoadThumbnail(turned, 94, 94, 0), 0);
  EXPECT_EQ(loader.Bitmap().Width(), 70);
  EXPECT_TRUE(Near(loader.Bitmap().Pixel(35, 10), clRed));
  EXPECT_EQ(meta.StartCount(), 1);
  SetThreadHelpers({});
}

TEST_F(EmbeddedThumbnails, CachedThumbnailsAreStoredUpright) {
  for (bool embedded : {true, false}) {
    SetExifOptions({true, embedded, true});
    const std::string photo =
        Photo(embedded ? "cached a.jpg" : "cached b.jpg", 6, Halves(160, 120, clBlue, clLime));
    ThumbnailCacheFile cache;
    cache.SetPathType(iptFolder);
    cache.SetFileName("thumbs.dat");
    ThumbnailReader loader;
    loader.SetThumbnail(&cache);
    loader.SetAutoThumb(true);
    ASSERT_EQ(loader.LoadThumbnail(photo, 94, 94, 0), 0);
    std::vector<uint8_t> stored;
    ASSERT_TRUE(cache.LookUp(photo, stored));
    EXPECT_EQ(cache.LastEntry().Width, 70);
    EXPECT_EQ(cache.LastEntry().Height, 94);
    EXPECT_EQ(cache.LastEntry().SourceWidth, 600);
    EXPECT_EQ(cache.LastEntry().SourceHeight, 800);

    // The file unreadable with its date kept: the cache answers, upright.
    const auto mtime = std::filesystem::last_write_time(photo);
    std::filesystem::resize_file(photo, 10);
    std::filesystem::last_write_time(photo, mtime);
    ASSERT_EQ(loader.LoadThumbnail(photo, 94, 94, 0), 0);
    EXPECT_EQ(loader.Bitmap().Width(), 70);
    EXPECT_EQ(loader.Bitmap().Height(), 94);
    EXPECT_EQ(loader.OrgWidth(), 600);
    EXPECT_TRUE(Near(loader.Bitmap().Pixel(35, 10), embedded ? clBlue : clRed)) << embedded;
  }
}

}  // namespace
