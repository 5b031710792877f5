#pragma once
// Where the program's own codec readers (PnmReader.h, TiffReader.h) put a picture: the
// memory of a CodecPixelTarget, filled row by row as B, G, R. A picture with an alpha
// channel keeps its alpha aside (one byte a pixel) and is composited over white once
// complete, as every other source is (AlphaBlend.h): an alpha channel that is zero
// everywhere is no alpha.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/OpenIL.h"

namespace quorvane {

class PixelSink {
 public:
  explicit PixelSink(const CodecPixelTarget& target) : target_(target) {}

  // Asks the target for a width x height picture (sizes beyond the bitmap limits are
  // refused before anything is allocated). `alpha`: the picture has an alpha channel,
  // `premultiplied` when its colours are already multiplied by it (associated alpha).
  // False when refused.
  bool Start(int width, int height, bool alpha = false, bool premultiplied = false);

  // Row y as B, G, R bytes (Start first).
  uint8_t* Row(int y) { return rows_ + size_t(y) * stride_; }
  // Row y of the alpha channel (only when Start was given `alpha`).
  uint8_t* AlphaRow(int y) { return alpha_.data() + size_t(y) * size_t(width_); }

  // Composites the colours over white by the alpha channel, when there is one.
  void Finish();

 private:
  const CodecPixelTarget& target_;
  uint8_t* rows_ = nullptr;
  size_t stride_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool premultiplied_ = false;
  std::vector<uint8_t> alpha_;
};

// A sample of 0..maxval scaled to 0..255, rounded to the nearest (halves up).
constexpr uint8_t ScaleSample(uint32_t value, uint32_t maxval) {
  return uint8_t((uint64_t(value) * 510 + maxval) / (uint64_t(maxval) * 2));
}

}  // namespace quorvane
