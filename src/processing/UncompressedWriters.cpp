#include "processing/UncompressedWriters.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "processing/OutputFile.h"

namespace quorvane {

namespace {

void RequirePicture(const Bitmap& bmp) {
  if (bmp.Empty()) throw ImageWriteError("cannot write an empty picture");
}

// TIFF field types.
constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint16_t kRational = 5;
// Strips of about this many bytes (readers allocate one strip at a time).
constexpr size_t kStripBytes = 64 * 1024;

struct TiffEntry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t value;  // the value itself (left-aligned) or the offset of the values
};

}  // namespace

void WriteTiffFile(const std::string& path, const Bitmap& bmp) {
  RequirePicture(bmp);
  const int width = bmp.Width();
  const int height = bmp.Height();
  const size_t rowBytes = size_t(width) * 3;
  const uint64_t dataBytes = uint64_t(rowBytes) * uint64_t(height);
  const uint32_t rowsPerStrip =
      uint32_t(std::min<uint64_t>(height, std::max<size_t>(1, kStripBytes / rowBytes)));
  const uint32_t strips = (uint32_t(height) + rowsPerStrip - 1) / rowsPerStrip;

  // Layout: header, pixels, then the directory with its arrays.
  constexpr uint32_t kHeader = 8;
  constexpr uint16_t kEntries = 13;
  const uint64_t ifdOffset = (kHeader + dataBytes + 1) & ~uint64_t(1);  // word aligned
  const uint64_t ifdBytes = 2 + uint64_t(kEntries) * 12 + 4;
  const uint64_t bitsOffset = ifdOffset + ifdBytes;
  const uint64_t resolutionOffset = bitsOffset + 6;
  const uint64_t offsetsOffset = resolutionOffset + 16;
  const uint64_t countsOffset = offsetsOffset + uint64_t(strips) * 4;
  const uint64_t fileBytes = countsOffset + uint64_t(strips) * 4;
  if (fileBytes > UINT32_MAX) throw ImageWriteError("picture too large for a TIFF file");

  OutputFile file(path);
  uint8_t header[kHeader] = {'I', 'I', 42, 0};
  PutLE32(header + 4, uint32_t(ifdOffset));
  file.Write(header, kHeader);
  for (int y = 0; y < height; ++y) {
    BgrToRgb(bmp.ScanLine(y), file.Reserve(rowBytes), size_t(width));
    file.Commit(rowBytes);
  }
  if (file.Position() != int64_t(ifdOffset)) file.Write("", 1);

  const auto stripBytes = [&](uint32_t strip) {
    const uint32_t rows = std::min(rowsPerStrip, uint32_t(height) - strip * rowsPerStrip);
    return uint32_t(rows * rowBytes);
  };
  // One strip: its offset and size sit in the entry itself.
  const uint32_t offsetsValue = strips == 1 ? kHeader : uint32_t(offsetsOffset);
  const uint32_t countsValue = strips == 1 ? stripBytes(0) : uint32_t(countsOffset);
  const TiffEntry entries[kEntries] = {
      {256, kLong, 1, uint32_t(width)},                     // image width
      {257, kLong, 1, uint32_t(height)},                    // image length
      {258, kShort, 3, uint32_t(bitsOffset)},               // bits per sample: 8, 8, 8
      {259, kShort, 1, 1},                                  // compression: none
      {262, kShort, 1, 2},                                  // photometric: RGB
      {273, kLong, strips, offsetsValue},                   // strip offsets
      {274, kShort, 1, 1},                                  // orientation: top left
      {277, kShort, 1, 3},                                  // samples per pixel
      {278, kLong, 1, rowsPerStrip},                        // rows per strip
      {279, kLong, strips, countsValue},                    // strip byte counts
      {282, kRational, 1, uint32_t(resolutionOffset)},      // x resolution
      {283, kRational, 1, uint32_t(resolutionOffset + 8)},  // y resolution
      {296, kShort, 1, 2},                                  // resolution unit: inch
  };
  std::vector<uint8_t> ifd(size_t(fileBytes - ifdOffset), 0);
  uint8_t* p = ifd.data();
  PutLE16(p, kEntries);
  p += 2;
  for (const TiffEntry& e : entries) {
    PutLE16(p, e.tag);
    PutLE16(p + 2, e.type);
    PutLE32(p + 4, e.count);
    if (e.type == kShort && e.count == 1)
      PutLE16(p + 8, e.value);
    else
      PutLE32(p + 8, e.value);
    p += 12;
  }
  PutLE32(p, 0);  // no further directory
  p += 4;
  for (int i = 0; i < 3; ++i, p += 2) PutLE16(p, 8);
  for (int i = 0; i < 2; ++i, p += 8) {
    PutLE32(p, 72);
    PutLE32(p + 4, 1);
  }
  if (strips > 1) {
    for (uint32_t s = 0; s < strips; ++s) {
      PutLE32(p + s * 4, uint32_t(kHeader + uint64_t(s) * rowsPerStrip * rowBytes));
      PutLE32(p + (strips + s) * 4, stripBytes(s));
    }
  }
  file.Write(ifd.data(), ifd.size());
  file.Close();
}

void WritePnmFile(const std::string& path, const Bitmap& bmp) {
  RequirePicture(bmp);
  const std::string header =
      "P6\n" + std::to_string(bmp.Width()) + " " + std::to_string(bmp.Height()) + "\n255\n";
  const size_t rowBytes = size_t(bmp.Width()) * 3;
  OutputFile file(path);
  file.Write(header.data(), header.size());
  for (int y = 0; y < bmp.Height(); ++y) {
    BgrToRgb(bmp.ScanLine(y), file.Reserve(rowBytes), size_t(bmp.Width()));
    file.Commit(rowBytes);
  }
  file.Close();
}

void WriteBmpStreamed(const std::string& path, const Bitmap& bmp) {
  RequirePicture(bmp);
  constexpr uint32_t kHeaders = 14 + 40;  // file header, information header
  // The bitmap's rows are the file's rows: B, G, R, padded to 4 bytes (padding zero).
  const uint64_t imageBytes = uint64_t(bmp.Stride()) * uint64_t(bmp.Height());
  if (kHeaders + imageBytes > UINT32_MAX)
    throw ImageWriteError("picture too large for a bitmap file");
  uint8_t header[kHeaders] = {'B', 'M'};
  PutLE32(header + 2, uint32_t(kHeaders + imageBytes));
  PutLE32(header + 10, kHeaders);  // offset of the pixels
  PutLE32(header + 14, 40);
  PutLE32(header + 18, uint32_t(bmp.Width()));
  PutLE32(header + 22, uint32_t(bmp.Height()));  // positive: rows bottom-up
  PutLE16(header + 26, 1);                       // planes
  PutLE16(header + 28, 24);                      // bits per pixel; compression 0 (none)
  PutLE32(header + 34, uint32_t(imageBytes));
  OutputFile file(path);
  file.Write(header, sizeof header);
  for (int y = bmp.Height() - 1; y >= 0; --y) {
    uint8_t* row = file.Reserve(bmp.Stride());
    const size_t rowBytes = size_t(bmp.Width()) * 3;
    std::memcpy(row, bmp.ScanLine(y), rowBytes);
    std::memset(row + rowBytes, 0, bmp.Stride() - rowBytes);
    file.Commit(bmp.Stride());
  }
  file.Close();
}

void WriteTgaFile(const std::string& path, const Bitmap& bmp) {
  RequirePicture(bmp);
  if (bmp.Width() > 0xFFFF || bmp.Height() > 0xFFFF)
    throw ImageWriteError("picture too large for a TGA file");
  uint8_t header[18] = {};
  header[2] = 2;  // uncompressed true colour; no colour map, origin (0, 0)
  PutLE16(header + 12, uint32_t(bmp.Width()));
  PutLE16(header + 14, uint32_t(bmp.Height()));
  header[16] = 24;  // bits per pixel
  header[17] = 0;   // no alpha bits, bottom row first
  const size_t rowBytes = size_t(bmp.Width()) * 3;
  OutputFile file(path);
  file.Write(header, sizeof header);
  // The bitmap's B, G, R order is the file's.
  for (int y = bmp.Height() - 1; y >= 0; --y) file.Write(bmp.ScanLine(y), rowBytes);
  // Version 2 footer: no extension area, no developer area.
  static const char kFooter[26] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
  file.Write(kFooter, sizeof kFooter);
  file.Close();
}

}  // namespace quorvane
