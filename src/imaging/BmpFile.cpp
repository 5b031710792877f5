#include "imaging/BmpFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <memory>

#include "platform/FileIO.h"
#include "platform/LittleEndian.h"
#include "imaging/AlphaBlend.h"

namespace quorvane {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kCoreHeaderSize = 12;

enum Compression : uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitFields = 3,
  kAlphaBitFields = 6,
};

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// One colour channel of a 16- or 32-bit pixel, as given by a bit mask; scaled to 8 bits.
class MaskChannel {
 public:
  explicit MaskChannel(uint32_t mask) : mask_(mask) {
    if (mask == 0) return;
    shift_ = std::countr_zero(mask);
    bits_ = 32 - std::countl_zero(mask >> shift_);
    max_ = (uint64_t(1) << bits_) - 1;
  }
  uint8_t Value(uint32_t pixel) const {
    if (mask_ == 0) return 0;
    const uint64_t v = (pixel & mask_) >> shift_;
    if (bits_ >= 8) return uint8_t(v >> (bits_ - 8));
    return uint8_t((v * 255 + max_ / 2) / max_);
  }

 private:
  uint32_t mask_;
  int shift_ = 0;
  int bits_ = 0;
  uint64_t max_ = 1;
};

struct BmpLayout {
  int width = 0;
  int height = 0;  // always positive
  bool topDown = false;
  int bitCount = 0;
  uint32_t compression = kRgb;
  std::array<uint32_t, 3> masks{};  // red, green, blue
  uint32_t alphaMask = 0;           // bit fields with an alpha channel; 0 without
  size_t pixelOffset = 0;
  std::array<std::array<uint8_t, 3>, 256> palette{};  // B, G, R; unused entries black
  int paletteCount = 0;
};

[[noreturn]] void Fail(const std::string& why) { throw BmpError("bitmap file: " + why); }

BmpLayout ParseHeaders(const uint8_t* d, size_t size) {
  if (size < kFileHeaderSize + 4) Fail("too short");
  if (d[0] != 'B' || d[1] != 'M') Fail("not a bitmap file");
  BmpLayout L;
  const uint32_t offBits = U32(d + 10);
  const uint32_t headerSize = U32(d + 14);
  const bool core = headerSize == kCoreHeaderSize;
  if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 64 &&
      headerSize != 108 && headerSize != 124)
    Fail("unknown header size " + std::to_string(headerSize));
  if (kFileHeaderSize + headerSize > size) Fail("truncated header");
  const uint8_t* h = d + kFileHeaderSize;

  int64_t width = 0;
  int64_t height = 0;
  uint32_t colorsUsed = 0;
  size_t paletteOffset = kFileHeaderSize + headerSize;
  size_t entrySize = 4;
  if (core) {
    width = U16(h + 4);
    height = U16(h + 6);
    L.bitCount = U16(h + 10);
    entrySize = 3;
    if (L.bitCount != 1 && L.bitCount != 4 && L.bitCount != 8 && L.bitCount != 24)
      Fail("unsupported bit count " + std::to_string(L.bitCount));
  } else {
    width = int32_t(U32(h + 4));
    height = int32_t(U32(h + 8));
    L.bitCount = U16(h + 14);
    L.compression = U32(h + 16);
    colorsUsed = U32(h + 32);
    if (L.bitCount != 1 && L.bitCount != 4 && L.bitCount != 8 && L.bitCount != 16 &&
        L.bitCount != 24 && L.bitCount != 32)
      Fail("unsupported bit count " + std::to_string(L.bitCount));
    // The 64-byte OS/2 header uses 3 and 4 for Huffman and RLE24 coding.
    const bool os2 = headerSize == 64;
    switch (L.compression) {
      case kRgb:
        break;
      case kRle8:
        if (L.bitCount != 8) Fail("RLE8 needs 8 bits per pixel");
        break;
      case kRle4:
        if (L.bitCount != 4) Fail("RLE4 needs 4 bits per pixel");
        break;
      case kBitFields:
      case kAlphaBitFields: {
        if (os2) Fail("unsupported OS/2 compression");
        if (L.bitCount != 16 && L.bitCount != 32) Fail("bit fields need 16 or 32 bits per pixel");
        size_t maskOffset = kFileHeaderSize + kInfoHeaderSize;
        if (headerSize == kInfoHeaderSize) {
          // The masks follow a plain info header (and precede the palette).
          paletteOffset += L.compression == kAlphaBitFields ? 16 : 12;
          if (paletteOffset > size) Fail("truncated masks");
        }
        for (int i = 0; i < 3; ++i) L.masks[size_t(i)] = U32(d + maskOffset + size_t(i) * 4);
        // The fourth mask: in every header from 56 bytes on, or after a plain one.
        if (headerSize >= 56 || L.compression == kAlphaBitFields)
          L.alphaMask = U32(d + maskOffset + 12);
        break;
      }
      default:
        Fail("unsupported compression " + std::to_string(L.compression));
    }
  }
  if (L.compression != kBitFields && L.compression != kAlphaBitFields) {
    if (L.bitCount == 16) L.masks = {0x7C00, 0x03E0, 0x001F};
    if (L.bitCount == 32) L.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
  }

  if (width <= 0 || height == 0 || height == INT32_MIN) Fail("bad picture size");
  L.topDown = height < 0;
  if (L.topDown) height = -height;
  if (!Bitmap::SizeAllowed(width, height)) Fail("picture size out of range");
  L.width = int(width);
  L.height = int(height);

  if (L.bitCount <= 8) {
    int64_t count = int64_t(1) << L.bitCount;
    if (colorsUsed != 0 && colorsUsed < count) count = colorsUsed;
    // A palette shorter than promised ends where the pixels begin.
    if (offBits >= paletteOffset)
      count = std::min<int64_t>(count, (offBits - paletteOffset) / entrySize);
    count = std::min<int64_t>(count, int64_t((size - std::min(size, paletteOffset)) / entrySize));
    if (count <= 0) Fail("missing palette");
    for (int64_t i = 0; i < count; ++i) {
      const uint8_t* e = d + paletteOffset + size_t(i) * entrySize;
      L.palette[size_t(i)] = {e[0], e[1], e[2]};
    }
    L.paletteCount = int(count);
    paletteOffset += size_t(count) * entrySize;
  }

  L.pixelOffset = offBits == 0 ? paletteOffset : offBits;
  if (L.pixelOffset < kFileHeaderSize + headerSize) Fail("pixel data overlaps the header");
  if (L.pixelOffset >= size) Fail("no pixel data");
  return L;
}

// Uncompressed rows, bottom-up or top-down.
void DecodeRows(const uint8_t* d, size_t size, const BmpLayout& L, Bitmap& picture) {
  const uint64_t rowSize = (uint64_t(L.width) * uint64_t(L.bitCount) + 31) / 32 * 4;
  const uint64_t lastRowBytes = (uint64_t(L.width) * uint64_t(L.bitCount) + 7) / 8;
  // The last row's padding may be missing; its pixels may not.
  if (L.pixelOffset + rowSize * uint64_t(L.height - 1) + lastRowBytes > size)
    Fail("truncated pixel data");
  const MaskChannel red(L.masks[0]), green(L.masks[1]), blue(L.masks[2]), alpha(L.alphaMask);
  // Alpha values, kept until the whole picture is known: an alpha channel that is 0
  // everywhere was never meant as one.
  std::vector<uint8_t> alphas;
  bool anyAlpha = false;
  if (L.alphaMask != 0) alphas.resize(size_t(L.width) * size_t(L.height));
  for (int r = 0; r < L.height; ++r) {
    const uint8_t* src = d + L.pixelOffset + uint64_t(r) * rowSize;
    uint8_t* dst = picture.ScanLine(L.topDown ? r : L.height - 1 - r);
    for (int x = 0; x < L.width; ++x, dst += 3) {
      switch (L.bitCount) {
        case 1:
        case 4:
        case 8: {
          const int perByte = 8 / L.bitCount;
          const int shift = 8 - L.bitCount * (x % perByte + 1);
          const int index = (src[x / perByte] >> shift) & ((1 << L.bitCount) - 1);
          std::copy_n(L.palette[size_t(index)].data(), 3, dst);
          break;
        }
        case 16:
        case 32: {
          const uint32_t px = L.bitCount == 16 ? U16(src + x * 2) : U32(src + x * 4);
          dst[0] = blue.Value(px);
          dst[1] = green.Value(px);
          dst[2] = red.Value(px);
          if (!alphas.empty()) {
            const uint8_t a = alpha.Value(px);
            alphas[size_t(r) * size_t(L.width) + size_t(x)] = a;
            anyAlpha = anyAlpha || a != 0;
          }
          break;
        }
        default:  // 24
          std::copy_n(src + x * 3, 3, dst);
      }
    }
  }
  if (!anyAlpha) return;
  // Transparent pixels are shown over white.
  for (int r = 0; r < L.height; ++r) {
    uint8_t* dst = picture.ScanLine(L.topDown ? r : L.height - 1 - r);
    const uint8_t* a = alphas.data() + size_t(r) * size_t(L.width);
    for (int x = 0; x < L.width; ++x, dst += 3)
      for (int k = 0; k < 3; ++k) dst[k] = OverWhite(dst[k], a[x]);
  }
}

// RLE4 and RLE8: every step consumes at least two bytes, so the loop ends with the
// data; pixels outside the picture are dropped; data that runs out before the picture
// is complete is an error.
void DecodeRle(const uint8_t* d, size_t size, const BmpLayout& L, Bitmap& picture) {
  const bool rle4 = L.compression == kRle4;
  for (int y = 0; y < L.height; ++y)
    for (int x = 0; x < L.width; ++x)
      std::copy_n(L.palette[0].data(), 3, picture.ScanLine(y) + x * 3);
  int64_t x = 0;
  int64_t row = 0;  // counted from the bottom
  auto put = [&](int index) {
    if (x >= 0 && x < L.width && row < L.height)
      std::copy_n(L.palette[size_t(index)].data(), 3,
                  picture.ScanLine(int(L.topDown ? row : L.height - 1 - row)) + x * 3);
    ++x;
  };
  size_t p = L.pixelOffset;
  while (row < L.height) {
    if (p + 2 > size) Fail("truncated RLE data");
    const int count = d[p];
    const int value = d[p + 1];
    p += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(rle4 ? ((i & 1) ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of picture
      return;
    } else if (value == 2) {  // move right and up
      if (p + 2 > size) Fail("truncated RLE delta");
      x += d[p];
      row += d[p + 1];
      p += 2;
    } else {  // `value` literal pixels, padded to a 16-bit boundary
      const size_t bytes = rle4 ? size_t(value + 1) / 2 : size_t(value);
      if (p + bytes > size) Fail("truncated RLE literal");
      for (int i = 0; i < value; ++i)
        put(rle4 ? ((i & 1) ? d[p + size_t(i / 2)] & 15 : d[p + size_t(i / 2)] >> 4)
                 : d[p + size_t(i)]);
      p += std::min(size - p, (bytes + 1) & ~size_t(1));
    }
  }
}

}  // namespace

void DecodeBmp(const uint8_t* data, size_t size, Bitmap& out) {
  if (!data) Fail("no data");
  const BmpLayout layout = ParseHeaders(data, size);
  Bitmap picture;
  try {
    picture.SetSize(layout.width, layout.height);
  } catch (const BitmapError& e) {
    Fail(e.what());
  }
  if (layout.compression == kRle4 || layout.compression == kRle8)
    DecodeRle(data, size, layout, picture);
  else
    DecodeRows(data, size, layout, picture);
  out.Swap(picture);
}

void ReadBmpFile(const std::string& path, Bitmap& out) {
  const std::vector<uint8_t> bytes = ReadWholeFileOrThrow<BmpError>(path);
  DecodeBmp(bytes.data(), bytes.size(), out);
}

std::vector<uint8_t> EncodeBmp(const Bitmap& bmp) {
  if (bmp.Empty()) Fail("cannot write an empty picture");
  const size_t rowBytes = size_t(bmp.Width()) * 3;
  const size_t stride = (rowBytes + 3) & ~size_t(3);
  const uint64_t imageSize = uint64_t(stride) * uint64_t(bmp.Height());
  const uint64_t fileSize = kFileHeaderSize + kInfoHeaderSize + imageSize;
  if (fileSize > UINT32_MAX) Fail("picture too large for a bitmap file");
  std::vector<uint8_t> out;
  out.reserve(size_t(fileSize));
  out.push_back('B');
  out.push_back('M');
  PutU32(out, uint32_t(fileSize));
  PutU32(out, 0);  // reserved
  PutU32(out, uint32_t(kFileHeaderSize + kInfoHeaderSize));
  PutU32(out, uint32_t(kInfoHeaderSize));
  PutU32(out, uint32_t(bmp.Width()));
  PutU32(out, uint32_t(bmp.Height()));  // positive: rows bottom-up
  PutU16(out, 1);                       // planes
  PutU16(out, 24);                      // bits per pixel
  PutU32(out, kRgb);
  PutU32(out, uint32_t(imageSize));
  PutU32(out, 0);  // pixels per metre, x
  PutU32(out, 0);  // pixels per metre, y
  PutU32(out, 0);  // colours used
  PutU32(out, 0);  // important colours
  for (int y = bmp.Height() - 1; y >= 0; --y) {
    const uint8_t* row = bmp.ScanLine(y);
    out.insert(out.end(), row, row + rowBytes);
    out.insert(out.end(), stride - rowBytes, 0);
  }
  return out;
}

void WriteBmpFile(const std::string& path, const Bitmap& bmp) {
  const std::vector<uint8_t> bytes = EncodeBmp(bmp);
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) Fail("cannot create " + path);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  if (std::fclose(file.release()) != 0 || !written) Fail("cannot write " + path);
}

}  // namespace quorvane
