// quorvane-convert against damaged files and a codec helper that dies mid-batch: every
// file gets its line and its verdict, the batch runs to its end, nothing hangs.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "imaging/OpenIL.h"
#include "imaging/ReadImage.h"
#include "shell/Settings.h"
#include "support/DamagedFiles.h"
#include "support/TestDir.h"

extern char** environ;

namespace quorvane::test {
namespace {

const std::string kBinary = std::string(QUORVANE_BINARY_DIR) + "/quorvane-convert";

// A running quorvane-convert with its stdout in a file.
class Converter {
 public:
  Converter(const TestDir& dir, const std::vector<std::string>& args, const std::string& env = "")
      : out_(dir.file("cli-out.txt")) {
    std::vector<std::string> all = {"/usr/bin/env"};
    if (!env.empty()) all.push_back(env);
    all.push_back(kBinary);
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
  }
  ~Converter() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  pid_t Pid() const { return pid_; }
  std::string Output() const { return ReadFileBytes(out_); }

  // Waits for the exit; the exit code, or -1 for a signal or a run past the limit.
  int Wait(std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
  }

 private:
  std::string out_;
  pid_t pid_ = -1;
};

// Children of a process running the given program name.
std::vector<pid_t> ChildrenNamed(pid_t parent, const std::string& comm) {
  std::vector<pid_t> found;
  DIR* proc = ::opendir("/proc");
  if (!proc) return found;
  while (dirent* e = ::readdir(proc)) {
    const pid_t pid = std::atoi(e->d_name);
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::string(e->d_name) + "/stat");
    std::string line;
    std::getline(stat, line);
    // pid (comm) state ppid ...
    const size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    char state;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent && line.substr(open + 1, close - open - 1) == comm) found.push_back(pid);
  }
  ::closedir(proc);
  return found;
}

int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class CodecIsolationCli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(BindCodecLibrary() && CodecInit()); }
  TestDir dir;
};

TEST_F(CodecIsolationCli, DamagedFilesOfEveryExtensionInOneBatch) {
  const auto seeds = MakeSeedFiles(dir);
  std::vector<std::string> args = {"-f", "png", "-o", dir.file("out"), "--jobs", "2"};
  int files = 0;
  for (int e = 0; e < CodecExtensionCount; ++e) {
    const std::string ext(CodecExtensions[e]);
    ASSERT_TRUE(seeds.count(ext)) << ext;
    const auto mutants = Mutants(ReadFileBytes(seeds.at(ext)), 7000 + unsigned(e), 10);
    for (size_t i = 0; i < mutants.size(); ++i) {
      // Distinct names: outputs of different extensions must not collide.
      args.push_back(
          dir.write("m" + std::to_string(e) + "_" + std::to_string(i) + ext, mutants[i]));
      ++files;
    }
  }
  args.push_back(seeds.at(".png"));  // a good file at the end
  ++files;
  Converter cli(dir, args, "QUORVANE_CODEC_LOAD_TIMEOUT_MS=1500");
  ASSERT_GT(cli.Pid(), 0);
  const int code = cli.Wait(std::chrono::seconds(100));
  const std::string out = cli.Output();
  EXPECT_TRUE(code == 0 || code == 1) << "exit " << code << "\n" << out;
  // Every file has its line, and every failure its reason.
  for (int i = 1; i <= files; ++i)
    EXPECT_EQ(CountOf(out, "(" + std::to_string(i) + "/" + std::to_string(files) + ")"), 1) << i;
  const int failures =
      CountOf(out, "파일을 읽어들일 수 없습니다.") + CountOf(out, "파일을 저장할 수 없습니다.");
  EXPECT_NE(out.find("Error(s) : " + std::to_string(failures)), std::string::npos) << out;
  Bitmap good;
  EXPECT_TRUE(ReadImageFile(dir.file("out/seed.png"), good));
}

TEST_F(CodecIsolationCli, MissingHelperEndsTheConverterWithTheLibraryMessage) {
  const std::string picture = dir.write("a.png", "");
  const std::string err = dir.file("err.txt");
  const int code = RunCommand("QUORVANE_CODEC_HELPER=/nonexistent " + ShellQuote(kBinary) + " " +
                              ShellQuote(picture) + " >/dev/null 2>" + ShellQuote(err));
  EXPECT_EQ(code, 1);
  EXPECT_NE(ReadFileBytes(err).find("devil.dll and ilu.dll and ilut.dll is not found!"),
            std::string::npos);
}

TEST_F(CodecIsolationCli, HelperKilledInTheMiddleOfABatch) {
  const int kFiles = 12;
  std::vector<std::string> args = {"-f", "png", "-o", dir.file("out")};
  Bitmap picture(1200, 900);
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) picture.SetPixel(x, y, RgbColor((x * 7) ^ (y * 13)));
  CodecSaveRequest req;
  req.type = kCodecTypeTga;
  for (int i = 0; i < kFiles; ++i) {
    args.push_back(dir.file("그림 " + std::to_string(i) + ".tga"));
    ASSERT_TRUE(CodecSave(args.back(), picture, req));
  }
  Converter cli(dir, args);
  ASSERT_GT(cli.Pid(), 0);
  // When the third file's line appears, its read is under way in the helper.
  const std::string third = "(3/" + std::to_string(kFiles) + ")";
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (cli.Output().find(third) == std::string::npos && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::vector<pid_t> helpers = ChildrenNamed(cli.Pid(), "quorvane-codec");
  ASSERT_EQ(helpers.size(), 1u);
  ASSERT_EQ(::kill(helpers[0], SIGKILL), 0);

  const int code = cli.Wait(std::chrono::seconds(60));
  const std::string out = cli.Output();
  const int failures =
      CountOf(out, "파일을 읽어들일 수 없습니다.") + CountOf(out, "파일을 저장할 수 없습니다.");
  // At most the file in hand fails (none when the kill fell between two calls).
  EXPECT_LE(failures, 1) << out;
  EXPECT_EQ(code, failures ? 1 : 0) << out;
  int written = 0;
  for (int i = 0; i < kFiles; ++i) {
    Bitmap back;
    if (ReadImageFile(dir.file("out/그림 " + std::to_string(i) + ".png"), back)) {
      ++written;
      EXPECT_TRUE(back.SamePixels(picture)) << i;
    }
  }
  EXPECT_EQ(written, kFiles - failures);
  if (failures) {
    // The failed file is the one in hand when the helper died: the third (or the fourth
    // if the third had just finished).
    const size_t failed = out.find("파일을");
    const std::string before = out.substr(0, failed);
    const size_t lastLine = before.rfind("(");
    ASSERT_NE(lastLine, std::string::npos);
    const std::string position = before.substr(lastLine);
    EXPECT_TRUE(position.starts_with(third) || position.starts_with("(4/")) << out;
  }
  std::printf("helper killed during file 3: %d file(s) failed\n", failures);
}

}  // namespace
}  // namespace quorvane::test
