// The programs as a person starts them: installed with cmake --install and moved
// elsewhere, and the browser without a graphical display.
#include <gtest/gtest.h>
#include <unistd.h>

#include "imaging/BmpFile.h"
#include "imaging/ReadImage.h"
#include "support/TestDir.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {
const std::string kBuild = QUORVANE_BINARY_DIR;
}

TEST(Program, InstalledTreeConvertsAndFindsItsHelperAfterAMove) {
  for (const char* program : {"/quorvane", "/quorvane-convert", "/quorvane-codec"})
    if (::access((kBuild + program).c_str(), X_OK) != 0) GTEST_SKIP() << program << " is not built";
  TestDir dir;
  const std::string prefix = dir.file("설치 폴더");
  ASSERT_EQ(RunCommand("cmake --install " + ShellQuote(kBuild) + " --prefix " + ShellQuote(prefix) +
                       " >/dev/null"),
            0);
  for (const char* file :
       {"/bin/quorvane", "/bin/quorvane-convert", "/libexec/quorvane/quorvane-codec",
        "/share/applications/quorvane.desktop", "/share/icons/hicolor/scalable/apps/quorvane.svg"})
    EXPECT_EQ(::access((prefix + file).c_str(), R_OK), 0) << file;
  // The menu entry is one the desktop accepts.
  if (RunCommand("command -v desktop-file-validate >/dev/null") == 0)
    EXPECT_EQ(RunCommand("desktop-file-validate " +
                         ShellQuote(prefix + "/share/applications/quorvane.desktop")),
              0);

  // Moved as a whole, the tree still works: nothing points back into the build.
  const std::string moved = dir.file("옮긴 곳");
  ASSERT_EQ(::rename(prefix.c_str(), moved.c_str()), 0);
  WriteBmpFile(dir.file("그림 1.bmp"), PatternBitmap(13, 7));
  const std::string out = dir.file("결과");
  const int status = RunCommand(
      "env -u QUORVANE_CODEC_HELPER " + ShellQuote(moved + "/bin/quorvane-convert") +
      " -f tga -o " + ShellQuote(out) + " " + ShellQuote(dir.file("그림 1.bmp")) + " >/dev/null");
  EXPECT_EQ(status, 0);
  // The TGA goes through the codec helper both ways; read it back the same way.
  Bitmap result;
  ASSERT_TRUE(ReadImageFile(out + "/그림 1.tga", result));
  EXPECT_TRUE(result.SamePixels(PatternBitmap(13, 7)));
}

TEST(Program, WithoutADisplayTheBrowserSaysSoAndEndsWithOne) {
  const std::string program = kBuild + "/quorvane";
  if (::access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "the GUI program is not built";
  TestDir dir;
  const std::string log = dir.file("stderr.txt");
  const int status = RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                ShellQuote(program) + " 2>" + ShellQuote(log));
  EXPECT_EQ(status, 1);
  EXPECT_EQ(ReadFileBytes(log),
            "quorvane: no graphical display found (DISPLAY/WAYLAND_DISPLAY not set). Run it on "
            "a desktop, or under xvfb-run.\n");
}

TEST(Program, HelpVersionAndUsageErrorsNeedNoDisplay) {
  const std::string program = kBuild + "/quorvane";
  if (::access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "the GUI program is not built";
  TestDir dir;
  const std::string out = dir.file("out.txt"), err = dir.file("err.txt");
  const std::string run = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                          ShellQuote(program);
  const std::string redirect = " >" + ShellQuote(out) + " 2>" + ShellQuote(err);
  EXPECT_EQ(RunCommand(run + " --help" + redirect), 0);
  EXPECT_EQ(ReadFileBytes(out).rfind("Usage: quorvane [OPTION]... [FILE|FOLDER|URI]...\n", 0), 0u);
  EXPECT_EQ(RunCommand(run + " --version" + redirect), 0);
  EXPECT_EQ(ReadFileBytes(out), "quorvane " QUORVANE_TEST_VERSION "\n");
  EXPECT_EQ(RunCommand(run + " photo.jpg --slideshow" + redirect), 2);
  EXPECT_EQ(ReadFileBytes(out), "");
  EXPECT_EQ(ReadFileBytes(err),
            "quorvane: unrecognized option '--slideshow'\n"
            "Try 'quorvane --help' for more information.\n");
}

TEST(Program, AWaylandSocketThatDoesNotAnswerIsSaidPlainly) {
  const std::string program = kBuild + "/quorvane";
  if (::access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "the GUI program is not built";
  TestDir dir;
  // A socket file left behind by a compositor that is gone.
  dir.write("wayland-9", "");
  const std::string log = dir.file("stderr.txt");
  const int status = RunCommand("env -u DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR=" +
                                ShellQuote(dir.path()) + " WAYLAND_DISPLAY=wayland-9 " +
                                ShellQuote(program) + " 2>" + ShellQuote(log));
  EXPECT_EQ(status, 1);
  EXPECT_EQ(ReadFileBytes(log), "quorvane: cannot reach the Wayland display wayland-9 (" +
                                    dir.file("wayland-9") +
                                    ": Connection refused). Run it on a desktop, or under "
                                    "xvfb-run.\n");
}

TEST(Program, InstallsManualPagesAndAMetainfoTheSoftwareCentreAccepts) {
  if (::access((kBuild + "/quorvane").c_str(), X_OK) != 0) GTEST_SKIP() << "not built";
  TestDir dir;
  const std::string prefix = dir.file("prefix");
  ASSERT_EQ(RunCommand("cmake --install " + ShellQuote(kBuild) + " --prefix " + ShellQuote(prefix) +
                       " >/dev/null"),
            0);
  for (const char* page : {"quorvane.1", "quorvane-convert.1"}) {
    const std::string path = prefix + "/share/man/man1/" + page;
    ASSERT_EQ(::access(path.c_str(), R_OK), 0) << page;
    // The page reads as one: man formats it with its synopsis and options.
    EXPECT_EQ(RunCommand("MANWIDTH=80 man -l " + ShellQuote(path) +
                         " 2>/dev/null | grep -q -- '--help'"),
              0)
        << page;
  }
  const std::string metainfo = prefix + "/share/metainfo/io.github.quorvane.Quorvane.metainfo.xml";
  ASSERT_EQ(::access(metainfo.c_str(), R_OK), 0);
  if (RunCommand("command -v appstreamcli >/dev/null") == 0)
    EXPECT_EQ(RunCommand("appstreamcli validate --no-net " + ShellQuote(metainfo) + " >/dev/null"), 0);
  // Both files offer the JPEG, HEIF and camera types the program reads.
  const std::string desktop = ReadFileBytes(prefix + "/share/applications/quorvane.desktop");
  EXPECT_NE(desktop.find("\nExec=quorvane %U\n"), std::string::npos);
  for (const char* type : {"image/jpeg", "image/heif", "image/jxl", "image/x-canon-cr3",
                           "image/x-portable-pixmap", "image/x-tga", "image/x-sgi"}) {
    EXPECT_NE(desktop.find(std::string(type) + ";"), std::string::npos) << type;
    EXPECT_NE(ReadFileBytes(metainfo).find("<mediatype>" + std::string(type) + "</mediatype>"),
              std::string::npos)
        << type;
  }
}
