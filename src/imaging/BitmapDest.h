#pragma once
// How the pixel routines prepare the picture they write into.

#include "imaging/Bitmap.h"
#include "platform/StopSource.h"

namespace quorvane {

// Sizes a routine's own destination. A newly sized picture is white; when nothing can
// interrupt the routine every pixel gets written, so the fill is skipped.
inline void PrepareDest(Bitmap& dest, int width, int height, const StopSource* stop) {
  dest.SetSize(width, height);
  if (stop) dest.Fill(clWhite);
}

// Runs `body` with a source that is not the destination: when the caller passes the same
// bitmap twice, the routine reads from a copy.
template <typename Body>
bool WithDistinctSource(const Bitmap& source, Bitmap& dest, Body body) {
  if (&source == &dest) {
    const Bitmap copy(source);
    return body(copy);
  }
  return body(source);
}

}  // namespace quorvane
