// The shared thumbnail cache keeps only what a finished file gave: a file that changes
// while it is read, or a JPEG cut short, is shown but never stored for other programs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "imaging/JpegCodec.h"
#include "imaging/PictureLoader.h"
#include "support/TestDir.h"
#include "thumbnails/FreedesktopThumbnails.h"
#include "thumbnails/ThumbnailReader.h"

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;

void SetMTime(const std::string& path, time_t seconds, long nanoseconds) {
  const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The program's picture plug-in, with another program writing to the file while it
// is read: `during` runs inside the first read only.
struct WrittenWhileRead : PictureLoader {
  std::function<void(const std::string&)> during;
  void Touch(const std::string& path) {
    if (during) std::exchange(during, nullptr)(path);
  }
  bool LoadFile(const std::string& path, Bitmap& bitmap) override {
    Touch(path);
    return PictureLoader::LoadFile(path, bitmap);
  }
  bool LoadThumbnail(const std::string& path, Bitmap& bitmap, int w, int h,
                     JpegPerformance performance, int& orgWidth, int& orgHeight) override {
    Touch(path);
    return PictureLoader::LoadThumbnail(path, bitmap, w, h, performance, orgWidth, orgHeight);
  }
};

struct Fixture {
  TestDir dir;
  FreedesktopThumbnails cache{dir.file("cache/thumbnails")};
  WrittenWhileRead plugin;
  ThumbnailReader loader;
  Fixture() {
    loader.SetSharedCache(&cache);
    loader.SetCustomPlugin(&plugin);
  }
  bool HasEntry(const std::string& path) const {
    return fs::exists(cache.EntryPath(path, "normal"));
  }
  bool HasFailure(const std::string& path) const { return fs::exists(cache.FailPath(path)); }
};

std::string RedJpeg() {
  Bitmap red(400, 300);
  red.Fill(clRed);
  const std::vector<uint8_t> data = EncodeJpeg(red, 90);
  return std::string(data.begin(), data.end());
}

bool Reddish(RgbColor c) { return GetRValue(c) > 200 && GetGValue(c) < 60 && GetBValue(c) < 60; }

TEST(SettledThumbnails, AJpegWrittenInTwoPartsWithinOneSecondIsStoredWhole) {
  Fixture f;
  const std::string jpeg = RedJpeg();
  const std::string path = f.dir.file("photo.jpg");
  WriteBytes(path, jpeg.substr(0, jpeg.size() / 2));
  SetMTime(path, 1700000000, 100);
  // The part that arrived is shown (the rest grey), and nothing is stored.
  ASSERT_EQ(f.loader.LoadThumbnail(path, 94, 94, 0), 0);
  EXPECT_FALSE(Reddish(f.loader.Bitmap().Pixel(47, f.loader.Bitmap().Height() - 2)));
  EXPECT_FALSE(f.HasEntry(path));
  EXPECT_FALSE(f.HasFailure(path));

  // The rest comes within the same second: the entry's time (whole seconds) would match.
  WriteBytes(path, jpeg);
  SetMTime(path, 1700000000, 900);
  ASSERT_EQ(f.loader.LoadThumbnail(path, 94, 94, 0), 0);
  EXPECT_TRUE(Reddish(f.loader.Bitmap().Pixel(47, f.loader.Bitmap().Height() - 2)));
  EXPECT_TRUE(f.HasEntry(path));
  // Read again from the entry: the whole picture.
  ASSERT_EQ(f.loader.LoadThumbnail(path, 94, 94, 0), 0);
  EXPECT_TRUE(Reddish(f.loader.Bitmap().Pixel(47, f.loader.Bitmap().Height() - 2)));
}

TEST(SettledThumbnails, AFileThatGrowsWhileReadIsShownButNotStored) {
  Fixture f;
  const std::string path = f.dir.write("growing.jpg", RedJpeg());
  f.plugin.during = [](const std::string& p) {
    std::ofstream(p, std::ios::binary | std::ios::app) << std::string(100, '\0');
  };
  ASSERT_EQ(f.loader.LoadThumbnail(path, 94, 94, 0), 0);
  EXPECT_TRUE(Reddish(f.loader.Bitmap().Pixel(47, 35)));
  EXPECT_FALSE(f.HasEntry(path));
  // Settled now: read again and stored.
  ASSERT_EQ(f.loader.LoadThumbnail(path, 94, 94, 0), 0);
  EXPECT_TRUE(f.HasEntry(path));
}

TEST(SettledThumbnails, AFailureWhileTheFileChangesInNanosecondsIsNotRecorded) {
  Fixture f;
  const std::string path = f.dir.write("coming.jpg", std::string(64, 'x'));
  SetMTime(path, 1700000000, 1000);
  // Only the nanoseconds of its time change while it is read: still not settled.
  f.plugin.during = [](const std::string& p) { SetMTime(p, 1700000000, 2000); };
  EXPECT_NE(f.loader.LoadThumbnail(path, 94, 94, 0), 0);
  EXPECT_FALSE(f.HasFailure(path));
  EXPECT_NE(f.loader.LoadThumbnail(path, 94, 94, 0), 0);
  EXPECT_TRUE(f.HasFailure(path));
}

}  // namespace
}  // namespace quorvane::test
