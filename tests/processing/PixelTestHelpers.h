#pragma once
// Helpers shared by the pixel operation tests: seeded random pictures, a stop source that
// turns on after a given number of looks, and reference computations written straight
// from the formulas, one pixel at a time, with none of the shortcuts of the real code.

#include <cmath>
#include <cstdint>
#include <random>

#include "processing/PixelOps.h"
#include "imaging/Bitmap.h"
#include "platform/StopSource.h"

namespace quorvane::test {

inline Bitmap RandomBitmap(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  Bitmap bmp(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 3; ++x) bmp.ScanLine(y)[x] = uint8_t(rng() & 0xFF);
  return bmp;
}

// Answers false for the first `allowed` looks, true from then on; counts every look.
class StopAfter : public StopSource {
 public:
  explicit StopAfter(int allowed) : allowed_(allowed) {}
  bool Terminated() const override { return ++looks_ > allowed_; }
  int looks() const { return looks_; }

 private:
  int allowed_;
  mutable int looks_ = 0;
};

inline uint8_t Channel(const Bitmap& b, int x, int y, int k) { return b.ScanLine(y)[x * 3 + k]; }

// Bilinear resize, 15 fraction bits, everything in 64 bits, positions recomputed per pixel.
inline Bitmap ReferenceResize(const Bitmap& src, int dw, int dh) {
  const int64_t w = src.Width(), h = src.Height();
  const int64_t xstep = (w - 1) * 32768 / dw, ystep = (h - 1) * 32768 / dh;
  Bitmap out(dw, dh);
  for (int i = 0; i < dh; ++i) {
    const int64_t sy = i * ystep;
    const int64_t r0 = sy >> 15, r1 = r0 < h - 1 ? r0 + 1 : r0, fy = sy & 32767;
    for (int j = 0; j < dw; ++j) {
      const int64_t sx = j * xstep;
      const int64_t c0 = sx >> 15, c1 = c0 < w - 1 ? c0 + 1 : c0, fx = sx & 32767;
      const int64_t wTR = (fx * (32768 - fy)) >> 15, wTL = (32768 - fy) - wTR;
      const int64_t wBR = (fx * fy) >> 15, wBL = fy - wBR;
      for (int k = 0; k < 3; ++k) {
        const int64_t v =
            (Channel(src, int(c0), int(r0), k) * wTL + Channel(src, int(c1), int(r0), k) * wTR +
             Channel(src, int(c0), int(r1), k) * wBL + Channel(src, int(c1), int(r1), k) * wBR) >>
            15;
        out.ScanLine(i)[j * 3 + k] = uint8_t(v);
      }
    }
  }
  return out;
}

// Rotation of `src` into `dest` (already sized and filled), positions in long double,
// rounding with std::rint (ties to even), nothing precomputed.
inline void ReferenceRotate(const Bitmap& src, Bitmap& dest, int cx, int cy, long double angle) {
  const int w = src.Width(), h = src.Height();
  const long double theta = -angle * M_PIl / 180;
  const double c = double(cosl(theta)), s = double(sinl(theta));
  const int offX = (dest.Width() - w) / 2, offY = (dest.Height() - h) / 2;
  for (int i = 0; i < dest.Height(); ++i)
    for (int j = 0; j < dest.Width(); ++j) {
      const long double xx = 2 * (j - cx) + 1, yy = 2 * (i - cy) + 1;
      const long double sx = (xx * (long double)c - yy * (long double)s - 1) / 2 + cx - offX;
      const long double sy = (xx * (long double)s + yy * (long double)c - 1) / 2 + cy - offY;
      const long double rx = std::rint(sx), ry = std::rint(sy);
      if (rx < 0 || rx >= w || ry < 0 || ry >= h) continue;
      const int ix = int(rx), iy = int(ry);
      const long double fx = sx - ix, fy = sy - iy;
      const int ix1 = std::min(ix + 1, w - 1), iy1 = std::min(iy + 1, h - 1);
      for (int k = 0; k < 3; ++k) {
        const int tl = Channel(src, ix, iy, k), tr = Channel(src, ix1, iy, k);
        const int bl = Channel(src, ix, iy1, k), br = Channel(src, ix1, iy1, k);
        const long double top = tl + fx * (tr - tl), bottom = bl + fx * (br - bl);
        const long double v = std::rint(top + fy * (bottom - top));
        dest.ScanLine(i)[j * 3 + k] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : int(v));
      }
    }
}

}  // namespace quorvane::test
