#pragma once
// The switches behind the settings "EXIF 방향 자동 적용", "메타데이터 유지" and the use of
// embedded thumbnails. Process-wide: the settings dialog sets them, and every reader
// for showing (viewer, previews, thumbnails) follows them; a batch copies them into its
// parameters when they are made (ConvertParams), and quorvane-convert sets its own.

namespace quorvane {

struct ExifOptions {
  bool AutoOrient = true;
  bool UseEmbeddedThumbnails = true;
  bool KeepMetadata = true;
};
ExifOptions CurrentExifOptions();
void SetExifOptions(const ExifOptions& options);

}  // namespace quorvane
