// The codec library behind the process boundary, with the real helper (quorvane-codec):
// start-up, round trips, and a corpus of damaged files of every listed extension that
// must each answer true or false without taking the program down or hanging it.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shell/CodecClient.h"
#include "shell/JpegCodec.h"
#include "shell/MyImg.h"
#include "shell/OpenIL.h"
#include "shell/ReadImage.h"
#include "shell/Settings.h"
#include "support/TestDir.h"

using namespace quorvane;
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

// A small Dr. Halo CUT file: 16 x 8, each line a count word and run-length records.
std::string MakeCutFile() {
  std::string bytes = {16, 0, 8, 0, 0, 0};
  for (int y = 0; y < 8; ++y) {
    std::string line;
    line += char(0x80 | 8);  // run of 8
    line += char(y);
    line += char(8);  // 8 literal bytes
    for (int x = 0; x < 8; ++x) line += char(x * 3 + y);
    line += char(0);  // end of line
    bytes += char(line.size() & 0xFF);
    bytes += char(line.size() >> 8);
    bytes += line;
  }
  return bytes;
}

// A valid file for each extension: written by ImageMagick, by the codec library itself
// (PCX and DDS, which the library cannot read from ImageMagick) or by hand (CUT).
std::map<std::string, std::string> MakeSeedFiles(const TestDir& dir) {
  const std::string png = dir.file("seed-source.png");
  const Bitmap picture = PatternBitmap(48, 32);
  CodecSaveRequest req;
  req.type = kCodecTypePng;
  EXPECT_TRUE(CodecSave(png, picture, req));

  std::map<std::string, std::string> seeds;
  auto convert = [&](const std::string& ext, const std::string& options, const std::string& prefix) {
    const std::string out = dir.file("seed" + ext);
    const std::string cmd = "convert " + ShellQuote(png) + " " + options + " " +
                            ShellQuote(prefix + out) + " 2>/dev/null";
    if (RunCommand(cmd) == 0) seeds[ext] = out;
  };
  convert(".pnm", "", "ppm:");
  convert(".mng", "", "mng:");
  convert(".pcd", "-resize 192x128!", "pcd:");
  convert(".png", "", "png:");
  convert(".tga", "", "tga:");
  convert(".tif", "", "tiff:");
  convert(".tiff", "-compress lzw", "tiff:");
  convert(".sgi", "", "sgi:");
  convert(".bw", "-colorspace gray", "sgi:");
  convert(".rgb", "", "sgi:");
  convert(".rgba", "-alpha set", "sgi:");
  convert(".gif", "", "gif:");
  convert(".bmp", "", "bmp3:");
  for (auto [ext, type] : {std::pair<std::string, int>{".pcx", 0x0428}, {".dds", 0x0437}}) {
    CodecSaveRequest r;
    r.type = type;
    if (CodecSave(dir.file("seed" + ext), picture, r)) seeds[ext] = dir.file("seed" + ext);
  }
  seeds[".cut"] = dir.write("seed.cut", MakeCutFile());
  const auto jpeg = EncodeJpeg(picture, 80);
  for (const char* ext : {".jpe", ".jpeg", ".jpg"})
    seeds[ext] = dir.write(std::string("seed") + ext, std::string(jpeg.begin(), jpeg.end()));
  return seeds;
}

// Damaged copies of a file: truncated, bit-flipped, header fields set to extremes, and
// stretches overwritten with noise. Deterministic for a given seed.
std::vector<std::string> Mutants(const std::string& file, unsigned seed, int count) {
  std::mt19937 rng(seed);
  auto pick = [&](size_t n) { return n ? size_t(rng() % n) : size_t(0); };
  std::vector<std::string> out;
  const size_t n = file.size();
  for (int i = 0; out.size() < size_t(count); ++i) {
    std::string m = file;
    switch (i % 5) {
      case 0: {  // truncated: inside the header or anywhere
        const size_t cuts[] = {0, 1, 4, 12, 18, 40, 100, n / 3, n / 2, n - 1};
        m.resize(std::min(n, i < 50 ? cuts[(i / 5) % 10] : pick(n)));
        break;
      }
      case 1:  // a few bits flipped
        for (int k = 0, flips = 1 + int(pick(16)); k < flips; ++k) m[pick(n)] ^= char(1 << pick(8));
        break;
      case 2: {  // a header word or double word set to an extreme
        const char extremes[] = {'\xFF', '\x00', '\x7F', '\x80'};
        const size_t at = pick(std::min<size_t>(n, 128));
        const size_t len = 1 + pick(4);
        const char v = extremes[pick(4)];
        for (size_t k = at; k < std::min(n, at + len); ++k) m[k] = v;
        break;
      }
      case 3: {  // a stretch of noise
        const size_t at = pick(n);
        for (size_t k = at; k < std::min(n, at + 1 + pick(64)); ++k) m[k] = char(rng());
        break;
      }
      case 4:  // header damage and a cut together
        m[pick(std::min<size_t>(n, 64))] = char(rng());
        m.resize(n / 2 + pick(n / 2));
        break;
    }
    out.push_back(std::move(m));
  }
  return out;
}

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

  TmyImg plugin;
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
  TmyImg plugin;
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
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - t0);
  std::printf("damaged files: %d, read anyway: %d, helper crashed: %d, timed out: %d, "
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
