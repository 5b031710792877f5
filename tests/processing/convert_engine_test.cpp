#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "processing/ConvertTestHelpers.h"
#include "imaging/ReadImage.h"
#include "support/ChildProcess.h"

namespace quorvane::test {
namespace {

class ConvertEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CodecReady()) << CodecBindFailure();
    src = dir.file("원본 사진");
    out = dir.file("변환 결과");
    mkdir(src.c_str(), 0777);
    engine.Params.OutputFolder = out;
  }
  // Adds a generated picture to the batch and answers its path.
  std::string AddSource(const std::string& name, int width = 8, int height = 6) {
    const std::string path = WritePicture(src + "/" + name, width, height);
    engine.Params.FileList.push_back(path);
    return path;
  }
  void Run(const StopSource* stop = nullptr) { engine.TransProc(host, stop); }

  TestDir dir;
  std::string src, out;
  RecordingIO io;
  RecordingHost host;
  ConvertEngine engine{&io};
};

TEST_F(ConvertEngineTest, EmptyBatchSucceedsWithoutTouchingTheDisk) {
  Run();
  EXPECT_TRUE(engine.AllSucceeded());
  EXPECT_EQ(engine.ErrorCount(), 0);
  EXPECT_TRUE(host.lines.empty());
  EXPECT_EQ(host.errorText, "");
  struct stat st;
  EXPECT_NE(stat(out.c_str(), &st), 0);
}

TEST_F(ConvertEngineTest, ConvertsToTargetNameAndReportsEachFile) {
  const std::string a = AddSource("a.png", 8, 6);
  const std::string b = AddSource("나무 b.bmp", 5, 7);
  const std::string c = AddSource("c d.tga", 3, 3);
  Run();
  EXPECT_TRUE(engine.AllSucceeded());
  EXPECT_EQ(host.caption, "Convert to .jpg");
  const std::vector<std::string> expected = {"* total 3File(s)", "-" + a + "(1/3)",
                                             "-" + b + "(2/3)", "-" + c + "(3/3)"};
  EXPECT_EQ(host.lines, expected);
  EXPECT_EQ(host.progressMax, 3);
  EXPECT_EQ(host.progress, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(host.errorText, "");
  // Only the results: no temporary file is left behind.
  EXPECT_EQ(FolderNames(out), (std::set<std::string>{"a.jpg", "나무 b.jpg", "c d.jpg"}));
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(out + "/나무 b.jpg", back));
  EXPECT_EQ(back.Width(), 5);
  EXPECT_EQ(back.Height(), 7);
  EXPECT_EQ(ReadFileBytes(out + "/a.jpg").substr(0, 2), "\xFF\xD8");
  // Results get the usual permissions, not those of a private temporary file.
  const mode_t mask = umask(022);
  umask(mask);
  struct stat st;
  ASSERT_EQ(stat((out + "/a.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST_F(ConvertEngineTest, OutputNames) {
  engine.Params.OutputFolder = "/out";
  engine.Params.TargetExt = ".png";
  EXPECT_EQ(engine.OutputPathFor("/s/a.jpg"), "/out/a.png");
  // The base ends at the first occurrence of the extension.
  EXPECT_EQ(engine.OutputPathFor("/s/x.jpg.jpg"), "/out/x.png");
  EXPECT_EQ(engine.OutputPathFor("/s/a.gif.b.gif"), "/out/a.png");
  EXPECT_EQ(engine.OutputPathFor("/s/no extension"), "/out/no extension.png");
  EXPECT_EQ(engine.OutputPathFor("/s.d/file"), "/out/file.png");
  EXPECT_EQ(engine.OutputPathFor("/s/.hidden"), "/out/.png");
  engine.Params.ChangeExt = false;
  EXPECT_EQ(engine.OutputPathFor("/s/x.jpg.jpg"), "/out/x.jpg.jpg");
  engine.Params.OutputFolder = "/";
  EXPECT_EQ(engine.OutputPathFor("/s/a.jpg"), "/a.jpg");
}

TEST_F(ConvertEngineTest, DoubleExtensionAndMissingExtension) {
  AddSource("x.jpg.jpg", 4, 4);
  // A file without extension: written as PNG, read back through the codec library.
  const std::string plain = src + "/사진 없음";
  WritePicture(src + "/tmp.png", 4, 4);
  ASSERT_EQ(rename((src + "/tmp.png").c_str(), plain.c_str()), 0);
  engine.Params.FileList.push_back(plain);
  Run();
  EXPECT_TRUE(engine.AllSucceeded()) << host.lines.back();
  EXPECT_EQ(FolderNames(out), (std::set<std::string>{"x.jpg", "사진 없음.jpg"}));
}

TEST_F(ConvertEngineTest, KeepNameWritesTheSourceFormatThroughTheCodec) {
  AddSource("a.png", 6, 4);
  engine.Params.ChangeExt = false;
  Run();
  EXPECT_TRUE(engine.AllSucceeded());
  ASSERT_EQ(io.codecSaves.size(), 1u);
  EXPECT_EQ(io.codecSaves[0].type, kCodecTypePng);
  EXPECT_EQ(ReadFileBytes(out + "/a.png").substr(0, 4), "\x89PNG");
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(out + "/a.png", back));
  EXPECT_TRUE(back.SamePixels(PatternBitmap(6, 4)));
}

TEST_F(ConvertEngineTest, EachFormatGoesToItsWriterWithItsOptions) {
  AddSource("p.png", 9, 5);
  const Bitmap pattern = PatternBitmap(9, 5);
  struct Case {
    const char* ext;
    int type;
    int sgiRle;
    const char* magic;
  };
  const Case cases[] = {{".png", kCodecTypePng, -1, "\x89PNG"},
                        {".tif", kCodecTypeTif, -1, "II"},
                        {".pnm", kCodecTypePnm, -1, "P6"},
                        {".tga", kCodecTypeTga, -1, ""},
                        {".sgi", kCodecTypeSgi, 1, "\x01\xDA"},
                        {".bmp", -1, -1, "BM"},
                        {".gif", -1, -1, "GIF87a"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ext);
    io.codecSaves.clear();
    engine.Params.TargetExt = c.ext;
    Run();
    ASSERT_TRUE(engine.AllSucceeded());
    const std::string path = out + "/p" + c.ext;
    EXPECT_EQ(ReadFileBytes(path).substr(0, std::string(c.magic).size()), c.magic);
    if (c.type >= 0) {
      ASSERT_EQ(io.codecSaves.size(), 1u);
      EXPECT_EQ(io.codecSaves[0].type, c.type);
      EXPECT_EQ(io.codecSaves[0].sgiRle, c.sgiRle);
      EXPECT_EQ(io.codecSaves[0].jpegQuality, -1);
      EXPECT_FALSE(io.codecSaves[0].byExtension);
    } else {
      EXPECT_TRUE(io.codecSaves.empty());
    }
    Bitmap back;
    ASSERT_TRUE(ReadImageFile(path, back));
    if (std::string(c.ext) != ".gif") {
      EXPECT_TRUE(back.SamePixels(pattern));
    }
  }
}

TEST_F(ConvertEngineTest, JpegQualityReachesTheCodecLessOne) {
  AddSource("q.bmp", 16, 16);
  std::string sizes[2];
  const int qualities[] = {100, 1};
  for (int i = 0; i < 2; ++i) {
    io.codecSaves.clear();
    engine.Params.JpegQuality = qualities[i];
    Run();
    ASSERT_EQ(io.codecSaves.size(), 1u);
    EXPECT_TRUE(io.codecSaves[0].byExtension);
    EXPECT_EQ(io.codecSaves[0].jpegQuality, qualities[i] - 1);
    // The temporary name keeps ".jpg" last so the codec picks JPEG from it.
    EXPECT_EQ(io.savedPaths.back().substr(io.savedPaths.back().size() - 4), ".jpg");
    sizes[i] = ReadFileBytes(out + "/q.jpg");
  }
  EXPECT_GT(sizes[0].size(), sizes[1].size());
}

TEST_F(ConvertEngineTest, GifDitheringFollowsTheSetting) {
  AddSource("g.png", 4, 4);
  engine.Params.TargetExt = ".gif";
  for (int index : {0, 3, 4, 7, -1}) {
    engine.Params.DitherIndex = index;
    Run();
  }
  EXPECT_EQ(io.gifDithers, (std::vector<int>{0, 3, 4, 1, 1}));
  EXPECT_EQ(GifDitherFor(2), 2);
}

TEST_F(ConvertEngineTest, NoOverwriteKeepsTheExistingFile) {
  const std::string a = AddSource("a a.png");
  mkdir(out.c_str(), 0777);
  const std::string existing = dir.write("변환 결과/a a.jpg", "old contents");
  engine.Params.Existing = OnExists::Error;
  Run();
  EXPECT_FALSE(engine.AllSucceeded());
  EXPECT_EQ(engine.ErrorCount(), 1);
  EXPECT_EQ(host.lines, (std::vector<std::string>{"* total 1File(s)", "-" + a + "(1/1)",
                                                  "파일을 저장할 수 없습니다."}));
  EXPECT_EQ(host.errorText, "Error(s) : 1");
  EXPECT_EQ(ReadFileBytes(existing), "old contents");
  EXPECT_EQ(FolderNames(out).size(), 1u);
  // With overwriting on, the file is replaced.
  engine.Params.Existing = OnExists::Overwrite;
  Run();
  EXPECT_TRUE(engine.AllSucceeded());
  EXPECT_EQ(ReadFileBytes(existing).substr(0, 2), "\xFF\xD8");
}

TEST_F(ConvertEngineTest, StopDuringSecondOfFiveFinishesThatFile) {
  for (int i = 1; i <= 5; ++i) AddSource("f" + std::to_string(i) + ".png");
  StopFlag stop;
  host.onLine = [&](const std::string& line) {
    if (line.ends_with("(2/5)")) stop.Terminate();
  };
  Run(&stop);
  EXPECT_EQ(io.reads.size(), 2u);
  EXPECT_EQ(FolderNames(out), (std::set<std::string>{"f1.jpg", "f2.jpg"}));
  EXPECT_EQ(host.lines.size(), 3u);
  EXPECT_FALSE(engine.AllSucceeded());
  EXPECT_EQ(host.errorText, "Error(s) : 0");
}

TEST_F(ConvertEngineTest, StopBeforeTheBatchDoesNothing) {
  AddSource("a.png");
  StopFlag stop;
  stop.Terminate();
  Run(&stop);
  EXPECT_TRUE(host.lines.empty());
  EXPECT_TRUE(io.reads.empty());
  EXPECT_EQ(host.errorText, "");
}

TEST_F(ConvertEngineTest, OutputFolderThatCannotBeMade) {
  AddSource("a.png");
  engine.Params.OutputFolder = dir.file("없는 폴더/out");
  Run();
  EXPECT_EQ(host.lines,
            (std::vector<std::string>{"* total 1File(s)", "폴더를 생성할 수 없습니다."}));
  EXPECT_TRUE(io.reads.empty());
  EXPECT_FALSE(engine.AllSucceeded());
  EXPECT_EQ(host.errorText, "Error(s) : 1");
  // The dialog makes one level only; the reason says why it failed.
  EXPECT_EQ(host.explanations, std::vector<std::string>{"cannot create the output folder " +
                                                        engine.Params.OutputFolder +
                                                        ": its parent folder does not exist"});
}

TEST_F(ConvertEngineTest, UnreadableFilesAreReportedAndTheBatchGoesOn) {
  const std::string bad = dir.write("원본 사진/깨진 파일.png", "not a picture at all");
  const std::string missing = src + "/missing.jpg";
  engine.Params.FileList = {bad, missing};
  const std::string good = AddSource("good.png");
  Run();
  EXPECT_EQ(host.lines,
            (std::vector<std::string>{"* total 3File(s)", "-" + bad + "(1/3)",
                                      "파일을 읽어들일 수 없습니다.", "-" + missing + "(2/3)",
                                      "파일을 읽어들일 수 없습니다.", "-" + good + "(3/3)"}));
  EXPECT_EQ(host.errorText, "Error(s) : 2");
  EXPECT_EQ(FolderNames(out), (std::set<std::string>{"good.jpg"}));
}

TEST_F(ConvertEngineTest, FailedOperationIsReported) {
  AddSource("a.png", 4, 4);
  engine.Params.OpCode = opResize;
  engine.Params.FixedSize = true;
  engine.Params.TargetWidth = 0;  // a size the resize refuses
  Run();
  EXPECT_EQ(host.lines.back(), "이미지 변환 실패");
  EXPECT_EQ(host.errorText, "Error(s) : 1");
  EXPECT_TRUE(FolderNames(out).empty());
}

TEST_F(ConvertEngineTest, ReadOnlyOutputFolder) {
  const std::string a = AddSource("a.png");
  const std::string b = AddSource("b.png");
  mkdir(out.c_str(), 0777);
  // Let the unprivileged child reach the sources.
  chmod(dir.path().c_str(), 0755);
  chmod(src.c_str(), 0755);
  chmod(a.c_str(), 0644);
  chmod(b.c_str(), 0644);
  chmod(out.c_str(), 0555);
  // The child reads through a codec helper it can reach, wherever the build is.
  std::string why;
  const std::string programs = ShareBuiltPrograms(dir, false, why);
  if (programs.empty()) GTEST_SKIP() << why;
  const int status = RunUnprivileged([&] {
    setenv("QUORVANE_CODEC_HELPER", SharedCodecHelper(programs).c_str(), 1);
    engine.TransProc(host, nullptr);
    const std::vector<std::string> expected = {"* total 2File(s)", "-" + a + "(1/2)",
                                               "파일을 저장할 수 없습니다.", "-" + b + "(2/2)",
                                               "파일을 저장할 수 없습니다."};
    const std::vector<FailReason> reasons(2, FailReason::PermissionDenied);
    return host.lines == expected && host.errorText == "Error(s) : 2" && host.reasons == reasons
               ? 0
               : 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(FolderNames(out).empty());
}

// --- A save never leaves a partial file and never loses the file it replaces.

class FailingWriterIO : public RecordingIO {
 public:
  bool throwInstead = false;
  bool CodecSave(const std::string& path, const Bitmap&, const CodecSaveRequest&) override {
    FILE* f = fopen(path.c_str(), "wb");
    if (f) {
      fputs("half a pict", f);
      fclose(f);
    }
    if (throwInstead) throw std::runtime_error("disk full");
    return false;
  }
};

TEST_F(ConvertEngineTest, FailedSaveLeavesNoPartialFileAndKeepsTheOldOne) {
  FailingWriterIO failing;
  ConvertEngine eng(&failing);
  eng.Params = engine.Params;
  eng.Params.FileList = {WritePicture(src + "/새 그림.png", 4, 4),
                         WritePicture(src + "/other.png", 4, 4)};
  mkdir(out.c_str(), 0777);
  const std::string old = dir.write("변환 결과/새 그림.jpg", "the previous result");
  for (bool throwing : {false, true}) {
    failing.throwInstead = throwing;
    RecordingHost h;
    eng.TransProc(h, nullptr);
    EXPECT_EQ(h.errorText, "Error(s) : 2");
    EXPECT_EQ(ReadFileBytes(old), "the previous result");
    EXPECT_EQ(FolderNames(out), (std::set<std::string>{"새 그림.jpg"}));
  }
}

// --- A source of the batch is never replaced.

TEST_F(ConvertEngineTest, SourcesAreNeverReplaced) {
  const std::string a = AddSource("a b.jpg", 4, 4);
  const std::string before = ReadFileBytes(a);
  engine.Params.JpegQuality = 10;  // a different result, should it ever be written
  // Into its own folder, under several spellings of that folder.
  for (const std::string& folder : {src, src + "/.", dir.path() + "/./원본 사진/../원본 사진"}) {
    SCOPED_TRACE(folder);
    engine.Params.OutputFolder = folder;
    RecordingHost h;
    engine.TransProc(h, nullptr);
    EXPECT_EQ(h.lines.back(), "파일을 저장할 수 없습니다.");
    EXPECT_EQ(ReadFileBytes(a), before);
    EXPECT_EQ(FolderNames(src), (std::set<std::string>{"a b.jpg"}));
  }
  // Through a symbolic link in the output folder that points at the source.
  mkdir(out.c_str(), 0777);
  ASSERT_EQ(symlink(a.c_str(), (out + "/a b.jpg").c_str()), 0);
  engine.Params.OutputFolder = out;
  RecordingHost h;
  engine.TransProc(h, nullptr);
  EXPECT_EQ(h.lines.back(), "파일을 저장할 수 없습니다.");
  EXPECT_EQ(ReadFileBytes(a), before);
  // Without ChangeExt a PNG source in its own folder keeps its own name: refused too.
  const std::string p = WritePicture(src + "/p.png", 4, 4);
  const std::string pBefore = ReadFileBytes(p);
  engine.Params.FileList = {p};
  engine.Params.OutputFolder = src;
  engine.Params.ChangeExt = false;
  RecordingHost h2;
  engine.TransProc(h2, nullptr);
  EXPECT_EQ(h2.errorText, "Error(s) : 1");
  EXPECT_EQ(ReadFileBytes(p), pBefore);
}

TEST_F(ConvertEngineTest, ConvertingBesideTheSourcesWritesNewFiles) {
  // A PNG converted into its own folder gives a new JPG beside it; the source stays.
  const std::string p = AddSource("그림 1.png", 4, 4);
  const std::string before = ReadFileBytes(p);
  engine.Params.OutputFolder = src;
  Run();
  EXPECT_TRUE(engine.AllSucceeded());
  EXPECT_EQ(ReadFileBytes(p), before);
  EXPECT_EQ(FolderNames(src), (std::set<std::string>{"그림 1.png", "그림 1.jpg"}));
}

// --- Two sources with the same output name.

TEST_F(ConvertEngineTest, LaterSourceWithTheSameOutputNameFails) {
  const std::string first = AddSource("same.png", 8, 8);
  mkdir((src + "/sub").c_str(), 0777);
  const std::string second = AddSource("sub/same.bmp", 16, 12);
  const std::string third = AddSource("same.tga", 2, 2);
  Run();
  EXPECT_EQ(host.lines,
            (std::vector<std::string>{"* total 3File(s)", "-" + first + "(1/3)",
                                      "-" + second + "(2/3)", "파일을 저장할 수 없습니다.",
                                      "-" + third + "(3/3)", "파일을 저장할 수 없습니다."}));
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(out + "/same.jpg", back));
  EXPECT_EQ(back.Width(), 8);
  EXPECT_EQ(host.errorText, "Error(s) : 2");
}

// --- A picture cut short by Stop is not written.

TEST_F(ConvertEngineTest, StopInsideTheOperationDropsThatPicture) {
  AddSource("r1.png", 64, 48);
  AddSource("r2.png", 64, 48);
  engine.Params.OpCode = opRotate;
  engine.Params.RotateAngle = 30;
  StopFlag stop;
  // The pause after the first read: the rotation then starts with Stop already set and
  // returns at once with an unfinished picture.
  host.onPause = [&] { stop.Terminate(); };
  Run(&stop);
  EXPECT_EQ(host.lines.back(), "이미지 변환 실패");
  EXPECT_EQ(io.reads.size(), 1u);
  EXPECT_TRUE(FolderNames(out).empty());
  EXPECT_EQ(host.errorText, "Error(s) : 1");
}

// A step that ran to its end is saved even when Stop came while it ran; the batch then
// stops.
TEST_F(ConvertEngineTest, StopDuringAFinishedStepSavesThatPicture) {
  AddSource("c1.png", 40, 30);
  AddSource("c2.png", 40, 30);
  engine.Params.OpCode = opColor;  // its passes never look at Stop
  engine.Params.Brightness = 40;
  StopFlag stop;
  host.onPause = [&] { stop.Terminate(); };  // Stop right after the first read
  Run(&stop);
  EXPECT_EQ(io.reads.size(), 1u);
  EXPECT_EQ(host.lines.back(), "-" + engine.Params.FileList[0] + "(1/2)");
  EXPECT_TRUE(host.reasons.empty());
  EXPECT_EQ(host.errorText, "Error(s) : 0");
  EXPECT_FALSE(engine.AllSucceeded());
  ASSERT_EQ(FolderNames(out), (std::set<std::string>{"c1.jpg"}));
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(out + "/c1.jpg", back));
  EXPECT_EQ(back.Width(), 40);

  // Gamma correction asked to stop before it starts is cut short: nothing written.
  RecordingHost h;
  ConvertEngine gamma(&io);
  gamma.Params = engine.Params;
  gamma.Params.OpCode = opGamma;
  gamma.Params.Gamma = 50;
  gamma.Params.TargetExt = ".bmp";
  h.onPause = [&] { stop.Terminate(); };
  stop.Reset();
  gamma.TransProc(h, &stop);
  EXPECT_EQ(h.lines.back(), "이미지 변환 실패");
  EXPECT_EQ(h.reasons, std::vector<FailReason>{FailReason::Interrupted});
  EXPECT_EQ(FolderNames(out), (std::set<std::string>{"c1.jpg"}));
}

// The name clash rule keeps a later file from replacing an earlier file's result; when
// the earlier file produced nothing, the later one is written.
TEST_F(ConvertEngineTest, ClashingNameIsFreeWhenTheEarlierFileFailed) {
  const std::string gif = dir.write("원본 사진/c.gif", "GIF89a but nothing else");
  engine.Params.FileList.push_back(gif);
  const std::string bmp = AddSource("c.bmp", 9, 5);
  const std::string d1 = AddSource("d.png", 7, 7);
  const std::string d2 = AddSource("d.bmp", 3, 3);
  Run();
  const std::vector<std::string> expected = {
      "* total 4File(s)", "-" + gif + "(1/4)", kMemoReadFailed, "-" + bmp + "(2/4)",
      "-" + d1 + "(3/4)", "-" + d2 + "(4/4)",  kMemoSaveFailed};
  EXPECT_EQ(host.lines, expected);
  EXPECT_EQ(host.reasons,
            (std::vector<FailReason>{FailReason::NotAPicture, FailReason::NameTaken}));
  EXPECT_EQ(host.errorText, "Error(s) : 2");
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(out + "/c.jpg", back));
  EXPECT_EQ(back.Width(), 9);
  ASSERT_TRUE(ReadImageFile(out + "/d.jpg", back));
  EXPECT_EQ(back.Width(), 7);
}

TEST_F(ConvertEngineTest, OperationsRunAndPauseBetweenSteps) {
  AddSource("t.png", 5, 3);
  engine.Params.OpCode = opTurnRight;
  engine.Params.TargetExt = ".png";
  Run();
  ASSERT_TRUE(engine.AllSucceeded());
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(out + "/t.png", back));
  EXPECT_EQ(back.Width(), 3);
  EXPECT_EQ(back.Height(), 5);
  // After reading, after the step and between files.
  EXPECT_EQ(host.pauses, 3);
}

// --- Existing output names: the four choices.

TEST_F(ConvertEngineTest, ExistingNamesAreOverwrittenSkippedRenamedOrFailed) {
  const std::string a = AddSource("photo.png", 9, 4);
  mkdir(out.c_str(), 0777);
  const std::string existing = dir.write("변환 결과/photo.jpg", "old contents");
  auto runWith = [&](OnExists choice) {
    host = RecordingHost();
    engine.Params.Existing = choice;
    Run();
  };

  runWith(OnExists::Skip);
  EXPECT_TRUE(engine.AllSucceeded());
  EXPECT_EQ(engine.ErrorCount(), 0);
  EXPECT_EQ(engine.SavedCount(), 0);
  EXPECT_EQ(host.lines, (std::vector<std::string>{"* total 1File(s)", "-" + a + "(1/1)",
                                                  kMemoSkipped}));
  EXPECT_TRUE(host.reasons.empty());
  EXPECT_TRUE(io.reads.empty());  // a skipped file is not even read
  EXPECT_EQ(ReadFileBytes(existing), "old contents");

  runWith(OnExists::Error);
  EXPECT_EQ(engine.ErrorCount(), 1);
  EXPECT_EQ(host.reasons, std::vector<FailReason>{FailReason::TargetExists});
  EXPECT_EQ(ReadFileBytes(existing), "old contents");

  runWith(OnExists::Rename);
  EXPECT_TRUE(engine.AllSucceeded());
  EXPECT_EQ(engine.SavedCount(), 1);
  runWith(OnExists::Rename);
  EXPECT_EQ(ReadFileBytes(existing), "old contents");
  EXPECT_EQ(FolderNames(out),
            (std::set<std::string>{"photo.jpg", "photo (1).jpg", "photo (2).jpg"}));
  Bitmap back;
  ASSERT_TRUE(ReadImageFile(out + "/photo (2).jpg", back));
  EXPECT_EQ(back.Width(), 9);

  runWith(OnExists::Overwrite);
  EXPECT_TRUE(engine.AllSucceeded());
  EXPECT_EQ(ReadFileBytes(existing).substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(FolderNames(out).size(), 3u);
}

// Converting pictures into their own folder under their own names: no choice replaces
// a source.
TEST_F(ConvertEngineTest, NoChoiceReplacesTheBatchsOwnSources) {
  const std::string a = AddSource("self.png", 5, 5);
  const std::string original = ReadFileBytes(a);
  engine.Params.OutputFolder = src;
  engine.Params.ChangeExt = false;
  for (OnExists choice : {OnExists::Overwrite, OnExists::Skip, OnExists::Rename, OnExists::Error}) {
    engine.Params.Existing = choice;
    Run();
    EXPECT_EQ(ReadFileBytes(a), original) << int(choice);
  }
  EXPECT_EQ(host.reasons,
            (std::vector<FailReason>{FailReason::TargetIsSource, FailReason::TargetExists}));
  EXPECT_EQ(FolderNames(src), (std::set<std::string>{"self.png", "self (1).png"}));
  EXPECT_EQ(NumberedName("/a/b c.tar.gz", 3), "/a/b c.tar (3).gz");
  EXPECT_EQ(NumberedName("/a/plain", 1), "/a/plain (1)");
}

}  // namespace
}  // namespace quorvane::test
