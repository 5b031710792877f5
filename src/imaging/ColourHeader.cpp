#include "imaging/ColourHeader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "imaging/ImageFormats.h"
#include "platform/FileIO.h"

namespace quorvane {

namespace {

// Steps any walk below takes at most: real headers need a handful.
constexpr int kMaxSteps = 256;

uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint16_t Be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

class File {
 public:
  explicit File(const std::string& path) : fd_(UniqueFd::OpenRead(path)), size_(fd_.Size()) {}
  bool Ok() const { return fd_.Ok(); }
  int64_t Size() const { return size_; }
  bool At(int64_t offset, void* out, size_t n) const {
    return offset >= 0 && offset + int64_t(n) <= size_ && ReadFullyAt(fd_.Get(), offset, out, n);
  }

 private:
  UniqueFd fd_;
  int64_t size_;
};

// JPEG: the segments up to the first scan; an APP2 segment named ICC_PROFILE.
bool JpegHasProfile(const File& f) {
  int64_t pos = 2;
  for (int step = 0; step < kMaxSteps; ++step) {
    uint8_t m[4];
    if (!f.At(pos, m, 4) || m[0] != 0xFF) return false;
    if (m[1] == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (m[1] == 0xDA || m[1] == 0xD9) return false;  // the scan, or the end
    if (m[1] == 0x01 || (m[1] >= 0xD0 && m[1] <= 0xD8)) {  // no length
      pos += 2;
      continue;
    }
    const uint16_t length = Be16(m + 2);
    char name[12];
    if (m[1] == 0xE2 && length >= 16 && f.At(pos + 4, name, 12) &&
        std::memcmp(name, "ICC_PROFILE", 12) == 0)
      return true;
    pos += 2 + length;
  }
  return false;
}

// PNG: the chunks before the pixels; an iCCP chunk.
bool PngHasProfile(const File& f) {
  int64_t pos = 8;
  for (int step = 0; step < kMaxSteps; ++step) {
    uint8_t c[8];
    if (!f.At(pos, c, 8)) return false;
    const std::string_view type(reinterpret_cast<const char*>(c + 4), 4);
    if (type == "iCCP") return true;
    if (type == "IDAT" || type == "IEND") return false;
    pos += 12 + int64_t(Be32(c));
  }
  return false;
}

// TIFF: the first directory; the ICC profile tag (34675).
bool TiffHasProfile(const File& f) {
  uint8_t h[8];
  if (!f.At(0, h, 8)) return false;
  const bool little = h[0] == 'I';
  auto u16 = [little](const uint8_t* p) { return little ? uint16_t(p[0] | p[1] << 8) : Be16(p); };
  auto u32 = [little](const uint8_t* p) {
    return little ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                        uint32_t(p[3]) << 24
                  : Be32(p);
  };
  const int64_t ifd = u32(h + 4);
  uint8_t n[2];
  if (!f.At(ifd, n, 2)) return false;
  const int count = std::min<int>(u16(n), 4096);
  for (int i = 0; i < count; ++i) {
    uint8_t entry[2];
    if (!f.At(ifd + 2 + 12 * int64_t(i), entry, 2)) return false;
    if (u16(entry) == 34675) return true;
  }
  return false;
}

// WebP: the extended header's ICC flag.
bool WebpHasProfile(const File& f) {
  uint8_t h[21];
  return f.At(0, h, sizeof h) && std::memcmp(h + 12, "VP8X", 4) == 0 && (h[20] & 0x20);
}

// An ISO base media box: its type and where its contents lie.
struct Box {
  char type[4] = {};
  int64_t body = 0, end = 0;
};

bool ReadBox(const File& f, int64_t pos, int64_t limit, Box& box) {
  uint8_t h[16];
  if (pos + 8 > limit || !f.At(pos, h, 8)) return false;
  std::memcpy(box.type, h + 4, 4);
  uint64_t size = Be32(h);
  box.body = pos + 8;
  if (size == 1) {
    if (!f.At(pos + 8, h + 8, 8)) return false;
    size = uint64_t(Be32(h + 8)) << 32 | Be32(h + 12);
    box.body = pos + 16;
  } else if (size == 0) {
    size = uint64_t(limit - pos);
  }
  if (size < uint64_t(box.body - pos) || size > uint64_t(limit - pos)) return false;
  box.end = pos + int64_t(size);
  return true;
}

// The first box of `type` among the boxes from `pos` to `limit`; false when none.
bool FindBox(const File& f, int64_t pos, int64_t limit, const char* type, Box& found) {
  for (int step = 0; step < kMaxSteps && ReadBox(f, pos, limit, found); ++step) {
    if (std::memcmp(found.type, type, 4) == 0) return true;
    pos = found.end;
  }
  return false;
}

// HEIF/AVIF: the colour properties of the items (meta, iprp, ipco, colr).
bool HeifColourIsOther(const File& f) {
  Box meta, iprp, ipco, box;
  if (!FindBox(f, 0, f.Size(), "meta", meta) ||
      !FindBox(f, meta.body + 4, meta.end, "iprp", iprp) ||  // meta is a full box
      !FindBox(f, iprp.body, iprp.end, "ipco", ipco))
    return false;
  int64_t pos = ipco.body;
  for (int step = 0; step < kMaxSteps && ReadBox(f, pos, ipco.end, box); ++step, pos = box.end) {
    uint8_t colour[6];
    if (std::memcmp(box.type, "colr", 4) != 0 || !f.At(box.body, colour, sizeof colour)) continue;
    const std::string_view kind(reinterpret_cast<const char*>(colour), 4);
    if (kind == "prof" || kind == "rICC") return true;
    const uint16_t primaries = Be16(colour + 4);
    if (kind == "nclx" && primaries != 1 && primaries != 2) return true;
  }
  return false;
}

}  // namespace

bool HeaderDeclaresOtherThanSrgb(const std::string& path) {
  const File f(path);
  if (!f.Ok()) return false;
  char head[kSniffBytes];
  const size_t got = size_t(std::min<int64_t>(f.Size(), int64_t(sizeof head)));
  if (!f.At(0, head, got)) return false;
  switch (SniffFormat(std::string_view(head, got))) {
    case PictureFormat::Jpeg:
      return JpegHasProfile(f);
    case PictureFormat::Png:
      return PngHasProfile(f);
    case PictureFormat::Tiff:
      return TiffHasProfile(f);
    case PictureFormat::WebP:
      return WebpHasProfile(f);
    case PictureFormat::Heif:
    case PictureFormat::Avif:
      return HeifColourIsOther(f);
    case PictureFormat::JpegXl:
      return true;
    default:
      return false;
  }
}

}  // namespace quorvane
