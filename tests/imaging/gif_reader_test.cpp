#include <gif_lib.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "imaging/GIFReader.h"
#include "imaging/BmpFile.h"
#include "support/TestDir.h"

using namespace quorvane;
using quorvane::test::RunCommand;
using quorvane::test::ShellQuote;
using quorvane::test::TestDir;

namespace {

// GIF files for the tests are written with giflib's encoder.
struct Frame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlace = false;
  std::vector<GifColorType> localMap;  // empty: none
  std::vector<uint8_t> pixels;         // width x height, top row first
  int transparent = -1;
};

int WriteToString(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<std::string*>(gif->UserData)
      ->append(reinterpret_cast<const char*>(data), size_t(length));
  return length;
}

ColorMapObject* MakeMap(const std::vector<GifColorType>& colours) {
  return colours.empty() ? nullptr : GifMakeMapObject(int(colours.size()), colours.data());
}

std::string MakeGif(int screenWidth, int screenHeight, const std::vector<GifColorType>& globalMap,
                    const std::vector<Frame>& frames) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, &WriteToString, &error);
  EXPECT_NE(gif, nullptr);
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = MakeMap(globalMap);
  EXPECT_EQ(EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, global), GIF_OK);
  for (const Frame& f : frames) {
    if (f.transparent >= 0) {
      GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, f.transparent};
      GifByteType block[4];
      const size_t length = EGifGCBToExtension(&gcb, block);
      EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), block), GIF_OK);
    }
    ColorMapObject* local = MakeMap(f.localMap);
    EXPECT_EQ(EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace, local), GIF_OK);
    std::vector<int> order;
    if (f.interlace) {
      for (int r = 0; r < f.height; r += 8) order.push_back(r);
      for (int r = 4; r < f.height; r += 8) order.push_back(r);
      for (int r = 2; r < f.height; r += 4) order.push_back(r);
      for (int r = 1; r < f.height; r += 2) order.push_back(r);
    } else {
      for (int r = 0; r < f.height; ++r) order.push_back(r);
    }
    for (int r : order) {
      std::vector<GifPixelType> line(f.pixels.begin() + r * f.width,
                                     f.pixels.begin() + (r + 1) * f.width);
      EXPECT_EQ(EGifPutLine(gif, line.data(), f.width), GIF_OK);
    }
    if (local) GifFreeMapObject(local);
  }
  EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
  if (global) GifFreeMapObject(global);
  return out;
}

Bitmap Decode(const std::string& bytes) {
  Bitmap out;
  DecodeGif(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
  return out;
}

const std::vector<GifColorType> kMap = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
const RgbColor kMapColours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(10, 20, 30)};

// width x height pixels whose index is (x + 2y) mod 4, and the picture they make.
std::vector<uint8_t> Indices(int width, int height) {
  std::vector<uint8_t> p(size_t(width * height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) p[size_t(y * width + x)] = uint8_t((x + 2 * y + y / 3) % 4);
  return p;
}

RgbColor Expected(int x, int y) { return kMapColours[(x + 2 * y + y / 3) % 4]; }

}  // namespace

TEST(GifReader, FullScreenFrameGivesItsColours) {
  const Bitmap got = Decode(MakeGif(7, 5, kMap, {{0, 0, 7, 5, false, {}, Indices(7, 5)}}));
  ASSERT_EQ(got.Width(), 7);
  ASSERT_EQ(got.Height(), 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(got.Pixel(x, y), Expected(x, y)) << x << "," << y;
}

TEST(GifReader, InterlacedFramesGiveTheSamePicture) {
  for (int height : {1, 2, 3, 5, 8, 9, 17}) {
    SCOPED_TRACE(height);
    const Bitmap plain =
        Decode(MakeGif(6, height, kMap, {{0, 0, 6, height, false, {}, Indices(6, height)}}));
    const Bitmap interlaced =
        Decode(MakeGif(6, height, kMap, {{0, 0, 6, height, true, {}, Indices(6, height)}}));
    EXPECT_TRUE(interlaced.SamePixels(plain));
    EXPECT_EQ(interlaced.Pixel(5, height - 1), Expected(5, height - 1));
  }
  // ImageMagick's interlaced files read the same as its plain ones.
  TestDir dir;
  Bitmap source(13, 19);
  for (int y = 0; y < 19; ++y)
    for (int x = 0; x < 13; ++x) source.SetPixel(x, y, Expected(x, y));
  WriteBmpFile(dir.file("s.bmp"), source);
  ASSERT_EQ(RunCommand("convert " + ShellQuote(dir.file("s.bmp")) + " -interlace GIF " +
                       ShellQuote(dir.file("그림 i.gif"))),
            0);
  Bitmap got;
  ReadGifFile(dir.file("그림 i.gif"), got);
  EXPECT_TRUE(got.SamePixels(source));
}

TEST(GifReader, FrameComposedOnTheScreenWithWhiteWhereNothingIsPainted) {
  Frame f{2, 1, 3, 2, false, {}, {0, 1, 2, 3, 3, 1}, 3};
  const Bitmap got = Decode(MakeGif(6, 4, kMap, {f}));
  ASSERT_EQ(got.Width(), 6);
  ASSERT_EQ(got.Height(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      RgbColor want = clWhite;
      if (x >= 2 && x < 5 && y >= 1 && y < 3) {
        const int index = f.pixels[size_t((y - 1) * 3 + (x - 2))];
        if (index != 3) want = kMapColours[index];
      }
      EXPECT_EQ(got.Pixel(x, y), want) << x << "," << y;
    }
}

TEST(GifReader, LocalMapsFirstFramesAndClipping) {
  // A local colour map wins over the global one; there need be no global one.
  const std::vector<GifColorType> local = {{1, 1, 1}, {9, 8, 7}};
  Bitmap got = Decode(MakeGif(2, 1, kMap, {{0, 0, 2, 1, false, local, {1, 0}}}));
  EXPECT_EQ(got.Pixel(0, 0), RGB(9, 8, 7));
  EXPECT_EQ(got.Pixel(1, 0), RGB(1, 1, 1));
  got = Decode(MakeGif(2, 1, {}, {{0, 0, 2, 1, false, local, {1, 0}}}));
  EXPECT_EQ(got.Pixel(0, 0), RGB(9, 8, 7));
  // No colour map at all (giflib writes none such: drop the global map afterwards).
  std::string noMap = MakeGif(2, 1, kMap, {{0, 0, 2, 1, false, {}, {1, 0}}});
  ASSERT_EQ(uint8_t(noMap[10]) & 0x80, 0x80);
  noMap[10] = char(uint8_t(noMap[10]) & 0x7F);
  noMap.erase(13, 3 * kMap.size());
  EXPECT_THROW(Decode(noMap), GifReadError);

  // Only the first frame counts.
  got = Decode(MakeGif(
      2, 2, kMap, {{0, 0, 2, 2, false, {}, {0, 0, 0, 0}}, {0, 0, 2, 2, false, {}, {1, 1, 1, 1}}}));
  EXPECT_EQ(got.Pixel(1, 1), kMapColours[0]);

  // A frame reaching past the screen is clipped: write a big screen, then shrink it.
  std::string bytes = MakeGif(8, 8, kMap, {{2, 2, 4, 4, false, {}, Indices(4, 4)}});
  bytes[6] = 4;  // screen 4 x 3
  bytes[8] = 3;
  got = Decode(bytes);
  ASSERT_EQ(got.Width(), 4);
  ASSERT_EQ(got.Height(), 3);
  EXPECT_EQ(got.Pixel(1, 1), clWhite);
  EXPECT_EQ(got.Pixel(2, 2), Expected(0, 0));
  EXPECT_EQ(got.Pixel(3, 2), Expected(1, 0));
  // A screen of size zero takes the frame's extent.
  bytes[6] = bytes[7] = bytes[8] = bytes[9] = 0;
  got = Decode(bytes);
  ASSERT_EQ(got.Width(), 6);
  ASSERT_EQ(got.Height(), 6);
  EXPECT_EQ(got.Pixel(5, 5), Expected(3, 3));
}

TEST(GifReader, HugeSizesAreRefusedBeforeAllocating) {
  std::string bytes = MakeGif(8, 8, kMap, {{0, 0, 2, 2, false, {}, {0, 1, 2, 3}}});
  std::string huge = bytes;
  huge[6] = huge[7] = huge[8] = huge[9] = char(0xFF);  // 65535 x 65535 screen
  EXPECT_THROW(Decode(huge), GifReadError);
  // A frame of 65535 x 65535 with a few bytes of data.
  huge = bytes;
  const size_t descriptor = bytes.find('\x2C');
  ASSERT_NE(descriptor, std::string::npos);
  for (size_t i = descriptor + 5; i < descriptor + 9; ++i) huge[i] = char(0xFF);
  EXPECT_THROW(Decode(huge), GifReadError);
}

TEST(GifReader, DamagedFilesFailCleanly) {
  const std::string whole = MakeGif(9, 7, kMap, {Frame{1, 1, 7, 5, true, {}, Indices(7, 5), 2}});
  const Bitmap full = Decode(whole);
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    SCOPED_TRACE(cut);
    Bitmap out(1, 1);
    try {
      DecodeGif(reinterpret_cast<const uint8_t*>(whole.data()), cut, out);
      // Only the trailer after the first picture may be missing.
      EXPECT_GE(cut, whole.size() - 1);
      EXPECT_TRUE(out.SamePixels(full));
    } catch (const GifReadError&) {
      EXPECT_EQ(out.Width(), 1);
    }
  }
  EXPECT_THROW(Decode(""), GifReadError);
  EXPECT_THROW(Decode("GIF89a"), GifReadError);
  EXPECT_THROW(Decode("This is not a picture at all, just words."), GifReadError);
  // A file with no picture before its trailer.
  std::string empty = MakeGif(4, 4, kMap, {});
  EXPECT_THROW(Decode(empty), GifReadError);
  Bitmap out;
  EXPECT_THROW(ReadGifFile("/nonexistent/folder/a.gif", out), GifReadError);

  std::mt19937 random(777);
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = whole;
    const int changes = 1 + int(random() % 4);
    for (int c = 0; c < changes; ++c) damaged[random() % damaged.size()] = char(random());
    Bitmap target;
    try {
      DecodeGif(reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size(), target);
      EXPECT_TRUE(Bitmap::SizeAllowed(target.Width(), target.Height()));
    } catch (const GifReadError&) {
    }
  }
}
