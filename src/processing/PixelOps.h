#pragma once
// Every computation on pixels: mirror, flip, quarter turns, smooth resize, fitting into a
// box, smooth rotation, contrast, brightness, saturation and gamma correction.
//
// All pictures are 24-bit Bitmaps. Routines that take a stop source look at it at fixed
// points (named below) and return at once when it is set; whatever has not been produced
// by then is left as it was. A null stop source means "run to the end". Those routines
// answer true when they ran to their end and false when a stop cut them short (a stop
// seen after the last row still leaves a finished picture, and answers true).
//
// Integer division is C++ "/" (truncates toward zero); rounding is to the nearest integer
// with ties to even.

#include <array>
#include <cstddef>
#include <cstdint>

#include "imaging/Bitmap.h"
#include "imaging/BitmapTurns.h"
#include "platform/StopSource.h"

namespace quorvane {

constexpr int ClampByte(int64_t value) { return value < 0 ? 0 : value > 255 ? 255 : int(value); }

constexpr int ClampRange(int value, int low, int high) {
  return value > high ? high : value < low ? low : value;
}

// Bilinear resampling of the whole source into the destination, which the caller has
// already sized. Fixed point with 15 fraction bits. Throws BitmapError when either
// picture is empty. Stop check after each destination row.
bool SmoothResize(const Bitmap& source, Bitmap& dest, const StopSource* stop);

// The same over raw rows of 24-bit pixels (no size limit of its own); for pictures held
// outside a Bitmap. Both sizes must be at least 1 x 1.
bool SmoothResizeRows(const uint8_t* source, int sourceWidth, int sourceHeight, size_t sourceStride,
                      uint8_t* dest, int destWidth, int destHeight, size_t destStride,
                      const StopSource* stop);

// Replaces the bitmap by a smooth resize that fits boxWidth x boxHeight with its
// proportions kept (ratios compared in whole per cent). Enlarges as readily as it
// shrinks. Answers false on any failure (empty picture or box, a side that comes out 0,
// no memory); the bitmap is then unchanged.
bool FitBitmap(Bitmap& bitmap, int boxWidth, int boxHeight, const StopSource* stop);

// Rotation about (centreX, centreY) by angleDegrees (positive turns clockwise on the
// screen) with bilinear sampling, into a destination the caller has sized; destination
// pixels whose source lies outside the picture are not written. A destination of another
// size than the source is centred on it. Stop check after each destination pixel.
bool SmoothRotate(const Bitmap& source, Bitmap& dest, int centreX, int centreY,
                  long double angleDegrees, const StopSource* stop);

// In place, on every channel of every pixel.
void ContrastBitmap(Bitmap& bitmap, int amount);    // -255..1023, 0 leaves it alone
void BrightnessBitmap(Bitmap& bitmap, int amount);  // -1023..255, 0 leaves it alone
void SaturationBitmap(Bitmap& bitmap, int amount);  // 0 grey .. 255 unchanged .. 1279

// 256-entry byte map for gamma correction. Each correction builds its own, so previews
// and batches running on different threads never share one.
using GammaTable = std::array<uint8_t, 256>;
GammaTable BuildGammaTable(long double exponent);
// Builds the table for the exponent, then maps every pixel byte of every row through it.
// Source and destination may be the same bitmap; a destination of another size is sized
// to the source first. Stop check after each row.
bool ApplyGammaTable(const Bitmap& source, Bitmap& dest, const StopSource* stop,
                     long double exponent);

}  // namespace quorvane
