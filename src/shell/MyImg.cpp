#include "shell/MyImg.h"

#include "shell/FileNames.h"
#include "shell/ReadImage.h"
#include "shell/Settings.h"

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

}  // namespace quorvane
