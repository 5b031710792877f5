// The main window's folder scan and the output folder of a batch.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "processing/OutputFolder.h"
#include "thumbnails/FolderScan.h"
#include "support/TestDir.h"

using namespace quorvane;
using namespace quorvane::test;

TEST(FolderScan, ListsVisibleRegularPictureFilesInNaturalOrder) {
  TestDir dir;
  for (const char* name : {"img10.png", "img2.JPG", "Img1.gif", "사진 3.tiff", "a.rgba", "b.txt",
                           "c.ico", ".hidden.png", "noext", "d.jpe", "e.jpeg.bak"})
    dir.write(name, "x");
  ASSERT_EQ(::mkdir(dir.file("folder.png").c_str(), 0777), 0);  // a folder, not a file
  ASSERT_EQ(::symlink("img2.JPG", dir.file("link.bmp").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere.png", dir.file("dangling.png").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.file("pipe.png").c_str(), 0666), 0);

  const std::vector<std::string> expected = {
      dir.file("a.rgba"),    dir.file("d.jpe"),    dir.file("Img1.gif"),   dir.file("img2.JPG"),
      dir.file("img10.png"), dir.file("link.bmp"), dir.file("사진 3.tiff")};
  EXPECT_EQ(ListImageFiles(dir.path(), nullptr), expected);
  // A trailing "/" changes nothing.
  EXPECT_EQ(ListImageFiles(dir.path() + "/", nullptr), expected);
}

TEST(FolderScan, NothingForNoFolderAndStopsWhenAsked) {
  EXPECT_TRUE(ListImageFiles("", nullptr).empty());
  EXPECT_TRUE(ListImageFiles("/nonexistent/folder", nullptr).empty());
  TestDir dir;
  dir.write("a.png", "x");
  StopFlag stop;
  stop.Terminate();
  EXPECT_TRUE(ListImageFiles(dir.path(), &stop).empty());
}

TEST(FolderScan, OutputFolder) {
  // Nothing chosen, or the source itself (with or without a trailing "/" or blanks).
  EXPECT_EQ(OutputFolderFor("/home/me/사진", ""), "/home/me/사진/quorvane-conv");
  EXPECT_EQ(OutputFolderFor("/home/me/사진", "   "), "/home/me/사진/quorvane-conv");
  EXPECT_EQ(OutputFolderFor("/home/me/사진", "/home/me/사진/"), "/home/me/사진/quorvane-conv");
  EXPECT_EQ(OutputFolderFor("/home/me/사진/", "/home/me/사진 "), "/home/me/사진/quorvane-conv");
  // Another folder is used as it is; the comparison is case-sensitive.
  EXPECT_EQ(OutputFolderFor("/home/me/사진", "/tmp/out/"), "/tmp/out");
  EXPECT_EQ(OutputFolderFor("/home/me/Pics", "/home/me/pics"), "/home/me/pics");
  // The root stays the root, as a choice and as a source.
  EXPECT_EQ(OutputFolderFor("/home/me", "/"), "/");
  EXPECT_EQ(OutputFolderFor("/", ""), "/quorvane-conv");
  EXPECT_EQ(OutputFolderFor("/", "/"), "/quorvane-conv");
}
