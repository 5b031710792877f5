#include "thumbnails/ThumbFormat.h"

#include "platform/FileIO.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace quorvane {

namespace {

void PutI32(uint8_t* p, int32_t v) {
  const uint32_t u = uint32_t(v);
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(u >> (8 * i));
}

int32_t GetI32(const uint8_t* p) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= uint32_t(p[i]) << (8 * i);
  return int32_t(u);
}

void PutF64(uint8_t* p, double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(u >> (8 * i));
}

double GetF64(const uint8_t* p) {
  uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u |= uint64_t(p[i]) << (8 * i);
  double v;
  std::memcpy(&v, &u, 8);
  return v;
}

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}

double LocalDateTime(time_t t, int msec, bool evenSeconds) {
  struct tm tm {};
  localtime_r(&t, &tm);
  int sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  if (evenSeconds) sec &= ~1;
  return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, sec,
                        msec);
}

}  // namespace

void EncodeFileHeader(const ThumbFileHeader& header, uint8_t out[kThumbFileHeaderSize]) {
  std::memset(out, 0, kThumbFileHeaderSize);
  PutI32(out, header.Signature);
  PutI32(out + 4, header.Version);
  std::memcpy(out + 8, header.AppName.data(), std::min(header.AppName.size(), kThumbAppNameSize));
  PutI32(out + 20, header.Count);
}

void EncodeEntryHeader(const ThumbEntryHeader& h, uint8_t out[kThumbEntryHeaderSize]) {
  std::memset(out, 0, kThumbEntryHeaderSize);
  PutI32(out, h.NameLength);
  PutI32(out + 4, h.Reserved);
  PutI32(out + 8, h.DataSize);
  PutI32(out + 12, h.Width);
  PutI32(out + 16, h.Height);
  PutF64(out + 24, h.WriteTime);
  PutF64(out + 32, h.SourceDate);
  PutI32(out + 40, h.SourceSize);
  PutI32(out + 44, h.SourceWidth);
  PutI32(out + 48, h.SourceHeight);
  PutI32(out + 52, h.Reserved2);
}

ThumbEntryHeader DecodeEntryHeader(const uint8_t in[kThumbEntryHeaderSize]) {
  ThumbEntryHeader h;
  h.NameLength = GetI32(in);
  h.Reserved = GetI32(in + 4);
  h.DataSize = GetI32(in + 8);
  h.Width = GetI32(in + 12);
  h.Height = GetI32(in + 16);
  h.WriteTime = GetF64(in + 24);
  h.SourceDate = GetF64(in + 32);
  h.SourceSize = GetI32(in + 40);
  h.SourceWidth = GetI32(in + 44);
  h.SourceHeight = GetI32(in + 48);
  h.Reserved2 = GetI32(in + 52);
  return h;
}

bool ThumbMemorySource::ReadAt(int64_t offset, void* buffer, size_t n) const {
  if (offset < 0 || uint64_t(offset) > size_ || n > size_ - size_t(offset)) return false;
  if (n) std::memcpy(buffer, data_ + offset, n);
  return true;
}

int64_t ThumbFdSource::Size() const {
  struct stat st {};
  if (fstat(fd_, &st) != 0) return 0;
  return int64_t(st.st_size);
}

bool ThumbFdSource::ReadAt(int64_t offset, void* buffer, size_t n) const {
  return ReadFullyAt(fd_, offset, buffer, n);
}

ThumbHeaderStatus ReadFileHeader(const ThumbSource& source, ThumbFileHeader& header) {
  uint8_t raw[kThumbFileHeaderSize];
  if (!source.ReadAt(0, raw, 4)) return ThumbHeaderStatus::BadSignature;
  if (GetI32(raw) != kThumbSignature) return ThumbHeaderStatus::BadSignature;
  if (!source.ReadAt(4, raw + 4, kThumbFileHeaderSize - 4)) return ThumbHeaderStatus::Truncated;
  header.Signature = kThumbSignature;
  header.Version = GetI32(raw + 4);
  const char* name = reinterpret_cast<const char*>(raw + 8);
  header.AppName.assign(name, strnlen(name, kThumbAppNameSize));
  header.Count = GetI32(raw + 20);
  return ThumbHeaderStatus::Ok;
}

bool ReadEntryAt(const ThumbSource& source, int64_t offset, ThumbEntryRef& entry) {
  const int64_t size = source.Size();
  if (offset < int64_t(kThumbFileHeaderSize) || offset > size) return false;
  const int64_t left = size - offset - int64_t(kThumbEntryHeaderSize);
  if (left < 0) return false;
  uint8_t raw[kThumbEntryHeaderSize];
  if (!source.ReadAt(offset, raw, sizeof raw)) return false;
  const ThumbEntryHeader h = DecodeEntryHeader(raw);
  if (h.NameLength < 0 || h.NameLength > kThumbMaxNameLength || h.DataSize < 0) return false;
  if (int64_t(h.NameLength) + h.DataSize > left) return false;
  entry.Offset = offset;
  entry.Header = h;
  entry.Name.resize(size_t(h.NameLength));
  return source.ReadAt(offset + int64_t(kThumbEntryHeaderSize), entry.Name.data(),
                       entry.Name.size());
}

bool SamePathIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

bool ThumbScanBuffer(const uint8_t* data, size_t size, const std::string& path,
                     ThumbEntryHeader& header, std::vector<uint8_t>& jpeg) {
  const ThumbMemorySource source(data, size);
  ThumbFileHeader fileHeader;
  if (ReadFileHeader(source, fileHeader) != ThumbHeaderStatus::Ok) return false;
  ThumbEntryRef entry;
  for (int64_t offset = kThumbFileHeaderSize; offset < source.Size(); offset = entry.Next()) {
    if (!ReadEntryAt(source, offset, entry)) return false;
    if (!SamePathIgnoringCase(entry.Name, path)) continue;
    jpeg.resize(size_t(entry.Header.DataSize));
    if (!source.ReadAt(entry.DataOffset(), jpeg.data(), jpeg.size())) return false;
    header = entry.Header;
    return true;
  }
  return false;
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
  const int64_t days =
      DaysFromCivil(year, unsigned(month), unsigned(day)) - DaysFromCivil(1899, 12, 30);
  const double time = double((hour * 3600 + minute * 60 + second) * 1000 + msec) / 86400000.0;
  return double(days) + time;
}

double DateTimeNow() {
  const auto now = std::chrono::system_clock::now();
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  return LocalDateTime(time_t(ms / 1000), int(ms % 1000), false);
}

bool FileDateTime(const std::string& path, double& date) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  date = LocalDateTime(st.st_mtim.tv_sec, 0, true);
  return true;
}

}  // namespace quorvane
