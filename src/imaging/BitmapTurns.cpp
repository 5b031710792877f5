#include "imaging/BitmapTurns.h"

#include <cstring>

#include "imaging/BitmapDest.h"

namespace quorvane {

// ---------------------------------------------------------------------------------------
// Mirror, flip, quarter turns

bool MirrorBitmap(const Bitmap& source, Bitmap& dest, const StopSource* stop) {
  return WithDistinctSource(source, dest, [&](const Bitmap& src) {
    const int w = src.Width(), h = src.Height();
    PrepareDest(dest, w, h, stop);
    for (int y = 0; y < h; ++y) {
      const uint8_t* s = src.ScanLine(y);
      uint8_t* d = dest.ScanLine(y);
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = s + size_t(w - 1 - x) * 3;
        d[x * size_t(3)] = p[0];
        d[x * size_t(3) + 1] = p[1];
        d[x * size_t(3) + 2] = p[2];
      }
      if (y + 1 < h && StopRequested(stop)) return false;
    }
    return true;
  });
}

bool FlipBitmap(const Bitmap& source, Bitmap& dest, const StopSource* stop) {
  return WithDistinctSource(source, dest, [&](const Bitmap& src) {
    const int w = src.Width(), h = src.Height();
    PrepareDest(dest, w, h, stop);
    for (int y = 0; y < h; ++y) {
      std::memcpy(dest.ScanLine(y), src.ScanLine(h - 1 - y), size_t(w) * 3);
      if (y + 1 < h && StopRequested(stop)) return false;
    }
    return true;
  });
}

namespace {

// Destination (H - 1 - y, x) = source (x, y) when clockwise, (y, W - 1 - x) otherwise.
bool TurnQuarter(const Bitmap& source, Bitmap& dest, bool clockwise, const StopSource* stop) {
  return WithDistinctSource(source, dest, [&](const Bitmap& src) {
    const int w = src.Width(), h = src.Height();
    PrepareDest(dest, h, w, stop);
    for (int y = 0; y < h; ++y) {
      const uint8_t* s = src.ScanLine(y);
      const size_t column = size_t(clockwise ? h - 1 - y : y) * 3;
      for (int x = 0; x < w; ++x) {
        uint8_t* d = dest.ScanLine(clockwise ? x : w - 1 - x) + column;
        d[0] = s[x * size_t(3)];
        d[1] = s[x * size_t(3) + 1];
        d[2] = s[x * size_t(3) + 2];
      }
      if (y + 1 < h && StopRequested(stop)) return false;
    }
    return true;
  });
}

}  // namespace

bool TurnBitmapRight(const Bitmap& source, Bitmap& dest, const StopSource* stop) {
  return TurnQuarter(source, dest, true, stop);
}

bool TurnBitmapLeft(const Bitmap& source, Bitmap& dest, const StopSource* stop) {
  return TurnQuarter(source, dest, false, stop);
}

}  // namespace quorvane
