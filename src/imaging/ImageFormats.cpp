#include "imaging/ImageFormats.h"

namespace quorvane {

int CodecExtensionIndex(std::string_view lowerExt) {
  for (int i = 0; i < CodecExtensionCount; ++i)
    if (CodecExtensions[size_t(i)] == lowerExt) return i;
  return -1;
}

}  // namespace quorvane
