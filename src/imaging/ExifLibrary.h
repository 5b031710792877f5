#pragma once
// The metadata library (exiv2), run in the calling process. The metadata helper
// (quorvane-meta) runs these; everyone else goes through ExifMeta.h, which runs them
// in the helper, because the library parses untrusted files.

#include <string>

#include "imaging/ExifMeta.h"

namespace quorvane::local {

// Quiets the library's own messages; once per process before the calls below.
void InitExifLibrary();

// Reads the orientation, stored size and embedded JPEG thumbnail of a file. False when
// the library cannot read the file or it carries no metadata the library knows.
bool ReadExifInfo(const std::string& path, ExifInfo& info);

// Writes the EXIF and ICC profile of `source` into `dest` (see quorvane::CopyMetadata;
// the modification time is not touched here). True when done or when the source has
// neither.
bool CopyMetadata(const std::string& source, const std::string& dest, bool upright);

// The EXIF and ICC profile of `source` for a written picture of `width` x `height` (see
// quorvane::PrepareMetadata). False when the library failed on the source.
bool PrepareMetadata(const std::string& source, int width, int height, bool upright,
                     EmbeddedMetadata& out);

}  // namespace quorvane::local
