#pragma once
// Little-endian fields of file formats (BMP, DIB, RIFF) and of our helpers' replies.

#include <cstdint>

namespace quorvane {

inline uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace quorvane
