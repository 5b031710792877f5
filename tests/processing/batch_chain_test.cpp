// Operation chains, fitting inside a box, name patterns, presets and name lists of the
// batch engine's core.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <sstream>

#include "processing/BatchSources.h"
#include "processing/ConvertOps.h"
#include "processing/ConvertOptions.h"
#include "processing/ConvertPreset.h"
#include "processing/FitResize.h"
#include "processing/NameTemplate.h"
#include "support/TestDir.h"

namespace quorvane {
namespace {

using test::PatternBitmap;
using test::TestDir;

ConvertParams Step(int code) {
  ConvertParams step;
  step.OpCode = code;
  return step;
}

ConvertParams FitStep(int w, int h, bool shrinkOnly = false) {
  ConvertParams step = Step(opFit);
  step.FitWidth = w;
  step.FitHeight = h;
  step.ShrinkOnly = shrinkOnly;
  return step;
}

TEST(FitInside, SizesKeepTheProportionsWithinTheBox) {
  EXPECT_EQ(FitInside(4000, 3000, 2048, 2048, false), (PictureSize{2048, 1536}));
  EXPECT_EQ(FitInside(3000, 4000, 2048, 2048, false), (PictureSize{1536, 2048}));
  // One pixel wide or high: the short side never becomes 0.
  EXPECT_EQ(FitInside(1, 5000, 100, 100, false), (PictureSize{1, 100}));
  EXPECT_EQ(FitInside(5000, 1, 100, 100, false), (PictureSize{100, 1}));
  EXPECT_EQ(FitInside(1, 1, 100, 50, false), (PictureSize{50, 50}));
  // Exact fits, rounding to the nearest pixel, and the box's tighter side deciding.
  EXPECT_EQ(FitInside(200, 100, 100, 50, false), (PictureSize{100, 50}));
  EXPECT_EQ(FitInside(300, 200, 100, 100, false), (PictureSize{100, 67}));
  EXPECT_EQ(FitInside(300, 200, 1000, 100, false), (PictureSize{150, 100}));
  // Enlarging up to the largest side, unless only shrinking.
  EXPECT_EQ(FitInside(10, 5, 65535, 65535, false), (PictureSize{65535, 32768}));
  EXPECT_EQ(FitInside(10, 5, 65535, 65535, true), (PictureSize{10, 5}));
  EXPECT_EQ(FitInside(100, 50, 100, 50, true), (PictureSize{100, 50}));
  EXPECT_EQ(FitInside(101, 50, 100, 50, true), (PictureSize{100, 50}));
  EXPECT_EQ(FitInside(0, 5, 10, 10, false), (PictureSize{}));
}

TEST(FitInside, TheOperationResamplesOrLeavesAPictureThatFits) {
  Bitmap small = PatternBitmap(30, 20);
  ASSERT_TRUE(RunOperation(small, FitStep(64, 64, true), nullptr));
  EXPECT_TRUE(small.SamePixels(PatternBitmap(30, 20)));
  ASSERT_TRUE(RunOperation(small, FitStep(60, 60), nullptr));
  EXPECT_EQ(small.Width(), 60);
  EXPECT_EQ(small.Height(), 40);
  // A flat colour stays flat through the area step and the filter (no ringing at the
  // edges, weights that add up to one).
  Bitmap flat(997, 13);
  flat.Fill(RGB(200, 30, 7));
  ASSERT_TRUE(RunOperation(flat, FitStep(50, 50), nullptr));
  ASSERT_EQ(flat.Width(), 50);
  ASSERT_EQ(flat.Height(), 1);
  for (int x = 0; x < 50; ++x) EXPECT_EQ(flat.Pixel(x, 0), RGB(200, 30, 7));
  // A size beyond the picture limits fails and leaves the picture alone.
  Bitmap tall = PatternBitmap(1, 8);
  EXPECT_FALSE(RunOperation(tall, FitStep(65535, 65535), nullptr));
  EXPECT_TRUE(tall.SamePixels(PatternBitmap(1, 8)));
}

TEST(FitInside, JpegDecodeScaleKeepsTwiceTheTarget) {
  EXPECT_EQ(FitDecodeScale(4000, 3000, FitStep(2048, 2048)), 1);
  EXPECT_EQ(FitDecodeScale(4000, 3000, FitStep(1000, 1000)), 2);
  EXPECT_EQ(FitDecodeScale(4000, 3000, FitStep(500, 500)), 4);
  EXPECT_EQ(FitDecodeScale(4000, 3000, FitStep(100, 100)), 8);
  // A box that is loose for the picture as stored may be tight once it is turned
  // upright: 500 x 375 as stored, 500 x 667 turned.
  EXPECT_EQ(FitDecodeScale(4000, 3000, FitStep(500, 2000)), 2);
  EXPECT_EQ(FitDecodeScale(4000, 3000, FitStep(100, 100, true)), 8);
  EXPECT_EQ(FitDecodeScale(4000, 3000, Step(opResize)), 1);
}

TEST(Chain, RunsTheOperationsInTheOrderGiven) {
  ConvertParams stretch = Step(opResize);
  stretch.FixedSize = true;
  stretch.TargetWidth = 20;
  stretch.TargetHeight = 10;
  ConvertParams params;
  params.Chain = {stretch, Step(opTurnLeft)};
  Bitmap a = PatternBitmap(60, 30);
  ASSERT_TRUE(RunOperation(a, params, nullptr));
  EXPECT_EQ(a.Width(), 10);
  EXPECT_EQ(a.Height(), 20);
  params.Chain = {Step(opTurnLeft), stretch};
  Bitmap b = PatternBitmap(60, 30);
  ASSERT_TRUE(RunOperation(b, params, nullptr));
  EXPECT_EQ(b.Width(), 20);
  EXPECT_EQ(b.Height(), 10);
  // Pixel for pixel the same as the single steps one after another.
  params.Chain = {Step(opFlipH), Step(opTurnRight)};
  Bitmap chained = PatternBitmap(7, 5);
  ASSERT_TRUE(RunOperation(chained, params, nullptr));
  Bitmap single = PatternBitmap(7, 5);
  ASSERT_TRUE(RunOperation(single, Step(opFlipH), nullptr));
  ASSERT_TRUE(RunOperation(single, Step(opTurnRight), nullptr));
  EXPECT_TRUE(chained.SamePixels(single));
  // A failing step ends the chain with a failure.
  ConvertParams zero = Step(opResize);
  zero.FixedSize = false;
  zero.Percent = 0;
  params.Chain = {Step(opFlipH), zero, Step(opTurnLeft)};
  EXPECT_FALSE(RunOperation(chained, params, nullptr));
}

TEST(Chain, TheCommandLineKeepsEachOperationWithItsOwnValues) {
  const ConvertOptions o =
      ParseConvertOptions({"--long-side", "2048", "--color", "10,0,0", "--shrink-only", "--gamma",
                           "1.2", "--resize", "50%", "a"});
  ASSERT_EQ(o.Params.Chain.size(), 4u);
  EXPECT_EQ(o.Params.Chain[0].OpCode, opFit);
  EXPECT_EQ(o.Params.Chain[0].FitWidth, 2048);
  EXPECT_TRUE(o.Params.Chain[0].ShrinkOnly);
  EXPECT_EQ(o.Params.Chain[1].OpCode, opColor);
  EXPECT_EQ(o.Params.Chain[1].Contrast, 10);
  EXPECT_EQ(o.Params.Chain[2].OpCode, opGamma);
  EXPECT_EQ(o.Params.Chain[2].Gamma, 120);
  EXPECT_EQ(o.Params.Chain[3].Percent, 50);
  // One operation is the batch's own, as it always was.
  const ConvertOptions one = ParseConvertOptions({"--fit", "300x200", "a"});
  EXPECT_TRUE(one.Params.Chain.empty());
  EXPECT_EQ(one.Params.OpCode, opFit);
  EXPECT_EQ(one.Params.FitHeight, 200);
  // --resize keeps its limits inside a chain.
  EXPECT_THROW(ParseConvertOptions({"--long-side", "100", "--resize", "5000x10", "a"}), UsageError);
}

TEST(NameTemplate, EveryField) {
  std::tm date{};
  date.tm_year = 124;
  date.tm_mon = 4;
  date.tm_mday = 6;
  date.tm_hour = 7;
  date.tm_min = 8;
  date.tm_sec = 9;
  const NameFields f{"/p/여행 2024/IMG.0001.JPG", 7, 2048, 1536, date};
  EXPECT_EQ(ExpandNameTemplate("{name}", f), "IMG.0001");
  EXPECT_EQ(ExpandNameTemplate("{ext}-{parent}", f), "JPG-여행 2024");
  EXPECT_EQ(ExpandNameTemplate("{n}_{n:04}", f), "7_0007");
  EXPECT_EQ(ExpandNameTemplate("{date}", f), "2024-05-06");
  EXPECT_EQ(ExpandNameTemplate("{date:%Y%m%d_%H%M%S}", f), "20240506_070809");
  EXPECT_EQ(ExpandNameTemplate("{date:%D}", f), "05-06-24");  // no "/" in a name
  EXPECT_EQ(ExpandNameTemplate("{w}x{h} {{n}}", f), "2048x1536 {n}");
  EXPECT_TRUE(TemplateUses("a{w}", "w"));
  EXPECT_FALSE(TemplateUses("a{{w}}", "w"));
  for (const char* bad : {"", "{nam}", "{n", "n}", "a/{n}", "{n:3}", "{n:0}", "{w:2}", "{date:}"})
    EXPECT_THROW(CheckNameTemplate(bad), NameTemplateError) << bad;
}

TEST(NameTemplate, DateFromTheFileTimeWithoutExif) {
  TestDir dir;
  const std::string path = dir.write("plain.png", "not even a picture");
  std::tm when{};
  when.tm_year = 101;
  when.tm_mon = 8;
  when.tm_mday = 11;
  when.tm_hour = 12;
  when.tm_isdst = -1;
  const utimbuf times{std::mktime(&when), std::mktime(&when)};
  ASSERT_EQ(utime(path.c_str(), &times), 0);
  const std::tm date = PictureDate(path);
  EXPECT_EQ(date.tm_year, 101);
  EXPECT_EQ(date.tm_mon, 8);
  EXPECT_EQ(date.tm_mday, 11);
  EXPECT_EQ(date.tm_hour, 12);
}

class PresetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    saved = old ? old : "";
    hadOld = old != nullptr;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  }
  void TearDown() override {
    if (hadOld)
      setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
  }
  TestDir dir;
  std::string saved;
  bool hadOld = false;
};

TEST_F(PresetTest, RoundTripWithTheCommandLineWinning) {
  const ConvertOptions given = ParseConvertOptions(
      {"--save-preset", "web",  "-f",      "webp",       "-q",     "80",
       "--long-side",   "2048", "--color", "10,0,0",     "--name", "{name}_{n:03}",
       "--on-exists",   "skip", "--strip", "--max-size", "300K",   "-o",
       "/not/kept",     "a.jpg"});
  WritePresetFile(PresetPath("web"), given.Preset);
  EXPECT_EQ(PresetPath("web"), dir.path() + "/quorvane/presets/web.conf");
  EXPECT_EQ(ListPresets(), std::vector<std::string>{"web"});

  const ConvertOptions loaded = ParseConvertOptions({"--preset", "web", "b.jpg"});
  const ConvertParams& p = loaded.Params;
  EXPECT_EQ(p.TargetExt, ".webp");
  EXPECT_EQ(p.JpegQuality, 80);
  EXPECT_EQ(p.NameTemplate, "{name}_{n:03}");
  EXPECT_EQ(p.Existing, OnExists::Skip);
  EXPECT_FALSE(p.KeepMetadata);
  EXPECT_EQ(p.MaxBytes, 300u * 1024);
  EXPECT_EQ(p.OutputFolder, "");
  ASSERT_EQ(p.Chain.size(), 2u);
  EXPECT_EQ(p.Chain[0].FitWidth, 2048);
  EXPECT_EQ(p.Chain[1].Contrast, 10);
  // Options given win; operations given replace the preset's.
  const ConvertOptions mixed =
      ParseConvertOptions({"-q", "60", "--preset", "web", "--turn-left", "b.jpg"});
  EXPECT_EQ(mixed.Params.JpegQuality, 60);
  EXPECT_EQ(mixed.Params.TargetExt, ".webp");
  EXPECT_TRUE(mixed.Params.Chain.empty());
  EXPECT_EQ(mixed.Params.OpCode, opTurnLeft);
  // Saved again, a loaded preset keeps what it had, with what was given on top.
  std::vector<std::pair<std::string, std::string>> expected = loaded.Preset.settings;
  expected[1].second = "60";
  EXPECT_EQ(mixed.Preset.settings, expected);
  EXPECT_EQ(mixed.Preset.operations, std::vector<std::string>{"turn-left"});
}

TEST_F(PresetTest, DamagedOrUnknownPresetsAreUsageErrors) {
  const std::string folder = dir.path() + "/quorvane/presets/";
  ASSERT_EQ(test::RunCommand("mkdir -p " + test::ShellQuote(folder)), 0);
  const std::pair<const char*, const char*> damaged[] = {
      {"garbage", "garbage\n"},
      {"section", "[convert\nformat=png\n"},
      {"key", "[convert]\ncolour=blue\n"},
      {"value", "[convert]\nquality=900\n"},
      {"switch", "[convert]\nstrip=maybe\n"},
      {"order", "[operations]\n2=turn-left\n"},
      {"operation", "[operations]\n1=explode 3\n"},
      {"empty", ""},
  };
  for (const auto& [name, text] : damaged) {
    SCOPED_TRACE(name);
    ASSERT_EQ(test::RunCommand("printf %s " + test::ShellQuote(text) + " > " +
                               test::ShellQuote(folder + name + ".conf")),
              0);
    try {
      ParseConvertOptions({"--preset", name, "a.jpg"});
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(ParseConvertOptions({"--preset", "missing", "a.jpg"}), UsageError);
  EXPECT_THROW(ParseConvertOptions({"--preset", "../escape", "a.jpg"}), UsageError);
  EXPECT_THROW(ParseConvertOptions({"--save-preset", ".hidden", "a.jpg"}), UsageError);
}

TEST(NameList, NewlineAndNulSeparators) {
  std::istringstream lines("a.jpg\r\n\nb c.png\nlast.gif");
  EXPECT_EQ(ReadNameList(lines, false), (std::vector<std::string>{"a.jpg", "b c.png", "last.gif"}));
  std::istringstream nul(std::string("x\ny.jpg\0\0z.png\0", 15));
  EXPECT_EQ(ReadNameList(nul, true), (std::vector<std::string>{"x\ny.jpg", "z.png"}));
}

}  // namespace
}  // namespace quorvane
