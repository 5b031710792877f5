#pragma once
// JPEG decoding and encoding through libjpeg-turbo, for the batch, the viewer, the
// thumbnail loader and the thumbnail cache.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace quorvane {

class JpegError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// jpBestSpeed: the fast integer IDCT without fancy upsampling;
// jpBestQuality: the accurate integer IDCT with fancy upsampling.
enum class JpegPerformance { jpBestQuality, jpBestSpeed };

// A JPEG stream held in memory: the header is read first (so a caller can choose a
// scale from the full size), then the picture is decoded at 1/1, 1/2, 1/4 or 1/8.
// Every failure (corrupt or truncated data, a picture beyond Bitmap's limits) throws
// JpegError; a truncated stream is an error, not a grey-filled picture.
class JpegReader {
 public:
  // Takes the stream and reads its header.
  explicit JpegReader(std::vector<uint8_t> data);
  // Reads the file; throws JpegError when it cannot be read or has no JPEG header.
  static JpegReader FromFile(const std::string& path);

  int Width() const { return width_; }    // full size
  int Height() const { return height_; }
  // The embedded ICC colour profile; empty when none.
  const std::vector<uint8_t>& IccProfile() const { return icc_; }

  // Decodes into `out` as 24-bit B, G, R (grey and CMYK pictures are converted).
  // scaleDenom is 1, 2, 4 or 8. `out` is only replaced when decoding succeeded.
  // With `keepPartial`, a stream that ends early gives what was read, the rest grey
  // (for showing an interrupted download; never for the batch).
  void Decode(Bitmap& out, int scaleDenom = 1,
              JpegPerformance performance = JpegPerformance::jpBestQuality,
              bool keepPartial = false) const;

 private:
  std::vector<uint8_t> data_;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> icc_;
};

// Decodes a whole file at full size; throws JpegError. With `toSrgb`, a picture with an
// RGB colour profile is converted to sRGB.
void ReadJpegFile(const std::string& path, Bitmap& out, bool toSrgb = false);

// Compresses a bitmap (baseline, 4:2:0) at quality 1..100.
std::vector<uint8_t> EncodeJpeg(const Bitmap& bitmap, int quality,
                                JpegPerformance performance = JpegPerformance::jpBestQuality);

// The JPEG decode scale denominator (1, 2, 4 or 8) for a w x h picture and a
// Width x Height box: the smallest picture that still covers the box.
int JpegDecodeScale(int w, int h, int Width, int Height);

}  // namespace quorvane
