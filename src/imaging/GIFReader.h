#pragma once
// The reading side of the GIF unit: the first picture of a GIF file as one bitmap.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "imaging/Bitmap.h"

namespace quorvane {

class GifReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decodes the first frame of a GIF stream held in memory and composes it on the
// file's logical screen: screen areas the frame does not cover and transparent pixels
// are white; a frame reaching outside the screen is clipped; a screen of size zero
// takes the frame's extent. Interlaced frames and local or global colour maps are
// read; colour indices beyond the map are black. Only the first frame is decoded.
// Throws GifReadError for anything it cannot decode (no colour map, no frame, corrupt
// or truncated data before the first frame is complete, a size beyond Bitmap's
// limits); `out` is only replaced on success.
void DecodeGif(const uint8_t* data, size_t size, Bitmap& out);
// Reads and decodes a whole file; throws GifReadError.
void ReadGifFile(const std::string& path, Bitmap& out);

}  // namespace quorvane
