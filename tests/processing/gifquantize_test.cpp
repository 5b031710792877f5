// Colour reduction of the GIF writer: the web palette, its lookup and the five dithering
// engines, checked against values worked out by hand.

#include "processing/GIFQuantize.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "support/TestDir.h"

using namespace quorvane;
using quorvane::test::PatternBitmap;

namespace {

constexpr DitherMode kAllModes[] = {DitherMode::dmNearest, DitherMode::dmFloydSteinberg,
                                     DitherMode::dmStucki, DitherMode::dmSierra,
                                     DitherMode::dmBurkes};

// A bitmap from rows of (red, green, blue) pixels.
Bitmap FromRGB(const std::vector<std::vector<std::array<int, 3>>>& rows) {
  Bitmap bmp(int(rows[0].size()), int(rows.size()));
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) {
      const auto& p = rows[size_t(y)][size_t(x)];
      bmp.SetPixel(x, y, RGB(uint8_t(p[0]), uint8_t(p[1]), uint8_t(p[2])));
    }
  return bmp;
}

Bitmap Filled(int w, int h, RgbColor c) {
  Bitmap bmp(w, h);
  bmp.Fill(c);
  return bmp;
}

}  // namespace

TEST(GIFQuantize, WebPaletteEntriesAndLookupBoundaries) {
  const auto& pal = WebPalette();
  EXPECT_EQ(pal[0], (RGBTriple{0, 0, 0}));
  EXPECT_EQ(pal[1], (RGBTriple{0, 0, 51}));  // blue varies fastest
  EXPECT_EQ(pal[6], (RGBTriple{0, 51, 0}));
  EXPECT_EQ(pal[36], (RGBTriple{51, 0, 0}));
  EXPECT_EQ(pal[180], (RGBTriple{255, 0, 0}));
  EXPECT_EQ(pal[215], (RGBTriple{255, 255, 255}));
  EXPECT_EQ(pal[2 * 36 + 3 * 6 + 4], (RGBTriple{102, 153, 204}));

  // Every channel goes to (c + 3) div 51: 47 still rounds down, 48 up.
  EXPECT_EQ(NetscapeColorLookup::Index(255, 0, 0), 180);
  EXPECT_EQ(NetscapeColorLookup::Index(47, 47, 47), 0);
  EXPECT_EQ(NetscapeColorLookup::Index(48, 48, 48), 43);
  EXPECT_EQ(NetscapeColorLookup::Index(0, 0, 255), 5);
  EXPECT_EQ(NetscapeColorLookup::Index(0, 254, 0), 30);
  EXPECT_EQ(NetscapeColorLookup::Index(0, 0, 200), 3);  // 203 div 51 = 3
  // Every palette colour finds itself.
  for (int i = 0; i < kWebPaletteSize; ++i)
    EXPECT_EQ(NetscapeColorLookup::Index(pal[i][0], pal[i][1], pal[i][2]), i);
}

TEST(GIFQuantize, PaletteColoursComeThroughEveryEngineUnchanged) {
  // A palette colour leaves no error, so every engine keeps it everywhere.
  for (DitherMode mode : kAllModes) {
    auto red = QuantizeToWebPalette(Filled(5, 4, clRed), mode);
    EXPECT_EQ(red, std::vector<uint8_t>(20, 180)) << int(mode);
    auto white = QuantizeToWebPalette(Filled(1, 1, clWhite), mode);
    EXPECT_EQ(white, std::vector<uint8_t>(1, 215)) << int(mode);
  }
  EXPECT_EQ(QuantizeToWebPalette(Filled(3, 3, RGB(47, 47, 47)), DitherMode::dmNearest),
            std::vector<uint8_t>(9, 0));
  // The same grey diffuses its error with the other engines, so some pixels go up a step.
  auto fs = QuantizeToWebPalette(Filled(3, 3, RGB(47, 47, 47)), DitherMode::dmFloydSteinberg);
  EXPECT_EQ(fs[0], 0);
  EXPECT_NE(std::count(fs.begin(), fs.end(), 43), 0);
}

TEST(GIFQuantize, SettingsIndexSelectsTheEngine) {
  EXPECT_EQ(DitherModeFromIndex(0), DitherMode::dmNearest);
  EXPECT_EQ(DitherModeFromIndex(1), DitherMode::dmFloydSteinberg);
  EXPECT_EQ(DitherModeFromIndex(2), DitherMode::dmStucki);
  EXPECT_EQ(DitherModeFromIndex(3), DitherMode::dmSierra);
  EXPECT_EQ(DitherModeFromIndex(4), DitherMode::dmBurkes);
  EXPECT_EQ(int(DitherModeFromIndex(4)), 6);
  EXPECT_EQ(DitherModeFromIndex(5), DitherMode::dmFloydSteinberg);
  EXPECT_EQ(DitherModeFromIndex(7), DitherMode::dmFloydSteinberg);
  EXPECT_EQ(DitherModeFromIndex(-1), DitherMode::dmFloydSteinberg);
}

// Three red values 30, 40, 46 in one row (green and blue 0). Worked out from each
// engine's weights in the row being scanned (value = c + (acc + divisor div 2) div divisor):
//   Nearest: all below 48 -> 0, 0, 0.
//   Floyd–Steinberg: e0 = 30; p1 acc 210 -> 40 + 13 = 53 (step 1, e = 2); p2 acc 14 ->
//     46 + 1 = 47 (step 0).                                            -> 0, 36, 0
//   Burkes (8, 4 / 32): p1 acc 240 -> 48 (step 1, e = -3); p2 acc 120 - 24 = 96 ->
//     46 + 3 = 49 (step 1).                                            -> 0, 36, 36
//   Sierra (5, 3 / 32): p1 acc 150 -> 45 (step 0, e = 45); p2 acc 90 + 225 -> 46 + 10.
//                                                                       -> 0, 0, 36
//   Stucki (8, 4 / 42): p1 acc 240 -> 46 (e = 46); p2 acc 120 + 368 -> 46 + 12.
//                                                                       -> 0, 0, 36
TEST(GIFQuantize, EachEngineSpreadsItsOwnWeightsAlongTheRow) {
  const Bitmap row = FromRGB({{{30, 0, 0}, {40, 0, 0}, {46, 0, 0}}});
  auto q = [&](int index) { return QuantizeToWebPalette(row, DitherModeFromIndex(index)); };
  EXPECT_EQ(q(0), (std::vector<uint8_t>{0, 0, 0}));
  EXPECT_EQ(q(1), (std::vector<uint8_t>{0, 36, 0}));
  EXPECT_EQ(q(2), (std::vector<uint8_t>{0, 0, 36}));
  EXPECT_EQ(q(3), (std::vector<uint8_t>{0, 0, 36}));
  EXPECT_EQ(q(4), (std::vector<uint8_t>{0, 36, 36}));  // Burkes, not Floyd–Steinberg
}

// Floyd–Steinberg on 3 x 2 (R, G, B), by hand. Row 0 runs left to right, row 1 right to
// left; "acc" is the error gathered at the pixel.
//   row 0: (30,100,0) (200,100,0) (120,100,0)   row 1: (90,100,0) (10,100,0) (250,100,0)
//   (0,0): R 30 -> step 0, e 30;  G 100 -> step 2 (102), e -2.          index 12
//   (1,0): R acc 210: 200 + 13 = 213 -> step 4, e 9;  G acc -14: (-14 + 8) div 16 = 0
//          (truncated toward zero), 100 -> e -2.                         index 156
//   (2,0): R acc 63: 120 + 4 = 124 -> step 2, e 22;  G acc -14 -> 100.   index 84
//   (2,1): R acc 9 + 110 = 119: 250 + 7 = 257, clamped 255 -> step 5, e 0 (error of the
//          clamped value);  G acc -12 -> 100, e -2.                       index 192
//   (1,1): R acc 30 + 45 + 66 = 141: 10 + 9 = 19 -> step 0, e 19;  G acc -32: 100 - 1 = 99,
//          e -3.                                                          index 12
//   (0,1): R acc 15 + 162 + 133 = 310: 90 + 19 = 109 -> step 2;  G acc -37 -> 99.
//                                                                          index 84
TEST(GIFQuantize, FloydSteinbergByHandWithSerpentineClampAndTruncation) {
  const Bitmap bmp = FromRGB(
      {{{30, 100, 0}, {200, 100, 0}, {120, 100, 0}}, {{90, 100, 0}, {10, 100, 0}, {250, 100, 0}}});
  EXPECT_EQ(QuantizeToWebPalette(bmp, DitherMode::dmFloydSteinberg),
            (std::vector<uint8_t>{12, 156, 84, 84, 12, 192}));
}

// Burkes on 3 x 2, red only, by hand. Row 0 left to right: 20 -> e 20 gives (1,0) 160,
// (2,0) 80, below (0,1) 160, (1,1) 80 ((2,1) gets 2 x 20 = 40, (-1,1) and (-2,1) drop).
//   (1,0): 20 + (160 + 16) div 32 = 25 -> step 0, e 25: (2,0) +200, below (0,1) +100,
//          (1,1) +200, (2,1) +100.
//   (2,0): 20 + (280 + 16) div 32 = 29 -> step 0, e 29: below (0,1) +58, (1,1) +116,
//          (2,1) +232.
//   Row 1 right to left, accs (0,1) 160 + 100 + 58 = 318, (1,1) 80 + 200 + 116 = 396,
//   (2,1) 40 + 100 + 232 = 372.
//   (2,1): 40 + 12 = 52 -> step 1 (51), e 1: (1,1) +8, (0,1) +4.
//   (1,1): 40 + (404 + 16) div 32 = 53 -> step 1, e 2: (0,1) +16.
//   (0,1): 40 + (338 + 16) div 32 = 51 -> step 1.
TEST(GIFQuantize, BurkesByHandAcrossTwoRows) {
  const Bitmap bmp =
      FromRGB({{{20, 0, 0}, {20, 0, 0}, {20, 0, 0}}, {{40, 0, 0}, {40, 0, 0}, {40, 0, 0}}});
  EXPECT_EQ(QuantizeToWebPalette(bmp, DitherMode::dmBurkes),
            (std::vector<uint8_t>{0, 0, 0, 36, 36, 36}));
}

TEST(GIFQuantize, EnginesAgreeOnlyWhereTheyShould) {
  // A smooth gradient with noise: every engine gives its own result, all inside the
  // palette, and the average colour of the diffused pictures stays close to the source.
  std::mt19937 rng(7);
  Bitmap bmp(64, 48);
  int64_t sourceSum = 0;
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) {
      const int noise = int(rng() % 21) - 10;
      const int r = std::clamp(x * 4 + noise, 0, 255), g = std::clamp(y * 5 - noise, 0, 255);
      bmp.SetPixel(x, y, RGB(uint8_t(r), uint8_t(g), uint8_t(128)));
      sourceSum += r;
    }
  std::vector<std::vector<uint8_t>> results;
  for (DitherMode mode : kAllModes) {
    auto q = QuantizeToWebPalette(bmp, mode);
    ASSERT_EQ(q.size(), size_t(64 * 48));
    int64_t redSum = 0;
    for (uint8_t i : q) {
      ASSERT_LT(i, kWebPaletteSize);
      redSum += WebPalette()[i][0];
    }
    if (mode != DitherMode::dmNearest) {
      EXPECT_NEAR(double(redSum) / q.size(), double(sourceSum) / q.size(), 2.0) << int(mode);
    }
    for (const auto& other : results) EXPECT_NE(q, other) << int(mode);
    results.push_back(std::move(q));
  }
}

TEST(GIFQuantize, ThinPicturesAndPaddedRows) {
  // 1 x N and N x 1 pictures: single-column rows change direction without a neighbour to
  // spread to; a width of 5 leaves a padding byte at each row end that must not be read.
  const Bitmap column = PatternBitmap(1, 40);
  const Bitmap row = PatternBitmap(40, 1);
  const Bitmap padded = PatternBitmap(5, 6);
  for (DitherMode mode : kAllModes) {
    EXPECT_EQ(QuantizeToWebPalette(column, mode).size(), 40u);
    EXPECT_EQ(QuantizeToWebPalette(row, mode).size(), 40u);
    Bitmap dirty = padded;
    for (int y = 0; y < dirty.Height(); ++y) dirty.ScanLine(y)[15] = 0xFF;
    EXPECT_EQ(QuantizeToWebPalette(dirty, mode), QuantizeToWebPalette(padded, mode));
  }
  // In a single column all error goes below (Floyd–Steinberg 5/16 when it is the only
  // neighbour left): red 40 everywhere -> 0, then 40 + (200 + 8) div 16 = 53 -> 36 ...
  const Bitmap grey = Filled(1, 3, RGB(40, 0, 0));
  EXPECT_EQ(QuantizeToWebPalette(grey, DitherMode::dmFloydSteinberg),
            (std::vector<uint8_t>{0, 36, 0}));
  EXPECT_TRUE(QuantizeToWebPalette(Bitmap(), DitherMode::dmBurkes).empty());
}

TEST(GIFQuantize, EnginesMatchAnIndependentReferenceOnNoiseAndGradients) {
  // The reference (web_dither_reference.py) applies the rules pixel by pixel in Python.
  // The reference sits beside this test in the source tree; ctest names the tests' data
  // folder there (a compiler cache may have made __FILE__ relative).
  const char* data = std::getenv("QUORVANE_TEST_DATA");
  const std::filesystem::path here = data ? std::filesystem::path(data).parent_path() / "processing"
                                          : std::filesystem::path(__FILE__).parent_path();
  const std::string script = (here / "web_dither_reference.py").string();
  quorvane::test::TestDir dir;
  std::mt19937 rng(23);
  Bitmap bmp(37, 23);  // odd width: the last row runs left to right
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) {
      const int n = int(rng() % 61) - 30;  // strong noise drives values past 0 and 255
      bmp.SetPixel(x, y,
                   RGB(uint8_t(std::clamp(x * 7 + n, 0, 255)),
                       uint8_t(std::clamp(250 - y * 3 + n, 0, 255)), uint8_t(rng() % 256)));
    }
  std::string input = std::to_string(bmp.Width()) + " " + std::to_string(bmp.Height()) + "\n";
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) {
      const RgbColor c = bmp.Pixel(x, y);
      input += {char(GetRValue(c)), char(GetGValue(c)), char(GetBValue(c))};
    }
  const std::string in = dir.write("input.rgb", input);
  const std::pair<const char*, DitherMode> engines[] = {
      {"nearest", DitherMode::dmNearest},
      {"floydsteinberg", DitherMode::dmFloydSteinberg},
      {"stucki", DitherMode::dmStucki},
      {"sierra", DitherMode::dmSierra},
      {"burkes", DitherMode::dmBurkes}};
  for (const auto& [name, mode] : engines) {
    const std::string out = dir.file(std::string(name) + ".idx");
    ASSERT_EQ(quorvane::test::RunCommand("python3 " + quorvane::test::ShellQuote(script) + " " +
                                         name + " " + quorvane::test::ShellQuote(in) + " " +
                                         quorvane::test::ShellQuote(out)),
              0);
    const std::string expected = quorvane::test::ReadFileBytes(out);
    const auto q = QuantizeToWebPalette(bmp, mode);
    EXPECT_EQ(std::string(q.begin(), q.end()), expected) << name;
  }
}
