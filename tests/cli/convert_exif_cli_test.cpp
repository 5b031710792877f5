// quorvane-convert turns camera pictures upright and keeps their metadata by default;
// --no-auto-orient and --strip give the pictures as stored and bare files, also with
// several worker processes.
#include <gtest/gtest.h>

#include "support/ExifSamples.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

const std::string kBinary = std::string(QUORVANE_BINARY_DIR) + "/quorvane-convert";

TEST(ConvertExifCli, UprightWithMetadataByDefaultAsStoredAndBareWhenSwitchedOff) {
  if (!HaveExiftool() || !HavePillow()) GTEST_SKIP() << "exiftool or Pillow missing";
  TestDir dir;
  std::vector<std::string> files;
  for (const char* name : {"가 사진.jpg", "b.jpg"}) {
    files.push_back(WriteOriented(dir, name, PatternBitmap(64, 48), 8));
    ASSERT_TRUE(Exiftool("-Make=Quorvane", files.back()));
  }
  auto run = [&](const std::string& options, const std::string& out) {
    return RunCommand(ShellQuote(kBinary) + " --quiet -j 2 -f png -o " + ShellQuote(dir.file(out)) +
                      " " + options + " " + ShellQuote(files[0]) + " " + ShellQuote(files[1]));
  };
  ASSERT_EQ(run("", "default"), 0);
  ASSERT_EQ(run("--no-auto-orient --strip", "off"), 0);
  for (const char* base : {"가 사진.png", "b.png"}) {
    const std::string kept = dir.file(std::string("default/") + base);
    const std::string bare = dir.file(std::string("off/") + base);
    EXPECT_EQ(PillowPicture(dir, kept, false).Width(), 48) << base;
    EXPECT_EQ(ExiftoolTag(kept, "Make"), "Quorvane") << base;
    EXPECT_EQ(ExiftoolTag(kept, "Orientation"), "1") << base;
    EXPECT_EQ(PillowPicture(dir, bare, false).Width(), 64) << base;
    EXPECT_EQ(ExiftoolTag(bare, "Make"), "") << base;
  }
}

}  // namespace
