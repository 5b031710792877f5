#include "thumbnails/DibConvert.h"

#include <array>
#include <climits>
#include <cstring>

namespace quorvane {

namespace {

uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// One colour channel described by a bit mask, scaled to 0..255.
struct MaskChannel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  explicit MaskChannel(uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    while (bits + shift < 32 && ((m >> (shift + bits)) & 1)) ++bits;
  }
  uint8_t Get(uint32_t px) const {
    if (!bits) return 0;
    const uint32_t v = (px & mask) >> shift;
    if (bits >= 8) return uint8_t(v >> (bits - 8));
    return uint8_t(v * 255 / ((1u << bits) - 1));
  }
};

}  // namespace

bool ReadDibHeader(const uint8_t* info, size_t infoSize, DibHeader& h) {
  if (!info || infoSize < 40) return false;
  h.Size = int32_t(U32(info));
  if (h.Size < 40 || size_t(h.Size) > infoSize) return false;
  h.Width = int32_t(U32(info + 4));
  h.Height = int32_t(U32(info + 8));
  h.Planes = U16(info + 12);
  h.BitCount = U16(info + 14);
  h.Compression = U32(info + 16);
  h.SizeImage = U32(info + 20);
  h.ClrUsed = U32(info + 32);
  return true;
}

int64_t DibPixelBytes(const DibHeader& h) {
  if (h.Width <= 0 || h.Height == 0 || h.Height == INT32_MIN) return -1;
  const int64_t height = h.Height < 0 ? -int64_t(h.Height) : h.Height;
  if (!Bitmap::SizeAllowed(h.Width, height)) return -1;
  switch (h.BitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return -1;
  }
  const int64_t stride = (int64_t(h.BitCount) * h.Width + 31) / 32 * 4;
  return stride * height;
}

bool DibToBitmap(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize,
                 Bitmap& out) {
  DibHeader h;
  if (!ReadDibHeader(info, infoSize, h)) return false;
  const int64_t need = DibPixelBytes(h);
  if (need < 0 || !bits || uint64_t(need) > bitsSize) return false;
  const bool masked = h.Compression == kBiBitfields;
  if (h.Compression != kBiRgb && !(masked && (h.BitCount == 16 || h.BitCount == 32))) return false;

  size_t tableOffset = size_t(h.Size);
  MaskChannel red, green, blue;
  if (masked) {
    // A 40-byte header is followed by the three masks; later headers hold them.
    constexpr size_t at = 40;
    if (at + 12 > infoSize) return false;
    red = MaskChannel(U32(info + at));
    green = MaskChannel(U32(info + at + 4));
    blue = MaskChannel(U32(info + at + 8));
    if (h.Size == 40) tableOffset += 12;
  } else if (h.BitCount == 16) {
    red = MaskChannel(0x7C00);
    green = MaskChannel(0x03E0);
    blue = MaskChannel(0x001F);
  } else if (h.BitCount == 32) {
    red = MaskChannel(0xFF0000);
    green = MaskChannel(0x00FF00);
    blue = MaskChannel(0x0000FF);
  }

  // Colour table: entries missing from the header are black.
  std::array<uint8_t, 256 * 3> palette{};
  if (h.BitCount <= 8) {
    size_t colours = h.ClrUsed ? h.ClrUsed : (size_t(1) << h.BitCount);
    if (colours > 256) colours = 256;
    for (size_t i = 0; i < colours && tableOffset + i * 4 + 4 <= infoSize; ++i)
      std::memcpy(&palette[i * 3], info + tableOffset + i * 4, 3);
  }

  const int width = h.Width;
  const int height = h.Height < 0 ? -h.Height : h.Height;
  const size_t stride = size_t((int64_t(h.BitCount) * width + 31) / 32 * 4);
  Bitmap result(width, height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = bits + size_t(h.Height < 0 ? y : height - 1 - y) * stride;
    uint8_t* d = result.ScanLine(y);
    for (int x = 0; x < width; ++x, d += 3) {
      switch (h.BitCount) {
        case 1:
        case 4:
        case 8: {
          const int perByte = 8 / h.BitCount;
          const int shift = (perByte - 1 - x % perByte) * h.BitCount;
          const int index = (s[x / perByte] >> shift) & ((1 << h.BitCount) - 1);
          std::memcpy(d, &palette[size_t(index) * 3], 3);
          break;
        }
        case 24:
          std::memcpy(d, s + size_t(x) * 3, 3);
          break;
        case 16:
        case 32: {
          const uint32_t px = h.BitCount == 16 ? U16(s + size_t(x) * 2) : U32(s + size_t(x) * 4);
          d[0] = blue.Get(px);
          d[1] = green.Get(px);
          d[2] = red.Get(px);
          break;
        }
      }
    }
  }
  out.Swap(result);
  return true;
}

}  // namespace quorvane
