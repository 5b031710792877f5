#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "folders/FolderNamespace.h"
#include "folders/FolderWatch.h"
#include "support/TestDir.h"

using namespace quorvane;
using quorvane::test::TestDir;

namespace {

void MakeFolder(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0777), 0) << path; }

std::map<std::string, SubFolder> ListByName(const std::string& path) {
  std::vector<SubFolder> folders;
  std::string error;
  EXPECT_TRUE(ListSubFolders(path, folders, error)) << error;
  std::map<std::string, SubFolder> byName;
  for (const SubFolder& folder : folders) byName[folder.name] = folder;
  return byName;
}

// Waits up to a second for inotify events and reads them.
std::vector<FolderWatch::Event> WaitForEvents(FolderWatch& watch) {
  std::vector<FolderWatch::Event> events;
  for (int i = 0; i < 20 && events.empty(); ++i) {
    pollfd pfd{watch.Fd(), POLLIN, 0};
    poll(&pfd, 1, 50);
    events = watch.ReadEvents();
  }
  return events;
}

}  // namespace

TEST(FolderPaths, NormalisationKeepsOnlyTheRootsSeparator) {
  EXPECT_EQ(NormalizeFolderPath("/"), "/");
  EXPECT_EQ(NormalizeFolderPath("//"), "/");
  EXPECT_EQ(NormalizeFolderPath("/a"), "/a");
  EXPECT_EQ(NormalizeFolderPath("/a/"), "/a");
  EXPECT_EQ(NormalizeFolderPath("//home//me/./사진 폴더/"), "/home/me/사진 폴더");
  EXPECT_EQ(NormalizeFolderPath("/a/b/../c/.."), "/a");
  EXPECT_EQ(NormalizeFolderPath("/../.."), "/");
  EXPECT_EQ(NormalizeFolderPath(""), "");
  EXPECT_EQ(NormalizeFolderPath("relative/path"), "");
  EXPECT_EQ(NormalizeFolderPath("~/x"), "");
}

TEST(FolderPaths, InsideParentNameAndNamesBelow) {
  EXPECT_TRUE(IsInsideFolder("/a", "/"));
  EXPECT_TRUE(IsInsideFolder("/", "/"));
  EXPECT_TRUE(IsInsideFolder("/a/b", "/a"));
  EXPECT_TRUE(IsInsideFolder("/a", "/a"));
  EXPECT_FALSE(IsInsideFolder("/ab", "/a"));
  EXPECT_FALSE(IsInsideFolder("/a", "/a/b"));
  EXPECT_EQ(ParentFolderPath("/a"), "/");
  EXPECT_EQ(ParentFolderPath("/a/b c"), "/a");
  EXPECT_EQ(ParentFolderPath("/"), "");
  EXPECT_EQ(FolderPathName("/"), "/");
  EXPECT_EQ(FolderPathName("/a/사진"), "사진");
  EXPECT_EQ(JoinFolderPath("/", "a"), "/a");
  EXPECT_EQ(JoinFolderPath("/a", "b"), "/a/b");
  EXPECT_EQ(PathNamesBelow("/a/b/c", "/a"), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(PathNamesBelow("/a/b", "/"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(PathNamesBelow("/a", "/a").empty());
}

TEST(FolderPaths, TextOrderIgnoresAsciiCaseThenFallsBackToBytes) {
  std::vector<std::string> names{"b", "사진", "A", "a", ".hidden", "B2", "가나"};
  std::sort(names.begin(), names.end(), [](const std::string& x, const std::string& y) {
    return CompareFolderTexts(x, y) < 0;
  });
  EXPECT_EQ(names, (std::vector<std::string>{".hidden", "A", "a", "b", "B2", "가나", "사진"}));
  EXPECT_EQ(CompareFolderTexts("abc", "abc"), 0);
  EXPECT_EQ(AsciiUpper("aé사진z"), "Aé사진Z");
  EXPECT_EQ(AsciiLower("ÄBC사진"), "Äbc사진");
  EXPECT_TRUE(EqualsIgnoringAsciiCase("Photos", "pHOTOS"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("Photos", "Photo"));
}

TEST(FolderPaths, HomeFolderComesFromHomeElseThePasswordEntry) {
  const char* saved = getenv("HOME");
  const std::string previous = saved ? saved : "";
  setenv("HOME", "/tmp//some home/", 1);
  EXPECT_EQ(HomeFolder(), "/tmp/some home");
  setenv("HOME", "not/absolute", 1);
  const std::string fallback = HomeFolder();
  EXPECT_FALSE(fallback.empty());
  EXPECT_EQ(fallback[0], '/');
  unsetenv("HOME");
  EXPECT_EQ(HomeFolder(), fallback);
  if (saved) setenv("HOME", previous.c_str(), 1);
}

TEST(SubFolders, ListsFoldersHiddenOnesAndLinksWithTheirMarks) {
  TestDir dir;
  const std::string top = dir.file("top");
  MakeFolder(top);
  MakeFolder(top + "/leaf");
  MakeFolder(top + "/사진 폴더");
  MakeFolder(top + "/사진 폴더/inner");
  MakeFolder(top + "/.hidden");
  MakeFolder(top + "/only link");
  ASSERT_EQ(symlink((top + "/leaf").c_str(), (top + "/only link/to leaf").c_str()), 0);
  MakeFolder(top + "/files only");
  dir.write("top/files only/a.txt", "x");
  dir.write("top/plain.txt", "x");
  ASSERT_EQ(symlink((top + "/leaf").c_str(), (top + "/link").c_str()), 0);
  ASSERT_EQ(symlink((top + "/plain.txt").c_str(), (top + "/file link").c_str()), 0);
  ASSERT_EQ(symlink((top + "/nowhere").c_str(), (top + "/broken").c_str()), 0);

  const auto byName = ListByName(top);
  std::vector<std::string> names;
  for (const auto& [name, folder] : byName) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{".hidden", "files only", "leaf", "link", "only link",
                                             "사진 폴더"}));
  EXPECT_FALSE(byName.at("leaf").hasSubFolders);
  EXPECT_FALSE(byName.at("files only").hasSubFolders);
  EXPECT_TRUE(byName.at("사진 폴더").hasSubFolders);
  EXPECT_TRUE(byName.at("only link").hasSubFolders);  // a link to a folder is a folder
  EXPECT_TRUE(byName.at("link").isLink);
  EXPECT_FALSE(byName.at("leaf").isLink);
  EXPECT_TRUE(HasSubFolders(top));
  EXPECT_FALSE(HasSubFolders(top + "/leaf"));

  std::vector<SubFolder> unprobed;
  std::string error;
  ASSERT_TRUE(ListSubFolders(top, unprobed, error, false));
  EXPECT_TRUE(std::all_of(unprobed.begin(), unprobed.end(),
                          [](const SubFolder& f) { return f.hasSubFolders; }));

  EXPECT_FALSE(ListSubFolders(top + "/missing", unprobed, error));
  EXPECT_NE(error.find("missing"), std::string::npos);
  EXPECT_FALSE(ListSubFolders(top + "/plain.txt", unprobed, error));
}

TEST(Volumes, MountTableGivesRootFirstThenDiskAndNetworkMounts) {
  const std::string table =
      "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
      "24 27 0:6 / /dev rw - devtmpfs devtmpfs rw\n"
      "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
      "28 27 0:25 / /mnt/sandbox ro - tmpfs none ro\n"
      "40 27 8:17 / /media/me/USB\\040Stick rw shared:5 - vfat /dev/sdb1 rw\n"
      "41 27 0:50 / /mnt/nas rw - nfs4 server:/export rw\n"
      "42 27 0:51 / /home/me/remote rw - fuse.sshfs me@host:/ rw\n"
      "43 27 0:52 / /mnt/share rw - cifs //host/share rw\n"
      "44 27 8:2 / /data rw - xfs /dev/sda2 rw\n"
      "45 27 8:3 / /data rw - btrfs /dev/sda3 rw\n"
      "46 27 0:60 / /run/user/1000 rw - tmpfs tmpfs rw\n"
      "47 27 8:2 /hosts /etc/hosts rw - ext4 /dev/vda rw\n"
      "garbage line\n";
  const std::vector<Volume> volumes = ParseMountInfo(table);
  std::vector<std::string> points;
  for (const Volume& v : volumes) points.push_back(v.mountPoint);
  EXPECT_EQ(points,
            (std::vector<std::string>{"/", "/media/me/USB Stick", "/mnt/nas", "/home/me/remote",
                                      "/mnt/share", "/data", "/etc/hosts"}));
  EXPECT_EQ(volumes[0].fsType, "ext4");
  EXPECT_FALSE(volumes[1].network);
  EXPECT_TRUE(volumes[2].network);
  EXPECT_TRUE(volumes[3].network);
  EXPECT_TRUE(volumes[4].network);
  EXPECT_EQ(volumes[5].fsType, "btrfs");  // mounted over: the later mount shows
  EXPECT_EQ(volumes[5].device, "/dev/sda3");

  // "/" is there even when the table cannot be read.
  const std::vector<Volume> none = ParseMountInfo("");
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0].mountPoint, "/");

  EXPECT_EQ(VolumeForPath(volumes, "/media/me/USB Stick/사진"), 1);
  EXPECT_EQ(VolumeForPath(volumes, "/media/me/USB"), 0);
  EXPECT_EQ(VolumeForPath(volumes, "/data"), 5);
  EXPECT_EQ(VolumeForPath(volumes, "/"), 0);
  EXPECT_EQ(VolumeForPath({}, "/x"), -1);
  for (const char* type : {"nfs", "cifs", "smb3", "sshfs", "fuse.sshfs", "fuse.gvfsd-fuse"})
    EXPECT_TRUE(IsNetworkFileSystem(type)) << type;
  EXPECT_FALSE(IsNetworkFileSystem("ext4"));

  // The live table always has "/" first and only folders as mount points.
  const std::vector<Volume> live = MountedVolumes();
  ASSERT_FALSE(live.empty());
  EXPECT_EQ(live[0].mountPoint, "/");
  for (const Volume& v : live) EXPECT_TRUE(v.network || IsFolder(v.mountPoint)) << v.mountPoint;
}

TEST(FolderWatchTest, ReportsFoldersComingAndGoing) {
  TestDir dir;
  FolderWatch watch;
  if (!watch.Ok()) GTEST_SKIP() << "no inotify here";
  const std::string top = dir.file("watched 폴더");
  MakeFolder(top);
  ASSERT_TRUE(watch.Add(top));
  EXPECT_TRUE(watch.Add(top));  // twice is once
  EXPECT_EQ(watch.Count(), 1u);
  EXPECT_FALSE(watch.Add(dir.file("missing")));

  MakeFolder(top + "/새 폴더");
  auto events = WaitForEvents(watch);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, FolderWatch::Event::Created);
  EXPECT_EQ(events[0].folder, top);
  EXPECT_EQ(events[0].name, "새 폴더");
  EXPECT_TRUE(events[0].isFolder);

  ASSERT_EQ(rename((top + "/새 폴더").c_str(), (top + "/renamed").c_str()), 0);
  events = WaitForEvents(watch);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, FolderWatch::Event::Removed);
  EXPECT_EQ(events[0].name, "새 폴더");
  EXPECT_EQ(events[1].kind, FolderWatch::Event::Created);
  EXPECT_EQ(events[1].name, "renamed");

  dir.write("watched 폴더/file.txt", "x");
  events = WaitForEvents(watch);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_FALSE(events[0].isFolder);

  // A second path to the same folder is reported under both names.
  const std::string link = dir.file("link");
  ASSERT_EQ(symlink(top.c_str(), link.c_str()), 0);
  ASSERT_TRUE(watch.Add(link));
  ASSERT_EQ(rmdir((top + "/renamed").c_str()), 0);
  events = WaitForEvents(watch);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, FolderWatch::Event::Removed);
  EXPECT_NE(events[0].folder, events[1].folder);

  // Removing one path keeps the other watched; removing the folder ends the watch.
  watch.Remove(link);
  EXPECT_TRUE(watch.IsWatched(top));
  EXPECT_FALSE(watch.IsWatched(link));
  ASSERT_EQ(unlink((top + "/file.txt").c_str()), 0);
  ASSERT_EQ(rmdir(top.c_str()), 0);
  for (int i = 0; i < 20 && watch.IsWatched(top); ++i) WaitForEvents(watch);
  EXPECT_FALSE(watch.IsWatched(top));
}

TEST(FolderWatchTest, WithoutInotifyEverythingIsANoOp) {
  TestDir dir;
  // No descriptor left: inotify cannot be had, as when the per-user limit is reached.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 64);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> fillers;
  for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers.push_back(fd);
  auto watch = std::make_unique<FolderWatch>();
  for (int fd : fillers) close(fd);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);

  EXPECT_FALSE(watch->Ok());
  EXPECT_EQ(watch->Fd(), -1);
  EXPECT_FALSE(watch->Add(dir.path()));
  EXPECT_FALSE(watch->IsWatched(dir.path()));
  MakeFolder(dir.file("new"));
  EXPECT_TRUE(watch->ReadEvents().empty());
  watch->Remove(dir.path());
  watch->Clear();
}
