// Every codec extension read exactly: for each, files made by writers other than ours
// (Pillow, ImageMagick, Netpbm's tools, tiffcp) in the variants people meet, read by the
// program and compared pixel by pixel with Pillow's reading of the same file (or, where
// Pillow cannot read the format or rounds differently, with the format's own tool). The
// writers run at test time; pillow_pixels.py beside this file is Pillow's side.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <set>
#include <sstream>
#include <vector>

#include "imaging/ImageFormats.h"
#include "imaging/ImgResize.h"
#include "imaging/OpenIL.h"
#include "imaging/PnmReader.h"
#include "imaging/ReadImage.h"
#include "imaging/TgaReader.h"
#include "imaging/TiffReader.h"
#include "platform/FileIO.h"
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

// TGA: every type (colour-mapped 1 and 9, true colour 2 and 10, grey 3 and 11), pixel
// depth, colour map entry size and origin, from Pillow, ImageMagick and files written
// field by field (pillow_pixels.py tga: colour maps with a first index, 16-bit indices,
// 15- and 16-bit pixels, run-length packets across rows, an ID field, a colour map in a
// true-colour file, the 2.0 footer). Compared with Pillow's reading, except where Pillow
// reads the file otherwise or not at all: it scales 5-bit channels by truncating, ignores
// the alpha bit of 16-bit pixels, refuses a run longer than a row, and reads no 32-bit or
// 15-bit map, no 16-bit index and no map in a true-colour file. Those are compared with the picture the writer stored.
const Variant kTga[] = {
    {"pillow-rgb.tga", "P write rgb.png pillow-rgb.tga"},
    {"pillow-rgba-top.tga", "P write rgba.png pillow-rgba-top.tga orientation=1"},
    {"pillow-la.tga", "P write rgba.png pillow-la.tga mode=LA"},
    {"pillow-palette.tga", "P write palette.png pillow-palette.tga"},
    {"pillow-rle-palette.tga", "P write palette.png pillow-rle-palette.tga compression=tga_rle"},
    {"pillow-rle-grey.tga", "P write grey.png pillow-rle-grey.tga compression=tga_rle"},
    {"pillow-rle-la.tga", "P write rgba.png pillow-rle-la.tga mode=LA compression=tga_rle"},
    {"magick-rgba.tga", "convert rgba.png magick-rgba.tga"},
    {"magick-grey.tga", "convert grey.png -type Grayscale magick-grey.tga"},
    {"magick-palette.tga", "convert rgb.png -type Palette magick-palette.tga"},
    {"magick-rle-palette.tga", "convert wide.png -type Palette -compress RLE magick-rle-palette.tga"},
    {"magick-rle-grey.tga", "convert grey.png -type Grayscale -compress RLE magick-rle-grey.tga"},
    {"magick-rle-rgba.tga", "convert rgba.png -compress RLE magick-rle-rgba.tga"},
    {"magick-top-left.tga", "convert rgb.png -orient TopLeft magick-top-left.tga"},
    {"magick-top-right.tga", "convert rgb.png -orient TopRight magick-top-right.tga"},
    {"magick-bottom-right.tga", "convert wide.png -orient BottomRight -compress RLE magick-bottom-right.tga"},
    {"map24-first.tga", "P tga rgb.png map24-first.tga type=1 depth=8 map=24 first=5"},
    {"rle-map24-top.tga", "P tga rgba.png rle-map24-top.tga type=9 depth=8 map=24 origin=2 id=5"},
    {"map32-first.tga", "P tga rgba.png map32-first.tga type=9 depth=8 map=32 first=2 origin=3",
     "map32-first.tga.expected.png"},
    {"map16-alpha.tga", "P tga rgba.png map16-alpha.tga type=1 depth=8 map=16 attr=1 origin=1",
     "map16-alpha.tga.expected.png"},
    {"map15.tga", "P tga rgb.png map15.tga type=9 depth=8 map=15", "map15.tga.expected.png"},
    {"index16.tga", "P tga wide.png index16.tga type=1 depth=16 map=24 first=300",
     "index16.tga.expected.png"},
    {"rgb15.tga", "P tga rgb.png rgb15.tga type=2 depth=15", "rgb15.tga.expected.png"},
    {"rgb16-alpha.tga", "P tga rgba.png rgb16-alpha.tga type=2 depth=16 attr=1 origin=2",
     "rgb16-alpha.tga.expected.png"},
    {"rgb16-no-attribute.tga", "P tga rgba.png rgb16-no-attribute.tga type=10 depth=16 origin=3",
     "rgb16-no-attribute.tga.expected.png"},
    {"rle-flat-right.tga", "P tga flat.png rle-flat-right.tga type=10 depth=24 origin=1",
     "rle-flat-right.tga.expected.png"},
    {"rle-wide-top-right.tga", "P tga wide.png rle-wide-top-right.tga type=10 depth=24 origin=3"},
    {"rle-one.tga", "P tga one.png rle-one.tga type=10 depth=32"},
    {"rle-grey-right.tga", "P tga grey.png rle-grey-right.tga type=11 depth=8 origin=1"},
    {"rle-la-top-right.tga", "P tga rgba.png rle-la-top-right.tga type=11 depth=16 origin=3"},
    {"zero-alpha-footer.tga",
     "P tga rgba.png zero-alpha-footer.tga type=2 depth=32 alpha=zero id=9 footer=1"},
    {"map-in-true-colour.tga", "P tga rgb.png map-in-true-colour.tga type=2 depth=24 map=24 id=3",
     "map-in-true-colour.tga.expected.png"},
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

TEST_F(CodecFormats, TgaFilesReadExactly) {
  for (const Variant& v : kTga) Check(v);
}

TEST(CodecFormatTable, EveryExtensionHasVariantsOrIsNamedAsHavingNoWriter) {
  std::set<std::string> covered;
  auto add = [&covered](const auto& table) {
    for (const Variant& v : table) covered.insert(LowerFileExt(v.name));
  };
  add(kPnm);
  add(kTiff);
  add(kLibrary);
  add(kTga);
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

// 32-bit floating-point samples (SampleFormat 3), grey and RGB, with alpha, with the
// floating-point predictor, in either byte order: each clamped to 0..1 and scaled to
// 0..255, rounded.
TEST_F(CodecFormats, FloatingPointTiffClampedToZeroToOne) {
  const Variant floats[] = {
      {"magick-float.tif",
       "convert rgb.png -define quantum:format=floating-point -depth 32 magick-float.tif",
       "rgb.png"},
      {"magick-float-grey.tif",
       "convert grey.png -colorspace gray -define quantum:format=floating-point -depth 32 "
       "-compress zip magick-float-grey.tif",
       "grey.png"},
      {"magick-float-rgba.tif",
       "convert rgba.png -define quantum:format=floating-point -depth 32 magick-float-rgba.tif",
       "rgba.png"},
  };
  for (const Variant& v : floats) Check(v);

  // Out of range and not a number, written big-endian by libtiff.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> samples = {-0.5f, 0.0f, 0.25f, 0.5f, 1.0f, 2.0f, nan,
                                      1e30f, 0.1f, 0.9f, 0.75f, -1e30f};
  const std::string path = dir_.file("range.tif");
  for (int samplesPerPixel : {1, 3}) {
    SCOPED_TRACE(samplesPerPixel);
    const int width = int(samples.size()) / samplesPerPixel;
    TIFF* tif = TIFFOpen(path.c_str(), "wb");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(1));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samplesPerPixel));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(32));
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, uint16_t(SAMPLEFORMAT_IEEEFP));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 uint16_t(samplesPerPixel == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    std::vector<float> row = samples;
    ASSERT_EQ(TIFFWriteScanline(tif, row.data(), 0, 0), 1);
    TIFFClose(tif);
    Bitmap read;
    ASSERT_TRUE(ReadImageFile(path, read, false));
    ASSERT_EQ(read.Width(), width);
    const uint8_t expected[] = {0, 0, 64, 128, 255, 255, 0, 255, 26, 230, 191, 0};
    for (int i = 0; i < int(samples.size()); ++i) {
      const int x = i / samplesPerPixel, channel = samplesPerPixel == 1 ? 0 : 2 - i % 3;
      EXPECT_EQ(read.ScanLine(0)[3 * x + channel], expected[i]) << "sample " << i;
    }
  }
}

TEST(TgaReader, RefusesHugeSizesAndDamage) {
  TestDir dir;
  // An 18-byte header: type, width, height, depth, descriptor, and a colour map of
  // `mapLength` entries of `mapBits` from index `mapFirst`.
  auto header = [](int type, int width, int height, int depth, int descriptor = 0,
                   int mapLength = 0, int mapBits = 0, int mapFirst = 0) {
    const uint8_t h[18] = {0,
                           uint8_t(mapLength ? 1 : 0),
                           uint8_t(type),
                           uint8_t(mapFirst),
                           uint8_t(mapFirst >> 8),
                           uint8_t(mapLength),
                           uint8_t(mapLength >> 8),
                           uint8_t(mapBits),
                           0,
                           0,
                           0,
                           0,
                           uint8_t(width),
                           uint8_t(width >> 8),
                           uint8_t(height),
                           uint8_t(height >> 8),
                           uint8_t(depth),
                           uint8_t(descriptor)};
    return std::string(reinterpret_cast<const char*>(h), sizeof h);
  };
  Bitmap picture;
  int asked = 0;
  auto target = [&](int width, int height) -> uint8_t* {
    ++asked;
    picture.SetSize(width, height);
    return picture.Bits();
  };
  auto read = [&](const std::string& bytes) {
    const UniqueFd file = UniqueFd::OpenRead(dir.write("t.tga", bytes));
    return file.Ok() && ReadTgaFile(file.Get(), target);
  };
  ASSERT_TRUE(read(header(2, 1, 1, 24) + "abc"));  // the frame the others break
  asked = 0;
  // 65535 x 65535 is beyond the limits; 16000 x 16000 is far larger than these files,
  // raw or in packets of 128 pixels.
  const std::string tail(4000, '\x7f');
  EXPECT_FALSE(read(header(2, 65535, 65535, 24) + tail));
  EXPECT_FALSE(read(header(2, 16000, 16000, 32) + tail));
  EXPECT_FALSE(read(header(10, 16000, 16000, 24) + tail));
  EXPECT_FALSE(read(header(11, 1000, 1000, 8) + std::string(100, '\xff')));
  // Malformed headers: no picture (type 0), unknown types, depths that do not fit the
  // type, a colour-mapped file without its map, interleaved rows, a zero width.
  EXPECT_FALSE(read(header(0, 1, 1, 24) + "abc"));
  EXPECT_FALSE(read(header(32, 1, 1, 8) + "abc"));
  EXPECT_FALSE(read(header(2, 1, 1, 8) + "abc"));
  EXPECT_FALSE(read(header(3, 1, 1, 24) + "abc"));
  EXPECT_FALSE(read(header(1, 1, 1, 8) + "abc"));
  EXPECT_FALSE(read(header(2, 1, 1, 24, 0x40) + "abc"));
  EXPECT_FALSE(read(header(2, 0, 1, 24) + "abc"));
  EXPECT_EQ(asked, 0);
  // An index outside the map (below its first entry, past its end), a packet cut short.
  EXPECT_FALSE(read(header(1, 1, 1, 8, 0, 2, 24, 4) + "abcdef" + "\x03"));
  EXPECT_FALSE(read(header(1, 1, 1, 8, 0, 2, 24, 4) + "abcdef" + "\x06"));
  EXPECT_TRUE(read(header(1, 1, 1, 8, 0, 2, 24, 4) + "abcdef" + "\x05"));
  EXPECT_EQ(picture.Pixel(0, 0), RGB('f', 'e', 'd'));
  EXPECT_FALSE(read(header(10, 2, 2, 24) + "\x81" "abc" "\x01" "ab"));
}
