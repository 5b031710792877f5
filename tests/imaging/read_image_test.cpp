#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "imaging/BmpFile.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureLoader.h"
#include "imaging/OpenIL.h"
#include "imaging/ReadImage.h"
#include "shell/Settings.h"
#include "support/ChildProcess.h"
#include "support/TestDir.h"
#include "thumbnails/ThumbnailReader.h"

using namespace quorvane;
using quorvane::test::MaxDifference;
using quorvane::test::PatternBitmap;
using quorvane::test::ReadFileBytes;
using quorvane::test::RunCommand;
using quorvane::test::RunWithTimeLimit;
using quorvane::test::ShellQuote;
using quorvane::test::TestDir;

namespace {

class ReadImage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(BindCodecLibrary()) << CodecBindFailure();
    ASSERT_TRUE(CodecInit());
  }
  static void TearDownTestSuite() { UnbindCodecLibrary(); }

  // Writes `picture` as a BMP and lets ImageMagick convert it to `target`
  // (which may carry a format prefix such as "sgi:").
  static void Convert(const Bitmap& picture, const TestDir& dir, const std::string& options,
                      const std::string& target) {
    const std::string source = dir.file("convert-source.bmp");
    WriteBmpFile(source, picture);
    ASSERT_EQ(RunCommand("convert " + ShellQuote(source) + " " + options + " " +
                         ShellQuote(target) + " 2>/dev/null"),
              0)
        << target;
  }
};

// Smooth, for lossy formats.
Bitmap Gradient(int w, int h) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(x, y, RGB(uint8_t(x * 255 / w), uint8_t(y * 255 / h), 100));
  return b;
}

// Few colours (fits any palette), different in every channel, not symmetric.
Bitmap FewColours(int w, int h) {
  static const RgbColor colours[] = {clRed,   clLime,           clBlue, clYellow,
                                   clWhite, RGB(10, 80, 200), clBlack};
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, colours[(x + y * y) % 7]);
  return b;
}

Bitmap Grey(int w, int h) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t v = uint8_t(x * 11 + y * 3);
      b.SetPixel(x, y, RGB(v, v, v));
    }
  return b;
}

void ExpectReads(const std::string& path, const Bitmap& expected, int tolerance = 0) {
  SCOPED_TRACE(path);
  Bitmap loaded = PatternBitmap(1, 1);
  ASSERT_TRUE(ReadImageFile(path, loaded));
  ASSERT_EQ(loaded.Width(), expected.Width());
  ASSERT_EQ(loaded.Height(), expected.Height());
  EXPECT_LE(MaxDifference(loaded, expected), tolerance);
  // The plug-in reads the same file the same way.
  PictureLoader plugin;
  EXPECT_TRUE(plugin.CanLoad(path));
  Bitmap viaPlugin;
  ASSERT_TRUE(plugin.LoadFile(path, viaPlugin));
  EXPECT_TRUE(viaPlugin.SamePixels(loaded));
}

}  // namespace

TEST_F(ReadImage, FilesWrittenByImageMagickGiveThePixelsWritten) {
  TestDir dir;
  const Bitmap pattern = PatternBitmap(29, 17);
  for (const char* name : {"a.png", "a.tif", "a.tiff", "a.pnm", "a.bmp"}) {
    Convert(pattern, dir, "", dir.file(name));
    ExpectReads(dir.file(name), pattern);
  }
  // This ImageMagick marks top-first TGA rows as bottom-up unless told the origin.
  Convert(pattern, dir, "-orient topleft", dir.file("a.tga"));
  ExpectReads(dir.file("a.tga"), pattern);
  // Windows 3 bitmap files too (ImageMagick writes version 5 headers by default).
  Convert(pattern, dir, "", "bmp3:" + dir.file("v3.bmp"));
  ExpectReads(dir.file("v3.bmp"), pattern);
  // SGI files under all four names (ImageMagick writes .rgb files raw unless told).
  for (const char* name : {"a.sgi", "a.rgb"}) {
    Convert(pattern, dir, "", "sgi:" + dir.file(name));
    ExpectReads(dir.file(name), pattern);
  }
  Convert(pattern, dir, "-alpha on", "sgi:" + dir.file("a.rgba"));
  ExpectReads(dir.file("a.rgba"), pattern);
  const Bitmap grey = Grey(29, 17);
  Convert(grey, dir, "-colorspace gray -type grayscale", "sgi:" + dir.file("a.bw"));
  ExpectReads(dir.file("a.bw"), grey);
  Convert(pattern, dir, "-define dds:compression=none", dir.file("a.dds"));
  ExpectReads(dir.file("a.dds"), pattern);
  // GIF: a picture with few colours comes through exactly.
  const Bitmap few = FewColours(29, 17);
  Convert(few, dir, "", dir.file("a.gif"));
  ExpectReads(dir.file("a.gif"), few);
  // MNG: the first picture.
  Convert(pattern, dir, "", dir.file("a.mng"));
  ExpectReads(dir.file("a.mng"), pattern);
  // JPEG under its three names.
  const Bitmap smooth = Gradient(48, 32);
  for (const char* name : {"a.jpg", "a.jpeg", "a.jpe"}) {
    Convert(smooth, dir, "-quality 95", dir.file(name));
    ExpectReads(dir.file(name), smooth, 12);
  }
}

TEST_F(ReadImage, PhotoCdFilesComeTheRightWayUp) {
  // Photo CD holds 768 x 512 pictures in its own colour space: compare colours
  // roughly, top against bottom.
  TestDir dir;
  const std::string path = dir.file("photo.pcd");
  ASSERT_EQ(
      RunCommand("convert -size 768x512 gradient:red-blue " + ShellQuote(path) + " 2>/dev/null"),
      0);
  Bitmap loaded;
  ASSERT_TRUE(ReadImageFile(path, loaded));
  ASSERT_EQ(loaded.Width(), 768);
  ASSERT_EQ(loaded.Height(), 512);
  const RgbColor top = loaded.Pixel(384, 4);
  const RgbColor bottom = loaded.Pixel(384, 507);
  EXPECT_GT(GetRValue(top), 200);
  EXPECT_LT(GetBValue(top), 60);
  EXPECT_LT(GetRValue(bottom), 60);
  EXPECT_GT(GetBValue(bottom), 200);
}

TEST_F(ReadImage, FilesWrittenByTheCodecLibraryGiveThePixelsWritten) {
  TestDir dir;
  const Bitmap pattern = PatternBitmap(21, 13);
  for (const char* name :
       {"b.pcx", "b.png", "b.tga", "b.tif", "b.sgi", "b.rgb", "b.rgba", "b.bw"}) {
    ASSERT_TRUE(CodecSave(dir.file(name), pattern, {0, true})) << name;
    ExpectReads(dir.file(name), pattern);
  }
  // The library saves ".pnm" only by type code.
  ASSERT_TRUE(CodecSave(dir.file("b.pnm"), pattern, {kCodecTypePnm}));
  ExpectReads(dir.file("b.pnm"), pattern);
  // Its DDS files are DXT-compressed: close, not exact.
  const Bitmap smooth = Gradient(32, 16);
  ASSERT_TRUE(CodecSave(dir.file("b.dds"), smooth, {0, true}));
  ExpectReads(dir.file("b.dds"), smooth, 24);
  // What the library writes is right side up for other programs too.
  for (const char* name : {"b.png", "b.tif"}) {
    const std::string check = dir.file(std::string(name) + ".bmp");
    ASSERT_EQ(RunCommand("convert " + ShellQuote(dir.file(name)) + " bmp3:" + ShellQuote(check)),
              0);
    ExpectReads(check, pattern);
  }
}

TEST_F(ReadImage, EachExtensionGoesToItsReader) {
  for (const char* name : {"a.jpg", "A.JPG", "b.Jpeg", "c.JPE"})
    EXPECT_EQ(ReaderForFile(name), ImageReaderKind::Jpeg) << name;
  for (const char* name : {"a.gif", "A.GIF"}) EXPECT_EQ(ReaderForFile(name), ImageReaderKind::Gif);
  for (const char* name : {"a.bmp", "A.BMP"}) EXPECT_EQ(ReaderForFile(name), ImageReaderKind::Bmp);
  for (const char* name : {"a.tiff", "a.rgba", "a.PNG", "a.xyz", "noextension", "dir.jpg/file"})
    EXPECT_EQ(ReaderForFile(name), ImageReaderKind::Codec) << name;

  PictureLoader plugin;
  for (std::string_view ext : CodecExtensions) {
    EXPECT_TRUE(plugin.CanLoad("/some/file" + std::string(ext)));
    std::string upper(ext);
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(plugin.CanLoad("/some/FILE" + upper));
  }
  for (const char* name : {"a.xyz", "a.txt", "a", "a.jpg.bak", "a.pn"})
    EXPECT_FALSE(plugin.CanLoad(name));
}

TEST_F(ReadImage, CapitalExtensionsAndUnknownExtensionsTakeTheRightPath) {
  TestDir dir;
  const Bitmap pattern = PatternBitmap(11, 7);
  // The codec library cannot read version-5 bitmap files: only the built-in reader
  // can, so this proves "X.BMP" went to it.
  Convert(pattern, dir, "", dir.file("X.BMP"));
  ExpectReads(dir.file("X.BMP"), pattern);
  Bitmap untouched = PatternBitmap(2, 2);
  EXPECT_FALSE(ReadImageWith(ImageReaderKind::Codec, dir.file("X.BMP"), untouched));

  // A PNG file under an unknown extension: ReadImageFile reads it through the codec
  // library (which recognises the contents); the plug-in refuses the name, and its
  // load treats it as a bitmap file and fails.
  Convert(pattern, dir, "", "png:" + dir.file("picture.xyz"));
  Bitmap loaded;
  ASSERT_TRUE(ReadImageFile(dir.file("picture.xyz"), loaded));
  EXPECT_TRUE(loaded.SamePixels(pattern));
  PictureLoader plugin;
  EXPECT_FALSE(plugin.CanLoad(dir.file("picture.xyz")));
  Bitmap keep = PatternBitmap(3, 3);
  EXPECT_FALSE(plugin.LoadFile(dir.file("picture.xyz"), keep));
  EXPECT_TRUE(keep.SamePixels(PatternBitmap(3, 3)));

  // Capital JPEG and GIF names read like lower-case ones.
  const Bitmap smooth = Gradient(32, 24);
  Convert(smooth, dir, "-quality 95", dir.file("P.JPG"));
  ExpectReads(dir.file("P.JPG"), smooth, 12);
  const Bitmap few = FewColours(9, 5);
  Convert(few, dir, "", dir.file("Q.GIF"));
  ExpectReads(dir.file("Q.GIF"), few);
}

TEST_F(ReadImage, NamesWithSpacesAndKoreanLetters) {
  TestDir dir;
  const Bitmap pattern = PatternBitmap(10, 6);
  for (const char* name : {"그림 파일.png", "사진 1.bmp", "한글 이름.tga"}) {
    ASSERT_TRUE(CodecSave(dir.file(name), pattern, {0, true})) << name;
    ExpectReads(dir.file(name), pattern);
  }
  const Bitmap few = FewColours(10, 6);
  Convert(few, dir, "", dir.file("움직이는 그림.gif"));
  ExpectReads(dir.file("움직이는 그림.gif"), few);
  Convert(Gradient(16, 16), dir, "-quality 95", dir.file("풍경 사진.JPEG"));
  ExpectReads(dir.file("풍경 사진.JPEG"), Gradient(16, 16), 12);
}

TEST_F(ReadImage, EmptyTruncatedAndCorruptFilesFailAndLeaveTheBitmapAlone) {
  TestDir dir;
  const Bitmap keep = PatternBitmap(5, 4);
  PictureLoader plugin;
  auto expectFails = [&](const std::string& path) {
    SCOPED_TRACE(path);
    Bitmap target = keep;
    EXPECT_FALSE(ReadImageFile(path, target));
    EXPECT_TRUE(target.SamePixels(keep));
    EXPECT_FALSE(plugin.LoadFile(path, target));
    EXPECT_TRUE(target.SamePixels(keep));
    int w = 0, h = 0;
    EXPECT_FALSE(plugin.LoadThumbnail(path, target, 8, 8, JpegPerformance::jpBestSpeed, w, h));
    EXPECT_TRUE(target.SamePixels(keep));
  };
  // Zero-byte files and missing files of every extension, and of an unknown one.
  for (std::string_view ext : CodecExtensions) {
    expectFails(dir.write("zero" + std::string(ext), ""));
    expectFails(dir.file("missing" + std::string(ext)));
  }
  expectFails(dir.write("zero.xyz", ""));

  // Truncated files: the built-in readers and the codec formats whose loaders fail
  // cleanly on a short file (a PNG file cut inside a chunk is refused before it
  // reaches the library, whose PNG loader would never return).
  const Bitmap pattern = PatternBitmap(40, 30);
  Convert(pattern, dir, "", dir.file("whole.bmp"));
  Convert(FewColours(40, 30), dir, "", dir.file("whole.gif"));
  Convert(Gradient(40, 30), dir, "", dir.file("whole.jpg"));
  for (const char* name : {"whole.png", "whole.tga", "whole.tif", "whole.sgi", "whole.pcx"})
    ASSERT_TRUE(CodecSave(dir.file(name), pattern, {0, true}));
  for (const char* ext : {".bmp", ".gif", ".jpg", ".png", ".tga", ".tif", ".sgi", ".pcx"}) {
    const std::string bytes = ReadFileBytes(dir.file(std::string("whole") + ext));
    ASSERT_GT(bytes.size(), 40u);
    // The library loads SGI and PCX files cut in half without reporting an error
    // (PCX: depending on what lay in memory), so only their headers are cut.
    if (std::string(ext) != ".sgi" && std::string(ext) != ".pcx")
      expectFails(dir.write(std::string("half") + ext, bytes.substr(0, bytes.size() / 2)));
    expectFails(dir.write(std::string("head") + ext, bytes.substr(0, 20)));
  }
  // A Dr. Halo CUT file loads as colour indices without its palette file, which cannot
  // be turned into colours: a failure, not a black picture.
  expectFails(dir.write(
      "halo.cut",
      std::string("\x04\x00\x02\x00\x00\x00\x03\x00\x84\x01\x00\x03\x00\x84\x02\x00", 16)));
  // Text under image names.
  for (const char* name : {"text.bmp", "text.gif", "text.jpg", "text.png", "text.tif", "text.tga"})
    expectFails(dir.write(name, "Just some text that is not a picture of any kind.\n"));
}

namespace {

// A 32-bit TGA file, top row first, from B, G, R, A quadruples.
std::string Tga32(int width, int height, const std::string& bgra) {
  std::string h(18, '\0');
  h[2] = 2;  // true colour
  h[12] = char(width);
  h[13] = char(width >> 8);
  h[14] = char(height);
  h[15] = char(height >> 8);
  h[16] = 32;
  h[17] = 0x28;  // top row first, 8 alpha bits
  return h + bgra;
}

}  // namespace

TEST_F(ReadImage, TransparentPixelsAreShownOverWhite) {
  TestDir dir;
  // Clear black, opaque red, half-transparent blue, half-transparent white.
  const Bitmap want = [] {
    Bitmap b(4, 1);
    b.SetPixel(0, 0, clWhite);
    b.SetPixel(1, 0, clRed);
    b.SetPixel(2, 0, RGB(127, 127, 255));
    b.SetPixel(3, 0, clWhite);
    return b;
  }();
  const std::string quads(
      "\0\0\0\0"
      "\0\0\xFF\xFF"
      "\xFF\0\0\x80"
      "\xFF\xFF\xFF\x80",
      16);
  ExpectReads(dir.write("clear.tga", Tga32(4, 1, quads)), want);

  // PNG with an alpha channel, and grey with alpha, written by Python's own zlib.
  const std::string script = R"(
import struct, sys, zlib
def png(path, colour_type, rows):
    def chunk(kind, data):
        c = kind + data
        return struct.pack('>I', len(data)) + c + struct.pack('>I', zlib.crc32(c) & 0xffffffff)
    width = len(rows[0]) // (4 if colour_type == 6 else 2)
    raw = b''.join(b'\0' + bytes(r) for r in rows)
    ihdr = struct.pack('>IIBBBBB', width, len(rows), 8, colour_type, 0, 0, 0)
    open(path, 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) +
        chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))
png(sys.argv[1], 6, [[0,0,0,0, 255,0,0,255, 0,0,255,128, 255,255,255,128]])
png(sys.argv[2], 4, [[0,0, 0,255, 100,0, 0,128]])
)";
  const std::string rgba = dir.file("clear rgba.png"), grey = dir.file("clear grey.png");
  ASSERT_EQ(RunCommand("python3 -c " + ShellQuote(script) + " " + ShellQuote(rgba) + " " +
                       ShellQuote(grey)),
            0);
  ExpectReads(rgba, want);
  Bitmap greys(4, 1);
  greys.SetPixel(0, 0, clWhite);
  greys.SetPixel(1, 0, clBlack);
  greys.SetPixel(2, 0, clWhite);
  greys.SetPixel(3, 0, RGB(127, 127, 127));
  ExpectReads(grey, greys);
}

TEST_F(ReadImage, PipesNamedLikePicturesAreRefusedWithoutWaiting) {
  TestDir dir;
  for (const char* name : {"pipe.jpg", "pipe.gif", "pipe.bmp", "pipe.png", "pipe.tga"}) {
    const std::string path = dir.file(name);
    ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
    const int status = RunWithTimeLimit(20, [&] {
      Bitmap bitmap;
      PictureLoader plugin;
      return !ReadImageFile(path, bitmap) && !plugin.LoadFile(path, bitmap) ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << name;
  }
  // A folder named like a picture is no picture either.
  std::filesystem::create_directory(dir.file("folder.png"));
  Bitmap bitmap;
  EXPECT_FALSE(ReadImageFile(dir.file("folder.png"), bitmap));
}

// Thumbnails of JPEG files are decoded at the smallest scale that still covers the box,
// and the loader still records the full size; other files are read whole.
TEST_F(ReadImage, ThePluginDecodesJpegThumbnailsAtAReducedScale) {
  TestDir dir;
  const Bitmap photo = Gradient(800, 600);
  const std::vector<uint8_t> jpeg = EncodeJpeg(photo, 90);
  const std::string path = dir.write("사진 1.jpg", std::string(jpeg.begin(), jpeg.end()));
  ASSERT_TRUE(CodecSave(dir.file("big.png"), photo, {0, true}));

  PictureLoader plugin;
  Bitmap reduced;
  int w = 0, h = 0;
  ASSERT_TRUE(plugin.LoadThumbnail(path, reduced, 94, 94, JpegPerformance::jpBestSpeed, w, h));
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  EXPECT_EQ(reduced.Width(), 200);  // 1/8 would be 75 rows, less than the box
  EXPECT_EQ(reduced.Height(), 150);
  // A box of the picture's own size: decoded whole.
  ASSERT_TRUE(plugin.LoadThumbnail(path, reduced, 800, 600, JpegPerformance::jpBestSpeed, w, h));
  EXPECT_EQ(reduced.Width(), 800);

  ThumbnailReader loader;
  loader.SetCustomPlugin(&plugin);
  for (const std::string& file : {path, dir.file("big.png")}) {
    SCOPED_TRACE(file);
    ASSERT_EQ(loader.LoadThumbnail(file, 94, 94, 0), 0);
    EXPECT_EQ(loader.ImageType(), iitCustom);
    EXPECT_EQ(loader.OrgWidth(), 800);
    EXPECT_EQ(loader.OrgHeight(), 600);
    EXPECT_EQ(loader.Bitmap().Width(), 94);
    EXPECT_EQ(loader.Bitmap().Height(), 70);
    // The gradient's corners survive the reduced decode and the shrink.
    Bitmap whole = photo;
    ResizeBitmap(whole, 94, 70);
    EXPECT_LE(MaxDifference(loader.Bitmap(), whole), 12);
  }
}
