#include "imaging/MyImg.h"

#include <exception>

#include "platform/FileNames.h"
#include "imaging/ReadImage.h"
#include "imaging/ImageFormats.h"
#include "imaging/JpegCodec.h"

namespace quorvane {

bool TmyImg::CanLoad(const std::string& FileName) {
  return CodecExtensionIndex(LowerFileExt(FileName)) >= 0;
}

bool TmyImg::LoadFile(const std::string& FileName, Bitmap& bitmap) {
  const int index = CodecExtensionIndex(LowerFileExt(FileName));
  if (index >= 0 && index < CodecOnlyExtensionCount)
    return ReadImageWith(ImageReaderKind::Codec, FileName, bitmap);
  const ImageReaderKind reader = ReaderForFile(FileName);
  // A GIF or BMP file that fails to read leaves the bitmap as it was: a half-read
  // picture is never handed on as a success.
  return ReadImageWith(reader == ImageReaderKind::Codec ? ImageReaderKind::Bmp : reader, FileName,
                       bitmap);
}

bool TmyImg::LoadThumbnail(const std::string& FileName, Bitmap& bitmap, int Width, int Height,
                           TJPEGPerformance performance, int& orgWidth, int& orgHeight) {
  if (ReaderForFile(FileName) != ImageReaderKind::Jpeg)
    return TImgCustom::LoadThumbnail(FileName, bitmap, Width, Height, performance, orgWidth,
                                     orgHeight);
  try {
    const JpegReader reader = JpegReader::FromFile(FileName);
    const int w = reader.Width(), h = reader.Height();
    reader.Decode(bitmap, w == Width && h == Height ? 1 : JpegDecodeScale(w, h, Width, Height),
                  performance);
    orgWidth = w;
    orgHeight = h;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace quorvane
