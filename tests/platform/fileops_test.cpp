#include "platform/FileOps.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "support/TestDir.h"
#include "platform/FileChecks.h"
#include "platform/PathAccess.h"
#include "platform/Trash.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TestDir;

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// A folder on another file system than the test folders (/dev/shm is a tmpfs), or "".
class OtherVolumeDir {
 public:
  OtherVolumeDir() {
    char tmpl[] = "/dev/shm/quorvane-fileops-XXXXXX";
    if (::mkdtemp(tmpl)) path_ = tmpl;
  }
  ~OtherVolumeDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A tmpfs mounted for one test (root only): a volume of its own, as a USB disk is.
class TestMount {
 public:
  TestMount() {
    char tmpl[] = "/tmp/quorvane-mount-XXXXXX";
    if (!::mkdtemp(tmpl)) {
      why_ = std::strerror(errno);
      return;
    }
    folder_ = tmpl;
    if (::mount("quorvane-test", tmpl, "tmpfs", MS_NOSUID | MS_NODEV, "size=1g,mode=0755") == 0)
      path_ = folder_;
    else
      why_ = std::string("mounting a tmpfs is not allowed here: ") + std::strerror(errno);
  }
  ~TestMount() {
    if (!path_.empty()) ::umount2(path_.c_str(), MNT_DETACH);
    if (!folder_.empty()) ::rmdir(folder_.c_str());
  }
  const std::string& path() const { return path_; }  // "" when nothing is mounted
  const std::string& why() const { return why_; }

 private:
  std::string folder_, path_, why_;
};

// Runs a transfer while `meanwhile` runs on another thread as soon as the transfer has
// copied a megabyte (of the one big file the tests give it).
FileOpReport TransferWhile(const std::vector<std::string>& sources, const std::string& folder,
                           TransferMode mode, FileOpProgress& progress,
                           const std::function<void()>& meanwhile) {
  std::atomic<bool> finished{false};
  std::thread other([&] {
    while (progress.bytes.load() < (1 << 20) && !finished) std::this_thread::yield();
    if (!finished) meanwhile();
  });
  FileOpReport report = Transfer(sources, folder, mode, &progress);
  finished = true;
  other.join();
  return report;
}

// Writes a file; false when it cannot (its folder is gone).
bool WriteNew(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  return out && (out << bytes) && (out.close(), !out.fail());
}

TEST(FileOps, CopyNeverReplacesAndCopiesWholeTrees) {
  TestDir dir;
  const std::string src = dir.write("사진 1.jpg", "picture");
  fs::create_directories(dir.file("album/inner"));
  dir.write("album/inner/a.png", "png bytes");
  fs::create_symlink("inner/a.png", dir.file("album/link"));

  // Pasting into the folder that holds the file gives it a free name each time.
  FileOpReport first = Transfer({src, dir.file("album")}, dir.path(), TransferMode::Copy);
  ASSERT_TRUE(first.Ok()) << first.failed[0].message;
  FileOpReport second = Transfer({src}, dir.path(), TransferMode::Copy);
  ASSERT_TRUE(second.Ok());
  EXPECT_EQ(first.created,
            (std::vector<std::string>{dir.file("사진 1 (2).jpg"), dir.file("album (2)")}));
  EXPECT_EQ(second.created, (std::vector<std::string>{dir.file("사진 1 (3).jpg")}));
  EXPECT_EQ(ReadFileBytes(src), "picture");
  EXPECT_EQ(ReadFileBytes(dir.file("사진 1 (3).jpg")), "picture");
  EXPECT_EQ(ReadFileBytes(dir.file("album (2)/inner/a.png")), "png bytes");
  EXPECT_EQ(fs::read_symlink(dir.file("album (2)/link")), "inner/a.png");
  EXPECT_EQ(FreeName(dir.path(), "사진 1.jpg"), "사진 1 (4).jpg");
  EXPECT_EQ(FreeName(dir.path(), "album"), "album (3)");
  EXPECT_EQ(FreeName(dir.path(), "new.txt"), "new.txt");

  // The modification time travels with the copy.
  struct stat a {
  }, b{};
  ASSERT_EQ(::stat(dir.file("album/inner/a.png").c_str(), &a), 0);
  ASSERT_EQ(::stat(dir.file("album (2)/inner/a.png").c_str(), &b), 0);
  EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec);
}

TEST(FileOps, MoveWithinOneFileSystem) {
  TestDir dir;
  fs::create_directories(dir.file("target"));
  const std::string a = dir.write("a b.jpg", "A");
  dir.write("target/a b.jpg", "existing");
  const std::string kept = dir.write("target/kept.jpg", "K");

  FileOpReport moved = Transfer({a}, dir.file("target"), TransferMode::Move);
  ASSERT_TRUE(moved.Ok());
  EXPECT_FALSE(Exists(a));
  EXPECT_EQ(ReadFileBytes(dir.file("target/a b (2).jpg")), "A");
  EXPECT_EQ(ReadFileBytes(dir.file("target/a b.jpg")), "existing");

  // A move into the folder the file is already in does nothing at all.
  FileOpReport same = Transfer({kept}, dir.file("target"), TransferMode::Move);
  EXPECT_TRUE(same.Ok());
  EXPECT_TRUE(same.created.empty());
  EXPECT_EQ(same.skipped, std::vector<std::string>{kept});
  EXPECT_FALSE(Exists(dir.file("target/kept (2).jpg")));
  EXPECT_EQ(ReadFileBytes(kept), "K");

  FileOpReport missing = Transfer({dir.file("gone.jpg")}, dir.path(), TransferMode::Move);
  ASSERT_EQ(missing.failed.size(), 1u);
}

TEST(FileOps, FolderNeverGoesIntoItself) {
  TestDir dir;
  fs::create_directories(dir.file("top/sub/deeper"));
  dir.write("top/sub/f.txt", "f");
  for (TransferMode mode : {TransferMode::Copy, TransferMode::Move, TransferMode::Link}) {
    for (const char* into : {"top", "top/sub", "top/sub/deeper"}) {
      FileOpReport report = Transfer({dir.file("top")}, dir.file(into), mode);
      ASSERT_EQ(report.failed.size(), 1u) << into;
      EXPECT_TRUE(report.created.empty());
    }
  }
  // Seen through a link to the folder, too.
  fs::create_directory_symlink(dir.file("top/sub"), dir.file("alias"));
  EXPECT_TRUE(IsSameOrInside(dir.file("top"), dir.file("alias/deeper")));
  EXPECT_FALSE(IsSameOrInside(dir.file("top/sub"), dir.file("top")));
  EXPECT_EQ(Transfer({dir.file("top")}, dir.file("alias"), TransferMode::Copy).failed.size(), 1u);
  EXPECT_FALSE(Exists(dir.file("top/sub/deeper/top")));
  EXPECT_FALSE(Exists(dir.file("top/sub/top")));
  EXPECT_EQ(ReadFileBytes(dir.file("top/sub/f.txt")), "f");
}

TEST(FileOps, MoveAcrossFileSystemsCopiesThenRemoves) {
  TestDir dir;
  OtherVolumeDir other;
  if (other.path().empty() || SameFileSystem(dir.path(), other.path()))
    GTEST_SKIP() << "no second file system";
  fs::create_directories(dir.file("tree/sub"));
  dir.write("tree/sub/x.bin", std::string(300000, 'x'));
  dir.write("tree/y.txt", "y");
  const std::string single = dir.write("single.jpg", "S");

  FileOpReport report = Transfer({dir.file("tree"), single}, other.path(), TransferMode::Move);
  ASSERT_TRUE(report.Ok()) << report.failed[0].message;
  EXPECT_FALSE(Exists(dir.file("tree")));
  EXPECT_FALSE(Exists(single));
  EXPECT_EQ(ReadFileBytes(other.path() + "/tree/sub/x.bin"), std::string(300000, 'x'));
  EXPECT_EQ(ReadFileBytes(other.path() + "/single.jpg"), "S");

  // A copy that cannot finish leaves no partial target and keeps every source file.
  fs::create_directories(dir.file("bad/a"));
  dir.write("bad/a/first.txt", "1");
  ASSERT_EQ(::mkfifo(dir.file("bad/a/pipe").c_str(), 0600), 0);
  FileOpReport failed = Transfer({dir.file("bad")}, other.path(), TransferMode::Move);
  ASSERT_EQ(failed.failed.size(), 1u);
  EXPECT_TRUE(failed.created.empty());
  EXPECT_FALSE(Exists(other.path() + "/bad"));
  EXPECT_EQ(ReadFileBytes(dir.file("bad/a/first.txt")), "1");
  EXPECT_TRUE(Exists(dir.file("bad/a/pipe")));
}

// A move from a volume of its own (the source tree: sub/big.bin, top.txt) into a test
// folder, while another thread acts on the files.
class MoveRace : public ::testing::Test {
 protected:
  void SetUp() override {
    if (mount_.path().empty()) GTEST_SKIP() << mount_.why();
  }
  // Moves the tree while `meanwhile` runs as the copy of big.bin has begun, then runs
  // `check` on the report. A larger big file is tried when `meanwhile` answers that it
  // came too late or the move ended before it (on a busy machine a small copy may end
  // first); false when it never came in time.
  bool MoveWhile(const std::function<bool(FileOpProgress&)>& meanwhile,
                 const std::function<void(const FileOpReport&, size_t)>& check) {
    for (size_t size = size_t(32) << 20; size <= size_t(512) << 20; size *= 4) {
      fs::remove_all(tree);
      fs::remove_all(dir.file("tree"));
      fs::create_directories(tree + "/sub");
      if (!WriteNew(tree + "/sub/big.bin", std::string(size, 'b')) ||
          !WriteNew(tree + "/top.txt", "top"))
        return false;
      FileOpProgress progress;
      bool acted = false;
      const FileOpReport report = TransferWhile({tree}, dir.path(), TransferMode::Move, progress,
                                                [&] { acted = meanwhile(progress); });
      if (!acted || !Exists(tree + "/sub")) continue;
      check(report, size);
      return true;
    }
    return false;
  }

  TestMount mount_;
  TestDir dir;
  const std::string tree = mount_.path() + "/tree";
};

TEST_F(MoveRace, AMoveAcrossFileSystemsLeavesWhatArrivedMeanwhile) {
  // A file written into a source folder while the copy runs was never copied: it stays
  // where it is, the folder with it, and the move says so.
  const bool acted =
      MoveWhile([&](FileOpProgress&) { return WriteNew(tree + "/sub/late.jpg", "late"); },
                [&](const FileOpReport& report, size_t size) {
                  EXPECT_TRUE(report.Ok());
                  EXPECT_EQ(report.created, std::vector<std::string>{dir.file("tree")});
                  EXPECT_EQ(report.leftFolders, std::vector<std::string>{tree + "/sub"});
                  EXPECT_EQ(ReadFileBytes(tree + "/sub/late.jpg"), "late");
                  EXPECT_FALSE(Exists(tree + "/sub/big.bin"));
                  EXPECT_FALSE(Exists(tree + "/top.txt"));
                  EXPECT_EQ(fs::file_size(dir.file("tree/sub/big.bin")), size);
                  EXPECT_EQ(ReadFileBytes(dir.file("tree/top.txt")), "top");
                  EXPECT_FALSE(Exists(dir.file("tree/sub/late.jpg")));
                });
  if (!acted) GTEST_SKIP() << "every copy ended before the writer could add its file";
}

TEST_F(MoveRace, CancelTakesBackOnlyWhatTheTransferMade) {
  // The user drops a file into the folder the move has just made, then cancels: the
  // move's own copies go, the user's file and its folder stay, the source is whole.
  const bool acted = MoveWhile(
      [&](FileOpProgress& progress) {
        const bool dropped = WriteNew(dir.file("tree/sub/mine.txt"), "mine");
        progress.stop = true;
        return dropped;
      },
      [&](const FileOpReport& report, size_t size) {
        EXPECT_TRUE(report.cancelled);
        EXPECT_TRUE(report.created.empty());
        EXPECT_EQ(fs::file_size(tree + "/sub/big.bin"), size);
        EXPECT_EQ(ReadFileBytes(tree + "/top.txt"), "top");
        EXPECT_EQ(ReadFileBytes(dir.file("tree/sub/mine.txt")), "mine");
        EXPECT_FALSE(Exists(dir.file("tree/sub/big.bin")));
        EXPECT_FALSE(Exists(dir.file("tree/top.txt")));
      });
  if (!acted) GTEST_SKIP() << "every copy ended before the cancel";
}

TEST(FileOps, LinkAndDropEffects) {
  TestDir dir;
  fs::create_directories(dir.file("links"));
  const std::string src = dir.write("src.png", "P");
  FileOpReport report = Transfer({src, src}, dir.file("links"), TransferMode::Link);
  ASSERT_TRUE(report.Ok());
  EXPECT_EQ(fs::read_symlink(dir.file("links/src.png")), src);
  EXPECT_EQ(fs::read_symlink(dir.file("links/src (2).png")), src);

  EXPECT_EQ(DropMode(false, false, true), TransferMode::Move);
  EXPECT_EQ(DropMode(false, false, false), TransferMode::Copy);
  EXPECT_EQ(DropMode(true, false, true), TransferMode::Copy);
  EXPECT_EQ(DropMode(false, true, false), TransferMode::Move);
  EXPECT_EQ(DropMode(true, true, true), TransferMode::Link);
}

// Points the home trash into the test folder for one test.
class ScopedDataHome {
 public:
  explicit ScopedDataHome(const std::string& path) {
    if (const char* old = std::getenv("XDG_DATA_HOME")) old_ = old, had_ = true;
    ::setenv("XDG_DATA_HOME", path.c_str(), 1);
  }
  ~ScopedDataHome() {
    if (had_)
      ::setenv("XDG_DATA_HOME", old_.c_str(), 1);
    else
      ::unsetenv("XDG_DATA_HOME");
  }

 private:
  std::string old_;
  bool had_ = false;
};

TEST(FileOps, TrashKeepsWhatFileManagersNeed) {
  TestDir dir;
  ScopedDataHome home(dir.file("data"));
  fs::create_directories(dir.file("pics"));
  const std::string a = dir.write("pics/내 사진 #1.jpg", "first");
  FileOpReport one = MoveToTrash({a});
  ASSERT_TRUE(one.Ok()) << one.failed[0].message;
  dir.write("pics/내 사진 #1.jpg", "second");
  FileOpReport two = MoveToTrash({a});
  ASSERT_TRUE(two.Ok());
  EXPECT_FALSE(Exists(a));

  const std::string trash = dir.file("data/Trash");
  EXPECT_EQ(HomeTrashFolder(), trash);
  EXPECT_EQ(one.created, std::vector<std::string>{trash + "/files/내 사진 #1.jpg"});
  EXPECT_EQ(two.created, std::vector<std::string>{trash + "/files/내 사진 #1.2.jpg"});
  EXPECT_EQ(ReadFileBytes(one.created[0]), "first");
  EXPECT_EQ(ReadFileBytes(two.created[0]), "second");
  const std::string info = ReadFileBytes(trash + "/info/내 사진 #1.2.jpg.trashinfo");
  const std::string encoded = "%EB%82%B4%20%EC%82%AC%EC%A7%84%20%231.jpg";
  EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + dir.path() + "/pics/" + encoded + "\n", 0), 0u)
      << info;
  EXPECT_NE(info.find("\nDeletionDate=20"), std::string::npos);
  EXPECT_EQ(info.back(), '\n');
}

TEST(FileOps, TheFirstDeleteOnAnotherVolumeMakesItsTrash) {
  TestMount mount;
  if (mount.path().empty()) GTEST_SKIP() << mount.why();
  TestDir dir;
  ScopedDataHome home(dir.file("data"));
  fs::create_directories(mount.path() + "/pics");
  const std::string photo = mount.path() + "/pics/a b.jpg";
  ASSERT_TRUE(WriteNew(photo, "on the disk"));
  const FileOpReport report = MoveToTrash({photo});
  ASSERT_TRUE(report.Ok()) << report.failed[0].message;
  const std::string trash = mount.path() + "/.Trash-" + std::to_string(::getuid());
  EXPECT_EQ(report.created, std::vector<std::string>{trash + "/files/a b.jpg"});
  EXPECT_FALSE(Exists(photo));
  EXPECT_EQ(ReadFileBytes(trash + "/files/a b.jpg"), "on the disk");
  // Paths in a volume's trash are relative to the volume.
  EXPECT_EQ(ReadFileBytes(trash + "/info/a b.jpg.trashinfo")
                .rfind("[Trash Info]\nPath=pics/a%20b.jpg\n", 0),
            0u);
  for (const std::string& folder : {trash, trash + "/files", trash + "/info"}) {
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0) << folder;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
  }
}

TEST(FileOps, NoUsableTrashNeverDeletes) {
  TestDir dir;
  // The home trash cannot be made under a plain file; the file stays where it is.
  dir.write("plain", "");
  ScopedDataHome home(dir.file("plain/data"));
  const std::string kept = dir.write("kept.jpg", "keep me");
  FileOpReport report = MoveToTrash({kept});
  ASSERT_EQ(report.failed.size(), 1u);
  EXPECT_FALSE(report.failed[0].message.empty());
  EXPECT_EQ(ReadFileBytes(kept), "keep me");
}

TEST(FileOps, PermissionTestsForAnOrdinaryUser) {
  TestDir dir;
  fs::create_directories(dir.file("locked"));
  const std::string inLocked = dir.write("locked/f.jpg", "x");
  const std::string secret = dir.write("secret.jpg", "x");
  const std::string open = dir.write("open.jpg", "x");
  ::chmod(dir.path().c_str(), 0777);
  ::chmod(dir.file("locked").c_str(), 0555);
  ::chmod(secret.c_str(), 0);
  ::chmod(open.c_str(), 0644);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
    int bad = 0;
    if (CanRemove(inLocked)) bad |= 1;  // parent folder read-only
    if (CanWriteInto(dir.file("locked"))) bad |= 2;
    if (!CanWriteInto(dir.path())) bad |= 4;
    if (CanCopyFrom(secret)) bad |= 8;  // unreadable
    if (!CanCopyFrom(open)) bad |= 16;
    if (CanWriteInto(open)) bad |= 32;  // not a folder
    // A trash attempt that may not remove the file leaves it alone.
    ::setenv("XDG_DATA_HOME", (dir.path() + "/data").c_str(), 1);
    if (MoveToTrash({inLocked}).Ok()) bad |= 64;
    _exit(bad);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFileBytes(inLocked), "x");
}

TEST(FileOps, LongPathsAreNoProblem) {
  TestDir dir;
  std::string deep = dir.path();
  const std::string part = "긴 폴더 이름 " + std::string(40, 'd');
  for (int i = 0; i < 12; ++i) deep += "/" + part;  // well past 260 characters
  fs::create_directories(deep);
  const std::string file = deep + "/사진.jpg";
  dir.write(file.substr(dir.path().size() + 1), "deep");
  ASSERT_GT(file.size(), 700u);
  FileOpReport copy = Transfer({file}, deep, TransferMode::Copy);
  ASSERT_TRUE(copy.Ok());
  EXPECT_EQ(ReadFileBytes(deep + "/사진 (2).jpg"), "deep");
  ScopedDataHome home(dir.file("data"));
  EXPECT_TRUE(MoveToTrash({file}).Ok());
  EXPECT_FALSE(Exists(file));
}

}  // namespace
}  // namespace quorvane
