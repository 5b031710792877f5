#pragma once
// The image plug-in that the thumbnail loader asks first about every file: it accepts
// every extension of the picture format table and reads the file with the reader its
// contents call for, colours converted to sRGB for the screen.

#include <string>

#include "imaging/ImagePlugin.h"

namespace quorvane {

class PictureLoader : public ImagePlugin {
 public:
  // True for the extensions of the picture format table (compared lower-cased).
  bool CanLoad(const std::string& FileName) override;
  // A file named as one of ours through the reader its contents call for (its name's
  // when they say nothing); any other name through the BMP reader. On failure false,
  // with the bitmap unchanged.
  bool LoadFile(const std::string& FileName, Bitmap& bitmap) override;
  // JPEG files are decoded at the smallest of 1/8, 1/4, 1/2 that still covers the box;
  // files of the codec helper may come from a thumbnail or preview stored in them, or
  // a scaled decode (see kCodecLoadThumbnail); every other file as LoadFile.
  bool LoadThumbnail(const std::string& FileName, Bitmap& bitmap, int Width, int Height,
                     JpegPerformance performance, int& orgWidth, int& orgHeight) override;
};

}  // namespace quorvane
