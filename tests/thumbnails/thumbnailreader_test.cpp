#include "thumbnails/ThumbnailReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "imaging/JpegCodec.h"
#include "support/ChildProcess.h"
#include "support/TestDir.h"

namespace quorvane {
namespace {

using test::TestDir;

// Icons as solid squares: 16 x 16, green for index 0, blue for others.
struct FakeIcons : FileIconProvider {
  int countCalls = 0;
  std::vector<std::pair<std::string, int>> drawn;
  RgbColor lastBackground = 0;
  int IconCount(const std::string&) override {
    ++countCalls;
    return 3;
  }
  bool DrawIcon(const std::string& FileName, int Index, RgbColor Background, Bitmap& Icon) override {
    drawn.emplace_back(FileName, Index);
    lastBackground = Background;
    Icon.SetSize(16, 16);
    Icon.Fill(Index == 0 ? clLime : clBlue);
    return true;
  }
};

// Records what it is asked to draw; "draws" by painting the top-left pixel red.
struct FakeText : TextPainter {
  int height = 10;
  std::string text;
  FontSpec font;
  RgbColor background = 0;
  int canvasWidth = 0, canvasHeight = 0;
  int TextHeight(const FontSpec&, const std::string& Text) override {
    EXPECT_EQ(Text, "H");
    return height;
  }
  void DrawText(Bitmap& Canvas, const std::string& Text, const FontSpec& Font,
                RgbColor Background) override {
    text = Text;
    font = Font;
    background = Background;
    canvasWidth = Canvas.Width();
    canvasHeight = Canvas.Height();
    Canvas.SetPixel(0, 0, clRed);
  }
};

struct FakeCustom : ImagePlugin {
  std::string claims = ".qqq";
  bool fail = false, raise = false;
  bool CanLoad(const std::string& FileName) override {
    return FileName.size() >= 4 && FileName.substr(FileName.size() - 4) == claims;
  }
  bool LoadFile(const std::string&, Bitmap& bitmap) override {
    if (raise) throw std::runtime_error("codec fault");
    if (fail) return false;
    bitmap.SetSize(300, 150);
    bitmap.Fill(clYellow);
    return true;
  }
};

std::string WriteJpeg(const TestDir& dir, const std::string& name, int w, int h) {
  const auto data = EncodeJpeg(test::PatternBitmap(w, h), 75);
  return dir.write(name, std::string(data.begin(), data.end()));
}

void Put32(std::string& s, size_t at, uint32_t v) { std::memcpy(s.data() + at, &v, 4); }

// An uncompressed 24-bit BMP of one colour.
std::string WriteBmp(const TestDir& dir, const std::string& name, int w, int h, RgbColor c) {
  const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
  std::string s(54 + stride * size_t(h), '\0');
  s[0] = 'B';
  s[1] = 'M';
  Put32(s, 2, uint32_t(s.size()));
  Put32(s, 10, 54);
  Put32(s, 14, 40);
  Put32(s, 18, uint32_t(w));
  Put32(s, 22, uint32_t(h));
  s[26] = 1;
  s[28] = 24;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t at = 54 + size_t(y) * stride + size_t(x) * 3;
      s[at] = char(GetBValue(c));
      s[at + 1] = char(GetGValue(c));
      s[at + 2] = char(GetRValue(c));
    }
  return dir.write(name, s);
}

struct Loader : ThumbnailReader {
  FakeIcons icons;
  FakeText text;
  Loader() {
    SetIconProvider(&icons);
    SetTextRenderer(&text);
  }
};

TEST(ImgUtilTest, Defaults) {
  ThumbnailReader u;
  EXPECT_EQ(u.Quality(), 90);
  EXPECT_EQ(u.Performance(), JpegPerformance::jpBestSpeed);
  EXPECT_EQ(u.GetType(), igtPreview);
  EXPECT_EQ(u.BKColor(), clWhite);
  EXPECT_EQ(u.AviFramePos(), 20);
  EXPECT_EQ(u.Font().Size, 12);
  EXPECT_FALSE(u.AutoThumb());
  EXPECT_FALSE(u.SusiePriority());
  EXPECT_EQ(u.IconIndex(), -1);
}

TEST(ImgUtilTest, SettersStoreOnlyValidValues) {
  ThumbnailReader u;
  int changes = 0;
  u.OnChange = [&](ThumbnailReader& sender) {
    EXPECT_EQ(&sender, &u);
    ++changes;
  };
  u.SetBKColor(clWhite);
  EXPECT_EQ(changes, 0);
  u.SetBKColor(clRed);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(u.BKColor(), clRed);
  u.SetAviFramePos(0);
  EXPECT_EQ(u.AviFramePos(), 0);
  u.SetAviFramePos(101);
  EXPECT_EQ(u.AviFramePos(), 0);
  u.SetAviFramePos(-1);
  EXPECT_EQ(u.AviFramePos(), 0);
  u.SetQuality(0);
  EXPECT_EQ(u.Quality(), 1);
  u.SetTextExt("*.log;*.INI");
  EXPECT_EQ(u.TextExt(), "*.log;*.ini");
  EXPECT_EQ(u.TextExtList(), ";.log;.ini;");
  u.SetTextExt("");
  EXPECT_EQ(u.TextExtList(), "");
}

TEST(ImgUtilTest, ClassificationByExtension) {
  TestDir dir;
  ThumbnailReader u;
  const std::pair<const char*, FileKind> cases[] = {
      {"a.bmp", iitBmp}, {"a.JPG", iitJpeg}, {"a.Jpeg", iitJpeg}, {"a.ico", iitIco},
      {"a.cur", iitCur}, {"a.ani", iitAni},  {"a.emf", iitEmf},   {"a.WMF", iitWmf},
      {"a.exe", iitExe}, {"a.dll", iitDll},  {"a.html", iitHtml}, {"a.htm", iitHtml},
      {"a.eml", iitEml}, {"a.TXT", iitTxt},  {"a.avi", iitAvi},
  };
  for (const auto& [name, kind] : cases) {
    EXPECT_EQ(u.CheckImageType(dir.file(name)), 0) << name;
    EXPECT_EQ(u.ImageType(), kind) << name;
  }
  EXPECT_EQ(u.CheckImageType(dir.file("a.xyz")), 3);
  EXPECT_EQ(u.ImageType(), iitNone);
  EXPECT_EQ(u.CheckImageType(dir.write("README", "x")), 3);
  EXPECT_EQ(u.CheckImageType(dir.path()), 0);
  EXPECT_EQ(u.ImageType(), iitDir);
  EXPECT_EQ(u.CheckImageType("/"), 0);
  EXPECT_EQ(u.ImageType(), iitDir);

  u.SetTextExt("*.LOG");
  EXPECT_EQ(u.CheckImageType(dir.file("readme.log")), 0);
  EXPECT_EQ(u.ImageType(), iitTxt);
  EXPECT_EQ(u.CheckImageType(dir.file("x.lo")), 0);  // a beginning of a listed one
  EXPECT_EQ(u.CheckImageType(dir.file("x.")), 3);

  FakeCustom custom;
  custom.claims = ".jpg";
  u.SetCustomPlugin(&custom);
  EXPECT_EQ(u.CheckImageType(dir.file("photo.jpg")), 0);
  EXPECT_EQ(u.ImageType(), iitCustom);  // the plug-in comes before the table
  EXPECT_EQ(u.CheckImageType(dir.file("photo.JPG")), 0);
  EXPECT_EQ(u.ImageType(), iitJpeg);
}

TEST(ImgUtilTest, MissingFilesAndIconKinds) {
  TestDir dir;
  Loader u;
  EXPECT_EQ(u.LoadThumbnail(dir.file("gone.jpg"), 94, 94, 0), 1);
  EXPECT_TRUE(u.Bitmap().Empty());
  EXPECT_TRUE(u.icons.drawn.empty());

  u.SetBKColor(clYellow);
  EXPECT_EQ(u.LoadThumbnail(dir.path(), 94, 94, 2), 0);
  EXPECT_EQ(u.ImageType(), iitDir);
  EXPECT_EQ(u.IconIndex(), 2);
  EXPECT_EQ(u.Bitmap().Pixel(0, 0), clBlue);  // not scaled, the caller centres it
  EXPECT_EQ(u.OrgWidth(), 16);
  EXPECT_EQ(u.icons.lastBackground, clYellow);

  // A name ending in "/" is a folder only when the folder exists; "/" always is.
  EXPECT_EQ(u.CheckImageType(dir.path() + "/"), 0);
  EXPECT_EQ(u.ImageType(), iitDir);
  EXPECT_EQ(u.CheckImageType("/"), 0);
  EXPECT_EQ(u.ImageType(), iitDir);
  EXPECT_EQ(u.CheckImageType(dir.file("no such folder/")), 3);
  EXPECT_EQ(u.ImageType(), iitNone);

  // An unrecognised kind: success with the associated icon.
  const std::string other = dir.write("data.xyz", "x");
  EXPECT_EQ(u.LoadThumbnail(other, 94, 94, 0), 0);
  EXPECT_EQ(u.Bitmap().Pixel(3, 3), clLime);
  EXPECT_EQ(u.Bitmap().Width(), 16);

  // Program files count their icons once per load.
  const std::string exe = dir.write("tool.exe", "MZ");
  EXPECT_EQ(u.LoadThumbnail(exe, 94, 94, 1), 0);
  EXPECT_EQ(u.IconCount(), 3);
  EXPECT_EQ(u.icons.countCalls, 1);
  EXPECT_EQ(u.LoadThumbnail(other, 94, 94, 0), 0);
  EXPECT_EQ(u.IconCount(), 0);

  // Without an icon provider: an empty icon of the background.
  ThumbnailReader bare;
  EXPECT_EQ(bare.LoadThumbnail(other, 94, 94, 0), 0);
  EXPECT_EQ(bare.Bitmap().Width(), 32);
  EXPECT_EQ(bare.Bitmap().Pixel(5, 5), clWhite);
}

TEST(ImgUtilTest, LargeJpegDecodesAtAnEighthThenShrinks) {
  TestDir dir;
  const std::string photo = WriteJpeg(dir, "big photo.JPG", 4000, 3000);
  Loader u;
  ASSERT_EQ(u.LoadThumbnail(photo, 94, 94, 0), 0);
  EXPECT_EQ(u.LastDecodeScale(), 8);
  EXPECT_EQ(u.OrgWidth(), 4000);
  EXPECT_EQ(u.OrgHeight(), 3000);
  EXPECT_EQ(u.Bitmap().Width(), 94);
  EXPECT_EQ(u.Bitmap().Height(), 70);
  EXPECT_TRUE(u.icons.drawn.empty());
}

TEST(ImgUtilTest, JpegScaleFollowsTheBox) {
  EXPECT_EQ(JpegDecodeScale(4000, 3000, 94, 94), 8);
  EXPECT_EQ(JpegDecodeScale(752, 752, 94, 94), 8);
  EXPECT_EQ(JpegDecodeScale(751, 752, 94, 94), 4);
  EXPECT_EQ(JpegDecodeScale(200, 190, 94, 94), 2);
  EXPECT_EQ(JpegDecodeScale(187, 400, 94, 94), 1);

  TestDir dir;
  Loader u;
  const std::string exact = WriteJpeg(dir, "exact.jpg", 94, 120);
  ASSERT_EQ(u.LoadThumbnail(exact, 94, 120, 0), 0);
  EXPECT_EQ(u.LastDecodeScale(), 1);
  EXPECT_EQ(u.Bitmap().Width(), 94);
  const std::string mid = WriteJpeg(dir, "mid.jpeg", 400, 300);
  u.SetGetType(igtNormal);
  ASSERT_EQ(u.LoadThumbnail(mid, 94, 94, 0), 0);
  EXPECT_EQ(u.Bitmap().Width(), 400);
  EXPECT_EQ(u.Bitmap().Height(), 300);
  u.SetGetType(igtFit);
  ASSERT_EQ(u.LoadThumbnail(mid, 94, 94, 0), 0);
  EXPECT_EQ(u.LastDecodeScale(), 2);
  EXPECT_EQ(u.Bitmap().Width(), 94);
  EXPECT_EQ(u.Bitmap().Height(), 94);
}

TEST(ImgUtilTest, FittingModesOnBitmapFiles) {
  TestDir dir;
  Loader u;
  const std::string tall = WriteBmp(dir, "tall.BMP", 50, 100, clRed);
  const std::string square = WriteBmp(dir, "sq.bmp", 60, 60, clRed);
  const std::string big = WriteBmp(dir, "big.bmp", 100, 100, clRed);
  auto sizeOf = [&](const std::string& file) {
    EXPECT_EQ(u.LoadThumbnail(file, 94, 120, 0), 0) << file;
    EXPECT_EQ(u.ImageType(), iitBmp);
    return std::make_pair(u.Bitmap().Width(), u.Bitmap().Height());
  };
  EXPECT_EQ(sizeOf(tall), std::make_pair(50, 100));
  EXPECT_EQ(sizeOf(square), std::make_pair(60, 60));
  EXPECT_EQ(sizeOf(big), std::make_pair(94, 94));
  u.SetGetType(igtStretch);
  EXPECT_EQ(sizeOf(tall), std::make_pair(60, 120));
  EXPECT_EQ(u.OrgWidth(), 50);
  EXPECT_EQ(u.OrgHeight(), 100);
  EXPECT_EQ(sizeOf(square), std::make_pair(94, 94));
  EXPECT_EQ(sizeOf(big), std::make_pair(94, 94));
  EXPECT_EQ(u.Bitmap().Pixel(50, 50), clRed);

  // A damaged bitmap file: failure with the icon.
  const std::string broken = dir.write("broken.bmp", "BM not really");
  EXPECT_EQ(u.LoadThumbnail(broken, 94, 120, 0), -1);
  EXPECT_EQ(u.Bitmap().Pixel(0, 0), clLime);
  EXPECT_EQ(u.IconIndex(), 0);
}

TEST(ImgUtilTest, CustomPluginReadsWhatItClaims) {
  TestDir dir;
  Loader u;
  FakeCustom custom;
  u.SetCustomPlugin(&custom);
  const std::string file = dir.write("pic.qqq", "x");
  ASSERT_EQ(u.LoadThumbnail(file, 94, 94, 0), 0);
  EXPECT_EQ(u.ImageType(), iitCustom);
  EXPECT_EQ(u.OrgWidth(), 300);
  EXPECT_EQ(u.Bitmap().Width(), 94);
  EXPECT_EQ(u.Bitmap().Height(), 47);

  custom.fail = true;
  EXPECT_EQ(u.LoadThumbnail(file, 94, 94, 0), -1);
  EXPECT_EQ(u.Bitmap().Pixel(0, 0), clLime);
  custom.fail = false;
  custom.raise = true;
  EXPECT_EQ(u.LoadThumbnail(file, 94, 94, 0), -1);
  EXPECT_EQ(u.Bitmap().Width(), 16);
}

TEST(ImgUtilTest, KindsWithoutAReaderOnThisPlatformShowTheirIcon) {
  TestDir dir;
  Loader u;
  for (const char* name : {"page.html", "mail.eml", "pic.emf", "pic.wmf"}) {
    EXPECT_EQ(u.LoadThumbnail(dir.write(name, "content"), 94, 94, 0), -1) << name;
    EXPECT_EQ(u.Bitmap().Pixel(0, 0), clLime) << name;
  }
}

TEST(ImgUtilTest, TextPreviewReadsOnlyWhatFits) {
  TestDir dir;
  Loader u;
  u.SetTextExt("*.LOG");
  u.SetBKColor(clYellow);
  FontSpec font;
  font.Name = "Mono";
  font.Size = 9;
  u.SetFont(font);
  std::string content;
  for (int i = 0; i < 40; ++i) content += "line " + std::to_string(i) + "\r\n";
  content.replace(0, 8, std::string(200, 'x') + "\n");
  const std::string file = dir.write("readme.log", content);
  ASSERT_EQ(u.LoadThumbnail(file, 94, 60, 0), 0);
  EXPECT_EQ(u.ImageType(), iitTxt);
  EXPECT_EQ(u.text.canvasWidth, 188);
  EXPECT_EQ(u.text.canvasHeight, 120);
  EXPECT_EQ(u.text.font, font);
  EXPECT_EQ(u.text.background, clYellow);
  // 120 div 10 + 1 = 13 lines; the first cut to 95 characters; CR dropped, CR LF put in.
  std::string expected = std::string(95, 'x') + "\r\n";
  for (int i = 1; i < 13; ++i) expected += "line " + std::to_string(i) + "\r\n";
  EXPECT_EQ(u.text.text, expected);
  EXPECT_EQ(u.OrgWidth(), 188);
  EXPECT_EQ(u.Bitmap().Width(), 94);
  EXPECT_EQ(u.Bitmap().Height(), 60);

  // A font without height: result 1 with the icon.
  u.text.height = 0;
  EXPECT_EQ(u.LoadThumbnail(file, 94, 60, 0), 1);
  EXPECT_EQ(u.Bitmap().Pixel(0, 0), clLime);
}

TEST(ImgUtilTest, TextPreviewStopsAtAZeroByteAndCountsUtf8Characters) {
  TestDir dir;
  Loader u;
  const std::string file =
      dir.write("k.txt", std::string("가나다라마\nab\0cd\nnext", 22) + std::string(1100, 'z'));
  ASSERT_EQ(u.LoadThumbnail(file, 3, 100, 0), 0);
  // Width 3: four characters a line; the zero byte ends the first 1024-byte block, and
  // the next block continues the same line.
  EXPECT_EQ(u.text.text, "가나다라\r\nabzz");
}

// ---- AVI ----

std::string Chunk(const std::string& id, const std::string& data) {
  std::string s = id + std::string(4, '\0') + data;
  Put32(s, 4, uint32_t(data.size()));
  if (data.size() & 1) s += '\0';
  return s;
}

std::string List(const std::string& type, const std::string& body) {
  return Chunk("LIST", type + body);
}

// An AVI of `frames` solid 4 x 2 frames, frame i of colour RGB(i * 40, 0, 0).
std::string Avi(int frames, uint32_t compression = 0, bool dropSecond = false) {
  std::string strh(56, '\0');
  std::memcpy(strh.data(), "vids", 4);
  Put32(strh, 32, uint32_t(frames));
  std::string strf(40, '\0');
  Put32(strf, 0, 40);
  Put32(strf, 4, 4);
  Put32(strf, 8, 2);
  strf[12] = 1;
  strf[14] = 24;
  Put32(strf, 16, compression);
  std::string audio(56, '\0');
  std::memcpy(audio.data(), "auds", 4);
  const std::string hdrl =
      List("hdrl", Chunk("avih", std::string(56, '\0')) +
                       List("strl", Chunk("strh", audio) + Chunk("strf", std::string(18, '\0'))) +
                       List("strl", Chunk("strh", strh) + Chunk("strf", strf)));
  std::string movi;
  for (int i = 0; i < frames; ++i) {
    std::string px;
    for (int p = 0; p < 8; ++p) px += std::string{0, 0, char(i * 40)};
    movi += Chunk("00wb", "sound");
    movi += Chunk("01dc", dropSecond && i == 1 ? std::string() : px);
  }
  const std::string body = "AVI " + hdrl + List("movi", movi);
  std::string riff = "RIFF" + std::string(4, '\0') + body;
  Put32(riff, 4, uint32_t(body.size()));
  return riff;
}

TEST(ImgUtilTest, AviFrameAtItsPositionInTheStream) {
  TestDir dir;
  Loader u;
  u.SetGetType(igtNormal);
  const std::string avi = dir.write("clip.avi", Avi(3));
  const std::pair<int, int> cases[] = {{0, 0}, {20, 0}, {34, 1}, {67, 2}, {100, 2}};
  for (const auto& [pos, frame] : cases) {
    u.SetAviFramePos(pos);
    ASSERT_EQ(u.LoadThumbnail(avi, 94, 94, 0), 0) << pos;
    EXPECT_EQ(u.Bitmap().Width(), 4);
    EXPECT_EQ(u.Bitmap().Pixel(3, 1), RGB(uint8_t(frame * 40), 0, 0)) << pos;
  }
  // A dropped frame shows the one before it.
  u.SetAviFramePos(50);
  ASSERT_EQ(u.LoadThumbnail(dir.write("drop.avi", Avi(3, 0, true)), 94, 94, 0), 0);
  EXPECT_EQ(u.Bitmap().Pixel(0, 0), RGB(0, 0, 0));

  u.SetGetType(igtStretch);
  ASSERT_EQ(u.LoadThumbnail(avi, 94, 94, 0), 0);
  EXPECT_EQ(u.Bitmap().Width(), 94);
  EXPECT_EQ(u.Bitmap().Height(), 47);
  EXPECT_EQ(u.OrgWidth(), 4);
}

TEST(ImgUtilTest, AviThatCannotBeReadShowsTheIcon) {
  TestDir dir;
  Loader u;
  const std::string good = Avi(3);
  const std::string files[] = {
      Avi(3, 0x47504A4D /*MJPG*/), "RIFF",
      std::string(100, '\xFF'),    good.substr(0, good.size() / 2),
      good.substr(0, 200),
  };
  int n = 0;
  for (const std::string& bytes : files) {
    EXPECT_EQ(u.LoadThumbnail(dir.write("bad" + std::to_string(n++) + ".avi", bytes), 94, 94, 0),
              -1);
    EXPECT_EQ(u.Bitmap().Pixel(0, 0), clLime);
  }
  // The frames sit in the last list of the file, so a file cut anywhere (and one whose
  // stream list claims a size beyond the file) has no frame to show: the icon.
  for (size_t len = 0; len < good.size(); len += 9) {
    std::string cut = good.substr(0, len);
    if (len > 100) Put32(cut, 90, 0x7FFFFFF0);
    SCOPED_TRACE(len);
    EXPECT_EQ(u.LoadThumbnail(dir.write("cut.avi", cut), 94, 94, 0), -1);
    EXPECT_EQ(u.ImageType(), iitAvi);
    EXPECT_EQ(u.Bitmap().Pixel(0, 0), clLime);
  }
  // The whole file, with the same size flipped, claims a list beyond its end: the icon.
  std::string flipped = good;
  Put32(flipped, 90, 0x7FFFFFF0);
  EXPECT_EQ(u.LoadThumbnail(dir.write("flipped.avi", flipped), 94, 94, 0), -1);
  EXPECT_EQ(u.LoadThumbnail(dir.write("good.avi", good), 94, 94, 0), 0);

  // A pipe under a picture's name is refused without waiting for a writer.
  for (const char* name : {"pipe.avi", "pipe.txt", "pipe.bmp", "pipe.jpg"}) {
    const std::string pipe = dir.file(name);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0666), 0);
    const int status = test::RunWithTimeLimit(20, [&] {
      u.SetTextExt("");
      const int result = u.LoadThumbnail(pipe, 94, 94, 0);
      return result != 0 ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << name;
  }
}

// ---- Susie plug-ins and the cache ----

TEST(ImgUtilTest, SusiePluginReadsUnhandledKinds) {
  TestDir dir;
  Loader u;
  SusiePluginHost host;
  auto entry = std::make_unique<SusiePluginEntry>();
  entry->Extensions = {"*.mag"};
  entry->IsSupported = [](const std::string&, const uint8_t*) { return 1; };
  entry->GetPicture = [](const std::string&, int64_t, unsigned, std::vector<uint8_t>& info,
                         std::vector<uint8_t>& pixels) {
    info.assign(40, 0);
    info[0] = 40;
    info[4] = 2;
    info[8] = 1;
    info[14] = 24;
    pixels = {0, 0, 255, 0, 0, 255, 0, 0};
    return 0;
  };
  host.Add("mag", std::move(entry));
  u.SetSusiePlugins(&host);
  const std::string file = dir.write("old.mag", "MAKI");
  ASSERT_EQ(u.LoadThumbnail(file, 94, 94, 0), 0);
  EXPECT_EQ(u.ImageType(), iitSusie);
  EXPECT_EQ(u.Bitmap().Pixel(1, 0), clRed);
  EXPECT_EQ(u.OrgWidth(), 2);
}

TEST(ImgUtilTest, CacheStoresAfterDecodingAndAnswersNextTime) {
  TestDir dir;
  const std::string photo = WriteJpeg(dir, "photo.jpg", 800, 600);
  ThumbnailCacheFile cache;
  cache.SetPathType(iptFolder);
  cache.SetFileName("thumbs.dat");
  Loader u;
  u.SetThumbnail(&cache);
  ASSERT_EQ(u.LoadThumbnail(photo, 94, 94, 0), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("thumbs.dat")));  // AutoThumb is off

  u.SetAutoThumb(true);
  ASSERT_EQ(u.LoadThumbnail(photo, 94, 94, 0), 0);
  ASSERT_TRUE(std::filesystem::exists(dir.file("thumbs.dat")));
  std::vector<uint8_t> stored;
  ASSERT_TRUE(cache.LookUp(photo, stored));
  EXPECT_EQ(cache.LastEntry().Width, 94);
  EXPECT_EQ(cache.LastEntry().Height, 70);
  EXPECT_EQ(cache.LastEntry().SourceWidth, 800);
  EXPECT_EQ(cache.LastEntry().SourceHeight, 600);
  EXPECT_EQ(JpegReader(stored).Width(), 94);

  // Make the file unreadable but keep its date: the cache answers.
  const auto mtime = std::filesystem::last_write_time(photo);
  std::filesystem::resize_file(photo, 10);
  std::filesystem::last_write_time(photo, mtime);
  ASSERT_EQ(u.LoadThumbnail(photo, 94, 94, 0), 0);
  EXPECT_EQ(u.OrgWidth(), 800);
  EXPECT_EQ(u.Bitmap().Width(), 94);
  EXPECT_EQ(u.Bitmap().Height(), 70);

  // igtNormal never uses the cache.
  u.SetGetType(igtNormal);
  EXPECT_EQ(u.LoadThumbnail(photo, 94, 94, 0), -1);
}

TEST(ImgUtilTest, UndecodableCacheEntryIsDroppedAndTheFileReadAgain) {
  TestDir dir;
  const std::string photo = WriteJpeg(dir, "p.jpg", 200, 100);
  ThumbnailCacheFile cache;
  cache.SetPath(dir.path());
  cache.SetFileName("c.dat");
  cache.LastEntry().SourceWidth = 1;
  ASSERT_TRUE(cache.Store(photo, {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'}));
  Loader u;
  u.SetThumbnail(&cache);
  u.SetAutoThumb(true);
  ASSERT_EQ(u.LoadThumbnail(photo, 94, 94, 0), 0);
  EXPECT_EQ(u.OrgWidth(), 200);
  EXPECT_EQ(u.Bitmap().Height(), 47);
  std::vector<uint8_t> stored;
  ASSERT_TRUE(cache.LookUp(photo, stored));
  EXPECT_EQ(JpegReader(stored).Width(), 94);  // the new entry replaced the bad one
}

}  // namespace
}  // namespace quorvane
