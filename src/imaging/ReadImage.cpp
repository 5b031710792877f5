#include "imaging/ReadImage.h"

#include <exception>

#include "imaging/GIFReader.h"
#include "imaging/Orient.h"
#include "imaging/BmpFile.h"
#include "imaging/ExifOptions.h"
#include "platform/FileNames.h"
#include "imaging/JpegCodec.h"
#include "imaging/OpenIL.h"

namespace quorvane {

bool ReadImageWith(ImageReaderKind reader, const std::string& FileName, Bitmap& bitmap) {
  // Each reader replaces the bitmap only after a complete decode.
  try {
    switch (reader) {
      case ImageReaderKind::Jpeg:
        ReadJpegFile(FileName, bitmap);
        return true;
      case ImageReaderKind::Gif:
        ReadGifFile(FileName, bitmap);
        return true;
      case ImageReaderKind::Bmp:
        ReadBmpFile(FileName, bitmap);
        return true;
      case ImageReaderKind::Codec:
        return CodecLoad(FileName, bitmap);
    }
  } catch (const std::exception&) {
  }
  return false;
}

ImageReaderKind ReaderForFile(const std::string& FileName) {
  const std::string ext = LowerFileExt(FileName);
  if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe") return ImageReaderKind::Jpeg;
  if (ext == ".gif") return ImageReaderKind::Gif;
  if (ext == ".bmp") return ImageReaderKind::Bmp;
  return ImageReaderKind::Codec;
}

bool ReadImageFile(const std::string& FileName, Bitmap& bitmap) {
  return ReadImageFile(FileName, bitmap, CurrentExifOptions().AutoOrient);
}

bool ReadImageFile(const std::string& FileName, Bitmap& bitmap, bool autoOrient) {
  if (!autoOrient) return ReadImageWith(ReaderForFile(FileName), FileName, bitmap);
  Bitmap picture;
  if (!ReadImageWith(ReaderForFile(FileName), FileName, picture) ||
      !OrientAsFile(FileName, picture))
    return false;
  bitmap.Swap(picture);
  return true;
}

}  // namespace quorvane
