#pragma once
// Bitmaps and colours as Qt sees them.

#include <QColor>
#include <QImage>

#include "imaging/Bitmap.h"
#include "imaging/RgbColor.h"

namespace quorvane {

// A Bitmap's pixels, or the part of w x h at (x, y), seen as a QImage without a copy
// (the rows as they are, padding included): valid while the bitmap lives and keeps its
// size. The image of a const Bitmap is read-only; painting on the other writes into the
// bitmap.
QImage BitmapImage(const Bitmap& bitmap);
QImage BitmapImage(Bitmap& bitmap);
QImage BitmapImage(const Bitmap& bitmap, int x, int y, int w, int h);
QImage BitmapImage(Bitmap& bitmap, int x, int y, int w, int h);

QColor ToQColor(RgbColor c);
RgbColor FromQColor(const QColor& c);

}  // namespace quorvane
