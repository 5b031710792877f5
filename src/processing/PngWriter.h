#pragma once
// PNG files: 8-bit RGB, not interlaced, each row filtered with the filter that leaves
// the smallest sum of absolute differences, the whole picture deflated in one stream.

#include <string>

#include "imaging/Bitmap.h"

namespace quorvane {

// Writes exactly `path` (replacing a file there); throws ImageWriteError (OutputFile.h)
// for an empty picture or a file that cannot be written completely, std::bad_alloc
// when the compressed picture does not fit in memory.
void WritePngFile(const std::string& path, const Bitmap& bmp);

}  // namespace quorvane
