#include "platform/FileUris.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(FileUris, RoundTripsAwkwardNames) {
  const std::vector<std::string> paths = {"/home/u/내 사진 #1.jpg", "/tmp/a%b?c&d.png", "/"};
  const std::string list = EncodeUriList(paths);
  EXPECT_EQ(list.substr(0, list.find("\r\n")),
            "file:///home/u/%EB%82%B4%20%EC%82%AC%EC%A7%84%20%231.jpg");
  EXPECT_EQ(DecodeUriList(list), paths);

  const CopiedFiles cut{true, paths};
  CopiedFiles back;
  ASSERT_TRUE(DecodeGnomeCopiedFiles(EncodeGnomeCopiedFiles(cut), back));
  EXPECT_TRUE(back.cut);
  EXPECT_EQ(back.paths, paths);
  EXPECT_EQ(EncodeGnomeCopiedFiles({false, {"/a b"}}), "copy\nfile:///a%20b");
}

TEST(FileUris, ReadsWhatOthersWriteAndSkipsTheRest) {
  // Comments, LF-only lines, localhost, lower-case escapes, unescaped UTF-8 (Qt and some
  // file managers leave it as it is), remote and broken URIs.
  const std::string text =
      "# comment\nfile://localhost/tmp/x%c3%a9.jpg\r\nfile:/tmp/short.png\n"
      "file:///tmp/사진.jpg\nhttp://example.com/a.jpg\nfile://server/share/a.jpg\n"
      "file:///tmp/bad%zz\nfile:///tmp/nul%00\nrelative.jpg\nFILE:///tmp/upper.gif\n";
  EXPECT_EQ(DecodeUriList(text), (std::vector<std::string>{"/tmp/xé.jpg", "/tmp/short.png",
                                                           "/tmp/사진.jpg", "/tmp/upper.gif"}));
  CopiedFiles files;
  EXPECT_FALSE(DecodeGnomeCopiedFiles("file:///tmp/a.jpg\n", files));
  ASSERT_TRUE(DecodeGnomeCopiedFiles("copy\r\nfile:///tmp/a.jpg\r\n", files));
  EXPECT_FALSE(files.cut);
  EXPECT_EQ(files.paths, std::vector<std::string>{"/tmp/a.jpg"});
  EXPECT_EQ(PathFromFileUri("file:///tmp/dir/"), "/tmp/dir");
}

}  // namespace
}  // namespace quorvane
