// The decoders of HEIF/AVIF, WebP and JPEG XL on arbitrary bytes (in the program they
// run in the codec helper): each must answer, and a picture must be fully readable.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/PictureDecoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The decoders read files: the bytes go into an anonymous one.
  static const int fd = memfd_create("picture", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) return 0;
  std::vector<uint8_t> pixels;
  int width = 0, height = 0;
  const quorvane::CodecPixelTarget target = [&](int w, int h) {
    width = w;
    height = h;
    pixels.assign(quorvane::Bitmap::StrideFor(w) * size_t(h), 0);
    return pixels.data();
  };
  quorvane::CodecLoadRequest request;
  request.flags = quorvane::kCodecLoadForDisplay | quorvane::kCodecLoadThumbnail;
  request.boxWidth = request.boxHeight = 16;
  request.fitMode = 1;
  quorvane::CodecLoadResult result;
  volatile uint8_t sink = 0;
  for (auto decode : {quorvane::DecodeHeif, quorvane::DecodeWebp, quorvane::DecodeJxl}) {
    if (decode(path, request, target, result) && height > 0)
      sink = sink ^ pixels[pixels.size() - 1];
  }
  return 0;
}
