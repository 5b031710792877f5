// The helpers' sandbox: the real codec helper runs confined and still reads and writes
// pictures; a test build of it (sandbox_escape_helper_main.cpp) tries to get out and is
// refused every time; the shared pixel memory cannot be shrunk under the program and
// large arenas are given back; colour profiles are parsed only in the helper.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

#include "imaging/CodecClient.h"
#include "imaging/PictureDecoders.h"
#include "imaging/Sandbox.h"
#include "support/ColourProfiles.h"
#include "support/TestDir.h"

using namespace quorvane;

namespace {

std::string StatusField(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field + ":", 0) == 0) {
      const size_t value = line.find_first_not_of(" \t", field.size() + 1);
      return value == std::string::npos ? std::string() : line.substr(value);
    }
  return {};
}

// Sizes of a process's mappings of the shared pixel memory (0: this process).
std::vector<size_t> PixelMappings(pid_t pid = 0) {
  std::vector<size_t> sizes;
  std::ifstream maps(pid ? "/proc/" + std::to_string(pid) + "/maps" : "/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    if (line.find("quorvane-pixels") == std::string::npos) continue;
    size_t from = 0, to = 0;
    if (std::sscanf(line.c_str(), "%zx-%zx", &from, &to) == 2) sizes.push_back(to - from);
  }
  return sizes;
}

constexpr uint8_t kRefused = 1;

CodecSaveRequest ByExtension() {
  CodecSaveRequest request;
  request.byExtension = true;
  return request;
}

CodecClientOptions EscapeOptions(std::vector<std::string> args = {}) {
  CodecClientOptions options;
  options.helperPath = QUORVANE_ESCAPE_HELPER;
  options.helperArgs = std::move(args);
  return options;
}

// Makes one attempt in a fresh escape helper; true when it was refused (EPERM or
// EACCES) or the helper was killed for it.
::testing::AssertionResult Refused(CodecClient& client, test::TestDir& dir,
                                   const std::string& attempt) {
  const std::string file = dir.write("attempt.txt", attempt);
  Bitmap answer;
  const bool answered = client.Load(file, answer);
  const CodecFailure failure = client.LastFailure();
  client.Stop();
  if (!answered) {
    if (failure == CodecFailure::kCrashed) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << attempt << ": no answer, failure " << int(failure);
  }
  if (answer.Empty() || answer.Bits()[0] != kRefused)
    return ::testing::AssertionFailure()
           << attempt << ": outcome " << (answer.Empty() ? -1 : int(answer.Bits()[0]))
           << ", errno " << (answer.Empty() ? -1 : int(answer.Bits()[1]));
  return ::testing::AssertionSuccess();
}

// A TCP listener on a free port of 127.0.0.1.
struct Listener {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int port = 0;
  Listener() {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof at;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && ::listen(fd, 4) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &len) == 0)
      port = ntohs(at.sin_port);
  }
  ~Listener() { ::close(fd); }
  bool Accepted() const {
    const int c = ::accept(fd, nullptr, nullptr);
    if (c >= 0) ::close(c);
    return c >= 0;
  }
};

}  // namespace

TEST(CodecSandbox, TheRealHelperRunsConfinedAndStillReadsAndWritesPictures) {
  test::TestDir dir;
  CodecClient client;
  ASSERT_TRUE(client.Start()) << client.LastStartError();
  EXPECT_EQ(StatusField(client.HelperPid(), "NoNewPrivs"), "1");
  EXPECT_EQ(StatusField(client.HelperPid(), "Seccomp"), "2");
  if (LandlockAbi() > 0) {
    EXPECT_EQ(client.SandboxLayers(), kSandboxFull);
    EXPECT_EQ(DecodingSandboxNote(&client), "");
  } else {
    EXPECT_EQ(client.SandboxLayers(), kSandboxNoNewPrivs | kSandboxSeccomp);
    EXPECT_NE(DecodingSandboxNote(&client).find("Landlock"), std::string::npos);
  }

  // Saves write into the file the program opened, loads read the one it opened; the
  // helper is the same process throughout, so nothing killed it.
  const pid_t helper = client.HelperPid();
  const Bitmap picture = test::PatternBitmap(37, 5);
  for (const char* name : {"out.png", "out.tif", "out.tga"}) {
    const std::string path = dir.file(name);
    ASSERT_TRUE(client.Save(path, picture, ByExtension())) << name;
    Bitmap back;
    ASSERT_TRUE(client.Load(path, back)) << name;
    EXPECT_TRUE(back.SamePixels(picture)) << name;
  }
  EXPECT_EQ(client.HelperPid(), helper);
  // A save that fails leaves no file behind; a missing file is refused, not a crash.
  EXPECT_FALSE(client.Save(dir.file("no-such-folder/out.png"), picture, ByExtension()));
  Bitmap none;
  EXPECT_FALSE(client.Load(dir.file("missing.png"), none));
  EXPECT_EQ(client.LastFailure(), CodecFailure::kRefused);
  EXPECT_EQ(client.HelperPid(), helper);
}

TEST(CodecSandbox, EveryEscapeAttemptIsRefused) {
  if (LandlockAbi() == 0)
    GTEST_SKIP() << "this kernel has no Landlock: the helpers run with seccomp alone";
  test::TestDir dir;
  // A home folder with a key in it, which the helper inherits.
  ASSERT_EQ(::mkdir(dir.file(".ssh").c_str(), 0700), 0);
  dir.write(".ssh/id_rsa", "secret");
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  ::setenv("HOME", dir.path().c_str(), 1);
  CodecClient client(EscapeOptions());

  // First the control: an attempt at nothing is answered, from a confined process.
  Bitmap answer;
  ASSERT_TRUE(client.Load(dir.write("attempt.txt", "nothing"), answer));
  EXPECT_EQ(StatusField(client.HelperPid(), "Seccomp"), "2");
  EXPECT_EQ(client.SandboxLayers(), kSandboxFull);
  client.Stop();

  const std::string made = dir.file("made-by-the-helper");
  const std::string inTmp = "/tmp/quorvane-escape-" + std::to_string(::getpid());
  Listener listener;
  ASSERT_GT(listener.port, 0);
  for (const std::string& attempt :
       {std::string("open-ssh-key"), std::string("open-passwd"), "create:" + inTmp,
        "create:" + made, "connect:" + std::to_string(listener.port), std::string("exec-shell"),
        std::string("ptrace"), std::string("shrink-pixels")})
    EXPECT_TRUE(Refused(client, dir, attempt));
  EXPECT_NE(::access(inTmp.c_str(), F_OK), 0);
  EXPECT_NE(::access(made.c_str(), F_OK), 0);
  EXPECT_FALSE(listener.Accepted());
  ::setenv("HOME", savedHome.c_str(), 1);
}

TEST(CodecSandbox, WithoutLandlockSeccompAloneStillRefusesFilesAndTheNoteSaysSo) {
  test::TestDir dir;
  CodecClient client(EscapeOptions({"--sandbox-without-landlock"}));
  EXPECT_TRUE(Refused(client, dir, "open-passwd"));
  EXPECT_TRUE(Refused(client, dir, "exec-shell"));
  ASSERT_TRUE(client.Start());
  EXPECT_EQ(client.SandboxLayers(), kSandboxNoNewPrivs | kSandboxSeccomp);
  EXPECT_NE(DecodingSandboxNote(&client).find("Landlock"), std::string::npos);
}

TEST(SharedArena, IsSealedAgainstShrinkingAndOnlySealedMemoryIsTaken) {
  SharedArena mine;
  ASSERT_TRUE(mine.Reserve(100000));
  EXPECT_NE(::ftruncate(mine.Fd(), 0), 0);
  EXPECT_EQ(errno, EPERM);
  EXPECT_EQ(::ftruncate(mine.Fd(), off_t(mine.Capacity()) * 2), 0);  // growing harms no one

  SharedArena theirs;
  UniqueFd unsealed(::memfd_create("unsealed", MFD_CLOEXEC));
  ASSERT_EQ(::ftruncate(unsealed.Get(), 1 << 20), 0);
  EXPECT_THROW(theirs.Adopt(std::move(unsealed)), std::exception);
  EXPECT_EQ(theirs.Capacity(), 0u);
  EXPECT_NO_THROW(theirs.Adopt(UniqueFd(::fcntl(mine.Fd(), F_DUPFD_CLOEXEC, 0))));
  EXPECT_GT(theirs.Capacity(), 0u);
}

TEST(SharedArena, MemoryOfALargePictureIsGivenBackOnceItIsTakenAndByTheHelperWhenIdle) {
  test::TestDir dir;
  CodecClient client;
  const std::string big = dir.file("big.tga"), small = dir.file("small.tga");
  ASSERT_TRUE(client.Save(small, test::PatternBitmap(300, 200), ByExtension()));
  ASSERT_TRUE(client.Save(big, test::PatternBitmap(3000, 1000), ByExtension()));
  EXPECT_TRUE(PixelMappings().empty());  // the 9 MB the save sent are given back too
  Bitmap picture;
  ASSERT_TRUE(client.Load(big, picture));
  EXPECT_EQ(picture.Width(), 3000);
  EXPECT_TRUE(PixelMappings().empty());
  // The helper keeps it only while pictures follow each other.
  EXPECT_EQ(PixelMappings(client.HelperPid()).size(), 1u);
  for (int i = 0; i < 100 && !PixelMappings(client.HelperPid()).empty(); ++i) ::usleep(50000);
  EXPECT_TRUE(PixelMappings(client.HelperPid()).empty());
  // A small one stays at both ends for the next picture.
  ASSERT_TRUE(client.Load(small, picture));
  ASSERT_EQ(PixelMappings().size(), 1u);
  EXPECT_LT(PixelMappings()[0], size_t(8) << 20);
  EXPECT_EQ(PixelMappings(client.HelperPid()).size(), 1u);
}

TEST(ColourProfiles, AreParsedInTheHelperNeverInTheProgram) {
  const std::vector<uint8_t> p3 = test::DisplayP3Profile();
  Bitmap picture = test::PatternBitmap(40, 30);
  const Bitmap original = picture;
  // Without a helper the colours stay as they are: nothing here parses the profile.
  CodecClientOptions none;
  none.helperPath = "/nonexistent/quorvane-codec";
  CodecClient missing(none);
  SetThreadHelpers({&missing, nullptr});
  ConvertToSrgb(picture, p3);
  EXPECT_TRUE(picture.SamePixels(original));
  SetThreadHelpers({});
  // The helper converts them: P3's red is redder than sRGB can show, so it saturates.
  Bitmap red(1, 1);
  red.Bits()[0] = 40, red.Bits()[1] = 40, red.Bits()[2] = 200;
  ConvertToSrgb(red, p3);
  EXPECT_GT(red.Bits()[2], 200);
  EXPECT_LT(red.Bits()[1], 40);
  ConvertToSrgb(picture, p3);
  EXPECT_FALSE(picture.SamePixels(original));
}
