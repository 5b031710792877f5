#include "thumbnails/PictureStore.h"

#include <gtest/gtest.h>

#include "support/TestDir.h"

namespace quorvane {
namespace {

Bitmap Solid(int w, int h, RgbColor c) {
  Bitmap b(w, h);
  b.Fill(c);
  return b;
}

// The list view's thumbnail store: 94 x 94 cells in 1024 x 1024 pages.
struct Store94 : PictureStore {
  Store94() {
    SetCellWidth(94);
    SetCellHeight(94);
  }
};

TEST(ImgListTest, DefaultsAndLayoutOf94PixelCells) {
  PictureStore list;
  EXPECT_EQ(list.CellWidth(), 32);
  EXPECT_EQ(list.PageWidth(), 1024);
  EXPECT_EQ(list.Color(), clWhite);
  EXPECT_EQ(list.Columns(), 32);

  list.SetCellWidth(94);
  list.SetCellHeight(94);
  EXPECT_EQ(list.Columns(), 10);
  EXPECT_EQ(list.Rows(), 10);
  EXPECT_EQ(list.PerPage(), 100);
  EXPECT_EQ(list.PageBitmapWidth(), 940);
  EXPECT_EQ(list.PageBitmapHeight(), 940);

  list.SetCellWidth(0);
  EXPECT_EQ(list.Columns(), 0);
  EXPECT_EQ(list.PerPage(), 0);
  EXPECT_EQ(list.PageBitmapWidth(), 0);
}

TEST(ImgListTest, PagesGrowRowByRow) {
  Store94 list;
  list.Add(Solid(94, 94, clRed));
  ASSERT_EQ(list.PageCount(), 1);
  EXPECT_EQ(list.Page(0).Width(), 940);
  EXPECT_EQ(list.Page(0).Height(), 94);
  EXPECT_EQ(list.Capacity(), 10);
  for (int i = 1; i < 11; ++i) EXPECT_EQ(list.Add(Solid(10, 10, clRed)), i);
  EXPECT_EQ(list.Count(), 11);
  EXPECT_EQ(list.Page(0).Height(), 188);
  EXPECT_EQ(list.Capacity(), 20);
  // The picture of the first row survived the growth.
  EXPECT_EQ(list.Page(0).Pixel(5, 5), clRed);

  for (int i = 11; i < 101; ++i) list.Add(Solid(10, 10, clBlue));
  ASSERT_EQ(list.PageCount(), 2);
  EXPECT_EQ(list.Page(0).Height(), 940);
  EXPECT_EQ(list.Page(1).Height(), 94);
}

TEST(ImgListTest, CellsAreLocatedByIndex) {
  Store94 list;
  for (int i = 0; i < 101; ++i) list.Add(Solid(94, 94, RGB(uint8_t(i), 0, 0)));
  int x = -1, y = -1;
  const Bitmap* page = list.GetCell(13, x, y);
  ASSERT_EQ(page, &list.Page(0));
  EXPECT_EQ(x, 282);
  EXPECT_EQ(y, 94);
  EXPECT_EQ(page->Pixel(x + 50, y + 50), RGB(13, 0, 0));

  page = list.GetCell(100, x, y);
  ASSERT_EQ(page, &list.Page(1));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);

  EXPECT_EQ(list.GetCell(1000, x, y), nullptr);
  EXPECT_EQ(list.GetCell(-1, x, y), nullptr);
}

TEST(ImgListTest, SmallPictureIsCentredOnTheBackground) {
  Store94 list;
  list.SetColor(clLime);
  const Bitmap picture = test::PatternBitmap(60, 40);
  list.Add(Solid(94, 94, clRed));
  const int index = list.Add(picture);
  Bitmap cell;
  ASSERT_TRUE(list.CopyCell(index, cell));
  ASSERT_EQ(cell.Width(), 94);
  ASSERT_EQ(cell.Height(), 94);
  EXPECT_EQ(cell.Pixel(17, 27), picture.Pixel(0, 0));
  EXPECT_EQ(cell.Pixel(17 + 59, 27 + 39), picture.Pixel(59, 39));
  EXPECT_EQ(cell.Pixel(16, 27), clLime);
  EXPECT_EQ(cell.Pixel(17, 26), clLime);
  EXPECT_EQ(cell.Pixel(17 + 60, 27), clLime);
  EXPECT_EQ(cell.Pixel(17, 27 + 40), clLime);
  // The neighbouring cell is untouched.
  ASSERT_TRUE(list.CopyCell(0, cell));
  EXPECT_EQ(cell.Pixel(93, 93), clRed);
}

TEST(ImgListTest, OversizedPictureKeepsItsTopLeftPart) {
  Store94 list;
  const Bitmap picture = test::PatternBitmap(188, 94);  // fits as 94 x 47
  list.Add(picture);
  Bitmap cell;
  ASSERT_TRUE(list.CopyCell(0, cell));
  EXPECT_EQ(cell.Pixel(0, 23), picture.Pixel(0, 0));
  EXPECT_EQ(cell.Pixel(93, 23 + 46), picture.Pixel(93, 46));
  EXPECT_EQ(cell.Pixel(0, 22), clWhite);
  EXPECT_EQ(cell.Pixel(0, 23 + 47), clWhite);
}

TEST(ImgListTest, CopyCellOutsideTheStoreGivesBackground) {
  Store94 list;
  list.SetColor(clBlue);
  Bitmap cell;
  EXPECT_FALSE(list.CopyCell(5, cell));
  EXPECT_EQ(cell.Width(), 94);
  EXPECT_EQ(cell.Pixel(40, 40), clBlue);
}

TEST(ImgListTest, SettersDiscardPicturesOnlyOnRealChange) {
  Store94 list;
  list.Add(Solid(10, 10, clRed));
  list.Add(Solid(10, 10, clRed));
  list.SetCellWidth(94);
  list.SetCellHeight(94);
  list.SetPageWidth(1024);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.PageCount(), 1);

  list.SetCellWidth(95);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(list.PageCount(), 0);
  EXPECT_EQ(list.Columns(), 10);

  list.Add(Solid(10, 10, clRed));
  list.SetPageWidth(500);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Columns(), 5);
}

TEST(ImgListTest, CapacityShrinksToWholeRowsAndClearFreesPages) {
  Store94 list;
  for (int i = 0; i < 200; ++i) list.Add(Solid(10, 10, clRed));
  EXPECT_EQ(list.PageCount(), 2);
  list.SetCapacity(145);
  EXPECT_EQ(list.Count(), 145);
  EXPECT_EQ(list.Capacity(), 150);
  ASSERT_EQ(list.PageCount(), 2);
  EXPECT_EQ(list.Page(1).Height(), 5 * 94);
  list.SetCapacity(30);
  EXPECT_EQ(list.PageCount(), 1);
  EXPECT_EQ(list.Page(0).Height(), 3 * 94);
  EXPECT_EQ(list.Count(), 30);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(list.PageCount(), 0);
}

// Capacity set ahead onto a later page while the last page is short: that page grows to
// full height first, so the pictures added after it land inside it.
TEST(ImgListTest, CapacityOnALaterPageKeepsEveryPageButTheLastFullHeight) {
  Store94 list;
  list.Add(Solid(94, 94, clRed));
  ASSERT_EQ(list.Page(0).Height(), 94);
  list.SetCapacity(150);
  ASSERT_EQ(list.PageCount(), 2);
  EXPECT_EQ(list.Page(0).Height(), 940);
  EXPECT_EQ(list.Page(1).Height(), 5 * 94);
  for (int i = 1; i < 150; ++i) ASSERT_EQ(list.Add(Solid(94, 94, i < 100 ? clLime : clBlue)), i);
  EXPECT_EQ(list.Page(0).Pixel(0, 0), clRed);
  int x = 0, y = 0;
  const Bitmap* page = list.GetCell(99, x, y);
  ASSERT_EQ(page, &list.Page(0));
  EXPECT_EQ(page->Pixel(x + 93, y + 93), clLime);
  Bitmap cell;
  ASSERT_TRUE(list.CopyCell(149, cell));
  EXPECT_EQ(cell.Pixel(50, 50), clBlue);
}

TEST(ImgListTest, CellLargerThanThePageStoresNothingSafely) {
  PictureStore list;
  list.SetCellWidth(94);
  list.SetCellHeight(2000);  // no row fits in a 1024-high page
  EXPECT_EQ(list.Add(Solid(10, 10, clRed)), 0);
  int x, y;
  EXPECT_EQ(list.GetCell(0, x, y), nullptr);
  Bitmap cell;
  EXPECT_FALSE(list.CopyCell(0, cell));
}

}  // namespace
}  // namespace quorvane
