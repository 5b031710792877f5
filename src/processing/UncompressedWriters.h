#pragma once
// Writers of the uncompressed 24-bit target formats. Each writes exactly `path`
// (replacing a file there) and throws ImageWriteError (OutputFile.h) when the picture is
// empty, too large for the format, or the file cannot be written completely.

#include <string>

#include "imaging/Bitmap.h"

namespace quorvane {

// Baseline TIFF, little-endian: 8-bit RGB, uncompressed, chunky, in strips, top row
// first, 72 pixels per inch.
void WriteTiffFile(const std::string& path, const Bitmap& bmp);
// Binary PPM ("P6", maximum value 255), top row first.
void WritePnmFile(const std::string& path, const Bitmap& bmp);
// Windows bitmap: the bytes of EncodeBmp (shell/BmpFile.h), rows streamed to the file
// instead of gathered in memory first (a whole-file buffer costs more in page faults
// than the rest of the writing).
void WriteBmpStreamed(const std::string& path, const Bitmap& bmp);
// Truevision TGA: uncompressed true colour, 24 bits, bottom row first, origin (0, 0),
// no image ID, with the version 2 file footer.
void WriteTgaFile(const std::string& path, const Bitmap& bmp);

}  // namespace quorvane
