#include "processing/ConvertOps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "processing/PixelTestHelpers.h"
#include "processing/PixelOps.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

ConvertParams ResizeParams(bool fixed, bool keep, int tw, int th, int percent = 100) {
  ConvertParams p;
  p.OpCode = opResize;
  p.FixedSize = fixed;
  p.KeepAspect = keep;
  p.TargetWidth = tw;
  p.TargetHeight = th;
  p.Percent = percent;
  p.BorderColor = clRed;
  return p;
}

// True when every pixel of the rectangle has the colour.
bool AllOf(const Bitmap& b, int x0, int y0, int w, int h, RgbColor c) {
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x)
      if (b.Pixel(x, y) != c) return false;
  return true;
}

// True when `inner` appears in `outer` at (x0, y0).
bool Contains(const Bitmap& outer, const Bitmap& inner, int x0, int y0) {
  for (int y = 0; y < inner.Height(); ++y)
    for (int x = 0; x < inner.Width(); ++x)
      if (outer.Pixel(x0 + x, y0 + y) != inner.Pixel(x, y)) return false;
  return true;
}

}  // namespace

TEST(ConvertParams, DefaultsAndTargetFormats) {
  const ConvertParams p;
  EXPECT_EQ(p.TargetExt, ".jpg");
  EXPECT_EQ(p.JpegQuality, 80);
  EXPECT_EQ(p.DitherIndex, 1);
  EXPECT_EQ(p.Existing, OnExists::Overwrite);
  EXPECT_TRUE(p.ChangeExt);
  EXPECT_EQ(p.OpCode, opConvertOnly);
  EXPECT_EQ(p.BorderColor, clWhite);
  EXPECT_EQ(TargetFormatIndex(".gif"), 5);
  EXPECT_EQ(TargetFormatIndex(".sgi"), 7);
  EXPECT_EQ(TargetFormatIndex(".jpeg"), 0);
  EXPECT_EQ(TargetFormatIndex(".PNG"), 0);  // lower case only
  EXPECT_EQ(TargetFormatExt(3), ".bmp");
  EXPECT_EQ(TargetFormatExt(11), ".jpg");
  EXPECT_EQ(TargetFormatLabels[4], "PNM");
}

TEST(Resizebitmap2, ByPercentageAndStretched) {
  const Bitmap src = RandomBitmap(200, 100, 1);
  Bitmap b = src;
  ASSERT_TRUE(Resizebitmap2(b, ResizeParams(false, false, 0, 0, 33), nullptr));
  EXPECT_TRUE(b.SamePixels(ReferenceResize(src, 66, 33)));

  b = src;
  ASSERT_TRUE(Resizebitmap2(b, ResizeParams(true, false, 50, 80), nullptr));
  EXPECT_TRUE(b.SamePixels(ReferenceResize(src, 50, 80)));

  // The same proportions in whole per cent: a plain resize, no border.
  b = src;
  ASSERT_TRUE(Resizebitmap2(b, ResizeParams(true, true, 60, 30), nullptr));
  EXPECT_TRUE(b.SamePixels(ReferenceResize(src, 60, 30)));
}

TEST(Resizebitmap2, KeepAspectLetterboxAndPillarbox) {
  // 200 x 100 into 100 x 100: a 100 x 50 picture at y = 25 on the border colour.
  const Bitmap wide = RandomBitmap(200, 100, 2);
  Bitmap b = wide;
  ASSERT_TRUE(Resizebitmap2(b, ResizeParams(true, true, 100, 100), nullptr));
  ASSERT_EQ(b.Width(), 100);
  ASSERT_EQ(b.Height(), 100);
  EXPECT_TRUE(AllOf(b, 0, 0, 100, 25, clRed));
  EXPECT_TRUE(Contains(b, ReferenceResize(wide, 100, 50), 0, 25));
  EXPECT_TRUE(AllOf(b, 0, 75, 100, 25, clRed));

  // 100 x 200 into 101 x 100: 50 wide at x = 25; the odd column goes to the right bar.
  const Bitmap tall = RandomBitmap(100, 200, 3);
  b = tall;
  ASSERT_TRUE(Resizebitmap2(b, ResizeParams(true, true, 101, 100), nullptr));
  ASSERT_EQ(b.Width(), 101);
  EXPECT_TRUE(AllOf(b, 0, 0, 25, 100, clRed));
  EXPECT_TRUE(Contains(b, ReferenceResize(tall, 50, 100), 25, 0));
  EXPECT_TRUE(AllOf(b, 75, 0, 26, 100, clRed));
}

TEST(Resizebitmap2, ZeroOrHugeTargetsFailAndLeaveTheInput) {
  const Bitmap src = RandomBitmap(10, 3, 4);
  const ConvertParams failing[] = {
      ResizeParams(false, false, 0, 0, 20),          // 3 x 20 div 100 = 0 rows
      ResizeParams(false, false, 0, 0, 0),           // 0 %
      ResizeParams(false, false, 0, 0, -50),         // negative
      ResizeParams(false, false, 0, 0, 2000000000),  // 10 x 2e9 would wrap in 32 bits
      ResizeParams(true, false, 0, 40),
      ResizeParams(true, true, 0, 40),  // no division by zero
      ResizeParams(true, true, 40, 0),
      ResizeParams(true, true, 1, 40),  // the inner picture comes out 0 rows high
      ResizeParams(true, false, 70000, 2),
  };
  for (const ConvertParams& p : failing) {
    Bitmap b = src;
    EXPECT_FALSE(Resizebitmap2(b, p, nullptr)) << p.Percent << " " << p.TargetWidth;
    EXPECT_TRUE(b.SamePixels(src));
  }
}

TEST(TurnsAndFlips, ReplaceTheInput) {
  const Bitmap src = RandomBitmap(5, 3, 5);
  const ConvertParams p;
  struct Op {
    bool (*method)(Bitmap&, const ConvertParams&, const StopSource*, bool*);
    bool (*routine)(const Bitmap&, Bitmap&, const StopSource*);
  } ops[] = {{TurnLeftBitmap, TurnBitmapLeft},
             {TurnRightBitmap, TurnBitmapRight},
             {FlipHBitmap, MirrorBitmap},
             {FlipVBitmap, FlipBitmap}};
  for (const Op& op : ops) {
    Bitmap b = src, expected;
    EXPECT_TRUE(op.routine(src, expected, nullptr));
    ASSERT_TRUE(op.method(b, p, nullptr, nullptr));
    EXPECT_TRUE(b.SamePixels(expected));
  }
  Bitmap b = src;
  ASSERT_TRUE(TurnLeftBitmap(b, p, nullptr));
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 5);
}

TEST(Clsbitmap, ContrastThenBrightnessThenSaturationWithPauses) {
  const Bitmap src = RandomBitmap(20, 10, 6);
  ConvertParams p;
  p.Contrast = 300;
  p.Brightness = -80;
  p.Saturation = 600;
  Bitmap expected = src;
  ContrastBitmap(expected, 300);
  BrightnessBitmap(expected, -80);
  SaturationBitmap(expected, 600);
  Bitmap otherOrder = src;
  SaturationBitmap(otherOrder, 600);
  ContrastBitmap(otherOrder, 300);
  BrightnessBitmap(otherOrder, -80);
  ASSERT_FALSE(expected.SamePixels(otherOrder));  // the order shows

  std::vector<int> pauses;
  StopFlag stop;
  stop.Terminate();  // colour adjustment does not look at the stop source
  Bitmap b = src;
  bool interrupted = true;
  ASSERT_TRUE(clsbitmap(
      b, p, &stop, [&](int ms) { pauses.push_back(ms); }, &interrupted));
  EXPECT_FALSE(interrupted);  // it ran to its end
  EXPECT_TRUE(b.SamePixels(expected));
  EXPECT_EQ(pauses, (std::vector<int>{50, 50, 50}));
  b = src;
  ASSERT_TRUE(clsbitmap(b, p, nullptr));  // no pause callback
  EXPECT_TRUE(b.SamePixels(expected));
}

TEST(RotateBitmap, KeepsTheSizeWithWhiteCorners) {
  const Bitmap src = RandomBitmap(8, 5, 7);
  ConvertParams p;
  p.OpCode = opRotate;
  Bitmap b = src;
  ASSERT_TRUE(RotateBitmap(b, p, nullptr));  // 0 degrees: exact
  EXPECT_TRUE(b.SamePixels(src));

  p.RotateAngle = 90;  // non-square: white bars where the turned picture does not reach
  b = src;
  ASSERT_TRUE(RotateBitmap(b, p, nullptr));
  ASSERT_EQ(b.Width(), 8);
  ASSERT_EQ(b.Height(), 5);
  Bitmap expected(8, 5);
  expected.Fill(clWhite);
  ReferenceRotate(src, expected, 4, 2, 90);
  EXPECT_TRUE(b.SamePixels(expected));
  EXPECT_EQ(b.Pixel(0, 0), clWhite);
  EXPECT_EQ(b.Pixel(7, 4), clWhite);

  p.RotateAngle = std::nanl("");
  b = src;
  EXPECT_FALSE(RotateBitmap(b, p, nullptr));
  EXPECT_TRUE(b.SamePixels(src));
}

TEST(GammaCorr, ExponentFromTheSlider) {
  const Bitmap src = RandomBitmap(16, 8, 8);
  ConvertParams p;
  p.OpCode = opGamma;
  p.Gamma = 100;  // exponent 1
  Bitmap b = src;
  ASSERT_TRUE(GammaCorr(b, p, nullptr));
  EXPECT_TRUE(b.SamePixels(src));

  p.Gamma = 50;  // exponent 1.5
  Bitmap expected;
  ApplyGammaTable(src, expected, nullptr, 1.5L);
  ASSERT_TRUE(GammaCorr(b, p, nullptr));
  EXPECT_TRUE(b.SamePixels(expected));
  EXPECT_FALSE(b.SamePixels(src));
}

TEST(RunOperation, DispatchesByCodeAndCodesWithoutAStepSucceed) {
  const Bitmap src = RandomBitmap(6, 4, 9);
  for (int code : {0, 6, 8, 10, 11, 13, -1}) {
    ConvertParams p;
    p.OpCode = code;
    Bitmap b = src;
    EXPECT_FALSE(OperationHasStep(code));
    EXPECT_TRUE(RunOperation(b, p, nullptr)) << code;
    EXPECT_TRUE(b.SamePixels(src));
  }
  for (int code : {1, 2, 3, 4, 5, 7, 9, 12}) EXPECT_TRUE(OperationHasStep(code));

  ConvertParams p;
  p.OpCode = opTurnRight;
  Bitmap b = src, expected;
  TurnBitmapRight(src, expected, nullptr);
  ASSERT_TRUE(RunOperation(b, p, nullptr));
  EXPECT_TRUE(b.SamePixels(expected));

  p = ResizeParams(false, false, 0, 0, 1);  // a side of 0: failure, input kept
  b = src;
  EXPECT_FALSE(RunOperation(b, p, nullptr));
  EXPECT_TRUE(b.SamePixels(src));

  std::vector<int> pauses;
  p = ConvertParams{};
  p.OpCode = opColor;
  EXPECT_TRUE(RunOperation(b, p, nullptr, [&](int ms) { pauses.push_back(ms); }));
  EXPECT_EQ(pauses.size(), 3u);
}

TEST(RunOperation, AStoppedOperationAnswersTrueAndTellsItWasInterrupted) {
  const Bitmap src = RandomBitmap(6, 4, 10);
  StopFlag stop;
  stop.Terminate();

  // A quarter turn stopped after its first source row: one column produced, the rest of
  // the new picture white.
  ConvertParams p;
  p.OpCode = opTurnRight;
  Bitmap b = src;
  bool interrupted = false;
  ASSERT_TRUE(RunOperation(b, p, &stop, {}, &interrupted));
  EXPECT_TRUE(interrupted);  // what the batch asks before writing
  ASSERT_EQ(b.Width(), 4);
  for (int y = 0; y < 6; ++y) {
    EXPECT_EQ(b.Pixel(3, y), src.Pixel(y, 0));
    EXPECT_EQ(b.Pixel(0, y), clWhite);
  }

  // Resize: only the first destination row is produced.
  p = ResizeParams(true, false, 3, 3);
  b = src;
  interrupted = false;
  ASSERT_TRUE(RunOperation(b, p, &stop, {}, &interrupted));
  EXPECT_TRUE(interrupted);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_TRUE(AllOf(b, 0, 1, 3, 2, clWhite));

  // A stop seen only after the last row leaves a finished picture.
  p = ConvertParams{};
  p.OpCode = opFlipH;
  const Bitmap row = RandomBitmap(6, 1, 11);
  b = row;
  interrupted = true;
  ASSERT_TRUE(RunOperation(b, p, &stop, {}, &interrupted));
  EXPECT_FALSE(interrupted);
  EXPECT_EQ(b.Pixel(0, 0), row.Pixel(5, 0));

  // Gamma asked to stop before it starts changes nothing.
  p = ConvertParams{};
  p.OpCode = opGamma;
  p.Gamma = 30;
  b = src;
  interrupted = false;
  ASSERT_TRUE(RunOperation(b, p, &stop, {}, &interrupted));
  EXPECT_TRUE(interrupted);
  EXPECT_TRUE(b.SamePixels(src));
}
