#pragma once
// Colours as 32-bit values 0x00BBGGRR: red in the low byte, white 0xFFFFFF.

#include <cstdint>

namespace quorvane {

using RgbColor = uint32_t;

constexpr RgbColor clBlack = 0x000000;
constexpr RgbColor clWhite = 0xFFFFFF;
constexpr RgbColor clRed = 0x0000FF;
constexpr RgbColor clLime = 0x00FF00;
constexpr RgbColor clBlue = 0xFF0000;
constexpr RgbColor clYellow = 0x00FFFF;

constexpr uint8_t GetRValue(RgbColor c) { return uint8_t(c & 0xFF); }
constexpr uint8_t GetGValue(RgbColor c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t GetBValue(RgbColor c) { return uint8_t((c >> 16) & 0xFF); }
constexpr RgbColor RGB(uint8_t r, uint8_t g, uint8_t b) {
  return RgbColor(r) | (RgbColor(g) << 8) | (RgbColor(b) << 16);
}

}  // namespace quorvane
