#include "thumbnails/ThumbnailCacheFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>

#include "support/ChildProcess.h"
#include "support/TestDir.h"

namespace quorvane {
namespace {

using test::ReadFileBytes;
using test::TestDir;

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

int32_t I32At(const std::string& file, size_t at) {
  int32_t v;
  std::memcpy(&v, file.data() + at, 4);
  return v;
}

double F64At(const std::string& file, size_t at) {
  double v;
  std::memcpy(&v, file.data() + at, 8);
  return v;
}

// Sets a file's modification time to a local calendar time.
void SetLocalMTime(const std::string& path, int y, int mo, int d, int h, int mi, int s) {
  struct tm tm {};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  const struct timespec times[2] = {{mktime(&tm), 0}, {mktime(&tm), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// A cache in the test folder, named "cache.dat".
struct FreeCache : ThumbnailCacheFile {
  explicit FreeCache(const TestDir& dir) {
    SetPath(dir.path());
    SetFileName("cache.dat");
  }
  std::string File() const { return Path() + "/cache.dat"; }
  bool Put(const std::string& source, const std::string& data, int w = 94, int h = 70) {
    LastEntry() = ThumbEntryHeader{};
    LastEntry().Width = w;
    LastEntry().Height = h;
    LastEntry().SourceWidth = w * 10;
    LastEntry().SourceHeight = h * 10;
    return Store(source, Bytes(data));
  }
  std::string Get(const std::string& source) {
    std::vector<uint8_t> out;
    if (!LookUp(source, out)) return "<miss>";
    return std::string(out.begin(), out.end());
  }
};

TEST(ThumbTest, StoredEntriesComeBackByteForByteWithTheirSourceSizes) {
  TestDir dir;
  const std::string a = dir.write("a.jpg", std::string(1234, 'a'));
  const std::string b = dir.write("b 사진.jpg", std::string(77, 'b'));
  const std::string jpegA("\xFF\xD8 first stream \0 with zero", 26);
  const std::string jpegB(5000, '\x5A');
  {
    FreeCache cache(dir);
    ASSERT_TRUE(cache.Put(a, jpegA, 94, 70));
    ASSERT_TRUE(cache.Put(b, jpegB, 50, 94));
    EXPECT_EQ(cache.Get(a), jpegA);
    EXPECT_EQ(cache.LastEntry().SourceSize, 1234);
    EXPECT_EQ(cache.Get(b), jpegB);
    EXPECT_EQ(cache.LastEntry().SourceSize, 77);
  }
  FreeCache fresh(dir);  // an empty index: found by scanning
  EXPECT_EQ(fresh.Get(b), jpegB);
  EXPECT_EQ(fresh.LastEntry().Width, 50);
  EXPECT_EQ(fresh.LastEntry().Height, 94);
  EXPECT_EQ(fresh.LastEntry().SourceWidth, 500);
  EXPECT_EQ(fresh.LastEntry().SourceHeight, 940);
  EXPECT_EQ(fresh.LastEntry().SourceSize, 77);
  EXPECT_EQ(fresh.Get(a), jpegA);
  EXPECT_EQ(fresh.IndexSize(), 2u);
  EXPECT_EQ(fresh.Get(dir.file("other.jpg")), "<miss>");
}

TEST(ThumbTest, FileLayoutIsLittleEndianWithDayCountDates) {
  TestDir dir;
  const std::string src = dir.write("p.jpg", "12345");
  SetLocalMTime(src, 2020, 1, 2, 3, 4, 5);
  FreeCache cache(dir);
  cache.SetAppName("Quorvane");
  ASSERT_TRUE(cache.Put(src, "JPEGDATA", 94, 70));

  const std::string file = ReadFileBytes(cache.File());
  ASSERT_EQ(file.size(), 24 + 56 + src.size() + 8);
  EXPECT_EQ(I32At(file, 0), 127);
  EXPECT_EQ(I32At(file, 4), 103);
  EXPECT_EQ(file.substr(8, 12), std::string("Quorvane\0\0\0\0", 12));
  EXPECT_EQ(I32At(file, 20), 1);
  EXPECT_EQ(I32At(file, 24), int32_t(src.size()));  // name length
  EXPECT_EQ(I32At(file, 28), 0);                    // reserved
  EXPECT_EQ(I32At(file, 32), 8);                    // data length
  EXPECT_EQ(I32At(file, 36), 94);
  EXPECT_EQ(I32At(file, 40), 70);
  EXPECT_EQ(I32At(file, 44), 0);
  // 2020-01-02 is day 43832 after 1899-12-30; 03:04:05 rounds down to 03:04:04.
  EXPECT_DOUBLE_EQ(F64At(file, 24 + 32), 43832.0 + (3 * 3600 + 4 * 60 + 4) / 86400.0);
  const double written = F64At(file, 24 + 24);
  EXPECT_GT(written, 45000.0);           // a date of this century, not seconds or zero
  EXPECT_EQ(I32At(file, 24 + 40), 5);    // source size
  EXPECT_EQ(I32At(file, 24 + 44), 940);  // source width
  EXPECT_EQ(I32At(file, 24 + 48), 700);
  EXPECT_EQ(I32At(file, 24 + 52), 0);
  EXPECT_EQ(file.substr(80, src.size()), src);
  EXPECT_EQ(file.substr(80 + src.size()), "JPEGDATA");

  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 1, 1, 12, 0, 0, 0), 2.5);
}

TEST(ThumbTest, AppNameIsCutToTenBytesWithoutSplittingACharacter) {
  ThumbnailCacheFile t;
  t.SetAppName("ABCDEFGHIJKL");
  EXPECT_EQ(t.AppName(), "ABCDEFGHIJ");
  t.SetAppName("abcdefghi한");  // the tenth byte begins a three-byte character
  EXPECT_EQ(t.AppName(), "abcdefghi");
  t.SetAppName("가나다라");
  EXPECT_EQ(t.AppName(), "가나다");
  t.SetAppName("short");
  EXPECT_EQ(t.AppName(), "short");

  TestDir dir;
  FreeCache cache(dir);
  cache.SetAppName("ABCDEFGHIJKL");
  ASSERT_TRUE(cache.Put(dir.write("x.jpg", "x"), "d"));
  EXPECT_EQ(ReadFileBytes(cache.File()).substr(8, 12), std::string("ABCDEFGHIJ\0\0", 12));
}

TEST(ThumbTest, CacheFileNamesFollowThePathType) {
  ThumbnailCacheFile t;
  t.SetPath("/data/cache");
  t.SetFileName("thumbs");
  EXPECT_EQ(t.CacheFileName("/pics/a.jpg"), "/data/cache/thumbs.dat");
  t.SetFileName("thumbs.db");
  EXPECT_EQ(t.CacheFileName("/pics/a.jpg"), "/data/cache/thumbs.db");
  t.SetPathType(iptFolder);
  EXPECT_EQ(t.CacheFileName("/pics/2024/a.jpg"), "/pics/2024/thumbs.db");
  EXPECT_EQ(t.CacheFileName("/a.jpg"), "/thumbs.db");
  t.SetPathType(iptTemp);
  setenv("TMPDIR", "/var/tmp/", 1);
  EXPECT_EQ(t.CacheFileName("/pics/a.jpg"), "/var/tmp/thumbs.db");
  unsetenv("TMPDIR");
  EXPECT_EQ(t.CacheFileName("/pics/a.jpg"), "/tmp/thumbs.db");
  t.SetPathType(iptWin);
  setenv("XDG_CACHE_HOME", "/home/u/.cache-x", 1);
  EXPECT_EQ(t.CacheFileName("/pics/a.jpg"), "/home/u/.cache-x/quorvane/thumbs.db");
  unsetenv("XDG_CACHE_HOME");
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(t.CacheFileName("/pics/a.jpg"), "/home/u/.cache/quorvane/thumbs.db");
  // Without a file name: the program's own name with ".dat", beside the program.
  t.SetFileName("");
  t.SetPathType(iptApp);
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(t.CacheFileName("/pics/a.jpg"), exe + ".dat");
}

TEST(ThumbTest, ThePerUserFolderIsCreatedOnFirstStore) {
  TestDir dir;
  setenv("XDG_CACHE_HOME", dir.file("xdg").c_str(), 1);
  ThumbnailCacheFile t;
  t.SetPathType(iptWin);
  t.SetFileName("c.dat");
  EXPECT_TRUE(t.Store(dir.write("a.jpg", "a"), Bytes("jpeg")));
  unsetenv("XDG_CACHE_HOME");
  EXPECT_TRUE(Exists(dir.file("xdg/quorvane/c.dat")));
}

TEST(ThumbTest, TouchedSourceMakesTheEntryStaleAndRemovesIt) {
  TestDir dir;
  const std::string a = dir.write("a.jpg", "aaaa");
  const std::string b = dir.write("b.jpg", "bbbb");
  SetLocalMTime(a, 2021, 5, 6, 7, 8, 10);
  FreeCache cache(dir);
  ASSERT_TRUE(cache.Put(a, "A"));
  ASSERT_TRUE(cache.Put(b, "B"));
  EXPECT_EQ(cache.Get(a), "A");
  ASSERT_EQ(I32At(ReadFileBytes(cache.File()), 20), 2);

  SetLocalMTime(a, 2021, 5, 6, 7, 8, 12);
  EXPECT_EQ(cache.Get(a), "<miss>");
  const std::string file = ReadFileBytes(cache.File());
  EXPECT_EQ(I32At(file, 20), 1);
  EXPECT_EQ(file.find("a.jpg"), std::string::npos);
  EXPECT_FALSE(Exists(dir.file("cache.~tmp")));
  EXPECT_EQ(cache.Get(b), "B");

  // A change within the same two seconds is not seen (the DOS time resolution).
  SetLocalMTime(b, 2021, 5, 6, 7, 8, 20);
  EXPECT_EQ(cache.Get(b), "<miss>");
  EXPECT_FALSE(Exists(cache.File()));  // its last entry went: the file went with it
  ASSERT_TRUE(cache.Put(b, "B2"));
  SetLocalMTime(b, 2021, 5, 6, 7, 8, 21);
  EXPECT_EQ(cache.Get(b), "B2");
}

TEST(ThumbTest, PurgingAWholeFolderDeletesItsCacheFile) {
  TestDir dir;
  std::filesystem::create_directory(dir.file("pics"));
  ThumbnailCacheFile cache;
  cache.SetPathType(iptFolder);
  cache.SetFileName("thumbs.dat");
  std::vector<std::string> paths;
  for (const char* name : {"c.jpg", "a.jpg", "B.jpg"}) {
    paths.push_back(dir.write(std::string("pics/") + name, name));
    ASSERT_TRUE(cache.Store(paths.back(), Bytes(name)));
  }
  ASSERT_TRUE(Exists(dir.file("pics/thumbs.dat")));
  EXPECT_TRUE(cache.Purge(paths));
  EXPECT_FALSE(Exists(dir.file("pics/thumbs.dat")));
  EXPECT_FALSE(Exists(dir.file("pics/thumbs.~tmp")));
  EXPECT_FALSE(cache.Purge(paths));  // nothing left to do
}

// A rewrite that leaves no entry deletes the cache file, also one that held none.
TEST(ThumbTest, ACacheFileWithoutEntriesDisappearsOnRemoveAndPurge) {
  TestDir dir;
  const std::string src = dir.write("a.jpg", "a");
  for (bool purge : {false, true}) {
    FreeCache cache(dir);
    ASSERT_TRUE(cache.Put(src, "A"));
    ASSERT_TRUE(cache.Remove(src));
    ASSERT_FALSE(Exists(cache.File()));
    // A cache file of a header only (a store that failed after creating it).
    const std::string header = ReadFileBytes(
        dir.write("cache.dat", std::string("\x7F\0\0\0\x67\0\0\0", 8) + std::string(16, '\0')));
    ASSERT_EQ(header.size(), 24u);
    EXPECT_FALSE(purge ? cache.Purge({src}) : cache.Remove(src));
    EXPECT_FALSE(Exists(cache.File())) << purge;
    EXPECT_FALSE(Exists(dir.file("cache.~tmp"))) << purge;
  }
}

// Purge orders paths without regard to case, so which folder's run comes last (and
// decides the answer) does not depend on capitals.
TEST(ThumbTest, PurgeOrderIgnoresCase) {
  TestDir dir;
  std::filesystem::create_directory(dir.file("Zeta"));
  std::filesystem::create_directory(dir.file("alpha"));
  const std::string inZeta = dir.write("Zeta/z.jpg", "z");
  const std::string inAlpha = dir.write("alpha/a.jpg", "a");
  ThumbnailCacheFile cache;
  cache.SetPathType(iptFolder);
  cache.SetFileName("thumbs.dat");
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(cache.Store(inZeta, Bytes("Z")));
    // "alpha" comes before "Zeta" ignoring case: the run of Zeta, which removes an
    // entry, is the last one.
    EXPECT_TRUE(cache.Purge(round == 0 ? std::vector<std::string>{inZeta, inAlpha}
                                       : std::vector<std::string>{inAlpha, inZeta}));
    EXPECT_FALSE(Exists(dir.file("Zeta/thumbs.dat")));
  }
}

TEST(ThumbTest, PurgeKeepsOtherEntriesAndTheIndexStaysRight) {
  TestDir dir;
  FreeCache cache(dir);
  std::vector<std::string> paths;
  for (int i = 0; i < 5; ++i) {
    paths.push_back(dir.write("f" + std::to_string(i) + ".jpg", "x"));
    ASSERT_TRUE(cache.Put(paths.back(), std::string(100 + i, char('0' + i))));
  }
  for (const auto& p : paths) cache.Get(p);
  EXPECT_EQ(cache.IndexSize(), 5u);
  // Purge compares ignoring case.
  std::string upper = paths[3];
  upper.replace(upper.size() - 6, 2, "F3");
  EXPECT_TRUE(cache.Purge({paths[1], upper}));
  EXPECT_EQ(I32At(ReadFileBytes(cache.File()), 20), 3);
  EXPECT_EQ(cache.IndexSize(), 3u);
  for (int i : {0, 2, 4})
    EXPECT_EQ(cache.Get(paths[size_t(i)]), std::string(100 + i, char('0' + i)));
  EXPECT_EQ(cache.Get(paths[1]), "<miss>");
  EXPECT_EQ(cache.Get(paths[3]), "<miss>");
  EXPECT_TRUE(cache.Remove(paths[2]));
  EXPECT_FALSE(cache.Remove(paths[2]));
  FreeCache fresh(dir);
  EXPECT_EQ(fresh.Get(paths[4]), std::string(104, '4'));
  EXPECT_EQ(fresh.Get(paths[0]), std::string(100, '0'));
}

TEST(ThumbTest, AForeignFileIsNeverChangedAndRewritesReportIt) {
  TestDir dir;
  const std::string src = dir.write("a.jpg", "a");
  FreeCache cache(dir);
  const std::string foreign = std::string("\x7E\0\0\0", 4) + std::string(100, 'z');
  dir.write("cache.dat", foreign);
  EXPECT_EQ(cache.Get(src), "<miss>");
  EXPECT_FALSE(cache.Put(src, "A"));
  EXPECT_EQ(ReadFileBytes(cache.File()), foreign);
  try {
    cache.Remove(src);
    FAIL() << "no EThumbError";
  } catch (const EThumbError& e) {
    EXPECT_EQ(std::string(e.what()), cache.File() + "\r\n  はサムネイルファイルではありません");
  }
  EXPECT_THROW(cache.Purge({src}), EThumbError);
  EXPECT_EQ(ReadFileBytes(cache.File()), foreign);
  EXPECT_FALSE(Exists(dir.file("cache.~tmp")));

  // Shorter than a signature: also foreign.
  dir.write("cache.dat", "\x7F");
  EXPECT_FALSE(cache.Put(src, "A"));
  EXPECT_EQ(ReadFileBytes(cache.File()), "\x7F");
}

TEST(ThumbTest, PathComparisonIgnoresCase) {
  TestDir dir;
  const std::string upper = dir.write("IMG_01.JPG", "x");
  const std::string lower = dir.write("img_01.jpg", "x");
  SetLocalMTime(upper, 2022, 2, 2, 2, 2, 2);
  SetLocalMTime(lower, 2022, 2, 2, 2, 2, 2);
  FreeCache cache(dir);
  ASSERT_TRUE(cache.Put(upper, "UPPER"));
  EXPECT_EQ(cache.Get(lower), "UPPER");
  FreeCache fresh(dir);
  EXPECT_EQ(fresh.Get(lower), "UPPER");
}

TEST(ThumbTest, MissingCacheFile) {
  TestDir dir;
  FreeCache cache(dir);
  const std::string src = dir.write("a.jpg", "a");
  EXPECT_EQ(cache.Get(src), "<miss>");
  EXPECT_FALSE(Exists(cache.File()));
  EXPECT_FALSE(cache.Remove(src));
  EXPECT_FALSE(cache.Purge({src}));
  EXPECT_FALSE(Exists(cache.File()));
}

TEST(ThumbTest, ActiveKeepsTheFileOpenAcrossOperations) {
  TestDir dir;
  FreeCache cache(dir);
  cache.SetActive(true);
  const std::string a = dir.write("a.jpg", "a");
  const std::string b = dir.write("b.jpg", "b");
  ASSERT_TRUE(cache.Put(a, "A"));
  ASSERT_TRUE(cache.Put(b, "B"));
  EXPECT_EQ(cache.Get(a), "A");
  EXPECT_TRUE(cache.Remove(a));
  EXPECT_TRUE(cache.Active());
  EXPECT_EQ(cache.Get(a), "<miss>");
  EXPECT_EQ(cache.Get(b), "B");
  cache.SetActive(false);
  EXPECT_EQ(cache.Get(b), "B");
  EXPECT_EQ(I32At(ReadFileBytes(cache.File()), 20), 1);
}

// ---- damaged files ----

std::string ValidCache(const TestDir& dir, std::string& a, std::string& b) {
  a = dir.write("a.jpg", "a");
  b = dir.write("b.jpg", "b");
  FreeCache cache(dir);
  EXPECT_TRUE(cache.Put(a, std::string(300, 'A')));
  EXPECT_TRUE(cache.Put(b, std::string(300, 'B')));
  return ReadFileBytes(cache.File());
}

void PutI32(std::string& file, size_t at, int32_t v) { std::memcpy(file.data() + at, &v, 4); }

TEST(ThumbDamageTest, BadLengthsMissQuietly) {
  TestDir dir;
  std::string a, b;
  const std::string good = ValidCache(dir, a, b);
  const size_t second = 24 + 56 + a.size() + 300;
  for (int32_t bad : {-1, INT32_MIN, INT32_MAX, 1 << 20}) {
    for (size_t field : {size_t(0), size_t(8)}) {  // name length, data length
      std::string file = good;
      PutI32(file, second + field, bad);
      dir.write("cache.dat", file);
      FreeCache cache(dir);
      EXPECT_EQ(cache.Get(a), std::string(300, 'A'));
      EXPECT_EQ(cache.Get(b), "<miss>") << bad << " at " << field;
      // A rewrite over damage leaves the file as it was.
      EXPECT_FALSE(cache.Remove(a));
      EXPECT_EQ(ReadFileBytes(cache.File()), file);
      EXPECT_FALSE(Exists(dir.file("cache.~tmp")));
    }
  }
}

TEST(ThumbDamageTest, TruncatedFilesMissQuietly) {
  TestDir dir;
  std::string a, b;
  const std::string good = ValidCache(dir, a, b);
  for (size_t len = 0; len < good.size(); len += 13) {
    dir.write("cache.dat", good.substr(0, len));
    FreeCache cache(dir);
    const bool firstWhole = len >= 24 + 56 + a.size() + 300;
    EXPECT_EQ(cache.Get(a), firstWhole ? std::string(300, 'A') : "<miss>") << len;
    EXPECT_EQ(cache.Get(b), "<miss>") << len;
  }
  // Storing after a truncated last entry still works for the new entry's own file.
  dir.write("cache.dat", good.substr(0, good.size() - 5));
  FreeCache cache(dir);
  EXPECT_TRUE(cache.Put(b, "new"));
  EXPECT_EQ(cache.Get(a), std::string(300, 'A'));
}

TEST(ThumbDamageTest, BufferScanSurvivesMutations) {
  TestDir dir;
  std::string a, b;
  const std::string good = ValidCache(dir, a, b);
  ThumbEntryHeader header;
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(
      ThumbScanBuffer(reinterpret_cast<const uint8_t*>(good.data()), good.size(), b, header, jpeg));
  EXPECT_EQ(std::string(jpeg.begin(), jpeg.end()), std::string(300, 'B'));
  std::string upper = b;
  upper.replace(upper.size() - 5, 5, "B.JPG");
  EXPECT_TRUE(ThumbScanBuffer(reinterpret_cast<const uint8_t*>(good.data()), good.size(), upper,
                              header, jpeg));

  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    std::string file = good;
    for (int k = 0; k < 4; ++k) file[rng() % file.size()] = char(rng());
    file.resize(rng() % (file.size() + 1));
    jpeg.clear();
    if (ThumbScanBuffer(reinterpret_cast<const uint8_t*>(file.data()), file.size(), b, header,
                        jpeg)) {
      EXPECT_EQ(jpeg.size(), size_t(header.DataSize));
    }
    EXPECT_LE(jpeg.size(), file.size());
  }
}

TEST(ThumbDamageTest, FailedWritesLeaveTheCacheAsItWas) {
  TestDir dir;
  std::string a, b;
  const std::string good = ValidCache(dir, a, b);
  const std::string big = dir.write("big.jpg", "x");
  // Limit the file size so that every write past it fails (as on a full disk).
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = good.size() + 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  FreeCache cache(dir);
  const bool stored = cache.Put(big, std::string(1000, 'x'));
  const std::string afterStore = ReadFileBytes(cache.File());
  // Rewriting copies b's entry past a placeholder that pushes the copy over the limit.
  small.rlim_cur = 24 + 200;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool removed = cache.Remove(a);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(stored);
  EXPECT_EQ(afterStore, good);
  EXPECT_FALSE(removed);
  EXPECT_EQ(ReadFileBytes(cache.File()), good);
  EXPECT_FALSE(Exists(dir.file("cache.~tmp")));
  EXPECT_EQ(cache.Get(a), std::string(300, 'A'));
}

TEST(ThumbDamageTest, UnwritableCacheFolders) {
  TestDir dir;
  const std::string src = dir.write("a.jpg", "a");
  // A cache folder that cannot exist: its parent is a file.
  dir.write("plain", "not a folder");
  ThumbnailCacheFile blocked;
  blocked.SetPath(dir.file("plain/sub"));
  blocked.SetFileName("c.dat");
  EXPECT_FALSE(blocked.Store(src, Bytes("A")));
  std::vector<uint8_t> out;
  EXPECT_FALSE(blocked.LookUp(src, out));
  EXPECT_FALSE(blocked.Remove(src));

  // A read-only folder holding a cache: lookups still work, rewrites fail cleanly. An
  // unprivileged child checks it (root may write anywhere).
  std::filesystem::create_directory(dir.file("ro"));
  FreeCache cache(dir);
  cache.SetPath(dir.file("ro"));
  ASSERT_TRUE(cache.Put(src, "A"));
  chmod(dir.path().c_str(), 0755);
  chmod(src.c_str(), 0644);
  chmod(cache.File().c_str(), 0444);
  chmod(dir.file("ro").c_str(), 0555);
  const int status = test::RunUnprivileged([&] {
    if (access(dir.file("ro").c_str(), W_OK) == 0) return 3;
    FreeCache child(dir);
    child.SetPath(dir.file("ro"));
    if (child.Get(src) != "A") return 4;
    if (child.Remove(src) || child.Purge({src})) return 5;
    if (child.Put(src, "B")) return 6;  // nor is the cache file itself
    return child.Get(src) == "A" ? 0 : 7;
  });
  chmod(dir.file("ro").c_str(), 0755);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(cache.Get(src), "A");
  EXPECT_FALSE(Exists(dir.file("ro/cache.~tmp")));
}

}  // namespace
}  // namespace quorvane
