// Results that are the only copy of the user's data reach the disk before they take
// their names: a batch result and its rewritten metadata are synced under their
// temporary names, then their folder; a move across file systems syncs each copy and
// its folder before the source goes. This program's own fsync stands in front of the C
// library's (the call still reaches the kernel) and notes what each call synced.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/FileChecks.h"
#include "platform/FileOps.h"
#include "processing/ConvertEngine.h"
#include "processing/ConvertTestHelpers.h"
#include "support/ExifSamples.h"

namespace {

struct SyncNote {
  std::string path;  // the name the synced file had at that moment
  dev_t dev;
  ino_t ino;
  bool folder;
  bool targetExisted;  // whether the path asked about in Watch() existed then
};

std::mutex notesMutex;
std::vector<SyncNote> notes;
std::string watched;  // a path whose existence each sync notes

}  // namespace

extern "C" int fsync(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink(link, buffer.data(), buffer.size() - 1);
    const std::lock_guard<std::mutex> lock(notesMutex);
    struct stat there {};
    notes.push_back({n > 0 ? std::string(buffer.data(), size_t(n)) : std::string(), st.st_dev,
                     st.st_ino, S_ISDIR(st.st_mode),
                     !watched.empty() && ::lstat(watched.c_str(), &there) == 0});
  }
  return int(::syscall(SYS_fsync, fd));
}

namespace quorvane::test {
namespace {

std::vector<SyncNote> TakeNotes(const std::string& watch = {}) {
  const std::lock_guard<std::mutex> lock(notesMutex);
  std::vector<SyncNote> taken = std::move(notes);
  notes.clear();
  watched = watch;
  return taken;
}

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

// The index of the first sync of the file or folder `st`, or -1.
int SyncOf(const std::vector<SyncNote>& list, const struct stat& st, size_t from = 0) {
  for (size_t i = from; i < list.size(); ++i)
    if (list[i].dev == st.st_dev && list[i].ino == st.st_ino) return int(i);
  return -1;
}

// `file` was synced under another name (before it took its own), and its folder after.
void ExpectSyncedBeforeNamed(const std::vector<SyncNote>& list, const std::string& file) {
  const int bytes = SyncOf(list, StatOf(file));
  ASSERT_GE(bytes, 0) << file << " was never synced";
  EXPECT_NE(list[size_t(bytes)].path, file) << "synced only after it took its name";
  EXPECT_GE(SyncOf(list, StatOf(ExtractFileDir(file)), size_t(bytes) + 1), 0)
      << "the folder of " << file << " was not synced after it";
}

TEST(DurableWrites, BatchResultsAndTheirMetadataAreOnDiskBeforeTheyTakeTheirNames) {
  ASSERT_TRUE(CodecReady());
  TestDir dir;
  const std::string bmp = WritePicture(dir.file("plain.bmp"), 9, 5);
  ConvertEngine engine;
  engine.Params.FileList = {bmp};
  engine.Params.OutputFolder = dir.file("out");
  engine.Params.TargetExt = ".bmp";
  // One result new, one replacing an older file of its name.
  RecordingHost host;
  TakeNotes();
  engine.TransProc(host, nullptr);
  ASSERT_TRUE(engine.AllSucceeded());
  ExpectSyncedBeforeNamed(TakeNotes(), dir.file("out/plain.bmp"));
  engine.Params.Existing = OnExists::Overwrite;
  engine.TransProc(host, nullptr);
  ASSERT_TRUE(engine.AllSucceeded());
  ExpectSyncedBeforeNamed(TakeNotes(), dir.file("out/plain.bmp"));

  // A JPEG result gets the source's metadata in a rewrite, which replaces the result.
  if (!HaveExiftool()) GTEST_SKIP() << "exiftool missing: the metadata rewrite is not tried";
  const std::string photo = WriteOriented(dir, "photo.jpg", PatternBitmap(30, 20), 6);
  ASSERT_TRUE(Exiftool("-Make=Quorvane", photo));
  engine.Params.FileList = {photo};
  engine.Params.TargetExt = ".jpg";
  engine.TransProc(host, nullptr);
  ASSERT_TRUE(engine.AllSucceeded());
  const std::vector<SyncNote> list = TakeNotes();
  EXPECT_EQ(ExiftoolTag(dir.file("out/photo.jpg"), "Make", false), "Quorvane");
  ExpectSyncedBeforeNamed(list, dir.file("out/photo.jpg"));
  // Two files were synced: the result as written, then its rewrite.
  int files = 0;
  for (const SyncNote& note : list) files += note.folder ? 0 : 1;
  EXPECT_EQ(files, 2);
}

TEST(DurableWrites, AMoveAcrossFileSystemsSyncsEachCopyBeforeTheSourceGoes) {
  TestDir dir;
  char tmpl[] = "/dev/shm/quorvane-durable-XXXXXX";
  if (!::mkdtemp(tmpl)) GTEST_SKIP() << "no /dev/shm";
  const std::string other = tmpl;
  if (SameFileSystem(dir.path(), other)) {
    ::rmdir(tmpl);
    GTEST_SKIP() << "/dev/shm is not another file system here";
  }
  const std::string source = other + "/tree";
  ASSERT_EQ(::mkdir(source.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((source + "/sub").c_str(), 0755), 0);
  for (const char* name : {"/a.jpg", "/sub/b.jpg"}) {
    const UniqueFd fd(::open((source + name).c_str(), O_WRONLY | O_CREAT, 0644));
    ASSERT_TRUE(fd.Ok() && WriteFullyAt(fd.Get(), 0, "bytes", 5));
  }
  TakeNotes(source + "/sub/b.jpg");
  const FileOpReport report = Transfer({source}, dir.path(), TransferMode::Move);
  const std::vector<SyncNote> list = TakeNotes();
  ::rmdir(tmpl);
  ASSERT_TRUE(report.Ok()) << report.failed[0].message;
  ASSERT_FALSE(IsFolder(source));
  // Each copy and each folder of the copy was synced while the sources were all there.
  for (const char* name : {"/tree/a.jpg", "/tree/sub/b.jpg", "/tree/sub", "/tree", ""}) {
    const int at = SyncOf(list, StatOf(dir.path() + name));
    ASSERT_GE(at, 0) << name << " was never synced";
    EXPECT_TRUE(list[size_t(at)].targetExisted) << name << " was synced after the source went";
  }
}

}  // namespace
}  // namespace quorvane::test
