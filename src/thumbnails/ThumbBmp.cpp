#include "thumbnails/ThumbBmp.h"

#include <cstdint>
#include <vector>

#include "shell/JpegCodec.h"
#include "thumbnails/DibConvert.h"

namespace quorvane {

bool LoadBmpForThumbnail(const std::string& path, Bitmap& out) {
  std::vector<uint8_t> file;
  try {
    file = ReadWholeFile(path);
  } catch (const std::exception&) {
    return false;
  }
  if (file.size() < 14 + 40 || file[0] != 'B' || file[1] != 'M') return false;
  const uint32_t pixelOffset = uint32_t(file[10]) | uint32_t(file[11]) << 8 |
                               uint32_t(file[12]) << 16 | uint32_t(file[13]) << 24;
  if (pixelOffset < 14 + 40 || pixelOffset > file.size()) return false;
  return DibToBitmap(file.data() + 14, pixelOffset - 14, file.data() + pixelOffset,
                     file.size() - pixelOffset, out);
}

}  // namespace quorvane
