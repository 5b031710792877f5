// Colours of HEIF, AVIF, WebP and JPEG XL files: Display P3 and other primaries shown as
// sRGB, what a file's header tells of its colours, and the profile and EXIF the batch
// keeps from such sources.

#include "imaging/PictureFormatsFixture.h"

using namespace quorvane;
using namespace quorvane::test;
using namespace quorvane::test::formats;

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
