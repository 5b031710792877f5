#pragma once
// File readers of the thumbnail loader that need no platform facility.

#include <string>

#include "imaging/Bitmap.h"

namespace quorvane {

// The first lines of a text file for a text preview: at most `maxLines` lines, each cut
// after column `maxColumn` (so maxColumn + 1 characters; a UTF-8 character counts as
// one). The file is read in blocks of 1024 bytes; "\n" ends a line (CR LF is put in the
// text), "\r" is dropped and a zero byte ends its block. False when the file cannot be
// opened.
bool ReadTextPreview(const std::string& path, int maxLines, int maxColumn, std::string& text);

// One frame of an AVI file: the frame at framePos percent (0..100) of the first video
// stream's length, which must be stored uncompressed (BI_RGB or bit fields; 1 to 32
// bits per pixel). A dropped (empty) frame shows the frame before it. False for any
// other file, a compressed stream or damaged data.
bool ReadAviFrame(const std::string& path, int framePos, Bitmap& out);

}  // namespace quorvane
