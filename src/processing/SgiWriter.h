#pragma once
// SGI image files (".sgi", ".rgb"): 8 bits per channel, three channels (red, green,
// blue), rows bottom first, stored run-length encoded (or verbatim).

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/Bitmap.h"

namespace quorvane {

// Writes exactly `path` (replacing a file there); throws ImageWriteError (OutputFile.h)
// for an empty picture, one wider or higher than 65535, or a file that cannot be
// written completely.
void WriteSgiFile(const std::string& path, const Bitmap& bmp, bool runLength = true);

// Run-length encodes `count` bytes taken `step` bytes apart into `out`, which must hold
// SgiRunLengthBound(count) bytes: packets of up to 127 bytes, a run of one repeated byte
// (count, byte) or a literal stretch (0x80 | count, bytes), and a 0 byte at the end.
// Answers the number of bytes written.
size_t SgiRunLengthEncode(const uint8_t* src, size_t count, size_t step, uint8_t* out);
inline size_t SgiRunLengthBound(size_t count) { return count + (count + 126) / 127 + 1; }

}  // namespace quorvane
