// The program's own readers, pixel operations and writers behind the batch engine.

#include "imaging/ImageFormats.h"
#include "imaging/JpegCodec.h"
#include "imaging/ReadImage.h"
#include "platform/FileNames.h"
#include "processing/ConvertEngine.h"
#include "processing/ConvertOps.h"
#include "processing/FitResize.h"
#include "processing/GIFImage.h"
#include "processing/OutputFile.h"
#include "processing/PngWriter.h"
#include "processing/SgiWriter.h"
#include "processing/UncompressedWriters.h"

namespace quorvane {

bool ConvertIO::ReadImage(const std::string& path, Bitmap& bitmap) {
  return ReadImageFile(path, bitmap, false);  // the engine orients by its parameters
}

bool ConvertIO::ReadImageFor(const std::string& path, Bitmap& bitmap, const ConvertParams& step) {
  if (step.OpCode != opFit || FormatOfFile(path) != PictureFormat::Jpeg)
    return ReadImage(path, bitmap);
  try {
    const JpegReader reader = JpegReader::FromFile(path);
    reader.Decode(bitmap, FitDecodeScale(reader.Width(), reader.Height(), step));
    return true;
  } catch (const std::exception&) {
    return ReadImage(path, bitmap);
  }
}

bool ConvertIO::RunStep(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                        const std::function<void(int)>& pause, bool* interrupted) {
  return RunOperation(bitmap, params, stop, pause, interrupted);
}

// The formats whose files the program writes itself; whatever else the codec library
// would pick from an extension still goes to the codec library.
bool ConvertIO::CodecSave(const std::string& path, const Bitmap& bitmap,
                          const CodecSaveRequest& request) {
  if (request.byExtension) {
    if (request.jpegQuality >= 0 && LowerFileExt(path) == ".jpg") {
      // The codec library's JPEG saver is libjpeg with its defaults at this quality
      // (0..99; libjpeg reads 0 as 1): the same file, without the trip to the helper.
      const std::vector<uint8_t> bytes = EncodeJpeg(bitmap, request.jpegQuality);
      OutputFile file(path);
      file.Write(bytes.data(), bytes.size());
      file.Close();
      return true;
    }
  } else {
    switch (request.type) {
      case kCodecTypePng:
        WritePngWithMetadata(path, bitmap, embedded_);
        return true;
      case kCodecTypeTif:
        WriteTiffFile(path, bitmap);
        return true;
      case kCodecTypePnm:
        WritePnmFile(path, bitmap);
        return true;
      case kCodecTypeTga:
        WriteTgaFile(path, bitmap);
        return true;
      case kCodecTypeSgi:
        WriteSgiFile(path, bitmap, request.sgiRle > 0);
        return true;
      default:
        break;
    }
  }
  return quorvane::CodecSave(path, bitmap, request);
}

bool ConvertIO::WriteEncoded(const std::string& path, const Bitmap& bitmap,
                             const EncodeOptions& options) {
  const std::string ext = LowerFileExt(path);
  if (ext == ".webp")
    WriteWebpFile(path, bitmap, options);
  else if (ext == ".avif")
    WriteAvifFile(path, bitmap, options);
  else if (ext == ".jxl")
    WriteJxlFile(path, bitmap, options);
  else
    return false;
  return true;
}

bool ConvertIO::WriteBmp(const std::string& path, const Bitmap& bitmap) {
  WriteBmpStreamed(path, bitmap);
  return true;
}

bool ConvertIO::WriteGif(const std::string& path, const Bitmap& bitmap, int ditherIndex) {
  SaveGIF(bitmap, path, DitherModeFromIndex(ditherIndex), gcRLE);
  return true;
}

}  // namespace quorvane
