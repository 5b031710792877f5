#pragma once
// Turning a picture upright by its EXIF orientation (1..8): the mirror, flip and
// quarter turns that undo how the camera stored it.

#include <string>

#include "imaging/Bitmap.h"

namespace quorvane {

// True for the orientations that swap width and height (5..8).
constexpr bool OrientationSwapsSides(int orientation) {
  return orientation >= 5 && orientation <= 8;
}

// Replaces the bitmap by its upright form:
//   1 as stored, 2 mirrored left-right, 3 turned 180 degrees, 4 upside down,
//   5 mirrored across the main diagonal, 6 turned 90 degrees clockwise,
//   7 mirrored across the other diagonal, 8 turned 90 degrees counter-clockwise.
// Any other value and an empty bitmap leave it alone. Throws BitmapError when the new
// picture cannot be allocated; the bitmap is then unchanged.
void ApplyOrientation(Bitmap& bitmap, int orientation);

// What remains of `orientation` to apply to the picture the program's reader gives for
// `FileName`. The codec library reads TIFF files through libtiff's RGBA interface, which
// applies the mirror part of an orientation itself (2, 3, 4 fully; 5..8 as 1..4), so a
// TIFF picture still needs 5 or 7 for 5..8 and nothing for 2..4. Other files: all.
int RemainingOrientation(const std::string& FileName, int orientation);

// False for files whose reader turns the picture by part of its orientation (see
// RemainingOrientation): their pixels as stored cannot be had, only upright ones.
bool ReadsAsStored(const std::string& FileName);

// Turns the picture just read from `FileName` upright by the file's EXIF orientation
// (JPEG and TIFF files; see ExifMeta.h). False, with the bitmap unchanged, when the
// turned picture cannot be allocated.
bool OrientAsFile(const std::string& FileName, Bitmap& bitmap);

}  // namespace quorvane
