// GIF writing speed: a 2000 x 1500 photo-like picture (smooth gradients plus noise)
// reduced to the web palette and run-length coded to memory, single thread.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "processing/GIFImage.h"

using namespace quorvane;

namespace {

const Bitmap& PhotoLike() {
  static const Bitmap bmp = [] {
    Bitmap b(2000, 1500);
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, 6.0);
    for (int y = 0; y < b.Height(); ++y) {
      uint8_t* row = b.ScanLine(y);
      for (int x = 0; x < b.Width(); ++x) {
        const double sky = 80 + 120.0 * y / b.Height();
        const double hill = 60 + 50 * std::sin(x / 150.0) * std::cos(y / 210.0);
        const int r = int(std::lround(hill + 0.5 * sky + noise(rng)));
        const int g = int(std::lround(sky + 30 * std::sin((x + y) / 300.0) + noise(rng)));
        const int bl = int(std::lround(255 - 0.6 * sky + noise(rng)));
        row[x * 3] = uint8_t(std::clamp(bl, 0, 255));
        row[x * 3 + 1] = uint8_t(std::clamp(g, 0, 255));
        row[x * 3 + 2] = uint8_t(std::clamp(r, 0, 255));
      }
    }
    return b;
  }();
  return bmp;
}

void Run(benchmark::State& state, DitherMode mode) {
  const Bitmap& bmp = PhotoLike();
  size_t bytes = 0;
  for (auto _ : state) {
    auto gif = EncodeGIF(bmp, mode);
    bytes = gif.size();
    benchmark::DoNotOptimize(gif.data());
  }
  const double pixels = double(bmp.Width()) * bmp.Height();
  state.counters["Mpixel/s"] =
      benchmark::Counter(pixels * 1e-6 * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = double(bytes);
}

void BM_GIFWrite_FloydSteinberg(benchmark::State& state) {
  Run(state, DitherMode::dmFloydSteinberg);
}
void BM_GIFWrite_Nearest(benchmark::State& state) { Run(state, DitherMode::dmNearest); }
void BM_GIFWrite_Stucki(benchmark::State& state) { Run(state, DitherMode::dmStucki); }
void BM_GIFWrite_Burkes(benchmark::State& state) { Run(state, DitherMode::dmBurkes); }

void BM_Quantize_FloydSteinberg(benchmark::State& state) {
  const Bitmap& bmp = PhotoLike();
  for (auto _ : state) {
    auto q = QuantizeToWebPalette(bmp, DitherMode::dmFloydSteinberg);
    benchmark::DoNotOptimize(q.data());
  }
  state.counters["Mpixel/s"] =
      benchmark::Counter(double(bmp.Width()) * bmp.Height() * 1e-6 * double(state.iterations()),
                         benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_GIFWrite_FloydSteinberg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GIFWrite_Nearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GIFWrite_Stucki)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GIFWrite_Burkes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quantize_FloydSteinberg)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
