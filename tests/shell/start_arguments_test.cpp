// The browser's command line: options, and what each form of operand opens.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "imaging/BmpFile.h"
#include "platform/FileUris.h"
#include "shell/StartArguments.h"
#include "support/TestDir.h"

using namespace quorvane;
using namespace quorvane::test;
using Action = StartArguments::Action;

TEST(StartArguments, OptionsOperandsAndToolkitOptions) {
  EXPECT_EQ(ParseStartArguments({"--help", "x"}).action, Action::Help);
  EXPECT_EQ(ParseStartArguments({"-V"}).action, Action::Version);
  // --help wins over --version, whatever their order.
  EXPECT_EQ(ParseStartArguments({"--version", "-h"}).action, Action::Help);

  const StartArguments unknown = ParseStartArguments({"a.jpg", "--zoom", "b.jpg"});
  EXPECT_EQ(unknown.action, Action::UsageError);
  EXPECT_EQ(unknown.error, "unrecognized option '--zoom'");
  EXPECT_EQ(ParseStartArguments({"-x"}).error, "invalid option '-x'");
  EXPECT_EQ(ParseStartArguments({"-platform"}).action, Action::UsageError);

  // After "--" a name beginning with "-" is a file; Qt's options go to the toolkit.
  const StartArguments parsed =
      ParseStartArguments({"-platform", "offscreen", "a.jpg", "--", "-b.jpg", "--help", "-"});
  EXPECT_EQ(parsed.action, Action::Open);
  EXPECT_EQ(parsed.operands, (std::vector<std::string>{"a.jpg", "-b.jpg", "--help", "-"}));
  EXPECT_EQ(parsed.toolkit, (std::vector<std::string>{"-platform", "offscreen"}));
}

TEST(StartArguments, FolderPicturesAndRelativePaths) {
  TestDir dir;
  const std::string photos = dir.file("사진");
  ASSERT_EQ(::mkdir(photos.c_str(), 0755), 0);
  WriteBmpFile(photos + "/a.bmp", PatternBitmap(3, 2));
  WriteBmpFile(photos + "/b.bmp", PatternBitmap(2, 3));
  ASSERT_EQ(::mkdir(dir.file("other").c_str(), 0755), 0);
  WriteBmpFile(dir.file("other/c.bmp"), PatternBitmap(1, 1));

  StartTarget folder = ResolveStartTarget({"사진/"}, dir.path());
  EXPECT_EQ(folder.folder, photos);
  EXPECT_TRUE(folder.pictures.empty());
  EXPECT_TRUE(folder.problems.empty());

  // Several pictures: those of the first one's folder, in the order named; "." and ".."
  // are resolved against the working folder.
  const StartTarget several =
      ResolveStartTarget({"./b.bmp", "../other/c.bmp", photos + "/a.bmp"}, photos);
  EXPECT_EQ(several.folder, photos);
  EXPECT_EQ(several.pictures, (std::vector<std::string>{photos + "/b.bmp", photos + "/a.bmp"}));
  ASSERT_EQ(several.problems.size(), 1u);
  EXPECT_EQ(several.problems[0], dir.file("other/c.bmp") + ": left out; one folder opens at a time");
}

TEST(StartArguments, UrisAndNamesThatAreNoUtf8) {
  TestDir dir;
  // A picture whose name holds bytes that are no UTF-8, as an old camera card has them.
  const std::string name = dir.file("IMG\xff\xfe 01.bmp");
  WriteBmpFile(name, PatternBitmap(4, 4));
  const std::string uri = FileUriFromPath(name);
  ASSERT_NE(uri.find("%FF%FE"), std::string::npos);

  for (const std::string& operand : {uri, name, std::string("file://localhost") + uri.substr(7)}) {
    const StartTarget target = ResolveStartTarget({operand}, "/");
    EXPECT_EQ(target.folder, dir.path()) << operand;
    EXPECT_EQ(target.pictures, std::vector<std::string>{name}) << operand;
    EXPECT_TRUE(target.problems.empty()) << operand;
  }
  // Another machine's file, or another scheme, is no local file.
  const StartTarget remote =
      ResolveStartTarget({"file://elsewhere/x.jpg", "https://example.org/x.jpg"}, dir.path());
  EXPECT_EQ(remote.problems, (std::vector<std::string>{"file://elsewhere/x.jpg: not a local file",
                                                       "https://example.org/x.jpg: not a local file"}));
  EXPECT_TRUE(remote.folder.empty());  // nothing named a place: the last folder opens
}

TEST(StartArguments, MissingAndNonPicturesOpenTheNearestFolder) {
  TestDir dir;
  const std::string notes = dir.write("notes.txt", "a shopping list\n");
  const std::string fake = dir.write("fake.jpg", "not a JPEG at all, just text\n");
  const std::string empty = dir.write("empty.png", "");
  // A TGA has no identifying bytes: its name says what it is.
  const std::string tga = dir.write("x.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\x18\0\0\0\xff", 21));

  const StartTarget missing = ResolveStartTarget({dir.file("gone/deeper/x.jpg")}, "/");
  EXPECT_EQ(missing.folder, dir.path());
  EXPECT_EQ(missing.problems,
            std::vector<std::string>{dir.file("gone/deeper/x.jpg") + ": No such file or directory"});

  for (const std::string& path : {notes, fake, empty}) {
    const StartTarget target = ResolveStartTarget({path}, "/");
    EXPECT_EQ(target.folder, dir.path()) << path;
    EXPECT_TRUE(target.pictures.empty()) << path;
    EXPECT_EQ(target.problems, std::vector<std::string>{path + ": not a picture"});
  }
  // A problem does not hide what could be opened after it.
  const StartTarget mixed = ResolveStartTarget({notes, tga}, "/");
  EXPECT_EQ(mixed.pictures, std::vector<std::string>{tga});
  EXPECT_EQ(mixed.problems.size(), 1u);

  if (::geteuid() != 0) {  // root reads everything
    const std::string locked = dir.file("locked.bmp");
    WriteBmpFile(locked, PatternBitmap(2, 2));
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    const StartTarget unreadable = ResolveStartTarget({locked}, "/");
    EXPECT_EQ(unreadable.folder, dir.path());
    EXPECT_EQ(unreadable.problems, std::vector<std::string>{locked + ": Permission denied"});
  }
}
