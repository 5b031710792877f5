#pragma once
// When a picture was taken: EXIF DateTimeOriginal (else DateTime) with its
// OffsetTimeOriginal, read through the metadata helper from every format it knows
// (JPEG, TIFF, PNG eXIf, WebP, camera RAW by the library; HEIF, AVIF and JPEG XL by
// their own boxes), and the parsing of the EXIF texts.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace quorvane {

struct DateTaken {
  std::tm local{};           // the clock time the camera wrote
  bool hasOffset = false;    // OffsetTimeOriginal (else OffsetTime) was present
  int offsetMinutes = 0;     // east of UTC
};

// The DateTimeOriginal (else DateTime) of an EXIF block in its TIFF structure, as
// "YYYY:MM:DD HH:MM:SS"; "" when it has none. `offset`, when given, receives the
// matching offset text ("+09:00"), "" when absent.
std::string TiffDate(const std::vector<uint8_t>& tiff, std::string* offset = nullptr);
// A date "YYYY-MM-DD HH:MM:SS" or "YYYY:MM:DD HH:MM:SS" into `date`.
bool ParseDate(const std::string& text, std::tm& date);
// An offset "+HH:MM" / "-HH:MM" into minutes east of UTC.
bool ParseOffset(const std::string& text, int& minutes);

// Reads the date the picture of `path` was taken, in the metadata helper. False when
// the file has none (or the helper failed on it).
bool ReadDateTaken(const std::string& path, DateTaken& out);
// The moment as seconds since the epoch: exact with an offset, else the clock time
// taken as local time.
int64_t DateTakenSeconds(const DateTaken& date);

}  // namespace quorvane
