#pragma once
// Reading an image file into a bitmap: JPEG, GIF and BMP through the built-in
// readers, everything else through the codec library.

#include <string>

#include "imaging/Bitmap.h"

namespace quorvane {

enum class ImageReaderKind { Codec, Jpeg, Gif, Bmp };

// Runs one reader on a file. True when the bitmap now holds the picture; on any
// failure it answers false and leaves the bitmap unchanged.
bool ReadImageWith(ImageReaderKind reader, const std::string& FileName, Bitmap& bitmap);

// The reader for a file by its lower-cased extension: ".jpg", ".jpeg", ".jpe" JPEG,
// ".gif" GIF, ".bmp" BMP, anything else (listed or not) the codec library.
ImageReaderKind ReaderForFile(const std::string& FileName);

// Reads the file into the bitmap with the reader its extension calls for (24 bits,
// B, G, R, top row first). True on success; on failure false with the bitmap
// unchanged. The codec library must be bound and initialised for the codec path; it
// is not thread-safe (see OpenIL.h).
// A JPEG or TIFF picture is turned upright by its EXIF orientation when `autoOrient`
// is set; without it, when the program's AutoOrient switch is on (ExifOptions.h).
bool ReadImageFile(const std::string& FileName, Bitmap& bitmap);
bool ReadImageFile(const std::string& FileName, Bitmap& bitmap, bool autoOrient);

}  // namespace quorvane
