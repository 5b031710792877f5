#include "viewer/Slideshow.h"

namespace quorvane {

int NextSlide(const ViewerSource& source, int current, bool loop) {
  const int count = source.ItemCount();
  for (int i = current + 1; i < count; ++i)
    if (!source.ItemIsFolder(i)) return i;
  if (!loop) return -1;
  for (int i = 0; i < count && i <= current; ++i)
    if (!source.ItemIsFolder(i)) return i;
  return -1;
}

}  // namespace quorvane
