#pragma once
// Colour reduction for GIF output: the fixed 216-colour web palette and the dithering
// engines that map a 24-bit picture onto it.
//
// Every engine scans the rows top to bottom, the first row left to right and then in
// alternating directions (serpentine). The error-diffusion engines add the error spread
// to a pixel, clamp each channel to 0..255, look the colour up and spread the difference
// between the clamped value and the chosen palette value, per channel, to the pixels not
// yet visited. Error that falls beyond the left or right edge is dropped.

#include <array>
#include <cstdint>
#include <vector>

#include "imaging/Bitmap.h"

namespace quorvane {

// The engine numbering of the GIF unit. Modes 4 and 5 are not used by this program.
enum class DitherMode : int {
  dmNearest = 0,
  dmFloydSteinberg = 1,
  dmStucki = 2,
  dmSierra = 3,
  dmBurkes = 6,
};

// The dithering choice of the settings (0 "Nearest", 1 "FloydSteinBerg(기본값)",
// 2 "Stucki", 3 "Sierra", 4 "Burkes") as a dither mode; any other value gives
// Floyd–Steinberg, the default.
DitherMode DitherModeFromIndex(int ditherIndex);

// The web palette: entry i * 36 + j * 6 + k (i, j, k in 0..5) is red i * 51,
// green j * 51, blue k * 51.
constexpr int kWebPaletteSize = 216;
using RGBTriple = std::array<uint8_t, 3>;  // red, green, blue
const std::array<RGBTriple, kWebPaletteSize>& WebPalette();

// Arithmetic lookup in the web palette (each channel 0..255): every channel is taken to
// (c + 3) div 51; the index is red * 36 + green * 6 + blue of those steps.
class NetscapeColorLookup {
 public:
  static constexpr int Step(int channel) { return (channel + 3) / 51; }
  static constexpr int Index(int r, int g, int b) { return Step(r) * 36 + Step(g) * 6 + Step(b); }
};

// Reduces a 24-bit picture to web palette indices, width * height bytes, row by row,
// top row first.
std::vector<uint8_t> QuantizeToWebPalette(const Bitmap& bitmap, DitherMode mode);

}  // namespace quorvane
