#pragma once
// The BMP step of the thumbnail loader.

#include <string>

#include "shell/Bitmap.h"

namespace quorvane {

// Reads a BMP file into `out`; false when it cannot be read. Until the program's shared
// BMP reader is wired in here, uncompressed files are read through the DIB conversion.
bool LoadBmpForThumbnail(const std::string& path, Bitmap& out);

}  // namespace quorvane
