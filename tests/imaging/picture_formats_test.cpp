// HEIF, AVIF, WebP, JPEG XL and camera RAW files, made here by the formats' own
// encoders, read through the codec helper and compared with the formats' own decoders;
// their orientation, embedded thumbnails, misnamed, damaged and truncated files.

#include "imaging/PictureFormatsFixture.h"

using namespace quorvane;
using namespace quorvane::test;
using namespace quorvane::test::formats;

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

// The header alone tells whether a file's colours are other than sRGB's: a colour profile
// in a JPEG, PNG, TIFF, WebP or HEIC file, AVIF primaries other than BT.709's; files
// without either say nothing, whatever their format.
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
