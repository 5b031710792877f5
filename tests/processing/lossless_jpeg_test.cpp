// JPEG sources that a batch only turns or flips into JPEG: their blocks are turned
// without loss and the pixels are jpegtran's; sizes that are not whole blocks along the
// edges a turn moves are decoded and encoded instead, with a memo line; the EXIF keeps
// Orientation 1 without its thumbnail; --no-lossless re-encodes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "processing/ConvertEngine.h"
#include "processing/ConvertOptions.h"
#include "processing/ConvertTestHelpers.h"
#include "processing/LosslessJpeg.h"
#include "imaging/ExifLibrary.h"
#include "imaging/ReadImage.h"
#include "support/ExifSamples.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

class LosslessJpegTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RunCommand("command -v jpegtran djpeg convert >/dev/null") != 0)
      GTEST_SKIP() << "jpegtran, djpeg or ImageMagick missing";
    ASSERT_TRUE(CodecReady());
  }

  // A noisy JPEG of `width` x `height` in 4:2:0 (16-pixel blocks both ways), with the
  // EXIF Orientation `orientation` when not 0.
  std::string Source(const std::string& name, int width, int height, int orientation = 0) {
    const std::string path = dir.file(name);
    EXPECT_EQ(RunCommand("convert -size " + std::to_string(width) + "x" +
                         std::to_string(height) +
                         " xc:gray +noise Random -type TrueColor -sampling-factor 2x2 -quality 85 " +
                         ShellQuote(path)),
              0);
    if (orientation) {
      EXPECT_TRUE(Exiftool("-Orientation#=" + std::to_string(orientation), path));
    }
    return path;
  }

  // Runs a batch of one operation over `source` into a fresh folder; the result's path.
  std::string Turn(const std::string& source, int opCode, bool lossless = true) {
    ConvertEngine engine(&io);
    engine.Params.FileList = {source};
    engine.Params.OutputFolder = dir.file("out" + std::to_string(++batches_));
    engine.Params.TargetExt = ".jpg";
    engine.Params.OpCode = opCode;
    engine.Params.AutoOrient = true;
    engine.Params.KeepMetadata = true;
    engine.Params.LosslessJpegTurns = lossless;
    engine.TransProc(host, nullptr);
    EXPECT_TRUE(engine.AllSucceeded());
    return engine.OutputPathFor(source);
  }

  // The pixels as libjpeg's djpeg decodes them.
  std::string Decoded(const std::string& jpeg) {
    const std::string ppm = jpeg + ".ppm";
    EXPECT_EQ(RunCommand("djpeg -ppm " + ShellQuote(jpeg) + " > " + ShellQuote(ppm)), 0);
    return ReadFileBytes(ppm);
  }

  std::string Jpegtran(const std::string& source, const std::string& args) {
    const std::string out = source + ".jpegtran.jpg";
    EXPECT_EQ(RunCommand("jpegtran " + args + " -copy all " + ShellQuote(source) + " > " +
                         ShellQuote(out)),
              0);
    return out;
  }

  bool Memo(const char* line) const {
    return std::find(host.lines.begin(), host.lines.end(), line) != host.lines.end();
  }

  TestDir dir;
  RecordingIO io;
  RecordingHost host;
  int batches_ = 0;
};

TEST(PictureTurns, ComposeAsTheTurnsOfARectangle) {
  // Turning upright by each orientation, then by the opposite of what it names, leaves
  // the picture as stored; the composition is that of the dihedral group.
  for (int o = 1; o <= 8; ++o) {
    PictureTurn back = UprightTurn(o);
    back = back.mirrored ? back : PictureTurn{(4 - back.quarters) % 4, false};
    EXPECT_TRUE(ThenTurn(UprightTurn(o), back).IsIdentity()) << o;
  }
  EXPECT_EQ(ThenTurn({0, true}, {1, false}), (PictureTurn{1, true}));  // across the other diagonal
  EXPECT_EQ(ThenTurn({1, false}, {0, true}), (PictureTurn{3, true}));  // across the main diagonal
  EXPECT_EQ(BatchTurn({opTurnRight, opTurnRight}, 1), (PictureTurn{2, false}));
  EXPECT_FALSE(BatchTurn({opTurnRight, opResize}, 1));
  EXPECT_FALSE(BatchTurn({}, 6));
}

TEST_F(LosslessJpegTest, EachTurnAndFlipGivesJpegtransPixelsWithoutDecoding) {
  struct Case {
    int opCode;
    int orientation;  // of the source, turned upright first
    const char* jpegtran;
  };
  const Case cases[] = {
      {opTurnRight, 0, "-rotate 90"},     {opTurnLeft, 0, "-rotate 270"},
      {opFlipH, 0, "-flip horizontal"},   {opFlipV, 0, "-flip vertical"},
      {opTurnRight, 6, "-rotate 180"},    {opTurnLeft, 2, "-transpose"},
      {opTurnRight, 2, "-transverse"},    {opFlipV, 4, ""},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jpegtran);
    const std::string source = Source("s" + std::to_string(++n) + ".jpg", 48, 32, c.orientation);
    const std::string out = Turn(source, c.opCode);
    const std::string expected = Jpegtran(source, c.jpegtran);
    const std::string pixels = Decoded(out);
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(pixels, Decoded(expected));
    if (c.orientation) EXPECT_EQ(ExiftoolTag(out, "Orientation"), "1");
  }
  EXPECT_TRUE(io.reads.empty()) << "a source was decoded";
  EXPECT_TRUE(io.codecSaves.empty()) << "a result was encoded";
  EXPECT_FALSE(Memo(kMemoNotLossless));
}

TEST_F(LosslessJpegTest, SizesNotWholeBlocksWhereTheTurnNeedsThemAreReencodedWithAMemo) {
  // 48 wide is whole blocks, 40 high is not: mirroring left-right moves only whole
  // columns of blocks and stays lossless; a quarter turn does not.
  const std::string source = Source("edge.jpg", 48, 40);
  EXPECT_EQ(Decoded(Turn(source, opFlipH)), Decoded(Jpegtran(source, "-flip horizontal")));
  EXPECT_TRUE(io.reads.empty());
  EXPECT_FALSE(Memo(kMemoNotLossless));

  const std::string out = Turn(source, opTurnRight);
  EXPECT_TRUE(Memo(kMemoNotLossless));
  EXPECT_EQ(io.reads, std::vector<std::string>{source});
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(out, back));
  EXPECT_EQ(back.Width(), 40);  // no edge pixel was cut off
  EXPECT_EQ(back.Height(), 48);
}

TEST_F(LosslessJpegTest, NoLosslessReencodesAndTheCommandLineSaysSo) {
  EXPECT_FALSE(ParseConvertOptions({"--turn-right", "--no-lossless", "a.jpg"}).Params.LosslessJpegTurns);
  EXPECT_TRUE(ParseConvertOptions({"--turn-right", "a.jpg"}).Params.LosslessJpegTurns);
  const std::string source = Source("q.jpg", 32, 32);
  Turn(source, opTurnRight, false);
  EXPECT_EQ(io.reads, std::vector<std::string>{source});
  EXPECT_EQ(io.codecSaves.size(), 1u);
  EXPECT_FALSE(Memo(kMemoNotLossless));
}

TEST_F(LosslessJpegTest, ExifKeepsItsTagsWithOrientationOneAndNoThumbnailAndTheFileTime) {
  if (!HaveExiftool()) GTEST_SKIP() << "exiftool missing";
  const std::string source = Source("camera.jpg", 64, 32, 6);
  const std::string thumb = dir.file("thumb.jpg");
  ASSERT_EQ(RunCommand("convert -size 16x8 xc:blue " + ShellQuote(thumb)), 0);
  ASSERT_TRUE(Exiftool("-Make=Quorvane '-ThumbnailImage<=" + thumb + "'", source));
  ASSERT_FALSE(ExiftoolTag(source, "ThumbnailLength").empty());
  const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, source.c_str(), times, 0), 0);

  // Upright (a quarter turn right), then left: the blocks stay as stored.
  const std::string out = Turn(source, opTurnLeft);
  EXPECT_TRUE(io.reads.empty());
  EXPECT_EQ(Decoded(out), Decoded(source));
  EXPECT_FALSE(Memo(kMemoMetadataFailed));
  // The metadata library's reading (exiv2), and exiftool's.
  local::InitExifLibrary();
  ExifInfo info;
  ASSERT_TRUE(local::ReadExifInfo(out, info));
  EXPECT_EQ(info.orientation, 1);
  EXPECT_TRUE(info.thumbnail.empty());
  EXPECT_EQ(ExiftoolTag(out, "Orientation"), "1");
  EXPECT_EQ(ExiftoolTag(out, "Make"), "Quorvane");
  EXPECT_EQ(ExiftoolTag(out, "ThumbnailLength"), "");
  struct stat st {};
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
}

}  // namespace
