// The location field's rules: typed paths resolved (absolute, `~`, relative, with the
// reason when they name no folder), folder names completed, and the folder history.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "shell/FolderHistory.h"
#include "shell/FolderLocation.h"
#include "support/TestDir.h"

using namespace quorvane;
using namespace quorvane::test;

TEST(FolderLocation, AbsoluteHomeAndRelativePaths) {
  TestDir dir;
  const std::string home = dir.file("home");
  std::filesystem::create_directories(home + "/사진/2024 여름");
  std::filesystem::create_directories(dir.file("other"));
  EXPECT_EQ(ResolveLocation(dir.file("other") + "/", home, home).folder, dir.file("other"));
  EXPECT_EQ(ResolveLocation("  ~ ", dir.file("other"), home).folder, home);
  EXPECT_EQ(ResolveLocation("~/사진/./2024 여름/..", "/", home).folder, home + "/사진");
  EXPECT_EQ(ResolveLocation("사진/2024 여름", home, home).folder, home + "/사진/2024 여름");
  EXPECT_EQ(ResolveLocation("../other", home, home).folder, dir.file("other"));
  EXPECT_EQ(ResolveLocation("/", home, home).folder, "/");
}

TEST(FolderLocation, WhatNamesNoFolderSaysWhy) {
  TestDir dir;
  const std::string home = dir.file("home");
  std::filesystem::create_directories(home);
  dir.write("home/a.jpg", "x");
  const LocationResult missing = ResolveLocation("없는 곳", home, home);
  EXPECT_FALSE(missing.Ok());
  EXPECT_EQ(missing.error, "없는 폴더입니다: " + home + "/없는 곳");
  EXPECT_EQ(ResolveLocation("a.jpg", home, home).error, "폴더가 아닙니다: " + home + "/a.jpg");
  EXPECT_FALSE(ResolveLocation("   ", home, home).Ok());
  EXPECT_FALSE(ResolveLocation("~", home, "").Ok());
  EXPECT_FALSE(ResolveLocation("relative", "", home).Ok());
  if (geteuid() != 0) {
    std::filesystem::create_directories(home + "/locked");
    chmod((home + "/locked").c_str(), 0);
    const LocationResult locked = ResolveLocation("locked", home, home);
    chmod((home + "/locked").c_str(), 0755);
    EXPECT_EQ(locked.error.rfind("폴더를 열 수 없습니다: " + home + "/locked (", 0), 0u)
        << locked.error;
  }
}

TEST(FolderLocation, TabCompletesFolderNames) {
  TestDir dir;
  const std::string home = dir.file("home");
  for (const char* sub : {"사진/2024 여름", "사진/2024 겨울", "사진/2023", "문서", ".숨김"})
    std::filesystem::create_directories(home + "/" + sub);
  dir.write("home/사진/2024 파일.jpg", "x");  // a file never completes
  EXPECT_EQ(CompleteLocation("사", home, home), "사진/");
  EXPECT_EQ(CompleteLocation("~/사진/2", "/", home), "~/사진/202");
  EXPECT_EQ(CompleteLocation("~/사진/2024", "/", home), "~/사진/2024 ");
  EXPECT_EQ(CompleteLocation(home + "/사진/2024 여", "/", home), home + "/사진/2024 여름/");
  EXPECT_EQ(CompleteLocation("없", home, home), "없");
  // Names that share the first bytes of a character complete to before it.
  std::filesystem::create_directories(home + "/ko/가");
  std::filesystem::create_directories(home + "/ko/각");
  EXPECT_EQ(CompleteLocation("ko/", home, home), "ko/");
  // Hidden folders only when asked for by a leading dot.
  EXPECT_EQ(CompleteLocation("", home, home), "");
  EXPECT_EQ(CompleteLocation(".", home, home), ".숨김/");
}

TEST(FolderHistory, BackForwardAndANewVisitDropsWhatWasAhead) {
  FolderHistory history;
  EXPECT_FALSE(history.CanGoBack());
  for (const char* folder : {"/a", "/b", "/b", "/c"}) history.Visit(folder);
  EXPECT_EQ(history.GoBack(), "/b");
  EXPECT_EQ(history.GoBack(), "/a");
  EXPECT_EQ(history.GoBack(), "");
  history.Visit("/a");  // arriving where Back went is no new visit
  EXPECT_EQ(history.GoForward(), "/b");
  history.Visit("/d");
  EXPECT_FALSE(history.CanGoForward());
  EXPECT_EQ(history.GoBack(), "/b");
  EXPECT_EQ(history.GoForward(), "/d");
  for (size_t i = 0; i < FolderHistory::kMaxEntries + 10; ++i) history.Visit("/" + std::to_string(i));
  size_t back = 0;
  while (history.CanGoBack()) back += history.GoBack().empty() ? 0 : 1;
  EXPECT_EQ(back, FolderHistory::kMaxEntries - 1);
}
