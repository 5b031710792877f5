#include "processing/PngWriter.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "processing/OutputFile.h"

namespace quorvane {

namespace {

// libdeflate's level 5: on photographs about as small as zlib's default level with
// libpng's default filtering, several times faster (bench/convert_peers.sh).
constexpr int kDeflateLevel = 5;
// IDAT chunks of at most this many bytes.
constexpr size_t kChunkData = size_t(1) << 20;

enum Filter : uint8_t { kNone, kSub, kUp, kAverage, kPaeth, kFilterCount };

// The cost of a filtered row: its bytes read as signed values, summed as magnitudes.
inline uint32_t Magnitude(uint8_t v) { return v < 128 ? v : 256u - v; }

inline uint8_t PaethPredictor(int a, int b, int c) {
  const int pa = std::abs(b - c);
  const int pb = std::abs(a - c);
  const int pc = std::abs(a + b - 2 * c);
  return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Filters one row of `n` bytes (3 a pixel) against the row above; writes the filter
// byte and the filtered row to `out`. `scratch` holds four rows of n bytes.
void FilterRow(const uint8_t* cur, const uint8_t* prev, size_t n, uint8_t* scratch, uint8_t* out) {
  uint8_t* sub = scratch;
  uint8_t* up = scratch + n;
  uint8_t* avg = scratch + 2 * n;
  uint8_t* paeth = scratch + 3 * n;
  const size_t lead = n < 3 ? n : 3;  // the first pixel has no left neighbour
  for (size_t i = 0; i < lead; ++i) {
    sub[i] = cur[i];
    up[i] = uint8_t(cur[i] - prev[i]);
    avg[i] = uint8_t(cur[i] - (prev[i] >> 1));
    paeth[i] = uint8_t(cur[i] - prev[i]);
  }
  for (size_t i = 3; i < n; ++i) {
    sub[i] = uint8_t(cur[i] - cur[i - 3]);
    up[i] = uint8_t(cur[i] - prev[i]);
    avg[i] = uint8_t(cur[i] - ((cur[i - 3] + prev[i]) >> 1));
  }
  for (size_t i = 3; i < n; ++i)
    paeth[i] = uint8_t(cur[i] - PaethPredictor(cur[i - 3], prev[i], prev[i - 3]));
  uint32_t cost[kFilterCount] = {};
  for (size_t i = 0; i < n; ++i) {
    cost[kNone] += Magnitude(cur[i]);
    cost[kSub] += Magnitude(sub[i]);
    cost[kUp] += Magnitude(up[i]);
    cost[kAverage] += Magnitude(avg[i]);
    cost[kPaeth] += Magnitude(paeth[i]);
  }
  int best = kNone;
  for (int f = kSub; f < kFilterCount; ++f)
    if (cost[f] < cost[best]) best = f;
  out[0] = uint8_t(best);
  std::memcpy(out + 1, best == kNone ? cur : scratch + size_t(best - 1) * n, n);
}

void WriteChunk(OutputFile& file, const char* type, const uint8_t* data, size_t n) {
  uint8_t head[8];
  PutBE32(head, uint32_t(n));
  std::memcpy(head + 4, type, 4);
  uint32_t crc = libdeflate_crc32(0, head + 4, 4);
  file.Write(head, 8);
  if (n > 0) {
    crc = libdeflate_crc32(crc, data, n);
    file.Write(data, n);
  }
  uint8_t tail[4];
  PutBE32(tail, crc);
  file.Write(tail, 4);
}

struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

}  // namespace

void WritePngFile(const std::string& path, const Bitmap& bmp) {
  WritePngWithMetadata(path, bmp, nullptr);
}

void WritePngWithMetadata(const std::string& path, const Bitmap& bmp,
                          const EmbeddedMetadata* metadata) {
  if (bmp.Empty()) throw ImageWriteError("cannot write an empty picture");
  const int width = bmp.Width();
  const int height = bmp.Height();
  const size_t rowBytes = size_t(width) * 3;

  // Filtered rows, each after its filter byte.
  std::vector<uint8_t> filtered((rowBytes + 1) * size_t(height));
  std::vector<uint8_t> rows(rowBytes * 2, 0);  // this row and the one above, as R, G, B
  std::vector<uint8_t> scratch(rowBytes * 4);
  uint8_t* cur = rows.data();
  uint8_t* prev = rows.data() + rowBytes;  // zeros above the first row
  for (int y = 0; y < height; ++y) {
    BgrToRgb(bmp.ScanLine(y), cur, size_t(width));
    FilterRow(cur, prev, rowBytes, scratch.data(), filtered.data() + size_t(y) * (rowBytes + 1));
    std::swap(cur, prev);
  }

  std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
      libdeflate_alloc_compressor(kDeflateLevel));
  if (!compressor) throw std::bad_alloc();
  std::vector<uint8_t> zdata(libdeflate_zlib_compress_bound(compressor.get(), filtered.size()));
  const size_t zbytes = libdeflate_zlib_compress(compressor.get(), filtered.data(), filtered.size(),
                                                 zdata.data(), zdata.size());
  if (zbytes == 0) throw ImageWriteError("cannot compress the picture");
  filtered = {};

  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  uint8_t ihdr[13] = {};
  PutBE32(ihdr, uint32_t(width));
  PutBE32(ihdr + 4, uint32_t(height));
  ihdr[8] = 8;  // bits per channel
  ihdr[9] = 2;  // colour type: RGB
  // compression 0 (deflate), filter method 0 (adaptive), interlace 0 (none)

  // iCCP: a profile name, its terminating zero, compression method 0, the zlib stream.
  std::vector<uint8_t> iccp;
  if (metadata && !metadata->icc.empty()) {
    static const char kName[] = "ICC profile";
    iccp.assign(kName, kName + sizeof kName);
    iccp.push_back(0);
    const size_t head = iccp.size();
    iccp.resize(head + libdeflate_zlib_compress_bound(compressor.get(), metadata->icc.size()));
    const size_t n = libdeflate_zlib_compress(compressor.get(), metadata->icc.data(),
                                              metadata->icc.size(), iccp.data() + head,
                                              iccp.size() - head);
    if (n == 0) throw ImageWriteError("cannot compress the colour profile");
    iccp.resize(head + n);
  }

  OutputFile file(path);
  file.Write(kSignature, sizeof kSignature);
  WriteChunk(file, "IHDR", ihdr, sizeof ihdr);
  // Both before the picture data, as readers expect (eXIf holds the TIFF structure).
  if (!iccp.empty()) WriteChunk(file, "iCCP", iccp.data(), iccp.size());
  if (metadata && !metadata->exif.empty())
    WriteChunk(file, "eXIf", metadata->exif.data(), metadata->exif.size());
  for (size_t at = 0; at < zbytes; at += kChunkData)
    WriteChunk(file, "IDAT", zdata.data() + at, std::min(kChunkData, zbytes - at));
  WriteChunk(file, "IEND", nullptr, 0);
  file.Close();
}

}  // namespace quorvane
