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
