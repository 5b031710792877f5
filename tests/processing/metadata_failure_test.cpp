// A metadata helper that cannot do its work fails no conversion: the batch reports
// "메타데이터를 복사할 수 없습니다." after the file's line, counts no error, and reads the
// picture as stored.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "processing/ConvertEngine.h"
#include "processing/ConvertTestHelpers.h"
#include "imaging/ReadImage.h"
#include "support/ExifSamples.h"

using namespace quorvane;
using namespace quorvane::test;

TEST(MetadataFailure, IsReportedAfterTheFilesLineAndCountsAsNoError) {
  if (!HaveExiftool()) GTEST_SKIP() << "exiftool missing";
  ASSERT_TRUE(CodecReady());
  TestDir dir;
  // A helper that ends at once: every metadata call finds it gone.
  const std::string helper = dir.write("broken-helper", "#!/bin/sh\nexit 0\n");
  ASSERT_EQ(RunCommand("chmod +x " + ShellQuote(helper)), 0);
  ASSERT_EQ(setenv("QUORVANE_META_HELPER", helper.c_str(), 1), 0);

  const std::string source = WriteOriented(dir, "photo.jpg", PatternBitmap(30, 20), 6);
  ASSERT_TRUE(Exiftool("-Make=Quorvane", source));
  ConvertEngine engine;
  engine.Params.FileList = {source};
  engine.Params.OutputFolder = dir.file("out");
  RecordingHost host;
  engine.TransProc(host, nullptr);
  EXPECT_TRUE(engine.AllSucceeded());
  EXPECT_EQ(engine.ErrorCount(), 0);
  ASSERT_EQ(host.lines.size(), 3u);
  EXPECT_EQ(host.lines[1], FileLine(source, 1, 1));
  EXPECT_EQ(host.lines[2], kMemoMetadataFailed);
  Bitmap written;
  ASSERT_TRUE(ReadImageFile(engine.OutputPathFor(source), written, false));
  EXPECT_EQ(written.Width(), 30);  // no orientation could be read: as stored
  // The copy the metadata was to go into is gone.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.file("out")))
    ++entries;
  EXPECT_EQ(entries, 1);
}
