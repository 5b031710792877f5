#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "imaging/BmpFile.h"
#include "imaging/OpenIL.h"
#include "support/TestDir.h"

using namespace quorvane;
using quorvane::test::PatternBitmap;
using quorvane::test::ReadFileBytes;
using quorvane::test::RunCommand;
using quorvane::test::ShellQuote;
using quorvane::test::TestDir;

namespace {

std::string Le16(uint32_t v) { return {char(v & 0xFF), char((v >> 8) & 0xFF)}; }
std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

// A palette entry as stored in the file (B, G, R, reserved).
std::string Quad(RgbColor c) {
  return {char(GetBValue(c)), char(GetGValue(c)), char(GetRValue(c)), 0};
}

struct Info {
  uint32_t headerSize = 40;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  uint32_t masks[3] = {0, 0, 0};  // written inside headers of 52 bytes and more
};

std::string InfoHeader(const Info& i) {
  std::string h = Le32(i.headerSize) + Le32(uint32_t(i.width)) + Le32(uint32_t(i.height)) +
                  Le16(1) + Le16(i.bitCount) + Le32(i.compression) + Le32(0) + Le32(2835) +
                  Le32(2835) + Le32(i.colorsUsed) + Le32(0);
  if (i.headerSize >= 52) h += Le32(i.masks[0]) + Le32(i.masks[1]) + Le32(i.masks[2]);
  h.resize(i.headerSize, '\0');
  return h;
}

// File header + header + extra (masks after a 40-byte header, palette) + pixels.
// `offBits` < 0 points at the pixels.
std::string BmpFile(const std::string& header, const std::string& extra, const std::string& pixels,
                    int64_t offBits = -1) {
  const uint32_t off =
      offBits < 0 ? uint32_t(14 + header.size() + extra.size()) : uint32_t(offBits);
  const std::string body = header + extra + pixels;
  return "BM" + Le32(uint32_t(14 + body.size())) + Le32(0) + Le32(off) + body;
}

Bitmap Decode(const std::string& bytes) {
  Bitmap out;
  DecodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
  return out;
}

// Builds a bitmap from rows of colours, top row first.
Bitmap FromRows(const std::vector<std::vector<RgbColor>>& rows) {
  Bitmap b(int(rows[0].size()), int(rows.size()));
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) b.SetPixel(int(x), int(y), rows[y][x]);
  return b;
}

void ExpectPixels(const Bitmap& got, const Bitmap& want) {
  ASSERT_EQ(got.Width(), want.Width());
  ASSERT_EQ(got.Height(), want.Height());
  for (int y = 0; y < want.Height(); ++y)
    for (int x = 0; x < want.Width(); ++x)
      EXPECT_EQ(got.Pixel(x, y), want.Pixel(x, y)) << "at " << x << "," << y;
}

const RgbColor kC0 = RGB(1, 2, 3), kC1 = RGB(200, 100, 50), kC2 = RGB(0, 255, 128),
             kC3 = RGB(90, 0, 255);

// An 8-bit RLE file, 5 x 4, with runs, a literal with padding, a delta, line ends and
// the end marker; the expected picture beside it.
std::string Rle8Sample() {
  const std::string palette = Quad(kC0) + Quad(kC1) + Quad(kC2) + Quad(kC3);
  std::string rle;
  rle += std::string("\x03\x01", 2) + std::string("\x00\x00", 2);  // bottom row: 1 1 1 . .
  rle += std::string("\x00\x03\x02\x03\x01\x00", 6);               // row 1: literal 2 3 1 (+pad)
  rle += std::string("\x07\x02", 2) + std::string("\x00\x00", 2);  // then 7 x 2, clipped
  rle += std::string("\x00\x02\x01\x01", 4);                       // delta: right 1, up 1
  rle += std::string("\x02\x03", 2) + std::string("\x00\x01", 2);  // row 3 at x=1: 3 3, end
  Info info;
  info.width = 5;
  info.height = 4;
  info.bitCount = 8;
  info.compression = 1;
  info.colorsUsed = 4;
  return BmpFile(InfoHeader(info), palette, rle);
}

Bitmap Rle8SamplePicture() {
  // Row 2 (from the bottom) is skipped by the delta: palette entry 0.
  return FromRows({{kC0, kC3, kC3, kC0, kC0},
                   {kC0, kC0, kC0, kC0, kC0},
                   {kC2, kC3, kC1, kC2, kC2},
                   {kC1, kC1, kC1, kC0, kC0}});
}

std::string Pixels8Sample() {
  // 3 x 2, 8 bits, rows padded to 4, bottom-up; index 9 lies beyond the palette.
  Info info;
  info.width = 3;
  info.height = 2;
  info.bitCount = 8;
  info.colorsUsed = 3;
  const std::string palette = Quad(kC0) + Quad(kC1) + Quad(kC2);
  return BmpFile(InfoHeader(info), palette, std::string("\x00\x01\x02\x00\x02\x09\x01\x00", 8));
}

}  // namespace

TEST(BmpWriter, WritesA24BitBottomUpFileThatOthersRead) {
  const Bitmap source = PatternBitmap(5, 3);  // 15 bytes a row, padded to 16
  const std::vector<uint8_t> bytes = EncodeBmp(source);
  ASSERT_EQ(bytes.size(), 54u + 16 * 3);
  const std::string s(bytes.begin(), bytes.end());
  EXPECT_EQ(s.substr(0, 2), "BM");
  EXPECT_EQ(s.substr(2, 4), Le32(54 + 48));
  EXPECT_EQ(s.substr(10, 4), Le32(54));
  EXPECT_EQ(s.substr(14, 4), Le32(40));
  EXPECT_EQ(s.substr(18, 8), Le32(5) + Le32(3));
  EXPECT_EQ(s.substr(28, 2), Le16(24));
  EXPECT_EQ(s.substr(30, 4), Le32(0));
  // First row in the file is the bottom row; padding bytes are zero.
  EXPECT_EQ(s.substr(54, 15), std::string(reinterpret_cast<const char*>(source.ScanLine(2)), 15));
  EXPECT_EQ(s[54 + 15], '\0');
  EXPECT_TRUE(Decode(s).SamePixels(source));

  // ImageMagick reads what was written; so do the built-in reader and the codec library.
  TestDir dir;
  const std::string path = dir.file("출력 파일.bmp");
  const Bitmap big = PatternBitmap(33, 21);
  WriteBmpFile(path, big);
  Bitmap back;
  ReadBmpFile(path, back);
  EXPECT_TRUE(back.SamePixels(big));
  ASSERT_EQ(RunCommand("convert " + ShellQuote(path) + " " + ShellQuote(dir.file("check.bmp")) +
                       " 2>/dev/null"),
            0);  // ImageMagick's own (version 5) bitmap file
  ReadBmpFile(dir.file("check.bmp"), back);
  EXPECT_TRUE(back.SamePixels(big));
  // Writing replaces an existing file.
  WriteBmpFile(path, source);
  ReadBmpFile(path, back);
  EXPECT_TRUE(back.SamePixels(source));

  EXPECT_THROW(EncodeBmp(Bitmap()), BmpError);
  EXPECT_THROW(WriteBmpFile(dir.path() + "/missing-folder/x.bmp", source), BmpError);
}

TEST(BmpReader, PalettedDepths) {
  Info info;
  info.width = 10;  // 1 bit: 2 bytes a row, padded to 4
  info.height = 2;
  info.bitCount = 1;
  Bitmap got = Decode(BmpFile(InfoHeader(info), Quad(kC0) + Quad(kC1),
                              std::string("\xA0\x40\x00\x00\xFF\xC0\x00\x00", 8)));
  Bitmap want(10, 2);
  want.Fill(kC0);
  for (int x = 0; x < 10; ++x) want.SetPixel(x, 0, kC1);  // top row = second in the file
  want.SetPixel(0, 1, kC1);
  want.SetPixel(2, 1, kC1);
  want.SetPixel(9, 1, kC1);
  ExpectPixels(got, want);

  info.width = 3;
  info.bitCount = 4;
  got = Decode(BmpFile(InfoHeader(info), Quad(kC0) + Quad(kC1) + Quad(kC2) + Quad(kC3),
                       std::string("\x12\x30\x00\x00\x33\x10\x00\x00", 8)));
  ExpectPixels(got, FromRows({{kC3, kC3, kC1}, {kC1, kC2, kC3}}));

  // 8 bits with a short palette: indices beyond it are black.
  ExpectPixels(Decode(Pixels8Sample()), FromRows({{kC2, clBlack, kC1}, {kC0, kC1, kC2}}));
}

TEST(BmpReader, DirectColourDepthsAndMasks) {
  Info info;
  info.width = 2;
  info.height = 1;
  // 16 bits, default 5-5-5.
  info.bitCount = 16;
  Bitmap got = Decode(BmpFile(InfoHeader(info), "", Le16(0x7C00) + Le16(0x03FF)));
  ExpectPixels(got, FromRows({{RGB(255, 0, 0), RGB(0, 255, 255)}}));
  // 16 bits, 5-6-5 masks after a 40-byte header.
  info.compression = 3;
  got = Decode(BmpFile(InfoHeader(info), Le32(0xF800) + Le32(0x07E0) + Le32(0x001F),
                       Le16(0x07E0) + Le16(0x8410)));
  ExpectPixels(got, FromRows({{RGB(0, 255, 0), RGB(132, 130, 132)}}));
  // 32 bits, default masks (alpha ignored) and swapped masks inside a V4 header.
  info.bitCount = 32;
  info.compression = 0;
  got = Decode(BmpFile(InfoHeader(info), "", Le32(0xFF102030) + Le32(0x00A0B0C0)));
  ExpectPixels(got, FromRows({{RGB(0x10, 0x20, 0x30), RGB(0xA0, 0xB0, 0xC0)}}));
  for (uint32_t size : {52u, 56u, 108u, 124u}) {
    info.headerSize = size;
    info.compression = 3;
    info.masks[0] = 0x000000FF;
    info.masks[1] = 0x0000FF00;
    info.masks[2] = 0x00FF0000;
    got = Decode(BmpFile(InfoHeader(info), "", Le32(0x00102030) + Le32(0x00A0B0C0)));
    ExpectPixels(got, FromRows({{RGB(0x30, 0x20, 0x10), RGB(0xC0, 0xB0, 0xA0)}}));
  }
  // 24 bits, top-down rows (negative height).
  info = Info{};
  info.width = 1;
  info.height = -2;
  got = Decode(BmpFile(InfoHeader(info), "", std::string("\x01\x02\x03\x00\x04\x05\x06\x00", 8)));
  ExpectPixels(got, FromRows({{RGB(3, 2, 1)}, {RGB(6, 5, 4)}}));
  info.height = 2;
  got = Decode(BmpFile(InfoHeader(info), "", std::string("\x01\x02\x03\x00\x04\x05\x06\x00", 8)));
  ExpectPixels(got, FromRows({{RGB(6, 5, 4)}, {RGB(3, 2, 1)}}));
}

TEST(BmpReader, AlphaChannelsAreShownOverWhite) {
  // Clear black, opaque red, half-transparent blue.
  const std::string pixels = Le32(0x00000000) + Le32(0xFFFF0000) + Le32(0x800000FF);
  const Bitmap want = FromRows({{clWhite, clRed, RGB(127, 127, 255)}});
  Info info;
  info.width = 3;
  info.height = 1;
  info.bitCount = 32;
  info.compression = 3;
  info.masks[0] = 0x00FF0000;
  info.masks[1] = 0x0000FF00;
  info.masks[2] = 0x000000FF;
  // The alpha mask inside a V4 or V5 header...
  for (uint32_t size : {56u, 108u, 124u}) {
    info.headerSize = size;
    std::string header = InfoHeader(info);
    header.replace(52, 4, Le32(0xFF000000));
    ExpectPixels(Decode(BmpFile(header, "", pixels)), want);
  }
  // ...or as the fourth mask after a plain header (BI_ALPHABITFIELDS).
  info.headerSize = 40;
  info.compression = 6;
  const std::string masks =
      Le32(0x00FF0000) + Le32(0x0000FF00) + Le32(0x000000FF) + Le32(0xFF000000);
  ExpectPixels(Decode(BmpFile(InfoHeader(info), masks, pixels)), want);
  // An alpha channel that is 0 everywhere was never meant: the colours stand.
  ExpectPixels(
      Decode(BmpFile(InfoHeader(info), masks, Le32(0x00102030) + Le32(0) + Le32(0x00FF00FF))),
      FromRows({{RGB(0x10, 0x20, 0x30), clBlack, RGB(255, 0, 255)}}));
}

TEST(BmpReader, Os2CoreHeaders) {
  auto core = [](uint16_t w, uint16_t h, uint16_t bits) {
    return Le32(12) + Le16(w) + Le16(h) + Le16(1) + Le16(bits);
  };
  // 8 bits with three-byte palette entries.
  const std::string palette = std::string("\x03\x02\x01", 3) + std::string("\x32\x64\xC8", 3);
  Bitmap got =
      Decode(BmpFile(core(2, 2, 8), palette, std::string("\x00\x01\x00\x00\x01\x01\x00\x00", 8)));
  ExpectPixels(got, FromRows({{kC1, kC1}, {kC0, kC1}}));
  got = Decode(BmpFile(core(1, 1, 24), "", std::string("\x0A\x0B\x0C\x00", 4)));
  ExpectPixels(got, FromRows({{RGB(0x0C, 0x0B, 0x0A)}}));
  // Core headers know no 16 or 32 bits.
  EXPECT_THROW(Decode(BmpFile(core(1, 1, 16), "", "\x00\x00\x00\x00")), BmpError);
}

TEST(BmpReader, RunLengthCoding) {
  ExpectPixels(Decode(Rle8Sample()), Rle8SamplePicture());

  // RLE4: runs alternate their two nibbles; literals are padded to 16 bits.
  Info info;
  info.width = 6;
  info.height = 2;
  info.bitCount = 4;
  info.compression = 2;
  const std::string palette = Quad(kC0) + Quad(kC1) + Quad(kC2) + Quad(kC3);
  std::string rle = std::string("\x05\x12", 2) + std::string("\x00\x00", 2);       // 1 2 1 2 1 .
  rle += std::string("\x00\x03\x32\x10", 4) + std::string("\x03\x33\x00\x01", 4);  // 3 2 1 3 3 3
  ExpectPixels(Decode(BmpFile(InfoHeader(info), palette, rle)),
               FromRows({{kC3, kC2, kC1, kC3, kC3, kC3}, {kC1, kC2, kC1, kC2, kC1, kC0}}));
}

TEST(BmpReader, TruncatedAtEveryOffsetFailsOrGivesTheSamePicture) {
  Info info;
  info.width = 3;
  info.height = 2;
  const std::string pixels24 = BmpFile(InfoHeader(info), "", std::string(24, '\x5A'));
  info.bitCount = 16;
  info.compression = 3;
  const std::string fields =
      BmpFile(InfoHeader(info), Le32(0xF800) + Le32(0x07E0) + Le32(0x1F), std::string(16, 'x'));
  for (const std::string& whole : {Rle8Sample(), Pixels8Sample(), pixels24, fields}) {
    const Bitmap full = Decode(whole);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
      SCOPED_TRACE(cut);
      Bitmap out = PatternBitmap(2, 2);
      try {
        DecodeBmp(reinterpret_cast<const uint8_t*>(whole.data()), cut, out);
        // Only the padding of the last row may be missing.
        EXPECT_GE(cut, whole.size() - 3);
        EXPECT_TRUE(out.SamePixels(full));
      } catch (const BmpError&) {
        EXPECT_TRUE(out.SamePixels(PatternBitmap(2, 2)));
      }
    }
  }
}

TEST(BmpReader, HostileHeadersAreRefusedBeforeAllocating) {
  const std::string pixels(64, '\0');
  auto refuses = [&](const Info& info, const std::string& extra = "", int64_t offBits = -1) {
    EXPECT_THROW(Decode(BmpFile(InfoHeader(info), extra, pixels, offBits)), BmpError)
        << info.width << "x" << info.height << " bits " << info.bitCount;
  };
  Info i;
  i.width = 100000;
  i.height = 100000;
  refuses(i);  // beyond the picture limits
  i.width = 60000;
  i.height = 60000;
  refuses(i);  // within the side limit, far beyond the data
  i.width = 0x7FFFFFFF;
  i.height = 1;
  refuses(i);
  i.width = -4;
  refuses(i);
  i.width = 4;
  i.height = 0;
  refuses(i);
  i.height = int32_t(0x80000000);
  refuses(i);
  i.height = 2;
  i.bitCount = 7;
  refuses(i);
  i.bitCount = 0;
  refuses(i);
  i.bitCount = 24;
  i.compression = 4;  // JPEG inside
  refuses(i);
  i.compression = 1;  // RLE8 with 24 bits
  refuses(i);
  i.compression = 3;  // bit fields with 24 bits
  refuses(i);
  i.compression = 0;
  refuses(i, "", 100000);  // pixels beyond the end
  refuses(i, "", 20);      // pixels inside the header
  i.headerSize = 41;
  refuses(i);
  i.headerSize = 64;  // OS/2 2.x: compression 3 is Huffman coding there
  i.bitCount = 16;
  i.compression = 3;
  refuses(i);
  // A palette that claims 4 billion colours is read no further than the file.
  i = Info{};
  i.width = 2;
  i.height = 2;
  i.bitCount = 8;
  i.colorsUsed = 0xFFFFFFFF;
  const Bitmap got = Decode(BmpFile(InfoHeader(i), Quad(kC1) + Quad(kC2),
                                    std::string("\x01\x00\x00\x00\x00\x01\x00\x00", 8)));
  ExpectPixels(got, FromRows({{kC1, kC2}, {kC2, kC1}}));
  // No palette at all for a paletted picture.
  EXPECT_THROW(Decode(BmpFile(InfoHeader(i), "", "")), BmpError);
  // Not a bitmap file, too short, a missing file.
  EXPECT_THROW(Decode("PK\x03\x04 and more bytes than a header"), BmpError);
  EXPECT_THROW(Decode("BM"), BmpError);
  Bitmap out;
  EXPECT_THROW(ReadBmpFile("/nonexistent/folder/file.bmp", out), BmpError);
}

TEST(BmpReader, RunLengthDataThatRunsOffThePicture) {
  Info info;
  info.width = 4;
  info.height = 3;
  info.bitCount = 8;
  info.compression = 1;
  const std::string palette = Quad(kC0) + Quad(kC1);
  auto decode = [&](const std::string& rle) {
    return Decode(BmpFile(InfoHeader(info), palette, rle));
  };
  // Deltas far beyond the picture, runs beyond the row, more lines than rows: all
  // clipped; the picture ends when its rows are done.
  Bitmap got = decode(std::string("\x00\x02\xFF\x00", 4) + std::string("\xFF\x01", 2) +
                      std::string("\x00\x00\x00\x00\x00\x00\x00\x00\x02\x01", 10));
  ExpectPixels(got, FromRows({{kC0, kC0, kC0, kC0}, {kC0, kC0, kC0, kC0}, {kC0, kC0, kC0, kC0}}));
  got = decode(std::string("\x00\x02\x01\xFF", 4) + std::string("\x09\x01\x00\x01", 4));
  ExpectPixels(got, FromRows({{kC0, kC0, kC0, kC0}, {kC0, kC0, kC0, kC0}, {kC0, kC0, kC0, kC0}}));
  got = decode(std::string("\x10\x01\x00\x00\x00\x00\x10\x01\x00\x01", 10));
  ExpectPixels(got, FromRows({{kC1, kC1, kC1, kC1}, {kC0, kC0, kC0, kC0}, {kC1, kC1, kC1, kC1}}));
  // Data that stops before the picture is complete: a literal past the end, a
  // delta without its bytes, no end marker.
  EXPECT_THROW(decode(std::string("\x00\x20\x01\x01", 4)), BmpError);
  EXPECT_THROW(decode(std::string("\x00\x02\x01", 3)), BmpError);
  EXPECT_THROW(decode(std::string("\x04\x01\x00\x00", 4)), BmpError);
  EXPECT_THROW(decode(""), BmpError);
}

TEST(BmpReader, RandomDamageNeverCrashes) {
  std::mt19937 random(12345);
  for (const std::string& whole : {Rle8Sample(), Pixels8Sample()}) {
    for (int round = 0; round < 3000; ++round) {
      std::string damaged = whole;
      const int changes = 1 + int(random() % 4);
      for (int c = 0; c < changes; ++c) damaged[random() % damaged.size()] = char(random());
      Bitmap out;
      try {
        DecodeBmp(reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size(), out);
        EXPECT_TRUE(Bitmap::SizeAllowed(out.Width(), out.Height()));
      } catch (const BmpError&) {
      }
    }
  }
}
