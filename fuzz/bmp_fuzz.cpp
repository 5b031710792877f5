// The BMP reader on arbitrary bytes: it must answer with a picture or a BmpError, and
// a picture must be fully readable.
#include <cstddef>
#include <cstdint>

#include "imaging/BmpFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvane::Bitmap out;
  try {
    quorvane::DecodeBmp(data, size, out);
  } catch (const quorvane::BmpError&) {
    return 0;
  }
  // Touch every row so that a wrong size shows up under the address sanitizer.
  volatile uint8_t sink = 0;
  for (int y = 0; y < out.Height(); ++y) sink = sink ^ out.ScanLine(y)[out.Width() * 3 - 1];
  return 0;
}
