#pragma once
// Pictures with an alpha channel are shown over white, as transparent GIF pixels are:
// every reader composites the same way, so thumbnails, previews, the viewer and the
// batch agree.

#include <cstddef>
#include <cstdint>

namespace quorvane {

// One channel over white, rounded to the nearest value.
constexpr uint8_t OverWhite(uint8_t value, uint8_t alpha) {
  return uint8_t((unsigned(value) * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

// B, G, R, A pixels (4 bytes each) into B, G, R pixels (3 bytes each) over white.
// `in` and `out` may start at the same address.
inline void BgraRowOverWhite(const uint8_t* in, uint8_t* out, size_t pixels) {
  for (size_t x = 0; x < pixels; ++x, in += 4, out += 3) {
    const uint8_t b = in[0], g = in[1], r = in[2], a = in[3];
    out[0] = OverWhite(b, a);
    out[1] = OverWhite(g, a);
    out[2] = OverWhite(r, a);
  }
}

// An alpha channel whose every value is 0 was never meant as one (writers that leave
// the fourth byte unused): such a picture is opaque.
inline bool AlphaAllZero(const uint8_t* bgra, size_t pixels) {
  for (size_t x = 0; x < pixels; ++x)
    if (bgra[x * 4 + 3] != 0) return false;
  return true;
}

}  // namespace quorvane
