// The GIF reading path on arbitrary bytes: a picture or a GifReadError, nothing else.
#include <cstddef>
#include <cstdint>

#include "imaging/GIFReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvane::Bitmap out;
  try {
    quorvane::DecodeGif(data, size, out);
  } catch (const quorvane::GifReadError&) {
    return 0;
  }
  volatile uint8_t sink = 0;
  for (int y = 0; y < out.Height(); ++y) sink = sink ^ out.ScanLine(y)[out.Width() * 3 - 1];
  return 0;
}
