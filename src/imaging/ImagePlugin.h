#pragma once
// The image plug-in: one instance may be installed into the thumbnail loader; it is
// asked first about every file and, when it accepts one, reads it instead of any
// built-in reader. The loader does not own it.

#include <string>

#include "imaging/Bitmap.h"
#include "imaging/JpegCodec.h"

namespace quorvane {

class ImagePlugin {
 public:
  virtual ~ImagePlugin() = default;
  // True when the bitmap now holds the picture of the file.
  virtual bool LoadFile(const std::string& FileName, Bitmap& bitmap) = 0;
  // True when this plug-in reads the file.
  virtual bool CanLoad(const std::string& FileName) = 0;

  // Reads the file for a thumbnail box of Width x Height. A plug-in that can decode at
  // a reduced size may hand back a smaller picture, as long as it still covers the box
  // (the loader fits it afterwards); orgWidth / orgHeight get the picture's full size.
  // By default the whole picture through LoadFile.
  virtual bool LoadThumbnail(const std::string& FileName, Bitmap& bitmap, int Width, int Height,
                             JpegPerformance performance, int& orgWidth, int& orgHeight) {
    (void)Width, (void)Height, (void)performance;
    if (!LoadFile(FileName, bitmap)) return false;
    orgWidth = bitmap.Width();
    orgHeight = bitmap.Height();
    return true;
  }
};

}  // namespace quorvane
