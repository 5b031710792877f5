// Runs the built quorvane-convert and checks what it prints, writes and answers.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <sstream>

#include "cli/CliRunner.h"
#include "processing/ConvertTestHelpers.h"
#include "imaging/ReadImage.h"

namespace quorvane::test {
namespace {

class QuorvaneConvertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CodecReady());
    src = dir.file("사진 모음");
    mkdir(src.c_str(), 0777);
  }

  // Runs the converter in `cwd` (the test folder by default) with `env` prefixed.
  CliResult Run(const std::vector<std::string>& args, const std::string& env = "",
                const std::string& cwd = "") {
    return RunShell(ConverterCommand(ConverterBinary(), args, env, cwd.empty() ? dir.path() : cwd),
                    dir.file("stderr.txt"));
  }

  std::string Picture(const std::string& name, int width = 12, int height = 8) {
    return WritePicture(src + "/" + name, width, height);
  }

  TestDir dir;
  std::string src;
};

TEST_F(QuorvaneConvertTest, PrintsTheMemoLinesAndAnswersFailure) {
  const std::string a = Picture("a 1.png");
  const std::string bad = dir.write("사진 모음/망가진.bmp", "BM but not really");
  const std::string c = Picture("다.tga");
  const CliResult r = Run({a, bad, c});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"* total 3File(s)", "-" + a + "(1/3)",
                                               "-" + bad + "(2/3)", "파일을 읽어들일 수 없습니다.",
                                               "-" + c + "(3/3)", "Error(s) : 1"}));
  // Not a terminal: no progress bar; the failure's reason.
  EXPECT_EQ(r.err,
            "quorvane-convert: " + bad + ": not a picture the readers know, or a damaged one\n");
  EXPECT_EQ(FolderNames(src + "/quorvane-conv"), (std::set<std::string>{"a 1.jpg", "다.jpg"}));
}

TEST_F(QuorvaneConvertTest, SuccessAnswersZeroAndWritesTheFormat) {
  const std::string a = Picture("a.png");
  const std::string b = Picture("b.bmp");
  const CliResult r = Run({"-f", "tif", "-o", "결과", "사진 모음/a.png", b});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.lines,
            (std::vector<std::string>{"* total 2File(s)", "-" + a + "(1/2)", "-" + b + "(2/2)"}));
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(dir.file("결과/b.tif"), back));
  EXPECT_TRUE(back.SamePixels(PatternBitmap(12, 8)));
  EXPECT_EQ(ReadFileBytes(dir.file("결과/a.tif")).substr(0, 2), "II");
}

TEST_F(QuorvaneConvertTest, QuietPrintsOnlyTheErrorCount) {
  const std::string a = Picture("a.png");
  CliResult r = Run({"--quiet", a});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  r = Run({"--quiet", "--no-overwrite", a});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "Error(s) : 1\n");
}

TEST_F(QuorvaneConvertTest, NoOverwriteAndKeepName) {
  const std::string a = Picture("a.png", 6, 6);
  mkdir(dir.file("out").c_str(), 0777);
  dir.write("out/a.png", "keep me");
  CliResult r = Run({"--keep-name", "--no-overwrite", "-o", "out", a});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"* total 1File(s)", "-" + a + "(1/1)",
                                               "파일을 저장할 수 없습니다.", "Error(s) : 1"}));
  EXPECT_EQ(ReadFileBytes(dir.file("out/a.png")), "keep me");
  r = Run({"--keep-name", "-o", "out", a});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("out/a.png")).substr(0, 4), "\x89PNG");
}

TEST_F(QuorvaneConvertTest, OperationsReachThePictures) {
  const std::string wide = Picture("wide.png", 60, 30);
  struct Case {
    std::vector<std::string> args;
    int width, height;
  };
  const Case cases[] = {{{"--resize", "50%"}, 30, 15}, {{"--resize", "20x20"}, 20, 20},
                        {{"--turn-left"}, 30, 60},     {{"--turn-right"}, 30, 60},
                        {{"--flip-v"}, 60, 30},        {{"--rotate", "12.5"}, 60, 30},
                        {{"--gamma", "0.8"}, 60, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-f", "png", "-o", "ops", wide});
    const CliResult r = Run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Bitmap back;
    ASSERT_TRUE(ReadImageFile(dir.file("ops/wide.png"), back));
    EXPECT_EQ(back.Width(), c.width);
    EXPECT_EQ(back.Height(), c.height);
  }
  // Letterboxed on the border colour: the top row is the border.
  ASSERT_EQ(Run({"--resize", "30x30", "--keep-aspect", "--border-color", "#FF0000", "-f", "png",
                 "-o", "ops", wide})
                .exitCode,
            0);
  Bitmap boxed;
  ASSERT_TRUE(ReadImageFile(dir.file("ops/wide.png"), boxed));
  EXPECT_EQ(boxed.Pixel(15, 0), clRed);
  // Saturation at the bottom of its track bar gives grey.
  ASSERT_EQ(Run({"--color", "0,0,-255", "-f", "png", "-o", "ops", wide}).exitCode, 0);
  Bitmap grey;
  ASSERT_TRUE(ReadImageFile(dir.file("ops/wide.png"), grey));
  const RgbColor p = grey.Pixel(20, 10);
  EXPECT_EQ(GetRValue(p), GetGValue(p));
  EXPECT_EQ(GetGValue(p), GetBValue(p));
  // The neutral colour settings leave the picture alone.
  ASSERT_EQ(Run({"--color", "0,0,0", "-f", "png", "-o", "ops", wide}).exitCode, 0);
  ASSERT_TRUE(ReadImageFile(dir.file("ops/wide.png"), grey));
  EXPECT_TRUE(grey.SamePixels(PatternBitmap(60, 30)));
}

TEST_F(QuorvaneConvertTest, JobsPrintTheSameLinesInFileOrder) {
  std::vector<std::string> files;
  for (int i = 1; i <= 9; ++i) {
    if (i == 4 || i == 7)
      files.push_back(dir.write("사진 모음/bad " + std::to_string(i) + ".png", "nothing"));
    else
      files.push_back(Picture("그림 " + std::to_string(i) + ".png", 40 + i, 30));
  }
  // Two sources with one output name: the later one fails whichever worker is first.
  mkdir((src + "/sub").c_str(), 0777);
  files.push_back(WritePicture(src + "/sub/그림 1.bmp", 5, 5));
  std::vector<std::string> single = {"-o", "one", "--rotate", "7"};
  single.insert(single.end(), files.begin(), files.end());
  std::vector<std::string> parallel = {"-j", "3", "-o", "three", "--rotate", "7"};
  parallel.insert(parallel.end(), files.begin(), files.end());
  const CliResult one = Run(single);
  const CliResult three = Run(parallel);
  EXPECT_EQ(one.exitCode, 1);
  EXPECT_EQ(three.exitCode, 1);
  EXPECT_EQ(three.out, one.out);
  ASSERT_EQ(one.lines.size(), 1u + 10u + 3u + 1u);
  EXPECT_EQ(one.lines[1], "-" + files[0] + "(1/10)");
  EXPECT_EQ(one.lines.back(), "Error(s) : 3");
  EXPECT_EQ(one.lines[one.lines.size() - 2], "파일을 저장할 수 없습니다.");
  EXPECT_EQ(FolderNames(dir.file("one")), FolderNames(dir.file("three")));
  EXPECT_EQ(FolderNames(dir.file("three")).size(), 7u);
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(dir.file("three/그림 1.jpg"), back));
  EXPECT_EQ(back.Width(), 41);
  // More jobs than files, and all files good.
  const CliResult many = Run({"-j", "8", "-o", "many", files[0], files[1]});
  EXPECT_EQ(many.exitCode, 0);
  EXPECT_EQ(many.lines.size(), 3u);
}

TEST_F(QuorvaneConvertTest, OutputFolderThatCannotBeMade) {
  const std::string a = Picture("a.png");
  dir.write("plain", "a file where a folder would go");
  const CliResult r = Run({"-o", "plain/deeper", "-j", "2", a, a});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"* total 2File(s)", "폴더를 생성할 수 없습니다.",
                                               "Error(s) : 1"}));
  EXPECT_EQ(r.err, std::string("quorvane-convert: cannot create the output folder plain/deeper") +
                       ": Not a directory\n");
}

TEST_F(QuorvaneConvertTest, MissingParentsOfTheOutputFolderAreMade) {
  const std::string a = Picture("a.png");
  const CliResult r = Run({"-o", "새 폴더/deeper/결과", a});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FolderNames(dir.file("새 폴더/deeper/결과")), (std::set<std::string>{"a.jpg"}));
}

TEST_F(QuorvaneConvertTest, UsageErrors) {
  const std::string a = Picture("a.png");
  const std::vector<std::vector<std::string>> bad = {{"-q", "0", a},
                                                     {"--resize", "0%", a},
                                                     {"-f", "heic", a},
                                                     {"--fit", "10x", a},
                                                     {"--gamma", "2.5", a},
                                                     {"--bogus", a},
                                                     {},
                                                     {"--rotate", "1.005", a},
                                                     {"-j", "0", a}};
  for (const auto& args : bad) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const CliResult r = Run(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("quorvane-convert: ", 0), 0u) << r.err;
  }
  EXPECT_TRUE(FolderNames(src).count("quorvane-conv") == 0);
}

TEST_F(QuorvaneConvertTest, HelpAndMissingCodec) {
  CliResult r = Run({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.rfind("Usage: quorvane-convert", 0), 0u);
  const std::string a = Picture("a.png");
  r = Run({a}, "QUORVANE_CODEC_LIBRARY=libm.so.6");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "devil.dll and ilu.dll and ilut.dll is not found!\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(QuorvaneConvertTest, JpegQualityAndGifDithering) {
  const std::string a = Picture("a.bmp", 64, 64);
  ASSERT_EQ(Run({"-q", "100", "-o", "hi", a}).exitCode, 0);
  ASSERT_EQ(Run({"-q", "1", "-o", "lo", a}).exitCode, 0);
  EXPECT_GT(ReadFileBytes(dir.file("hi/a.jpg")).size(), ReadFileBytes(dir.file("lo/a.jpg")).size());
  ASSERT_EQ(Run({"-f", "gif", "--dither", "nearest", "-o", "n", a}).exitCode, 0);
  ASSERT_EQ(Run({"-f", "gif", "--dither", "stucki", "-o", "s", a}).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(dir.file("n/a.gif")).substr(0, 6), "GIF87a");
  EXPECT_NE(ReadFileBytes(dir.file("n/a.gif")), ReadFileBytes(dir.file("s/a.gif")));
}

TEST_F(QuorvaneConvertTest, OnExistsChoosesWhatBecomesOfExistingNames) {
  const std::string a = Picture("photo.png", 7, 3);
  mkdir(dir.file("out").c_str(), 0777);
  const std::string existing = dir.write("out/photo.jpg", "old");

  CliResult r = Run({"--on-exists", "skip", "-o", "out", a});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.lines, (std::vector<std::string>{"* total 1File(s)", "-" + a + "(1/1)",
                                               kMemoSkipped}));
  r = Run({"--on-exists=error", "-o", "out", a});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("exists"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(existing), "old");

  r = Run({"--on-exists", "rename", "-o", "out", a});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  // A later file of the same name takes the next free name after the earlier file's.
  const std::string b = Picture("photo.bmp", 4, 4);
  r = Run({"--on-exists", "rename", "-j", "2", "-o", "out", a, b});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(existing), "old");
  EXPECT_EQ(FolderNames(dir.file("out")), (std::set<std::string>{"photo.jpg", "photo (1).jpg",
                                                                 "photo (2).jpg", "photo (3).jpg"}));
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(dir.file("out/photo (3).jpg"), back));
  EXPECT_EQ(back.Width(), 4);

  r = Run({"--on-exists", "overwrite", "-o", "out", a});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(existing).substr(0, 2), "\xFF\xD8");

  r = Run({"--on-exists", "sometimes", a});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("overwrite, skip, rename, error"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quorvane::test
