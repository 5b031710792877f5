#pragma once
// Reading an image file into a bitmap: JPEG, GIF and BMP through the built-in
// readers, everything else through the codec helper (the codec library and the
// decoders of the newer formats, see PictureDecoders.h). The file's contents pick the
// reader; its name only when its first bytes are no known picture's.

#include <string>

#include "imaging/Bitmap.h"
#include "imaging/ImageFormats.h"
#include "imaging/OpenIL.h"

namespace quorvane {

// Runs one reader on a file. True when the bitmap now holds the picture; on any
// failure it answers false and leaves the bitmap unchanged.
bool ReadImageWith(ImageReaderKind reader, const std::string& FileName, Bitmap& bitmap);
// The same with a request for the codec helper (display colour, thumbnail box), which
// the built-in readers take as far as it concerns them (display colour); `result` (may
// be null) gets the picture's full size.
bool ReadImageWith(ImageReaderKind reader, const std::string& FileName, Bitmap& bitmap,
                   const CodecLoadRequest& request, CodecLoadResult* result);

// The reader for a file by its lower-cased extension: ".jpg", ".jpeg", ".jpe" JPEG,
// ".gif" GIF, ".bmp" BMP, anything else (listed or not) the codec library.
ImageReaderKind ReaderForFile(const std::string& FileName);
// The reader for a file by its contents (FormatOfFile); by its name when they say
// nothing.
ImageReaderKind ReaderForContents(const std::string& FileName);

// Reads the file into the bitmap with the reader its contents call for (24 bits,
// B, G, R, top row first). True on success; on failure false with the bitmap
// unchanged. The codec library must be bound and initialised for the codec path; it
// is not thread-safe (see OpenIL.h).
// A JPEG or TIFF picture is turned upright by its EXIF orientation when `autoOrient`
// is set; without it, when the program's AutoOrient switch is on (ExifOptions.h).
// The colours are the file's own (no colour profile is applied).
bool ReadImageFile(const std::string& FileName, Bitmap& bitmap);
bool ReadImageFile(const std::string& FileName, Bitmap& bitmap, bool autoOrient);

// Reads a picture to be shown (the viewer, the operation previews): as ReadImageFile,
// a picture with a colour profile converted to sRGB, and of a JPEG or PNG file that
// ends early the part that could be read (ReadTruncatedPicture).
bool ReadImageForView(const std::string& FileName, Bitmap& bitmap);

// The readable part of a JPEG or PNG file that ends early (an interrupted copy or
// download), the rest grey, colours for the screen: for showing only, never for the
// batch. False, with the bitmap unchanged, for any other file or when not even the
// picture's header can be read.
bool ReadTruncatedPicture(const std::string& FileName, Bitmap& bitmap);

}  // namespace quorvane
