#include "support/ExifSamples.h"

#include <cstdio>
#include <fstream>

#include "imaging/BmpFile.h"
#include "platform/FileNames.h"
#include "imaging/JpegCodec.h"

namespace quorvane::test {

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[256];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    ::pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

namespace {

void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// "II*\0" and the offset of IFD0.
std::vector<uint8_t> TiffHeader(uint32_t ifd0) {
  std::vector<uint8_t> b = {'I', 'I', 42, 0};
  Put32(b, ifd0);
  return b;
}

void Entry(std::vector<uint8_t>& b, uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
  Put16(b, tag);
  Put16(b, type);
  Put32(b, count);
  Put32(b, value);
}

constexpr uint16_t kShort = 3, kLong = 4, kAscii = 2;

}  // namespace

bool HaveExiftool() { return RunCommand("exiftool -ver >/dev/null 2>&1") == 0; }

bool HavePillow() { return RunCommand("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0; }

Bitmap CornerPicture() {
  Bitmap b(2, 3);
  b.SetPixel(0, 0, clRed);
  b.SetPixel(1, 0, clLime);
  b.SetPixel(0, 1, clBlue);
  b.SetPixel(1, 1, clYellow);
  b.SetPixel(0, 2, clWhite);
  b.SetPixel(1, 2, clBlack);
  return b;
}

std::string WriteOriented(const TestDir& dir, const std::string& name, const Bitmap& picture,
                          int orientation) {
  const std::string bmp = dir.file(name + ".source.bmp");
  const std::string out = dir.file(name);
  WriteBmpFile(bmp, picture);
  const std::string ext = LowerFileExt(name);
  const std::string options = ext == ".jpg"   ? "-quality 100 -sampling-factor 1x1"
                              : ext == ".tif" ? "-compress none"
                                              : "";
  if (RunCommand("convert " + ShellQuote(bmp) + " " + options + " " + ShellQuote(out) +
                 " 2>/dev/null") != 0)
    return {};
  if (orientation != 0 && !Exiftool("-n -Orientation=" + std::to_string(orientation), out))
    return {};
  return out;
}

Bitmap PillowPicture(const TestDir& dir, const std::string& path, bool upright) {
  const std::string out = dir.file(ExtractFileName(path) + (upright ? ".upright.bmp" : ".raw.bmp"));
  const std::string script =
      std::string("import sys\nfrom PIL import Image, ImageOps\nim = Image.open(sys.argv[1])\n") +
      (upright ? "im = ImageOps.exif_transpose(im)\n" : "") +
      "im.convert('RGB').save(sys.argv[2], 'BMP')\n";
  Bitmap picture;
  if (RunCommand("/usr/bin/python3 -c " + ShellQuote(script) + " " + ShellQuote(path) + " " +
                 ShellQuote(out) + " 2>/dev/null") == 0)
    ReadBmpFile(out, picture);
  return picture;
}

bool Exiftool(const std::string& arguments, const std::string& path) {
  return RunCommand("exiftool -q -q -overwrite_original " + arguments + " " + ShellQuote(path) +
                    " >/dev/null 2>&1") == 0;
}

std::string ExiftoolTag(const std::string& path, const std::string& tag, bool numeric) {
  return Capture("exiftool -s3 " + std::string(numeric ? "-n " : "") + "-" + tag + " " +
                 ShellQuote(path) + " 2>/dev/null");
}

std::string WriteIccProfile(const TestDir& dir, const std::string& name) {
  const std::string path = dir.file(name);
  const std::string script =
      "import sys\nfrom PIL import ImageCms\n"
      "open(sys.argv[1], 'wb').write(ImageCms.ImageCmsProfile(ImageCms.createProfile('sRGB'))"
      ".tobytes())\n";
  if (RunCommand("/usr/bin/python3 -c " + ShellQuote(script) + " " + ShellQuote(path) +
                 " 2>/dev/null") != 0)
    return {};
  return path;
}

std::string WriteJpegWithExif(const TestDir& dir, const std::string& name, const Bitmap& picture,
                              const std::vector<uint8_t>& exif) {
  const std::vector<uint8_t> jpeg = EncodeJpeg(picture, 95);
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);  // SOI
  const size_t length = 2 + 6 + exif.size();
  out.insert(out.end(), {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)});
  out.insert(out.end(), {'E', 'x', 'i', 'f', 0, 0});
  out.insert(out.end(), exif.begin(), exif.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return dir.write(name, std::string(out.begin(), out.end()));
}

std::vector<std::vector<uint8_t>> MalformedExifBlocks() {
  std::vector<std::vector<uint8_t>> blocks;
  {  // IFD0 names itself as the next IFD
    auto b = TiffHeader(8);
    Put16(b, 1);
    Entry(b, 0x0112, kShort, 1, 6);
    Put32(b, 8);
    blocks.push_back(b);
  }
  {  // the orientation's values lie far past the end
    auto b = TiffHeader(8);
    Put16(b, 1);
    Entry(b, 0x0112, kShort, 100, 0xFFFFFF00u);
    Put32(b, 0);
    blocks.push_back(b);
  }
  {  // a text of 2^32 - 1 characters
    auto b = TiffHeader(8);
    Put16(b, 2);
    Entry(b, 0x010F, kAscii, 0xFFFFFFFFu, 26);
    Entry(b, 0x0112, kShort, 0xFFFFFFFFu, 26);
    Put32(b, 0);
    blocks.push_back(b);
  }
  {  // IFD1 with a thumbnail past the end
    auto b = TiffHeader(8);
    Put16(b, 1);
    Entry(b, 0x0112, kShort, 1, 3);
    Put32(b, 26);
    Put16(b, 2);
    Entry(b, 0x0201, kLong, 1, 0x7FFFFFF0u);
    Entry(b, 0x0202, kLong, 1, 5000);
    Put32(b, 0);
    blocks.push_back(b);
  }
  blocks.push_back(TiffHeader(0xFFFFFFF0u));  // IFD0 past the end
  {                                           // the EXIF sub-IFD points back at IFD0
    auto b = TiffHeader(8);
    Put16(b, 2);
    Entry(b, 0x0112, kShort, 1, 8);
    Entry(b, 0x8769, kLong, 1, 8);
    Put32(b, 0);
    blocks.push_back(b);
  }
  return blocks;
}

}  // namespace quorvane::test
