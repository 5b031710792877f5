// The target-format writers alone (encoder and file output, no decoding), on one of the
// photographs that bench/convert_peers.sh makes: what a plain conversion spends beyond
// reading the JPEG. Output goes to $TMPDIR (else /tmp).
//   QUORVANE_BENCH_JPEG=path   the photograph (default: convert_peers.sh's first one)

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "processing/ConvertEngine.h"
#include "processing/GIFImage.h"
#include "processing/PngWriter.h"
#include "processing/SgiWriter.h"
#include "processing/UncompressedWriters.h"
#include "imaging/JpegCodec.h"

using namespace quorvane;

namespace {

const Bitmap& Photo() {
  static const Bitmap bmp = [] {
    const char* env = std::getenv("QUORVANE_BENCH_JPEG");
    const std::string path = env ? env : "/tmp/quorvane-bench/photos-6-3000x2000/photo 1.jpg";
    Bitmap b;
    try {
      ReadJpegFile(path, b);
    } catch (const JpegError&) {
      // Left empty: every benchmark then reports the missing photograph.
    }
    return b;
  }();
  return bmp;
}

std::string OutputPath(const char* ext) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp ? tmp : "/tmp") + "/quorvane-writer-bench-" + std::to_string(getpid()) +
         ext;
}

template <class Write>
void Run(benchmark::State& state, const char* ext, Write write) {
  const Bitmap& bmp = Photo();
  if (bmp.Empty()) {
    state.SkipWithError("no photograph: run bench/convert_peers.sh or set QUORVANE_BENCH_JPEG");
    return;
  }
  const std::string path = OutputPath(ext);
  for (auto _ : state) write(path, bmp);
  unlink(path.c_str());
  state.SetItemsProcessed(state.iterations() * int64_t(bmp.Width()) * bmp.Height());
}

void BM_Png(benchmark::State& s) { Run(s, ".png", WritePngFile); }
void BM_Tiff(benchmark::State& s) { Run(s, ".tif", WriteTiffFile); }
void BM_Pnm(benchmark::State& s) { Run(s, ".pnm", WritePnmFile); }
void BM_Tga(benchmark::State& s) { Run(s, ".tga", WriteTgaFile); }
void BM_Sgi(benchmark::State& s) {
  Run(s, ".sgi", [](const std::string& p, const Bitmap& b) { WriteSgiFile(p, b); });
}
void BM_Bmp(benchmark::State& s) { Run(s, ".bmp", WriteBmpStreamed); }
// The batch's JPEG save at the default setting (80, reaching the encoder as 79).
void BM_Jpeg(benchmark::State& s) {
  ConvertIO io;
  CodecSaveRequest request;
  request.byExtension = true;
  request.jpegQuality = 79;
  Run(s, ".jpg", [&](const std::string& p, const Bitmap& b) { io.CodecSave(p, b, request); });
}
void BM_Gif(benchmark::State& s) {
  Run(s, ".gif",
      [](const std::string& p, const Bitmap& b) { SaveGIF(b, p, DitherModeFromIndex(1), gcRLE); });
}

}  // namespace

BENCHMARK(BM_Jpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pnm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tga)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sgi)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
