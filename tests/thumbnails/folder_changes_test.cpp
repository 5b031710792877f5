// Following the disk: a new file that got a freed inode number is not a rename, and a
// changed file's old cell never takes its new thumbnail away.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "imaging/BmpFile.h"
#include "support/TestDir.h"
#include "thumbnails/FolderItems.h"

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;

uint64_t Inode(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? uint64_t(st.st_ino) : 0;
}

void WriteFlat(const std::string& path, int w, int h, RgbColor colour) {
  Bitmap picture(w, h);
  picture.Fill(colour);
  WriteBmpFile(path, picture);
}

struct Folder {
  TestDir dir;
  ShellFolderView view;
  ThumbnailReader loader;

  GridItem* Item(const std::string& name) {
    for (int i = 0; i < view.Items().Count(); ++i)
      if (view.Items().Items(i)->Name() == name) return view.Items().Items(i);
    return nullptr;
  }
  // Makes and stores an item's thumbnail as a worker and the view would.
  bool Make(const std::string& name) {
    ThumbnailJob job;
    GridItem* item = Item(name);
    if (!item || !view.PrepareThumbnailJob(item->Number(), job)) return false;
    const int result = loader.LoadThumbnail(job.Path, job.Width, job.Height, 0);
    return view.StoreThumbnailResult(job.Number, result, loader) >= 0 && result == 0;
  }
  RgbColor Centre(const std::string& name) {
    Bitmap cell;
    GridItem* item = Item(name);
    if (!item || !item->GetThumbnail(cell)) return RgbColor(0x010203);  // no thumbnail
    return cell.Pixel(cell.Width() / 2, cell.Height() / 2);
  }
};

// The plan for a vanished a.bmp whose inode number b.bmp now carries.
void ExpectRemovalAndNewFile(Folder& f, int32_t aNumber) {
  const ShellFolderView::MergePlan plan = f.view.PlanMerge(nullptr);
  EXPECT_TRUE(plan.Rename.empty());
  EXPECT_EQ(plan.Remove, std::vector<int32_t>{aNumber});
  ASSERT_EQ(plan.Add.size(), 1u);
  EXPECT_EQ(plan.Add[0].Name, "b.bmp");
}

TEST(FolderChanges, ANewFileOnAFreedInodeIsARemovalAndANewFile) {
  Folder f;
  const std::string a = f.dir.file("a.bmp"), b = f.dir.file("b.bmp");
  WriteFlat(a, 40, 30, clRed);
  const std::string blue = f.dir.file("blue.src");
  WriteFlat(blue, 20, 50, clBlue);
  ASSERT_TRUE(f.view.OpenFolder(f.dir.path()));
  ASSERT_TRUE(f.Make("a.bmp"));
  const uint64_t inode = Inode(a);
  // rm a.bmp; cp blue b.bmp: ext4 hands the freed number to the new file.
  fs::remove(a);
  fs::copy_file(blue, b);
  if (Inode(b) != inode) GTEST_SKIP() << "this file system did not reuse the inode";
  ExpectRemovalAndNewFile(f, f.Item("a.bmp")->Number());
}

TEST(FolderChanges, TheSameInodeWithOtherContentsIsNotARename) {
  Folder f;
  const std::string a = f.dir.file("a.bmp"), b = f.dir.file("b.bmp");
  WriteFlat(a, 40, 30, clRed);
  const std::string blue = f.dir.file("blue.src");
  WriteFlat(blue, 20, 50, clBlue);
  ASSERT_TRUE(f.view.OpenFolder(f.dir.path()));
  ASSERT_TRUE(f.Make("a.bmp"));
  const int32_t aNumber = f.Item("a.bmp")->Number();
  const uint64_t inode = Inode(a);
  // Moved, then written over in place: the number is the same, the file is not.
  fs::rename(a, b);
  fs::copy_file(blue, b, fs::copy_options::overwrite_existing);
  ASSERT_EQ(Inode(b), inode);
  ExpectRemovalAndNewFile(f, aNumber);

  // A true rename (same number, size and time) keeps the item and its thumbnail.
  fs::copy_file(blue, a);
  f.view.Refill();
  ASSERT_TRUE(f.Make("a.bmp"));
  const int32_t number = f.Item("a.bmp")->Number();
  fs::rename(a, f.dir.file("c.bmp"));
  const ShellFolderView::MergePlan moved = f.view.PlanMerge(nullptr);
  ASSERT_EQ(moved.Rename.size(), 1u);
  EXPECT_EQ(moved.Rename[0], std::make_pair(number, std::string("c.bmp")));
  EXPECT_TRUE(moved.Remove.empty() && moved.Add.empty() && moved.Change.empty());
}

TEST(FolderChanges, TheOldCellOfAChangedFileNeverClearsItsNewThumbnail) {
  Folder f;
  const std::string a = f.dir.file("a.bmp");
  WriteFlat(a, 40, 30, clRed);
  ASSERT_TRUE(f.view.OpenFolder(f.dir.path()));
  PictureStore& store = f.view.Thumbnails();
  store.SetBudget(size_t(store.CellWidth()) * store.CellHeight() * 3);  // one picture
  ASSERT_TRUE(f.Make("a.bmp"));
  EXPECT_EQ(f.Centre("a.bmp"), clRed);

  WriteFlat(a, 30, 40, clBlue);  // rewritten in place
  const ShellFolderView::MergePlan plan = f.view.PlanMerge(nullptr);
  ASSERT_EQ(plan.Change.size(), 1u);
  f.view.ForgetChanged(*f.Item("a.bmp"));
  ASSERT_TRUE(f.Make("a.bmp"));  // takes the only cell, which held its old picture
  GridItem* item = f.Item("a.bmp");
  EXPECT_TRUE(item->Handled);
  EXPECT_GE(item->ThumbnailIndex, 0);
  EXPECT_EQ(item->SourceWidth, 30);
  EXPECT_EQ(f.Centre("a.bmp"), clBlue);
}

}  // namespace
}  // namespace quorvane::test
