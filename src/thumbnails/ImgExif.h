#pragma once
// The thumbnail loader's use of camera metadata: the box turned for pictures stored
// sideways, the JPEG's own EXIF thumbnail when it serves, and the decoded picture
// turned upright.

#include <string>

#include "imaging/Bitmap.h"
#include "imaging/ExifMeta.h"
#include "imaging/JpegCodec.h"
#include "imaging/ImgResize.h"

namespace quorvane {

class ThumbExif {
 public:
  // Reads the file's metadata (JPEG and TIFF files) when the switches call for it.
  ThumbExif(const std::string& FileName, FitKind mode, const ExifOptions& options);

  // The orientation applied: 1 unless AutoOrient is on and the file has one.
  int Orientation() const { return orientation_; }
  // The box to fit the picture as stored into: turned for orientations 5..8, so that
  // the upright picture fits the caller's box.
  int BoxWidth(int Width, int Height) const;
  int BoxHeight(int Width, int Height) const;

  // Builds the thumbnail from the embedded one when it serves: true with the upright
  // thumbnail in `out` and the upright picture's size in orgWidth / orgHeight. False
  // (nothing changed) when there is none, or it is damaged, or does not serve.
  bool FromEmbedded(Bitmap& out, int& orgWidth, int& orgHeight, int Width, int Height,
                    JpegPerformance performance) const;

  // Turns a picture decoded from the file upright and swaps the recorded size with it.
  void Finish(Bitmap& bitmap, int& orgWidth, int& orgHeight) const;

 private:
  FitKind mode_;
  bool useEmbedded_ = false;
  int orientation_ = 1;  // of the picture as stored
  ExifInfo info_;
};

}  // namespace quorvane
