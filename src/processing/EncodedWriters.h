#pragma once
// The writers of the formats compressed by their own libraries: WebP (libwebp), AVIF
// (libavif with the AOM AV1 encoder) and JPEG XL (libjxl). Each encodes the whole
// picture in memory, with the source's EXIF and colour profile when given, and then
// writes exactly `path` (replacing a file there); a failure throws ImageWriteError
// (OutputFile.h): ENOSPC for a full disk, EINVAL for a picture the encoder refused.
//
// Quality 1..100 is the JPEG scale, mapped to each encoder so that the same number looks
// about as good as a JPEG of that quality:
//   WebP      libwebp's own quality, which follows the JPEG scale (as cwebp -q);
//   AVIF      the AV1 quantizer (100 - q) * 63 / 70, at most 63 (the coarsest), for
//             colour planes sampled 4:2:0 like a JPEG's: on photographs this matches the
//             error of a JPEG of quality q (on a test photograph JPEG 80 keeps 39.7 dB
//             PSNR, AVIF at quantizer 18 39.9 dB at a third of the size; libavif 1.0's
//             own -q 80, quantizer 13, keeps 40.7 dB at about half the JPEG's size);
//   JPEG XL   the Butteraugli distance libjxl's cjxl derives from its JPEG-like -q:
//             0.1 + (100 - q) * 0.09 from 30 up, steeper below.
// Effort is fixed at a speed that is the formats' usual choice: WebP method 4 (cwebp -m 4),
// AVIF speed 6 (avifenc --speed 6), JPEG XL effort 7 (cjxl -e 7).
// Lossless writes WebP and JPEG XL exactly; AVIF is always lossy here (its lossless mode
// needs full-resolution RGB planes that no common reader expects).

#include <string>

#include "imaging/Bitmap.h"
#include "imaging/ExifMeta.h"

namespace quorvane {

struct EncodeOptions {
  int quality = 80;  // 1..100, the JPEG scale
  bool lossless = false;
  const EmbeddedMetadata* metadata = nullptr;  // none when null
  int threads = 1;  // threads the encoder may use (WebP and JPEG XL files are the same for any number)
};

void WriteWebpFile(const std::string& path, const Bitmap& bmp, const EncodeOptions& options);
void WriteAvifFile(const std::string& path, const Bitmap& bmp, const EncodeOptions& options);
void WriteJxlFile(const std::string& path, const Bitmap& bmp, const EncodeOptions& options);

// The encoders' settings for a quality on the JPEG scale (clamped to 1..100).
int AvifQuantizerFor(int quality);
float JxlDistanceFor(int quality);

}  // namespace quorvane
