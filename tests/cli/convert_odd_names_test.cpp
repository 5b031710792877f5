// quorvane-convert on folder and file names that are no UTF-8: the bytes are kept from
// the command line to the file written.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cli/CliRunner.h"
#include "imaging/ReadImage.h"
#include "processing/ConvertTestHelpers.h"

namespace quorvane::test {
namespace {

TEST(ConvertOddNames, BytesOfTheSourceNameReachTheResult) {
  ASSERT_TRUE(CodecReady());
  TestDir dir;
  const std::string folder = dir.file("\xC5rsbilder");  // Latin-1, as an old archive has it
  ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
  const std::string source = WritePicture(folder + "/f\xF6r\xE4ldrar \xFF.png", 9, 5);
  const CliResult r = RunShell(ConverterCommand(ConverterBinary(), {"-f", "bmp", source}, "",
                                                dir.path()),
                               dir.file("stderr.txt"));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string written = folder + "/quorvane-conv/f\xF6r\xE4ldrar \xFF.bmp";
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(written, back)) << r.out;
  EXPECT_TRUE(back.SamePixels(PatternBitmap(9, 5)));
}

}  // namespace
}  // namespace quorvane::test
