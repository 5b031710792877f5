#pragma once
// PNG files: 8-bit RGB, not interlaced, each row filtered with the filter that leaves
// the smallest sum of absolute differences, the whole picture deflated in one stream;
// the source's metadata, when given, in the standard iCCP and eXIf chunks.

#include <string>

#include "imaging/Bitmap.h"
#include "imaging/ExifMeta.h"

namespace quorvane {

// Writes exactly `path` (replacing a file there); throws ImageWriteError (OutputFile.h)
// for an empty picture or a file that cannot be written completely, std::bad_alloc
// when the compressed picture does not fit in memory.
void WritePngFile(const std::string& path, const Bitmap& bmp);
// The same with the source's metadata (none when null).
void WritePngWithMetadata(const std::string& path, const Bitmap& bmp,
                          const EmbeddedMetadata* metadata);

}  // namespace quorvane
