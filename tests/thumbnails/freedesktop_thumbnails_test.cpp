// The thumbnail cache shared with other programs, checked with independent tools: GLib
// (through python3-gi) makes the file's URI, Python's hashlib its MD5, Pillow reads and
// writes the PNG entries and their text chunks.
#include "thumbnails/FreedesktopThumbnails.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <sstream>
#include <string>

#include "imaging/BmpFile.h"
#include "imaging/PictureLoader.h"
#include "support/ColourProfiles.h"
#include "support/TestDir.h"
#include "thumbnails/FolderItems.h"
#include "thumbnails/ThumbnailReader.h"

namespace quorvane::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

// For each file: "W H MODE URI-OK MTIME-OK FILE-MODE SOURCE-W SOURCE-H R,G,B" of its entry
// in `folder` ("normal", or "fail/quorvane-<version>"), the centre pixel last, or
// "missing"; then one line with the modes of the root and the folder, and the number of
// files in the folder.
constexpr const char* kReadEntries = R"(import hashlib, os, stat, sys
from gi.repository import Gio
from PIL import Image
root, folder = sys.argv[1], sys.argv[2]
where = os.path.join(root, folder)
for path in sys.argv[3:]:
    uri = Gio.File.new_for_path(path).get_uri()
    f = os.path.join(where, hashlib.md5(uri.encode()).hexdigest() + '.png')
    if not os.path.exists(f):
        print('missing'); continue
    with Image.open(f) as im:
        im.load()
        t = im.text
        px = im.convert('RGB').getpixel((im.size[0] // 2, im.size[1] // 2))
        print(im.size[0], im.size[1], im.mode, t.get('Thumb::URI') == uri,
              t.get('Thumb::MTime') == str(int(os.stat(path).st_mtime)),
              oct(stat.S_IMODE(os.stat(f).st_mode)), t.get('Thumb::Image::Width'),
              t.get('Thumb::Image::Height'), '%d,%d,%d' % px)
print(oct(stat.S_IMODE(os.stat(root).st_mode)), oct(stat.S_IMODE(os.stat(where).st_mode)),
      len(os.listdir(where)))
)";

// Writes an entry as another program would: a 128 x 128 blue picture for the file's
// URI and current time.
constexpr const char* kWriteForeignEntry = R"(import hashlib, os, sys
from gi.repository import Gio
from PIL import Image, PngImagePlugin
root, path = sys.argv[1], sys.argv[2]
uri = Gio.File.new_for_path(path).get_uri()
os.makedirs(os.path.join(root, 'normal'), mode=0o700, exist_ok=True)
info = PngImagePlugin.PngInfo()
info.add_text('Thumb::URI', uri)
info.add_text('Thumb::MTime', str(int(os.stat(path).st_mtime)))
info.add_text('Thumb::Image::Width', '640')
info.add_text('Thumb::Image::Height', '480')
Image.new('RGBA', (128, 128), (0, 0, 255, 255)).save(
    os.path.join(root, 'normal', hashlib.md5(uri.encode()).hexdigest() + '.png'), pnginfo=info)
)";

std::string RunPython(const TestDir& dir, const char* script, const std::vector<std::string>& args) {
  const std::string scriptPath = dir.write("check.py", script);
  std::string command = std::string(kPython) + " " + ShellQuote(scriptPath);
  for (const std::string& a : args) command += " " + ShellQuote(a);
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[512];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

void SetMTime(const std::string& path, time_t when) {
  const utimbuf times{when, when};
  ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

std::string WriteFlatBmp(const TestDir& dir, const std::string& name, int w, int h, RgbColor c) {
  Bitmap picture(w, h);
  picture.Fill(c);
  WriteBmpFile(dir.file(name), picture);
  return dir.file(name);
}

// Reads "*.count" files as a green 200 x 100 picture and refuses "*.bad" files,
// counting the reads.
struct CountingPlugin : ImagePlugin {
  std::atomic<int> reads{0};
  bool CanLoad(const std::string& name) override {
    return name.ends_with(".count") || name.ends_with(".bad");
  }
  bool LoadFile(const std::string& name, Bitmap& bitmap) override {
    ++reads;
    if (name.ends_with(".bad")) return false;
    bitmap.SetSize(200, 100);
    bitmap.Fill(clLime);
    return true;
  }
};

struct Fixture {
  TestDir dir;
  std::string root = dir.file("cache/thumbnails");
  FreedesktopThumbnails cache{root};
  CountingPlugin plugin;
  ThumbnailReader loader;
  Fixture() {
    loader.SetSharedCache(&cache);
    loader.SetCustomPlugin(&plugin);
  }
};

TEST(FreedesktopThumbnails, LoaderWritesEntriesOtherProgramsRead) {
  Fixture f;
  const std::string noise = f.dir.file("사진 #1 100%;[x].bmp");
  WriteBmpFile(noise, PatternBitmap(300, 200));
  const std::string wide = WriteFlatBmp(f.dir, "wide, odd@.bmp", 1001, 7, clRed);
  const std::string dot = WriteFlatBmp(f.dir, "dot.bmp", 1, 1, clBlue);
  for (const std::string& path : {noise, wide, dot}) ASSERT_EQ(f.loader.LoadThumbnail(path, 94, 94, 0), 0);
  // The grid's own picture is fitted to its box after the entry was made.
  EXPECT_EQ(f.loader.Bitmap().Width(), 1);
  ASSERT_EQ(f.loader.LoadThumbnail(noise, 94, 94, 0), 0);
  EXPECT_EQ(f.loader.Bitmap().Width(), 94);
  EXPECT_EQ(f.loader.OrgWidth(), 300);

  const std::string out = RunPython(f.dir, kReadEntries, {f.root, "normal", noise, wide, dot});
  std::istringstream lines(out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line.substr(0, line.rfind(' ')), "128 85 RGB True True 0o600 300 200") << out;
  std::getline(lines, line);
  EXPECT_EQ(line, "128 1 RGB True True 0o600 1001 7 255,0,0") << out;
  std::getline(lines, line);
  EXPECT_EQ(line, "1 1 RGB True True 0o600 1 1 0,0,255") << out;
  std::getline(lines, line);
  EXPECT_EQ(line, "0o700 0o700 3") << out;  // no temporary file left behind
}

TEST(FreedesktopThumbnails, AnotherProgramsEntryIsUsedAndAStaleOneIsMadeAgain) {
  Fixture f;
  const std::string path = WriteFlatBmp(f.dir, "photo.bmp", 400, 300, clRed);
  SetMTime(path, 1700000000);
  RunPython(f.dir, kWriteForeignEntry, {f.root, path});
  ASSERT_EQ(f.loader.LoadThumbnail(path, 94, 94, 0), 0);
  EXPECT_EQ(f.loader.Bitmap().Width(), 94);
  EXPECT_EQ(f.loader.Bitmap().Pixel(47, 47), clBlue);  // the entry, not the file
  EXPECT_EQ(f.loader.OrgWidth(), 640);

  SetMTime(path, 1700000100);  // the file changed: the entry is stale
  ASSERT_EQ(f.loader.LoadThumbnail(path, 94, 94, 0), 0);
  EXPECT_EQ(f.loader.Bitmap().Pixel(47, 35), clRed);
  EXPECT_EQ(f.loader.OrgWidth(), 400);
  const std::string out = RunPython(f.dir, kReadEntries, {f.root, "normal", path});
  EXPECT_EQ(out.substr(0, out.find('\n')), "128 96 RGB True True 0o600 400 300 255,0,0") << out;
}

// Another program's entry of a Display P3 photo may hold its colours unconverted: the
// grid shows and stores its own, converted to sRGB (red 201,60,39, not 186,71,50). Our own
// entry of it, and another program's of the same photo without its profile, are taken.
TEST(FreedesktopThumbnails, AnotherProgramsEntryOfAPictureWithAColourProfileIsMadeAgain) {
  Fixture f;
  PictureLoader pictures;  // the grid's reader of pictures
  ThumbnailReader grid;
  grid.SetSharedCache(&f.cache);
  grid.SetCustomPlugin(&pictures);
  const std::vector<uint8_t> p3 = DisplayP3Profile();
  const std::string icc = f.dir.write("p3.icc", std::string(p3.begin(), p3.end()));
  const std::string bmp = WriteFlatBmp(f.dir, "flat.bmp", 400, 300, RGB(186, 71, 50));
  const std::string tagged = f.dir.file("p3.jpg"), plain = f.dir.file("plain.jpg");
  ASSERT_EQ(RunCommand("convert " + ShellQuote(bmp) + " -profile " + ShellQuote(icc) +
                       " -quality 98 " + ShellQuote(tagged) + " && convert " + ShellQuote(bmp) +
                       " -quality 98 " + ShellQuote(plain)),
            0);
  auto near = [](RgbColor a, RgbColor b) {
    for (int shift : {0, 8, 16})
      if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 3) return false;
    return true;
  };
  for (const std::string& path : {tagged, plain}) RunPython(f.dir, kWriteForeignEntry, {f.root, path});

  ASSERT_EQ(grid.LoadThumbnail(tagged, 94, 94, 0), 0);
  EXPECT_TRUE(near(grid.Bitmap().Pixel(47, 35), RGB(201, 60, 39)))
      << std::hex << grid.Bitmap().Pixel(47, 35);
  // Stored as ours: taken from now on, the photo not read again.
  FreedesktopThumbnails::Entry entry;
  struct stat st {};
  ASSERT_EQ(::stat(tagged.c_str(), &st), 0);
  ASSERT_EQ(f.cache.Read(tagged, st.st_mtime, 94, 94, clWhite, entry),
            FreedesktopThumbnails::Found::kPicture);
  EXPECT_TRUE(near(entry.picture.Pixel(64, 48), RGB(201, 60, 39)));
  EXPECT_EQ(entry.sourceWidth, 400);

  ASSERT_EQ(grid.LoadThumbnail(plain, 94, 94, 0), 0);
  EXPECT_EQ(grid.Bitmap().Pixel(47, 47), clBlue);  // the other program's entry
}

TEST(FreedesktopThumbnails, AFileThatCannotBeReadGetsAFailEntry) {
  Fixture f;
  const std::string bad = f.dir.write("broken.bad", "not a picture");
  SetMTime(bad, 1700000000);
  EXPECT_NE(f.loader.LoadThumbnail(bad, 94, 94, 0), 0);
  EXPECT_EQ(f.plugin.reads, 1);
  const std::string folder = "fail/quorvane-" + std::string(QUORVANE_TEST_VERSION);
  const std::string out = RunPython(f.dir, kReadEntries, {f.root, folder, bad});
  EXPECT_EQ(out.substr(0, out.find('\n')), "1 1 RGB True True 0o600 None None 255,255,255")
      << out;
  // Not tried again until it changes.
  EXPECT_EQ(f.loader.LoadThumbnail(bad, 94, 94, 0), -1);
  EXPECT_EQ(f.plugin.reads, 1);
  SetMTime(bad, 1700000100);
  EXPECT_NE(f.loader.LoadThumbnail(bad, 94, 94, 0), 0);
  EXPECT_EQ(f.plugin.reads, 2);
}

TEST(FreedesktopThumbnails, APictureDroppedForTheBudgetComesBackFromTheDisk) {
  Fixture f;
  f.dir.write("a.count", "");
  f.dir.write("b.count", "");
  f.dir.write("c.count", "");
  ShellFolderView view;
  view.ViewImage().ImgUtil().SetCustomPlugin(&f.plugin);
  ASSERT_TRUE(view.OpenFolder(f.dir.path()));
  PictureStore& store = view.Thumbnails();
  store.SetBudget(size_t(store.CellWidth()) * store.CellHeight() * 3 * 2);  // two pictures
  auto number = [&](const std::string& name) {
    for (int i = 0; i < view.Items().Count(); ++i)
      if (view.Items().Items(i)->Name() == name) return view.Items().Items(i)->Number();
    return -1;
  };
  auto make = [&](const std::string& name) {
    ThumbnailJob job;
    if (!view.PrepareThumbnailJob(number(name), job)) return false;
    EXPECT_EQ(f.loader.LoadThumbnail(job.Path, job.Width, job.Height, 0), 0);
    view.StoreThumbnailResult(job.Number, 0, f.loader);
    return true;
  };
  ASSERT_TRUE(make("a.count"));
  ASSERT_TRUE(make("b.count"));
  GridItem* a = view.Items().ItemByNumber(number("a.count"));
  GridItem* b = view.Items().ItemByNumber(number("b.count"));
  store.Touch(a->ThumbnailIndex);  // a shown after b
  ASSERT_TRUE(make("c.count"));    // b, shown least recently, makes room
  EXPECT_EQ(store.Count(), 2);
  EXPECT_TRUE(a->Handled);
  EXPECT_FALSE(b->Handled);
  EXPECT_EQ(b->ThumbnailIndex, -1);
  EXPECT_EQ(f.plugin.reads, 3);

  ASSERT_TRUE(make("b.count"));  // shown again: from the disk cache, not decoded
  EXPECT_EQ(f.plugin.reads, 3);
  Bitmap cell;
  ASSERT_TRUE(b->GetThumbnail(cell));
  EXPECT_EQ(cell.Pixel(47, 47), clLime);
  EXPECT_EQ(b->SourceWidth, 200);
  EXPECT_FALSE(a->Handled);  // a was the least recent now
}

TEST(FreedesktopThumbnails, NamesFollowTheStandard) {
  EXPECT_EQ(FreedesktopThumbnails::Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(FreedesktopThumbnails::Md5Hex(std::string(1000, 'a')),
            "cabe45dcc9ae5b66ba86600cca6b8ba8");
  EXPECT_STREQ(FreedesktopThumbnails::SizeFolder(94, 94), "normal");
  EXPECT_STREQ(FreedesktopThumbnails::SizeFolder(200, 94), "large");
  EXPECT_STREQ(FreedesktopThumbnails::SizeFolder(300, 94), "");
}

}  // namespace
}  // namespace quorvane::test
