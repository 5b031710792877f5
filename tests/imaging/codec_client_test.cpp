// The helper-process plumbing, run against a stand-in helper: this test program itself,
// started again by the client with --socket-fd=3, serves requests whose file names say
// how to behave ("good:W:H", "crash", "hang", ...).
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "imaging/CodecClient.h"
#include "imaging/CodecHelper.h"
#include "support/TestDir.h"

using namespace quorvane;

namespace {

class FakeCodec : public CodecService {
 public:
  bool Init() override { return true; }

  bool Load(const std::string& path, const CodecPixelTarget& target) override {
    Bitmap out;
    if (!LoadBitmap(path, out)) return false;
    if (out.Empty()) return true;
    uint8_t* rows = target(out.Width(), out.Height());
    if (!rows) return false;
    std::memcpy(rows, out.Bits(), out.ByteSize());
    return true;
  }

  bool LoadBitmap(const std::string& path, Bitmap& out) {
    int w = 0, h = 0, ms = 0;
    if (std::sscanf(path.c_str(), "good:%d:%d", &w, &h) == 2) {
      out = test::PatternBitmap(w, h);
      return true;
    }
    if (path == "empty") return true;
    if (path == "crash") ::raise(SIGSEGV);
    if (path == "abort") std::abort();
    if (path == "hang")
      for (;;) ::pause();
    if (path == "spin") {
      volatile unsigned long x = 0;
      for (;;) x = x + 1;
    }
    if (std::sscanf(path.c_str(), "slow:%d", &ms) == 1) {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      out = test::PatternBitmap(3, 2);
      return true;
    }
    if (std::sscanf(path.c_str(), "busy:%d", &ms) == 1) {
      // Burns CPU for ms milliseconds.
      const clock_t end = clock() + clock_t(ms) * CLOCKS_PER_SEC / 1000;
      while (clock() < end) {
      }
      out = test::PatternBitmap(2, 2);
      return true;
    }
    if (path == "bomb") {
      // What a decompression bomb does: ask for far more memory than is sane.
      const size_t huge = size_t(3) << 30;
      void* p = std::malloc(huge);
      if (!p) return false;
      std::memset(p, 1, huge);
      std::free(p);
      return true;
    }
    if (path == "fds") {
      // Answers with a picture as wide as the number of open descriptors.
      int count = 0;
      if (DIR* d = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(d))
          if (e->d_name[0] != '.') ++count;
        ::closedir(d);
      }
      out = Bitmap(count - 1, 1);  // minus the directory's own descriptor
      return true;
    }
    if (path == "throw") throw std::runtime_error("reader failed");
    return false;
  }

  bool Save(const std::string& path, const Bitmap& bitmap,
            const CodecSaveRequest& options) override {
    if (path.find("refuse") != std::string::npos) return false;
    // Writes what arrived: the size, the options and a checksum of the pixels.
    uint64_t sum = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
      for (size_t i = 0; i < size_t(bitmap.Width()) * 3; ++i)
        sum = sum * 31 + bitmap.ScanLine(y)[i];
    std::ofstream f(path);
    f << bitmap.Width() << ' ' << bitmap.Height() << ' ' << options.type << ' '
      << options.jpegQuality << ' ' << options.sgiRle << ' ' << options.byExtension << ' ' << sum;
    return bool(f);
  }
};

// Runs before main(): when this program was started as the helper, serve and exit.
const bool kServedAsHelper = [] {
  std::ifstream f("/proc/self/cmdline");
  std::string cmdline((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (cmdline.find("--socket-fd=") == std::string::npos) return false;
  FakeCodec codec;
  std::vector<std::string> args;
  std::stringstream ss(cmdline);
  for (std::string a; std::getline(ss, a, '\0');) args.push_back(a);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  bool bound = cmdline.find("--unbound") == std::string::npos;
  auto bind = [bound](std::string& failure) {
    if (!bound) failure = "ilInit not found in libfake.so";
    return bound;
  };
  std::_Exit(RunCodecHelper(int(argv.size()), argv.data(), bind, codec));
}();

std::string SelfPath() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return std::string(buf, n > 0 ? size_t(n) : 0);
}

CodecClientOptions FakeOptions() {
  CodecClientOptions o;
  o.helperPath = SelfPath();
  o.loadTimeoutMs = 1500;
  o.saveTimeoutMs = 1500;
  o.addressSpaceLimit = uint64_t(2) << 30;
  return o;
}

uint64_t Checksum(const Bitmap& b) {
  uint64_t sum = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (size_t i = 0; i < size_t(b.Width()) * 3; ++i) sum = sum * 31 + b.ScanLine(y)[i];
  return sum;
}

bool ProcessExists(pid_t pid) { return ::kill(pid, 0) == 0; }

}  // namespace

TEST(CodecClient, PicturesTravelBothWaysThroughSharedMemory) {
  CodecClient client(FakeOptions());
  Bitmap out;
  ASSERT_TRUE(client.Load("good:37:5", out));
  EXPECT_TRUE(out.SamePixels(test::PatternBitmap(37, 5)));  // odd width: padded rows

  ASSERT_TRUE(client.Load("good:2000:1500", out));
  EXPECT_TRUE(out.SamePixels(test::PatternBitmap(2000, 1500)));

  test::TestDir dir;
  const std::string target = dir.file("저장 결과.txt");
  Bitmap picture = test::PatternBitmap(41, 9);
  CodecSaveRequest opts;
  opts.type = 0x042C;
  opts.jpegQuality = 79;
  opts.sgiRle = 1;
  opts.byExtension = true;
  ASSERT_TRUE(client.Save(target, picture, opts));
  std::ostringstream want;
  want << "41 9 1068 79 1 1 " << Checksum(picture);
  EXPECT_EQ(test::ReadFileBytes(target), want.str());

  EXPECT_FALSE(client.Save(dir.file("refuse.txt"), picture, opts));
  EXPECT_EQ(client.LastFailure(), CodecFailure::kRefused);
  EXPECT_EQ(client.StartCount(), 1);  // one helper served everything
}

TEST(CodecClient, RefusalLeavesTheBitmapAndTheHelperAlone) {
  CodecClient client(FakeOptions());
  Bitmap out = test::PatternBitmap(4, 4);
  EXPECT_FALSE(client.Load("unknown", out));
  EXPECT_EQ(client.LastFailure(), CodecFailure::kRefused);
  EXPECT_FALSE(client.Load("throw", out));
  EXPECT_TRUE(out.SamePixels(test::PatternBitmap(4, 4)));
  EXPECT_TRUE(client.Load("empty", out));
  EXPECT_TRUE(out.Empty());
  EXPECT_EQ(client.StartCount(), 1);
}

TEST(CodecClient, CrashFailsTheCallAndTheNextCallStartsAFreshHelper) {
  CodecClient client(FakeOptions());
  Bitmap out = test::PatternBitmap(4, 4);
  ASSERT_TRUE(client.Start());
  const pid_t first = client.HelperPid();
  for (const char* bad : {"crash", "abort"}) {
    EXPECT_FALSE(client.Load(bad, out)) << bad;
    EXPECT_EQ(client.LastFailure(), CodecFailure::kCrashed) << bad;
    EXPECT_EQ(client.HelperPid(), 0) << bad;
  }
  EXPECT_TRUE(out.SamePixels(test::PatternBitmap(4, 4)));
  EXPECT_FALSE(ProcessExists(first));  // reaped, not a zombie
  ASSERT_TRUE(client.Load("good:3:3", out));
  EXPECT_NE(client.HelperPid(), first);
  EXPECT_EQ(client.StartCount(), 3);
}

TEST(CodecClient, CallPastTheTimeLimitKillsTheHelper) {
  CodecClientOptions o = FakeOptions();
  o.loadTimeoutMs = 300;
  CodecClient client(o);
  ASSERT_TRUE(client.Start());
  const pid_t hung = client.HelperPid();
  Bitmap out;
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.Load("hang", out));
  const auto took = std::chrono::steady_clock::now() - t0;
  EXPECT_EQ(client.LastFailure(), CodecFailure::kTimedOut);
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_FALSE(ProcessExists(hung));
  EXPECT_TRUE(client.Load("slow:50", out));  // within the limit
  EXPECT_EQ(out.Width(), 3);
}

// CPU seconds a running process has used (/proc/PID/stat: user and system ticks).
double CpuSecondsOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));  // after the name
  std::string field;
  unsigned long long user = 0, system = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) user = std::stoull(field);
    if (i == 15) system = std::stoull(field);
  }
  return double(user + system) / double(::sysconf(_SC_CLK_TCK));
}

// CPU seconds of the children this process has reaped.
double ReapedChildrenCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

TEST(CodecClient, ResourceLimitsStopBombsAndRunawayLoops) {
  CodecClientOptions o = FakeOptions();
  o.addressSpaceLimit = uint64_t(1) << 30;
  o.cpuLimitSeconds = 1;
  // The CPU limit must strike first, however long a busy machine makes its second last.
  o.loadTimeoutMs = 120000;
  CodecClient client(o);
  Bitmap out;
  // The allocation fails inside the helper; the helper lives on.
  EXPECT_FALSE(client.Load("bomb", out));
  EXPECT_EQ(client.LastFailure(), CodecFailure::kRefused);
  EXPECT_EQ(client.StartCount(), 1);
  // The CPU allowance is per call: a helper that has already worked longer than that
  // in earlier calls still serves.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(client.Load("busy:500", out)) << i;
  EXPECT_EQ(client.StartCount(), 1);
  // A busy loop is ended by the CPU limit (SIGXCPU), not by the time limit: the call fails
  // as a crash, the helper having spent in it its allowance of CPU time (1 s, and up to
  // a second more by the limit's rounding to whole seconds), whatever the wall clock says.
  const double usedBefore = CpuSecondsOf(client.HelperPid());
  const double reapedBefore = ReapedChildrenCpuSeconds();
  EXPECT_FALSE(client.Load("spin", out));
  EXPECT_EQ(client.LastFailure(), CodecFailure::kCrashed);
  const double spun = ReapedChildrenCpuSeconds() - reapedBefore - usedBefore;
  EXPECT_GE(spun, 0.9);
  EXPECT_LE(spun, 3.0);
  EXPECT_TRUE(client.Load("good:2:2", out));
}

TEST(CodecClient, HelperKilledFromOutside) {
  CodecClient client(FakeOptions());
  Bitmap out;
  ASSERT_TRUE(client.Load("good:2:2", out));
  // Killed while idle: the next call quietly gets a new helper.
  ::kill(client.HelperPid(), SIGKILL);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(client.Load("good:5:5", out));
  EXPECT_EQ(client.StartCount(), 2);

  // Killed in the middle of a call: that call fails, the next succeeds.
  const pid_t victim = client.HelperPid();
  std::thread killer([victim] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ::kill(victim, SIGKILL);
  });
  EXPECT_FALSE(client.Load("slow:1000", out));
  killer.join();
  EXPECT_EQ(client.LastFailure(), CodecFailure::kCrashed);
  EXPECT_TRUE(client.Load("good:6:6", out));
  EXPECT_EQ(out.Width(), 6);
}

TEST(CodecClient, HelperInheritsOnlyItsSocketAndStdio) {
  // A descriptor of ours without close-on-exec must not reach the helper.
  int leaky = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaky, 0);
  CodecClient client(FakeOptions());
  Bitmap out;
  ASSERT_TRUE(client.Load("fds", out));
  EXPECT_EQ(out.Width(), 4);  // 0, 1, 2 and the socket
  ::close(leaky);
}

TEST(CodecClient, MissingHelperOrUnboundLibraryIsAClearFailure) {
  CodecClientOptions o = FakeOptions();
  o.helperPath = "/nonexistent/quorvane-codec";
  CodecClient missing(o);
  Bitmap out;
  EXPECT_FALSE(missing.Start());
  EXPECT_EQ(missing.LastFailure(), CodecFailure::kNoHelper);
  EXPECT_NE(missing.LastStartError().find("/nonexistent/quorvane-codec"), std::string::npos);
  EXPECT_FALSE(missing.Load("good:2:2", out));
  EXPECT_EQ(missing.LastFailure(), CodecFailure::kNoHelper);

  CodecClientOptions u = FakeOptions();
  u.helperArgs = {"--unbound"};
  CodecClient unbound(u);
  EXPECT_FALSE(unbound.Start());
  EXPECT_EQ(unbound.LastFailure(), CodecFailure::kNotBound);
  EXPECT_EQ(unbound.LastStartError(), "ilInit not found in libfake.so");
  EXPECT_EQ(unbound.HelperPid(), 0);
}

TEST(CodecClient, ForkedChildGetsItsOwnHelper) {
  CodecClient client(FakeOptions());
  Bitmap out;
  ASSERT_TRUE(client.Load("good:2:2", out));
  const pid_t parentHelper = client.HelperPid();
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Bitmap b;
    bool ok = client.Load("good:7:3", b) && b.Width() == 7 && client.HelperPid() != parentHelper;
    client.Stop();
    std::_Exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // A child that only ends the client must not end the parent's helper either.
  child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    client.Stop();
    std::_Exit(0);
  }
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(client.HelperPid(), parentHelper);  // the parent's helper is untouched
  EXPECT_TRUE(ProcessExists(parentHelper));
  EXPECT_TRUE(client.Load("good:4:4", out));
  EXPECT_EQ(client.StartCount(), 1);
}

TEST(CodecClient, CallsFromTwoThreadsNeverOverlap) {
  CodecClient client(FakeOptions());
  std::atomic<int> good{0};
  auto work = [&](int w) {
    for (int i = 0; i < 20; ++i) {
      Bitmap out;
      if (client.Load("good:" + std::to_string(w) + ":3", out) && out.Width() == w) ++good;
    }
  };
  std::thread a(work, 11), b(work, 13);
  a.join();
  b.join();
  EXPECT_EQ(good.load(), 40);
  EXPECT_EQ(client.StartCount(), 1);
}

TEST(CodecClient, SharedMemorySurvivesChangingSizesAndRestarts) {
  CodecClient client(FakeOptions());
  test::TestDir dir;
  const std::string target = dir.file("out.txt");
  auto saved = [&](const Bitmap& b) {
    std::ostringstream want;
    want << b.Width() << ' ' << b.Height() << " 0 -1 -1 0 " << Checksum(b);
    return test::ReadFileBytes(target) == want.str();
  };
  Bitmap out;
  // Growing, shrinking and growing again, loads and saves interleaved: each picture
  // arrives whole, whichever end made the memory last.
  const int sizes[][2] = {{10, 10},     {3000, 2000}, {5, 5},    {700, 3},
                          {5000, 4000}, {1, 1},       {640, 480}};
  for (const auto& s : sizes) {
    ASSERT_TRUE(client.Load("good:" + std::to_string(s[0]) + ":" + std::to_string(s[1]), out));
    EXPECT_TRUE(out.SamePixels(test::PatternBitmap(s[0], s[1]))) << s[0];
    const Bitmap picture = test::PatternBitmap(s[1], s[0]);
    ASSERT_TRUE(client.Save(target, picture, CodecSaveRequest{}));
    EXPECT_TRUE(saved(picture)) << s[0];
  }
  // After a crash, and after a kill while idle, a save finds its pixels in the new
  // helper's memory.
  EXPECT_FALSE(client.Load("crash", out));
  const Bitmap small = test::PatternBitmap(17, 4);
  ASSERT_TRUE(client.Save(target, small, CodecSaveRequest{}));
  EXPECT_TRUE(saved(small));
  ::kill(client.HelperPid(), SIGKILL);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(client.Save(target, small, CodecSaveRequest{}));
  EXPECT_TRUE(saved(small));
  EXPECT_EQ(client.StartCount(), 3);
}

TEST(CodecClient, AbandonEndsACallInProgressAtOnce) {
  CodecClientOptions o = FakeOptions();
  o.loadTimeoutMs = 60000;
  CodecClient client(o);
  ASSERT_TRUE(client.Start());
  const pid_t hung = client.HelperPid();
  client.Abandon();  // idle: nothing happens
  EXPECT_TRUE(ProcessExists(hung));
  bool loaded = true;
  const auto t0 = std::chrono::steady_clock::now();
  std::thread caller([&] {
    Bitmap out;
    loaded = client.Load("hang", out);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  client.Abandon();
  caller.join();
  EXPECT_FALSE(loaded);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(30));
  EXPECT_FALSE(ProcessExists(hung));
  Bitmap out;
  EXPECT_TRUE(client.Load("good:2:2", out));  // a fresh helper
  EXPECT_EQ(client.StartCount(), 2);
}
