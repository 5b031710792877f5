#pragma once
// Camera-like test files: pictures with an EXIF orientation, an embedded thumbnail,
// EXIF tags and a colour profile (written with ImageMagick and exiftool), their upright
// form as Pillow sees it, and EXIF blocks damaged on purpose.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "support/TestDir.h"

namespace quorvane::test {

// Runs a shell command and answers what it printed, without the last line end.
std::string Capture(const std::string& command);

// Whether exiftool and Pillow (/usr/bin/python3) are installed.
bool HaveExiftool();
bool HavePillow();

// 2 x 3 with six far-apart colours: red, lime / blue, yellow / white, black (rows top
// to bottom), so that every corner tells where it went.
Bitmap CornerPicture();

// Writes `picture` to dir/name (format by extension; JPEG at quality 100 without
// chroma subsampling) and gives it the EXIF Orientation `orientation` (0: none).
std::string WriteOriented(const TestDir& dir, const std::string& name, const Bitmap& picture,
                          int orientation);
// The picture of a file as Pillow reads it, turned upright by its EXIF orientation
// (`upright`) or as stored.
Bitmap PillowPicture(const TestDir& dir, const std::string& path, bool upright);

// Runs exiftool with `arguments` on `path` (changing it in place); true on success.
bool Exiftool(const std::string& arguments, const std::string& path);
// One tag as exiftool prints it with -s3 (numeric with `numeric`); "" when absent.
std::string ExiftoolTag(const std::string& path, const std::string& tag, bool numeric = true);

// An sRGB colour profile made by Pillow, written to dir/name.
std::string WriteIccProfile(const TestDir& dir, const std::string& name);

// A baseline JPEG of `picture` whose APP1 segment holds `exif` (the TIFF structure
// after "Exif\0\0"), for EXIF that no writer would produce.
std::string WriteJpegWithExif(const TestDir& dir, const std::string& name, const Bitmap& picture,
                              const std::vector<uint8_t>& exif);

// Damaged EXIF structures (little-endian TIFF): an IFD chain that loops back on itself,
// an orientation entry whose value lies past the end, an entry with a count of 2^32 - 1,
// a thumbnail offset past the end, and an IFD offset past the end.
std::vector<std::vector<uint8_t>> MalformedExifBlocks();

}  // namespace quorvane::test
