#pragma once
// Camera metadata: the EXIF orientation and embedded thumbnail of a source, and the
// copy of its EXIF and colour profile into a written file.
//
// The metadata library parses untrusted files, so it runs in a helper process
// (quorvane-meta) that speaks the codec helper's protocol: a damaged file that crashes
// the library or makes it loop costs that file's metadata only. A source whose
// metadata cannot be read is treated as having none.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/CodecClient.h"
#include "imaging/ExifOptions.h"

namespace quorvane {

// What the program takes from a file's metadata.
struct ExifInfo {
  int orientation = 0;  // the EXIF Orientation tag, 1..8; 0 when absent or out of range
  int pixelWidth = 0;   // the picture's size as stored (before orientation); 0 unknown
  int pixelHeight = 0;
  std::vector<uint8_t> thumbnail;  // the embedded JPEG thumbnail; empty when none
  // What a viewer shows of the shot, as the library prints it; empty when absent.
  std::string dateTaken;  // "2024-05-01 10:22:33"
  std::string camera;     // make and model
  std::string exposure;   // exposure time, f-number, ISO, focal length
  std::string lens;
};

// Longest text field taken from a file's metadata.
inline constexpr size_t kMaxExifTextBytes = 256;

// Largest embedded thumbnail taken (EXIF keeps it within one 64 KiB segment).
inline constexpr size_t kMaxExifThumbnailBytes = 65535;

// True for the files whose EXIF orientation is honoured: JPEG and TIFF, by their
// contents (a HEIC file named .jpg is no JPEG; its own orientation is its decoder's).
bool CarriesExifOrientation(const std::string& path);
// True for the outputs that take copied metadata: JPEG, PNG and TIFF, by extension.
bool TakesMetadata(const std::string& path);

// Reads the file's metadata in the helper. False when the file has none that the
// library can read, or the helper failed on it; `info` is then reset.
bool ReadExifInfo(const std::string& path, ExifInfo& info);
// The orientation to apply to the picture of `path`: 1..8, 1 when the file is no JPEG
// or TIFF, has no orientation or cannot be read.
int ReadExifOrientation(const std::string& path);

// Copies the source's EXIF (embedded thumbnail dropped, pixel sizes set to the
// output's) and ICC profile into `dest` when `dest` is a JPEG, PNG or TIFF file, then
// gives `dest` the source's modification time. `upright` says that the written pixels
// were turned upright: the Orientation is then set to 1, else it is kept, so that the
// result shows as the source did. A source without metadata is no failure. False when
// the metadata could not be copied; `dest` is then still the complete file it was.
bool CopyMetadata(const std::string& source, const std::string& dest, bool upright = true);

// The wire form of ExifInfo between the helper and the program. Unpack checks every
// size and answers false for anything malformed.
std::vector<uint8_t> PackExifInfo(const ExifInfo& info);
bool UnpackExifInfo(const uint8_t* data, size_t size, ExifInfo& info);

// Where the helper program is: $QUORVANE_META_HELPER when set; else quorvane-meta
// beside the running executable; else the one in the build tree. "" when none exists.
std::string FindMetaHelper();
// The client of this process's metadata helper.
CodecClient& MetaClient();

}  // namespace quorvane
