#include "imaging/ui/QtBitmap.h"

namespace quorvane {

QImage BitmapImage(const Bitmap& bitmap, int x, int y, int w, int h) {
  return QImage(bitmap.Bits() + size_t(y) * bitmap.Stride() + size_t(x) * 3, w, h,
                qsizetype(bitmap.Stride()), QImage::Format_BGR888);
}

QImage BitmapImage(Bitmap& bitmap, int x, int y, int w, int h) {
  return QImage(bitmap.Bits() + size_t(y) * bitmap.Stride() + size_t(x) * 3, w, h,
                qsizetype(bitmap.Stride()), QImage::Format_BGR888);
}

QImage BitmapImage(const Bitmap& bitmap) {
  return BitmapImage(bitmap, 0, 0, bitmap.Width(), bitmap.Height());
}

QImage BitmapImage(Bitmap& bitmap) {
  return BitmapImage(bitmap, 0, 0, bitmap.Width(), bitmap.Height());
}

QColor ToQColor(RgbColor c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

RgbColor FromQColor(const QColor& c) {
  return RGB(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()));
}

}  // namespace quorvane
