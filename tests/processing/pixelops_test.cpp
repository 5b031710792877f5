#include "processing/PixelOps.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>
#include <vector>

#include "processing/PixelTestHelpers.h"
#include "support/TestDir.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

constexpr RgbColor kMarker = 0x123456;

Bitmap Uniform(int w, int h, RgbColor c) {
  Bitmap b(w, h);
  b.Fill(c);
  return b;
}

Bitmap Grey(int w, int h, uint8_t v) { return Uniform(w, h, RGB(v, v, v)); }

int CountPixels(const Bitmap& b, RgbColor c) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) n += b.Pixel(x, y) == c;
  return n;
}

}  // namespace

TEST(Clamp, ByteAndRange) {
  EXPECT_EQ(ClampByte(-1), 0);
  EXPECT_EQ(ClampByte(0), 0);
  EXPECT_EQ(ClampByte(200), 200);
  EXPECT_EQ(ClampByte(256), 255);
  EXPECT_EQ(ClampByte(int64_t(1) << 40), 255);
  EXPECT_EQ(ClampRange(7, 0, 4), 4);
  EXPECT_EQ(ClampRange(-2, 0, 4), 0);
  EXPECT_EQ(ClampRange(3, 0, 4), 3);
}

// ---------------------------------------------------------------------------------------
// Mirror, flip, quarter turns on a picture with odd, unequal sides.

TEST(MirrorFlipTurn, MapEveryPixelOfAnOddNonSquarePicture) {
  const Bitmap src = PatternBitmap(5, 3);
  Bitmap m, f, r, l;
  MirrorBitmap(src, m, nullptr);
  FlipBitmap(src, f, nullptr);
  TurnBitmapRight(src, r, nullptr);
  TurnBitmapLeft(src, l, nullptr);
  ASSERT_EQ(m.Width(), 5);
  ASSERT_EQ(f.Height(), 3);
  ASSERT_EQ(r.Width(), 3);
  ASSERT_EQ(r.Height(), 5);
  ASSERT_EQ(l.Width(), 3);
  ASSERT_EQ(l.Height(), 5);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const RgbColor p = src.Pixel(x, y);
      EXPECT_EQ(m.Pixel(4 - x, y), p);
      EXPECT_EQ(f.Pixel(x, 2 - y), p);
      EXPECT_EQ(r.Pixel(2 - y, x), p);
      EXPECT_EQ(l.Pixel(y, 4 - x), p);
    }
  // Clockwise: the top-left corner goes to the top-right.
  EXPECT_EQ(r.Pixel(2, 0), src.Pixel(0, 0));
  EXPECT_EQ(l.Pixel(0, 4), src.Pixel(0, 0));
}

TEST(MirrorFlipTurn, TurnsAndFlipsComposeBack) {
  const Bitmap src = RandomBitmap(7, 4, 1);
  Bitmap a, b, c, d;
  TurnBitmapRight(src, a, nullptr);
  TurnBitmapLeft(a, b, nullptr);
  EXPECT_TRUE(b.SamePixels(src));
  // Four right turns are the identity; two are mirror + flip.
  TurnBitmapRight(a, b, nullptr);
  MirrorBitmap(src, c, nullptr);
  FlipBitmap(c, d, nullptr);
  EXPECT_TRUE(b.SamePixels(d));
  TurnBitmapRight(b, c, nullptr);
  TurnBitmapRight(c, d, nullptr);
  EXPECT_TRUE(d.SamePixels(src));
  // The same bitmap as source and destination works on a copy.
  Bitmap self = src;
  MirrorBitmap(self, self, nullptr);
  MirrorBitmap(self, self, nullptr);
  EXPECT_TRUE(self.SamePixels(src));
  TurnBitmapLeft(self, self, nullptr);
  EXPECT_EQ(self.Width(), 4);
}

TEST(MirrorFlipTurn, StopLeavesUnproducedRowsWhite) {
  const Bitmap src = Grey(6, 4, 9);
  StopFlag stop;
  stop.Terminate();
  Bitmap m;
  MirrorBitmap(src, m, &stop);  // the check follows the first row
  EXPECT_EQ(CountPixels(m, RGB(9, 9, 9)), 6);
  EXPECT_EQ(CountPixels(m, clWhite), 18);

  StopAfter afterTwo(2);
  Bitmap r;
  TurnBitmapRight(src, r, &afterTwo);  // three source rows = three destination columns
  ASSERT_EQ(r.Width(), 4);
  for (int y = 0; y < 6; ++y) {
    EXPECT_EQ(r.Pixel(0, y), clWhite);
    EXPECT_EQ(r.Pixel(1, y), RGB(9, 9, 9));
    EXPECT_EQ(r.Pixel(3, y), RGB(9, 9, 9));
  }
  EXPECT_EQ(afterTwo.looks(), 3);
}

// ---------------------------------------------------------------------------------------
// Smooth resize

TEST(SmoothResize, HandComputedTwoByTwoToThreeByTwo) {
  // Columns 0 / 255 on the top row, 100 / 100 below. xstep = 32768 div 3 = 10922,
  // ystep = 32768 div 2 = 16384. Bottom middle: fx = 10922, fy = 16384, so
  // wTR = wBR = 5461, wTL = wBL = 10923: (255 x 5461 + 100 x 16384) >> 15 = 92.
  Bitmap src(2, 2);
  src.SetPixel(0, 0, RGB(0, 0, 0));
  src.SetPixel(1, 0, RGB(255, 255, 255));
  src.SetPixel(0, 1, RGB(100, 100, 100));
  src.SetPixel(1, 1, RGB(100, 100, 100));
  Bitmap dst(3, 2);
  SmoothResize(src, dst, nullptr);
  const int expected[2][3] = {{0, 84, 169}, {50, 92, 134}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      for (int k = 0; k < 3; ++k) EXPECT_EQ(Channel(dst, x, y, k), expected[y][x]) << x << "," << y;
}

TEST(SmoothResize, MatchesThePerPixelFormulaUpAndDown) {
  const int sizes[][4] = {{3, 2, 2, 2},   {40, 30, 17, 11}, {17, 11, 40, 30}, {1, 9, 7, 3},
                          {9, 1, 4, 6},   {64, 64, 64, 64}, {5, 5, 1, 1},     {33, 7, 100, 2},
                          {2, 2, 128, 3}, {101, 3, 7, 200}};
  unsigned seed = 10;
  for (const auto& s : sizes) {
    const Bitmap src = RandomBitmap(s[0], s[1], seed++);
    Bitmap dst(s[2], s[3]);
    SmoothResize(src, dst, nullptr);
    EXPECT_TRUE(dst.SamePixels(ReferenceResize(src, s[2], s[3])))
        << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3];
  }
}

TEST(SmoothResize, UniformSourcesAndOnePixelSides) {
  // A single pixel fills any size; the weights always add up to 32768, so a uniform
  // picture stays uniform.
  Bitmap dst(13, 7);
  SmoothResize(Uniform(1, 1, RGB(250, 3, 77)), dst, nullptr);
  EXPECT_EQ(CountPixels(dst, RGB(250, 3, 77)), 13 * 7);
  SmoothResize(Uniform(30, 20, RGB(255, 255, 255)), dst, nullptr);
  EXPECT_EQ(CountPixels(dst, clWhite), 13 * 7);

  // A one-pixel-wide source takes its column as both neighbours: no horizontal mixing.
  Bitmap column(1, 2);
  column.SetPixel(0, 0, RGB(10, 20, 30));
  column.SetPixel(0, 1, RGB(110, 120, 130));
  Bitmap wide(4, 2);
  SmoothResize(column, wide, nullptr);
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(wide.Pixel(x, 0), RGB(10, 20, 30));
    EXPECT_EQ(wide.Pixel(x, 1), RGB(60, 70, 80));  // fy = 16384: halfway
  }
}

TEST(SmoothResize, SameSizeCopiesOnlyTheFirstPixel) {
  const Bitmap src = RandomBitmap(9, 6, 3);
  Bitmap dst(9, 6);
  SmoothResize(src, dst, nullptr);
  EXPECT_EQ(dst.Pixel(0, 0), src.Pixel(0, 0));
  EXPECT_FALSE(dst.SamePixels(src));
  // Column j samples j x (W - 1) / W: the last column lies between source columns 7 and 8.
  EXPECT_TRUE(dst.SamePixels(ReferenceResize(src, 9, 6)));
}

TEST(SmoothResize, EmptyPicturesAreRefused) {
  Bitmap empty, dst(3, 3), src(3, 3);
  EXPECT_THROW(SmoothResize(empty, dst, nullptr), BitmapError);
  EXPECT_THROW(SmoothResize(src, empty, nullptr), BitmapError);
}

TEST(SmoothResize, StopChecksFollowEachDestinationRow) {
  const Bitmap src = Grey(10, 10, 40);
  Bitmap dst = Uniform(5, 6, kMarker);
  StopFlag stop;
  stop.Terminate();
  SmoothResize(src, dst, &stop);
  EXPECT_EQ(CountPixels(dst, RGB(40, 40, 40)), 5);  // row 0 only
  for (int y = 1; y < 6; ++y) EXPECT_EQ(dst.Pixel(0, y), kMarker);

  Bitmap mid = Uniform(5, 6, kMarker);
  StopAfter afterThree(3);
  SmoothResize(src, mid, &afterThree);
  EXPECT_EQ(CountPixels(mid, RGB(40, 40, 40)), 4 * 5);
  EXPECT_EQ(mid.Pixel(4, 4), kMarker);
  EXPECT_EQ(mid.Pixel(0, 3), RGB(40, 40, 40));
}

TEST(SmoothResize, SidesAbove65536DoNotOverflow) {
  // (W - 1) x 32768 passes 2^31 here; a 32-bit step would wrap around.
  const int w = 70000, h = 2, dw = 7, dh = 2;
  std::vector<uint8_t> src(size_t(w) * 3 * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k)
        src[(size_t(y) * w + x) * 3 + k] = uint8_t((x / 300 + 40 * y) % 256);
  std::vector<uint8_t> dst(dw * 3 * dh, 0);
  SmoothResizeRows(src.data(), w, h, size_t(w) * 3, dst.data(), dw, dh, dw * 3, nullptr);
  ASSERT_GT(int64_t(w - 1) * 32768, int64_t(INT32_MAX));
  const int64_t xstep = int64_t(w - 1) * 32768 / dw;
  for (int j = 0; j < dw; ++j) {
    const int64_t sx = j * xstep, c0 = sx >> 15, fx = sx & 32767;
    const int64_t left = (c0 / 300) % 256, right = ((c0 + 1) / 300) % 256;
    const int64_t expectTop = (left * (32768 - fx) + right * fx) >> 15;
    EXPECT_EQ(dst[j * 3], expectTop) << j;
  }
  // Last column: sx = 6 x 327675318, c0 = 59999 (value 199), fx = 4676 toward 200.
  EXPECT_EQ(dst[(dw - 1) * 3], 199);
  // Row 1 samples halfway between the two rows (fy = 16384): (0 + 40) / 2.
  EXPECT_EQ(dst[dw * 3], 20);
}

// ---------------------------------------------------------------------------------------
// FitBitmap

TEST(FitBitmap, KeepsProportionsInWholePerCent) {
  struct Case {
    int w, h, bw, bh, ew, eh;
  } cases[] = {
      {200, 100, 100, 100, 100, 50},    // wider: full box width
      {100, 200, 100, 100, 50, 100},    // taller: full box height
      {300, 200, 150, 100, 150, 100},   // same ratio: the box itself
      {10, 5, 100, 100, 100, 50},       // enlarges too
      {1000, 661, 300, 200, 300, 200},  // 66 % both: taken as the same ratio
  };
  for (const Case& c : cases) {
    Bitmap b = RandomBitmap(c.w, c.h, 4);
    ASSERT_TRUE(FitBitmap(b, c.bw, c.bh, nullptr));
    EXPECT_EQ(b.Width(), c.ew) << c.w << "x" << c.h;
    EXPECT_EQ(b.Height(), c.eh) << c.w << "x" << c.h;
  }
  const Bitmap src = RandomBitmap(40, 20, 5);
  Bitmap b = src;
  ASSERT_TRUE(FitBitmap(b, 16, 16, nullptr));
  EXPECT_TRUE(b.SamePixels(ReferenceResize(src, 16, 8)));
}

TEST(FitBitmap, FailuresLeaveTheBitmapAlone) {
  const Bitmap src = RandomBitmap(300, 2, 6);
  Bitmap b = src;
  EXPECT_FALSE(FitBitmap(b, 100, 100, nullptr));  // 2 x 100 div 300 = 0 rows
  EXPECT_FALSE(FitBitmap(b, 0, 10, nullptr));
  EXPECT_FALSE(FitBitmap(b, 10, -1, nullptr));
  EXPECT_TRUE(b.SamePixels(src));
  Bitmap empty;
  EXPECT_FALSE(FitBitmap(empty, 10, 10, nullptr));
}

// ---------------------------------------------------------------------------------------
// Smooth rotation

TEST(SmoothRotate, ZeroDegreesReproducesTheSource) {
  for (const auto& size : {std::pair{7, 5}, std::pair{8, 8}, std::pair{1, 1}}) {
    const Bitmap src = RandomBitmap(size.first, size.second, 7);
    Bitmap dst = Uniform(size.first, size.second, kMarker);
    SmoothRotate(src, dst, size.first / 2, size.second / 2, 0, nullptr);
    EXPECT_TRUE(dst.SamePixels(src));
  }
}

TEST(SmoothRotate, MatchesThePerPixelFormula) {
  const Bitmap src = RandomBitmap(23, 17, 8);
  for (long double angle : {30.0L, -30.0L, 45.0L, 135.0L, -90.0L, 180.0L, 17.3L, 179.9L, 1e-9L}) {
    Bitmap dst = Uniform(23, 17, kMarker), ref = dst;
    SmoothRotate(src, dst, 11, 8, angle, nullptr);
    ReferenceRotate(src, ref, 11, 8, angle);
    EXPECT_TRUE(dst.SamePixels(ref)) << double(angle);
  }
  // Near-axis angles, where one of the slopes almost vanishes, on a wider picture.
  const Bitmap wide = RandomBitmap(64, 37, 15);
  for (long double angle : {0.0001L, 89.99999L, 90.0L, -90.00001L, 179.99L, -120.0L, 60.0L}) {
    Bitmap dst = Uniform(64, 37, kMarker), ref = dst;
    SmoothRotate(wide, dst, 32, 18, angle, nullptr);
    ReferenceRotate(wide, ref, 32, 18, angle);
    EXPECT_TRUE(dst.SamePixels(ref)) << double(angle);
  }
  // A larger destination centres the source on it; another centre shifts it.
  Bitmap big = Uniform(31, 20, kMarker), ref = big;
  SmoothRotate(src, big, 5, 12, 60, nullptr);
  ReferenceRotate(src, ref, 5, 12, 60);
  EXPECT_TRUE(big.SamePixels(ref));
}

TEST(SmoothRotate, QuarterAndHalfTurnsMovePixelsExactly) {
  // 6 x 4 about (3, 2) by 90 degrees: destination (j, i) = source (i + 1, 4 - j) for
  // j = 1..4; columns 0 and 5 have no source and are not written.
  const Bitmap src = RandomBitmap(6, 4, 9);
  Bitmap dst = Uniform(6, 4, kMarker);
  SmoothRotate(src, dst, 3, 2, 90, nullptr);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(dst.Pixel(0, i), kMarker);
    EXPECT_EQ(dst.Pixel(5, i), kMarker);
    for (int j = 1; j <= 4; ++j) EXPECT_EQ(dst.Pixel(j, i), src.Pixel(i + 1, 4 - j));
  }
  // 180 degrees of an even-sized picture is a mirror and a flip.
  Bitmap half = Uniform(6, 4, kMarker), m, mf;
  SmoothRotate(src, half, 3, 2, 180, nullptr);
  MirrorBitmap(src, m, nullptr);
  FlipBitmap(m, mf, nullptr);
  EXPECT_TRUE(half.SamePixels(mf));
}

TEST(SmoothRotate, ExtrapolatedValuesAreClamped) {
  // Negative fractions extrapolate beyond the nearest pixel: 0 next to 255 must not wrap.
  Bitmap src(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) src.SetPixel(x, y, (x + y) % 2 ? clWhite : clBlack);
  Bitmap dst = Uniform(4, 4, kMarker), ref = dst;
  SmoothRotate(src, dst, 2, 2, 20, nullptr);
  ReferenceRotate(src, ref, 2, 2, 20);
  EXPECT_TRUE(dst.SamePixels(ref));
}

TEST(SmoothRotate, StopAfterEachPixelAndBadAngles) {
  const Bitmap src = Grey(5, 4, 77);
  Bitmap dst = Uniform(5, 4, kMarker);
  StopAfter afterSix(6);
  SmoothRotate(src, dst, 2, 2, 0, &afterSix);
  EXPECT_EQ(CountPixels(dst, RGB(77, 77, 77)), 7);
  EXPECT_EQ(dst.Pixel(1, 1), RGB(77, 77, 77));
  EXPECT_EQ(dst.Pixel(2, 1), kMarker);

  // Columns without a source still count their checks: a 6 x 4 picture by 90 degrees
  // has no source in columns 0 and 5; eight checks end after (1, 1).
  const Bitmap six = Grey(6, 4, 66);
  Bitmap turned = Uniform(6, 4, kMarker);
  StopAfter afterSeven(7);
  SmoothRotate(six, turned, 3, 2, 90, &afterSeven);
  EXPECT_EQ(afterSeven.looks(), 8);
  EXPECT_EQ(CountPixels(turned, RGB(66, 66, 66)), 5);
  EXPECT_EQ(turned.Pixel(1, 1), RGB(66, 66, 66));
  EXPECT_EQ(turned.Pixel(2, 1), kMarker);

  EXPECT_THROW(SmoothRotate(src, dst, 2, 2, NAN, nullptr), std::invalid_argument);
  EXPECT_THROW(SmoothRotate(src, dst, 2, 2, INFINITY, nullptr), std::invalid_argument);
}

// ---------------------------------------------------------------------------------------
// Contrast, brightness, saturation

namespace {

uint8_t Contrast(uint8_t v, int amount) {
  Bitmap b = Grey(1, 1, v);
  ContrastBitmap(b, amount);
  return Channel(b, 0, 0, 0);
}

uint8_t Brightness(uint8_t v, int amount) {
  Bitmap b = Grey(1, 1, v);
  BrightnessBitmap(b, amount);
  return Channel(b, 0, 0, 0);
}

}  // namespace

TEST(Colour, ContrastFigures) {
  EXPECT_EQ(Contrast(127, 1023), 127);
  EXPECT_EQ(Contrast(128, 1023), 132);
  EXPECT_EQ(Contrast(126, 1023), 122);
  EXPECT_EQ(Contrast(0, 1023), 0);
  EXPECT_EQ(Contrast(200, 1023), 255);
  for (int v : {0, 1, 100, 127, 128, 254, 255}) EXPECT_EQ(Contrast(uint8_t(v), -255), 127) << v;
  // Division truncates toward zero: (127 x -100) div 255 = -49, so 0 becomes 49.
  EXPECT_EQ(Contrast(0, -100), 49);
  EXPECT_EQ(Contrast(255, -100), 205);
  // Amounts far outside the range saturate instead of overflowing.
  EXPECT_EQ(Contrast(128, INT_MAX), 255);
  EXPECT_EQ(Contrast(126, INT_MAX), 0);
  EXPECT_EQ(Contrast(127, INT_MAX), 127);
  EXPECT_EQ(Contrast(0, INT_MIN), 255);  // pulled far past the middle
}

TEST(Colour, BrightnessFigures) {
  for (int v : {0, 100, 255}) EXPECT_EQ(Brightness(uint8_t(v), 255), 255);
  EXPECT_EQ(Brightness(255, -1023), 255);
  EXPECT_EQ(Brightness(254, -1023), 250);
  for (int v = 0; v <= 204; ++v) EXPECT_EQ(Brightness(uint8_t(v), -1023), 0) << v;
  EXPECT_EQ(Brightness(205, -1023), 5);  // 205 + (-51150 div 255 = -200)
  EXPECT_EQ(Brightness(100, 51), 131);   // 100 + 155 x 51 div 255 = 100 + 31
  EXPECT_EQ(Brightness(0, INT_MIN), 0);
  EXPECT_EQ(Brightness(1, INT_MAX), 255);
}

TEST(Colour, SaturationFigures) {
  // (B, G, R) = (10, 20, 60), grey level 30; S = 128 truncates toward zero on both sides.
  Bitmap b(1, 1);
  b.SetPixel(0, 0, RGB(60, 20, 10));
  SaturationBitmap(b, 128);
  EXPECT_EQ(b.Pixel(0, 0), RGB(45, 25, 20));

  const Bitmap src = RandomBitmap(9, 5, 11);
  Bitmap grey = src;
  SaturationBitmap(grey, 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) {
      const int g = (Channel(src, x, y, 0) + Channel(src, x, y, 1) + Channel(src, x, y, 2)) / 3;
      EXPECT_EQ(grey.Pixel(x, y), RGB(g, g, g));
    }

  Bitmap strong(1, 1);
  strong.SetPixel(0, 0, RGB(200, 100, 90));  // grey 130
  SaturationBitmap(strong, 1279);
  EXPECT_EQ(strong.Pixel(0, 0), RGB(255, 0, 0));
  strong.SetPixel(0, 0, RGB(131, 130, 129));
  SaturationBitmap(strong, INT_MAX);
  EXPECT_EQ(strong.Pixel(0, 0), RGB(255, 130, 0));
}

TEST(Colour, NeutralAmountsLeaveEveryPixelUnchanged) {
  const Bitmap src = RandomBitmap(31, 9, 12);
  Bitmap b = src;
  ContrastBitmap(b, 0);
  BrightnessBitmap(b, 0);
  SaturationBitmap(b, 255);
  EXPECT_TRUE(b.SamePixels(src));
}

// ---------------------------------------------------------------------------------------
// Gamma

TEST(Gamma, TableEntries) {
  const GammaTable identity = BuildGammaTable(1);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(identity[i], i);

  for (long double e : {0.01L, 0.5L, 0.99L, 1.5L, 1.99L}) {
    const GammaTable t = BuildGammaTable(e);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[255], 255);
    for (int i = 1; i < 255; ++i) {
      const long double x = powl(i / 255.0L, e) * 255;
      if (x - floorl(x) > 1e-9L && ceill(x) - x > 1e-9L) {
        EXPECT_EQ(t[i], int(ceill(x))) << double(e) << " " << i;  // the next whole number
      }
      if (i > 1) {
        EXPECT_GE(t[i], t[i - 1]);
      }
    }
  }
  // (128 / 255)^2 x 255 = 64.25 -> 65.
  EXPECT_EQ(BuildGammaTable(2)[128], 65);
  EXPECT_EQ(BuildGammaTable(0.5L)[64], 128);  // sqrt(64 x 255) = 127.75 -> 128
  EXPECT_EQ(BuildGammaTable(NAN)[10], 255);
}

TEST(Gamma, ApplyMapsEveryByteAndStopsAfterRows) {
  const Bitmap src = RandomBitmap(7, 5, 13);
  const GammaTable t = BuildGammaTable(1.7L);
  Bitmap out;
  ApplyGammaTable(src, out, nullptr, 1.7L);  // a distinct destination is sized to the source
  ASSERT_EQ(out.Width(), 7);
  for (int y = 0; y < 5; ++y)
    for (int k = 0; k < 21; ++k) EXPECT_EQ(out.ScanLine(y)[k], t[src.ScanLine(y)[k]]);

  Bitmap inPlace = src;
  StopAfter afterTwo(2);
  ApplyGammaTable(inPlace, inPlace, &afterTwo, 1.7L);
  for (int k = 0; k < 21; ++k) {
    EXPECT_EQ(inPlace.ScanLine(2)[k], t[src.ScanLine(2)[k]]);
    EXPECT_EQ(inPlace.ScanLine(3)[k], src.ScanLine(3)[k]);  // not reached: old values
  }
}

TEST(Gamma, CorrectionsOnSeveralThreadsDoNotDisturbEachOther) {
  // A preview and a batch may correct at the same time with different exponents.
  const Bitmap src = RandomBitmap(64, 64, 14);
  Bitmap expectA, expectB;
  ApplyGammaTable(src, expectA, nullptr, 0.3L);
  ApplyGammaTable(src, expectB, nullptr, 1.8L);
  bool okA = true, okB = true;
  auto run = [&src](long double e, const Bitmap& expect, bool& ok) {
    for (int n = 0; n < 200; ++n) {
      Bitmap out;
      ApplyGammaTable(src, out, nullptr, e);
      ok = ok && out.SamePixels(expect);
    }
  };
  std::thread a(run, 0.3L, std::cref(expectA), std::ref(okA));
  std::thread b(run, 1.8L, std::cref(expectB), std::ref(okB));
  a.join();
  b.join();
  EXPECT_TRUE(okA);
  EXPECT_TRUE(okB);
}
