// Every target format written through the batch engine's save, from pictures of awkward
// shapes, and read back by decoders that share no code with the writers: Pillow for
// every format, ImageMagick, GraphicsMagick and the codec library for SGI.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

#include "processing/ConvertEngine.h"
#include "processing/ConvertTestHelpers.h"
#include "processing/OutputFile.h"
#include "processing/PngWriter.h"
#include "processing/SgiWriter.h"
#include "processing/UncompressedWriters.h"
#include "imaging/ReadImage.h"
#include "support/TestDir.h"

namespace quorvane::test {
namespace {

// Debian's interpreter, which has Pillow (python3-pil); another python3 may come first on
// PATH.
constexpr const char* kPython = "/usr/bin/python3";

// Decodes each file named on the command line into file + ".rgb": a line
// "FORMAT WIDTH HEIGHT" and then the pixels as R, G, B, top row first.
constexpr const char* kPillowScript = R"(import sys
from PIL import Image
Image.MAX_IMAGE_PIXELS = None
for name in sys.argv[1:]:
    with Image.open(name) as im:
        im.load()
        fmt = im.format
        rgb = im.convert("RGB")
    with open(name + ".rgb", "wb") as out:
        out.write(b"%s %d %d\n" % (fmt.encode(), rgb.width, rgb.height) + rgb.tobytes())
)";

Bitmap Noise(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  Bitmap bmp(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 3; ++x) bmp.ScanLine(y)[x] = uint8_t(random());
  return bmp;
}

Bitmap Flat(int width, int height, RgbColor color) {
  Bitmap bmp(width, height);
  bmp.Fill(color);
  return bmp;
}

// Runs of every length from 1 to 150 pixels (row y has runs of 1 + y * 37 % 150), so that
// run-length coders meet runs shorter and longer than their longest packet.
Bitmap Runs(int width, int height) {
  Bitmap bmp(width, height);
  for (int y = 0; y < height; ++y) {
    const int run = 1 + y * 37 % 150;
    for (int x = 0; x < width; ++x) {
      const int k = x / run;
      bmp.SetPixel(x, y, RgbColor((k * 40 % 256) | (k * 90 % 256) << 8 | (y * 3 % 256) << 16));
    }
  }
  return bmp;
}

// Only the 216 colours of the web palette: the GIF writer keeps them exactly.
Bitmap WebColours(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  Bitmap bmp(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 3; ++x) bmp.ScanLine(y)[x] = uint8_t(random() % 6 * 51);
  return bmp;
}

struct Case {
  std::string name;
  Bitmap picture;
};

// The pictures every format is written from.
std::vector<Case> AwkwardPictures() {
  std::vector<Case> cases;
  const auto add = [&](const std::string& name, Bitmap bmp) {
    cases.push_back({name, std::move(bmp)});
  };
  add("1x1", Noise(1, 1, 1));
  add("1x9", Noise(1, 9, 2));
  add("9x1", Noise(9, 1, 3));
  add("3x5", Noise(3, 5, 4));
  add("257x3 noise", Noise(257, 3, 5));
  add("301x90 noise", Noise(301, 90, 6));
  add("301x90 runs", Runs(301, 90));
  add("300x7 flat", Flat(300, 7, 0x336699));
  add("33000x2 noise", Noise(33000, 2, 7));
  add("33000x2 flat", Flat(33000, 2, 0xFFFFFF));
  return cases;
}

// The decoded picture of file + ".rgb" (see kPillowScript); `format` gets its format name.
Bitmap ReadDecoded(const std::string& file, std::string& format) {
  const std::string bytes = ReadFileBytes(file + ".rgb");
  std::istringstream head(bytes);
  int width = 0, height = 0;
  head >> format >> width >> height;
  const size_t start = bytes.find('\n') + 1;
  if (width <= 0 || height <= 0 || bytes.size() != start + size_t(width) * height * 3) return {};
  Bitmap bmp(width, height);
  const auto* rgb = reinterpret_cast<const uint8_t*>(bytes.data() + start);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < width; ++x, rgb += 3) {
      row[x * 3] = rgb[2];
      row[x * 3 + 1] = rgb[1];
      row[x * 3 + 2] = rgb[0];
    }
  }
  return bmp;
}

class ImageWritersTest : public ::testing::Test {
 protected:
  void SetUp() override { engine.Params.Existing = OnExists::Overwrite; }

  // Saves through the batch engine's save, as a batch does; answers the file's path.
  std::string Save(const std::string& name, const Bitmap& picture, const std::string& ext) {
    const std::string path = dir.file(name + ext);
    Bitmap work = picture;  // the save releases the picture it writes
    EXPECT_TRUE(engine.SaveBitmap(path, work)) << path;
    return path;
  }
  // Runs Pillow over the files; each then has its ".rgb" beside it.
  void DecodeWithPillow(const std::vector<std::string>& files) {
    const std::string script = dir.write("decode.py", kPillowScript);
    std::string command = std::string(kPython) + " " + ShellQuote(script);
    for (const std::string& f : files) command += " " + ShellQuote(f);
    ASSERT_EQ(RunCommand(command), 0) << "Pillow refused one of the files";
  }

  TestDir dir;
  ConvertEngine engine;
};

TEST_F(ImageWritersTest, LosslessFormatsDecodeToTheWrittenPixels) {
  const std::vector<Case> cases = AwkwardPictures();
  const std::vector<std::pair<std::string, std::string>> formats = {
      {".png", "PNG"}, {".tif", "TIFF"}, {".pnm", "PPM"},
      {".tga", "TGA"}, {".sgi", "SGI"},  {".bmp", "BMP"}};
  std::vector<std::string> files;
  for (const auto& [ext, format] : formats)
    for (const Case& c : cases) files.push_back(Save("그림 " + c.name, c.picture, ext));
  DecodeWithPillow(files);
  size_t i = 0;
  for (const auto& [ext, format] : formats) {
    for (const Case& c : cases) {
      std::string decodedFormat;
      const Bitmap decoded = ReadDecoded(files[i++], decodedFormat);
      EXPECT_EQ(decodedFormat, format) << c.name << ext;
      EXPECT_TRUE(decoded.SamePixels(c.picture)) << c.name << ext;
    }
  }
}

TEST_F(ImageWritersTest, LossyAndPaletteFormatsDecode) {
  // GIF: pictures already on the web palette, written without dithering, come back exactly.
  engine.Params.DitherIndex = 0;
  const Bitmap web[] = {WebColours(1, 1, 1), WebColours(1, 9, 2), WebColours(9, 1, 3),
                        WebColours(257, 3, 4), WebColours(33000, 2, 5)};
  std::vector<std::string> gifs;
  for (const Bitmap& bmp : web)
    gifs.push_back(Save("web " + std::to_string(bmp.Width()) + "x" + std::to_string(bmp.Height()),
                        bmp, ".gif"));
  // JPEG: flat colours survive within a step or two; noise keeps its size.
  engine.Params.JpegQuality = 90;
  const Bitmap jpegs[] = {Flat(1, 1, 0x2080C0), Flat(1, 9, 0x2080C0), Flat(9, 1, 0x2080C0),
                          Flat(257, 3, 0x2080C0), Noise(33000, 2, 6)};
  std::vector<std::string> jpgs;
  for (const Bitmap& bmp : jpegs)
    jpgs.push_back(Save("photo " + std::to_string(bmp.Width()) + "x" + std::to_string(bmp.Height()),
                        bmp, ".jpg"));
  std::vector<std::string> all = gifs;
  all.insert(all.end(), jpgs.begin(), jpgs.end());
  DecodeWithPillow(all);
  std::string format;
  for (size_t i = 0; i < gifs.size(); ++i) {
    EXPECT_TRUE(ReadDecoded(gifs[i], format).SamePixels(web[i])) << gifs[i];
    EXPECT_EQ(format, "GIF");
  }
  for (size_t i = 0; i < jpgs.size(); ++i) {
    const Bitmap decoded = ReadDecoded(jpgs[i], format);
    EXPECT_EQ(format, "JPEG");
    ASSERT_EQ(decoded.Width(), jpegs[i].Width()) << jpgs[i];
    ASSERT_EQ(decoded.Height(), jpegs[i].Height()) << jpgs[i];
    if (i + 1 < jpgs.size()) {
      EXPECT_LE(MaxDifference(decoded, jpegs[i]), 2) << jpgs[i];
    }
  }
}

// Writes `picture` as raw R, G, B with ImageMagick or GraphicsMagick (`tool` is the
// command up to the input name) and compares.
void ExpectToolReads(const std::string& tool, const std::string& file, const Bitmap& picture,
                     const std::string& raw) {
  const std::string command =
      tool + " " + ShellQuote("sgi:" + file) + " -depth 8 " + ShellQuote("rgb:" + raw);
  ASSERT_EQ(RunCommand(command + " 2>/dev/null"), 0) << tool << " refused " << file;
  const std::string bytes = ReadFileBytes(raw);
  ASSERT_EQ(bytes.size(), size_t(picture.Width()) * picture.Height() * 3) << tool;
  size_t i = 0;
  bool same = true;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x, i += 3) {
      const uint8_t* p = picture.ScanLine(y) + x * 3;
      same = same && uint8_t(bytes[i]) == p[2] && uint8_t(bytes[i + 1]) == p[1] &&
             uint8_t(bytes[i + 2]) == p[0];
    }
  EXPECT_TRUE(same) << tool << " " << file;
}

TEST_F(ImageWritersTest, SgiFilesAreReadByEveryDecoder) {
  ASSERT_TRUE(CodecReady()) << CodecBindFailure();
  const std::string magick =
      RunCommand("command -v convert-im6.q16 >/dev/null") == 0 ? "convert-im6.q16" : "convert";
  const bool haveGm = RunCommand("command -v gm >/dev/null") == 0;
  const Case cases[] = {{"1x1", Noise(1, 1, 11)},
                        {"runs", Runs(301, 90)},
                        {"noise", Noise(257, 13, 12)},
                        {"wide", Runs(1000, 3)}};
  for (const Case& c : cases) {
    const std::string file = Save("사진 " + c.name, c.picture, ".sgi");
    Bitmap codec;
    EXPECT_TRUE(ReadImageFile(file, codec)) << "the codec library refused " << c.name;
    EXPECT_TRUE(codec.SamePixels(c.picture)) << c.name;
    ExpectToolReads(magick, file, c.picture, dir.file(c.name + ".im.rgb"));
    if (haveGm) ExpectToolReads("gm convert", file, c.picture, dir.file(c.name + ".gm.rgb"));
  }
  // Verbatim storage, which the batch does not use, is a valid file too.
  const Bitmap runs = Runs(301, 90);
  const std::string verbatim = dir.file("verbatim.sgi");
  WriteSgiFile(verbatim, runs, false);
  EXPECT_EQ(ReadFileBytes(verbatim).size(), 512u + 301u * 90u * 3u);
  Bitmap codec;
  EXPECT_TRUE(ReadImageFile(verbatim, codec));
  EXPECT_TRUE(codec.SamePixels(runs));
  ExpectToolReads(magick, verbatim, runs, dir.file("verbatim.im.rgb"));
}

TEST_F(ImageWritersTest, TheCodecLibraryReadsEveryFormatItReadsToday) {
  ASSERT_TRUE(CodecReady()) << CodecBindFailure();
  const Bitmap picture = Runs(301, 90);
  for (const char* ext : {".png", ".tif", ".pnm", ".tga", ".sgi"}) {
    const std::string file = Save("codec", picture, ext);
    Bitmap back;
    EXPECT_TRUE(ReadImageFile(file, back)) << ext;
    EXPECT_TRUE(back.SamePixels(picture)) << ext;
  }
}

TEST_F(ImageWritersTest, StreamedBitmapFilesAreTheBitmapEncodersBytes) {
  for (const Bitmap& bmp : {Noise(1, 1, 1), Noise(1, 9, 2), Noise(7, 3, 3), Noise(257, 5, 4)}) {
    const std::vector<uint8_t> encoded = EncodeBmp(bmp);
    EXPECT_EQ(ReadFileBytes(Save("streamed", bmp, ".bmp")),
              std::string(encoded.begin(), encoded.end()))
        << bmp.Width() << "x" << bmp.Height();
  }
}

TEST_F(ImageWritersTest, TgaHeaderHasAZeroOrigin) {
  const std::string bytes = ReadFileBytes(Save("origin", Noise(5, 3, 8), ".tga"));
  ASSERT_GE(bytes.size(), 18u + 45u + 26u);
  EXPECT_EQ(bytes.substr(8, 4), std::string(4, '\0'));  // x and y origin
  EXPECT_EQ(bytes[2], 2);                               // uncompressed true colour
  EXPECT_EQ(bytes[16], 24);
  EXPECT_EQ(bytes.substr(bytes.size() - 18), std::string("TRUEVISION-XFILE.\0", 18));
}

TEST_F(ImageWritersTest, WritersReportFailuresInsteadOfWritingBrokenFiles) {
  const Bitmap picture = Noise(40, 30, 9);
  using Writer = void (*)(const std::string&, const Bitmap&);
  const Writer writers[] = {WritePngFile,
                            WriteTiffFile,
                            WritePnmFile,
                            WriteTgaFile,
                            WriteBmpStreamed,
                            [](const std::string& path, const Bitmap& bmp) { WriteSgiFile(path, bmp); }};
  for (Writer write : writers) {
    // A full disk, reported as such.
    try {
      write("/dev/full", picture);
      ADD_FAILURE() << "a write to a full disk succeeded";
    } catch (const ImageWriteError& e) {
      EXPECT_EQ(e.code().value(), ENOSPC) << e.what();
    }
    // A folder that does not exist.
    EXPECT_THROW(write(dir.file("없는 폴더/a.out"), picture), ImageWriteError);
    EXPECT_THROW(write(dir.file("empty"), Bitmap()), ImageWriteError);
  }
  // Through the engine: the save fails and leaves nothing behind.
  const std::string missing = dir.file("없는 폴더");
  for (const char* ext : {".png", ".tif", ".pnm", ".tga", ".sgi", ".jpg", ".bmp"}) {
    Bitmap work = picture;
    EXPECT_FALSE(engine.SaveBitmap(missing + "/a" + ext, work)) << ext;
  }
  struct stat st;
  EXPECT_NE(stat(missing.c_str(), &st), 0);
}

TEST(SgiRunLength, PacketsStayWithinTheirLimitsAndDecodeBack) {
  // Literal stretches and runs on both sides of the 127-byte packet limit, and pairs of
  // equal bytes inside literal stretches.
  std::vector<uint8_t> src;
  for (int n : {1, 2, 3, 126, 127, 128, 254, 255, 300})
    src.insert(src.end(), size_t(n), uint8_t(n));
  for (int i = 0; i < 400; ++i) src.push_back(uint8_t(i * 7 + (i % 5 == 0 ? 0 : i)));
  for (int i = 0; i < 50; ++i) src.insert(src.end(), 2, uint8_t(i));
  std::vector<uint8_t> out(SgiRunLengthBound(src.size()));
  const size_t length = SgiRunLengthEncode(src.data(), src.size(), 1, out.data());
  ASSERT_LE(length, out.size());
  // Decoded the way the format defines its packets.
  std::vector<uint8_t> back;
  size_t i = 0;
  while (i < length && out[i] != 0) {
    const int count = out[i] & 0x7F;
    if (out[i++] & 0x80) {
      back.insert(back.end(), out.begin() + long(i), out.begin() + long(i + count));
      i += size_t(count);
    } else {
      back.insert(back.end(), size_t(count), out[i++]);
    }
  }
  EXPECT_EQ(i + 1, length);  // the row ends with its 0 byte
  EXPECT_EQ(back, src);
  // The worst case (no two neighbours equal) fills the bound exactly.
  std::vector<uint8_t> alternating(1000);
  for (size_t k = 0; k < alternating.size(); ++k) alternating[k] = uint8_t(k % 2);
  std::vector<uint8_t> worst(SgiRunLengthBound(alternating.size()));
  EXPECT_EQ(SgiRunLengthEncode(alternating.data(), alternating.size(), 1, worst.data()),
            worst.size());
}

}  // namespace
}  // namespace quorvane::test
