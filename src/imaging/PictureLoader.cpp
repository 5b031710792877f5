#include "imaging/PictureLoader.h"

#include <exception>

#include "imaging/ImageFormats.h"
#include "imaging/ImgResize.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureDecoders.h"
#include "imaging/ReadImage.h"
#include "platform/FileNames.h"

namespace quorvane {

namespace {

// The row of a file of ours by its contents (its name's when they say nothing); null for
// any other name, which goes to the BMP reader.
const ImageFormatInfo* PluginFormat(const std::string& FileName) {
  if (ImageExtensionIndex(LowerFileExt(FileName)) < 0) return nullptr;
  return FormatInfo(FormatOfFile(FileName));
}

ImageReaderKind PluginReader(const ImageFormatInfo* info) {
  return info ? info->reader : ImageReaderKind::Bmp;
}

CodecLoadRequest ForDisplay() {
  CodecLoadRequest request;
  request.flags = kCodecLoadForDisplay;
  return request;
}

}  // namespace

bool PictureLoader::CanLoad(const std::string& FileName) {
  return ImageExtensionIndex(LowerFileExt(FileName)) >= 0;
}

bool PictureLoader::LoadFile(const std::string& FileName, Bitmap& bitmap) {
  // A file that fails to read leaves the bitmap as it was: a half-read picture is never
  // handed on as a success.
  return ReadImageWith(PluginReader(PluginFormat(FileName)), FileName, bitmap, ForDisplay(),
                       nullptr);
}

bool PictureLoader::LoadThumbnail(const std::string& FileName, Bitmap& bitmap, int Width, int Height,
                           JpegPerformance performance, int& orgWidth, int& orgHeight) {
  const ImageFormatInfo* info = PluginFormat(FileName);
  // The codec helper makes the thumbnails of its formats: from what the file offers, or
  // decoded whole and shrunk there.
  if (info && info->reader == ImageReaderKind::Codec) {
    CodecLoadRequest request = ForDisplay();
    request.flags |= kCodecLoadThumbnail;
    request.boxWidth = Width;
    request.boxHeight = Height;
    request.fitMode = igtPreview;  // what the loader fits the picture with
    CodecLoadResult result;
    if (!ReadImageWith(info->reader, FileName, bitmap, request, &result)) return false;
    orgWidth = result.fullWidth;
    orgHeight = result.fullHeight;
    return true;
  }
  if (!info || info->thumbnail != ThumbnailPath::JpegScaled)
    return ImagePlugin::LoadThumbnail(FileName, bitmap, Width, Height, performance, orgWidth,
                                     orgHeight);
  try {
    const JpegReader jpeg = JpegReader::FromFile(FileName);
    const int w = jpeg.Width(), h = jpeg.Height();
    Bitmap picture;
    jpeg.Decode(picture, w == Width && h == Height ? 1 : JpegDecodeScale(w, h, Width, Height),
                performance);
    ConvertToSrgb(picture, jpeg.IccProfile());
    bitmap.Swap(picture);
    orgWidth = w;
    orgHeight = h;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace quorvane
