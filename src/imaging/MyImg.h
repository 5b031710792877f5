#pragma once
// The codec-library image plug-in that the thumbnail loader asks first about every
// file: it accepts the 19 image extensions and reads them like ReadImageFile.

#include <string>

#include "imaging/ImgCustom.h"

namespace quorvane {

class TmyImg : public TImgCustom {
 public:
  // True for the 19 image extensions (compared lower-cased).
  bool CanLoad(const std::string& FileName) override;
  // The 14 codec-only extensions through the codec library, ".jpg", ".jpeg", ".jpe"
  // through the JPEG reader, ".gif" through the GIF reader, anything else through the
  // BMP reader. On failure false, with the bitmap unchanged.
  bool LoadFile(const std::string& FileName, Bitmap& bitmap) override;
  // JPEG files are decoded at the smallest of 1/8, 1/4, 1/2 that still covers the box;
  // every other file as LoadFile.
  bool LoadThumbnail(const std::string& FileName, Bitmap& bitmap, int Width, int Height,
                     TJPEGPerformance performance, int& orgWidth, int& orgHeight) override;
};

}  // namespace quorvane
