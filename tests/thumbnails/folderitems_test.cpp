#include "thumbnails/FolderItems.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/FileNames.h"
#include "support/TestDir.h"
#include "support/ChildProcess.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::TestDir;

// A platform that answers type names from the extension and records executions.
struct FakePlatform : ShellPlatform {
  std::vector<std::string> executed;
  bool typesKnown = true;
  int IconIndex(const std::string&, bool Folder) override { return Folder ? 1 : 2; }
  std::string TypeName(const std::string& Path, bool Folder) override {
    if (!typesKnown) return {};
    return Folder ? "folder" : "type" + ExtractFileExt(Path);
  }
  bool Execute(const std::string& Path) override {
    executed.push_back(Path);
    return true;
  }
};

// A host that records what the model told it.
struct RecordingHost : FolderViewHost {
  ShellFolderView* view = nullptr;
  int changing = 0, changed = 0, failed = 0, cancels = 0, cleared = 0;
  std::vector<std::pair<int32_t, bool>> queued;
  bool thumbnails = true;
  void CancelAllJobs() override { ++cancels; }
  void ItemsCleared() override { ++cleared; }
  void FolderChanging() override { ++changing; }
  void FolderChangeFailed() override { ++failed; }
  void FolderChanged() override {
    ++changed;
    view->Refill();
  }
  bool ShowsThumbnails() const override { return thumbnails; }
  void QueueThumbnail(int32_t number, bool urgent) override { queued.push_back({number, urgent}); }
};

std::vector<std::string> Names(GridItems& items) {
  std::vector<std::string> names;
  for (int i = 0; i < items.Count(); ++i) names.push_back(items.Items(i)->DisplayName());
  return names;
}

void SetMtime(const std::string& path, time_t t) {
  const timeval times[2] = {{t, 0}, {t, 0}};
  ASSERT_EQ(utimes(path.c_str(), times), 0);
}

class FolderItemsTest : public ::testing::Test {
 protected:
  FolderItemsTest() : view(&platform, &host) { host.view = &view; }
  ~FolderItemsTest() override { chdir("/"); }
  TestDir dir;
  FakePlatform platform;
  RecordingHost host;
  ShellFolderView view;
};

TEST(FolderItemsTexts, SizeTextCountsStartedKilobytesOfTheWholeSize) {
  EXPECT_EQ(SizeText(0), "1KB");
  EXPECT_EQ(SizeText(1023), "1KB");
  EXPECT_EQ(SizeText(1024), "2KB");
  EXPECT_EQ(SizeText(1536), "2KB");
  EXPECT_EQ(SizeText(int64_t(5) << 30), "5242881KB");  // past 4 GiB: no 32-bit wrap
  EXPECT_EQ(SizeText(int64_t(1) << 40), "1073741825KB");
}

TEST(FolderItemsTexts, DateTextIsLocalMinutes) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(DateText(0), "1970/01/01 00:00");
  EXPECT_EQ(DateText(1700000059), "2023/11/14 22:14");
}

TEST(FolderItemsTexts, NaturalOrderAndValidNames) {
  EXPECT_LT(CompareNatural("img2.jpg", "img10.jpg"), 0);
  EXPECT_LT(CompareNatural("IMG_00009", "img_00010"), 0);
  EXPECT_LT(CompareNatural("abc", "ABD"), 0);
  EXPECT_NE(CompareNatural("a01", "a1"), 0);  // equal numbers: byte order decides
  EXPECT_EQ(CompareNatural("a01", "a01"), 0);
  EXPECT_LT(CompareNatural("a", "a0"), 0);
  EXPECT_GT(CompareNatural("B", "a"), 0);
  EXPECT_LT(CompareNatural("x99999999999999999999998", "x99999999999999999999999"), 0);

  EXPECT_FALSE(IsValidFileName(""));
  EXPECT_FALSE(IsValidFileName("."));
  EXPECT_FALSE(IsValidFileName(".."));
  EXPECT_FALSE(IsValidFileName("a/b"));
  EXPECT_FALSE(IsValidFileName(std::string("a\0b", 3)));
  EXPECT_TRUE(IsValidFileName("사진 1.jpg"));
  EXPECT_TRUE(IsValidFileName("..hidden"));
}

TEST(FolderItemsFilter, ExtensionPatternsWholeNamesAndWildcards) {
  DisplayFilter types;
  int changes = 0;
  types.OnChange = [&](DisplayFilter&) { ++changes; };
  EXPECT_FALSE(types.Restrictive());
  EXPECT_TRUE(types.Match("/x/anything"));

  types.SetExt("*.JPG;*.png");
  EXPECT_EQ(types.MatchList(), ";*.jpg;*.png;");
  EXPECT_TRUE(types.Restrictive());
  EXPECT_TRUE(types.Match("/x/PHOTO.JPG"));
  EXPECT_TRUE(types.Match("/x/a.Png"));
  EXPECT_FALSE(types.Match("/x/a.gif"));
  EXPECT_FALSE(types.Match("/x/jpg"));

  types.SetExt("readme.TXT");
  EXPECT_TRUE(types.Match("/x/README.txt"));
  EXPECT_FALSE(types.Match("/x/other.txt"));

  types.SetExt(";*.gif;*.*;");
  EXPECT_FALSE(types.Restrictive());
  types.SetExt("");
  EXPECT_EQ(types.MatchList(), ";*.*;");
  EXPECT_FALSE(types.Restrictive());
  types.SetExt("");  // no change, no event
  EXPECT_EQ(changes, 4);
}

TEST_F(FolderItemsTest, EnumerationFiltersAndFlags) {
  dir.write("a.JPG", "");
  dir.write("b.png", "");
  dir.write("c.gif", "");
  dir.write(".hidden.jpg", "");
  fs::create_directory(dir.file("album.gif"));  // a folder passes whatever its name
  view.View().DispTypes().SetExt("*.jpg;*.png");
  ASSERT_TRUE(view.OpenFolder(dir.path()));
  EXPECT_EQ(Names(view.Items()),
            (std::vector<std::string>{"album.gif", ".hidden.jpg", "a.JPG", "b.png"}));

  view.View().DispTypes().SetHidden(false);
  view.Refill();
  EXPECT_EQ(Names(view.Items()), (std::vector<std::string>{"album.gif", "a.JPG", "b.png"}));
  view.View().DispTypes().SetFolders(false);
  view.Refill();
  EXPECT_EQ(Names(view.Items()), (std::vector<std::string>{"a.JPG", "b.png"}));
  view.View().DispTypes().SetFolders(true);
  view.View().DispTypes().SetNonFolders(false);
  view.Refill();
  EXPECT_EQ(Names(view.Items()), (std::vector<std::string>{"album.gif"}));

  // A handler that rejects every item leaves an empty view.
  view.View().DispTypes().SetNonFolders(true);
  view.OnImgItemAdd = [](ShellFolderView&, GridItem&, bool& allow) { allow = false; };
  view.Refill();
  EXPECT_EQ(view.Items().Count(), 0);
}

TEST_F(FolderItemsTest, ItemDetails) {
  setenv("TZ", "UTC", 1);
  tzset();
  dir.write("empty.jpg", "");
  dir.write("one.jpg", std::string(1536, 'x'));
  const std::string big = dir.file("big.raw");
  {
    const int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, (int64_t(4) << 30) + 1), 0);  // sparse, 4 GiB + 1 byte
    close(fd);
  }
  SetMtime(dir.file("one.jpg"), 1700000059);
  fs::create_directory(dir.file("sub"));
  ASSERT_TRUE(view.OpenFolder(dir.path()));
  GridItems& items = view.Items();
  ASSERT_EQ(items.Count(), 4);
  GridItem* sub = items.Items(0);
  EXPECT_TRUE(sub->IsFolder());
  EXPECT_EQ(sub->ImageKind(), iitDir);
  EXPECT_EQ(sub->TypeName(), "folder");
  EXPECT_TRUE(sub->Attributes() & kAttrDirectory);

  GridItem* one = items.ItemByNumber(items.Items(3)->Number());
  EXPECT_EQ(one->DisplayName(), "one.jpg");
  EXPECT_EQ(one->ParsingName(), dir.file("one.jpg"));
  EXPECT_EQ(one->SizeText(), "2KB");
  EXPECT_EQ(one->DateText(), "2023/11/14 22:14");
  EXPECT_EQ(one->TypeName(), "type.jpg");
  EXPECT_EQ(one->IconIndex(), 2);
  EXPECT_EQ(one->ImageKind(), iitJpeg);
  EXPECT_EQ(one->Overlay(), kOverlayNone);
  EXPECT_EQ(items.Items(2)->SizeText(), "1KB");
  EXPECT_EQ(items.Items(1)->SizeText(), "4194305KB");

  // Details that fail to load are asked again next time.
  platform.typesKnown = false;
  GridItem* empty = items.Items(2);
  EXPECT_EQ(empty->TypeName(), "");
  platform.typesKnown = true;
  EXPECT_EQ(empty->TypeName(), "type.jpg");
  fs::remove(dir.file("one.jpg"));
  one->Reset();
  EXPECT_EQ(one->SizeText(), "");
  dir.write("one.jpg", std::string(5000, 'x'));
  EXPECT_EQ(one->SizeText(), "5KB");
}

TEST_F(FolderItemsTest, SortKeysAndDescendReverseTheWholeOrder) {
  dir.write("img10.jpg", std::string(10, 'x'));
  dir.write("img2.jpg", std::string(3000, 'x'));
  dir.write("IMG1.png", std::string(2000, 'x'));
  dir.write("b.gif", std::string(1, 'x'));
  fs::create_directory(dir.file("zeta"));
  fs::create_directory(dir.file("Alpha"));
  SetMtime(dir.file("img10.jpg"), 1000);
  SetMtime(dir.file("img2.jpg"), 3000);
  SetMtime(dir.file("IMG1.png"), 2000);
  SetMtime(dir.file("b.gif"), 4000);
  SetMtime(dir.file("zeta"), 200);
  SetMtime(dir.file("Alpha"), 100);
  ASSERT_TRUE(view.OpenFolder(dir.path()));

  const std::vector<std::string> byName = {"Alpha",    "zeta",     "b.gif",
                                           "IMG1.png", "img2.jpg", "img10.jpg"};
  EXPECT_EQ(Names(view.Items()), byName);
  const std::map<SortKind, std::vector<std::string>> expected = {
      {istName, byName},
      {istSize, {"Alpha", "zeta", "b.gif", "img10.jpg", "IMG1.png", "img2.jpg"}},
      {istType, {"Alpha", "zeta", "b.gif", "img2.jpg", "img10.jpg", "IMG1.png"}},
      {istDate, {"Alpha", "zeta", "img10.jpg", "IMG1.png", "img2.jpg", "b.gif"}},
  };
  for (const auto& [key, order] : expected) {
    view.SetSortType(key);
    view.SetDescend(false);
    view.Sort();
    EXPECT_EQ(Names(view.Items()), order) << "key " << key;
    view.SetDescend(true);
    view.Sort();
    std::vector<std::string> reversed(order.rbegin(), order.rend());
    EXPECT_EQ(Names(view.Items()), reversed) << "key " << key << " descending";
  }
  // Positions follow the sort: index of number stays right.
  for (int i = 0; i < view.Items().Count(); ++i)
    EXPECT_EQ(view.Items().IndexOfNumber(view.Items().Items(i)->Number()), i);

  // File mode: names compared case-sensitively, byte by byte.
  view.SetDescend(false);
  view.SetSortType(istName);
  view.SetViewMode(ivmFile);
  view.Sort();
  EXPECT_EQ(Names(view.Items()), (std::vector<std::string>{"Alpha", "IMG1.png", "b.gif",
                                                           "img10.jpg", "img2.jpg", "zeta"}));
}

TEST_F(FolderItemsTest, NavigationOpensOnceGoesUpAndStopsAtTheRoot) {
  fs::create_directories(dir.file("사진 모음/sub"));
  dir.write("사진 모음/a.jpg", "");
  ASSERT_TRUE(view.OpenFolder(dir.file("사진 모음") + "/"));
  EXPECT_EQ(view.FolderPath(), dir.file("사진 모음"));
  EXPECT_EQ(fs::current_path().string(), dir.file("사진 모음"));
  EXPECT_EQ(host.changing, 1);
  EXPECT_EQ(host.changed, 1);
  EXPECT_EQ(view.Items().Count(), 2);

  // The same folder again, spelled differently: nothing happens.
  EXPECT_FALSE(view.OpenFolder(dir.file("사진 모음/sub/..")));
  EXPECT_EQ(host.changed, 1);
  // A missing path: nothing changes.
  EXPECT_FALSE(view.OpenFolder(dir.file("missing")));
  EXPECT_FALSE(view.OpenFolder("relative/path"));
  EXPECT_EQ(view.Items().Count(), 2);
  // A file is no folder: the view empties and the host resumes the old watch.
  EXPECT_FALSE(view.OpenFolder(dir.file("사진 모음/a.jpg")));
  EXPECT_EQ(host.failed, 1);
  EXPECT_EQ(view.Items().Count(), 0);
  EXPECT_EQ(view.FolderPath(), dir.file("사진 모음"));

  // Opening a folder item goes into it.
  view.Refill();
  ASSERT_TRUE(view.Items().Items(0)->Open());
  EXPECT_EQ(view.FolderPath(), dir.file("사진 모음/sub"));
  ASSERT_TRUE(view.UpOneLevel());
  EXPECT_EQ(view.FolderPath(), dir.file("사진 모음"));

  ASSERT_TRUE(view.OpenFolder("/tmp"));
  ASSERT_TRUE(view.UpOneLevel());
  EXPECT_EQ(view.FolderPath(), "/");
  const int changed = host.changed;
  EXPECT_FALSE(view.UpOneLevel());
  EXPECT_EQ(view.FolderPath(), "/");
  EXPECT_EQ(host.changed, changed);

  // File mode: no navigation.
  view.SetViewMode(ivmFile);
  EXPECT_FALSE(view.OpenFolder(dir.path()));
  EXPECT_EQ(view.FolderPath(), "/");
}

TEST_F(FolderItemsTest, AddByPathOnlyForExistingPlainPaths) {
  fs::create_directory(dir.file("in"));
  const std::string b = dir.write("in/b.jpg", "");
  const std::string a = dir.write("in/a.jpg", "");
  ASSERT_TRUE(view.OpenFolder(dir.path()));
  ASSERT_EQ(view.Items().Count(), 1);
  int events = 0;
  view.OnImgItemAdd = [&](ShellFolderView&, GridItem&, bool&) { ++events; };
  view.ViewImage().SetLookAhead(true);

  EXPECT_EQ(view.AddByPath(dir.file("in/missing.jpg")), nullptr);
  EXPECT_EQ(view.AddByPath(dir.file("in/./a.jpg")), nullptr);
  EXPECT_EQ(view.AddByPath(dir.file("in//a.jpg")), nullptr);
  EXPECT_EQ(view.AddByPath(dir.file("in/sub/../a.jpg")), nullptr);
  EXPECT_EQ(view.AddByPath(dir.file("in") + "/"), nullptr);
  EXPECT_EQ(view.AddByPath("/"), nullptr);
  GridItem* itemB = view.AddByPath(b);
  GridItem* itemA = view.AddByPath(a);
  GridItem* folder = view.AddByPath(dir.file("in"));
  ASSERT_TRUE(itemB && itemA && folder);
  EXPECT_EQ(Names(view.Items()), (std::vector<std::string>{"in", "b.jpg", "a.jpg", "in"}));
  EXPECT_EQ(itemA->ParsingName(), a);
  EXPECT_EQ(itemA->FolderName(), dir.file("in"));
  EXPECT_TRUE(folder->IsFolder());
  EXPECT_EQ(events, 0);
  // Files (not folders) are queued for look-ahead, not urgent.
  EXPECT_EQ(host.queued, (std::vector<std::pair<int32_t, bool>>{{itemB->Number(), false},
                                                                {itemA->Number(), false}}));

  EXPECT_EQ(view.SelectionPaths({2, 1, 99}), (std::vector<std::string>{a, b}));
  EXPECT_EQ(view.SelectionPaths({}), std::vector<std::string>{dir.path()});

  GridItem* empty = view.AddByPath("");
  ASSERT_NE(empty, nullptr);
  EXPECT_FALSE(empty->HasIdList());
  EXPECT_EQ(empty->ParsingName(), "");
  EXPECT_FALSE(empty->Open());
  view.Sort();  // the empty item sorts first
  EXPECT_EQ(view.Items().Items(0), empty);
}

TEST_F(FolderItemsTest, FileModeHoldsWhatTheHostAdds) {
  fs::create_directory(dir.file("folder"));
  const std::string file = dir.write("a.jpg", "");
  ASSERT_TRUE(view.OpenFolder(dir.path()));
  view.SetViewMode(ivmFile);
  view.Items().Clear();
  EXPECT_FALSE(view.Enumerate());
  view.Refill();  // nothing in file mode
  EXPECT_EQ(view.Items().Count(), 0);
  GridItem* folder = view.AddByPath(dir.file("folder"));
  ASSERT_TRUE(folder && view.AddByPath(file));
  // A folder is executed, not opened in the view.
  EXPECT_TRUE(folder->Open());
  EXPECT_EQ(platform.executed, std::vector<std::string>{dir.file("folder")});
  EXPECT_EQ(view.FolderPath(), dir.path());
  EXPECT_EQ(view.Items().Count(), 2);
}

TEST_F(FolderItemsTest, CollectionNumbersAndBounds) {
  for (int i = 0; i < 5; ++i) dir.write("f" + std::to_string(i), "");
  ASSERT_TRUE(view.OpenFolder(dir.path()));
  GridItems& items = view.Items();
  ASSERT_EQ(items.Count(), 5);
  EXPECT_EQ(items.Items(-1), nullptr);
  EXPECT_EQ(items.Items(5), nullptr);
  const int32_t first = items.Items(0)->Number();
  const int32_t third = items.Items(2)->Number();
  items.Delete(1);
  EXPECT_EQ(items.Count(), 4);
  EXPECT_EQ(items.IndexOfNumber(third), 1);
  EXPECT_EQ(items.IndexOfNumber(first), 0);
  EXPECT_EQ(items.IndexOfNumber(-5), -1);

  const int32_t counter = items.Counter();
  const int cancels = host.cancels;
  view.Refill();
  EXPECT_EQ(host.cancels, cancels + 1);  // clearing cancels the thumbnail jobs first
  EXPECT_EQ(items.IndexOfNumber(first), -1);
  for (int i = 0; i < items.Count(); ++i) EXPECT_GE(items.Items(i)->Number(), counter);
}

TEST_F(FolderItemsTest, RenameRefusesBadAndExistingNames) {
  dir.write("a.jpg", "A");
  dir.write("b.jpg", "B");
  ASSERT_TRUE(view.OpenFolder(dir.path()));
  GridItem* a = view.Items().Items(0);
  std::string error;
  for (const std::string bad : {"", ".", "..", "x/y.jpg", "b.jpg"}) {
    EXPECT_FALSE(a->Rename(bad, &error)) << bad;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(a->DisplayName(), "a.jpg");
  }
  EXPECT_EQ(test::ReadFileBytes(dir.file("b.jpg")), "B");  // never replaced
  EXPECT_EQ(test::ReadFileBytes(dir.file("a.jpg")), "A");
  EXPECT_TRUE(a->CanRename());
  ASSERT_TRUE(a->Rename("새 이름.jpg"));
  EXPECT_EQ(a->DisplayName(), "새 이름.jpg");
  EXPECT_EQ(a->ParsingName(), dir.file("새 이름.jpg"));
  EXPECT_EQ(test::ReadFileBytes(dir.file("새 이름.jpg")), "A");
  EXPECT_FALSE(fs::exists(dir.file("a.jpg")));
}

TEST_F(FolderItemsTest, OddEntriesAreListedAndNeverOpened) {
  ASSERT_EQ(mkfifo(dir.file("pipe.jpg").c_str(), 0644), 0);
  fs::create_directory(dir.file("target"));
  dir.write("target/inside.jpg", "");
  fs::create_symlink(dir.file("target"), dir.file("link"));
  fs::create_symlink(dir.file("nowhere"), dir.file("broken.jpg"));
  dir.write("bad\xff\xfename.jpg", "");
  dir.write("doc.txt", "");
  ASSERT_TRUE(view.OpenFolder(dir.path()));
  GridItems& items = view.Items();
  EXPECT_EQ(Names(items), (std::vector<std::string>{"link", "target", "bad\xff\xfename.jpg",
                                                    "broken.jpg", "doc.txt", "pipe.jpg"}));
  GridItem* pipe = items.Items(5);
  EXPECT_TRUE(pipe->IsSpecialFile());
  EXPECT_EQ(pipe->ImageKind(), iitNone);
  EXPECT_FALSE(items.NeedsThumbnail(5));
  GridItem* broken = items.Items(3);
  EXPECT_FALSE(broken->IsFolder());
  EXPECT_EQ(broken->Overlay(), kOverlayLink);
  EXPECT_EQ(broken->SizeText(), "1KB");
  EXPECT_TRUE(items.NeedsThumbnail(2));  // a name that is not UTF-8 is still a JPEG
  view.ViewImage().SetDispImage({iitDir, iitCustom});
  items.Items(2)->Reset();
  EXPECT_FALSE(items.NeedsThumbnail(2));

  // Anything but a folder is executed by the platform.
  EXPECT_TRUE(items.Items(4)->Open());
  EXPECT_EQ(platform.executed, std::vector<std::string>{dir.file("doc.txt")});
  // A link to a folder is a folder and opens the folder it points at.
  GridItem* link = items.Items(0);
  EXPECT_TRUE(link->IsFolder());
  EXPECT_EQ(link->Overlay(), kOverlayLink);
  ASSERT_TRUE(link->Open());
  EXPECT_EQ(view.FolderPath(), dir.file("target"));
}

TEST_F(FolderItemsTest, UnreadableFolderOpensEmpty) {
  fs::create_directory(dir.file("locked"));
  dir.write("locked/a.jpg", "");
  dir.write("open.jpg", "");
  chmod(dir.path().c_str(), 0755);
  chmod(dir.file("open.jpg").c_str(), 0644);
  chmod(dir.file("locked").c_str(), 0700);  // root's alone
  const int status = test::RunUnprivileged([&] {
    ShellFolderView view;
    if (!view.OpenFolder(dir.path()) || view.Items().Count() != 2) return 1;
    GridItem* locked = view.Items().Items(0);
    GridItem* open = view.Items().Items(1);
    if (open->CanRename() || !(open->Attributes() & kAttrReadOnly)) return 2;
    if (!locked->Open() || view.FolderPath() != dir.file("locked")) return 3;
    if (view.Items().Count() != 0) return 4;  // shown, empty
    if (!view.UpOneLevel() || view.Items().Count() != 2) return 5;
    return 0;
  });
  EXPECT_EQ(status, 0);
}

TEST_F(FolderItemsTest, LookAheadQueuesFilesOnlyWhenThumbnailsShow) {
  dir.write("a.jpg", "");
  dir.write("b.jpg", "");
  fs::create_directory(dir.file("sub"));
  view.ViewImage().SetLookAhead(true);
  host.thumbnails = false;
  ASSERT_TRUE(view.OpenFolder(dir.path()));
  EXPECT_TRUE(host.queued.empty());
  host.thumbnails = true;
  view.Refill();
  ASSERT_EQ(host.queued.size(), 2u);
  for (const auto& [number, urgent] : host.queued) {
    EXPECT_FALSE(urgent);
    ASSERT_NE(view.Items().ItemByNumber(number), nullptr);
    EXPECT_FALSE(view.Items().ItemByNumber(number)->IsFolder());
  }
}

TEST_F(FolderItemsTest, WithLookAheadAPictureNotKeptWaitsForItsCell) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) dir.write(name, "");
  view.ViewImage().SetLookAhead(true);
  ASSERT_TRUE(view.OpenFolder(dir.path()));
  PictureStore& store = view.Thumbnails();
  store.SetBudget(size_t(store.CellWidth()) * store.CellHeight() * 3 * 2);  // two pictures
  ThumbnailReader& loader = view.ViewImage().ImgUtil();
  loader.Bitmap() = test::PatternBitmap(94, 60);
  GridItem* items[4];
  for (int i = 0; i < 4; ++i) items[i] = view.Items().Items(i);
  ThumbnailJob job;
  const auto store1 = [&](GridItem* item, bool shown) {
    EXPECT_TRUE(view.PrepareThumbnailJob(item->Number(), job));
    view.StoreThumbnailResult(item->Number(), 0, loader, shown);
  };
  store1(items[0], false);
  store1(items[1], false);  // the store is full now
  store1(items[2], false);  // off screen: not kept, and not made again
  EXPECT_EQ(store.Count(), 2);
  EXPECT_TRUE(items[2]->LookedAhead && !items[2]->Handled && items[2]->ThumbnailIndex < 0);
  EXPECT_FALSE(view.PrepareThumbnailJob(items[2]->Number(), job));
  store1(items[3], true);  // on screen: kept in place of the picture shown least recently
  EXPECT_TRUE(items[3]->Handled && items[3]->ThumbnailIndex >= 0);
  EXPECT_TRUE(items[0]->LookedAhead && !items[0]->Handled && items[0]->ThumbnailIndex < 0);
  EXPECT_FALSE(view.PrepareThumbnailJob(items[0]->Number(), job));
  EXPECT_TRUE(items[1]->Handled);
}

TEST_F(FolderItemsTest, StoringResults) {
  dir.write("a.jpg", "");
  dir.write("b.jpg", "");
  ASSERT_TRUE(view.OpenFolder(dir.path()));
  GridItem* a = view.Items().Items(0);
  GridItem* b = view.Items().Items(1);
  ThumbnailReader& loader = view.ViewImage().ImgUtil();
  loader.Bitmap() = test::PatternBitmap(94, 60);

  ThumbnailJob job;
  ASSERT_TRUE(view.PrepareThumbnailJob(a->Number(), job));
  EXPECT_EQ(job.Number, a->Number());
  EXPECT_EQ(job.Path, dir.file("a.jpg"));
  EXPECT_EQ(job.Kind, iitJpeg);
  EXPECT_EQ(job.Width, 94);
  EXPECT_FALSE(view.PrepareThumbnailJob(-7, job));

  EXPECT_EQ(view.StoreThumbnailResult(-7, 0, loader), -1);
  EXPECT_EQ(view.StoreThumbnailResult(a->Number(), 0, loader), 0);
  EXPECT_TRUE(a->Handled);
  EXPECT_FALSE(view.PrepareThumbnailJob(a->Number(), job));  // handled: never again
  EXPECT_EQ(a->ThumbnailIndex, 0);
  Bitmap cell;
  ASSERT_TRUE(a->GetThumbnail(cell));
  EXPECT_EQ(cell.Width(), 94);
  EXPECT_EQ(cell.Pixel(0, 17), test::PatternBitmap(94, 60).Pixel(0, 0));  // centred

  // A result for an item already handled, or a failure, turns the kind to iitNone.
  EXPECT_EQ(a->ImageKind(), iitJpeg);
  view.StoreThumbnailResult(a->Number(), 0, loader);
  EXPECT_EQ(a->ImageKind(), iitNone);
  EXPECT_EQ(view.StoreThumbnailResult(b->Number(), 1, loader), 1);
  EXPECT_EQ(b->ImageKind(), iitNone);
  EXPECT_FALSE(b->Handled);
  EXPECT_FALSE(b->GetThumbnail(cell));
  EXPECT_FALSE(view.Items().NeedsThumbnail(1));

  // SetThumbnail over an existing cell replaces it in place.
  Bitmap red(94, 94);
  red.Fill(clRed);
  a->SetThumbnail(red);
  EXPECT_EQ(a->ThumbnailIndex, 0);
  ASSERT_TRUE(a->GetThumbnail(cell));
  EXPECT_EQ(cell.Pixel(50, 50), clRed);
}

TEST(ImgUtilClassify, ClassificationLeavesTheLoaderAlone) {
  ThumbnailReader loader;
  TestDir dir;
  const std::string jpg = dir.write("x.jpg", "");
  ASSERT_EQ(loader.CheckImageType(jpg), 0);
  EXPECT_EQ(loader.ImageType(), iitJpeg);
  EXPECT_EQ(loader.ClassifyImageType(dir.file("y.bmp")), iitBmp);
  EXPECT_EQ(loader.ClassifyImageType(dir.path()), iitDir);
  EXPECT_EQ(loader.ClassifyImageType(dir.file("z.unknown")), iitNone);
  EXPECT_EQ(loader.ImageType(), iitJpeg);  // unchanged by the const form
}

}  // namespace
}  // namespace quorvane
