// The codec helper's own readers, in process, on a 2000 x 1500 noise picture: Netpbm raw
// (P6) and plain (P3), and TIFF uncompressed and LZW; the codec library's PNM loader on
// the same raw file for comparison. Peers (Pillow, ImageMagick) are timed from the
// shell: see README.md.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "imaging/OpenIL.h"
#include "imaging/PnmReader.h"
#include "imaging/TiffReader.h"

using namespace quorvane;

namespace {

constexpr int kWidth = 2000;
constexpr int kHeight = 1500;

std::vector<uint8_t> Noise() {
  std::mt19937 rng(29);
  std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
  for (uint8_t& v : rgb) v = uint8_t(rng());
  return rgb;
}

std::string WritePnm(const std::string& path, bool plain) {
  const std::vector<uint8_t> rgb = Noise();
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fprintf(f, "%s\n%d %d\n255\n", plain ? "P3" : "P6", kWidth, kHeight);
  if (plain)
    for (size_t i = 0; i < rgb.size(); ++i)
      std::fprintf(f, "%d%c", rgb[i], i % 12 == 11 ? '\n' : ' ');
  else
    std::fwrite(rgb.data(), 1, rgb.size(), f);
  std::fclose(f);
  return path;
}

std::string WriteTiff(const std::string& path, uint16_t compression) {
  const std::vector<uint8_t> rgb = Noise();
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(kWidth));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(kHeight));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
  for (int y = 0; y < kHeight; ++y)
    TIFFWriteScanline(tif, const_cast<uint8_t*>(rgb.data()) + size_t(y) * kWidth * 3, uint32_t(y));
  TIFFClose(tif);
  return path;
}

template <bool (*Read)(const std::string&, const CodecPixelTarget&, int*)>
bool WithOrientation(const std::string& path, const CodecPixelTarget& target) {
  return Read(path, target, nullptr);
}

void Run(benchmark::State& state, const std::string& path,
         bool (*read)(const std::string&, const CodecPixelTarget&)) {
  Bitmap out(kWidth, kHeight);
  auto target = [&out](int w, int h) { return w == kWidth && h == kHeight ? out.Bits() : nullptr; };
  for (auto _ : state)
    if (!read(path, target)) state.SkipWithError("read failed");
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
  std::remove(path.c_str());
}

void BM_PnmRaw(benchmark::State& s) { Run(s, WritePnm("/tmp/qv-bench.pnm", false), ReadPnmFile); }
void BM_PnmPlain(benchmark::State& s) {
  Run(s, WritePnm("/tmp/qv-bench-plain.pnm", true), ReadPnmFile);
}
void BM_TiffRaw(benchmark::State& s) {
  Run(s, WriteTiff("/tmp/qv-bench.tif", COMPRESSION_NONE), WithOrientation<ReadTiffFile>);
}
void BM_TiffLzw(benchmark::State& s) {
  Run(s, WriteTiff("/tmp/qv-bench-lzw.tif", COMPRESSION_LZW), WithOrientation<ReadTiffFile>);
}
// The codec library's own PNM loader (a ".ppm" name reaches it).
void BM_PnmRawCodecLibrary(benchmark::State& s) {
  if (!local::BindCodecLibrary() || !local::CodecInit()) {
    s.SkipWithError("codec library not available");
    return;
  }
  Run(s, WritePnm("/tmp/qv-bench.ppm", false), local::CodecLoadInto);
}
BENCHMARK(BM_PnmRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PnmPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffLzw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PnmRawCodecLibrary)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
