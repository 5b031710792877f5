// The GIF writer: file layout byte for byte, the run-length code stream, and round trips
// through two independent decoders (giflib and Pillow) back to the exact palette indices.

#include "processing/GIFImage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "GifTestHelpers.h"
#include "support/TestDir.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

constexpr DitherMode kAllModes[] = {DitherMode::dmNearest, DitherMode::dmFloydSteinberg,
                                     DitherMode::dmStucki, DitherMode::dmSierra,
                                     DitherMode::dmBurkes};

// A frame of the writer's palette holding the given indices.
GifSubImage WebFrame(int width, int height, std::vector<uint8_t> pixels) {
  GifSubImage f;
  f.Width = width;
  f.Height = height;
  f.ColorMap.Colors.assign(WebPalette().begin(), WebPalette().end());
  f.Pixels = std::move(pixels);
  return f;
}

// Codes between the first clear and the end code, clears included.
std::vector<int> CodesOf(const GifSubImage& frame) {
  const CodeStream cs = ReadCodeStream(EncodeGIFFrame(frame));
  EXPECT_FALSE(cs.codes.empty());
  EXPECT_EQ(cs.codes.front(), 1 << cs.codeSize);
  EXPECT_EQ(cs.codes.back(), (1 << cs.codeSize) + 1);
  return std::vector<int>(cs.codes.begin() + 1, cs.codes.end() - 1);
}

std::vector<uint8_t> Runs(std::initializer_list<std::pair<int, int>> runs) {
  std::vector<uint8_t> px;
  for (auto [value, count] : runs) px.insert(px.end(), size_t(count), uint8_t(value));
  return px;
}

// Writes every frame to a file and checks that giflib and Pillow both read back the
// frame's exact indices and size.
void ExpectDecodersAgree(const std::vector<GifSubImage>& frames, const std::string& what) {
  TestDir dir;
  std::vector<std::string> paths;
  std::vector<std::pair<int, int>> sizes;
  for (size_t i = 0; i < frames.size(); ++i) {
    const auto bytes = EncodeGIFFrame(frames[i]);
    paths.push_back(
        dir.write("그림 " + std::to_string(i) + ".gif", std::string(bytes.begin(), bytes.end())));
    sizes.emplace_back(frames[i].Width, frames[i].Height);
  }
  const auto pillow = DecodeWithPillow(paths, sizes);
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(what + " #" + std::to_string(i) + " (" + std::to_string(frames[i].Width) + " x " +
                 std::to_string(frames[i].Height) + ")");
    const auto gl = DecodeWithGiflib(paths[i]);
    ASSERT_TRUE(gl.has_value());
    EXPECT_EQ(gl->width, frames[i].Width);
    EXPECT_EQ(gl->height, frames[i].Height);
    EXPECT_TRUE(gl->indices == frames[i].Pixels) << "giflib indices differ";
    ASSERT_TRUE(pillow[i].has_value()) << "Pillow could not read the file";
    EXPECT_TRUE(*pillow[i] == frames[i].Pixels) << "Pillow indices differ";
  }
}

}  // namespace

TEST(GIFImage, OneWhitePixelFileByteForByte) {
  const Bitmap white = [] {
    Bitmap b(1, 1);
    b.Fill(clWhite);
    return b;
  }();
  const std::vector<uint8_t> gif = EncodeGIF(white, DitherMode::dmFloydSteinberg);
  ASSERT_EQ(gif.size(), 6u + 7 + 10 + 768 + 1 + 5 + 1 + 1);

  const std::vector<uint8_t> head = {'G',  'I', 'F', '8', '7', 'a', 1, 0, 1, 0,
                                     0x77, 0,   0,                                   // screen 1 x 1
                                     0x2C, 0,   0,   0,   0,   1,   0, 1, 0, 0x87};  // descriptor
  EXPECT_TRUE(std::equal(head.begin(), head.end(), gif.begin()));
  const uint8_t* table = gif.data() + 23;
  for (int i = 0; i < 216; ++i) {
    EXPECT_EQ(table[i * 3], (i / 36) * 51);
    EXPECT_EQ(table[i * 3 + 1], (i / 6 % 6) * 51);
    EXPECT_EQ(table[i * 3 + 2], (i % 6) * 51);
  }
  for (int i = 216 * 3; i < 768; ++i) EXPECT_EQ(table[i], 0) << i;
  // Code size 8; clear 256, pixel 215, end 257 at 9 bits each, least significant bit
  // first: 256 | 215 << 9 | 257 << 18 = 0x405AF00 -> 00 AF 05 04; one block; trailer.
  const std::vector<uint8_t> tail = {8, 4, 0x00, 0xAF, 0x05, 0x04, 0, 0x3B};
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), gif.end() - 8));

  const auto frame = GIFFrameFromBitmap(white, DitherMode::dmNearest);
  EXPECT_EQ(frame.Pixels, std::vector<uint8_t>{215});
  EXPECT_EQ(frame.ColorMap.Count(), 216);
  EXPECT_EQ(frame.ColorMap.BitsPerPixel(), 8);
}

TEST(GIFImage, PureRedIsIndex180WithEveryDitherAndSettingsIndex) {
  Bitmap red(7, 5);
  red.Fill(clRed);
  for (int index = -1; index <= 7; ++index) {
    const auto gif = EncodeGIF(red, index);
    const CodeStream cs = ReadCodeStream(gif);
    // 35 pixels of 180: from a clear 180, then runs of 2 .. 7 (1 + 2 + ... + 7 = 28), and
    // the last 7 as run code 258 + 7 - 2.
    EXPECT_EQ(cs.codes, (std::vector<int>{256, 180, 258, 259, 260, 261, 262, 263, 263, 257}))
        << index;
  }
}

TEST(GIFImage, RunCodesGrowFromAClearAndReuseTheTable) {
  // Ten equal pixels: the pixel, then runs of 2, 3 and 4.
  EXPECT_EQ(CodesOf(WebFrame(10, 1, Runs({{215, 10}}))), (std::vector<int>{215, 258, 259, 260}));
  // Nine: 1 + 2 + 3, then the remaining 3 with the existing run code.
  EXPECT_EQ(CodesOf(WebFrame(9, 1, Runs({{5, 9}}))), (std::vector<int>{5, 258, 259, 259}));
  // Seven: 1 + 2 + 3, then a single pixel.
  EXPECT_EQ(CodesOf(WebFrame(7, 1, Runs({{5, 7}}))), (std::vector<int>{5, 258, 259, 5}));
  // A run across row ends is still one run: 3 x 4 of one colour = 1 + 2 + 3 + 4 + 2.
  EXPECT_EQ(CodesOf(WebFrame(3, 4, Runs({{9, 12}}))), (std::vector<int>{9, 258, 259, 260, 258}));
  // Ten, one other, ten again: the table built for the first run (up to 4) serves the
  // second: 4 + 4 + 2.
  EXPECT_EQ(CodesOf(WebFrame(21, 1, Runs({{7, 10}, {8, 1}, {7, 10}}))),
            (std::vector<int>{7, 258, 259, 260, 8, 260, 260, 258}));
  // Short runs of 2 to 4 after other pixels go out plainly; a run of 5 is worth a clear.
  EXPECT_EQ(CodesOf(WebFrame(9, 1, Runs({{1, 1}, {2, 4}, {3, 4}}))),
            (std::vector<int>{1, 2, 2, 2, 2, 3, 3, 3, 3}));
  EXPECT_EQ(CodesOf(WebFrame(6, 1, Runs({{1, 1}, {2, 5}}))),
            (std::vector<int>{1, 256, 2, 258, 258}));
}

TEST(GIFImage, ReusedTableMayGrowTheCodeWidthThenClears) {
  // 20000 pixels from a clear: 1 + 2 + ... + 199 = 19900, then 100 -> the table holds runs
  // up to 200 after 200 codes. One other pixel, then 59999 more: 299 runs of 200 (code
  // 258 + 198) and one of 199, passing 255 codes so the width grows to 10 bits; then the
  // clear that keeps later codes short.
  const auto gif = EncodeGIFFrame(WebFrame(400, 200, Runs({{30, 20000}, {31, 1}, {30, 59999}})));
  const CodeStream cs = ReadCodeStream(gif);
  ASSERT_EQ(cs.codes.size(), 1u + 200 + 1 + 300 + 1 + 1);
  EXPECT_EQ(cs.codes[1], 30);
  EXPECT_EQ(cs.codes[200], 258 + 98);  // the last 100 of the first run
  EXPECT_EQ(cs.codes[201], 31);
  EXPECT_EQ(std::count(cs.codes.begin(), cs.codes.end(), 258 + 198), 299);
  EXPECT_EQ(cs.codes[cs.codes.size() - 3], 258 + 197);
  EXPECT_EQ(cs.codes[cs.codes.size() - 2], 256);
  EXPECT_EQ(cs.widths[cs.codes.size() - 3], 10);
  EXPECT_EQ(cs.widths.back(), 9);  // the end code after the clear
  ExpectDecodersAgree({WebFrame(400, 200, Runs({{30, 20000}, {31, 1}, {30, 59999}}))},
                      "table reuse");
}

TEST(GIFImage, DifferingNeighboursGiveOneCodePerPixelWithClearsEvery254) {
  std::vector<uint8_t> px(700);
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i % 2 ? 17 : 200);
  const CodeStream cs = ReadCodeStream(EncodeGIFFrame(WebFrame(35, 20, px)));
  std::vector<int> expected = {256};
  for (size_t i = 0; i < px.size(); ++i) {
    expected.push_back(px[i]);
    if ((i + 1) % 254 == 0) expected.push_back(256);  // the code width never grows
  }
  expected.push_back(257);
  EXPECT_EQ(cs.codes, expected);
  for (int w : cs.widths) EXPECT_EQ(w, 9);
}

TEST(GIFImage, TriangleCostOfRuns) {
  const RleEncoder enc(8);
  EXPECT_EQ(enc.MaxCodes(), 3837);
  EXPECT_EQ(enc.Triangle(1), 1);
  EXPECT_EQ(enc.Triangle(2), 2);
  EXPECT_EQ(enc.Triangle(3), 2);
  EXPECT_EQ(enc.Triangle(4), 3);
  EXPECT_EQ(enc.Triangle(6), 3);
  EXPECT_EQ(enc.Triangle(7), 4);
  EXPECT_EQ(enc.Triangle(5050), 100);
  EXPECT_EQ(enc.Triangle(5051), 101);
  const int64_t whole = int64_t(3837) * 3838 / 2;
  EXPECT_EQ(enc.Triangle(whole), 3837);
  EXPECT_EQ(enc.Triangle(whole + 1), 3838);
  EXPECT_EQ(enc.Triangle(2 * whole + 3), 2 * 3837 + 2);
  EXPECT_EQ(RleEncoder(2).MaxCodes(), 4089);
}

TEST(GIFImage, DataSubBlocksAreFull255ByteBlocks) {
  std::mt19937 rng(3);
  std::vector<uint8_t> px(3000);
  for (auto& p : px) p = uint8_t(rng() % 216);
  const auto gif = EncodeGIFFrame(WebFrame(60, 50, px));
  const CodeStream cs = ReadCodeStream(gif);
  ASSERT_GE(cs.blockLengths.size(), 3u);
  for (size_t i = 0; i + 2 < cs.blockLengths.size(); ++i) EXPECT_EQ(cs.blockLengths[i], 255);
  EXPECT_GT(cs.blockLengths[cs.blockLengths.size() - 2], 0);
  EXPECT_EQ(cs.blockLengths.back(), 0);
  EXPECT_EQ(cs.endOffset + 1, gif.size());
  EXPECT_EQ(gif.back(), 0x3B);
}

TEST(GIFImage, OneColourPicturesCompressToAFewGrowingRunCodes) {
  Bitmap big(2000, 1500);
  big.Fill(RGB(0, 51, 102));
  const auto gif = EncodeGIF(big, DitherMode::dmStucki);
  const CodeStream cs = ReadCodeStream(gif);
  // 3 million pixels need about 2450 codes (sqrt(2 x 3e6)) of up to 12 bits.
  EXPECT_LT(gif.size(), 800u + 4000u);
  EXPECT_LT(cs.codes.size(), 2500u);
  EXPECT_EQ(cs.codes[1], 0 * 36 + 1 * 6 + 2);
  for (size_t i = 2; i + 1 < cs.codes.size() && i < 100; ++i)
    EXPECT_EQ(cs.codes[i], 258 + int(i) - 2);
  EXPECT_EQ(*std::max_element(cs.widths.begin(), cs.widths.end()), 12);
}

TEST(GIFImage, FailuresRaiseTheWritersMessages) {
  GifSubImage f = WebFrame(2, 2, {0, 1, 2, 3});
  try {
    EncodeGIFFrame(f, GifVersion::gvUnknown);
    ADD_FAILURE() << "no exception";
  } catch (const GIFError& e) {
    EXPECT_STREQ(e.what(), "Unsupported GIF version");
  }
  f.Pixels[3] = 216;  // the table holds 216 colours
  try {
    EncodeGIFFrame(f);
    ADD_FAILURE() << "no exception";
  } catch (const GIFError& e) {
    EXPECT_STREQ(e.what(), "Color not in color table");
  }
  // A sorted colour table needs 89a and says so in the descriptor.
  f.Pixels[3] = 215;
  f.ColorMap.Sorted = true;
  const auto gif = EncodeGIFFrame(f);
  EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF89a");
  EXPECT_EQ(gif[22], 0x80 | 0x20 | 7);

  EXPECT_THROW(EncodeGIF(Bitmap(), 1), GIFError);
  EXPECT_THROW(EncodeGIF(Bitmap(2, 2), 1, gcLZW), std::invalid_argument);
  f.Pixels.pop_back();
  EXPECT_THROW(EncodeGIFFrame(f), std::invalid_argument);
}

TEST(GIFImage, SaveWritesTheFileAndLeavesNothingOnFailure) {
  TestDir dir;
  const Bitmap bmp = PatternBitmap(31, 17);
  const std::string path = dir.file("출력 파일.gif");
  SaveGIF(bmp, path, 4);
  const std::string bytes = ReadFileBytes(path);
  const auto expected = EncodeGIF(bmp, DitherMode::dmBurkes);
  EXPECT_EQ(bytes, std::string(expected.begin(), expected.end()));

  // An existing file is replaced; a failed encoding leaves no file at all.
  SaveGIF(bmp, path, DitherMode::dmNearest);
  EXPECT_EQ(ReadFileBytes(path).size(), EncodeGIF(bmp, 0).size());
  const std::string failed = dir.file("failed.gif");
  EXPECT_THROW(SaveGIF(Bitmap(), failed, 1), GIFError);
  struct stat st;
  EXPECT_NE(stat(failed.c_str(), &st), 0);
  EXPECT_THROW(SaveGIF(bmp, dir.file("no such folder/x.gif"), 1), std::system_error);
}

TEST(GIFImage, DecodersReadBackTheQuantizedIndices) {
  std::mt19937 rng(11);
  std::vector<Bitmap> pictures;
  // Noise, a smooth gradient, a photo-like mix and the thin shapes.
  Bitmap noise(97, 61);
  for (size_t i = 0; i < noise.ByteSize(); ++i) noise.Bits()[i] = uint8_t(rng());
  pictures.push_back(noise);
  Bitmap gradient(300, 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x)
      gradient.SetPixel(x, y, RGB(uint8_t(x * 255 / 299), uint8_t(y * 255 / 199), 90));
  pictures.push_back(gradient);
  Bitmap photo(160, 120);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) {
      const int n = int(rng() % 13) - 6;
      photo.SetPixel(x, y,
                     RGB(uint8_t(std::clamp(x + y + n, 0, 255)),
                         uint8_t(std::clamp(128 + n, 0, 255)), uint8_t(y * 2)));
    }
  pictures.push_back(photo);
  pictures.push_back(PatternBitmap(1, 1));
  pictures.push_back(PatternBitmap(1, 300));
  pictures.push_back(PatternBitmap(300, 1));
  Bitmap flat(120, 90);  // 10800 pixels of one colour: clears inside the run
  flat.Fill(RGB(200, 100, 40));
  pictures.push_back(flat);

  std::vector<GifSubImage> frames;
  for (DitherMode mode : kAllModes)
    for (const Bitmap& b : pictures) frames.push_back(GIFFrameFromBitmap(b, mode));
  ExpectDecodersAgree(frames, "dithered pictures");
}

TEST(GIFImage, DecodersReadBackCraftedRunPatterns) {
  std::mt19937 rng(5);
  std::vector<GifSubImage> frames;
  // Random runs of 1 .. 40 pixels over three colours: table reuse, clears, growth.
  std::vector<uint8_t> px;
  while (px.size() < 200000) px.insert(px.end(), size_t(1 + rng() % 40), uint8_t(rng() % 3));
  px.resize(400 * 500);
  frames.push_back(WebFrame(400, 500, px));
  // Long runs with single pixels between them: flush with table, 12-bit codes, and runs
  // long enough that the table would pass MaxCodes codes.
  frames.push_back(WebFrame(
      4000, 2000, Runs({{9, 30000}, {1, 1}, {9, 4000000}, {2, 1}, {9, 3000}, {9 + 36, 3966998}})));
  // Beyond one whole triangle of MaxCodes codes (7363203 pixels) in one run.
  frames.push_back(WebFrame(3000, 2500, Runs({{100, 1}, {50, 7499999}})));
  // Runs that grow by one: the table always needs one more.
  px.clear();
  for (int n = 1; px.size() < 60000; ++n) px.insert(px.end(), size_t(n), uint8_t(n % 2 ? 4 : 5));
  px.resize(300 * 200);
  frames.push_back(WebFrame(300, 200, px));
  // Small colour tables: code sizes 2 and 3 (their own clear rule), one column.
  for (int colors : {2, 3, 7}) {
    GifSubImage f;
    f.Width = 1;
    f.Height = 5000;
    for (int i = 0; i < colors; ++i) f.ColorMap.Colors.push_back({uint8_t(i * 30), 0, 0});
    while (f.Pixels.size() < 5000)
      f.Pixels.insert(f.Pixels.end(), size_t(1 + rng() % 300), uint8_t(rng() % colors));
    f.Pixels.resize(5000);
    frames.push_back(f);
  }
  ExpectDecodersAgree(frames, "crafted runs");
}
