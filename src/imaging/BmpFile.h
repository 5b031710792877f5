#pragma once
// Windows bitmap files (".bmp"): the reader used for ".bmp" files and the 24-bit writer
// used for ".bmp" output.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace quorvane {

class BmpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decodes a bitmap file held in memory into 24-bit B, G, R, top row first.
// Reads 1, 4, 8, 16, 24 and 32 bits per pixel, RLE4 and RLE8, bit-field masks (16 and
// 32 bits), bottom-up and top-down rows, OS/2 core headers and every later header
// (read as its first 40 bytes plus masks). Palette indices beyond the palette are
// black; pixels an RLE stream skips take palette entry 0; an alpha channel given by bit
// fields (a fourth mask) is composited over white, unless it is 0 everywhere.
// Throws BmpError for anything it cannot decode (truncated or corrupt data, a size
// beyond Bitmap's limits); `out` is only replaced on success.
void DecodeBmp(const uint8_t* data, size_t size, Bitmap& out);
// Reads and decodes a whole file; throws BmpError.
void ReadBmpFile(const std::string& path, Bitmap& out);

// A 24-bit file: BITMAPFILEHEADER, BITMAPINFOHEADER, rows bottom-up, each padded to
// 4 bytes. Throws BmpError for an empty bitmap.
std::vector<uint8_t> EncodeBmp(const Bitmap& bmp);
// Writes EncodeBmp's bytes to exactly `path` (replacing a file there); throws BmpError
// when the file cannot be written completely.
void WriteBmpFile(const std::string& path, const Bitmap& bmp);

}  // namespace quorvane
