// Speed of the pixel operations on a 4000 x 3000 picture, one thread.
// Counter "Mpixel/s": millions of output pixels per second.

#include <benchmark/benchmark.h>

#include <random>

#include "processing/PixelOps.h"
#include "imaging/Bitmap.h"
#include "platform/StopSource.h"

using namespace quorvane;

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

const Bitmap& Source() {
  static const Bitmap picture = [] {
    Bitmap b(kWidth, kHeight);
    std::mt19937 rng(42);
    for (int y = 0; y < kHeight; ++y) {
      uint8_t* row = b.ScanLine(y);
      // Smooth gradients with some noise, like a photograph.
      for (int x = 0; x < kWidth; ++x) {
        const int noise = int(rng() % 16);
        row[x * 3] = uint8_t((x / 16 + noise) & 0xFF);
        row[x * 3 + 1] = uint8_t((y / 12 + noise) & 0xFF);
        row[x * 3 + 2] = uint8_t(((x + y) / 28 + noise) & 0xFF);
      }
    }
    return b;
  }();
  return picture;
}

void SetRate(benchmark::State& state, double pixels) {
  state.counters["Mpixel/s"] =
      benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SmoothResizeHalf(benchmark::State& state) {
  const Bitmap& src = Source();
  Bitmap dst(kWidth / 2, kHeight / 2);
  for (auto _ : state) {
    SmoothResize(src, dst, nullptr);
    benchmark::DoNotOptimize(dst.Bits());
  }
  SetRate(state, double(dst.Width()) * dst.Height());
}
BENCHMARK(BM_SmoothResizeHalf)->Unit(benchmark::kMillisecond);

void BM_SmoothRotate30(benchmark::State& state) {
  const Bitmap& src = Source();
  Bitmap dst(kWidth, kHeight);
  StopFlag flag;
  const StopSource* stop = state.range(0) ? &flag : nullptr;
  for (auto _ : state) {
    SmoothRotate(src, dst, kWidth / 2, kHeight / 2, 30, stop);
    benchmark::DoNotOptimize(dst.Bits());
  }
  SetRate(state, double(kWidth) * kHeight);
}
// Argument 1: with a stop source, looked at after every pixel as in a batch.
BENCHMARK(BM_SmoothRotate30)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ColourChain(benchmark::State& state) {
  Bitmap b = Source();
  for (auto _ : state) {
    ContrastBitmap(b, 200);
    BrightnessBitmap(b, 30);
    SaturationBitmap(b, 400);
    benchmark::DoNotOptimize(b.Bits());
  }
  SetRate(state, double(kWidth) * kHeight);
}
BENCHMARK(BM_ColourChain)->Unit(benchmark::kMillisecond);

void BM_Saturation(benchmark::State& state) {
  Bitmap b = Source();
  for (auto _ : state) {
    SaturationBitmap(b, 400);
    benchmark::DoNotOptimize(b.Bits());
  }
  SetRate(state, double(kWidth) * kHeight);
}
BENCHMARK(BM_Saturation)->Unit(benchmark::kMillisecond);

void BM_Gamma(benchmark::State& state) {
  Bitmap b = Source();
  StopFlag flag;
  for (auto _ : state) {
    ApplyGammaTable(b, b, &flag, 1.5L);
    benchmark::DoNotOptimize(b.Bits());
  }
  SetRate(state, double(kWidth) * kHeight);
}
BENCHMARK(BM_Gamma)->Unit(benchmark::kMillisecond);

void BM_TurnRight(benchmark::State& state) {
  const Bitmap& src = Source();
  Bitmap dst;
  for (auto _ : state) {
    TurnBitmapRight(src, dst, nullptr);
    benchmark::DoNotOptimize(dst.Bits());
  }
  SetRate(state, double(kWidth) * kHeight);
}
BENCHMARK(BM_TurnRight)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
