#include "imaging/ReadImage.h"

#include <exception>

#include "imaging/GIFReader.h"
#include "imaging/Orient.h"
#include "imaging/BmpFile.h"
#include "imaging/ExifOptions.h"
#include "platform/FileNames.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureDecoders.h"

namespace quorvane {

bool ReadImageWith(ImageReaderKind reader, const std::string& FileName, Bitmap& bitmap) {
  return ReadImageWith(reader, FileName, bitmap, CodecLoadRequest(), nullptr);
}

bool ReadImageWith(ImageReaderKind reader, const std::string& FileName, Bitmap& bitmap,
                   const CodecLoadRequest& request, CodecLoadResult* result) {
  // Each reader replaces the bitmap only after a complete decode.
  try {
    switch (reader) {
      case ImageReaderKind::Jpeg:
        ReadJpegFile(FileName, bitmap, (request.flags & kCodecLoadForDisplay) != 0);
        break;
      case ImageReaderKind::Gif:
        ReadGifFile(FileName, bitmap);
        break;
      case ImageReaderKind::Bmp:
        ReadBmpFile(FileName, bitmap);
        break;
      case ImageReaderKind::Codec:
        return CodecLoad(FileName, bitmap, request, result);
    }
    if (result) *result = {bitmap.Width(), bitmap.Height(), 0};
    return true;
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

ImageReaderKind ReaderForContents(const std::string& FileName) {
  const ImageFormatInfo* info = FormatInfo(FormatOfFile(FileName));
  return info ? info->reader : ReaderForFile(FileName);
}

namespace {

bool ReadUpright(const std::string& FileName, Bitmap& bitmap, bool autoOrient,
                 const CodecLoadRequest& request) {
  Bitmap picture;
  if (!ReadImageWith(ReaderForContents(FileName), FileName, picture, request, nullptr) ||
      (autoOrient && !OrientAsFile(FileName, picture)))
    return false;
  bitmap.Swap(picture);
  return true;
}

}  // namespace

bool ReadImageFile(const std::string& FileName, Bitmap& bitmap) {
  return ReadImageFile(FileName, bitmap, CurrentExifOptions().AutoOrient);
}

bool ReadImageFile(const std::string& FileName, Bitmap& bitmap, bool autoOrient) {
  return ReadUpright(FileName, bitmap, autoOrient, CodecLoadRequest());
}

bool ReadImageForView(const std::string& FileName, Bitmap& bitmap) {
  CodecLoadRequest request;
  request.flags = kCodecLoadForDisplay;
  const bool autoOrient = CurrentExifOptions().AutoOrient;
  if (ReadUpright(FileName, bitmap, autoOrient, request)) return true;
  Bitmap part;
  if (!ReadTruncatedPicture(FileName, part) || (autoOrient && !OrientAsFile(FileName, part)))
    return false;
  bitmap.Swap(part);
  return true;
}

bool ReadTruncatedPicture(const std::string& FileName, Bitmap& bitmap) {
  try {
    switch (FormatOfFile(FileName)) {
      case PictureFormat::Jpeg: {
        const JpegReader reader = JpegReader::FromFile(FileName);
        Bitmap part;
        reader.Decode(part, 1, JpegPerformance::jpBestQuality, true);
        ConvertToSrgb(part, reader.IccProfile());
        bitmap.Swap(part);
        return true;
      }
      case PictureFormat::Png: {
        CodecLoadRequest request;
        request.flags = kCodecLoadForDisplay | kCodecLoadPartial;
        return CodecLoad(FileName, bitmap, request);
      }
      default:
        return false;
    }
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace quorvane
