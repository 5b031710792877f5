#pragma once
// The byte layout of thumbnail cache files and bounded readers over them.
//
// File header, 24 bytes: signature int32 127, version int32 103, application tag (10
// bytes, zero-padded), 2 zero bytes, entry count int32. Then the entries back to back:
// a 56-byte entry header, the source path (no terminator) and the thumbnail as a JPEG
// stream. All integers are little-endian; dates are day counts since 1899-12-30 (local
// time, the time of day as fraction) stored as 8-byte IEEE doubles.
//
// The readers here never trust a length from the file: every entry is checked against
// the bytes that really follow it, so a damaged or truncated file reads as "no entry"
// and never makes anything allocate more than the file holds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

constexpr int32_t kThumbSignature = 127;
constexpr int32_t kThumbVersion = 103;
constexpr size_t kThumbFileHeaderSize = 24;
constexpr size_t kThumbEntryHeaderSize = 56;
constexpr size_t kThumbAppNameSize = 10;
// Longer names are taken for damage (no path comes near this).
constexpr int32_t kThumbMaxNameLength = 65536;

struct ThumbFileHeader {
  int32_t Signature = kThumbSignature;
  int32_t Version = kThumbVersion;
  std::string AppName;  // at most 10 bytes
  int32_t Count = 0;
};

// The header of one entry, also the "last entry" values of the cache object.
struct ThumbEntryHeader {
  int32_t NameLength = 0;
  int32_t Reserved = 0;
  int32_t DataSize = 0;
  int32_t Width = 0;  // thumbnail
  int32_t Height = 0;
  double WriteTime = 0;     // when the entry was written
  double SourceDate = 0;    // last-write time of the source
  int32_t SourceSize = 0;   // bytes
  int32_t SourceWidth = 0;  // picture size before fitting
  int32_t SourceHeight = 0;
  int32_t Reserved2 = 0;
};

void EncodeFileHeader(const ThumbFileHeader& header, uint8_t out[kThumbFileHeaderSize]);
void EncodeEntryHeader(const ThumbEntryHeader& header, uint8_t out[kThumbEntryHeaderSize]);
ThumbEntryHeader DecodeEntryHeader(const uint8_t in[kThumbEntryHeaderSize]);

// Random-access bytes of a cache file (an open file or a memory buffer).
class ThumbSource {
 public:
  virtual ~ThumbSource() = default;
  virtual int64_t Size() const = 0;
  // Reads exactly n bytes at offset; false when they are not all there.
  virtual bool ReadAt(int64_t offset, void* buffer, size_t n) const = 0;
};

class ThumbMemorySource : public ThumbSource {
 public:
  ThumbMemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int64_t Size() const override { return int64_t(size_); }
  bool ReadAt(int64_t offset, void* buffer, size_t n) const override;

 private:
  const uint8_t* data_;
  size_t size_;
};

class ThumbFdSource : public ThumbSource {
 public:
  explicit ThumbFdSource(int fd) : fd_(fd) {}
  int64_t Size() const override;
  bool ReadAt(int64_t offset, void* buffer, size_t n) const override;

 private:
  int fd_;
};

enum class ThumbHeaderStatus { Ok, BadSignature, Truncated };
ThumbHeaderStatus ReadFileHeader(const ThumbSource& source, ThumbFileHeader& header);

// One entry read at `offset`: its header and source path. False when the entry is
// damaged (negative or oversized lengths) or runs past the end of the file.
struct ThumbEntryRef {
  int64_t Offset = 0;
  ThumbEntryHeader Header;
  std::string Name;
  int64_t DataOffset() const { return Offset + int64_t(kThumbEntryHeaderSize) + Header.NameLength; }
  int64_t Next() const { return DataOffset() + Header.DataSize; }
  int64_t Length() const { return Next() - Offset; }
};
bool ReadEntryAt(const ThumbSource& source, int64_t offset, ThumbEntryRef& entry);

// ASCII case-insensitive equality of two paths.
bool SamePathIgnoringCase(const std::string& a, const std::string& b);

// Looks a path up in a whole cache file held in memory: the first entry whose path
// matches ignoring ASCII case. On a hit fills `header` and `jpeg`. A wrong signature,
// a damaged entry before the match or a miss answer false.
bool ThumbScanBuffer(const uint8_t* data, size_t size, const std::string& path,
                     ThumbEntryHeader& header, std::vector<uint8_t>& jpeg);

// ---- dates ----

// Days since 1899-12-30 for a local calendar date and time.
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);
// The current local time as a day count.
double DateTimeNow();
// The file's last-write time in local time, rounded down to 2 seconds (a DOS date-time),
// as a day count; false when the file cannot be found.
bool FileDateTime(const std::string& path, double& date);

}  // namespace quorvane
