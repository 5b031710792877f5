#include "imaging/Bitmap.h"

#include <gtest/gtest.h>

#include "platform/FileNames.h"
#include "shell/Settings.h"

using namespace quorvane;

TEST(Bitmap, RowsArePaddedToFourBytesAndStartBlack) {
  Bitmap b(5, 3);
  EXPECT_EQ(b.Stride(), 16u);  // 15 bytes of pixels + 1 of padding
  EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), 16);
  EXPECT_EQ(b.Pixel(4, 2), clBlack);
  b.SetPixel(4, 2, clRed);
  EXPECT_EQ(b.ScanLine(2)[12], 0);    // blue
  EXPECT_EQ(b.ScanLine(2)[14], 255);  // red comes last in memory
  EXPECT_EQ(b.Pixel(4, 2), clRed);
}

TEST(Bitmap, CopyMoveResizeAndFill) {
  Bitmap a(3, 2);
  a.Fill(RGB(1, 2, 3));
  Bitmap b = a;
  EXPECT_TRUE(b.SamePixels(a));
  b.SetPixel(0, 0, clWhite);
  EXPECT_FALSE(b.SamePixels(a));
  Bitmap c = std::move(b);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(c.Pixel(0, 0), clWhite);
  c.Resize(4, 3, clRed);
  EXPECT_EQ(c.Pixel(0, 0), clWhite);
  EXPECT_EQ(c.Pixel(2, 1), RGB(1, 2, 3));
  EXPECT_EQ(c.Pixel(3, 2), clRed);
  EXPECT_EQ(c.Pixel(3, 0), clRed);
}

TEST(Bitmap, RefusesHugeAndNegativeSizesAndStaysUnchanged) {
  Bitmap b(2, 2);
  b.Fill(clRed);
  EXPECT_THROW(b.SetSize(70000, 1), BitmapError);
  EXPECT_THROW(b.SetSize(-1, 5), BitmapError);
  EXPECT_THROW(b.SetSize(65535, 65535), BitmapError);  // over 2^28 pixels
  EXPECT_EQ(b.Width(), 2);
  EXPECT_EQ(b.Pixel(1, 1), clRed);
  EXPECT_TRUE(Bitmap::SizeAllowed(16384, 16384));
  b.SetSize(0, 7);
  EXPECT_TRUE(b.Empty());
}

TEST(Settings, DefaultsAndCodecExtensionTable) {
  Settings s;
  EXPECT_EQ(s.JpegQuality, 80);
  EXPECT_EQ(s.DitherIndex, 1);
  EXPECT_TRUE(s.OverwriteFiles);
  EXPECT_EQ(CodecExtensionCount, 19);
  EXPECT_EQ(CodecOnlyExtensionCount, 14);
  EXPECT_EQ(CodecExtensions[13], ".rgba");
  EXPECT_EQ(CodecExtensions[14], ".jpe");
  EXPECT_EQ(CodecExtensionIndex(".tiff"), 9);
  EXPECT_EQ(CodecExtensionIndex(".TIFF"), -1);  // callers lower-case first
  EXPECT_EQ(CodecExtensionIndex(".gif"), 18);
}

TEST(FileNames, ExtensionsNamesAndFolders) {
  EXPECT_EQ(ExtractFileExt("/a/b/x.jpg.JPG"), ".JPG");
  EXPECT_EQ(ExtractFileExt("/a.b/noext"), "");
  EXPECT_EQ(ExtractFileExt("/a/.hidden"), ".hidden");
  EXPECT_EQ(LowerFileExt("/사진/가을 풍경.PnG"), ".png");
  EXPECT_EQ(ExtractFileName("/사진/가을 풍경.png"), "가을 풍경.png");
  EXPECT_EQ(ExtractFileDir("/x.png"), "/");
  EXPECT_EQ(ExtractFileDir("/a/b/x.png"), "/a/b");
  EXPECT_EQ(JoinPath("/", "x"), "/x");
  EXPECT_EQ(JoinPath("/a", "x"), "/a/x");
}
