// What the process boundary costs: loading through the codec helper (CodecLoad, the
// program's path) against loading in-process (local::CodecLoad, what the helper runs).
// Files: a 2000 x 1500 PNG, and TGA files of 94 x 94 (a thumbnail-sized load, where
// the fixed cost of a call shows) and 640 x 480.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imaging/CodecClient.h"
#include "imaging/OpenIL.h"

using namespace quorvane;

namespace {

// A photo-like picture: smooth gradients with some noise, so the PNG is not trivial.
Bitmap MakePicture(int w, int h) {
  Bitmap b(w, h);
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = int(seed >> 28);
      row[x * 3] = uint8_t((x * 255 / w + noise) & 0xFF);
      row[x * 3 + 1] = uint8_t((y * 255 / h + noise) & 0xFF);
      row[x * 3 + 2] = uint8_t(((x + y) * 127 / (w + h) + noise) & 0xFF);
    }
  }
  return b;
}

struct Files {
  std::string dir, png, tga94, tga640;
  Files() {
    char name[] = "/tmp/quorvane-bench-XXXXXX";
    dir = mkdtemp(name) ? name : "/tmp";
    png = dir + "/big.png";
    tga94 = dir + "/thumb.tga";
    tga640 = dir + "/vga.tga";
    if (!local::BindCodecLibrary() || !local::CodecInit()) {
      std::fprintf(stderr, "codec library: %s\n", local::CodecBindFailure().c_str());
      std::exit(1);
    }
    CodecSaveRequest png_req, tga_req;
    png_req.type = kCodecTypePng;
    tga_req.type = kCodecTypeTga;
    if (!local::CodecSave(png, MakePicture(2000, 1500), png_req) ||
        !local::CodecSave(tga94, MakePicture(94, 94), tga_req) ||
        !local::CodecSave(tga640, MakePicture(640, 480), tga_req)) {
      std::fprintf(stderr, "cannot write the test files in %s\n", dir.c_str());
      std::exit(1);
    }
    if (!BindCodecLibrary() || !CodecInit()) {
      std::fprintf(stderr, "codec helper: %s\n", CodecBindFailure().c_str());
      std::exit(1);
    }
  }
  ~Files() {
    for (const auto& f : {png, tga94, tga640}) ::unlink(f.c_str());
    ::rmdir(dir.c_str());
  }
};

const Files& TestFiles() {
  static Files files;
  return files;
}

template <bool (*Load)(const std::string&, Bitmap&)>
void LoadFile(benchmark::State& state, const std::string& path) {
  Bitmap out;
  for (auto _ : state) {
    if (!Load(path, out)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(out.Bits());
  }
}

void BM_Png2000x1500_InProcess(benchmark::State& s) {
  LoadFile<local::CodecLoad>(s, TestFiles().png);
}
void BM_Png2000x1500_Helper(benchmark::State& s) { LoadFile<CodecLoad>(s, TestFiles().png); }
void BM_Tga94x94_InProcess(benchmark::State& s) {
  LoadFile<local::CodecLoad>(s, TestFiles().tga94);
}
void BM_Tga94x94_Helper(benchmark::State& s) { LoadFile<CodecLoad>(s, TestFiles().tga94); }
void BM_Tga640x480_InProcess(benchmark::State& s) {
  LoadFile<local::CodecLoad>(s, TestFiles().tga640);
}
void BM_Tga640x480_Helper(benchmark::State& s) { LoadFile<CodecLoad>(s, TestFiles().tga640); }

// The first call after a crash pays for a fresh helper: start, bind, initialise.
void BM_HelperRestart(benchmark::State& state) {
  Bitmap out;
  for (auto _ : state) {
    UnbindCodecLibrary();
    if (!CodecLoad(TestFiles().tga94, out)) state.SkipWithError("load failed");
  }
}

}  // namespace

BENCHMARK(BM_Png2000x1500_InProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Png2000x1500_Helper)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Tga94x94_InProcess)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Tga94x94_Helper)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Tga640x480_InProcess)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Tga640x480_Helper)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_HelperRestart)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
