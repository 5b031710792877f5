#include "imaging/PixelSink.h"

#include <algorithm>
#include <cstring>

#include "imaging/AlphaBlend.h"

namespace quorvane {

bool PixelSink::Start(int width, int height, bool alpha, bool premultiplied) {
  if (width <= 0 || height <= 0 || !Bitmap::SizeAllowed(width, height)) return false;
  if (alpha) alpha_.assign(size_t(width) * size_t(height), 0);
  rows_ = target_(width, height);
  if (!rows_) return false;
  width_ = width;
  height_ = height;
  stride_ = Bitmap::StrideFor(width);
  premultiplied_ = premultiplied;
  // The padding at the end of each row is zero.
  for (int y = 0; y < height; ++y)
    std::memset(Row(y) + size_t(width) * 3, 0, stride_ - size_t(width) * 3);
  return true;
}

void PixelSink::Finish() {
  if (alpha_.empty() || std::all_of(alpha_.begin(), alpha_.end(), [](uint8_t a) { return a == 0; }))
    return;
  for (int y = 0; y < height_; ++y) {
    uint8_t* row = Row(y);
    const uint8_t* alpha = AlphaRow(y);
    for (int x = 0; x < width_; ++x) {
      const uint8_t a = alpha[x];
      for (int c = 0; c < 3; ++c) {
        uint8_t& v = row[size_t(x) * 3 + size_t(c)];
        // Associated colours already carry their share: the white adds 255 - a.
        v = premultiplied_ ? uint8_t(std::min(255, v + 255 - a)) : OverWhite(v, a);
      }
    }
  }
}

}  // namespace quorvane
