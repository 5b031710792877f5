#include "thumbnails/ImgExif.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <exception>
#include <utility>

#include "imaging/Orient.h"
#include "platform/FileNames.h"

namespace quorvane {

namespace {

bool IsJpegName(const std::string& FileName) {
  const std::string ext = LowerFileExt(FileName);
  return ext == ".jpg" || ext == ".jpeg" || ext == ".jpe";
}

// A JPEG file whose header segments (those before the scan) hold no EXIF block: the
// metadata library finds nothing in it, so the helper is not asked. False when the file
// is no JPEG, or no regular file (a FIFO is never waited for), or unsure.
bool JpegWithoutExif(const std::string& FileName) {
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  FILE* f = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::fdopen(fd, "rb") : nullptr;
  if (!f) {
    ::close(fd);
    return false;
  }
  bool without = false;
  if (std::fgetc(f) == 0xFF && std::fgetc(f) == 0xD8) {
    for (int segments = 0; segments < 1000; ++segments) {
      if (std::fgetc(f) != 0xFF) break;
      int code = std::fgetc(f);
      while (code == 0xFF) code = std::fgetc(f);  // fill bytes
      if (code == 0xDA || code == 0xD9) {  // the scan, or the end: no EXIF before it
        without = true;
        break;
      }
      if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) continue;  // no length
      const int high = std::fgetc(f), low = std::fgetc(f);
      if (code < 0 || high < 0 || low < 0) break;
      long length = (long(high) << 8 | low) - 2;
      if (length < 0) break;
      if (code == 0xE1 && length >= 6) {
        char signature[6];
        if (std::fread(signature, 1, 6, f) != 6 || std::memcmp(signature, "Exif\0\0", 6) == 0)
          break;
        length -= 6;
      }
      if (std::fseek(f, length, SEEK_CUR) != 0) break;
    }
  }
  std::fclose(f);
  return without;
}

}  // namespace

ThumbExif::ThumbExif(const std::string& FileName, FitKind mode, const ExifOptions& options)
    : mode_(mode) {
  const bool orient = options.AutoOrient && CarriesExifOrientation(FileName);
  useEmbedded_ = options.UseEmbeddedThumbnails && mode != igtNormal && IsJpegName(FileName);
  if ((!orient && !useEmbedded_) || JpegWithoutExif(FileName)) {
    useEmbedded_ = false;
    return;
  }
  if (!ReadExifInfo(FileName, info_)) {
    useEmbedded_ = false;
    return;
  }
  if (orient && info_.orientation != 0) orientation_ = info_.orientation;
}

int ThumbExif::BoxWidth(int Width, int Height) const {
  return OrientationSwapsSides(orientation_) ? Height : Width;
}

int ThumbExif::BoxHeight(int Width, int Height) const {
  return OrientationSwapsSides(orientation_) ? Width : Height;
}

bool ThumbExif::FromEmbedded(Bitmap& out, int& orgWidth, int& orgHeight, int Width, int Height,
                              JpegPerformance performance) const {
  if (!useEmbedded_ || info_.thumbnail.empty()) return false;
  const int boxW = BoxWidth(Width, Height), boxH = BoxHeight(Width, Height);
  const int pictureW = info_.pixelWidth, pictureH = info_.pixelHeight;
  Bitmap thumb;
  try {
    const JpegReader reader(info_.thumbnail);
    // The thumbnail's own header decides, whatever the metadata says about it.
    if (!EmbeddedThumbnailServes(mode_, pictureW, pictureH, reader.Width(), reader.Height(), boxW,
                                 boxH))
      return false;
    reader.Decode(thumb, 1, performance);
    if (thumb.Width() != reader.Width() || thumb.Height() != reader.Height()) return false;
    // Exactly the size the decoded picture would get.
    const FittedSize fitted = FitSize(mode_, pictureW, pictureH, boxW, boxH);
    ResizeBitmap(thumb, fitted.Width, fitted.Height);
    if (thumb.Width() != fitted.Width || thumb.Height() != fitted.Height) return false;
    ApplyOrientation(thumb, orientation_);
  } catch (const std::exception&) {
    return false;
  }
  out.Swap(thumb);
  orgWidth = pictureW;
  orgHeight = pictureH;
  if (OrientationSwapsSides(orientation_)) std::swap(orgWidth, orgHeight);
  return true;
}

void ThumbExif::Finish(Bitmap& bitmap, int& orgWidth, int& orgHeight) const {
  if (orientation_ == 1) return;
  ApplyOrientation(bitmap, orientation_);
  if (OrientationSwapsSides(orientation_)) std::swap(orgWidth, orgHeight);
}

}  // namespace quorvane
