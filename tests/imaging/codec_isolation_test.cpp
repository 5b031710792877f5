// The codec library behind the process boundary, with the real helper (quorvane-codec):
// start-up, round trips, and a corpus of damaged files of every listed extension that
// must each answer true or false without taking the program down or hanging it.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "imaging/CodecClient.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureLoader.h"
#include "imaging/OpenIL.h"
#include "imaging/ReadImage.h"
#include "shell/Settings.h"
#include "support/DamagedFiles.h"
#include "support/TestDir.h"

using namespace quorvane;
using quorvane::test::MakeSeedFiles;
using quorvane::test::Mutants;
using quorvane::test::PatternBitmap;
using quorvane::test::ReadFileBytes;
using quorvane::test::RunCommand;
using quorvane::test::ShellQuote;
using quorvane::test::TestDir;

namespace {

// A hung load is killed after this long in these tests (the program allows more).
constexpr int kTestLoadTimeoutMs = 1500;

class CodecIsolation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(BindCodecLibrary()) << CodecBindFailure();
    ASSERT_TRUE(CodecInit());
    DefaultCodecClient().SetLoadTimeoutMs(kTestLoadTimeoutMs);
  }
};

}  // namespace

TEST_F(CodecIsolation, RoundTripThroughTheHelper) {
  TestDir dir;
  const Bitmap picture = PatternBitmap(61, 27);
  CodecSaveRequest req;
  for (int type : {kCodecTypePng, kCodecTypeTga, kCodecTypeTif, kCodecTypePnm, kCodecTypeSgi}) {
    req.type = type;
    const std::string path = dir.file("둥근 여행 " + std::to_string(type) + ".img");
    ASSERT_TRUE(CodecSave(path, picture, req)) << type;
    Bitmap back;
    ASSERT_TRUE(ReadImageFile(path, back)) << type;
    EXPECT_TRUE(back.SamePixels(picture)) << type;
  }
  req = {};
  req.byExtension = true;
  req.jpegQuality = 95;
  ASSERT_TRUE(CodecSave(dir.file("q.jpg"), picture, req));
  EXPECT_GT(ReadFileBytes(dir.file("q.jpg")).size(), 100u);

  PictureLoader plugin;
  req = {};
  req.type = kCodecTypeTga;
  ASSERT_TRUE(CodecSave(dir.file("그림.TGA"), picture, req));
  Bitmap thumb;
  ASSERT_TRUE(plugin.LoadFile(dir.file("그림.TGA"), thumb));
  EXPECT_TRUE(thumb.SamePixels(picture));
  // A file the library cannot read: false, bitmap unchanged.
  const std::string bad = dir.write("bad.png", "\x89PNG\r\n\x1a\n broken");
  Bitmap keep = PatternBitmap(3, 3);
  EXPECT_FALSE(ReadImageFile(bad, keep));
  EXPECT_TRUE(keep.SamePixels(PatternBitmap(3, 3)));
  EXPECT_FALSE(plugin.LoadFile(bad, keep));
  EXPECT_TRUE(keep.SamePixels(PatternBitmap(3, 3)));
  // Saving an empty bitmap or into a missing folder fails cleanly.
  req = {};
  req.type = kCodecTypePng;
  EXPECT_FALSE(CodecSave(dir.file("empty.png"), Bitmap(), req));
  EXPECT_FALSE(CodecSave(dir.file("no/such/folder/x.png"), picture, req));
}

TEST_F(CodecIsolation, DamagedFilesOfEveryExtensionAnswerWithoutHarm) {
  TestDir dir;
  const auto seeds = MakeSeedFiles(dir);
  PictureLoader plugin;
  const int perExtension = 30;
  int total = 0, readOk = 0, crashes = 0, timeouts = 0;
  const int startsBefore = DefaultCodecClient().StartCount();
  const auto t0 = std::chrono::steady_clock::now();
  for (int e = 0; e < CodecExtensionCount; ++e) {
    const std::string ext(CodecExtensions[e]);
    auto seed = seeds.find(ext);
    ASSERT_NE(seed, seeds.end()) << "no seed file for " << ext;
    const std::string original = ReadFileBytes(seed->second);
    ASSERT_GT(original.size(), 16u) << ext;
    const auto mutants = Mutants(original, 1000 + unsigned(e), perExtension);
    for (size_t i = 0; i < mutants.size(); ++i) {
      const std::string path = dir.write("mutant" + std::to_string(i) + ext, mutants[i]);
      Bitmap a = PatternBitmap(2, 2), b = PatternBitmap(2, 2);
      // Every call answers; a failed one leaves the bitmap as it was.
      const bool viaRead = ReadImageFile(path, a);
      const CodecFailure failure = DefaultCodecClient().LastFailure();
      crashes += failure == CodecFailure::kCrashed;
      timeouts += failure == CodecFailure::kTimedOut;
      const bool viaPlugin = plugin.LoadFile(path, b);
      EXPECT_TRUE(viaRead ? !a.Empty() : a.SamePixels(PatternBitmap(2, 2))) << path;
      EXPECT_TRUE(viaPlugin ? !b.Empty() : b.SamePixels(PatternBitmap(2, 2))) << path;
      readOk += viaRead;
      ++total;
    }
    // Still healthy: the undamaged file reads.
    Bitmap good;
    EXPECT_TRUE(ReadImageFile(seed->second, good) || ext == ".cut") << ext;
  }
  const auto took =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
  std::printf(
      "damaged files: %d, read anyway: %d, helper crashed: %d, timed out: %d, "
      "helpers started: %d, %lld ms\n",
      total, readOk, crashes, timeouts, DefaultCodecClient().StartCount() - startsBefore,
      (long long)took.count());
  Bitmap good;
  EXPECT_TRUE(ReadImageFile(seeds.at(".png"), good));
  EXPECT_EQ(good.Width(), 48);
}

TEST_F(CodecIsolation, MissingHelperOrLibraryFailsTheBinding) {
  UnbindCodecLibrary();
  EXPECT_FALSE(CodecIsBound());
  ::setenv("QUORVANE_CODEC_HELPER", "/nonexistent/quorvane-codec", 1);
  EXPECT_FALSE(BindCodecLibrary());
  EXPECT_NE(CodecBindFailure().find("quorvane-codec"), std::string::npos);
  Bitmap out;
  EXPECT_FALSE(CodecLoad("/nonexistent.png", out));
  ::unsetenv("QUORVANE_CODEC_HELPER");

  // The helper starts but cannot bind: the reason comes back from it.
  SetCodecLibraryNames("libm.so.6", "");
  EXPECT_FALSE(BindCodecLibrary());
  EXPECT_EQ(CodecBindFailure(), "ilInit not found in libm.so.6");
  SetCodecLibraryNames("", "");
  ASSERT_TRUE(BindCodecLibrary());
  EXPECT_TRUE(CodecInit());
}

TEST_F(CodecIsolation, ProgramStopsWhenTheHelperIsMissing) {
  const std::string program = std::string(QUORVANE_BINARY_DIR) + "/quorvane";
  if (::access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "the GUI program is not built";
  TestDir dir;
  const std::string log = dir.file("stderr.txt");
  const int status = RunCommand("QT_QPA_PLATFORM=offscreen QUORVANE_CODEC_HELPER=/nonexistent " +
                                ShellQuote(program) + " 2>" + ShellQuote(log));
  EXPECT_EQ(status, 1);
  EXPECT_NE(ReadFileBytes(log).find("devil.dll and ilu.dll and ilut.dll is not found!"),
            std::string::npos);
}
