#include "processing/FitResize.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  std::vector<int16_t> weights;
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
      t.weights.push_back(int16_t(std::lround(w[k] / sum * (1 << kWeightBits))));
      total += t.weights.back();
      if (w[k] > w[peak]) peak = k;
    }
    t.weights[peak] = int16_t(t.weights[peak] + (1 << kWeightBits) - total);  // exact unity
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

// One output pixel of a row: the taps' weighted sum of the three channels at `in`.
void FilterPixelPlain(const uint8_t* in, const int16_t* w, size_t n, uint8_t* out) {
  int32_t b = 0, g = 0, r = 0;
  for (size_t k = 0; k < n; ++k, in += 3) {
    b += w[k] * in[0];
    g += w[k] * in[1];
    r += w[k] * in[2];
  }
  out[0] = Clamp(b);
  out[1] = Clamp(g);
  out[2] = Clamp(r);
}

// One output row of the vertical pass: the taps' weighted sum of `n` source rows.
void FilterColumnsPlain(const uint8_t* const* in, const int16_t* w, size_t n, size_t begin,
                        size_t width, uint8_t* out) {
  for (size_t i = begin; i < width; ++i) {
    int32_t sum = 0;
    for (size_t k = 0; k < n; ++k) sum += w[k] * in[k][i];
    out[i] = Clamp(sum);
  }
}

#if defined(__SSE2__)
// The four bytes at p in the lowest lane.
inline __m128i Load4(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

// The fixed-point sums rounded to whole levels (not yet clamped).
inline __m128i Narrow(__m128i sums) {
  return _mm_srai_epi32(_mm_add_epi32(sums, _mm_set1_epi32(1 << (kWeightBits - 1))), kWeightBits);
}

// Two weights side by side, as one multiply-add reads them.
int32_t WeightPair(int16_t first, int16_t second) {
  return int32_t(uint16_t(first) | uint32_t(uint16_t(second)) << 16);
}

// The horizontal taps laid out for FilterPixels: every output pixel reads `pairs` * 2
// source pixels (the short ones padded with zero weights) from first[x], four bytes a
// pixel; `fast` output pixels keep those reads inside the row, the rest go the plain way.
struct PixelTaps {
  size_t pairs = 0;
  size_t fast = 0;
  std::vector<int> first;
  struct alignas(16) Quad {
    int32_t lanes[4];
  };
  std::vector<Quad> weights;  // each pair four times over
};

PixelTaps LayOut(const std::vector<Taps>& taps, int sourceSize) {
  PixelTaps laid;
  for (const Taps& t : taps) laid.pairs = std::max(laid.pairs, (t.weights.size() + 1) / 2);
  while (laid.fast < taps.size() &&
         taps[laid.fast].first + int(2 * laid.pairs) < sourceSize)
    ++laid.fast;
  for (size_t x = 0; x < laid.fast; ++x) {
    const Taps& t = taps[x];
    laid.first.push_back(t.first);
    std::vector<int16_t> w(t.weights);
    w.resize(2 * laid.pairs, 0);
    for (size_t k = 0; k < w.size(); k += 2) {
      const int32_t pair = WeightPair(w[k], w[k + 1]);
      laid.weights.push_back({{pair, pair, pair, pair}});
    }
  }
  return laid;
}

// The first laid.fast output pixels of a row.
void FilterPixels(const uint8_t* in, const PixelTaps& laid, uint8_t* out) {
  const PixelTaps::Quad* w = laid.weights.data();
  const __m128i zero = _mm_setzero_si128();
  for (size_t x = 0; x < laid.fast; ++x, out += 3) {
    const uint8_t* p = in + size_t(laid.first[x]) * 3;
    __m128i sums = _mm_setzero_si128();
    for (size_t k = 0; k < laid.pairs; ++k, p += 6, ++w) {
      // Channels of two pixels side by side, times their two weights side by side; the
      // fourth sum (the next pixel's first byte) is dropped.
      const __m128i bytes = _mm_unpacklo_epi8(Load4(p), Load4(p + 3));
      sums = _mm_add_epi32(sums, _mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero),
                                                    _mm_load_si128(reinterpret_cast<const __m128i*>(w->lanes))));
    }
    const __m128i v = Narrow(sums);
    const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(v, v), v));
    std::memcpy(out, &bytes, 3);
  }
}

void FilterColumns(const uint8_t* const* in, const int16_t* w, size_t n, size_t width,
                   uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= width; i += 16) {
    __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    for (size_t k = 0; k < n; k += 2) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in[k] + i));
      const bool second = k + 1 < n;
      const __m128i b =
          second ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(in[k + 1] + i)) : zero;
      const uint32_t both = uint16_t(w[k]) | (second ? uint32_t(uint16_t(w[k + 1])) << 16 : 0u);
      const __m128i weights = _mm_set1_epi32(int32_t(both));
      const __m128i alo = _mm_unpacklo_epi8(a, zero), ahi = _mm_unpackhi_epi8(a, zero);
      const __m128i blo = _mm_unpacklo_epi8(b, zero), bhi = _mm_unpackhi_epi8(b, zero);
      s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi16(alo, blo), weights));
      s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi16(alo, blo), weights));
      s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi16(ahi, bhi), weights));
      s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi16(ahi, bhi), weights));
    }
    const __m128i lo = _mm_packs_epi32(Narrow(s0), Narrow(s1));
    const __m128i hi = _mm_packs_epi32(Narrow(s2), Narrow(s3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
  FilterColumnsPlain(in, w, n, i, width, out);
}
#else
struct PixelTaps {
  size_t fast = 0;
};

PixelTaps LayOut(const std::vector<Taps>&, int) { return {}; }

void FilterPixels(const uint8_t*, const PixelTaps&, uint8_t*) {}

void FilterColumns(const uint8_t* const* in, const int16_t* w, size_t n, size_t width,
                   uint8_t* out) {
  FilterColumnsPlain(in, w, n, 0, width, out);
}
#endif

// Horizontal pass, then vertical, each only when its size changes. The vertical pass
// takes its source rows from a ring of the horizontally filtered rows its taps reach,
// made as they come, so no second picture of the full height is kept.
bool Lanczos(const Bitmap& source, Bitmap& dest, int threads, const StopSource* stop) {
  const int sw = source.Width(), sh = source.Height();
  const int dw = dest.Width(), dh = dest.Height();
  const size_t width = size_t(dw) * 3;
  const bool across = dw != sw;
  const std::vector<Taps> hTaps = across ? MakeTaps(sw, dw) : std::vector<Taps>();
  const PixelTaps laid = LayOut(hTaps, sw);
  // Source row y filtered across into `out`, or the row itself when the width stays.
  const auto row = [&](int y, uint8_t* out) -> const uint8_t* {
    const uint8_t* in = source.ScanLine(y);
    if (!across) return in;
    FilterPixels(in, laid, out);
    for (size_t x = laid.fast; x < hTaps.size(); ++x) {
      const Taps& t = hTaps[x];
      FilterPixelPlain(in + size_t(t.first) * 3, t.weights.data(), t.weights.size(), out + x * 3);
    }
    return out;
  };
  if (dh == sh)
    return InBands(dh, threads, [&](int begin, int end) {
      for (int y = begin; y < end; ++y) {
        if (StopRequested(stop)) return false;
        uint8_t* out = dest.ScanLine(y);
        const uint8_t* made = row(y, out);
        if (made != out) std::memcpy(out, made, width);
      }
      return true;
    });
  const std::vector<Taps> vTaps = MakeTaps(sh, dh);
  size_t reach = 0;
  for (const Taps& t : vTaps) reach = std::max(reach, t.weights.size());
  return InBands(dh, threads, [&](int begin, int end) {
    // Source row r sits in slot r % reach while the taps need it.
    std::vector<uint8_t> ring(across ? reach * width : 0);
    std::vector<int> held(reach, -1);
    std::vector<const uint8_t*> in;
    for (int y = begin; y < end; ++y) {
      if (StopRequested(stop)) return false;
      const Taps& t = vTaps[size_t(y)];
      in.clear();
      for (size_t k = 0; k < t.weights.size(); ++k) {
        const int r = t.first + int(k);
        if (!across) {
          in.push_back(source.ScanLine(r));
          continue;
        }
        const size_t slot = size_t(r) % reach;
        uint8_t* kept = ring.data() + slot * width;
        if (held[slot] != r) row(r, kept), held[slot] = r;
        in.push_back(kept);
      }
      FilterColumns(in.data(), t.weights.data(), t.weights.size(), width, dest.ScanLine(y));
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
