#pragma once
// Fitting a picture inside a box (--fit, --long-side), with large reductions that do
// not alias: the picture is first averaged down by area to about twice the target,
// then resampled with a Lanczos (a = 3) filter centred on the pixels.

#include <cstdint>

#include "imaging/Bitmap.h"
#include "platform/StopSource.h"
#include "processing/ConvertParams.h"

namespace quorvane {

struct PictureSize {
  int Width = 0;
  int Height = 0;
  bool operator==(const PictureSize&) const = default;
};

// The size a w x h picture gets inside boxWidth x boxHeight with its proportions kept:
// the limiting side takes the box's side, the other is rounded to the nearest pixel
// and is at least 1. With shrinkOnly, a picture that fits already keeps its size.
// Sides of 0 or less give {0, 0}.
PictureSize FitInside(int64_t w, int64_t h, int boxWidth, int boxHeight, bool shrinkOnly);

// Resamples `source` to exactly `dest`'s size (the caller sizes `dest`): an area
// average first while the picture is more than twice the target in a direction, then
// the Lanczos filter, its rows shared among `threads` threads. Answers false when a
// stop cut it short. Throws BitmapError for an empty picture, std::bad_alloc without
// memory.
bool ResampleInto(const Bitmap& source, Bitmap& dest, int threads, const StopSource* stop);

// OpCode 14 (opFit): see ConvertOps.h for the answers and stopping. Resamples with
// params.EncoderThreads threads (0: one per core).
bool FitBitmapInside(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                     bool* interrupted = nullptr);

// The JPEG decode denominator (1, 2, 4 or 8) for a w x h source whose first operation
// is `step`: the largest at which the decoded picture stays at least twice the fitted
// size, whichever way the picture is turned upright. 1 for any other operation.
int FitDecodeScale(int w, int h, const ConvertParams& step);

}  // namespace quorvane
