#pragma once
// Process-wide settings and values, held in memory only; every start begins with the
// defaults.

#include <array>
#include <atomic>
#include <string>
#include <string_view>

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
};

// The extensions the program treats as images, in this order; the first
// CodecOnlyExtensionCount are read only by the codec library, the last five by the
// built-in JPEG, BMP and GIF readers.
inline constexpr int CodecExtensionCount = 19;
inline constexpr int CodecOnlyExtensionCount = CodecExtensionCount - 5;
inline constexpr std::array<std::string_view, CodecExtensionCount> CodecExtensions = {
    ".pnm", ".cut", ".dds", ".mng", ".pcd", ".pcx", ".png", ".tga", ".tif", ".tiff",
    ".sgi", ".bw",  ".rgb", ".rgba", ".jpe", ".jpeg", ".jpg", ".bmp", ".gif"};

// Index in CodecExtensions of a lower-case extension with its dot, or -1.
int CodecExtensionIndex(std::string_view lowerExt);

// The program's process-wide state. The main window owns it: it sets the defaults at
// start, the settings dialog edits them, batches copy them. Core code takes values
// through its parameters and never reads this.
struct AppState {
  Settings settings;
  std::atomic<bool> BusyFlag{false};  // true while a batch or the viewer runs
  std::string CurrentFolder;          // the folder shown in the thumbnail view
};
AppState& App();

}  // namespace quorvane
