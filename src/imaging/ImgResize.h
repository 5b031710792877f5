#pragma once
// Resampling and box fitting of the thumbnail loader (also used by the picture store and
// the list view).

#include "imaging/Bitmap.h"

namespace quorvane {

// How a decoded picture is fitted into the thumbnail box.
enum FitKind {
  igtNormal,   // no scaling: the picture keeps its own size
  igtPreview,  // shrink to fit the box keeping the aspect ratio; never enlarge
  igtStretch,  // also enlarge a picture smaller than the box in both directions
  igtFit,      // exactly the box, ignoring the aspect ratio
};

struct FittedSize {
  int Width = 0;
  int Height = 0;
};

// The size a w x h picture gets in a Width x Height box under `mode`. The aspect
// quotients are exact integer quotients (Width * h div w, Height * w div h), so whole
// ratios come out whole. A side that would become 0 is kept at 1.
FittedSize FitSize(FitKind mode, int w, int h, int Width, int Height);

// Resamples `bitmap` in place to exactly Width x Height: horizontal pass first, then
// vertical, each only when its size changes. Enlarging uses four-tap cubic Lagrange
// weights (20 fraction bits), shrinking an area average (18-bit coverage, 22-bit
// reciprocal). A size of 0 or less in either direction leaves an empty bitmap.
void ResizeBitmap(Bitmap& bitmap, int Width, int Height);

// True when an embedded thumbnail of thumbW x thumbH may stand for a picture stored as
// pictureW x pictureH in a boxW x boxH box (both as stored): it covers the size the
// picture gets in the box (never enlarged) and has the picture's proportions within
// one pixel at its own size. Never with igtNormal.
bool EmbeddedThumbnailServes(FitKind mode, int pictureW, int pictureH, int thumbW, int thumbH,
                             int boxW, int boxH);

// Fits `bitmap` into the box by FitSize and ResizeBitmap (igtNormal: nothing).
void FitBitmapToBox(Bitmap& bitmap, FitKind mode, int Width, int Height);

}  // namespace quorvane
