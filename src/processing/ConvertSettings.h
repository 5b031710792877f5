#pragma once
// The settings the settings dialog edits: the batch's save options and the camera
// picture switches; and the grid's thumbnail workers and caches.

#include <thread>

namespace quorvane {

struct Settings {
  int JpegQuality = 80;       // 1..100
  int DitherIndex = 1;        // 0 Nearest, 1 FloydSteinberg, 2 Stucki, 3 Sierra, 4 Burkes
  bool OverwriteFiles = true;
  // Camera pictures: turned upright by their EXIF orientation; grid thumbnails from a
  // JPEG's own EXIF thumbnail; the batch copies EXIF, colour profile and file time.
  bool AutoOrient = true;
  bool UseEmbeddedThumbnails = true;
  bool KeepMetadata = true;
  // Grid thumbnails: decoded by this many workers at once (1: one file at a time), and
  // kept in the thumbnail cache shared with other programs (~/.cache/thumbnails).
  int ThumbnailThreads = int(std::thread::hardware_concurrency() ? std::thread::hardware_concurrency() : 1);
  bool SharedThumbnailCache = true;
};

}  // namespace quorvane
