// The program's own readers, pixel operations and writers behind the batch engine.

#include "processing/ConvertEngine.h"
#include "processing/ConvertOps.h"
#include "processing/GIFImage.h"
#include "shell/BmpFile.h"
#include "shell/ReadImage.h"

namespace quorvane {

bool ConvertIO::ReadImage(const std::string& path, Bitmap& bitmap) {
  return ReadImageFile(path, bitmap, false);  // the engine orients by its parameters
}

bool ConvertIO::RunStep(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                        const std::function<void(int)>& pause, bool* interrupted) {
  return RunOperation(bitmap, params, stop, pause, interrupted);
}

bool ConvertIO::CodecSave(const std::string& path, const Bitmap& bitmap,
                          const CodecSaveRequest& request) {
  return quorvane::CodecSave(path, bitmap, request);
}

bool ConvertIO::WriteBmp(const std::string& path, const Bitmap& bitmap) {
  WriteBmpFile(path, bitmap);
  return true;
}

bool ConvertIO::WriteGif(const std::string& path, const Bitmap& bitmap, int ditherIndex) {
  SaveGIF(bitmap, path, DitherModeFromIndex(ditherIndex), gcRLE);
  return true;
}

}  // namespace quorvane
