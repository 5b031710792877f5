// Decoding speed of the built-in BMP and GIF readers and of a PNG load through the
// codec library, on a 1024 x 768 picture.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "imaging/GIFReader.h"
#include "imaging/BmpFile.h"
#include "imaging/OpenIL.h"

using namespace quorvane;

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

Bitmap Picture() {
  Bitmap b(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) b.SetPixel(x, y, RGB(uint8_t(x), uint8_t(y), uint8_t(x ^ y)));
  return b;
}

int AppendTo(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<std::vector<uint8_t>*>(gif->UserData)->insert(
      static_cast<std::vector<uint8_t>*>(gif->UserData)->end(), data, data + length);
  return length;
}

std::vector<uint8_t> GifStream() {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, &AppendTo, &error);
  std::vector<GifColorType> colours(256);
  for (int i = 0; i < 256; ++i) colours[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
  ColorMapObject* map = GifMakeMapObject(256, colours.data());
  EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
  EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
  std::vector<GifPixelType> line(kWidth);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) line[size_t(x)] = GifPixelType((x / 8 + y / 8) & 0xFF);
    EGifPutLine(gif, line.data(), kWidth);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

void BM_DecodeBmp24(benchmark::State& state) {
  const std::vector<uint8_t> bytes = EncodeBmp(Picture());
  Bitmap out;
  for (auto _ : state) DecodeBmp(bytes.data(), bytes.size(), out);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_DecodeBmp24);

void BM_DecodeGif(benchmark::State& state) {
  const std::vector<uint8_t> bytes = GifStream();
  Bitmap out;
  for (auto _ : state) DecodeGif(bytes.data(), bytes.size(), out);
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_DecodeGif);

void BM_CodecLoadPng(benchmark::State& state) {
  if (!BindCodecLibrary() || !CodecInit()) {
    state.SkipWithError("codec library not available");
    return;
  }
  const std::string path = "/tmp/quorvane-bench-readers.png";
  CodecSave(path, Picture(), {kCodecTypePng});
  Bitmap out;
  for (auto _ : state) CodecLoad(path, out);
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
  std::remove(path.c_str());
  UnbindCodecLibrary();
}
BENCHMARK(BM_CodecLoadPng);

}  // namespace

BENCHMARK_MAIN();
