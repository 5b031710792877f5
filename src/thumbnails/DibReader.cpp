#include "thumbnails/DibReader.h"

#include <climits>
#include <exception>
#include <vector>

#include "platform/LittleEndian.h"
#include "imaging/BmpFile.h"

namespace quorvane {

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
  const bool masked = h.Compression == kBiBitfields || h.Compression == kBiAlphaBitfields;
  if (h.Compression != kBiRgb && !(masked && (h.BitCount == 16 || h.BitCount == 32))) return false;
  // The three masks (four with alpha) follow the header.
  if (masked && infoSize < size_t(40 + (h.Compression == kBiAlphaBitfields ? 16 : 12)))
    return false;

  // The header, colour table and rows are a BMP file without its 14-byte file header:
  // put one in front and let the BMP reader do the rest.
  const size_t pixelOffset = 14 + infoSize;
  std::vector<uint8_t> file;
  file.reserve(pixelOffset + size_t(need));
  const auto put32 = [&file](size_t v) {
    for (int i = 0; i < 4; ++i) file.push_back(uint8_t(v >> (8 * i)));
  };
  file.push_back('B');
  file.push_back('M');
  put32(pixelOffset + size_t(need));
  put32(0);
  put32(pixelOffset);
  file.insert(file.end(), info, info + infoSize);
  file.insert(file.end(), bits, bits + need);
  try {
    DecodeBmp(file.data(), file.size(), out);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

}  // namespace quorvane
