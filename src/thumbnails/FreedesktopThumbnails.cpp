#include "thumbnails/FreedesktopThumbnails.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "imaging/ColourHeader.h"
#include "platform/PathAccess.h"
#include "platform/StagedFile.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0"
#endif

namespace quorvane {

namespace {

constexpr const char* kUriKey = "Thumb::URI";
constexpr const char* kMTimeKey = "Thumb::MTime";
constexpr const char* kWidthKey = "Thumb::Image::Width";
constexpr const char* kHeightKey = "Thumb::Image::Height";
constexpr const char* kSoftwareKey = "Software";
constexpr const char* kOurSoftware = "Quorvane " QUORVANE_VERSION;
// Thumbnails are small; anything larger is not one of ours and is not read.
constexpr png_uint_32 kMaxSide = 4096;

using TextChunks = std::map<std::string, std::string>;

// ---- MD5 (RFC 1321) ----

uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

struct Md5Table {
  uint32_t k[64];
  Md5Table() {
    for (int i = 0; i < 64; ++i) k[i] = uint32_t(std::fabs(std::sin(double(i + 1))) * 4294967296.0);
  }
};

void Md5Block(const uint8_t* block, uint32_t h[4]) {
  static const Md5Table table;
  static constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                     5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                     4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                     6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
  uint32_t m[16];
  for (int i = 0; i < 16; ++i)
    m[i] = uint32_t(block[4 * i]) | uint32_t(block[4 * i + 1]) << 8 |
           uint32_t(block[4 * i + 2]) << 16 | uint32_t(block[4 * i + 3]) << 24;
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    f += a + table.k[i] + m[g];
    a = d;
    d = c;
    c = b;
    b += RotateLeft(f, kShift[i]);
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
}

// ---- PNG ----

// The libpng part: R, G, B, A rows and the text chunks. Apart from ReadPng so that the
// file it reads is opened and closed outside its setjmp.
bool ReadPngPixels(FILE* f, std::vector<uint8_t>& pixels, png_uint_32& width, png_uint_32& height,
                   TextChunks& texts) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<png_bytep> rows;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, f);
  png_read_info(png, info);
  width = png_get_image_width(png, info);
  height = png_get_image_height(png, info);
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) png_error(png, "size");
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  pixels.resize(size_t(width) * height * 4);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels.data() + size_t(y) * width * 4;
  png_read_image(png, rows.data());
  png_read_end(png, info);
  png_textp text = nullptr;
  int count = 0;
  png_get_text(png, info, &text, &count);
  for (int i = 0; i < count; ++i)
    texts[text[i].key] = std::string(text[i].text ? text[i].text : "", text[i].text_length);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool ReadPng(const std::string& file, RgbColor background, Bitmap& out, TextChunks& texts) {
  FILE* f = std::fopen(file.c_str(), "rbe");
  if (!f) return false;
  std::vector<uint8_t> pixels;
  png_uint_32 width = 0, height = 0;
  const bool read = ReadPngPixels(f, pixels, width, height, texts);
  std::fclose(f);
  if (!read) return false;

  // R, G, B, A over the background (B, G, R in a RgbColor's bytes 2, 1, 0).
  const int back[3] = {int(background & 0xFF), int((background >> 8) & 0xFF),
                       int((background >> 16) & 0xFF)};
  out.SetSize(int(width), int(height));
  for (png_uint_32 y = 0; y < height; ++y) {
    const uint8_t* src = pixels.data() + size_t(y) * width * 4;
    uint8_t* dst = out.ScanLine(int(y));
    for (png_uint_32 x = 0; x < width; ++x, src += 4, dst += 3) {
      const int a = src[3];
      for (int c = 0; c < 3; ++c)
        dst[2 - c] = uint8_t((src[c] * a + back[c] * (255 - a) + 127) / 255);
    }
  }
  return true;
}

bool WritePng(FILE* f, const Bitmap& picture, const TextChunks& texts) {
  std::vector<png_text> chunks;
  for (const auto& [key, value] : texts) {
    png_text t{};
    t.compression = PNG_TEXT_COMPRESSION_NONE;
    t.key = const_cast<char*>(key.c_str());
    t.text = const_cast<char*>(value.c_str());
    t.text_length = value.size();
    chunks.push_back(t);
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f);
  // Small pictures written once per file: the fastest deflate and one cheap filter
  // (a third less time than level 3 with every filter tried).
  png_set_compression_level(png, 1);
  png_set_filter(png, 0, PNG_FILTER_SUB);
  png_set_IHDR(png, info, png_uint_32(picture.Width()), png_uint_32(picture.Height()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_text(png, info, chunks.data(), int(chunks.size()));
  png_write_info(png, info);
  png_set_bgr(png);
  for (int y = 0; y < picture.Height(); ++y)
    png_write_row(png, const_cast<png_bytep>(picture.ScanLine(y)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

int ParseInt(const TextChunks& texts, const char* key) {
  const auto found = texts.find(key);
  if (found == texts.end()) return 0;
  const long value = std::strtol(found->second.c_str(), nullptr, 10);
  return value > 0 && value <= Bitmap::kMaxSide ? int(value) : 0;
}

}  // namespace

FreedesktopThumbnails::FreedesktopThumbnails(std::string root)
    : root_(root.empty() ? DefaultRoot() : std::move(root)) {}

std::string FreedesktopThumbnails::DefaultRoot() {
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
    return std::string(cache) + "/thumbnails";
  if (const char* home = std::getenv("HOME"); home && *home == '/')
    return std::string(home) + "/.cache/thumbnails";
  return {};
}

std::string FreedesktopThumbnails::CanonicalUri(std::string_view absolutePath) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr std::string_view kKept = "!$&'()*+,-./:=@_~";
  std::string uri = "file://";
  for (const char ch : absolutePath) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
        kKept.find(ch) != std::string_view::npos) {
      uri += ch;
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

std::string FreedesktopThumbnails::Md5Hex(std::string_view bytes) {
  uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  size_t i = 0;
  for (; i + 64 <= bytes.size(); i += 64) Md5Block(reinterpret_cast<const uint8_t*>(bytes.data() + i), h);
  // The tail, 0x80, zeros, and the length in bits: one or two blocks.
  uint8_t tail[128] = {};
  const size_t rest = bytes.size() - i;
  std::memcpy(tail, bytes.data() + i, rest);
  tail[rest] = 0x80;
  const size_t blocks = rest + 9 <= 64 ? 1 : 2;
  const uint64_t bits = uint64_t(bytes.size()) * 8;
  for (int b = 0; b < 8; ++b) tail[blocks * 64 - 8 + size_t(b)] = uint8_t(bits >> (8 * b));
  for (size_t b = 0; b < blocks; ++b) Md5Block(tail + 64 * b, h);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const uint32_t word : h)
    for (int b = 0; b < 4; ++b) {
      const uint8_t byte = uint8_t(word >> (8 * b));
      hex += kHex[byte >> 4];
      hex += kHex[byte & 15];
    }
  return hex;
}

const char* FreedesktopThumbnails::SizeFolder(int width, int height) {
  const int side = width > height ? width : height;
  if (side <= 128) return "normal";
  if (side <= 256) return "large";
  return "";
}

int FreedesktopThumbnails::FolderSide(const char* folder) {
  if (std::strcmp(folder, "normal") == 0) return 128;
  if (std::strcmp(folder, "large") == 0) return 256;
  return 0;
}

std::string FreedesktopThumbnails::EntryPath(const std::string& path, const char* folder) const {
  return root_ + "/" + folder + "/" + Md5Hex(CanonicalUri(path)) + ".png";
}

std::string FreedesktopThumbnails::FailPath(const std::string& path) const {
  return root_ + "/fail/quorvane-" QUORVANE_VERSION "/" + Md5Hex(CanonicalUri(path)) + ".png";
}

FreedesktopThumbnails::Found FreedesktopThumbnails::Read(const std::string& path, int64_t mtime,
                                                         int width, int height,
                                                         RgbColor background, Entry& entry) const {
  const char* folder = SizeFolder(width, height);
  if (root_.empty() || path.empty() || path[0] != '/' || !*folder) return Found::kNone;
  const std::string uri = CanonicalUri(path);
  const std::string time = std::to_string(mtime);
  auto current = [&](const TextChunks& texts) {
    const auto u = texts.find(kUriKey), t = texts.find(kMTimeKey);
    return u != texts.end() && u->second == uri && t != texts.end() && t->second == time;
  };
  // Another program's entry may show colours it never converted to sRGB: it serves only
  // a file whose header tells of none to convert (asked once, when such an entry is met).
  int otherColours = -1;
  auto serves = [&](const TextChunks& texts) {
    const auto software = texts.find(kSoftwareKey);
    if (software != texts.end() && software->second.starts_with("Quorvane ")) return true;
    if (otherColours < 0) otherColours = HeaderDeclaresOtherThanSrgb(path) ? 1 : 0;
    return otherColours == 0;
  };
  const std::string name = Md5Hex(uri) + ".png";
  // A large entry serves a normal box as well (it is made smaller).
  for (const char* size : {folder, std::strcmp(folder, "normal") == 0 ? "large" : ""}) {
    if (!*size) continue;
    TextChunks texts;
    if (!ReadPng(root_ + "/" + size + "/" + name, background, entry.picture, texts) ||
        !current(texts) || !serves(texts))
      continue;
    entry.sourceWidth = ParseInt(texts, kWidthKey);
    entry.sourceHeight = ParseInt(texts, kHeightKey);
    return Found::kPicture;
  }
  TextChunks texts;
  Bitmap ignored;
  if (ReadPng(FailPath(path), background, ignored, texts) && current(texts)) return Found::kFailed;
  entry.picture = Bitmap();
  return Found::kNone;
}

bool FreedesktopThumbnails::Write(const std::string& path, int64_t mtime, const char* folder,
                                  const Bitmap& picture, int sourceWidth,
                                  int sourceHeight) const {
  if (!FolderSide(folder) || picture.Empty()) return false;
  return WriteEntry(EntryPath(path, folder), path, mtime, picture, sourceWidth, sourceHeight);
}

bool FreedesktopThumbnails::WriteFailure(const std::string& path, int64_t mtime) const {
  Bitmap dot(1, 1);
  dot.Fill(clWhite);
  return WriteEntry(FailPath(path), path, mtime, dot, 0, 0);
}

bool FreedesktopThumbnails::WriteEntry(const std::string& target, const std::string& path,
                                       int64_t mtime, const Bitmap& picture, int sourceWidth,
                                       int sourceHeight) const {
  if (root_.empty() || path.empty() || path[0] != '/') return false;
  const std::string folder = target.substr(0, target.find_last_of('/'));
  if (!MakeFolders(folder, 0700)) return false;
  TextChunks texts = {{kUriKey, CanonicalUri(path)},
                      {kMTimeKey, std::to_string(mtime)},
                      {kSoftwareKey, kOurSoftware}};
  if (sourceWidth > 0 && sourceHeight > 0) {
    texts[kWidthKey] = std::to_string(sourceWidth);
    texts[kHeightKey] = std::to_string(sourceHeight);
  }
  // An entry is made again whenever it is missing: no sync to disk.
  StagedFile temp(target, "", 0600, Durability::Cache);
  if (!temp.Ok()) return false;
  FILE* f = ::fdopen(::dup(temp.Fd()), "wb");
  if (!f) return false;
  bool ok = WritePng(f, picture, texts);
  ok = std::fflush(f) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  ok = ok && temp.Replace() == 0;
  return ok;
}

}  // namespace quorvane
