#include "support/DngWriter.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "imaging/JpegCodec.h"

namespace quorvane::test {

namespace {

enum : uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kSRational = 10 };

struct Entry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  std::string value;  // little-endian bytes
};

std::string Le(uint64_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
  return s;
}

Entry Shorts(uint16_t tag, std::vector<uint16_t> values) {
  std::string s;
  for (uint16_t v : values) s += Le(v, 2);
  return {tag, kShort, uint32_t(values.size()), s};
}
Entry Long(uint16_t tag, uint32_t value) { return {tag, kLong, 1, Le(value, 4)}; }
Entry Bytes(uint16_t tag, std::vector<uint8_t> values) {
  return {tag, kByte, uint32_t(values.size()), std::string(values.begin(), values.end())};
}
Entry Ascii(uint16_t tag, const std::string& text) {
  return {tag, kAscii, uint32_t(text.size() + 1), text + '\0'};
}
Entry Rationals(uint16_t tag, uint16_t type, std::vector<std::pair<int32_t, int32_t>> values) {
  std::string s;
  for (auto [n, d] : values) s += Le(uint32_t(n), 4) + Le(uint32_t(d), 4);
  return {tag, type, uint32_t(values.size()), s};
}

size_t IfdBytes(const std::vector<Entry>& entries) {
  size_t n = 2 + 12 * entries.size() + 4;
  for (const Entry& e : entries)
    if (e.value.size() > 4) n += (e.value.size() + 1) & ~size_t(1);
  return n;
}

// Serialises an IFD placed at `at`, its long values right after it.
std::string Ifd(std::vector<Entry> entries, size_t at, uint32_t next) {
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
  std::string head = Le(entries.size(), 2), tail;
  size_t extraAt = at + 2 + 12 * entries.size() + 4;
  for (const Entry& e : entries) {
    head += Le(e.tag, 2) + Le(e.type, 2) + Le(e.count, 4);
    if (e.value.size() <= 4) {
      head += e.value + std::string(4 - e.value.size(), '\0');
    } else {
      head += Le(extraAt + tail.size(), 4);
      tail += e.value;
      if (tail.size() % 2) tail.push_back('\0');
    }
  }
  return head + Le(next, 4) + tail;
}

}  // namespace

void WriteDng(const std::string& path, const Bitmap& picture, const Bitmap& preview,
              int orientation) {
  const int w = picture.Width(), h = picture.Height();
  std::string mosaic;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const RgbColor c = picture.Pixel(x, y);
      // R G / G B
      const int channel = (y % 2) * 2 + (x % 2);
      const uint8_t v = channel == 0 ? GetRValue(c) : channel == 3 ? GetBValue(c) : GetGValue(c);
      mosaic += Le(uint32_t(v) * 257, 2);
    }
  const std::vector<uint8_t> jpeg =
      preview.Empty() ? std::vector<uint8_t>() : EncodeJpeg(preview, 95);

  std::vector<Entry> first = {
      Bytes(50706, {1, 4, 0, 0}),  // DNGVersion
      Bytes(50707, {1, 1, 0, 0}),  // DNGBackwardVersion
      Ascii(271, "Quorvane"),
      Ascii(272, "Test Camera"),
      Ascii(50708, "Quorvane Test Camera"),
      Shorts(274, {uint16_t(orientation)}),
      // ColorMatrix1 (XYZ to camera), roughly sRGB's, under D65; neutral as shot.
      Rationals(50721, kSRational,
                {{32405, 10000}, {-15371, 10000}, {-4985, 10000}, {-9693, 10000}, {18760, 10000},
                 {416, 10000}, {557, 10000}, {-2040, 10000}, {10572, 10000}}),
      Shorts(50778, {21}),
      Rationals(50728, kRational, {{1, 1}, {1, 1}, {1, 1}}),
  };
  std::vector<Entry> raw = {
      Long(254, 0),
      Long(256, uint32_t(w)),
      Long(257, uint32_t(h)),
      Shorts(258, {16}),
      Shorts(259, {1}),
      Shorts(262, {32803}),  // CFA
      Shorts(277, {1}),
      Long(278, uint32_t(h)),
      Long(279, uint32_t(mosaic.size())),
      Shorts(284, {1}),
      Shorts(33421, {2, 2}),
      Bytes(33422, {0, 1, 1, 2}),
      Shorts(50717, {65535}),  // WhiteLevel
      Long(273, 0),            // StripOffsets, set below
  };
  if (!jpeg.empty()) {
    first.insert(first.end(), {Long(254, 1), Long(256, uint32_t(preview.Width())),
                               Long(257, uint32_t(preview.Height())), Shorts(258, {8, 8, 8}),
                               Shorts(259, {7}), Shorts(262, {6}), Shorts(277, {3}),
                               Long(278, uint32_t(preview.Height())),
                               Long(279, uint32_t(jpeg.size())), Long(273, 0)});
  }
  first.push_back(Long(330, 0));  // SubIFDs: the raw IFD

  const size_t firstAt = 8;
  const size_t rawAt = firstAt + IfdBytes(first);
  const size_t jpegAt = rawAt + IfdBytes(raw);
  const size_t mosaicAt = (jpegAt + jpeg.size() + 1) & ~size_t(1);
  for (Entry& e : first) {
    if (e.tag == 330) e.value = Le(rawAt, 4);
    if (e.tag == 273) e.value = Le(jpegAt, 4);
  }
  for (Entry& e : raw)
    if (e.tag == 273) e.value = Le(mosaicAt, 4);

  std::string file = std::string("II*\0", 4) + Le(firstAt, 4);
  file += Ifd(first, firstAt, 0);
  file += Ifd(raw, rawAt, 0);
  file += std::string(jpeg.begin(), jpeg.end());
  file.resize(mosaicAt, '\0');
  file += mosaic;
  std::ofstream out(path, std::ios::binary);
  out.write(file.data(), std::streamsize(file.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace quorvane::test
