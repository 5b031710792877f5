#pragma once
// A small camera RAW file for tests: a DNG holding a Bayer (RGGB) mosaic of a picture,
// 16 bits a sample, and optionally the camera's JPEG preview of it.

#include <string>

#include "imaging/Bitmap.h"

namespace quorvane::test {

// Writes `picture` as the mosaic (each sample the picture's channel at that place, times
// 257). `preview`, when not empty, is stored as a JPEG preview in the first IFD.
// `orientation` (1..8) is the TIFF Orientation tag that the camera's flip comes from.
void WriteDng(const std::string& path, const Bitmap& picture, const Bitmap& preview,
              int orientation = 1);

}  // namespace quorvane::test
