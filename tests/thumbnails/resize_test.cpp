// Resampling checked against values worked out by hand from the filter definitions.
#include <gtest/gtest.h>

#include <vector>

#include "imaging/ImgResize.h"

namespace quorvane {
namespace {

// A one-row picture with the given grey levels.
Bitmap GreyRow(const std::vector<int>& levels) {
  Bitmap b(int(levels.size()), 1);
  for (size_t x = 0; x < levels.size(); ++x) {
    const uint8_t v = uint8_t(levels[x]);
    b.SetPixel(int(x), 0, RGB(v, v, v));
  }
  return b;
}

Bitmap GreyColumn(const std::vector<int>& levels) {
  Bitmap b(1, int(levels.size()));
  for (size_t y = 0; y < levels.size(); ++y) {
    const uint8_t v = uint8_t(levels[y]);
    b.SetPixel(0, int(y), RGB(v, v, v));
  }
  return b;
}

std::vector<int> RowLevels(const Bitmap& b) {
  std::vector<int> out;
  for (int x = 0; x < b.Width(); ++x) out.push_back(GetRValue(b.Pixel(x, 0)));
  return out;
}

std::vector<int> ColumnLevels(const Bitmap& b) {
  std::vector<int> out;
  for (int y = 0; y < b.Height(); ++y) out.push_back(GetGValue(b.Pixel(0, y)));
  return out;
}

TEST(ResizeBitmapTest, HalvingAveragesPairsWithAQuarterRoundingBias) {
  // M = 4, N = 2: cells cover whole pixels, scale = 2^21, so the output is
  // floor((a + b) / 2 + 1/4).
  Bitmap b = GreyRow({10, 21, 10, 20});
  ResizeBitmap(b, 2, 1);
  EXPECT_EQ(RowLevels(b), (std::vector<int>{15, 15}));
  Bitmap c = GreyRow({255, 255, 0, 1});
  ResizeBitmap(c, 2, 1);
  EXPECT_EQ(RowLevels(c), (std::vector<int>{255, 0}));
}

TEST(ResizeBitmapTest, ThreeToTwoSharesTheMiddlePixel) {
  // M = 3, N = 2: boundary 1.5 splits pixel 1 in halves (coverage 0x20000);
  // cell 0 = (100 + 40 / 2) / 1.5 = 80, cell 1 = (40 / 2 + 70) / 1.5 = 60.
  Bitmap b = GreyRow({100, 40, 70});
  ResizeBitmap(b, 2, 1);
  EXPECT_EQ(RowLevels(b), (std::vector<int>{80, 60}));
}

TEST(ResizeBitmapTest, DoublingInterpolatesWithCubicWeights) {
  // M = 2, N = 3: the ends are copied (t = 1 puts all weight on one node); the middle
  // has t = 1.5 with weights -65535, 589824, 589824, -65535 over 0, 0, 200, 200:
  // (0x80000 + 524289 * 200) >> 20 = 100.
  Bitmap b = GreyRow({0, 200});
  ResizeBitmap(b, 3, 1);
  EXPECT_EQ(RowLevels(b), (std::vector<int>{0, 100, 200}));
}

TEST(ResizeBitmapTest, EnlargingClampsOvershoot) {
  // M = 4, N = 7 over a step: position 1 undershoots (negative sum gives 0), position 5
  // overshoots (sum above 0xFF00000 gives 255), position 3 lies halfway: 128.
  Bitmap b = GreyRow({0, 0, 255, 255});
  ResizeBitmap(b, 7, 1);
  EXPECT_EQ(RowLevels(b), (std::vector<int>{0, 0, 0, 128, 255, 255, 255}));
}

TEST(ResizeBitmapTest, VerticalPassMatchesTheHorizontalOne) {
  Bitmap b = GreyColumn({100, 40, 70});
  ResizeBitmap(b, 1, 2);
  EXPECT_EQ(ColumnLevels(b), (std::vector<int>{80, 60}));
  Bitmap c = GreyColumn({0, 0, 255, 255});
  ResizeBitmap(c, 1, 7);
  EXPECT_EQ(ColumnLevels(c), (std::vector<int>{0, 0, 0, 128, 255, 255, 255}));
}

TEST(ResizeBitmapTest, OnlyTheChangedDirectionIsFiltered) {
  // Two rows, 3 columns, each channel different; halving the height leaves every
  // column's own average and keeps the channels apart.
  Bitmap b(3, 2);
  b.SetPixel(0, 0, RGB(10, 20, 30));
  b.SetPixel(0, 1, RGB(20, 40, 60));
  b.SetPixel(1, 0, RGB(200, 0, 0));
  b.SetPixel(1, 1, RGB(100, 0, 0));
  b.SetPixel(2, 0, RGB(7, 7, 7));
  b.SetPixel(2, 1, RGB(7, 7, 7));
  ResizeBitmap(b, 3, 1);
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 1);
  EXPECT_EQ(b.Pixel(0, 0), RGB(15, 30, 45));
  EXPECT_EQ(b.Pixel(1, 0), RGB(150, 0, 0));
  EXPECT_EQ(b.Pixel(2, 0), RGB(7, 7, 7));

  // The same size changes nothing at all.
  Bitmap same(4, 3);
  same.SetPixel(2, 1, RGB(1, 2, 3));
  Bitmap copy = same;
  ResizeBitmap(same, 4, 3);
  EXPECT_TRUE(same.SamePixels(copy));
}

TEST(ResizeBitmapTest, FlatAreasStayFlatAtAnyRatio) {
  for (int n : {1, 2, 3, 7, 94, 99}) {
    Bitmap b(100, 3);
    b.Fill(RGB(255, 128, 1));
    ResizeBitmap(b, n, 5);
    for (int x = 0; x < n; ++x)
      for (int y = 0; y < 5; ++y) ASSERT_EQ(b.Pixel(x, y), RGB(255, 128, 1)) << n << " " << x;
  }
  // An extreme shrink of white must not wrap to black.
  Bitmap wide(60000, 1);
  wide.Fill(clWhite);
  ResizeBitmap(wide, 1, 1);
  EXPECT_EQ(wide.Pixel(0, 0), clWhite);
}

TEST(ResizeBitmapTest, EmptyTargetsAndSources) {
  Bitmap b(5, 5);
  ResizeBitmap(b, 0, 5);
  EXPECT_TRUE(b.Empty());
  Bitmap e;
  ResizeBitmap(e, 4, 2);
  EXPECT_EQ(e.Width(), 4);
  EXPECT_EQ(e.Height(), 2);
}

TEST(FitSizeTest, PreviewShrinksOnlyAndKeepsTheAspect) {
  auto s = FitSize(igtPreview, 50, 100, 94, 120);
  EXPECT_EQ(s.Width, 50);
  EXPECT_EQ(s.Height, 100);
  s = FitSize(igtPreview, 100, 100, 94, 120);
  EXPECT_EQ(s.Width, 94);
  EXPECT_EQ(s.Height, 94);
  s = FitSize(igtPreview, 500, 375, 94, 94);
  EXPECT_EQ(s.Width, 94);
  EXPECT_EQ(s.Height, 70);
  s = FitSize(igtPreview, 375, 500, 94, 94);
  EXPECT_EQ(s.Width, 70);
  EXPECT_EQ(s.Height, 94);
  // Wide picture whose height would overflow a flat box.
  s = FitSize(igtPreview, 200, 100, 94, 20);
  EXPECT_EQ(s.Width, 40);
  EXPECT_EQ(s.Height, 20);
  // A line-thin picture keeps one row.
  s = FitSize(igtPreview, 10000, 1, 94, 94);
  EXPECT_EQ(s.Width, 94);
  EXPECT_EQ(s.Height, 1);
}

TEST(FitSizeTest, StretchEnlargesSmallPicturesWithExactQuotients) {
  auto s = FitSize(igtStretch, 50, 100, 94, 120);
  EXPECT_EQ(s.Width, 60);
  EXPECT_EQ(s.Height, 120);
  s = FitSize(igtStretch, 60, 60, 94, 120);
  EXPECT_EQ(s.Width, 94);
  EXPECT_EQ(s.Height, 94);
  s = FitSize(igtStretch, 100, 100, 94, 120);
  EXPECT_EQ(s.Width, 94);
  EXPECT_EQ(s.Height, 94);
  s = FitSize(igtStretch, 3, 47, 94, 94);  // 94 * 3 / 47 is exactly 6
  EXPECT_EQ(s.Width, 6);
  EXPECT_EQ(s.Height, 94);
  s = FitSize(igtStretch, 40, 20, 94, 94);
  EXPECT_EQ(s.Width, 94);
  EXPECT_EQ(s.Height, 47);
}

TEST(FitSizeTest, FitAndNormal) {
  auto s = FitSize(igtFit, 50, 100, 94, 120);
  EXPECT_EQ(s.Width, 94);
  EXPECT_EQ(s.Height, 120);
  s = FitSize(igtNormal, 500, 100, 94, 120);
  EXPECT_EQ(s.Width, 500);
  EXPECT_EQ(s.Height, 100);
}

}  // namespace
}  // namespace quorvane
