#include "processing/FitResize.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "imaging/ImgResize.h"
#include "platform/CoreCount.h"

// The filter loops are the batch's hottest code: vectorized.
#pragma GCC optimize("O3")

namespace quorvane {

namespace {

constexpr int kWeightBits = 14;
constexpr int kLobes = 3;

double Sinc(double x) {
  if (x == 0) return 1;
  x *= M_PI;
  return std::sin(x) / x;
}

double Lanczos(double x) { return std::abs(x) < kLobes ? Sinc(x) * Sinc(x / kLobes) : 0; }

// The taps of one output position: the first source index and fixed-point weights
// that add up to 1 << kWeightBits.
struct Taps {
  int first = 0;
  std::vector<int32_t> weights;
};

std::vector<Taps> MakeTaps(int sourceSize, int destSize) {
  const double scale = double(sourceSize) / destSize;
  const double stretch = std::max(scale, 1.0);
  const double support = kLobes * stretch;
  std::vector<Taps> all(static_cast<size_t>(destSize));
  std::vector<double> w;
  for (int d = 0; d < destSize; ++d) {
    const double centre = (d + 0.5) * scale;
    const int first = std::max(0, int(std::floor(centre - support)));
    const int last = std::min(sourceSize - 1, int(std::ceil(centre + support)));
    w.clear();
    double sum = 0;
    for (int s = first; s <= last; ++s) {
      w.push_back(Lanczos((s + 0.5 - centre) / stretch));
      sum += w.back();
    }
    Taps& t = all[size_t(d)];
    t.first = first;
    int32_t total = 0;
    size_t peak = 0;
    for (size_t k = 0; k < w.size(); ++k) {
      t.weights.push_back(int32_t(std::lround(w[k] / sum * (1 << kWeightBits))));
      total += t.weights.back();
      if (w[k] > w[peak]) peak = k;
    }
    t.weights[peak] += (1 << kWeightBits) - total;  // exact unity
  }
  return all;
}

uint8_t Clamp(int32_t sum) {
  const int32_t v = (sum + (1 << (kWeightBits - 1))) >> kWeightBits;
  return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Runs body(begin, end) over [0, count) split into `threads` bands, the first band on
// the calling thread. Answers false when any band was stopped.
template <typename Body>
bool InBands(int count, int threads, Body body) {
  threads = std::clamp(threads, 1, std::max(1, count / 16));
  std::vector<std::thread> helpers;
  std::vector<char> done(size_t(threads), 1);
  for (int k = 1; k < threads; ++k)
    helpers.emplace_back([&, k] {
      done[size_t(k)] = body(int(int64_t(count) * k / threads), int(int64_t(count) * (k + 1) / threads));
    });
  done[0] = body(0, int(int64_t(count) / threads));
  for (std::thread& t : helpers) t.join();
  return std::all_of(done.begin(), done.end(), [](char d) { return d != 0; });
}

// Horizontal pass, then vertical, each only when its size changes.
bool Lanczos(const Bitmap& source, Bitmap& dest, int threads, const StopSource* stop) {
  const int sw = source.Width(), sh = source.Height();
  const int dw = dest.Width(), dh = dest.Height();
  const Bitmap* rows = &source;
  Bitmap across;
  if (dw != sw) {
    across = Bitmap(dw, sh);
    const std::vector<Taps> taps = MakeTaps(sw, dw);
    const bool completed = InBands(sh, threads, [&](int begin, int end) {
      for (int y = begin; y < end; ++y) {
        if (StopRequested(stop)) return false;
        const uint8_t* in = source.ScanLine(y);
        uint8_t* out = across.ScanLine(y);
        for (const Taps& t : taps) {
          const uint8_t* p = in + size_t(t.first) * 3;
          const int32_t* w = t.weights.data();
          const size_t n = t.weights.size();
          int32_t b = 0, g = 0, r = 0;
          for (size_t k = 0; k < n; ++k, p += 3) {
            b += w[k] * p[0];
            g += w[k] * p[1];
            r += w[k] * p[2];
          }
          out[0] = Clamp(b);
          out[1] = Clamp(g);
          out[2] = Clamp(r);
          out += 3;
        }
      }
      return true;
    });
    if (!completed) return false;
    rows = &across;
  }
  if (dh == sh) {
    for (int y = 0; y < dh; ++y) std::memcpy(dest.ScanLine(y), rows->ScanLine(y), size_t(dw) * 3);
    return true;
  }
  const std::vector<Taps> taps = MakeTaps(sh, dh);
  const size_t width = size_t(dw) * 3;
  return InBands(dh, threads, [&](int begin, int end) {
    std::vector<int32_t> sums(width);
    for (int y = begin; y < end; ++y) {
      if (StopRequested(stop)) return false;
      const Taps& t = taps[size_t(y)];
      std::fill(sums.begin(), sums.end(), 0);
      for (size_t k = 0; k < t.weights.size(); ++k) {
        const int32_t w = t.weights[k];
        const uint8_t* in = rows->ScanLine(t.first + int(k));
        int32_t* sum = sums.data();
        for (size_t i = 0; i < width; ++i) sum[i] += w * in[i];
      }
      uint8_t* out = dest.ScanLine(y);
      for (size_t i = 0; i < width; ++i) out[i] = Clamp(sums[i]);
    }
    return true;
  });
}

// The size a fit step gives a w x h picture.
PictureSize StepSize(int64_t w, int64_t h, const ConvertParams& step) {
  return FitInside(w, h, step.FitWidth, step.FitHeight, step.ShrinkOnly);
}

}  // namespace

PictureSize FitInside(int64_t w, int64_t h, int boxWidth, int boxHeight, bool shrinkOnly) {
  if (w <= 0 || h <= 0 || boxWidth <= 0 || boxHeight <= 0) return {};
  if (shrinkOnly && w <= boxWidth && h <= boxHeight) return {int(w), int(h)};
  // The width limits when boxWidth / w <= boxHeight / h.
  if (int64_t(boxWidth) * h <= int64_t(boxHeight) * w)
    return {boxWidth, int(std::max<int64_t>(1, (2 * h * boxWidth + w) / (2 * w)))};
  return {int(std::max<int64_t>(1, (2 * w * boxHeight + h) / (2 * h))), boxHeight};
}

bool ResampleInto(const Bitmap& source, Bitmap& dest, int threads, const StopSource* stop) {
  if (source.Empty() || dest.Empty())
    throw BitmapError("cannot resample to or from an empty picture");
  const int w = source.Width(), h = source.Height();
  const int64_t dw = dest.Width(), dh = dest.Height();
  const int aw = int(w > 2 * dw ? 2 * dw : w);
  const int ah = int(h > 2 * dh ? 2 * dh : h);
  if (aw == w && ah == h) return Lanczos(source, dest, threads, stop);
  Bitmap averaged(source);
  ResizeBitmap(averaged, aw, ah);
  if (StopRequested(stop)) return false;
  return Lanczos(averaged, dest, threads, stop);
}

bool FitBitmapInside(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                     bool* interrupted) {
  if (interrupted) *interrupted = false;
  try {
    const PictureSize size = StepSize(bitmap.Width(), bitmap.Height(), params);
    if (size.Width <= 0 || !Bitmap::SizeAllowed(size.Width, size.Height)) return false;
    if (size.Width == bitmap.Width() && size.Height == bitmap.Height()) return true;
    Bitmap result(size.Width, size.Height);
    const int threads = params.EncoderThreads > 0 ? params.EncoderThreads : CoreCount();
    const bool completed = ResampleInto(bitmap, result, threads, stop);
    bitmap.Swap(result);
    if (interrupted) *interrupted = !completed;
    return true;
  } catch (...) {
    return false;
  }
}

int FitDecodeScale(int w, int h, const ConvertParams& step) {
  if (step.OpCode != opFit || w <= 0 || h <= 0) return 1;
  const PictureSize asStored = StepSize(w, h, step);
  const PictureSize turned = StepSize(h, w, step);
  // Decoded sides must stay at least twice the target's, in either orientation.
  const int64_t needW = 2 * int64_t(std::max(asStored.Width, turned.Height));
  const int64_t needH = 2 * int64_t(std::max(asStored.Height, turned.Width));
  int scale = 1;
  for (int s : {2, 4, 8})
    if ((w + s - 1) / s >= needW && (h + s - 1) / s >= needH) scale = s;
  return scale;
}

}  // namespace quorvane
