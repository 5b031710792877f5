#include "processing/SgiWriter.h"

#include <algorithm>
#include <vector>

#include "processing/OutputFile.h"

namespace quorvane {

namespace {

constexpr size_t kHeaderBytes = 512;
constexpr size_t kMaxPacket = 127;
constexpr int kChannels = 3;

}  // namespace

size_t SgiRunLengthEncode(const uint8_t* src, size_t count, size_t step, uint8_t* out) {
  uint8_t* o = out;
  const auto at = [&](size_t i) { return src[i * step]; };
  size_t i = 0;
  while (i < count) {
    // Literal stretch: up to the next run of three equal bytes (a run of two costs
    // as much as two literal bytes and would split the stretch).
    size_t runStart = i;
    while (runStart < count && !(runStart + 2 < count && at(runStart) == at(runStart + 1) &&
                                 at(runStart) == at(runStart + 2)))
      ++runStart;
    while (i < runStart) {
      const size_t n = std::min(kMaxPacket, runStart - i);
      *o++ = uint8_t(0x80 | n);
      for (size_t k = 0; k < n; ++k) *o++ = at(i + k);
      i += n;
    }
    if (i >= count) break;
    // Run of equal bytes.
    const uint8_t value = at(i);
    size_t n = 1;
    while (i + n < count && n < kMaxPacket && at(i + n) == value) ++n;
    *o++ = uint8_t(n);
    *o++ = value;
    i += n;
  }
  *o++ = 0;
  return size_t(o - out);
}

void WriteSgiFile(const std::string& path, const Bitmap& bmp, bool runLength) {
  if (bmp.Empty()) throw ImageWriteError("cannot write an empty picture");
  const int width = bmp.Width();
  const int height = bmp.Height();
  if (width > 0xFFFF || height > 0xFFFF) throw ImageWriteError("picture too large for SGI");

  uint8_t header[kHeaderBytes] = {};
  PutBE16(header, 474);           // magic
  header[2] = runLength ? 1 : 0;  // storage
  header[3] = 1;                  // bytes per channel
  PutBE16(header + 4, 3);         // dimensions: x, y and channels
  PutBE16(header + 6, uint32_t(width));
  PutBE16(header + 8, uint32_t(height));
  PutBE16(header + 10, kChannels);
  PutBE32(header + 12, 0);    // minimum pixel value
  PutBE32(header + 16, 255);  // maximum pixel value
  // Name (80 bytes at 24) empty; colour map (at 104) 0: normal pixels.

  OutputFile file(path);
  file.Write(header, kHeaderBytes);
  // Channel c of bitmap row y: bytes 2 - c, 5 - c, ... of the B, G, R row.
  const auto channelStart = [&](int y, int c) { return bmp.ScanLine(y) + (2 - c); };
  if (!runLength) {
    for (int c = 0; c < kChannels; ++c) {
      for (int y = height - 1; y >= 0; --y) {
        const uint8_t* src = channelStart(y, c);
        uint8_t* out = file.Reserve(size_t(width));
        for (int x = 0; x < width; ++x) out[x] = src[size_t(x) * 3];
        file.Commit(size_t(width));
      }
    }
    file.Close();
    return;
  }

  // Offset and length of every row of every channel, indexed row + channel * height,
  // file row 0 being the picture's bottom row. The rows follow the tables, each file
  // row's three channels together; the tables are written last.
  const size_t rows = size_t(height) * kChannels;
  std::vector<uint8_t> tables(rows * 8);
  file.Skip(tables.size());
  const size_t bound = SgiRunLengthBound(size_t(width));
  for (int fileRow = 0; fileRow < height; ++fileRow) {
    const int y = height - 1 - fileRow;
    for (int c = 0; c < kChannels; ++c) {
      const int64_t offset = file.Position();
      const size_t length =
          SgiRunLengthEncode(channelStart(y, c), size_t(width), 3, file.Reserve(bound));
      file.Commit(length);
      if (offset + int64_t(length) > int64_t(UINT32_MAX))
        throw ImageWriteError("picture too large for SGI");
      const size_t index = size_t(fileRow) + size_t(c) * size_t(height);
      PutBE32(tables.data() + index * 4, uint32_t(offset));
      PutBE32(tables.data() + (rows + index) * 4, uint32_t(length));
    }
  }
  file.WriteAt(kHeaderBytes, tables.data(), tables.size());
  file.Close();
}

}  // namespace quorvane
