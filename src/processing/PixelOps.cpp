#include "processing/PixelOps.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "imaging/BitmapDest.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorvane {

// ---------------------------------------------------------------------------------------
// Smooth resize: 15 fraction bits, one source pixel = 32768.

#if defined(__SSE2__)
namespace {

inline __m128i LoadPixel(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(int(v));
}

// Destination columns [0, end) of one row. One pixel a step, its channels in 32-bit
// lanes: pmaddwd forms TL x wTL + TR x wTR and BL x wBL + BR x wBR. wTL reaches 32768,
// which 16 bits cannot hold, so the top pair uses wTL - 1 and TL is added once more; the
// sums are the same integers as the scalar ones. Answers `end`.
int ResizeRowSse2(const uint8_t* __restrict top, const uint8_t* __restrict bottom,
                  uint8_t* __restrict d, const size_t* __restrict left,
                  const size_t* __restrict right, const uint32_t* __restrict wTRs,
                  const uint32_t* __restrict wBRs, uint32_t fy, int end) {
  const uint32_t ify = 32768 - fy;
  const __m128i zero = _mm_setzero_si128();
  for (int j = 0; j < end; ++j, d += 3) {
    const uint32_t wTR = wTRs[j], wTL = ify - wTR;
    const uint32_t wBR = wBRs[j], wBL = fy - wBR;
    const __m128i wTop = _mm_set1_epi32(int((wTR << 16) | ((wTL - 1) & 0xFFFF)));
    const __m128i wBottom = _mm_set1_epi32(int((wBR << 16) | wBL));
    const __m128i tl = LoadPixel(top + left[j]);
    const __m128i tr = LoadPixel(top + right[j]);
    const __m128i bl = LoadPixel(bottom + left[j]);
    const __m128i br = LoadPixel(bottom + right[j]);
    const __m128i topPairs = _mm_unpacklo_epi8(_mm_unpacklo_epi8(tl, tr), zero);
    const __m128i bottomPairs = _mm_unpacklo_epi8(_mm_unpacklo_epi8(bl, br), zero);
    const __m128i tl32 = _mm_unpacklo_epi16(_mm_unpacklo_epi8(tl, zero), zero);
    __m128i sum =
        _mm_add_epi32(_mm_madd_epi16(topPairs, wTop), _mm_madd_epi16(bottomPairs, wBottom));
    sum = _mm_srli_epi32(_mm_add_epi32(sum, tl32), 15);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(sum, zero), zero);
    // The fourth byte lands on the next pixel, which is written after this one.
    const uint32_t out = uint32_t(_mm_cvtsi128_si32(bytes));
    std::memcpy(d, &out, 4);
  }
  return end;
}

}  // namespace
#endif

bool SmoothResizeRows(const uint8_t* source, int sourceWidth, int sourceHeight, size_t sourceStride,
                      uint8_t* dest, int destWidth, int destHeight, size_t destStride,
                      const StopSource* stop) {
  if (sourceWidth < 1 || sourceHeight < 1 || destWidth < 1 || destHeight < 1)
    throw BitmapError("cannot resample to or from an empty picture");
  constexpr uint32_t kOne = 32768;
  // Steps and positions are 64-bit: (W - 1) x 32768 leaves 32 bits above 65536 pixels.
  // The weights and channel sums stay below 2^24 and are 32-bit.
  const int64_t xstep = (int64_t(sourceWidth) - 1) * kOne / destWidth;
  const int64_t ystep = (int64_t(sourceHeight) - 1) * kOne / destHeight;

  // Per destination column: byte offsets of the left and right neighbours and the
  // horizontal fraction. Per row: the two horizontal weights that depend on it.
  std::vector<size_t> left(static_cast<size_t>(destWidth)), right(static_cast<size_t>(destWidth));
  std::vector<uint32_t> fxs(static_cast<size_t>(destWidth)), wTRs(static_cast<size_t>(destWidth)),
      wBRs(static_cast<size_t>(destWidth));
  int64_t sx = 0;
  for (int j = 0; j < destWidth; ++j) {
    const int64_t c0 = sx >> 15;
    const int64_t c1 = c0 < sourceWidth - 1 ? c0 + 1 : c0;
    left[j] = size_t(c0) * 3;
    right[j] = size_t(c1) * 3;
    fxs[j] = uint32_t(sx & (kOne - 1));
    sx += xstep;
  }

  // The vector loop reads 4 bytes a neighbour and writes 4 bytes a pixel: it stops before
  // the first column that reaches the source's last pixel and before the last column.
  int simdEnd = destWidth - 1;
  for (int j = 0; j < destWidth - 1; ++j)
    if (right[j] >= size_t(sourceWidth - 1) * 3) {
      simdEnd = j;
      break;
    }
  (void)simdEnd;

  int64_t sy = 0;
  for (int i = 0; i < destHeight; ++i) {
    const int64_t r0 = sy >> 15;
    const int64_t r1 = r0 < sourceHeight - 1 ? r0 + 1 : r0;
    const uint32_t fy = uint32_t(sy & (kOne - 1));
    const uint32_t ify = kOne - fy;
    {
      const uint32_t* __restrict fx = fxs.data();
      uint32_t* __restrict wtr = wTRs.data();
      uint32_t* __restrict wbr = wBRs.data();
      for (int j = 0; j < destWidth; ++j) {
        wtr[j] = (fx[j] * ify) >> 15;
        wbr[j] = (fx[j] * fy) >> 15;
      }
    }
    const uint8_t* __restrict top = source + size_t(r0) * sourceStride;
    const uint8_t* __restrict bottom = source + size_t(r1) * sourceStride;
    uint8_t* __restrict d = dest + size_t(i) * destStride;
    int j = 0;
#if defined(__SSE2__)
    j = ResizeRowSse2(top, bottom, d, left.data(), right.data(), wTRs.data(), wBRs.data(), fy,
                      simdEnd);
    d += size_t(j) * 3;
#endif
    for (; j < destWidth; ++j) {
      const uint32_t wTR = wTRs[j], wTL = ify - wTR;
      const uint32_t wBR = wBRs[j], wBL = fy - wBR;
      const uint8_t* tl = top + left[j];
      const uint8_t* tr = top + right[j];
      const uint8_t* bl = bottom + left[j];
      const uint8_t* br = bottom + right[j];
      for (int k = 0; k < 3; ++k)
        d[k] = uint8_t((tl[k] * wTL + tr[k] * wTR + bl[k] * wBL + br[k] * wBR) >> 15);
      d += 3;
    }
    sy += ystep;
    if (i + 1 < destHeight && StopRequested(stop)) return false;
  }
  return true;
}

bool SmoothResize(const Bitmap& source, Bitmap& dest, const StopSource* stop) {
  if (source.Empty() || dest.Empty())
    throw BitmapError("cannot resample to or from an empty picture");
  return WithDistinctSource(source, dest, [&](const Bitmap& src) {
    return SmoothResizeRows(src.Bits(), src.Width(), src.Height(), src.Stride(), dest.Bits(),
                            dest.Width(), dest.Height(), dest.Stride(), stop);
  });
}

bool FitBitmap(Bitmap& bitmap, int boxWidth, int boxHeight, const StopSource* stop) {
  try {
    const int64_t w = bitmap.Width(), h = bitmap.Height();
    if (w <= 0 || h <= 0 || boxWidth <= 0 || boxHeight <= 0) return false;
    const int64_t ratioImage = h * 100 / w;
    const int64_t ratioBox = int64_t(boxHeight) * 100 / boxWidth;
    int64_t newW = boxWidth, newH = boxHeight;
    if (ratioImage < ratioBox) {
      newH = h * boxWidth / w;  // the image is the wider one
    } else if (ratioImage > ratioBox) {
      newW = w * boxHeight / h;
    }
    if (!Bitmap::SizeAllowed(newW, newH)) return false;
    Bitmap fitted(static_cast<int>(newW), static_cast<int>(newH));
    SmoothResize(bitmap, fitted, stop);
    bitmap.Swap(fitted);
    return true;
  } catch (...) {
    return false;
  }
}

// ---------------------------------------------------------------------------------------
// Smooth rotation

namespace {

// Rounds to the nearest integer, ties to even, as std::rint does in the default rounding
// mode. On x87 one store of the integer does both steps; a C++ conversion would switch
// the FPU control word to truncation and back for every value.
inline int64_t RoundToInt(long double x) {
#if defined(__GNUC__) && LDBL_MANT_DIG == 64 && (defined(__x86_64__) || defined(__i386__))
  int64_t result;
  __asm__("fistpll %0" : "=m"(result) : "t"(x) : "st");
  return result;
#else
  return int64_t(std::rint(x));
#endif
}

// The nearest integer, ties to even, as a long double (|x| < 2^62): adding 1.5 x 2^63
// leaves no fraction bits in the 64-bit mantissa, so the sum is rounded in the current
// (nearest) mode, and subtracting it again is exact. Two additions instead of frndint.
inline long double RoundLd(long double x) {
#if LDBL_MANT_DIG == 64
  constexpr long double kShift = 0x1.8p63L;
  return (x + kShift) - kShift;
#else
  return std::rint(x);
#endif
}

// Channel values and their differences as floats: an x87 load takes them straight from
// memory, where an integer would first have to be stored. The values are exact.
struct ByteValues {
  float value[256];
  float diff[511];  // diff[255 + d] = d
  ByteValues() {
    for (int i = 0; i < 256; ++i) value[i] = float(i);
    for (int d = -255; d <= 255; ++d) diff[255 + d] = float(d);
  }
};
const ByteValues kBytes;

// Where each destination column of a row samples: the offset of its top-left source
// pixel (-1 when outside), the steps to the right and lower neighbours, the fractions.
struct RotateSamples {
  explicit RotateSamples(int width)
      : offset(size_t(width)),
        right(size_t(width)),
        down(size_t(width)),
        fx(size_t(width)),
        fy(size_t(width)) {}
  std::vector<int64_t> offset;
  std::vector<uint32_t> right, down;
  std::vector<long double> fx, fy;
};

// One destination row of SmoothRotate, in two passes: first every column's source
// position (long chains of dependent x87 operations, independent from column to column),
// then the pixels. Everything the loops read is a local or a restrict pointer, so the byte
// stores into the row do not make the compiler fetch it again. Answers false when asked to
// stop.
bool RotateRow(const uint8_t* srcBits, size_t srcStride, int w, int h,
               const long double* __restrict xxc, const long double* __restrict xxs,
               long double yys, long double yyc, long double cx, long double cy, long double offX,
               long double offY, uint8_t* __restrict d, int destW, int jBegin, int jEnd,
               RotateSamples& samples, const StopSource* stop) {
  int64_t* __restrict offset = samples.offset.data();
  uint32_t* __restrict right = samples.right.data();
  uint32_t* __restrict down = samples.down.data();
  long double* __restrict fxs = samples.fx.data();
  long double* __restrict fys = samples.fy.data();
  for (int j = jBegin; j < jEnd; ++j) {
    const long double sx = (xxc[j] - yys - 1) / 2 + cx - offX;
    const long double sy = (xxs[j] + yyc - 1) / 2 + cy - offY;
    const long double rx = RoundLd(sx), ry = RoundLd(sy);
    const int64_t ix = RoundToInt(rx), iy = RoundToInt(ry);  // exact: already whole
    fxs[j] = sx - rx;
    fys[j] = sy - ry;
    if (ix >= 0 && ix < w && iy >= 0 && iy < h) {
      offset[j] = iy * int64_t(srcStride) + ix * 3;
      right[j] = ix + 1 < w ? 3 : 0;
      down[j] = iy + 1 < h ? uint32_t(srcStride) : 0;
    } else {
      offset[j] = -1;
    }
  }

  const float* value = kBytes.value;
  const float* diff = kBytes.diff + 255;
  // Columns outside [jBegin, jEnd) have no source pixel; only their stop checks remain.
  if (stop)
    for (int j = 0; j < jBegin; ++j)
      if (stop->Terminated()) return false;
  d += size_t(jBegin) * 3;
  for (int j = jBegin; j < jEnd; ++j, d += 3) {
    if (offset[j] >= 0) {
      const long double fx = fxs[j], fy = fys[j];
      const uint8_t* tl = srcBits + offset[j];
      const uint8_t* tr = tl + right[j];
      const uint8_t* bl = tl + down[j];
      const uint8_t* br = bl + right[j];
      for (int k = 0; k < 3; ++k) {
        const long double topValue = value[tl[k]] + fx * diff[tr[k] - tl[k]];
        const long double bottomValue = value[bl[k]] + fx * diff[br[k] - bl[k]];
        d[k] = uint8_t(ClampByte(RoundToInt(topValue + fy * (bottomValue - topValue))));
      }
    }
    if (StopRequested(stop)) return false;
  }
  if (stop)
    for (int j = jEnd; j < destW; ++j)
      if (stop->Terminated()) return false;
  return true;
}

// Narrows [begin, end) to the columns j where a0 + slope x j may lie in [low, high].
// The caller's bounds carry a margin of more than a pixel, so the rounding of this
// double-precision estimate cannot drop a column whose source is inside the picture.
void NarrowSpan(double a0, double slope, double low, double high, double& begin, double& end) {
  if (std::fabs(slope) < 1e-9) {
    if (a0 < low - 1 || a0 > high + 1) end = begin;  // the whole row misses
    return;
  }
  double lo = (low - a0) / slope, hi = (high - a0) / slope;
  if (lo > hi) std::swap(lo, hi);
  begin = std::max(begin, std::floor(lo) - 2);
  end = std::min(end, std::ceil(hi) + 3);
}

}  // namespace

bool SmoothRotate(const Bitmap& source, Bitmap& dest, int centreX, int centreY,
                  long double angleDegrees, const StopSource* stop) {
  if (!std::isfinite(angleDegrees)) throw std::invalid_argument("rotation angle is not a number");
  if (source.Empty() || dest.Empty()) return true;
  return WithDistinctSource(source, dest, [&](const Bitmap& src) {
    const int w = src.Width(), h = src.Height();
    const int destW = dest.Width(), destH = dest.Height();
    const long double theta = -angleDegrees * M_PIl / 180;
    // The cosine and sine are kept in double precision.
    const long double c = double(std::cos(theta));
    const long double s = double(std::sin(theta));
    const int offX = (destW - w) / 2, offY = (destH - h) / 2;

    // xx x c and xx x s per destination column, xx = 2 (j - cx) + 1 (doubled centres).
    std::vector<long double> xxc(static_cast<size_t>(destW)), xxs(static_cast<size_t>(destW));
    for (int j = 0; j < destW; ++j) {
      const long double xx = 2 * (int64_t(j) - centreX) + 1;
      xxc[j] = xx * c;
      xxs[j] = xx * s;
    }
    const double cd = double(c), sd = double(s);
    RotateSamples samples(destW);
    for (int i = 0; i < destH; ++i) {
      const long double yy = 2 * (int64_t(i) - centreY) + 1;
      // sx and sy are linear in j: sx = a0x + c j, sy = a0y + s j. A source position is
      // inside for -0.5 <= sx <= w - 0.5; the span allows -2 .. w + 1.
      const double yyd = double(yy), x0 = 1 - 2.0 * centreX;
      const double a0x = (x0 * cd - yyd * sd - 1) / 2 + centreX - offX;
      const double a0y = (x0 * sd + yyd * cd - 1) / 2 + centreY - offY;
      double begin = 0, end = destW;
      NarrowSpan(a0x, cd, -2, w + 1.0, begin, end);
      NarrowSpan(a0y, sd, -2, h + 1.0, begin, end);
      const int jBegin = int(std::clamp(begin, 0.0, double(destW)));
      const int jEnd = std::max(jBegin, int(std::clamp(end, 0.0, double(destW))));
      if (!RotateRow(src.Bits(), src.Stride(), w, h, xxc.data(), xxs.data(), yy * s, yy * c,
                     centreX, centreY, offX, offY, dest.ScanLine(i), destW, jBegin, jEnd, samples,
                     stop))
        return false;
    }
    return true;
  });
}

// ---------------------------------------------------------------------------------------
// Contrast, brightness, saturation

namespace {

using ByteMap = std::array<uint8_t, 256>;

// Maps `count` bytes through the table, eight at a time through one 64-bit load and
// store (fewer memory operations than byte by byte). `in` may equal `out`.
void MapRow(const uint8_t* in, uint8_t* out, size_t count, const uint8_t* __restrict map) {
  size_t k = 0;
  for (; k + 8 <= count; k += 8) {
    uint64_t v;
    std::memcpy(&v, in + k, 8);
    uint64_t r = 0;
    for (int b = 0; b < 8; ++b) r |= uint64_t(map[(v >> (8 * b)) & 0xFF]) << (8 * b);
    std::memcpy(out + k, &r, 8);
  }
  for (; k < count; ++k) out[k] = map[in[k]];
}

bool MapBytes(const Bitmap& source, Bitmap& dest, const ByteMap& map, const StopSource* stop) {
  const size_t rowBytes = size_t(source.Width()) * 3;
  for (int y = 0; y < source.Height(); ++y) {
    MapRow(source.ScanLine(y), dest.ScanLine(y), rowBytes, map.data());
    if (y + 1 < source.Height() && StopRequested(stop)) return false;
  }
  return true;
}

// The products are 64-bit, so amounts far outside their ranges clamp instead of
// overflowing; within the ranges the results are those of 32-bit arithmetic.
ByteMap ContrastMap(int amount) {
  ByteMap map{};
  for (int v = 0; v < 256; ++v) {
    const int64_t d = int64_t(v > 127 ? v - 127 : 127 - v) * amount / 255;
    map[v] = uint8_t(v > 127 ? ClampByte(v + d) : ClampByte(v - d));
  }
  return map;
}

ByteMap BrightnessMap(int amount) {
  ByteMap map{};
  for (int v = 0; v < 256; ++v) map[v] = uint8_t(ClampByte(v + int64_t(255 - v) * amount / 255));
  return map;
}

}  // namespace

void ContrastBitmap(Bitmap& bitmap, int amount) {
  MapBytes(bitmap, bitmap, ContrastMap(amount), nullptr);
}

void BrightnessBitmap(Bitmap& bitmap, int amount) {
  MapBytes(bitmap, bitmap, BrightnessMap(amount), nullptr);
}

void SaturationBitmap(Bitmap& bitmap, int amount) {
  // The new value of a channel v with grey level g: ClampByte(g + ((v - g) x S) div 255),
  // tabled for every g and v. Products are 64-bit, so any amount is safe.
  int64_t spread[511];  // ((v - g) x S) div 255 for v - g = -255..255
  for (int diff = -255; diff <= 255; ++diff) spread[diff + 255] = int64_t(diff) * amount / 255;
  std::vector<uint8_t> table(256 * 256);
  for (int g = 0; g < 256; ++g)
    for (int v = 0; v < 256; ++v)
      table[size_t(g) * 256 + v] = uint8_t(ClampByte(g + spread[v - g + 255]));
  const int w = bitmap.Width();
  const uint8_t* __restrict t = table.data();
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* __restrict p = bitmap.ScanLine(y);
    for (int x = 0; x < w; ++x, p += 3) {
      const unsigned g = (unsigned(p[0]) + p[1] + p[2]) / 3;
      const uint8_t* byGrey = t + g * 256;
      const uint8_t b = byGrey[p[0]], gr = byGrey[p[1]], r = byGrey[p[2]];
      p[0] = b;
      p[1] = gr;
      p[2] = r;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Gamma

GammaTable BuildGammaTable(long double exponent) {
  GammaTable table{};
  if (exponent == 1) {
    for (int i = 0; i < 256; ++i) table[i] = uint8_t(i);
    return table;
  }
  table[0] = 0;
  for (int i = 1; i < 256; ++i) {
    const long double value = std::rint(std::pow(i / 255.0L, exponent) * 255 + 0.5L);
    table[i] = value <= 255 ? uint8_t(value) : 255;  // also catches a NaN exponent
  }
  return table;
}

bool ApplyGammaTable(const Bitmap& source, Bitmap& dest, const StopSource* stop,
                     long double exponent) {
  const GammaTable table = BuildGammaTable(exponent);
  if (&source != &dest && (dest.Width() != source.Width() || dest.Height() != source.Height()))
    dest.SetSize(source.Width(), source.Height());
  return MapBytes(source, dest, table, stop);
}

}  // namespace quorvane
