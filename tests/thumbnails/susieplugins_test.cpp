#include "thumbnails/SusiePlugins.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <stdexcept>

#include "support/ChildProcess.h"
#include "support/TestDir.h"
#include "thumbnails/DibReader.h"

namespace quorvane {
namespace {

using test::TestDir;

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) { std::memcpy(v.data() + at, &x, 4); }
void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) { std::memcpy(v.data() + at, &x, 2); }

// A BITMAPINFOHEADER followed by `extra` (masks or colour table).
std::vector<uint8_t> Info(int32_t w, int32_t h, uint16_t bpp, uint32_t compression = 0,
                          const std::vector<uint32_t>& extra = {}, uint32_t clrUsed = 0) {
  std::vector<uint8_t> v(40 + extra.size() * 4);
  Put32(v, 0, 40);
  Put32(v, 4, uint32_t(w));
  Put32(v, 8, uint32_t(h));
  Put16(v, 12, 1);
  Put16(v, 14, bpp);
  Put32(v, 16, compression);
  Put32(v, 32, clrUsed);
  for (size_t i = 0; i < extra.size(); ++i) Put32(v, 40 + i * 4, extra[i]);
  return v;
}

TEST(DibReaderTest, PaletteDepthsReadBottomUpRows) {
  // 8 bits, 3 x 2, rows padded to 4 bytes, bottom row first; colour table B, G, R, 0.
  const auto info8 = Info(3, 2, 8, 0, {0x000000FF, 0x0000FF00, 0x00FF0000}, 3);
  const std::vector<uint8_t> px8 = {2, 2, 2, 0, /*top:*/ 0, 1, 2, 0};
  Bitmap b;
  ASSERT_TRUE(DibToBitmap(info8.data(), info8.size(), px8.data(), px8.size(), b));
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 2);
  EXPECT_EQ(b.Pixel(0, 0), clBlue);  // entry 0 = bytes FF 00 00 = blue
  EXPECT_EQ(b.Pixel(1, 0), clLime);
  EXPECT_EQ(b.Pixel(2, 0), clRed);
  EXPECT_EQ(b.Pixel(0, 1), clRed);

  // 1 bit: the high bit is the leftmost pixel.
  const auto info1 = Info(10, 1, 1, 0, {0x00000000, 0x00FFFFFF});
  const std::vector<uint8_t> px1 = {0b10100000, 0b01000000, 0, 0};
  ASSERT_TRUE(DibToBitmap(info1.data(), info1.size(), px1.data(), px1.size(), b));
  EXPECT_EQ(b.Pixel(0, 0), clWhite);
  EXPECT_EQ(b.Pixel(1, 0), clBlack);
  EXPECT_EQ(b.Pixel(2, 0), clWhite);
  EXPECT_EQ(b.Pixel(9, 0), clWhite);

  // 4 bits; indices past a short colour table are black.
  const auto info4 = Info(3, 1, 4, 0, {0x00FFFFFF}, 1);
  const std::vector<uint8_t> px4 = {0x0F, 0x00, 0, 0};
  ASSERT_TRUE(DibToBitmap(info4.data(), info4.size(), px4.data(), px4.size(), b));
  EXPECT_EQ(b.Pixel(0, 0), clWhite);
  EXPECT_EQ(b.Pixel(1, 0), clBlack);
  EXPECT_EQ(b.Pixel(2, 0), clWhite);
}

TEST(DibReaderTest, DirectColourDepthsAndTopDownRows) {
  Bitmap b;
  const auto info24 = Info(1, -2, 24);
  const std::vector<uint8_t> px24 = {1, 2, 3, 0, 4, 5, 6, 0};
  ASSERT_TRUE(DibToBitmap(info24.data(), info24.size(), px24.data(), px24.size(), b));
  EXPECT_EQ(b.Pixel(0, 0), RGB(3, 2, 1));
  EXPECT_EQ(b.Pixel(0, 1), RGB(6, 5, 4));

  const auto info16 = Info(2, 1, 16);  // 5-5-5
  const std::vector<uint8_t> px16 = {0x00, 0x7C, 0x1F, 0x00};
  ASSERT_TRUE(DibToBitmap(info16.data(), info16.size(), px16.data(), px16.size(), b));
  EXPECT_EQ(b.Pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(b.Pixel(1, 0), RGB(0, 0, 255));

  const auto info565 = Info(1, 1, 16, kBiBitfields, {0xF800, 0x07E0, 0x001F});
  const std::vector<uint8_t> px565 = {0xE0, 0x07, 0, 0};
  ASSERT_TRUE(DibToBitmap(info565.data(), info565.size(), px565.data(), px565.size(), b));
  EXPECT_EQ(b.Pixel(0, 0), RGB(0, 255, 0));

  const auto info32 = Info(1, 1, 32);
  const std::vector<uint8_t> px32 = {10, 20, 30, 99};
  ASSERT_TRUE(DibToBitmap(info32.data(), info32.size(), px32.data(), px32.size(), b));
  EXPECT_EQ(b.Pixel(0, 0), RGB(30, 20, 10));
}

// Plug-ins that hand over transparency: shown over white, as every reader does.
TEST(DibReaderTest, AlphaMasksCompositeOverWhite) {
  Bitmap b;
  const auto info =
      Info(3, 1, 32, kBiAlphaBitfields, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000});
  const std::vector<uint8_t> px = {0, 0, 0, 0, /**/ 0, 0, 255, 255, /**/ 255, 0, 0, 128};
  ASSERT_TRUE(DibToBitmap(info.data(), info.size(), px.data(), px.size(), b));
  EXPECT_EQ(b.Pixel(0, 0), clWhite);
  EXPECT_EQ(b.Pixel(1, 0), clRed);
  EXPECT_EQ(b.Pixel(2, 0), RGB(127, 127, 255));
  // The fourth mask must be there.
  EXPECT_FALSE(DibToBitmap(info.data(), 40 + 12, px.data(), px.size(), b));
}

TEST(DibReaderTest, InconsistentDataIsRefused) {
  Bitmap b(2, 2);
  b.Fill(clRed);
  const auto info = Info(4, 4, 24);
  const std::vector<uint8_t> few(4 * 3 * 4 - 1);
  EXPECT_FALSE(DibToBitmap(info.data(), info.size(), few.data(), few.size(), b));
  const std::vector<uint8_t> px(64);
  EXPECT_FALSE(DibToBitmap(info.data(), 39, px.data(), px.size(), b));  // header cut
  for (const auto& bad :
       {Info(0, 4, 24), Info(-4, 4, 24), Info(4, 0, 24), Info(4, 4, 7), Info(4, 4, 24, 1 /*RLE8*/),
        Info(100000, 100000, 24), Info(4, INT32_MIN, 24), Info(4, 4, 16, kBiBitfields)})
    EXPECT_FALSE(DibToBitmap(bad.data(), bad.size(), px.data(), px.size(), b));
  auto hugeSize = Info(4, 4, 24);
  Put32(hugeSize, 0, 4000);  // header size beyond the data
  EXPECT_FALSE(DibToBitmap(hugeSize.data(), hugeSize.size(), px.data(), px.size(), b));
  // The target is untouched by every refusal.
  EXPECT_EQ(b.Width(), 2);
  EXPECT_EQ(b.Pixel(1, 1), clRed);
}

// A scripted plug-in that records its calls.
struct FakePlugin {
  int supported = 1;
  int pictureCode = 0;
  int previewCode = 0;
  RgbColor colour = clRed;
  int pictureCalls = 0, previewCalls = 0, supportCalls = 0;
  std::vector<uint8_t> head;

  std::unique_ptr<SusiePluginEntry> Entry(std::vector<std::string> patterns = {"*.pic", "*.mag"}) {
    auto e = std::make_unique<SusiePluginEntry>();
    e->Extensions = std::move(patterns);
    e->IsSupported = [this](const std::string&, const uint8_t* h) {
      ++supportCalls;
      head.assign(h, h + kSusieHeadSize);
      return supported;
    };
    auto picture = [this](int code, int& calls) {
      return [this, code, &calls](const std::string&, int64_t offset, unsigned flags,
                                  std::vector<uint8_t>& info, std::vector<uint8_t>& pixels) {
        ++calls;
        EXPECT_EQ(offset, 0);
        EXPECT_EQ(flags, 0u);
        if (code != 0) return code;
        info = Info(2, 1, 24);
        pixels = {GetBValue(colour),
                  GetGValue(colour),
                  GetRValue(colour),
                  GetBValue(colour),
                  GetGValue(colour),
                  GetRValue(colour),
                  0,
                  0};
        return 0;
      };
    };
    e->GetPicture = picture(pictureCode, pictureCalls);
    e->GetPreview = picture(previewCode, previewCalls);
    return e;
  }
};

TEST(SusiePluginsTest, EmptyHostAcceptsNothing) {
  SusiePluginHost host;
  Bitmap b;
  EXPECT_EQ(host.FindPlugin("/no/such/file.pic"), -1);
  EXPECT_EQ(host.LoadPicture("/no/such/file.pic", b), 200);
  EXPECT_TRUE(b.Empty());
}

TEST(SusiePluginsTest, AcceptsMatchesTheExtensionThenAsksThePlugin) {
  TestDir dir;
  const std::string content = "MAKI01A " + std::string(3000, 'q');
  const std::string pic = dir.write("그림 1.PIC", content);
  const std::string txt = dir.write("note.txt", "x");
  FakePlugin plugin;
  auto entry = plugin.Entry();
  EXPECT_TRUE(entry->Accepts(pic));
  EXPECT_EQ(plugin.supportCalls, 1);
  ASSERT_EQ(plugin.head.size(), kSusieHeadSize);
  EXPECT_EQ(std::string(plugin.head.begin(), plugin.head.end()), content.substr(0, kSusieHeadSize));

  EXPECT_FALSE(entry->Accepts(txt));
  EXPECT_EQ(plugin.supportCalls, 1);  // the plug-in is not asked about other extensions

  // A short file: the rest of the buffer is zeros; a missing file gets all zeros.
  const std::string small = dir.write("s.mag", "AB");
  EXPECT_TRUE(entry->Accepts(small));
  EXPECT_EQ(plugin.head[0], 'A');
  EXPECT_EQ(plugin.head[2], 0);
  EXPECT_TRUE(entry->Accepts(dir.file("missing.mag")));
  EXPECT_EQ(plugin.head, std::vector<uint8_t>(kSusieHeadSize, 0));

  plugin.supported = 0;
  EXPECT_FALSE(entry->Accepts(pic));
}

TEST(SusiePluginsTest, APipeNamedLikeAPluginPictureDoesNotBlock) {
  TestDir dir;
  const std::string pipe = dir.file("pipe.mag");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0666), 0);
  const int status = quorvane::test::RunWithTimeLimit(20, [&] {
    FakePlugin plugin;
    auto entry = plugin.Entry();
    // The plug-in is still asked, with an empty head, as for a file that cannot be read.
    return entry->Accepts(pipe) && plugin.head == std::vector<uint8_t>(kSusieHeadSize, 0) ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

TEST(SusiePluginsTest, FindPluginNamesTheLastAcceptingEntryAndLoadTriesInOrder) {
  TestDir dir;
  const std::string pic = dir.write("a.pic", "data");
  FakePlugin first, second, third;
  first.colour = clRed;
  second.colour = clBlue;
  third.supported = 0;
  SusiePluginHost host;
  host.Add("first", first.Entry());
  host.Add("second", second.Entry());
  host.Add("third", third.Entry());
  EXPECT_EQ(host.FindPlugin(pic), 1);
  EXPECT_EQ(third.supportCalls, 1);  // every entry was asked

  Bitmap b;
  EXPECT_EQ(host.LoadPicture(pic, b), 0);
  EXPECT_EQ(b.Pixel(1, 0), clRed);
  EXPECT_EQ(second.pictureCalls, 0);

  SusiePluginHost failing;
  first.pictureCode = 2;
  failing.Add("first", first.Entry());
  failing.Add("second", second.Entry());
  EXPECT_EQ(failing.LoadPicture(pic, b), 0);
  EXPECT_EQ(b.Pixel(0, 0), clBlue);

  SusiePluginHost allFail;
  second.pictureCode = 6;
  allFail.Add("first", first.Entry());
  allFail.Add("second", second.Entry());
  EXPECT_EQ(allFail.LoadPicture(pic, b), 6);
}

TEST(SusiePluginsTest, PreviewIsAskedFirstAndThePictureWhenItFails) {
  TestDir dir;
  const std::string pic = dir.write("a.pic", "data");
  FakePlugin plugin;
  plugin.previewCode = 1;
  SusiePluginHost host;
  host.Add("p", plugin.Entry());
  host.SetPreview(true);
  Bitmap b;
  EXPECT_EQ(host.LoadPicture(pic, b), 0);
  EXPECT_EQ(plugin.previewCalls, 1);
  EXPECT_EQ(plugin.pictureCalls, 1);
  EXPECT_TRUE(host.Entry(0).Preview);

  FakePlugin quick;
  SusiePluginHost host2;
  host2.Add("q", quick.Entry());
  host2.SetPreview(true);
  EXPECT_EQ(host2.LoadPicture(pic, b), 0);
  EXPECT_EQ(quick.previewCalls, 1);
  EXPECT_EQ(quick.pictureCalls, 0);

  host2.SetPreview(false);
  EXPECT_EQ(host2.LoadPicture(pic, b), 0);
  EXPECT_EQ(quick.previewCalls, 1);
  EXPECT_EQ(quick.pictureCalls, 1);
  EXPECT_FALSE(host2.Entry(0).Preview);
}

TEST(SusiePluginsTest, SuccessWithoutAUsablePictureIsNoSuccess) {
  TestDir dir;
  const std::string pic = dir.write("a.pic", "data");
  auto entry = std::make_unique<SusiePluginEntry>();
  entry->Extensions = {"*.pic"};
  entry->IsSupported = [](const std::string&, const uint8_t*) { return 1; };
  int mode = 0;
  entry->GetPicture = [&mode](const std::string&, int64_t, unsigned, std::vector<uint8_t>& info,
                              std::vector<uint8_t>& pixels) {
    if (mode == 1) throw std::runtime_error("plug-in fault");
    if (mode == 2) {  // claims 100 x 100 but hands over one row
      info = Info(100, 100, 24);
      pixels.assign(300, 0);
    }
    return 0;
  };
  SusiePluginHost host;
  host.Add("p", std::move(entry));
  Bitmap b;
  EXPECT_EQ(host.LoadPicture(pic, b), kSusieNoPicture);  // nothing handed over
  mode = 1;
  EXPECT_EQ(host.LoadPicture(pic, b), kSusieNoPicture);  // the fault is swallowed
  mode = 2;
  EXPECT_EQ(host.LoadPicture(pic, b), kSusieNoPicture);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(host.Count(), 1);
  EXPECT_EQ(host.Name(0), "p");
}

}  // namespace
}  // namespace quorvane
