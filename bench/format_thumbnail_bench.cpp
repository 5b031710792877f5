// Thumbnails and full decodes of the newer formats, as the grid makes them (ThumbnailReader
// with the picture plug-in, through the codec helper), from the files that
// bench/format_thumbnail_peers.sh makes in $QUORVANE_BENCH_FORMATS: photo.heic (no
// thumbnail item), photo_thumb.heic, photo.avif, photo.webp, photo.jxl, photo.png and photo.dng
// (with a JPEG preview of half the size), which this program writes from photo.jpg. Rates are per wall-clock second: the decoding happens in the helper
// process, whose CPU time the benchmark's own clock would not see.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/ImgResize.h"
#include "imaging/PictureLoader.h"
#include "imaging/OpenIL.h"
#include "imaging/ReadImage.h"
#include "support/DngWriter.h"
#include "thumbnails/ThumbnailReader.h"

using namespace quorvane;

namespace {

const std::vector<std::string> kFiles = {"photo.heic", "photo_thumb.heic", "photo.avif",
                                         "photo.webp", "photo.jxl",        "photo.dng",
                                         "photo.png"};

std::string FormatFile(int64_t index) {
  const char* dir = std::getenv("QUORVANE_BENCH_FORMATS");
  return std::string(dir && *dir ? dir : "/tmp/quorvane-bench-formats") + "/" +
         kFiles[size_t(index)];
}

// The camera file, made once from the photograph: the mosaic of the whole picture and
// the camera's usual JPEG preview.
bool MakeDng() {
  const std::string dng = FormatFile(5);
  if (std::filesystem::exists(dng)) return true;
  const std::string jpg = dng.substr(0, dng.size() - 4) + ".jpg";
  Bitmap photo;
  if (!ReadImageFile(jpg, photo, false)) return false;
  Bitmap preview = photo;
  ResizeBitmap(preview, photo.Width() / 2, photo.Height() / 2);
  test::WriteDng(dng, photo, preview);
  return true;
}

bool Ready(benchmark::State& state) {
  static const bool bound = BindCodecLibrary() && CodecInit() && MakeDng();
  if (!bound) state.SkipWithError("no codec helper (QUORVANE_CODEC_HELPER) or no photo.jpg");
  return bound;
}

void BM_FormatThumbnail(benchmark::State& state) {
  if (!Ready(state)) return;
  const std::string file = FormatFile(state.range(0));
  PictureLoader plugin;
  ThumbnailReader loader;
  loader.SetCustomPlugin(&plugin);
  loader.SetAutoThumb(false);
  for (auto _ : state) {
    if (loader.LoadThumbnail(file, 94, 94, 0) != 0 || loader.Bitmap().Width() > 94 ||
        loader.ImageType() != iitCustom) {
      state.SkipWithError(("no thumbnail of " + file).c_str());
      break;
    }
    benchmark::DoNotOptimize(loader.Bitmap().Bits());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(kFiles[size_t(state.range(0))]);
}
BENCHMARK(BM_FormatThumbnail)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FormatFullDecode(benchmark::State& state) {
  if (!Ready(state)) return;
  const std::string file = FormatFile(state.range(0));
  Bitmap picture;
  for (auto _ : state) {
    if (!ReadImageFile(file, picture, false)) {
      state.SkipWithError(("cannot read " + file).c_str());
      break;
    }
    benchmark::DoNotOptimize(picture.Bits());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(kFiles[size_t(state.range(0))]);
}
BENCHMARK(BM_FormatFullDecode)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
