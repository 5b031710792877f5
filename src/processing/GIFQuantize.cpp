#include "processing/GIFQuantize.h"

#include <algorithm>
#include <cstring>

namespace quorvane {

DitherMode DitherModeFromIndex(int ditherIndex) {
  switch (ditherIndex) {
    case 0:
      return DitherMode::dmNearest;
    case 1:
      return DitherMode::dmFloydSteinberg;
    case 2:
      return DitherMode::dmStucki;
    case 3:
      return DitherMode::dmSierra;
    case 4:
      return DitherMode::dmBurkes;
    default:
      return DitherMode::dmFloydSteinberg;
  }
}

const std::array<RGBTriple, kWebPaletteSize>& WebPalette() {
  static const std::array<RGBTriple, kWebPaletteSize> palette = [] {
    std::array<RGBTriple, kWebPaletteSize> p{};
    for (int i = 0; i < 6; ++i)
      for (int j = 0; j < 6; ++j)
        for (int k = 0; k < 6; ++k)
          p[size_t(i * 36 + j * 6 + k)] = {uint8_t(i * 51), uint8_t(j * 51), uint8_t(k * 51)};
    return p;
  }();
  return palette;
}

namespace {

// Palette step of every channel value, so that the inner loops need no division.
struct StepTable {
  uint8_t step[256];
  constexpr StepTable() : step() {
    for (int v = 0; v < 256; ++v) step[v] = uint8_t(NetscapeColorLookup::Step(v));
  }
};
constexpr StepTable kSteps;

// Error-diffusion weights. Row 0 is the row being scanned, rows 1 and 2 the rows below;
// column k + 2 holds the weight at offset k * d, d being the scan direction.
struct FloydSteinbergDitherer {
  static constexpr int kDivisor = 16;
  static constexpr int kRows = 2;
  static constexpr int kWeights[3][5] = {{0, 0, 0, 7, 0}, {0, 3, 5, 1, 0}, {0, 0, 0, 0, 0}};
};

// The 5-by-3 engines spread error over the row being scanned and the two rows below.
struct StuckiDitherer {
  static constexpr int kDivisor = 42;
  static constexpr int kRows = 3;
  static constexpr int kWeights[3][5] = {{0, 0, 0, 8, 4}, {2, 4, 8, 4, 2}, {1, 2, 4, 2, 1}};
};

struct SierraDitherer {
  static constexpr int kDivisor = 32;
  static constexpr int kRows = 3;
  static constexpr int kWeights[3][5] = {{0, 0, 0, 5, 3}, {2, 4, 5, 4, 2}, {0, 2, 3, 2, 0}};
};

struct BurkesDitherer {
  static constexpr int kDivisor = 32;
  static constexpr int kRows = 2;
  static constexpr int kWeights[3][5] = {{0, 0, 0, 8, 4}, {2, 4, 8, 4, 2}, {0, 0, 0, 0, 0}};
};

// Error rows carry two unused entries on either side, so that error spread beyond the
// edges lands there and is never read back.
constexpr int kEdge = 2;

// One row of an error-diffusion engine in scan direction D (+1 or -1). src holds the row's
// B, G, R bytes, dst receives its palette indices, rows[r] the error rows (3 ints a pixel).
// Error for the next two pixels of the row itself travels in registers (ahead1, ahead2)
// rather than through rows[0], which keeps memory off the pixel-to-pixel dependency.
template <class Engine, int D>
void DiffuseRow(const uint8_t* src, uint8_t* dst, int* const* errorRows, int width) {
  // Local copies: the byte stores to dst could otherwise alias the row pointers.
  int* rows[3] = {errorRows[0], Engine::kRows > 1 ? errorRows[1] : nullptr,
                  Engine::kRows > 2 ? errorRows[2] : nullptr};
  constexpr int kDiv = Engine::kDivisor;
  constexpr int kNext = Engine::kWeights[0][3];
  constexpr int kAfterNext = Engine::kWeights[0][4];
  static_assert(
      Engine::kWeights[0][0] == 0 && Engine::kWeights[0][1] == 0 && Engine::kWeights[0][2] == 0,
      "the row being scanned only takes error ahead");
  int ahead1[3] = {0, 0, 0};
  int ahead2[3] = {0, 0, 0};
  int x = D > 0 ? 0 : width - 1;
  for (int i = 0; i < width; ++i, x += D) {
    const uint8_t* s = src + size_t(x) * 3;
    const int slot = (x + kEdge) * 3;
    int steps[3];
    for (int c = 0; c < 3; ++c) {
      const int acc = rows[0][slot + c] + ahead1[c];
      int v = s[c] + (acc + kDiv / 2) / kDiv;
      v = std::clamp(v, 0, 255);
      const int step = kSteps.step[v];
      steps[c] = step;
      const int e = v - step * 51;
      ahead1[c] = ahead2[c] + kNext * e;
      ahead2[c] = kAfterNext * e;
      for (int r = 1; r < Engine::kRows; ++r)
        for (int k = -2; k <= 2; ++k) {
          const int w = Engine::kWeights[r][k + 2];
          if (w != 0) rows[r][slot + k * D * 3 + c] += w * e;
        }
    }
    // Bytes are B, G, R; the index is red * 36 + green * 6 + blue.
    dst[x] = uint8_t(steps[2] * 36 + steps[1] * 6 + steps[0]);
  }
}

template <class Engine>
void Diffuse(const Bitmap& bitmap, uint8_t* out) {
  const int width = bitmap.Width();
  const size_t rowInts = size_t(width + 2 * kEdge) * 3;
  std::vector<int> buffer(rowInts * Engine::kRows, 0);
  int* rows[Engine::kRows];
  for (int r = 0; r < Engine::kRows; ++r) rows[r] = buffer.data() + size_t(r) * rowInts;
  for (int y = 0; y < bitmap.Height(); ++y) {
    if (y > 0) {
      // The rows move up by one; the new last row starts at zero.
      int* first = rows[0];
      for (int r = 0; r + 1 < Engine::kRows; ++r) rows[r] = rows[r + 1];
      rows[Engine::kRows - 1] = first;
      std::memset(first, 0, rowInts * sizeof(int));
    }
    uint8_t* dst = out + size_t(y) * size_t(width);
    if (y % 2 == 0)
      DiffuseRow<Engine, 1>(bitmap.ScanLine(y), dst, rows, width);
    else
      DiffuseRow<Engine, -1>(bitmap.ScanLine(y), dst, rows, width);
  }
}

// DitherEngine without diffusion: plain lookup of every pixel.
void Nearest(const Bitmap& bitmap, uint8_t* out) {
  const int width = bitmap.Width();
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* s = bitmap.ScanLine(y);
    uint8_t* dst = out + size_t(y) * size_t(width);
    for (int x = 0; x < width; ++x, s += 3)
      dst[x] = uint8_t(kSteps.step[s[2]] * 36 + kSteps.step[s[1]] * 6 + kSteps.step[s[0]]);
  }
}

}  // namespace

std::vector<uint8_t> QuantizeToWebPalette(const Bitmap& bitmap, DitherMode mode) {
  std::vector<uint8_t> out(size_t(bitmap.Width()) * size_t(bitmap.Height()));
  if (out.empty()) return out;
  switch (mode) {
    case DitherMode::dmNearest:
      Nearest(bitmap, out.data());
      break;
    case DitherMode::dmStucki:
      Diffuse<StuckiDitherer>(bitmap, out.data());
      break;
    case DitherMode::dmSierra:
      Diffuse<SierraDitherer>(bitmap, out.data());
      break;
    case DitherMode::dmBurkes:
      Diffuse<BurkesDitherer>(bitmap, out.data());
      break;
    case DitherMode::dmFloydSteinberg:
    default:
      Diffuse<FloydSteinbergDitherer>(bitmap, out.data());
      break;
  }
  return out;
}

}  // namespace quorvane
