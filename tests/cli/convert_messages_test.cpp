// Every kind of failure through the real quorvane-convert: the memo lines on standard
// output stay as the dialog shows them, and standard error gets one English line with
// the path and the reason.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include "cli/CliRunner.h"
#include "processing/ConvertTestHelpers.h"
#include "imaging/ReadImage.h"
#include "support/ChildProcess.h"

namespace quorvane::test {
namespace {

const std::string kPrefix = "quorvane-convert: ";

class ConvertMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CodecReady());
    src = dir.file("사진 모음");
    out = dir.file("결과 폴더");
    mkdir(src.c_str(), 0777);
  }

  CliResult Run(const std::vector<std::string>& args, const std::string& env = "") {
    return RunShell(ConverterCommand(ConverterBinary(), args, env, dir.path()),
                    dir.file("stderr.txt"));
  }

  // Runs a copy of the converter as an unprivileged user (as the caller when not root).
  CliResult RunUnprivilegedConverter(const std::vector<std::string>& args) {
    std::string why;
    const std::string programs = ShareBuiltPrograms(dir, true, why);
    if (programs.empty()) {
      skipped = why;
      return {};
    }
    const std::string logs = dir.file("logs");
    mkdir(logs.c_str(), 0777);
    chmod(logs.c_str(), 0777);
    const std::string command =
        ConverterCommand(programs + "/quorvane-convert", args,
                         "QUORVANE_CODEC_HELPER=" + ShellQuote(SharedCodecHelper(programs)),
                         dir.path()) +
        " >" + ShellQuote(logs + "/out") + " 2>" + ShellQuote(logs + "/err");
    const int status = RunUnprivileged([&] {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      return 127;
    });
    return CollectResult(status, ReadFileBytes(logs + "/out"), ReadFileBytes(logs + "/err"));
  }

  std::string Picture(const std::string& name, int width = 12, int height = 8) {
    return WritePicture(src + "/" + name, width, height);
  }

  // The memo of a one-file batch that failed with `memo`.
  static std::vector<std::string> OneFailure(const std::string& path, const std::string& memo) {
    return {"* total 1File(s)", "-" + path + "(1/1)", memo, "Error(s) : 1"};
  }

  TestDir dir;
  std::string src, out;
  std::string skipped;
};

TEST_F(ConvertMessagesTest, SourcesThatCannotBeRead) {
  const std::string missing = src + "/없는 그림.png";
  CliResult r = Run({"-o", out, missing});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.lines, OneFailure(missing, kMemoReadFailed));
  EXPECT_EQ(r.err, kPrefix + missing + ": the file does not exist\n");

  const std::string junk = dir.write("사진 모음/a b.tga", "not a picture at all");
  r = Run({"-o", out, junk});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.lines, OneFailure(junk, kMemoReadFailed));
  EXPECT_EQ(r.err, kPrefix + junk + ": not a picture the readers know, or a damaged one\n");

  // A named pipe is refused at once instead of waiting for a writer for good (the
  // time limit only ends a hang).
  const std::string pipe = src + "/pipe.jpg";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0666), 0);
  const std::string codecPipe = src + "/pipe.png";  // read through the codec helper
  ASSERT_EQ(mkfifo(codecPipe.c_str(), 0666), 0);
  for (const std::string& path : {pipe, codecPipe}) {
    r = Run({"-o", out, path}, "timeout 20");
    EXPECT_EQ(r.exitCode, 1) << path;
    EXPECT_EQ(r.lines, OneFailure(path, kMemoReadFailed));
    EXPECT_EQ(r.err, kPrefix + path + ": not a regular file\n");
  }
  EXPECT_TRUE(FolderNames(out).empty());
}

TEST_F(ConvertMessagesTest, TargetsThatAreNotWritten) {
  const std::string a = Picture("a.png");
  ASSERT_EQ(Run({"-o", out, a}).exitCode, 0);
  const std::string before = ReadFileBytes(out + "/a.jpg");

  CliResult r = Run({"--no-overwrite", "-o", out, a});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.lines, OneFailure(a, kMemoSaveFailed));
  EXPECT_EQ(r.err, kPrefix + a + ": the target " + out +
                       "/a.jpg exists and existing files are kept (--no-overwrite)\n");
  EXPECT_EQ(ReadFileBytes(out + "/a.jpg"), before);

  // Keeping the name, into the sources' own folder.
  r = Run({"--keep-name", "-o", src, a});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.lines, OneFailure(a, kMemoSaveFailed));
  EXPECT_EQ(r.err, kPrefix + a + ": the target " + a +
                       " is one of this batch's own sources; it is never replaced\n");

  // Two sources, one output name: the later one does not replace the earlier result.
  const std::string b = Picture("a.bmp");
  r = Run({"-o", dir.file("twice"), a, b});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.lines,
            (std::vector<std::string>{"* total 2File(s)", "-" + a + "(1/2)", "-" + b + "(2/2)",
                                      kMemoSaveFailed, "Error(s) : 1"}));
  EXPECT_EQ(r.err, kPrefix + b + ": another file of this batch already wrote " +
                       dir.file("twice/a.jpg") + "\n");
}

TEST_F(ConvertMessagesTest, ClashingNamesAcrossWorkers) {
  // c.gif cannot be read, so c.bmp may take "c.jpg"; d.bmp may not replace d.png's.
  const std::string c1 = dir.write("사진 모음/c.gif", "GIF89a and no more");
  const std::string c2 = Picture("c.bmp", 9, 5);
  const std::string d1 = Picture("d.png", 7, 7);
  const std::string d2 = Picture("d.bmp", 3, 3);
  const std::string e = Picture("e.png", 4, 4);
  for (const char* jobs : {"1", "3"}) {
    const std::string target = dir.file(std::string("jobs ") + jobs);
    const CliResult r = Run({"-j", jobs, "-o", target, c1, c2, d1, d2, e});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.lines,
              (std::vector<std::string>{"* total 5File(s)", "-" + c1 + "(1/5)", kMemoReadFailed,
                                        "-" + c2 + "(2/5)", "-" + d1 + "(3/5)", "-" + d2 + "(4/5)",
                                        kMemoSaveFailed, "-" + e + "(5/5)", "Error(s) : 2"}))
        << jobs;
    EXPECT_EQ(r.err, kPrefix + c1 + ": not a picture the readers know, or a damaged one\n" +
                         kPrefix + d2 + ": another file of this batch already wrote " + target +
                         "/d.jpg\n");
    EXPECT_EQ(FolderNames(target), (std::set<std::string>{"c.jpg", "d.jpg", "e.jpg"}));
    Bitmap back;
    ASSERT_TRUE(ReadImageFile(target + "/c.jpg", back));
    EXPECT_EQ(back.Width(), 9);
    ASSERT_TRUE(ReadImageFile(target + "/d.jpg", back));
    EXPECT_EQ(back.Width(), 7);
  }
}

// Stop while a file waits for an earlier namesake: it is never started, and every file
// the workers finished is still listed.
TEST_F(ConvertMessagesTest, StopWithAFileLeftForLaterStillListsTheFinishedOnes) {
  std::vector<std::string> args = {
      "-j", "2", "-o", out, Picture("a.png"), Picture("a.bmp"), Picture("c.png")};
  for (int i = 0; i < 40; ++i)
    args.push_back(Picture("big " + std::to_string(i) + ".png", 500, 400));
  const std::string outFile = dir.file("stdout.txt");
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 1);
    std::vector<char*> argv = {const_cast<char*>(ConverterBinary().c_str())};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  // Interrupt as soon as c.png's result is there.
  struct stat st {};
  for (int i = 0; i < 4000 && stat((out + "/c.jpg").c_str(), &st) != 0; ++i) usleep(2000);
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);  // stopped: not every file was converted
  const CliResult r = CollectResult(WEXITSTATUS(status), ReadFileBytes(outFile), "");
  ASSERT_FALSE(r.lines.empty());
  EXPECT_EQ(r.lines.back(), "Error(s) : 0");
  EXPECT_EQ(std::count(r.lines.begin(), r.lines.end(), "-" + src + "/a.bmp(2/43)"), 0);
  // Every result written has its line, in file order.
  const std::set<std::string> written = FolderNames(out);
  ASSERT_TRUE(written.count("c.jpg"));
  ASSERT_LT(written.size(), 42u) << "the batch ended before Stop";
  size_t listed = 0;
  for (const std::string& line : r.lines)
    if (line.rfind("-", 0) == 0) ++listed;
  EXPECT_EQ(listed, written.size());
  EXPECT_NE(r.out.find("-" + src + "/c.png(3/43)\n"), std::string::npos);
}

TEST_F(ConvertMessagesTest, FullDisk) {
  // A file size limit of 8 blocks of 512 bytes: every result past it fails to write.
  // (The source is read in-process: the codec helper's shared memory obeys the limit.)
  const std::string a = Picture("a.jpg", 64, 64);
  for (const char* format : {"bmp", "gif"}) {
    const std::string target = out + "/a." + format;
    const CliResult r = Run({"-f", format, "-o", out, a}, "ulimit -f 8;");
    EXPECT_EQ(r.exitCode, 1) << format;
    EXPECT_EQ(r.lines, OneFailure(a, kMemoSaveFailed));
    EXPECT_EQ(r.err, kPrefix + a + ": cannot write the target " + target + ": the disk is full\n");
    EXPECT_TRUE(FolderNames(out).empty()) << "no partial or temporary file is left";
  }
}

TEST_F(ConvertMessagesTest, PermissionDenied) {
  const std::string a = Picture("a.png");
  const std::string secret = Picture("secret.png");
  chmod(src.c_str(), 0755);
  chmod(a.c_str(), 0644);
  chmod(secret.c_str(), 0);
  mkdir(out.c_str(), 0555);
  chmod(out.c_str(), 0555);
  const CliResult r = RunUnprivilegedConverter({"-o", out, a, secret});
  if (!skipped.empty()) GTEST_SKIP() << skipped;
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.lines,
            (std::vector<std::string>{"* total 2File(s)", "-" + a + "(1/2)", kMemoSaveFailed,
                                      "-" + secret + "(2/2)", kMemoReadFailed, "Error(s) : 2"}));
  EXPECT_EQ(r.err, kPrefix + a + ": cannot write the target " + out +
                       "/a.jpg: permission denied\n" + kPrefix + secret +
                       ": the file cannot be read (Permission denied)\n");
  EXPECT_TRUE(FolderNames(out).empty());
}

TEST_F(ConvertMessagesTest, QuietHidesFileLinesButNeverFailures) {
  const std::string a = Picture("a.png");
  const std::string missing = src + "/gone.png";
  const CliResult r = Run({"--quiet", "-o", out, a, missing});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "Error(s) : 1\n");
  EXPECT_EQ(r.err, kPrefix + missing + ": the file does not exist\n");
  EXPECT_EQ(FolderNames(out), (std::set<std::string>{"a.jpg"}));
}

TEST_F(ConvertMessagesTest, HelpTellsWhatTheOptionsDo) {
  const CliResult r = Run({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  for (const char* words :
       {"keep each file's name and therefore its format (-f is then", "positive turns", "clockwise",
        "standard output", "standard error", "missing parent folders are created"})
    EXPECT_NE(r.out.find(words), std::string::npos) << words;

  // What the help says about --rotate: a mark above the centre ends right of it.
  Bitmap picture(21, 21);
  picture.Fill(clWhite);
  for (int y = 1; y <= 4; ++y)
    for (int x = 9; x <= 11; ++x) picture.SetPixel(x, y, clRed);
  const std::string marked = src + "/mark.bmp";
  WriteBmpFile(marked, picture);
  ASSERT_EQ(Run({"--rotate", "90", "-f", "bmp", "-o", out, marked}).exitCode, 0);
  Bitmap turned;
  ASSERT_TRUE(ReadImageFile(out + "/mark.bmp", turned));
  EXPECT_EQ(turned.Pixel(17, 10), clRed);
  EXPECT_EQ(turned.Pixel(3, 10), clWhite);
}

}  // namespace
}  // namespace quorvane::test
