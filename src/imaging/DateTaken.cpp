#include "imaging/DateTaken.h"

#include <cstdio>

#include "imaging/ExifMeta.h"

namespace quorvane {

std::string TiffDate(const std::vector<uint8_t>& t, std::string* offset) {
  if (offset) offset->clear();
  if (t.size() < 8 || !((t[0] == 'I' && t[1] == 'I') || (t[0] == 'M' && t[1] == 'M'))) return {};
  const bool little = t[0] == 'I';
  auto number = [&](size_t at, int bytes) -> uint32_t {
    if (at > t.size() || t.size() - at < size_t(bytes)) return 0;
    uint32_t v = 0;
    for (int k = 0; k < bytes; ++k)
      v |= uint32_t(t[at + size_t(k)]) << (8 * (little ? k : bytes - 1 - k));
    return v;
  };
  // The entry of `tag` in the folder at `ifd`: its type, count and value's offset.
  auto entry = [&](size_t ifd, uint32_t tag, uint32_t& type, uint32_t& count) -> size_t {
    const uint32_t n = number(ifd, 2);
    for (uint32_t i = 0; i < n && i < 1000; ++i) {
      const size_t e = ifd + 2 + 12 * size_t(i);
      if (e + 12 > t.size()) break;
      if (number(e, 2) != tag) continue;
      type = number(e + 2, 2);
      count = number(e + 4, 4);
      return count <= 4 ? e + 8 : number(e + 8, 4);
    }
    return 0;
  };
  // An ASCII value of at least `length` characters, cut to `length`.
  auto text = [&](size_t ifd, uint32_t tag, uint32_t length) -> std::string {
    uint32_t type = 0, count = 0;
    const size_t at = ifd ? entry(ifd, tag, type, count) : 0;
    if (!at || type != 2 || count < length || at + length > t.size()) return {};
    return std::string(reinterpret_cast<const char*>(t.data() + at), length);
  };
  const size_t first = number(4, 4);
  uint32_t type = 0, count = 0;
  const size_t pointer = entry(first, 0x8769, type, count);
  const size_t exif = pointer ? number(pointer, 4) : 0;
  const std::string taken = text(exif, 0x9003, 19);
  if (!taken.empty()) {
    if (offset) *offset = text(exif, 0x9011, 6);
    return taken;
  }
  if (offset) *offset = text(exif, 0x9010, 6);
  return text(first, 0x0132, 19);
}

bool ParseDate(const std::string& text, std::tm& date) {
  std::tm d{};
  if (std::sscanf(text.c_str(), "%d%*[-:]%d%*[-:]%d %d:%d:%d", &d.tm_year, &d.tm_mon, &d.tm_mday,
                  &d.tm_hour, &d.tm_min, &d.tm_sec) != 6 ||
      d.tm_year <= 0 || d.tm_mon < 1 || d.tm_mon > 12 || d.tm_mday < 1 || d.tm_mday > 31 ||
      d.tm_hour < 0 || d.tm_hour > 23 || d.tm_min < 0 || d.tm_min > 59 || d.tm_sec < 0 ||
      d.tm_sec > 60)
    return false;
  d.tm_year -= 1900;
  d.tm_mon -= 1;
  d.tm_isdst = -1;
  std::tm normal = d;
  std::mktime(&normal);  // fills the day of the week
  d.tm_wday = normal.tm_wday;
  d.tm_yday = normal.tm_yday;
  date = d;
  return true;
}

bool ParseOffset(const std::string& text, int& minutes) {
  int h = 0, m = 0;
  char sign = 0;
  if (text.size() < 6 || std::sscanf(text.c_str(), "%c%2d:%2d", &sign, &h, &m) != 3 ||
      (sign != '+' && sign != '-') || h > 14 || m > 59)
    return false;
  minutes = (sign == '-' ? -1 : 1) * (h * 60 + m);
  return true;
}

bool ReadDateTaken(const std::string& path, DateTaken& out) {
  out = DateTaken();
  // One call gives the EXIF of every format as a TIFF structure, offsets included.
  EmbeddedMetadata metadata;
  std::string offset;
  if (PrepareMetadata(path, 0, 0, false, metadata) &&
      ParseDate(TiffDate(metadata.exif, &offset), out.local)) {
    out.hasOffset = ParseOffset(offset, out.offsetMinutes);
    return true;
  }
  // What the library prints, for a file whose EXIF it reads but cannot hand over.
  ExifInfo info;
  return ReadExifInfo(path, info) && ParseDate(info.dateTaken, out.local);
}

int64_t DateTakenSeconds(const DateTaken& date) {
  std::tm t = date.local;
  if (date.hasOffset) return int64_t(timegm(&t)) - int64_t(date.offsetMinutes) * 60;
  t.tm_isdst = -1;
  return int64_t(std::mktime(&t));
}

}  // namespace quorvane
