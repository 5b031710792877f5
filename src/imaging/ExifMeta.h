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

// The metadata a writer embeds itself (PNG, WebP, AVIF, JPEG XL): the source's EXIF as
// a TIFF structure ("II*\0" or "MM\0*" first), cleaned as CopyMetadata cleans it, and
// its ICC profile; either may be empty. `orientation` is the Orientation the EXIF now
// says (1 when it has none), for formats that store the orientation in their own way.
struct EmbeddedMetadata {
  std::vector<uint8_t> exif;
  std::vector<uint8_t> icc;
  int orientation = 1;
};

// True for the files whose EXIF orientation is honoured, by their contents (a HEIC file
// named .jpg is no JPEG): JPEG, TIFF, PNG and WebP. HEIF, AVIF and JPEG XL carry their
// own orientation in their container, which their readers apply.
bool CarriesExifOrientation(const std::string& path);
// True for the outputs the metadata library copies metadata into after they were
// written: JPEG and TIFF, by extension.
bool TakesMetadata(const std::string& path);
// True for the outputs whose writer embeds EmbeddedMetadata: PNG, WebP, AVIF, JPEG XL.
bool EmbedsMetadata(const std::string& path);

// Reads the file's metadata in the helper. False when the file has none that the
// library can read, or the helper failed on it; `info` is then reset.
bool ReadExifInfo(const std::string& path, ExifInfo& info);
// The orientation to apply to the picture of `path`: 1..8, 1 when the file is no JPEG
// or TIFF, has no orientation or cannot be read.
int ReadExifOrientation(const std::string& path);

// Copies the source's EXIF (embedded thumbnail dropped, pixel sizes set to the
// output's) and ICC profile into `dest` when `dest` is a JPEG or TIFF file, then
// gives `dest` the source's modification time. `upright` says that the written pixels
// were turned upright: the Orientation is then set to 1, else it is kept, so that the
// result shows as the source did. A source without metadata is no failure. False when
// the metadata could not be copied; `dest` is then still the complete file it was.
bool CopyMetadata(const std::string& source, const std::string& dest, bool upright = true);

// The metadata of `source` for a written picture of `width` x `height` that is upright
// (`upright`) or as stored, read in the helper. False when the helper failed on it; a
// source without metadata answers true with `out` empty.
bool PrepareMetadata(const std::string& source, int width, int height, bool upright,
                     EmbeddedMetadata& out);

// The source's ICC colour profile, read in the helper; empty when it has none or it
// cannot be read.
std::vector<uint8_t> ReadColourProfile(const std::string& source);

// Gives `dest` the modification time of `source`; false when either cannot be reached.
bool CopyFileTime(const std::string& source, const std::string& dest);

// The wire form of ExifInfo between the helper and the program. Unpack checks every
// size and answers false for anything malformed.
std::vector<uint8_t> PackExifInfo(const ExifInfo& info);
bool UnpackExifInfo(const uint8_t* data, size_t size, ExifInfo& info);
// The same for EmbeddedMetadata.
std::vector<uint8_t> PackMetadata(const EmbeddedMetadata& meta);
bool UnpackMetadata(const uint8_t* data, size_t size, EmbeddedMetadata& meta);

// Where the helper program is: $QUORVANE_META_HELPER when set; else quorvane-meta
// beside the running executable; else the one in the build tree. "" when none exists.
std::string FindMetaHelper();
// The options of a metadata helper's client.
CodecClientOptions MetaClientOptions();
// The client of this process's metadata helper (the calling thread's own, when it has
// set one with SetThreadHelpers).
CodecClient& MetaClient();

}  // namespace quorvane
