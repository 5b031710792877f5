#pragma once
// The image plug-in: one instance may be installed into the thumbnail loader; it is
// asked first about every file and, when it accepts one, reads it instead of any
// built-in reader. The loader does not own it.

#include <string>

#include "shell/Bitmap.h"

namespace quorvane {

class TImgCustom {
 public:
  virtual ~TImgCustom() = default;
  // True when the bitmap now holds the picture of the file.
  virtual bool LoadFile(const std::string& FileName, Bitmap& bitmap) = 0;
  // True when this plug-in reads the file.
  virtual bool CanLoad(const std::string& FileName) = 0;
};

}  // namespace quorvane
