#pragma once
// The settings the settings dialog edits: the batch's save options and the camera
// picture switches; and the grid's thumbnail workers and caches.

#include "platform/CoreCount.h"
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
  // Grid thumbnails: decoded by this many workers at once (1: one file at a time), and
  // kept in the thumbnail cache shared with other programs (~/.cache/thumbnails).
  int ThumbnailThreads = CoreCount();
  bool SharedThumbnailCache = true;
  // With the shared cache: every picture of the folder is made in the background, from
  // the top, after the cells on screen (what is not kept in memory waits in the cache).
  bool LookAhead = true;
  // The viewer's slideshow: seconds per picture (1..60), and "반복" (looping).
  int SlideshowSeconds = 4;
  bool SlideshowLoop = false;
};

// What a batch does with existing output names under these settings.
inline OnExists ExistingChoice(const Settings& settings) {
  if (settings.RenameExisting) return OnExists::Rename;
  return settings.OverwriteFiles ? OnExists::Overwrite : OnExists::Error;
}

}  // namespace quorvane
