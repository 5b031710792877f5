#include "imaging/Orient.h"

#include <exception>

#include "imaging/BitmapTurns.h"
#include "imaging/ExifMeta.h"
#include "platform/FileNames.h"

namespace quorvane {

void ApplyOrientation(Bitmap& bitmap, int orientation) {
  if (orientation < 2 || orientation > 8 || bitmap.Empty()) return;
  Bitmap first, second;
  switch (orientation) {
    case 2:
      MirrorBitmap(bitmap, first, nullptr);
      break;
    case 3:
      MirrorBitmap(bitmap, second, nullptr);
      FlipBitmap(second, first, nullptr);
      break;
    case 4:
      FlipBitmap(bitmap, first, nullptr);
      break;
    case 5:  // a clockwise turn, then mirrored: row y becomes column y
      TurnBitmapRight(bitmap, second, nullptr);
      MirrorBitmap(second, first, nullptr);
      break;
    case 6:
      TurnBitmapRight(bitmap, first, nullptr);
      break;
    case 7:  // a clockwise turn, then upside down
      TurnBitmapRight(bitmap, second, nullptr);
      FlipBitmap(second, first, nullptr);
      break;
    case 8:
      TurnBitmapLeft(bitmap, first, nullptr);
      break;
  }
  bitmap.Swap(first);
}

int RemainingOrientation(const std::string& FileName, int orientation) {
  const std::string ext = LowerFileExt(FileName);
  if (ext != ".tif" && ext != ".tiff") return orientation;
  static constexpr int kAfterLibtiff[9] = {1, 1, 1, 1, 1, 5, 7, 5, 7};
  return orientation >= 1 && orientation <= 8 ? kAfterLibtiff[orientation] : orientation;
}

bool ReadsAsStored(const std::string& FileName) {
  for (int orientation = 2; orientation <= 8; ++orientation)
    if (RemainingOrientation(FileName, orientation) != orientation) return false;
  return true;
}

bool OrientAsFile(const std::string& FileName, Bitmap& bitmap) {
  if (bitmap.Empty() || !CarriesExifOrientation(FileName)) return true;
  try {
    ApplyOrientation(bitmap, RemainingOrientation(FileName, ReadExifOrientation(FileName)));
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

}  // namespace quorvane
