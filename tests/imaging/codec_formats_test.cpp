// Every codec extension read exactly: for each, files made by writers other than ours
// (Pillow, ImageMagick, Netpbm's tools, tiffcp) in the variants people meet, read by the
// program and compared pixel by pixel with Pillow's reading of the same file (or, where
// Pillow cannot read the format or rounds differently, with the format's own tool). The
// writers run at test time; pillow_pixels.py beside this file is Pillow's side.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "imaging/ImageFormats.h"
#include "imaging/ImgResize.h"
#include "imaging/OpenIL.h"
#include "imaging/PnmReader.h"
#include "imaging/ReadImage.h"
#include "imaging/TiffReader.h"
#include "platform/FileNames.h"
#include "support/DamagedFiles.h"
#include "support/ExifSamples.h"
#include "support/PixelCompare.h"
#include "support/TestDir.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

// One file to read: `make` writes `name` in the test folder (a shell command run there;
// P runs pillow_pixels.py under Debian's Python). The reference picture is Pillow's
// reading of `reference` (empty: of the file itself). `tolerance` is the largest
// difference of a colour byte allowed: 0 for lossless formats. `ignoreRight` columns at
// the right edge are left out (a known defect of the codec library, named where used).
struct Variant {
  const char* name;
  const char* make;
  const char* reference = "";
  int tolerance = 0;
  int ignoreRight = 0;
};

// Pictures made once for every variant (pillow_pixels.py sources): rgb.png 13 x 7,
// rgba.png 17 x 5 with random alpha, grey.png 11 x 9, wide.png 301 x 3, one.png 1 x 1,
// flat.png 9 x 4 of one colour, palette.png 15 x 6 of 23 colours (one transparent),
// grey16.png 10 x 6 of 16-bit grey; all noise but flat.png. Then the same in the forms
// other writers start from.
constexpr const char* kSources =
    "P sources . && P write rgb.png rgb.ppm && P write grey.png grey.pgm && "
    "P write rgb.png base.tif && P write rgba.png base-rgba.tif && "
    "convert -seed 29 -size 13x7 xc: +noise Random -depth 16 rgb16.tif";

// Netpbm: PBM, PGM, PPM plain and raw, maxval up to 65535, comments; PAM. Pillow rounds
// halves to even when it scales a maxval other than 255 or 65535, so those files are
// compared with Netpbm's own scaling to 255 (pamdepth), which rounds halves up as the
// program does.
const Variant kPnm[] = {
    {"p3-random.pnm", "pnmtoplainpnm rgb.ppm > p3-random.pnm"},
    {"p3-magick.pnm", "convert rgb.png -compress none ppm:p3-magick.pnm"},
    {"p3-flat.pnm", "convert flat.png -compress none ppm:p3-flat.pnm"},
    {"p6-pillow.pnm", "P write rgb.png p6-pillow.pnm"},
    {"p6-wide.pnm", "convert wide.png ppm:p6-wide.pnm"},
    {"p6-one.pnm", "P write one.png p6-one.pnm"},
    {"p5-pillow.pnm", "P write grey.png p5-pillow.pnm"},
    {"p2-plain.pnm", "pnmtoplainpnm grey.pgm > p2-plain.pnm"},
    {"p4-pgmtopbm.pnm", "pgmtopbm grey.pgm > p4-pgmtopbm.pnm"},
    {"p4-pillow.pnm", "P write wide.png p4-pillow.pnm mode=1"},
    {"p1-plain.pnm", "pgmtopbm grey.pgm | pnmtoplainpnm > p1-plain.pnm"},
    {"p2-comments.pnm",
     "pamdepth 7 grey.pgm | pnmtoplainpnm | sed -e '1a # a comment line' "
     "-e '2s/$/ # after the size/' -e '5s/$/ # in the raster/' > p2-comments.pnm"},
    {"p6-16bit.pnm",
     "convert -seed 7 -size 13x7 xc: +noise Random -depth 16 ppm:p6-16bit.pnm && "
     "pamdepth 255 p6-16bit.pnm > p6-16bit-ref.ppm",
     "p6-16bit-ref.ppm"},
    {"p5-16bit.pnm", "P write grey16.png p5-16bit.pnm && pamdepth 255 p5-16bit.pnm > p5-ref.pgm",
     "p5-ref.pgm"},
    {"p6-maxval1000.pnm",
     "pamdepth 1000 rgb.ppm > p6-maxval1000.pnm && pamdepth 255 p6-maxval1000.pnm > m1000.ppm",
     "m1000.ppm"},
    {"p3-maxval1.pnm",
     "pamdepth 1 rgb.ppm | pnmtoplainpnm > p3-maxval1.pnm && pamdepth 255 p3-maxval1.pnm > m1.ppm",
     "m1.ppm"},
    // PAM, which Pillow does not read: compared with the picture it was made from.
    {"pam-rgb.pnm", "pamtopam < rgb.ppm > pam-rgb.pnm", "rgb.png"},
    {"pam-rgba.pnm", "pngtopam -alphapam rgba.png > pam-rgba.pnm", "rgba.png"},
    {"pam-grey.pnm", "pamtopam < grey.pgm > pam-grey.pnm", "grey.png"},
};

// TIFF: grey, bilevel, palette, RGB, RGBA with unassociated and associated alpha, CMYK,
// 16 bits, every common compression, strips, tiles, separate planes, several pages (the
// first is read). The picture comes as stored whatever its Orientation tag says. JPEG
// compression decodes through the same JPEG library as Pillow's: exactly alike too.
const Variant kTiff[] = {
    {"rgb.tif", "P write rgb.png rgb.tif"},
    {"rgba.tif", "P write rgba.png rgba.tif"},  // ExtraSamples 2: unassociated
    {"grey.tif", "P write grey.png grey.tif"},
    {"bilevel.tif", "P write grey.png bilevel.tif mode=1"},
    {"palette.tif", "P write palette.png palette.tif"},
    {"cmyk.tif", "P write rgb.png cmyk.tif mode=CMYK"},
    {"grey16.tif", "P write grey16.png grey16.tif mode=I\\;16"},
    {"la.tif", "P write rgba.png la.tif mode=LA"},
    {"wide.tif", "P write wide.png wide.tif"},
    {"one.tiff", "P write one.png one.tiff"},
    {"lzw.tiff", "P write rgb.png lzw.tiff compression=tiff_lzw"},
    {"deflate.tiff", "P write rgba.png deflate.tiff compression=tiff_adobe_deflate"},
    {"packbits.tiff", "P write grey.png packbits.tiff compression=packbits"},
    {"jpeg.tiff", "P write wide.png jpeg.tiff compression=jpeg quality=95"},
    {"pages.tif", "P write rgb.png pages.tif pages=1"},
    {"magick-rgb16.tif", "cp rgb16.tif magick-rgb16.tif"},
    // Pillow divides associated colours by alpha before they are composited again: one
    // step of rounding apart.
    {"magick-associated.tif",
     "convert rgba.png -define tiff:alpha=associated magick-associated.tif", "", 1},
    {"magick-unassociated.tiff",
     "convert rgba.png -define tiff:alpha=unassociated magick-unassociated.tiff"},
    {"magick-cmyk.tif", "convert rgb.png -colorspace CMYK magick-cmyk.tif"},
    {"magick-palette.tif", "convert rgb.png -colors 16 -type Palette magick-palette.tif"},
    {"magick-tiles.tiff",
     "convert wide.png -define tiff:tile-geometry=16x16 -compress lzw magick-tiles.tiff"},
    // Pillow misreads 16-bit separate planes: compared with the contiguous original.
    {"magick-planes.tif", "convert rgb16.tif -interlace plane magick-planes.tif", "rgb16.tif"},
    {"magick-group4.tif", "convert grey.png -monochrome -compress Group4 magick-group4.tif"},
    {"magick-pages.tiff", "convert rgb.png grey.png flat.png magick-pages.tiff"},
    {"tiffcp-lzw.tif", "tiffcp -c lzw base.tif tiffcp-lzw.tif"},
    {"tiffcp-zip.tif", "tiffcp -c zip:2 rgb16.tif tiffcp-zip.tif"},
    {"tiffcp-packbits.tif", "tiffcp -c packbits base-rgba.tif tiffcp-packbits.tif"},
    {"tiffcp-jpeg.tif", "tiffcp -c jpeg:95 base.tif tiffcp-jpeg.tif"},
    {"tiffcp-tiles.tif", "tiffcp -t -w 16 -l 16 -c lzw base-rgba.tif tiffcp-tiles.tif"},
    {"tiffcp-planes.tif", "tiffcp -p separate -c zip base.tif tiffcp-planes.tif"},
    {"tiffcp-tiled-planes.tif",
     "tiffcp -t -w 16 -l 16 -p separate base-rgba.tif tiffcp-tiled-planes.tif"},
    {"orientation-6.tif", "cp base.tif orientation-6.tif && tiffset -s 274 6 orientation-6.tif",
     "rgb.png"},
};

// The formats the codec library reads.
const Variant kLibrary[] = {
    {"rgb.png", "true"},
    {"pillow-rgba.png", "P write rgba.png pillow-rgba.png"},
    {"pillow-palette.png", "P write palette.png pillow-palette.png transparency=5"},
    {"pillow-grey.png", "P write grey.png pillow-grey.png"},
    {"pillow-bilevel.png", "P write grey.png pillow-bilevel.png mode=1"},
    {"pillow-la.png", "P write rgba.png pillow-la.png mode=LA"},
    {"grey16.png", "true"},
    {"magick-rgb16.png", "convert rgb16.tif magick-rgb16.png"},
    {"magick-interlaced.png", "convert wide.png -interlace PNG magick-interlaced.png"},
    {"pillow-rgb.tga", "P write rgb.png pillow-rgb.tga"},
    {"pillow-rgba.tga", "P write rgba.png pillow-rgba.tga"},
    {"pillow-grey.tga", "P write grey.png pillow-grey.tga"},
    {"pillow-rle.tga", "P write wide.png pillow-rle.tga compression=tga_rle"},
    {"magick-rgb.tga", "convert rgb.png magick-rgb.tga"},
    {"magick-rle.tga", "convert wide.png -compress RLE magick-rle.tga"},
    {"pillow.sgi", "P write rgb.png pillow.sgi format=SGI"},
    {"magick-rle.sgi", "convert wide.png -compress RLE sgi:magick-rle.sgi"},
    {"pillow.bw", "P write grey.png pillow.bw format=SGI mode=L"},
    {"magick.bw", "convert grey.png -colorspace gray sgi:magick.bw"},
    {"pillow.rgb", "P write rgb.png pillow.rgb format=SGI"},
    {"magick.rgb", "convert one.png sgi:magick.rgb"},
    {"pillow.rgba", "P write rgba.png pillow.rgba format=SGI"},
    {"magick.rgba", "convert rgba.png sgi:magick.rgba"},
    {"pillow-rgb.pcx", "P write rgb.png pillow-rgb.pcx"},
    {"pillow-palette.pcx", "P write rgb.png pillow-palette.pcx mode=P"},
    {"pillow-grey.pcx", "P write grey.png pillow-grey.pcx"},
    {"pillow-bilevel.pcx", "P write wide.png pillow-bilevel.pcx mode=1"},
    {"pillow-rgb.dds", "P write rgb.png pillow-rgb.dds"},
    {"pillow-rgba.dds", "P write rgba.png pillow-rgba.dds"},
    {"magick.dds", "convert rgb.png -define dds:compression=none magick.dds"},
    // Pillow does not read MNG: compared with the picture it was made from.
    {"magick.mng", "convert rgb.png magick.mng", "rgb.png"},
    {"magick-rgba.mng", "convert rgba.png magick-rgba.mng", "rgba.png"},
    // Photo CD keeps colour at half resolution in PhotoYCC, which every reader turns into
    // RGB its own way: a top-to-bottom gradient tells the right way up (upside down
    // differs by 255). The codec library gives garbage in the last two columns.
    {"magick.pcd", "convert -size 768x512 gradient:red-blue pcd:magick.pcd", "", 48, 2},
    // The built-in JPEG reader and Pillow decode alike, to the byte.
    {"pillow.jpg", "P write wide.png pillow.jpg quality=95"},
    {"pillow-grey.jpeg", "P write grey.png pillow-grey.jpeg quality=90"},
    {"magick.jpe", "convert rgb.png -quality 95 magick.jpe"},
    {"magick-progressive.jpg", "convert wide.png -interlace JPEG magick-progressive.jpg"},
    {"pillow-rgb.bmp", "P write rgb.png pillow-rgb.bmp"},
    {"pillow-palette.bmp", "P write rgb.png pillow-palette.bmp mode=P"},
    {"pillow-bilevel.bmp", "P write wide.png pillow-bilevel.bmp mode=1"},
    {"magick-rgb.bmp", "convert rgb.png bmp3:magick-rgb.bmp"},
    {"magick-palette.bmp", "convert rgb.png -colors 16 -type Palette bmp3:magick-palette.bmp"},
    {"pillow.gif", "P write palette.png pillow.gif transparency=5"},
    {"pillow-rgb.gif", "P write rgb.png pillow-rgb.gif"},
    {"magick.gif", "convert wide.png magick.gif"},
};

// Formats no writer here makes: ".cut" (Dr. Halo: Pillow and ImageMagick read it only,
// and the codec library needs its separate palette file; a file made by hand is in the
// damaged-file check). ImageMagick's PCX files are left out: the codec library cannot
// read them (Pillow's it reads exactly).
const std::set<std::string> kNoIndependentWriter = {".cut"};

// The picture in a binary PPM of 8 bits, as pillow_pixels.py writes it.
Bitmap ReadReferencePpm(const std::string& path) {
  std::istringstream in(ReadFileBytes(path));
  std::string magic;
  int width = 0, height = 0, maxval = 0;
  in >> magic >> width >> height >> maxval;
  in.get();
  Bitmap picture;
  if (magic != "P6" || maxval != 255 || width <= 0 || height <= 0) return picture;
  picture.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      char rgb[3];
      in.read(rgb, 3);
      picture.SetPixel(x, y, RGB(uint8_t(rgb[0]), uint8_t(rgb[1]), uint8_t(rgb[2])));
    }
  return in ? picture : Bitmap();
}

// Pixels whose colour differs by more than `tolerance` in some byte.
int WrongPixels(const Bitmap& expected, const Bitmap& actual, const Variant& v, int& largest) {
  int wrong = 0;
  largest = 0;
  for (int y = 0; y < expected.Height(); ++y)
    for (int x = 0; x < expected.Width() - v.ignoreRight; ++x) {
      const uint8_t* e = expected.ScanLine(y) + 3 * x;
      const uint8_t* a = actual.ScanLine(y) + 3 * x;
      int worst = 0;
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(int(e[c]) - int(a[c])));
      largest = std::max(largest, worst);
      if (worst > v.tolerance) ++wrong;
    }
  return wrong;
}

class CodecFormats : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(BindCodecLibrary()) << CodecBindFailure();
    ASSERT_TRUE(CodecInit());
  }
  static void TearDownTestSuite() { UnbindCodecLibrary(); }

  void SetUp() override {
    if (!HavePillow() || RunCommand("command -v convert tiffcp pnmtoplainpnm >/dev/null") != 0)
      GTEST_SKIP() << "Pillow, ImageMagick, libtiff's or Netpbm's tools missing";
    // The script sits beside this test in the source tree; ctest names the tests' data
    // folder there (a compiler cache may have made __FILE__ relative).
    const char* data = std::getenv("QUORVANE_TEST_DATA");
    const std::filesystem::path here = data ? std::filesystem::path(data).parent_path() / "imaging"
                                            : std::filesystem::path(__FILE__).parent_path();
    script_ = (here / "pillow_pixels.py").string();
    ASSERT_EQ(Shell(kSources), 0);
  }

  int Shell(const std::string& command) const {
    return RunCommand("cd " + ShellQuote(dir_.path()) + " && P() { /usr/bin/python3 " +
                      ShellQuote(script_) + " \"$@\"; } && " + command + " 2>/dev/null");
  }

  // Makes the variant, then compares the program's reading with the reference.
  void Check(const Variant& v) {
    SCOPED_TRACE(v.name);
    ASSERT_EQ(Shell(v.make), 0) << v.make;
    const std::string reference = *v.reference ? v.reference : v.name;
    const std::string ppm = std::string(v.name) + ".reference.ppm";
    ASSERT_EQ(Shell("P read " + ShellQuote(reference) + " " + ShellQuote(ppm)), 0);
    const Bitmap expected = ReadReferencePpm(dir_.file(ppm));
    ASSERT_FALSE(expected.Empty());
    Bitmap read;
    ASSERT_TRUE(ReadImageFile(dir_.file(v.name), read, false));
    ASSERT_EQ(read.Width(), expected.Width());
    ASSERT_EQ(read.Height(), expected.Height());
    int largest = 0;
    EXPECT_EQ(WrongPixels(expected, read, v, largest), 0)
        << "of " << expected.Width() * expected.Height() << ", largest difference " << largest;
  }

  TestDir dir_;
  std::string script_;
};

TEST_F(CodecFormats, NetpbmFilesReadExactly) {
  for (const Variant& v : kPnm) Check(v);
}

TEST_F(CodecFormats, TiffFilesReadExactly) {
  for (const Variant& v : kTiff) Check(v);
}

TEST_F(CodecFormats, LibraryFormatsReadAsPillowReadsThem) {
  for (const Variant& v : kLibrary) Check(v);
}

TEST(CodecFormatTable, EveryExtensionHasVariantsOrIsNamedAsHavingNoWriter) {
  std::set<std::string> covered;
  auto add = [&covered](const auto& table) {
    for (const Variant& v : table) covered.insert(LowerFileExt(v.name));
  };
  add(kPnm);
  add(kTiff);
  add(kLibrary);
  for (std::string_view ext : CodecExtensions) {
    const std::string e(ext);
    EXPECT_NE(covered.count(e) + kNoIndependentWriter.count(e), 0u) << e;
  }
}

TEST_F(CodecFormats, TiffReaderHandsBackTheOrientationTagAndTheStoredPixels) {
  ASSERT_EQ(Shell("cp base.tif o.tif && tiffset -s 274 8 o.tif"), 0);
  Bitmap stored;
  int orientation = 0;
  auto into = [&stored](int w, int h) {
    stored.SetSize(w, h);
    return stored.Bits();
  };
  ASSERT_TRUE(ReadTiffFile(dir_.file("o.tif"), into, &orientation));
  EXPECT_EQ(orientation, 8);
  EXPECT_EQ(stored.Width(), 13);  // as stored: not turned
  ASSERT_TRUE(ReadTiffFile(dir_.file("base.tif"), into, &orientation));
  EXPECT_EQ(orientation, 1);
}

// A pyramid TIFF's reduced-resolution page makes the thumbnail of a box it serves; a
// larger box, or pages that are no reduced images, get the first page.
TEST_F(CodecFormats, TiffThumbnailsComeFromAReducedPageThatServes) {
  ASSERT_EQ(Shell("convert -size 400x300 -seed 3 plasma: -compress none ptif:pages.tif && "
                  "cp pages.tif pyramid.tif && for d in 1 2 3; do "
                  "tiffset -d $d -s 254 1 pyramid.tif || exit 1; done"),
            0);
  auto thumbnail = [&](const std::string& name, int box, Bitmap& out) {
    CodecLoadRequest request;
    request.flags = kCodecLoadThumbnail;
    request.boxWidth = request.boxHeight = box;
    request.fitMode = igtPreview;
    CodecLoadResult result;
    EXPECT_TRUE(ReadImageWith(ImageReaderKind::Codec, dir_.file(name), out, request, &result));
    EXPECT_EQ(result.fullWidth, 400);
    EXPECT_EQ(result.fullHeight, 300);
    return result.fromEmbedded;
  };
  Bitmap page, whole, pages;
  EXPECT_EQ(thumbnail("pyramid.tif", 94, page), 1);  // 100 x 75 is the smallest that covers
  EXPECT_EQ(page.Width(), 100);
  EXPECT_EQ(page.Height(), 75);
  Bitmap reference;
  ASSERT_TRUE(ReadImageFile(dir_.file("pages.tif"), reference, false));
  ResizeBitmap(reference, 100, 75);
  EXPECT_LE(MeanDifference(page, reference), 6);
  EXPECT_EQ(thumbnail("pyramid.tif", 201, whole), 0);
  EXPECT_EQ(whole.Width(), 400);
  EXPECT_EQ(thumbnail("pages.tif", 94, pages), 0);  // pages of a document, not reductions
  EXPECT_EQ(pages.Width(), 400);
}

// A damaged file of each extension fails cleanly: cut short, it is refused; mutated,
// the call returns (the helper may die; the program does not) and a picture it gives
// has a sane size.
TEST_F(CodecFormats, DamagedFilesFailCleanly) {
  const auto seeds = MakeSeedFiles(dir_);
  ASSERT_FALSE(seeds.empty());
  ASSERT_EQ(Shell("pnmtoplainpnm rgb.ppm > plain.pnm && tiffcp -t -w 16 -l 16 base-rgba.tif "
                  "tiles.tif && P write rgb.png lzw.tif compression=tiff_lzw"),
            0);
  std::vector<std::string> files = {dir_.file("plain.pnm"), dir_.file("tiles.tif"),
                                    dir_.file("lzw.tif"), dir_.file("rgb.ppm")};
  for (const auto& [ext, file] : seeds) files.push_back(file);
  int n = 0;
  for (const std::string& file : files) {
    const std::string ext = LowerFileExt(file) == ".ppm" ? ".pnm" : LowerFileExt(file);
    const std::string bytes = ReadFileBytes(file);
    ASSERT_GT(bytes.size(), 64u) << file;
    Bitmap read;
    const std::string cut =
        dir_.write("cut" + std::to_string(n++) + ext, bytes.substr(0, bytes.size() * 2 / 3));
    EXPECT_FALSE(ReadImageFile(cut, read, false)) << file << " cut short";
    for (const std::string& mutant : Mutants(bytes, unsigned(n), 12)) {
      const std::string path = dir_.write("mutant" + std::to_string(n++) + ext, mutant);
      if (ReadImageFile(path, read, false)) {
        EXPECT_FALSE(read.Empty()) << path;
      }
    }
  }
}

TEST(PnmReader, RefusesHugeSizesBeforeTakingMemory) {
  TestDir dir;
  int asked = 0;
  auto target = [&asked](int, int) -> uint8_t* {
    ++asked;
    return nullptr;
  };
  // Within the bitmap limits but far larger than the file; beyond the limits; 0 wide.
  for (const char* header : {"P6\n16000 16000\n255\n", "P5 70000 2 255\n", "P4 0 5\n",
                             "P7\nWIDTH 9000\nHEIGHT 9000\nDEPTH 4\nMAXVAL 65535\n"
                             "TUPLTYPE RGB_ALPHA\nENDHDR\n"})
    EXPECT_FALSE(ReadPnmFile(dir.write("huge.pnm", std::string(header) + "abc"), target)) << header;
  EXPECT_EQ(asked, 0);
  // Values past maxval, maxval 0 and 65536 are damage.
  for (const char* file : {"P2 1 1 7 8\n", "P5 1 1 0\n\x00", "P2 1 1 65536 8\n"})
    EXPECT_FALSE(ReadPnmFile(dir.write("bad.pnm", file), target)) << file;
}

}  // namespace
