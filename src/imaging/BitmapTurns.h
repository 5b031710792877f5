#pragma once
// Mirror, flip and quarter turns of a picture. A stop source cuts a routine short at the
// points named below; it then answers false and leaves the rest of the destination white.

#include "imaging/Bitmap.h"
#include "platform/StopSource.h"

namespace quorvane {

// Destination = source mirrored left-right. The destination is sized to the source and
// starts white. Stop check after each row.
bool MirrorBitmap(const Bitmap& source, Bitmap& dest, const StopSource* stop);
// Destination = source upside down. Sized like MirrorBitmap. Stop check after each row.
bool FlipBitmap(const Bitmap& source, Bitmap& dest, const StopSource* stop);
// Destination = source turned 90 degrees clockwise: H wide, W high, starts white.
// Stop check after each source row.
bool TurnBitmapRight(const Bitmap& source, Bitmap& dest, const StopSource* stop);
// Destination = source turned 90 degrees counter-clockwise. Stop check after each source row.
bool TurnBitmapLeft(const Bitmap& source, Bitmap& dest, const StopSource* stop);

}  // namespace quorvane
