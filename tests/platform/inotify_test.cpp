// The folder watch's events in detail: kinds, folders, names, renames paired, subtrees
// followed, the watched folder lost, and a wait woken from another thread.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/Inotify.h"
#include "support/TestDir.h"

using namespace quorvane;
using quorvane::test::TestDir;

namespace {

using Kind = InotifyEvent::Kind;

// Events until none come for 100 ms (at most two seconds in all).
std::vector<InotifyEvent> Collect(InotifyWatch& watch) {
  std::vector<InotifyEvent> all, some;
  for (int i = 0; i < 20 && watch.Wait(100, some) == InotifyWatch::kEvents; ++i)
    all.insert(all.end(), some.begin(), some.end());
  return all;
}

std::string Show(const std::vector<InotifyEvent>& events) {
  std::string text;
  for (const InotifyEvent& e : events)
    text += std::to_string(int(e.kind)) + " " + e.folder + " / " + e.name + "\n";
  return text;
}

void MakeFolder(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0777), 0) << path; }

}  // namespace

TEST(InotifyWatchTest, ReportsEachChangeWithItsDetail) {
  TestDir dir;
  const InotifyFilter every =
      InotifyFilter::For({intFileName, intDirName, intAttributes, intLastWrite});
  InotifyWatch watch(every);
  if (!watch.Ok()) GTEST_SKIP() << "no inotify here";
  const std::string top = dir.file("사진");
  const std::string away = dir.file("elsewhere");
  MakeFolder(top);
  MakeFolder(away);
  ASSERT_TRUE(watch.Add(top + "/", true));
  EXPECT_TRUE(watch.IsWatched(top));

  // A file written: made, then closed after writing.
  dir.write("사진/a.jpg", "x");
  auto events = Collect(watch);
  ASSERT_EQ(events.size(), 2u) << Show(events);
  EXPECT_EQ(events[0].kind, Kind::Created);
  EXPECT_EQ(events[0].folder, top);
  EXPECT_EQ(events[0].name, "a.jpg");
  EXPECT_FALSE(events[0].isFolder);
  EXPECT_EQ(events[1].kind, Kind::Modified);

  ASSERT_EQ(chmod((top + "/a.jpg").c_str(), 0600), 0);
  events = Collect(watch);
  ASSERT_EQ(events.size(), 1u) << Show(events);
  EXPECT_EQ(events[0].kind, Kind::Attrib);
  EXPECT_EQ(events[0].name, "a.jpg");

  // A rename inside the watched folder: both halves, paired.
  ASSERT_EQ(rename((top + "/a.jpg").c_str(), (top + "/b.jpg").c_str()), 0);
  events = Collect(watch);
  ASSERT_EQ(events.size(), 2u) << Show(events);
  EXPECT_EQ(events[0].kind, Kind::RenamedFrom);
  EXPECT_EQ(events[0].name, "a.jpg");
  EXPECT_EQ(events[1].kind, Kind::RenamedTo);
  EXPECT_EQ(events[1].name, "b.jpg");
  EXPECT_NE(events[0].cookie, 0u);
  EXPECT_EQ(events[0].cookie, events[1].cookie);
  EXPECT_TRUE(events[0].paired && events[1].paired);
  EXPECT_EQ(events[0].pairFolder, top);
  EXPECT_EQ(events[0].pairName, "b.jpg");
  EXPECT_EQ(events[1].pairName, "a.jpg");

  // A folder made in the subtree is followed: what happens in it is reported too.
  MakeFolder(top + "/2024");
  dir.write("사진/2024/c.jpg", "x");
  events = Collect(watch);
  ASSERT_GE(events.size(), 2u) << Show(events);
  EXPECT_EQ(events[0].kind, Kind::Created);
  EXPECT_EQ(events[0].name, "2024");
  EXPECT_TRUE(events[0].isFolder);
  EXPECT_EQ(events[1].kind, Kind::Created);
  EXPECT_EQ(events[1].folder, top + "/2024");
  EXPECT_EQ(events[1].name, "c.jpg");

  // A move out of the watched folders is half a rename: the name left.
  ASSERT_EQ(rename((top + "/b.jpg").c_str(), (away + "/b.jpg").c_str()), 0);
  events = Collect(watch);
  ASSERT_EQ(events.size(), 1u) << Show(events);
  EXPECT_EQ(events[0].kind, Kind::RenamedFrom);
  EXPECT_FALSE(events[0].paired);
  EXPECT_TRUE(events[0].Left());

  // The watched folder itself goes: its watch ends.
  ASSERT_EQ(unlink((top + "/2024/c.jpg").c_str()), 0);
  ASSERT_EQ(rmdir((top + "/2024").c_str()), 0);
  ASSERT_EQ(rename(top.c_str(), dir.file("gone").c_str()), 0);
  events = Collect(watch);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().kind, Kind::Lost) << Show(events);
  EXPECT_EQ(events.back().folder, top);
  EXPECT_FALSE(watch.IsWatched(top));
  EXPECT_EQ(watch.Count(), 0u);
}

TEST(InotifyWatchTest, FolderNamesOnlyLeaveFilesOut) {
  TestDir dir;
  InotifyWatch watch(InotifyFilter::For({intDirName}));
  if (!watch.Ok()) GTEST_SKIP() << "no inotify here";
  ASSERT_TRUE(watch.Add(dir.path()));
  dir.write("file.txt", "x");
  MakeFolder(dir.file("folder"));
  const auto events = Collect(watch);
  ASSERT_EQ(events.size(), 1u) << Show(events);
  EXPECT_EQ(events[0].name, "folder");
  EXPECT_TRUE(events[0].Arrived());
}

TEST(InotifyWatchTest, AWaitIsWokenFromAnotherThread) {
  TestDir dir;
  InotifyWatch watch;
  if (!watch.Ok()) GTEST_SKIP() << "no inotify here";
  ASSERT_TRUE(watch.Add(dir.path()));
  std::vector<InotifyEvent> events;
  std::thread waker([&watch] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    watch.Wake();
  });
  EXPECT_EQ(watch.Wait(-1, events), InotifyWatch::kWake);
  waker.join();
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(watch.Wait(0, events), InotifyWatch::kTimeout);
}
