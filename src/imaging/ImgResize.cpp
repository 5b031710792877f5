#include "imaging/ImgResize.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace quorvane {

namespace {

// Exact quotient a * b div c for non-negative sizes, in 64 bits.
int MulDivInt(int a, int b, int c) { return int(int64_t(a) * b / c); }

int AtLeastOne(int v) { return v < 1 ? 1 : v; }

// The largest size with the picture's proportions that fits the box (w, h > 0).
FittedSize ScaleIntoBox(int w, int h, int Width, int Height) {
  FittedSize s;
  if (w > h) {
    s = {Width, MulDivInt(Width, h, w)};
    if (s.Height > Height) s = {MulDivInt(Height, w, h), Height};
  } else {
    s = {MulDivInt(Height, w, h), Height};
    if (s.Width > Width) s = {Width, MulDivInt(Width, h, w)};
  }
  return {AtLeastOne(s.Width), AtLeastOne(s.Height)};
}

FittedSize FitPreview(int w, int h, int Width, int Height) {
  if (w <= Width && h <= Height) return {w, h};
  if (w <= 0 || h <= 0) return {Width, Height};
  return ScaleIntoBox(w, h, Width, Height);
}

FittedSize FitStretch(int w, int h, int Width, int Height) {
  if (!(w < Width && h < Height) || w <= 0 || h <= 0) return FitPreview(w, h, Width, Height);
  return ScaleIntoBox(w, h, Width, Height);
}

// ---- enlarging: four cubic Lagrange taps per destination position ----

struct CubicTap {
  int index[4];  // source positions, already clamped to 0..M-1
  int32_t weight[4];
};

int32_t FixedWeight(long double v) { return int32_t(v * 1048576.0L + 0.5L); }  // Trunc

std::vector<CubicTap> CubicTaps(int M, int N) {
  std::vector<CubicTap> taps(static_cast<size_t>(N));
  for (int i = 0; i < N; ++i) {
    const long double f = (long double)(M - 1) * i / (N - 1);
    const long double whole = (long double)(int64_t)f;  // Trunc
    const int base = int(whole) - 1;
    const long double t = (f - whole) + 1;
    CubicTap& tap = taps[size_t(i)];
    tap.weight[0] = FixedWeight(-(t - 1) * (t - 2) * (t - 3) / 6);
    tap.weight[1] = FixedWeight(t * (t - 2) * (t - 3) / 2);
    tap.weight[2] = FixedWeight(-t * (t - 1) * (t - 3) / 2);
    tap.weight[3] = FixedWeight(t * (t - 1) * (t - 2) / 6);
    for (int k = 0; k < 4; ++k) tap.index[k] = std::clamp(base + k, 0, M - 1);
  }
  return taps;
}

uint8_t CubicOut(int64_t acc) {
  if (acc < 0) return 0;
  if (acc > 0xFF00000) return 255;
  return uint8_t(acc >> 20);
}

void EnlargeRows(const Bitmap& src, Bitmap& dst) {
  const auto taps = CubicTaps(src.Width(), dst.Width());
  for (int y = 0; y < src.Height(); ++y) {
    const uint8_t* s = src.ScanLine(y);
    uint8_t* d = dst.ScanLine(y);
    for (const CubicTap& tap : taps) {
      for (int c = 0; c < 3; ++c) {
        int64_t acc = 0x80000;
        for (int k = 0; k < 4; ++k) acc += int64_t(tap.weight[k]) * s[tap.index[k] * 3 + c];
        *d++ = CubicOut(acc);
      }
    }
  }
}

void EnlargeColumns(const Bitmap& src, Bitmap& dst) {
  const auto taps = CubicTaps(src.Height(), dst.Height());
  const size_t bytes = size_t(src.Width()) * 3;
  for (int y = 0; y < dst.Height(); ++y) {
    const CubicTap& tap = taps[size_t(y)];
    const uint8_t* s[4];
    for (int k = 0; k < 4; ++k) s[k] = src.ScanLine(tap.index[k]);
    uint8_t* d = dst.ScanLine(y);
    for (size_t b = 0; b < bytes; ++b) {
      const int64_t acc = 0x80000 + int64_t(tap.weight[0]) * s[0][b] +
                          int64_t(tap.weight[1]) * s[1][b] + int64_t(tap.weight[2]) * s[2][b] +
                          int64_t(tap.weight[3]) * s[3][b];
      d[b] = CubicOut(acc);
    }
  }
}

// ---- shrinking: area average with 18-bit coverage ----

constexpr uint32_t kFull = 0x40000;

struct BoxPlan {
  std::vector<int> P;       // first source position of each boundary
  std::vector<uint32_t> F;  // coverage fraction at each boundary, 0..kFull
  uint64_t scale = 0;       // 22-bit reciprocal of M / N
};

BoxPlan MakeBoxPlan(int M, int N) {
  BoxPlan plan;
  plan.P.resize(size_t(N) + 1);
  plan.F.resize(size_t(N) + 1);
  for (int j = 0; j <= N; ++j) {
    const long double q = (long double)M * j / N;
    const long double whole = (long double)(int64_t)q;
    plan.P[size_t(j)] = int(whole);
    plan.F[size_t(j)] = uint32_t((q - whole) * 262144.0L + 0.5L);
  }
  plan.scale = uint64_t(1.0L / ((long double)M / N) * 4194304.0L + 0.5L);
  return plan;
}

// The sum can overshoot 255 by rounding of the reciprocal on extreme ratios; a byte
// must not wrap to black there.
uint8_t BoxOut(uint64_t acc, uint64_t scale) {
  const uint64_t v = (acc * scale) >> 40;
  return uint8_t(v > 255 ? 255 : v);
}

void ShrinkRows(const Bitmap& src, Bitmap& dst) {
  const int N = dst.Width();
  const BoxPlan plan = MakeBoxPlan(src.Width(), N);
  for (int y = 0; y < src.Height(); ++y) {
    const uint8_t* s = src.ScanLine(y);
    uint8_t* d = dst.ScanLine(y);
    for (int i = 0; i < N; ++i) {
      const int p0 = plan.P[size_t(i)], p1 = plan.P[size_t(i) + 1];
      const uint32_t f0 = plan.F[size_t(i)], f1 = plan.F[size_t(i) + 1];
      for (int c = 0; c < 3; ++c) {
        uint64_t acc = 0x20000;
        if (f0 != kFull) acc += uint64_t(s[p0 * 3 + c]) * (kFull - f0);
        for (int k = p0 + 1; k < p1; ++k) acc += uint64_t(s[k * 3 + c]) * kFull;
        if (f1 != 0) acc += uint64_t(s[p1 * 3 + c]) * f1;
        *d++ = BoxOut(acc, plan.scale);
      }
    }
  }
}

void ShrinkColumns(const Bitmap& src, Bitmap& dst) {
  const int N = dst.Height();
  const BoxPlan plan = MakeBoxPlan(src.Height(), N);
  const size_t bytes = size_t(src.Width()) * 3;
  std::vector<uint64_t> acc(bytes);
  auto addRow = [&](int row, uint64_t weight) {
    const uint8_t* s = src.ScanLine(row);
    for (size_t b = 0; b < bytes; ++b) acc[b] += s[b] * weight;
  };
  for (int i = 0; i < N; ++i) {
    std::fill(acc.begin(), acc.end(), uint64_t(0x20000));
    const int p0 = plan.P[size_t(i)], p1 = plan.P[size_t(i) + 1];
    const uint32_t f0 = plan.F[size_t(i)], f1 = plan.F[size_t(i) + 1];
    if (f0 != kFull) addRow(p0, kFull - f0);
    for (int k = p0 + 1; k < p1; ++k) addRow(k, kFull);
    if (f1 != 0) addRow(p1, f1);
    uint8_t* d = dst.ScanLine(i);
    for (size_t b = 0; b < bytes; ++b) d[b] = BoxOut(acc[b], plan.scale);
  }
}

}  // namespace

FittedSize FitSize(FitKind mode, int w, int h, int Width, int Height) {
  switch (mode) {
    case igtNormal:
      return {w, h};
    case igtPreview:
      return FitPreview(w, h, Width, Height);
    case igtStretch:
      return FitStretch(w, h, Width, Height);
    case igtFit:
      return {Width, Height};
  }
  return {w, h};
}

void ResizeBitmap(Bitmap& bitmap, int Width, int Height) {
  if (Width <= 0 || Height <= 0) {
    bitmap.Release();
    return;
  }
  if (bitmap.Empty()) {
    bitmap.SetSize(Width, Height);
    return;
  }
  if (Width != bitmap.Width()) {
    Bitmap scratch(Width, bitmap.Height());
    if (Width > bitmap.Width())
      EnlargeRows(bitmap, scratch);
    else
      ShrinkRows(bitmap, scratch);
    bitmap.Swap(scratch);
  }
  if (Height != bitmap.Height()) {
    Bitmap scratch(bitmap.Width(), Height);
    if (Height > bitmap.Height())
      EnlargeColumns(bitmap, scratch);
    else
      ShrinkColumns(bitmap, scratch);
    bitmap.Swap(scratch);
  }
}

void FitBitmapToBox(Bitmap& bitmap, FitKind mode, int Width, int Height) {
  if (mode == igtNormal) return;
  const FittedSize s = FitSize(mode, bitmap.Width(), bitmap.Height(), Width, Height);
  ResizeBitmap(bitmap, s.Width, s.Height);
}

bool EmbeddedThumbnailServes(FitKind mode, int pictureW, int pictureH, int thumbW, int thumbH,
                             int boxW, int boxH) {
  if (mode == igtNormal || pictureW <= 0 || pictureH <= 0 || thumbW <= 0 || thumbH <= 0 ||
      boxW <= 0 || boxH <= 0)
    return false;
  const FittedSize fitted = FitSize(mode, pictureW, pictureH, boxW, boxH);
  if (thumbW < fitted.Width || thumbH < fitted.Height) return false;
  // thumbH against thumbW * pictureH / pictureW, and thumbW against its counterpart,
  // each within one pixel.
  const int64_t cross = std::llabs(int64_t(thumbH) * pictureW - int64_t(thumbW) * pictureH);
  return cross <= std::min<int64_t>(pictureW, pictureH);
}

}  // namespace quorvane
