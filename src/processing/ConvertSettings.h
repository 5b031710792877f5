#pragma once
// The settings the settings dialog edits: the batch's save options and the camera
// picture switches.

#include "processing/ConvertParams.h"

namespace quorvane {

struct Settings {
  int JpegQuality = 80;       // 1..100, also of WebP, AVIF and JPEG XL results
  bool Lossless = false;      // WebP and JPEG XL results written without loss
  int DitherIndex = 1;        // 0 Nearest, 1 FloydSteinberg, 2 Stucki, 3 Sierra, 4 Burkes
  bool OverwriteFiles = true;
  // "새 이름으로 저장": a result whose name exists takes a free name ("photo (1).png");
  // OverwriteFiles then has no say.
  bool RenameExisting = false;
  // Camera pictures: turned upright by their EXIF orientation; grid thumbnails from a
  // JPEG's own EXIF thumbnail; the batch copies EXIF, colour profile and file time.
  bool AutoOrient = true;
  bool UseEmbeddedThumbnails = true;
  bool KeepMetadata = true;
};

// What a batch does with existing output names under these settings.
inline OnExists ExistingChoice(const Settings& settings) {
  if (settings.RenameExisting) return OnExists::Rename;
  return settings.OverwriteFiles ? OnExists::Overwrite : OnExists::Error;
}

}  // namespace quorvane
