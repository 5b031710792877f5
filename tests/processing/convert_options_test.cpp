#include <gtest/gtest.h>

#include "processing/ConvertOptions.h"
#include "platform/FileNames.h"

namespace quorvane {
namespace {

ConvertOptions Parse(std::vector<std::string> args) { return ParseConvertOptions(args); }

void ExpectUsageError(std::vector<std::string> args, const std::string& fragment) {
  SCOPED_TRACE(::testing::PrintToString(args));
  try {
    ParseConvertOptions(args);
    ADD_FAILURE() << "accepted";
  } catch (const UsageError& e) {
    EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
  }
}

TEST(ConvertOptions, DefaultsMatchTheSettings) {
  const ConvertOptions o = Parse({"a.png"});
  EXPECT_EQ(o.Params.FileList, std::vector<std::string>{"a.png"});
  EXPECT_EQ(o.Params.TargetExt, ".jpg");
  EXPECT_EQ(o.Params.JpegQuality, 80);
  EXPECT_EQ(o.Params.DitherIndex, 1);
  EXPECT_EQ(o.Params.Existing, OnExists::Overwrite);
  EXPECT_TRUE(o.Params.ChangeExt);
  EXPECT_EQ(o.Params.OpCode, opConvertOnly);
  EXPECT_EQ(o.Jobs, 1);
  EXPECT_FALSE(o.Quiet);
  EXPECT_FALSE(o.Help);
  EXPECT_EQ(o.Params.OutputFolder, "");
}

TEST(ConvertOptions, SettingsAndSpellings) {
  const ConvertOptions o =
      Parse({"-f", "PNG", "--output=/tmp/x", "--keep-name", "-q100", "--dither", "burkes",
             "--no-overwrite", "-j", "4", "--quiet", "b c.gif", "--", "-dash.png"});
  EXPECT_EQ(o.Params.TargetExt, ".png");
  EXPECT_EQ(o.Params.OutputFolder, "/tmp/x");
  EXPECT_FALSE(o.Params.ChangeExt);
  EXPECT_EQ(o.Params.JpegQuality, 100);
  EXPECT_EQ(o.Params.DitherIndex, 4);
  EXPECT_EQ(o.Params.Existing, OnExists::Error);
  EXPECT_EQ(o.Jobs, 4);
  EXPECT_TRUE(o.Quiet);
  EXPECT_EQ(o.Params.FileList, (std::vector<std::string>{"b c.gif", "-dash.png"}));
  const char* dithers[] = {"nearest", "floyd-steinberg", "stucki", "sierra", "burkes"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Parse({"--dither", dithers[i], "a"}).Params.DitherIndex, i);
  for (const char* f : {"jpg", "png", "tif", "bmp", "pnm", "gif", "tga", "sgi"})
    EXPECT_EQ(Parse({"--format", f, "a"}).Params.TargetExt, std::string(".") + f);
  EXPECT_TRUE(Parse({"--help"}).Help);
}

TEST(ConvertOptions, Operations) {
  ConvertOptions o = Parse({"--resize", "50%", "a"});
  EXPECT_EQ(o.Params.OpCode, opResize);
  EXPECT_FALSE(o.Params.FixedSize);
  EXPECT_EQ(o.Params.Percent, 50);

  o = Parse({"--resize", "640x480", "--keep-aspect", "--border-color", "#FF8000", "a"});
  EXPECT_TRUE(o.Params.FixedSize);
  EXPECT_EQ(o.Params.TargetWidth, 640);
  EXPECT_EQ(o.Params.TargetHeight, 480);
  EXPECT_TRUE(o.Params.KeepAspect);
  EXPECT_EQ(o.Params.BorderColor, RGB(0xFF, 0x80, 0x00));
  EXPECT_EQ(o.Params.BorderColor, 0x0080FFu);  // red in the low byte

  o = Parse({"--resize", "4096X1", "a"});
  EXPECT_FALSE(o.Params.KeepAspect);
  EXPECT_EQ(o.Params.BorderColor, clWhite);

  EXPECT_EQ(Parse({"--turn-left", "a"}).Params.OpCode, opTurnLeft);
  EXPECT_EQ(Parse({"--turn-right", "a"}).Params.OpCode, opTurnRight);
  EXPECT_EQ(Parse({"--flip-h", "a"}).Params.OpCode, opFlipH);
  EXPECT_EQ(Parse({"--flip-v", "a"}).Params.OpCode, opFlipV);

  o = Parse({"--rotate", "-12.5", "a"});
  EXPECT_EQ(o.Params.OpCode, opRotate);
  EXPECT_EQ(o.Params.RotateAngle, -1250.0L / 100);
  EXPECT_EQ(Parse({"--rotate=180", "a"}).Params.RotateAngle, 180.0L);
  EXPECT_EQ(Parse({"--rotate", "0.01", "a"}).Params.RotateAngle, 1.0L / 100);

  o = Parse({"--color", "-255,255,0", "a"});
  EXPECT_EQ(o.Params.OpCode, opColor);
  EXPECT_EQ(o.Params.Contrast, -255);
  EXPECT_EQ(o.Params.Brightness, 255);
  EXPECT_EQ(o.Params.Saturation, 255);  // the track bar's 0 leaves colours alone
  o = Parse({"--color", "1023,-1023,1024", "a"});
  EXPECT_EQ(o.Params.Saturation, 1279);
  EXPECT_EQ(Parse({"--color", "0,0,-255", "a"}).Params.Saturation, 0);

  o = Parse({"--gamma", "0.5", "a"});
  EXPECT_EQ(o.Params.OpCode, opGamma);
  EXPECT_EQ(o.Params.Gamma, 50);
  EXPECT_EQ(Parse({"--gamma", "1.99", "a"}).Params.Gamma, 199);
  EXPECT_EQ(Parse({"--gamma", ".01", "a"}).Params.Gamma, 1);
}

TEST(ConvertOptions, BadValuesAreUsageErrors) {
  ExpectUsageError({"-q", "0", "a"}, "out of range");
  ExpectUsageError({"-q", "101", "a"}, "out of range");
  ExpectUsageError({"-q", "8o", "a"}, "invalid value");
  ExpectUsageError({"-q", "99999999999999", "a"}, "invalid value");
  ExpectUsageError({"--resize", "0%", "a"}, "out of range");
  ExpectUsageError({"--resize", "401%", "a"}, "out of range");
  ExpectUsageError({"--resize", "0x10", "a"}, "out of range");
  ExpectUsageError({"--resize", "10x4097", "a"}, "out of range");
  ExpectUsageError({"--resize", "10x", "a"}, "invalid value");
  ExpectUsageError({"--resize", "-5x5", "a"}, "invalid value");
  ExpectUsageError({"--rotate", "180.01", "a"}, "out of range");
  ExpectUsageError({"--rotate", "1.234", "a"}, "two decimals");
  ExpectUsageError({"--rotate", "abc", "a"}, "invalid value");
  ExpectUsageError({"--rotate", ".", "a"}, "invalid value");
  ExpectUsageError({"--gamma", "0", "a"}, "out of range");
  ExpectUsageError({"--gamma", "2", "a"}, "out of range");
  ExpectUsageError({"--color", "1,2", "a"}, "C,L,S");
  ExpectUsageError({"--color", "1024,0,0", "a"}, "out of range");
  ExpectUsageError({"--color", "0,256,0", "a"}, "out of range");
  ExpectUsageError({"--color", "0,0,1025", "a"}, "out of range");
  ExpectUsageError({"--border-color", "red", "--keep-aspect", "--resize", "2x2", "a"}, "#RRGGBB");
  ExpectUsageError({"-f", "heic", "a"}, "unknown format");
  ExpectUsageError({"--dither", "random", "a"}, "unknown dithering");
  ExpectUsageError({"--fit", "0x10", "a"}, "out of range");
  ExpectUsageError({"--long-side", "65536", "a"}, "out of range");
  ExpectUsageError({"--shrink-only", "--resize", "5x5", "a"}, "--shrink-only needs");
  ExpectUsageError({"--name", "{nam}", "a"}, "unknown field");
  ExpectUsageError({"--max-size", "3Q", "a"}, "invalid value");
  ExpectUsageError({"--max-size", "3K", "-f", "png", "a"}, "lossy format");
  ExpectUsageError({"--max-size", "3K", "-f", "webp", "--lossless", "a"}, "lossy format");
  ExpectUsageError({"-0", "a"}, "needs --files-from");
  ExpectUsageError({"--keep-aspect", "a"}, "--keep-aspect needs");
  ExpectUsageError({"--resize", "50%", "--keep-aspect", "a"}, "--keep-aspect needs");
  ExpectUsageError({"--resize", "5x5", "--border-color", "#000000", "a"}, "needs --keep-aspect");
  ExpectUsageError({"-j", "0", "a"}, "out of range");
  ExpectUsageError({"--frobnicate", "a"}, "unknown option");
  ExpectUsageError({"--quiet=yes", "a"}, "takes no value");
  ExpectUsageError({"a", "-q"}, "needs a value");
  ExpectUsageError({"-o", "", "a"}, "needs a folder");
  ExpectUsageError({"-q", "50"}, "no file");
  ExpectUsageError({"-"}, "standard input");
  ExpectUsageError({""}, "empty file name");
}

TEST(ConvertOptions, PathsAndDefaultOutputFolder) {
  ConvertOptions o = Parse({"./사진 1.png", "/abs/b.png", "sub/c.png"});
  ResolvePaths(o, "/home/user/그림");
  EXPECT_EQ(o.Params.FileList, (std::vector<std::string>{"/home/user/그림/사진 1.png", "/abs/b.png",
                                                         "/home/user/그림/sub/c.png"}));
  EXPECT_EQ(o.Params.OutputFolder, "/home/user/그림/quorvane-conv");

  o = Parse({"-o", "out dir//", "/a/b.png"});
  ResolvePaths(o, "/x");
  EXPECT_EQ(o.Params.OutputFolder, "out dir");
  o = Parse({"-o", "/", "/b.png"});
  ResolvePaths(o, "/x");
  EXPECT_EQ(o.Params.OutputFolder, "/");
  o = Parse({"/b.png"});
  ResolvePaths(o, "/x");
  EXPECT_EQ(o.Params.OutputFolder, "/quorvane-conv");
}

TEST(ConvertOptions, HelpNamesEveryOption) {
  const std::string help = ConvertUsageText();
  for (const char* option :
       {"--format", "--output", "--keep-name", "--quality", "--dither", "--no-overwrite",
        "--resize", "--keep-aspect", "--border-color", "--turn-left", "--turn-right", "--flip-h",
        "--flip-v", "--rotate", "--color", "--gamma", "--jobs", "--quiet"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

TEST(ConvertOptions, EncodedFormatsAndLossless) {
  for (const char* format : {"webp", "avif", "jxl", "WebP"}) {
    const ConvertOptions o = ParseConvertOptions({"-f", format, "a.png"});
    EXPECT_EQ(o.Params.TargetExt, "." + LowerAscii(format));
    EXPECT_FALSE(o.Params.Lossless);
  }
  EXPECT_TRUE(ParseConvertOptions({"--lossless", "-f", "jxl", "a.png"}).Params.Lossless);
  EXPECT_THROW(ParseConvertOptions({"--lossless=yes", "a.png"}), UsageError);
  const std::string help = ConvertUsageText();
  EXPECT_NE(help.find("--lossless"), std::string::npos);
  EXPECT_NE(help.find("AVIF is always lossy"), std::string::npos);
  EXPECT_NE(help.find("cwebp -m 4"), std::string::npos);
  EXPECT_NE(help.find("avifenc --speed 6"), std::string::npos);
  EXPECT_NE(help.find("cjxl -e 7"), std::string::npos);
}

}  // namespace
}  // namespace quorvane
