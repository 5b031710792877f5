#pragma once
// Device-independent bitmaps handed over in memory (by image plug-ins, as AVI frames):
// a BITMAPINFOHEADER (40 bytes or a later, longer version), the bit-field masks of a
// 40-byte BI_BITFIELDS (or BI_ALPHABITFIELDS) header and the colour table, then the pixel rows,
// each padded to 4 bytes, bottom row first unless the height is negative.

#include <cstddef>
#include <cstdint>

#include "imaging/Bitmap.h"

namespace quorvane {

struct DibHeader {
  int32_t Size = 0;
  int32_t Width = 0;
  int32_t Height = 0;  // negative: top row first
  uint16_t Planes = 0;
  uint16_t BitCount = 0;
  uint32_t Compression = 0;
  uint32_t SizeImage = 0;
  uint32_t ClrUsed = 0;
};

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

// Reads the header fields; false when `info` is shorter than 40 bytes or its size
// field is out of range.
bool ReadDibHeader(const uint8_t* info, size_t infoSize, DibHeader& header);

// Bytes of pixel data the header calls for (rows padded to 4 bytes); -1 when the
// header is unusable (zero or oversized sides, unsupported depth).
int64_t DibPixelBytes(const DibHeader& header);

// Converts to 24-bit B, G, R. Handles 1, 4, 8 (colour table), 16, 24 and 32 bits
// per pixel, uncompressed or with bit-field masks; an alpha mask (a fourth mask, or the
// one of a longer header) composites the picture over white, as the BMP reader does. Every size is
// checked against the bytes given and against Bitmap's limits; false (and `out` unchanged) when
// anything does not fit.
bool DibToBitmap(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize,
                 Bitmap& out);

}  // namespace quorvane
