#pragma once
// The settings the settings dialog edits: the batch's save options and the camera
// picture switches.

namespace quorvane {

struct Settings {
  int JpegQuality = 80;       // 1..100, also of WebP, AVIF and JPEG XL results
  bool Lossless = false;      // WebP and JPEG XL results written without loss
  int DitherIndex = 1;        // 0 Nearest, 1 FloydSteinberg, 2 Stucki, 3 Sierra, 4 Burkes
  bool OverwriteFiles = true;
  // Camera pictures: turned upright by their EXIF orientation; grid thumbnails from a
  // JPEG's own EXIF thumbnail; the batch copies EXIF, colour profile and file time.
  bool AutoOrient = true;
  bool UseEmbeddedThumbnails = true;
  bool KeepMetadata = true;
};

}  // namespace quorvane
