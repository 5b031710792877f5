// quorvane-convert on today's batch jobs: fitting with a filter that does not alias,
// folder trees, name patterns, name lists, reports, dry runs, a size budget and one
// batch spread by GNU parallel.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "cli/CliRunner.h"
#include "imaging/ReadImage.h"
#include "processing/ConvertTestHelpers.h"

namespace quorvane::test {
namespace {

// Debian's interpreter, which has Pillow (python3-pil).
constexpr const char* kPython = "/usr/bin/python3";

class ConvertBatchTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CodecReady()); }

  CliResult Run(const std::vector<std::string>& args, const std::string& env = "") {
    return RunShell(ConverterCommand(ConverterBinary(), args, env, dir.path()),
                    dir.file("stderr.txt"));
  }

  // The output of a Python program given as text, with its arguments.
  std::string Python(const std::string& program, const std::vector<std::string>& args) {
    const std::string script = dir.write("check.py", program);
    std::string command = std::string(kPython) + " " + ShellQuote(script);
    for (const std::string& a : args) command += " " + ShellQuote(a);
    return RunShell(command, dir.file("py-stderr.txt")).out;
  }

  // A camera-like photograph (smooth fractal light with fine grain) of w x h.
  std::string Photo(const std::string& name, int w, int h, const std::string& extra = "") {
    const std::string path = dir.file(name);
    EXPECT_EQ(RunCommand("convert -seed 7 -size " + std::to_string(w) + "x" + std::to_string(h) +
                         " plasma:fractal -blur 0x1.2 -attenuate 0.25 +noise Gaussian " + extra +
                         " " + ShellQuote(path)),
              0);
    return path;
  }

  Bitmap Read(const std::string& name) {
    Bitmap b;
    EXPECT_TRUE(ReadImageFile(dir.file(name), b)) << name;
    return b;
  }

  TestDir dir;
};

// PSNR (dB) of `result` against Pillow's Lanczos resize of `source` to the same size.
constexpr const char* kPsnrAgainstLanczos = R"(import math, sys
from PIL import Image, ImageChops, ImageStat
out = Image.open(sys.argv[2]).convert("RGB")
ref = Image.open(sys.argv[1]).convert("RGB").resize(out.size, Image.LANCZOS)
rms = ImageStat.Stat(ImageChops.difference(out, ref)).rms
mse = sum(r * r for r in rms) / 3
print(99 if mse == 0 else 10 * math.log10(255 * 255 / mse))
)";

TEST_F(ConvertBatchTest, LargeReductionsStayCloseToLanczos) {
  // A quarter of the size from a lossless source (area step, then the filter), and an
  // eighth from a JPEG decoded at a quarter.
  const std::string png = Photo("photo.png", 1600, 1200);
  const std::string jpeg = Photo("photo.jpg", 1600, 1200, "-quality 92");
  ASSERT_EQ(Run({"--long-side", "400", "-f", "png", "--strip", "-o", "q", png}).exitCode, 0);
  ASSERT_EQ(Run({"--fit", "200x200", "-f", "png", "--strip", "-o", "e", jpeg}).exitCode, 0);
  EXPECT_EQ(Read("q/photo.png").Width(), 400);
  EXPECT_EQ(Read("e/photo.png").Height(), 150);
  const double quarter = std::stod(Python(kPsnrAgainstLanczos, {png, dir.file("q/photo.png")}));
  const double eighth = std::stod(Python(kPsnrAgainstLanczos, {jpeg, dir.file("e/photo.png")}));
  EXPECT_GE(quarter, 40.0);
  EXPECT_GE(eighth, 40.0);
}

TEST_F(ConvertBatchTest, RecursiveMirrorsTheTree) {
  const std::string src = dir.file("src");
  const std::string odd = "\xff\xfe \xea\xb0";  // not UTF-8
  ASSERT_EQ(RunCommand("mkdir -p " + ShellQuote(src + "/sub/deeper") + " " +
                       ShellQuote(src + "/.cache") + " " + ShellQuote(src + "/" + odd)),
            0);
  WritePicture(src + "/top.png", 6, 4);
  WritePicture(src + "/sub/a.png", 6, 4);
  WritePicture(src + "/sub/deeper/b.bmp", 6, 4);
  WritePicture(src + "/" + odd + "/d.png", 6, 4);
  WritePicture(src + "/.hidden.png", 6, 4);
  WritePicture(src + "/.cache/c.png", 6, 4);
  dir.write("src/notes.txt", "not a picture");
  ASSERT_EQ(symlink("..", (src + "/sub/loop").c_str()), 0);  // a loop if followed

  CliResult r = Run({"src", "-f", "png"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("-r (--recursive)"), std::string::npos) << r.err;

  r = Run({"-r", "src", "-o", "out", "-f", "png"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FolderNames(dir.file("out")), (std::set<std::string>{"top.png", "sub", odd}));
  EXPECT_EQ(FolderNames(dir.file("out/sub")), (std::set<std::string>{"a.png", "deeper"}));
  EXPECT_EQ(FolderNames(dir.file("out/sub/deeper")), std::set<std::string>{"b.png"});
  EXPECT_EQ(FolderNames(dir.file("out/" + odd)), std::set<std::string>{"d.png"});

  ASSERT_EQ(Run({"-r", "--hidden", "src", "-o", "all", "-f", "png"}).exitCode, 0);
  EXPECT_EQ(FolderNames(dir.file("all")),
            (std::set<std::string>{"top.png", "sub", odd, ".hidden.png", ".cache"}));
  EXPECT_EQ(FolderNames(dir.file("all/.cache")), std::set<std::string>{"c.png"});
}

TEST_F(ConvertBatchTest, NamePatternFields) {
  // Dates from EXIF in JPEG, PNG, WebP, HEIC and JPEG XL; a file without one goes by its
  // file time.
  ASSERT_EQ(mkdir(dir.file("in").c_str(), 0777), 0);
  const std::string jpeg = WritePicture(dir.file("in/a.jpg"), 8, 6);
  WritePicture(dir.file("in/b.png"), 8, 6);
  WritePicture(dir.file("in/d.png"), 8, 6);
  ASSERT_EQ(RunCommand("cd " + ShellQuote(dir.file("in")) +
                       " && cwebp -quiet b.png -o c.webp && heif-enc -q 90 b.png -o e.heic"
                       " >/dev/null && cjxl -q 90 b.png f.jxl >/dev/null 2>&1"
                       " && exiftool -m -q -overwrite_original "
                       "'-DateTimeOriginal=2021:03:04 05:06:07' a.jpg b.png c.webp e.heic f.jxl"
                       " && touch -d '2019-12-31 23:59:58' d.png"),
            0);
  const CliResult r = Run({"--name", "{parent}-{name}.{ext}_{n:03}_{date:%Y%m%d-%H%M%S}_{w}x{h}",
                           "--start", "9", "--long-side", "4", "-o", "out", "-f", "png", jpeg,
                           "in/b.png", "in/c.webp", "in/d.png", "in/e.heic", "in/f.jxl"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FolderNames(dir.file("out")),
            (std::set<std::string>{
                "in-a.jpg_009_20210304-050607_4x3.png", "in-b.png_010_20210304-050607_4x3.png",
                "in-c.webp_011_20210304-050607_4x3.png", "in-d.png_012_20191231-235958_4x3.png",
                "in-e.heic_013_20210304-050607_4x3.png", "in-f.jxl_014_20210304-050607_4x3.png"}));
  // Names that meet follow --on-exists: renamed, or failed under error.
  ASSERT_EQ(Run({"--name", "same", "--on-exists", "rename", "-o", "clash", "in/b.png", "in/d.png"})
                .exitCode,
            0);
  EXPECT_EQ(FolderNames(dir.file("clash")), (std::set<std::string>{"same.jpg", "same (1).jpg"}));
  EXPECT_EQ(Run({"--name", "same", "--on-exists", "error", "-o", "clash2", "in/b.png", "in/d.png"})
                .exitCode,
            1);
  EXPECT_EQ(FolderNames(dir.file("clash2")), std::set<std::string>{"same.jpg"});
  EXPECT_EQ(Run({"--name", "{size}", "in/b.png"}).exitCode, 2);
}

TEST_F(ConvertBatchTest, FilesFromNewlinesAndNuls) {
  WritePicture(dir.file("a b.png"), 4, 4);
  WritePicture(dir.file("line\nbreak.png"), 4, 4);
  dir.write("list.txt", "a b.png\n\n");
  dir.write("list0", std::string("a b.png\0line\nbreak.png\0", 24));
  ASSERT_EQ(Run({"--files-from", "list.txt", "-o", "n", "-f", "png"}).exitCode, 0);
  EXPECT_EQ(FolderNames(dir.file("n")), std::set<std::string>{"a b.png"});
  const CliResult r =
      RunShell("cd " + ShellQuote(dir.path()) + " && " + ShellQuote(ConverterBinary()) +
                   " --files-from - -0 -o z -f png < list0",
               dir.file("stderr.txt"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FolderNames(dir.file("z")), (std::set<std::string>{"a b.png", "line\nbreak.png"}));
}

// Checks every line of a report is a whole JSON object and prints "status source".
constexpr const char* kReportLines = R"(import json, sys
for line in open(sys.argv[1], encoding="utf-8", errors="surrogateescape"):
    o = json.loads(line)
    for key in ("source", "result", "status", "reason", "bytes_in", "bytes_out", "width",
                "height", "quality", "ms"):
        assert key in o, key
    name = o["source"].rsplit("/", 1)[-1]
    print(o["status"], name, o["width"], o["height"], o["bytes_out"] > 0, bool(o["reason"]))
)";

TEST_F(ConvertBatchTest, ReportLinesForEachOutcome) {
  WritePicture(dir.file("a.png"), 10, 8);
  dir.write("bad.png", "not a picture");
  ASSERT_EQ(
      Run({"a.png", "bad.png", "--long-side", "5", "-o", "r", "--report", "rep.jsonl"}).exitCode,
      1);
  ASSERT_EQ(Run({"a.png", "--on-exists", "skip", "-o", "r", "--report", "rep.jsonl"}).exitCode, 0);
  EXPECT_EQ(Python(kReportLines, {dir.file("rep.jsonl")}),
            "ok a.png 5 4 True False\n"
            "failed bad.png 0 0 False True\n"
            "skipped a.png 0 0 False True\n");
}

TEST_F(ConvertBatchTest, AKilledBatchKeepsItsReportAndFinishesWhenRunAgain) {
  std::vector<std::string> args = {"--long-side", "300",  "--gamma",  "0.9",
                                   "-f",          "webp", "-o",       "k",
                                   "--on-exists", "skip", "--report", "rep.jsonl"};
  for (int i = 0; i < 30; ++i) {
    const std::string name = "p" + std::to_string(100 + i) + ".png";
    WritePicture(dir.file(name), 900, 700);
    args.push_back(name);
  }
  // Killed outright once two files are reported.
  const std::string command = ConverterCommand(ConverterBinary(), args, "", dir.path());
  ASSERT_EQ(RunCommand("cd " + ShellQuote(dir.path()) + " && (" + command +
                       " >/dev/null & echo $! > pid; i=0;"
                       " while [ \"$(cat rep.jsonl 2>/dev/null | wc -l)\" -lt 2 ] &&"
                       " [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done;"
                       " kill -9 $(cat pid); wait) 2>/dev/null; true"),
            0);
  const std::string first = Python(kReportLines, {dir.file("rep.jsonl")});
  const size_t done = size_t(std::count(first.begin(), first.end(), '\n'));
  EXPECT_GE(done, 2u);
  EXPECT_LT(done, 30u) << "the batch ended before it was killed";
  // Again: the files written are skipped, the rest converted.
  const CliResult again = Run(args);
  EXPECT_EQ(again.exitCode, 0) << again.err;
  // (A file cut off while it was written leaves its hidden temporary file.)
  const std::set<std::string> written = FolderNames(dir.file("k"));
  EXPECT_EQ(std::count_if(written.begin(), written.end(),
                          [](const std::string& name) { return name[0] != '.'; }),
            30);
  const std::string all = Python(kReportLines, {dir.file("rep.jsonl")});
  size_t skipped = 0, ok = 0;
  std::istringstream lines(all);
  for (std::string line; std::getline(lines, line);) {
    skipped += line.rfind("skipped", 0) == 0;
    ok += line.rfind("ok", 0) == 0;
  }
  EXPECT_GE(skipped, done);
  EXPECT_EQ(ok + skipped, 30u + done);
}

TEST_F(ConvertBatchTest, DryRunWritesNothing) {
  WritePicture(dir.file("a.png"), 30, 20);
  WritePicture(dir.file("b.png"), 30, 20);
  const CliResult r = Run({"a.png", "b.png", "--fit", "15x15", "--name", "{name}_{w}", "-o",
                           "new/dry", "--report", "rep.jsonl", "--dry-run"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.lines, (std::vector<std::string>{
                         "* total 2File(s)", "-" + dir.file("a.png") + "(1/2)",
                         "would write new/dry/a_15.jpg (15x10)", "-" + dir.file("b.png") + "(2/2)",
                         "would write new/dry/b_15.jpg (15x10)"}));
  EXPECT_FALSE(FolderNames(dir.path()).count("new"));
}

TEST_F(ConvertBatchTest, MaxSizeFindsTheQualityOrSaysItCannot) {
  const std::string photo = Photo("big.png", 640, 480);
  // The budget holds: at most 24K, at a quality below the one asked for.
  CliResult r = Run({photo, "--max-size", "24K", "-q", "95", "-o", "fit", "--report", "a.jsonl"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  struct stat st {};
  ASSERT_EQ(stat(dir.file("fit/big.jpg").c_str(), &st), 0);
  EXPECT_LE(st.st_size, 24 * 1024);
  const std::string quality =
      Python("import json,sys\nprint(json.loads(open(sys.argv[1]).readline())['quality'])\n",
             {dir.file("a.jsonl")});
  EXPECT_LT(std::stoi(quality), 95);
  EXPECT_GT(std::stoi(quality), 1);
  // One quality higher does not fit: the quality found is the highest that does.
  ASSERT_EQ(Run({photo, "-q", std::to_string(std::stoi(quality) + 1), "-o", "up"}).exitCode, 0);
  ASSERT_EQ(stat(dir.file("up/big.jpg").c_str(), &st), 0);
  EXPECT_GT(st.st_size, 24 * 1024);
  // Even quality 1 is too big: written at quality 1 with the memo line.
  r = Run({photo, "--max-size", "900", "-f", "webp", "-o", "over"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(std::find(r.lines.begin(), r.lines.end(), "품질 1로도 크기 제한을 넘습니다."),
            r.lines.end());
  EXPECT_EQ(Read("over/big.webp").Width(), 640);
}

TEST_F(ConvertBatchTest, TheReadmeRecipeWithGnuParallel) {
  ASSERT_EQ(RunCommand("mkdir -p " + ShellQuote(dir.file("photos/2024/may"))), 0);
  for (const char* name : {"photos/x.png", "photos/2024/y z.png", "photos/2024/may/w.png"})
    WritePicture(dir.file(name), 40, 30);
  // The README's recipe, with this machine as the only host.
  const std::string folder = ConverterBinary().substr(0, ConverterBinary().rfind('/'));
  const CliResult r =
      RunShell("cd " + ShellQuote(dir.file("photos")) + " && PATH=" + ShellQuote(folder) +
                   ":$PATH && find . -type f -name '*.png' -print0 |"
                   " parallel -0 --sshlogin 2/: --workdir . quorvane-convert --quiet --long-side 20"
                   " -f webp --on-exists skip --report ../report.jsonl -o ../web/{//} {}",
               dir.file("stderr.txt"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FolderNames(dir.file("web")), (std::set<std::string>{"x.webp", "2024"}));
  EXPECT_EQ(FolderNames(dir.file("web/2024")), (std::set<std::string>{"y z.webp", "may"}));
  EXPECT_EQ(FolderNames(dir.file("web/2024/may")), std::set<std::string>{"w.webp"});
  EXPECT_EQ(Read("web/2024/may/w.webp").Width(), 20);
  const std::string report = Python(kReportLines, {dir.file("report.jsonl")});
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 3);
}

}  // namespace
}  // namespace quorvane::test
