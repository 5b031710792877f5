#include "imaging/DateTaken.h"

#include <cstdio>

#include "imaging/ExifFields.h"
#include "imaging/ExifMeta.h"

namespace quorvane {

std::string TiffDate(const std::vector<uint8_t>& tiff, std::string* offset) {
  if (offset) offset->clear();
  const ExifBlock block(tiff);
  // A value of at least `length` characters, cut to `length`.
  auto text = [&](size_t ifd, uint16_t tag, size_t length) -> std::string {
    const std::string value = block.Text(ifd, tag);
    return value.size() < length ? std::string() : value.substr(0, length);
  };
  const std::string taken = text(block.Exif(), 0x9003, 19);
  if (!taken.empty()) {
    if (offset) *offset = text(block.Exif(), 0x9011, 6);
    return taken;
  }
  if (offset) *offset = text(block.Exif(), 0x9010, 6);
  return text(block.First(), 0x0132, 19);
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
