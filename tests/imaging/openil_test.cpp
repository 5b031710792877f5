#include "imaging/OpenIL.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/ChildProcess.h"
#include "support/TestDir.h"

using namespace quorvane;
using quorvane::test::MaxDifference;
using quorvane::test::PatternBitmap;
using quorvane::test::ReadFileBytes;
using quorvane::test::RunCommand;
using quorvane::test::RunWithTimeLimit;
using quorvane::test::ShellQuote;
using quorvane::test::TestDir;

namespace {

class Codec : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCodecLibraryNames("", "");
    ASSERT_TRUE(BindCodecLibrary()) << CodecBindFailure();
    ASSERT_TRUE(CodecInit());
  }
  void TearDown() override { UnbindCodecLibrary(); }
};

}  // namespace

TEST(CodecBinding, MissingOrIncompleteLibrariesFailTheBinding) {
  // A core library that does not exist.
  SetCodecLibraryNames("libquorvane-no-such-library.so.1", "");
  EXPECT_FALSE(BindCodecLibrary());
  EXPECT_FALSE(CodecIsBound());
  EXPECT_NE(CodecBindFailure().find("libquorvane-no-such-library.so.1"), std::string::npos);
  UnbindCodecLibrary();

  // A library without the entry points: the first one named is missing and the
  // toolkit is never tried.
  SetCodecLibraryNames("libm.so.6", "libquorvane-no-such-toolkit.so.1");
  EXPECT_FALSE(BindCodecLibrary());
  EXPECT_EQ(CodecBindFailure(), "ilInit not found in libm.so.6");
  UnbindCodecLibrary();

  // The core is fine but the toolkit is missing.
  SetCodecLibraryNames("", "libquorvane-no-such-toolkit.so.1");
  EXPECT_FALSE(BindCodecLibrary());
  EXPECT_NE(CodecBindFailure().find("toolkit"), std::string::npos);
  UnbindCodecLibrary();

  // A toolkit library without ilutInit.
  SetCodecLibraryNames("", "libm.so.6");
  EXPECT_FALSE(BindCodecLibrary());
  EXPECT_EQ(CodecBindFailure(), "ilutInit not found in libm.so.6");
  UnbindCodecLibrary();

  // Unbound, nothing reaches the library.
  Bitmap keep = PatternBitmap(3, 2);
  EXPECT_FALSE(CodecInit());
  EXPECT_FALSE(CodecLoad("/nonexistent.png", keep));
  EXPECT_FALSE(CodecSave("/tmp/never.png", keep, {kCodecTypePng}));
  EXPECT_TRUE(keep.SamePixels(PatternBitmap(3, 2)));

  // The real libraries bind; binding twice is harmless; unbinding ends it.
  SetCodecLibraryNames("", "");
  ASSERT_TRUE(BindCodecLibrary()) << CodecBindFailure();
  EXPECT_TRUE(BindCodecLibrary());
  EXPECT_TRUE(CodecIsBound());
  EXPECT_EQ(CodecBindFailure(), "");
  EXPECT_TRUE(CodecInit());
  UnbindCodecLibrary();
  EXPECT_FALSE(CodecIsBound());
}

TEST_F(Codec, LosslessFormatsRoundTripTopRowFirst) {
  TestDir dir;
  const Bitmap source = PatternBitmap(37, 23);  // odd width: rows need padding
  struct Case {
    const char* name;
    CodecSaveRequest req;
  };
  const Case cases[] = {
      {"a.png", {kCodecTypePng}},
      {"a.pnm", {kCodecTypePnm}},
      {"a.sgi", {kCodecTypeSgi, false, -1, 0}},
      {"rle.sgi", {kCodecTypeSgi, false, -1, 1}},
      {"a.tga", {kCodecTypeTga}},
      {"a.tif", {kCodecTypeTif}},
      {"by-ext.png", {0, true}},
      {"library-choice.tif", {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file(c.name);
    ASSERT_TRUE(CodecSave(path, source, c.req));
    Bitmap loaded;
    ASSERT_TRUE(CodecLoad(path, loaded));
    EXPECT_TRUE(loaded.SamePixels(source));
  }
  // Run-length compression really changes the SGI file.
  EXPECT_NE(ReadFileBytes(dir.file("a.sgi")), ReadFileBytes(dir.file("rle.sgi")));
}

TEST_F(Codec, JpegByExtensionHonoursTheQuality) {
  TestDir dir;
  Bitmap source(64, 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) source.SetPixel(x, y, RGB(uint8_t(x * 4), uint8_t(y * 5), 90));
  ASSERT_TRUE(CodecSave(dir.file("low.jpg"), source, {0, true, 10}));
  ASSERT_TRUE(CodecSave(dir.file("high.jpg"), source, {0, true, 98}));
  EXPECT_LT(ReadFileBytes(dir.file("low.jpg")).size(), ReadFileBytes(dir.file("high.jpg")).size());
  Bitmap loaded;
  ASSERT_TRUE(CodecLoad(dir.file("high.jpg"), loaded));
  ASSERT_EQ(loaded.Width(), 64);
  ASSERT_EQ(loaded.Height(), 48);
  EXPECT_LE(MaxDifference(source, loaded), 10);
}

TEST_F(Codec, SaveWritesExactlyThePathGivenAndReplacesAFileThere) {
  TestDir dir;
  const std::string path = dir.file("name.quorvane-tmp-1234.png");
  dir.write("name.quorvane-tmp-1234.png", "placeholder");
  ASSERT_TRUE(CodecSave(path, PatternBitmap(5, 4), {0, true}));
  Bitmap loaded;
  ASSERT_TRUE(CodecLoad(path, loaded));
  EXPECT_TRUE(loaded.SamePixels(PatternBitmap(5, 4)));
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);

  EXPECT_FALSE(CodecSave(dir.file("empty.png"), Bitmap(), {kCodecTypePng}));
  EXPECT_FALSE(
      CodecSave(dir.path() + "/no-such-folder/x.png", PatternBitmap(2, 2), {kCodecTypePng}));
  EXPECT_FALSE(std::filesystem::exists(dir.file("empty.png")));
}

TEST_F(Codec, FailedLoadsLeaveTheBitmapAndLaterLoadsUnharmed) {
  TestDir dir;
  const Bitmap keep = PatternBitmap(4, 3);
  Bitmap target = keep;
  EXPECT_FALSE(CodecLoad(dir.file("missing.png"), target));
  EXPECT_FALSE(CodecLoad(dir.write("zero.png", ""), target));
  EXPECT_FALSE(CodecLoad(dir.write("junk.tga", "this is no picture at all"), target));
  EXPECT_TRUE(target.SamePixels(keep));
  // The errors of the failures above do not fail the next good load.
  ASSERT_TRUE(CodecSave(dir.file("good.png"), PatternBitmap(6, 6), {kCodecTypePng}));
  ASSERT_TRUE(CodecLoad(dir.file("good.png"), target));
  EXPECT_TRUE(target.SamePixels(PatternBitmap(6, 6)));
}

TEST(Startup, MissingCodecLibraryEndsTheProgramWithExitCodeOne) {
  TestDir dir;
  const std::string err = dir.file("stderr.txt");
  const int rc =
      RunCommand("QT_QPA_PLATFORM=offscreen QUORVANE_CODEC_LIBRARY=libquorvane-missing.so.1 " +
                 ShellQuote(std::string(QUORVANE_BINARY_DIR) + "/quorvane") + " 2>" +
                 ShellQuote(err) + " </dev/null");
  EXPECT_EQ(rc, 1);
  EXPECT_NE(ReadFileBytes(err).find("devil.dll and ilu.dll and ilut.dll is not found!\n"),
            std::string::npos);
}

TEST(Startup, FailedInitialisationShowsItsMessageAndClosesTheWindow) {
  // A stand-in core library whose every call leaves an error behind.
  TestDir dir;
  const std::string source =
      dir.write("failing_il.c",
                "void ilInit(void) {}\n"
                "unsigned char ilConvertImage(unsigned a, unsigned b) { return 0; }\n"
                "unsigned char ilLoadImage(const char* f) { return 0; }\n"
                "unsigned char ilSaveImage(const char* f) { return 0; }\n"
                "unsigned char ilSave(unsigned t, const char* f) { return 0; }\n"
                "unsigned ilGetError(void) { return 0x0501; }\n"
                "void ilSetInteger(unsigned m, int v) {}\n"
                "unsigned char ilEnable(unsigned m) { return 0; }\n"
                "int ilGetInteger(unsigned m) { return 0; }\n"
                "unsigned char* ilGetData(void) { return 0; }\n"
                "unsigned char ilTexImage(unsigned w, unsigned h, unsigned d, unsigned char c,\n"
                "                         unsigned f, unsigned t, void* p) { return 0; }\n"
                "unsigned char ilOriginFunc(unsigned m) { return 0; }\n");
  const std::string library = dir.file("libfailing_il.so");
  ASSERT_EQ(RunCommand("cc -shared -fPIC -w -o " + ShellQuote(library) + " " + ShellQuote(source)),
            0);
  const std::string err = dir.file("stderr.txt");
  const int rc =
      RunCommand("QT_QPA_PLATFORM=offscreen QUORVANE_CODEC_LIBRARY=" + ShellQuote(library) +
                 " timeout 30 " + ShellQuote(std::string(QUORVANE_BINARY_DIR) + "/quorvane") +
                 " 2>" + ShellQuote(err) + " </dev/null");
  // The window closes as soon as the event loop runs, which ends the program.
  EXPECT_EQ(rc, 0);
  const std::string messages = ReadFileBytes(err);
  EXPECT_NE(messages.find("devil.dll or ilu.dll or ilut.dll or all functin init error!\n"),
            std::string::npos);
  EXPECT_EQ(messages.find("is not found!"), std::string::npos);
}

// Inside the codec helper: the library opens files with a blocking open, so a pipe
// never reaches it.
TEST(CodecHelperSide, PipesAreRefusedBeforeTheLibraryOpensThem) {
  TestDir dir;
  const std::string pipe = dir.file("pipe.png");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0666), 0);
  const int status = RunWithTimeLimit(20, [&] {
    if (!local::BindCodecLibrary() || !local::CodecInit()) return 2;
    Bitmap bitmap;
    return local::CodecLoad(pipe, bitmap) ? 1 : 0;
  });
  EXPECT_EQ(status, 0);
}
