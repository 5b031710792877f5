// Thumbnails of large JPEG photographs into 94 x 94 boxes, one at a time on one thread.
// The photographs come from bench/make_bench_photos.sh (folder in QUORVANE_BENCH_PHOTOS,
// default /tmp/quorvane-bench-photos). bench/thumbnail_peers.sh runs this next to djpeg,
// vipsthumbnail and ImageMagick.

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/ExifOptions.h"
#include "imaging/JpegCodec.h"
#include "thumbnails/FreedesktopThumbnails.h"
#include "thumbnails/ThumbnailReader.h"

namespace {

using namespace quorvane;

// The ".jpg" files of a folder whose name begins with `prefix`, sorted.
std::vector<std::string> JpegFiles(const char* envName, const char* fallback,
                                   const std::string& prefix = "") {
  const char* env = std::getenv(envName);
  const std::filesystem::path dir = env && *env ? env : fallback;
  std::vector<std::string> list;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (e.path().extension() == ".jpg" && e.path().filename().string().rfind(prefix, 0) == 0)
      list.push_back(e.path().string());
  std::sort(list.begin(), list.end());
  return list;
}

const std::vector<std::string>& Photos() {
  static const std::vector<std::string> photos =
      JpegFiles("QUORVANE_BENCH_PHOTOS", "/tmp/quorvane-bench-photos");
  return photos;
}

// The loader as the thumbnail worker runs it: classification, decode at the scale the
// box allows, shrink into the box.
void BM_LoadThumbnail(benchmark::State& state) {
  const auto& photos = Photos();
  if (photos.empty()) {
    state.SkipWithError("no photographs: run bench/make_bench_photos.sh");
    return;
  }
  ThumbnailReader loader;
  size_t next = 0;
  for (auto _ : state) {
    const int result = loader.LoadThumbnail(photos[next], 94, 94, 0);
    if (result != 0 || loader.Bitmap().Width() != 94) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(loader.Bitmap().Bits());
    next = (next + 1) % photos.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoadThumbnail)->Unit(benchmark::kMillisecond)->Iterations(200);

// Camera photographs. Arguments: with an embedded thumbnail (1) or without (0); the
// switches: 0 all off (the loader before metadata), 1 orientation only, 2 orientation
// and embedded thumbnails (the defaults).
void BM_CameraThumbnail(benchmark::State& state) {
  static const std::vector<std::string> camera =
      JpegFiles("QUORVANE_BENCH_CAMERA", "/tmp/quorvane-bench-camera", "camera_");
  static const std::vector<std::string> plain =
      JpegFiles("QUORVANE_BENCH_CAMERA", "/tmp/quorvane-bench-camera", "plain_");
  const auto& photos = state.range(0) ? camera : plain;
  if (photos.empty()) {
    state.SkipWithError("no photographs: run bench/make_camera_photos.sh");
    return;
  }
  const int64_t switches = state.range(1);
  SetExifOptions({switches >= 1, switches >= 2, true});
  ThumbnailReader loader;
  loader.LoadThumbnail(photos[0], 94, 94, 0);  // the metadata helper is started
  size_t next = 0;
  for (auto _ : state) {
    const int result = loader.LoadThumbnail(photos[next], 94, 94, 0);
    if (result != 0 || loader.Bitmap().Width() != 94) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(loader.Bitmap().Bits());
    next = (next + 1) % photos.size();
  }
  SetExifOptions({});
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::string(state.range(0) ? "embedded thumbnail" : "no thumbnail") + ", " +
                 (switches == 0   ? "switches off"
                  : switches == 1 ? "orientation"
                                  : "all on"));
}
BENCHMARK(BM_CameraThumbnail)
    ->ArgsProduct({{1, 0}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(120)
    ->UseRealTime();

// What "djpeg -scale 1/8" does, in process: libjpeg's default (accurate) decode at 1/8.
void BM_DecodeEighthDefaults(benchmark::State& state) {
  const auto& photos = Photos();
  if (photos.empty()) {
    state.SkipWithError("no photographs: run bench/make_bench_photos.sh");
    return;
  }
  Bitmap out;
  size_t next = 0;
  for (auto _ : state) {
    JpegReader::FromFile(photos[next]).Decode(out, 8, JpegPerformance::jpBestQuality);
    benchmark::DoNotOptimize(out.Bits());
    next = (next + 1) % photos.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeEighthDefaults)->Unit(benchmark::kMillisecond)->Iterations(200);

// The shrink alone: 500 x 375 (a 4000 x 3000 picture at 1/8) into 94 x 70.
void BM_ResizeBitmap(benchmark::State& state) {
  Bitmap source(500, 375);
  for (int y = 0; y < 375; ++y)
    for (int x = 0; x < 500 * 3; ++x) source.ScanLine(y)[x] = uint8_t(x * 7 + y * 13);
  for (auto _ : state) {
    Bitmap b = source;
    ResizeBitmap(b, 94, 70);
    benchmark::DoNotOptimize(b.Bits());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResizeBitmap)->Unit(benchmark::kMicrosecond);

// Keeping a thumbnail in the shared cache: the 128-pixel picture of a photograph
// written as the standard's PNG (name by MD5, text chunks, temporary file renamed).
void BM_SharedCacheWrite(benchmark::State& state) {
  const auto& photos = Photos();
  if (photos.empty()) {
    state.SkipWithError("no photographs: run bench/make_bench_photos.sh");
    return;
  }
  ThumbnailReader loader;
  if (loader.LoadThumbnail(photos[0], 128, 128, 0) != 0) state.SkipWithError("load failed");
  char root[] = "/tmp/quorvane-cachebench.XXXXXX";
  if (!mkdtemp(root)) state.SkipWithError("no temporary folder");
  const FreedesktopThumbnails cache(root);
  size_t next = 0;
  for (auto _ : state) {
    if (!cache.Write(photos[next], 1, "normal", loader.Bitmap(), 4000, 3000))
      state.SkipWithError("write failed");
    next = (next + 1) % photos.size();
  }
  std::filesystem::remove_all(root);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SharedCacheWrite)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
