#include "imaging/ExifFields.h"

#include <algorithm>

namespace quorvane {

namespace {

// The bytes of one value of a TIFF type; 0 for a type not known.
uint32_t TypeSize(uint32_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
  }
}

}  // namespace

ExifBlock::ExifBlock(const std::vector<uint8_t>& tiff) : t_(tiff) {
  if (t_.size() < 8 || !((t_[0] == 'I' && t_[1] == 'I') || (t_[0] == 'M' && t_[1] == 'M')))
    return;
  little_ = t_[0] == 'I';
  first_ = Number(4, 4);
  if (first_ < 8 || first_ >= t_.size()) {
    first_ = 0;
    return;
  }
  uint32_t pointer = 0;
  if (Integer(first_, 0x8769, pointer) && pointer >= 8 && pointer < t_.size()) exif_ = pointer;
  if (Integer(first_, 0x8825, pointer) && pointer >= 8 && pointer < t_.size()) gps_ = pointer;
}

uint32_t ExifBlock::Number(size_t at, int bytes) const {
  if (at > t_.size() || t_.size() - at < size_t(bytes)) return 0;
  uint32_t v = 0;
  for (int k = 0; k < bytes; ++k)
    v |= uint32_t(t_[at + size_t(k)]) << (8 * (little_ ? k : bytes - 1 - k));
  return v;
}

size_t ExifBlock::Entry(size_t ifd, uint16_t tag, uint32_t& type, uint32_t& count) const {
  if (!ifd) return 0;
  const uint32_t n = Number(ifd, 2);
  for (uint32_t i = 0; i < n && i < 1000; ++i) {
    const size_t e = ifd + 2 + 12 * size_t(i);
    if (e + 12 > t_.size()) break;
    if (Number(e, 2) != tag) continue;
    type = Number(e + 2, 2);
    count = Number(e + 4, 4);
    const uint64_t bytes = uint64_t(count) * TypeSize(type);
    if (bytes == 0) return 0;
    const size_t at = bytes <= 4 ? e + 8 : Number(e + 8, 4);
    return at + bytes <= t_.size() ? at : 0;
  }
  return 0;
}

std::string ExifBlock::Text(size_t ifd, uint16_t tag) const {
  uint32_t type = 0, count = 0;
  const size_t at = Entry(ifd, tag, type, count);
  if (!at || type != 2) return {};
  std::string text(reinterpret_cast<const char*>(t_.data() + at), count);
  text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool ExifBlock::Integer(size_t ifd, uint16_t tag, uint32_t& out, uint32_t index) const {
  uint32_t type = 0, count = 0;
  const size_t at = Entry(ifd, tag, type, count);
  if (!at || index >= count || (type != 1 && type != 3 && type != 4)) return false;
  const int size = int(TypeSize(type));
  out = Number(at + size_t(index) * size_t(size), size);
  return true;
}

bool ExifBlock::Rational(size_t ifd, uint16_t tag, double& out, uint32_t index) const {
  uint32_t type = 0, count = 0;
  const size_t at = Entry(ifd, tag, type, count);
  if (!at || index >= count || (type != 5 && type != 10)) return false;
  const uint32_t n = Number(at + 8 * size_t(index), 4), d = Number(at + 8 * size_t(index) + 4, 4);
  if (d == 0) return false;
  out = type == 10 ? double(int32_t(n)) / double(int32_t(d)) : double(n) / double(d);
  return true;
}

std::string IccDescription(const std::vector<uint8_t>& icc) {
  auto be = [&](size_t at) -> uint32_t {
    if (at + 4 > icc.size()) return 0;
    return uint32_t(icc[at]) << 24 | uint32_t(icc[at + 1]) << 16 | uint32_t(icc[at + 2]) << 8 |
           icc[at + 3];
  };
  const uint32_t tags = be(128);
  for (uint32_t i = 0; i < tags && i < 200; ++i) {
    const size_t e = 132 + 12 * size_t(i);
    if (be(e) != 0x64657363) continue;  // 'desc'
    const size_t at = be(e + 4), size = be(e + 8);
    if (at >= icc.size() || size > icc.size() - at || size < 12) return {};
    const uint32_t type = be(at);
    std::string out;
    if (type == 0x64657363) {  // 'desc': ASCII
      const size_t n = std::min<size_t>(be(at + 8), size - 12);
      out.assign(reinterpret_cast<const char*>(icc.data() + at + 12), n);
    } else if (type == 0x6D6C7563 && size >= 28) {  // 'mluc': the first record, UTF-16BE
      const size_t length = be(at + 20), offset = be(at + 24);
      if (offset > size || length > size - offset) return {};
      for (size_t k = 0; k + 1 < length; k += 2) {
        const uint32_t c = uint32_t(icc[at + offset + k]) << 8 | icc[at + offset + k + 1];
        if (c < 0x80) out.push_back(char(c));
        else if (c < 0x800) out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
        else out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
      }
    }
    out.resize(out.find('\0') == std::string::npos ? out.size() : out.find('\0'));
    return out;
  }
  return {};
}

}  // namespace quorvane
