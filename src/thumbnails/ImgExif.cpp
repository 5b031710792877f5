#include "thumbnails/ImgExif.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <utility>

#include "imaging/Orient.h"
#include "platform/FileNames.h"

namespace quorvane {

namespace {

bool IsJpegName(const std::string& FileName) {
  const std::string ext = LowerFileExt(FileName);
  return ext == ".jpg" || ext == ".jpeg" || ext == ".jpe";
}

}  // namespace

TThumbExif::TThumbExif(const std::string& FileName, TGetType mode, const ExifOptions& options)
    : mode_(mode) {
  const bool orient = options.AutoOrient && CarriesExifOrientation(FileName);
  useEmbedded_ = options.UseEmbeddedThumbnails && mode != igtNormal && IsJpegName(FileName);
  if (!orient && !useEmbedded_) return;
  if (!ReadExifInfo(FileName, info_)) {
    useEmbedded_ = false;
    return;
  }
  if (orient && info_.orientation != 0) orientation_ = info_.orientation;
}

int TThumbExif::BoxWidth(int Width, int Height) const {
  return OrientationSwapsSides(orientation_) ? Height : Width;
}

int TThumbExif::BoxHeight(int Width, int Height) const {
  return OrientationSwapsSides(orientation_) ? Width : Height;
}

bool TThumbExif::FromEmbedded(Bitmap& out, int& orgWidth, int& orgHeight, int Width, int Height,
                              TJPEGPerformance performance) const {
  if (!useEmbedded_ || info_.thumbnail.empty()) return false;
  const int boxW = BoxWidth(Width, Height), boxH = BoxHeight(Width, Height);
  const int pictureW = info_.pixelWidth, pictureH = info_.pixelHeight;
  Bitmap thumb;
  try {
    const JpegReader reader(info_.thumbnail);
    // The thumbnail's own header decides, whatever the metadata says about it.
    if (!EmbeddedThumbnailServes(mode_, pictureW, pictureH, reader.Width(), reader.Height(), boxW,
                                 boxH))
      return false;
    reader.Decode(thumb, 1, performance);
    if (thumb.Width() != reader.Width() || thumb.Height() != reader.Height()) return false;
    // Exactly the size the decoded picture would get.
    const TFitSize fitted = FitSize(mode_, pictureW, pictureH, boxW, boxH);
    ResizeBitmap(thumb, fitted.Width, fitted.Height);
    if (thumb.Width() != fitted.Width || thumb.Height() != fitted.Height) return false;
    ApplyOrientation(thumb, orientation_);
  } catch (const std::exception&) {
    return false;
  }
  out.Swap(thumb);
  orgWidth = pictureW;
  orgHeight = pictureH;
  if (OrientationSwapsSides(orientation_)) std::swap(orgWidth, orgHeight);
  return true;
}

void TThumbExif::Finish(Bitmap& bitmap, int& orgWidth, int& orgHeight) const {
  if (orientation_ == 1) return;
  ApplyOrientation(bitmap, orientation_);
  if (OrientationSwapsSides(orientation_)) std::swap(orgWidth, orgHeight);
}

}  // namespace quorvane
